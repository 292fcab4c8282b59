#include "catalogue/CatalogueListing.h"
#include "catalogue/Catalogue.h"
#include "catalogue/CatalogueFile.h"
#include "catalogue/CatalogueFilter.h"

#include <QFileInfo>
#include <algorithm>

namespace CatalogueListing
{

namespace
{

// Output leaves in pieces of about this size.
constexpr qsizetype OutputChunk = 64 << 10;

QString kindWord(NodeKind kind)
{
    switch (kind) {
    case NodeKind::Category:
        return QStringLiteral("category");
    case NodeKind::Folder:
        return QStringLiteral("folder");
    case NodeKind::Url:
        return QStringLiteral("hyperlink");
    default:
        return QStringLiteral("document"); // the loader takes any other code for a document
    }
}

void appendEscaped(QString& out, QStringView text, bool slash)
{
    // Nearly every field has nothing to escape: one copy for the whole field.
    const auto special = [slash](QChar c) {
        return c == u'\\' || c == u'\t' || c == u'\n' || c == u'\r' || (slash && c == u'/');
    };
    if (std::none_of(text.begin(), text.end(), special)) {
        out += text;
        return;
    }
    for (const QChar c : text) {
        switch (c.unicode()) {
        case u'\\':
            out += u"\\\\";
            break;
        case u'\t':
            out += u"\\t";
            break;
        case u'\n':
            out += u"\\n";
            break;
        case u'\r':
            out += u"\\r";
            break;
        case u'/':
            out += slash ? u"\\/" : u"/";
            break;
        default:
            out += c;
        }
    }
}

bool sameName(const QString& a, const QString& b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

} // namespace

QStringList splitCategoryPath(QStringView path)
{
    QStringList names;
    QString name;
    for (qsizetype i = 0; i < path.size(); ++i) {
        const QChar c = path[i];
        if (c == u'\\' && i + 1 < path.size() && (path[i + 1] == u'/' || path[i + 1] == u'\\')) {
            name += path[++i];
        } else if (c == u'/') {
            if (name.isEmpty())
                return {};
            names << std::exchange(name, {});
        } else {
            name += c;
        }
    }
    if (name.isEmpty())
        return {};
    names << name;
    return names;
}

QString categoryPathText(const QStringList& names)
{
    QString out;
    for (const QString& name : names) {
        if (!out.isEmpty())
            out += u'/';
        appendEscaped(out, name, true);
    }
    return out;
}

QString escapeField(QStringView text)
{
    QString out;
    out.reserve(text.size());
    appendEscaped(out, text, false);
    return out;
}

Outcome listCatalogue(const QString& path, QStringView findText,
                      const std::function<void(QByteArrayView)>& out)
{
    Outcome outcome;
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return outcome;
    const QStringList words = filterWords(findText);
    const bool finding = !findText.isEmpty();

    CatalogueReader reader(path);
    reader.probePaths = false;
    QStringList parents;    // the names above the current line, by depth
    QStringList parentText; // the same, each as its path text
    QString line, key, pending;
    auto take = [&](const CatalogueLineFields& f) {
        ++outcome.linesRead;
        parents.resize(f.depth);
        parentText.resize(f.depth);
        if (finding) {
            key.clear();
            // One key for the four fields, broken between them so that no
            // word is found across two.
            for (const QString* field : {&f.name, &f.comments, &f.fullName, &f.additional}) {
                key += filterKey(*field);
                key += u'\x01';
            }
            bool all = !words.isEmpty();
            for (const QString& word : words)
                if (!key.contains(word)) {
                    all = false;
                    break;
                }
            if (!all) {
                parents << f.name;
                parentText << QString();
                return;
            }
        }
        line.clear();
        for (qsizetype i = 0; i < parents.size(); ++i) {
            if (parentText[i].isEmpty())
                parentText[i] = categoryPathText({parents[i]});
            if (i > 0)
                line += u'/';
            line += parentText[i];
        }
        line += u'\t';
        appendEscaped(line, f.name, false);
        line += u'\t';
        line += kindWord(f.kind);
        line += u'\t';
        appendEscaped(line, f.fullName, false);
        line += u'\t';
        appendEscaped(line, f.comments, false);
        line += u'\t';
        appendEscaped(line, f.additional, false);
        line += u'\n';
        pending += line;
        ++outcome.linesWritten;
        if (pending.size() >= OutputChunk) {
            out(pending.toUtf8());
            pending.clear();
        }
        parents << f.name;
        parentText << QString();
    };
    // The reader runs on this thread: each batch is taken as soon as it is
    // ready, so its queue never fills.
    std::vector<std::vector<CatalogueLineFields>> batches;
    reader.onBatchReady = [&] {
        batches.clear();
        reader.takeBatches(batches);
        for (const auto& batch : batches)
            for (const auto& f : batch)
                take(f);
    };
    reader.run();
    if (!pending.isEmpty())
        out(pending.toUtf8());
    outcome.error = reader.error();
    return outcome;
}

TreeNode* categoryAtPath(Catalogue& catalogue, const QStringList& names)
{
    if (names.isEmpty())
        return nullptr;
    NodeTree& nodes = catalogue.nodes();
    const auto isCategory = [](const TreeNode* n) { return n->isCategory(); };
    TreeNode* at = nullptr;
    for (const QString& name : names) {
        TreeNode* found = nullptr;
        const int count = at ? at->count() : nodes.rootCount();
        for (int i = 0; i < count && !found; ++i) {
            TreeNode* child = at ? at->item(i) : nodes.rootItem(i);
            if (isCategory(child) && sameName(child->text(), name))
                found = child;
        }
        if (found && found == catalogue.makerCategory())
            return catalogue.topCategory(); // may be null: the caller files into the main category
        at = found ? found : catalogue.addCategoryNode(at, name);
    }
    return at;
}

} // namespace CatalogueListing
