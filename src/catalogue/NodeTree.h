#pragma once
#include "catalogue/NodeInfo.h"

#include <QAbstractItemModel>
#include <cstdint>
#include <functional>
#include <memory>
#include <unordered_set>
#include <utility>
#include <vector>

class NodeTree;
class ImageList;
class TreeNode;
class TreeEdits;

// A node's address that holds while the node is out of the tree and back:
// its rows from the root down. Recorded changes find their nodes by it.
using NodePath = std::vector<int>;

// A node held across anything that may take it out of the tree (a dialog, a
// question, a turn of the event loop): it reads as null from the moment the
// node, or a node above it, is removed. Every removal looks at each live
// reference, so a command keeps a few, not one per node of a catalogue.
class NodeRef
{
public:
    NodeRef() = default;
    NodeRef(NodeTree& tree, TreeNode* node) { attach(&tree, node); }
    NodeRef(const NodeRef& other) { attach(other.m_tree, other.m_node); }
    NodeRef& operator=(const NodeRef& other);
    ~NodeRef() { detach(); }

    TreeNode* get() const { return m_node; }
    operator TreeNode*() const { return m_node; }
    TreeNode* operator->() const { return m_node; }

private:
    friend class NodeTree;
    void attach(NodeTree* tree, TreeNode* node);
    void detach();

    NodeTree* m_tree = nullptr;
    TreeNode* m_node = nullptr;
    NodeRef* m_prev = nullptr; // the tree's live references, a list through them
    NodeRef* m_next = nullptr;
};

// Makes user steps (the undo history's) of what the views change through the
// model: a rename in place is one step of its own.
class StepScopes
{
public:
    virtual ~StepScopes() = default;
    virtual void openStep(const QString& text) = 0;
    virtual void closeStep() = 0;
};

// A node's children, in order. One pointer while there are none, as for
// every entry that is not a category.
class ChildList
{
public:
    using Owned = std::unique_ptr<TreeNode>;
    using Vector = std::vector<Owned>;

    size_t size() const { return m_nodes ? m_nodes->size() : 0; }
    bool empty() const { return !m_nodes || m_nodes->empty(); }
    const Owned* begin() const { return m_nodes ? m_nodes->data() : nullptr; }
    const Owned* end() const { return m_nodes ? m_nodes->data() + m_nodes->size() : nullptr; }
    TreeNode* at(size_t i) const { return (*m_nodes)[i].get(); }
    TreeNode* front() const { return m_nodes->front().get(); }
    TreeNode* back() const { return m_nodes->back().get(); }
    // The children for a change (made on first use).
    Vector& edit()
    {
        if (!m_nodes)
            m_nodes = std::make_unique<Vector>();
        return *m_nodes;
    }
    std::unique_ptr<Vector> release() { return std::move(m_nodes); }

private:
    std::unique_ptr<Vector> m_nodes;
};

// One catalogue entry in the tree: display text, image, record and ordered
// children. Changes go through NodeTree so that views stay in step.
class TreeNode
{
    friend class NodeTree;
    friend class NodeRef;
    friend class TreeEdits;
    friend class NewSubtree;

public:
    TreeNode() = default;
    ~TreeNode();
    TreeNode(const TreeNode&) = delete;
    TreeNode& operator=(const TreeNode&) = delete;

    const QString& text() const { return m_text; }
    int imageIndex() const { return m_image; }
    int selectedIndex() const { return m_image; } // always the same as the image
    // The node's record, or null for a node made without one. A change of
    // it goes through NodeTree::editRecord, which tells the searches.
    NodeInfo* data() const { return m_hasRecord ? &m_info : nullptr; }

    // Parent node, or nullptr for a root node.
    TreeNode* parent() const { return (m_parent && m_parent->m_parent) ? m_parent : nullptr; }
    int count() const { return int(m_children.size()); }
    bool hasChildren() const { return !m_children.empty(); }
    TreeNode* item(int i) const { return m_children.at(size_t(i)); }
    int index() const { return m_row; } // position among its siblings
    int level() const;                  // depth; root nodes are 0
    int absoluteIndex() const;          // position in the tree's full order

