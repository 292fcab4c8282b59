#include "forms/main/ItemCommands.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/CommandContext.h"
#include "forms/main/RealFiles.h"
#include "utils/FileOperations.h"
#include "utils/PathTests.h"
#include "utils/Trash.h"

#include <QAbstractItemView>
#include <QAction>
#include <QGuiApplication>
#include <QInputDialog>
#include <QMainWindow>
#include <QPointer>
#include <QScopeGuard>
#include <QTreeView>
#include <algorithm>
#include <memory>
#include <vector>

using Commands::Id;

namespace
{

bool isCategory(const TreeNode* node)
{
    return node && node->isCategory();
}

// The step's name: what the user did, to what.
QString stepText(bool deleteFile, const TreeNode* node)
{
    return (deleteFile ? QStringLiteral("Delete \"%1\"") : QStringLiteral("Remove \"%1\""))
        .arg(node->text());
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
    QAction* newCateg = commands.action(Id::AddCategory);
    newCateg->setShortcuts({newCateg->shortcut(), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_N)});
    commands.connectCommand(Id::AddCategory, this, &ItemCommands::addCategory);
    commands.connectCommand(Id::Comment, this, &ItemCommands::editComment);
    commands.connectCommand(Id::RemoveFromProgram, this, &ItemCommands::removeFromProgram);
    commands.connectCommand(Id::DeleteFromDisk, this, &ItemCommands::deleteFromDisk);
}

// ---------------------------------------------------------------- add, comment

void ItemCommands::addCategory()
{
    Catalogue& catalogue = m_context.catalogue();
    TreeNode* selected = m_view.currentNode();
    TreeNode* parent = nullptr;
    if (selected && selected != catalogue.topCategory()) {
        // Shift held at this moment asks for a sub-category of the selection.
        const bool shift = QGuiApplication::queryKeyboardModifiers() & Qt::ShiftModifier;
        parent = isCategory(selected) && shift ? selected : selected->parent();
    }
    const QString name = tr("New category");
    EditHistory::Step step(catalogue.history(), QStringLiteral("Add category \"%1\"").arg(name));
    step.joinFirstName(m_view.addCategoryNode(parent, name), QStringLiteral("Add category \"%1\""));
}

void ItemCommands::editComment()
{
    NodeTree& nodes = m_context.catalogue().nodes();
    const NodeRef node(nodes, m_context.targetNode());
    if (!node || !node->data())
        return;
    QInputDialog dialog(&m_context.window());
    dialog.setObjectName(QStringLiteral("CommentDialog"));
    dialog.setWindowTitle(tr("Comment"));
    dialog.setLabelText(tr("Type or change the comment"));
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setTextValue(node->data()->comments);
    const bool accepted = dialog.exec() == QDialog::Accepted;
    if (!node)
        return;
    // Cancel gives the comment back as it was; the parent is selected either way.
    const QString comments = accepted ? dialog.textValue() : node->data()->comments.text();
    {
        const EditHistory::Step step(m_context.catalogue().history(),
                                     QStringLiteral("Comment \"%1\"").arg(node->text()));
        if (comments != node->data()->comments)
            nodes.editRecord(node, [&](NodeInfo& info) { info.comments = comments; });
    }
    if (TreeNode* parent = node->parent())
        m_view.setCurrentNode(parent);
}

// ---------------------------------------------------------------- remove, delete

void ItemCommands::removeFromProgram()
{
    removeSelection(false);
}

void ItemCommands::deleteFromDisk()
{
    removeSelection(true);
}

void ItemCommands::removeSelection(bool deleteFile)
{
    const CategoryView::Pane pane = m_view.focusedPane();
    if (pane == CategoryView::Pane::Tree)
        removeTreeSelection(deleteFile);
    else if (pane == CategoryView::Pane::List)
        removeListSelection(deleteFile);
}

void ItemCommands::removeTreeSelection(bool deleteFile)
{
    Catalogue& catalogue = m_context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    const NodeRef node(nodes, m_view.currentNode());
    if (!node || node == catalogue.topCategory())
        return;
    if (!deleteFile &&
        !MessageDialogs::askYesNo(tr("Remove \"%1\" from the program?").arg(node->text()),
                                  m_context.commands().anchor(Id::RemoveFromProgram)))
        return;
    if (!node)
        return; // gone while the question was open
    const NodeRef listNext(nodes, nodeToListAfter(node));
    auto step =
        std::make_shared<EditHistory::Step>(catalogue.history(), stepText(deleteFile, node));
    auto finish = [this, step, node, listNext]() mutable {
        // The node may have gone with the other links to its file; then the
        // choice made before stands, if that node is still there.
        TreeNode* next = node ? nodeToListAfter(node) : listNext.get();
        if (node)
            removeNode(node);
        step.reset();
        if (next)
            m_view.listCategory(next);
    };
    if (!deleteFile)
        finish();
    else
        deleteRealFile(node, std::move(finish));
}

