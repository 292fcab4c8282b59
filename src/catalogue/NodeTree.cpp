#include "catalogue/NodeTree.h"
#include "catalogue/ImageLists.h"
#include "catalogue/TreeEdits.h"

#include <QScopeGuard>

#include <algorithm>
#include <unordered_set>

void NodeTree::dropRefs(const TreeNode* gone)
{
    for (NodeRef* r = m_refs; r; r = r->m_next)
        if (r->m_node && (!gone || r->m_node->isUnder(gone)))
            r->m_node = nullptr;
}

void NodeTree::dropRefs(const std::unordered_set<const TreeNode*>& gone)
{
    for (NodeRef* r = m_refs; r; r = r->m_next)
        for (const TreeNode* n = r->m_node; n; n = n->m_parent)
            if (gone.count(n)) {
                r->m_node = nullptr;
                break;
            }
}

// A change of the shape, from before the views hear of it to after they
// heard it is done. Bulk changes reach the views as one reset instead.
class NodeTree::Change
{
public:
    Change(NodeTree& tree, bool tell) : m_tree(tree), m_tell(tell)
    {
        if (m_tell)
            ++m_tree.m_changing;
    }
    ~Change()
    {
        if (m_tell && --m_tree.m_changing == 0)
            Q_EMIT m_tree.changeFinished();
    }
    Change(const Change&) = delete;
    Change& operator=(const Change&) = delete;

private:
    NodeTree& m_tree;
    bool m_tell;
};

// ---------------------------------------------------------------- the tree

NodeTree::NodeTree(QObject* parent) : QAbstractItemModel(parent) {}

NodeTree::~NodeTree()
{
    while (m_refs)
        m_refs->detach();
}

TreeNode* NodeTree::nodeAtAbsoluteIndex(int index) const
{
    TreeNode* n = getFirstNode();
    for (int i = 0; n && i < index; ++i)
        n = n->getNext();
    return index >= 0 ? n : nullptr;
}

TreeNode* NodeTree::place(TreeNode* parent, int row, NewNode made)
{
    auto node = std::make_unique<TreeNode>();
    node->m_text = std::move(made.text);
    node->putRecord(std::move(made.info));
    node->setImageIndex(made.image);
    node->m_parent = parent;
    node->m_row = row;
    TreeNode* raw = node.get();
    if (m_updating && row == parent->count()) {
        // A load appends node after node: nobody is told, nothing moves.
        parent->m_children.edit().push_back(std::move(node));
        ++m_total;
        recordPlaced(parent, raw);
        return raw;
    }
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginInsertRows(parent == &m_root ? QModelIndex() : indexOf(parent), row, row);
    ChildList::Vector& kids = parent->m_children.edit();
    kids.insert(kids.begin() + row, std::move(node));
    renumber(parent, row);
    ++m_total;
    if (tell)
        endInsertRows();
    recordPlaced(parent, raw);
    return raw;
}

void NodeTree::recordPlaced(TreeNode* parent, TreeNode* node)
{
    if (recording(parent)) {
        m_recorder->inserted(pathOf(node));
        m_recorder->m_bulk = m_recorder->m_bulk || m_updating;
    } else {
        shapeChanged(parent);
    }
}

std::vector<TreeNode*> NodeTree::insertNodes(TreeNode* parent, int row, std::vector<NewNode> nodes)
{
    std::vector<TreeNode*> made;
    if (nodes.empty())
        return made;
    TreeNode* p = parentOrRoot(parent);
    row = std::clamp(row, 0, p->count());
    std::vector<std::unique_ptr<TreeNode>> run;
    run.reserve(nodes.size());
    made.reserve(nodes.size());
    for (NewNode& n : nodes) {
        auto node = std::make_unique<TreeNode>();
        node->m_text = std::move(n.text);
        node->putRecord(std::move(n.info));
        node->setImageIndex(n.image);
        node->m_parent = p;
        made.push_back(node.get());
        run.push_back(std::move(node));
    }
    const int last = row + int(run.size()) - 1;
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginInsertRows(p == &m_root ? QModelIndex() : indexOf(p), row, last);
    ChildList::Vector& kids = p->m_children.edit();
    kids.insert(kids.begin() + row, std::make_move_iterator(run.begin()),
                std::make_move_iterator(run.end()));
    renumber(p, row);
    m_total += int(run.size());
    if (tell)
        endInsertRows();
    // Recorded as node after node, as places one by one would be.
    for (TreeNode* n : made)
        recordPlaced(p, n);
    return made;
}

