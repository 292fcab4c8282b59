#include "forms/main/ItemCommands.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "utils/FileOperations.h"
#include "utils/PathTests.h"

#include <QAbstractItemView>
#include <QAction>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMainWindow>
#include <QScopeGuard>
#include <QTreeView>
#include <algorithm>
#include <vector>

using Commands::Id;

namespace
{

// Nodes that a command keeps referring to while something it runs may delete
// them: each entry becomes null once its node (or an ancestor) goes.
class NodeWatch
{
public:
    NodeWatch(NodeTree& nodes, std::initializer_list<TreeNode*> watched) : m_nodes(watched)
    {
        m_connection = QObject::connect(&nodes, &NodeTree::nodeDeleting, [this](TreeNode* gone) {
            for (TreeNode*& n : m_nodes)
                if (n && n->isUnder(gone))
                    n = nullptr;
        });
    }
    ~NodeWatch() { QObject::disconnect(m_connection); }
    NodeWatch(const NodeWatch&) = delete;
    NodeWatch& operator=(const NodeWatch&) = delete;

    TreeNode* operator[](size_t i) const { return m_nodes[i]; }

private:
    std::vector<TreeNode*> m_nodes;
    QMetaObject::Connection m_connection;
};

bool isCategory(const TreeNode* node)
{
    return node && node->data() && node->data()->kind == nkCategory;
}

// The node to list once node is gone: its parent, else a sibling.
TreeNode* nodeToListAfter(const TreeNode* node)
{
    if (TreeNode* parent = node->parent())
        return parent;
    if (TreeNode* next = node->getNextSibling())
        return next;
    return node->getPrevSibling();
}

} // namespace

