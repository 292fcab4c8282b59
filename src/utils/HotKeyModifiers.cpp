#include "utils/HotKeyModifiers.h"

namespace FileUtils
{

int shiftStateOf(Qt::KeyboardModifiers modifiers)
{
    return (modifiers & Qt::ShiftModifier ? ssShift : 0) |
           (modifiers & Qt::AltModifier ? ssAlt : 0) |
           (modifiers & Qt::ControlModifier ? ssCtrl : 0);
}

int shiftToHotKeyModifiers(int shift)
{
    if (shift & ~(ssShift | ssAlt | ssCtrl))
        return 0;
    return (shift & ssShift ? hkShift : 0) | (shift & ssAlt ? hkAlt : 0) |
           (shift & ssCtrl ? hkCtrl : 0);
}

namespace
{
// X11 core protocol modifier masks.
constexpr unsigned X11ShiftMask = 1, X11ControlMask = 4, X11Mod1Mask = 8;
} // namespace

unsigned hotKeyModifiersToX11(int flags)
{
    return (flags & hkShift ? X11ShiftMask : 0) | (flags & hkCtrl ? X11ControlMask : 0) |
           (flags & hkAlt ? X11Mod1Mask : 0);
}

int x11ToHotKeyModifiers(unsigned mask)
{
    return (mask & X11ShiftMask ? hkShift : 0) | (mask & X11ControlMask ? hkCtrl : 0) |
           (mask & X11Mod1Mask ? hkAlt : 0);
}

} // namespace FileUtils
