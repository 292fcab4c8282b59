#include "catalogue/ListModel.h"
#include "catalogue/Catalogue.h"
#include "catalogue/SettingKeys.h"
#include "utils/SystemPaths.h"

#include <QCollator>
#include <QFile>
#include <QScopeGuard>
#include <QStringList>

#include <algorithm>
#include <numeric>
#include <sys/stat.h>

namespace
{

// One stat per path: the fill tests every listed document and folder, so
// nothing more than the existence and the kind is asked of the disk here.
bool onDisk(const QString& path, bool folder)
{
    if (path.isEmpty())
        return false;
    struct stat st;
    if (::stat(FileUtils::Sys::native(path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) == folder;
}

} // namespace

bool checkOnDisk(Catalogue& catalogue, TreeNode* node)
{
    const NodeInfo* info = node ? node->data() : nullptr;
    if (!info || (info->kind != NodeKind::Doc && info->kind != NodeKind::Folder))
        return false;
    if (node->imageIndex() != imgMissing && onDisk(info->fullName, info->kind == NodeKind::Folder))
        return false;
    return !catalogue.refreshNodeIcon(node, true);
}

void checkListedNode(Catalogue& catalogue, TreeNode* node, bool removeOnAbsent)
{
    const Catalogue::NewLocationQuestion& ask = catalogue.newLocationQuestion();
    if (!checkOnDisk(catalogue, node) || !removeOnAbsent || !ask)
        return;
    // The question may give the node a new record or delete it: it gets copies.
    const NodeInfo* info = node->data();
    const QString name = node->text(), path = info->fullName, comments = info->comments;
    ask(name, path, node, comments);
}

ListModel::ListModel(Catalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue),
      m_adTitle(QString::fromLatin1(Setting::AdTitle.defaultValue))
{
    std::fill(std::begin(m_marks), std::end(m_marks), -1);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    connectTree(catalogue.nodes());
}

// ---------------------------------------------------------------- filling

void ListModel::beginFill(Listing listing, TreeNode* source)
{
    dropSortJob(); // a sort of other rows
    m_listing = listing;
    m_source = source;
    m_found.clear();
    m_live.clear();
    m_holes = 0;
    m_position.clear();
}

void ListModel::fillChildren(TreeNode* category)
{
    beginResetModel();
    beginFill(category ? Listing::Children : Listing::Nothing, category);
    endResetModel();
}

void ListModel::fillSingle(TreeNode* node)
{
    beginResetModel();
    beginFill(node ? Listing::Single : Listing::Nothing, node);
    endResetModel();
}

void ListModel::fillNodes(std::vector<TreeNode*> nodes)
{
    beginResetModel();
    beginFill(Listing::Nodes, nullptr);
    m_found = std::move(nodes);
    endResetModel();
}

void ListModel::clear()
{
    beginResetModel();
    beginFill(Listing::Nothing, nullptr);
    endResetModel();
}

QString ListModel::categoryPath(const TreeNode* node)
{
    QStringList names;
    for (const TreeNode* p = node ? node->parent() : nullptr; p; p = p->parent())
        names.prepend(p->text());
    return names.join(QStringLiteral(" / "));
}

// ---------------------------------------------------------------- rows and nodes

int ListModel::count() const
{
    switch (m_listing) {
    case Listing::Children:
        return m_source ? m_source->count() : 0;
    case Listing::Single:
        return m_source ? 1 : 0;
    case Listing::Nodes:
        return int(m_found.size()) - m_holes;
    case Listing::Nothing:
        break;
    }
    return 0;
}

TreeNode* ListModel::node(int row) const
{
    if (row < 0 || row >= count())
        return nullptr;
    switch (m_listing) {
    case Listing::Children:
        return m_source->item(row);
    case Listing::Single:
        return m_source;
    case Listing::Nodes:
        return m_found[size_t(foundPosition(row))];
    case Listing::Nothing:
        break;
    }
    return nullptr;
}

int ListModel::rowOf(const TreeNode* node) const
{
    if (!node)
        return -1;
    switch (m_listing) {
    case Listing::Children:
        return m_source && node->parent() == m_source ? node->index() : -1;
    case Listing::Single:
        return node == m_source ? 0 : -1;
    case Listing::Nodes: {
        const auto& positions = foundPositions();
        const auto it = positions.find(node);
        return it != positions.end() && m_found[size_t(it->second)] ? foundRow(it->second) : -1;
    }
    case Listing::Nothing:
        break;
    }
    return -1;
}

std::vector<TreeNode*> ListModel::rows() const
{
    std::vector<TreeNode*> out;
    const int n = count();
    out.reserve(size_t(n));
    if (m_listing == Listing::Nodes) {
        for (TreeNode* found : m_found)
            if (found)
                out.push_back(found);
        return out;
    }
    for (int r = 0; r < n; ++r)
        out.push_back(node(r));
    return out;
}

// ---------------------------------------------------------------- following the tree

void ListModel::connectTree(NodeTree& nodes)
{
    // Any change of the tree's shape may change the listed rows; a sort under
    // way checks this count before it applies its order.
    const auto shapeChanges = [this] { ++m_rowsVersion; };
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeInserted, this, shapeChanges);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, this, shapeChanges);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeMoved, this, shapeChanges);
    connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, this, shapeChanges);
    connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, this, shapeChanges);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex& parent, int first, int last) {
                if (m_listing != Listing::Children || !isSource(parent))
                    return;
                beginInsertRows({}, first, last);
                m_pending = Pending::Insert;
            });
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeRemoved, this, &ListModel::rowsAboutToGo);
    connect(&nodes, &QAbstractItemModel::rowsAboutToBeMoved, this, &ListModel::rowsAboutToMove);
    connect(&nodes, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this](const QList<QPersistentModelIndex>& parents) {
                if (m_listing != Listing::Children)
                    return;
                bool ours = parents.isEmpty();
                for (const QPersistentModelIndex& p : parents)
                    ours = ours || isSource(p);
                if (!ours)
                    return;
                Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
                m_layoutNodes.clear();
                for (const QModelIndex& i : persistentIndexList())
                    m_layoutNodes.push_back(node(i.row()));
                m_pending = Pending::Layout;
            });
    for (auto done : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(&nodes, done, this, &ListModel::finishPending);
    connect(&nodes, &QAbstractItemModel::rowsMoved, this, &ListModel::finishPending);
    connect(&nodes, &QAbstractItemModel::layoutChanged, this, &ListModel::finishPending);
    // A bulk change (a load, a restore) may free any node: nothing is
    // listed from its start on; whoever made it lists again.
    connect(&nodes, &QAbstractItemModel::modelAboutToBeReset, this, &ListModel::clear);
    connect(&nodes, &QAbstractItemModel::dataChanged, this, &ListModel::treeDataChanged);
    connect(&nodes, &NodeTree::recordChanged, this, &ListModel::nodeChanged);
    // A new text may change the order too (a new icon never does).
    connect(&nodes, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole) ||
                    roles.contains(Qt::EditRole))
                    ++m_rowsVersion;
            });
    connect(&nodes, &NodeTree::recordChanged, this, shapeChanges);
}