    TreeNode* getFirstChild() const { return m_children.empty() ? nullptr : m_children.front(); }
    TreeNode* getLastChild() const { return m_children.empty() ? nullptr : m_children.back(); }
    TreeNode* getNextSibling() const;
    TreeNode* getPrevSibling() const;
    TreeNode* getNext() const; // next node in full order (depth first)

    // True when this node is Ancestor or lies somewhere below it.
    bool isUnder(const TreeNode* ancestor) const;

    // True for a category (a node without a record is none).
    bool isCategory() const { return m_hasRecord && m_info.kind == NodeKind::Category; }

private:
    // The record as an owned copy (null without one), and its replacement.
    std::unique_ptr<NodeInfo> takeRecord();
    void putRecord(std::unique_ptr<NodeInfo> info);
    void setImageIndex(int index);

    // A catalogue holds one node per entry: the fields are laid out so that
    // a node fills malloc's 96-byte chunk. The small ones sit in the
    // record's tail padding (no_unique_address lets them).
    [[no_unique_address]] mutable NodeInfo m_info;
    bool m_hasRecord = false;
    std::int16_t m_image = -1; // an index into the image lists, which hold a few hundred
    int m_row = 0;
    TreeNode* m_parent = nullptr; // the hidden root for root nodes
    ChildList m_children;
    QString m_text;
};

// A node made whole before it joins the tree: its text, record and image.
struct NewNode {
    QString text;
    std::unique_ptr<NodeInfo> info;
    int image = -1;
};

// Nodes made whole out of the tree under one top node (an import): the tree
// hears of them once, as one new row, when appendSubtree places them, not
// once per node with a walk of the views' and searches' state each time.
class NewSubtree
{
public:
    explicit NewSubtree(NewNode top);
    TreeNode* top() const { return m_top.get(); }
    // Appends Node as the last child of Parent, a node of this subtree.
    TreeNode* append(TreeNode* parent, NewNode node);

private:
    friend class NodeTree;
    std::unique_ptr<TreeNode> m_top;
};

// The tree's node collection, shown by the tree view through this model.
class NodeTree : public QAbstractItemModel
{
    Q_OBJECT
public:
    explicit NodeTree(QObject* parent = nullptr);
    ~NodeTree() override;

    // Small icons used for the decoration role; not owned.
    void setImages(const ImageList* images) { m_images = images; }

    TreeNode* getFirstNode() const { return m_root.getFirstChild(); }
    int rootCount() const { return m_root.count(); }
    TreeNode* rootItem(int i) const { return m_root.item(i); }
    int count() const { return m_total; } // all nodes at every depth
    TreeNode* nodeAtAbsoluteIndex(int index) const;

    // Appends a node as last child of Parent (a root node when Parent is null).
    TreeNode* addChild(TreeNode* parent, const QString& text);
    // Inserts a node as sibling right before Sibling.
    TreeNode* insertNode(TreeNode* sibling, const QString& text);
    // Appends a node made whole as last child of Parent (null: a root node).
    TreeNode* appendNode(TreeNode* parent, NewNode node);
    // Places Nodes as one run of rows from Row on among Parent's children
    // (null: the root nodes). The views hear of the run once and the rows
    // after it are numbered again once, wherever the run goes.
    std::vector<TreeNode*> insertNodes(TreeNode* parent, int row, std::vector<NewNode> nodes);
    // Appends a subtree made out of the tree as last child of Parent (null:
    // a root node): one insertion for the views, one change to undo.
    TreeNode* appendSubtree(TreeNode* parent, NewSubtree subtree);
    // Moves Node (with its subtree) to position Row among NewParent's children.
    void moveTo(TreeNode* node, TreeNode* newParent, int row);
    // Reorders Parent's children (null: the root nodes) to the given order,
    // which must hold each of them exactly once.
    void reorder(TreeNode* parent, const std::vector<TreeNode*>& order);
    // While a reorder tells its layoutChanged: the former row of each child
    // in its new order, so a listener follows it without looking the nodes
    // up. Empty otherwise.
    const std::vector<int>& reorderedRows() const { return m_reorderedRows; }
    void deleteNode(TreeNode* node);
    // Deletes Nodes, each with all below it (none may lie below another of
    // them). Neighbours under one parent go in one step, so that views hear
    // of a run of rows once, not of each row.
    void deleteNodes(std::vector<TreeNode*> nodes);
    // Deletes Count root nodes from position First on, with all below them.
    void deleteRoots(int first, int count);
    // The pieces of deleteNodes, for a removal done a part at a time:
    // Children (of Parent, null: the root nodes) move after the others in
    // their order, as one change of layout; rows First to Last of Parent go
    // with all below them.
    void gatherLast(TreeNode* parent, const std::vector<TreeNode*>& children);
    void deleteRows(TreeNode* parent, int first, int last);
    void clear();

