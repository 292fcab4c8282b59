#pragma once
#include <QByteArray>
#include <QString>

// The desktop trash: the home trash and the trash folders of other file
// systems, with an info file for each item that says where it came from.
namespace FileUtils
{

// The user's home trash ($XDG_DATA_HOME/Trash).
QString homeTrashFolder();

// Moves Path (absolute, as the file system's bytes; a file, a folder, or a
// link itself) into the trash of its file system: the home trash, or the file
// system's own. Names too long for the trash are cut short there (the
// original path is kept in the info file). Asks nothing: deletePath asks
// first. False, with the reason in Error, when the item stays where it was.
bool moveToTrash(const QByteArray& path, bool isFolder, QString& error);

// Where an item went in the trash: the item in "files", its info file.
struct TrashedItem {
    QByteArray item;
    QByteArray info;
};

// The item this thread's last successful moveToTrash put into the trash.
TrashedItem lastTrashed();
// Makes Item this thread's last trashed one (a deletion run on a worker
// hands its item back to the thread that asked for it).
void setLastTrashed(const TrashedItem& item);

// Puts a trashed item back where its info file says it came from, never
// over an item that took that place meanwhile; its info file goes. Original
// holds that place (as the file system's bytes). False, with the reason in
// Error, when it stays in the trash.
bool restoreFromTrash(const TrashedItem& trashed, QByteArray& original, QString& error);

} // namespace FileUtils
