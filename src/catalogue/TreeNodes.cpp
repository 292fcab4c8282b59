#include "catalogue/TreeNodes.h"
#include "catalogue/ImageLists.h"

#include <algorithm>

TTreeNode::~TTreeNode()
{
    // Freed without recursion, so that no depth of nesting exhausts the stack.
    std::vector<std::unique_ptr<TTreeNode>> doomed = std::move(m_children);
    while (!doomed.empty()) {
        std::unique_ptr<TTreeNode> n = std::move(doomed.back());
        doomed.pop_back();
        for (auto& c : n->m_children)
            doomed.push_back(std::move(c));
        n->m_children.clear();
    }
}

int TTreeNode::Level() const
{
    int level = -1;
    for (const TTreeNode* n = m_parent; n; n = n->m_parent)
        ++level;
    return level;
}

int TTreeNode::AbsoluteIndex() const
{
    const TTreeNode* root = this;
    while (root->m_parent)
        root = root->m_parent;
    int index = 0;
    for (const TTreeNode* n = root->GetFirstChild(); n && n != this; n = n->GetNext())
        ++index;
    return index;
}

TTreeNode* TTreeNode::GetNextSibling() const
{
    if (!m_parent || size_t(m_row + 1) >= m_parent->m_children.size())
        return nullptr;
    return m_parent->m_children[size_t(m_row + 1)].get();
}

TTreeNode* TTreeNode::GetPrevSibling() const
{
    if (!m_parent || m_row == 0)
        return nullptr;
    return m_parent->m_children[size_t(m_row - 1)].get();
}

TTreeNode* TTreeNode::GetNext() const
{
    if (!m_children.empty())
        return m_children.front().get();
    for (const TTreeNode* n = this; n && n->m_parent; n = n->m_parent)
        if (TTreeNode* s = n->GetNextSibling())
            return s;
    return nullptr;
}

bool TTreeNode::IsUnder(const TTreeNode* Ancestor) const
{
    for (const TTreeNode* n = this; n; n = n->m_parent)
        if (n == Ancestor)
            return true;
    return false;
}

TTreeNodes::TTreeNodes(QObject* parent) : QAbstractItemModel(parent) {}

TTreeNodes::~TTreeNodes() = default;

TTreeNode* TTreeNodes::NodeAtAbsoluteIndex(int Index) const
{
    TTreeNode* n = GetFirstNode();
    for (int i = 0; n && i < Index; ++i)
        n = n->GetNext();
    return Index >= 0 ? n : nullptr;
}

TTreeNode* TTreeNodes::place(TTreeNode* Parent, int Row, const QString& Text)
{
    auto node = std::make_unique<TTreeNode>();
    node->m_text = Text;
    node->m_parent = Parent;
    TTreeNode* raw = node.get();
    const bool tell = !m_updating;
    if (tell)
        beginInsertRows(Parent == &m_root ? QModelIndex() : IndexOf(Parent), Row, Row);
    Parent->m_children.insert(Parent->m_children.begin() + Row, std::move(node));
    renumber(Parent, Row);
    ++m_total;
    if (tell)
        endInsertRows();
    return raw;
}

TTreeNode* TTreeNodes::AddChild(TTreeNode* Parent, const QString& Text)
{
    TTreeNode* p = parentOrRoot(Parent);
    return place(p, p->Count(), Text);
}

TTreeNode* TTreeNodes::Insert(TTreeNode* Sibling, const QString& Text)
{
    if (!Sibling)
        return AddChild(nullptr, Text);
    return place(Sibling->m_parent, Sibling->m_row, Text);
}

void TTreeNodes::renumber(TTreeNode* Parent, int From)
{
    auto& kids = Parent->m_children;
    for (size_t i = size_t(std::max(From, 0)); i < kids.size(); ++i)
        kids[i]->m_row = int(i);
}

