#pragma once
#include "utils/MovedFileSearch.h"

#include <QFuture>
#include <QHash>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class CategoryView;
class CommandContext;
class QDialog;
class QWidget;
class TreeNode;
namespace SeenTargets
{
struct Facts;
}

// Finding moved files again: the assistant for one entry whose file or
// folder is missing ("Locate..."), the offer to relink the others that moved
// the same way, "Check all links", and keeping the store of what each linked
// file was like up to date.
class Relinking : public QObject
{
    Q_OBJECT
public:
    Relinking(CommandContext& context, CategoryView& view);
    ~Relinking() override;

    // Opens the assistant for the entry's missing target and relinks the
    // entry to the place chosen; true when it did. The entry is held while
    // the assistant is up: it may go meanwhile.
    bool locate(TreeNode* node);
    // The assistant alone, over Parent (the window when null): the place
    // chosen for the entry's target, or empty when the user chose none.
    QString findNewLocation(TreeNode* node, QWidget* parent = nullptr);
    // Points the entry at NewPath (which must exist) and offers to relink
    // the other entries whose files moved the same way.
    void relinkTo(TreeNode* node, const QString& newPath);
    // Brings the store of the linked files' sizes and times up to date, on a
    // worker thread (after the catalogue was loaded).
    void rememberTargets();

    // Tests: when set, the searches look only under these roots.
    static std::optional<QStringList>& searchRootsOverride();
    // Tests: called with the assistant or the check dialog once it is up.
    using DialogHook = std::function<void(QDialog&)>;
    static DialogHook& dialogHook();

private:
    void checkAllLinks();
    void offerMovedTheSameWay(const TreeNode* relinked, const QString& oldPath,
                              const QString& newPath);
    FileUtils::LostTarget lostTarget(const TreeNode* node,
                                     const QHash<QString, SeenTargets::Facts>& facts) const;
    QString storeFile() const;
    int runDialog(QDialog& dialog);

    CommandContext& m_context;
    CategoryView& m_view;
    QFuture<void> m_remembering;
    std::shared_ptr<std::atomic<bool>> m_stopRemembering;
};
