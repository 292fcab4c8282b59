#include "utils/FileOperations.h"
#include "utils/SystemPaths.h"
#include "utils/Trash.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace FileUtils
{

using namespace Sys;

namespace
{

QString g_lastError;

class QuietUi : public FileOpUi
{
public:
    bool askOverwrite(const QString&, bool) override { return false; }
    bool askCreateFolder(const QString&) override { return false; }
    bool confirmDelete(const QString&, bool, bool) override { return false; }
    void error(const QString&) override {}
};

FileOpUi* g_ui = nullptr;

// One copy, move or deletion: the questions, the progress and the error.
class FileOp
{
public:
    explicit FileOp(FileOpUi& ui) : m_ui(ui) { g_lastError.clear(); }

    bool fail(const QString& text)
    {
        g_lastError = text;
        m_ui.error(text);
        return false;
    }
    // Remembers the first error of a long walk; shown by Finish.
    bool problem(const QString& text)
    {
        if (m_problem.isEmpty())
            m_problem = text;
        return false;
    }
    bool tick(qint64 units, const QByteArray& current)
    {
        m_done += units;
        if (m_progress && !m_cancelled && !m_ui.progress(m_done, QFile::decodeName(current)))
            m_cancelled = true;
        return !m_cancelled;
    }
    void beginProgress(const QString& caption, qint64 total)
    {
        m_ui.beginProgress(caption, total);
        m_progress = true;
    }
    void endProgress()
    {
        if (m_progress)
            m_ui.endProgress();
        m_progress = false;
    }
    ~FileOp() { endProgress(); }
    bool cancelled() const { return m_cancelled; }
    QString problemText() const { return m_problem; }
    // After a walk that returned false: the error, unless the user cancelled.
    bool finish()
    {
        endProgress();
        return m_cancelled ? false : fail(m_problem);
    }
    FileOpUi& ui() { return m_ui; }
    std::vector<char>& buffer()
    {
        if (m_buffer.empty())
            m_buffer.resize(1 << 20);
        return m_buffer;
    }

private:
    FileOpUi& m_ui;
    qint64 m_done = 0;
    bool m_cancelled = false;
    bool m_progress = false;
    QString m_problem;
    std::vector<char> m_buffer;
};

// The names in a folder; a folder that cannot be read is the operation's problem.
bool readNamesOrSay(const QByteArray& dir, std::vector<QByteArray>& names, FileOp& op)
{
    if (readNames(dir, names))
        return true;
    return op.problem(QStringLiteral("Cannot read the folder \"%1\". %2")
                          .arg(QFile::decodeName(dir), sysError(errno)));
}

struct Scan {
    qint64 bytes = 0;
    qint64 items = 0;
};

// Sizes up a tree before a copy, and finds what cannot be copied.
bool scanTree(const QByteArray& path, Scan& scan, FileOp& op, bool forCopy)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return op.problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(path), sysError(errno)));
    ++scan.items;
    if (S_ISDIR(st.st_mode)) {
        std::vector<QByteArray> names;
        if (!readNamesOrSay(path, names, op))
            return false;
        for (const QByteArray& n : names)
            if (!scanTree(child(path, n), scan, op, forCopy))
                return false;
    } else if (S_ISREG(st.st_mode)) {
        scan.bytes += st.st_size;
    } else if (forCopy && !S_ISLNK(st.st_mode)) {
        return op.problem(QStringLiteral("\"%1\" is a device, pipe or socket and cannot be copied.")
                              .arg(QFile::decodeName(path)));
    }
    return true;
}

