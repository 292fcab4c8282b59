#include "catalogue/FoldedIndex.h"
#include "catalogue/TextFolding.h"

#include <QElapsedTimer>

#include <algorithm>
#include <cstring>
#include <limits>

using TextFolding::Marks;

namespace
{

constexpr size_t MaxBytes = std::numeric_limits<quint32>::max();
// Keys are made in the background in slices this long, so the event loop
// never waits for more; inside a bulk change it waits for its end.
constexpr qint64 WarmSliceMs = 8;
constexpr int WarmRetryMs = 100;
constexpr int NodesBetweenClockReads = 256;
constexpr quint32 Gone = std::numeric_limits<quint32>::max();

// The rows from the top of the tree down to Node: full order compares these.
void pathOf(const TreeNode* node, std::vector<int>& out)
{
    out.clear();
    for (const TreeNode* n = node; n; n = n->parent())
        out.push_back(n->index());
    std::reverse(out.begin(), out.end());
}

// The first node after Node's subtree in full order.
TreeNode* nextAfterSubtree(const TreeNode* node)
{
    for (const TreeNode* n = node; n; n = n->parent())
        if (TreeNode* s = n->getNextSibling())
            return s;
    return nullptr;
}

TreeNode* childOf(NodeTree& nodes, const QModelIndex& parent, int row)
{
    TreeNode* p = NodeTree::nodeOf(parent);
    if (row < 0 || row >= (p ? p->count() : nodes.rootCount()))
        return nullptr;
    return p ? p->item(row) : nodes.rootItem(row);
}

} // namespace

FoldedIndex::FoldedIndex(NodeTree& nodes, QObject* parent) : QObject(parent), m_nodes(nodes)
{
    // Every change of the tree's shape reaches the views through one of
    // these; a bulk change arrives as a reset.
    connect(&nodes, &QAbstractItemModel::rowsInserted, this, &FoldedIndex::inserted);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, this, &FoldedIndex::aboutToRemove);
    connect(
        &nodes, &QAbstractItemModel::rowsAboutToBeMoved, this,
        [this](const QModelIndex& under, int first, int last) { aboutToMove(under, first, last); });
    connect(&nodes, &QAbstractItemModel::rowsMoved, this, [this] {
        for (TreeNode* n : m_moving)
            m_inserted.insert(n);
        m_moving.clear();
    });
    connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this](const QList<QPersistentModelIndex>& parents) { aboutToRelayout(parents); });
    connect(&nodes, &QAbstractItemModel::layoutChanged, this, &FoldedIndex::relayouted);
    connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, this, &FoldedIndex::reset);
    connect(&nodes, &QAbstractItemModel::modelReset, this, &FoldedIndex::startWarming);
    m_warmTimer.setSingleShot(true);
    m_warmTimer.setInterval(0);
    connect(&m_warmTimer, &QTimer::timeout, this, [this] {
        if (!m_warming)
            return;
        if (m_nodes.updating()) {
            m_warmTimer.start(WarmRetryMs);
            return;
        }
        if (!warm(WarmSliceMs))
            m_warmTimer.start();
    });
    startWarming();
    connect(&nodes, &NodeTree::nodeRenamed, this, &FoldedIndex::textChanged);
    connect(&nodes, &NodeTree::recordChanged, this, &FoldedIndex::textChanged);
}

FoldedIndex::~FoldedIndex() = default;

// ---------------------------------------------------------------- keys

bool FoldedIndex::appendNodeKey(TreeNode* node, Span& span)
{
    const size_t at = m_bytes.size();
    appendKey(m_bytes, node);
    if (m_bytes.size() > MaxBytes)
        return false;
    span = {quint32(at), quint32(m_bytes.size() - at)};
    return true;
}

// ---------------------------------------------------------------- following the tree

void FoldedIndex::reset()
{
    ++m_generation;
    m_valid = false;
    m_warming = false; // a change in the middle: warming starts again
    m_warmTimer.stop();
    m_inserted.clear();
    m_dead.clear();
    m_changed.clear();
    m_moving.clear();
    m_relayoutPending = false;
}

void FoldedIndex::release()
{
    reset();
    m_bytes = std::string();
    m_order = {};
    m_spans = {};
    m_records = {};
}

void FoldedIndex::inserted(const QModelIndex& under, int first, int last)
{
    if (m_warming)
        startWarming();
    if (!m_valid)
        return;
    ++m_generation;
    for (int r = first; r <= last; ++r)
        if (TreeNode* n = childOf(m_nodes, under, r))
            m_inserted.insert(n);
}

