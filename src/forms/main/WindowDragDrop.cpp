#include "forms/main/WindowDragDrop.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/DropFormats.h"
#include "components/MessageDialogs.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandContext.h"
#include "forms/main/FoldersPanel.h"
#include "forms/main/RealFiles.h"

#include <QDrag>
#include <QDropEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QStatusBar>
#include <string_view>

namespace
{

// The drop targets for other programs leave the window's own drags alone by
// this type: the two names must stay one.
static_assert(std::string_view(NodeTree::NodesMimeType) == DropFormats::PrivateNodesMime);

constexpr int DragPicture = 16;
const QString NotIntoMaker = QStringLiteral("Entries cannot be filed into the Velmarch category");
const QString MakerStays = QStringLiteral("The Velmarch category stays at the top of the tree");

} // namespace

WindowDragDrop::WindowDragDrop(CommandContext& context, CategoryView& view, FoldersPanel& folders)
    : QObject(&view), m_context(context), m_view(view), m_folders(folders)
{
    setObjectName(QStringLiteral("WindowDragDrop"));
    Catalogue& catalogue = context.catalogue();
    NodeTree& nodes = catalogue.nodes();
    // The built-in category is made anew at every start and never saved:
    // whatever went into it would be lost at the end of the run.
    nodes.setDropRefusal(
        [&catalogue](const TreeNode* parent) { return catalogue.inBuiltInCategory(parent); });
    // Nor does it move: the program keeps it first, where the next start and
    // a backup put it again (a copy is an ordinary category of the user's).
    nodes.setMoveRefusal(
        [&catalogue](const TreeNode* node) { return node == catalogue.makerCategory(); });
    connect(&nodes, &NodeTree::nodeDropped, this,
            [this](TreeNode* node) { m_result = NodeRef(m_context.catalogue().nodes(), node); });
    view.setNodeDragHooks([this](QDrag* drag, TreeNode* node) { dragStarted(drag, node); },
                          [this] { CommandContext::guarded([this] { dragFinished(); }); });
    connect(&view, &CategoryView::nodeDropRefused, this, &WindowDragDrop::showRefusal);

    // Only real files and folders can go into a folder.
    folders.setLineDrops(FoldersPanel::LineDrops{
        [this](const QDropEvent* event) {
            return m_source && event->source() && event->mimeData() &&
                   event->mimeData()->hasFormat(QString::fromLatin1(NodesMimeType));
        },
        [this](const QMimeData*) { return isFileLink(m_source); },
        [this](const QModelIndex& line, Qt::DropAction action) {
            if (!line.isValid())
                return;
            CommandContext::guarded([this, row = line.row(), action] {
                dropOntoFolderLine(row, action == Qt::CopyAction);
            });
        },
    });
}

void WindowDragDrop::dragStarted(QDrag* drag, TreeNode* node)
{
    m_source = NodeRef(m_context.catalogue().nodes(), node);
    m_result = NodeRef();
    m_view.commentLabel()->setText(QStringLiteral("To copy keep the \"Ctrl\" key down"));
    const ImageList& icons = m_context.catalogue().images().small;
    if (node && node->imageIndex() >= 0 && node->imageIndex() < icons.count())
        drag->setPixmap(icons.icon(node->imageIndex()).pixmap(DragPicture, DragPicture));
}

void WindowDragDrop::showRefusal(bool refused)
{
    QStatusBar* bar = m_context.window().statusBar();
    // The built-in category's own move, or a drop (its copy's too) into it.
    const bool maker = m_source && m_source == m_context.catalogue().makerCategory() &&
                       !(QGuiApplication::keyboardModifiers() & Qt::ControlModifier);
    if (refused)
        bar->showMessage(maker ? MakerStays : NotIntoMaker);
    else if (bar->currentMessage() == NotIntoMaker || bar->currentMessage() == MakerStays)
        bar->clearMessage();
}

void WindowDragDrop::dragFinished()
{
    showRefusal(false);
    m_view.commentLabel()->clear();
    TreeNode* node = m_source;
    TreeNode* result = m_result;
    m_source = m_result = NodeRef();
    // After a drop the tree shows the entry it made or moved, the list its
    // category; otherwise what the dragged node stands in.
    if (result && result != m_view.currentNode())
        m_view.showInTree(result); // the change of the current node shows it
    else if (result || node)
        m_view.showNode(result ? result : node);
}

void WindowDragDrop::dropOntoFolderLine(int line, bool copy)
{
    // Held: the file operations' questions let the event loop run.
    const NodeRef source = m_source;
    if (!source)
        return;
    QListWidget* dirList = m_folders.dirList();
    dirList->setCurrentRow(line);
    const QString folder = m_folders.folderOfLine(line);
    const QString sourcePath = source->data()->fullName;
    Catalogue& catalogue = m_context.catalogue();
    // Held by a link update that outlasts this (a move's other links).
    auto step = std::make_shared<EditHistory::Step>(
        catalogue.history(),
        (copy ? QStringLiteral("Copy \"%1\"") : QStringLiteral("Move \"%1\"")).arg(source->text()));
    // Into the folder under its own name; one of that name there is asked
    // about, and the entries record where it really went.
    const QString destination =
        RealFiles::moveOrCopy(catalogue, sourcePath, folder, !copy, dirList);
    if (destination.isEmpty())
        return;
    if (copy)
        RealFiles::keepCopyForUndo(catalogue, sourcePath, destination, dirList);
    else
        RealFiles::keepMoveForUndo(catalogue, sourcePath, destination, dirList);
    m_folders.setCurrentFolder(folder);
    NodeTree& nodes = catalogue.nodes();
    if (source)
        nodes.editRecord(source, [&](NodeInfo& info) { info.fullName = destination; });
    if (copy) {
        if (!source)
            return;
        // The dragged entry now stands for the copy, a new one before it
        // for the file at the old place.
        NewNode original{source->text(), std::make_unique<NodeInfo>(), source->imageIndex()};
        original.info->assign(source->data());
        original.info->fullName = sourcePath;
        std::vector<NewNode> made;
        made.push_back(std::move(original));
        m_result = NodeRef(
            nodes, nodes.insertNodes(source->parent(), source->index(), std::move(made)).front());
        return;
    }
    m_result = source;
    catalogue.startLinkUpdate(
        sourcePath, destination,
        [this](const QString& question) {
            return MessageDialogs::askYesNo(question, &m_context.window());
        },
        [step = std::move(step)](int) {}); // the step ends with the update
}
