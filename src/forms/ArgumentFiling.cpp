#include "forms/ArgumentFiling.h"

#include <QApplication>

namespace
{

// How often a waiting request looks whether the dialog has closed.
constexpr int WaitMs = 100;

} // namespace

ArgumentFiling::ArgumentFiling(Deliver deliver, QObject* parent)
    : QObject(parent), m_deliver(std::move(deliver))
{
    m_wait.setInterval(WaitMs);
    m_wait.setSingleShot(true);
    connect(&m_wait, &QTimer::timeout, this, &ArgumentFiling::deliverNext);
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
    m_wait.stop();
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
    // A filing under an open dialog would change the tree behind it, and a
    // box of its own would stack on it.
    if (QApplication::activeModalWidget() || QApplication::activePopupWidget()) {
        m_wait.start();
        return;
    }
    Request request = std::move(m_queue.front());
    m_queue.pop_front();
    m_delivering = true;
    m_deliver(request.items, request.category);
    m_delivering = false;
    if (!m_queue.empty())
        QTimer::singleShot(0, this, &ArgumentFiling::deliverNext);
}