TreeNode* NodeTree::appendSubtree(TreeNode* parent, NewSubtree subtree)
{
    TreeNode* p = parentOrRoot(parent);
    TreeNode* top = subtree.m_top.get();
    std::vector<std::unique_ptr<TreeNode>> run;
    run.push_back(std::move(subtree.m_top));
    putRun(p, p->count(), std::move(run));
    recordPlaced(p, top);
    return top;
}

TreeNode* NodeTree::addChild(TreeNode* parent, const QString& text)
{
    TreeNode* p = parentOrRoot(parent);
    return place(p, p->count(), {text, nullptr, -1});
}

TreeNode* NodeTree::appendNode(TreeNode* parent, NewNode node)
{
    TreeNode* p = parentOrRoot(parent);
    return place(p, p->count(), std::move(node));
}

TreeNode* NodeTree::insertNode(TreeNode* sibling, const QString& text)
{
    if (!sibling)
        return addChild(nullptr, text);
    return place(sibling->m_parent, sibling->m_row, {text, nullptr, -1});
}

void NodeTree::renumber(TreeNode* parent, int from)
{
    const ChildList& kids = parent->m_children;
    for (size_t i = size_t(std::max(from, 0)); i < kids.size(); ++i)
        kids.at(i)->m_row = int(i);
}

void NodeTree::moveTo(TreeNode* node, TreeNode* newParent, int row)
{
    TreeNode* to = parentOrRoot(newParent);
    TreeNode* from = node->m_parent;
    if (to->isUnder(node))
        return; // a node cannot move into its own subtree
    const int fromRow = node->m_row;
    row = std::clamp(row, 0, to->count());
    if (from == to && (row == fromRow || row == fromRow + 1))
        return;
    const bool record = recording(from) && recording(to);
    NodePath before;
    if (record)
        before = pathOf(node);
    else
        shapeChanged(from);
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginMoveRows(from == &m_root ? QModelIndex() : indexOf(from), fromRow, fromRow,
                      to == &m_root ? QModelIndex() : indexOf(to), row);
    ChildList::Vector& fromKids = from->m_children.edit();
    std::unique_ptr<TreeNode> owned = std::move(fromKids[size_t(fromRow)]);
    fromKids.erase(fromKids.begin() + fromRow);
    if (from == to && row > fromRow)
        --row;
    owned->m_parent = to;
    ChildList::Vector& toKids = to->m_children.edit();
    toKids.insert(toKids.begin() + row, std::move(owned));
    renumber(from, std::min(fromRow, row));
    if (from != to)
        renumber(to, row);
    if (tell)
        endMoveRows();
    if (record)
        m_recorder->moved(std::move(before), pathOf(node));
}

void NodeTree::reorder(TreeNode* parent, const std::vector<TreeNode*>& order)
{
    TreeNode* p = parentOrRoot(parent);
    if (order.size() != p->m_children.size())
        return;
    const bool tell = !m_updating;
    const Change change(*this, tell);
    QModelIndexList before;
    if (tell) {
        Q_EMIT layoutAboutToBeChanged(
            {p == &m_root ? QPersistentModelIndex() : QPersistentModelIndex(indexOf(p))},
            QAbstractItemModel::VerticalSortHint);
        before = persistentIndexList();
    }
    std::vector<int> rows;
    rows.reserve(order.size());
    for (TreeNode* n : order)
        rows.push_back(n->m_row);
    if (recording(p))
        m_recorder->reordered(pathOf(p), rows);
    else
        shapeChanged(p);
    std::vector<std::unique_ptr<TreeNode>> sorted;
    sorted.reserve(order.size());
    ChildList::Vector& kids = p->m_children.edit();
    for (TreeNode* n : order)
        sorted.push_back(std::move(kids[size_t(n->m_row)]));
    kids = std::move(sorted);
    renumber(p, 0);
    if (tell) {
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& i : before) {
            auto* n = nodeOf(i);
            after.append(n ? createIndex(n->m_row, i.column(), n) : QModelIndex());
        }
        changePersistentIndexList(before, after);
        m_reorderedRows = std::move(rows);
        const auto forget = qScopeGuard([this] { m_reorderedRows = {}; });
        Q_EMIT layoutChanged(
            {p == &m_root ? QPersistentModelIndex() : QPersistentModelIndex(indexOf(p))},
            QAbstractItemModel::VerticalSortHint);
    }
}

