#include "utils/TextUtils.h"

namespace TextUtils
{

QString takeField(const QString& separator, QString& text, bool cut)
{
    const qsizetype at = separator.isEmpty() ? -1 : text.indexOf(separator);
    if (at < 0)
        return text;
    QString field = text.left(at);
    if (cut)
        text.remove(0, at + separator.size());
    return field;
}

QStringList splitToArray(const QString& text, const QString& separators)
{
    QStringList pieces;
    if (text.isEmpty())
        return pieces;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (separators.contains(text.at(i))) {
            pieces.append(text.mid(start, i - start));
            start = i + 1;
        }
    }
    pieces.append(text.mid(start));
    return pieces;
}

QString cutFirst(const QString& text, const QString& part)
{
    const qsizetype at = part.isEmpty() ? -1 : text.indexOf(part);
    if (at < 0)
        return text;
    QString out = text;
    out.remove(at, part.size());
    return out;
}

bool hasLineBreakOrNul(const QString& text)
{
    for (QChar c : text)
        if (c == u'\0' || c == u'\r' || c == u'\n' || c == u'\x1a')
            return true;
    return false;
}

QString singleLine(const QString& text)
{
    if (!hasLineBreakOrNul(text))
        return text;
    QString out;
    out.reserve(text.size());
    bool inBreak = false;
    for (QChar c : text) {
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

QString excerpt(const QString& text, int maxChars)
{
    if (text.size() <= maxChars)
        return text;
    return text.left(maxChars) + QStringLiteral("...");
}

} // namespace TextUtils
