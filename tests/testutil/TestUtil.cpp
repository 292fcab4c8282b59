#include "TestUtil.h"
#include "catalogue/Catalogue.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <csignal>
#include <cstdio>
#include <sys/resource.h>

namespace
{

QTemporaryDir& privateHome()
{
    static QTemporaryDir dir;
    return dir;
}

// Before main: the settings paths are read lazily, but the first read wins.
const bool homeSet = [] {
    qputenv("XDG_CONFIG_HOME", privateHome().filePath("config").toUtf8());
    qputenv("XDG_DATA_HOME", privateHome().filePath("data").toUtf8());
    return true;
}();

} // namespace

namespace TestUtil
{

namespace
{
QStringList& untested()
{
    static QStringList list;
    return list;
}
} // namespace

void notTested(const QString& what)
{
    untested() << what;
    qWarning("NOT TESTED here: %s", qPrintable(what));
}

int exitCode(int failures)
{
    if (failures != 0 || untested().isEmpty())
        return failures;
    std::fprintf(stderr, "\n*** %lld data-safety check(s) did NOT run on this machine:\n",
                 static_cast<long long>(untested().size()));
    for (const QString& what : std::as_const(untested()))
        std::fprintf(stderr, "***   %s\n", qPrintable(what));
    return NotTestedExitCode;
}

QByteArray catalogueLine(const QString& name, int level, const QString& path, const char* kind,
                         const QString& comment, const QString& additional)
{
    return name.toUtf8() + '\0' + QByteArray::number(level) + '\0' + path.toUtf8() + '\0' +
           comment.toUtf8() + '\0' + kind + '\0' + additional.toUtf8() + "\r\n";
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool run(const QString& program, const QStringList& args, QByteArray* out)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(10000))
        return false;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString loadError(Catalogue& cat, bool backup)
{
    try {
        cat.loadData(backup);
    } catch (const CatalogueError& e) {
        return e.text();
    }
    return {};
}

FileSizeLimit::FileSizeLimit(qint64 bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_saved = qint64(limit.rlim_cur);
    m_handler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
    limit.rlim_cur = rlim_t(bytes);
    setrlimit(RLIMIT_FSIZE, &limit);
}

FileSizeLimit::~FileSizeLimit()
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = rlim_t(m_saved);
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, m_handler);
}

QString missingTrayDesktop()
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        return QStringLiteral("needs an X server");
    if (QStandardPaths::findExecutable(QStringLiteral("trayer")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty())
        return QStringLiteral("needs trayer and xdotool");
    return {};
}

bool startTrayer(QProcess& trayer)
{
    trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                            "160", "--height", "28"});
    return trayer.waitForStarted(10000);
}

} // namespace TestUtil
