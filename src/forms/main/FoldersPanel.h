#pragma once
#include <QObject>
#include <QPoint>
#include <QString>

class CommandContext;
class QComboBox;
class QFrame;
class QLabel;
class QListWidget;
class QWidget;

// The floating "Folders" panel over the window: the folders of a volume and
// the volumes. "Show folders" shows and hides it; its caption strip moves it.
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

    // The folder list: the volume's root, the folders down to the current
    // one, the current one and its subfolders, one line each.
    QListWidget* dirList() const { return m_dirList; }
    QString currentFolder() const { return m_current; }
    // Opens a folder: it becomes the current one and the list is rebuilt.
    void setCurrentFolder(const QString& folder);
    // The folder a line stands for; empty past the last line.
    QString folderOfLine(int row) const;

    // Folder joined with a name, with one '/' between them even at the root.
    static QString joinPath(const QString& folder, const QString& name);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void followShowFolders();
    void fillDirList();
    void fillDrives();

    CommandContext& m_context;
    QWidget* m_window;
    QFrame* m_panel;
    QLabel* m_caption;
    QListWidget* m_dirList;
    QComboBox* m_drives;
    QString m_current;
    QPoint m_grab; // where the caption was taken, from the panel's corner
    bool m_moving = false;
};
