#include "forms/ArgumentFiling.h"
#include "components/RunningDrags.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>
#include <QWidget>

ArgumentFiling::ArgumentFiling(Deliver deliver, QObject* parent)
    : QObject(parent), m_deliver(std::move(deliver))
{
}

void ArgumentFiling::add(const QStringList& items, const QString& category)
{
    m_queue.push_back({items, category});
    // Never from inside the receipt: the sender waits for its answer.
    QTimer::singleShot(0, this, &ArgumentFiling::deliverNext);
}

void ArgumentFiling::setReady()
{
    m_ready = true;
    QTimer::singleShot(0, this, &ArgumentFiling::deliverNext);
}

void ArgumentFiling::flush()
{
    if (!m_ready || m_delivering)
        return;
    waitForWindows(false);
    while (!m_queue.empty()) {
        Request request = std::move(m_queue.front());
        m_queue.pop_front();
        m_deliver(request.items, request.category);
    }
}

void ArgumentFiling::deliverNext()
{
    if (!m_ready || m_delivering || m_queue.empty())
        return;
    // Nor inside a drag's own loop, where its folder question would get no input.
    if (RunningDrags::any()) {
        RunningDrags::afterDrags(this, [this] { deliverNext(); });
        return;
    }
    // A filing under an open dialog would change the tree behind it, and a
    // box of its own would stack on it.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        waitForWindows(true);
        return;
    }
    waitForWindows(false);
    Request request = std::move(m_queue.front());
    m_queue.pop_front();
    m_delivering = true;
    m_deliver(request.items, request.category);
    m_delivering = false;
    if (!m_queue.empty())
        QTimer::singleShot(0, this, &ArgumentFiling::deliverNext);
}

void ArgumentFiling::waitForWindows(bool on)
{
    if (on == m_waiting)
        return;
    m_waiting = on;
    if (on)
        qApp->installEventFilter(this);
    else
        qApp->removeEventFilter(this);
}

bool ArgumentFiling::eventFilter(QObject* watched, QEvent* event)
{
    // A window hidden (the menu, the dialog) or unblocked (by the end of a
    // modal dialog) may be what the request waits for: it looks again once
    // the application has taken the change in.
    const bool closed = event->type() == QEvent::Hide && watched->isWidgetType() &&
                        static_cast<QWidget*>(watched)->isWindow();
    if (closed || event->type() == QEvent::WindowUnblocked)
        QTimer::singleShot(0, this, &ArgumentFiling::deliverNext);
    return QObject::eventFilter(watched, event);
}
