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

namespace MyFileUtils::Sys
{

QByteArray native(const QString& Path)
{
    if (Path.contains(QChar(u'\0')))
        return {};
    return QFile::encodeName(Path);
}

QString sysError(int Err)
{
    return QString::fromLocal8Bit(std::strerror(Err));
}

QByteArray nameOf(const QByteArray& Path)
{
    return Path.mid(Path.lastIndexOf('/') + 1);
}

QByteArray parentOf(const QByteArray& Path)
{
    const qsizetype slash = Path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : Path.left(slash);
}

QByteArray child(const QByteArray& Dir, const QByteArray& Name)
{
    return Dir.endsWith('/') ? Dir + Name : Dir + '/' + Name;
}

QString joinPath(const QString& Folder, const QString& Name)
{
    return Folder.endsWith(u'/') ? Folder + Name : Folder + u'/' + Name;
}

QString absolutePath(const QString& Path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(Path));
}

bool readNames(const QByteArray& Dir, std::vector<QByteArray>& Names)
{
    DIR* d = ::opendir(Dir.constData());
    if (!d)
        return false;
    errno = 0;
    while (const dirent* e = ::readdir(d)) {
        if (std::strcmp(e->d_name, ".") != 0 && std::strcmp(e->d_name, "..") != 0)
            Names.emplace_back(e->d_name);
    }
    const int err = errno;
    ::closedir(d);
    errno = err;
    return err == 0;
}

QByteArray nativePath(const QString& Path)
{
    const QString absolute = absolutePath(Path);
    const QByteArray direct = native(absolute);
    struct stat st;
    if (!absolute.contains(QChar::ReplacementCharacter) || ::lstat(direct.constData(), &st) == 0)
        return direct;
    QByteArray resolved;
    for (const QString& part : absolute.split(u'/', Qt::SkipEmptyParts)) {
        QByteArray next = resolved + '/' + native(part);
        std::vector<QByteArray> names;
        if (part.contains(QChar::ReplacementCharacter) && ::lstat(next.constData(), &st) != 0 &&
            readNames(resolved.isEmpty() ? QByteArray("/") : resolved, names)) {
            const auto decodesToPart = [&](const QByteArray& Name) {
                return QFile::decodeName(Name) == part;
            };
            const auto match = std::find_if(names.begin(), names.end(), decodesToPart);
            if (match != names.end() &&
                std::count_if(names.begin(), names.end(), decodesToPart) == 1)
                next = resolved + '/' + *match;
        }
        resolved = next;
    }
    return resolved.isEmpty() ? QByteArray("/") : resolved;
}

QByteArray canonical(const QByteArray& Path)
{
    char* resolved = ::realpath(Path.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    const QByteArray result(resolved);
    ::free(resolved);
    return result;
}

bool makePath(const QByteArray& Folder, mode_t Mode)
{
    struct stat st;
    if (::stat(Folder.constData(), &st) == 0 && S_ISDIR(st.st_mode))
        return true;
    for (qsizetype i = 1; i <= Folder.size(); ++i) {
        if (i < Folder.size() && Folder[i] != '/')
            continue;
        const QByteArray upTo = Folder.left(i);
        if (::mkdir(upTo.constData(), Mode) != 0 && errno != EEXIST)
            return false;
    }
    if (::stat(Folder.constData(), &st) != 0)
        return false;
    if (!S_ISDIR(st.st_mode)) {
        errno = ENOTDIR;
        return false;
    }
    return true;
}

int renameNoReplace(const QByteArray& From, const QByteArray& To)
{
    if (::renameat2(AT_FDCWD, From.constData(), AT_FDCWD, To.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // A file system without the flag: check, then rename.
    struct stat st;
    if (::lstat(To.constData(), &st) == 0) {
        errno = EEXIST;
        return -1;
    }
    return ::rename(From.constData(), To.constData());
}

qsizetype nameMax(const QByteArray& Folder)
{
    const long limit = ::pathconf(Folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : qsizetype(NAME_MAX);
}

QByteArray taggedName(const QByteArray& Name, bool IsFolder, const QByteArray& Tag, qsizetype Limit)
{
    const qsizetype dot = IsFolder ? -1 : Name.lastIndexOf('.');
    QByteArray base = Name, ext;
    if (dot > 0 && Name.size() - dot <= Limit / 4) {
        base = Name.left(dot);
        ext = Name.mid(dot);
    }
    const qsizetype keep = Limit - Tag.size() - ext.size();
    if (keep >= base.size())
        return base + Tag + ext;
    if (keep <= 0)
        return QByteArray();
    // Back to the first byte of a UTF-8 character (at most three steps).
    qsizetype cut = keep;
    for (int i = 0; i < 3 && cut > 0 && (uchar(base[cut]) & 0xC0) == 0x80; ++i)
        --cut;
    if (cut == 0 || (uchar(base[cut]) & 0xC0) == 0x80)
        cut = keep; // no UTF-8: any cut will do
    return base.left(cut) + Tag + ext;
}

} // namespace MyFileUtils::Sys
