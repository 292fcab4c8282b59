#include "utils/Installation.h"

#include <QDir>
#include <QFileInfo>

namespace Installation
{

QString helpFile(const QString& exeFolder)
{
    const QDir bin(exeFolder);
    const QString beside = bin.filePath(QStringLiteral("help.html"));
    const QString installed =
        QDir::cleanPath(bin.filePath(QStringLiteral("../share/doc/quillmere/help.html")));
    for (const QString& place : {beside, installed})
        if (QFileInfo(place).isFile())
            return place;
    return beside;
}

} // namespace Installation
