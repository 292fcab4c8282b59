#pragma once
#include <QString>

class Catalogue;
class EditHistory;
class QWidget;

// The real files and folders behind links, as the commands move, copy and
// delete them: where a move ends up, the question when its name is taken
// there, and the program's own folders, which are never moved or deleted.
namespace RealFiles
{

// The same place for two spellings of one path ("/a/./b", "/a/b/", a link
// to it): moving one onto the other must not happen.
bool samePlace(const QString& a, const QString& b);

// Where an item moved to Destination ends up: inside it when it names an
// existing folder or ends with '/', else Destination itself.
QString finalPath(const QString& source, const QString& destination);

// Why Path must not be deleted (or moved): it is, or holds, the folder the
// catalogue is saved in or the settings folder. Empty when it may go.
QString refusal(const Catalogue& catalogue, const QString& path, bool deleting);

// Moves (or copies) Source to Destination as finalPath says. Where that
// name is taken by a folder, or a folder comes where a file of its name
// stands, the user is asked as a file manager asks, Cancel first, and
// "Keep both" gives the item the next free name ("dirs (2)"); a file onto a
// file keeps the file operations' question to replace it. A move of one of
// the program's own folders is refused with the reason. Returns where the
// item is now, or empty when nothing moved (the user was told why, or it
// is there already).
QString moveOrCopy(const Catalogue& catalogue, const QString& source, const QString& destination,
                   bool move, QWidget* anchor);

// Lets the open step of History take a real move of From to To back: undo
// asks "Move "plan.odt" back to "/home/me/Docs"?" and moves the item back,
// redo moves it again. A refusal, a failure or a place now taken leaves the
// step as it stands (the user is told).
void keepMoveForUndo(Catalogue& catalogue, const QString& from, const QString& to, QWidget* anchor);
// The same for a real copy of From made at To: undo puts the copy in the
// trash (after the usual question), redo copies again.
void keepCopyForUndo(Catalogue& catalogue, const QString& from, const QString& to, QWidget* anchor);

} // namespace RealFiles
