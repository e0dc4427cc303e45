#pragma once
// Colours as the grid, its painting and its exporters share them: a 32-bit value with red in the
// lowest byte, green and blue above it. A value with its top bit set names a system colour by the
// index in its lowest byte; it is resolved to the desktop's current colour only when painted or
// exported (ColorToRGB). clNone and clDefault are values of their own.

#include <QColor>
#include <cstdint>

using TColor = std::uint32_t;

// System colours (top bit set, index in the lowest byte).
constexpr TColor clSystemColor = 0x80000000u;
constexpr TColor clScrollBar = clSystemColor | 0;
constexpr TColor clBackground = clSystemColor | 1;
constexpr TColor clActiveCaption = clSystemColor | 2;
constexpr TColor clInactiveCaption = clSystemColor | 3;
constexpr TColor clMenu = clSystemColor | 4;
constexpr TColor clWindow = clSystemColor | 5;
constexpr TColor clWindowFrame = clSystemColor | 6;
constexpr TColor clMenuText = clSystemColor | 7;
constexpr TColor clWindowText = clSystemColor | 8;
constexpr TColor clCaptionText = clSystemColor | 9;
constexpr TColor clActiveBorder = clSystemColor | 10;
constexpr TColor clInactiveBorder = clSystemColor | 11;
constexpr TColor clAppWorkSpace = clSystemColor | 12;
constexpr TColor clHighlight = clSystemColor | 13;
constexpr TColor clHighlightText = clSystemColor | 14;
constexpr TColor clBtnFace = clSystemColor | 15;
constexpr TColor clBtnShadow = clSystemColor | 16;
constexpr TColor clGrayText = clSystemColor | 17;
constexpr TColor clBtnText = clSystemColor | 18;
constexpr TColor clInactiveCaptionText = clSystemColor | 19;
constexpr TColor clBtnHighlight = clSystemColor | 20;
constexpr TColor cl3DDkShadow = clSystemColor | 21;
constexpr TColor cl3DLight = clSystemColor | 22;
constexpr TColor clInfoText = clSystemColor | 23;
constexpr TColor clInfoBk = clSystemColor | 24;
constexpr TColor clHotLight = clSystemColor | 26;
constexpr TColor clGradientActiveCaption = clSystemColor | 27;
constexpr TColor clGradientInactiveCaption = clSystemColor | 28;
constexpr TColor clMenuHighlight = clSystemColor | 29;
constexpr TColor clMenuBar = clSystemColor | 30;

constexpr TColor clNone = 0x1FFFFFFFu;
constexpr TColor clDefault = 0x20000000u;

// Plain colours.
constexpr TColor clBlack = 0x000000;
constexpr TColor clMaroon = 0x000080;
constexpr TColor clGreen = 0x008000;
constexpr TColor clOlive = 0x008080;
constexpr TColor clNavy = 0x800000;
constexpr TColor clPurple = 0x800080;
constexpr TColor clTeal = 0x808000;
constexpr TColor clGray = 0x808080;
constexpr TColor clSilver = 0xC0C0C0;
constexpr TColor clRed = 0x0000FF;
constexpr TColor clLime = 0x00FF00;
constexpr TColor clYellow = 0x00FFFF;
constexpr TColor clBlue = 0xFF0000;
constexpr TColor clFuchsia = 0xFF00FF;
constexpr TColor clAqua = 0xFFFF00;
constexpr TColor clWhite = 0xFFFFFF;

constexpr bool IsSystemColor(TColor c)
{
    return (c & clSystemColor) != 0;
}
constexpr TColor RGBColor(int r, int g, int b)
{
    return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
constexpr int GetRValue(TColor c)
{
    return int(c & 0xFF);
}
constexpr int GetGValue(TColor c)
{
    return int((c >> 8) & 0xFF);
}
constexpr int GetBValue(TColor c)
{
    return int((c >> 16) & 0xFF);
}

// Where system colours come from: the application's palette (the desktop's colours), or the fixed
// Windows defaults, which the headless test environment uses so that painted and exported colours
// do not depend on the machine.
enum class TSystemColorSourceEh
{
    Palette,
    WindowsDefaults
};
TSystemColorSourceEh SystemColorSource();
void SetSystemColorSource(TSystemColorSourceEh source);

// Keeps the Windows default colours for the lifetime of the object (tests, golden files).
class TPinSystemColorsEh
{
public:
    explicit TPinSystemColorsEh(TSystemColorSourceEh source = TSystemColorSourceEh::WindowsDefaults);
    ~TPinSystemColorsEh();
    TPinSystemColorsEh(const TPinSystemColorsEh&) = delete;
    TPinSystemColorsEh& operator=(const TPinSystemColorsEh&) = delete;

private:
    TSystemColorSourceEh fSaved;
};

// A system colour resolved to its current RGB value; other values (clNone, clDefault included)
// come back unchanged. Unknown system indices resolve to black.
TColor ColorToRGB(TColor color);
// The colour for drawing: system colours resolved; clNone is transparent.
QColor ColorToQColor(TColor color);
TColor QColorToColor(const QColor& color);

// The display's colour count as the device reports it: -1 for a true-colour display (more than 8
// bits per pixel), else 2 to the bits per pixel. Tests pin a count to see a palette display.
int DisplayColorCountEh();
class TPinDisplayColorCountEh
{
public:
    explicit TPinDisplayColorCountEh(int count);
    ~TPinDisplayColorCountEh();
    TPinDisplayColorCountEh(const TPinDisplayColorCountEh&) = delete;
    TPinDisplayColorCountEh& operator=(const TPinDisplayColorCountEh&) = delete;

private:
    int fSaved;
    bool fHadSaved;
};
// The nearest colour the display can show, as RGB: the colour itself on a true-colour display; on
// a palette display the nearest of the twenty colours every palette keeps.
TColor NearestDisplayColorEh(TColor color);
