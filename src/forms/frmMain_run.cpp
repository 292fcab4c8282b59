// Start and end of the run: loading the catalogue (or importing the legacy
// file), the one save at the end however the run ends, the desktop's logoff,
// and the backup and restore commands that share the catalogue file.
#include "components/HSDialogs.h"
#include "components/WindowThread.h"
#include "forms/frmAbout.h"
#include "forms/frmMain.h"
#include "utils/MySysUtils.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QScopeGuard>
#include <QSessionManager>
#include <QTimer>
#include <QTreeView>

namespace
{

constexpr quint32 LoadingColor = 15448033; // red 225, green 183, blue 235

} // namespace

// ---------------------------------------------------------------- start and end

void TMainF::FormCreate(TAboutBox* Splash)
{
    m_progress = std::make_unique<TThreadWindow>(QStringLiteral("Data loading..."));
    ProgressWindow = m_progress.get();
    try {
        ProgressWindow->SetDelay(100);
        ProgressWindow->SetColor(LoadingColor);
        if (!LoadData(false))
            importLegacyData();
    } catch (const std::exception& e) {
        StartupError = QString::fromUtf8(e.what());
    }
    // Whatever went wrong above, the run goes on with a whole window.
    if (!Catalogue.MakerCategory)
        Catalogue.CreateMakerCategory();
    DocsTree->setCurrentIndex(Catalogue.Nodes().IndexOf(Catalogue.MakerCategory));
    ListedNode = Catalogue.TopCategory;
    if (Splash)
        Splash->hide();
    ProgressWindow = nullptr;
    m_progress.reset();
    acAutoStart->setChecked(MySysUtils::IsAutoStart(QApplication::applicationName(),
                                                    QApplication::applicationFilePath()));
    ReadSettings();
}

void TMainF::importLegacyData()
{
    // A legacy file that stops at a bad line still gives what came before it,
    // and the built-in category comes as after any import.
    auto finish = qScopeGuard([this] {
        Catalogue.TopCategory = Catalogue.Nodes().GetFirstNode();
        Catalogue.CreateMakerCategory();
    });
    Catalogue.ImportLegacyData();
}

void TMainF::FormDestroy()
{
    if (m_destroyed)
        return;
    m_destroyed = true;
    if (!Catalogue.DataSaved)
        saveAtEnd();
}

void TMainF::saveAtEnd()
{
    try {
        SaveData(false);
    } catch (const std::exception& e) {
        // The logoff's save may have failed already: the user hears it once.
        if (std::exchange(m_saveFailureShown, true))
            qWarning("%s", e.what());
        else
            HSDialogs::ApplicationError(QString::fromUtf8(e.what()));
    }
}

void TMainF::QueryEndSession()
{
    // Mid-load the tree is incomplete: save once the load is through.
    if (Catalogue.Loading()) {
        QTimer::singleShot(20, this, &TMainF::QueryEndSession);
        return;
    }
    if (Catalogue.DataSaved || m_destroyed)
        return;
    saveAtEnd();
    // The logoff may still be cancelled by another program: keep the run
    // whole, so later changes are saved too.
    if (!Catalogue.MakerCategory)
        Catalogue.CreateMakerCategory();
    Catalogue.DataSaved = false;
}

void TMainF::EndRun()
{
    if (Catalogue.Loading()) {
        QTimer::singleShot(20, this, &TMainF::EndRun);
        return;
    }
    // A second request while the first is still saving (or its failure is
    // being reported) adds nothing: the run is ending already.
    if (m_ending)
        return;
    m_ending = true;
    FormDestroy();
    // exit() ends every event loop, a modal dialog's too, without asking the
    // windows first: the tray icon's own window must not keep the run alive.
    if (QuitHook)
        QuitHook();
    else
        QCoreApplication::exit(0);
}

void TMainF::onCommitDataRequest(QSessionManager& Manager)
{
    Q_UNUSED(Manager);
    QueryEndSession();
}

void TMainF::closeEvent(QCloseEvent* event)
{
    if (m_destroyed || m_ending) {
        event->accept();
        return;
    }
    event->ignore();
    HideToTray();
}

bool TMainF::LoadData(bool FromBackup)
{
    const bool exists = QFile::exists(Catalogue.DataFile(FromBackup));
    std::unique_ptr<TThreadWindow> own;
    if (exists && !ProgressWindow) {
        own = std::make_unique<TThreadWindow>(QStringLiteral("Data loading..."));
        own->SetDelay(100);
        own->SetColor(LoadingColor);
        ProgressWindow = own.get();
    }
    if (ProgressWindow) {
        TThreadWindow* window = ProgressWindow;
        Catalogue.ProgressHook = [window](int thousandths) { window->SetPosition(thousandths); };
    }
    auto done = qScopeGuard([&] {
        Catalogue.ProgressHook = nullptr;
        if (exists) {
            ProgressWindow = nullptr;
            m_progress.reset();
        }
    });
    return Catalogue.LoadData(FromBackup);
}

void TMainF::SaveData(bool Backup)
{
    Catalogue.SaveData(Backup);
}

// ---------------------------------------------------------------- backup and restore

void TMainF::acBackupDataExecute()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    SaveData(true);
    if (Catalogue.DataSaved) {
        Catalogue.DataSaved = false; // the save at the end of the run must still happen
        ShowBalloon(QStringLiteral("Backup"), QStringLiteral("Data successfully saved."), 10);
    }
}

void TMainF::acRestoreBackupExecute()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    if (LoadData(true))
        ShowBalloon(QStringLiteral("Restoring data"), QStringLiteral("Data successfully restored"),
                    10);
}
