#pragma once
#include <QByteArrayView>
#include <QString>
#include <vector>

class Catalogue;
class TreeNode;

// Reading the bookmark files browsers export and import (the Netscape
// bookmark format: nested <DL> lists of <DT><H3> folders and <DT><A HREF>
// links, each optionally followed by a <DD> description).

struct BookmarkEntry {
    enum Kind { Folder, Link };
    Kind kind = Link;
    int depth = 0;   // 0: directly in the file's top list
    QString title;   // one line, entities decoded, no bidirectional controls
    QString address; // links only, as the file gives it
    QString description;
};

struct BookmarkList {
    QString title; // <TITLE>, else <H1>; empty when the file has neither
    // Every folder and usable link in the file's order, each after the
    // folder that holds it (depth one more).
    std::vector<BookmarkEntry> entries;
    // place: and javascript: links, which only a browser can follow.
    int browserOnly = 0;
    // Links that could not be read: no address, a tag cut off by the end of
    // the file, an address with a line break or longer than the catalogue
    // takes. (Longer titles and descriptions are cut to that length.)
    int malformed = 0;
    // False when nothing in the bytes looks like a bookmark list.
    bool recognised = false;

    int linkCount() const;
    int folderCount() const;
};

// The folders nested deeper than this are not made; their links go into the
// deepest folder that is (the catalogue holds at most MaxCatalogueDepth
// levels, and the imported list sits one level down).
int maxBookmarkFolderDepth();

// Parses a bookmark file's bytes (UTF-8; a field that is not valid UTF-8 is
// read as Windows-1252). Never fails: what cannot be read is counted.
BookmarkList parseBookmarks(QByteArrayView html);

// Reads and parses a bookmark file. Throws CatalogueError with a message for
// the user when the file cannot be read or is no bookmark file.
BookmarkList readBookmarkFile(const QString& path);

// Files the list as one new top-level category named Name: folders become
// categories, links hyperlinks (file: links documents or folders, mailto:
// links e-mail entries), descriptions comments. Views are told once.
TreeNode* fileBookmarks(Catalogue& catalogue, const BookmarkList& list, const QString& name);

// The address a link is filed with: a local path for a file: URL, the bare
// address for a mailto: link to one address, else the address itself.
QString bookmarkTarget(const QString& address, bool* isLocal);