void TTreeNodes::MoveTo(TTreeNode* Node, TTreeNode* NewParent, int Row)
{
    TTreeNode* to = parentOrRoot(NewParent);
    TTreeNode* from = Node->m_parent;
    if (to->IsUnder(Node))
        return; // a node cannot move into its own subtree
    const int fromRow = Node->m_row;
    Row = std::clamp(Row, 0, to->Count());
    if (from == to && (Row == fromRow || Row == fromRow + 1))
        return;
    const bool tell = !m_updating;
    if (tell)
        beginMoveRows(from == &m_root ? QModelIndex() : IndexOf(from), fromRow, fromRow,
                      to == &m_root ? QModelIndex() : IndexOf(to), Row);
    std::unique_ptr<TTreeNode> owned = std::move(from->m_children[size_t(fromRow)]);
    from->m_children.erase(from->m_children.begin() + fromRow);
    if (from == to && Row > fromRow)
        --Row;
    owned->m_parent = to;
    to->m_children.insert(to->m_children.begin() + Row, std::move(owned));
    renumber(from, std::min(fromRow, Row));
    if (from != to)
        renumber(to, Row);
    if (tell)
        endMoveRows();
}

void TTreeNodes::Reorder(TTreeNode* Parent, const std::vector<TTreeNode*>& Order)
{
    TTreeNode* p = parentOrRoot(Parent);
    if (Order.size() != p->m_children.size())
        return;
    const bool tell = !m_updating;
    QModelIndexList before;
    if (tell) {
        Q_EMIT layoutAboutToBeChanged(
            {p == &m_root ? QPersistentModelIndex() : QPersistentModelIndex(IndexOf(p))},
            QAbstractItemModel::VerticalSortHint);
        before = persistentIndexList();
    }
    std::vector<std::unique_ptr<TTreeNode>> sorted;
    sorted.reserve(Order.size());
    for (TTreeNode* n : Order)
        sorted.push_back(std::move(p->m_children[size_t(n->m_row)]));
    p->m_children = std::move(sorted);
    renumber(p, 0);
    if (tell) {
        QModelIndexList after;
        after.reserve(before.size());
        for (const QModelIndex& i : before) {
            auto* n = NodeOf(i);
            after.append(n ? createIndex(n->m_row, i.column(), n) : QModelIndex());
        }
        changePersistentIndexList(before, after);
        Q_EMIT layoutChanged(
            {p == &m_root ? QPersistentModelIndex() : QPersistentModelIndex(IndexOf(p))},
            QAbstractItemModel::VerticalSortHint);
    }
}

int TTreeNodes::subtreeSize(const TTreeNode* Node)
{
    int n = 0;
    std::vector<const TTreeNode*> pending{Node};
    while (!pending.empty()) {
        const TTreeNode* t = pending.back();
        pending.pop_back();
        ++n;
        for (const auto& c : t->m_children)
            pending.push_back(c.get());
    }
    return n;
}

void TTreeNodes::Delete(TTreeNode* Node)
{
    if (!Node || Node == &m_root)
        return;
    Q_EMIT nodeDeleting(Node);
    TTreeNode* p = Node->m_parent;
    const int row = Node->m_row;
    const bool tell = !m_updating;
    if (tell)
        beginRemoveRows(p == &m_root ? QModelIndex() : IndexOf(p), row, row);
    m_total -= subtreeSize(Node);
    std::unique_ptr<TTreeNode> doomed = std::move(p->m_children[size_t(row)]);
    p->m_children.erase(p->m_children.begin() + row);
    renumber(p, row);
    if (tell)
        endRemoveRows();
}

void TTreeNodes::DeleteRoots(int First, int Count)
{
    if (Count <= 0)
        return;
    for (int i = First; i < First + Count; ++i)
        Q_EMIT nodeDeleting(m_root.m_children[size_t(i)].get());
    const bool tell = !m_updating;
    if (tell)
        beginRemoveRows(QModelIndex(), First, First + Count - 1);
    auto& kids = m_root.m_children;
    for (int i = First; i < First + Count; ++i)
        m_total -= subtreeSize(kids[size_t(i)].get());
    // One erase for the whole range: many root entries must not cost a
    // shift of the rest per node.
    kids.erase(kids.begin() + First, kids.begin() + First + Count);
    renumber(&m_root, First);
    if (tell)
        endRemoveRows();
}