void FoldedIndex::aboutToRemove(const QModelIndex& under, int first, int last)
{
    restartWarmingLater();
    if (!m_valid)
        return;
    TreeNode* a = childOf(m_nodes, under, first);
    TreeNode* b = childOf(m_nodes, under, last);
    if (a && b)
        forgetRun(a, b);
}

void FoldedIndex::aboutToMove(const QModelIndex& under, int first, int last)
{
    m_moving.clear();
    restartWarmingLater();
    if (!m_valid)
        return;
    for (int r = first; r <= last; ++r)
        if (TreeNode* n = childOf(m_nodes, under, r))
            m_moving.push_back(n);
    for (TreeNode* n : m_moving)
        forget(n);
}

void FoldedIndex::aboutToRelayout(const QList<QPersistentModelIndex>& parents)
{
    m_moving.clear();
    restartWarmingLater();
    if (!m_valid)
        return;
    if (parents.isEmpty()) {
        reset(); // anything may move
        return;
    }
    // One parent's children reordered (a sort, removals gathered): their
    // subtrees keep their keys and trade places within the range they fill,
    // once the index holds nothing else pending.
    if (parents.size() == 1) {
        if (!m_inserted.empty() || !m_dead.empty() || !m_changed.empty())
            apply(); // the tree is still as it was: the pending changes fit
        if (!m_valid)
            return;
        ++m_generation;
        TreeNode* node = NodeTree::nodeOf(QModelIndex(parents.front()));
        const TreeNode* next = node ? nextAfterSubtree(node) : nullptr;
        m_relayout = {node, node ? lowerBound(node) + 1 : 0,
                      next ? lowerBound(next) : m_order.size()};
        noteBlocks();
        m_relayoutPending = true;
        return;
    }
    // The children of each parent are placed again, with all below them.
    for (const QPersistentModelIndex& parent : parents) {
        const QModelIndex p = parent;
        TreeNode* node = NodeTree::nodeOf(p);
        const int count = node ? node->count() : m_nodes.rootCount();
        for (int r = 0; r < count; ++r)
            m_moving.push_back(node ? node->item(r) : m_nodes.rootItem(r));
    }
    for (TreeNode* n : m_moving)
        forget(n);
}

void FoldedIndex::relayouted()
{
    if (std::exchange(m_relayoutPending, false)) {
        permuteRange();
        return;
    }
    for (TreeNode* n : m_moving)
        m_inserted.insert(n);
    m_moving.clear();
}

void FoldedIndex::textChanged(TreeNode* node)
{
    if (!m_valid && !m_warming)
        return;
    ++m_generation;
    m_changed.insert(node);
}

void FoldedIndex::noteBlocks()
{
    // With nothing pending the range holds exactly the nodes below the
    // parent in full order: each child starts the block of its subtree, in
    // the children's present order.
    const auto [parent, from, to] = m_relayout;
    m_blocks.clear();
    for (size_t p = from; p < to; ++p) {
        if (m_order[p]->parent() == parent)
            m_blocks.push_back({m_order[p], quint32(p), 0});
        if (!m_blocks.empty())
            ++m_blocks.back().size;
    }
}

