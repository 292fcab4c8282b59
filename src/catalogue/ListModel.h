#pragma once
#include <QAbstractTableModel>
#include <QCollator>
#include <memory>
#include <unordered_map>
#include <vector>

class Catalogue;
class NodeTree;
class TreeNode;

// The list beside the tree. It owns no data: each row refers to a tree node
// and every cell is read from that node when it is drawn. The rows follow
// the tree: a listed category's children come, go and move as the tree
// tells its views, a removed node takes its row along, and a changed node
// or record redraws its row.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum ListColumn { colName, colType, colLocation, colComment, colAdditional, ColumnCount };
    enum class Listing { Nothing, Children, Single, Nodes };

    explicit ListModel(Catalogue& catalogue, QObject* parent = nullptr);
    ~ListModel() override;

    // Lists the direct children of Category, in tree order, as one batch (one
    // model reset), and follows them from then on.
    void fillChildren(TreeNode* category);
    // Lists Node alone.
    void fillSingle(TreeNode* node);
    void clear();
    // Lists Nodes from anywhere in the tree (a filter's result) as one batch;
    // the Location column's tooltip names each row's category. Any other
    // fill ends it.
    void fillNodes(std::vector<TreeNode*> nodes);
    Listing listing() const { return m_listing; }
    bool listsNodes() const { return m_listing == Listing::Nodes; }
    // The categories above Node, outermost first ("Work / Reports").
    static QString categoryPath(const TreeNode* node);
    // The listed category or single node; null for found nodes, nothing, or
    // once it was removed.
    TreeNode* source() const { return m_source; }

    int count() const;
    TreeNode* node(int row) const;
    TreeNode* nodeOf(const QModelIndex& index) const
    {
        return index.isValid() ? node(index.row()) : nullptr;
    }
    int rowOf(const TreeNode* node) const; // -1 when not listed
    // The listed nodes in row order (a copy).
    std::vector<TreeNode*> rows() const;

    // The text of one cell as the list shows it and sorts it.
    static QString cellText(const TreeNode* node, int column);

    // The order of texts: the locale's, ignoring case.
    const QCollator& collator() const { return m_collator; }
    void setCollator(const QCollator& collator) { m_collator = collator; }
    // Compares two texts as the sort does: negative, 0 or positive.
    int compare(const QString& a, const QString& b) const { return m_collator.compare(a, b); }
    // Stable sort by the column |Param| - 1, ascending for a positive Param,
    // descending for a negative one, in the collator's order. Each row's text
    // is read once before sorting (and case-folded once in the C locale).
    // A listed category takes the order in the tree (the rows follow it);
    // found nodes are sorted in the list alone. From AsyncSortRows rows on,
    // the order is worked out on another thread from copies of the texts
    // and applied once ready if the rows and texts are still the same (the
    // sort starts again after a change of the tree; another listing drops
    // it); fewer rows are sorted at once. sortApplied follows either way.
    void sortBy(int param);
    static constexpr int AsyncSortRows = 4000;
    // A sort is being worked out on another thread.
    bool sorting() const { return m_sortJob != nullptr; }

    // Icons from the large (32 px) list instead of the small one.
    void setLargeIcons(bool large);
    bool largeIcons() const { return m_large; }
    // Caption of the last column (the additional field's title).
    void setAdTitle(const QString& title);
    QString adTitle() const { return m_adTitle; }
    // Header picture (an image index) of one column; -1 for none.
    void setSortMark(int column, int image);
    int sortMark(int column) const;
    void clearSortMarks();

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role) override;
    // A row is dragged as its node (the tree's drag data): moved or copied
    // onto the tree's rows.
    QStringList mimeTypes() const override;
    QMimeData* mimeData(const QModelIndexList& indexes) const override;
    Qt::DropActions supportedDragActions() const override;

Q_SIGNALS:
    // A sort asked for by sortBy is done (rows in order, or nothing to do).
    void sortApplied();

private:
    struct SortJob;
    std::vector<QString> sortTexts(int column) const;
    void startSortJob(int param);
    void finishSortJob();
    void dropSortJob();
    void applyOrder(const std::vector<int>& order);

    // What the list has announced of a change of the tree and still has to
    // complete when the tree says the change is done.
    enum class Pending { None, Insert, Remove, RemoveAll, Move, Layout };

    void connectTree(NodeTree& nodes);
    void beginFill(Listing listing, TreeNode* source);
    bool isSource(const QModelIndex& treeParent) const;
    bool sourceGoes(const QModelIndex& treeParent, int first, int last) const;
    void rowsAboutToGo(const QModelIndex& parent, int first, int last);
    void rowsAboutToMove(const QModelIndex& from, int first, int last, const QModelIndex& to,
                         int row);
    void finishPending();
    void treeDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void nodeChanged(const TreeNode* node);

    // Found nodes: a removed row leaves a hole (null) in m_found and the
    // counts of live rows in m_live (a Fenwick tree) turn rows into
    // positions and back in O(log n); m_position finds a node's position.
    void removeFound(std::vector<const TreeNode*> gone);
    int foundRow(int position) const;
    int foundPosition(int row) const;
    void compactFound();
    const std::unordered_map<const TreeNode*, int>& foundPositions() const;

    Catalogue& m_catalogue;
    Listing m_listing = Listing::Nothing;
    TreeNode* m_source = nullptr;
    Pending m_pending = Pending::None;
    std::vector<TreeNode*> m_layoutNodes; // the nodes of kept indexes across a layout change
    std::vector<TreeNode*> m_found;
    std::vector<int> m_live; // empty while m_found has no hole
    int m_holes = 0;
    mutable std::unordered_map<const TreeNode*, int> m_position; // built when first needed
    bool m_large = false;
    QString m_adTitle;
    QCollator m_collator;
    int m_marks[ColumnCount];
    // Bumped by every change of the tree's shape and of a node's texts or
    // record: a sort worked out meanwhile may no longer fit the rows.
    quint64 m_rowsVersion = 0;
    std::shared_ptr<SortJob> m_sortJob;
};

// The on-disk check of a listed node. A document or folder that shows the
// missing-target image or is not on disk is probed again (its icon follows).
// True when it is still missing. Categories and hyperlinks are not checked.
bool checkOnDisk(Catalogue& catalogue, TreeNode* node);
// The same, and for a missing one with RemoveOnAbsent on, the catalogue's
// relink question, which may re-point or delete the node.
void checkListedNode(Catalogue& catalogue, TreeNode* node, bool removeOnAbsent);
