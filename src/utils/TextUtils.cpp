#include "utils/TextUtils.h"

#include <algorithm>

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

bool isBidiControl(QChar c)
{
    const char16_t u = c.unicode();
    return (u >= 0x202a && u <= 0x202e) || (u >= 0x2066 && u <= 0x2069);
}

bool hasBidiControls(const QString& text)
{
    return std::any_of(text.begin(), text.end(), isBidiControl);
}

QString withoutBidiControls(const QString& text)
{
    if (!hasBidiControls(text))
        return text;
    QString out = text;
    out.removeIf(isBidiControl);
    return out;
}

namespace
{

constexpr qsizetype EscapeLength = 6; // "\u202E"

QString escapeOf(QChar c)
{
    return QStringLiteral("\\u") +
           QString::number(c.unicode(), 16).toUpper().rightJustified(4, u'0');
}

} // namespace

QString showBidiControls(const QString& text)
{
    if (!hasBidiControls(text))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        if (isBidiControl(c))
            out += escapeOf(c);
        else
            out += c;
    }
    return out;
}

QString unshowBidiControls(const QString& text)
{
    if (!text.contains(QStringLiteral("\\u")))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text.at(i) == u'\\' && i + EscapeLength <= text.size() && text.at(i + 1) == u'u') {
            bool ok = false;
            const uint code = QStringView(text).mid(i + 2, 4).toUInt(&ok, 16);
            const QChar c(char16_t(code & 0xffff));
            // Only the exact form showBidiControls writes.
            if (ok && code <= 0xffff && isBidiControl(c) &&
                text.mid(i, EscapeLength) == escapeOf(c)) {
                out += c;
                i += EscapeLength - 1;
                continue;
            }
        }
        out += text.at(i);
    }
    return out;
}

} // namespace TextUtils
