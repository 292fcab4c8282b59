#pragma once
// The save side of the catalogue file: the tree's lines as bytes, and the
// write that puts them in place of the file without losing what another
// program put there. Only the encoder touches the tree; the writing runs on
// a worker thread.
#include "catalogue/CatalogueFile.h"

#include <QByteArray>
#include <QDeadlineTimer>
#include <QFuture>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class TreeNode;

// Appends the lines of the tree in full order from Node on to Out, leaving
// out the subtree of Skip (the built-in category). Stops once Out holds at
// least MaxBytes or Deadline has passed, and returns the next node to encode
// with Level set to its depth; nullptr once the tree is through.
const TreeNode* encodeCatalogueLines(const TreeNode* node, int& level, const TreeNode* skip,
                                     QByteArray& out, qsizetype maxBytes,
                                     QDeadlineTimer deadline = QDeadlineTimer::Forever);

// Keeps the file at Path under Path + Suffix (numbered when taken), moved or
// copied; a copy is on the disk before this returns. The new name, or empty
// when that failed.
QString keepFileAside(const QString& path, const QString& suffix, bool move);

// Where a save goes.
struct CatalogueTarget {
    QString folder;         // the catalogue's folder
    QString fallbackFolder; // used when that folder is gone and cannot be made again
    QString fileName;       // quillmere.dat, or quillmere.bak
    // Another program's version of the file is kept aside (not for the backup).
    bool keepOutsideChange = true;
};

struct CatalogueWriteResult {
    QString error;       // empty when the file was written
    QStringList notices; // what the user should hear about a write that went through
    QString folder;      // the folder the file now lives in
    // The file as this run now knows it: as written, or, when the write
    // failed after another program's version was kept aside, that version
    // (kept once, not again at every try).
    std::optional<FileStamp> known;
};

// One save of a catalogue file, fed a chunk at a time by the thread that
// encodes the tree and written by a worker meanwhile. The file's folder is
// made again when it went (or the fallback folder takes the file); the bytes
// go to a temporary file beside it; at the end another program's version is
// kept aside as ".conflict", and the temporary file is synced and renamed
// over the file. An abort, a failure or a crash leaves the old file as it was.
class CatalogueStream
{
public:
    static constexpr qsizetype ChunkBytes = 1 << 20;

    explicit CatalogueStream(const CatalogueTarget& target);
    // Aborts a write that was not finished (without waiting for the worker);
    // waits for a finished one.
    ~CatalogueStream();
    CatalogueStream(const CatalogueStream&) = delete;
    CatalogueStream& operator=(const CatalogueStream&) = delete;

    // An empty buffer for the next chunk: one already written, when there is
    // one, so a save allocates a few chunks however large the file is.
    QByteArray buffer();
    // Hands Chunk over to be written. Without Wait, false (Chunk kept) while
    // the worker is that far behind.
    bool put(QByteArray& chunk, bool wait);
    // The last chunk is in. Known is the file as this run last read or wrote
    // it: a file that differs is another program's version.
    void finish(std::optional<FileStamp> known);
    void abort();
    // The outcome, once the worker is through.
    QFuture<CatalogueWriteResult> future() const { return m_future; }

private:
    struct Shared;
    std::shared_ptr<Shared> m_shared;
    QFuture<CatalogueWriteResult> m_future;
};

// Encodes the whole tree (but Skip's subtree) into Stream, waiting for its
// worker whenever it is behind; the caller finishes it.
void writeTree(CatalogueStream& stream, const TreeNode* first, const TreeNode* skip);

// Makes Folder, when it is not there, and whatever above it is missing, for
// the owner only (as the data folder is made at the first start). Empty, or
// why it failed.
QString makeCatalogueFolder(const QString& folder);