void ItemCommands::removeListSelection(bool deleteFile)
{
    NodeTree& nodes = m_context.catalogue().nodes();
    const NodeRef node(nodes, m_view.listNodeAt(m_view.selectedListRow()));
    if (!node)
        return;
    if (!deleteFile &&
        !MessageDialogs::askYesNo(tr("Remove \"%1\" ?").arg(node->text()),
                                  m_context.commands().anchor(Id::RemoveFromProgram)))
        return;
    if (!node)
        return;
    const bool category = isCategory(node);
    const NodeRef parent(nodes, node->parent());
    auto step = std::make_shared<EditHistory::Step>(m_context.catalogue().history(),
                                                    stepText(deleteFile, node));
    auto finish = [this, step, node, category, parent]() mutable {
        if (node)
            removeNode(node); // its row goes with it
        step.reset();
        if (m_view.listingNodes())
            return; // the other found rows stay, and the filter with them
        if (category)
            m_view.listCategory(m_view.currentNode());
        else if (parent)
            m_view.listCategory(parent);
    };
    if (!deleteFile)
        finish();
    else
        deleteRealFile(node, std::move(finish));
}

void ItemCommands::removeNode(TreeNode* node)
{
    const CategoryView::TreeDrawingHeld held(m_view);
    m_context.catalogue().nodes().deleteNode(node); // the records go with the nodes
}

bool ItemCommands::deleteRealFile(TreeNode* node, std::function<void()> then)
{
    const NodeInfo* info = node ? node->data() : nullptr;
    if (!info || (info->kind != NodeKind::Doc && info->kind != NodeKind::Folder))
        return false;
    const QString path = info->fullName;
    const bool exists = info->kind == NodeKind::Doc ? FileUtils::fileExists(path)
                                                    : FileUtils::directoryExists(path);
    if (!exists)
        return false;
    Catalogue& catalogue = m_context.catalogue();
    // The catalogue's own folder gone, the end of the run could save nothing.
    if (const QString why = RealFiles::refusal(catalogue, path, true); !why.isEmpty()) {
        MessageDialogs::errorBox(why, &m_context.window());
        return false;
    }
    // The file operation asks its own confirmation and shows its own errors;
    // a refusal by the trash is a failure, never a permanent delete.
    if (!FileUtils::deletePath(path, true))
        return false;
    keepTrashedForUndo(info->kind == NodeKind::Folder);
    // The links follow in slices (the window keeps answering); the step
    // stays open, and what ends the command waits, until they are through.
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    auto held = std::make_shared<CategoryView::TreeDrawingHeld>(m_view);
    catalogue.startLinkUpdate(
        path, std::nullopt,
        [this](const QString& question) {
            QGuiApplication::restoreOverrideCursor();
            auto busy = qScopeGuard([] { QGuiApplication::setOverrideCursor(Qt::WaitCursor); });
            return MessageDialogs::askYesNo(question, &m_context.window());
        },
        [then = std::move(then), held](int) mutable {
            QGuiApplication::restoreOverrideCursor();
            if (then)
                then();
            held.reset(); // the tree laid out and drawn once, for all of it
        });
    return true;
}

void ItemCommands::keepTrashedForUndo(bool isFolder)
{
    // Undo takes the item back out of the trash (before its links come
    // back); redo puts it there again. Either may find its way blocked.
    struct Place {
        FileUtils::TrashedItem trashed;
        QByteArray original;
    };
    auto place = std::make_shared<Place>(Place{FileUtils::lastTrashed(), {}});
    QPointer<QWidget> window(&m_context.window());
    auto fail = [window](const QString& error) {
        MessageDialogs::errorBox(error, window.data());
        return false;
    };
    m_context.catalogue().history().addOutside(
        [place, fail] {
            QString error;
            return FileUtils::restoreFromTrash(place->trashed, place->original, error) ||
                   fail(error);
        },
        [place, fail, isFolder] {
            QString error;
            if (!FileUtils::moveToTrash(place->original, isFolder, error))
                return fail(error);
            place->trashed = FileUtils::lastTrashed();
            return true;
        });
}
