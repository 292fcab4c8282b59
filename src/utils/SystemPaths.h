#pragma once
#include <QByteArray>
#include <QString>

#include <sys/types.h>
#include <unistd.h>
#include <utility>
#include <vector>

// Helpers the path tests, the listing, the file operations and the trash
// share: paths as the file system's bytes and the system's error texts.
// Internal to the core; not for the widgets.
namespace FileUtils::Sys
{

// The one conversion of a path to the file system's bytes, for every place
// a path meets the file system. A name that is not valid UTF-8 reaches the
// program decoded with replacement characters, which do not encode back to
// it; in an absolute path such a name is looked up in its folder, and taken
// when exactly one entry there decodes to it. A path with a NUL names no
// file: the system would read it only up to the NUL and act on another
// file. It becomes the empty path, which names none.
QByteArray native(const QString& path);

QString sysError(int err);

// The last name of a path, and the folder that holds it.
QByteArray nameOf(const QByteArray& path);
QByteArray parentOf(const QByteArray& path);
QByteArray child(const QByteArray& dir, const QByteArray& name);
QString joinPath(const QString& folder, const QString& name);

// Absolute and clean, without a trailing '/'.
QString absolutePath(const QString& path);

// Names in a folder without "." and "..". False (with errno set) when the
// folder cannot be read.
bool readNames(const QByteArray& dir, std::vector<QByteArray>& names);

// The path made absolute and clean, as the file system's bytes (native()).
QByteArray nativePath(const QString& path);

// The path with its links, "." and ".." resolved; empty (errno set) when it
// cannot be.
QByteArray canonical(const QByteArray& path);

// Makes a folder and the missing folders above it. False, with errno set,
// when one cannot be made.
bool makePath(const QByteArray& folder, mode_t mode);

// rename() that never replaces an existing target.
int renameNoReplace(const QByteArray& from, const QByteArray& to);

// More than any folder filled by hand holds; the searches for a free name
// give up there.
constexpr int MaxNameTries = 100000;

// The longest name a folder takes.
qsizetype nameMax(const QByteArray& folder);

// Name with Tag (" (2)") before its extension, cut to at most Limit bytes.
// The cut falls between UTF-8 characters, and the extension stays unless it
// is too long to be one. Empty when nothing of the name would be left.
QByteArray taggedName(const QByteArray& name, bool isFolder, const QByteArray& tag,
                      qsizetype limit);

// A file descriptor, closed at the end of its scope unless released.
class FileDescriptor
{
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int get() const { return m_fd; }
    int release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

} // namespace FileUtils::Sys
