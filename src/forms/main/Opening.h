#pragma once
#include <QObject>
#include <functional>

class CategoryView;
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
    // Replaces the open-file dialog of the relink question while it lives
    // (tests answer the dialog through it).
    class ScopedPickFile
    {
    public:
        explicit ScopedPickFile(PickFile pick);
        ~ScopedPickFile();
        ScopedPickFile(const ScopedPickFile&) = delete;
        ScopedPickFile& operator=(const ScopedPickFile&) = delete;

    private:
        PickFile m_previous;
    };

    Opening(CommandContext& context, CategoryView& view, Relinking& relinking);

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
