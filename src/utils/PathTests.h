#pragma once
#include <QString>

// Tests on paths, files and addresses. Paths use '/' as the delimiter.
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

// Blocks the calling thread; processes no events.
void WaitMilliseconds(int Milliseconds);

} // namespace MyFileUtils
