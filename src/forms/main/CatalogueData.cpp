#include "forms/main/CatalogueData.h"
#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "components/MessageDialogs.h"
#include "components/ProgressWindow.h"
#include "components/TrayIcon.h"
#include "forms/main/CommandActions.h"

#include <QApplication>
#include <QFile>
#include <QMainWindow>
#include <QScopeGuard>

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

std::unique_ptr<ProgressWindow> CatalogueData::makeProgressWindow()
{
    auto window = std::make_unique<ProgressWindow>(QStringLiteral("Data loading..."));
    window->setDelay(ProgressDelayMs);
    window->setColor(LoadingColor);
    return window;
}

bool CatalogueData::loadData(bool fromBackup, ProgressWindow* shown)
{
    Catalogue& catalogue = m_context.catalogue();
    std::unique_ptr<ProgressWindow> own;
    if (!shown && QFile::exists(catalogue.dataFile(fromBackup))) {
        own = makeProgressWindow();
        shown = own.get();
    }
    if (shown)
        catalogue.progressHook = [shown](int thousandths) { shown->setPosition(thousandths); };
    auto done = qScopeGuard([&catalogue] { catalogue.progressHook = nullptr; });
    return catalogue.loadData(fromBackup);
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
    if (catalogue.dataSaved) {
        catalogue.dataSaved = false; // the save at the end of the run must still happen
        m_context.showBalloon(QStringLiteral("Backup"), QStringLiteral("Data successfully saved."),
                              TrayIcon::bitInfo, BalloonSeconds);
    }
}

void CatalogueData::restoreData()
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    auto restore = qScopeGuard([] { QApplication::restoreOverrideCursor(); });
    // The run's last edits reach the catalogue file before the backup
    // replaces the tree (and is saved in its turn).
    flushAutoSave();
    // Undo brings back the catalogue as it was before.
    EditHistory::Step step(m_context.catalogue().history(), QStringLiteral("Restore data"));
    // A restore that fails leaves the catalogue as it was: no step.
    auto failed = qScopeGuard([&step] { step.discard(); });
    const bool restored = loadData(true);
    failed.dismiss();
    if (restored)
        m_context.showBalloon(QStringLiteral("Restoring data"),
                              QStringLiteral("Data successfully restored"), TrayIcon::bitInfo,
                              BalloonSeconds);
}
