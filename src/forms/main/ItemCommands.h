#pragma once
#include <QObject>
#include <functional>

class CategoryView;
class CommandContext;
class TreeNode;

// The commands that change entries: "Add category", "Comment...", "Remove
// from program" and "Delete from hard disk" (through the desktop trash, with
// the other links to the deleted file or folder following it).
class ItemCommands : public QObject
{
    Q_OBJECT
public:
    ItemCommands(CommandContext& context, CategoryView& view);

private:
    // Deletes a document's file or a folder to the trash and then removes
    // the other links to it (after one question), a slice at a time; Then
    // follows once they are through. False (and Then never called) when
    // node is no such link, its target is gone, or the deletion failed or
    // was refused.
    bool deleteRealFile(TreeNode* node, std::function<void()> then);
    void addCategory();
    void editComment();
    void removeFromProgram();
    void deleteFromDisk();
    void removeSelection(bool deleteFile);
    void removeTreeSelection(bool deleteFile);
    void removeListSelection(bool deleteFile);
    // Deletes node with everything below it, the tree's drawing held back.
    void removeNode(TreeNode* node);
    // Lets the open step take the item just put into the trash back out.
    void keepTrashedForUndo(bool isFolder);

    CommandContext& m_context;
    CategoryView& m_view;
};
