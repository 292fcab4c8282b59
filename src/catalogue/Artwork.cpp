#include "catalogue/Artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>
#include <QtMath>

#include <array>

namespace Artwork
{
namespace
{

// Every picture is drawn on a 16x16 grid and scaled; coordinates on .5 give
// crisp one-pixel outlines at 16 px and two-pixel ones at 32 px.
struct Canvas {
    QImage image;
    QPainter p;
    explicit Canvas(int size) : image(size, size, QImage::Format_ARGB32_Premultiplied)
    {
        image.fill(Qt::transparent);
        p.begin(&image);
        p.setRenderHint(QPainter::Antialiasing);
        p.scale(size / 16.0, size / 16.0);
    }
    QImage take()
    {
        p.end();
        return image;
    }
};

QPen line(const QColor& c, qreal w = 1.0, Qt::PenCapStyle cap = Qt::SquareCap)
{
    return QPen(c, w, Qt::SolidLine, cap, cap == Qt::RoundCap ? Qt::RoundJoin : Qt::MiterJoin);
}

QLinearGradient vertical(qreal top, qreal bottom, const QColor& a, const QColor& b)
{
    QLinearGradient g(0, top, 0, bottom);
    g.setColorAt(0, a);
    g.setColorAt(1, b);
    return g;
}

void page(QPainter& p, const QRectF& r, qreal fold, bool lines)
{
    QPainterPath sheet;
    sheet.moveTo(r.topLeft());
    sheet.lineTo(r.right() - fold, r.top());
    sheet.lineTo(r.right(), r.top() + fold);
    sheet.lineTo(r.bottomRight());
    sheet.lineTo(r.bottomLeft());
    sheet.closeSubpath();
    p.setPen(line(QColor(105, 110, 120)));
    p.setBrush(vertical(r.top(), r.bottom(), Qt::white, QColor(226, 230, 238)));
    p.drawPath(sheet);
    QPainterPath corner;
    corner.moveTo(r.right() - fold, r.top());
    corner.lineTo(r.right() - fold, r.top() + fold);
    corner.lineTo(r.right(), r.top() + fold);
    corner.closeSubpath();
    p.setBrush(QColor(205, 210, 220));
    p.drawPath(corner);
    if (lines) {
        p.setPen(line(QColor(140, 155, 185)));
        for (qreal y = r.top() + fold + 2; y < r.bottom() - 1; y += 2)
            p.drawLine(QPointF(r.left() + 2, y), QPointF(r.right() - 2, y));
    }
}

void folder(QPainter& p, const QRectF& r)
{
    const qreal tab = qMax<qreal>(1.5, qRound(r.height() * 0.2));
    const qreal tabWidth = qRound(r.width() * 0.4);
    QPainterPath back;
    back.moveTo(r.topLeft());
    back.lineTo(r.left() + tabWidth, r.top());
    back.lineTo(r.left() + tabWidth + tab, r.top() + tab);
    back.lineTo(r.right(), r.top() + tab);
    back.lineTo(r.bottomRight());
    back.lineTo(r.bottomLeft());
    back.closeSubpath();
    const QColor edge(150, 105, 35);
    p.setPen(line(edge));
    p.setBrush(QColor(218, 170, 80));
    p.drawPath(back);
    const QRectF front(r.left(), r.top() + tab + 2, r.width(), r.height() - tab - 2);
    p.setBrush(vertical(front.top(), front.bottom(), QColor(255, 230, 160), QColor(238, 192, 95)));
    p.drawRect(front);
}

void globe(QPainter& p, const QPointF& c, qreal r)
{
    QRadialGradient sea(c - QPointF(r * 0.4, r * 0.4), r * 1.6);
    sea.setColorAt(0, QColor(175, 220, 255));
    sea.setColorAt(1, QColor(25, 95, 200));
    p.setPen(line(QColor(20, 60, 140)));
    p.setBrush(sea);
    p.drawEllipse(c, r, r);
    // Two rough continents, kept inside the disc.
    p.save();
    QPainterPath disc;
    disc.addEllipse(c, r - 0.5, r - 0.5);
    p.setClipPath(disc);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 165, 70));
    QPainterPath land;
    land.moveTo(c + QPointF(-r * 0.9, -r * 0.5));
    land.cubicTo(c + QPointF(-r * 0.2, -r * 1.1), c + QPointF(r * 0.1, -r * 0.3),
                 c + QPointF(-r * 0.3, r * 0.1));
    land.cubicTo(c + QPointF(-r * 0.5, r * 0.6), c + QPointF(-r * 0.9, r * 0.3),
                 c + QPointF(-r * 0.9, -r * 0.5));
    land.moveTo(c + QPointF(r * 0.3, r * 0.2));
    land.cubicTo(c + QPointF(r * 1.0, -r * 0.1), c + QPointF(r * 1.0, r * 0.6),
                 c + QPointF(r * 0.4, r * 1.0));
    land.cubicTo(c + QPointF(r * 0.1, r * 0.8), c + QPointF(0, r * 0.4),
                 c + QPointF(r * 0.3, r * 0.2));
    p.drawPath(land);
    p.setPen(line(QColor(255, 255, 255, 110), 0.6));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, r * 0.45, r);
    p.drawLine(c + QPointF(-r, 0), c + QPointF(r, 0));
    p.restore();
}

