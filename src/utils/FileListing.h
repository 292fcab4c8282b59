#pragma once
#include <QString>
#include <QStringList>

namespace FileUtils
{

// Appends to List every file under Folder whose name matches Mask (a pattern
// with '*' and '?', matched ignoring case; "*.*" and "*" match every name).
// Hidden files (leading '.') are listed, hidden folders are not entered. Each
// folder gives its own files first, then its subfolders one after the other,
// depth first; names are in name order within a folder. Links to folders are
// followed, but no folder is walked twice, so link loops end; folders that
// cannot be read are passed over. Paths keep their case. When List is still
// empty at the end, it receives the one line "Files not found".
void listFiles(const QString& folder, const QString& mask, QStringList& list);
// Does Name match Mask the way ListFiles matches it?
bool matchesMask(const QString& name, const QString& mask);

} // namespace FileUtils
