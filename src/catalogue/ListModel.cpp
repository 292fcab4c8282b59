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
#include <unordered_set>

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

void checkListedNode(Catalogue& catalogue, TreeNode* node, bool removeOnAbsent)
{
    const NodeInfo* info = node->data();
    if (!info || (info->kind != nkDoc && info->kind != nkFolder))
        return;
    if (node->imageIndex() != imgMissing && onDisk(info->fullName, info->kind == nkFolder))
        return;
    if (catalogue.refreshNodeIcon(node, true))
        return;
    if (!removeOnAbsent || !catalogue.askNewLocationHook)
        return;
    // The question may give the node a new record or delete it: it gets copies.
    const QString name = node->text(), path = info->fullName, comments = info->comments;
    catalogue.askNewLocationHook(name, path, node, comments);
}

ListModel::ListModel(Catalogue& catalogue, QObject* parent)
    : QAbstractTableModel(parent), m_catalogue(catalogue),
      m_adTitle(QString::fromLatin1(Setting::AdTitle.defaultValue))
{
    std::fill(std::begin(m_marks), std::end(m_marks), -1);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    NodeTree& nodes = catalogue.nodes();
    connect(&nodes, &NodeTree::nodeDeleting, this, &ListModel::nodeDeleting);
    connect(&nodes, &QAbstractItemModel::dataChanged, this, &ListModel::treeDataChanged);
}

// ---------------------------------------------------------------- filling

void ListModel::beginFill(TreeNode* source)
{
    beginResetModel();
    m_filling = true;
    m_listsNodes = false;
    m_rows.clear();
    m_source = source;
}

void ListModel::endFill()
{
    m_filling = false;
    endResetModel();
}

void ListModel::fillChildren(TreeNode* category, const FillItem& fillItem)
{
    beginFill(category);
    auto done = qScopeGuard([this] { endFill(); });
    if (category)
        m_rows.reserve(size_t(category->count()));
    // The rows listed so far are always the category's first children (a
    // deleted node takes its row with it), so the next child to list is the
    // one at the row count. m_source turns null if the category itself goes.
    while (m_source && count() < m_source->count()) {
        TreeNode* child = m_source->item(count());
        m_rows.push_back(child);
        if (!fillItem)
            continue;
        fillItem(child);
        if (!m_source || m_rows.empty())
            continue;
        const int last = count() - 1;
        if (last < m_source->count() && m_source->item(last) == m_rows.back())
            continue;
        // Something was inserted before the listed rows: list the children up
        // to the last one checked again, without checking them twice.
        const int upTo = (!m_rows.empty() && m_rows.back()->parent() == m_source)
                             ? m_rows.back()->index() + 1
                             : std::min(count(), m_source->count());
        m_rows.clear();
        for (int i = 0; i < upTo; ++i)
            m_rows.push_back(m_source->item(i));
    }
}

void ListModel::fillSingle(TreeNode* node, const FillItem& fillItem)
{
    beginFill(node);
    auto done = qScopeGuard([this] { endFill(); });
    if (!node)
        return;
    m_rows.push_back(node);
    if (fillItem)
        fillItem(node);
}

void ListModel::fillNodes(std::vector<TreeNode*> nodes)
{
    beginFill(nullptr);
    m_rows = std::move(nodes);
    m_listsNodes = true;
    endFill();
}

QString ListModel::categoryPath(const TreeNode* node)
{
    QStringList names;
    for (const TreeNode* p = node ? node->parent() : nullptr; p; p = p->parent())
        names.prepend(p->text());
    return names.join(QStringLiteral(" / "));
}

void ListModel::clear()
{
    beginFill(nullptr);
    endFill();
}

// ---------------------------------------------------------------- rows and nodes

TreeNode* ListModel::node(int row) const
{
    return (row >= 0 && row < count()) ? m_rows[size_t(row)] : nullptr;
}