bool copyFile(const QByteArray& from, const QByteArray& to, const struct stat& st, FileOp& op)
{
    FileDescriptor in(::open(from.constData(), O_RDONLY | O_CLOEXEC));
    if (in.get() < 0)
        return op.problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(from), sysError(errno)));
    FileDescriptor out(::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (out.get() < 0)
        return op.problem(
            QStringLiteral("Cannot create \"%1\". %2").arg(QFile::decodeName(to), sysError(errno)));
    std::vector<char>& buf = op.buffer();
    for (;;) {
        const ssize_t got = ::read(in.get(), buf.data(), buf.size());
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return op.problem(QStringLiteral("Cannot read \"%1\". %2")
                                  .arg(QFile::decodeName(from), sysError(errno)));
        }
        if (got == 0)
            break;
        for (ssize_t put = 0; put < got;) {
            const ssize_t n = ::write(out.get(), buf.data() + put, size_t(got - put));
            if (n < 0) {
                if (errno == EINTR)
                    continue;
                return op.problem(QStringLiteral("Cannot write \"%1\". %2")
                                      .arg(QFile::decodeName(to), sysError(errno)));
            }
            put += n;
        }
        if (!op.tick(got, from))
            return false;
    }
    ::fchmod(out.get(), st.st_mode & 07777);
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::futimens(out.get(), times);
    // Write errors of network file systems may only show at close.
    if (::close(out.release()) != 0)
        return op.problem(
            QStringLiteral("Cannot write \"%1\". %2").arg(QFile::decodeName(to), sysError(errno)));
    return true;
}

// A copied folder's mode and times, set only once the copy is in place: a
// folder without write permission could not take its contents, nor be
// renamed into another folder.
struct FolderAttributes {
    QByteArray relative;
    mode_t mode;
    struct timespec times[2];
};

// Copies a file, link or folder tree; links are copied as links. Relative is
// the item's path below the copied root.
bool copyItem(const QByteArray& from, const QByteArray& to, const QByteArray& relative, FileOp& op,
              std::vector<FolderAttributes>& folders)
{
    struct stat st;
    if (::lstat(from.constData(), &st) != 0)
        return op.problem(
            QStringLiteral("Cannot read \"%1\". %2").arg(QFile::decodeName(from), sysError(errno)));
    if (S_ISLNK(st.st_mode)) {
        QByteArray target(qsizetype(st.st_size) + 1, Qt::Uninitialized);
        const ssize_t n = ::readlink(from.constData(), target.data(), size_t(target.size()));
        if (n < 0 || n >= target.size())
            return op.problem(
                QStringLiteral("Cannot read the link \"%1\".").arg(QFile::decodeName(from)));
        target.truncate(n);
        if (::symlink(target.constData(), to.constData()) != 0)
            return op.problem(QStringLiteral("Cannot create \"%1\". %2")
                                  .arg(QFile::decodeName(to), sysError(errno)));
        return op.tick(0, from);
    }
    if (S_ISDIR(st.st_mode)) {
        if (::mkdir(to.constData(), 0700) != 0)
            return op.problem(QStringLiteral("Cannot create the folder \"%1\". %2")
                                  .arg(QFile::decodeName(to), sysError(errno)));
        folders.push_back({relative, mode_t(st.st_mode & 07777), {st.st_atim, st.st_mtim}});
        std::vector<QByteArray> names;
        if (!readNamesOrSay(from, names, op))
            return false;
        for (const QByteArray& n : names)
            if (!copyItem(child(from, n), child(to, n), relative.isEmpty() ? n : child(relative, n),
                          op, folders))
                return false;
        return true;
    }
    if (S_ISREG(st.st_mode))
        return copyFile(from, to, st, op);
    return op.problem(QStringLiteral("\"%1\" is a device, pipe or socket and cannot be copied.")
                          .arg(QFile::decodeName(from)));
}

void applyFolderAttributes(const QByteArray& root, const std::vector<FolderAttributes>& folders)
{
    for (auto it = folders.rbegin(); it != folders.rend(); ++it) {
        const QByteArray path = it->relative.isEmpty() ? root : child(root, it->relative);
        ::chmod(path.constData(), it->mode);
        ::utimensat(AT_FDCWD, path.constData(), it->times, AT_SYMLINK_NOFOLLOW);
    }
}

