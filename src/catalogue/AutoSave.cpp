#include "catalogue/AutoSave.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueSave.h"

#include <QDeadlineTimer>
#include <algorithm>
#include <limits>
#include <utility>

namespace
{

constexpr qsizetype NoByteLimit = std::numeric_limits<qsizetype>::max();

} // namespace

AutoSave::AutoSave(Catalogue& catalogue, QObject* parent) : QObject(parent), m_catalogue(catalogue)
{
    setObjectName(QStringLiteral("AutoSave"));
    m_timer.setSingleShot(true);
    m_slice.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, &AutoSave::onTimer);
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
    // The lines encoded so far are stale, and their nodes may be going.
    if (m_encoding)
        abortEncoding();
    if (!m_timer.isActive() && !m_afterWrite) {
        m_sinceFirst.start();
        m_changesSeen = m_changes;
        m_timer.start(QuietMs);
    }
}

void AutoSave::onTimer()
{
    if (!pending() || m_encoding)
        return;
    const qint64 waited = m_sinceFirst.elapsed();
    if (m_changes != m_changesSeen && waited < MaxDelayMs) {
        // Not quiet yet: wait again, but not past the longest delay.
        m_changesSeen = m_changes;
        m_timer.start(int(std::min<qint64>(QuietMs, MaxDelayMs - waited)));
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
    return m_catalogue.loading() || m_catalogue.nodes().updating() || (holdHook && holdHook());
}

void AutoSave::begin()
{
    if (m_catalogue.catalogueFileProtected())
        return; // this run never writes the file (the user was told)
    m_encoding = true;
    m_encodingAt = m_changes;
    m_level = 0;
    // Sized from the last save, so the buffer rarely grows (and copies) on the way.
    m_bytes.resize(0);
    m_bytes.reserve(m_lastSize + m_lastSize / 8);
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
    const TreeNode* node = NodeTree::nodeOf(m_next);
    if (!node) {
        abortEncoding();
        m_timer.start(0);
        return;
    }
    encodeFrom(node);
}

void AutoSave::encodeFrom(const TreeNode* node)
{
    const TreeNode* next =
        encodeCatalogueLines(node, m_level, m_catalogue.makerCategory, m_bytes, NoByteLimit,
                             QDeadlineTimer(SliceMs, Qt::PreciseTimer));
    if (next) {
        m_next = QPersistentModelIndex(m_catalogue.nodes().indexOf(next));
        m_slice.start(0);
        return;
    }
    m_encoding = false;
    m_next = QPersistentModelIndex();
    m_lastSize = m_bytes.size();
    // An encoding starts only once the write before has ended; should one
    // still be in flight, its result is taken before this one counts.
    m_catalogue.waitForWrite();
    m_writingAt = m_encodingAt;
    m_catalogue.writeInBackground(std::exchange(m_bytes, QByteArray()));
}

void AutoSave::abortEncoding()
{
    m_encoding = false;
    m_slice.stop();
    m_next = QPersistentModelIndex();
    m_bytes.resize(0);
}

void AutoSave::onWritten(const QString& error)
{
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
    if (!m_started || !pending() || held() || m_catalogue.catalogueFileProtected())
        return;
    abortEncoding();
    m_timer.stop();
    m_afterWrite = false;
    QByteArray bytes;
    bytes.reserve(m_lastSize + m_lastSize / 8);
    int level = 0;
    encodeCatalogueLines(m_catalogue.nodes().getFirstNode(), level, m_catalogue.makerCategory,
                         bytes, NoByteLimit);
    m_lastSize = bytes.size();
    m_writingAt = m_changes;
    if (m_catalogue.writeInBackground(std::move(bytes)))
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
