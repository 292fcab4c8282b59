#include "catalogue/FileTypeIcons.h"
#include "catalogue/Artwork.h"
#include "utils/SystemPaths.h"

#include <QAbstractFileIconProvider>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <QMimeDatabase>
#include <QPainter>
#include <QPixmap>
#include <QStandardPaths>

namespace FileUtils
{

namespace
{

// The icon's picture at exactly Size x Size, centred when the theme has a
// smaller one.
QImage squareImage(const QIcon& icon, int size)
{
    QImage img = icon.pixmap(size, size).toImage();
    if (img.isNull() || (img.width() == size && img.height() == size))
        return img;
    img = img.scaled(size, size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(size, size, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter p(&square);
    p.drawImage((size - img.width()) / 2, (size - img.height()) / 2, img);
    return square;
}

QIcon themeIconFor(const QMimeType& type, bool isDir)
{
    QIcon icon = QIcon::fromTheme(type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(type.genericIconName());
    if (icon.isNull() && isDir)
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    if (icon.isNull()) {
        QAbstractFileIconProvider provider;
        icon = provider.icon(isDir ? QAbstractFileIconProvider::Folder
                                   : QAbstractFileIconProvider::File);
    }
    return icon;
}
} // namespace

void prepareIconTheme()
{
    QStringList paths = QIcon::themeSearchPaths();
    bool changed = false;
    for (const QString& dir :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        const QString icons = Sys::joinPath(dir, QStringLiteral("icons"));
        if (!paths.contains(icons) && QFileInfo(icons).isDir()) {
            paths.append(icons);
            changed = true;
        }
    }
    if (changed)
        QIcon::setThemeSearchPaths(paths);
    if (QIcon::fallbackThemeName().isEmpty())
        QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    if (QIcon::themeName().isEmpty())
        QIcon::setThemeName(QStringLiteral("hicolor"));
}

QIcon fileTypeIcon(const QString& path, bool large, QString* typeName)
{
    return fileTypeIcon(probePath(path), large, typeName);
}

QIcon fileTypeIcon(const PathFacts& facts, bool large, QString* typeName)
{
    if (!facts.exists || facts.mimeName.isEmpty()) {
        if (typeName)
            typeName->clear();
        return QIcon();
    }
    struct Entry {
        QIcon small, large;
        QString comment;
    };
    static QHash<QString, Entry> cache;
    static bool themeReady = false;
    const QString key = facts.isSymLink ? facts.mimeName + QStringLiteral("|link") : facts.mimeName;
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        if (!themeReady) {
            prepareIconTheme();
            themeReady = true;
        }
        Entry e;
        QMimeDatabase db;
        const QMimeType type = db.mimeTypeForName(facts.mimeName);
        e.comment = type.isValid() ? type.comment() : QString();
        const QIcon icon = themeIconFor(type, facts.isDir);
        for (int size : {16, 32}) {
            QImage img = squareImage(icon, size);
            if (img.isNull())
                img = Artwork::fixedImage(facts.isDir ? imgFolder : imgBlankPage, size);
            if (facts.isSymLink)
                img = Artwork::overlay(img, Artwork::emblemSymlink(size / 2));
            (size == 16 ? e.small : e.large) = QIcon(QPixmap::fromImage(img));
        }
        it = cache.insert(key, e);
    }
    if (typeName)
        *typeName = it->comment;
    return large ? it->large : it->small;
}

} // namespace FileUtils
