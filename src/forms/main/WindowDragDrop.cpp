#include "forms/main/WindowDragDrop.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "components/MessageDialogs.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandContext.h"
#include "forms/main/FoldersPanel.h"
#include "forms/main/RealFiles.h"

#include <QApplication>
#include <QDrag>
#include <QDropEvent>
#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QMainWindow>
#include <QMimeData>
#include <QStatusBar>
#include <QTreeView>

namespace
{

constexpr int DragPicture = 16;
const QString NotIntoMaker = QStringLiteral("Entries cannot be filed into the Velmarch category");

// Takes the drag as a move, or as a copy when Ctrl is down at this moment
// (the key's state at the drop, not at the drag's start); true for a copy.
bool acceptMoveOrCopy(QDropEvent* event)
{
    const bool copy = event->modifiers() & Qt::ControlModifier;
    event->setDropAction(copy ? Qt::CopyAction : Qt::MoveAction);
    event->accept();
    return copy;
}

} // namespace

WindowDragDrop::WindowDragDrop(CommandContext& context, CategoryView& view, FoldersPanel& folders)
    : QObject(&view), m_context(context), m_view(view), m_folders(folders)
{
    setObjectName(QStringLiteral("WindowDragDrop"));
    QTreeView* tree = view.tree();
    tree->setAcceptDrops(true);
    tree->viewport()->setAcceptDrops(true);
    tree->viewport()->installEventFilter(this);
    // Every drag of a row is this controller's: the views' own drags would
    // carry no node, and one that started where this one did not (a press
    // Qt took for a double click) would leave a drop nobody understands.
    tree->setDragEnabled(false);
    for (QAbstractItemView* list : view.listViews()) {
        list->setDragEnabled(false);
        list->viewport()->installEventFilter(this);
    }
    QListWidget* dirList = folders.dirList();
    dirList->setAcceptDrops(true);
    dirList->viewport()->setAcceptDrops(true);
    dirList->viewport()->installEventFilter(this);

    m_dropRow = new QFrame(tree->viewport());
    m_dropRow->setObjectName(QStringLiteral("DropRow"));
    m_dropRow->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_dropRow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropRow->hide();
}

bool WindowDragDrop::eventFilter(QObject* watched, QEvent* event)
{
    QTreeView* tree = m_view.tree();
    if (watched == tree->viewport())
        return sourceFilter(tree, event) || treeFilter(event);
    if (watched == m_folders.dirList()->viewport())
        return dirListFilter(event);
    for (QAbstractItemView* list : m_view.listViews())
        if (watched == list->viewport())
            return sourceFilter(list, event);
    return QObject::eventFilter(watched, event);
}

bool WindowDragDrop::ours(const QDropEvent* event) const
{
    // A drag of this window's own nodes; anything else is another program's.
    return m_source && event->source() && event->mimeData() &&
           event->mimeData()->hasFormat(QString::fromLatin1(NodesMimeType));
}

// ---------------------------------------------------------------- the start

bool WindowDragDrop::sourceFilter(QAbstractItemView* view, QEvent* event)
{
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick: { // the second press of a double click may drag too
        const auto* e = static_cast<QMouseEvent*>(event);
        m_pressedIn = e->button() == Qt::LeftButton ? view : nullptr;
        m_pressAt = e->position().toPoint();
        m_swallowing = false;
        return false;
    }
    case QEvent::MouseButtonRelease:
        m_pressedIn = nullptr;
        m_swallowing = false;
        return false;
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (!(e->buttons() & Qt::LeftButton))
            return false;
        // A press that may not drag stays without a drag of the view's own
        // (which would carry no node) until the button is let go.
        if (m_swallowing)
            return true;
        if (m_pressedIn != view)
            return false;
        // The moves of a press that may drag are never the view's: one would
        // start its selecting by dragging, which only the release ends, and
        // the release of a drag goes to the drag. A view left selecting
        // ignores every later press, and the next drag would be lost.
        if ((e->position().toPoint() - m_pressAt).manhattanLength() <
            QApplication::startDragDistance())
            return true;
        m_pressedIn = nullptr;
        // Only a selected row is dragged (the press has selected it).
        const QModelIndex pressed = view->indexAt(m_pressAt);
        TreeNode* node = nullptr;
        if (pressed.isValid() && view->selectionModel() &&
            view->selectionModel()->isRowSelected(pressed.row(), pressed.parent()))
            node = view == m_view.tree() ? NodeTree::nodeOf(pressed)
                                         : m_view.listNodeAt(pressed.siblingAtColumn(0));
        if (node)
            startDrag(view, node);
        else
            m_swallowing = true;
        return true;
    }
    default:
        return false;
    }
}

