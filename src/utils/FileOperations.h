#pragma once
#include <QString>
#include <functional>

// Copy, move and delete of real files and folders, with the questions they
// ask through a FileOpUi. Paths use '/' as the delimiter.
namespace FileUtils
{

// A name that is not UTF-8 may be passed as QFile::decodeName gives it (with
// replacement characters); the operations find the name on disk when only
// one name in its folder decodes that way, and keep its bytes.

// The questions, errors and progress of a file operation. The dialog version
// lives with the widgets; tests answer with their own.
class FileOpUi
{
public:
    virtual ~FileOpUi() = default;
    // Target exists: replace it? For a folder the contents are merged and
    // files of the same name replaced.
    virtual bool askOverwrite(const QString& target, bool isFolder) = 0;
    // The folder the item should go into does not exist: create it?
    virtual bool askCreateFolder(const QString& folder) = 0;
    virtual bool confirmDelete(const QString& path, bool isFolder, bool toTrash) = 0;
    virtual void error(const QString& text) = 0;
    // Work of TotalUnits (bytes for copies, items for deletions) begins.
    virtual void beginProgress(const QString& /*Caption*/, qint64 /*TotalUnits*/) {}
    // Called often while working; false cancels the operation.
    virtual bool progress(qint64 /*DoneUnits*/, const QString& /*Current*/) { return true; }
    virtual void endProgress() {}
    // Runs one whole operation, Work, which asks through the FileOpUi it is
    // given; its result. Here on the calling thread; the dialogs run it on a
    // worker so that the window stays responsive.
    virtual bool run(const std::function<bool(FileOpUi&)>& work) { return work(*this); }
};

// The questions-and-dialogs object the short calls below use. Without one a
// quiet object refuses every question and keeps the last error in
// LastFileOpError(). Not owned.
// The program installs its dialogs once (FileOperations::InstallDialogs);
// tests install their own with ScopedFileOpUi.
void setFileOpUi(FileOpUi* ui);
FileOpUi* fileOpUi();
QString lastFileOpError();

// Installs Ui (may be null: the quiet object) for the guard's lifetime, then
// puts back the one installed before, however the scope is left.
class ScopedFileOpUi
{
public:
    explicit ScopedFileOpUi(FileOpUi* ui) : m_previous(fileOpUi()) { setFileOpUi(ui); }
    ~ScopedFileOpUi() { setFileOpUi(m_previous); }
    ScopedFileOpUi(const ScopedFileOpUi&) = delete;
    ScopedFileOpUi& operator=(const ScopedFileOpUi&) = delete;

private:
    FileOpUi* m_previous;
};

// Copies, and moves to another file system, are assembled in a hidden
// staging folder beside their target. While one exists its path is listed
// in the record file (in the data folder), so that a run killed half-way
// leaves nothing behind for good: the next start calls removeLeftStaging(),
// which removes the staging folders the record lists and then empties it.
// Without a record file nothing is listed.
void setStagingRecord(const QString& file);
void removeLeftStaging();

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
bool copyOrMove(FileOpUi& ui, const QString& source, const QString& destination,
                bool renameOnCollision, bool move);
bool copyOrMove(const QString& source, const QString& destination, bool renameOnCollision,
                bool move);

// The first free name beside Path: "name (2).ext", "name (3).ext" and on (a
// folder keeps its whole name: "dirs (2)"). Empty when none is free or the
// folder cannot be read.
QString freeName(const QString& path, bool isFolder);

// Deletes a file or a folder with its contents after Ui.ConfirmDelete agreed:
// into the desktop trash (restorable from the file manager) or for good. A
// symbolic link is deleted itself, never its target. An item on another file
// system than the home trash goes to that file system's own trash folder;
// names too long for the trash are cut short there (the original path is kept
// in the item's info file). True exactly when the item is gone (and, for the
// trash, is in a trash folder).
bool deletePath(FileOpUi& ui, const QString& path, bool toTrash);
bool deletePath(const QString& path, bool toTrash);

} // namespace FileUtils
