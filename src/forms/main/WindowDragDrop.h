#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QPoint>
#include <QPointer>

class CategoryView;
class CommandContext;
class FoldersPanel;
class QAbstractItemView;
class QDropEvent;
class QFrame;

// Drags of entries inside the window: from the tree or the list onto a tree
// row (a move, or with Ctrl a copy of the node), or onto a line of the
// folders panel (the real file or folder moves or is copied there). Only
// drags with the program's own node format are handled here.
class WindowDragDrop : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* NodesMimeType = "application/x-quillmere-nodes";

    WindowDragDrop(CommandContext& context, CategoryView& view, FoldersPanel& folders);

    // The node being dragged; null outside a drag.
    TreeNode* dragSource() const { return m_source; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    bool sourceFilter(QAbstractItemView* view, QEvent* event);
    bool treeFilter(QEvent* event);
    bool dirListFilter(QEvent* event);
    void startDrag(QAbstractItemView* view, TreeNode* node);
    void docsTreeDragDrop(const QPoint& at, bool copy);
    void dirListBoxDragDrop(const QPoint& at, bool copy);
    void docsTreeEndDrag();
    // A copy of source's node and record, placed before sibling (or as the
    // last child of parent when sibling is null).
    TreeNode* copyNode(TreeNode* source, TreeNode* parent, TreeNode* sibling);
    void showDropRow(const QPoint& at);
    // A drop at At would file the node into the built-in category, which is
    // made anew at every start and never saved.
    bool intoMakerCategory(const QPoint& at) const;
    void clearRefusal();
    bool ours(const QDropEvent* event) const;

    CommandContext& m_context;
    CategoryView& m_view;
    FoldersPanel& m_folders;
    NodeRef m_source;
    NodeRef m_result; // what a drop made or moved
    QPointer<QAbstractItemView> m_pressedIn;
    QPoint m_pressAt;
    bool m_swallowing = false;   // a press that may not drag is still down
    QFrame* m_dropRow = nullptr; // the outline of the row a drop would go to
};
