#include "catalogue/CatalogueSave.h"
#include "catalogue/NodeTree.h"
#include "utils/DataFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QScopeGuard>
#include <QThreadPool>
#include <QtConcurrent/QtConcurrentRun>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <mutex>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

// Lines between two looks at the clock: a look costs less than a line, and a
// slice ends soon after its deadline.
constexpr int LinesPerClockLook = 64;

QString systemError(int err)
{
    return QString::fromLocal8Bit(std::strerror(err));
}

bool isFolder(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

QString makeCatalogueFolder(const QString& folder)
{
    errno = 0;
    if (DataFolder::make(folder))
        return {};
    // A name in the way that is no folder leaves no error of its own.
    return systemError(errno == 0 || errno == EEXIST ? ENOTDIR : errno);
}

namespace
{

void prefetch(const void* p)
{
    __builtin_prefetch(p);
}

// The walk of the tree in full order, without recursion (no depth of nesting
// can exhaust the stack) and without the parent links: each level keeps its
// parent and row, so the next sibling is one look into the parent's list.
class FullOrderWalk
{
public:
    FullOrderWalk(const TreeNode* node, const TreeNode* skip) : m_node(node), m_skip(skip)
    {
        for (const TreeNode* n = node; n && n->parent(); n = n->parent())
            m_levels.push_back({n->parent(), n->index()});
        std::reverse(m_levels.begin(), m_levels.end());
        if (m_node == m_skip)
            next();
    }
    const TreeNode* node() const { return m_node; }
    int level() const { return int(m_levels.size()); }
    void next()
    {
        do
            step();
        while (m_node && m_node == m_skip);
    }

private:
    struct Level {
        const TreeNode* parent;
        int row;
    };
    void step()
    {
        if (m_node != m_skip && m_node->hasChildren()) {
            m_levels.push_back({m_node, 0});
            m_node = m_node->item(0);
            return;
        }
        while (!m_levels.empty()) {
            Level& at = m_levels.back();
            if (++at.row < at.parent->count()) {
                m_node = at.parent->item(at.row);
                return;
            }
            m_node = at.parent;
            m_levels.pop_back();
        }
        m_node = m_node->getNextSibling(); // the roots: few, and their parent is hidden
    }

    const TreeNode* m_node;
    const TreeNode* m_skip;
    std::vector<Level> m_levels;
};

// The nodes, their records and their texts lie all over the heap: a line
// waits for memory far more than it computes. So a scout walks a few lines
// ahead, and each node is fetched in steps as it comes nearer: the node when
// the scout finds it, its record and text half way, the record's texts last.
class Lookahead
{
public:
    Lookahead(const TreeNode* node, const TreeNode* skip) : m_scout(node, skip)
    {
        for (Step& step : m_steps) {
            step = {m_scout.node(), m_scout.level()};
            if (m_scout.node())
                m_scout.next();
        }
    }
    const TreeNode* node() const { return m_steps[m_at].node; }
    int level() const { return m_steps[m_at].level; }
    void next()
    {
        m_steps[m_at] = {m_scout.node(), m_scout.level()};
        if (m_scout.node()) {
            m_scout.next();
            prefetch(m_scout.node());
        }
        m_at = (m_at + 1) % Depth;
        if (const TreeNode* soon = m_steps[(m_at + Depth / 2) % Depth].node) {
            prefetch(soon->text().constData());
            prefetch(soon->data());
        }
        if (const TreeNode* sooner = m_steps[(m_at + 2) % Depth].node; sooner && sooner->data()) {
            const NodeInfo& info = *sooner->data();
            // A path spans a few cache lines: its end as well.
            prefetch(info.fullName.constData());
            prefetch(info.fullName.constData() + std::max<qsizetype>(0, info.fullName.size() - 1));
            prefetch(info.comments.constData());
            prefetch(info.sAdditional.constData());
        }
    }

private:
    static constexpr int Depth = 4;
    struct Step {
        const TreeNode* node = nullptr;
        int level = 0;
    };
    FullOrderWalk m_scout;
    Step m_steps[Depth];
    int m_at = 0;
};

// Room made in the buffer at a time: lines are written in place, and the
// buffer's size follows them once per call, not twice per line.
constexpr qsizetype RoomStep = 64 << 10;

} // namespace

const TreeNode* encodeCatalogueLines(const TreeNode* node, int& level, const TreeNode* skip,
                                     QByteArray& out, qsizetype maxBytes, QDeadlineTimer deadline)
{
    static const NodeInfo none;
    const bool timed = !deadline.isForever();
    int untilClock = LinesPerClockLook;
    qsizetype used = out.size();
    const auto cutToUsed = qScopeGuard([&] { out.resize(used); });
    for (Lookahead walk(node, skip); walk.node(); walk.next()) {
        if (used >= maxBytes || (timed && --untilClock == 0 && deadline.hasExpired())) {
            level = walk.level();
            return walk.node();
        }
        if (untilClock == 0)
            untilClock = LinesPerClockLook;
        const TreeNode* n = walk.node();
        const NodeInfo* info = n->data() ? n->data() : &none;
        const qsizetype room = catalogueLineRoom(n->text().size() + info->fullName.size() +
                                                 info->comments.size() + info->sAdditional.size());
        if (out.size() - used < room)
            out.resize(used + std::max(room, RoomStep));
        char* const at = out.data() + used;
        used = putCatalogueLine(at, n->text(), walk.level(), info->fullName, info->comments,
                                info->getsKind(), info->sAdditional) -
               out.data();
    }
    return nullptr;
}

QString keepFileAside(const QString& path, const QString& suffix, bool move)
{
    const QByteArray from = QFile::encodeName(path);
    // Bounded: a folder full of old copies ends the search rather than the run.
    constexpr int maxCopies = 1000;
    for (int n = 0; n < maxCopies; ++n) {
        const QString aside = path + suffix + (n == 0 ? QString() : QStringLiteral(".%1").arg(n));
        const QByteArray to = QFile::encodeName(aside);
        struct stat st;
        if (::lstat(to.constData(), &st) == 0)
            continue; // never overwrite an older copy, nor write through a link
        if (errno != ENOENT)
            return {};
        if (move) {
            // link + unlink never replaces a name that appeared meanwhile.
            if (::link(from.constData(), to.constData()) == 0) {
                ::unlink(from.constData());
                return aside;
            }
            if (errno == EEXIST)
                continue;
            return QFile::rename(path, aside) ? aside : QString();
        }
        QFile source;
        if (!openRegularFile(path, source, nullptr))
            return {};
        const int fd =
            ::open(to.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            return {};
        }
        QFile copy;
        bool ok = copy.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle);
        while (ok) {
            const QByteArray block = source.read(1 << 20);
            if (block.isEmpty()) {
                ok = source.error() == QFileDevice::NoError;
                break;
            }
            ok = copy.write(block) == block.size();
        }
        // The original is replaced right after: the copy must be on the disk first.
        ok = copy.flush() && ok && ::fsync(fd) == 0;
        copy.close();
        if (!ok) {
            ::unlink(to.constData());
            return {};
        }
        ::chmod(to.constData(), QFileInfo(path).permissions() & QFile::ReadOwner ? 0644 : 0600);
        return aside;
    }
    return {};
}