void WindowDragDrop::startDrag(QAbstractItemView* view, TreeNode* node)
{
    m_source = NodeRef(m_context.catalogue().nodes(), node);
    m_view.commentLabel()->setText(QStringLiteral("To copy keep the \"Ctrl\" key down"));
    auto* mime = new QMimeData;
    mime->setData(QString::fromLatin1(NodesMimeType), QByteArray::number(node->absoluteIndex()));
    auto* drag = new QDrag(view); // Qt lets it go when the drag is over
    drag->setMimeData(mime);
    const ImageList& icons = m_context.catalogue().images().small;
    if (node->imageIndex() >= 0 && node->imageIndex() < icons.count())
        drag->setPixmap(icons.icon(node->imageIndex()).pixmap(DragPicture, DragPicture));
    drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
    CommandContext::guarded([this] { docsTreeEndDrag(); });
}

void WindowDragDrop::clearRefusal()
{
    QStatusBar* bar = m_context.window().statusBar();
    if (bar->currentMessage() == NotIntoMaker)
        bar->clearMessage();
}

bool WindowDragDrop::intoMakerCategory(const QPoint& at) const
{
    // Where docsTreeDragDrop would put the node: into a category row, else
    // beside the row; the first node sends it to the top level.
    const TreeNode* target = NodeTree::nodeOf(m_view.tree()->indexAt(at));
    if (!target || target == m_context.catalogue().nodes().getFirstNode())
        return false;
    const bool intoCategory = target->isCategory();
    const TreeNode* parent = intoCategory ? target : target->parent();
    return m_context.catalogue().inBuiltInCategory(parent);
}

void WindowDragDrop::docsTreeEndDrag()
{
    m_dropRow->hide();
    clearRefusal();
    m_view.commentLabel()->clear();
    TreeNode* node = m_source;
    TreeNode* result = m_result;
    m_source = m_result = NodeRef();
    // After a drop the tree shows the entry it made or moved, the list its
    // category; otherwise what the dragged node stands in.
    if (result && result != m_view.selectedTreeNode())
        m_view.showInTree(result); // the change of the current node shows it
    else if (result || node)
        m_view.showNode(result ? result : node);
}

// ---------------------------------------------------------------- the tree

void WindowDragDrop::showDropRow(const QPoint& at)
{
    QTreeView* tree = m_view.tree();
    const QModelIndex row = tree->indexAt(at);
    if (!row.isValid()) {
        m_dropRow->hide();
        return;
    }
    const QRect r = tree->visualRect(row);
    m_dropRow->setGeometry(0, r.top(), tree->viewport()->width(), r.height());
    m_dropRow->show();
}

bool WindowDragDrop::treeFilter(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (!ours(e))
            return false;
        // Refused while over such a row, not after the drop. The enter is
        // always taken: Qt tells only the widget that took it of the moves.
        if (event->type() == QEvent::DragMove && intoMakerCategory(e->position().toPoint())) {
            e->ignore();
            m_dropRow->hide();
            m_context.window().statusBar()->showMessage(NotIntoMaker);
            return true;
        }
        clearRefusal();
        acceptMoveOrCopy(e);
        showDropRow(e->position().toPoint());
        return true;
    }
    case QEvent::DragLeave:
        m_dropRow->hide();
        clearRefusal();
        return false;
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        if (!ours(e))
            return false;
        m_dropRow->hide();
        clearRefusal();
        if (intoMakerCategory(e->position().toPoint())) {
            e->ignore();
            return true;
        }
        const bool copy = acceptMoveOrCopy(e);
        const QPoint at = e->position().toPoint();
        CommandContext::guarded([this, at, copy] { docsTreeDragDrop(at, copy); });
        return true;
    }
    default:
        return false;
    }
}

TreeNode* WindowDragDrop::copyNode(TreeNode* source, TreeNode* parent, TreeNode* sibling)
{
    NodeTree& nodes = m_context.catalogue().nodes();
    TreeNode* copy = sibling ? nodes.insertNode(sibling, source->text())
                             : nodes.addChild(parent, source->text());
    nodes.setImage(copy, source->imageIndex());
    auto info = std::make_unique<NodeInfo>();
    info->assign(source->data());
    nodes.setNodeData(copy, std::move(info));
    return copy;
}

