#include "utils/MyFileUtils.h"
#include "catalogue/Artwork.h"

#include <QAbstractFileIconProvider>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMimeDatabase>
#include <QMutex>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <set>
#include <stdexcept>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace MyFileUtils
{

namespace
{

// A path with a NUL names no file: the system would read it only up to the
// NUL and act on another file. It becomes the empty path, which names none.
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

// The last name of a path, and the folder that holds it.
QByteArray nameOf(const QByteArray& Path)
{
    return Path.mid(Path.lastIndexOf('/') + 1);
}

QByteArray parentOf(const QByteArray& Path)
{
    const qsizetype slash = Path.lastIndexOf('/');
    return slash <= 0 ? QByteArray("/") : Path.left(slash);
}

QString joinPath(const QString& Folder, const QString& Name)
{
    return Folder.endsWith(u'/') ? Folder + Name : Folder + u'/' + Name;
}

// Absolute and clean, without a trailing '/'.
QString absolutePath(const QString& Path)
{
    return QDir::cleanPath(QDir::current().absoluteFilePath(Path));
}

// ---- Types and icons ----

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

// The icon's picture at exactly Size x Size, centred when the theme has a
// smaller one.
QImage squareImage(const QIcon& Icon, int Size)
{
    QImage img = Icon.pixmap(Size, Size).toImage();
    if (img.isNull() || (img.width() == Size && img.height() == Size))
        return img;
    img = img.scaled(Size, Size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(Size, Size, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter p(&square);
    p.drawImage((Size - img.width()) / 2, (Size - img.height()) / 2, img);
    return square;
}

QIcon themeIconFor(const QMimeType& Type, bool IsDir)
{
    QIcon icon = QIcon::fromTheme(Type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(Type.genericIconName());
    if (icon.isNull() && IsDir)
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    if (icon.isNull()) {
        QAbstractFileIconProvider provider;
        icon = provider.icon(IsDir ? QAbstractFileIconProvider::Folder
                                   : QAbstractFileIconProvider::File);
    }
    return icon;
}

// ---- File operations ----

QString g_lastError;

class TQuietUi : public TFileOpUi
{
public:
    bool AskOverwrite(const QString&, bool) override { return false; }
    bool AskCreateFolder(const QString&) override { return false; }
    bool ConfirmDelete(const QString&, bool, bool) override { return false; }
    void Error(const QString&) override {}
};

TFileOpUi* g_ui = nullptr;

class TFd
{
public:
    explicit TFd(int Fd) : m_fd(Fd) {}
    ~TFd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    TFd(const TFd&) = delete;
    TFd& operator=(const TFd&) = delete;
    int Get() const { return m_fd; }
    int Release() { return std::exchange(m_fd, -1); }

private:
    int m_fd;
};

// Names in a folder without "." and "..". False (with errno set) when the
// folder cannot be read.
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

QByteArray child(const QByteArray& Dir, const QByteArray& Name)
{
    return Dir.endsWith('/') ? Dir + Name : Dir + '/' + Name;
}

// The absolute path as the file system's bytes. A name that is not valid
// UTF-8 reaches the program decoded with replacement characters, which do not
// encode back to it; such a name is looked up in its folder, and taken when
// exactly one entry there decodes to it.
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

// The path with its links, "." and ".." resolved; empty (errno set) when it
// cannot be.
QByteArray canonical(const QByteArray& Path)
{
    char* resolved = ::realpath(Path.constData(), nullptr);
    if (!resolved)
        return QByteArray();
    const QByteArray result(resolved);
    ::free(resolved);
    return result;
}

// Makes a folder and the missing folders above it. False, with errno set,
// when one cannot be made.
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

bool writeAll(int Fd, const QByteArray& Data)
{
    for (qsizetype put = 0; put < Data.size();) {
        const ssize_t n = ::write(Fd, Data.constData() + put, size_t(Data.size() - put));
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

// One copy, move or deletion: the questions, the progress and the error.
class TFileOp
{
public:
    explicit TFileOp(TFileOpUi& Ui) : m_ui(Ui) { g_lastError.clear(); }

    bool Fail(const QString& Text)
    {
        g_lastError = Text;
        m_ui.Error(Text);
        return false;
    }
    // Remembers the first error of a long walk; shown by Finish.
    bool Problem(const QString& Text)
    {
        if (m_problem.isEmpty())
            m_problem = Text;
        return false;
    }
    bool Tick(qint64 Units, const QByteArray& Current)
    {
        m_done += Units;
        if (m_progress && !m_cancelled && !m_ui.Progress(m_done, QFile::decodeName(Current)))
            m_cancelled = true;
        return !m_cancelled;
    }
    void BeginProgress(const QString& Caption, qint64 Total)
    {
        m_ui.BeginProgress(Caption, Total);
        m_progress = true;
    }
    void EndProgress()
    {
        if (m_progress)
            m_ui.EndProgress();
        m_progress = false;
    }
    ~TFileOp() { EndProgress(); }
    bool Cancelled() const { return m_cancelled; }
    QString ProblemText() const { return m_problem; }
    // After a walk that returned false: the error, unless the user cancelled.
    bool Finish()
    {
        EndProgress();
        return m_cancelled ? false : Fail(m_problem);
    }
    TFileOpUi& Ui() { return m_ui; }
    std::vector<char>& Buffer()
    {
        if (m_buffer.empty())
            m_buffer.resize(1 << 20);
        return m_buffer;
    }

private:
    TFileOpUi& m_ui;
    qint64 m_done = 0;
    bool m_cancelled = false;
    bool m_progress = false;
    QString m_problem;
    std::vector<char> m_buffer;
};

struct TScan {
    qint64 Bytes = 0;
    qint64 Items = 0;
};

// Sizes up a tree before a copy, and finds what cannot be copied.
bool scanTree(const QByteArray& Path, TScan& Scan, TFileOp& Op, bool ForCopy)
{
    struct stat st;
    if (::lstat(Path.constData(), &st) != 0)
        return Op.Problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(Path), sysError(errno)));
    ++Scan.Items;
    if (S_ISDIR(st.st_mode)) {
        std::vector<QByteArray> names;
        if (!readNames(Path, names))
            return Op.Problem(QStringLiteral("Cannot read the folder \"%1\". %2")
                                  .arg(QFile::decodeName(Path), sysError(errno)));
        for (const QByteArray& n : names)
            if (!scanTree(child(Path, n), Scan, Op, ForCopy))
                return false;
    } else if (S_ISREG(st.st_mode)) {
        Scan.Bytes += st.st_size;
    } else if (ForCopy && !S_ISLNK(st.st_mode)) {
        return Op.Problem(QStringLiteral("\"%1\" is a device, pipe or socket and cannot be copied.")
                              .arg(QFile::decodeName(Path)));
    }
    return true;
}

bool copyFile(const QByteArray& From, const QByteArray& To, const struct stat& St, TFileOp& Op)
{
    TFd in(::open(From.constData(), O_RDONLY | O_CLOEXEC));
    if (in.Get() < 0)
        return Op.Problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(From), sysError(errno)));
    TFd out(::open(To.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.Get() < 0)
        return Op.Problem(
            QStringLiteral("Cannot create \"%1\". %2").arg(QFile::decodeName(To), sysError(errno)));
    std::vector<char>& buf = Op.Buffer();
    for (;;) {
        const ssize_t got = ::read(in.Get(), buf.data(), buf.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return Op.Problem(QStringLiteral("Cannot read \"%1\". %2")
                                  .arg(QFile::decodeName(From), sysError(errno)));
        }
        if (got == 0)
            break;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::write(out.Get(), buf.data() + put, size_t(got - put));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return Op.Problem(QStringLiteral("Cannot write \"%1\". %2")
                                      .arg(QFile::decodeName(To), sysError(errno)));
            }
            put += n;
        }
        if (!Op.Tick(got, From))
            return false;
    }
    ::fchmod(out.Get(), St.st_mode & 07777);
    const struct timespec times[2] = {St.st_atim, St.st_mtim};
    ::futimens(out.Get(), times);
    // Write errors of network file systems may only show at close.
    if (::close(out.Release()) != 0)
        return Op.Problem(
            QStringLiteral("Cannot write \"%1\". %2").arg(QFile::decodeName(To), sysError(errno)));
    return true;
}

// A copied folder's mode and times, set only once the copy is in place: a
// folder without write permission could not take its contents, nor be
// renamed into another folder.
struct TFolderAttributes {
    QByteArray Relative;
    mode_t Mode;
    struct timespec Times[2];
};

// Copies a file, link or folder tree; links are copied as links. Relative is
// the item's path below the copied root.
// The names in a folder; a folder that cannot be read is the operation's problem.
bool readNamesOrSay(const QByteArray& Dir, std::vector<QByteArray>& Names, TFileOp& Op)
{
    if (readNames(Dir, Names))
        return true;
    return Op.Problem(QStringLiteral("Cannot read the folder \"%1\". %2")
                          .arg(QFile::decodeName(Dir), sysError(errno)));
}

bool copyItem(const QByteArray& From, const QByteArray& To, const QByteArray& Relative, TFileOp& Op,
              std::vector<TFolderAttributes>& Folders)
{
    struct stat st;
    if (::lstat(From.constData(), &st) != 0)
        return Op.Problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(From), sysError(errno)));
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(From.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            return Op.Problem(
                QStringLiteral("Cannot read the link \"%1\".").arg(QFile::decodeName(From)));
        target.truncate(n);
        if (::symlink(target.constData(), To.constData()) != 0)
            return Op.Problem(QStringLiteral("Cannot create \"%1\". %2")
                                  .arg(QFile::decodeName(To), sysError(errno)));
        return Op.Tick(0, From);
    }
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(To.constData(), 0700) != 0)
            return Op.Problem(QStringLiteral("Cannot create the folder \"%1\". %2")
                                  .arg(QFile::decodeName(To), sysError(errno)));
        Folders.push_back({Relative, mode_t(st.st_mode & 07777), {st.st_atim, st.st_mtim}});
        std::vector<QByteArray> names;
        if (!readNamesOrSay(From, names, Op))
            return false;
        for (const QByteArray& n : names)
            if (!copyItem(child(From, n), child(To, n), Relative.isEmpty() ? n : child(Relative, n),
                          Op, Folders))
                return false;
        return true;
    }
    if (S_ISREG(st.st_mode))
        return copyFile(From, To, st, Op);
    return Op.Problem(QStringLiteral("\"%1\" is a device, pipe or socket and cannot be copied.")
                          .arg(QFile::decodeName(From)));
}

