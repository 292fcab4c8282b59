#pragma once
#include <QString>

class Catalogue;

// The catalogue file of the program's older versions (MyDocs.qmre): one
// "name~path~comment" line per entry, its depth given by leading tabs or
// blanks. Imported once into the tree when there is no catalogue file yet;
// the imported file stays as MyDocs.~qmre, from which a later start imports
// again when the legacy file went.
class LegacyImport
{
public:
    explicit LegacyImport(Catalogue& catalogue) : m_catalogue(catalogue) {}

    // Replaces the tree with the legacy file's entries; throws
    // CatalogueError when the file cannot be read or stops at a bad line
    // (the entries before it are imported then).
    void run();

private:
    // The file's lines as nodes named with the whole line; a bad line's
    // error, or empty.
    QString buildTree(const QString& path);

    Catalogue& m_catalogue;
};
