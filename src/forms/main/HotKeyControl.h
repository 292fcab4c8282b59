#pragma once
#include <QObject>

class CommandContext;
class GlobalHotKey;
class TrayControl;

// The program's one system-wide hot key: it brings the window back from the
// tray. Its combination is shown beside "Show" in the tray menu and is what
// the settings keep.
class HotKeyControl : public QObject
{
    Q_OBJECT
public:
    HotKeyControl(CommandContext& context, TrayControl& tray);

    // The combination in force (the stored word: low byte the key, 0x2000
    // Shift, 0x4000 Ctrl, 0x8000 Alt; 0 for none).
    int hotKey() const { return m_hotKey; }
    // Makes Key the hot key. When the desktop refuses it (another program
    // holds it), the user is told and the previous combination stays.
    void assignHotKey(int key);
    // The same without the message: its text is returned (empty on success),
    // for the start-up, which shows its messages once the window is up.
    QString tryAssignHotKey(int key);

Q_SIGNALS:
    // The combination in force changed.
    void hotKeyChanged(int key);

private:
    void setShown(int key);
    // Grabs Key; 0 grabs nothing and succeeds. Without an X server nothing
    // can be grabbed and any key is kept as the setting.
    bool registerKey(int key);

    CommandContext& m_context;
    TrayControl& m_tray;
    GlobalHotKey* m_grab;
    int m_hotKey = 0; // none until the settings are read
};
