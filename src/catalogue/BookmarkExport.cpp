#include "catalogue/BookmarkExport.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/NodeTree.h"
#include "utils/PathTests.h"

#include <QSaveFile>
#include <QUrl>
#include <algorithm>
#include <vector>

namespace
{

constexpr int IndentWidth = 4;

// Text and attribute values alike: the five characters HTML gives meaning.
void appendEscaped(QByteArray& out, const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    if (std::none_of(utf8.begin(), utf8.end(), [](char c) {
            return c == '&' || c == '<' || c == '>' || c == '"' || c == '\'';
        })) {
        out += utf8; // nearly every text
        return;
    }
    for (const char c : utf8) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

void appendIndent(QByteArray& out, int level)
{
    out.append(qsizetype(level) * IndentWidth, ' ');
}

bool isCategory(const TreeNode* node)
{
    return !node->data() || node->isCategory();
}

// One level of the walk: the children of Parent (the roots when null).
struct Level {
    const TreeNode* parent;
    int next;
    bool list; // a folder's <DL> is open for it
};

} // namespace

QString bookmarkAddress(const TreeNode* node)
{
    const NodeInfo* info = node->data();
    if (!info)
        return {};
    const QString& target = info->fullName;
    if (info->kind == NodeKind::Doc || info->kind == NodeKind::Folder)
        return QString::fromLatin1(QUrl::fromLocalFile(target).toEncoded());
    if (FileUtils::isEMail(target) &&
        !target.startsWith(QLatin1String("mailto:"), Qt::CaseInsensitive))
        return QStringLiteral("mailto:") + target;
    return target;
}

QByteArray bookmarkHtml(const NodeTree& nodes, const TreeNode* category, const TreeNode* skip,
                        const QString& title, BookmarkExportCount* count)
{
    BookmarkExportCount counted;
    QByteArray out;
    out += "<!DOCTYPE NETSCAPE-Bookmark-file-1>\n"
           "<!-- This is an automatically generated file.\n"
           "     It will be read and overwritten.\n"
           "     DO NOT EDIT! -->\n"
           "<META HTTP-EQUIV=\"Content-Type\" CONTENT=\"text/html; charset=UTF-8\">\n"
           "<TITLE>";
    appendEscaped(out, title);
    out += "</TITLE>\n<H1>";
    appendEscaped(out, title);
    out += "</H1>\n\n<DL><p>\n";

    // Without recursion: no depth of nesting can exhaust the stack.
    std::vector<Level> levels{{category, 0, false}};
    int depth = 1; // open lists, the top one included
    while (!levels.empty()) {
        Level& level = levels.back();
        const int childCount = level.parent ? level.parent->count() : nodes.rootCount();
        if (level.next >= childCount) {
            if (level.list) {
                --depth;
                appendIndent(out, depth);
                out += "</DL><p>\n";
            }
            levels.pop_back();
            continue;
        }
        const TreeNode* node =
            level.parent ? level.parent->item(level.next) : nodes.rootItem(level.next);
        ++level.next;
        if (node == skip)
            continue;
        const QString comment = node->data() ? node->data()->comments.text() : QString();
        appendIndent(out, depth);
        if (isCategory(node)) {
            ++counted.folders;
            out += "<DT><H3>";
            appendEscaped(out, node->text());
            out += "</H3>\n";
        } else {
            ++counted.links;
            out += "<DT><A HREF=\"";
            appendEscaped(out, bookmarkAddress(node));
            out += "\">";
            appendEscaped(out, node->text());
            out += "</A>\n";
        }
        if (!comment.isEmpty()) {
            appendIndent(out, depth);
            out += "<DD>";
            appendEscaped(out, comment);
            out += '\n';
        }
        if (isCategory(node)) {
            appendIndent(out, depth);
            out += "<DL><p>\n";
            ++depth;
            levels.push_back({node, 0, true});
        } else if (node->hasChildren()) {
            levels.push_back({node, 0, false}); // a link holds no list
        }
    }
    out += "</DL><p>\n";
    if (count)
        *count = counted;
    return out;
}

void writeBookmarkFile(const QString& path, const QByteArray& html)
{
    // A link to a regular file is followed; a device, FIFO or folder is never replaced.
    const FileStamp before = FileStamp::of(path);
    if (before.exists && !before.regular)
        throw CatalogueError(
            QStringLiteral(
                "Cannot write file \"%1\": it is not a regular file, so it was left as it is.")
                .arg(path));
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw CatalogueError(
            QStringLiteral("Cannot create file \"%1\". %2").arg(path, file.errorString()));
    if (file.write(html) != html.size() || !file.commit())
        throw CatalogueError(
            QStringLiteral("Cannot write file \"%1\". %2").arg(path, file.errorString()));
}
