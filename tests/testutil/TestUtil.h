#pragma once
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

// Helpers shared by the suites. Every suite also gets private settings and
// data folders before its first test, so no run touches a real home folder.
class TCatalogue;

namespace TestUtil
{

// A byte string from a literal that keeps its embedded NULs.
template <size_t N> QByteArray Raw(const char (&Text)[N])
{
    return QByteArray(Text, qsizetype(N - 1));
}

// The text of the error a load ends with, or empty when it returns.
QString LoadError(TCatalogue& Cat, bool Backup = false);

// Lowers the process's file size limit (writes past it fail with EFBIG) and
// lifts it back when the test ends, however it ends.
class FileSizeLimit
{
public:
    explicit FileSizeLimit(qint64 Bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    qint64 m_saved = -1;
    void (*m_handler)(int) = nullptr;
};

// Starts trayer as the tray host at the screen's top right.
bool StartTrayer(QProcess& Trayer);

// One catalogue line as the program writes it.
QByteArray CatalogueLine(const QString& Name, int Level, const QString& Path, const char* Kind,
                         const QString& Comment = {}, const QString& Additional = {});
bool WriteFile(const QString& Path, const QByteArray& Bytes);
QByteArray ReadFile(const QString& Path);
// Runs a helper program (xdotool and the like) to its end; true when it
// exited normally with code 0. Its standard output goes to Out when given.
bool Run(const QString& Program, const QStringList& Args, QByteArray* Out = nullptr);

} // namespace TestUtil
