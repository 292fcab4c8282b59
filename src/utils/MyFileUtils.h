#pragma once
#include <QIcon>
#include <QString>

namespace MyFileUtils {

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
// target's icon with a link emblem). Icons are cached per type and size.
// GUI thread only.
QIcon GetShellIcon(const QString& Path, bool Large, QString* TypeName = nullptr);
QIcon GetShellIcon(const TPathFacts& Facts, bool Large, QString* TypeName = nullptr);

bool FileExists(const QString& Path);      // an existing file (not a folder)
bool DirectoryExists(const QString& Path); // an existing folder
bool IsDirectory(const QString& Path);     // false for a path that does not exist
qint64 FileSizeOf(const QString& Path);    // throws when the file cannot be opened
bool IsEmptyTextFile(const QString& Path); // throws when the file cannot be read
bool IsURL(const QString& Text);
bool IsEMail(const QString& Text);
// An absolute local path (or an old drive path, so old catalogues keep their kinds).
bool IsLocalPath(const QString& Text);
QString IncludeBackslash(const QString& Path);

} // namespace MyFileUtils