int NodeTree::subtreeSize(const TreeNode* node)
{
    int n = 0;
    std::vector<const TreeNode*> pending{node};
    while (!pending.empty()) {
        const TreeNode* t = pending.back();
        pending.pop_back();
        ++n;
        for (const auto& c : t->m_children)
            pending.push_back(c.get());
    }
    return n;
}

std::vector<std::unique_ptr<TreeNode>> NodeTree::takeRun(TreeNode* p, int first, int last)
{
    for (int r = first; r <= last; ++r)
        Q_EMIT nodeDeleting(p->item(r));
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginRemoveRows(p == &m_root ? QModelIndex() : indexOf(p), first, last);
    std::unordered_set<const TreeNode*> run;
    for (int r = first; r <= last; ++r)
        run.insert(p->item(r));
    // Also what the views' reactions to the announcement took hold of.
    dropRefs(run);
    std::vector<std::unique_ptr<TreeNode>> taken;
    taken.reserve(size_t(last - first + 1));
    ChildList::Vector& kids = p->m_children.edit();
    for (int r = first; r <= last; ++r) {
        m_total -= subtreeSize(p->item(r));
        taken.push_back(std::move(kids[size_t(r)]));
    }
    // One erase for the whole run: many rows must not cost a shift of the
    // rest per node.
    kids.erase(kids.begin() + first, kids.begin() + last + 1);
    renumber(p, first);
    if (tell)
        endRemoveRows();
    dropRefs(run);
    for (auto& n : taken)
        n->m_parent = nullptr;
    return taken;
}

void NodeTree::putRun(TreeNode* p, int row, std::vector<std::unique_ptr<TreeNode>> nodes)
{
    if (nodes.empty())
        return;
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginInsertRows(p == &m_root ? QModelIndex() : indexOf(p), row,
                        row + int(nodes.size()) - 1);
    for (auto& n : nodes) {
        n->m_parent = p;
        m_total += subtreeSize(n.get());
    }
    ChildList::Vector& kids = p->m_children.edit();
    kids.insert(kids.begin() + row, std::make_move_iterator(nodes.begin()),
                std::make_move_iterator(nodes.end()));
    renumber(p, row);
    if (tell)
        endInsertRows();
}

void NodeTree::removeRun(TreeNode* p, int first, int last)
{
    if (recording(p)) {
        NodePath at = pathOf(p->item(first));
        m_recorder->removed(std::move(at), takeRun(p, first, last));
        m_recorder->m_bulk = m_recorder->m_bulk || m_updating;
    } else {
        shapeChanged(p);
        takeRun(p, first, last); // freed here
    }
}

void NodeTree::shapeChanged(const TreeNode*)
{
    if (m_addressesHeld && !m_recorder) {
        m_addressesHeld = false;
        Q_EMIT unrecordedChange();
    }
}

void NodeTree::recordRecord(TreeNode* node, std::unique_ptr<NodeInfo> before)
{
    m_recorder->recordChanged(pathOf(node), std::move(before));
}

void NodeTree::deleteNode(TreeNode* node)
{
    if (!node || node == &m_root)
        return;
    removeRun(node->m_parent, node->m_row, node->m_row);
}