void WindowDragDrop::docsTreeDragDrop(const QPoint& at, bool copy)
{
    TreeNode* source = m_source;
    TreeNode* target = NodeTree::nodeOf(m_view.tree()->indexAt(at));
    if (!source || !target || !source->data())
        return;
    NodeTree& nodes = m_context.catalogue().nodes();
    const bool first = target == nodes.getFirstNode();
    const bool intoCategory = !first && target->isCategory();
    // Into a category: its first child; onto the first node: the last
    // top-level node; onto an entry: just before it.
    TreeNode* parent = intoCategory ? target : first ? nullptr : target->parent();
    // The built-in category is made anew at every start and never saved:
    // whatever went into it would be lost at the end of the run.
    if (m_context.catalogue().inBuiltInCategory(parent))
        return;
    const EditHistory::Step step(
        m_context.catalogue().history(),
        (copy ? QStringLiteral("Copy \"%1\"") : QStringLiteral("Move \"%1\"")).arg(source->text()));
    if (copy) {
        TreeNode* sibling = intoCategory ? target->getFirstChild() : first ? nullptr : target;
        TreeNode* made = copyNode(source, parent, sibling);
        if (parent)
            m_view.selectNode(parent);
        m_view.selectNode(made);
        m_result = NodeRef(nodes, made);
        return;
    }
    if (target->isUnder(source))
        return; // never into its own subtree
    const int row = intoCategory ? 0 : first ? nodes.rootCount() : target->index();
    nodes.moveTo(source, parent, row);
    m_result = m_source;
    if (parent)
        nodes.expand(parent, false);
}

// ---------------------------------------------------------------- the folders panel

bool WindowDragDrop::dirListFilter(QEvent* event)
{
    switch (event->type()) {
    case QEvent::DragEnter:
    case QEvent::DragMove: {
        auto* e = static_cast<QDragMoveEvent*>(event);
        if (!ours(e))
            return false;
        // Only real files and folders can go into a folder.
        if (isFileLink(m_source)) {
            acceptMoveOrCopy(e);
        } else {
            e->ignore();
        }
        return true;
    }
    case QEvent::Drop: {
        auto* e = static_cast<QDropEvent*>(event);
        if (!ours(e))
            return false;
        if (!isFileLink(m_source)) {
            e->ignore();
            return true;
        }
        const bool copy = acceptMoveOrCopy(e);
        const QPoint at = e->position().toPoint();
        CommandContext::guarded([this, at, copy] { dirListBoxDragDrop(at, copy); });
        return true;
    }
    default:
        return false;
    }
}

void WindowDragDrop::dirListBoxDragDrop(const QPoint& at, bool copy)
{
    // Held: the file operations' questions let the event loop run.
    const NodeRef source = m_source;
    QListWidget* dirList = m_folders.dirList();
    const QModelIndex line = dirList->indexAt(at);
    if (!source || !line.isValid())
        return;
    dirList->setCurrentRow(line.row());
    const QString folder = m_folders.folderOfLine(line.row());
    const QString sourcePath = source->data()->fullName;
    Catalogue& catalogue = m_context.catalogue();
    const EditHistory::Step step(
        catalogue.history(),
        (copy ? QStringLiteral("Copy \"%1\"") : QStringLiteral("Move \"%1\"")).arg(source->text()));
    // Into the folder under its own name; one of that name there is asked
    // about, and the entries record where it really went.
    const QString destination =
        RealFiles::moveOrCopy(catalogue, sourcePath, folder, !copy, dirList);
    if (destination.isEmpty())
        return;
    if (!copy)
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
        TreeNode* original = copyNode(source, source->parent(), source);
        nodes.editRecord(original, [&](NodeInfo& info) { info.fullName = sourcePath; });
        if (original->parent())
            m_view.selectNode(original->parent());
        m_view.selectNode(original);
        m_result = NodeRef(nodes, original);
        return;
    }
    m_result = source;
    updateLinksTo(catalogue.search(), nodes, sourcePath, destination,
                  [this](const QString& question) {
                      return MessageDialogs::askYesNo(question, &m_context.window());
                  });
}
