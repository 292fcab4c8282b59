// Start and end of the run: loading the catalogue (or importing the legacy
// file), the one save at the end however the run ends, the desktop's logoff,
// and the backup and restore commands that share the catalogue file.
#include "components/MessageDialogs.h"
#include "components/ProgressWindow.h"
#include "forms/AboutDialog.h"
#include "forms/MainWindow.h"
#include "utils/Desktop.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScopeGuard>
#include <QSessionManager>
#include <QTimer>
#include <QTreeView>

namespace
{

constexpr QColor LoadingColor(225, 183, 235);

} // namespace

// ---------------------------------------------------------------- start and end

void MainWindow::formCreate(AboutDialog* splash)
{
    m_progress = std::make_unique<ProgressWindow>(QStringLiteral("Data loading..."));
    progressWindow = m_progress.get();
    try {
        progressWindow->setDelay(100);
        progressWindow->setColor(LoadingColor);
        if (!loadData(false))
            importLegacyData();
    } catch (const std::exception& e) {
        startupError = QString::fromUtf8(e.what());
    }
    // Whatever went wrong above, the run goes on with a whole window.
    if (!catalogue.makerCategory)
        catalogue.createMakerCategory();
    docsTree->setCurrentIndex(catalogue.nodes().indexOf(catalogue.makerCategory));
    listedNode = catalogue.topCategory;
    if (splash)
        splash->hide();
    progressWindow = nullptr;
    m_progress.reset();
    acAutoStart->setChecked(
        Desktop::isAutoStart(QApplication::applicationName(), QApplication::applicationFilePath()));
    readSettings();
}

void MainWindow::importLegacyData()
{
    // A legacy file that stops at a bad line still gives what came before it,
    // and the built-in category comes as after any import.
    auto finish = qScopeGuard([this] {
        catalogue.topCategory = catalogue.nodes().getFirstNode();
        catalogue.createMakerCategory();
    });
    catalogue.importLegacyData();
}

void MainWindow::formDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (!catalogue.dataSaved)
        saveAtEnd();
}

void MainWindow::saveAtEnd()
{
    try {
        saveData(false);
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
    if (catalogue.loading()) {
        QTimer::singleShot(20, this, &MainWindow::queryEndSession);
        return;
    }
    if (catalogue.dataSaved || m_destroyed)
        return;
    saveAtEnd();
    // The logoff may still be cancelled by another program: keep the run
    // whole, so later changes are saved too.
    if (!catalogue.makerCategory)
        catalogue.createMakerCategory();
    catalogue.dataSaved = false;
}

void MainWindow::endRun()
{
    if (catalogue.loading()) {
        QTimer::singleShot(20, this, &MainWindow::endRun);
        return;
    }
    // A second request while the first is still saving (or its failure is
    // being reported) adds nothing: the run is ending already.
    if (m_ending)
        return;
    m_ending = true;
    formDestroy();
    // exit() ends every event loop, a modal dialog's too, without asking the
    // windows first: the tray icon's own window must not keep the run alive.
    if (quitHook)
        quitHook();
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
    hideToTray();
}

bool MainWindow::loadData(bool fromBackup)
{
    const bool exists = QFile::exists(catalogue.dataFile(fromBackup));
    std::unique_ptr<ProgressWindow> own;
    if (exists && !progressWindow) {
        own = std::make_unique<ProgressWindow>(QStringLiteral("Data loading..."));
        own->setDelay(100);
        own->setColor(LoadingColor);
        progressWindow = own.get();
    }
    if (progressWindow) {
        ProgressWindow* window = progressWindow;
        catalogue.progressHook = [window](int thousandths) { window->setPosition(thousandths); };
    }
    auto done = qScopeGuard([&] {
        catalogue.progressHook = nullptr;
        if (exists) {
            progressWindow = nullptr;
            m_progress.reset();
        }
    });
    return catalogue.loadData(fromBackup);
}

void MainWindow::saveData(bool backup)
{
    catalogue.saveData(backup);
}

// ---------------------------------------------------------------- backup and restore

void MainWindow::acBackupDataExecute()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    saveData(true);
    if (catalogue.dataSaved) {
        catalogue.dataSaved = false; // the save at the end of the run must still happen
        showBalloon(QStringLiteral("Backup"), QStringLiteral("Data successfully saved."), 10);
    }
}

void MainWindow::acRestoreBackupExecute()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (loadData(true))
        showBalloon(QStringLiteral("Restoring data"), QStringLiteral("Data successfully restored"),
                    10);
}
