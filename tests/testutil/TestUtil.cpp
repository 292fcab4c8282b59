#include "TestUtil.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

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

namespace TestUtil {

QByteArray CatalogueLine(const QString& Name, int Level, const QString& Path, const char* Kind,
                         const QString& Comment, const QString& Additional)
{
    return Name.toUtf8() + '\0' + QByteArray::number(Level) + '\0' + Path.toUtf8() + '\0' + Comment.toUtf8() + '\0' +
           Kind + '\0' + Additional.toUtf8() + "\r\n";
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

} // namespace TestUtil
