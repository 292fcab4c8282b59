#pragma once
#include <QStyledItemDelegate>

// Draws list cells with paths cut in the middle, where the file name and the
// start of the path both stay readable, and shows the whole text of any cell
// that does not fit as its tooltip. A cell shows only its text's first line,
// and of that no more than a screen can hold, so that a huge text costs no
// more to measure or draw than a short one. Bidirectional controls show as
// "\u202E", so that no text can be made to read as another.
class CellDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    // Columns in MiddleElided are cut in the middle, the others at the end.
    CellDelegate(QList<int> middleElided, QObject* parent = nullptr);

    // The most a cell shows of its text's first line.
    static constexpr qsizetype MaxShownChars = 400;
    // The most a tooltip shows.
    static constexpr qsizetype MaxTipChars = 2000;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
    // True when the cell's text is wider than the room the cell gives it.
    bool isCut(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    // Text as a cell shows it.
    static QString shownText(const QString& text);

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;

private:
    QList<int> m_middleElided;
};
