#pragma once
#include <QApplication>
#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QtTest>

#include "CatalogueFixture.h"
#include "FolderMenuAnswers.h"
#include "ScopedOverride.h"

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

// A data-safety check that cannot run on this machine (mounting is not
// allowed, a file system is missing): said in the output at once and again
// at the end, and the suite then ends with NotTestedExitCode, which ctest
// reports as skipped, instead of passing as if it had been checked.
void notTested(const QString& what);
inline constexpr int NotTestedExitCode = 77;
// The suite's exit code from its number of failures.
int exitCode(int failures);

} // namespace TestUtil

// QTEST_MAIN for a suite that may leave data-safety checks untested.
#define QUILLMERE_TEST_MAIN(TestObject)                                                            \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        const int failures = [&] {                                                                 \
            QApplication app(argc, argv);                                                          \
            app.setAttribute(Qt::AA_Use96Dpi, true);                                               \
            TestObject tc;                                                                         \
            QTEST_SET_MAIN_SOURCE_PATH                                                             \
            return QTest::qExec(&tc, argc, argv);                                                  \
        }();                                                                                       \
        return TestUtil::exitCode(failures);                                                       \
    }