// Deletes a tree for good; a link is removed, never followed.
bool removeTree(const QByteArray& path, FileOp& op)
{
    struct stat st;
    if (::lstat(path.constData(), &st) != 0)
        return errno == ENOENT ? true
                               : op.problem(QStringLiteral("Cannot delete \"%1\". %2")
                                                .arg(QFile::decodeName(path), sysError(errno)));
    if (S_ISDIR(st.st_mode)) {
        std::vector<QByteArray> names;
        if (!readNamesOrSay(path, names, op))
            return false;
        for (const QByteArray& n : names)
            if (!removeTree(child(path, n), op))
                return false;
        if (::rmdir(path.constData()) != 0)
            return op.problem(QStringLiteral("Cannot delete \"%1\". %2")
                                  .arg(QFile::decodeName(path), sysError(errno)));
    } else if (::unlink(path.constData()) != 0) {
        return op.problem(QStringLiteral("Cannot delete \"%1\". %2")
                              .arg(QFile::decodeName(path), sysError(errno)));
    }
    return op.tick(1, path);
}

// A hidden folder beside a copy's target, in which the copy is assembled. It
// goes, with whatever is left in it, when the operation ends.
// The staging folders of this run, listed in the record file while they
// exist, so that the next start can remove what a killed run left.
QString g_stagingRecord;
std::vector<QByteArray> g_stagingFolders;

constexpr char StagingPrefix[] = ".quillmere-";
constexpr char StagingTemplate[] = ".quillmere-XXXXXX";

void writeStagingRecord()
{
    if (g_stagingRecord.isEmpty())
        return;
    if (g_stagingFolders.empty()) {
        QFile::remove(g_stagingRecord);
        return;
    }
    // One path after another, each ended by a NUL: paths may hold line breaks.
    QByteArray list;
    for (const QByteArray& folder : g_stagingFolders)
        list += folder + '\0';
    QSaveFile out(g_stagingRecord);
    if (out.open(QIODevice::WriteOnly) && out.write(list) == list.size())
        out.commit();
}