bool ListModel::isSource(const QModelIndex& treeParent) const
{
    return m_source && NodeTree::nodeOf(treeParent) == m_source;
}

bool ListModel::sourceGoes(const QModelIndex& treeParent, int first, int last) const
{
    const TreeNode* parent = NodeTree::nodeOf(treeParent);
    for (const TreeNode* n = m_source; n; n = n->parent())
        if (n->parent() == parent)
            return n->index() >= first && n->index() <= last;
    return false;
}

void ListModel::rowsAboutToGo(const QModelIndex& parent, int first, int last)
{
    switch (m_listing) {
    case Listing::Nothing:
        return;
    case Listing::Nodes: {
        const TreeNode* p = NodeTree::nodeOf(parent);
        NodeTree& nodes = m_catalogue.nodes();
        std::vector<const TreeNode*> gone;
        gone.reserve(size_t(last - first + 1));
        for (int r = first; r <= last; ++r)
            gone.push_back(p ? p->item(r) : nodes.rootItem(r));
        removeFound(std::move(gone));
        return;
    }
    case Listing::Children:
        if (isSource(parent)) {
            beginRemoveRows({}, first, last);
            m_pending = Pending::Remove;
            return;
        }
        break;
    case Listing::Single:
        break;
    }
    if (!sourceGoes(parent, first, last))
        return;
    if (count() == 0) {
        m_listing = Listing::Nothing;
        m_source = nullptr;
        return;
    }
    beginRemoveRows({}, 0, count() - 1);
    m_pending = Pending::RemoveAll;
}

void ListModel::rowsAboutToMove(const QModelIndex& from, int first, int last, const QModelIndex& to,
                                int row)
{
    if (m_listing != Listing::Children)
        return; // found nodes and an entry alone stay listed wherever they go
    const bool out = isSource(from), in = isSource(to);
    if (out && in) {
        if (beginMoveRows({}, first, last, {}, row))
            m_pending = Pending::Move;
    } else if (out) {
        beginRemoveRows({}, first, last);
        m_pending = Pending::Remove;
    } else if (in) {
        beginInsertRows({}, row, row + last - first);
        m_pending = Pending::Insert;
    }
}