void NodeTree::deleteNodes(std::vector<TreeNode*> nodes)
{
    // By parent, and within one parent from the last row up, so that the
    // rows of the runs still to go stay as they are. The keys are read once
    // into one array: a comparison that visits two nodes all over the heap
    // costs a cache miss each, many times over for many nodes.
    struct Key {
        const TreeNode* parent;
        int row;
        TreeNode* node;
    };
    std::vector<Key> keys;
    keys.reserve(nodes.size());
    for (TreeNode* n : nodes)
        keys.push_back({n->m_parent, n->m_row, n});
    std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
        return a.parent != b.parent ? std::less<>()(a.parent, b.parent) : a.row > b.row;
    });
    for (size_t k = 0; k < keys.size(); ++k)
        nodes[k] = keys[k].node;
    keys = {};
    nodes.erase(std::unique(nodes.begin(), nodes.end()), nodes.end());
    // Each parent's groups, from its last row up.
    struct Group {
        TreeNode* parent;
        size_t begin, end, runs;
    };
    std::vector<Group> groups;
    for (size_t i = 0; i < nodes.size();) {
        TreeNode* p = nodes[i]->m_parent;
        size_t end = i + 1, runs = 1;
        for (; end < nodes.size() && nodes[end]->m_parent == p; ++end)
            if (nodes[end]->m_row != nodes[end - 1]->m_row - 1)
                ++runs;
        groups.push_back({p, i, end, runs});
        i = end;
    }
    // Each run costs a shift of the rows after it; scattered among many
    // siblings, the doomed are first brought together at the end (one
    // change of layout) and then go as one run. Every parent's are gathered
    // before any goes, so that what follows the tree (the folded index) has
    // no removal pending to work in at each change of layout.
    for (const Group& g : groups)
        if (g.runs > MaxRunsInPlace)
            gatherAtEnd(g.parent,
                        {nodes.begin() + qsizetype(g.begin), nodes.begin() + qsizetype(g.end)});
    for (const Group& g : groups) {
        for (size_t i = g.begin; i < g.end;) {
            size_t j = i + 1;
            while (j < g.end && nodes[j]->m_row == nodes[j - 1]->m_row - 1)
                ++j;
            removeRun(g.parent, nodes[j - 1]->m_row, nodes[i]->m_row);
            i = j;
        }
    }
}

void NodeTree::gatherAtEnd(TreeNode* parent, const std::vector<TreeNode*>& doomed)
{
    const std::unordered_set<const TreeNode*> going(doomed.begin(), doomed.end());
    std::vector<TreeNode*> order;
    order.reserve(parent->m_children.size());
    for (const auto& c : parent->m_children)
        if (!going.count(c.get()))
            order.push_back(c.get());
    for (const auto& c : parent->m_children)
        if (going.count(c.get()))
            order.push_back(c.get());
    reorder(parent == &m_root ? nullptr : parent, order);
}

void NodeTree::gatherLast(TreeNode* parent, const std::vector<TreeNode*>& children)
{
    gatherAtEnd(parentOrRoot(parent), children);
}

void NodeTree::deleteRows(TreeNode* parent, int first, int last)
{
    TreeNode* p = parentOrRoot(parent);
    if (first >= 0 && first <= last && last < p->count())
        removeRun(p, first, last);
}

void NodeTree::deleteRoots(int first, int count)
{
    if (count <= 0)
        return;
    removeRun(&m_root, first, first + count - 1);
}

void NodeTree::clear()
{
    if (m_recorder) {
        if (rootCount() > 0)
            removeRun(&m_root, 0, rootCount() - 1);
        return;
    }
    shapeChanged(&m_root);
    for (const auto& n : m_root.m_children)
        Q_EMIT nodeDeleting(n.get());
    const bool tell = !m_updating;
    const Change change(*this, tell);
    if (tell)
        beginResetModel();
    dropRefs(nullptr);
    m_root.m_children = ChildList();
    m_total = 0;
    if (tell)
        endResetModel();
}

void NodeTree::changed(TreeNode* node, int role)
{
    if (m_updating)
        return;
    const QModelIndex i = indexOf(node);
    Q_EMIT dataChanged(i, i, {role});
}

