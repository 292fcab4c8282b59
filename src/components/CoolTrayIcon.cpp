#include "components/CoolTrayIcon.h"

#include <QEvent>
#include <QGuiApplication>
#include <QMenu>
#include <QTimer>
#include <QWidget>

TCoolTrayIcon::TCoolTrayIcon(QWidget* MainWindow)
    : QObject(MainWindow), m_window(MainWindow), m_tray(new QSystemTrayIcon(this))
{
    connect(m_tray, &QSystemTrayIcon::activated, this, &TCoolTrayIcon::MouseReport);
    if (MainWindow)
        MainWindow->installEventFilter(this);
}

TCoolTrayIcon::~TCoolTrayIcon()
{
    // The icon leaves the tray with the window.
    m_tray->hide();
}

void TCoolTrayIcon::SetIcon(const QIcon& Icon)
{
    m_icon = Icon;
    m_tray->setIcon(Icon);
}

void TCoolTrayIcon::SetHint(const QString& Hint)
{
    m_hint = Hint;
    applyTip();
}

void TCoolTrayIcon::SetShowHint(bool On)
{
    m_showHint = On;
    applyTip();
}

QString TCoolTrayIcon::Tip() const
{
    return m_showHint ? m_hint.left(MaxHint) : QString();
}

void TCoolTrayIcon::applyTip()
{
    m_tray->setToolTip(Tip());
}

void TCoolTrayIcon::SetIconVisible(bool On)
{
    m_iconVisible = On;
    applyVisible();
}

void TCoolTrayIcon::applyVisible()
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

void TCoolTrayIcon::SetPopupMenu(QMenu* Menu)
{
    m_menu = Menu;
    // The tray opens it on the right button's press, at the pointer.
    m_tray->setContextMenu(Menu);
}

void TCoolTrayIcon::SetMinimizeToTray(bool On)
{
    m_minimizeToTray = On;
}

bool TCoolTrayIcon::InTray() const
{
    return m_tray->isVisible() && QSystemTrayIcon::isSystemTrayAvailable() &&
           !m_tray->geometry().isEmpty();
}

void TCoolTrayIcon::ShowBalloonHint(const QString& Title, const QString& Text,
                                    TBalloonHintIcon Icon, int Seconds)
{
    HideBalloonHint();
    m_lastBalloon = {Title.left(MaxBalloonTitle), Text.left(MaxBalloonText), Icon, Seconds * 1000};
    QSystemTrayIcon::MessageIcon kind = QSystemTrayIcon::NoIcon;
    switch (Icon) {
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
        m_tray->showMessage(m_lastBalloon.Title, m_lastBalloon.Text, kind,
                            m_lastBalloon.Milliseconds);
}

void TCoolTrayIcon::HideBalloonHint()
{
    // An empty message takes the shown one away and shows nothing.
    if (m_tray->isVisible() && !m_lastBalloon.Title.isEmpty())
        m_tray->showMessage(QString(), QString(), QSystemTrayIcon::NoIcon, 0);
}

void TCoolTrayIcon::HideMainForm()
{
    if (m_window)
        m_window->hide(); // an invisible top-level window has no taskbar button
}

void TCoolTrayIcon::ShowMainForm()
{
    if (!m_window)
        return;
    m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TCoolTrayIcon::MouseReport(QSystemTrayIcon::ActivationReason Reason)
{
    switch (Reason) {
    case QSystemTrayIcon::Trigger:
        Q_EMIT Click();
        break;
    case QSystemTrayIcon::DoubleClick:
        // The click before it has been reported already; the double click
        // runs the menu's default entry, so it always ends with the window shown.
        Q_EMIT DblClick();
        if (m_menu && m_menu->defaultAction())
            m_menu->defaultAction()->trigger();
        break;
    default:
        break;
    }
}

bool TCoolTrayIcon::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Watched == m_window && Event->type() == QEvent::WindowStateChange && m_minimizeToTray &&
        m_window->isMinimized()) {
        // Hidden once the state change is through; the icon must be there to
        // bring the window back.
        QTimer::singleShot(0, this, [this] {
            if (m_window && m_window->isMinimized()) {
                applyVisible();
                HideMainForm();
            }
        });
    }
    return QObject::eventFilter(Watched, Event);
}
