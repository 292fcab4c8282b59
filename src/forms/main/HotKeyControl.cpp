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
    if (const QString failure = assign(key); !failure.isEmpty())
        MessageDialogs::errorBox(failure);
}

QString HotKeyControl::tryAssignHotKey(int key)
{
    // A copy started beside another one that holds the key must not lose the
    // user's combination: the settings keep it whatever the desktop answers.
    m_wanted = key;
    return assign(key);
}

QString HotKeyControl::assign(int key)
{
    if (key == m_hotKey) {
        setWanted(key); // clearing the field drops a refused combination too
        return QString();
    }
    const int old = m_hotKey;
    showInTray(key);
    if (registerKey(key)) {
        m_hotKey = key;
        setWanted(key);
        return QString();
    }
    showInTray(old);
    registerKey(old);
    return tr("Unable to assign <%1> as hotkey.\nYou can assign other key combination.")
        .arg(HotKeyCodes::text(key));
}

void HotKeyControl::setWanted(int key)
{
    if (key == m_wanted)
        return;
    m_wanted = key;
    Q_EMIT hotKeyChanged(key);
}

void HotKeyControl::showInTray(int key)
{
    m_tray.setShowHotKeyText(HotKeyCodes::text(key));
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
    return m_grab->grab(HotKeyCodes::keysymsOf(key), modifiers);
}
