#include "utils/Trash.h"
#include "utils/SystemPaths.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace FileUtils
{

using namespace Sys;

namespace
{

bool writeAll(int fd, const QByteArray& data)
{
    for (qsizetype put = 0; put < data.size();) {
        const ssize_t n = ::write(fd, data.constData() + put, size_t(data.size() - put));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            if (n == 0)
                errno = EIO;
            return false;
        }
        put += n;
    }
    return true;
}

// A trash folder: "files" holds the items, "info" a ".trashinfo" file for
// each. Original paths are kept relative to Top, or absolute when Top is
// empty (the home trash).
struct TrashFolder {
    QByteArray folder;
    QByteArray top;
};

// A trash folder with its two subfolders, made (mode 0700) when missing. On
// a shared file system they must be real folders of the user's own.
bool makeTrashFolders(const QByteArray& folder, bool shared)
{
    if (!shared && !makePath(parentOf(folder), 0700))
        return false;
    for (const QByteArray& dir : {folder, folder + "/files", folder + "/info"}) {
        if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        struct stat st;
        if ((shared ? ::lstat(dir.constData(), &st) : ::stat(dir.constData(), &st)) != 0)
            return false;
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        if (shared && st.st_uid != ::getuid()) {
            errno = EPERM;
            return false;
        }
    }
    return true;
}

// The top folder (mount point) of the file system on device Dev that holds
// the canonical Folder.
QByteArray topFolderOf(QByteArray folder, dev_t dev)
{
    while (folder != "/") {
        const QByteArray up = parentOf(folder);
        struct stat st;
        if (::stat(up.constData(), &st) != 0 || st.st_dev != dev)
            break;
        folder = up;
    }
    return folder;
}

// The trash on the file system whose top folder is Top: "UID" in a shared
// ".Trash" that an administrator made (a real folder with the sticky bit),
// else ".Trash-UID".
bool volumeTrash(const QByteArray& top, TrashFolder& trash)
{
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = child(top, ".Trash");
    struct stat st;
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        makeTrashFolders(child(shared, uid), true)) {
        trash = {child(shared, uid), top};
        return true;
    }
    if (makeTrashFolders(child(top, ".Trash-" + uid), true)) {
        trash = {child(top, ".Trash-" + uid), top};
        return true;
    }
    return false;
}

thread_local TrashedItem t_lastTrashed;

} // namespace

TrashedItem lastTrashed()
{
    return t_lastTrashed;
}

void setLastTrashed(const TrashedItem& item)
{
    t_lastTrashed = item;
}

bool restoreFromTrash(const TrashedItem& trashed, QByteArray& original, QString& error)
{
    const QString shown = QFile::decodeName(nameOf(trashed.item));
    const auto fail = [&](const QString& why) {
        error = QStringLiteral("Cannot put \"%1\" back from the trash. %2").arg(shown, why);
        return false;
    };
    QFile infoFile(QFile::decodeName(trashed.info));
    if (!infoFile.open(QIODevice::ReadOnly))
        return fail(infoFile.errorString());
    QByteArray path;
    for (const QByteArray& line : infoFile.readAll().split('\n'))
        if (line.startsWith("Path="))
            path = QByteArray::fromPercentEncoding(line.mid(5));
    if (path.isEmpty())
        return fail(QStringLiteral("Its info file \"%1\" says nowhere where it came from.")
                        .arg(QFile::decodeName(trashed.info)));
    if (!path.startsWith('/')) {
        // Relative to the top of the file system: ".Trash-UID" or ".Trash/UID" stands there.
        const QByteArray folder = parentOf(parentOf(trashed.info));
        QByteArray top = parentOf(folder);
        if (nameOf(top) == ".Trash")
            top = parentOf(top);
        path = child(top, path);
    }
    original = path;
    if (renameNoReplace(trashed.item, path) != 0) {
        const int err = errno;
        return fail(err == EEXIST
                        ? QStringLiteral("\"%1\" exists already.").arg(QFile::decodeName(path))
                        : sysError(err));
    }
    ::unlink(trashed.info.constData());
    return true;
}

