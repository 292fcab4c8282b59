#include "forms/main/Relinking.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkRepair.h"
#include "catalogue/LinkUpdates.h"
#include "catalogue/SeenTargets.h"
#include "components/MessageDialogs.h"
#include "forms/CheckLinksDialog.h"
#include "forms/LocateDialog.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"

#include <QMainWindow>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>

using Commands::Id;
using namespace FileUtils;

namespace
{

std::optional<QStringList> g_searchRoots;
Relinking::DialogHook g_dialogHook;

QStringList searchRoots()
{
    return g_searchRoots ? *g_searchRoots : MovedFileSearch::defaultRoots();
}

QStringList searchExcluded()
{
    return g_searchRoots ? QStringList() : MovedFileSearch::defaultExcluded();
}

} // namespace

Relinking::ScopedSearchRoots::ScopedSearchRoots(QStringList roots)
    : m_previous(std::exchange(g_searchRoots, std::move(roots)))
{
}

Relinking::ScopedSearchRoots::~ScopedSearchRoots()
{
    g_searchRoots = std::move(m_previous);
}

Relinking::ScopedDialogHook::ScopedDialogHook(DialogHook hook)
    : m_previous(std::exchange(g_dialogHook, std::move(hook)))
{
}

Relinking::ScopedDialogHook::~ScopedDialogHook()
{
    g_dialogHook = std::move(m_previous);
}

Relinking::Relinking(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("Relinking"));
    context.commands().connectCommand(Id::CheckLinks, this, &Relinking::checkAllLinks);
}

Relinking::~Relinking()
{
    if (m_stopRemembering)
        m_stopRemembering->store(true);
    m_remembering.waitForFinished();
}

QString Relinking::storeFile() const
{
    const QString folder = m_context.catalogue().dataFolder();
    return folder.isEmpty() ? QString() : SeenTargets::storeFile(folder);
}

void Relinking::rememberTargets()
{
    const QString store = storeFile();
    if (store.isEmpty() || m_remembering.isRunning())
        return;
    auto stop = std::make_shared<std::atomic<bool>>(false);
    m_stopRemembering = stop;
    m_remembering =
        QtConcurrent::run([store, stop, paths = fileLinkPaths(m_context.catalogue().nodes())] {
            SeenTargets::refresh(store, paths, stop.get());
        });
}

LostTarget Relinking::lostTarget(const TreeNode* node,
                                 const QHash<QString, SeenTargets::Facts>& facts) const
{
    LostTarget lost;
    lost.path = node->data()->fullName;
    const auto seen = facts.constFind(lost.path);
    if (seen != facts.cend()) {
        lost.kind = seen->size < 0 ? TargetKind::Folder : TargetKind::File;
        lost.size = seen->size;
        lost.modified = seen->modified;
    } else {
        // A folder whose folder was already gone when the catalogue was
        // read was taken for a document: it may be either.
        lost.kind =
            node->data()->kind == NodeKind::Folder ? TargetKind::Folder : TargetKind::Unknown;
    }
    return lost;
}

int Relinking::runDialog(QDialog& dialog)
{
    if (g_dialogHook)
        QTimer::singleShot(0, &dialog, [&dialog] {
            if (g_dialogHook)
                g_dialogHook(dialog);
        });
    return dialog.exec();
}

QString Relinking::findNewLocation(TreeNode* node, QWidget* parent)
{
    if (!node || !isFileLink(node))
        return {};
    const QString oldPath = node->data()->fullName;
    const LocateDialog::Request request{
        node->text(), lostTarget(node, SeenTargets::lookup(storeFile(), {oldPath})), searchRoots(),
        searchExcluded()};
    LocateDialog dialog(request, parent ? parent : &m_context.window());
    if (runDialog(dialog) != QDialog::Accepted)
        return {};
    return dialog.chosenPath();
}

