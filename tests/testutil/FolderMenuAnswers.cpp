#include "FolderMenuAnswers.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>
#include <QtTest>

namespace TestUtil
{

FolderMenuAnswers::FolderMenuAnswers(QStringList answers) : m_answers(std::move(answers))
{
    qApp->installEventFilter(this);
}

FolderMenuAnswers::~FolderMenuAnswers()
{
    qApp->removeEventFilter(this);
}

bool FolderMenuAnswers::eventFilter(QObject* watched, QEvent* event)
{
    auto* menu = qobject_cast<QMenu*>(watched);
    if (event->type() == QEvent::Show && menu &&
        menu->objectName() == QLatin1String("DragFolderMenu") && !m_answers.isEmpty()) {
        shownAt << menu->pos();
        const QList<QAction*> lines = menu->actions();
        firstLines << lines.value(0)->text() +
                          (lines.value(0)->isEnabled() ? " (enabled)" : QString());
        entries.clear();
        for (QAction* a : lines)
            entries << (a->isSeparator() ? "-" : a->objectName());
        const QString answer = m_answers.takeFirst();
        QTimer::singleShot(0, menu, [menu, answer] {
            if (answer == QLatin1String("Escape")) {
                QTest::keyClick(menu, Qt::Key_Escape);
                return;
            }
            for (QAction* a : menu->actions())
                if (a->objectName() == answer)
                    QTest::mouseClick(menu, Qt::LeftButton, {}, menu->actionGeometry(a).center());
        });
    }
    return QObject::eventFilter(watched, event);
}

} // namespace TestUtil
