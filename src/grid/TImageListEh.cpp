#include "TImageListEh.h"

#include <QPainter>

int TImageListEh::Add(const QImage& image, TColor transparent)
{
    QImage img = image.convertToFormat(QImage::Format_ARGB32);
    const QRgb key = ColorToQColor(transparent).rgb() & 0xFFFFFF;
    for (int y = 0; y < img.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
        for (int x = 0; x < img.width(); ++x)
            if ((line[x] & 0xFFFFFF) == key)
                line[x] = 0;
    }
    fImages.push_back(QPixmap::fromImage(img));
    return Count() - 1;
}

void TImageListEh::Draw(QPainter& painter, int x, int y, int index) const
{
    if (index < 0 || index >= Count())
        return;
    painter.drawPixmap(x, y, fImages[std::size_t(index)]);
}
