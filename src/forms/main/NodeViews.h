#pragma once
#include "components/RunningDrags.h"

#include <QBasicTimer>
#include <QDrag>
#include <QGuiApplication>
#include <QListView>
#include <QMouseEvent>
#include <QTreeView>
#include <functional>

class QFrame;

// A view whose selected row is dragged as its node: the model's drag data,
// a move unless the target makes it a copy. The owner hears of the start (to
// give the drag its picture) and of the end. Only the left button drags.
template <class View> class NodeDragView : public View
{
public:
    using View::View;

    using DragStart = std::function<void(QDrag* drag, const QModelIndex& row)>;
    void setDragHooks(DragStart start, std::function<void()> end)
    {
        m_start = std::move(start);
        m_end = std::move(end);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override
    {
        m_pressed = this->indexAt(event->position().toPoint());
        View::mousePressEvent(event);
    }
    void mouseMoveEvent(QMouseEvent* event) override
    {
        if (!(event->buttons() & Qt::LeftButton)) {
            View::mouseMoveEvent(event);
            return;
        }
        // The moves of a press are for dragging its row only, which the
        // press selected: never the view's selecting by dragging, which only
        // the release ends (and a drag takes the release).
        const bool dragging = this->state() == View::DraggingState;
        if (!dragging &&
            (!m_pressed.isValid() || !this->selectionModel() ||
             !this->selectionModel()->isRowSelected(m_pressed.row(), m_pressed.parent())))
            return;
        View::mouseMoveEvent(event);
        // The move that made the press a drag may be far enough to start it.
        if (!dragging && this->state() == View::DraggingState)
            View::mouseMoveEvent(event);
    }
    void startDrag(Qt::DropActions actions) override
    {
        if (!(QGuiApplication::mouseButtons() & Qt::LeftButton) || !this->selectionModel())
            return;
        const QModelIndexList rows = this->selectionModel()->selectedRows();
        QMimeData* dragged = rows.isEmpty() ? nullptr : this->model()->mimeData(rows);
        if (!dragged)
            return;
        auto* drag = new QDrag(this); // Qt lets it go when the drag is over
        drag->setMimeData(dragged);
        if (m_start)
            m_start(drag, rows.first());
        {
            const RunningDrags::Scope running;
            // The drop did the work (the model's drop): nothing is removed here.
            drag->exec(actions, Qt::MoveAction);
        }
        if (m_end)
            m_end();
    }

private:
    QPersistentModelIndex m_pressed;
    DragStart m_start;
    std::function<void()> m_end;
};

using EntryIconsView = NodeDragView<QListView>;
using EntryDetailsView = NodeDragView<QTreeView>;

// The category tree: its rows drag, and take the drop of a node onto a row
// (the model places it; Ctrl at the moment of the drop makes it a copy). The
// row a drop would go to is outlined; a row the model refuses is not, and
// the owner hears of the refusal. Near the edges the view scrolls. A right
// press only makes its row current, for the context menu that follows.
class CategoryTreeView : public NodeDragView<QTreeView>
{
    Q_OBJECT
public:
    explicit CategoryTreeView(QWidget* parent = nullptr);

    // Another program's drag, which the window takes, is over the tree at
    // Point (the viewport's): near an edge the view scrolls as for its own.
    void followForeignDrag(const QPoint& point);
    // It left the tree, or ended.
    void endForeignDrag();
    // While held (the holds nest), the rows are not laid out again: a change
    // of the tree made in slices costs one layout of every shown row, at the
    // end, not one per turn of the event loop.
    void holdLayout(bool held);
    void doItemsLayout() override;

Q_SIGNALS:
    // Over a row where the dragged node may not go (true), or no longer.
    void dropRefused(bool refused);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dragLeaveEvent(QDragLeaveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    bool carriesNode(const QDropEvent* event) const;
    // A move, or a copy when Ctrl is down at this moment.
    static Qt::DropAction moveOrCopy(const QDropEvent* event);
    // Takes the drag as that.
    static void acceptMoveOrCopy(QDropEvent* event);
    void outlineRow(const QModelIndex& row);

    QFrame* m_dropRow = nullptr;
    // Another program's drag: the view's own auto-scroll reads the drag
    // events it never gets, so the step toward the near edge is kept here.
    QBasicTimer m_foreignScroll;
    int m_foreignStep = 0;
    int m_layoutHolds = 0;
    bool m_layoutDue = false;
};