    void setText(TreeNode* node, const QString& text);
    void setImage(TreeNode* node, int index); // image and selected image alike
    void setNodeData(TreeNode* node, std::unique_ptr<NodeInfo> info);
    // Changes a node's record in place through change (called with the
    // record) and tells the searches, which keep folded copies of the texts.
    template <class F> void editRecord(TreeNode* node, F&& change)
    {
        if (!node->m_hasRecord)
            return;
        if (recording(node->m_parent) && !m_updating)
            recordRecord(node, std::make_unique<NodeInfo>(node->m_info));
        std::forward<F>(change)(node->m_info);
        Q_EMIT recordChanged(node);
    }

    // Bulk changes: views are told once, at the last EndUpdate.
    void beginUpdate();
    void endUpdate();
    bool updating() const { return m_updating > 0; }

    // True from the signals that announce a change of the tree's shape to
    // those that say it is done. A view's reaction to the change (the tree's
    // current row moving off a removed node) waits for changeFinished()
    // before it changes what is listed or the tree itself.
    bool changing() const { return m_changing > 0; }

    // Asks views to expand Node (one level, or the whole subtree).
    void expand(TreeNode* node, bool recursive) { Q_EMIT expandRequested(node, recursive); }

    NodePath pathOf(const TreeNode* node) const;
    TreeNode* nodeAt(const NodePath& path) const; // null when no node is there

    // While Edits is set, every change is written there, and removed nodes
    // are kept there instead of freed, so that the change can be reversed.
    // In a bulk change only whole root entries coming and going are written:
    // a bulk change (a restore) builds new roots and drops old ones.
    void setRecorder(TreeEdits* edits) { m_recorder = edits; }
    void setStepScopes(StepScopes* scopes) { m_steps = scopes; }
    StepScopes* stepScopes() const { return m_steps; }
    TreeEdits* recorder() const { return m_recorder; }
    // Set while recorded changes are kept: a change of the shape that nobody
    // records then says so once (unrecordedChange), as the recorded addresses
    // may no longer hold.
    void setAddressesHeld(bool held) { m_addressesHeld = held; }

    QModelIndex indexOf(const TreeNode* node) const;
    static TreeNode* nodeOf(const QModelIndex& index);

