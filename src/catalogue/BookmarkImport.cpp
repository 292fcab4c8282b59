#include "catalogue/BookmarkImport.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "utils/PathTests.h"
#include "utils/TextUtils.h"

#include <QUrl>
#include <cstring>
#include <iterator>

namespace
{

// Exports with an icon per link run to some hundred megabytes; anything far
// beyond that is no bookmark file, and reading it whole would eat the memory.
constexpr qint64 MaxBookmarkFileBytes = qint64(1) << 30;
// Longest entity name looked for after '&'.
constexpr qsizetype MaxEntityLength = 10;

constexpr char16_t ReplacementCharacter = 0xFFFD;

struct NamedEntity {
    const char16_t* name;
    char16_t value;
};

// The named entities beyond Latin-1 that exports and hand-made files use;
// numeric ones are read whatever they name.
constexpr NamedEntity Entities[] = {
    {u"amp", u'&'},     {u"lt", u'<'},      {u"gt", u'>'},       {u"quot", u'"'},
    {u"apos", u'\''},   {u"trade", 0x2122}, {u"hellip", 0x2026}, {u"ndash", 0x2013},
    {u"mdash", 0x2014}, {u"lsquo", 0x2018}, {u"rsquo", 0x2019},  {u"ldquo", 0x201C},
    {u"rdquo", 0x201D}, {u"euro", 0x20AC},  {u"bull", 0x2022},
};

// HTML's Latin-1 entities name the characters from U+00A0 on, in order.
constexpr const char16_t* Latin1Entities[] = {
    u"nbsp",   u"iexcl",  u"cent",   u"pound",  u"curren", u"yen",    u"brvbar", u"sect",
    u"uml",    u"copy",   u"ordf",   u"laquo",  u"not",    u"shy",    u"reg",    u"macr",
    u"deg",    u"plusmn", u"sup2",   u"sup3",   u"acute",  u"micro",  u"para",   u"middot",
    u"cedil",  u"sup1",   u"ordm",   u"raquo",  u"frac14", u"frac12", u"frac34", u"iquest",
    u"Agrave", u"Aacute", u"Acirc",  u"Atilde", u"Auml",   u"Aring",  u"AElig",  u"Ccedil",
    u"Egrave", u"Eacute", u"Ecirc",  u"Euml",   u"Igrave", u"Iacute", u"Icirc",  u"Iuml",
    u"ETH",    u"Ntilde", u"Ograve", u"Oacute", u"Ocirc",  u"Otilde", u"Ouml",   u"times",
    u"Oslash", u"Ugrave", u"Uacute", u"Ucirc",  u"Uuml",   u"Yacute", u"THORN",  u"szlig",
    u"agrave", u"aacute", u"acirc",  u"atilde", u"auml",   u"aring",  u"aelig",  u"ccedil",
    u"egrave", u"eacute", u"ecirc",  u"euml",   u"igrave", u"iacute", u"icirc",  u"iuml",
    u"eth",    u"ntilde", u"ograve", u"oacute", u"ocirc",  u"otilde", u"ouml",   u"divide",
    u"oslash", u"ugrave", u"uacute", u"ucirc",  u"uuml",   u"yacute", u"thorn",  u"yuml",
};
constexpr char16_t FirstLatin1Entity = 0x00A0;
static_assert(std::size(Latin1Entities) == 0x100 - FirstLatin1Entity);

// The character a named entity stands for; 0 for a name HTML does not have.
char16_t namedEntity(QStringView name)
{
    for (const NamedEntity& e : Entities)
        if (name == QStringView(e.name))
            return e.value;
    for (size_t i = 0; i < std::size(Latin1Entities); ++i)
        if (name == QStringView(Latin1Entities[i]))
            return char16_t(FirstLatin1Entity + i);
    return 0;
}

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f';
}

bool isNameChar(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == ':';
}

bool sameNoCase(QByteArrayView a, const char* b)
{
    const auto n = qsizetype(std::strlen(b));
    if (a.size() != n)
        return false;
    for (qsizetype i = 0; i < n; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z')
            c = char(c + ('a' - 'A'));
        if (c != b[i])
            return false;
    }
    return true;
}

// Appends one numeric entity's character; what names no character becomes
// the replacement character.
void appendCodePoint(QString& out, QStringView digits)
{
    bool ok = false;
    uint value = 0;
    if (digits.startsWith(u'x') || digits.startsWith(u'X'))
        value = digits.mid(1).toUInt(&ok, 16);
    else
        value = digits.toUInt(&ok, 10);
    if (!ok || value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        out += QChar(ReplacementCharacter);
        return;
    }
    const char32_t c = value;
    out += QString::fromUcs4(&c, 1);
}

