#pragma once
#include <QAbstractNativeEventFilter>
#include <QList>
#include <QObject>

// One system-wide key combination, grabbed on the X root window: pressed
// anywhere on the desktop, it reports activated(). Without an X server there
// is nothing to grab (available() is false).
class GlobalHotKey : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT
public:
    explicit GlobalHotKey(QObject* parent = nullptr);
    ~GlobalHotKey() override;
    GlobalHotKey(const GlobalHotKey&) = delete;
    GlobalHotKey& operator=(const GlobalHotKey&) = delete;

    // Whether the program talks to an X server.
    static bool available();
    // The keysyms an X key code carries in the keyboard map, the unshifted
    // one first; none without an X server.
    static QList<unsigned> keysymsOfKeycode(unsigned keycode);
    // Releases the combination held, then grabs the keys of the X keysyms
    // with the X modifier mask (ShiftMask, ControlMask, Mod1Mask), with and
    // without CapsLock and NumLock. False, with nothing grabbed, when no key
    // has a key code or another client holds any of the variants.
    bool grab(const QList<unsigned>& keysyms, unsigned modifiers);
    void release();
    bool isGrabbed() const { return !m_keycodes.isEmpty(); }

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

Q_SIGNALS:
    void activated();

private:
    QList<unsigned char> m_keycodes;
    unsigned m_modifiers = 0;
    unsigned m_lockMasks = 0; // CapsLock and NumLock
};
