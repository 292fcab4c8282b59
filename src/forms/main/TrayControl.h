#pragma once
#include <QObject>

class CommandContext;
class TrayIcon;
class QMainWindow;
class QStatusBar;

// The program's life in the system tray: the icon and its menu, hiding the
// window there and bringing it back, and the balloon messages.
class TrayControl : public QObject
{
    Q_OBJECT
public:
    TrayControl(CommandContext& context, QMainWindow& window);

    // A balloon at the tray icon (icon: a TrayIcon::BalloonIcon). Without a
    // tray the status line shows it.
    void showBalloon(const QString& title, const QString& text, int icon, int seconds);
    void restoreFromTray();
    void hideToTray();
    // The hot key's text beside "Show" in the tray menu; empty for none.
    void setShowHotKeyText(const QString& keyText);

private:
    void toggleWindow();

    CommandContext& m_context;
    QMainWindow& m_window;
    TrayIcon* m_trayIcon;
};
