#include "utils/PathTests.h"
#include "utils/SystemPaths.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace FileUtils
{

using namespace Sys;

namespace
{

struct SuffixType {
    QString name;
    bool nameTellsNothing = false;
};

// The last two suffixes (".tar.gz", ".pdf"), with their case: the globs of
// the MIME database are mostly suffix globs, a few are case-sensitive (".C").
QString suffixKey(const QString& path)
{
    const qsizetype slash = path.lastIndexOf(u'/');
    const qsizetype last = path.lastIndexOf(u'.');
    if (last <= slash + 1)
        return QString();
    const qsizetype before = path.lastIndexOf(u'.', last - 1);
    return path.mid(before > slash + 1 ? before : last);
}

// The type of a regular file. The suffix decides the type of nearly every
// file; asking the database once per suffix keeps large catalogues quick to
// load. The content is read only when the name says nothing.
QString mimeNameOfFile(const QString& path)
{
    static QMutex lock;
    static QHash<QString, SuffixType> bySuffix;
    const QString key = suffixKey(path);
    QMimeDatabase db;
    bool nameTellsNothing = false;
    QString name;
    bool cached = false;
    if (!key.isEmpty()) {
        QMutexLocker guard(&lock);
        auto it = bySuffix.constFind(key);
        if (it != bySuffix.constEnd()) {
            name = it->name;
            nameTellsNothing = it->nameTellsNothing;
            cached = true;
        }
    }
    if (!cached) {
        const QMimeType type = db.mimeTypeForFile(path, QMimeDatabase::MatchExtension);
        nameTellsNothing = !type.isValid() || type.isDefault();
        name = type.name();
        if (!key.isEmpty()) {
            QMutexLocker guard(&lock);
            bySuffix.insert(key, {name, nameTellsNothing});
        }
    }
    if (nameTellsNothing)
        name = db.mimeTypeForFile(path, QMimeDatabase::MatchContent).name();
    return name;
}

QString mimeNameOfSpecial(mode_t mode)
{
    if (S_ISCHR(mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(mode))
        return QStringLiteral("inode/blockdevice");
    if (S_ISFIFO(mode))
        return QStringLiteral("inode/fifo");
    return QStringLiteral("inode/socket");
}

// Opens a regular file for reading; a folder or a pipe is refused before
// opening (opening a pipe would wait for a writer).
void openRegular(const QString& path, QFile& file)
{
    struct stat st;
    const QByteArray bytes = native(path);
    if (::stat(bytes.constData(), &st) != 0)
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, sysError(errno)).toStdString());
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". It is not a file.").arg(path).toStdString());
    // Opened by its bytes: the name may not be UTF-8.
    const int fd = ::open(bytes.constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, sysError(errno)).toStdString());
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2")
                                     .arg(path, file.errorString())
                                     .toStdString());
    }
}

} // namespace

PathFacts probePath(const QString& path)
{
    PathFacts facts;
    if (path.isEmpty())
        return facts;
    const QByteArray nat = native(path);
    struct stat st;
    if (::lstat(nat.constData(), &st) != 0)
        return facts;
    if (S_ISLNK(st.st_mode)) {
        facts.isSymLink = true;
        if (::stat(nat.constData(), &st) != 0)
            return facts; // a dangling link points at nothing
    }
    facts.exists = true;
    facts.isDir = S_ISDIR(st.st_mode);
    if (facts.isDir)
        facts.mimeName = QStringLiteral("inode/directory");
    else if (S_ISREG(st.st_mode))
        facts.mimeName = mimeNameOfFile(path);
    else
        facts.mimeName = mimeNameOfSpecial(st.st_mode); // never opened: a pipe would block
    return facts;
}

bool fileExists(const QString& path)
{
    const PathFacts f = probePath(path);
    return f.exists && !f.isDir;
}

bool directoryExists(const QString& path)
{
    return isDirectory(path);
}

bool isDirectory(const QString& path)
{
    struct stat st;
    return !path.isEmpty() && ::stat(native(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

qint64 fileSizeOf(const QString& path)
{
    QFile f;
    openRegular(path, f);
    return f.size();
}

bool isEmptyTextFile(const QString& path)
{
    QFile f;
    openRegular(path, f);
    // Read as text: a byte-order mark alone is no text, a line break is.
    const QByteArray head = f.read(4);
    if (f.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("Cannot read file \"%1\". %2").arg(path, f.errorString()).toStdString());
    return head.isEmpty() || head == "\xEF\xBB\xBF" || head == "\xFF\xFE" || head == "\xFE\xFF";
}

bool isUrl(const QString& text)
{
    return text.contains(u'/');
}

bool isEMail(const QString& text)
{
    return text.contains(u'@') && !text.contains(u'\\') && !text.contains(u'/');
}

bool isLocalPath(const QString& text)
{
    return text.startsWith(u'/') || text.contains(QStringLiteral(":\\"));
}

QString withTrailingSlash(const QString& path)
{
    return path.endsWith(u'/') ? path : path + u'/';
}

bool isDotEntry(const QString& name)
{
    return name == u"." || name == u"..";
}

void waitMilliseconds(int milliseconds)
{
    if (milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

} // namespace FileUtils
