#pragma once
#include <QString>

// Where the catalogue, its backup and the legacy file live. A copy of the
// program with a catalogue beside its executable (a portable copy, and every
// catalogue written before this rule) keeps it there; any other copy keeps
// it in the user's data folder, where removing a build folder cannot take it.
namespace DataFolder
{

struct Choice {
    QString folder; // the catalogue's folder
    // A folder that holds a catalogue but cannot be written: the first run
    // starts from a copy of it in Folder. Empty otherwise.
    QString seedFrom;
};

// $XDG_DATA_HOME/Quillmere (~/.local/share/Quillmere by default).
QString userFolder();
// True when Folder holds the catalogue or the legacy file in any form (a
// broken link counts: it is the user's, and must not be written over).
bool holdsCatalogue(const QString& folder);
// The choice for an executable in ExeFolder; nothing is made or read.
Choice choose(const QString& exeFolder, const QString& userFolder);
// Makes Folder with its missing parents, each with mode 700 (the catalogue
// is private); true when it exists as a folder afterwards.
bool make(const QString& folder);

} // namespace DataFolder
