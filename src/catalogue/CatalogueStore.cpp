#include "catalogue/CatalogueStore.h"
#include "catalogue/Catalogue.h"
#include "utils/DataFolder.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QTimer>
#include <QtConcurrent/QtConcurrentRun>
#include <atomic>
#ifdef __GLIBC__
#include <malloc.h>
#endif

namespace
{

// Longest the tree is built from read lines before the window gets a turn.
constexpr qint64 LoadSliceMs = 20;

QString nothingRestored()
{
    return QStringLiteral("\nNothing was restored: the catalogue stays as it was.");
}

} // namespace

// One load under way: the reader on its worker and what the tree's side
// keeps between slices.
struct CatalogueStore::Load {
    explicit Load(const QString& file, bool backup) : path(file), fromBackup(backup), reader(file)
    {
    }

    QString path;
    bool fromBackup;
    // The file's tree is built after the nodes there were, which go only
    // once the whole file was read (a failed restore keeps them).
    int oldRoots = 0;
    CatalogueReader reader;
    std::vector<TreeNode*> lastAt; // the last node placed at each depth
    std::exception_ptr failure;
    std::atomic<bool> sliceQueued{false};
    QFuture<void> work;
    QFutureWatcher<void> watcher;
};

CatalogueStore::CatalogueStore(Catalogue& catalogue) : QObject(&catalogue), m_catalogue(catalogue)
{
    connect(&m_write, &QFutureWatcher<CatalogueWriteResult>::finished, this,
            &CatalogueStore::finishWrite);
}

CatalogueStore::~CatalogueStore()
{
    if (m_load) {
        // The reader must not outlive what it hands its lines to.
        m_load->reader.cancel();
        m_load->work.waitForFinished();
    }
    m_write.waitForFinished(); // the worker must not outlive what it reports to
}

QString CatalogueStore::protectUnlessKept(bool fromBackup, const QString& aside)
{
    // When the file cannot be kept aside, the save at the end would write
    // over what could not be read: this run leaves it alone.
    if (fromBackup || !aside.isEmpty())
        return QString();
    m_protectFile = true;
    return QStringLiteral(
        "\nThe file could not be kept aside, so this run will not write over it: changes made "
        "now are not saved to it (\"Backup data\" still works).");
}

std::optional<CatalogueStore::Outcome> CatalogueStore::begin(bool fromBackup, bool async)
{
    Q_ASSERT(!m_loading);
    const QString path = m_catalogue.dataFile(fromBackup);
    const FileStamp stamp = FileStamp::of(path);
    if (!fromBackup)
        m_fileStamp = stamp;
    if (!QFileInfo::exists(path))
        return Outcome{};
    {
        // A file that exists but cannot be opened (or is no regular file)
        // must not be overwritten by the save at the end of the run.
        QFile probe;
        QString why;
        if (!openRegularFile(path, probe, &why)) {
            QString text = QStringLiteral("Cannot open file \"%1\". %2").arg(path, why);
            if (!fromBackup) {
                const QString aside = stamp.regular
                                          ? keepFileAside(path, QStringLiteral(".damaged"), true)
                                          : QString();
                if (!aside.isEmpty())
                    text += QStringLiteral("\nThe file was moved to \"%1\".").arg(aside);
                text += protectUnlessKept(fromBackup, aside);
            } else {
                text += nothingRestored();
            }
            if (!m_catalogue.makerCategory())
                m_catalogue.createMakerCategory();
            return Outcome{true, text};
        }
    }

    m_loading = true;
    m_load = std::make_unique<Load>(path, fromBackup);
    Load& load = *m_load;
    load.oldRoots = m_catalogue.nodes().rootCount();
    m_catalogue.nodes().beginUpdate();
    load.reader.onProgress = [this](int thousandths) { Q_EMIT progress(thousandths); };
    if (async) {
        // The tree grows on this thread: a slice is queued whenever a batch
        // comes and none is queued yet; the worker's end queues the last.
        load.reader.onBatchReady = [this, &load] {
            if (!load.sliceQueued.exchange(true))
                QMetaObject::invokeMethod(this, &CatalogueStore::buildSlice, Qt::QueuedConnection);
        };
        connect(&load.watcher, &QFutureWatcher<void>::finished, this, &CatalogueStore::buildSlice);
    }
    load.work = QtConcurrent::run([&load] { load.reader.run(); });
    if (async)
        load.watcher.setFuture(load.work);
    return std::nullopt;
}

