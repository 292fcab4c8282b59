#include "utils/MyFileUtils.h"
#include "catalogue/Artwork.h"

#include <QFile>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <stdexcept>
#include <sys/stat.h>

namespace MyFileUtils {

namespace {

// The suffix decides the type of nearly every file; asking the database once
// per suffix keeps large catalogues quick to load.
QString mimeNameByName(const QString& Path)
{
    static QMutex lock;
    static QHash<QString, QString> bySuffix;
    const qsizetype slash = Path.lastIndexOf(u'/');
    const qsizetype dot = Path.lastIndexOf(u'.');
    const QString suffix = dot > slash + 1 ? Path.mid(dot).toLower() : QString();
    {
        QMutexLocker guard(&lock);
        auto it = bySuffix.constFind(suffix);
        if (it != bySuffix.constEnd() && !suffix.isEmpty())
            return *it;
    }
    QMimeDatabase db;
    QMimeType type = db.mimeTypeForFile(Path, QMimeDatabase::MatchExtension);
    if ((type.isDefault() || !type.isValid()) && suffix.isEmpty())
        type = db.mimeTypeForFile(Path, QMimeDatabase::MatchContent);
    const QString name = type.name();
    if (!suffix.isEmpty()) {
        QMutexLocker guard(&lock);
        bySuffix.insert(suffix, name);
    }
    return name;
}

} // namespace

TPathFacts ProbePath(const QString& Path)
{
    TPathFacts facts;
    if (Path.isEmpty())
        return facts;
    const QByteArray native = QFile::encodeName(Path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        return facts;
    if (S_ISLNK(st.st_mode)) {
        facts.IsSymLink = true;
        if (::stat(native.constData(), &st) != 0)
            return facts; // a dangling link points at nothing
    }
    facts.Exists = true;
    facts.IsDir = S_ISDIR(st.st_mode);
    facts.MimeName = facts.IsDir ? QStringLiteral("inode/directory") : mimeNameByName(Path);
    return facts;
}

QIcon GetShellIcon(const QString& Path, bool Large, QString* TypeName)
{
    return GetShellIcon(ProbePath(Path), Large, TypeName);
}

QIcon GetShellIcon(const TPathFacts& Facts, bool Large, QString* TypeName)
{
    struct Entry {
        QIcon Small, Large;
        QString Comment;
    };
    static QHash<QString, Entry> cache;
    const QString key = Facts.MimeName + (Facts.IsSymLink ? QStringLiteral("|link") : QString());
    auto it = cache.find(key);
    if (it == cache.end()) {
        Entry e;
        QMimeDatabase db;
        const QMimeType type = db.mimeTypeForName(Facts.MimeName);
        e.Comment = type.isValid() ? type.comment() : QString();
        const int fallback = Facts.IsDir ? 1 : 3;
        QIcon icon = QIcon::fromTheme(type.iconName(), QIcon::fromTheme(type.genericIconName()));
        for (int size : {16, 32}) {
            QImage img = icon.isNull() ? Artwork::FixedImage(fallback, size)
                                       : icon.pixmap(size, size).toImage();
            if (Facts.IsSymLink)
                img = Artwork::Overlay(img, Artwork::EmblemSymlink(size / 2));
            (size == 16 ? e.Small : e.Large) = QIcon(QPixmap::fromImage(img));
        }
        it = cache.insert(key, e);
    }
    if (TypeName)
        *TypeName = it->Comment;
    return Large ? it->Large : it->Small;
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
    return !Path.isEmpty() && ::stat(QFile::encodeName(Path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

qint64 FileSizeOf(const QString& Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, f.errorString()).toStdString());
    return f.size();
}

bool IsEmptyTextFile(const QString& Path)
{
    QFile f(Path);
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Cannot open file \"%1\". %2").arg(Path, f.errorString()).toStdString());
    // Read as text lines: line breaks alone still make a non-empty text.
    char c;
    return !f.getChar(&c);
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

} // namespace MyFileUtils