void FoldedIndex::permuteRange()
{
    std::vector<Block> blocks = std::move(m_blocks);
    m_blocks.clear();
    if (!m_valid)
        return;
    const auto [parent, from, to] = m_relayout;
    const int count = parent ? parent->count() : m_nodes.rootCount();
    // The tree tells where each child was; otherwise each is looked up.
    const std::vector<int>& formerRows = m_nodes.reorderedRows();
    const bool told = formerRows.size() == size_t(count) && blocks.size() == size_t(count);
    const auto byAddress = [](const Block& a, const Block& b) {
        return std::less<>()(a.node, b.node);
    };
    if (!told)
        std::sort(blocks.begin(), blocks.end(), byAddress);
    const auto blockOf = [&](int i, const TreeNode* child) -> const Block* {
        if (told) {
            const int r = formerRows[size_t(i)];
            return r >= 0 && r < count ? &blocks[size_t(r)] : nullptr;
        }
        const auto it =
            std::lower_bound(blocks.begin(), blocks.end(), Block{child, 0, 0}, byAddress);
        return it == blocks.end() ? nullptr : &*it;
    };
    // The children's blocks in their new order; where each position went.
    std::vector<quint32> now(to - from);
    std::vector<TreeNode*> order;
    std::vector<Span> spans;
    order.reserve(to - from);
    spans.reserve(to - from);
    for (int i = 0; i < count; ++i) {
        const TreeNode* child = parent ? parent->item(i) : m_nodes.rootItem(i);
        const Block* b = blockOf(i, child);
        if (!b || b->node != child || order.size() + b->size > to - from) {
            reset(); // not a reorder of what the index held: made again
            return;
        }
        for (quint32 j = 0; j < b->size; ++j) {
            now[b->at + j - from] = quint32(from + order.size());
            order.push_back(m_order[b->at + j]);
            spans.push_back(m_spans[b->at + j]);
        }
    }
    if (order.size() != to - from) {
        reset();
        return;
    }
    if (permuteKeys(from, to, order, spans))
        return;
    // The live keys follow their nodes; stale ones match no span either way.
    for (Record& r : m_records)
        if (r.position >= from && r.position < to && m_spans[r.position].at == r.at)
            r.position = now[r.position - from];
    std::copy(order.begin(), order.end(), m_order.begin() + qsizetype(from));
    std::copy(spans.begin(), spans.end(), m_spans.begin() + qsizetype(from));
    m_sorted = m_records.empty() ? 0 : 1;
    while (m_sorted < m_records.size() &&
           m_records[m_sorted].position > m_records[m_sorted - 1].position)
        ++m_sorted;
}

bool FoldedIndex::permuteKeys(size_t from, size_t to, const std::vector<TreeNode*>& order,
                              const std::vector<Span>& spans)
{
    // When the range's keys lie together, in position order, each with its
    // one record among those in order (as after a build, a compaction or
    // another such reorder), the keys themselves trade places: the records
    // stay in order, and the work is the range's, not a look at every
    // record of the index (many reorders in one command).
    const auto sortedEnd = m_records.begin() + qsizetype(m_sorted);
    const auto first = std::partition_point(m_records.begin(), sortedEnd,
                                            [from](const Record& r) { return r.position < from; });
    if (size_t(sortedEnd - first) < to - from)
        return false;
    size_t bytes = 0;
    for (size_t i = 0; i < to - from; ++i) {
        const Record& r = first[qsizetype(i)];
        const Span s = m_spans[from + i];
        if (r.position != from + i || r.at != s.at || (i > 0 && s.at != first->at + bytes))
            return false;
        bytes += s.size;
    }
    std::string keys;
    keys.reserve(bytes);
    for (const Span& s : spans)
        keys.append(m_bytes, s.at, s.size);
    std::copy(keys.begin(), keys.end(), m_bytes.begin() + qsizetype(first->at));
    quint32 at = first->at;
    for (size_t i = 0; i < to - from; ++i) {
        m_order[from + i] = order[i];
        m_spans[from + i] = {at, spans[i].size};
        first[qsizetype(i)].at = at;
        at += spans[i].size;
    }
    return true;
}

bool FoldedIndex::needsCompaction() const
{
    // Stale keys fill half the buffer, or many keys lie out of order (a
    // search from a position reads all of those).
    return m_garbage > m_bytes.size() / 2 ||
           m_records.size() - m_sorted > m_records.size() / 8 + 64;
}

void FoldedIndex::forgetRun(TreeNode* first, TreeNode* last)
{
    ++m_generation;
    const TreeNode* stop = nextAfterSubtree(last);
    // Nothing noted may point at a node once it is gone.
    if (!m_inserted.empty() || !m_changed.empty()) {
        for (TreeNode* n = first; n && n != stop; n = n->getNext()) {
            m_inserted.erase(n);
            m_changed.erase(n);
        }
    }
    // The run's subtrees fill one range of positions (those still there).
    markDead(lowerBound(first), stop ? lowerBound(stop) : m_order.size());
}

void FoldedIndex::forget(TreeNode* node)
{
    ++m_generation;
    // Nothing noted may point at a node once it is gone.
    if (!m_inserted.empty() || !m_changed.empty()) {
        const TreeNode* stop = nextAfterSubtree(node);
        for (TreeNode* n = node; n && n != stop; n = n->getNext()) {
            m_inserted.erase(n);
            m_changed.erase(n);
        }
    }
    const size_t p = lowerBound(node);
    if (p >= m_order.size() || m_order[p] != node || isDead(p))
        return; // new since the last prepare()
    const TreeNode* next = nextAfterSubtree(node);
    markDead(p, next ? lowerBound(next) : m_order.size());
}

