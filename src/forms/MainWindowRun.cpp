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
#include <QScopeGuard>
#include <QSessionManager>
#include <QTimer>
#include <QTreeView>

namespace
{

// How often a request to end the run looks again whether a load is through.
constexpr int LoadPollMs = 20;

} // namespace

void MainWindow::start(AboutDialog* splash)
{
    // Copies in a staging folder when a run was killed go now; this run's
    // are listed beside the catalogue.
    if (!m_catalogue.dataFolder().isEmpty()) {
        FileUtils::setStagingRecord(
            QDir(m_catalogue.dataFolder()).filePath(QStringLiteral("quillmere.staging")));
        FileUtils::removeLeftStaging();
    }
    {
        const std::unique_ptr<ProgressWindow> progress = CatalogueData::makeProgressWindow();
        try {
            if (!m_data->loadData(false, progress.get()))
                importLegacyData();
        } catch (const std::exception& e) {
            m_startupError = QString::fromUtf8(e.what());
        }
        // Whatever went wrong above, the run goes on with a whole window.
        if (!m_catalogue.makerCategory)
            m_catalogue.createMakerCategory();
        m_view->tree()->setCurrentIndex(m_catalogue.nodes().indexOf(m_catalogue.makerCategory));
        m_view->setListedNode(m_catalogue.topCategory);
        if (splash)
            splash->hide();
    }
    m_commands->action(Commands::Id::StartAtLogin)
        ->setChecked(Desktop::isAutoStart(QString::fromUtf16(Installation::DesktopId),
                                          Desktop::executablePath()));
    m_settings->readSettings();
    m_search->placeFindDialog();
    m_data->startAutoSave();
    m_relinking->rememberTargets();
}

void MainWindow::importLegacyData()
{
    // A legacy file that stops at a bad line still gives what came before it,
    // and the built-in category comes as after any import.
    auto finish = qScopeGuard([this] {
        m_catalogue.topCategory = m_catalogue.nodes().getFirstNode();
        m_catalogue.createMakerCategory();
    });
    m_catalogue.importLegacyData();
}

void MainWindow::finish()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    m_data->stopAutoSave();
    if (!m_catalogue.dataSaved)
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

void MainWindow::queryEndSession()
{
    // Mid-load the tree is incomplete: save once the load is through.
    if (m_catalogue.loading()) {
        QTimer::singleShot(LoadPollMs, this, &MainWindow::queryEndSession);
        return;
    }
    if (m_catalogue.dataSaved || m_destroyed)
        return;
    saveAtEnd();
    // The logoff may still be cancelled by another program: keep the run
    // whole, so later changes are saved too.
    if (!m_catalogue.makerCategory)
        m_catalogue.createMakerCategory();
    m_catalogue.dataSaved = false;
}

void MainWindow::endRun()
{
    if (m_catalogue.loading()) {
        QTimer::singleShot(LoadPollMs, this, &MainWindow::endRun);
        return;
    }
    // A second request while the first is still saving (or its failure is
    // being reported) adds nothing: the run is ending already.
    if (m_ending)
        return;
    m_ending = true;
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
