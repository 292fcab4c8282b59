#include "catalogue/LinkUpdates.h"

namespace
{

// Path without its trailing slashes; the root stays "/".
QStringView withoutTrailingSlashes(QStringView path)
{
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path;
}

// The node that follows Node's whole subtree in full order.
TTreeNode* afterSubtree(const TTreeNode* node)
{
    for (const TTreeNode* n = node; n; n = n->Parent())
        if (TTreeNode* next = n->GetNextSibling())
            return next;
    return nullptr;
}

// The first link to Path at From or after it in full order.
TTreeNode* nextLink(TTreeNode* from, QStringView path)
{
    for (TTreeNode* n = from; n; n = n->GetNext())
        if (isFileLink(n) && pathCovers(path, n->Data()->FullName))
            return n;
    return nullptr;
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

bool isFileLink(const TTreeNode* node)
{
    const TNodeInfo* info = node->Data();
    return info && (info->Kind == nkDoc || info->Kind == nkFolder);
}

QString linkUpdateQuestion(bool moved)
{
    return moved ? QStringLiteral("There are yet links to replaced file from the program.\n"
                                  "Change all links to this file?")
                 : QStringLiteral("There are yet links to deleted file from the program.\n"
                                  "Remove all links to this file?");
}

int updateLinksTo(TTreeNodes& nodes, const QString& oldPath, const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask)
{
    TTreeNode* link = nextLink(nodes.GetFirstNode(), oldPath);
    if (!link)
        return 0;
    if (ask && !ask(linkUpdateQuestion(newPath.has_value())))
        return 0;
    int changed = 0;
    while (link) {
        ++changed;
        if (newPath) {
            const QString to = repointedPath(link->Data()->FullName, oldPath, *newPath);
            nodes.editRecord(link, [&](TNodeInfo& info) { info.FullName = to; });
            link = nextLink(link->GetNext(), oldPath);
        } else {
            TTreeNode* next = afterSubtree(link);
            nodes.Delete(link);
            link = nextLink(next, oldPath);
        }
    }
    return changed;
}
