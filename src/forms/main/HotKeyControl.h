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
    // The combination the settings keep: the one in force, or the stored one
    // the desktop refused at start-up, which stays the user's choice until
    // the user picks another or clears it.
    int wantedHotKey() const { return m_wanted; }
    // Makes Key the hot key, as the user chose it. When the desktop refuses
    // it (another program holds it), the user is told and the previous
    // combination stays.
    void assignHotKey(int key);
    // The start-up's combination: the same without the message, whose text
    // is returned (empty on success), for the start-up shows its messages
    // once the window is up. A refused combination stays the setting.
    QString tryAssignHotKey(int key);

Q_SIGNALS:
    // The combination the settings keep changed.
    void hotKeyChanged(int key);

private:
    QString assign(int key);
    void setWanted(int key);
    void showInTray(int key);
    // Grabs Key; 0 grabs nothing and succeeds. Without an X server nothing
    // can be grabbed and any key is kept as the setting.
    bool registerKey(int key);

    CommandContext& m_context;
    TrayControl& m_tray;
    GlobalHotKey* m_grab;
    int m_hotKey = 0; // none until the settings are read
    int m_wanted = 0;
};