// Only a folder the program made for staging is ever taken for one.
bool isStagingFolder(const QByteArray& path)
{
    const QByteArray name = nameOf(path);
    struct stat st;
    return path.startsWith('/') && name.startsWith(StagingPrefix) &&
           name.size() == qsizetype(sizeof(StagingTemplate) - 1) &&
           ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

class StagingDir
{
public:
    explicit StagingDir(const QByteArray& folder) : m_path(child(folder, StagingTemplate))
    {
        if (!::mkdtemp(m_path.data())) {
            m_error = errno;
            m_path.clear();
            return;
        }
        g_stagingFolders.push_back(m_path);
        writeStagingRecord();
    }
    ~StagingDir()
    {
        if (m_path.isEmpty())
            return;
        const QString error = g_lastError; // the clearing up keeps the operation's error
        QuietUi quiet;
        FileOp op(quiet);
        removeTree(m_path, op);
        g_lastError = error;
        std::erase(g_stagingFolders, m_path);
        writeStagingRecord();
    }
    StagingDir(const StagingDir&) = delete;
    StagingDir& operator=(const StagingDir&) = delete;
    bool isValid() const { return !m_path.isEmpty(); }
    int error() const { return m_error; }
    const QByteArray& path() const { return m_path; }

private:
    QByteArray m_path;
    int m_error = 0;
};

bool isRealDir(const QByteArray& path)
{
    struct stat st;
    return ::lstat(path.constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Calls Each(f, t) for every name in folder From, f its path there and t the
// same name in folder To; stops at the first false.
template <typename TEach>
bool eachPair(const QByteArray& from, const QByteArray& to, FileOp& op, TEach each)
{
    std::vector<QByteArray> names;
    if (!readNamesOrSay(from, names, op))
        return false;
    for (const QByteArray& n : names)
        if (!each(child(from, n), child(to, n)))
            return false;
    return true;
}

// Before merging folder From into folder To: a folder and a non-folder of
// the same name cannot replace each other; find that before anything moves.
bool checkMerge(const QByteArray& from, const QByteArray& to, FileOp& op)
{
    return eachPair(from, to, op, [&](const QByteArray& f, const QByteArray& t) {
        struct stat st;
        if (::lstat(t.constData(), &st) != 0)
            return true;
        const bool fromDir = isRealDir(f), toDir = S_ISDIR(st.st_mode);
        if (fromDir != toDir)
            return op.problem(
                QStringLiteral(
                    "Cannot replace \"%1\": a folder and a file cannot replace each other.")
                    .arg(QFile::decodeName(t)));
        return !fromDir || checkMerge(f, t, op);
    });
}

// Moves the contents of From into To by renaming (one file system), replacing
// files of the same name, then removes the emptied From.
bool mergeByRename(const QByteArray& from, const QByteArray& to, FileOp& op)
{
    const bool moved = eachPair(from, to, op, [&](const QByteArray& f, const QByteArray& t) {
        if (isRealDir(f) && isRealDir(t))
            return mergeByRename(f, t, op);
        if (::rename(f.constData(), t.constData()) != 0)
            return op.problem(
                QStringLiteral("Cannot move \"%1\" to \"%2\". %3")
                    .arg(QFile::decodeName(f), QFile::decodeName(t), sysError(errno)));
        return true;
    });
    if (!moved)
        return false;
    if (::rmdir(from.constData()) != 0)
        return op.problem(QStringLiteral("Cannot delete \"%1\". %2")
                              .arg(QFile::decodeName(from), sysError(errno)));
    return true;
}

bool sameItem(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// "name (2).ext", "name (3).ext"... the first free name beside Target, cut to
// the folder's name limit. False (and the error shown) when there is none.
bool freeName(QByteArray& target, bool isFolder, FileOp& op)
{
    const QByteArray folder = parentOf(target), name = nameOf(target);
    const qsizetype limit = nameMax(folder);
    for (int i = 2; i <= MaxNameTries; ++i) {
        const QByteArray candidate =
            taggedName(name, isFolder, " (" + QByteArray::number(i) + ')', limit);
        if (candidate.isEmpty())
            break;
        const QByteArray path = child(folder, candidate);
        struct stat st;
        if (::lstat(path.constData(), &st) == 0)
            continue;
        const int err = errno;
        if (err != ENOENT)
            return op.fail(QStringLiteral("Cannot find a free name for \"%1\". %2")
                               .arg(QFile::decodeName(target), sysError(err)));
        target = path;
        return true;
    }
    return op.fail(
        QStringLiteral("Cannot find a free name for \"%1\".").arg(QFile::decodeName(target)));
}
// The item an operation works on: its path as the file system's bytes and
// its own state (a link's, not its target's). False (the error shown) when
// it cannot be found, or is the root folder, which no operation takes.
bool findItem(const QString& path, const QString& verb, QByteArray& native, struct stat& st,
              FileOp& op)
{
    native = nativePath(path);
    if (::lstat(native.constData(), &st) != 0) {
        const int err = errno;
        return op.fail(
            QStringLiteral("Cannot find \"%1\". %2").arg(QFile::decodeName(native), sysError(err)));
    }
    if (native == "/")
        return op.fail(QStringLiteral("Cannot %1 the root folder.").arg(verb));
    return true;
}

} // namespace

void setStagingRecord(const QString& file)
{
    g_stagingRecord = file;
}

void removeLeftStaging()
{
    if (g_stagingRecord.isEmpty())
        return;
    QFile record(g_stagingRecord);
    if (!record.open(QIODevice::ReadOnly))
        return;
    const QList<QByteArray> listed = record.readAll().split('\0');
    record.close();
    QuietUi quiet;
    for (const QByteArray& folder : listed)
        if (isStagingFolder(folder) && std::find(g_stagingFolders.begin(), g_stagingFolders.end(),
                                                 folder) == g_stagingFolders.end()) {
            FileOp op(quiet);
            removeTree(folder, op);
        }
    writeStagingRecord();
}

void setFileOpUi(FileOpUi* ui)
{
    g_ui = ui;
}

FileOpUi* fileOpUi()
{
    return g_ui;
}

QString lastFileOpError()
{
    return g_lastError;
}

bool copyOrMove(const QString& source, const QString& destination, bool renameOnCollision,
                bool move)
{
    QuietUi quiet;
    return (g_ui ? *g_ui : quiet).run([&](FileOpUi& ui) {
        return copyOrMove(ui, source, destination, renameOnCollision, move);
    });
}

bool copyOrMove(FileOpUi& ui, const QString& source, const QString& destination,
                bool renameOnCollision, bool move)
{
    FileOp op(ui);
    const QString verb = move ? QStringLiteral("move") : QStringLiteral("copy");
    if (source.isEmpty() || destination.isEmpty())
        return op.fail(QStringLiteral("Cannot %1: no source or destination was given.").arg(verb));
    // The paths go on as the file system's bytes; texts are for messages.
    QByteArray from;
    struct stat sst;
    if (!findItem(source, verb, from, sst, op))
        return false;
    const QString shownSource = QFile::decodeName(from);
    const bool sourceIsDir = S_ISDIR(sst.st_mode);

    // An existing folder (or a path written as a folder) receives the item.
    const QByteArray destinationBytes = nativePath(destination);
    struct stat dst;
    const bool intoFolder =
        destination.endsWith(u'/') ||
        (::stat(destinationBytes.constData(), &dst) == 0 && S_ISDIR(dst.st_mode));
    QByteArray to = intoFolder ? child(destinationBytes, nameOf(from)) : destinationBytes;
    const QByteArray folder = parentOf(to);
    const QString folderText = QFile::decodeName(folder);

    // Copying a folder into itself would never end.
    if (sourceIsDir && (folder + '/').startsWith(from + '/'))
        return op.fail(
            QStringLiteral(
                "Cannot %1 \"%2\" to \"%3\": the destination is inside the folder itself.")
                .arg(verb, shownSource, QFile::decodeName(to)));
    struct stat fst;
    if (::stat(folder.constData(), &fst) != 0) {
        const int err = errno;
        if (err != ENOENT)
            return op.fail(QStringLiteral("Cannot reach the folder \"%1\". %2")
                               .arg(folderText, sysError(err)));
        if (!ui.askCreateFolder(folderText))
            return false;
        if (!makePath(folder, 0777)) {
            const int mkErr = errno;
            return op.fail(QStringLiteral("Cannot create the folder \"%1\". %2")
                               .arg(folderText, sysError(mkErr)));
        }
    } else if (!S_ISDIR(fst.st_mode)) {
        return op.fail(QStringLiteral("Cannot %1 to \"%2\": \"%3\" is not a folder.")
                           .arg(verb, QFile::decodeName(to), folderText));
    }

    struct stat tst;
    const bool targetExists = ::lstat(to.constData(), &tst) == 0;
    if (targetExists && sameItem(sst, tst)) {
        if (move)
            return true; // it is where it should be
        if (!renameOnCollision)
            return op.fail(QStringLiteral("Cannot copy \"%1\" onto itself.").arg(shownSource));
    }
    if (sourceIsDir) {
        // The same through links.
        const QByteArray realFrom = canonical(from), realInto = canonical(folder);
        if (!realFrom.isEmpty() && !realInto.isEmpty() &&
            (realInto + '/').startsWith(realFrom + '/'))
            return op.fail(
                QStringLiteral(
                    "Cannot %1 \"%2\" to \"%3\": the destination is inside the folder itself.")
                    .arg(verb, shownSource, QFile::decodeName(to)));
    }

    bool overwrite = false;
    if (targetExists) {
        if (renameOnCollision) {
            if (!freeName(to, sourceIsDir, op))
                return false;
        } else {
            if (sourceIsDir != S_ISDIR(tst.st_mode))
                return op.fail(
                    QStringLiteral(
                        "Cannot replace \"%1\": a folder and a file cannot replace each other.")
                        .arg(QFile::decodeName(to)));
            if (!ui.askOverwrite(QFile::decodeName(to), sourceIsDir))
                return false;
            overwrite = true;
            if (sourceIsDir && !checkMerge(from, to, op))
                return op.finish();
        }
    }
    const QString target = QFile::decodeName(to);

    if (move) {
        if (!(overwrite && sourceIsDir)) {
            const int r =
                overwrite ? ::rename(from.constData(), to.constData()) : renameNoReplace(from, to);
            if (r == 0)
                return true;
            if (errno != EXDEV)
                return op.fail(QStringLiteral("Cannot move \"%1\" to \"%2\". %3")
                                   .arg(shownSource, target, sysError(errno)));
        } else {
            struct stat tdir;
            if (::stat(to.constData(), &tdir) == 0 && tdir.st_dev == sst.st_dev)
                return mergeByRename(from, to, op) ? true : op.finish();
        }
    }

    // A copy, or a move to another file system: assemble the copy under a
    // hidden name beside the target; it is removed on any failure or Cancel.
    Scan scan;
    if (!scanTree(from, scan, op, true))
        return op.finish();
    StagingDir staging(parentOf(to));
    if (!staging.isValid())
        return op.fail(QStringLiteral("Cannot write to the folder \"%1\". %2")
                           .arg(QFile::decodeName(parentOf(to)), sysError(staging.error())));
    const QByteArray part = child(staging.path(), nameOf(to));
    op.beginProgress(QStringLiteral("%1 \"%2\"...")
                         .arg(move ? QStringLiteral("Moving") : QStringLiteral("Copying"),
                              QFile::decodeName(nameOf(from))),
                     scan.bytes);
    std::vector<FolderAttributes> folders;
    if (!copyItem(from, part, QByteArray(), op, folders))
        return op.finish();

    if (overwrite && sourceIsDir) {
        if (!mergeByRename(part, to, op))
            return op.finish();
    } else {
        const int r =
            overwrite ? ::rename(part.constData(), to.constData()) : renameNoReplace(part, to);
        if (r != 0)
            return op.fail(QStringLiteral("Cannot create \"%1\". %2").arg(target, sysError(errno)));
    }
    applyFolderAttributes(to, folders);
    op.endProgress();
    if (move) {
        FileOp quiet(ui); // deleting the original cannot be cancelled any more
        if (!removeTree(from, quiet))
            return op.fail(
                QStringLiteral(
                    "\"%1\" was copied to \"%2\", but the original could not be deleted. %3")
                    .arg(shownSource, target, quiet.problemText()));
    }
    return true;
}

QString freeName(const QString& path, bool isFolder)
{
    QuietUi quiet;
    FileOp op(quiet);
    QByteArray target = nativePath(path);
    return freeName(target, isFolder, op) ? QFile::decodeName(target) : QString();
}

bool deletePath(const QString& path, bool toTrash)
{
    QuietUi quiet;
    TrashedItem trashed = lastTrashed();
    const bool done = (g_ui ? *g_ui : quiet).run([&](FileOpUi& ui) {
        const bool gone = deletePath(ui, path, toTrash);
        trashed = lastTrashed(); // of the thread that ran it
        return gone;
    });
    setLastTrashed(trashed);
    return done;
}

bool deletePath(FileOpUi& ui, const QString& path, bool toTrash)
{
    FileOp op(ui);
    if (path.isEmpty())
        return op.fail(QStringLiteral("Cannot delete: no path was given."));
    QByteArray bytes;
    struct stat st;
    if (!findItem(path, QStringLiteral("delete"), bytes, st, op))
        return false;
    const QString shown = QFile::decodeName(bytes);
    if (!ui.confirmDelete(shown, S_ISDIR(st.st_mode), toTrash))
        return false;
    if (toTrash) {
        QString error;
        return moveToTrash(bytes, S_ISDIR(st.st_mode), error) || op.fail(error);
    }
    Scan scan;
    if (!scanTree(bytes, scan, op, false))
        return op.finish();
    op.beginProgress(QStringLiteral("Deleting \"%1\"...").arg(QFile::decodeName(nameOf(bytes))),
                     scan.items);
    if (!removeTree(bytes, op))
        return op.finish();
    return true;
}

} // namespace FileUtils
