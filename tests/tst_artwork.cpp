#include "catalogue/Artwork.h"

#include <QtTest>

using namespace Artwork;

namespace
{
int opaquePixels(const QImage& image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += qAlpha(image.pixel(x, y)) > 128;
    return n;
}

int rowWidth(const QImage& image, int y)
{
    int n = 0;
    for (int x = 0; x < image.width(); ++x)
        n += qAlpha(image.pixel(x, y)) > 128;
    return n;
}
} // namespace

class TestArtwork : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void fixedImages()
    {
        for (int size : {16, 32}) {
            QList<QImage> seen;
            for (int i = 0; i < FixedImageCount; ++i) {
                const QImage image = fixedImage(i, size);
                QCOMPARE(image.size(), QSize(size, size));
                QVERIFY2(opaquePixels(image) > 8, qPrintable(QString::number(i)));
                QVERIFY2(!seen.contains(image), qPrintable(QString::number(i)));
                seen << image;
                QCOMPARE(fixedIcon(i, size).pixmap(size, size).size(), QSize(size, size));
            }
        }
        QVERIFY(fixedImage(-1, 16).isNull());
        QVERIFY(fixedImage(FixedImageCount, 16).isNull());
        QVERIFY(fixedImage(0, 0).isNull());
    }

    void noEntryIsRedWithWhiteBar()
    {
        const QImage image = fixedImage(imgMissing, 32);
        int red = 0;
        for (int y = 0; y < 32; ++y)
            for (int x = 0; x < 32; ++x) {
                const QRgb c = image.pixel(x, y);
                red += qAlpha(c) > 128 && qRed(c) > 150 && qGreen(c) < 110 && qBlue(c) < 110;
            }
        QVERIFY(red > opaquePixels(image) / 2);
        QCOMPARE(image.pixelColor(16, 16), QColor(Qt::white));
    }

    void sortMarksPointTheRightWay()
    {
        // The wide base of the ascending mark is below its tip, and the other way round.
        const QImage up = fixedImage(imgSortUp, 16), down = fixedImage(imgSortDown, 16);
        QVERIFY(rowWidth(up, 9) > rowWidth(up, 7));
        QVERIFY(rowWidth(down, 6) > rowWidth(down, 8));
    }

    void commandImages()
    {
        const QList<int> unused = {13, 14, 16, 21};
        QList<QImage> seen;
        for (int i = 0; i < CommandImageCount; ++i) {
            const QIcon icon = commandImage(i);
            QCOMPARE(icon.isNull(), unused.contains(i));
            if (icon.isNull())
                continue;
            QVERIFY(icon.availableSizes().contains(QSize(16, 16)));
            QVERIFY(icon.availableSizes().contains(QSize(32, 32)));
            const QImage image = commandPicture(i, 16);
            QVERIFY2(opaquePixels(image) > 4 && !seen.contains(image),
                     qPrintable(QString::number(i)));
            seen << image;
        }
        QVERIFY(commandImage(-1).isNull() && commandImage(CommandImageCount).isNull());
    }

    void programIconHasEverySize()
    {
        const QIcon icon = programIcon();
        for (int size : {16, 22, 24, 32, 48, 64, 128})
            QVERIFY(icon.availableSizes().contains(QSize(size, size)));
        QVERIFY(opaquePixels(programImage(16)) > 100);
    }

    void overlayTouchesOnlyBottomLeftQuarter()
    {
        const QImage base = fixedImage(imgFolder, 32);
        // An emblem of the intended size, and one too large that must be shrunk.
        for (int emblemSize : {16, 64}) {
            const QImage out = overlay(base, emblemSymlink(emblemSize));
            QCOMPARE(out.size(), base.size());
            bool changedInside = false;
            for (int y = 0; y < 32; ++y)
                for (int x = 0; x < 32; ++x) {
                    const bool same = out.pixel(x, y) == base.pixel(x, y);
                    if (x < 16 && y >= 16)
                        changedInside |= !same;
                    else
                        QVERIFY2(same, qPrintable(QStringLiteral("%1,%2").arg(x).arg(y)));
                }
            QVERIFY(changedInside);
        }
        QCOMPARE(overlay(base, QImage()), base);
    }
};

QTEST_MAIN(TestArtwork)
#include "tst_artwork.moc"