namespace
{

// Chunks written ahead of the worker at most, and written ones kept for reuse.
constexpr size_t MaxQueuedChunks = 4;
constexpr size_t MaxSpareChunks = MaxQueuedChunks + 2;

// The writers: a thread for each save under way. Not the global pool, whose
// threads a long task may hold while a save waits for its worker.
Q_GLOBAL_STATIC(QThreadPool, writerThreads)

} // namespace

struct CatalogueStream::Shared {
    std::mutex lock;
    std::condition_variable changed;
    std::deque<QByteArray> queue;
    std::vector<QByteArray> spare;
    bool finished = false, aborted = false, failed = false;
    std::optional<FileStamp> known;

    // The worker's side: the whole write.
    CatalogueWriteResult run(const CatalogueTarget& target);
    CatalogueWriteResult write(const CatalogueTarget& target);
    // Stops taking chunks after a failure and waits for the end of the feed.
    CatalogueWriteResult& fail(CatalogueWriteResult& result, const QString& error);
};

CatalogueWriteResult& CatalogueStream::Shared::fail(CatalogueWriteResult& result,
                                                    const QString& error)
{
    std::unique_lock guard(lock);
    failed = true;
    queue.clear();
    changed.notify_all();
    changed.wait(guard, [this] { return finished || aborted; });
    result.error = error;
    return result;
}

