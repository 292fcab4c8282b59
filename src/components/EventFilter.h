#pragma once
#include <QObject>
#include <functional>

class QEvent;

// Hands the events of one object to a function before the object sees them;
// the function returns true to keep an event from it. The filter is a child
// of the watched object and lives as long as it, or until remove().
class EventFilter : public QObject
{
public:
    using Handler = std::function<bool(QEvent*)>;

    EventFilter(QObject* watched, Handler handler = {});
    // For a handler that needs the filter itself (to remove it).
    void setHandler(Handler handler) { m_handler = std::move(handler); }
    // Stops watching; the filter goes once the current event is through.
    void remove();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QObject* m_watched;
    Handler m_handler;
};
