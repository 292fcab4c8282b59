#include "components/RunningDrags.h"

#include <QTimer>

RunningDrags& RunningDrags::instance()
{
    static RunningDrags drags;
    return drags;
}

bool RunningDrags::any()
{
    return instance().m_running > 0;
}

void RunningDrags::afterDrags(QObject* context, std::function<void()> work)
{
    if (any()) {
        connect(
            &instance(), &RunningDrags::allEnded, context,
            [context, work = std::move(work)] { afterDrags(context, work); },
            Qt::SingleShotConnection);
        return;
    }
    // A drag may begin before the later turn comes (the press that asked
    // for it and the moves that drag are often taken together): then the
    // work waits for that drag's end too.
    QTimer::singleShot(0, context, [context, work = std::move(work)] {
        if (any())
            afterDrags(context, work);
        else
            work();
    });
}

RunningDrags::Scope::Scope()
{
    ++instance().m_running;
}

RunningDrags::Scope::~Scope()
{
    if (--instance().m_running == 0)
        Q_EMIT instance().allEnded();
}