CatalogueWriteResult CatalogueStream::Shared::run(const CatalogueTarget& target)
{
    // The feeding thread may wait for room: it must hear of any end.
    try {
        return write(target);
    } catch (...) {
        CatalogueWriteResult result;
        result.folder = target.folder;
        return fail(result, QStringLiteral("Not enough memory to save the catalogue."));
    }
}

CatalogueWriteResult CatalogueStream::Shared::write(const CatalogueTarget& target)
{
    CatalogueWriteResult result;
    result.folder = target.folder;
    {
        std::lock_guard guard(lock);
        if (aborted) // given up before this thread came to it
            return result;
    }
    if (!isFolder(target.folder)) {
        // Another program took the folder away: made again, or the run's work
        // goes to the user's data folder rather than nowhere.
        const QString why = makeCatalogueFolder(target.folder);
        if (!why.isEmpty()) {
            const QString fallback = target.fallbackFolder;
            const bool elsewhere = !fallback.isEmpty() && QDir(fallback) != QDir(target.folder);
            const QString fallbackWhy = elsewhere ? makeCatalogueFolder(fallback) : why;
            if (!fallbackWhy.isEmpty()) {
                QString error =
                    QStringLiteral("The folder \"%1\" that holds the catalogue is gone and cannot "
                                   "be made again. %2")
                        .arg(QDir::toNativeSeparators(target.folder), why);
                if (elsewhere)
                    error += QStringLiteral("\nNor can the folder \"%1\" be made. %2")
                                 .arg(QDir::toNativeSeparators(fallback), fallbackWhy);
                return fail(result, error);
            }
            result.folder = fallback;
            result.notices << QStringLiteral(
                                  "The folder \"%1\" that held the catalogue is gone and cannot "
                                  "be made again (%2). The catalogue is now saved in \"%3\".")
                                  .arg(QDir::toNativeSeparators(target.folder), why,
                                       QDir::toNativeSeparators(fallback));
        }
    }
    const QString path = QDir(result.folder).filePath(target.fileName);
    // Following a link to a regular file is fine (a catalogue kept in a
    // synced folder); replacing a device, FIFO or folder never is.
    if (const FileStamp before = FileStamp::of(path); before.exists && !before.regular)
        return fail(result, QStringLiteral("Cannot write file \"%1\": it is not a regular file, "
                                           "so it was left as it is.")
                                .arg(path));
    // The whole file is written beside the target and then put in its
    // place, so a failure or a crash leaves the previous file intact.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(result,
                    QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    qint64 written = 0;
    for (;;) {
        QByteArray chunk;
        {
            std::unique_lock guard(lock);
            changed.wait(guard, [this] { return !queue.empty() || finished || aborted; });
            if (aborted) {
                file.cancelWriting();
                result.error = QStringLiteral("The save was given up.");
                return result;
            }
            if (queue.empty())
                break; // finished
            chunk = std::move(queue.front());
            queue.pop_front();
            changed.notify_all();
        }
        if (file.write(chunk) != chunk.size() || !file.flush()) {
            const QString error =
                QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
            file.cancelWriting();
            return fail(result, error);
        }
        // The disk starts on what is written while the rest is encoded, so
        // the sync before the rename has only the tail left to wait for.
        ::sync_file_range(file.handle(), written, chunk.size(), SYNC_FILE_RANGE_WRITE);
        written += chunk.size();
        chunk.resize(0);
        std::lock_guard guard(lock);
        if (spare.size() < MaxSpareChunks)
            spare.push_back(std::move(chunk));
    }
    // QSaveFile syncs before its rename but ignores a failure: a disk that
    // lost the new bytes must not have them replace the old file.
    if (::fdatasync(file.handle()) != 0) {
        const int err = errno;
        const QString error =
            QStringLiteral("Cannot write file \"%1\". %2").arg(path, systemError(err));
        file.cancelWriting();
        return fail(result, error);
    }
    std::optional<FileStamp> lastKnown;
    {
        std::lock_guard guard(lock);
        lastKnown = known;
    }
    const FileStamp now = FileStamp::of(path);
    QString keptAs;
    // Only a file that is there and differs from what this run last read or
    // wrote: a sync tool or a second copy put it there, and it must survive.
    // A file that went is simply written again.
    if (target.keepOutsideChange && lastKnown && now.exists && now.regular && now != *lastKnown) {
        keptAs = keepFileAside(path, QStringLiteral(".conflict"), false);
        if (keptAs.isEmpty()) {
            file.cancelWriting();
            result.error =
                QStringLiteral("File \"%1\" was changed by another program while Quillmere ran, "
                               "and that version could not be kept aside, so it was left as it "
                               "is. Use \"Backup data\" to keep this run's catalogue.")
                    .arg(path);
            return result;
        }
        result.known = now;
        result.notices << QStringLiteral(
                              "File \"%1\" was changed by another program while Quillmere ran.\n"
                              "That version was kept as \"%2\"; the catalogue of this run was "
                              "saved in its place.")
                              .arg(path, keptAs);
    }
    if (!file.commit()) {
        result.error = QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString());
        if (!keptAs.isEmpty())
            result.error +=
                QStringLiteral("\nThe version another program wrote was kept as \"%1\".")
                    .arg(keptAs);
        return result;
    }
    result.known = FileStamp::of(path); // our own write is no outside change
    return result;
}

