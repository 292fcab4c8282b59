#include "utils/SystemPaths.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

namespace FileUtils::Sys
{

namespace
{

// An absolute path whose text holds replacement characters: each such name
// is looked up in its folder and taken when exactly one entry there decodes
// to it.
QByteArray lookedUp(const QString& absolute)
{
    QByteArray resolved;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        QByteArray next = resolved + '/' + QFile::encodeName(part);
        std::vector<QByteArray> names;
        struct stat st;
        if (part.contains(QChar::ReplacementCharacter) && ::lstat(next.constData(), &st) != 0 &&
            readNames(resolved.isEmpty() ? QByteArray("/") : resolved, names)) {
            const auto decodesToPart = [&](const QByteArray& name) {
                return QFile::decodeName(name) == part;
            };
            const auto match = std::find_if(names.begin(), names.end(), decodesToPart);
            if (match != names.end() &&
                std::count_if(names.begin(), names.end(), decodesToPart) == 1)
                next = resolved + '/' + *match;
        }
        resolved = next;
    }
    if (absolute.endsWith(u'/') && !resolved.isEmpty())
        resolved += '/';
    return resolved.isEmpty() ? QByteArray("/") : resolved;
}

} // namespace

QByteArray native(const QString& path)
{
    if (path.contains(QChar(u'\0')))
        return {};
    const QByteArray direct = QFile::encodeName(path);
    struct stat st;
    if (!path.startsWith(u'/') || !path.contains(QChar::ReplacementCharacter) ||
        ::lstat(direct.constData(), &st) == 0)
        return direct;
    return lookedUp(path);
}

QString sysError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

QByteArray nameOf(const QByteArray& path)
{
    return path.mid(path.lastIndexOf('/') + 1);
}

QByteArray parentOf(const QByteArray& path)
{
    const qsizetype slash = path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : path.left(slash);
}

QByteArray child(const QByteArray& dir, const QByteArray& name)
{
    return dir.endsWith('/') ? dir + name : dir + '/' + name;
}

QString joinPath(const QString& folder, const QString& name)
{
    return folder.endsWith(u'/') ? folder + name : folder + u'/' + name;
}

QString absolutePath(const QString& path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(path));
}

bool readNames(const QByteArray& dir, std::vector<QByteArray>& names)
{
    DIR* d = ::opendir(dir.constData());
    if (!d)
        return false;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            names.emplace_back(e->d_name);
    }
    const int err = errno;
    ::closedir(d);
    errno = err;
    return err == 0;
}

QByteArray nativePath(const QString& path)
{
    return native(absolutePath(path));
}

QByteArray canonical(const QByteArray& path)
{
    char* resolved = ::realpath(path.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    const QByteArray result(resolved);
    ::free(resolved);
    return result;
}

bool makePath(const QByteArray& folder, mode_t mode)
{
    struct stat st;
    if (::stat(folder.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    for (qsizetype i = 1; i <= folder.size(); ++i) {
        if (i < folder.size() && folder[i] != '/')
            continue;
        const QByteArray upTo = folder.left(i);
        if (::mkdir(upTo.constData(), mode) != 0 && errno != EEXIST)
            return false;
    }
    if (::stat(folder.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

int renameNoReplace(const QByteArray& from, const QByteArray& to)
{
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: check, then rename.
    struct stat st;
    if (::lstat(to.constData(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(from.constData(), to.constData());
}

qsizetype nameMax(const QByteArray& folder)
{
    const long limit = ::pathconf(folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : qsizetype(NAME_MAX);
}

QByteArray taggedName(const QByteArray& name, bool isFolder, const QByteArray& tag, qsizetype limit)
{
    const qsizetype dot = isFolder ? -1 : name.lastIndexOf('.');
    QByteArray base = name, ext;
    if (dot > 0 && name.size() - dot <= limit / 4) {
        base = name.left(dot);
        ext = name.mid(dot);
    }
    const qsizetype keep = limit - tag.size() - ext.size();
    if (keep >= base.size())
        return base + tag + ext;
    if (keep <= 0)
        return QByteArray();
    // Back to the first byte of a UTF-8 character (at most three steps).
    qsizetype cut = keep;
    for (int i = 0; i < 3 && cut > 0 && (uchar(base[cut]) & 0xC0) == 0x80; ++i)
        --cut;
    if (cut == 0 || (uchar(base[cut]) & 0xC0) == 0x80)
        cut = keep; // no UTF-8: any cut will do
    return base.left(cut) + tag + ext;
}

} // namespace FileUtils::Sys
