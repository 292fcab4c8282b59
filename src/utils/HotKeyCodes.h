#pragma once
#include <QKeyCombination>
#include <QList>
#include <QString>

// The hot key's stored word (low byte a virtual-key code, 0x2000 Shift,
// 0x4000 Ctrl, 0x8000 Alt; 0 for none), Qt's keys and X keysyms, translated
// through one table.
namespace HotKeyCodes
{

inline constexpr int ShiftBit = 0x2000;
inline constexpr int CtrlBit = 0x4000;
inline constexpr int AltBit = 0x8000;
inline constexpr int KeyMask = 0xFF;

// The word of a combination typed in Qt; 0 when the key has no code.
int fromQt(QKeyCombination combination);
// The word of a key pressed with modifiers, named by an X keysym the key
// carries; 0 when the keysym has no code.
int fromKeysym(unsigned keysym, Qt::KeyboardModifiers modifiers);
// The combination a word stands for; Qt::Key_unknown when its key has none.
QKeyCombination toQt(int word);
// The X keysyms of a word's key: one, or for Enter both Enter keys (the
// stored word does not tell them apart); none when it has no code.
QList<unsigned> keysymsOf(int word);
// The shift state of a word as the program's commands pass it (FileUtils::ShiftBits).
int shiftStateOf(int word);
// The menu form: "Shift+", "Ctrl+", "Alt+" in this order, then the key's
// name ("Ctrl+Alt+D"); empty for 0.
QString text(int word);

} // namespace HotKeyCodes
