#pragma once
#include "catalogue/NodeTree.h"

#include <QString>
#include <QStringView>
#include <functional>
#include <optional>

class CatalogueSearch;

// Keeping links in step after a real file or folder was deleted or moved.
//
// A link counts when it is a document or folder entry whose location is the
// old path itself or lies inside it (the old path followed by '/'). paths
// compare exactly, whatever the search's match-case box says: on this file
// system /a/Doc and /a/doc are different files. Trailing slashes are ignored
// on both sides. Hyperlinks, e-mail addresses and categories never count.

// True when Location is path or lies inside it.
bool pathCovers(QStringView path, QStringView location);

// Location with the leading path replaced by NewPath: /a/old/x.pdf becomes
// /b/new/x.pdf when /a/old moved to /b/new. Location must be covered by path.
QString repointedPath(QStringView location, QStringView path, QStringView newPath);

// True for the entries that point at a file or folder.
bool isFileLink(const TreeNode* node);

// The question the user is asked before the links are changed (Moved) or
// removed; its line break is a '\n'.
QString linkUpdateQuestion(bool moved);

// Removes (no NewPath) or re-points (NewPath given) every link to OldPath,
// walking the tree in full order. Ask is called at most once, with the
// question, and only when some link counts; false leaves every link as it
// is. Without Ask, nothing is asked. Returns how many links were removed or
// re-pointed. A removed link goes with anything filed below it. The caller
// refills the list.
int updateLinksTo(NodeTree& nodes, const QString& oldPath, const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask = {});

// The same, as the window's search sees it afterwards: the search field is
// the location, and the position stands after the last link handled (after
// the first one when the user said no), so a following find-next goes on
// from there; without any link the position stays.
int updateLinksTo(CatalogueSearch& search, NodeTree& nodes, const QString& oldPath,
                  const std::optional<QString>& newPath,
                  const std::function<bool(const QString& question)>& ask = {});
