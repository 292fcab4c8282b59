#include "forms/main/Commands.h"
#include "catalogue/Artwork.h"

#include <Qt>

namespace Commands
{
namespace
{

constexpr int key(QKeyCombination combination)
{
    return combination.toCombined();
}

using namespace Artwork;
constexpr int NoImage = NoCommandImage;

constexpr Entry Table[] = {
    {Id::AddFile, "acNewDoc", "Add file...", "Add new document", key(Qt::Key_Insert), AddFileImage,
     NoFlags},
    {Id::AddCategory, "acNewCateg", "Add category", "Add new category", key(Qt::CTRL | Qt::Key_N),
     AddCategoryImage, NoFlags},
    {Id::AddUrl, "acPasteURL", "Add URL...", "Add URL from clipboard", 0, AddUrlImage, NoFlags},
    {Id::RemoveFromProgram, "acRemoveItem", "Remove from program", "Remove link from program",
     key(Qt::CTRL | Qt::Key_Delete), RemoveImage, NoFlags},
    {Id::DeleteFromDisk, "acDeleteFromDisk", "Delete from hard disk",
     "Delete from hard disk real file (folder)", 0, DeleteFromDiskImage, NoFlags},
    {Id::Comment, "acAddComments", "Comment...", "Add comment...", 0, CommentImage, NoFlags},
    // The shortcut is shown in the caption: Alt+Enter is the tree's and the
    // list's own key, not a window-wide one.
    {Id::Properties, "acProperties", "Properties...                              Alt+Enter",
     "Properties (Alt+Enter)", 0, PropertiesImage, NoFlags},
    {Id::OpenContainingFolder, "acFindObject", "Find object", "", 0, FindObjectImage, NoFlags},
    {Id::ExpandAll, "acExpandAll", "Expand all", "", 0, NoImage, NoFlags},
    {Id::CollapseAll, "acCollapseAll", "Collapse all", "", 0, NoImage, NoFlags},
    {Id::ShowFolders, "acExplore", "Show folders", "Show folders", 0, ShowFoldersImage, Checkable},
    {Id::FindByName, "acSearchInNames", "Find by name...", "", key(Qt::CTRL | Qt::Key_F), NoImage,
     NoFlags},
    {Id::FindInComments, "acSearchInComments", "Find in comments...", "",
     key(Qt::CTRL | Qt::ALT | Qt::Key_F), NoImage, NoFlags},
    {Id::FindByAdditional, "acSearchInAdd", "Find by additional field...", "", 0, NoImage, NoFlags},
    {Id::FindNext, "acSearchAgain", "Continue search", "", key(Qt::Key_F3), NoImage, NoFlags},
    {Id::StartAtLogin, "acAutoStart", "Start at login", "", 0, NoImage, Checkable},
    // An option whose tick already takes effect.
    {Id::RemoveMissingLinks, "acRemoveOnAbsent", "Delete non-actual links", "", 0, NoImage,
     Checkable},
    {Id::Options, "acOptions", "Options...", "Options...", key(Qt::Key_F12), OptionsImage, NoFlags},
    {Id::Backup, "acBackupData", "Backup data", "", key(Qt::CTRL | Qt::Key_S), NoImage, NoFlags},
    {Id::Restore, "acRestoreBackup", "Restore data", "", key(Qt::CTRL | Qt::Key_O), NoImage,
     NoFlags},
    {Id::QuitFromFileMenu, "ExitMenu", "&Exit", "", key(Qt::CTRL | Qt::Key_Q), NoImage, NoFlags},
    {Id::Quit, "Exit1", "Exit", "", 0, NoImage, NoFlags},
    {Id::LargeIcons, "LargeIcons1", "Large Icons", "", 0, LargeIconsImage, Checkable},
    {Id::SmallIcons, "SmallIcons1", "Small Icons", "", 0, SmallIconsImage, Checkable},
    {Id::List, "List1", "List", "", 0, ListImage, Checkable},
    {Id::Details, "Detailes1", "Details", "", 0, DetailsImage, Checkable},
    {Id::ButtonLargeIcons, "LargeIcons2", "Large Icons", "", 0, LargeIconsImage, Checkable},
    {Id::ButtonSmallIcons, "SmallIcons2", "Small Icons", "", 0, SmallIconsImage, Checkable},
    {Id::ButtonList, "List2", "List", "", 0, ListImage, Checkable},
    {Id::ButtonDetails, "Detailes2", "Detailes", "", 0, DetailsImage, Checkable},
    {Id::Help, "Help1", "Help content...", "", key(Qt::Key_F1), HelpImage, NoFlags},
    {Id::Support, "Support1", "Support...", "", 0, SupportImage, NoFlags},
    {Id::FAQ, "FAQ1", "FAQ on the Web", "", 0, FaqImage, NoFlags},
    {Id::About, "About1", "&About...", "", 0, NoImage, NoFlags},
    {Id::Show, "Show1", "Show", "", 0, NoImage, NoFlags},
    {Id::Hide, "Hide1", "Hide", "", 0, NoImage, NoFlags},
    {Id::AddFolderAsOne, "AsSingleFolder1", "Add the folder as a single document", "", 0, NoImage,
     NoFlags},
    {Id::AddFolderContents, "AsSepDocs1", "Add content of folder as separate documents", "", 0,
     NoImage, NoFlags},
    {Id::CancelFolderDrop, "NoDragDrop1", "Cancel", "", 0, NoImage, NoFlags},
    // The captions name the step once there is one; Redo has Ctrl+Y as well.
    {Id::Undo, "acUndo", "Undo", "", key(Qt::CTRL | Qt::Key_Z), NoImage, NoFlags},
    {Id::Redo, "acRedo", "Redo", "", key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), NoImage, NoFlags},
    {Id::ImportBookmarks, "acImportBookmarks", "&Import bookmarks...",
     "Import a bookmark file exported by a web browser", 0, NoImage, NoFlags},
    {Id::ExportBookmarks, "acExportBookmarks", "E&xport bookmarks...",
     "Export the selected category or the whole catalogue as a bookmark file", 0, NoImage, NoFlags},
    {Id::CheckLinks, "acCheckLinks", "Check all links",
     "Find the entries whose file or folder is missing, and relink or remove them", 0, NoImage,
     NoFlags},
};

static_assert(std::size(Table) == size_t(Id::Count), "one row per command");

constexpr bool inOrder()
{
    for (size_t i = 0; i < std::size(Table); ++i)
        if (Table[i].command != Id(i))
            return false;
    return true;
}
static_assert(inOrder(), "rows in the order of Id");

} // namespace