void CatalogueStore::addLines(std::vector<std::vector<CatalogueLineFields>>& batches)
{
    Load& load = *m_load;
    NodeTree& nodes = m_catalogue.nodes();
    // Each node is made whole and appended: the tree is told nothing while
    // it is suspended, so a load costs no signal per node.
    auto add = [&](CatalogueLineFields& line) {
        TreeNode* parent = line.depth == 0 ? nullptr : load.lastAt[size_t(line.depth - 1)];
        NewNode made;
        made.info = std::make_unique<NodeInfo>();
        NodeInfo& info = *made.info;
        info.comments = std::move(line.comments);
        info.sAdditional = std::move(line.additional);
        if (line.kind == NodeKind::Category) {
            info.kind = NodeKind::Category;
            made.image = imgCategory;
            made.text = std::move(line.name);
        } else if (line.kind == NodeKind::Url) {
            info.kind = NodeKind::Url;
            made.image = imgHyperlink;
            made.text = line.name.isEmpty() ? line.fullName : std::move(line.name);
            info.fullName = std::move(line.fullName);
        } else {
            // The file system decides the kind, not the stored code.
            info.kind = line.facts.isDir ? NodeKind::Folder : NodeKind::Doc;
            made.image = m_catalogue.addFileTypeIcon(line.facts);
            made.text = std::move(line.name);
            info.fullName = std::move(line.fullName);
        }
        TreeNode* node = nodes.appendNode(parent, std::move(made));
        load.lastAt.resize(size_t(line.depth));
        load.lastAt.push_back(node);
    };
    try {
        for (auto& batch : batches)
            for (auto& line : batch)
                add(line);
    } catch (...) {
        load.failure = std::current_exception();
        load.reader.cancel();
    }
}

bool CatalogueStore::buildFor(qint64 budgetMs)
{
    Load& load = *m_load;
    QElapsedTimer slice;
    slice.start();
    std::vector<std::vector<CatalogueLineFields>> batches;
    while (!load.failure) {
        // The window is painted between slices, however fast the reader
        // keeps up.
        if (slice.elapsed() >= budgetMs)
            return false;
        batches.clear();
        if (!load.reader.takeBatches(batches))
            return true;
        addLines(batches);
    }
    return true;
}

void CatalogueStore::buildSlice()
{
    if (!m_load)
        return; // a slice queued for a load that ended
    Load& load = *m_load;
    load.sliceQueued = false;
    // The worker's end is known before the batches are looked at, so an
    // empty queue then means the file is through.
    const bool readerDone = load.work.isFinished();
    if (!buildFor(LoadSliceMs)) {
        if (!load.sliceQueued.exchange(true))
            QMetaObject::invokeMethod(this, &CatalogueStore::buildSlice, Qt::QueuedConnection);
        return;
    }
    if (readerDone || (load.failure && load.work.isFinished()))
        announce(finishLoad());
}

CatalogueStore::Outcome CatalogueStore::finishLoad()
{
    const std::unique_ptr<Load> load = std::move(m_load);
    load->work.waitForFinished();
    NodeTree& nodes = m_catalogue.nodes();
    const QString& path = load->path;
    auto finish = [this] {
        m_loading = false;
        if (!m_catalogue.makerCategory())
            m_catalogue.createMakerCategory();
    };

    QString error;
    if (load->failure) {
        try {
            std::rethrow_exception(load->failure);
        } catch (const std::bad_alloc&) {
            error = QStringLiteral("Not enough memory to read file \"%1\".").arg(path);
        } catch (const std::exception& e) {
            error = QString::fromUtf8(e.what());
        }
    } else {
        error = load->reader.error();
    }
    load->lastAt.clear();
    const int newRoots = nodes.rootCount() - load->oldRoots;
    if (!error.isEmpty() && load->fromBackup) {
        nodes.deleteRoots(load->oldRoots, newRoots);
        nodes.endUpdate();
        finish();
        return {true, error + nothingRestored()};
    }
    nodes.deleteRoots(0, load->oldRoots);
    nodes.endUpdate();
    m_catalogue.setTopCategory(nodes.getFirstNode());
    if (!error.isEmpty()) {
        // The save at the end of the run would write the shorter tree over the
        // file: keep the whole file. A file that failed to read may fail to
        // copy too, so that one is moved aside instead.
        const QString aside =
            keepFileAside(path, QStringLiteral(".damaged"), !load->reader.malformed());
        error += aside.isEmpty() ? QStringLiteral("\nThe lines from here on were not loaded.")
                                 : QStringLiteral("\nThe lines from here on were not loaded. The "
                                                  "whole file was kept as \"%1\".")
                                       .arg(aside);
        error += protectUnlessKept(load->fromBackup, aside);
    }
    finish();
    return {true, error};
}

