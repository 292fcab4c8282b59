#include "components/EventFilter.h"

#include <QEvent>

EventFilter::EventFilter(QObject* watched, Handler handler)
    : QObject(watched), m_watched(watched), m_handler(std::move(handler))
{
    watched->installEventFilter(this);
}

void EventFilter::remove()
{
    if (!m_watched)
        return;
    m_watched->removeEventFilter(this);
    m_watched = nullptr;
    deleteLater();
}

bool EventFilter::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watched && m_handler && m_handler(event))
        return true;
    return QObject::eventFilter(watched, event);
}
