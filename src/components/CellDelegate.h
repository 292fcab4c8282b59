#pragma once
#include <QStyledItemDelegate>

// Draws list cells with paths cut in the middle, where the file name and the
// start of the path both stay readable, and shows the whole text of any cell
// that does not fit as its tooltip.
class CellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Columns in MiddleElided are cut in the middle, the others at the end.
    CellDelegate(QList<int> middleElided, QObject* parent = nullptr);

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // True when the cell's text is wider than the room the cell gives it.
    bool isCut(const QStyleOptionViewItem& option, const QModelIndex& index) const;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QList<int> m_middleElided;
};
