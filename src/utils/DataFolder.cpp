#include "utils/DataFolder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStringList>
#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

namespace DataFolder
{

namespace
{

constexpr mode_t PrivateFolderMode = 0700;

bool present(const QString& path)
{
    const QFileInfo info(path);
    return info.exists() || info.isSymLink();
}

} // namespace

QString userFolder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation))
        .filePath(QStringLiteral("Quillmere"));
}

bool holdsCatalogue(const QString& folder)
{
    const QDir dir(folder);
    return present(dir.filePath(QStringLiteral("quillmere.dat"))) ||
           present(dir.filePath(QStringLiteral("MyDocs.qmre")));
}

Choice choose(const QString& exeFolder, const QString& user)
{
    if (!holdsCatalogue(exeFolder))
        return {user, {}};
    if (::access(QFile::encodeName(exeFolder).constData(), W_OK) == 0)
        return {exeFolder, {}};
    return {user, exeFolder};
}

bool make(const QString& folder)
{
    const QString path = QDir::cleanPath(QDir(folder).absolutePath());
    // Parents first; each one that is missing is made private, as the XDG
    // rules ask of the data folder itself.
    QString at;
    for (const QString& part : path.split(u'/', Qt::SkipEmptyParts)) {
        at += u'/' + part;
        const QByteArray bytes = QFile::encodeName(at);
        if (::mkdir(bytes.constData(), PrivateFolderMode) != 0 && errno != EEXIST)
            return false;
    }
    return QFileInfo(path).isDir();
}

} // namespace DataFolder
