#include "components/DropFormats.h"

#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextDocumentFragment>
#include <QUrl>
#include <algorithm>

namespace DropFormats
{
namespace
{

constexpr char NetscapeUrlMime[] = "_NETSCAPE_URL";
constexpr char MozUrlMime[] = "text/x-moz-url";
constexpr char MozUrlDescMime[] = "text/x-moz-url-desc";
constexpr char UriListMime[] = "text/uri-list";
constexpr char HtmlMime[] = "text/html";
// Shortcut files are small; anything bigger is not one.
constexpr qint64 MaxShortcutSize = 64 * 1024;

Link twoLines(QString text)
{
    text.remove(QChar(u'\0'));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    Link link;
    const qsizetype cut = text.indexOf(u'\n');
    link.url = (cut < 0 ? text : text.left(cut)).trimmed();
    if (cut >= 0)
        link.title = text.mid(cut + 1).section(u'\n', 0, 0).trimmed();
    return link;
}

// Browsers hand over some texts as UTF-16 without saying so: a zero byte
// among the first two tells.
QString decodeMaybeUtf16(const QByteArray& bytes)
{
    const bool utf16 = bytes.startsWith("\xff\xfe") || bytes.startsWith("\xfe\xff") ||
                       (bytes.size() >= 2 && (bytes[0] == 0 || bytes[1] == 0));
    if (!utf16)
        return QString::fromUtf8(bytes);
    QStringDecoder decode(QStringDecoder::Utf16);
    return decode(bytes);
}

QString withoutSuffix(const QString& name)
{
    const qsizetype dot = name.lastIndexOf(u'.');
    return dot > 0 ? name.left(dot) : name;
}

bool isShortcutName(const QString& path)
{
    return path.endsWith(QStringLiteral(".url"), Qt::CaseInsensitive) ||
           path.endsWith(QStringLiteral(".desktop"), Qt::CaseInsensitive);
}

} // namespace

Link readNetscapeUrl(const QByteArray& bytes)
{
    return twoLines(QString::fromUtf8(bytes));
}

Link readMozUrl(const QByteArray& bytes)
{
    QStringDecoder decode(QStringDecoder::Utf16);
    return twoLines(decode(bytes));
}

QStringList readUriList(const QByteArray& bytes)
{
    QStringList out;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty() || line.startsWith('#') || line.contains('\0'))
            continue;
        out << QString::fromUtf8(line);
    }
    return out;
}

