#include "catalogue/LinkUpdates.h"
#include "catalogue/CatalogueSearch.h"

namespace
{

// path without its trailing slashes; the root stays "/".
QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// The node that follows node's whole subtree in full order.
TreeNode* afterSubtree(const TreeNode* node)
{
    for (const TreeNode* n = node; n; n = n->parent())
        if (TreeNode* next = n->getNextSibling())
            return next;
    return nullptr;
}

// The first link to path at From or after it in full order; Index counts
// along (From is at Index on entry, the link at Index on return).
TreeNode* nextLink(TreeNode* from, QStringView path, int& index)
{
    for (TreeNode* n = from; n; n = n->getNext(), ++index)
        if (isFileLink(n) && pathCovers(path, n->data()->fullName))
            return n;
    return nullptr;
}

struct Walk {
    int changed = 0;
    int lastHit = -1; // full-order index of the last link handled
};

Walk walkLinks(NodeTree& nodes, const QString& oldPath, const std::optional<QString>& newPath,
               const std::function<bool(const QString& question)>& ask)
{
    Walk walk;
    int index = 0;
    TreeNode* link = nextLink(nodes.getFirstNode(), oldPath, index);
    if (!link)
        return walk;
    walk.lastHit = index;
    if (ask && !ask(linkUpdateQuestion(newPath.has_value())))
        return walk;
    while (link) {
        ++walk.changed;
        walk.lastHit = index;
        if (newPath) {
            const QString to = repointedPath(link->data()->fullName, oldPath, *newPath);
            nodes.editRecord(link, [&](NodeInfo& info) { info.fullName = to; });
            link = nextLink(link->getNext(), oldPath, ++index);
        } else {
            // What follows the removed subtree takes its place in full order.
            TreeNode* next = afterSubtree(link);
            nodes.deleteNode(link);
            link = nextLink(next, oldPath, index);
        }
    }
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
    return info && (info->kind == nkDoc || info->kind == nkFolder);
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
    return walkLinks(nodes, oldPath, newPath, ask).changed;
}

int updateLinksTo(CatalogueSearch& search, NodeTree& nodes, const QString& oldPath,
                  const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    const Walk walk = walkLinks(nodes, oldPath, newPath, ask);
    // As a scan of locations that stopped after its last hit: F3 goes on
    // from there.
    search.setField(SearchField::fullName);
    if (walk.lastHit >= 0)
        search.setFindPos(walk.lastHit + 1);
    return walk.changed;
}