void star(QPainter& p, const QPointF& c, qreal r)
{
    QPolygonF points;
    for (int i = 0; i < 10; ++i) {
        const qreal a = qDegreesToRadians(-90.0 + i * 36.0);
        const qreal radius = (i % 2) ? r * 0.47 : r;
        points << c + QPointF(radius * qCos(a), radius * qSin(a));
    }
    p.setPen(line(QColor(175, 105, 0), 0.9, Qt::RoundCap));
    p.setBrush(vertical(c.y() - r, c.y() + r, QColor(255, 240, 110), QColor(245, 165, 0)));
    p.drawPolygon(points);
}

// Green plus in the bottom-right corner, with a white rim so it reads on anything.
void plusBadge(QPainter& p)
{
    QPainterPath across, down;
    across.addRect(8.5, 10.5, 7, 3);
    down.addRect(10.5, 8.5, 3, 7);
    const QPainterPath plus = across.united(down);
    p.strokePath(plus, line(Qt::white, 3));
    p.setPen(line(QColor(25, 105, 25)));
    p.setBrush(vertical(8.5, 15.5, QColor(130, 220, 100), QColor(40, 150, 40)));
    p.drawPath(plus);
}

void magnifier(QPainter& p, const QPointF& c, qreal r)
{
    const QPointF rim = c + QPointF(r, r) * 0.72;
    p.setPen(line(QColor(60, 60, 65), r * 0.75, Qt::RoundCap));
    p.drawLine(rim, rim + QPointF(r, r) * 0.75);
    p.setPen(line(QColor(60, 60, 65), 1.2));
    p.setBrush(QColor(205, 232, 255, 225));
    p.drawEllipse(c, r, r);
    p.setPen(line(Qt::white, 0.8, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(c.x() - r * 0.6, c.y() - r * 0.6, r * 1.2, r * 1.2), 100 * 16, 70 * 16);
}

// Question mark drawn as strokes (fonts differ between machines), h units high.
void questionMark(QPainter& p, const QPointF& c, qreal h, const QColor& colour)
{
    const qreal u = h / 10.0;
    auto at = [&](qreal x, qreal y) { return c + QPointF(x * u, y * u); };
    QPainterPath q;
    q.moveTo(at(-2.4, -2.4));
    q.cubicTo(at(-2.4, -5.8), at(2.6, -5.8), at(2.6, -2.6));
    q.cubicTo(at(2.6, -0.4), at(0, -0.6), at(0, 1.8));
    p.setPen(line(colour, 2.2 * u, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(q);
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.drawEllipse(at(0, 4.3), 1.3 * u, 1.3 * u);
}

void blueDisc(QPainter& p, const QPointF& c, qreal r)
{
    QRadialGradient g(c - QPointF(r * 0.4, r * 0.5), r * 1.5);
    g.setColorAt(0, QColor(110, 170, 250));
    g.setColorAt(1, QColor(20, 70, 180));
    p.setPen(line(QColor(15, 50, 130)));
    p.setBrush(g);
    p.drawEllipse(c, r, r);
}

void tile(QPainter& p, const QRectF& r)
{
    p.setPen(line(QColor(30, 75, 150)));
    p.setBrush(vertical(r.top(), r.bottom(), QColor(140, 190, 250), QColor(50, 115, 210)));
    p.drawRect(r);
}

void textLine(QPainter& p, qreal x1, qreal x2, qreal y)
{
    p.setPen(line(QColor(80, 85, 95)));
    p.drawLine(QPointF(x1, y), QPointF(x2, y));
}

void gear(QPainter& p)
{
    QPainterPath g;
    g.addEllipse(QPointF(8, 8), 5.2, 5.2);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRect(-1.4, -7.5, 2.8, 4);
        g = g.united(QTransform().translate(8, 8).rotate(i * 45).map(tooth));
    }
    QPainterPath hole;
    hole.addEllipse(QPointF(8, 8), 2.2, 2.2);
    g = g.subtracted(hole);
    p.setPen(line(QColor(60, 65, 75), 1, Qt::RoundCap));
    p.setBrush(vertical(0, 16, QColor(215, 220, 228), QColor(120, 128, 140)));
    p.drawPath(g);
}

void paintFixed(QPainter& p, int index)
{
    switch (index) {
    case imgCategory:
        star(p, QPointF(8, 8.6), 7.6);
        break;
    case imgFolder:
        folder(p, QRectF(1.5, 2.5, 13, 11));
        break;
    case imgHyperlink:
        page(p, QRectF(1.5, 0.5, 10, 14), 3, false);
        globe(p, QPointF(10.5, 10.5), 5);
        break;
    case imgBlankPage:
        page(p, QRectF(2.5, 0.5, 11, 15), 4, false);
        break;
    case imgMissing: {
        QRadialGradient g(QPointF(6, 5), 10);
        g.setColorAt(0, QColor(250, 90, 80));
        g.setColorAt(1, QColor(185, 15, 15));
        p.setPen(line(QColor(130, 0, 0)));
        p.setBrush(g);
        p.drawEllipse(QPointF(8, 8), 7, 7);
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawRect(QRectF(3, 6.5, 10, 3));
        break;
    }
    case imgSortUp:
    case imgSortDown: {
        const qreal tip = index == imgSortUp ? 6 : 10;
        const qreal base = index == imgSortUp ? 10 : 6;
        p.setPen(Qt::NoPen);
        p.setBrush(QColor(128, 128, 128));
        p.drawPolygon(QPolygonF({QPointF(4, base), QPointF(12, base), QPointF(8, tip)}));
        break;
    }
    default:
        break;
    }
}

bool paintCommand(QPainter& p, int index)
{
    switch (index) {
    case LargeIconsImage:
        for (qreal y : {1.5, 9.5})
            for (qreal x : {1.5, 9.5})
                tile(p, QRectF(x, y, 5, 5));
        break;
    case SmallIconsImage:
        for (qreal y : {1.5, 6.5, 11.5})
            for (qreal x : {1.5, 6.5, 11.5})
                tile(p, QRectF(x, y, 3, 3));
        break;
    case ListImage:
        for (qreal y : {2.5, 6.5, 10.5, 14.5}) {
            p.fillRect(QRectF(1, y - 1.5, 3, 3), QColor(50, 115, 210));
            textLine(p, 6.5, 14.5, y);
        }
        break;
    case DetailsImage:
        p.setPen(line(QColor(90, 95, 110)));
        p.setBrush(QColor(200, 210, 225));
        p.drawRect(QRectF(0.5, 1.5, 15, 3));
        for (qreal y : {7.5, 10.5, 13.5}) {
            textLine(p, 1.5, 6.5, y);
            textLine(p, 8.5, 10.5, y);
            textLine(p, 12.5, 14.5, y);
        }
        break;
    case AddFileImage:
        page(p, QRectF(1.5, 0.5, 10, 14), 3, true);
        plusBadge(p);
        break;
    case AddCategoryImage:
        star(p, QPointF(7, 7.5), 6.8);
        plusBadge(p);
        break;
    case RemoveImage: {
        const QLineF a(3.5, 3.5, 12.5, 12.5), b(12.5, 3.5, 3.5, 12.5);
        for (const auto& [colour, width] :
             {std::pair{QColor(120, 0, 0), 4.2}, std::pair{QColor(230, 40, 30), 2.4}}) {
            p.setPen(line(colour, width, Qt::RoundCap));
            p.drawLine(a);
            p.drawLine(b);
        }
        break;
    }
    case CommentImage: {
        QPainterPath bubble;
        bubble.addRoundedRect(QRectF(0.5, 1.5, 15, 10), 2.5, 2.5);
        QPainterPath tail;
        tail.moveTo(3.5, 10);
        tail.lineTo(3, 15);
        tail.lineTo(8.5, 10);
        tail.closeSubpath();
        p.setPen(line(QColor(165, 130, 30), 1, Qt::RoundCap));
        p.setBrush(vertical(1.5, 15, QColor(255, 248, 185), QColor(250, 220, 95)));
        p.drawPath(bubble.united(tail));
        for (qreal y : {4.5, 6.5, 8.5})
            textLine(p, 3.5, y == 8.5 ? 9.5 : 12.5, y);
        break;
    }
    case SearchImage:
        magnifier(p, QPointF(6.5, 6.5), 5);
        break;
    case HelpImage:
        blueDisc(p, QPointF(8, 8), 7.3);
        questionMark(p, QPointF(8, 8), 11, Qt::white);
        break;
    case FaqImage: // questions and answers on the web
        globe(p, QPointF(6.5, 6.5), 6);
        blueDisc(p, QPointF(11.5, 11.5), 4);
        questionMark(p, QPointF(11.5, 11.5), 6.2, Qt::white);
        break;
    case FindObjectImage: // find the object on the disk
        folder(p, QRectF(0.5, 1.5, 13, 11));
        magnifier(p, QPointF(10, 10), 3.2);
        break;
    case DotImage:
        blueDisc(p, QPointF(8, 8), 3);
        break;
    case AddUrlImage:
        globe(p, QPointF(7, 7), 6.5);
        plusBadge(p);
        break;
    case DeleteFromDiskImage: {
        const QColor edge(70, 75, 85);
        p.setPen(line(edge));
        p.setBrush(QColor(190, 195, 205));
        p.drawRect(QRectF(6, 0.5, 4, 2));
        QLinearGradient metal(3, 0, 13, 0);
        metal.setColorAt(0, QColor(150, 155, 165));
        metal.setColorAt(0.35, QColor(240, 242, 246));
        metal.setColorAt(1, QColor(130, 135, 145));
        p.setBrush(metal);
        p.drawPolygon(QPolygonF(
            {QPointF(3.5, 4.5), QPointF(12.5, 4.5), QPointF(11.5, 15.5), QPointF(4.5, 15.5)}));
        p.drawRect(QRectF(1.5, 2.5, 13, 2));
        for (qreal x : {6.0, 8.0, 10.0})
            p.drawLine(QPointF(x, 6.5), QPointF(x, 13.5));
        break;
    }
    case SupportImage: { // support by e-mail
        const QRectF r(0.5, 2.5, 15, 11);
        p.setPen(line(QColor(90, 95, 110), 1, Qt::RoundCap));
        p.setBrush(vertical(r.top(), r.bottom(), QColor(255, 253, 245), QColor(230, 225, 205)));
        p.drawRect(r);
        p.setBrush(Qt::NoBrush);
        p.drawPolyline(QPolygonF({r.topLeft(), QPointF(8, 9), r.topRight()}));
        p.drawLine(r.bottomLeft(), QPointF(6, 8));
        p.drawLine(r.bottomRight(), QPointF(10, 8));
        break;
    }
    case ShowFoldersImage:
        p.setPen(line(QColor(110, 110, 110)));
        p.drawLine(QPointF(3.5, 6), QPointF(3.5, 13.5));
        p.drawLine(QPointF(3.5, 9.5), QPointF(6, 9.5));
        p.drawLine(QPointF(3.5, 13.5), QPointF(6, 13.5));
        folder(p, QRectF(0.5, 0.5, 9, 6));
        folder(p, QRectF(6.5, 7.5, 9, 4));
        folder(p, QRectF(6.5, 11.5, 9, 4));
        break;
    case PropertiesImage: {
        page(p, QRectF(1.5, 0.5, 11, 15), 3, true);
        // a small spanner over the sheet
        QPainterPath spanner;
        spanner.addEllipse(QPointF(12, 10), 2.6, 2.6);
        QPainterPath jaw;
        jaw.addRect(QRectF(11.2, 6.8, 1.6, 3.4));
        spanner = spanner.subtracted(jaw);
        QPainterPath handle;
        handle.addRect(QRectF(-1, 0, 2, 6));
        spanner = spanner.united(QTransform().translate(12, 10).rotate(35).map(handle));
        spanner = QTransform().translate(12, 10).rotate(20).translate(-12, -10).map(spanner);
        p.setPen(line(QColor(50, 55, 65), 0.8, Qt::RoundCap));
        p.setBrush(QColor(150, 160, 175));
        p.drawPath(spanner.simplified());
        break;
    }
    case OptionsImage:
        gear(p);
        break;
    default:
        return false;
    }
    return true;
}

void paintProgram(QPainter& p, int size)
{
    // Outlines stay near one device pixel (a bit more when large) instead of growing.
    const qreal px = 16.0 / size;
    const qreal w = qMax<qreal>(1.0, size / 24.0) * px;
    const bool detailed = size >= 32;
    const QColor lilac(180, 111, 188), light(225, 183, 235), dark(105, 55, 115);

    // pages, then the cover
    p.setPen(line(QColor(120, 115, 125), w));
    p.setBrush(QColor(250, 247, 240));
    p.drawRoundedRect(QRectF(2.5, 2.5, 10.5, 13), 1, 1);
    if (detailed) {
        p.setPen(line(QColor(190, 185, 195), w * 0.7));
        for (qreal d = 1; d < 2.5; d += 0.5)
            p.drawLine(QPointF(3.5, 15.5 - d), QPointF(13 - d, 15.5 - d));
    }
    const QRectF cover(1, 1, 11, 13);
    p.setPen(line(dark, w));
    p.setBrush(vertical(cover.top(), cover.bottom(), lilac.lighter(115), lilac.darker(115)));
    p.drawRoundedRect(cover, 1, 1);
    p.setPen(Qt::NoPen);
    p.setBrush(lilac.darker(135));
    p.drawRect(QRectF(cover.left() + w / 2, cover.top() + 1, 1.7, cover.height() - 2));
    // label on the cover
    p.setPen(line(dark, w * 0.8));
    p.setBrush(light);
    const QRectF label(4.5, 3, 5.5, detailed ? 3.5 : 3);
    p.drawRect(label);
    if (detailed) {
        p.setPen(line(dark, w * 0.6));
        p.drawLine(QPointF(5.5, 4.3), QPointF(9, 4.3));
        p.drawLine(QPointF(5.5, 5.3), QPointF(8, 5.3));
    }

    // the quill, nib at the bottom, feather leaning to the top right
    p.save();
    const QPointF nib(6.2, 15.4), tip(15.6, 0.6);
    const qreal len = QLineF(nib, tip).length();
    p.translate(nib);
    p.rotate(QLineF(nib, tip).angle() * -1);
    const qreal vane = detailed ? 2.0 : 2.8;
    QPainterPath feather;
    feather.moveTo(len * 0.25, 0);
    feather.cubicTo(len * 0.4, -vane * 1.3, len * 0.8, -vane * 1.2, len, 0);
    feather.cubicTo(len * 0.8, vane * 0.9, len * 0.45, vane * 0.9, len * 0.25, 0);
    p.setPen(line(QColor(110, 80, 120), w * 0.8, Qt::RoundCap));
    p.setBrush(vertical(-vane, vane, Qt::white, QColor(232, 215, 240)));
    p.drawPath(feather);
    if (detailed) { // a few barbs
        p.setPen(line(QColor(190, 170, 200), w * 0.5));
        for (qreal t = 0.4; t < 0.9; t += 0.12)
            p.drawLine(QPointF(len * t, 0), QPointF(len * (t + 0.08), -vane * 0.9));
    }
    p.setPen(line(QColor(70, 50, 80), w * 0.9, Qt::RoundCap));
    // When small a shaft through the vane would split the feather into two slivers.
    p.drawLine(QPointF(len * 0.1, 0), QPointF(len * (detailed ? 0.97 : 0.3), 0));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(40, 35, 45));
    p.drawPolygon(QPolygonF({QPointF(0, 0), QPointF(len * 0.14, -0.7), QPointF(len * 0.14, 0.7)}));
    p.restore();
}

} // namespace