QString htmlAnchorTitle(const QByteArray& bytes)
{
    static const QRegularExpression anchor(QStringLiteral("<a\\b[^>]*>(.*?)</a\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = anchor.match(decodeMaybeUtf16(bytes));
    if (!m.hasMatch())
        return {};
    return QTextDocumentFragment::fromHtml(m.captured(1)).toPlainText().simplified();
}

QString internetShortcutUrl(const QStringList& lines)
{
    // The last line cannot open a section that holds anything.
    qsizetype i = 0;
    while (i + 1 < lines.size() &&
           lines[i].compare(QLatin1String("[InternetShortcut]"), Qt::CaseInsensitive) != 0)
        ++i;
    if (i + 1 >= lines.size())
        return {};
    for (++i; i < lines.size(); ++i) {
        const QString& line = lines[i];
        if (line.startsWith(u'['))
            return {};
        if (line.startsWith(QLatin1String("URL="), Qt::CaseInsensitive))
            return line.mid(4);
    }
    return {};
}

QString desktopLinkUrl(const QStringList& lines)
{
    bool inEntry = false, isLink = false;
    QString url;
    for (const QString& raw : lines) {
        const QString line = raw.trimmed();
        if (line.startsWith(u'[')) {
            if (inEntry)
                break; // only the main group counts
            inEntry = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        if (!inEntry)
            continue;
        const qsizetype eq = line.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        if (key == QLatin1String("Type"))
            isLink = value == QLatin1String("Link");
        else if (key == QLatin1String("URL"))
            url = value;
    }
    return isLink ? url : QString();
}

QString shortcutFileUrl(const QString& path)
{
    if (!isShortcutName(path))
        return {};
    QFile file(path);
    const QFileInfo info(path);
    if (!info.isFile() || info.size() > MaxShortcutSize || !file.open(QIODevice::ReadOnly))
        return {};
    // Read at enter, on the GUI thread: never more than a shortcut can be,
    // whatever the size said (a file that grows, one the kernel makes up).
    const QByteArray bytes = file.read(MaxShortcutSize + 1);
    if (bytes.size() > MaxShortcutSize)
        return {};
    QString text = QString::fromUtf8(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QStringList lines = text.split(u'\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast(); // the line break that ends the file opens no line
    return path.endsWith(QStringLiteral(".url"), Qt::CaseInsensitive) ? internetShortcutUrl(lines)
                                                                      : desktopLinkUrl(lines);
}

QString shortcutFileTitle(const QString& path)
{
    return withoutSuffix(QFileInfo(path).fileName());
}

bool isPrivateDrag(const QMimeData* data)
{
    return data && data->hasFormat(QString::fromLatin1(PrivateNodesMime));
}

namespace
{

QList<QUrl> uriListUrls(const QMimeData* data)
{
    QList<QUrl> urls;
    for (const QString& text : readUriList(data->data(QString::fromLatin1(UriListMime))))
        urls << QUrl(text);
    // Qt's X11 layer offers some lists only already parsed.
    return urls.isEmpty() ? data->urls() : urls;
}

} // namespace

QStringList localFiles(const QMimeData* data)
{
    QStringList out;
    if (!data || isPrivateDrag(data))
        return out;
    for (const QUrl& url : uriListUrls(data))
        if (url.isLocalFile() && !url.toLocalFile().isEmpty())
            out << url.toLocalFile();
    return out;
}

Link readLink(const QMimeData* data)
{
    Link link;
    if (!data || isPrivateDrag(data))
        return link;
    const QString netscape = QString::fromLatin1(NetscapeUrlMime);
    const QString moz = QString::fromLatin1(MozUrlMime);
    if (data->hasFormat(netscape))
        link = readNetscapeUrl(data->data(netscape));
    if (link.url.isEmpty() && data->hasFormat(moz))
        link = readMozUrl(data->data(moz));
    if (link.url.isEmpty()) {
        for (const QUrl& url : uriListUrls(data))
            if (!url.isLocalFile() && url.isValid() && !url.isEmpty()) {
                link.url = url.toString(QUrl::FullyEncoded);
                break;
            }
    }
    if (!link.url.isEmpty() && link.title.isEmpty()) {
        const QString desc = QString::fromLatin1(MozUrlDescMime);
        if (data->hasFormat(desc))
            link.title = decodeMaybeUtf16(data->data(desc)).remove(QChar(u'\0')).trimmed();
        if (link.title.isEmpty())
            link.title = htmlAnchorTitle(data->data(QString::fromLatin1(HtmlMime)));
    }
    if (link.url.isEmpty()) {
        // Dragged files: only the first counts, and only as a shortcut file.
        const QStringList files = localFiles(data);
        if (!files.isEmpty()) {
            link.url = shortcutFileUrl(files.first());
            if (!link.url.isEmpty())
                link.title = shortcutFileTitle(files.first());
        } else if (data->hasText()) {
            link.url = data->text().trimmed();
        }
    }
    if (link.title.isEmpty())
        link.title = link.url;
    return link;
}

bool offersWebLink(const QMimeData* data)
{
    if (!data || isPrivateDrag(data) || !localFiles(data).isEmpty())
        return false;
    if (data->hasFormat(QString::fromLatin1(NetscapeUrlMime)) ||
        data->hasFormat(QString::fromLatin1(MozUrlMime)))
        return true;
    const QList<QUrl> urls = uriListUrls(data);
    return std::any_of(urls.begin(), urls.end(),
                       [](const QUrl& url) { return url.isValid() && !url.isLocalFile(); });
}

bool offersLink(const QMimeData* data)
{
    if (!data || isPrivateDrag(data))
        return false;
    return data->hasFormat(QString::fromLatin1(NetscapeUrlMime)) ||
           data->hasFormat(QString::fromLatin1(MozUrlMime)) || data->hasUrls() || data->hasText();
}

} // namespace DropFormats