void applyFolderAttributes(const QByteArray& Root, const std::vector<TFolderAttributes>& Folders)
{
    for (auto it = Folders.rbegin(); it != Folders.rend(); ++it) {
        const QByteArray path = it->Relative.isEmpty() ? Root : child(Root, it->Relative);
        ::chmod(path.constData(), it->Mode);
        ::utimensat(AT_FDCWD, path.constData(), it->Times, AT_SYMLINK_NOFOLLOW);
    }
}

// Deletes a tree for good; a link is removed, never followed.
bool removeTree(const QByteArray& Path, TFileOp& Op)
{
    struct stat st;
    if (::lstat(Path.constData(), &st) != 0)
        return errno == ENOENT ? true
                               : Op.Problem(QStringLiteral("Cannot delete \"%1\". %2")
                                                .arg(QFile::decodeName(Path), sysError(errno)));
    if (S_ISDIR(st.st_mode)) {
        std::vector<QByteArray> names;
        if (!readNames(Path, names))
            return Op.Problem(QStringLiteral("Cannot read the folder \"%1\". %2")
                                  .arg(QFile::decodeName(Path), sysError(errno)));
        for (const QByteArray& n : names)
            if (!removeTree(child(Path, n), Op))
                return false;
        if (::rmdir(Path.constData()) != 0)
            return Op.Problem(QStringLiteral("Cannot delete \"%1\". %2")
                                  .arg(QFile::decodeName(Path), sysError(errno)));
    } else if (::unlink(Path.constData()) != 0) {
        return Op.Problem(QStringLiteral("Cannot delete \"%1\". %2")
                              .arg(QFile::decodeName(Path), sysError(errno)));
    }
    return Op.Tick(1, Path);
}