QImage fixedImage(int index, int size)
{
    if (index < 0 || index >= FixedImageCount || size < 1)
        return {};
    Canvas c(size);
    paintFixed(c.p, index);
    return c.take();
}

QIcon fixedIcon(int index, int size)
{
    const QImage image = fixedImage(index, size);
    return image.isNull() ? QIcon() : QIcon(QPixmap::fromImage(image));
}

QImage programImage(int size)
{
    if (size < 1)
        return {};
    Canvas c(size);
    paintProgram(c.p, size);
    return c.take();
}

QIcon programIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128})
        icon.addPixmap(QPixmap::fromImage(programImage(size)));
    return icon;
}

QImage commandPicture(int index, int size)
{
    if (size < 1)
        return {};
    Canvas c(size);
    const bool known = paintCommand(c.p, index);
    QImage image = c.take();
    return known ? image : QImage();
}

QIcon commandImage(int index)
{
    QIcon icon;
    for (int size : {16, 32}) {
        const QImage image = commandPicture(index, size);
        if (image.isNull())
            return {};
        icon.addPixmap(QPixmap::fromImage(image));
    }
    return icon;
}

QImage pointingHand(int size)
{
    if (size < 1)
        return {};
    Canvas c(size);
    QPainter& p = c.p;
    const qreal px = 16.0 / size;
    // A white-gloved hand, outlined, index finger out to the right.
    QPainterPath hand;
    hand.moveTo(1.5, 7); // wrist, top
    hand.lineTo(5, 5.5);
    hand.lineTo(14, 5.5);            // top of the index finger
    hand.quadTo(15.5, 6.5, 14, 7.8); // its tip
    hand.lineTo(9, 7.8);
    hand.quadTo(10.3, 8.9, 9, 10);    // middle finger, folded
    hand.quadTo(10.1, 11.1, 8.8, 12); // ring finger
    hand.quadTo(9.6, 13, 8.2, 13.6);  // little finger
    hand.lineTo(5, 13.6);
    hand.lineTo(1.5, 12.5); // wrist, bottom
    hand.closeSubpath();
    p.setPen(line(QColor(40, 40, 45), px * 1.2, Qt::RoundCap));
    p.setBrush(QColor(255, 250, 235));
    p.drawPath(hand);
    // The cuff makes the shape read as a hand even at 16 px.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(70, 110, 190));
    p.drawRect(QRectF(0.5, 6.8, 1.6, 6));
    return c.take();
}

