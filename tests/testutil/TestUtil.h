#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Helpers shared by the suites. Every suite also gets private settings and
// data folders before its first test, so no run touches a real home folder.
class Catalogue;

namespace TestUtil
{

// A byte string from a literal that keeps its embedded NULs.
template <size_t N> QByteArray raw(const char (&text)[N])
{
    return QByteArray(text, qsizetype(N - 1));
}

// The text of the error a load ends with, or empty when it returns.
QString loadError(Catalogue& cat, bool backup = false);

// Lowers the process's file size limit (writes past it fail with EFBIG) and
// lifts it back when the test ends, however it ends.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 m_saved = -1;
    void (*m_handler)(int) = nullptr;
};

// Starts trayer as the tray host at the screen's top right.
bool startTrayer(QProcess& trayer);
// Why a suite that needs an X server with trayer and xdotool cannot run
// here; empty when it can.
QString missingTrayDesktop();

// One catalogue line as the program writes it.
QByteArray catalogueLine(const QString& name, int level, const QString& path, const char* kind,
                         const QString& comment = {}, const QString& additional = {});
bool writeFile(const QString& path, const QByteArray& bytes);
QByteArray readFile(const QString& path);
// Runs a helper program (xdotool and the like) to its end; true when it
// exited normally with code 0. Its standard output goes to Out when given.
bool run(const QString& program, const QStringList& args, QByteArray* out = nullptr);

} // namespace TestUtil
