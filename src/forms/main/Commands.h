#pragma once
#include <QtGlobal>
#include <span>

// Every command of the main window, once: the name its action is found by,
// what it says, its key and its picture. Menus, tool bar and tray menu share
// the actions made from this table.
namespace Commands
{

enum class Id {
    AddFile, // the object names keep the older words: acNewDoc
    AddCategory,
    AddUrl,
    RemoveFromProgram,
    DeleteFromDisk,
    Comment,
    Properties,
    OpenContainingFolder, // "Find object"
    ExpandAll,
    CollapseAll,
    ShowFolders, // acExplore
    FindByName,
    FindInComments,
    FindByAdditional,
    FindNext,
    StartAtLogin,
    RemoveMissingLinks, // "Delete non-actual links"
    Options,
    Backup,
    Restore,
    QuitFromFileMenu, // the File menu's entry, with Ctrl+Q
    Quit,             // the pop-up and tray menus' entry
    LargeIcons,       // the View menus' styles
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
    AddFolderAsOne, // the menu for a dropped folder
    AddFolderContents,
    CancelFolderDrop,
    Undo, // the Edit menu's and the pop-up menus' history of changes
    Redo,
    ImportBookmarks, // a browser's bookmark file in and out
    ExportBookmarks,
    CheckLinks, // missing files found again
    Count
};

enum Flag : unsigned {
    NoFlags = 0,
    Checkable = 1,
};

struct Entry {
    Id command;
    const char* objectName;
    const char* caption;
    const char* hint; // the tool tip; empty for none
    int shortcut;     // a combined key (QKeyCombination::toCombined()); 0 for none
    int image;        // a command picture (Artwork::CommandImage); NoCommandImage for none
    unsigned flags;
};

// The table, in the order of Id.
std::span<const Entry> table();
const Entry& entry(Id command);

// The menus and bars the commands stand in.
enum class Menu {
    File, // the menu bar's menus
    Edit,
    ViewMain,
    Service,
    Help,
    Search,    // the Service menu's and the Search button's submenu
    Popup,     // the tree's and the list's menu for no entry
    PopupView, // its submenus
    PopupSearch,
    Item,       // the menu for an entry
    Additional, // the additional field's values, filled from the settings
    Tray,
    ViewButton, // the View button's drop-down
    Folders,    // the folders panel's menu
    DragFolder, // asked for a dropped folder
    ToolBar,
    Count
};

// One place in a menu or bar: a command, a separator, a submenu, or a tool
// button that stands for a menu.
struct Slot {
    enum Kind { Command, Separator, Submenu, MenuButton } kind;
    Id command = Id::Count;
    Menu menu = Menu::Count;
};

struct MenuEntry {
    Menu menu;
    const char* objectName;
    const char* title; // empty for a pop-up menu
    std::span<const Slot> slots;
};

// Every menu and bar with its places, in the order of Menu.
const MenuEntry& menuEntry(Menu menu);

} // namespace Commands