QString decodeEntities(const QString& text)
{
    if (!text.contains(u'&'))
        return text;
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const qsizetype semi = c == u'&' ? text.indexOf(u';', i + 1) : qsizetype(-1);
        if (semi < 0 || semi - i - 1 > MaxEntityLength || semi == i + 1) {
            out += c;
            continue;
        }
        const QStringView name = QStringView(text).mid(i + 1, semi - i - 1);
        if (name.startsWith(u'#')) {
            appendCodePoint(out, name.mid(1));
            i = semi;
            continue;
        }
        const char16_t value = namedEntity(name);
        if (!value) {
            out += c; // not an entity: the text stays as it is
            continue;
        }
        out += QChar(value);
        i = semi;
    }
    return out;
}

// A field as the catalogue takes it: decoded, entities resolved, one line,
// without the blanks around it.
QString fieldText(QByteArrayView raw)
{
    return TextUtils::singleLine(decodeEntities(decodeField(raw)))
        .trimmed()
        .left(TextUtils::MaxFieldLength);
}

// A name as the catalogue takes one from outside: invisible controls could
// make it read as another.
QString nameText(QByteArrayView raw)
{
    return TextUtils::withoutBidiControls(fieldText(raw));
}

struct Tag {
    QByteArrayView name;
    QByteArrayView href;
    bool closing = false;
    bool hasHref = false;
    bool broken = false; // a quote or the tag itself not closed on its line
    qsizetype end = 0;   // just after the '>'
};

class Parser
{
public:
    explicit Parser(QByteArrayView html) : m_s(html) {}

    BookmarkList run()
    {
        while (m_pos < m_s.size()) {
            const char* lt = static_cast<const char*>(
                std::memchr(m_s.data() + m_pos, '<', size_t(m_s.size() - m_pos)));
            if (!lt)
                break;
            m_pos = lt - m_s.data();
            step();
        }
        return std::move(m_out);
    }

private:
    qsizetype find(char c, qsizetype from) const
    {
        if (from >= m_s.size())
            return -1;
        const void* p = std::memchr(m_s.data() + from, c, size_t(m_s.size() - from));
        return p ? static_cast<const char*>(p) - m_s.data() : -1;
    }

    // From m_pos at '<': one tag, comment or declaration.
    void step()
    {
        const QByteArrayView rest = m_s.sliced(m_pos);
        if (rest.startsWith("<!--")) {
            const qsizetype end = QByteArrayView(m_s).indexOf("-->", m_pos + 4);
            m_pos = end < 0 ? m_s.size() : end + 3;
            return;
        }
        if (rest.startsWith("<!") || rest.startsWith("<?")) {
            if (QByteArrayView(rest.data(), std::min<qsizetype>(rest.size(), 64))
                    .contains("NETSCAPE-Bookmark-file"))
                m_out.recognised = true;
            const qsizetype end = find('>', m_pos);
            m_pos = end < 0 ? m_s.size() : end + 1;
            return;
        }
        const Tag tag = readTag(m_pos);
        if (tag.name.isEmpty()) {
            ++m_pos; // a lone '<' in text
            return;
        }
        if (tag.broken) {
            if (!tag.closing && sameNoCase(tag.name, "a"))
                ++m_out.malformed;
            // Go on at the next line, where the next entry begins.
            const qsizetype eol = find('\n', m_pos);
            m_pos = eol < 0 ? m_s.size() : eol + 1;
            return;
        }
        m_pos = tag.end;
        if (tag.closing) {
            if (sameNoCase(tag.name, "dl"))
                closeList();
            return;
        }
        if (sameNoCase(tag.name, "dl"))
            openList();
        else if (sameNoCase(tag.name, "dt"))
            m_out.recognised = true;
        else if (sameNoCase(tag.name, "a"))
            link(tag);
        else if (sameNoCase(tag.name, "h3"))
            folder();
        else if (sameNoCase(tag.name, "dd"))
            description();
        else if (sameNoCase(tag.name, "title"))
            heading(true);
        else if (sameNoCase(tag.name, "h1"))
            heading(false);
    }

