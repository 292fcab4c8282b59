// Writes the program's icon as PNG files for the icon theme, painted by the
// same code that paints the window's icon: DIR/SIZExSIZE/apps/NAME.png.
// Usage: quillmere_icons DIR NAME
#include "catalogue/Artwork.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <cstdio>

namespace
{

// The sizes desktops look for in the hicolor theme.
constexpr int Sizes[] = {16, 32, 48, 64, 128, 256};

} // namespace

int main(int argc, char* argv[])
{
    if (argc != 3) {
        std::fputs("usage: quillmere_icons DIR NAME\n", stderr);
        return 2;
    }
    // Painting needs no screen: the offscreen platform is enough.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QDir out(QString::fromLocal8Bit(argv[1]));
    const QString name = QString::fromLocal8Bit(argv[2]);
    for (const int size : Sizes) {
        const QString folder = QStringLiteral("%1x%1/apps").arg(size);
        const QString file = out.filePath(folder + u'/' + name + QStringLiteral(".png"));
        if (!out.mkpath(folder) || !Artwork::programImage(size).save(file, "PNG")) {
            std::fprintf(stderr, "quillmere_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
