#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <limits>
#include <utility>

AutoSave::~AutoSave() = default;

AutoSave::AutoSave(Catalogue& catalogue, QObject* parent) : QObject(parent), m_catalogue(catalogue)
{
    setObjectName(QStringLiteral("AutoSave"));
    m_timer.setSingleShot(true);
    m_slice.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoSave::saveWhenQuiet);
    connect(&m_slice, &QTimer::timeout, this, &AutoSave::encodeSlice);
    connect(&catalogue, &Catalogue::backgroundWriteDone, this, &AutoSave::onWritten);
    connect(&catalogue, &Catalogue::catalogueWritten, this, &AutoSave::onSavedElsewhere);
}

void AutoSave::start()
{
    if (std::exchange(m_started, true))
        return;
    NodeTree& nodes = m_catalogue.nodes();
    // The "about to" signals come before any node goes: an encoding under
    // way stops before it could meet a freed one.
    const auto change = [this] { noteChange(); };
    connect(&nodes, &QAbstractItemModel::rowsInserted, this, change);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, this, change);
    connect(&nodes, &QAbstractItemModel::rowsRemoved, this, change);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeMoved, this, change);
    connect(&nodes, &QAbstractItemModel::rowsMoved, this, change);
    connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, this, change);
    connect(&nodes, &QAbstractItemModel::layoutChanged, this, change);
    connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, this, change);
    connect(&nodes, &QAbstractItemModel::modelReset, this, change);
    connect(&nodes, &NodeTree::nodeDeleting, this, change);
    connect(&nodes, &NodeTree::nodeRenamed, this, change);
    connect(&nodes, &NodeTree::recordChanged, this, change);
    connect(&nodes, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                // A picture (a document found missing) is not in the file.
                if (roles.size() == 1 && roles.front() == Qt::DecorationRole)
                    return;
                noteChange();
            });
}

void AutoSave::noteChange()
{
    ++m_changes;
    m_sinceLast.start();
    // The lines encoded so far are stale, and their nodes may be going.
    if (m_encoding)
        abortEncoding();
    if (!m_timer.isActive() && !m_afterWrite) {
        m_sinceFirst.start();
        m_timer.start(QuietMs);
    }
}

void AutoSave::saveWhenQuiet()
{
    if (!pending() || m_encoding)
        return;
    const qint64 sinceFirst = m_sinceFirst.elapsed(), sinceLast = m_sinceLast.elapsed();
    if (sinceLast < QuietMs && sinceFirst < MaxDelayMs) {
        // Not quiet yet: wait again, but not past the longest delay.
        m_timer.start(int(std::min(QuietMs - sinceLast, MaxDelayMs - sinceFirst)));
        return;
    }
    if (held()) {
        m_timer.start(HoldRetryMs);
        return;
    }
    if (m_catalogue.writing()) {
        m_afterWrite = true;
        return;
    }
    begin();
}

bool AutoSave::held() const
{
    return m_catalogue.loading() || m_catalogue.linksUpdating() || m_catalogue.nodes().updating() ||
           (holdHook && holdHook());
}

void AutoSave::begin()
{
    m_stream = m_catalogue.startWrite();
    if (!m_stream)
        return; // this run never writes the file (the user was told)
    m_encoding = true;
    m_encodingAt = m_changes;
    m_level = 0;
    m_allEncoded = false;
    m_chunk = m_stream->buffer();
    encodeFrom(m_catalogue.nodes().getFirstNode());
}

void AutoSave::encodeSlice()
{
    if (!m_encoding)
        return;
    if (held()) {
        m_slice.start(HoldRetryMs);
        return;
    }
    // Any change stops the encoding, so the node is there; the persistent
    // index makes sure of it.
    const TreeNode* node = m_allEncoded ? nullptr : NodeTree::nodeOf(m_next);
    if (!m_allEncoded && !node) {
        abortEncoding();
        m_timer.start(0);
        return;
    }
    encodeFrom(node);
}

void AutoSave::encodeFrom(const TreeNode* node)
{
    const QDeadlineTimer deadline(SliceMs, Qt::PreciseTimer);
    for (;;) {
        if (!m_allEncoded && m_chunk.size() < CatalogueStream::ChunkBytes) {
            node = encodeCatalogueLines(node, m_level, m_catalogue.makerCategory(), m_chunk,
                                        CatalogueStream::ChunkBytes, deadline);
            m_allEncoded = !node;
        }
        if (m_chunk.size() >= CatalogueStream::ChunkBytes || m_allEncoded) {
            if (!m_stream->put(m_chunk, false))
                return pause(node, DiskWaitMs); // the disk is behind
            if (m_allEncoded)
                break;
            m_chunk = m_stream->buffer();
        }
        if (deadline.hasExpired())
            return pause(node, 0);
    }
    m_encoding = false;
    m_next = QPersistentModelIndex();
    // An encoding starts only once the write before has ended; should one
    // still be in flight, its result is taken before this one counts.
    m_catalogue.waitForWrite();
    m_writingAt = m_encodingAt;
    m_catalogue.finishInBackground(std::move(m_stream));
}

void AutoSave::pause(const TreeNode* next, int ms)
{
    m_next =
        next ? QPersistentModelIndex(m_catalogue.nodes().indexOf(next)) : QPersistentModelIndex();
    m_slice.start(ms);
}

void AutoSave::abortEncoding()
{
    m_encoding = false;
    m_slice.stop();
    m_next = QPersistentModelIndex();
    m_chunk = QByteArray();
    m_stream.reset(); // its worker gives the write up on its own
}

void AutoSave::onWritten(const QString& error)
{
    // After Stop the end of the run's own save follows and speaks for itself.
    if (!m_started)
        return;
    if (error.isEmpty()) {
        m_savedUpTo = m_writingAt;
        m_failureTold = false;
        if (!pending())
            Q_EMIT saved();
    } else if (!std::exchange(m_failureTold, true)) {
        Q_EMIT failed(error);
    }
    // Never from here: this may run inside a wait for the write.
    if (std::exchange(m_afterWrite, false))
        m_timer.start(0);
}

void AutoSave::onSavedElsewhere()
{
    // A save of the whole tree as it is now (the end of the run's).
    abortEncoding();
    m_timer.stop();
    m_afterWrite = false;
    m_failureTold = false;
    m_savedUpTo = m_changes;
}

void AutoSave::flush()
{
    m_catalogue.waitForWrite();
    if (!m_started || !pending() || held())
        return;
    abortEncoding();
    m_timer.stop();
    m_afterWrite = false;
    std::unique_ptr<CatalogueStream> stream = m_catalogue.startWrite();
    if (!stream)
        return;
    // All at once: the caller waits for it anyway.
    m_writingAt = m_changes;
    writeTree(*stream, m_catalogue.nodes().getFirstNode(), m_catalogue.makerCategory());
    m_catalogue.finishInBackground(std::move(stream));
    m_catalogue.waitForWrite();
}

void AutoSave::stop()
{
    abortEncoding();
    m_timer.stop();
    m_afterWrite = false;
    if (m_started)
        disconnect(&m_catalogue.nodes(), nullptr, this, nullptr);
    m_started = false;
}
