// Draws the splash picture and the Tip of the Day bulb into the given directory.
// The pictures are committed; this tool only exists so they can be redrawn.

#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cstdio>

namespace {

void drawPadlock(QPainter &p, const QRectF &body)
{
    // Shackle.
    const qreal w = body.width();
    QPen shackle(QColor(0xc9, 0xd3, 0xe0), w * 0.12, Qt::SolidLine, Qt::FlatCap);
    p.setPen(shackle);
    p.setBrush(Qt::NoBrush);
    QRectF arc(body.left() + w * 0.2, body.top() - w * 0.55, w * 0.6, w * 0.9);
    QPainterPath path;
    path.moveTo(arc.left(), body.top() + 2);
    path.lineTo(arc.left(), arc.center().y());
    path.arcTo(arc, 180, -180);
    path.lineTo(arc.right(), body.top() + 2);
    p.drawPath(path);

    // Body.
    QLinearGradient gold(body.topLeft(), body.bottomRight());
    gold.setColorAt(0, QColor(0xf8, 0xd8, 0x6a));
    gold.setColorAt(1, QColor(0xb8, 0x84, 0x1c));
    p.setPen(QPen(QColor(0x6b, 0x4a, 0x0c), 2));
    p.setBrush(gold);
    p.drawRoundedRect(body, w * 0.1, w * 0.1);

    // Key hole.
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x2a, 0x1d, 0x05));
    const QPointF c(body.center().x(), body.top() + body.height() * 0.42);
    p.drawEllipse(c, w * 0.1, w * 0.1);
    QPolygonF slot;
    slot << QPointF(c.x() - w * 0.05, c.y()) << QPointF(c.x() + w * 0.05, c.y())
         << QPointF(c.x() + w * 0.08, c.y() + body.height() * 0.35)
         << QPointF(c.x() - w * 0.08, c.y() + body.height() * 0.35);
    p.drawPolygon(slot);
}

QImage drawSplash()
{
    QImage image(378, 274, QImage::Format_RGB32);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    QLinearGradient sky(0, 0, 0, 274);
    sky.setColorAt(0, QColor(0x0b, 0x1f, 0x44));
    sky.setColorAt(1, QColor(0x1d, 0x4e, 0x8f));
    p.fillRect(image.rect(), sky);

    // Faint rows of "ciphertext" behind everything.
    QFont mono(QStringLiteral("DejaVu Sans Mono"));
    mono.setPixelSize(10);
    p.setFont(mono);
    p.setPen(QColor(255, 255, 255, 28));
    const char *glyphs = "0123456789ABCDEF";
    unsigned seed = 5;
    for (int y = 12; y < 274; y += 13) {
        QString row;
        for (int i = 0; i < 64; ++i) {
            seed = seed * 1103515245u + 12345u;
            row += QLatin1Char(glyphs[(seed >> 16) & 15]);
        }
        p.drawText(4, y, row);
    }

    drawPadlock(p, QRectF(34, 112, 84, 72));

    QFont title(QStringLiteral("DejaVu Serif"));
    title.setBold(true);
    title.setPixelSize(46);
    p.setFont(title);
    p.setPen(QColor(0, 0, 0, 110));
    p.drawText(QPointF(144, 134), QStringLiteral("Zorvex"));
    p.setPen(Qt::white);
    p.drawText(QPointF(142, 132), QStringLiteral("Zorvex"));

    QFont version(QStringLiteral("DejaVu Sans"));
    version.setBold(true);
    version.setPixelSize(30);
    p.setFont(version);
    p.setPen(QColor(0xf2, 0xc1, 0x4e));
    p.drawText(QPointF(144, 170), QStringLiteral("5.0"));

    QFont small(QStringLiteral("DejaVu Sans"));
    small.setPixelSize(13);
    p.setFont(small);
    p.setPen(QColor(0xdd, 0xe6, 0xf2));
    p.drawText(QPointF(144, 196), QStringLiteral("A graphical shell for PGP"));

    p.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 2));
    p.drawLine(QPointF(20, 232), QPointF(358, 232));
    small.setPixelSize(11);
    p.setFont(small);
    p.setPen(QColor(0xb8, 0xc8, 0xdd));
    p.drawText(QRectF(20, 238, 338, 24), Qt::AlignCenter,
               QStringLiteral("Encrypt \u00b7 Sign \u00b7 Decrypt \u00b7 Manage keys"));

    p.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(3.5, 3.5, 371, 267));
    return image;
}

QImage drawBulb()
{
    QImage image(40, 53, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);

    // Rays.
    p.setPen(QPen(QColor(0xf0, 0xb0, 0x20), 2, Qt::SolidLine, Qt::RoundCap));
    const QPointF centre(20, 17);
    const QLineF rays[] = {
        {20, 1, 20, 3}, {4, 17, 6, 17}, {34, 17, 36, 17}, {8, 5, 9.5, 6.5}, {32, 5, 30.5, 6.5}};
    for (const QLineF &ray : rays)
        p.drawLine(ray);

    // Glass.
    QRadialGradient glow(QPointF(17, 13), 14);
    glow.setColorAt(0, QColor(0xff, 0xff, 0xe0));
    glow.setColorAt(0.5, QColor(0xff, 0xec, 0x6a));
    glow.setColorAt(1, QColor(0xf5, 0xc2, 0x1b));
    QPainterPath glass;
    glass.addEllipse(centre, 11, 11);
    QPainterPath neck;
    neck.moveTo(13, 24);
    neck.cubicTo(14, 30, 15, 32, 15, 36);
    neck.lineTo(25, 36);
    neck.cubicTo(25, 32, 26, 30, 27, 24);
    neck.closeSubpath();
    glass = glass.united(neck);
    p.setPen(QPen(QColor(0x9a, 0x6d, 0x05), 1.2));
    p.setBrush(glow);
    p.drawPath(glass);

    // Filament.
    p.setPen(QPen(QColor(0xc0, 0x50, 0x10), 1));
    p.setBrush(Qt::NoBrush);
    QPainterPath filament;
    filament.moveTo(17, 35);
    filament.lineTo(17, 21);
    filament.cubicTo(18, 17, 22, 17, 23, 21);
    filament.lineTo(23, 35);
    p.drawPath(filament);

    // Screw base.
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1));
    for (int i = 0; i < 4; ++i) {
        QLinearGradient metal(14, 0, 26, 0);
        metal.setColorAt(0, QColor(0x9a, 0x9a, 0xa4));
        metal.setColorAt(0.5, QColor(0xee, 0xee, 0xf2));
        metal.setColorAt(1, QColor(0x80, 0x80, 0x8a));
        p.setBrush(metal);
        p.drawRoundedRect(QRectF(14.5, 36.5 + i * 3.5, 11, 3.5), 1.5, 1.5);
    }
    p.setBrush(QColor(0x40, 0x40, 0x48));
    p.drawEllipse(QRectF(17, 49, 6, 3.5));
    return image;
}

} // namespace

int main(int argc, char *argv[])
{
    QGuiApplication app(argc, argv);
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    QDir().mkpath(dir);
    const bool ok = drawSplash()
                        .convertToFormat(QImage::Format_RGB888)
                        .save(dir + QStringLiteral("/splash.bmp")) &&
                    drawBulb().save(dir + QStringLiteral("/bulb.png"));
    if (!ok)
        std::fprintf(stderr, "cannot write the pictures into %s\n", qPrintable(dir));
    return ok ? 0 : 1;
}
