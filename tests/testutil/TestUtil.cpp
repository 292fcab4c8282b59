#include "TestUtil.h"
#include "catalogue/Catalogue.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <csignal>
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

QByteArray CatalogueLine(const QString& Name, int Level, const QString& Path, const char* Kind,
                         const QString& Comment, const QString& Additional)
{
    return Name.toUtf8() + '\0' + QByteArray::number(Level) + '\0' + Path.toUtf8() + '\0' +
           Comment.toUtf8() + '\0' + Kind + '\0' + Additional.toUtf8() + "\r\n";
}

bool WriteFile(const QString& Path, const QByteArray& Bytes)
{
    QFile f(Path);
    return f.open(QIODevice::WriteOnly) && f.write(Bytes) == Bytes.size();
}

QByteArray ReadFile(const QString& Path)
{
    QFile f(Path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool Run(const QString& Program, const QStringList& Args, QByteArray* Out)
{
    QProcess p;
    p.start(Program, Args);
    if (!p.waitForFinished(10000))
        return false;
    if (Out)
        *Out = p.readAllStandardOutput();
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

QString LoadError(TCatalogue& Cat, bool Backup)
{
    try {
        Cat.LoadData(Backup);
    } catch (const ECatalogueError& e) {
        return e.Text();
    }
    return {};
}

FileSizeLimit::FileSizeLimit(qint64 Bytes)
{
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    m_saved = qint64(limit.rlim_cur);
    m_handler = std::signal(SIGXFSZ, SIG_IGN); // a write past the limit then fails with EFBIG
    limit.rlim_cur = rlim_t(Bytes);
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

bool StartTrayer(QProcess& Trayer)
{
    Trayer.start("trayer", {"--edge", "top", "--align", "right", "--widthtype", "pixel", "--width",
                            "160", "--height", "28"});
    return Trayer.waitForStarted(10000);
}

} // namespace TestUtil
