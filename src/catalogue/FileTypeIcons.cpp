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

namespace MyFileUtils
{

namespace
{

// The icon's picture at exactly Size x Size, centred when the theme has a
// smaller one.
QImage squareImage(const QIcon& Icon, int Size)
{
    QImage img = Icon.pixmap(Size, Size).toImage();
    if (img.isNull() || (img.width() == Size && img.height() == Size))
        return img;
    img = img.scaled(Size, Size, Qt::KeepAspectRatio, Qt::SmoothTransformation);
    QImage square(Size, Size, QImage::Format_ARGB32_Premultiplied);
    square.fill(Qt::transparent);
    QPainter p(&square);
    p.drawImage((Size - img.width()) / 2, (Size - img.height()) / 2, img);
    return square;
}

QIcon themeIconFor(const QMimeType& Type, bool IsDir)
{
    QIcon icon = QIcon::fromTheme(Type.iconName());
    if (icon.isNull())
        icon = QIcon::fromTheme(Type.genericIconName());
    if (icon.isNull() && IsDir)
        icon = QIcon::fromTheme(QStringLiteral("folder"));
    if (icon.isNull()) {
        QAbstractFileIconProvider provider;
        icon = provider.icon(IsDir ? QAbstractFileIconProvider::Folder
                                   : QAbstractFileIconProvider::File);
    }
    return icon;
}
} // namespace

void PrepareIconTheme()
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

QIcon GetShellIcon(const QString& Path, bool Large, QString* TypeName)
{
    return GetShellIcon(ProbePath(Path), Large, TypeName);
}

QIcon GetShellIcon(const TPathFacts& Facts, bool Large, QString* TypeName)
{
    if (!Facts.Exists || Facts.MimeName.isEmpty()) {
        if (TypeName)
            TypeName->clear();
        return QIcon();
    }
    struct Entry {
        QIcon Small, Large;
        QString Comment;
    };
    static QHash<QString, Entry> cache;
    static bool themeReady = false;
    const QString key = Facts.IsSymLink ? Facts.MimeName + QStringLiteral("|link") : Facts.MimeName;
    auto it = cache.constFind(key);
    if (it == cache.constEnd()) {
        if (!themeReady) {
            PrepareIconTheme();
            themeReady = true;
        }
        Entry e;
        QMimeDatabase db;
        const QMimeType type = db.mimeTypeForName(Facts.MimeName);
        e.Comment = type.isValid() ? type.comment() : QString();
        const QIcon icon = themeIconFor(type, Facts.IsDir);
        for (int size : {16, 32}) {
            QImage img = squareImage(icon, size);
            if (img.isNull())
                img = Artwork::FixedImage(Facts.IsDir ? Artwork::ImgFolder : Artwork::ImgBlankPage,
                                          size);
            if (Facts.IsSymLink)
                img = Artwork::Overlay(img, Artwork::EmblemSymlink(size / 2));
            (size == 16 ? e.Small : e.Large) = QIcon(QPixmap::fromImage(img));
        }
        it = cache.insert(key, e);
    }
    if (TypeName)
        *TypeName = it->Comment;
    return Large ? it->Large : it->Small;
}

} // namespace MyFileUtils
