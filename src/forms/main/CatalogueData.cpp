#include "forms/main/CatalogueData.h"
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "components/ProgressWindow.h"
#include "components/TrayIcon.h"
#include "forms/main/CommandActions.h"

#include <QApplication>
#include <QEvent>
#include <QFile>
#include <QMainWindow>
#include <QScopeGuard>
#include <QStatusBar>
#include <QWindow>

using Commands::Id;

namespace
{

constexpr QColor LoadingColor(225, 183, 235);
constexpr unsigned ProgressDelayMs = 100;
constexpr int BalloonSeconds = 10;

} // namespace

CatalogueData::CatalogueData(CommandContext& context)
    : QObject(&context.window()), m_context(context)
{
    setObjectName(QStringLiteral("CatalogueData"));
    context.commands().connectCommand(Id::Backup, this, &CatalogueData::backupData);
    context.commands().connectCommand(Id::Restore, this, &CatalogueData::restoreData);
    m_autoSave = new AutoSave(context.catalogue(), this);
    // A question open about a change (the links of a deleted file, a move
    // that failed) may be followed by more of it: the save waits for the answer.
    m_autoSave->holdHook = [] { return QApplication::activeModalWidget() != nullptr; };
    connect(&context.catalogue(), &Catalogue::loaded, this, &CatalogueData::onLoaded);
    // A link update past its command: the tree is half updated and its step
    // open, so the window takes no input until it is through (it stays
    // painted, and says why it does not answer).
    connect(&context.catalogue(), &Catalogue::linkUpdateRunning, this, [this](bool running) {
        m_linksLocked = running;
        if (running) {
            qApp->installEventFilter(this);
        } else if (!m_startedLoad) {
            qApp->removeEventFilter(this);
            m_context.window().statusBar()->clearMessage();
        }
    });
    connect(m_autoSave, &AutoSave::failed, this, [](const QString& text) {
        MessageDialogs::applicationError(
            text + QStringLiteral("\nThe catalogue is saved again at the next change and when "
                                  "the program ends."));
    });
}

void CatalogueData::startAutoSave()
{
    m_autoSave->start();
}

void CatalogueData::stopAutoSave()
{
    m_autoSave->stop();
}

void CatalogueData::flushAutoSave()
{
    m_autoSave->flush();
}

void CatalogueData::startLoad(bool fromBackup)
{
    Catalogue& catalogue = m_context.catalogue();
    if (QFile::exists(catalogue.dataFile(fromBackup))) {
        m_progress = std::make_unique<ProgressWindow>(QStringLiteral("Data loading..."));
        m_progress->setDelay(ProgressDelayMs);
        m_progress->setColor(LoadingColor);
        // Queued from the reader's thread: a window freed while the reader
        // still runs (the main window closed mid-load) drops what is queued
        // for it, where a direct call could reach it after it went.
        connect(&catalogue, &Catalogue::loadProgress, m_progress.get(),
                &ProgressWindow::setPosition);
    }
    // The tree is incomplete until the load is through: the user's input
    // is dropped meanwhile (the window stays painted).
    qApp->installEventFilter(this);
    m_startedLoad = true;
    catalogue.startLoad(fromBackup);
}

void CatalogueData::onLoaded(bool found, const QString& error)
{
    if (!std::exchange(m_startedLoad, false))
        return; // a load of the catalogue's own (tools, tests)
    if (!m_linksLocked)
        qApp->removeEventFilter(this);
    m_progress.reset();
    Q_EMIT loadFinished(found, error);
}

void CatalogueData::abandonLoad()
{
    if (m_restoreStep)
        QApplication::restoreOverrideCursor(); // the restore's, which its end would take back
    m_restoreStep.reset();
    m_progress.reset();
}

bool CatalogueData::eventFilter(QObject* watched, QEvent* event)
{
    // A link update asks its question in a dialog of its own: that one is
    // answered (a load asks nothing).
    if (m_linksLocked && !m_startedLoad && inModalDialog(watched))
        return QObject::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::Wheel:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (m_linksLocked &&
            (event->type() == QEvent::KeyPress || event->type() == QEvent::MouseButtonPress ||
             event->type() == QEvent::Drop))
            m_context.window().statusBar()->showMessage(
                tr("The links are being updated: the catalogue can be changed again in a "
                   "moment."));
        return true;
    default:
        return QObject::eventFilter(watched, event);
    }
}

bool CatalogueData::inModalDialog(const QObject* watched)
{
    const QWidget* modal = QApplication::activeModalWidget();
    if (!modal)
        return false;
    if (const auto* widget = qobject_cast<const QWidget*>(watched))
        return widget->window() == modal;
    return watched == modal->windowHandle();
}

void CatalogueData::saveData(bool backup)
{
    m_context.catalogue().saveData(backup);
}

void CatalogueData::backupData()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    Catalogue& catalogue = m_context.catalogue();
    saveData(true);
    if (catalogue.dataSaved()) {
        catalogue.setDataSaved(false); // the save at the end of the run must still happen
        m_context.showBalloon(QStringLiteral("Backup"), QStringLiteral("Data successfully saved."),
                              TrayIcon::bitInfo, BalloonSeconds);
    }
}

void CatalogueData::restoreData()
{
    if (m_restoreStep)
        return; // one restore at a time
    // The run's last edits reach the catalogue file before the backup
    // replaces the tree (and is saved in its turn).
    flushAutoSave();
    QApplication::setOverrideCursor(Qt::WaitCursor);
    // Undo brings back the catalogue as it was before.
    m_restoreStep = std::make_unique<EditHistory::Step>(m_context.catalogue().history(),
                                                        QStringLiteral("Restore data"));
    connect(this, &CatalogueData::loadFinished, this, &CatalogueData::restoreFinished,
            Qt::SingleShotConnection);
    startLoad(true);
}

void CatalogueData::restoreFinished(bool found, const QString& error)
{
    // A restore that fails leaves the catalogue as it was: no step.
    if (!error.isEmpty() && m_restoreStep)
        m_restoreStep->discard();
    m_restoreStep.reset();
    QApplication::restoreOverrideCursor();
    if (!error.isEmpty())
        MessageDialogs::applicationError(error);
    else if (found)
        m_context.showBalloon(QStringLiteral("Restoring data"),
                              QStringLiteral("Data successfully restored"), TrayIcon::bitInfo,
                              BalloonSeconds);
}
