#include "TFontEh.h"
#include "TFontMetricsEh.h"

#include <QFontInfo>
#include <gtest/gtest.h>

TEST(TFontMetricsEh, TahomaIsAvailableAndMeasuresLikeWindows)
{
    EnsureTahomaEh();
    const TFontEh tahoma = TFontEh::FromPoints(QStringLiteral("Tahoma"), 8);
    EXPECT_EQ(tahoma.Height, -11);
    EXPECT_EQ(tahoma.Size(), 8);
    const QFont qf = tahoma.ToQFont();
    EXPECT_EQ(QFontInfo(qf).family(), QStringLiteral("Tahoma"));
    const TTextMetricEh m = TextMetricsEh(qf);
    // usWinAscent 2049 and usWinDescent 423 of 2048 units, at 11 pixels: 11 + 2.
    EXPECT_EQ(m.Ascent, 11);
    EXPECT_EQ(m.Descent, 2);
    EXPECT_EQ(m.Height, 13);
    EXPECT_EQ(m.InternalLeading, 2);
    EXPECT_EQ(m.ExternalLeading, 0);
    EXPECT_EQ(m.Overhang, 0);
    EXPECT_GT(m.ZeroWidth, 4);
    EXPECT_GT(m.AveCharWidth, 4);
}

TEST(TFontMetricsEh, ScrollBarIsSeventeenPixelsAt96Dpi)
{
    EXPECT_EQ(ScreenPixelsPerInchEh(), 96);
    EXPECT_EQ(ScrollBarExtentEh(), 17);
    EXPECT_EQ(ScaleForScreenEh(65), 65);
}