void Relinking::relinkTo(TreeNode* node, const QString& newPath)
{
    const QString oldPath = node->data()->fullName;
    // The relink and the others that moved the same way are one step.
    const EditHistory::Step step(m_context.catalogue().history(),
                                 QStringLiteral("Relink \"%1\"").arg(node->text()));
    relinkEntry(m_context.catalogue(), node, newPath);
    offerMovedTheSameWay(node, oldPath, newPath);
}

bool Relinking::locate(TreeNode* node)
{
    if (!node || !isFileLink(node))
        return false;
    const NodeRef held(m_context.catalogue().nodes(), node);
    const QString chosen = findNewLocation(node);
    if (chosen.isEmpty())
        return false;
    if (!held || !isFileLink(held))
        return false; // the entry went while the assistant was up
    if (!probePath(chosen).exists) {
        MessageDialogs::errorBox(
            QStringLiteral("\"%1\" is not there any more. The link was left as it was.")
                .arg(chosen),
            &m_context.window());
        return false;
    }
    relinkTo(node, chosen);
    return true;
}

void Relinking::offerMovedTheSameWay(const TreeNode* relinked, const QString& oldPath,
                                     const QString& newPath)
{
    Catalogue& catalogue = m_context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    // Held across the question.
    std::vector<std::pair<NodeRef, QString>> moves;
    for (const auto& [node, path] : movedTheSameWay(nodes, linkMove(oldPath, newPath), relinked))
        moves.emplace_back(NodeRef(nodes, node), path);
    if (moves.empty())
        return;
    const QString question =
        moves.size() == 1 ? QStringLiteral("1 more entry moved the same way. Relink it too?")
                          : QStringLiteral("%1 more entries moved the same way. Relink them all?")
                                .arg(moves.size());
    if (!MessageDialogs::askYesNo(question, &m_context.window()))
        return;
    for (const auto& [node, path] : moves)
        if (node && isFileLink(node))
            relinkEntry(catalogue, node, path);
}

void Relinking::checkAllLinks()
{
    Catalogue& catalogue = m_context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    CheckLinksDialog dialog(fileLinkPaths(nodes), searchRoots(), searchExcluded(),
                            &m_context.window());
    // The dialog's entries, held while it is up.
    std::vector<NodeRef> held;
    connect(&dialog, &CheckLinksDialog::missingFound, this, [&](const QStringList& missing) {
        const auto facts = SeenTargets::lookup(storeFile(), missing);
        std::vector<CheckLinksDialog::Row> rows;
        for (TreeNode* node : entriesAt(nodes, QSet<QString>(missing.begin(), missing.end()))) {
            held.emplace_back(nodes, node);
            rows.push_back({node->text(), lostTarget(node, facts)});
        }
        dialog.setRows(rows);
    });
    connect(&dialog, &CheckLinksDialog::relinkRequested, this,
            [&](const QList<int>& rows, const QStringList& paths) {
                QList<int> done;
                const EditHistory::Step step(
                    catalogue.history(),
                    rows.size() == 1 ? QStringLiteral("Relink 1 entry")
                                     : QStringLiteral("Relink %1 entries").arg(rows.size()));
                for (qsizetype i = 0; i < rows.size(); ++i) {
                    TreeNode* node = held[size_t(rows[i])];
                    if (node && isFileLink(node) && probePath(paths[i]).exists) {
                        relinkEntry(catalogue, node, paths[i]);
                        done << rows[i];
                    }
                }
                dialog.dropRows(done);
            });
    connect(&dialog, &CheckLinksDialog::removeRequested, this, [&](const QList<int>& rows) {
        // One may lie below another: each is found again before it goes.
        const EditHistory::Step step(catalogue.history(),
                                     rows.size() == 1
                                         ? QStringLiteral("Remove 1 entry")
                                         : QStringLiteral("Remove %1 entries").arg(rows.size()));
        for (int row : rows)
            if (TreeNode* node = held[size_t(row)])
                nodes.deleteNode(node);
        dialog.dropRows(rows);
    });
    runDialog(dialog);
}
