#include "catalogue/ListModel.h"
#include "catalogue/Catalogue.h"
#include "catalogue/SettingKeys.h"

#include <QCollator>
#include <QFile>
#include <QScopeGuard>

#include <algorithm>
#include <numeric>
#include <sys/stat.h>
#include <unordered_set>

namespace
{

// One stat per path: the fill tests every listed document and folder, so
// nothing more than the existence and the kind is asked of the disk here.
bool onDisk(const QString& Path, bool Folder)
{
    if (Path.isEmpty())
        return false;
    struct stat st;
    if (::stat(QFile::encodeName(Path).constData(), &st) != 0)
        return false;
    return S_ISDIR(st.st_mode) == Folder;
}

} // namespace

void CheckListedNode(TCatalogue& Catalogue, TTreeNode* Node, bool RemoveOnAbsent)
{
    const TNodeInfo* info = Node->Data();
    if (!info || (info->Kind != nkDoc && info->Kind != nkFolder))
        return;
    if (Node->ImageIndex() != imgMissing && onDisk(info->FullName, info->Kind == nkFolder))
        return;
    if (Catalogue.RefreshNodeIcon(Node, true))
        return;
    if (!RemoveOnAbsent || !Catalogue.AskNewLocationHook)
        return;
    // The question may give the node a new record or delete it: it gets copies.
    const QString name = Node->Text(), path = info->FullName, comments = info->Comments;
    Catalogue.AskNewLocationHook(name, path, Node, comments);
}

TListModel::TListModel(TCatalogue& Catalogue, QObject* parent)
    : QAbstractTableModel(parent), m_catalogue(Catalogue),
      m_adTitle(QString::fromLatin1(Setting::AdTitle.Default))
{
    std::fill(std::begin(m_marks), std::end(m_marks), -1);
    m_collator.setCaseSensitivity(Qt::CaseInsensitive);
    TTreeNodes& nodes = Catalogue.Nodes();
    connect(&nodes, &TTreeNodes::nodeDeleting, this, &TListModel::nodeDeleting);
    connect(&nodes, &QAbstractItemModel::dataChanged, this, &TListModel::treeDataChanged);
}

// ---------------------------------------------------------------- filling

void TListModel::beginFill(TTreeNode* Source)
{
    beginResetModel();
    m_filling = true;
    m_rows.clear();
    m_source = Source;
}

void TListModel::endFill()
{
    m_filling = false;
    endResetModel();
}

void TListModel::FillChildren(TTreeNode* Category, const TFillItem& FillItem)
{
    beginFill(Category);
    auto done = qScopeGuard([this] { endFill(); });
    if (Category)
        m_rows.reserve(size_t(Category->Count()));
    // The rows listed so far are always the category's first children (a
    // deleted node takes its row with it), so the next child to list is the
    // one at the row count. m_source turns null if the category itself goes.
    while (m_source && Count() < m_source->Count()) {
        TTreeNode* child = m_source->Item(Count());
        m_rows.push_back(child);
        if (!FillItem)
            continue;
        FillItem(child);
        if (!m_source || m_rows.empty())
            continue;
        const int last = Count() - 1;
        if (last < m_source->Count() && m_source->Item(last) == m_rows.back())
            continue;
        // Something was inserted before the listed rows: list the children up
        // to the last one checked again, without checking them twice.
        const int upTo = (!m_rows.empty() && m_rows.back()->Parent() == m_source)
                             ? m_rows.back()->Index() + 1
                             : std::min(Count(), m_source->Count());
        m_rows.clear();
        for (int i = 0; i < upTo; ++i)
            m_rows.push_back(m_source->Item(i));
    }
}

void TListModel::FillSingle(TTreeNode* Node, const TFillItem& FillItem)
{
    beginFill(Node);
    auto done = qScopeGuard([this] { endFill(); });
    if (!Node)
        return;
    m_rows.push_back(Node);
    if (FillItem)
        FillItem(Node);
}

