#include "TButtonImages.h"

#include <QPainter>
#include <QPixmap>

namespace {

const QColor kTransparent(0xFF, 0x00, 0xFF); // fuchsia: a colour none of the images uses

void DrawSearch(QPainter& p)
{
    // Glass: a dark ring with a pale lens, and a brown handle towards the bottom right.
    p.setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    p.setBrush(QColor(0xC8, 0xE8, 0xFF));
    p.drawEllipse(QRect(1, 1, 9, 9));
    p.setPen(Qt::white);
    p.drawPoint(4, 4);
    p.drawPoint(5, 3);
    p.setPen(QPen(QColor(0x80, 0x40, 0x00), 2, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(10, 10, 14, 14);
}

void DrawReset(QPainter& p)
{
    // A pale blue sheet with a green tick on it.
    p.setPen(QColor(0x40, 0x60, 0x90));
    p.setBrush(QColor(0xD8, 0xEC, 0xFF));
    p.drawRect(QRect(2, 1, 11, 13));
    p.setPen(QPen(QColor(0x00, 0x99, 0x00), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPolyline(QPolygon({QPoint(4, 8), QPoint(7, 11), QPoint(12, 4)}));
}

void DrawExport(QPainter& p)
{
    // A note pad: white ruled page, blue rings at the top.
    p.setPen(QColor(0x60, 0x60, 0x60));
    p.setBrush(Qt::white);
    p.drawRect(QRect(2, 2, 11, 12));
    p.setPen(QColor(0x80, 0xA0, 0xD0));
    for (int y = 5; y <= 12; y += 2)
        p.drawLine(4, y, 11, y);
    p.setPen(QColor(0x20, 0x40, 0xC0));
    for (int x = 4; x <= 11; x += 3)
        p.drawLine(x, 0, x, 3);
}

} // namespace

QImage ButtonBitmap(TButtonImage which)
{
    QImage image(16, 16, QImage::Format_RGB32);
    image.fill(kTransparent);
    QPainter p(&image);
    switch (which) {
    case TButtonImage::Search:
        DrawSearch(p);
        break;
    case TButtonImage::Reset:
        DrawReset(p);
        break;
    case TButtonImage::Export:
        DrawExport(p);
        break;
    }
    p.end();
    image.setPixelColor(0, 15, kTransparent);
    return image;
}

QIcon ButtonIcon(TButtonImage which)
{
    const QImage bitmap = ButtonBitmap(which);
    const QRgb transparent = bitmap.pixel(0, bitmap.height() - 1);
    QImage argb = bitmap.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < argb.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(argb.scanLine(y));
        for (int x = 0; x < argb.width(); ++x)
            if ((line[x] & 0xFFFFFF) == (transparent & 0xFFFFFF))
                line[x] = 0;
    }
    return QIcon(QPixmap::fromImage(argb));
}
