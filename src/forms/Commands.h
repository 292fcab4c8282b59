#pragma once
#include <QtGlobal>
#include <span>

// Every command of the main window, once: the name its action is found by,
// what it says, its key and its picture. Menus, tool bar and tray menu share
// the actions made from this table.
namespace Commands
{

enum class Id {
    NewDoc,
    NewCateg,
    PasteURL,
    RemoveItem,
    DeleteFromDisk,
    AddComments,
    Properties,
    FindObject,
    ExpandAll,
    CollapseAll,
    Explore,
    SearchInNames,
    SearchInComments,
    SearchInAdd,
    SearchAgain,
    AutoStart,
    RemoveOnAbsent,
    Options,
    BackupData,
    RestoreBackup,
    ExitMenu,   // the File menu's entry, with Ctrl+Q
    Exit,       // the pop-up and tray menus' entry
    LargeIcons, // the View menus' styles
    SmallIcons,
    List,
    Details,
    ButtonLargeIcons, // the View button's drop-down ("Detailes")
    ButtonSmallIcons,
    ButtonList,
    ButtonDetails,
    Help,
    Support,
    FAQ,
    About,
    Show,
    Hide,
    AsSingleFolder, // the menu for a dropped folder
    AsSepDocs,
    NoDragDrop,
    Count
};

enum Flag : unsigned {
    NoFlags = 0,
    Checkable = 1,
    // Shown but disabled until its behaviour is built, so that nothing looks
    // as if it worked when it did nothing.
    Pending = 2,
};

struct Entry {
    Id command;
    const char* objectName;
    const char* caption;
    const char* hint; // the tool tip; empty for none
    int shortcut;     // a combined key (QKeyCombination::toCombined()); 0 for none
    int image;        // a command picture (Artwork::CommandImage); -1 for none
    unsigned flags;
};

// The table, in the order of Id.
std::span<const Entry> table();
const Entry& entry(Id command);

} // namespace Commands
