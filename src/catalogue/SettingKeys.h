#pragma once
// Every value of the per-user settings, once: its name as the settings file
// spells it, its type and its default, which is also the main window's design
// value. Reads and writes name an entry of this table, never a text.
#include <variant>

struct IntegerSetting {
    const char* name;
    int defaultValue;
};
struct BoolSetting {
    const char* name;
    bool defaultValue;
};
struct StringSetting {
    const char* name;
    const char* defaultValue;
};

namespace Setting
{

// The main window's frame position and client size.
inline constexpr IntegerSetting FormLeft{"FormLeft", 153};
inline constexpr IntegerSetting FormTop{"FormTop", 149};
inline constexpr IntegerSetting FormWidth{"FormWidth", 855};
inline constexpr IntegerSetting FormHeight{"FormHeight", 534};
inline constexpr IntegerSetting TreeWidth{"TreeWidth", 216};
// The list's view style as the file codes it: 0 large icons, 3 small icons,
// 1 list, 2 details.
inline constexpr IntegerSetting ListStyle{"ListStyle", 2};
inline constexpr BoolSetting ShowFolders{"ShowFolders", false};
// The floating folders panel's position inside the window.
inline constexpr IntegerSetting FoldersLeft{"FoldersLeft", 233};
inline constexpr IntegerSetting FoldersTop{"FoldersTop", 208};
inline constexpr BoolSetting RemoveOnAbsent{"RemoveOnAbsent", false};
// The widths of the detail list's columns after the name, 0 when hidden; the
// last one stretches and starts at the header's own default width.
inline constexpr int ColumnWidthCount = 4;
inline constexpr IntegerSetting ColumnWidths[ColumnWidthCount] = {
    {"Width1", 80}, {"Width2", 120}, {"Width3", 121}, {"Width4", 100}};
inline constexpr StringSetting AdTitle{"AdTitle", "Additional"};
inline constexpr BoolSetting RecursChanging{"RecursChanging", false};
// A shortcut word: Ctrl+Alt+D. Older files spell the name "Hotkey"; names
// are read ignoring case.
inline constexpr IntegerSetting HotKey{"HotKey", 49220};
// The folder "Add file..." last took files from; none: the home folder.
inline constexpr StringSetting AddFileFolder{"AddFileFolder", ""};

// Every entry, in the order the window reads and writes them.
using AnySetting = std::variant<const IntegerSetting*, const BoolSetting*, const StringSetting*>;
inline constexpr AnySetting All[] = {
    &FormLeft,        &FormTop,         &FormWidth,       &FormHeight,      &TreeWidth,
    &ListStyle,       &ShowFolders,     &FoldersLeft,     &FoldersTop,      &RemoveOnAbsent,
    &ColumnWidths[0], &ColumnWidths[1], &ColumnWidths[2], &ColumnWidths[3], &AdTitle,
    &RecursChanging,  &HotKey,          &AddFileFolder,
};

} // namespace Setting
