#include "forms/main/Opening.h"
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "components/MessageDialogs.h"
#include "components/TrayIcon.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/Relinking.h"
#include "utils/Desktop.h"
#include "utils/PathTests.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QKeySequence>
#include <QMainWindow>
#include <QTreeView>

using namespace FileUtils;
using Commands::Id;

namespace
{

// The view's Enter action is found by a name of its own ("DocsTreeOpen").
QString openKeyName(const QAbstractItemView* view)
{
    return view->objectName() + QLatin1String("Open");
}

// The folder that holds a path; the root keeps its delimiter.
QString folderPart(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    if (slash < 0)
        return QString();
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

// Where to look for a moved document: its old folder, or the nearest folder
// above it that still exists.
QString nearestExistingFolder(const QString& path)
{
    QString folder = folderPart(path);
    while (!folder.isEmpty() && !directoryExists(folder) && folder != u"/")
        folder = folderPart(folder);
    return folder.isEmpty() ? QDir::homePath() : folder;
}

constexpr int BalloonSeconds = 10;

} // namespace

Opening::PickFile& Opening::pickFileHook()
{
    static PickFile hook;
    return hook;
}

Opening::Opening(CommandContext& context, CategoryView& view, Relinking& relinking)
    : QObject(&view), m_context(context), m_view(view), m_relinking(relinking)
{
    setObjectName(QStringLiteral("Opening"));
    context.catalogue().setNewLocationQuestion(
        [this](const QString& name, const QString& path, TreeNode* node, const QString& comments) {
            return askNewLocation(name, path, node, comments);
        });

    connect(&view, &CategoryView::openRequested, this, [this](CategoryView::Pane pane) {
        CommandContext::guarded(
            [this, pane] { pane == CategoryView::Pane::Tree ? openTreeEntry() : openListEntry(); });
    });
    context.commands().connectCommand(Id::OpenContainingFolder, this,
                                      &Opening::openContainingFolder);
}

QAction* Opening::openKey(const QAbstractItemView* view)
{
    return view->findChild<QAction*>(openKeyName(view), Qt::FindDirectChildrenOnly);
}

void Opening::openTarget(const QString& target)
{
    QString address = target;
    // An address already written as a mail link keeps its one prefix.
    if (isEMail(target) && !target.startsWith(QStringLiteral("mailto:"), Qt::CaseInsensitive))
        address = QStringLiteral("mailto:") + target;
    if (!Desktop::openUrl(address))
        throw CatalogueError(QStringLiteral(
            "Cannot open it: the desktop has no application for this kind of item."));
}

void Opening::openNode(TreeNode* target)
{
    if (target->data()->kind == NodeKind::Url) {
        openTarget(target->data()->fullName);
        return;
    }
    Catalogue& catalogue = m_context.catalogue();
    // Its category is listed again, and its listing's relink questions may
    // remove it: held, not pointed at.
    const NodeRef node(catalogue.nodes(), target);
    catalogue.refreshNodeIcon(node, false);
    if (!node)
        return;
    if (node->imageIndex() == imgMissing && m_view.listModel().rowOf(node) >= 0 &&
        m_context.commands().action(Id::RemoveMissingLinks)->isChecked()) {
        // The listing's relink questions, this one's among them, are the
        // answer to this opening: it is re-pointed or gone.
        m_view.askRelinkQuestions();
        return;
    }
    const QString path = node->data()->fullName;
    if (probePath(path).exists) { // one look at the disk for file or folder alike
        openTarget(path);
        return;
    }
    // Whatever the option says, the user may look for it.
    const QMessageBox::StandardButton answer = MessageDialogs::showRgnDialog(
        tr("File \"%1\" not found.\rMay be it was replaced or removed.").arg(path),
        QMessageBox::Warning, QMessageBox::Ok | MessageDialogs::LocateButton,
        MessageDialogs::DefaultVertOffset, MessageDialogs::DefaultHorzOffset, &m_context.window());
    if (answer != MessageDialogs::LocateButton)
        return;
    // Found again, it opens as asked.
    if (m_relinking.locate(node) && node)
        openTarget(node->data()->fullName);
}

void Opening::openTreeEntry()
{
    TreeNode* node = m_view.currentNode();
    // A category only folds or unfolds, which the tree does by itself.
    if (!node || !node->data() || node->isCategory())
        return;
    openNode(node);
}

void Opening::openListEntry()
{
    const QModelIndex row = m_view.selectedListRow();
    TreeNode* node = m_view.listNodeAt(row);
    if (!node || !node->data())
        return;
    if (ListModel::cellText(node, ListModel::colLocation).isEmpty()) {
        // A category in the list: entered as in the tree, which lists it.
        m_view.selectNode(node);
    } else {
        openNode(node);
    }
}

void Opening::openContainingFolder()
{
    TreeNode* node = m_context.targetNode();
    if (!node || !node->data())
        return;
    if (node->data()->kind == NodeKind::Category || node->data()->kind == NodeKind::Url) {
        MessageDialogs::errorBox(tr("Could not do it with categories and hyperlinks."),
                                 &m_context.window());
        return;
    }
    openTarget(folderPart(node->data()->fullName));
}

bool Opening::askNewLocation(const QString& name, const QString& path, TreeNode* target,
                             const QString& comments)
{
    Catalogue& catalogue = m_context.catalogue();
    // Held across the question and the file dialog.
    const NodeRef node(catalogue.nodes(), target);
    // The additional-field value is the user's own data: a relinked or
    // missing document keeps it.
    const QString additional = node->data() ? node->data()->sAdditional.text() : QString();
    if (!m_context.commands().action(Id::RemoveMissingLinks)->isChecked()) {
        catalogue.fillDocNode(node, name, path, comments, additional, true);
        return true;
    }
    const QString question =
        tr("The document\r%1\rwas replaced or removed.\rTo define its new location, click "
           "\"Yes\"\rOthewise the link will be removed from the list.")
            .arg(path);
    QString picked;
    const QMessageBox::StandardButton answer = MessageDialogs::showRgnDialog(
        question, QMessageBox::Question,
        QMessageBox::Yes | QMessageBox::No | MessageDialogs::LocateButton,
        MessageDialogs::DefaultVertOffset, MessageDialogs::DefaultHorzOffset, &m_context.window());
    if (answer == MessageDialogs::LocateButton) {
        // The assistant relinks it, or leaves it as it was: a search the user
        // gave up is no answer to remove it.
        if (!m_relinking.locate(node) && node)
            catalogue.fillDocNode(node, name, path, comments, additional, true);
        return node.get() != nullptr;
    }
    if (answer == QMessageBox::Yes) {
        const QString title = tr("Define new document location");
        const QString folder = nearestExistingFolder(path);
        picked = pickFileHook() ? pickFileHook()(title, folder)
                                : QFileDialog::getOpenFileName(&m_context.window(), title, folder);
    }
    if (!node)
        return false; // gone meanwhile: nothing is left to relink
    if (!picked.isEmpty() && fileExists(picked)) {
        const EditHistory::Step step(catalogue.history(),
                                     QStringLiteral("Relink \"%1\"").arg(node->text()));
        catalogue.fillDocNode(node, name, picked, comments, additional, false);
        return true;
    }
    removeNode(node);
    m_context.showBalloon(tr("File not found!"), tr("The link is removed"), TrayIcon::bitWarning,
                          BalloonSeconds);
    return false;
}

void Opening::removeNode(TreeNode* node)
{
    TreeNode* next = node->parent();
    if (!next)
        next = node->getNextSibling();
    if (!next)
        next = node->getPrevSibling();
    {
        const EditHistory::Step step(m_context.catalogue().history(),
                                     QStringLiteral("Remove \"%1\"").arg(node->text()));
        m_context.catalogue().nodes().deleteNode(node); // the record goes with the node
    }
    m_view.listCategory(next);
}
