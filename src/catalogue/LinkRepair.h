#pragma once
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>
#include <vector>

class Catalogue;
class NodeTree;
class TreeNode;

// Finding the entries whose file or folder is missing, and pointing them at
// where it went.

// The locations of the document and folder entries in tree order (a path
// linked twice is there twice).
QStringList fileLinkPaths(const NodeTree& nodes);

// Those of Paths at which nothing exists now, each once: one look at the
// file system per path. Meant for a worker thread. KeepGoing is called now and then with the
// progress in thousandths; returning false ends the check (Cancelled set)
// with what was found so far.
QStringList missingPaths(const QStringList& paths, const std::function<bool(int)>& keepGoing = {},
                         bool* cancelled = nullptr);

// The document and folder entries whose location is one of Paths, in tree order.
std::vector<TreeNode*> entriesAt(const NodeTree& nodes, const QSet<QString>& paths);

// Points the entry at NewPath; its name, comment and additional value stay,
// its kind and icon follow what is there.
void relinkEntry(Catalogue& catalogue, TreeNode* node, const QString& newPath);

// Where a relinked entry's file went: the two paths without the names they
// end in alike (/home/me/Docs/a.txt to /media/usb/Docs/a.txt is /home/me to
// /media/usb; a renamed file is its own old and new path).
struct LinkMove {
    QString from, to;
};
LinkMove linkMove(const QString& oldPath, const QString& newPath);

// The other entries moved the same way: each document or folder entry under
// From (but Except) whose target is missing and exists at the same place
// under To, with that new place, in tree order.
std::vector<std::pair<TreeNode*, QString>>
movedTheSameWay(const NodeTree& nodes, const LinkMove& move, const TreeNode* except);
