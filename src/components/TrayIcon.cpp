#include "components/TrayIcon.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>
#include <QWindow>

TrayIcon::TrayIcon(QWidget* mainWindow)
    : QObject(mainWindow), m_window(mainWindow), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, &TrayIcon::mouseReport);
    if (mainWindow)
        mainWindow->installEventFilter(this);
}

TrayIcon::~TrayIcon()
{
    // The icon leaves the tray with the window.
    m_tray->hide();
}

void TrayIcon::setIcon(const QIcon& icon)
{
    m_icon = icon;
    m_tray->setIcon(icon);
}

void TrayIcon::setHint(const QString& hint)
{
    m_hint = hint;
    applyTip();
}

void TrayIcon::setShowHint(bool on)
{
    m_showHint = on;
    applyTip();
}

QString TrayIcon::tip() const
{
    return m_showHint ? m_hint.left(MaxHint) : QString();
}

void TrayIcon::applyTip()
{
    m_tray->setToolTip(tip());
}

void TrayIcon::setIconVisible(bool on)
{
    m_iconVisible = on;
    applyVisible();
}

void TrayIcon::applyVisible()
{
    // On X the icon docks whenever a tray host comes up, also a later one;
    // elsewhere it needs a tray now.
    const bool canDock =
        QSystemTrayIcon::isSystemTrayAvailable() || QGuiApplication::platformName() == u"xcb";
    if (m_iconVisible && !m_icon.isNull() && canDock)
        m_tray->show();
    else
        m_tray->hide();
}

void TrayIcon::setPopupMenu(QMenu* menu)
{
    m_menu = menu;
    // The tray opens it on the right button's press, at the pointer.
    m_tray->setContextMenu(menu);
}

void TrayIcon::setMinimizeToTray(bool on)
{
    m_minimizeToTray = on;
}

bool TrayIcon::inTray() const
{
    return m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
           !m_tray->geometry().isEmpty();
}

void TrayIcon::showBalloonHint(const QString& title, const QString& text, BalloonIcon icon,
                               int seconds)
{
    hideBalloonHint();
    m_lastBalloon = {title.left(MaxBalloonTitle), text.left(MaxBalloonText), icon, seconds * 1000};
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (icon) {
    case bitInfo:
        kind = QSystemTrayIcon::Information;
        break;
    case bitWarning:
        kind = QSystemTrayIcon::Warning;
        break;
    case bitError:
        kind = QSystemTrayIcon::Critical;
        break;
    case bitNone:
        break;
    }
    if (m_tray->isVisible())
        m_tray->showMessage(m_lastBalloon.title, m_lastBalloon.text, kind,
                            m_lastBalloon.milliseconds);
}

void TrayIcon::hideBalloonHint()
{
    // An empty message takes the shown one away and shows nothing.
    if (m_tray->isVisible() && !m_lastBalloon.title.isEmpty())
        m_tray->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 0);
}

void TrayIcon::hideMainForm()
{
    if (m_window)
        m_window->hide(); // an invisible top-level window has no taskbar button
}

void TrayIcon::showMainForm()
{
    if (!m_window)
        return;
    // Hidden or minimised, it comes back once the window manager has
    // mapped it again, which its exposure tells.
    m_restoring = !m_window->isVisible() || m_window->isMinimized();
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
    if (QWindow* handle = m_window->windowHandle(); handle && handle != m_watchedWindow) {
        handle->installEventFilter(this); // its exposure ends the restoring
        m_watchedWindow = handle;
    }
}

void TrayIcon::mouseReport(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        Q_EMIT click();
        break;
    case QSystemTrayIcon::DoubleClick:
        // The click before it has been reported already; the double click
        // runs the menu's default entry, so it always ends with the window shown.
        Q_EMIT dblClick();
        if (m_menu && m_menu->defaultAction())
            m_menu->defaultAction()->trigger();
        break;
    default:
        break;
    }
}

bool TrayIcon::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Expose && m_restoring &&
        m_watchedWindow->isExposed()) {
        m_restoring = false;
        // The window is back on the screen: a minimised state reported on
        // the way is over.
        if (m_window && m_window->isMinimized())
            m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    }
    // A window manager that minimises a window late (under load, after the
    // window went to the tray and came back) reports it while the window is
    // being shown again: that report must not send it back to the tray.
    if (watched == m_window && event->type() == QEvent::WindowStateChange && m_minimizeToTray &&
        m_window->isMinimized() && !m_restoring) {
        // Hidden once the state change is through; the icon must be there to
        // bring the window back.
        QTimer::singleShot(0, this, [this] {
            if (m_window && m_window->isMinimized() && !m_restoring) {
                applyVisible();
                hideMainForm();
            }
        });
    }
    return QObject::eventFilter(watched, event);
}
