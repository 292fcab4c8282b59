#include "components/GlobalHotKey.h"

#include <QGuiApplication>
#include <memory>
#include <qguiapplication_platform.h>

#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

namespace
{

constexpr xcb_keysym_t NumLockKeysym = 0xff7f;
constexpr unsigned ModifierBits = 0xff; // the state's key modifiers, not its buttons
constexpr int KeysymColumns = 4;        // unshifted and shifted, in two groups

xcb_connection_t* connection()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    return x11 ? x11->connection() : nullptr;
}

xcb_window_t rootWindow(xcb_connection_t* c)
{
    const xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    return it.rem ? it.data->root : xcb_window_t(XCB_WINDOW_NONE);
}

// The modifier bit NumLock sits on in this server's keyboard map (Mod2 as a rule).
unsigned numLockMask(xcb_connection_t* c, xcb_key_symbols_t* symbols)
{
    const std::unique_ptr<xcb_keycode_t, decltype(&free)> numLock(
        xcb_key_symbols_get_keycode(symbols, NumLockKeysym), &free);
    if (!numLock)
        return 0;
    const std::unique_ptr<xcb_get_modifier_mapping_reply_t, decltype(&free)> map(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr), &free);
    if (!map)
        return 0;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(map.get());
    const int perModifier = map->keycodes_per_modifier;
    for (int mod = 0; mod < 8; ++mod)
        for (int i = 0; i < perModifier; ++i)
            for (const xcb_keycode_t* k = numLock.get(); *k != XCB_NO_SYMBOL; ++k)
                if (codes[mod * perModifier + i] == *k)
                    return 1u << mod;
    return 0;
}

// The modifiers with every combination of the lock bits.
QList<unsigned> variants(unsigned modifiers, unsigned locks)
{
    QList<unsigned> all;
    for (unsigned sub = locks;; sub = (sub - 1) & locks) {
        all << (modifiers | sub);
        if (sub == 0)
            break;
    }
    return all;
}

} // namespace

GlobalHotKey::GlobalHotKey(QObject* parent) : QObject(parent)
{
    setObjectName(QStringLiteral("GlobalHotKey"));
    if (qGuiApp)
        qGuiApp->installNativeEventFilter(this);
}

GlobalHotKey::~GlobalHotKey()
{
    release();
    if (qGuiApp)
        qGuiApp->removeNativeEventFilter(this);
}

bool GlobalHotKey::available()
{
    return connection() != nullptr;
}

QList<unsigned> GlobalHotKey::keysymsOfKeycode(unsigned keycode)
{
    QList<unsigned> keysyms;
    xcb_connection_t* c = connection();
    if (!c || keycode > 0xff)
        return keysyms;
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(c), &xcb_key_symbols_free);
    if (!symbols)
        return keysyms;
    for (int column = 0; column < KeysymColumns; ++column)
        if (const xcb_keysym_t keysym =
                xcb_key_symbols_get_keysym(symbols.get(), xcb_keycode_t(keycode), column);
            keysym != XCB_NO_SYMBOL && !keysyms.contains(keysym))
            keysyms << keysym;
    return keysyms;
}

bool GlobalHotKey::grab(const QList<unsigned>& keysyms, unsigned modifiers)
{
    release();
    xcb_connection_t* c = connection();
    if (!c || keysyms.isEmpty())
        return false;
    const xcb_window_t root = rootWindow(c);
    const std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)> symbols(
        xcb_key_symbols_alloc(c), &xcb_key_symbols_free);
    if (!symbols || root == XCB_WINDOW_NONE)
        return false;
    QList<unsigned char> keycodes;
    for (const unsigned keysym : keysyms) {
        const std::unique_ptr<xcb_keycode_t, decltype(&free)> codes(
            xcb_key_symbols_get_keycode(symbols.get(), keysym), &free);
        for (const xcb_keycode_t* k = codes.get(); k && *k != XCB_NO_SYMBOL; ++k)
            if (!keycodes.contains(*k))
                keycodes << *k;
    }
    if (keycodes.isEmpty())
        return false;

    m_modifiers = modifiers & ModifierBits;
    m_lockMasks = (XCB_MOD_MASK_LOCK | numLockMask(c, symbols.get())) & ~m_modifiers;
    QList<xcb_void_cookie_t> cookies;
    for (const unsigned char k : std::as_const(keycodes)) {
        m_keycodes << k;
        for (const unsigned mods : variants(m_modifiers, m_lockMasks))
            cookies << xcb_grab_key_checked(c, 1, root, uint16_t(mods), k, XCB_GRAB_MODE_ASYNC,
                                            XCB_GRAB_MODE_ASYNC);
    }
    bool ok = true;
    for (const xcb_void_cookie_t cookie : cookies)
        if (xcb_generic_error_t* error = xcb_request_check(c, cookie)) {
            ok = false; // BadAccess: another client holds this variant
            free(error);
        }
    // One variant taken means the combination is not ours: none is kept.
    if (!ok)
        release();
    return ok;
}

void GlobalHotKey::release()
{
    xcb_connection_t* c = connection();
    if (c && !m_keycodes.isEmpty()) {
        const xcb_window_t root = rootWindow(c);
        for (const unsigned char k : std::as_const(m_keycodes))
            for (const unsigned mods : variants(m_modifiers, m_lockMasks))
                xcb_ungrab_key(c, k, root, uint16_t(mods));
        xcb_flush(c);
    }
    m_keycodes.clear();
}

bool GlobalHotKey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result)
{
    Q_UNUSED(result);
    if (m_keycodes.isEmpty() || eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto* press = static_cast<const xcb_key_press_event_t*>(message);
    if (!m_keycodes.contains(press->detail) ||
        (press->state & ModifierBits & ~m_lockMasks) != m_modifiers)
        return false;
    // Pressed while another program has the keyboard, the key comes to the
    // root window: Qt takes its time stamp as the latest user action, which
    // lets the window manager bring the window to the front when it is
    // shown, so the event goes on and the report follows it. While one of
    // this program's windows has the keyboard, the key is taken here.
    const bool elsewhere = press->event == press->root;
    QMetaObject::invokeMethod(this, &GlobalHotKey::activated, Qt::QueuedConnection);
    return !elsewhere;
}
