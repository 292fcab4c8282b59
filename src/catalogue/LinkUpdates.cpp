#include "catalogue/LinkUpdates.h"
#include "catalogue/CatalogueSearch.h"
#include "catalogue/FoldedIndex.h"
#include "catalogue/TextFolding.h"

#include <bit>
#include <vector>

namespace
{

// path without its trailing slashes; the root stays "/".
QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

struct Link {
    TreeNode* node;
    int index; // in full order
};

// Every link to path in full order. With a search, its copy of the locations
// finds them without a visit to every node; the root, which covers every
// path, and a run without a search walk the nodes.
std::vector<Link> findLinks(NodeTree& nodes, CatalogueSearch* search, const QString& path)
{
    std::vector<Link> links;
    const QStringView prefix = withoutTrailingSlashes(path);
    if (search && prefix != u"/" && search->index().prepare()) {
        // One pass over the keys marks every node whose texts hold the path;
        // those are checked in full order. (A scan from each hit to the next
        // would read the keys that lie out of order once per hit.)
        const FoldedIndex& index = search->index();
        const std::string needle = TextFolding::folded(prefix, TextFolding::Marks::drop);
        std::vector<quint64> bits((index.size() + 63) / 64);
        index.markHolding(needle, bits);
        for (size_t word = 0; word < bits.size(); ++word)
            for (quint64 b = bits[word]; b; b &= b - 1) {
                const size_t position = word * 64 + size_t(std::countr_zero(b));
                // The folded location must start with the path as well; only
                // those nodes are visited (all over the heap) for the check.
                const std::string_view location =
                    FoldedIndex::field(index.key(position), int(SearchField::fullName));
                if (!location.starts_with(needle) ||
                    (location.size() > needle.size() && location[needle.size()] != '/'))
                    continue;
                TreeNode* node = index.node(position);
                if (isFileLink(node) && pathCovers(path, node->data()->fullName))
                    links.push_back({node, int(position)});
            }
        return links;
    }
    int index = 0;
    for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext(), ++index)
        if (isFileLink(n) && pathCovers(path, n->data()->fullName))
            links.push_back({n, index});
    return links;
}

int subtreeSize(const TreeNode* node)
{
    int size = 1;
    for (const TreeNode* n = node->getNext(); n && n->isUnder(node); n = n->getNext())
        ++size;
    return size;
}

struct Walk {
    int changed = 0;
    int lastHit = -1; // full-order index of the last link handled, as it was then
};

// The links are all found first and then changed: the same links, in the
// same order, as a search that goes on after each one would meet.
Walk walkLinks(NodeTree& nodes, CatalogueSearch* search, const QString& oldPath,
               const std::optional<QString>& newPath,
               const std::function<bool(const QString& question)>& ask)
{
    Walk walk;
    std::vector<Link> links = findLinks(nodes, search, oldPath);
    if (links.empty())
        return walk;
    walk.lastHit = links.front().index;
    if (ask && !ask(linkUpdateQuestion(newPath.has_value())))
        return walk;
    if (newPath) {
        for (const Link& link : links) {
            const QString to = repointedPath(link.node->data()->fullName, oldPath, *newPath);
            nodes.editRecord(link.node, [&](NodeInfo& info) { info.fullName = to; });
        }
        walk.changed = int(links.size());
        walk.lastHit = links.back().index;
        return walk;
    }
    // A link filed below another link goes with it. Each removal moves the
    // ones after it forward in full order by the size of what went.
    std::vector<TreeNode*> doomed;
    int removedBefore = 0;
    for (const Link& link : links) {
        if (!doomed.empty() && link.node->isUnder(doomed.back()))
            continue;
        walk.lastHit = link.index - removedBefore;
        removedBefore += subtreeSize(link.node);
        doomed.push_back(link.node);
    }
    walk.changed = int(doomed.size());
    nodes.deleteNodes(std::move(doomed));
    return walk;
}

} // namespace

bool pathCovers(QStringView path, QStringView location)
{
    path = withoutTrailingSlashes(path);
    location = withoutTrailingSlashes(location);
    if (path.isEmpty() || location.isEmpty())
        return false;
    if (path == u"/")
        return location.startsWith(u'/');
    return location.startsWith(path) &&
           (location.size() == path.size() || location[path.size()] == u'/');
}

QString repointedPath(QStringView location, QStringView path, QStringView newPath)
{
    path = withoutTrailingSlashes(path);
    if (withoutTrailingSlashes(location) == path)
        return newPath.toString();
    // What follows the old path, from its separating slash on (the root
    // "/" ends in that slash itself).
    const QStringView rest = location.mid(path == u"/" ? 0 : path.size());
    const QStringView base = withoutTrailingSlashes(newPath);
    if (base == u"/")
        return rest.toString();
    return base.toString().append(rest);
}

bool isFileLink(const TreeNode* node)
{
    const NodeInfo* info = node->data();
    return info && (info->kind == NodeKind::Doc || info->kind == NodeKind::Folder);
}

QString linkUpdateQuestion(bool moved)
{
    return moved ? QStringLiteral("There are yet links to replaced file from the program.\n"
                                  "Change all links to this file?")
                 : QStringLiteral("There are yet links to deleted file from the program.\n"
                                  "Remove all links to this file?");
}

int updateLinksTo(NodeTree& nodes, const QString& oldPath, const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    return walkLinks(nodes, nullptr, oldPath, newPath, ask).changed;
}

int updateLinksTo(CatalogueSearch& search, NodeTree& nodes, const QString& oldPath,
                  const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    const Walk walk = walkLinks(nodes, &search, oldPath, newPath, ask);
    // As a scan of locations that stopped after its last hit: F3 goes on
    // from there.
    search.setField(SearchField::fullName);
    if (walk.lastHit >= 0)
        search.setFindPos(walk.lastHit + 1);
    return walk.changed;
}
