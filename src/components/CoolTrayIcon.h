#pragma once
#include <QIcon>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QSystemTrayIcon>

class QWidget;

// The program's icon in the system tray: tip, menu, balloon messages, and the
// main window hidden to the tray and brought back from it.
class TCoolTrayIcon : public QObject
{
    Q_OBJECT
public:
    enum TBalloonHintIcon { bitNone = 0, bitInfo = 1, bitWarning = 2, bitError = 3 };
    static constexpr int MaxHint = 127, MaxBalloonTitle = 63, MaxBalloonText = 255;

    // MainWindow is the window the icon hides and shows; it owns the icon.
    explicit TCoolTrayIcon(QWidget* MainWindow);
    ~TCoolTrayIcon() override;

    QIcon Icon() const { return m_icon; }
    void SetIcon(const QIcon& Icon);
    QString Hint() const { return m_hint; }
    void SetHint(const QString& Hint);
    bool ShowHint() const { return m_showHint; }
    void SetShowHint(bool On);
    // The tip as passed on to the tray: empty when off or without hint, cut
    // at MaxHint characters.
    QString Tip() const;
    bool IconVisible() const { return m_iconVisible; }
    void SetIconVisible(bool On);
    QMenu* PopupMenu() const { return m_menu; }
    void SetPopupMenu(QMenu* Menu);
    bool MinimizeToTray() const { return m_minimizeToTray; }
    void SetMinimizeToTray(bool On);

    // True when a tray host shows the icon now.
    bool InTray() const;
    // Removes a balloon this icon shows, then shows one; title, text and
    // time are cut to what the tray takes.
    void ShowBalloonHint(const QString& Title, const QString& Text, TBalloonHintIcon Icon,
                         int Seconds);
    void HideBalloonHint();
    // What the last balloon passed on to the tray.
    struct TBalloon {
        QString Title, Text;
        TBalloonHintIcon Icon = bitNone;
        int Milliseconds = 0;
    };
    TBalloon LastBalloon() const { return m_lastBalloon; }

    // The main window made invisible (no taskbar button), or visible again,
    // restored if it was minimised and brought to the foreground.
    void HideMainForm();
    void ShowMainForm();

    // A mouse report of the tray (public so that tests can give one): a
    // single click is reported at once; a double click then runs the menu's
    // default entry.
    void MouseReport(QSystemTrayIcon::ActivationReason Reason);

    QSystemTrayIcon* TrayIcon() const { return m_tray; }

Q_SIGNALS:
    void Click();
    void DblClick();

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

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
    TBalloon m_lastBalloon;
};