bool FoldedIndex::isDead(size_t position) const
{
    auto it = m_dead.upper_bound(position);
    if (it == m_dead.begin())
        return false;
    return position < std::prev(it)->second;
}

void FoldedIndex::markDead(size_t from, size_t to)
{
    if (from >= to)
        return;
    auto it = m_dead.upper_bound(from);
    if (it != m_dead.begin()) {
        auto before = std::prev(it);
        if (before->second >= from) {
            from = before->first;
            to = std::max(to, before->second);
            it = m_dead.erase(before);
        }
    }
    while (it != m_dead.end() && it->first <= to) {
        to = std::max(to, it->second);
        it = m_dead.erase(it);
    }
    m_dead.emplace(from, to);
}

size_t FoldedIndex::lowerBound(const TreeNode* node) const
{
    std::vector<int> target, probe;
    pathOf(node, target);
    size_t lo = 0, hi = m_order.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        size_t at = mid;
        size_t deadFrom = 0, deadTo = 0;
        if (!m_dead.empty()) {
            auto it = m_dead.upper_bound(mid);
            if (it != m_dead.begin() && mid < std::prev(it)->second) {
                deadFrom = std::prev(it)->first;
                deadTo = std::prev(it)->second;
                // Positions whose nodes went are skipped: the nearest one
                // still there stands in.
                if (deadTo < hi)
                    at = deadTo;
                else if (deadFrom > lo)
                    at = deadFrom - 1;
                else
                    return deadTo;
            }
        }
        pathOf(m_order[at], probe);
        if (std::lexicographical_compare(probe.begin(), probe.end(), target.begin(), target.end()))
            lo = at + 1;
        else
            hi = (deadTo > deadFrom && at == deadTo) ? deadFrom : at;
    }
    // Never inside a run of positions that went: the first one after it.
    if (!m_dead.empty()) {
        auto it = m_dead.upper_bound(lo);
        if (it != m_dead.begin() && lo < std::prev(it)->second)
            lo = std::prev(it)->second;
    }
    return lo;
}

// ---------------------------------------------------------------- making and mending

bool FoldedIndex::prepare()
{
    if (m_nodes.updating())
        return false;
    if (m_warming)
        warm(std::numeric_limits<qint64>::max()); // the rest now
    if (!m_valid)
        build();
    else if (!m_inserted.empty() || !m_dead.empty() || !m_changed.empty())
        apply();
    else if (needsCompaction())
        compact(); // after keys traded places
    return m_valid;
}

void FoldedIndex::restartWarmingLater()
{
    if (!m_warming)
        return;
    // The node keyed last may be going or moving: start again once the
    // tree has settled.
    m_warming = false;
    QTimer::singleShot(0, this, [this] { startWarming(); });
}

void FoldedIndex::startWarming()
{
    if (m_valid || m_nodes.updating())
        return;
    m_order.clear();
    m_spans.clear();
    m_records.clear();
    m_bytes.clear();
    m_changed.clear();
    m_warmNext = m_nodes.getFirstNode();
    m_warming = true;
    m_warmTimer.start();
}

bool FoldedIndex::warm(qint64 budgetMs)
{
    QElapsedTimer clock;
    clock.start();
    const size_t n = size_t(m_nodes.count());
    if (m_order.empty()) {
        m_order.reserve(n);
        m_spans.reserve(n);
        m_records.reserve(n);
        m_bytes.reserve(std::max(m_bytes.capacity(), n * 64));
    }
    int sinceClock = 0;
    while (m_warmNext) {
        Span s;
        if (!appendNodeKey(m_warmNext, s)) {
            release(); // too much text: the callers read the tree
            return true;
        }
        m_records.push_back({s.at, quint32(m_order.size())});
        m_order.push_back(m_warmNext);
        m_spans.push_back(s);
        m_warmNext = m_warmNext->getNext();
        if (++sinceClock == NodesBetweenClockReads) {
            sinceClock = 0;
            if (clock.elapsed() >= budgetMs)
                return false;
        }
    }
    if (m_bytes.capacity() > m_bytes.size() + m_bytes.size() / 4)
        m_bytes.shrink_to_fit();
    m_sorted = m_records.size();
    m_garbage = 0;
    m_warming = false;
    m_valid = true;
    return true;
}

void FoldedIndex::build()
{
    startWarming();
    if (m_warming)
        warm(std::numeric_limits<qint64>::max());
    m_warmTimer.stop();
}

