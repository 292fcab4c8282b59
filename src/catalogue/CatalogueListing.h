#pragma once
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <functional>

class Catalogue;
class TreeNode;

// The catalogue as lines of text for scripts and the command line, and
// category paths such as "Work/Reports".
//
// A category path joins names with '/'; a '/' inside a name is written "\/"
// and a '\' as "\\". A listing line holds six fields separated by tabs: the
// category path of the entry's parent, the name, the kind, the location, the
// comment and the additional value; a '\', tab, line feed and carriage
// return inside a field are written "\\", "\t", "\n" and "\r".
namespace CatalogueListing
{

// The names of Path, or nothing when a name in it is empty ("Work//x", "/").
QStringList splitCategoryPath(QStringView path);
QString categoryPathText(const QStringList& names);
// A field of a listing line, escaped.
QString escapeField(QStringView text);

struct Outcome {
    qint64 linesRead = 0;
    qint64 linesWritten = 0;
    QString error; // a file that could not be read whole; the lines before it were written
};

// Reads the catalogue file at Path (nothing is probed on the disk) and hands
// Out its listing lines, each with its line feed, in tree order. With a
// FindText only the entries whose name, comment, location or additional
// value hold every word of it, by the filter's rules (case and accents
// ignored). A file that does not exist is an empty catalogue.
Outcome listCatalogue(const QString& path, QStringView findText,
                      const std::function<void(QByteArrayView)>& out);

// The user's category at Names (compared without case), made where missing;
// null for no names. A path through the built-in category leads to the main
// category: nothing filed there would be kept.
TreeNode* categoryAtPath(Catalogue& catalogue, const QStringList& names);

} // namespace CatalogueListing
