// Start and end of the run: loading the catalogue (or importing the legacy
// file), the saves while the user works, the one save at the end however the
// run ends, and the desktop's logoff.
#include "components/MessageDialogs.h"
#include "components/ProgressWindow.h"
#include "forms/AboutDialog.h"
#include "forms/MainWindow.h"
#include "forms/main/CatalogueData.h"
#include "forms/main/CategoryView.h"
#include "forms/main/CommandActions.h"
#include "forms/main/Relinking.h"
#include "forms/main/Search.h"
#include "forms/main/TrayControl.h"
#include "forms/main/WindowSettings.h"
#include "utils/Desktop.h"
#include "utils/FileOperations.h"
#include "utils/Installation.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QPointer>
#include <QScopeGuard>
#include <QSessionManager>
#include <QTreeView>

void MainWindow::prepareStart(AboutDialog* splash)
{
    m_splash = splash;
    // Copies in a staging folder when a run was killed go now; this run's
    // are listed beside the catalogue.
    if (!m_catalogue.dataFolder().isEmpty()) {
        FileUtils::setStagingRecord(
            QDir(m_catalogue.dataFolder()).filePath(QStringLiteral("quillmere.staging")));
        FileUtils::removeLeftStaging();
    }
}

void MainWindow::startRun(AboutDialog* splash)
{
    prepareStart(splash);
    connect(m_data, &CatalogueData::loadFinished, this, &MainWindow::finishStart,
            Qt::SingleShotConnection);
    m_data->startLoad(false);
}

void MainWindow::start(AboutDialog* splash)
{
    prepareStart(splash);
    bool found = false;
    QString error;
    try {
        found = m_catalogue.loadData(false);
    } catch (const std::exception& e) {
        error = QString::fromUtf8(e.what());
    }
    finishStart(found, error);
}

void MainWindow::finishStart(bool found, const QString& error)
{
    if (!error.isEmpty())
        m_startupError = error;
    else if (!found) {
        try {
            importLegacyData();
        } catch (const std::exception& e) {
            m_startupError = QString::fromUtf8(e.what());
        }
    }
    // Whatever went wrong above, the run goes on with a whole window.
    if (!m_catalogue.makerCategory())
        m_catalogue.createMakerCategory();
    m_view->setCurrentNode(m_catalogue.makerCategory());
    m_view->setListedNode(m_catalogue.topCategory());
    if (m_splash)
        m_splash->hide();
    m_commands->action(Commands::Id::StartAtLogin)
        ->setChecked(Desktop::isAutoStart(QString::fromUtf16(Installation::DesktopId),
                                          Desktop::executablePath()));
    m_settings->readSettings();
    m_search->placeFindDialog();
    m_data->startAutoSave();
    m_relinking->rememberTargets();
    m_started = true;
    Q_EMIT runStarted();
}

void MainWindow::importLegacyData()
{
    // A legacy file that stops at a bad line still gives what came before it,
    // and the built-in category comes as after any import.
    auto finish = qScopeGuard([this] {
        m_catalogue.setTopCategory(m_catalogue.nodes().getFirstNode());
        m_catalogue.createMakerCategory();
    });
    m_catalogue.importLegacyData();
}

void MainWindow::finish()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    // A link update under way is done first: the file gets the whole of it.
    m_catalogue.finishLinkUpdate();
    m_data->stopAutoSave();
    // A tree still loading is incomplete: the file keeps what it holds.
    if (!m_catalogue.dataSaved() && !m_catalogue.loading())
        saveAtEnd();
}

void MainWindow::saveAtEnd()
{
    try {
        m_data->saveData(false);
    } catch (const std::exception& e) {
        // The logoff's save may have failed already: the user hears it once.
        if (std::exchange(m_saveFailureShown, true))
            qWarning("%s", e.what());
        else
            MessageDialogs::applicationError(QString::fromUtf8(e.what()));
    }
}

void MainWindow::afterLoad(void (MainWindow::*step)())
{
    // Queued, so that whoever started the load has taken its outcome first.
    connect(&m_catalogue, &Catalogue::loaded, this, step,
            Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
}

void MainWindow::queryEndSession()
{
    // Mid-load the tree is incomplete: save once the load is through.
    if (m_catalogue.loading()) {
        if (!std::exchange(m_sessionQueryWaits, true))
            afterLoad(&MainWindow::queryEndSession);
        return;
    }
    m_sessionQueryWaits = false;
    if (m_catalogue.dataSaved() || m_destroyed)
        return;
    m_catalogue.finishLinkUpdate();
    saveAtEnd();
    // The logoff may still be cancelled by another program: keep the run
    // whole, so later changes are saved too.
    if (!m_catalogue.makerCategory())
        m_catalogue.createMakerCategory();
    m_catalogue.setDataSaved(false);
}

void MainWindow::endRun()
{
    if (m_catalogue.loading()) {
        if (!std::exchange(m_endWaits, true))
            afterLoad(&MainWindow::endRun);
        return;
    }
    // A second request while the first is still saving (or its failure is
    // being reported) adds nothing: the run is ending already.
    if (m_ending)
        return;
    m_ending = true;
    // A link update under way ends first, its step with it.
    m_catalogue.finishLinkUpdate();
    // The history holds this run's steps only.
    m_catalogue.history().clear();
    finish();
    // exit() ends every event loop, a modal dialog's too, without asking the
    // windows first: the tray icon's own window must not keep the run alive.
    if (m_quitHook)
        m_quitHook();
    else
        QCoreApplication::exit(0);
}

void MainWindow::onCommitDataRequest(QSessionManager& manager)
{
    Q_UNUSED(manager);
    queryEndSession();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    if (m_destroyed || m_ending) {
        event->accept();
        return;
    }
    event->ignore();
    m_tray->hideToTray();
}
