#include "utils/FileOperations.h"
#include "utils/SystemPaths.h"
#include "utils/Trash.h"

#include <QFile>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace MyFileUtils
{

using namespace Sys;

namespace
{

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

// The names in a folder; a folder that cannot be read is the operation's problem.
bool readNamesOrSay(const QByteArray& Dir, std::vector<QByteArray>& Names, TFileOp& Op)
{
    if (readNames(Dir, Names))
        return true;
    return Op.Problem(QStringLiteral("Cannot read the folder \"%1\". %2")
                          .arg(QFile::decodeName(Dir), sysError(errno)));
}

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
        if (!readNamesOrSay(Path, names, Op))
            return false;
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
        if (!readNamesOrSay(Path, names, Op))
            return false;
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

// Calls Each(f, t) for every name in folder From, f its path there and t the
// same name in folder To; stops at the first false.
template <typename TEach>
bool eachPair(const QByteArray& From, const QByteArray& To, TFileOp& Op, TEach Each)
{
    std::vector<QByteArray> names;
    if (!readNamesOrSay(From, names, Op))
        return false;
    for (const QByteArray& n : names)
        if (!Each(child(From, n), child(To, n)))
            return false;
    return true;
}

// Before merging folder From into folder To: a folder and a non-folder of
// the same name cannot replace each other; find that before anything moves.
bool checkMerge(const QByteArray& From, const QByteArray& To, TFileOp& Op)
{
    return eachPair(From, To, Op, [&](const QByteArray& f, const QByteArray& t) {
        struct stat st;
        if (::lstat(t.constData(), &st) != 0)
            return true;
        const bool fromDir = isRealDir(f), toDir = S_ISDIR(st.st_mode);
        if (fromDir != toDir)
            return Op.Problem(
                QStringLiteral(
                    "Cannot replace \"%1\": a folder and a file cannot replace each other.")
                    .arg(QFile::decodeName(t)));
        return !fromDir || checkMerge(f, t, Op);
    });
}

// Moves the contents of From into To by renaming (one file system), replacing
// files of the same name, then removes the emptied From.
bool mergeByRename(const QByteArray& From, const QByteArray& To, TFileOp& Op)
{
    const bool moved = eachPair(From, To, Op, [&](const QByteArray& f, const QByteArray& t) {
        if (isRealDir(f) && isRealDir(t))
            return mergeByRename(f, t, Op);
        if (::rename(f.constData(), t.constData()) != 0)
            return Op.Problem(
                QStringLiteral("Cannot move \"%1\" to \"%2\". %3")
                    .arg(QFile::decodeName(f), QFile::decodeName(t), sysError(errno)));
        return true;
    });
    if (!moved)
        return false;
    if (::rmdir(From.constData()) != 0)
        return Op.Problem(QStringLiteral("Cannot delete \"%1\". %2")
                              .arg(QFile::decodeName(From), sysError(errno)));
    return true;
}

bool sameItem(const struct stat& A, const struct stat& B)
{
    return A.st_dev == B.st_dev && A.st_ino == B.st_ino;
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
// The item an operation works on: its path as the file system's bytes and
// its own state (a link's, not its target's). False (the error shown) when
// it cannot be found, or is the root folder, which no operation takes.
bool findItem(const QString& Path, const QString& Verb, QByteArray& Native, struct stat& St,
              TFileOp& Op)
{
    Native = nativePath(Path);
    if (::lstat(Native.constData(), &St) != 0) {
        const int err = errno;
        return Op.Fail(
            QStringLiteral("Cannot find \"%1\". %2").arg(QFile::decodeName(Native), sysError(err)));
    }
    if (Native == "/")
        return Op.Fail(QStringLiteral("Cannot %1 the root folder.").arg(Verb));
    return true;
}

} // namespace

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
    QByteArray from;
    struct stat sst;
    if (!findItem(Source, verb, from, sst, op))
        return false;
    const QString source = QFile::decodeName(from);
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
    QByteArray path;
    struct stat st;
    if (!findItem(Path, QStringLiteral("delete"), path, st, op))
        return false;
    const QString shown = QFile::decodeName(path);
    if (!Ui.ConfirmDelete(shown, S_ISDIR(st.st_mode), ToTrash))
        return false;
    if (ToTrash) {
        QString error;
        return moveToTrash(path, S_ISDIR(st.st_mode), error) || op.Fail(error);
    }
    TScan scan;
    if (!scanTree(path, scan, op, false))
        return op.Finish();
    op.BeginProgress(QStringLiteral("Deleting \"%1\"...").arg(QFile::decodeName(nameOf(path))),
                     scan.Items);
    if (!removeTree(path, op))
        return op.Finish();
    return true;
}

} // namespace MyFileUtils
