#include "catalogue/LinkRepair.h"
#include "catalogue/Catalogue.h"
#include "catalogue/LinkUpdates.h"
#include "utils/SystemPaths.h"

#include <sys/stat.h>

namespace
{

constexpr int Permille = 1000;
// How often (in paths) the caller is told the progress.
constexpr int PathsPerReport = 2048;

// A name that is not UTF-8 is found as every other look at the disk finds
// it, so that such a file does not count as missing here alone.
bool existsAt(const QString& path)
{
    struct stat st;
    return ::stat(FileUtils::Sys::native(path).constData(), &st) == 0;
}

} // namespace

QStringList fileLinkPaths(const NodeTree& nodes)
{
    // Repeats stay: a second look at a path costs less than keeping a set of
    // every path to find the few that repeat.
    QStringList paths;
    paths.reserve(nodes.count());
    for (const TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
        if (isFileLink(n) && !n->data()->fullName.isEmpty())
            paths << n->data()->fullName;
    return paths;
}

QStringList missingPaths(const QStringList& paths, const std::function<bool(int)>& keepGoing,
                         bool* cancelled)
{
    if (cancelled)
        *cancelled = false;
    QStringList missing;
    QSet<QString> seen;
    const qsizetype total = paths.size();
    for (qsizetype i = 0; i < total; ++i) {
        if (keepGoing && i % PathsPerReport == 0 && !keepGoing(int(i * Permille / total))) {
            if (cancelled)
                *cancelled = true;
            return missing;
        }
        if (!existsAt(paths[i]) && !seen.contains(paths[i])) {
            seen.insert(paths[i]);
            missing << paths[i];
        }
    }
    if (keepGoing)
        keepGoing(Permille);
    return missing;
}

std::vector<TreeNode*> entriesAt(const NodeTree& nodes, const QSet<QString>& paths)
{
    std::vector<TreeNode*> out;
    if (paths.isEmpty())
        return out;
    for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext())
        if (isFileLink(n) && paths.contains(n->data()->fullName))
            out.push_back(n);
    return out;
}

void relinkEntry(Catalogue& catalogue, TreeNode* node, const QString& newPath)
{
    const NodeInfo* info = node->data();
    const QString comments = info ? info->comments.text() : QString();
    const QString additional = info ? info->sAdditional.text() : QString();
    catalogue.fillDocNode(node, node->text(), newPath, comments, additional, false);
}

LinkMove linkMove(const QString& oldPath, const QString& newPath)
{
    QStringList from = oldPath.split(u'/'), to = newPath.split(u'/');
    while (from.size() > 1 && !from.back().isEmpty() && to.size() > 1 && from.back() == to.back()) {
        from.removeLast();
        to.removeLast();
    }
    const auto joined = [](const QStringList& parts) {
        const QString path = parts.join(u'/');
        return path.isEmpty() ? QStringLiteral("/") : path;
    };
    return {joined(from), joined(to)};
}

std::vector<std::pair<TreeNode*, QString>>
movedTheSameWay(const NodeTree& nodes, const LinkMove& move, const TreeNode* except)
{
    std::vector<std::pair<TreeNode*, QString>> out;
    if (move.from == move.to)
        return out;
    for (TreeNode* n = nodes.getFirstNode(); n; n = n->getNext()) {
        if (n == except || !isFileLink(n))
            continue;
        const QString& location = n->data()->fullName;
        if (!pathCovers(move.from, location) || existsAt(location))
            continue;
        const QString moved = repointedPath(location, move.from, move.to);
        if (existsAt(moved))
            out.push_back({n, moved});
    }
    return out;
}
