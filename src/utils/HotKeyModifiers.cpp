#include "utils/HotKeyModifiers.h"

namespace MyFileUtils
{

int ShiftStateOf(Qt::KeyboardModifiers Modifiers)
{
    return (Modifiers & Qt::ShiftModifier ? ssShift : 0) |
           (Modifiers & Qt::AltModifier ? ssAlt : 0) |
           (Modifiers & Qt::ControlModifier ? ssCtrl : 0);
}

int ShiftToHotKeyModifiers(int Shift)
{
    if (Shift & ~(ssShift | ssAlt | ssCtrl))
        return 0;
    return (Shift & ssShift ? hkShift : 0) | (Shift & ssAlt ? hkAlt : 0) |
           (Shift & ssCtrl ? hkCtrl : 0);
}

namespace
{
// X11 core protocol modifier masks.
constexpr unsigned X11ShiftMask = 1, X11ControlMask = 4, X11Mod1Mask = 8;
} // namespace

unsigned HotKeyModifiersToX11(int Flags)
{
    return (Flags & hkShift ? X11ShiftMask : 0) | (Flags & hkCtrl ? X11ControlMask : 0) |
           (Flags & hkAlt ? X11Mod1Mask : 0);
}

int X11ToHotKeyModifiers(unsigned Mask)
{
    return (Mask & X11ShiftMask ? hkShift : 0) | (Mask & X11ControlMask ? hkCtrl : 0) |
           (Mask & X11Mod1Mask ? hkAlt : 0);
}

} // namespace MyFileUtils
