#pragma once
#include <QDialog>
#include <QPoint>

class QCheckBox;
class QLineEdit;
class QPushButton;

// The modeless find dialog: the text (at most 255 characters), the "Match
// case" box, Find Next and Cancel. Searching forward only. It is hidden, not
// destroyed, when it closes, so it keeps its text, its box and its place.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    static constexpr int MaxTextLength = 255;

    explicit FindDialog(QWidget* parent);

    QString findText() const;
    bool matchCase() const;
    // Where it opens the first time; later it opens where it was closed.
    void setFirstPosition(const QPoint& topLeft);
    // Opens it, or brings it to the front with its text as it is.
    void showFind();

Q_SIGNALS:
    void findNext();
    void matchCaseChanged(bool on);
    // It closed: Cancel, its close box, Escape, or the program closing it.
    void closed();

protected:
    void hideEvent(QHideEvent* event) override;

private:
    QLineEdit* m_text = nullptr;
    QCheckBox* m_matchCase = nullptr;
    QPushButton* m_findNext = nullptr;
    QPoint m_place;
    bool m_placed = false; // m_place holds where to open
};
