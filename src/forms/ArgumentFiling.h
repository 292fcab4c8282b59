#pragma once
#include <QObject>
#include <QStringList>
#include <deque>
#include <functional>

// Requests to file items from the command line, kept until the window can
// take them: once the start-up is through, and never while a modal dialog
// or a menu is open (the request waits until a window closes or is no
// longer blocked, and looks again then).
class ArgumentFiling : public QObject
{
    Q_OBJECT
public:
    using Deliver = std::function<void(const QStringList& items, const QString& category)>;
    explicit ArgumentFiling(Deliver deliver, QObject* parent = nullptr);

    void add(const QStringList& items, const QString& category);
    // The window is up: requests go through from now on.
    void setReady();
    int pending() const { return int(m_queue.size()); }
    // The run is ending: what waits for a dialog is filed now, so that the
    // final save keeps it. Nothing happens before the window is up.
    void flush();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Request {
        QStringList items;
        QString category;
    };
    void deliverNext();
    void waitForWindows(bool on);

    Deliver m_deliver;
    std::deque<Request> m_queue;
    bool m_waiting = false; // for a dialog or a menu to close
    bool m_ready = false;
    bool m_delivering = false;
};
