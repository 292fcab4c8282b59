#pragma once
#include <QObject>
#include <functional>

// The drags this program runs: QDrag::exec turns the event loop inside
// itself until the drop. A question put off until a drop is through waits
// for them too, since a menu or a dialog opened inside a drag's loop gets no
// input: the drag holds the pointer and the keys.
class RunningDrags : public QObject
{
    Q_OBJECT
public:
    static RunningDrags& instance();
    static bool any();
    // Runs work on a later turn of the event loop, once no drag runs; never
    // when context is gone by then.
    static void afterDrags(QObject* context, std::function<void()> work);

    // Held around QDrag::exec.
    class Scope
    {
    public:
        Scope();
        ~Scope();
        Q_DISABLE_COPY_MOVE(Scope)
    };

Q_SIGNALS:
    void allEnded();

private:
    RunningDrags() = default;
    int m_running = 0;
};
