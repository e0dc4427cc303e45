// What the grid shows before its exact cell painting: lines, titles, indicator glyph, cell text.
#include "GridFixture.h"

#include <QImage>
#include <gtest/gtest.h>

namespace {

QRgb Rgb(TColor c)
{
    return ColorToQColor(c).rgb();
}

bool HasDarkPixel(const QImage& img, const QRect& r)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x) {
            const QColor c = img.pixelColor(x, y);
            if (c.red() < 128 && c.green() < 128 && c.blue() < 128)
                return true;
        }
    return false;
}

bool HasPixelOf(const QImage& img, const QRect& r, QRgb colour)
{
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (img.pixel(x, y) == colour)
                return true;
    return false;
}

} // namespace

TEST(GridPainting, LinesTitlesIndicatorAndText)
{
    TPinSystemColorsEh pin;
    TWindowGrid w(100);
    w.Open();
    const QImage img = w.Grid->viewport()->grab().toImage();
    // Fitted beside the scroll bar: numer 12..76, its line 77, vlad from 78.
    EXPECT_EQ(img.pixel(77, 30), Rgb(clSilver)) << "data lines are silver";
    EXPECT_EQ(img.pixel(11, 30), Rgb(clBlack)) << "lines of the fixed cells are black";
    EXPECT_EQ(img.pixel(200, 17), Rgb(clBlack)) << "the title row's line";
    EXPECT_EQ(img.pixel(300, 8), Rgb(clBtnFace)) << "title background right of the caption";
    EXPECT_TRUE(HasDarkPixel(img, QRect(80, 2, 50, 13))) << "the caption is written";
    EXPECT_TRUE(HasPixelOf(img, QRect(3, 18, 6, 17), Rgb(clBlack))) << "the current record's arrow";
    EXPECT_FALSE(HasPixelOf(img, QRect(3, 36, 6, 17), Rgb(clBlack))) << "no glyph on other rows";
    EXPECT_EQ(w.Grid->LastIndicatorRow(), 1);
    EXPECT_TRUE(HasDarkPixel(img, QRect(80, 38, 60, 13))) << "a record's text";
}

TEST(GridPainting, ClosedRecordSetShowsTitlesAndOneEmptyRow)
{
    TPinSystemColorsEh pin;
    TWindowGrid w;
    const QImage img = w.Grid->viewport()->grab().toImage();
    EXPECT_FALSE(HasPixelOf(img, QRect(0, 18, 11, 17), Rgb(clBlack))) << "no glyph";
    EXPECT_EQ(img.pixel(200, 25), Rgb(clWindow)) << "the empty row in the column's colour";
    EXPECT_EQ(img.pixel(200, 35), Rgb(clSilver));
    EXPECT_EQ(img.pixel(200, 100), Rgb(clWindow)) << "below the last row";
}
