#pragma once
// Pixel checks for painting tests: compare a region of two images and name the first difference.

#include <QImage>
#include <QRect>
#include <QString>

#include <string>

// Empty when the images agree within the region, else where and how they first differ.
inline std::string FirstPixelDifference(const QImage& actual, const QImage& expected, const QRect& region)
{
    for (int y = region.top(); y <= region.bottom(); ++y)
        for (int x = region.left(); x <= region.right(); ++x) {
            const QRgb a = actual.pixel(x, y) & 0xFFFFFF;
            const QRgb e = expected.pixel(x, y) & 0xFFFFFF;
            if (a != e)
                return QStringLiteral("first difference at (%1, %2): %3 instead of %4")
                    .arg(x)
                    .arg(y)
                    .arg(a, 6, 16, QLatin1Char('0'))
                    .arg(e, 6, 16, QLatin1Char('0'))
                    .toStdString();
        }
    return {};
}

inline bool AllPixels(const QImage& img, const QRect& r, QRgb colour)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) != (colour & 0xFFFFFF))
                return false;
    return true;
}

inline bool AnyPixel(const QImage& img, const QRect& r, QRgb colour)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                return true;
    return false;
}

// Text is drawn with smoothed edges: its pixels are dark (or light) rather than the exact colour.
inline bool AnyDarkPixel(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() < 100 && c.green() < 100 && c.blue() < 100)
                return true;
        }
    return false;
}

inline bool AnyLightPixel(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() > 200 && c.green() > 200 && c.blue() > 200)
                return true;
        }
    return false;
}
