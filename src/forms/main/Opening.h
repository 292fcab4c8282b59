#pragma once
#include <QObject>
#include <functional>

class CategoryView;
class QAbstractItemView;
class QAction;
class CommandContext;
class QModelIndex;
class Relinking;
class TreeNode;

// Opening entries with the desktop's default application (double click,
// Enter), "Find object", and the relink question for a document that is no
// longer where its link points; both that question and the not-found
// message offer "Locate...".
class Opening : public QObject
{
    Q_OBJECT
public:
    // Asks for a document's new location; an empty result is a cancel.
    using PickFile = std::function<QString(const QString& title, const QString& folder)>;
    // Tests: when set, answers in place of the relink question's open-file dialog.
    static PickFile& pickFileHook();

    Opening(CommandContext& context, CategoryView& view, Relinking& relinking);

    // The action that opens a view's current entry on Enter (it may be off
    // while a name is edited).
    static QAction* openKey(const QAbstractItemView* view);
    // Hands a path or an address to the desktop; throws when it refuses.
    static void openTarget(const QString& target);
    // The relink question for a missing document; false when the node was removed.
    bool askNewLocation(const QString& name, const QString& path, TreeNode* node,
                        const QString& comments);

private:
    void openNode(TreeNode* node);
    void openTreeEntry();
    void openListEntry();
    void openContainingFolder();
    void removeNode(TreeNode* node);

    CommandContext& m_context;
    CategoryView& m_view;
    Relinking& m_relinking;
};