namespace
{

constexpr Slot cmd(Id id)
{
    return {Slot::Command, id, Menu::Count};
}
constexpr Slot sub(Menu menu)
{
    return {Slot::Submenu, Id::Count, menu};
}
constexpr Slot button(Menu menu)
{
    return {Slot::MenuButton, Id::Count, menu};
}
constexpr Slot Sep{Slot::Separator, Id::Count, Menu::Count};

constexpr Slot FileSlots[] = {cmd(Id::AddCategory),
                              cmd(Id::AddFile),
                              cmd(Id::AddUrl),
                              Sep,
                              cmd(Id::Properties),
                              Sep,
                              cmd(Id::RemoveFromProgram),
                              cmd(Id::DeleteFromDisk),
                              Sep,
                              cmd(Id::Backup),
                              cmd(Id::Restore),
                              Sep,
                              cmd(Id::ImportBookmarks),
                              cmd(Id::ExportBookmarks),
                              Sep,
                              cmd(Id::QuitFromFileMenu)};
constexpr Slot EditSlots[] = {cmd(Id::Undo), cmd(Id::Redo)};
constexpr Slot ViewMainSlots[] = {cmd(Id::ShowFolders), Sep,           cmd(Id::ExpandAll),
                                  cmd(Id::CollapseAll), Sep,           cmd(Id::LargeIcons),
                                  cmd(Id::SmallIcons),  cmd(Id::List), cmd(Id::Details)};
constexpr Slot SearchSlots[] = {cmd(Id::FindByName), cmd(Id::FindInComments),
                                cmd(Id::FindByAdditional), cmd(Id::FindNext)};
constexpr Slot ServiceSlots[] = {sub(Menu::Search),
                                 cmd(Id::Comment),
                                 cmd(Id::OpenContainingFolder),
                                 cmd(Id::CheckLinks),
                                 Sep,
                                 cmd(Id::StartAtLogin),
                                 cmd(Id::RemoveMissingLinks),
                                 Sep,
                                 cmd(Id::Options)};
constexpr Slot HelpSlots[] = {cmd(Id::Help), cmd(Id::Support), cmd(Id::FAQ), Sep, cmd(Id::About)};
constexpr Slot PopupSlots[] = {cmd(Id::Undo),
                               cmd(Id::Redo),
                               Sep,
                               cmd(Id::AddCategory),
                               cmd(Id::AddFile),
                               cmd(Id::AddUrl),
                               Sep,
                               cmd(Id::ShowFolders),
                               cmd(Id::ExpandAll),
                               cmd(Id::CollapseAll),
                               sub(Menu::PopupView),
                               Sep,
                               sub(Menu::PopupSearch),
                               Sep,
                               cmd(Id::StartAtLogin),
                               cmd(Id::RemoveMissingLinks),
                               Sep,
                               cmd(Id::Hide),
                               Sep,
                               cmd(Id::Quit)};
constexpr Slot PopupViewSlots[] = {cmd(Id::LargeIcons), cmd(Id::SmallIcons), cmd(Id::List),
                                   cmd(Id::Details)};
constexpr Slot ItemSlots[] = {cmd(Id::Undo),
                              cmd(Id::Redo),
                              Sep,
                              cmd(Id::Comment),
                              sub(Menu::Additional),
                              Sep,
                              cmd(Id::OpenContainingFolder),
                              Sep,
                              cmd(Id::RemoveFromProgram),
                              cmd(Id::DeleteFromDisk),
                              Sep,
                              cmd(Id::Properties)};
constexpr Slot TraySlots[] = {cmd(Id::Show), cmd(Id::Hide),         cmd(Id::AddFile),
                              Sep,           cmd(Id::StartAtLogin), cmd(Id::Options),
                              Sep,           cmd(Id::Quit)};
constexpr Slot ViewButtonSlots[] = {cmd(Id::ButtonLargeIcons), cmd(Id::ButtonSmallIcons),
                                    cmd(Id::ButtonList), cmd(Id::ButtonDetails)};
constexpr Slot FoldersSlots[] = {cmd(Id::ShowFolders)};
constexpr Slot DragFolderSlots[] = {cmd(Id::AddFolderAsOne), cmd(Id::AddFolderContents), Sep,
                                    cmd(Id::CancelFolderDrop)};
constexpr Slot ToolBarSlots[] = {cmd(Id::AddCategory),    cmd(Id::AddFile),
                                 cmd(Id::AddUrl),         cmd(Id::RemoveFromProgram),
                                 cmd(Id::DeleteFromDisk), Sep,
                                 cmd(Id::Comment),        cmd(Id::Properties),
                                 button(Menu::Search),    Sep,
                                 cmd(Id::ShowFolders),    button(Menu::ViewButton),
                                 cmd(Id::Options)};

constexpr MenuEntry Menus[] = {
    {Menu::File, "FileMenu", "&File", FileSlots},
    {Menu::Edit, "EditMenu", "&Edit", EditSlots},
    {Menu::ViewMain, "ViewMainMenu", "&View", ViewMainSlots},
    {Menu::Service, "ServiceMenu", "&Service", ServiceSlots},
    {Menu::Help, "HelpMenu", "&Help", HelpSlots},
    {Menu::Search, "SearchMenu", "Search", SearchSlots},
    {Menu::Popup, "PopupMenu", "", PopupSlots},
    {Menu::PopupView, "PopupViewMenu", "&View", PopupViewSlots},
    {Menu::PopupSearch, "PopupSearchMenu", "Search", SearchSlots},
    {Menu::Item, "ItemMenu", "", ItemSlots},
    {Menu::Additional, "AdMenu", "", {}},
    {Menu::Tray, "TrayMenu", "", TraySlots},
    {Menu::ViewButton, "ViewMenu", "", ViewButtonSlots},
    {Menu::Folders, "FoldersMenu", "", FoldersSlots},
    {Menu::DragFolder, "DragFolderMenu", "", DragFolderSlots},
    {Menu::ToolBar, "ToolBar1", "Tools", ToolBarSlots},
};
static_assert(std::size(Menus) == size_t(Menu::Count), "one row per menu");

constexpr bool menusInOrder()
{
    for (size_t i = 0; i < std::size(Menus); ++i)
        if (Menus[i].menu != Menu(i))
            return false;
    return true;
}
static_assert(menusInOrder(), "menu rows in the order of Menu");

} // namespace

const MenuEntry& menuEntry(Menu menu)
{
    return Menus[size_t(menu)];
}

std::span<const Entry> table()
{
    return Table;
}

const Entry& entry(Id command)
{
    return Table[size_t(command)];
}

} // namespace Commands
