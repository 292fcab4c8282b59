#pragma once
#include <QIcon>
#include <QString>
#include <QStringList>
#include <Qt>

// Small operations on paths, files and the desktop that the catalogue and the
// commands share. Paths use '/' as the delimiter.
namespace MyFileUtils
{

// What the catalogue needs to know of a path. Probing is thread-safe, so the
// catalogue loader can do it off the GUI thread.
struct TPathFacts {
    bool Exists = false;
    bool IsDir = false;
    bool IsSymLink = false;
    QString MimeName; // empty when the path does not exist
};
TPathFacts ProbePath(const QString& Path);

// The desktop's type name and icon of a path (a symbolic link gets its
// target's icon with a link emblem, and its target's type name). Icons are
// cached per type and size, so every file of one type shares one icon. A path
// that does not exist (or a dangling link) gives a null icon and an empty
// type name. GUI thread only.
QIcon GetShellIcon(const QString& Path, bool Large, QString* TypeName = nullptr);
QIcon GetShellIcon(const TPathFacts& Facts, bool Large, QString* TypeName = nullptr);
// Makes theme icons reachable when the platform names no icon theme (the
// offscreen platform, a bare X server): adds the XDG icon folders to the
// search path, names "hicolor" as the theme when none is set and "Adwaita"
// as the fallback when none is set. Never overrides what is set already.
// GetShellIcon calls it once by itself.
void PrepareIconTheme();

// ---- Copy, move and delete of real files and folders ----
// A name that is not UTF-8 may be passed as QFile::decodeName gives it (with
// replacement characters); the operations find the name on disk when only
// one name in its folder decodes that way, and keep its bytes.

// The questions, errors and progress of a file operation. The dialog version
// lives with the widgets; tests answer with their own.
class TFileOpUi
{
public:
    virtual ~TFileOpUi() = default;
    // Target exists: replace it? For a folder the contents are merged and
    // files of the same name replaced.
    virtual bool AskOverwrite(const QString& Target, bool IsFolder) = 0;
    // The folder the item should go into does not exist: create it?
    virtual bool AskCreateFolder(const QString& Folder) = 0;
    virtual bool ConfirmDelete(const QString& Path, bool IsFolder, bool ToTrash) = 0;
    virtual void Error(const QString& Text) = 0;
    // Work of TotalUnits (bytes for copies, items for deletions) begins.
    virtual void BeginProgress(const QString& /*Caption*/, qint64 /*TotalUnits*/) {}
    // Called often while working; false cancels the operation.
    virtual bool Progress(qint64 /*DoneUnits*/, const QString& /*Current*/) { return true; }
    virtual void EndProgress() {}
};

// The questions-and-dialogs object the short calls below use. Without one a
// quiet object refuses every question and keeps the last error in
// LastFileOpError(). Not owned.
void SetFileOpUi(TFileOpUi* Ui);
TFileOpUi* FileOpUi();
QString LastFileOpError();

// Copies or moves a file or a folder with its contents.
// Destination: when it is an existing folder (or ends with '/'), the item goes
// into it under its own name; otherwise it is the item's new full path.
// A missing folder for the item is created after the user agreed; an existing
// target is replaced after the user agreed, or, with RenameOnCollision, the
// item takes a free name "name (2).ext" without asking (cut short when the
// file system's name limit needs it). Moves within one file
// system rename; other moves copy and then delete the source. Symbolic links
// are copied as links. Copies are assembled under a hidden name beside the
// target and put in place only when complete, so a cancelled or failed copy
// leaves nothing behind and an overwritten target is untouched until then.
// True exactly when the whole operation completed.
bool ShellCopyOrMove(TFileOpUi& Ui, const QString& Source, const QString& Destination,
                     bool RenameOnCollision, bool Move);
bool ShellCopyOrMove(const QString& Source, const QString& Destination, bool RenameOnCollision,
                     bool Move);

// Deletes a file or a folder with its contents after Ui.ConfirmDelete agreed:
// into the desktop trash (restorable from the file manager) or for good. A
// symbolic link is deleted itself, never its target. An item on another file
// system than the home trash goes to that file system's own trash folder;
// names too long for the trash are cut short there (the original path is kept
// in the item's info file). True exactly when the item is gone (and, for the
// trash, is in a trash folder).
bool ShellDelete(TFileOpUi& Ui, const QString& Path, bool ToTrash);
bool ShellDelete(const QString& Path, bool ToTrash);

// The user's home trash ($XDG_DATA_HOME/Trash).
QString HomeTrashFolder();

// ---- Tests on paths, files and addresses ----

bool FileExists(const QString& Path);      // an existing file (not a folder)
bool DirectoryExists(const QString& Path); // an existing folder
bool IsDirectory(const QString& Path);     // false for a path that does not exist
qint64 FileSizeOf(const QString& Path);    // throws when the file cannot be opened
// True for a file with no text at all (zero bytes, or a byte-order mark
// only); a single line break is text. Throws when the file cannot be read.
bool IsEmptyTextFile(const QString& Path);
bool IsURL(const QString& Text);   // holds '/'
bool IsEMail(const QString& Text); // holds '@' and neither '/' nor '\'
// An absolute local path (or an old drive path, so old catalogues keep their kinds).
bool IsLocalPath(const QString& Text);
QString IncludeBackslash(const QString& Path); // with one trailing '/'
bool IsDotEntry(const QString& Name);          // "." or ".."

// Appends to List every file under Folder whose name matches Mask (a pattern
// with '*' and '?', matched ignoring case; "*.*" and "*" match every name).
// Hidden files (leading '.') are listed, hidden folders are not entered. Each
// folder gives its own files first, then its subfolders one after the other,
// depth first; names are in name order within a folder. Links to folders are
// followed, but no folder is walked twice, so link loops end; folders that
// cannot be read are passed over. Paths keep their case. When List is still
// empty at the end, it receives the one line "Files not found".
void ListFiles(const QString& Folder, const QString& Mask, QStringList& List);
// Does Name match Mask the way ListFiles matches it?
bool MatchesMask(const QString& Name, const QString& Mask);

// Blocks the calling thread; processes no events.
void WaitMilliseconds(int Milliseconds);

// ---- Modifier keys of the global hot key ----

// Shift state bits as the program's commands pass them.
enum TShiftBits : int { ssShift = 1, ssAlt = 2, ssCtrl = 4 };
// Hot-key modifier flags.
enum THotKeyModifier : int { hkAlt = 1, hkCtrl = 2, hkShift = 4 };

int ShiftStateOf(Qt::KeyboardModifiers Modifiers);
// Shift state (bits 1 Shift, 2 Alt, 4 Ctrl) to hot-key flags (1 Alt, 2 Ctrl,
// 4 Shift); a state with any other bit gives 0.
int ShiftToHotKeyModifiers(int Shift);
// Hot-key flags to the X11 modifier mask (ShiftMask 1, ControlMask 4,
// Mod1Mask 8 for Alt) and back; unknown bits are dropped.
unsigned HotKeyModifiersToX11(int Flags);
int X11ToHotKeyModifiers(unsigned Mask);

} // namespace MyFileUtils