QImage emblemSymlink(int size)
{
    if (size < 1)
        return {};
    Canvas c(size);
    QPainter& p = c.p;
    // Keep the outline one device pixel wide whatever the size.
    const qreal px = 16.0 / size;
    p.setPen(line(QColor(80, 80, 90), px));
    p.setBrush(QColor(255, 255, 255, 235));
    p.drawRoundedRect(QRectF(px / 2, px / 2, 16 - px, 16 - px), 2.5, 2.5);
    const QColor ink(25, 25, 30);
    p.setBrush(ink);
    if (size < 12) { // a curve turns to mush in a few pixels: straight arrow instead
        p.setPen(line(ink, 3, Qt::FlatCap));
        p.drawLine(QPointF(3, 13), QPointF(9, 7));
        p.setPen(Qt::NoPen);
        p.drawPolygon(QPolygonF({QPointF(13.5, 2.5), QPointF(13.5, 11), QPointF(5, 2.5)}));
        return c.take();
    }
    QPainterPath shaft;
    shaft.moveTo(4, 13);
    shaft.cubicTo(4, 8.5, 6.5, 6.5, 10, 6.5);
    p.setPen(line(ink, 2.4, Qt::FlatCap));
    p.setBrush(Qt::NoBrush);
    p.drawPath(shaft);
    p.setPen(Qt::NoPen);
    p.setBrush(ink);
    p.drawPolygon(QPolygonF({QPointF(9.5, 2.5), QPointF(14, 6.5), QPointF(9.5, 10.5)}));
    return c.take();
}

QImage overlay(const QImage& base, const QImage& emblem)
{
    QImage out = base.convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const QRect quarter(0, out.height() - out.height() / 2, out.width() / 2, out.height() / 2);
    if (out.isNull() || emblem.isNull() || quarter.isEmpty())
        return out;
    QSize size = emblem.size();
    if (size.width() > quarter.width() || size.height() > quarter.height())
        size.scale(quarter.size(), Qt::KeepAspectRatio);
    // Work in device pixels: a theme pixmap may carry a HiDPI ratio.
    const qreal ratio = out.devicePixelRatio();
    out.setDevicePixelRatio(1);
    {
        QPainter p(&out);
        p.setRenderHint(QPainter::SmoothPixmapTransform);
        p.drawImage(QRect(QPoint(0, out.height() - size.height()), size), emblem);
    }
    out.setDevicePixelRatio(ratio);
    return out;
}

} // namespace Artwork
