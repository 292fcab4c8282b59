#pragma once
#include "catalogue/SettingKeys.h"

#include <QString>
#include <QStringList>
#include <array>

// The user's options as one value: what the options dialog shows and gives
// back, and what the window applies. Defaults are those of the settings
// table, so a missing setting and a fresh Options agree.
struct Options {
    // The list's detail columns after the name, by column number 1 to 4:
    // type, location, comment, additional field.
    static constexpr int FirstColumn = 1;
    static constexpr int LastColumn = Setting::ColumnWidthCount;

    // The global key combination that brings the window back: low byte the
    // key, plus 0x2000 Shift, 0x4000 Ctrl, 0x8000 Alt; 0 for none.
    int hotKey = Setting::HotKey.defaultValue;
    // Whether the program starts at logon. Not a setting: the desktop's
    // autostart entry is the only record of it.
    bool autoStart = false;
    // Whether links whose targets are gone are removed.
    bool removeOnAbsent = Setting::RemoveOnAbsent.defaultValue;
    // Widths of columns 1 to 4 (index 0 is column 1); 0 hides a column.
    std::array<int, Setting::ColumnWidthCount> columnWidths = {
        Setting::ColumnWidths[0].defaultValue, Setting::ColumnWidths[1].defaultValue,
        Setting::ColumnWidths[2].defaultValue, Setting::ColumnWidths[3].defaultValue};
    // The additional field's title and its values, in menu order.
    QString adTitle = QString::fromUtf8(Setting::AdTitle.defaultValue);
    QStringList adValues;
    // Whether a value set on a category is set on everything inside it.
    bool recursChanging = Setting::RecursChanging.defaultValue;

    // The width a hidden column gets when it is switched on.
    static constexpr int shownWidth(int column)
    {
        constexpr int widths[] = {80, 120, 190, 50};
        return column >= FirstColumn && column <= LastColumn ? widths[column - FirstColumn] : 0;
    }

    bool columnShown(int column) const { return columnWidth(column) > 0; }
    int columnWidth(int column) const
    {
        return column >= FirstColumn && column <= LastColumn
                   ? columnWidths[size_t(column - FirstColumn)]
                   : 0;
    }
    // Hides a column, or shows it: a hidden one at its shown width, a
    // visible one keeps the width it has.
    void showColumn(int column, bool shown)
    {
        if (column < FirstColumn || column > LastColumn)
            return;
        int& width = columnWidths[size_t(column - FirstColumn)];
        if (!shown)
            width = 0;
        else if (width <= 0)
            width = shownWidth(column);
    }

    bool operator==(const Options&) const = default;
};
