#pragma once
#include <QHash>
#include <QString>
#include <QStringList>
#include <atomic>

// What the program last saw of each linked file: its size and modification
// time, kept beside the catalogue (quillmere.seen), so that a file renamed
// or moved while the program was not running can still be told by them.
// Only a hash of each path is kept; the store is a hint, and losing it only
// makes the search for a moved file less sure.
namespace SeenTargets
{

struct Facts {
    qint64 size = -1;     // -1 for a folder
    qint64 modified = -1; // seconds since the epoch
};

// The store's file in the catalogue's folder.
QString storeFile(const QString& dataFolder);

// Brings the store up to date for Paths (the catalogue's file and folder
// links): the facts of those that exist now, the facts kept for those that
// are missing, nothing for paths no longer linked. Written only when
// something changed. Meant for a worker thread; Cancel ends it without
// writing. False when the store could not be written.
bool refresh(const QString& store, const QStringList& paths, const std::atomic<bool>* cancel);

// The facts the store holds for Paths (the ones it knows).
QHash<QString, Facts> lookup(const QString& store, const QStringList& paths);

} // namespace SeenTargets