    // QAbstractItemModel
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    // Drags of a node inside this program (NodeTreeDragDrop.cpp). The drag
    // carries the program's process and the drag's number; the node itself
    // stays here, held, so another running copy's drag is never read as one
    // of this tree's nodes and a node that goes meanwhile is no source.
    static constexpr const char* NodesMimeType = "application/x-quillmere-nodes";
    // The data of a drag of Node (the tree's views and the list's alike).
    QMimeData* nodeMimeData(TreeNode* node) const;
    // The node a drag of this program carries, or null.
    TreeNode* draggedNode(const QMimeData* data) const;
    // Where a node dropped onto Target goes: into a category as its first
    // child, onto the first node as the last top-level node, onto an entry
    // just before it. Parent null: the top level.
    struct DropPlace {
        TreeNode* parent = nullptr;
        int row = 0;
    };
    DropPlace dropPlace(const TreeNode* target) const;
    // Says no to drops that would place a node under Parent (a category
    // that is never saved).
    void setDropRefusal(std::function<bool(const TreeNode* parent)> refuses)
    {
        m_dropRefusal = std::move(refuses);
    }
    bool refusesDropOnto(const TreeNode* target) const;
    // Says no to moving Node by a drop (a category that stays where the
    // program keeps it); a copy of it may still be made.
    void setMoveRefusal(std::function<bool(const TreeNode* node)> refuses)
    {
        m_moveRefusal = std::move(refuses);
    }
    // A drop of Source onto Target as Action (a move or a copy) is refused.
    bool refusesDrop(const TreeNode* source, const TreeNode* target, Qt::DropAction action) const;
    // A drop onto a row (Parent, with Row and Column -1): the node dragged
    // moves there, or a copy of it (record and picture, no children) is
    // made there; one undo step each. Never into its own subtree.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;
    Qt::DropActions supportedDropActions() const override;
    bool canDropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                         const QModelIndex& parent) const override;
    bool dropMimeData(const QMimeData* data, Qt::DropAction action, int row, int column,
                      const QModelIndex& parent) override;

Q_SIGNALS:
    // Node and everything below it are about to go: drop references to them.
    void nodeDeleting(TreeNode* node);
    void nodeRenamed(TreeNode* node);
    // A node's record was replaced or changed through editRecord.
    void recordChanged(TreeNode* node);
    void expandRequested(TreeNode* node, bool recursive);
    void updatesSuspended(bool suspended);
    // A change of the shape is through and every view has been told.
    void changeFinished();
    // The shape changed with nothing recording it while addresses were held.
    void unrecordedChange();
    // A drop made or moved Node.
    void nodeDropped(TreeNode* node);

private:
    friend class NodeRef;
    friend class TreeEdits;
    class Change;
    bool recording(const TreeNode* parent) const
    {
        return m_recorder && (!m_updating || parent == &m_root);
    }
    void recordRecord(TreeNode* node, std::unique_ptr<NodeInfo> before);
    void shapeChanged(const TreeNode* parent);
    // Remove-and-keep: rows First to Last of Parent leave the tree whole.
    std::vector<std::unique_ptr<TreeNode>> takeRun(TreeNode* parent, int first, int last);
    // Its reverse: Nodes go back as rows of Parent from Row on.
    void putRun(TreeNode* parent, int row, std::vector<std::unique_ptr<TreeNode>> nodes);
    // Takes the run out and records it, or frees it.
    void removeRun(TreeNode* parent, int first, int last);
    TreeNode* place(TreeNode* parent, int row, NewNode made);
    // Records a node just placed, or tells that the shape changed unrecorded.
    void recordPlaced(TreeNode* parent, TreeNode* node);
    TreeNode* parentOrRoot(TreeNode* node) { return node ? node : &m_root; }
    void renumber(TreeNode* parent, int from);
    // Runs of one parent's rows that deleteNodes removes one by one; past
    // this many they are brought together first.
    static constexpr size_t MaxRunsInPlace = 8;
    void gatherAtEnd(TreeNode* parent, const std::vector<TreeNode*>& doomed);
    void changed(TreeNode* node, int role);
    static int subtreeSize(const TreeNode* node);
    // References to Gone or below it turn null (all of them without Gone).
    void dropRefs(const TreeNode* gone);
    void dropRefs(const std::unordered_set<const TreeNode*>& gone);

    TreeNode m_root;
    const ImageList* m_images = nullptr;
    int m_total = 0;
    int m_updating = 0;
    int m_changing = 0;
    NodeRef* m_refs = nullptr;
    TreeEdits* m_recorder = nullptr;
    StepScopes* m_steps = nullptr;
    bool m_addressesHeld = false;
    std::function<bool(const TreeNode*)> m_dropRefusal;
    std::function<bool(const TreeNode*)> m_moveRefusal;
    mutable NodeRef m_dragged; // the node of the latest drag
    mutable quint64 m_dragNumber = 0;
    std::vector<int> m_reorderedRows;
};