void TListModel::Clear()
{
    beginFill(nullptr);
    endFill();
}

// ---------------------------------------------------------------- rows and nodes

TTreeNode* TListModel::Node(int Row) const
{
    return (Row >= 0 && Row < Count()) ? m_rows[size_t(Row)] : nullptr;
}

int TListModel::RowOf(const TTreeNode* Node) const
{
    if (!Node)
        return -1;
    // Rows follow the tree's order of the listed category, so the node's own
    // position is nearly always its row.
    const int guess = Node->Index();
    if (guess < Count() && m_rows[size_t(guess)] == Node)
        return guess;
    const auto it = std::find(m_rows.begin(), m_rows.end(), Node);
    return it == m_rows.end() ? -1 : int(it - m_rows.begin());
}

void TListModel::nodeDeleting(TTreeNode* Node)
{
    if (m_rows.empty() && !m_source)
        return;
    std::vector<char> doomed(m_rows.size(), 0);
    bool any = false;
    if (m_source && m_source->IsUnder(Node)) {
        m_source = nullptr;
        std::fill(doomed.begin(), doomed.end(), 1);
        any = !m_rows.empty();
    } else if (!m_rows.empty() && m_rows.back() == Node) {
        doomed.back() = 1; // the row a fill has just added
        any = true;
    } else {
        // A row can only go with its own node or an ancestor; rows whose
        // parent is the listed category go only with their own node.
        for (size_t i = 0; i < m_rows.size(); ++i) {
            TTreeNode* row = m_rows[i];
            if (row == Node || (row->Parent() != m_source && row->IsUnder(Node))) {
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
    for (int last = Count() - 1; last >= 0;) {
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

void TListModel::treeDataChanged(const QModelIndex& TopLeft, const QModelIndex& BottomRight)
{
    if (m_filling || m_rows.empty() || !TopLeft.isValid())
        return;
    const QAbstractItemModel* tree = TopLeft.model();
    for (int r = TopLeft.row(); r <= BottomRight.row(); ++r) {
        const TTreeNode* node = TTreeNodes::NodeOf(tree->index(r, 0, TopLeft.parent()));
        if (!node)
            continue;
        // Only the cheap lookup: a node outside the listed category has no row.
        int row = -1;
        const int guess = node->Index();
        if (guess < Count() && m_rows[size_t(guess)] == node)
            row = guess;
        else if (Count() == 1 && m_rows.front() == node)
            row = 0;
        if (row >= 0)
            Q_EMIT dataChanged(index(row, 0), index(row, ColumnCount - 1));
    }
}

// ---------------------------------------------------------------- sorting

QString TListModel::CellText(const TTreeNode* Node, int Column)
{
    if (!Node)
        return {};
    if (Column == colName)
        return Node->Text();
    const TNodeInfo* info = Node->Data();
    if (!info)
        return {};
    switch (Column) {
    case colType:
        return NodeKindText(info->Kind);
    case colLocation:
        return info->FullName;
    case colComment:
        return info->Comments;
    case colAdditional:
        return info->sAdditional;
    default:
        return {};
    }
}

void TListModel::Sort(int Param)
{
    const QCollator& Collator = m_collator;
    const int column = std::abs(Param) - 1;
    if (column < 0 || column >= ColumnCount || m_rows.size() < 2)
        return;
    const bool descending = Param < 0;
    const size_t n = m_rows.size();
    std::vector<int> order(n);
    std::iota(order.begin(), order.end(), 0);

    if (Collator.locale().language() == QLocale::C) {
        // The C locale's collator compares code points (folding case when
        // asked) but its sort keys ignore the case setting: fold here instead.
        const bool fold = Collator.caseSensitivity() == Qt::CaseInsensitive;
        std::vector<QString> keys;
        keys.reserve(n);
        for (TTreeNode* node : m_rows)
            keys.push_back(fold ? CellText(node, column).toCaseFolded() : CellText(node, column));
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
        for (TTreeNode* node : m_rows)
            texts.push_back(CellText(node, column));
        std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = Collator.compare(texts[size_t(a)], texts[size_t(b)]);
            return descending ? c > 0 : c < 0;
        });
    }

    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    std::vector<TTreeNode*> sorted(n);
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

void TListModel::ReorderTree()
{
    TTreeNodes& nodes = m_catalogue.Nodes();
    // The listed nodes grouped by parent, parents in order of first appearance.
    std::vector<std::pair<TTreeNode*, std::vector<TTreeNode*>>> groups;
    for (TTreeNode* node : m_rows) {
        TTreeNode* parent = node->Parent();
        auto it = std::find_if(groups.begin(), groups.end(),
                               [parent](const auto& g) { return g.first == parent; });
        if (it == groups.end()) {
            groups.emplace_back(parent, std::vector<TTreeNode*>());
            it = groups.end() - 1;
            it->second.reserve(m_rows.size());
        }
        it->second.push_back(node);
    }
    for (auto& [parent, listed] : groups) {
        const int count = parent ? parent->Count() : nodes.RootCount();
        // clang 14 cannot capture a structured binding by reference.
        auto child = [&nodes, under = parent](int i) {
            return under ? under->Item(i) : nodes.RootItem(i);
        };
        std::vector<TTreeNode*> order;
        if (int(listed.size()) == count) {
            order = std::move(listed);
        } else {
            // Children that are not listed keep their places in front.
            const std::unordered_set<TTreeNode*> moved(listed.begin(), listed.end());
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
            nodes.Reorder(parent, order);
    }
}

// ---------------------------------------------------------------- presentation

void TListModel::SetLargeIcons(bool Large)
{
    if (m_large == Large)
        return;
    m_large = Large;
    if (!m_rows.empty())
        Q_EMIT dataChanged(index(0, 0), index(Count() - 1, 0), {Qt::DecorationRole});
}

void TListModel::SetAdTitle(const QString& Title)
{
    if (m_adTitle == Title)
        return;
    m_adTitle = Title;
    Q_EMIT headerDataChanged(Qt::Horizontal, colAdditional, colAdditional);
}

void TListModel::SetSortMark(int Column, int Image)
{
    if (Column < 0 || Column >= ColumnCount || m_marks[Column] == Image)
        return;
    m_marks[Column] = Image;
    Q_EMIT headerDataChanged(Qt::Horizontal, Column, Column);
}

int TListModel::SortMark(int Column) const
{
    return (Column >= 0 && Column < ColumnCount) ? m_marks[Column] : -1;
}

void TListModel::ClearSortMarks()
{
    for (int c = 0; c < ColumnCount; ++c)
        SetSortMark(c, -1);
}

int TListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : Count();
}

int TListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TListModel::data(const QModelIndex& index, int role) const
{
    const TTreeNode* node = NodeOf(index);
    if (!node || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::EditRole:
        return CellText(node, index.column());
    case Qt::DecorationRole:
        if (index.column() != colName)
            return {};
        return m_large ? m_catalogue.Images().Large.Icon(node->ImageIndex())
                       : m_catalogue.Images().Small.Icon(node->ImageIndex());
    default:
        return {};
    }
}

QVariant TListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || section < 0 || section >= ColumnCount)
        return QAbstractTableModel::headerData(section, orientation, role);
    if (role == Qt::DisplayRole) {
        static const char* const captions[] = {"Name", "Type", "Location", "Comment"};
        return section == colAdditional ? m_adTitle : QString::fromLatin1(captions[section]);
    }
    if (role == Qt::DecorationRole && m_marks[section] >= 0)
        return m_catalogue.Images().Small.Icon(m_marks[section]);
    return {};
}

Qt::ItemFlags TListModel::flags(const QModelIndex& index) const
{
    if (!index.isValid())
        return Qt::NoItemFlags;
    return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}
