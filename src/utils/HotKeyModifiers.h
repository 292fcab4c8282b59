#pragma once
#include <Qt>

// Modifier keys of the global hot key.
namespace FileUtils
{

// Shift state bits as the program's commands pass them.
enum ShiftBits : int { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
// Hot-key modifier flags.
enum HotKeyModifier : int { hkAlt = 1, hkCtrl = 2, hkShift = 4 };

int shiftStateOf(Qt::KeyboardModifiers modifiers);
// Shift state (bits 1 Shift, 2 Alt, 4 Ctrl) to hot-key flags (1 Alt, 2 Ctrl,
// 4 Shift); a state with any other bit gives 0.
int shiftToHotKeyModifiers(int shift);
// Hot-key flags to the X11 modifier mask (ShiftMask 1, ControlMask 4,
// Mod1Mask 8 for Alt) and back; unknown bits are dropped.
unsigned hotKeyModifiersToX11(int flags);
int x11ToHotKeyModifiers(unsigned mask);

} // namespace FileUtils
