#include "catalogue/TreeEdits.h"

#include <utility>

TreeEdits::TreeEdits() = default;
TreeEdits::~TreeEdits() = default;

void TreeEdits::addOutside(std::function<bool()> reverse, std::function<bool()> repeat)
{
    m_outside.push_back({std::move(reverse), std::move(repeat)});
}

void TreeEdits::inserted(NodePath at)
{
    // A node placed right after the run just placed before it joins that
    // run (a drop of many files, a restore's roots): one replay, one signal.
    if (!m_edits.empty()) {
        Edit& last = m_edits.back();
        if (last.kind == Kind::Insert && last.at.size() == at.size() &&
            std::equal(at.begin(), at.end() - 1, last.at.begin()) &&
            at.back() == last.at.back() + last.count) {
            ++last.count;
            return;
        }
    }
    Edit e{Kind::Insert, std::move(at), {}, {}, 1, {}, {}, -1, {}};
    m_edits.push_back(std::move(e));
}

void TreeEdits::removed(NodePath at, std::vector<std::unique_ptr<TreeNode>> nodes)
{
    const int count = int(nodes.size());
    m_edits.push_back({Kind::Remove, std::move(at), {}, std::move(nodes), count, {}, {}, -1, {}});
}

void TreeEdits::moved(NodePath from, NodePath to)
{
    m_edits.push_back({Kind::Move, std::move(from), std::move(to), {}, 1, {}, {}, -1, {}});
}

void TreeEdits::reordered(NodePath parent, std::vector<int> rows)
{
    m_edits.push_back({Kind::Order, std::move(parent), {}, {}, 1, {}, {}, -1, std::move(rows)});
}

void TreeEdits::textChanged(NodePath at, const QString& before)
{
    m_edits.push_back({Kind::Text, std::move(at), {}, {}, 1, {}, before, -1, {}});
}

void TreeEdits::imageChanged(NodePath at, int before)
{
    m_edits.push_back({Kind::Image, std::move(at), {}, {}, 1, {}, {}, before, {}});
}

void TreeEdits::recordChanged(NodePath at, std::unique_ptr<NodeInfo> before)
{
    m_edits.push_back({Kind::Record, std::move(at), {}, {}, 1, std::move(before), {}, -1, {}});
}

TreeNode* TreeEdits::parentOf(NodeTree& tree, const NodePath& at)
{
    if (at.size() <= 1)
        return &tree.m_root;
    return tree.nodeAt(NodePath(at.begin(), at.end() - 1));
}

// Moves the node at From to To, an address in the tree as it is once the
// node left its place.
void TreeEdits::moveAlong(NodeTree& tree, const NodePath& from, const NodePath& to)
{
    TreeNode* node = tree.nodeAt(from);
    if (!node || to.empty())
        return;
    TreeNode* p = &tree.m_root;
    for (size_t d = 0; d + 1 < to.size() && p; ++d) {
        int row = to[d];
        if (node->m_parent == p && node->m_row <= row)
            ++row;
        p = row < p->count() ? p->item(row) : nullptr;
    }
    if (!p)
        return;
    int row = to.back();
    if (node->m_parent == p && row >= node->m_row)
        ++row; // moveTo counts rows with the node still in place
    tree.moveTo(node, p, row);
}

void TreeEdits::apply(NodeTree& tree, Edit& e, bool reverse)
{
    switch (e.kind) {
    case Kind::Insert:
    case Kind::Remove: {
        TreeNode* parent = parentOf(tree, e.at);
        if (!parent)
            return;
        const int row = e.at.back();
        if ((e.kind == Kind::Insert) == reverse) {
            if (row >= 0 && row + e.count <= parent->count())
                e.kept = tree.takeRun(parent, row, row + e.count - 1);
        } else if (row >= 0 && row <= parent->count()) {
            tree.putRun(parent, row, std::exchange(e.kept, {}));
        }
        return;
    }
    case Kind::Move:
        if (reverse)
            moveAlong(tree, e.to, e.at);
        else
            moveAlong(tree, e.at, e.to);
        return;
    case Kind::Order: {
        TreeNode* parent = e.at.empty() ? &tree.m_root : tree.nodeAt(e.at);
        if (!parent || size_t(parent->count()) != e.rows.size())
            return;
        std::vector<TreeNode*> order(e.rows.size());
        std::vector<int> back(e.rows.size());
        for (size_t i = 0; i < e.rows.size(); ++i) {
            order[size_t(e.rows[i])] = parent->item(int(i));
            back[size_t(e.rows[i])] = int(i);
        }
        tree.reorder(parent == &tree.m_root ? nullptr : parent, order);
        e.rows = std::move(back);
        return;
    }
    default:
        break;
    }
    TreeNode* node = tree.nodeAt(e.at);
    if (!node)
        return;
    switch (e.kind) {
    case Kind::Text: {
        QString other = node->text();
        tree.setText(node, e.text);
        e.text = std::move(other);
        return;
    }
    case Kind::Image: {
        const int other = node->imageIndex();
        tree.setImage(node, e.image);
        e.image = other;
        return;
    }
    case Kind::Record: {
        std::unique_ptr<NodeInfo> other = node->takeRecord();
        node->putRecord(std::move(e.record));
        e.record = std::move(other);
        Q_EMIT tree.recordChanged(node);
        return;
    }
    default:
        return;
    }
}

void TreeEdits::replay(NodeTree& tree, bool reverse)
{
    const bool held = std::exchange(tree.m_addressesHeld, false);
    if (m_bulk)
        tree.beginUpdate();
    if (reverse)
        for (auto e = m_edits.rbegin(); e != m_edits.rend(); ++e)
            apply(tree, *e, true);
    else
        for (Edit& e : m_edits)
            apply(tree, e, false);
    if (m_bulk)
        tree.endUpdate();
    tree.m_addressesHeld = held;
}

bool TreeEdits::replayOutside(bool reverse)
{
    // Links come back only to a file that did, and go only with a file that went.
    if (reverse) {
        for (auto o = m_outside.rbegin(); o != m_outside.rend(); ++o)
            if (!o->reverse())
                return false;
    } else {
        for (Outside& o : m_outside)
            if (!o.repeat())
                return false;
    }
    return true;
}

bool TreeEdits::onlyRenamed(const NodePath& at) const
{
    return m_outside.empty() && m_edits.size() == 1 && m_edits.front().kind == Kind::Text &&
           m_edits.front().at == at;
}

void TreeEdits::append(TreeEdits&& other)
{
    for (Edit& e : other.m_edits)
        m_edits.push_back(std::move(e));
    for (Outside& o : other.m_outside)
        m_outside.push_back(std::move(o));
    m_bulk = m_bulk || other.m_bulk;
    other.m_edits.clear();
    other.m_outside.clear();
}