// A hidden folder beside a copy's target, in which the copy is assembled. It
// goes, with whatever is left in it, when the operation ends.
class TStagingDir
{
public:
    explicit TStagingDir(const QByteArray& Folder) : m_path(child(Folder, ".quillmere-XXXXXX"))
    {
        if (!::mkdtemp(m_path.data())) {
            m_error = errno;
            m_path.clear();
        }
    }
    ~TStagingDir()
    {
        if (m_path.isEmpty())
            return;
        const QString error = g_lastError; // the clearing up keeps the operation's error
        TQuietUi quiet;
        TFileOp op(quiet);
        removeTree(m_path, op);
        g_lastError = error;
    }
    TStagingDir(const TStagingDir&) = delete;
    TStagingDir& operator=(const TStagingDir&) = delete;
    bool IsValid() const { return !m_path.isEmpty(); }
    int Error() const { return m_error; }
    const QByteArray& Path() const { return m_path; }

private:
    QByteArray m_path;
    int m_error = 0;
};

bool isRealDir(const QByteArray& Path)
{
    struct stat st;
    return ::lstat(Path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Before merging folder From into folder To: a folder and a non-folder of
// the same name cannot replace each other; find that before anything moves.
bool checkMerge(const QByteArray& From, const QByteArray& To, TFileOp& Op)
{
    std::vector<QByteArray> names;
    if (!readNamesOrSay(From, names, Op))
        return false;
    for (const QByteArray& n : names) {
        const QByteArray f = child(From, n), t = child(To, n);
        struct stat st;
        if (::lstat(t.constData(), &st) != 0)
            continue;
        const bool fromDir = isRealDir(f), toDir = S_ISDIR(st.st_mode);
        if (fromDir != toDir)
            return Op.Problem(
                QStringLiteral(
                    "Cannot replace \"%1\": a folder and a file cannot replace each other.")
                    .arg(QFile::decodeName(t)));
        if (fromDir && !checkMerge(f, t, Op))
            return false;
    }
    return true;
}

// Moves the contents of From into To by renaming (one file system), replacing
// files of the same name, then removes the emptied From.
bool mergeByRename(const QByteArray& From, const QByteArray& To, TFileOp& Op)
{
    std::vector<QByteArray> names;
    if (!readNamesOrSay(From, names, Op))
        return false;
    for (const QByteArray& n : names) {
        const QByteArray f = child(From, n), t = child(To, n);
        if (isRealDir(f) && isRealDir(t)) {
            if (!mergeByRename(f, t, Op))
                return false;
        } else if (::rename(f.constData(), t.constData()) != 0) {
            return Op.Problem(
                QStringLiteral("Cannot move \"%1\" to \"%2\". %3")
                    .arg(QFile::decodeName(f), QFile::decodeName(t), sysError(errno)));
        }
    }
    if (::rmdir(From.constData()) != 0)
        return Op.Problem(QStringLiteral("Cannot delete \"%1\". %2")
                              .arg(QFile::decodeName(From), sysError(errno)));
    return true;
}

// rename() that never replaces an existing target.
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

bool sameItem(const struct stat& A, const struct stat& B)
{
    return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
}

// More than any folder filled by hand holds; the searches for a free name
// give up there.
constexpr int MaxNameTries = 100000;

// The longest name a folder takes.
qsizetype nameMax(const QByteArray& Folder)
{
    const long limit = ::pathconf(Folder.constData(), _PC_NAME_MAX);
    return limit > 0 ? qsizetype(limit) : qsizetype(NAME_MAX);
}

// Name with Tag (" (2)") before its extension, cut to at most Limit bytes.
// The cut falls between UTF-8 characters, and the extension stays unless it
// is too long to be one. Empty when nothing of the name would be left.
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

// "name (2).ext", "name (3).ext"... the first free name beside Target, cut to
// the folder's name limit. False (and the error shown) when there is none.
bool freeName(QByteArray& Target, bool IsFolder, TFileOp& Op)
{
    const QByteArray folder = parentOf(Target), name = nameOf(Target);
    const qsizetype limit = nameMax(folder);
    for (int i = 2; i <= MaxNameTries; ++i) {
        const QByteArray candidate =
            taggedName(name, IsFolder, " (" + QByteArray::number(i) + ')', limit);
        if (candidate.isEmpty())
            break;
        const QByteArray path = child(folder, candidate);
        struct stat st;
        if (::lstat(path.constData(), &st) == 0)
            continue;
        const int err = errno;
        if (err != ENOENT)
            return Op.Fail(QStringLiteral("Cannot find a free name for \"%1\". %2")
                               .arg(QFile::decodeName(Target), sysError(err)));
        Target = path;
        return true;
    }
    return Op.Fail(
        QStringLiteral("Cannot find a free name for \"%1\".").arg(QFile::decodeName(Target)));
}

// ---- Trash ----

// A trash folder: "files" holds the items, "info" a ".trashinfo" file for
// each. Original paths are kept relative to Top, or absolute when Top is
// empty (the home trash).
struct TTrash {
    QByteArray Folder;
    QByteArray Top;
};

// A trash folder with its two subfolders, made (mode 0700) when missing. On
// a shared file system they must be real folders of the user's own.
bool makeTrashFolders(const QByteArray& Folder, bool Shared)
{
    if (!Shared && !makePath(parentOf(Folder), 0700))
        return false;
    for (const QByteArray& dir : {Folder, Folder + "/files", Folder + "/info"}) {
        if (::mkdir(dir.constData(), 0700) != 0 && errno != EEXIST)
            return false;
        struct stat st;
        if ((Shared ? ::lstat(dir.constData(), &st) : ::stat(dir.constData(), &st)) != 0)
            return false;
        if (!S_ISDIR(st.st_mode)) {
            errno = ENOTDIR;
            return false;
        }
        if (Shared && st.st_uid != ::getuid()) {
            errno = EPERM;
            return false;
        }
    }
    return true;
}

// The top folder (mount point) of the file system on device Dev that holds
// the canonical Folder.
QByteArray topFolderOf(QByteArray Folder, dev_t Dev)
{
    while (Folder != "/") {
        const QByteArray up = parentOf(Folder);
        struct stat st;
        if (::stat(up.constData(), &st) != 0 || st.st_dev != Dev)
            break;
        Folder = up;
    }
    return Folder;
}

// The trash on the file system whose top folder is Top: "UID" in a shared
// ".Trash" that an administrator made (a real folder with the sticky bit),
// else ".Trash-UID".
bool volumeTrash(const QByteArray& Top, TTrash& Trash)
{
    const QByteArray uid = QByteArray::number(::getuid());
    const QByteArray shared = child(Top, ".Trash");
    struct stat st;
    if (::lstat(shared.constData(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX) &&
        makeTrashFolders(child(shared, uid), true)) {
        Trash = {child(shared, uid), Top};
        return true;
    }
    if (makeTrashFolders(child(Top, ".Trash-" + uid), true)) {
        Trash = {child(Top, ".Trash-" + uid), Top};
        return true;
    }
    return false;
}

// Moves Path (a file, a folder, or a link itself) into the trash of its file
// system: the home trash, or the file system's own. The info file comes
// first, complete, and is created exclusively, so that two programs trashing
// one name at once take different names; then the item is renamed in
// without replacing anything. Names are cut to the file system's limit.
bool moveToTrash(TFileOp& Op, const QByteArray& Path, bool IsFolder)
{
    const QString shown = QFile::decodeName(Path);
    const auto fail = [&](const QString& Why) {
        return Op.Fail(QStringLiteral("Cannot move \"%1\" to the trash. %2").arg(shown, Why));
    };
    const QString home = HomeTrashFolder();
    if (!QDir::isAbsolutePath(home))
        return fail(QStringLiteral("The trash folder \"%1\" is not an absolute path.").arg(home));
    TTrash trash{nativePath(home), QByteArray()};
    if (!makeTrashFolders(trash.Folder, false)) {
        const int err = errno;
        return Op.Fail(
            QStringLiteral("Cannot create the trash folder \"%1\". %2").arg(home, sysError(err)));
    }
    QByteArray original = Path;
    const QByteArray folder = canonical(parentOf(Path));
    struct stat fst, tst;
    if (folder.isEmpty() || ::stat(folder.constData(), &fst) != 0 ||
        ::stat(trash.Folder.constData(), &tst) != 0)
        return fail(sysError(errno));
    if (fst.st_dev != tst.st_dev) {
        const QByteArray top = topFolderOf(folder, fst.st_dev);
        if (!volumeTrash(top, trash)) {
            const int err = errno;
            return fail(QStringLiteral(
                            "Its file system (at \"%1\") has no trash folder that can be used. %2")
                            .arg(QFile::decodeName(top), sysError(err)));
        }
        original = child(folder, nameOf(Path)).mid(top == "/" ? 1 : top.size() + 1);
    }
    // Percent-encoded bytes: a line break or a '%' in a name cannot break
    // the line, and names that are not UTF-8 come back as they were.
    const QByteArray info =
        "[Trash Info]\nPath=" + original.toPercentEncoding("/") + "\nDeletionDate=" +
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd'T'hh:mm:ss")).toLatin1() +
        '\n';
    const QByteArray files = trash.Folder + "/files", infos = trash.Folder + "/info",
                     suffix = ".trashinfo";
    const qsizetype limit = std::min(nameMax(files), nameMax(infos) - suffix.size());
    for (int i = 1; i <= MaxNameTries; ++i) {
        const QByteArray tag = i == 1 ? QByteArray() : " (" + QByteArray::number(i) + ')';
        const QByteArray name = taggedName(nameOf(Path), IsFolder, tag, limit);
        if (name.isEmpty())
            break;
        const QByteArray item = child(files, name), infoFile = child(infos, name + suffix);
        struct stat st;
        if (::lstat(item.constData(), &st) == 0)
            continue; // taken, though without its info file
        TFd fd(::open(infoFile.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
        if (fd.Get() < 0) {
            if (errno == EEXIST)
                continue;
            return fail(sysError(errno));
        }
        if (!writeAll(fd.Get(), info) || ::close(fd.Release()) != 0) {
            const int err = errno;
            ::unlink(infoFile.constData());
            return fail(sysError(err));
        }
        if (renameNoReplace(Path, item) == 0)
            return true;
        const int err = errno;
        ::unlink(infoFile.constData());
        if (err == EEXIST)
            continue;
        if (err == EXDEV)
            return fail(QStringLiteral("The trash folder \"%1\" is on another file system.")
                            .arg(QFile::decodeName(trash.Folder)));
        return fail(sysError(err));
    }
    return fail(QStringLiteral("No free name was found in the trash folder \"%1\".")
                    .arg(QFile::decodeName(trash.Folder)));
}

// ---- Listing ----

// The part of a mask after a leading '*' when the rest holds no wildcard
// (the common "*.pdf"), else null.
QString plainSuffixOf(const QString& Mask)
{
    if (!Mask.startsWith(u'*'))
        return QString();
    const QString rest = Mask.mid(1);
    if (rest.contains(u'*') || rest.contains(u'?'))
        return QString();
    return rest;
}

bool globMatch(QStringView Name, QStringView Mask)
{
    qsizetype n = 0, m = 0, starM = -1, starN = 0;
    while (n < Name.size()) {
        if (m < Mask.size() && Mask[m] == u'*') {
            starM = m++;
            starN = n;
        } else if (m < Mask.size() &&
                   (Mask[m] == u'?' || Mask[m].toCaseFolded() == Name[n].toCaseFolded())) {
            ++m;
            ++n;
        } else if (starM >= 0) {
            m = starM + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (m < Mask.size() && Mask[m] == u'*')
        ++m;
    return m == Mask.size();
}

bool lessByName(const QString& A, const QString& B)
{
    const int c = QString::compare(A, B, Qt::CaseInsensitive);
    return c != 0 ? c < 0 : A < B;
}

struct TWalk {
    QString Mask;
    QString Suffix; // fast path for "*.ext"; empty when not usable
    bool All = false;
    QStringList* List = nullptr;
    std::set<std::pair<dev_t, ino_t>> Seen;

    bool Matches(const QString& Name) const
    {
        if (All)
            return true;
        if (!Suffix.isEmpty())
            return Name.endsWith(Suffix, Qt::CaseInsensitive);
        return globMatch(Name, Mask);
    }

    void Walk(const QString& Dir, const QByteArray& NativeDir)
    {
        DIR* d = ::opendir(NativeDir.constData());
        if (!d)
            return; // unreadable or gone: pass over it
        struct stat self;
        if (::fstat(::dirfd(d), &self) != 0 || !Seen.insert({self.st_dev, self.st_ino}).second) {
            ::closedir(d); // walked already: a link loop or a second link to it
            return;
        }
        std::vector<QString> files, folders;
        while (const dirent* e = ::readdir(d)) {
            const char* raw = e->d_name;
            if (raw[0] == '.' && (raw[1] == 0 || (raw[1] == '.' && raw[2] == 0)))
                continue;
            bool isFile = e->d_type == DT_REG, isDir = e->d_type == DT_DIR;
            if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
                struct stat st;
                if (::fstatat(::dirfd(d), raw, &st, 0) == 0) {
                    isFile = S_ISREG(st.st_mode);
                    isDir = S_ISDIR(st.st_mode);
                }
            }
            if (isFile) {
                QString name = QFile::decodeName(raw);
                if (Matches(name))
                    files.push_back(std::move(name));
            } else if (isDir && raw[0] != '.') {
                folders.push_back(QFile::decodeName(raw));
            }
        }
        ::closedir(d);
        std::sort(files.begin(), files.end(), lessByName);
        for (const QString& f : files)
            List->append(Dir + f);
        std::sort(folders.begin(), folders.end(), lessByName);
        for (const QString& f : folders) {
            const QString sub = Dir + f + u'/';
            Walk(sub, native(sub));
        }
    }
};

} // namespace

// ---- Types and icons ----

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

void PrepareIconTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    bool changed = false;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = joinPath(dir, QStringLiteral("icons"));
        if (!paths.contains(icons) && QFileInfo(icons).isDir()) {
            paths.append(icons);
            changed = true;
        }
    }
    if (changed)
        QIcon::setThemeSearchPaths(paths);
    if (QIcon::fallbackThemeName().isEmpty())
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
}

QIcon GetShellIcon(const QString& Path, bool Large, QString* TypeName)
{
    return GetShellIcon(ProbePath(Path), Large, TypeName);
}

QIcon GetShellIcon(const TPathFacts& Facts, bool Large, QString* TypeName)
{
    if (!Facts.Exists || Facts.MimeName.isEmpty()) {
        if (TypeName)
            TypeName->clear();
        return QIcon();
    }
    struct Entry {
        QIcon Small, Large;
        QString Comment;
    };
    static QHash<QString, Entry> cache;
    static bool themeReady = false;
    const QString key = Facts.IsSymLink ? Facts.MimeName + QStringLiteral("|link") : Facts.MimeName;
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        if (!themeReady) {
            PrepareIconTheme();
            themeReady = true;
        }
        Entry e;
        QMimeDatabase db;
        const QMimeType type = db.mimeTypeForName(Facts.MimeName);
        e.Comment = type.isValid() ? type.comment() : QString();
        const QIcon icon = themeIconFor(type, Facts.IsDir);
        for (int size : {16, 32}) {
            QImage img = squareImage(icon, size);
            if (img.isNull())
                img = Artwork::FixedImage(Facts.IsDir ? Artwork::ImgFolder : Artwork::ImgBlankPage,
                                          size);
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

// ---- File operations ----

void SetFileOpUi(TFileOpUi* Ui)
{
    g_ui = Ui;
}

TFileOpUi* FileOpUi()
{
    return g_ui;
}

QString LastFileOpError()
{
    return g_lastError;
}

QString HomeTrashFolder()
{
    return joinPath(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation),
                    QStringLiteral("Trash"));
}

bool ShellCopyOrMove(const QString& Source, const QString& Destination, bool RenameOnCollision,
                     bool Move)
{
    TQuietUi quiet;
    return ShellCopyOrMove(g_ui ? *g_ui : quiet, Source, Destination, RenameOnCollision, Move);
}

bool ShellCopyOrMove(TFileOpUi& Ui, const QString& Source, const QString& Destination,
                     bool RenameOnCollision, bool Move)
{
    TFileOp op(Ui);
    const QString verb = Move ? QStringLiteral("move") : QStringLiteral("copy");
    if (Source.isEmpty() || Destination.isEmpty())
        return op.Fail(QStringLiteral("Cannot %1: no source or destination was given.").arg(verb));
    // The paths go on as the file system's bytes; texts are for messages.
    const QByteArray from = nativePath(Source);
    const QString source = QFile::decodeName(from);
    struct stat sst;
    if (::lstat(from.constData(), &sst) != 0) {
        const int err = errno;
        return op.Fail(QStringLiteral("Cannot find \"%1\". %2").arg(source, sysError(err)));
    }
    if (from == "/")
        return op.Fail(QStringLiteral("Cannot %1 the root folder.").arg(verb));
    const bool sourceIsDir = S_ISDIR(sst.st_mode);

    // An existing folder (or a path written as a folder) receives the item.
    const QByteArray destination = nativePath(Destination);
    struct stat dst;
    const bool intoFolder = Destination.endsWith(u'/') ||
                            (::stat(destination.constData(), &dst) == 0 && S_ISDIR(dst.st_mode));
    QByteArray to = intoFolder ? child(destination, nameOf(from)) : destination;
    const QByteArray folder = parentOf(to);
    const QString folderText = QFile::decodeName(folder);

    // Copying a folder into itself would never end.
    if (sourceIsDir && (folder + '/').startsWith(from + '/'))
        return op.Fail(
            QStringLiteral(
                "Cannot %1 \"%2\" to \"%3\": the destination is inside the folder itself.")
                .arg(verb, source, QFile::decodeName(to)));
    struct stat fst;
    if (::stat(folder.constData(), &fst) != 0) {
        const int err = errno;
        if (err != ENOENT)
            return op.Fail(QStringLiteral("Cannot reach the folder \"%1\". %2")
                               .arg(folderText, sysError(err)));
        if (!Ui.AskCreateFolder(folderText))
            return false;
        if (!makePath(folder, 0777)) {
            const int mkErr = errno;
            return op.Fail(QStringLiteral("Cannot create the folder \"%1\". %2")
                               .arg(folderText, sysError(mkErr)));
        }
    } else if (!S_ISDIR(fst.st_mode)) {
        return op.Fail(QStringLiteral("Cannot %1 to \"%2\": \"%3\" is not a folder.")
                           .arg(verb, QFile::decodeName(to), folderText));
    }

    struct stat tst;
    const bool targetExists = ::lstat(to.constData(), &tst) == 0;
    if (targetExists && sameItem(sst, tst)) {
        if (Move)
            return true; // it is where it should be
        if (!RenameOnCollision)
            return op.Fail(QStringLiteral("Cannot copy \"%1\" onto itself.").arg(source));
    }
    if (sourceIsDir) {
        // The same through links.
        const QByteArray realFrom = canonical(from), realInto = canonical(folder);
        if (!realFrom.isEmpty() && !realInto.isEmpty() &&
            (realInto + '/').startsWith(realFrom + '/'))
            return op.Fail(
                QStringLiteral(
                    "Cannot %1 \"%2\" to \"%3\": the destination is inside the folder itself.")
                    .arg(verb, source, QFile::decodeName(to)));
    }

    bool overwrite = false;
    if (targetExists) {
        if (RenameOnCollision) {
            if (!freeName(to, sourceIsDir, op))
                return false;
        } else {
            if (sourceIsDir != S_ISDIR(tst.st_mode))
                return op.Fail(
                    QStringLiteral(
                        "Cannot replace \"%1\": a folder and a file cannot replace each other.")
                        .arg(QFile::decodeName(to)));
            if (!Ui.AskOverwrite(QFile::decodeName(to), sourceIsDir))
                return false;
            overwrite = true;
            if (sourceIsDir && !checkMerge(from, to, op))
                return op.Finish();
        }
    }
    const QString target = QFile::decodeName(to);

    if (Move) {
        if (!(overwrite && sourceIsDir)) {
            const int r =
                overwrite ? ::rename(from.constData(), to.constData()) : renameNoReplace(from, to);
            if (r == 0)
                return true;
            if (errno != EXDEV)
                return op.Fail(QStringLiteral("Cannot move \"%1\" to \"%2\". %3")
                                   .arg(source, target, sysError(errno)));
        } else {
            struct stat tdir;
            if (::stat(to.constData(), &tdir) == 0 && tdir.st_dev == sst.st_dev)
                return mergeByRename(from, to, op) ? true : op.Finish();
        }
    }

    // A copy, or a move to another file system: assemble the copy under a
    // hidden name beside the target; it is removed on any failure or Cancel.
    TScan scan;
    if (!scanTree(from, scan, op, true))
        return op.Finish();
    TStagingDir staging(parentOf(to));
    if (!staging.IsValid())
        return op.Fail(QStringLiteral("Cannot write to the folder \"%1\". %2")
                           .arg(QFile::decodeName(parentOf(to)), sysError(staging.Error())));
    const QByteArray part = child(staging.Path(), nameOf(to));
    op.BeginProgress(QStringLiteral("%1 \"%2\"...")
                         .arg(Move ? QStringLiteral("Moving") : QStringLiteral("Copying"),
                              QFile::decodeName(nameOf(from))),
                     scan.Bytes);
    std::vector<TFolderAttributes> folders;
    if (!copyItem(from, part, QByteArray(), op, folders))
        return op.Finish();

    if (overwrite && sourceIsDir) {
        if (!mergeByRename(part, to, op))
            return op.Finish();
    } else {
        const int r =
            overwrite ? ::rename(part.constData(), to.constData()) : renameNoReplace(part, to);
        if (r != 0)
            return op.Fail(QStringLiteral("Cannot create \"%1\". %2").arg(target, sysError(errno)));
    }
    applyFolderAttributes(to, folders);
    op.EndProgress();
    if (Move) {
        TFileOp quiet(Ui); // deleting the original cannot be cancelled any more
        if (!removeTree(from, quiet))
            return op.Fail(
                QStringLiteral(
                    "\"%1\" was copied to \"%2\", but the original could not be deleted. %3")
                    .arg(source, target, quiet.ProblemText()));
    }
    return true;
}

bool ShellDelete(const QString& Path, bool ToTrash)
{
    TQuietUi quiet;
    return ShellDelete(g_ui ? *g_ui : quiet, Path, ToTrash);
}

bool ShellDelete(TFileOpUi& Ui, const QString& Path, bool ToTrash)
{
    TFileOp op(Ui);
    if (Path.isEmpty())
        return op.Fail(QStringLiteral("Cannot delete: no path was given."));
    const QByteArray path = nativePath(Path);
    const QString shown = QFile::decodeName(path);
    struct stat st;
    if (::lstat(path.constData(), &st) != 0) {
        const int err = errno;
        return op.Fail(QStringLiteral("Cannot find \"%1\". %2").arg(shown, sysError(err)));
    }
    if (path == "/")
        return op.Fail(QStringLiteral("Cannot delete the root folder."));
    if (!Ui.ConfirmDelete(shown, S_ISDIR(st.st_mode), ToTrash))
        return false;
    if (ToTrash)
        return moveToTrash(op, path, S_ISDIR(st.st_mode));
    TScan scan;
    if (!scanTree(path, scan, op, false))
        return op.Finish();
    op.BeginProgress(QStringLiteral("Deleting \"%1\"...").arg(QFile::decodeName(nameOf(path))),
                     scan.Items);
    if (!removeTree(path, op))
        return op.Finish();
    return true;
}

// ---- Tests on paths, files and addresses ----

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

namespace
{
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

bool MatchesMask(const QString& Name, const QString& Mask)
{
    if (Mask.isEmpty() || Mask == u"*" || Mask == u"*.*")
        return true;
    return globMatch(Name, Mask);
}

void ListFiles(const QString& Folder, const QString& Mask, QStringList& List)
{
    if (!Folder.isEmpty()) {
        TWalk walk;
        walk.Mask = Mask;
        walk.All = Mask.isEmpty() || Mask == u"*" || Mask == u"*.*";
        walk.Suffix = plainSuffixOf(Mask);
        walk.List = &List;
        const QString dir = IncludeBackslash(Folder);
        walk.Walk(dir, native(dir));
    }
    if (List.isEmpty())
        List.append(QStringLiteral("Files not found"));
}

void WaitMilliseconds(int Milliseconds)
{
    if (Milliseconds > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(Milliseconds));
}

// ---- Modifier keys ----

int ShiftStateOf(Qt::KeyboardModifiers Modifiers)
{
    return (Modifiers & Qt::ShiftModifier ? ssShift : 0) |
           (Modifiers & Qt::AltModifier ? ssAlt : 0) |
           (Modifiers & Qt::ControlModifier ? ssCtrl : 0);
}

int ShiftToHotKeyModifiers(int Shift)
{
    if (Shift & ~(ssShift | ssAlt | ssCtrl))
        return 0;
    return (Shift & ssShift ? hkShift : 0) | (Shift & ssAlt ? hkAlt : 0) |
           (Shift & ssCtrl ? hkCtrl : 0);
}

namespace
{
// X11 core protocol modifier masks.
constexpr unsigned X11ShiftMask = 1, X11ControlMask = 4, X11Mod1Mask = 8;
} // namespace

unsigned HotKeyModifiersToX11(int Flags)
{
    return (Flags & hkShift ? X11ShiftMask : 0) | (Flags & hkCtrl ? X11ControlMask : 0) |
           (Flags & hkAlt ? X11Mod1Mask : 0);
}

int X11ToHotKeyModifiers(unsigned Mask)
{
    return (Mask & X11ShiftMask ? hkShift : 0) | (Mask & X11ControlMask ? hkCtrl : 0) |
           (Mask & X11Mod1Mask ? hkAlt : 0);
}

} // namespace MyFileUtils