QString homeTrashFolder()
{
    return joinPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                    QStringLiteral("Trash"));
}

// The info file comes first, complete, and is created exclusively, so that
// two programs trashing one name at once take different names; then the item
// is renamed in without replacing anything.
bool moveToTrash(const QByteArray& path, bool isFolder, QString& error)
{
    const QString shown = QFile::decodeName(path);
    const auto fail = [&](const QString& why) {
        error = QStringLiteral("Cannot move \"%1\" to the trash. %2").arg(shown, why);
        return false;
    };
    const QString home = homeTrashFolder();
    if (!QDir::isAbsolutePath(home))
        return fail(QStringLiteral("The trash folder \"%1\" is not an absolute path.").arg(home));
    TrashFolder trash{nativePath(home), QByteArray()};
    if (!makeTrashFolders(trash.folder, false)) {
        const int err = errno;
        error =
            QStringLiteral("Cannot create the trash folder \"%1\". %2").arg(home, sysError(err));
        return false;
    }
    QByteArray original = path;
    const QByteArray folder = canonical(parentOf(path));
    struct stat fst, tst;
    if (folder.isEmpty() || ::stat(folder.constData(), &fst) != 0 ||
        ::stat(trash.folder.constData(), &tst) != 0)
        return fail(sysError(errno));
    if (fst.st_dev != tst.st_dev) {
        const QByteArray top = topFolderOf(folder, fst.st_dev);
        if (!volumeTrash(top, trash)) {
            const int err = errno;
            return fail(QStringLiteral(
                            "Its file system (at \"%1\") has no trash folder that can be used. %2")
                            .arg(QFile::decodeName(top), sysError(err)));
        }
        original = child(folder, nameOf(path)).mid(top == "/" ? 1 : top.size() + 1);
    }
    // Percent-encoded bytes: a line break or a '%' in a name cannot break
    // the line, and names that are not UTF-8 come back as they were.
    const QByteArray info =
        "[Trash Info]\nPath=" + original.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss")).toLatin1() +
        '\n';
    const QByteArray files = trash.folder + "/files", infos = trash.folder + "/info",
                     suffix = ".trashinfo";
    const qsizetype limit = std::min(nameMax(files), nameMax(infos) - suffix.size());
    for (int i = 1; i <= MaxNameTries; ++i) {
        const QByteArray tag = i == 1 ? QByteArray() : " (" + QByteArray::number(i) + ')';
        const QByteArray name = taggedName(nameOf(path), isFolder, tag, limit);
        if (name.isEmpty())
            break;
        const QByteArray item = child(files, name), infoFile = child(infos, name + suffix);
        struct stat st;
        if (::lstat(item.constData(), &st) == 0)
            continue; // taken, though without its info file
        FileDescriptor fd(
            ::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.get() < 0) {
            if (errno == EEXIST)
                continue;
            return fail(sysError(errno));
        }
        if (!writeAll(fd.get(), info) || ::close(fd.release()) != 0) {
            const int err = errno;
            ::unlink(infoFile.constData());
            return fail(sysError(err));
        }
        if (renameNoReplace(path, item) == 0) {
            t_lastTrashed = {item, infoFile};
            return true;
        }
        const int err = errno;
        ::unlink(infoFile.constData());
        if (err == EEXIST)
            continue;
        if (err == EXDEV)
            return fail(QStringLiteral("The trash folder \"%1\" is on another file system.")
                            .arg(QFile::decodeName(trash.folder)));
        return fail(sysError(err));
    }
    return fail(QStringLiteral("No free name was found in the trash folder \"%1\".")
                    .arg(QFile::decodeName(trash.folder)));
}

} // namespace FileUtils