void CatalogueStore::announce(const Outcome& outcome)
{
    m_loading = false;
#ifdef __GLIBC__
    // The load's batches were freed among the nodes that stay: give those
    // pages back before the idle work after a load fills the heap again.
    malloc_trim(0);
#endif
    Q_EMIT loaded(outcome.found, outcome.error);
}

void CatalogueStore::startLoad(bool fromBackup)
{
    if (std::optional<Outcome> at = begin(fromBackup, true)) {
        // Told on the next turn, as a load that ran would be: the caller
        // connects after starting as well as before.
        m_loading = true;
        QTimer::singleShot(0, this, [this, outcome = *at] { announce(outcome); });
    }
}

bool CatalogueStore::loadNow(bool fromBackup)
{
    std::optional<Outcome> outcome = begin(fromBackup, false);
    if (!outcome) {
        // The reader is waited for, not the event loop: nothing else runs
        // while the tree is incomplete.
        std::vector<std::vector<CatalogueLineFields>> batches;
        while (!m_load->failure) {
            batches.clear();
            if (!m_load->reader.waitForBatches(batches))
                break; // the file is through
            addLines(batches);
        }
        outcome = finishLoad();
    }
    announce(*outcome);
    if (!outcome->error.isEmpty())
        throw CatalogueError(outcome->error);
    return outcome->found;
}

void CatalogueStore::save(bool backup)
{
    waitForWrite();
    if (!backup && m_protectFile) {
        // The file could not be read nor kept aside: leave it as it is.
        Q_EMIT saved();
        m_catalogue.setDataSaved(true);
        return;
    }
    // Encoded here a chunk at a time while a worker writes the chunks before:
    // the memory a save needs stays flat however large the catalogue is.
    CatalogueStream stream(backup ? CatalogueTarget{m_catalogue.dataFolder(), QString(),
                                                    QStringLiteral("quillmere.bak"), false}
                                  : writeTarget());
    writeTree(stream, m_catalogue.nodes().getFirstNode(), m_catalogue.makerCategory());
    stream.finish(backup ? std::nullopt : m_fileStamp);
    const CatalogueWriteResult result = stream.future().result();
    if (backup) {
        if (!result.error.isEmpty())
            throw CatalogueError(result.error);
    } else {
        takeWriteResult(result);
        if (!m_lastWriteError.isEmpty())
            throw CatalogueError(m_lastWriteError);
    }
    Q_EMIT saved();
    m_catalogue.setDataSaved(true);
    if (!backup)
        Q_EMIT catalogueWritten();
}

CatalogueTarget CatalogueStore::writeTarget() const
{
    return {m_catalogue.dataFolder(), DataFolder::userFolder(), QStringLiteral("quillmere.dat"),
            true};
}

void CatalogueStore::takeWriteResult(const CatalogueWriteResult& result)
{
    if (result.known)
        m_fileStamp = result.known;
    m_lastWriteError = result.error;
    if (!result.error.isEmpty())
        return;
    m_catalogue.setDataFolder(result.folder);
    for (const QString& notice : result.notices)
        Q_EMIT saveNotice(notice);
}

std::unique_ptr<CatalogueStream> CatalogueStore::startWrite() const
{
    if (m_protectFile)
        return nullptr;
    return std::make_unique<CatalogueStream>(writeTarget());
}

void CatalogueStore::finishInBackground(std::unique_ptr<CatalogueStream> stream)
{
    waitForWrite();
    stream->finish(m_fileStamp);
    m_writing = std::move(stream);
    m_write.setFuture(m_writing->future());
}

void CatalogueStore::waitForWrite()
{
    if (!m_writing)
        return;
    m_write.waitForFinished();
    finishWrite();
}

void CatalogueStore::finishWrite()
{
    // Reached twice for one write when a wait came first: the watcher's own
    // signal then finds nothing left to do.
    if (!m_writing || !m_write.isFinished())
        return;
    const CatalogueWriteResult result = m_write.result();
    m_writing.reset();
    takeWriteResult(result);
    Q_EMIT backgroundWriteDone(m_lastWriteError);
}
