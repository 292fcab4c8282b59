#include "components/DropTarget.h"
#include "components/DropFormats.h"

#include <QApplication>
#include <QClipboard>
#include <QDropEvent>
#include <QMimeData>
#include <QWidget>

namespace
{

// GNOME's file managers say on the clipboard whether files were cut or copied.
constexpr char CopiedFilesMime[] = "x-special/gnome-copied-files";

} // namespace

DropTarget::DropTarget(QObject* parent) : QObject(parent) {}

DropTarget::~DropTarget()
{
    detach();
}

void DropTarget::attachTo(QWidget* widget)
{
    if (widget == m_widget)
        return;
    detach();
    m_widget = widget;
    if (!widget)
        return;
    widget->setAcceptDrops(true);
    widget->installEventFilter(this);
}

void DropTarget::detach()
{
    m_holding = false;
    if (m_widget) {
        m_widget->removeEventFilter(this);
        m_widget->setAcceptDrops(false);
    }
    m_widget = nullptr;
}

Qt::DropAction DropTarget::chooseDropEffect(Qt::KeyboardModifiers modifiers, const QPoint& point,
                                            Qt::DropActions allowed) const
{
    allowed &= m_dragTypes;
    if (getDropEffect)
        return getDropEffect(modifiers, point, allowed);
    const bool shift = modifiers & Qt::ShiftModifier, ctrl = modifiers & Qt::ControlModifier;
    if (shift && ctrl && (allowed & Qt::LinkAction))
        return Qt::LinkAction;
    if (shift && !ctrl && (allowed & Qt::MoveAction))
        return Qt::MoveAction;
    for (Qt::DropAction a : {Qt::CopyAction, Qt::MoveAction, Qt::LinkAction})
        if (allowed & a)
            return a;
    return Qt::IgnoreAction;
}

Qt::DropAction DropTarget::readClipboard()
{
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasFormat(QString::fromLatin1(CopiedFilesMime)))
        return Qt::IgnoreAction;
    const QByteArray first = data->data(QString::fromLatin1(CopiedFilesMime)).split('\n').value(0);
    if (first.trimmed() == "cut")
        return Qt::MoveAction;
    return first.trimmed() == "copy" ? Qt::CopyAction : Qt::IgnoreAction;
}

bool DropTarget::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != m_widget)
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::DragEnter:
        return dragEnter(static_cast<QDropEvent*>(event));
    case QEvent::DragMove:
        return dragMove(static_cast<QDropEvent*>(event));
    case QEvent::DragLeave:
        // Other targets on the same widget hear of it too.
        dragLeave();
        return false;
    case QEvent::Drop:
        return drop(static_cast<QDropEvent*>(event));
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool DropTarget::serves(const QPoint& point) const
{
    if (!m_excluded || !m_excluded->isVisible())
        return true;
    const QRect area(m_excluded->mapTo(m_widget, QPoint(0, 0)), m_excluded->size());
    return !area.contains(point);
}

bool DropTarget::dragEnter(QDropEvent* event)
{
    resetData();
    m_holding = false;
    const QPoint point = event->position().toPoint();
    // Another handler's drag, or one this target cannot read: not ours.
    if (DropFormats::isPrivateDrag(event->mimeData()) || !acceptsFormats(event->mimeData()) ||
        !serves(point)) {
        event->ignore();
        return false;
    }
    m_holding = true;
    if (m_getDataOnEnter)
        readData(event->mimeData());
    DropTargetEvent e{event->modifiers(), event->buttons(), point};
    e.effect = chooseDropEffect(e.modifiers, point, event->possibleActions());
    Q_EMIT entered(e);
    // Taken even when no effect is allowed here: Qt tells only the target
    // that took the enter of the moves (where the effect may change) and of
    // the leave. What the source sees is the answer to the move that follows.
    event->setDropAction(e.effect);
    event->accept();
    return true;
}

bool DropTarget::dragMove(QDropEvent* event)
{
    const QPoint point = event->position().toPoint();
    if (!m_holding || !serves(point)) {
        event->ignore();
        return m_holding;
    }
    DropTargetEvent e{event->modifiers(), event->buttons(), point};
    e.effect = chooseDropEffect(e.modifiers, point, event->possibleActions());
    Q_EMIT draggedOver(e);
    if (e.effect == Qt::IgnoreAction) {
        event->ignore();
    } else {
        event->setDropAction(e.effect);
        event->accept();
    }
    return true;
}

bool DropTarget::drop(QDropEvent* event)
{
    if (!m_holding) {
        event->ignore();
        return false;
    }
    DropTargetEvent e{event->modifiers(), event->buttons(), event->position().toPoint()};
    e.effect = chooseDropEffect(e.modifiers, e.point, event->possibleActions());
    // No effect allowed: the source was told so at every move.
    if (e.effect != Qt::IgnoreAction && (m_getDataOnEnter || readData(event->mimeData())))
        Q_EMIT dropped(e);
    else
        e.effect = Qt::IgnoreAction;
    if (e.effect == Qt::IgnoreAction) {
        event->ignore();
    } else {
        event->setDropAction(e.effect);
        event->accept();
    }
    resetData();
    m_holding = false;
    return true;
}

void DropTarget::dragLeave()
{
    resetData();
    m_holding = false;
    Q_EMIT left();
}

// ------------------------------------------------------------- FileDropTarget

bool FileDropTarget::readData(const QMimeData* data)
{
    files = DropFormats::localFiles(data);
    return !files.isEmpty();
}

void FileDropTarget::resetData()
{
    files.clear();
}

bool FileDropTarget::acceptsFormats(const QMimeData* data) const
{
    // Checked by reading: a list of web addresses is no file list.
    return !DropFormats::localFiles(data).isEmpty();
}

Qt::DropAction FileDropTarget::readClipboard()
{
    files = DropFormats::localFiles(QApplication::clipboard()->mimeData());
    if (files.isEmpty())
        return Qt::IgnoreAction;
    const Qt::DropAction preferred = DropTarget::readClipboard();
    return preferred == Qt::IgnoreAction ? Qt::CopyAction : preferred;
}