    Tag readTag(qsizetype at) const
    {
        Tag tag;
        qsizetype p = at + 1;
        if (p < m_s.size() && m_s[p] == '/') {
            tag.closing = true;
            ++p;
        }
        const qsizetype nameStart = p;
        while (p < m_s.size() && isNameChar(m_s[p]))
            ++p;
        tag.name = m_s.sliced(nameStart, p - nameStart);
        if (tag.name.isEmpty())
            return tag;
        for (;;) {
            while (p < m_s.size() && isSpace(m_s[p]))
                ++p;
            if (p >= m_s.size()) {
                tag.broken = true;
                return tag;
            }
            if (m_s[p] == '>') {
                tag.end = p + 1;
                return tag;
            }
            if (m_s[p] == '<') {
                tag.broken = true; // the next tag began before this one ended
                return tag;
            }
            const qsizetype attrStart = p;
            while (p < m_s.size() && !isSpace(m_s[p]) && m_s[p] != '=' && m_s[p] != '>')
                ++p;
            const QByteArrayView attr = m_s.sliced(attrStart, p - attrStart);
            if (attr.isEmpty()) {
                ++p; // a stray '/' or quote
                continue;
            }
            while (p < m_s.size() && isSpace(m_s[p]))
                ++p;
            if (p >= m_s.size() || m_s[p] != '=')
                continue; // an attribute without a value
            ++p;
            while (p < m_s.size() && isSpace(m_s[p]))
                ++p;
            QByteArrayView value;
            if (p < m_s.size() && (m_s[p] == '"' || m_s[p] == '\'')) {
                const qsizetype close = find(m_s[p], p + 1);
                const qsizetype eol = find('\n', p + 1);
                // Values never span lines in an export: a quote left open
                // would otherwise swallow the entries after it.
                if (close < 0 || (eol >= 0 && eol < close)) {
                    tag.broken = true;
                    return tag;
                }
                value = m_s.sliced(p + 1, close - p - 1);
                p = close + 1;
            } else {
                const qsizetype valueStart = p;
                while (p < m_s.size() && !isSpace(m_s[p]) && m_s[p] != '>')
                    ++p;
                value = m_s.sliced(valueStart, p - valueStart);
            }
            if (sameNoCase(attr, "href")) {
                tag.href = value;
                tag.hasHref = true;
            }
        }
    }

    // The text from m_pos to the next tag; True in Cut when the file ends first.
    QByteArrayView textToNextTag(bool* cut = nullptr)
    {
        const qsizetype lt = find('<', m_pos);
        const qsizetype end = lt < 0 ? m_s.size() : lt;
        if (cut)
            *cut = lt < 0;
        const QByteArrayView text = m_s.sliced(m_pos, end - m_pos);
        m_pos = end;
        return text;
    }

    // Steps over the closing tag Name when it is the next tag.
    void skipClosing(const char* name)
    {
        if (m_pos >= m_s.size())
            return;
        const Tag next = readTag(m_pos);
        if (!next.broken && next.closing && sameNoCase(next.name, name))
            m_pos = next.end;
    }

    void openList()
    {
        m_out.recognised = true;
        // A list right after a folder's heading holds that folder's entries;
        // any other list adds no level.
        const bool entered = m_folderPending;
        m_lists.push_back(entered);
        if (entered)
            ++m_depth;
        m_folderPending = false;
        m_describes = -1;
    }

    void closeList()
    {
        if (m_lists.empty())
            return; // more closings than openings
        if (m_lists.back())
            --m_depth;
        m_lists.pop_back();
        m_folderPending = false;
        m_describes = -1;
    }

    void folder()
    {
        const QString title = nameText(textToNextTag());
        skipClosing("h3");
        m_folderPending = false;
        m_describes = -1;
        if (m_depth >= maxBookmarkFolderDepth())
            return; // too deep to hold anything: its entries stay one level up
        BookmarkEntry e;
        e.kind = BookmarkEntry::Folder;
        e.depth = m_depth;
        e.title = title;
        m_out.entries.push_back(std::move(e));
        m_folderPending = true;
        m_describes = qsizetype(m_out.entries.size()) - 1;
    }

    void link(const Tag& tag)
    {
        m_folderPending = false;
        m_describes = -1;
        bool cut = false;
        const QString title = nameText(textToNextTag(&cut));
        skipClosing("a");
        const QString address = decodeEntities(decodeField(tag.href)).trimmed();
        bool local = false;
        // A file: URL may spell a line break that its path would then hold.
        if (!tag.hasHref || address.isEmpty() || cut ||
            address.size() > TextUtils::MaxFieldLength || TextUtils::hasLineBreakOrNul(address) ||
            TextUtils::hasLineBreakOrNul(bookmarkTarget(address, &local))) {
            ++m_out.malformed;
            return;
        }
        if (address.startsWith(QLatin1String("place:"), Qt::CaseInsensitive) ||
            address.startsWith(QLatin1String("javascript:"), Qt::CaseInsensitive)) {
            ++m_out.browserOnly;
            return;
        }
        BookmarkEntry e;
        e.kind = BookmarkEntry::Link;
        e.depth = std::min(m_depth, maxBookmarkFolderDepth());
        e.title = title;
        e.address = address;
        m_out.entries.push_back(std::move(e));
        m_describes = qsizetype(m_out.entries.size()) - 1;
    }