int ListModel::rowOf(const TreeNode* node) const
{
    if (!node)
        return -1;
    // Rows follow the tree's order of the listed category, so the node's own
    // position is nearly always its row.
    const int guess = node->index();
    if (guess < count() && m_rows[size_t(guess)] == node)
        return guess;
    const auto it = std::find(m_rows.begin(), m_rows.end(), node);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void ListModel::nodeDeleting(TreeNode* node)
{
    if (m_rows.empty() && !m_source)
        return;
    std::vector<char> doomed(m_rows.size(), 0);
    bool any = false;
    if (m_source && m_source->isUnder(node)) {
        m_source = nullptr;
        std::fill(doomed.begin(), doomed.end(), 1);
        any = !m_rows.empty();
    } else if (!m_listsNodes && !m_rows.empty() && m_rows.back() == node) {
        // The row a fill has just added. (Found rows may be sorted so that
        // rows below the node come before it.)
        doomed.back() = 1;
        any = true;
    } else {
        // A row can only go with its own node or an ancestor; rows whose
        // parent is the listed category go only with their own node.
        for (size_t i = 0; i < m_rows.size(); ++i) {
            TreeNode* row = m_rows[i];
            if (row == node || (row->parent() != m_source && row->isUnder(node))) {
                doomed[i] = 1;
                any = true;
            }
        }
    }
    if (!any)
        return;
    if (m_filling) {
        size_t out = 0;
        for (size_t i = 0; i < m_rows.size(); ++i)
            if (!doomed[i])
                m_rows[out++] = m_rows[i];
        m_rows.resize(out);
        return;
    }
    // Contiguous runs, from the end, so earlier row numbers stay valid.
    for (int last = count() - 1; last >= 0;) {
        if (!doomed[size_t(last)]) {
            --last;
            continue;
        }
        int first = last;
        while (first > 0 && doomed[size_t(first - 1)])
            --first;
        beginRemoveRows({}, first, last);
        m_rows.erase(m_rows.begin() + first, m_rows.begin() + last + 1);
        endRemoveRows();
        last = first - 1;
    }
}

void ListModel::treeDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight)
{
    if (m_filling || m_rows.empty() || !topLeft.isValid())
        return;
    if (m_listsNodes) {
        // Rows from all over the tree: no cheap look-up, and one repaint is cheap.
        Q_EMIT dataChanged(index(0, 0), index(count() - 1, ColumnCount - 1));
        return;
    }
    const QAbstractItemModel* tree = topLeft.model();
    for (int r = topLeft.row(); r <= bottomRight.row(); ++r) {
        const TreeNode* node = NodeTree::nodeOf(tree->index(r, 0, topLeft.parent()));
        if (!node)
            continue;
        // Only the cheap lookup: a node outside the listed category has no row.
        int row = -1;
        const int guess = node->index();
        if (guess < count() && m_rows[size_t(guess)] == node)
            row = guess;
        else if (count() == 1 && m_rows.front() == node)
            row = 0;
        if (row >= 0)
            Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
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

void ListModel::sortBy(int param)
{
    const QCollator& collator = m_collator;
    const int column = std::abs(param) - 1;
    if (column < 0 || column >= ColumnCount || m_rows.size() < 2)
        return;
    const bool descending = param < 0;
    const size_t n = m_rows.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    if (collator.locale().language() == QLocale::C) {
        // The C locale's collator compares code points (folding case when
        // asked) but its sort keys ignore the case setting: fold here instead.
        const bool fold = collator.caseSensitivity() == Qt::CaseInsensitive;
        std::vector<QString> keys;
        keys.reserve(n);
        for (TreeNode* node : m_rows)
            keys.push_back(fold ? cellText(node, column).toCaseFolded() : cellText(node, column));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = QStringView(keys[size_t(a)]).compare(QStringView(keys[size_t(b)]));
            return descending ? c > 0 : c < 0;
        });
    } else {
        // Comparing the cached texts beats building sort keys here: paths
        // share long prefixes, which the collator skips quickly, while a key
        // costs the whole text for every row.
        std::vector<QString> texts;
        texts.reserve(n);
        for (TreeNode* node : m_rows)
            texts.push_back(cellText(node, column));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = collator.compare(texts[size_t(a)], texts[size_t(b)]);
            return descending ? c > 0 : c < 0;
        });
    }

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<TreeNode*> sorted(n);
    std::vector<int> newRow(n);
    for (size_t k = 0; k < n; ++k) {
        sorted[k] = m_rows[size_t(order[k])];
        newRow[size_t(order[k])] = int(k);
    }
    m_rows.swap(sorted);
    const QModelIndexList from = persistentIndexList();
    QModelIndexList to;
    to.reserve(from.size());
    for (const QModelIndex& i : from)
        to.append(i.row() < int(n) ? index(newRow[size_t(i.row())], i.column()) : QModelIndex());
    changePersistentIndexList(from, to);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void ListModel::reorderTree()
{
    NodeTree& nodes = m_catalogue.nodes();
    // The listed nodes grouped by parent, parents in order of first appearance.
    std::vector<std::pair<TreeNode*, std::vector<TreeNode*>>> groups;
    for (TreeNode* node : m_rows) {
        TreeNode* parent = node->parent();
        auto it = std::find_if(groups.begin(), groups.end(),
                               [parent](const auto& g) { return g.first == parent; });
        if (it == groups.end()) {
            groups.emplace_back(parent, std::vector<TreeNode*>());
            it = groups.end() - 1;
            it->second.reserve(m_rows.size());
        }
        it->second.push_back(node);
    }
    for (auto& [parent, listed] : groups) {
        const int count = parent ? parent->count() : nodes.rootCount();
        // clang 14 cannot capture a structured binding by reference.
        auto child = [&nodes, under = parent](int i) {
            return under ? under->item(i) : nodes.rootItem(i);
        };
        std::vector<TreeNode*> order;
        if (int(listed.size()) == count) {
            order = std::move(listed);
        } else {
            // Children that are not listed keep their places in front.
            const std::unordered_set<TreeNode*> moved(listed.begin(), listed.end());
            order.reserve(size_t(count));
            for (int i = 0; i < count; ++i)
                if (!moved.count(child(i)))
                    order.push_back(child(i));
            order.insert(order.end(), listed.begin(), listed.end());
        }
        bool same = true;
        for (int i = 0; i < count && same; ++i)
            same = order[size_t(i)] == child(i);
        if (!same)
            nodes.reorder(parent, order);
    }
}

// ---------------------------------------------------------------- presentation

void ListModel::setLargeIcons(bool large)
{
    if (m_large == large)
        return;
    m_large = large;
    if (!m_rows.empty())
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
        if (!m_listsNodes || index.column() != colLocation)
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
    m_catalogue.nodes().setText(node, value.toString());
    return true;
}