ItemCommands::ItemCommands(CommandContext& context, CategoryView& view)
    : QObject(&view), m_context(context), m_view(view)
{
    setObjectName(QStringLiteral("ItemCommands"));
    CommandActions& commands = context.commands();
    // Ctrl+N with Shift held adds a sub-category, as Shift does with a click.
    QAction* newCateg = commands.action(Id::NewCateg);
    newCateg->setShortcuts({newCateg->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
    commands.connectCommand(Id::NewCateg, this, &ItemCommands::acNewCategExecute);
    commands.connectCommand(Id::AddComments, this, &ItemCommands::acAddCommentsExecute);
    commands.connectCommand(Id::RemoveItem, this, &ItemCommands::acRemoveItemExecute);
    commands.connectCommand(Id::DeleteFromDisk, this, &ItemCommands::acDeleteFromDiskExecute);
}

// ---------------------------------------------------------------- add, comment

void ItemCommands::acNewCategExecute()
{
    Catalogue& catalogue = m_context.catalogue();
    TreeNode* selected = m_view.selectedTreeNode();
    TreeNode* parent = nullptr;
    if (selected && selected != catalogue.topCategory) {
        // Shift held at this moment asks for a sub-category of the selection.
        const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
        parent = isCategory(selected) && shift ? selected : selected->parent();
    }
    m_view.addCategoryNode(parent, QStringLiteral("New category"));
}

void ItemCommands::acAddCommentsExecute()
{
    TreeNode* node = m_context.targetNode();
    if (!node || !node->data())
        return;
    QInputDialog dialog(&m_context.window());
    dialog.setObjectName(QStringLiteral("CommentDialog"));
    dialog.setWindowTitle(QStringLiteral("Comment"));
    dialog.setLabelText(QStringLiteral("Type or change the comment"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(node->data()->comments);
    NodeWatch watch(m_context.catalogue().nodes(), {node});
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!watch[0])
        return;
    // Cancel gives the comment back as it was; the parent is selected either way.
    const QString comments = accepted ? dialog.textValue() : node->data()->comments;
    m_context.catalogue().nodes().editRecord(node,
                                             [&](NodeInfo& info) { info.comments = comments; });
    if (TreeNode* parent = node->parent())
        m_view.tree()->setCurrentIndex(m_context.catalogue().nodes().indexOf(parent));
}

// ---------------------------------------------------------------- remove, delete

void ItemCommands::acRemoveItemExecute()
{
    removeSelection(false);
}

void ItemCommands::acDeleteFromDiskExecute()
{
    removeSelection(true);
}

void ItemCommands::removeSelection(bool deleteFile)
{
    const QWidget* focus = m_context.window().focusWidget();
    if (focus && focus == m_view.tree())
        removeTreeSelection(deleteFile);
    else if (focus && m_view.listViews().contains(focus))
        removeListSelection(deleteFile);
}

void ItemCommands::removeTreeSelection(bool deleteFile)
{
    Catalogue& catalogue = m_context.catalogue();
    TreeNode* node = m_view.selectedTreeNode();
    if (!node || node == catalogue.topCategory)
        return;
    if (!deleteFile && !MessageDialogs::askYesNoFmt(
                           QStringLiteral("Remove \"%s\" from the program?"), {node->text()},
                           MessageDialogs::DefaultHorzOffset, MessageDialogs::DefaultVertOffset,
                           m_context.commands().anchor(Id::RemoveItem)))
        return;
    NodeWatch watch(catalogue.nodes(), {node, nodeToListAfter(node)});
    if (deleteFile && !deleteRealFile(node))
        return;
    // The node may have gone with the other links to its file; then the
    // choice made before stands, if that node is still there.
    TreeNode* next = watch[0] ? nodeToListAfter(node) : watch[1];
    if (watch[0])
        removeNode(node);
    if (next)
        m_view.listCategory(next);
}

void ItemCommands::removeListSelection(bool deleteFile)
{
    Catalogue& catalogue = m_context.catalogue();
    TreeNode* node = m_view.listNodeAt(m_view.selectedListRow());
    if (!node)
        return;
    if (!deleteFile &&
        !MessageDialogs::askYesNoFmt(
            QStringLiteral("Remove \"%s\" ?"), {node->text()}, MessageDialogs::DefaultHorzOffset,
            MessageDialogs::DefaultVertOffset, m_context.commands().anchor(Id::RemoveItem)))
        return;
    const bool category = isCategory(node);
    NodeWatch watch(catalogue.nodes(), {node, node->parent()});
    if (deleteFile && !deleteRealFile(node))
        return;
    if (watch[0])
        removeNode(node); // its row goes with it
    if (m_view.listingNodes())
        return; // the other found rows stay, and the filter with them
    if (category)
        m_view.listCategory(m_view.selectedTreeNode());
    else if (watch[1])
        m_view.listCategory(watch[1]);
}

void ItemCommands::removeNode(TreeNode* node)
{
    QTreeView* tree = m_view.tree();
    const bool wasEnabled = tree->updatesEnabled();
    tree->setUpdatesEnabled(false);
    auto resume = qScopeGuard([tree, wasEnabled] { tree->setUpdatesEnabled(wasEnabled); });
    m_context.catalogue().nodes().deleteNode(node); // the records go with the nodes
}

bool ItemCommands::deleteRealFile(TreeNode* node)
{
    const NodeInfo* info = node ? node->data() : nullptr;
    if (!info || (info->kind != nkDoc && info->kind != nkFolder))
        return false;
    const QString path = info->fullName;
    const bool exists =
        info->kind == nkDoc ? FileUtils::fileExists(path) : FileUtils::directoryExists(path);
    if (!exists)
        return false;
    // The file operation asks its own confirmation and shows its own errors;
    // a refusal by the trash is a failure, never a permanent delete.
    if (!FileUtils::deletePath(path, true))
        return false;
    Catalogue& catalogue = m_context.catalogue();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QGuiApplication::restoreOverrideCursor(); });
    updateLinksTo(
        catalogue.search(), catalogue.nodes(), path, std::nullopt, [this](const QString& question) {
            QGuiApplication::restoreOverrideCursor();
            auto busy = qScopeGuard([] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); });
            return MessageDialogs::askYesNo(question, &m_context.window());
        });
    return true;
}
