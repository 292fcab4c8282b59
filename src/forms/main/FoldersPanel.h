#pragma once
#include <QObject>
#include <QPoint>

class CommandContext;
class QComboBox;
class QFrame;
class QListWidget;
class QWidget;

// The floating "Folders" panel over the window: the folders of a volume and
// the volumes. Hidden until "Show folders", whose behaviour comes with the
// drag and drop of entries onto folders.
class FoldersPanel : public QObject
{
    Q_OBJECT
public:
    FoldersPanel(CommandContext& context, QWidget* window);

    bool isShown() const;
    QPoint position() const;
    // Moves the panel, kept inside the window.
    void moveWithin(int left, int top);
    void moveLeftWithin(int left);
    void moveTopWithin(int top);

private:
    QWidget* m_window;
    QFrame* m_panel;
    QListWidget* m_dirList;
    QComboBox* m_drives;
};
