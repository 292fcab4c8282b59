#pragma once
#include "catalogue/Options.h"

#include <QDialog>
#include <QKeySequenceEdit>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QTabWidget;

// The entry of one global key combination: a key with at least one of Shift,
// Ctrl and Alt; a key alone is refused, Backspace or Delete alone clears it.
class HotKeyEdit : public QKeySequenceEdit
{
    Q_OBJECT
public:
    explicit HotKeyEdit(QWidget* parent = nullptr);
    // The combination as the stored word; 0 for none.
    int hotKey() const;
    void setHotKey(int word);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;

private:
    // The word of a key press; 0 when its key has no code.
    static int wordOfPress(const QKeyEvent* event);
};

// The "Options" dialog: given the options in force, it shows them on its
// three tabs and gives back what the user left in them. It changes nothing
// itself.
class OptionsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit OptionsDialog(const Options& current, QWidget* parent = nullptr);

    // The options as the controls hold them: columns switched on get their
    // shown width (a visible one keeps its own), the title as typed (empty
    // when cleared), the values one per line as typed.
    Options options() const;

private:
    QWidget* createCommonTab();
    QWidget* createViewTab();
    QWidget* createAdditionalTab();

    Options m_current;
    QTabWidget* m_pages = nullptr;
    HotKeyEdit* m_hotKey = nullptr;
    QCheckBox* m_autoStart = nullptr;
    QCheckBox* m_delNonActual = nullptr;
    QListWidget* m_fields = nullptr;
    QLineEdit* m_adTitle = nullptr;
    QPlainTextEdit* m_adValues = nullptr;
    QCheckBox* m_recursChanging = nullptr;
};