void ListModel::finishPending()
{
    switch (std::exchange(m_pending, Pending::None)) {
    case Pending::None:
        break;
    case Pending::Insert:
        endInsertRows();
        break;
    case Pending::Remove:
        endRemoveRows();
        break;
    case Pending::RemoveAll:
        m_listing = Listing::Nothing;
        m_source = nullptr;
        endRemoveRows();
        break;
    case Pending::Move:
        endMoveRows();
        break;
    case Pending::Layout: {
        const QModelIndexList from = persistentIndexList();
        QModelIndexList to;
        to.reserve(from.size());
        for (qsizetype i = 0; i < from.size(); ++i) {
            const TreeNode* n =
                size_t(i) < m_layoutNodes.size() ? m_layoutNodes[size_t(i)] : nullptr;
            const int row = rowOf(n);
            to.append(row >= 0 ? index(row, from[i].column()) : QModelIndex());
        }
        m_layoutNodes.clear();
        changePersistentIndexList(from, to);
        Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
        break;
    }
    }
}

void ListModel::treeDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (m_listing == Listing::Nothing || !topLeft.isValid())
        return;
    if (m_listing == Listing::Children) {
        if (isSource(topLeft.parent()))
            Q_EMIT dataChanged(index(topLeft.row(), 0), index(bottomRight.row(), ColumnCount - 1));
        return;
    }
    const QAbstractItemModel* tree = topLeft.model();
    for (int r = topLeft.row(); r <= bottomRight.row(); ++r)
        nodeChanged(NodeTree::nodeOf(tree->index(r, 0, topLeft.parent())));
}

void ListModel::nodeChanged(const TreeNode* node)
{
    const int row = m_listing == Listing::Nothing ? -1 : rowOf(node);
    if (row >= 0)
        Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

// ---------------------------------------------------------------- found nodes

const std::unordered_map<const TreeNode*, int>& ListModel::foundPositions() const
{
    if (m_position.empty() && !m_found.empty()) {
        m_position.reserve(m_found.size());
        for (size_t i = 0; i < m_found.size(); ++i)
            if (m_found[i])
                m_position.emplace(m_found[i], int(i));
    }
    return m_position;
}

int ListModel::foundRow(int position) const
{
    if (m_holes == 0)
        return position;
    // Live positions before this one.
    int row = 0;
    for (int i = position; i > 0; i -= i & -i)
        row += m_live[size_t(i)];
    return row;
}

int ListModel::foundPosition(int row) const
{
    if (m_holes == 0)
        return row;
    // The position holding the (row + 1)-th live entry: down the Fenwick tree.
    int position = 0, left = row + 1;
    int step = 1;
    while (step * 2 <= int(m_found.size()))
        step *= 2;
    for (; step > 0; step /= 2)
        if (position + step <= int(m_found.size()) && m_live[size_t(position + step)] < left) {
            position += step;
            left -= m_live[size_t(position)];
        }
    return position; // 1-based position + 1 is the entry; 0-based it is this
}

void ListModel::removeFound(std::vector<const TreeNode*> pending)
{
    // The listed nodes in the removed subtrees (the walk costs what freeing
    // them costs), each found by its position.
    const auto& positions = foundPositions();
    std::vector<int> at;
    while (!pending.empty()) {
        const TreeNode* n = pending.back();
        pending.pop_back();
        if (const auto it = positions.find(n); it != positions.end() && m_found[size_t(it->second)])
            at.push_back(it->second);
        for (int i = 0; i < n->count(); ++i)
            pending.push_back(n->item(i));
    }
    if (at.empty())
        return;
    if (m_live.empty()) {
        // Every position live: a Fenwick tree of ones.
        const size_t n = m_found.size();
        m_live.assign(n + 1, 0);
        for (size_t i = 1; i <= n; ++i)
            m_live[i] = int(i & (~i + 1));
    }
    // Runs of neighbouring rows, from the last one up, so that the rows of
    // the runs still to go stay as they are.
    std::sort(at.begin(), at.end(), std::greater<int>());
    for (size_t i = 0; i < at.size();) {
        size_t j = i + 1;
        while (j < at.size() && at[j] == at[j - 1] - 1)
            ++j;
        const int last = foundRow(at[i]), first = foundRow(at[j - 1]);
        beginRemoveRows({}, first, last);
        for (size_t k = i; k < j; ++k) {
            const int position = at[k];
            m_found[size_t(position)] = nullptr;
            for (int f = position + 1; f < int(m_live.size()); f += f & -f)
                --m_live[size_t(f)];
            ++m_holes;
        }
        endRemoveRows();
        i = j;
    }
    if (size_t(m_holes) * 2 > m_found.size())
        compactFound();
}

void ListModel::compactFound()
{
    if (m_holes == 0)
        return;
    // The rows stay what they are: only where they are kept changes.
    m_found.erase(std::remove(m_found.begin(), m_found.end(), nullptr), m_found.end());
    m_live.clear();
    m_holes = 0;
    m_position.clear();
}

// ---------------------------------------------------------------- sorting

QString ListModel::cellText(const TreeNode* node, int column)
{
    if (!node)
        return {};
    if (column == colName)
        return node->text();
    const NodeInfo* info = node->data();
    if (!info)
        return {};
    switch (column) {
    case colType:
        return nodeKindText(info->kind);
    case colLocation:
        return info->fullName;
    case colComment:
        return info->comments;
    case colAdditional:
        return info->sAdditional;
    default:
        return {};
    }
}

// ---------------------------------------------------------------- presentation

void ListModel::setLargeIcons(bool large)
{
    if (m_large == large)
        return;
    m_large = large;
    if (count() > 0)
        Q_EMIT dataChanged(index(0, 0), index(count() - 1, 0), {Qt::DecorationRole});
}

void ListModel::setAdTitle(const QString& title)
{
    if (m_adTitle == title)
        return;
    m_adTitle = title;
    Q_EMIT headerDataChanged(Qt::Horizontal, colAdditional, colAdditional);
}

void ListModel::setSortMark(int column, int image)
{
    if (column < 0 || column >= ColumnCount || m_marks[column] == image)
        return;
    m_marks[column] = image;
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
}

int ListModel::sortMark(int column) const
{
    return (column >= 0 && column < ColumnCount) ? m_marks[column] : -1;
}

void ListModel::clearSortMarks()
{
    for (int c = 0; c < ColumnCount; ++c)
        setSortMark(c, -1);
}

int ListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : count();
}

int ListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant ListModel::data(const QModelIndex& index, int role) const
{
    const TreeNode* node = nodeOf(index);
    if (!node || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return cellText(node, index.column());
    case Qt::DecorationRole:
        if (index.column() != colName)
            return {};
        return m_large ? m_catalogue.images().large.icon(node->imageIndex())
                       : m_catalogue.images().small.icon(node->imageIndex());
    case Qt::ToolTipRole: {
        if (!listsNodes() || index.column() != colLocation)
            return {};
        // Found rows come from anywhere: say where each is filed.
        const QString path = categoryPath(node);
        const QString location = cellText(node, colLocation);
        const QString in = path.isEmpty() ? QString() : QStringLiteral("In: ") + path;
        if (location.isEmpty() || in.isEmpty())
            return location.isEmpty() ? in : location;
        return location + u'\n' + in;
    }
    default:
        return {};
    }
}

QVariant ListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        static const char* const captions[] = {"Name", "Type", "Location", "Comment"};
        return section == colAdditional ? m_adTitle : QString::fromLatin1(captions[section]);
    }
    if (role == Qt::DecorationRole && m_marks[section] >= 0)
        return m_catalogue.images().small.icon(m_marks[section]);
    return {};
}

QStringList ListModel::mimeTypes() const
{
    return m_catalogue.nodes().mimeTypes();
}

QMimeData* ListModel::mimeData(const QModelIndexList& indexes) const
{
    for (const QModelIndex& index : indexes)
        if (index.isValid())
            return m_catalogue.nodes().nodeMimeData(nodeOf(index));
    return nullptr;
}

Qt::DropActions ListModel::supportedDragActions() const
{
    return m_catalogue.nodes().supportedDragActions();
}

Qt::ItemFlags ListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    const Qt::ItemFlags f = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
    // Every row's name may be edited in place (the views open the editor).
    return index.column() == colName ? f | Qt::ItemIsEditable : f;
}

bool ListModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TreeNode* node = nodeOf(index);
    if (!node || role != Qt::EditRole || index.column() != colName)
        return false;
    // The row shows its tree node's text: the node is renamed, the row follows.
    // Through the tree's own edit, which makes the rename a step of its own.
    m_catalogue.nodes().setData(m_catalogue.nodes().indexOf(node), value, Qt::EditRole);
    return true;
}
