#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>

class CategoryView;
class CommandContext;
class FoldersPanel;
class QDrag;

// Drags of entries inside the window: from the tree or the list onto a tree
// row (the tree's model moves the node, or with Ctrl copies it), or onto a
// line of the folders panel (the real file or folder moves or is copied
// there). What a drag shows meanwhile, and what the window shows after it.
class WindowDragDrop : public QObject
{
    Q_OBJECT
public:
    static constexpr const char* NodesMimeType = NodeTree::NodesMimeType;

    WindowDragDrop(CommandContext& context, CategoryView& view, FoldersPanel& folders);

    // The node being dragged; null outside a drag.
    TreeNode* dragSource() const { return m_source; }

private:
    void dragStarted(QDrag* drag, TreeNode* node);
    void dragFinished();
    void showRefusal(bool refused);
    void dropOntoFolderLine(int line, bool copy);

    CommandContext& m_context;
    CategoryView& m_view;
    FoldersPanel& m_folders;
    NodeRef m_source;
    NodeRef m_result; // what a drop made or moved
};