    void description()
    {
        const QString text = fieldText(textToNextTag());
        if (m_describes < 0 || text.isEmpty())
            return;
        QString& d = m_out.entries[size_t(m_describes)].description;
        d = d.isEmpty() ? text : d + u' ' + text;
    }

    void heading(bool title)
    {
        const QString text = fieldText(textToNextTag());
        skipClosing(title ? "title" : "h1");
        // <TITLE> names the file; <H1> only when there is none.
        if (title) {
            m_out.title = text;
            m_haveTitle = true;
        } else if (!m_haveTitle && m_out.title.isEmpty()) {
            m_out.title = text;
        }
    }

    QByteArrayView m_s;
    qsizetype m_pos = 0;
    BookmarkList m_out;
    std::vector<bool> m_lists; // per open <DL>: whether it entered a folder
    int m_depth = 0;
    bool m_folderPending = false;
    bool m_haveTitle = false;
    qsizetype m_describes = -1; // the entry a <DD> describes
};

} // namespace

int BookmarkList::linkCount() const
{
    return int(std::count_if(entries.begin(), entries.end(),
                             [](const BookmarkEntry& e) { return e.kind == BookmarkEntry::Link; }));
}

int BookmarkList::folderCount() const
{
    return int(entries.size()) - linkCount();
}

int maxBookmarkFolderDepth()
{
    return MaxCatalogueDepth - 1;
}

BookmarkList parseBookmarks(QByteArrayView html)
{
    return Parser(html).run();
}

BookmarkList readBookmarkFile(const QString& path)
{
    QFile file;
    QString why;
    if (!openRegularFile(path, file, &why))
        throw CatalogueError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, why));
    if (file.size() > MaxBookmarkFileBytes)
        throw CatalogueError(
            QStringLiteral("File \"%1\" is too large to be a bookmark file.").arg(path));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw CatalogueError(
            QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    BookmarkList list = parseBookmarks(bytes);
    if (!list.recognised)
        throw CatalogueError(
            QStringLiteral("File \"%1\" is not a bookmark file. Browsers export their bookmarks "
                           "as an HTML file that holds a <DL> list of them.")
                .arg(path));
    return list;
}

QString bookmarkTarget(const QString& address, bool* isLocal)
{
    *isLocal = false;
    if (address.startsWith(QLatin1String("file:"), Qt::CaseInsensitive)) {
        const QUrl url(address);
        QString path = url.isLocalFile() ? url.toLocalFile() : QString();
        // Only a whole path names a file: "file:notes/a.txt" would be read
        // against whatever folder the program runs in.
        if (path.startsWith(u'/')) {
            while (path.size() > 1 && path.endsWith(u'/'))
                path.chop(1);
            *isLocal = true;
            return path;
        }
        return address;
    }
    if (address.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive)) {
        const QString bare = address.mid(7);
        if (FileUtils::isEMail(bare))
            return bare;
    }
    return address;
}

TreeNode* fileBookmarks(Catalogue& catalogue, const BookmarkList& list, const QString& name)
{
    // Built out of the tree and placed as one row: the views, the searches
    // and the undo history hear of an import once, not once per entry.
    NewSubtree made(catalogue.categoryNode(name, QString(), QString()));
    std::vector<TreeNode*> lastAt{made.top()}; // the folder that takes entries of each depth
    for (const BookmarkEntry& e : list.entries) {
        // A depth never jumps by more than one, but a folder too deep to be
        // made leaves its entries with the folder above.
        const size_t depth = std::min(size_t(e.depth), lastAt.size() - 1);
        TreeNode* parent = lastAt[depth];
        lastAt.resize(depth + 1);
        if (e.kind == BookmarkEntry::Folder) {
            lastAt.push_back(
                made.append(parent, catalogue.categoryNode(e.title, e.description, QString())));
            continue;
        }
        bool local = false;
        const QString target = bookmarkTarget(e.address, &local);
        if (local) {
            NewNode doc = catalogue.docNode(e.title, target, e.description, QString(), false,
                                            FileUtils::probePath(target));
            // A name taken from the file's name is cleaned as a title is, so
            // an export and a new import give it back as it is.
            if (doc.text.isEmpty())
                doc.text =
                    TextUtils::singleLine(target.mid(target.lastIndexOf(u'/') + 1)).trimmed();
            made.append(parent, std::move(doc));
        } else {
            made.append(parent, catalogue.urlNode(e.title, target, e.description, QString()));
        }
    }
    return catalogue.nodes().appendSubtree(nullptr, std::move(made));
}