void FoldedIndex::apply()
{
    const size_t n = m_order.size();
    // New texts at the old positions first.
    if (!m_changed.empty()) {
        const auto refold = [this](size_t p) {
            Span s;
            if (!appendNodeKey(m_order[p], s))
                return false;
            m_garbage += m_spans[p].size;
            m_spans[p] = s;
            m_records.push_back({s.at, quint32(p)});
            return true;
        };
        bool fits = true;
        if (m_changed.size() > n / 32) {
            for (size_t p = 0; p < n && fits; ++p)
                if (m_changed.count(m_order[p]) && !m_inserted.count(m_order[p]) && !isDead(p))
                    fits = refold(p);
        } else {
            for (TreeNode* node : m_changed) {
                if (m_inserted.count(node))
                    continue; // gets its key where it is placed
                const size_t p = lowerBound(node);
                if (p < n && m_order[p] == node && !isDead(p))
                    fits = fits && refold(p);
            }
        }
        m_changed.clear();
        if (!fits) {
            release();
            return;
        }
    }
    if (!m_inserted.empty() || !m_dead.empty()) {
        // Nodes inserted or moved, each with its subtree, where they belong
        // among the positions still there.
        struct Placed {
            size_t at;
            std::vector<int> path;
            TreeNode* node;
        };
        std::vector<Placed> placed;
        for (TreeNode* node : m_inserted) {
            bool under = false;
            for (const TreeNode* a = node->parent(); a && !under; a = a->parent())
                under = m_inserted.count(const_cast<TreeNode*>(a)) > 0;
            if (under)
                continue;
            Placed p{lowerBound(node), {}, node};
            pathOf(node, p.path);
            placed.push_back(std::move(p));
        }
        std::sort(placed.begin(), placed.end(), [](const Placed& a, const Placed& b) {
            return a.at != b.at ? a.at < b.at : a.path < b.path;
        });

        std::vector<TreeNode*> order;
        std::vector<Span> spans;
        std::vector<Record> fresh;
        order.reserve(size_t(m_nodes.count()));
        spans.reserve(size_t(m_nodes.count()));
        std::vector<quint32> moved(n, Gone);
        size_t k = 0;
        auto dead = m_dead.begin();
        for (size_t i = 0; i <= n; ++i) {
            for (; k < placed.size() && placed[k].at == i; ++k) {
                const TreeNode* stop = nextAfterSubtree(placed[k].node);
                for (TreeNode* x = placed[k].node; x && x != stop; x = x->getNext()) {
                    Span s;
                    if (!appendNodeKey(x, s)) {
                        release();
                        return;
                    }
                    fresh.push_back({s.at, quint32(order.size())});
                    order.push_back(x);
                    spans.push_back(s);
                }
            }
            if (i == n)
                break;
            while (dead != m_dead.end() && dead->second <= i)
                ++dead;
            if (dead != m_dead.end() && dead->first <= i) {
                m_garbage += m_spans[i].size;
                continue;
            }
            moved[i] = quint32(order.size());
            order.push_back(m_order[i]);
            spans.push_back(m_spans[i]);
        }
        std::vector<Record> records;
        records.reserve(m_records.size() + fresh.size());
        for (const Record& r : m_records)
            if (r.position < n && m_spans[r.position].at == r.at && moved[r.position] != Gone)
                records.push_back({r.at, moved[r.position]});
        records.insert(records.end(), fresh.begin(), fresh.end());
        m_order.swap(order);
        m_spans.swap(spans);
        m_records.swap(records);
        m_sorted = m_records.empty() ? 0 : 1;
        while (m_sorted < m_records.size() &&
               m_records[m_sorted].position > m_records[m_sorted - 1].position)
            ++m_sorted;
        m_inserted.clear();
        m_dead.clear();
    }
    if (needsCompaction())
        compact();
}

void FoldedIndex::compact()
{
    std::string bytes;
    bytes.reserve(m_bytes.size() - std::min(m_garbage, m_bytes.size()));
    m_records.resize(m_order.size());
    for (size_t p = 0; p < m_order.size(); ++p) {
        Span& s = m_spans[p];
        const quint32 at = quint32(bytes.size());
        bytes.append(m_bytes, s.at, s.size);
        s.at = at;
        m_records[p] = {at, quint32(p)};
    }
    m_bytes.swap(bytes);
    m_sorted = m_records.size();
    m_garbage = 0;
}
