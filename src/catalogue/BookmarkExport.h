#pragma once
#include <QByteArray>
#include <QString>

class NodeTree;
class TreeNode;

// Writing the catalogue as a bookmark file browsers import (the Netscape
// bookmark format they all export): categories as folders, hyperlinks and
// e-mail entries as links, documents and folders as file:// links, comments
// as descriptions.

struct BookmarkExportCount {
    int folders = 0;
    int links = 0;
};

// The file for Category's contents under the title Title; for the whole
// catalogue when Category is null, without Skip (the built-in category).
// An entry filed below a link, which the format cannot nest, follows it at
// the same level.
QByteArray bookmarkHtml(const NodeTree& nodes, const TreeNode* category, const TreeNode* skip,
                        const QString& title, BookmarkExportCount* count = nullptr);

// The address a link is written with: a file:// URL for a local path, a
// mailto: URL for a bare e-mail address.
QString bookmarkAddress(const TreeNode* node);

// Writes the bytes in place of Path at once (never half a file); throws
// CatalogueError with a message for the user.
void writeBookmarkFile(const QString& path, const QByteArray& html);
