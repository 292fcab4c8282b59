#pragma once
#include "catalogue/NodeTree.h"

#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

// The folded texts of every node, kept in the tree's full order (a node,
// its subtree, then its next sibling) for the search and the filter.
//
// The nodes and their texts lie all over the heap, and fetching them costs
// far more than comparing. So each node has a key in one buffer: its four
// fields (name, comment, location, additional value) folded with accents
// dropped (TextFolding), each followed by FieldEnd, which no folded text
// holds, so no needle is found across two fields or two keys. A name that
// is its location's last part (files and folders named after themselves)
// is kept only there. A scan reads
// the buffer from end to end and maps what it finds to nodes.
//
// The index follows the tree's model signals instead of being made again:
// renamed nodes and changed records get new keys at the end of the buffer;
// nodes inserted, moved or reordered are noted and placed, nodes removed
// drop out, all at the next prepare() in one pass over the order (no text
// is folded twice). The buffer is compacted when half of it is stale. Only
// a reset (a load, a restore) makes it again from the tree, and then a piece
// at a time while the event loop is idle, so that neither the first
// keystroke in the filter nor the event loop waits for a whole catalogue.
class FoldedIndex : public QObject
{
    Q_OBJECT
public:
    static constexpr int FieldCount = 4; // in the order of SearchField
    enum class Field { Name, Comment, Location, Additional };
    static constexpr char FieldEnd = '\x01';
    static constexpr size_t NotFound = size_t(-1);

    explicit FoldedIndex(NodeTree& nodes, QObject* parent = nullptr);
    ~FoldedIndex() override;

    // The text of one field of a node (empty when it has no record).
    static QStringView fieldText(const TreeNode* node, int field);
    // A node's key as the index keeps it: a name that is the last part of
    // the node's location is not kept twice.
    static void appendKey(std::string& out, const TreeNode* node);
    // One field of a key, folded (a name kept in the location found there).
    static std::string_view field(std::string_view key, int field);

    // Brings the index in step with the tree. False inside a bulk change
    // (the views hear of nothing until its end, so nothing kept can be
    // trusted) and for more text than 32-bit offsets reach: the caller then
    // reads the tree itself.
    bool prepare();
    // Drops everything (for measuring); the next prepare() makes it again.
    void release();

    const NodeTree& nodes() const { return m_nodes; }
    // Every node has its key: prepare() at most mends what changed since.
    bool ready() const { return m_valid; }
    size_t size() const { return m_order.size(); }
    TreeNode* node(size_t position) const { return m_order[position]; }
    std::string_view key(size_t position) const
    {
        const Span s = m_spans[position];
        return std::string_view(m_bytes.data() + s.at, s.size);
    }
    // Changes whenever a key or a position may have changed.
    quint64 generation() const { return m_generation; }

    // Sets the bit of each position whose key holds Needle (one bit per
    // position; Bits has room for all).
    void markHolding(std::string_view needle, std::vector<quint64>& bits) const;
    // The first position at or after From whose Field holds Needle and that
    // Accept takes (the caller's check against the node itself).
    size_t findFirst(std::string_view needle, int field, size_t from,
                     const std::function<bool(size_t)>& accept) const;

    // Heap bytes held (for measuring).
    size_t bytes() const;

private:
    struct Span {
        quint32 at = 0;
        quint32 size = 0;
    };
    // A key in the buffer and the position it was made for; stale once the
    // position's span points elsewhere. Sorted by At.
    struct Record {
        quint32 at;
        quint32 position;
    };

    void reset();
    void build();
    // Makes keys for the nodes from m_warmNext on for a short while; true
    // when the whole tree is done.
    bool warm(qint64 budgetMs);
    void startWarming();
    // Stops a warming under way and starts it again from the event loop.
    void restartWarmingLater();
    void apply();
    void compact();
    bool appendNodeKey(TreeNode* node, Span& span);
    // The record holding byte At, from R on.
    size_t recordAt(size_t r, size_t at) const;
    bool liveRecord(const Record& rec, size_t at) const;

    void inserted(const QModelIndex& parent, int first, int last);
    void aboutToRemove(const QModelIndex& parent, int first, int last);
    void aboutToMove(const QModelIndex& parent, int first, int last);
    void aboutToRelayout(const QList<QPersistentModelIndex>& parents);
    void relayouted();
    void textChanged(TreeNode* node);
    // Node and its subtree leave their positions (removed, or moved and
    // placed again as inserted).
    void forget(TreeNode* node);
    // The same for a run of siblings from First to Last.
    void forgetRun(TreeNode* first, TreeNode* last);
    // Before a reorder of m_relayout's parent: where its children's subtrees
    // lie. After it: the range in the new order.
    void noteBlocks();
    void permuteRange();
    // permuteRange's keys moved into the new order in place, when they lie
    // together in order; false leaves everything as it was.
    bool permuteKeys(size_t from, size_t to, const std::vector<TreeNode*>& order,
                     const std::vector<Span>& spans);
    bool needsCompaction() const;

    // The first position, among those still in the tree, whose node is not
    // before Node in full order.
    size_t lowerBound(const TreeNode* node) const;
    bool isDead(size_t position) const;
    void markDead(size_t from, size_t to);

    NodeTree& m_nodes;
    bool m_valid = false;
    quint64 m_generation = 0;

    std::string m_bytes;            // the keys, each once or more (stale ones)
    std::vector<TreeNode*> m_order; // position -> node
    std::vector<Span> m_spans;      // position -> key
    std::vector<Record> m_records;  // every key made since the last compaction
    size_t m_sorted = 0;            // records in front with rising positions
    size_t m_garbage = 0;           // bytes of stale keys

    // Since the last prepare(): nodes inserted or placed again; ranges of
    // positions whose nodes went; nodes with new texts.
    std::unordered_set<TreeNode*> m_inserted;
    std::map<size_t, size_t> m_dead; // from -> to, disjoint, never adjacent
    std::unordered_set<TreeNode*> m_changed;
    std::vector<TreeNode*> m_moving; // between a move's two signals
    // Between a reorder's two signals: the parent and the positions of
    // everything below it.
    struct Relayout {
        TreeNode* parent = nullptr;
        size_t from = 0, to = 0;
    };
    Relayout m_relayout;
    struct Block {
        const TreeNode* node; // a child of the parent, by address
        quint32 at, size;     // its subtree's positions
    };
    std::vector<Block> m_blocks;
    bool m_relayoutPending = false;

    // Making the keys in the background after a reset.
    QTimer m_warmTimer;
    TreeNode* m_warmNext = nullptr; // the next node to key
    bool m_warming = false;
};