CatalogueStream::CatalogueStream(const CatalogueTarget& target)
    : m_shared(std::make_shared<Shared>())
{
    writerThreads()->setMaxThreadCount(std::max(writerThreads()->maxThreadCount(), 4));
    m_future = QtConcurrent::run(writerThreads(),
                                 [shared = m_shared, target] { return shared->run(target); });
}

CatalogueStream::~CatalogueStream()
{
    bool finished;
    {
        std::lock_guard guard(m_shared->lock);
        finished = m_shared->finished;
    }
    // An unfinished write is given up; its worker ends on its own.
    if (finished)
        m_future.waitForFinished();
    else
        abort();
}

QByteArray CatalogueStream::buffer()
{
    {
        std::lock_guard guard(m_shared->lock);
        if (!m_shared->spare.empty()) {
            QByteArray reused = std::move(m_shared->spare.back());
            m_shared->spare.pop_back();
            return reused;
        }
    }
    QByteArray fresh;
    fresh.reserve(ChunkBytes + ChunkBytes / 8);
    return fresh;
}

bool CatalogueStream::put(QByteArray& chunk, bool wait)
{
    std::unique_lock guard(m_shared->lock);
    const auto room = [this] {
        return m_shared->queue.size() < MaxQueuedChunks || m_shared->failed || m_shared->aborted;
    };
    if (!room()) {
        if (!wait)
            return false;
        m_shared->changed.wait(guard, room);
    }
    // After a failure the bytes have nowhere to go; the result tells.
    if (!m_shared->failed && !m_shared->aborted)
        m_shared->queue.push_back(std::move(chunk));
    chunk = QByteArray();
    m_shared->changed.notify_all();
    return true;
}

void CatalogueStream::finish(std::optional<FileStamp> known)
{
    std::lock_guard guard(m_shared->lock);
    m_shared->known = known;
    m_shared->finished = true;
    m_shared->changed.notify_all();
}

void CatalogueStream::abort()
{
    std::lock_guard guard(m_shared->lock);
    if (m_shared->finished)
        return;
    m_shared->aborted = true;
    m_shared->changed.notify_all();
}

void writeTree(CatalogueStream& stream, const TreeNode* first, const TreeNode* skip)
{
    int level = 0;
    for (const TreeNode* next = first; next;) {
        QByteArray chunk = stream.buffer();
        next = encodeCatalogueLines(next, level, skip, chunk, CatalogueStream::ChunkBytes);
        stream.put(chunk, true);
    }
}