void TTreeNodes::Clear()
{
    for (const auto& n : m_root.m_children)
        Q_EMIT nodeDeleting(n.get());
    const bool tell = !m_updating;
    if (tell)
        beginResetModel();
    m_root.m_children.clear();
    m_total = 0;
    if (tell)
        endResetModel();
}

void TTreeNodes::changed(TTreeNode* Node, int role)
{
    if (m_updating)
        return;
    const QModelIndex i = IndexOf(Node);
    Q_EMIT dataChanged(i, i, {role});
}

void TTreeNodes::SetText(TTreeNode* Node, const QString& Text)
{
    if (Node->m_text == Text)
        return;
    Node->m_text = Text;
    changed(Node, Qt::DisplayRole);
    Q_EMIT nodeRenamed(Node);
}

void TTreeNodes::SetImage(TTreeNode* Node, int Index)
{
    if (Node->m_image == Index)
        return;
    Node->m_image = Index;
    changed(Node, Qt::DecorationRole);
}

void TTreeNodes::SetData(TTreeNode* Node, std::unique_ptr<TNodeInfo> Info)
{
    Node->m_data = std::move(Info);
    Q_EMIT recordChanged(Node);
}

void TTreeNodes::BeginUpdate()
{
    if (m_updating++ == 0) {
        Q_EMIT updatesSuspended(true);
        beginResetModel();
    }
}

void TTreeNodes::EndUpdate()
{
    if (m_updating > 0 && --m_updating == 0) {
        endResetModel();
        Q_EMIT updatesSuspended(false);
    }
}

QModelIndex TTreeNodes::IndexOf(const TTreeNode* Node) const
{
    if (!Node || Node == &m_root)
        return {};
    return createIndex(Node->m_row, 0, const_cast<TTreeNode*>(Node));
}

TTreeNode* TTreeNodes::NodeOf(const QModelIndex& Index)
{
    return Index.isValid() ? static_cast<TTreeNode*>(Index.internalPointer()) : nullptr;
}

QModelIndex TTreeNodes::index(int row, int column, const QModelIndex& parent) const
{
    const TTreeNode* p = parent.isValid() ? NodeOf(parent) : &m_root;
    if (column != 0 || row < 0 || row >= p->Count())
        return {};
    return createIndex(row, column, p->Item(row));
}

QModelIndex TTreeNodes::parent(const QModelIndex& child) const
{
    const TTreeNode* n = NodeOf(child);
    if (!n || !n->m_parent || n->m_parent == &m_root)
        return {};
    return IndexOf(n->m_parent);
}

int TTreeNodes::rowCount(const QModelIndex& parent) const
{
    if (parent.column() > 0)
        return 0;
    const TTreeNode* p = parent.isValid() ? NodeOf(parent) : &m_root;
    return p->Count();
}

int TTreeNodes::columnCount(const QModelIndex&) const
{
    return 1;
}

QVariant TTreeNodes::data(const QModelIndex& index, int role) const
{
    const TTreeNode* n = NodeOf(index);
    if (!n)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return n->m_text;
    case Qt::DecorationRole:
        if (m_images)
            return m_images->Icon(n->m_image);
        return {};
    default:
        return {};
    }
}

bool TTreeNodes::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TTreeNode* n = NodeOf(index);
    if (!n || role != Qt::EditRole)
        return false;
    SetText(n, value.toString());
    return true;
}

Qt::ItemFlags TTreeNodes::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::ItemIsDropEnabled;
    Qt::ItemFlags f =
        Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled | Qt::ItemIsDropEnabled;
    // The first node of the tree (the built-in category) keeps its name.
    if (NodeOf(index) != GetFirstNode())
        f |= Qt::ItemIsEditable;
    return f;
}
