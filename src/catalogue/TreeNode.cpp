// The nodes themselves: finding one's way among them, references that turn
// null when their node leaves the tree, and subtrees made out of the tree.
#include "catalogue/NodeTree.h"

#include <utility>

// A catalogue holds one per entry: see the layout in the class.
static_assert(sizeof(TreeNode) <= 88, "a node no longer fits malloc's 96-byte chunk");

TreeNode::~TreeNode()
{
    // Freed without recursion, so that no depth of nesting exhausts the stack.
    std::unique_ptr<ChildList::Vector> kids = m_children.release();
    if (!kids)
        return;
    ChildList::Vector doomed = std::move(*kids);
    while (!doomed.empty()) {
        std::unique_ptr<TreeNode> n = std::move(doomed.back());
        doomed.pop_back();
        if (std::unique_ptr<ChildList::Vector> more = n->m_children.release())
            for (auto& c : *more)
                doomed.push_back(std::move(c));
    }
}

std::unique_ptr<NodeInfo> TreeNode::takeRecord()
{
    if (!m_hasRecord)
        return nullptr;
    m_hasRecord = false;
    return std::make_unique<NodeInfo>(std::exchange(m_info, NodeInfo()));
}

void TreeNode::putRecord(std::unique_ptr<NodeInfo> info)
{
    m_hasRecord = info != nullptr;
    m_info = info ? std::move(*info) : NodeInfo();
}

void TreeNode::setImageIndex(int index)
{
    // Out of the field's range reads as no image, never as another one.
    m_image = index >= 0 && index <= INT16_MAX ? std::int16_t(index) : std::int16_t(-1);
}

int TreeNode::level() const
{
    int level = -1;
    for (const TreeNode* n = m_parent; n; n = n->m_parent)
        ++level;
    return level;
}

int TreeNode::absoluteIndex() const
{
    const TreeNode* root = this;
    while (root->m_parent)
        root = root->m_parent;
    int index = 0;
    for (const TreeNode* n = root->getFirstChild(); n && n != this; n = n->getNext())
        ++index;
    return index;
}

TreeNode* TreeNode::getNextSibling() const
{
    if (!m_parent || size_t(m_row + 1) >= m_parent->m_children.size())
        return nullptr;
    return m_parent->m_children.at(size_t(m_row + 1));
}

TreeNode* TreeNode::getPrevSibling() const
{
    if (!m_parent || m_row == 0)
        return nullptr;
    return m_parent->m_children.at(size_t(m_row - 1));
}

TreeNode* TreeNode::getNext() const
{
    if (!m_children.empty())
        return m_children.front();
    for (const TreeNode* n = this; n && n->m_parent; n = n->m_parent)
        if (TreeNode* s = n->getNextSibling())
            return s;
    return nullptr;
}

bool TreeNode::isUnder(const TreeNode* ancestor) const
{
    for (const TreeNode* n = this; n; n = n->m_parent)
        if (n == ancestor)
            return true;
    return false;
}

// ---------------------------------------------------------------- subtrees made aside

NewSubtree::NewSubtree(NewNode top) : m_top(std::make_unique<TreeNode>())
{
    m_top->m_text = std::move(top.text);
    m_top->putRecord(std::move(top.info));
    m_top->setImageIndex(top.image);
}

TreeNode* NewSubtree::append(TreeNode* parent, NewNode made)
{
    auto node = std::make_unique<TreeNode>();
    node->m_text = std::move(made.text);
    node->putRecord(std::move(made.info));
    node->setImageIndex(made.image);
    node->m_parent = parent;
    node->m_row = parent->count();
    TreeNode* raw = node.get();
    parent->m_children.edit().push_back(std::move(node));
    return raw;
}

// ---------------------------------------------------------------- references

NodeRef& NodeRef::operator=(const NodeRef& other)
{
    if (this != &other) {
        detach();
        attach(other.m_tree, other.m_node);
    }
    return *this;
}

void NodeRef::attach(NodeTree* tree, TreeNode* node)
{
    if (!tree || !node)
        return;
    m_tree = tree;
    m_node = node;
    m_next = tree->m_refs;
    if (m_next)
        m_next->m_prev = this;
    tree->m_refs = this;
}

void NodeRef::detach()
{
    if (!m_tree)
        return;
    if (m_prev)
        m_prev->m_next = m_next;
    else
        m_tree->m_refs = m_next;
    if (m_next)
        m_next->m_prev = m_prev;
    m_tree = nullptr;
    m_node = nullptr;
    m_prev = m_next = nullptr;
}
