#include "TFontEh.h"

#include "TFontMetricsEh.h"
#include "TGridLayoutEh.h"

TFontEh TFontEh::FromPoints(const QString& name, int points, TColor color, int charset)
{
    TFontEh f;
    f.Name = name;
    f.PixelsPerInch = ScreenPixelsPerInchEh();
    f.SetSize(points);
    f.Color = color;
    f.Charset = charset;
    return f;
}

int TFontEh::Size() const
{
    return -MulDiv(Height, 72, PixelsPerInch);
}

void TFontEh::SetSize(int points)
{
    Height = -MulDiv(points, PixelsPerInch, 72);
}

QFont TFontEh::ToQFont() const
{
    EnsureTahomaEh(); // before any font of the grid is resolved and measured
    QFont f(Name);
    if (Pitch == fpFixed)
        f.setFixedPitch(true);
    f.setBold(Style.Contains(fsBold));
    f.setItalic(Style.Contains(fsItalic));
    f.setUnderline(Style.Contains(fsUnderline));
    f.setStrikeOut(Style.Contains(fsStrikeOut));
    if (Height < 0)
        f.setPixelSize(-Height);
    else if (Height > 0)
        f.setPixelSize(CellHeightToEmPixelsEh(f, Height));
    else
        f.setPixelSize(MulDiv(8, ScreenPixelsPerInchEh(), 72));
    return f;
}

bool TFontEh::SameHandle(const TFontEh& other) const
{
    return Name == other.Name && Height == other.Height && Style == other.Style && Charset == other.Charset
           && Pitch == other.Pitch;
}

bool operator==(const TFontEh& a, const TFontEh& b)
{
    return a.SameHandle(b) && a.Color == b.Color;
}
