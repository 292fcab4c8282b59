#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>

class TCatalogue;

// What the fuzz targets share. FuzzUtil.cpp also defines LLVMFuzzerInitialize:
// the offscreen platform, private settings and data folders under a temporary
// folder, and the application object that the catalogue's load needs.
namespace FuzzUtil
{

// An empty folder for one input (the same path each time, emptied first).
QString FreshFolder();

QByteArray Bytes(const uint8_t* Data, size_t Size);
void WriteFile(const QString& Path, const QByteArray& Bytes);
QByteArray ReadFile(const QString& Path);
// Names (full paths) of the files in Folder that match the wildcard Pattern.
QStringList FilesIn(const QString& Folder, const QString& Pattern);

// A broken invariant: prints what and why, then aborts so that libFuzzer
// keeps the input as a crash.
[[noreturn]] void Fail(const char* What, const QString& Detail = {});
inline void Check(bool Ok, const char* What, const QString& Detail = {})
{
    if (!Ok)
        Fail(What, Detail);
}
// Where two byte strings first differ, for a failure's detail.
QString FirstDifference(const QByteArray& A, const QByteArray& B);

// Loads the catalogue file of Catalogue's data folder as the program does at
// start-up. Returns the error's text, or an empty text when it loaded; fails
// when the file was not found or an error came without a text.
QString LoadCatalogue(TCatalogue& Catalogue);

// The end of a run and the next run: Catalogue is saved, the file is loaded
// into a new catalogue and saved again. Both loads must succeed and both
// saves must give the same bytes.
void CheckSaveReloadSave(TCatalogue& Catalogue);

} // namespace FuzzUtil
