// The grid's bitmaps and cursors: loaded by name, with their transparent colours, and a missing
// cursor that stops the program's start.
#include "Exception.h"
#include "PaintCheck.h"
#include "TGridResourcesEh.h"

#include <QPainter>
#include <gtest/gtest.h>

namespace {

// An image of the list drawn on a grey ground, so that transparent pixels show the ground.
QImage OnGround(const TImageListEh& list, int index)
{
    QImage img(list.Width(), list.Height(), QImage::Format_RGB32);
    img.fill(qRgb(0x55, 0x66, 0x77));
    QPainter p(&img);
    list.Draw(p, 0, 0, index);
    return img;
}

int CountOf(const QImage& img, QRgb colour, int row = -1)
{
    int n = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if ((row < 0 || y == row) && (img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                ++n;
    return n;
}

constexpr QRgb kGround = qRgb(0x55, 0x66, 0x77);

} // namespace

TEST(GridResources, IndicatorGlyphsAndTheirTransparentColours)
{
    InitGridResourcesEh();
    const TImageListEh& list = IndicatorImagesEh();
    ASSERT_EQ(list.Count(), 7);
    EXPECT_EQ(list.Width(), 6);
    EXPECT_EQ(list.Height(), 11);
    for (int i = 0; i < 5; ++i) {
        const QImage img = OnGround(list, i);
        EXPECT_GT(CountOf(img, qRgb(0, 0, 0)), 0) << "image " << i << " is black";
        EXPECT_EQ(CountOf(img, qRgb(0, 0, 0)) + CountOf(img, kGround), 66) << "image " << i << ": white is transparent";
    }
    const QImage white = OnGround(list, 5);
    EXPECT_EQ(CountOf(white, qRgb(255, 255, 255)) + CountOf(white, kGround), 66) << "teal is transparent";
    EXPECT_EQ(CountOf(white, qRgb(255, 255, 255)), CountOf(OnGround(list, 0), qRgb(0, 0, 0))) << "the same triangle";
    const QImage search = OnGround(list, 6);
    EXPECT_EQ(CountOf(search, qRgb(255, 255, 0)), CountOf(white, qRgb(255, 255, 255))) << "white made yellow";
}

TEST(GridResources, SortMarkersPointDownAndUp)
{
    const TImageListEh& list = SortMarkerImagesEh();
    ASSERT_EQ(list.Count(), 2);
    EXPECT_EQ(list.Width(), 10);
    EXPECT_EQ(list.Height(), 9);
    const QImage down = OnGround(list, 0);
    const QImage up = OnGround(list, 1);
    const int drawn = 90 - CountOf(down, kGround);
    EXPECT_GT(drawn, 0);
    EXPECT_EQ(90 - CountOf(up, kGround), drawn);
    // The widest row is at the top of the down-pointing triangle and at the bottom of the other.
    auto widest = [](const QImage& img) {
        int best = -1, bestCount = -1;
        for (int y = 0; y < img.height(); ++y) {
            const int n = img.width() - CountOf(img, kGround, y);
            if (n > bestCount) {
                best = y;
                bestCount = n;
            }
        }
        return best;
    };
    EXPECT_LT(widest(down), 4);
    EXPECT_GT(widest(up), 4);
}

TEST(GridResources, CursorsAndAMissingOne)
{
    for (TGridCursorEh c : {gcDownEh, gcRightEh, gcLeftEh})
        EXPECT_FALSE(GridCursorEh(c).pixmap().isNull());
    EXPECT_EQ(GridCursorEh(gcDownEh).hotSpot(), QPoint(8, 12)) << "the arrow's tip";
    EXPECT_EQ(GridCursorEh(gcRightEh).hotSpot(), QPoint(12, 8));
    EXPECT_EQ(GridCursorEh(gcLeftEh).hotSpot(), QPoint(3, 8));
    try {
        LoadGridCursorEh(QStringLiteral("UPCUREH"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot load cursor resource"));
    }
    try {
        LoadGridBitmapEh(QStringLiteral("DBNOSUCHEH"));
        FAIL() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Resource DBNOSUCHEH not found"));
    }
}
