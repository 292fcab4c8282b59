#include "utils/MyTextUtils.h"

namespace MyTextUtils
{

QString TakeField(const QString& Separator, QString& Text, bool Cut)
{
    const qsizetype at = Separator.isEmpty() ? -1 : Text.indexOf(Separator);
    if (at < 0)
        return Text;
    QString field = Text.left(at);
    if (Cut)
        Text.remove(0, at + Separator.size());
    return field;
}

QStringList SplitToArray(const QString& Text, const QString& Separators)
{
    QStringList pieces;
    if (Text.isEmpty())
        return pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < Text.size(); ++i) {
        if (Separators.contains(Text.at(i))) {
            pieces.append(Text.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(Text.mid(start));
    return pieces;
}

QString CutFirst(const QString& Text, const QString& Part)
{
    const qsizetype at = Part.isEmpty() ? -1 : Text.indexOf(Part);
    if (at < 0)
        return Text;
    QString out = Text;
    out.remove(at, Part.size());
    return out;
}

bool HasLineBreakOrNul(const QString& Text)
{
    for (QChar c : Text)
        if (c == u'\0' || c == u'\r' || c == u'\n' || c == u'\x1a')
            return true;
    return false;
}

QString SingleLine(const QString& Text)
{
    if (!HasLineBreakOrNul(Text))
        return Text;
    QString out;
    out.reserve(Text.size());
    bool inBreak = false;
    for (QChar c : Text) {
        if (c == u'\r' || c == u'\n') {
            if (!inBreak)
                out.append(u' ');
            inBreak = true;
            continue;
        }
        inBreak = false;
        if (c != u'\0' && c != u'\x1a')
            out.append(c);
    }
    return out;
}

QString Excerpt(const QString& Text, int MaxChars)
{
    if (Text.size() <= MaxChars)
        return Text;
    return Text.left(MaxChars) + QStringLiteral("...");
}

} // namespace MyTextUtils
