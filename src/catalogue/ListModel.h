#pragma once
#include <QAbstractTableModel>
#include <QCollator>
#include <functional>
#include <vector>

class Catalogue;
class TreeNode;

// The list beside the tree. It owns no data: each row refers to a tree node
// and every cell is read from that node when it is drawn. Rows disappear by
// themselves when their node is deleted, also in the middle of a fill.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum ListColumn { colName, colType, colLocation, colComment, colAdditional, ColumnCount };
    using FillItem = std::function<void(TreeNode* node)>;

    explicit ListModel(Catalogue& catalogue, QObject* parent = nullptr);

    // Lists the direct children of Category, in tree order, as one batch (one
    // model reset). FillItem runs once per row right after the row is added;
    // it may delete that node or others, and the fill carries on with the
    // children that are left.
    void fillChildren(TreeNode* category, const FillItem& fillItem);
    // Lists Node alone (after FillItem, which may delete it).
    void fillSingle(TreeNode* node, const FillItem& fillItem);
    void clear();
    // Lists Nodes from anywhere in the tree (a filter's result) as one batch,
    // without the on-disk check; the Location column's tooltip names each
    // row's category. Any other fill ends it.
    void fillNodes(std::vector<TreeNode*> nodes);
    bool listsNodes() const { return m_listsNodes; }
    // The categories above Node, outermost first ("Work / Reports").
    static QString categoryPath(const TreeNode* node);
    bool filling() const { return m_filling; }
    // The node given to the last fill, or null when it was deleted since.
    TreeNode* source() const { return m_source; }

    int count() const { return int(m_rows.size()); }
    TreeNode* node(int row) const;
    TreeNode* nodeOf(const QModelIndex& index) const
    {
        return index.isValid() ? node(index.row()) : nullptr;
    }
    int rowOf(const TreeNode* node) const; // -1 when not listed
    const std::vector<TreeNode*>& rows() const { return m_rows; }

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
    void sortBy(int param);
    // Gives the listed nodes' parents the list's order: each listed node in
    // turn goes to the end of its parent's children. One layout change per
    // parent.
    void reorderTree();

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

private:
    void nodeDeleting(TreeNode* node);
    void treeDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight);
    void beginFill(TreeNode* source);
    void endFill();

    Catalogue& m_catalogue;
    std::vector<TreeNode*> m_rows;
    TreeNode* m_source = nullptr;
    bool m_filling = false;
    bool m_listsNodes = false;
    bool m_large = false;
    QString m_adTitle;
    QCollator m_collator;
    int m_marks[ColumnCount];
};

// The on-disk check a fill makes for one listed node. A document or folder
// that shows the missing-target image or is not on disk is probed again
// (its icon follows); when it is still missing and RemoveOnAbsent is on, the
// catalogue's relink question runs, which may re-point or delete the node.
// Categories and hyperlinks are not checked.
void checkListedNode(Catalogue& catalogue, TreeNode* node, bool removeOnAbsent);
