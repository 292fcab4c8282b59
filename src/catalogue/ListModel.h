#pragma once
#include <QAbstractTableModel>
#include <QCollator>
#include <functional>
#include <vector>

class TCatalogue;
class TTreeNode;

// The list beside the tree. It owns no data: each row refers to a tree node
// and every cell is read from that node when it is drawn. Rows disappear by
// themselves when their node is deleted, also in the middle of a fill.
class TListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum TColumn { colName, colType, colLocation, colComment, colAdditional, ColumnCount };
    using TFillItem = std::function<void(TTreeNode* Node)>;

    explicit TListModel(TCatalogue& Catalogue, QObject* parent = nullptr);

    // Lists the direct children of Category, in tree order, as one batch (one
    // model reset). FillItem runs once per row right after the row is added;
    // it may delete that node or others, and the fill carries on with the
    // children that are left.
    void FillChildren(TTreeNode* Category, const TFillItem& FillItem);
    // Lists Node alone (after FillItem, which may delete it).
    void FillSingle(TTreeNode* Node, const TFillItem& FillItem);
    void Clear();
    bool Filling() const { return m_filling; }
    // The node given to the last fill, or null when it was deleted since.
    TTreeNode* Source() const { return m_source; }

    int Count() const { return int(m_rows.size()); }
    TTreeNode* Node(int Row) const;
    TTreeNode* NodeOf(const QModelIndex& Index) const
    {
        return Index.isValid() ? Node(Index.row()) : nullptr;
    }
    int RowOf(const TTreeNode* Node) const; // -1 when not listed
    const std::vector<TTreeNode*>& Rows() const { return m_rows; }

    // The text of one cell as the list shows it and sorts it.
    static QString CellText(const TTreeNode* Node, int Column);

    // The order of texts: the locale's, ignoring case.
    const QCollator& Collator() const { return m_collator; }
    void SetCollator(const QCollator& Collator) { m_collator = Collator; }
    // Compares two texts as the sort does: negative, 0 or positive.
    int Compare(const QString& A, const QString& B) const { return m_collator.compare(A, B); }
    // Stable sort by the column |Param| - 1, ascending for a positive Param,
    // descending for a negative one, in the collator's order. Each row's text
    // is read once before sorting (and case-folded once in the C locale).
    void Sort(int Param);
    // Gives the listed nodes' parents the list's order: each listed node in
    // turn goes to the end of its parent's children. One layout change per
    // parent.
    void ReorderTree();

    // Icons from the large (32 px) list instead of the small one.
    void SetLargeIcons(bool Large);
    bool LargeIcons() const { return m_large; }
    // Caption of the last column (the additional field's title).
    void SetAdTitle(const QString& Title);
    QString AdTitle() const { return m_adTitle; }
    // Header picture (an image index) of one column; -1 for none.
    void SetSortMark(int Column, int Image);
    int SortMark(int Column) const;
    void ClearSortMarks();

    // QAbstractItemModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    void nodeDeleting(TTreeNode* Node);
    void treeDataChanged(const QModelIndex& TopLeft, const QModelIndex& BottomRight);
    void beginFill(TTreeNode* Source);
    void endFill();

    TCatalogue& m_catalogue;
    std::vector<TTreeNode*> m_rows;
    TTreeNode* m_source = nullptr;
    bool m_filling = false;
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
void CheckListedNode(TCatalogue& Catalogue, TTreeNode* Node, bool RemoveOnAbsent);
