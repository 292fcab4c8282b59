#pragma once
// The save side of the catalogue file: the tree's lines as bytes, and the
// write that puts them in place of the file without losing what another
// program put there. Nothing here touches the tree but the encoder, so a
// write may run on a worker thread.
#include "catalogue/CatalogueFile.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class TreeNode;

// Appends the lines of the tree in full order from Node on (Level is its
// depth) to Out, leaving out the subtree of Skip (the built-in category). Stops
// once Out holds at least MaxBytes or Deadline has passed, and returns the
// next node to encode with Level set to its depth; nullptr once the tree is
// through.
const TreeNode* encodeCatalogueLines(const TreeNode* node, int& level, const TreeNode* skip,
                                     QByteArray& out, qsizetype maxBytes,
                                     QDeadlineTimer deadline = QDeadlineTimer::Forever);

// Keeps the file at Path under Path + Suffix (numbered when taken), moved or
// copied; a copy is on the disk before this returns. The new name, or empty
// when that failed.
QString keepFileAside(const QString& path, const QString& suffix, bool move);

// Fills Chunk (emptied by the caller) with the next bytes to write; false
// when there are no more.
using CatalogueBytes = std::function<bool(QByteArray& chunk)>;

// Where a save of the catalogue file goes and what this run knows of it.
struct CatalogueTarget {
    QString folder;                 // the catalogue's folder
    QString fallbackFolder;         // used when that folder is gone and cannot be made again
    std::optional<FileStamp> stamp; // the file as this run last read or wrote it
};

struct CatalogueWriteResult {
    QString error;       // empty when the file was written
    QStringList notices; // what the user should hear about a write that went through
    QString folder;      // the folder the catalogue now lives in
    // The file as this run now knows it: as written, or, when the write
    // failed after another program's version was kept aside, that version
    // (kept once, not again at every try).
    std::optional<FileStamp> known;
};

// Writes quillmere.dat: its folder made again when it went; another
// program's version kept aside as ".conflict"; the bytes written beside the
// file, synced and renamed over it, so a failure or a crash leaves the old one.
CatalogueWriteResult writeCatalogue(const CatalogueTarget& target, const CatalogueBytes& bytes);
// The same atomic write without the checks (the backup): an error text, or empty.
QString writeWholeFile(const QString& path, const CatalogueBytes& bytes);

// Makes Folder, when it is not there, and whatever above it is missing, for
// the owner only (as the data folder is made at the first start). Empty, or
// why it failed.
QString makeCatalogueFolder(const QString& folder);

// The catalogue's folder in the user's data folder, where a save goes when
// the catalogue's own folder cannot be made again.
QString userCatalogueFolder();