void NodeTree::setText(TreeNode* node, const QString& text)
{
    if (node->m_text == text)
        return;
    if (recording(node->m_parent) && !m_updating)
        m_recorder->textChanged(pathOf(node), node->m_text);
    node->m_text = text;
    changed(node, Qt::DisplayRole);
    Q_EMIT nodeRenamed(node);
}

void NodeTree::setImage(TreeNode* node, int index)
{
    if (node->m_image == index)
        return;
    if (recording(node->m_parent) && !m_updating)
        m_recorder->imageChanged(pathOf(node), node->m_image);
    node->setImageIndex(index);
    changed(node, Qt::DecorationRole);
}

void NodeTree::setNodeData(TreeNode* node, std::unique_ptr<NodeInfo> info)
{
    if (recording(node->m_parent) && !m_updating)
        recordRecord(node, node->takeRecord());
    node->putRecord(std::move(info));
    Q_EMIT recordChanged(node);
}

void NodeTree::beginUpdate()
{
    if (m_updating++ == 0) {
        Q_EMIT updatesSuspended(true);
        beginResetModel();
    }
}

void NodeTree::endUpdate()
{
    if (m_updating > 0 && --m_updating == 0) {
        endResetModel();
        Q_EMIT updatesSuspended(false);
    }
}

NodePath NodeTree::pathOf(const TreeNode* node) const
{
    NodePath path;
    for (const TreeNode* n = node; n && n != &m_root; n = n->m_parent)
        path.push_back(n->m_row);
    std::reverse(path.begin(), path.end());
    return path;
}

TreeNode* NodeTree::nodeAt(const NodePath& path) const
{
    const TreeNode* n = &m_root;
    for (int row : path) {
        if (row < 0 || row >= n->count())
            return nullptr;
        n = n->item(row);
    }
    return n == &m_root ? nullptr : const_cast<TreeNode*>(n);
}

QModelIndex NodeTree::indexOf(const TreeNode* node) const
{
    if (!node || node == &m_root)
        return {};
    return createIndex(node->m_row, 0, const_cast<TreeNode*>(node));
}

TreeNode* NodeTree::nodeOf(const QModelIndex& index)
{
    return index.isValid() ? static_cast<TreeNode*>(index.internalPointer()) : nullptr;
}

QModelIndex NodeTree::index(int row, int column, const QModelIndex& parent) const
{
    const TreeNode* p = parent.isValid() ? nodeOf(parent) : &m_root;
    if (column != 0 || row < 0 || row >= p->count())
        return {};
    return createIndex(row, column, p->item(row));
}

QModelIndex NodeTree::parent(const QModelIndex& child) const
{
    const TreeNode* n = nodeOf(child);
    if (!n || !n->m_parent || n->m_parent == &m_root)
        return {};
    return indexOf(n->m_parent);
}

int NodeTree::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const TreeNode* p = parent.isValid() ? nodeOf(parent) : &m_root;
    return p->count();
}

int NodeTree::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant NodeTree::data(const QModelIndex& index, int role) const
{
    const TreeNode* n = nodeOf(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->m_text;
    case Qt::DecorationRole:
        if (m_images)
            return m_images->icon(n->m_image);
        return {};
    default:
        return {};
    }
}

bool NodeTree::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TreeNode* n = nodeOf(index);
    if (!n || role != Qt::EditRole)
        return false;
    const QString text = value.toString();
    if (m_steps && text != n->m_text) {
        m_steps->openStep(QStringLiteral("Rename \"%1\"").arg(text));
        setText(n, text);
        m_steps->closeStep();
    } else {
        setText(n, text);
    }
    return true;
}

Qt::ItemFlags NodeTree::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // The first node of the tree (the built-in category) keeps its name.
    const TreeNode* n = nodeOf(index);
    if (n != getFirstNode())
        f |= Qt::ItemIsEditable;
    // Expand all then marks only what can hold entries as expanded: one
    // kept index per entry would slow every later change of the tree.
    if (!n->hasChildren() && !n->isCategory())
        f |= Qt::ItemNeverHasChildren;
    return f;
}
