#pragma once
#include <QObject>
#include <QPoint>
#include <QStringList>
#include <functional>
#include <vector>

class CategoryView;
class CommandContext;
class QAction;
class FileDropTarget;
class NodeRef;
class QLabel;
class QWidget;
class TrayControl;
class TreeNode;
class UrlDropTarget;
struct DropTargetEvent;

// Entries from outside the catalogue: files and folders dropped anywhere on
// the window (or chosen with "Add file..." and placed with a click in the
// tree), hyperlinks dropped on the green strip, and "Add URL...". The drop
// marker on the strip shows the tree row a drop lands on.
class Intake : public QObject
{
    Q_OBJECT
public:
    // Chooses the files "Add file..." adds, starting in Folder; an empty
    // list is a cancel.
    using PickFiles = std::function<QStringList(const QString& title, const QString& folder)>;
    // Tests: when set, answers in place of the open-file dialog.
    static PickFiles& pickFilesHook();

    Intake(CommandContext& context, CategoryView& view, QWidget& dropStrip, TrayControl& tray);

    FileDropTarget* fileTarget() const { return m_fileTarget; }
    UrlDropTarget* urlTarget() const { return m_urlTarget; }
    // The folder "Add file..." last took files from (kept in the settings).
    QString addFileFolder() const { return m_addFileFolder; }
    void setAddFileFolder(const QString& folder) { m_addFileFolder = folder; }
    // "Add file..." waits for the click that places its files.
    bool placementMode() const { return m_placement; }

    // Files the names (no folder questions) at Target in one batch: the
    // tree is drawn and the list refilled once.
    void fileBatch(const QStringList& names, TreeNode* target);
    // Items from the command line (absolute paths and addresses) filed as
    // a drop on the category at Category would file them (folders as single
    // entries); the category is made when missing, the main one when empty.
    void fileItems(const QStringList& items, const QStringList& category);

Q_SIGNALS:
    // A drop, a placement or "Add URL..." has been dealt with.
    void intakeDone();

private:
    enum class FolderChoice { None, Single, Content, Cancel };

    // Files dragged from another program (and "Add file..."'s placement):
    // the marker beside the tree row they would go to, and the drop.
    void showMarker();
    void markFileRow(const QPoint& windowPoint);
    void endFileDrag();
    void takeDroppedFiles(const QPoint& windowPoint, const QStringList& names);
    // Files Names at Target (the row under Point, window coordinates, at the
    // drop) as a drop there does, folder questions included.
    void fileNamesAt(const QStringList& names, const NodeRef& target, const QPoint& windowPoint);
    // Links dragged onto the green strip: the same, level with the row.
    void markLinkRow(const QPoint& stripPoint);
    void takeDroppedLink(const QPoint& stripPoint, const QString& url, const QString& title);
    // A browser's link over the window: taken on the tree as the strip
    // takes it level with the row, refused elsewhere with a hint.
    void treeLinkDragOver(DropTargetEvent& event);
    void treeLinkDrop(DropTargetEvent& event);
    bool treeTakesLink(const QPoint& windowPoint);
    void fileLink(const QString& url, const QString& title, TreeNode* target, QWidget* anchor);
    void addFiles();
    void addUrl();
    void finishPlacement(const QPoint& windowPoint);
    void followForeignDrag(const DropTargetEvent& event);

    FolderChoice askFolder(const QPoint& globalPoint, const QString& folder);
    // A hint on the status line for the drag in progress, and its end.
    void showDragHint(const QString& text);
    void clearDragHint();
    TreeNode* treeNodeAt(const QPoint& windowPoint) const;
    TreeNode* stripRowNode(const QPoint& stripPoint) const;
    // The main category; made (named "Main") when the catalogue has none, so
    // that nothing dropped is lost.
    TreeNode* mainCategory();
    // Target, or the main category when there is none or it lies in the
    // built-in category (rebuilt at every start and never saved).
    TreeNode* orMainCategory(TreeNode* target);
    void moveMarker(int top);

    CommandContext& m_context;
    CategoryView& m_view;
    QWidget& m_strip;
    TrayControl& m_tray;
    QLabel* m_marker = nullptr;
    FileDropTarget* m_fileTarget = nullptr;
    UrlDropTarget* m_urlTarget = nullptr;
    UrlDropTarget* m_treeLinkTarget = nullptr;
    QAction* m_folderLine = nullptr; // the folder menu's line naming the folder
    QString m_dragHint;              // what this drag put on the status line
    QString m_addFileFolder;
    bool m_placement = false;
    QStringList m_placementFiles;
};
