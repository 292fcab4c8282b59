#include "forms/main/HotKeyControl.h"
#include "components/GlobalHotKey.h"
#include "components/MessageDialogs.h"
#include "forms/main/CommandContext.h"
#include "forms/main/TrayControl.h"
#include "utils/HotKeyCodes.h"
#include "utils/HotKeyModifiers.h"

HotKeyControl::HotKeyControl(CommandContext& context, TrayControl& tray)
    : QObject(&tray), m_context(context), m_tray(tray), m_grab(new GlobalHotKey(this))
{
    setObjectName(QStringLiteral("HotKeyControl"));
    connect(m_grab, &GlobalHotKey::activated, &tray, &TrayControl::restoreFromTray);
}

void HotKeyControl::assignHotKey(int key)
{
    if (const QString failure = tryAssignHotKey(key); !failure.isEmpty())
        MessageDialogs::errorBox(failure);
}

QString HotKeyControl::tryAssignHotKey(int key)
{
    if (key == m_hotKey)
        return QString();
    const int old = m_hotKey;
    setShown(key);
    if (registerKey(key))
        return QString();
    setShown(old);
    registerKey(old);
    return QStringLiteral("Unable to assign <%1> as hotkey.\nYou can assign other key combination.")
        .arg(HotKeyCodes::text(key));
}

void HotKeyControl::setShown(int key)
{
    m_hotKey = key;
    m_tray.setShowHotKeyText(HotKeyCodes::text(key));
    Q_EMIT hotKeyChanged(key);
}

bool HotKeyControl::registerKey(int key)
{
    if (key == 0) {
        m_grab->release();
        return true;
    }
    // A desktop without X (Wayland without XWayland, no display) has no
    // global keys: the choice is kept for the next run on one that has.
    if (!GlobalHotKey::available())
        return true;
    const unsigned modifiers = FileUtils::hotKeyModifiersToX11(
        FileUtils::shiftToHotKeyModifiers(HotKeyCodes::shiftStateOf(key)));
    return m_grab->grab(HotKeyCodes::keysymOf(key), modifiers);
}
