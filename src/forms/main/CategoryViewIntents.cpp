// What CategoryView gives the other controllers: intents about the tree
// (its current node, the node at a point, the tree's area, the pane with the
// keyboard), the placement of "Add file..." and the drags of rows.
#include "catalogue/Catalogue.h"
#include "catalogue/ListModel.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandContext.h"
#include "forms/main/NodeViews.h"

#include <QCursor>
#include <QMainWindow>

TreeNode* CategoryView::currentNode() const
{
    return NodeTree::nodeOf(m_tree->currentIndex());
}

void CategoryView::setCurrentNode(TreeNode* node)
{
    m_tree->setCurrentIndex(m_context.catalogue().nodes().indexOf(node));
}

void CategoryView::scrollToNode(TreeNode* node)
{
    m_tree->scrollTo(m_context.catalogue().nodes().indexOf(node));
}

void CategoryView::focusTree()
{
    m_tree->setFocus(Qt::OtherFocusReason);
}

CategoryView::Pane CategoryView::focusedPane() const
{
    const QWidget* focus = m_context.window().focusWidget();
    return treeHasFocus(focus) ? Pane::Tree : listHasFocus(focus) ? Pane::List : Pane::None;
}

TreeNode* CategoryView::nodeAt(const QPoint& globalPos) const
{
    const QWidget* port = m_tree->viewport();
    const QPoint p = port->mapFromGlobal(globalPos);
    if (!port->rect().contains(p))
        return nullptr; // over the list, the tool bar or the strip
    return NodeTree::nodeOf(m_tree->indexAt(p));
}

QWidget* CategoryView::treeAnchor() const
{
    return m_tree;
}

QRect CategoryView::treeArea() const
{
    const QWidget* port = m_tree->viewport();
    return QRect(port->mapToGlobal(QPoint(0, 0)), port->size());
}

CategoryView::TreeDrawingHeld::TreeDrawingHeld(CategoryView& view)
    : m_tree(view.m_tree), m_wasDrawn(view.m_tree->updatesEnabled())
{
    m_tree->setUpdatesEnabled(false);
    m_tree->holdLayout(true);
}

CategoryView::TreeDrawingHeld::~TreeDrawingHeld()
{
    m_tree->holdLayout(false);
    m_tree->setUpdatesEnabled(m_wasDrawn);
}

void CategoryView::followPlacement(const QString& hint, std::function<void(const QPoint&)> moved,
                                   std::function<void(const QPoint&)> placed)
{
    constexpr QPoint PlacementPointer(40, 80);
    if (!m_placementPlaced)
        m_viewportTracked = m_tree->viewport()->hasMouseTracking();
    m_placementMoved = std::move(moved);
    m_placementPlaced = std::move(placed);
    m_tree->setToolTip(hint);
    m_tree->viewport()->setMouseTracking(true);
    QCursor::setPos(m_tree->mapToGlobal(PlacementPointer));
}

void CategoryView::setNodeDragHooks(std::function<void(QDrag*, TreeNode*)> start,
                                    std::function<void()> end)
{
    m_tree->setDragHooks(
        [start](QDrag* drag, const QModelIndex& row) { start(drag, NodeTree::nodeOf(row)); }, end);
    const auto fromList = [this, start](QDrag* drag, const QModelIndex& row) {
        start(drag, listNodeAt(row.siblingAtColumn(0)));
    };
    m_listIcons->setDragHooks(fromList, end);
    m_listDetails->setDragHooks(fromList, end);
}

void CategoryView::followForeignDrag(const QPoint& globalPos)
{
    m_tree->followForeignDrag(m_tree->viewport()->mapFromGlobal(globalPos));
}

void CategoryView::endForeignDrag()
{
    m_tree->endForeignDrag();
}
