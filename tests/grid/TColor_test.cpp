#include "TColor.h"

#include <QApplication>
#include <QPalette>
#include <gtest/gtest.h>

TEST(TColor, PlainAndSystemValuesKeepTheirLayout)
{
    EXPECT_EQ(clTeal, 0x808000u);
    EXPECT_EQ(clRed, 0xFFu);
    EXPECT_EQ(RGBColor(0x12, 0x34, 0x56), 0x563412u);
    EXPECT_EQ(clWindow, 0x80000005u);
    EXPECT_EQ(clBtnHighlight, 0x80000014u);
    EXPECT_TRUE(IsSystemColor(clBtnFace));
    EXPECT_FALSE(IsSystemColor(clNone));
    EXPECT_FALSE(IsSystemColor(clDefault));
}

TEST(TColor, SystemColoursResolveToWindowsDefaultsWhenPinned)
{
    TPinSystemColorsEh pin;
    struct Case
    {
        const char* name;
        TColor color;
        TColor rgb;
    };
    const Case cases[] = {
        {"clWindow", clWindow, 0xFFFFFF},
        {"clBtnFace", clBtnFace, 0xF0F0F0},
        {"clWindowText", clWindowText, 0},
        {"clHighlight", clHighlight, RGBColor(0x33, 0x99, 0xFF)},
        {"clHighlightText", clHighlightText, 0xFFFFFF},
        {"clBtnShadow", clBtnShadow, 0xA0A0A0},
        {"clInfoBk", clInfoBk, RGBColor(0xFF, 0xFF, 0xE1)},
        {"plain colour unchanged", clTeal, clTeal},
        {"clNone unchanged", clNone, clNone},
        {"unknown index is black", clSystemColor | 0x50, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ColorToRGB(c.color), c.rgb) << c.name;
}

TEST(TColor, PaletteSourceFollowsTheApplicationPalette)
{
    TPinSystemColorsEh pin(TSystemColorSourceEh::Palette);
    const QPalette saved = QApplication::palette();
    QPalette p = saved;
    p.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
    QApplication::setPalette(p);
    EXPECT_EQ(ColorToRGB(clWindow), RGBColor(1, 2, 3));
    // No palette role stands for the caption colours: they keep the fixed defaults.
    EXPECT_EQ(ColorToRGB(clActiveCaption), RGBColor(0x99, 0xB4, 0xD1));
    QApplication::setPalette(saved);
}

TEST(TColor, QColorConversion)
{
    TPinSystemColorsEh pin;
    EXPECT_EQ(ColorToQColor(clBtnFace), QColor(0xF0, 0xF0, 0xF0));
    EXPECT_EQ(ColorToQColor(RGBColor(10, 20, 30)), QColor(10, 20, 30));
    EXPECT_EQ(ColorToQColor(clNone).alpha(), 0);
    EXPECT_EQ(QColorToColor(QColor(10, 20, 30)), RGBColor(10, 20, 30));
}
