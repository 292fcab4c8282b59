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

} // namespace FileUtils
