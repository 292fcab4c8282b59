#pragma once
#include <QString>

// Tests on paths, files and addresses. Paths use '/' as the delimiter.
namespace FileUtils
{

// What the catalogue needs to know of a path. Probing is thread-safe, so the
// catalogue loader can do it off the GUI thread.
struct PathFacts {
    bool exists = false;
    bool isDir = false;
    bool isSymLink = false;
    QString mimeName; // empty when the path does not exist
};
PathFacts probePath(const QString& path);

bool fileExists(const QString& path);      // an existing file (not a folder)
bool directoryExists(const QString& path); // an existing folder
bool isDirectory(const QString& path);     // false for a path that does not exist
qint64 fileSizeOf(const QString& path);    // throws when the file cannot be opened
// True for a file with no text at all (zero bytes, or a byte-order mark
// only); a single line break is text. Throws when the file cannot be read.
bool isEmptyTextFile(const QString& path);
bool isUrl(const QString& text);   // holds '/'
bool isEMail(const QString& text); // holds '@' and neither '/' nor '\'
// An absolute local path (or an old drive path, so old catalogues keep their kinds).
bool isLocalPath(const QString& text);
QString withTrailingSlash(const QString& path); // with one trailing '/'
bool isDotEntry(const QString& name);           // "." or ".."

// Blocks the calling thread; processes no events.
void waitMilliseconds(int milliseconds);

} // namespace FileUtils
