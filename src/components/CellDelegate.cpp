#include "components/CellDelegate.h"
#include "utils/TextUtils.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHelpEvent>
#include <QStyle>
#include <QTextDocument>
#include <QToolTip>

namespace
{

// Text cut to its first line and to Limit characters of that.
QString firstLine(const QString& text, qsizetype limit)
{
    qsizetype end = std::min(text.size(), limit);
    for (qsizetype i = 0; i < end; ++i)
        if (text.at(i) == u'\n' || text.at(i) == u'\r') {
            end = i;
            break;
        }
    return end == text.size() ? text : text.left(end);
}

} // namespace

CellDelegate::CellDelegate(QList<int> middleElided, QObject* parent)
    : QStyledItemDelegate(parent), m_middleElided(std::move(middleElided))
{
}

QString CellDelegate::shownText(const QString& text)
{
    return TextUtils::showBidiControls(firstLine(text, MaxShownChars));
}

void CellDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const
{
    QStyledItemDelegate::initStyleOption(option, index);
    option->text = shownText(option->text);
    if (m_middleElided.contains(index.column()))
        option->textElideMode = Qt::ElideMiddle;
}

bool CellDelegate::isCut(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    if (opt.text.isEmpty())
        return false;
    // A text of more lines, or longer than a cell shows, is cut already.
    if (firstLine(index.data(Qt::DisplayRole).toString(), MaxShownChars + 1).size() !=
        index.data(Qt::DisplayRole).toString().size())
        return true;
    const QStyle* style = opt.widget ? opt.widget->style() : QApplication::style();
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, opt.widget);
    // The style keeps a margin on each side of the text.
    const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, opt.widget) + 1;
    return opt.fontMetrics.horizontalAdvance(opt.text) > textRect.width() - 2 * margin;
}

bool CellDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view,
                             const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (!event || event->type() != QEvent::ToolTip || !index.isValid())
        return QStyledItemDelegate::helpEvent(event, view, option, index);
    QString tip = index.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty() && isCut(option, index))
        tip = index.data(Qt::DisplayRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    tip = TextUtils::showBidiControls(TextUtils::excerpt(tip, MaxTipChars));
    // A name or a path is text, never markup to render.
    if (Qt::mightBeRichText(tip))
        tip = Qt::convertFromPlainText(tip, Qt::WhiteSpaceNormal);
    QToolTip::showText(event->globalPos(), tip, view, view->visualRect(index));
    return true;
}
