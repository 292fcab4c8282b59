#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

class Catalogue;

// What the fuzz targets share. FuzzUtil.cpp also defines LLVMFuzzerInitialize:
// the offscreen platform, private settings and data folders under a temporary
// folder, and the application object that the catalogue's load needs.
namespace FuzzUtil
{

// An empty folder for one input (the same path each time, emptied first).
QString freshFolder();

QByteArray bytes(const uint8_t* data, size_t size);
void writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Names (full paths) of the files in Folder that match the wildcard Pattern.
QStringList filesIn(const QString& folder, const QString& pattern);

// A broken invariant: prints what and why, then aborts so that libFuzzer
// keeps the input as a crash.
[[noreturn]] void fail(const char* what, const QString& detail = {});
inline void check(bool ok, const char* what, const QString& detail = {})
{
    if (!ok)
        fail(what, detail);
}
// Where two byte strings first differ, for a failure's detail.
QString firstDifference(const QByteArray& a, const QByteArray& b);

// Loads the catalogue file of Catalogue's data folder as the program does at
// start-up. Returns the error's text, or an empty text when it loaded; fails
// when the file was not found or an error came without a text.
QString loadCatalogue(Catalogue& catalogue);

// The end of a run and the next run: Catalogue is saved, the file is loaded
// into a new catalogue and saved again. Both loads must succeed and both
// saves must give the same bytes.
void checkSaveReloadSave(Catalogue& catalogue);

} // namespace FuzzUtil
