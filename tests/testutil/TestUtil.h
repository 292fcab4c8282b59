#pragma once
#include <QByteArray>
#include <QString>
#include <QStringList>

// Helpers shared by the suites. Every suite also gets private settings and
// data folders before its first test, so no run touches a real home folder.
namespace TestUtil {

// One catalogue line as the program writes it.
QByteArray CatalogueLine(const QString& Name, int Level, const QString& Path, const char* Kind,
                         const QString& Comment = {}, const QString& Additional = {});
bool WriteFile(const QString& Path, const QByteArray& Bytes);
QByteArray ReadFile(const QString& Path);
// Runs a helper program (xdotool and the like) to its end; true when it
// exited normally with code 0. Its standard output goes to Out when given.
bool Run(const QString& Program, const QStringList& Args, QByteArray* Out = nullptr);

} // namespace TestUtil
