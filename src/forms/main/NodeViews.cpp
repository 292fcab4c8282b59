#include "forms/main/NodeViews.h"
#include "catalogue/NodeTree.h"
#include "forms/main/CommandContext.h"

#include <QFrame>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTimerEvent>

// The pace of the views' own auto-scroll.
constexpr int ForeignScrollIntervalMs = 50;

CategoryTreeView::CategoryTreeView(QWidget* parent) : NodeDragView<QTreeView>(parent)
{
    setDragDropMode(QAbstractItemView::DragDrop);
    // The outline below is the only mark of where a drop goes.
    setDropIndicatorShown(false);
    m_dropRow = new QFrame(viewport());
    m_dropRow->setObjectName(QStringLiteral("DropRow"));
    m_dropRow->setFrameStyle(QFrame::Box | QFrame::Plain);
    m_dropRow->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_dropRow->hide();
}

void CategoryTreeView::followForeignDrag(const QPoint& point)
{
    const QRect area = viewport()->rect();
    const int margin = autoScrollMargin();
    m_foreignStep = 0;
    if (hasAutoScroll() && area.contains(point)) {
        if (point.y() - area.top() < margin)
            m_foreignStep = -1;
        else if (area.bottom() - point.y() < margin)
            m_foreignStep = 1;
    }
    if (m_foreignStep == 0)
        m_foreignScroll.stop();
    else if (!m_foreignScroll.isActive())
        m_foreignScroll.start(ForeignScrollIntervalMs, this);
}

void CategoryTreeView::endForeignDrag()
{
    m_foreignScroll.stop();
    m_foreignStep = 0;
}

void CategoryTreeView::timerEvent(QTimerEvent* event)
{
    if (event->timerId() != m_foreignScroll.timerId()) {
        NodeDragView<QTreeView>::timerEvent(event);
        return;
    }
    QScrollBar* bar = verticalScrollBar();
    const int before = bar->value();
    bar->setValue(before + m_foreignStep * bar->singleStep());
    if (bar->value() == before)
        m_foreignScroll.stop();
}

void CategoryTreeView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::RightButton) {
        NodeDragView<QTreeView>::mousePressEvent(event);
        return;
    }
    // The press only chooses the node (or none); the menu follows.
    const QModelIndex hit = indexAt(event->position().toPoint());
    if (hit.isValid())
        selectionModel()->setCurrentIndex(hit, QItemSelectionModel::ClearAndSelect);
    else
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::Clear);
}

bool CategoryTreeView::carriesNode(const QDropEvent* event) const
{
    // A drag of this window's own nodes; anything else is another program's.
    const auto* nodes = qobject_cast<const NodeTree*>(model());
    return nodes && event->source() && nodes->draggedNode(event->mimeData());
}

Qt::DropAction CategoryTreeView::moveOrCopy(const QDropEvent* event)
{
    // The key's state at the drop, not at the drag's start.
    return event->modifiers() & Qt::ControlModifier ? Qt::CopyAction : Qt::MoveAction;
}

void CategoryTreeView::acceptMoveOrCopy(QDropEvent* event)
{
    event->setDropAction(moveOrCopy(event));
    event->accept();
}

void CategoryTreeView::outlineRow(const QModelIndex& row)
{
    if (!row.isValid()) {
        m_dropRow->hide();
        return;
    }
    const QRect r = visualRect(row);
    m_dropRow->setGeometry(0, r.top(), viewport()->width(), r.height());
    m_dropRow->show();
}

void CategoryTreeView::dragEnterEvent(QDragEnterEvent* event)
{
    if (!carriesNode(event)) {
        NodeDragView<QTreeView>::dragEnterEvent(event);
        return;
    }
    // The enter is always taken: Qt tells only the widget that took it of the
    // moves, where a refusal is shown.
    setState(DraggingState);
    Q_EMIT dropRefused(false);
    acceptMoveOrCopy(event);
    outlineRow(indexAt(event->position().toPoint()));
}

void CategoryTreeView::dragMoveEvent(QDragMoveEvent* event)
{
    // The view's own handling scrolls near the edges.
    NodeDragView<QTreeView>::dragMoveEvent(event);
    if (!carriesNode(event))
        return;
    const QModelIndex row = indexAt(event->position().toPoint());
    // Refused while over such a row, not after the drop.
    if (!model()->canDropMimeData(event->mimeData(), moveOrCopy(event), -1, -1, row)) {
        event->ignore();
        m_dropRow->hide();
        Q_EMIT dropRefused(true);
        return;
    }
    Q_EMIT dropRefused(false);
    acceptMoveOrCopy(event);
    outlineRow(row);
}

void CategoryTreeView::dragLeaveEvent(QDragLeaveEvent* event)
{
    m_dropRow->hide();
    Q_EMIT dropRefused(false);
    NodeDragView<QTreeView>::dragLeaveEvent(event);
}

void CategoryTreeView::dropEvent(QDropEvent* event)
{
    if (!carriesNode(event)) {
        NodeDragView<QTreeView>::dropEvent(event);
        return;
    }
    m_dropRow->hide();
    stopAutoScroll();
    setState(NoState);
    Q_EMIT dropRefused(false);
    const QModelIndex row = indexAt(event->position().toPoint());
    if (!model()->canDropMimeData(event->mimeData(), moveOrCopy(event), -1, -1, row)) {
        event->ignore();
        return;
    }
    acceptMoveOrCopy(event);
    const QPersistentModelIndex target(row);
    const Qt::DropAction action = event->dropAction();
    const QMimeData* dragged = event->mimeData();
    CommandContext::guarded(
        [&] { model()->dropMimeData(dragged, action, -1, -1, QModelIndex(target)); });
}

void CategoryTreeView::holdLayout(bool held)
{
    m_layoutHolds += held ? 1 : -1;
    if (m_layoutHolds == 0 && std::exchange(m_layoutDue, false))
        scheduleDelayedItemsLayout();
}

void CategoryTreeView::doItemsLayout()
{
    if (m_layoutHolds > 0) {
        m_layoutDue = true;
        return;
    }
    NodeDragView<QTreeView>::doItemsLayout();
}
