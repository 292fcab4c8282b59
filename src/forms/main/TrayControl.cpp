#include "forms/main/TrayControl.h"
#include "catalogue/Artwork.h"
#include "components/TrayIcon.h"
#include "forms/main/CommandActions.h"

#include <QAction>
#include <QMainWindow>
#include <QStatusBar>

using Commands::Id;

namespace
{

constexpr int MillisecondsPerSecond = 1000;

} // namespace

TrayControl::TrayControl(CommandContext& context, QMainWindow& window)
    : QObject(&window), m_context(context), m_window(window)
{
    setObjectName(QStringLiteral("TrayControl"));
    m_trayIcon = new TrayIcon(&window); // owned by the window
    m_trayIcon->setObjectName(QStringLiteral("CoolTrayIcon"));
    m_trayIcon->setIcon(Artwork::programIcon());
    m_trayIcon->setHint(QStringLiteral("Quillmere"));
    m_trayIcon->setShowHint(true);
    m_trayIcon->setPopupMenu(context.commands().menu(Commands::Menu::Tray));
    m_trayIcon->setMinimizeToTray(true);
    m_trayIcon->setIconVisible(true);
    connect(m_trayIcon, &TrayIcon::click, this,
            [this] { CommandContext::guarded([this] { toggleWindow(); }); });

    CommandActions& commands = context.commands();
    commands.connectCommand(Id::Show, this, &TrayControl::restoreFromTray);
    commands.connectCommand(Id::Hide, this, &TrayControl::hideToTray);
    context.setBalloonShower([this](const QString& title, const QString& text, int icon,
                                    int seconds) { showBalloon(title, text, icon, seconds); });
}

void TrayControl::showBalloon(const QString& title, const QString& text, int icon, int seconds)
{
    m_trayIcon->showBalloonHint(title, text, TrayIcon::BalloonIcon(icon), seconds);
    // Without a tray the message would be lost: the status line shows it.
    if (!m_trayIcon->inTray())
        m_window.statusBar()->showMessage(title + QStringLiteral(": ") + text,
                                          seconds * MillisecondsPerSecond);
}

void TrayControl::restoreFromTray()
{
    m_trayIcon->showMainForm();
}

void TrayControl::hideToTray()
{
    m_trayIcon->hideMainForm();
}

void TrayControl::toggleWindow()
{
    if (m_window.isVisible())
        hideToTray();
    else
        restoreFromTray();
}

void TrayControl::setShowHotKeyText(const QString& keyText)
{
    m_context.commands().action(Id::Show)->setText(
        keyText.isEmpty() ? QStringLiteral("Show") : QStringLiteral("Show\t") + keyText);
}
