#include "utils/HotKeyCodes.h"
#include "utils/HotKeyModifiers.h"

#include <QKeySequence>
#include <optional>

namespace HotKeyCodes
{
namespace
{

struct Key {
    int vk;
    Qt::Key qt;
    unsigned keysym;
    const char* name; // as menus name it
};

// Keys whose codes do not follow from a range below.
constexpr Key Keys[] = {
    {0x08, Qt::Key_Backspace, 0xff08, "BkSp"}, {0x09, Qt::Key_Tab, 0xff09, "Tab"},
    {0x0D, Qt::Key_Return, 0xff0d, "Enter"},   {0x13, Qt::Key_Pause, 0xff13, "Pause"},
    {0x1B, Qt::Key_Escape, 0xff1b, "Esc"},     {0x20, Qt::Key_Space, 0x0020, "Space"},
    {0x21, Qt::Key_PageUp, 0xff55, "PgUp"},    {0x22, Qt::Key_PageDown, 0xff56, "PgDn"},
    {0x23, Qt::Key_End, 0xff57, "End"},        {0x24, Qt::Key_Home, 0xff50, "Home"},
    {0x25, Qt::Key_Left, 0xff51, "Left"},      {0x26, Qt::Key_Up, 0xff52, "Up"},
    {0x27, Qt::Key_Right, 0xff53, "Right"},    {0x28, Qt::Key_Down, 0xff54, "Down"},
    {0x2C, Qt::Key_Print, 0xff61, "Print"},    {0x2D, Qt::Key_Insert, 0xff63, "Ins"},
    {0x2E, Qt::Key_Delete, 0xffff, "Del"},     {0xBA, Qt::Key_Semicolon, 0x003b, ";"},
    {0xBB, Qt::Key_Equal, 0x003d, "="},        {0xBC, Qt::Key_Comma, 0x002c, ","},
    {0xBD, Qt::Key_Minus, 0x002d, "-"},        {0xBE, Qt::Key_Period, 0x002e, "."},
    {0xBF, Qt::Key_Slash, 0x002f, "/"},        {0xC0, Qt::Key_QuoteLeft, 0x0060, "`"},
    {0xDB, Qt::Key_BracketLeft, 0x005b, "["},  {0xDC, Qt::Key_Backslash, 0x005c, "\\"},
    {0xDD, Qt::Key_BracketRight, 0x005d, "]"}, {0xDE, Qt::Key_Apostrophe, 0x0027, "'"},
};

// Ranges: digits, letters (keysyms of the lower-case letters, which the
// keyboard's keys carry first), F1 to F24.
constexpr int VkDigit0 = 0x30, VkDigit9 = 0x39, VkA = 0x41, VkZ = 0x5A, VkF1 = 0x70, VkF24 = 0x87;
constexpr unsigned KeysymLowerA = 0x61, KeysymF1 = 0xffbe;
constexpr unsigned KeysymReturn = 0xff0d, KeysymKeypadEnter = 0xff8d;

std::optional<Key> keyOfVk(int vk)
{
    if (vk >= VkDigit0 && vk <= VkDigit9)
        return Key{vk, Qt::Key(Qt::Key_0 + vk - VkDigit0), unsigned(vk), nullptr};
    if (vk >= VkA && vk <= VkZ)
        return Key{vk, Qt::Key(Qt::Key_A + vk - VkA), KeysymLowerA + unsigned(vk - VkA), nullptr};
    if (vk >= VkF1 && vk <= VkF24)
        return Key{vk, Qt::Key(Qt::Key_F1 + vk - VkF1), KeysymF1 + unsigned(vk - VkF1), nullptr};
    for (const Key& k : Keys)
        if (k.vk == vk)
            return k;
    return std::nullopt;
}

std::optional<Key> keyOfQt(Qt::Key key)
{
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return keyOfVk(VkDigit0 + (key - Qt::Key_0));
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return keyOfVk(VkA + (key - Qt::Key_A));
    if (key >= Qt::Key_F1 && key <= Qt::Key_F24)
        return keyOfVk(VkF1 + (key - Qt::Key_F1));
    if (key == Qt::Key_Enter)
        key = Qt::Key_Return;
    for (const Key& k : Keys)
        if (k.qt == key)
            return k;
    return std::nullopt;
}

std::optional<Key> keyOfKeysym(unsigned keysym)
{
    if (keysym >= unsigned(VkDigit0) && keysym <= unsigned(VkDigit9))
        return keyOfVk(int(keysym));
    if (keysym >= KeysymLowerA && keysym <= KeysymLowerA + unsigned(VkZ - VkA))
        return keyOfVk(VkA + int(keysym - KeysymLowerA));
    if (keysym >= unsigned(VkA) && keysym <= unsigned(VkZ)) // an upper-case letter
        return keyOfVk(int(keysym));
    if (keysym >= KeysymF1 && keysym <= KeysymF1 + unsigned(VkF24 - VkF1))
        return keyOfVk(VkF1 + int(keysym - KeysymF1));
    if (keysym == KeysymKeypadEnter)
        keysym = KeysymReturn;
    for (const Key& k : Keys)
        if (k.keysym == keysym)
            return k;
    return std::nullopt;
}

int word(const Key& key, Qt::KeyboardModifiers m)
{
    return key.vk | (m & Qt::ShiftModifier ? ShiftBit : 0) |
           (m & Qt::ControlModifier ? CtrlBit : 0) | (m & Qt::AltModifier ? AltBit : 0);
}

} // namespace

int fromQt(QKeyCombination combination)
{
    const auto key = keyOfQt(combination.key());
    return key ? word(*key, combination.keyboardModifiers()) : 0;
}

int fromKeysym(unsigned keysym, Qt::KeyboardModifiers modifiers)
{
    const auto key = keyOfKeysym(keysym);
    return key ? word(*key, modifiers) : 0;
}

QKeyCombination toQt(int word)
{
    const auto key = keyOfVk(word & KeyMask);
    if (!key)
        return QKeyCombination(Qt::Key_unknown);
    Qt::KeyboardModifiers m;
    if (word & ShiftBit)
        m |= Qt::ShiftModifier;
    if (word & CtrlBit)
        m |= Qt::ControlModifier;
    if (word & AltBit)
        m |= Qt::AltModifier;
    return QKeyCombination(m, key->qt);
}

QList<unsigned> keysymsOf(int word)
{
    const auto key = keyOfVk(word & KeyMask);
    if (!key)
        return {};
    if (key->keysym == KeysymReturn)
        return {KeysymReturn, KeysymKeypadEnter};
    return {key->keysym};
}

int shiftStateOf(int word)
{
    return (word & ShiftBit ? FileUtils::ssShift : 0) | (word & CtrlBit ? FileUtils::ssCtrl : 0) |
           (word & AltBit ? FileUtils::ssAlt : 0);
}

QString text(int word)
{
    if (word == 0)
        return QString();
    QString t;
    if (word & ShiftBit)
        t += QStringLiteral("Shift+");
    if (word & CtrlBit)
        t += QStringLiteral("Ctrl+");
    if (word & AltBit)
        t += QStringLiteral("Alt+");
    if (const auto key = keyOfVk(word & KeyMask))
        t += key->name ? QString::fromLatin1(key->name)
                       : QKeySequence(key->qt).toString(QKeySequence::PortableText);
    return t;
}

} // namespace HotKeyCodes
