#include "forms/main/Commands.h"
#include "catalogue/Artwork.h"

#include <QCoreApplication>
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
    {Id::AddFile, "acNewDoc", QT_TRANSLATE_NOOP("Commands", "Add file..."),
     QT_TRANSLATE_NOOP("Commands", "Add new document"), key(Qt::Key_Insert), AddFileImage, NoFlags},
    {Id::AddCategory, "acNewCateg", QT_TRANSLATE_NOOP("Commands", "Add category"),
     QT_TRANSLATE_NOOP("Commands", "Add new category"), key(Qt::CTRL | Qt::Key_N), AddCategoryImage,
     NoFlags},
    {Id::AddUrl, "acPasteURL", QT_TRANSLATE_NOOP("Commands", "Add URL..."),
     QT_TRANSLATE_NOOP("Commands", "Add URL from clipboard"), 0, AddUrlImage, NoFlags},
    {Id::RemoveFromProgram, "acRemoveItem", QT_TRANSLATE_NOOP("Commands", "Remove from program"),
     QT_TRANSLATE_NOOP("Commands", "Remove link from program"), key(Qt::CTRL | Qt::Key_Delete),
     RemoveImage, NoFlags},
    {Id::DeleteFromDisk, "acDeleteFromDisk", QT_TRANSLATE_NOOP("Commands", "Delete from hard disk"),
     QT_TRANSLATE_NOOP("Commands", "Delete from hard disk real file (folder)"), 0,
     DeleteFromDiskImage, NoFlags},
    {Id::Comment, "acAddComments", QT_TRANSLATE_NOOP("Commands", "Comment..."),
     QT_TRANSLATE_NOOP("Commands", "Add comment..."), 0, CommentImage, NoFlags},
    // The shortcut is shown in the caption: Alt+Enter is the tree's and the
    // list's own key, not a window-wide one.
    {Id::Properties, "acProperties",
     QT_TRANSLATE_NOOP("Commands", "Properties...                              Alt+Enter"),
     QT_TRANSLATE_NOOP("Commands", "Properties (Alt+Enter)"), 0, PropertiesImage, NoFlags},
    {Id::OpenContainingFolder, "acFindObject", QT_TRANSLATE_NOOP("Commands", "Find object"), "", 0,
     FindObjectImage, NoFlags},
    {Id::ExpandAll, "acExpandAll", QT_TRANSLATE_NOOP("Commands", "Expand all"), "", 0, NoImage,
     NoFlags},
    {Id::CollapseAll, "acCollapseAll", QT_TRANSLATE_NOOP("Commands", "Collapse all"), "", 0,
     NoImage, NoFlags},
    {Id::ShowFolders, "acExplore", QT_TRANSLATE_NOOP("Commands", "Show folders"),
     QT_TRANSLATE_NOOP("Commands", "Show folders"), 0, ShowFoldersImage, Checkable},
    {Id::FindByName, "acSearchInNames", QT_TRANSLATE_NOOP("Commands", "Find by name..."), "",
     key(Qt::CTRL | Qt::Key_F), NoImage, NoFlags},
    {Id::FindInComments, "acSearchInComments", QT_TRANSLATE_NOOP("Commands", "Find in comments..."),
     "", key(Qt::CTRL | Qt::ALT | Qt::Key_F), NoImage, NoFlags},
    {Id::FindByAdditional, "acSearchInAdd",
     QT_TRANSLATE_NOOP("Commands", "Find by additional field..."), "", 0, NoImage, NoFlags},
    {Id::FindNext, "acSearchAgain", QT_TRANSLATE_NOOP("Commands", "Continue search"), "",
     key(Qt::Key_F3), NoImage, NoFlags},
    {Id::StartAtLogin, "acAutoStart", QT_TRANSLATE_NOOP("Commands", "Start at login"), "", 0,
     NoImage, Checkable},
    // An option whose tick already takes effect.
    {Id::RemoveMissingLinks, "acRemoveOnAbsent",
     QT_TRANSLATE_NOOP("Commands", "Delete non-actual links"), "", 0, NoImage, Checkable},
    {Id::Options, "acOptions", QT_TRANSLATE_NOOP("Commands", "Options..."),
     QT_TRANSLATE_NOOP("Commands", "Options..."), key(Qt::Key_F12), OptionsImage, NoFlags},
    {Id::Backup, "acBackupData", QT_TRANSLATE_NOOP("Commands", "Backup data"), "",
     key(Qt::CTRL | Qt::Key_S), NoImage, NoFlags},
    {Id::Restore, "acRestoreBackup", QT_TRANSLATE_NOOP("Commands", "Restore data"), "",
     key(Qt::CTRL | Qt::Key_O), NoImage, NoFlags},
    {Id::QuitFromFileMenu, "ExitMenu", QT_TRANSLATE_NOOP("Commands", "&Exit"), "",
     key(Qt::CTRL | Qt::Key_Q), NoImage, NoFlags},
    {Id::Quit, "Exit1", QT_TRANSLATE_NOOP("Commands", "Exit"), "", 0, NoImage, NoFlags},
    {Id::LargeIcons, "LargeIcons1", QT_TRANSLATE_NOOP("Commands", "Large Icons"), "", 0,
     LargeIconsImage, Checkable},
    {Id::SmallIcons, "SmallIcons1", QT_TRANSLATE_NOOP("Commands", "Small Icons"), "", 0,
     SmallIconsImage, Checkable},
    {Id::List, "List1", QT_TRANSLATE_NOOP("Commands", "List"), "", 0, ListImage, Checkable},
    {Id::Details, "Detailes1", QT_TRANSLATE_NOOP("Commands", "Details"), "", 0, DetailsImage,
     Checkable},
    {Id::ButtonLargeIcons, "LargeIcons2", QT_TRANSLATE_NOOP("Commands", "Large Icons"), "", 0,
     LargeIconsImage, Checkable},
    {Id::ButtonSmallIcons, "SmallIcons2", QT_TRANSLATE_NOOP("Commands", "Small Icons"), "", 0,
     SmallIconsImage, Checkable},
    {Id::ButtonList, "List2", QT_TRANSLATE_NOOP("Commands", "List"), "", 0, ListImage, Checkable},
    {Id::ButtonDetails, "Detailes2", QT_TRANSLATE_NOOP("Commands", "Detailes"), "", 0, DetailsImage,
     Checkable},
    {Id::Help, "Help1", QT_TRANSLATE_NOOP("Commands", "Help content..."), "", key(Qt::Key_F1),
     HelpImage, NoFlags},
    {Id::Support, "Support1", QT_TRANSLATE_NOOP("Commands", "Support..."), "", 0, SupportImage,
     NoFlags},
    {Id::FAQ, "FAQ1", QT_TRANSLATE_NOOP("Commands", "FAQ on the Web"), "", 0, FaqImage, NoFlags},
    {Id::About, "About1", QT_TRANSLATE_NOOP("Commands", "&About..."), "", 0, NoImage, NoFlags},
    {Id::Show, "Show1", QT_TRANSLATE_NOOP("Commands", "Show"), "", 0, NoImage, NoFlags},
    {Id::Hide, "Hide1", QT_TRANSLATE_NOOP("Commands", "Hide"), "", 0, NoImage, NoFlags},
    {Id::AddFolderAsOne, "AsSingleFolder1",
     QT_TRANSLATE_NOOP("Commands", "Add the folder as a single document"), "", 0, NoImage, NoFlags},
    {Id::AddFolderContents, "AsSepDocs1",
     QT_TRANSLATE_NOOP("Commands", "Add content of folder as separate documents"), "", 0, NoImage,
     NoFlags},
    {Id::CancelFolderDrop, "NoDragDrop1", QT_TRANSLATE_NOOP("Commands", "Cancel"), "", 0, NoImage,
     NoFlags},
    // The captions name the step once there is one; Redo has Ctrl+Y as well.
    {Id::Undo, "acUndo", QT_TRANSLATE_NOOP("Commands", "Undo"), "", key(Qt::CTRL | Qt::Key_Z),
     NoImage, NoFlags},
    {Id::Redo, "acRedo", QT_TRANSLATE_NOOP("Commands", "Redo"), "",
     key(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), NoImage, NoFlags},
    {Id::ImportBookmarks, "acImportBookmarks",
     QT_TRANSLATE_NOOP("Commands", "&Import bookmarks..."),
     QT_TRANSLATE_NOOP("Commands", "Import a bookmark file exported by a web browser"), 0, NoImage,
     NoFlags},
    {Id::ExportBookmarks, "acExportBookmarks",
     QT_TRANSLATE_NOOP("Commands", "E&xport bookmarks..."),
     QT_TRANSLATE_NOOP("Commands",
                       "Export the selected category or the whole catalogue as a bookmark file"),
     0, NoImage, NoFlags},
    {Id::CheckLinks, "acCheckLinks", QT_TRANSLATE_NOOP("Commands", "Check all links"),
     QT_TRANSLATE_NOOP(
         "Commands", "Find the entries whose file or folder is missing, and relink or remove them"),
     0, NoImage, NoFlags},
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
    {Menu::File, "FileMenu", QT_TRANSLATE_NOOP("Commands", "&File"), FileSlots},
    {Menu::Edit, "EditMenu", QT_TRANSLATE_NOOP("Commands", "&Edit"), EditSlots},
    {Menu::ViewMain, "ViewMainMenu", QT_TRANSLATE_NOOP("Commands", "&View"), ViewMainSlots},
    {Menu::Service, "ServiceMenu", QT_TRANSLATE_NOOP("Commands", "&Service"), ServiceSlots},
    {Menu::Help, "HelpMenu", QT_TRANSLATE_NOOP("Commands", "&Help"), HelpSlots},
    {Menu::Search, "SearchMenu", QT_TRANSLATE_NOOP("Commands", "Search"), SearchSlots},
    {Menu::Popup, "PopupMenu", "", PopupSlots},
    {Menu::PopupView, "PopupViewMenu", QT_TRANSLATE_NOOP("Commands", "&View"), PopupViewSlots},
    {Menu::PopupSearch, "PopupSearchMenu", QT_TRANSLATE_NOOP("Commands", "Search"), SearchSlots},
    {Menu::Item, "ItemMenu", "", ItemSlots},
    {Menu::Additional, "AdMenu", "", {}},
    {Menu::Tray, "TrayMenu", "", TraySlots},
    {Menu::ViewButton, "ViewMenu", "", ViewButtonSlots},
    {Menu::Folders, "FoldersMenu", "", FoldersSlots},
    {Menu::DragFolder, "DragFolderMenu", "", DragFolderSlots},
    {Menu::ToolBar, "ToolBar1", QT_TRANSLATE_NOOP("Commands", "Tools"), ToolBarSlots},
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

QString translated(const char* text)
{
    return QCoreApplication::translate("Commands", text);
}

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
