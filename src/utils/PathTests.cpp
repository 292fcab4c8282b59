#include "utils/PathTests.h"
#include "utils/SystemPaths.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>

#include <cerrno>
#include <chrono>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>

namespace MyFileUtils
{

using namespace Sys;

namespace
{

struct TSuffixType {
    QString Name;
    bool NameTellsNothing = false;
};

// The last two suffixes (".tar.gz", ".pdf"), with their case: the globs of
// the MIME database are mostly suffix globs, a few are case-sensitive (".C").
QString suffixKey(const QString& Path)
{
    const qsizetype slash = Path.lastIndexOf(u'/');
    const qsizetype last = Path.lastIndexOf(u'.');
    if (last <= slash + 1)
        return QString();
    const qsizetype before = Path.lastIndexOf(u'.', last - 1);
    return Path.mid(before > slash + 1 ? before : last);
}

// The type of a regular file. The suffix decides the type of nearly every
// file; asking the database once per suffix keeps large catalogues quick to
// load. The content is read only when the name says nothing.
QString mimeNameOfFile(const QString& Path)
{
    static QMutex lock;
    static QHash<QString, TSuffixType> bySuffix;
    const QString key = suffixKey(Path);
    QMimeDatabase db;
    bool nameTellsNothing = false;
    QString name;
    bool cached = false;
    if (!key.isEmpty()) {
        QMutexLocker guard(&lock);
        auto it = bySuffix.constFind(key);
        if (it != bySuffix.constEnd()) {
            name = it->Name;
            nameTellsNothing = it->NameTellsNothing;
            cached = true;
        }
    }
    if (!cached) {
        const QMimeType type = db.mimeTypeForFile(Path, QMimeDatabase::MatchExtension);
        nameTellsNothing = !type.isValid() || type.isDefault();
        name = type.name();
        if (!key.isEmpty()) {
            QMutexLocker guard(&lock);
            bySuffix.insert(key, {name, nameTellsNothing});
        }
    }
    if (nameTellsNothing)
        name = db.mimeTypeForFile(Path, QMimeDatabase::MatchContent).name();
    return name;
}

QString mimeNameOfSpecial(mode_t Mode)
{
    if (S_ISCHR(Mode))
        return QStringLiteral("inode/chardevice");
    if (S_ISBLK(Mode))
        return QStringLiteral("inode/blockdevice");
    if (S_ISFIFO(Mode))
        return QStringLiteral("inode/fifo");
    return QStringLiteral("inode/socket");
}

// Opens a regular file for reading; a folder or a pipe is refused before
// opening (opening a pipe would wait for a writer).
void openRegular(QFile& File)
{
    struct stat st;
    const QString path = File.fileName();
    if (::stat(native(path).constData(), &st) != 0)
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". %2").arg(path, sysError(errno)).toStdString());
    if (!S_ISREG(st.st_mode))
        throw std::runtime_error(
            QStringLiteral("Cannot open file \"%1\". It is not a file.").arg(path).toStdString());
    if (!File.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2")
                                     .arg(path, File.errorString())
                                     .toStdString());
}

} // namespace

TPathFacts ProbePath(const QString& Path)
{
    TPathFacts facts;
    if (Path.isEmpty())
        return facts;
    const QByteArray nat = native(Path);
    struct stat st;
    if (::lstat(nat.constData(), &st) != 0)
        return facts;
    if (S_ISLNK(st.st_mode)) {
        facts.IsSymLink = true;
        if (::stat(nat.constData(), &st) != 0)
            return facts; // a dangling link points at nothing
    }
    facts.Exists = true;
    facts.IsDir = S_ISDIR(st.st_mode);
    if (facts.IsDir)
        facts.MimeName = QStringLiteral("inode/directory");
    else if (S_ISREG(st.st_mode))
        facts.MimeName = mimeNameOfFile(Path);
    else
        facts.MimeName = mimeNameOfSpecial(st.st_mode); // never opened: a pipe would block
    return facts;
}

bool FileExists(const QString& Path)
{
    const TPathFacts f = ProbePath(Path);
    return f.Exists && !f.IsDir;
}

bool DirectoryExists(const QString& Path)
{
    return IsDirectory(Path);
}

bool IsDirectory(const QString& Path)
{
    struct stat st;
    return !Path.isEmpty() && ::stat(native(Path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

qint64 FileSizeOf(const QString& Path)
{
    QFile f(Path);
    openRegular(f);
    return f.size();
}

bool IsEmptyTextFile(const QString& Path)
{
    QFile f(Path);
    openRegular(f);
    // Read as text: a byte-order mark alone is no text, a line break is.
    const QByteArray head = f.read(4);
    if (f.error() != QFileDevice::NoError)
        throw std::runtime_error(
            QStringLiteral("Cannot read file \"%1\". %2").arg(Path, f.errorString()).toStdString());
    return head.isEmpty() || head == "\xEF\xBB\xBF" || head == "\xFF\xFE" || head == "\xFE\xFF";
}

bool IsURL(const QString& Text)
{
    return Text.contains(u'/');
}

bool IsEMail(const QString& Text)
{
    return Text.contains(u'@') && !Text.contains(u'\\') && !Text.contains(u'/');
}

bool IsLocalPath(const QString& Text)
{
    return Text.startsWith(u'/') || Text.contains(QStringLiteral(":\\"));
}

QString IncludeBackslash(const QString& Path)
{
    return Path.endsWith(u'/') ? Path : Path + u'/';
}

bool IsDotEntry(const QString& Name)
{
    return Name == u"." || Name == u"..";
}

void WaitMilliseconds(int Milliseconds)
{
    if (Milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

} // namespace MyFileUtils
