#include "dialogpicture.h"

#include <QApplication>
#include <QFont>
#include <QIcon>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>

QLabel *MakeDialogPicture(QWidget *parent)
{
    QPixmap pixmap(115, 21);
    pixmap.fill(Qt::transparent);
    {
        QPainter p(&pixmap);
        p.setRenderHint(QPainter::Antialiasing);
        QLinearGradient fill(0, 0, 115, 0);
        fill.setColorAt(0, QColor(0x1b, 0x3a, 0x6b));
        fill.setColorAt(1, QColor(0x3f, 0x7c, 0xc4));
        p.setBrush(fill);
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(QRectF(0.5, 0.5, 114, 20), 4, 4);
        // A key: ring and bit.
        p.setPen(QPen(QColor(0xf2, 0xc1, 0x4e), 2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(10, 10.5), 4, 4);
        p.drawLine(QPointF(14, 10.5), QPointF(24, 10.5));
        p.drawLine(QPointF(21, 10.5), QPointF(21, 14));
        QFont font = p.font();
        font.setBold(true);
        font.setPixelSize(12);
        p.setFont(font);
        p.setPen(Qt::white);
        p.drawText(QRectF(28, 0, 85, 21), Qt::AlignVCenter | Qt::AlignLeft,
                   QStringLiteral("Zorvex 5"));
    }
    auto *label = new QLabel(parent);
    label->setObjectName(QStringLiteral("decorationPicture"));
    label->setPixmap(pixmap);
    return label;
}

QLabel *MakeProgramIconLabel(QWidget *parent)
{
    auto *logo = new QLabel(parent);
    logo->setObjectName(QStringLiteral("logoLabel"));
    const QIcon icon = QApplication::windowIcon();
    if (!icon.isNull())
        logo->setPixmap(icon.pixmap(48, 48));
    return logo;
}
