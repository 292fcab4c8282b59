#pragma once
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QWidget;
class QWindow;

// The program's icon in the system tray: tip, menu, balloon messages, and the
// main window hidden to the tray and brought back from it.
class TrayIcon : public QObject
{
    Q_OBJECT
public:
    enum BalloonIcon { bitNone = 0, bitInfo = 1, bitWarning = 2, bitError = 3 };
    static constexpr int MaxHint = 127, MaxBalloonTitle = 63, MaxBalloonText = 255;

    // MainWindow is the window the icon hides and shows; it owns the icon.
    explicit TrayIcon(QWidget* mainWindow);
    ~TrayIcon() override;

    QIcon icon() const { return m_icon; }
    void setIcon(const QIcon& icon);
    QString hint() const { return m_hint; }
    void setHint(const QString& hint);
    bool showHint() const { return m_showHint; }
    void setShowHint(bool on);
    // The tip as passed on to the tray: empty when off or without hint, cut
    // at MaxHint characters.
    QString tip() const;
    bool iconVisible() const { return m_iconVisible; }
    void setIconVisible(bool on);
    QMenu* popupMenu() const { return m_menu; }
    void setPopupMenu(QMenu* menu);
    bool minimizeToTray() const { return m_minimizeToTray; }
    void setMinimizeToTray(bool on);

    // True when a tray host shows the icon now.
    bool inTray() const;
    // Removes a balloon this icon shows, then shows one; title, text and
    // time are cut to what the tray takes.
    void showBalloonHint(const QString& title, const QString& text, BalloonIcon icon, int seconds);
    void hideBalloonHint();
    // What the last balloon passed on to the tray.
    struct Balloon {
        QString title, text;
        BalloonIcon icon = bitNone;
        int milliseconds = 0;
    };
    Balloon lastBalloon() const { return m_lastBalloon; }

    // The main window made invisible (no taskbar button), or visible again,
    // restored if it was minimised and brought to the foreground.
    void hideMainForm();
    void showMainForm();

    // A mouse report of the tray (public so that tests can give one): a
    // single click is reported at once; a double click then runs the menu's
    // default entry.
    void mouseReport(QSystemTrayIcon::ActivationReason reason);

    QSystemTrayIcon* trayIcon() const { return m_tray; }

Q_SIGNALS:
    void click();
    void dblClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void applyTip();
    void applyVisible();

    QPointer<QWidget> m_window;
    QSystemTrayIcon* m_tray;
    QPointer<QMenu> m_menu;
    QIcon m_icon;
    QString m_hint;
    bool m_showHint = true;
    bool m_iconVisible = false;
    bool m_minimizeToTray = false;
    Balloon m_lastBalloon;
    // Between showMainForm() and the window's being on the screen again: a
    // minimised state reported meanwhile is the window manager's late
    // answer to an earlier minimising, not a new one.
    bool m_restoring = false;
    QPointer<QWindow> m_watchedWindow;
};
