#pragma once
// A font as the grid's columns, titles and exporters hold it: face, character height in pixels
// (negative: the em height, as the window's font is given), style, colour and character set. The
// exporters read face, points, colour and style; painting turns it into a QFont.

#include "TColor.h"
#include "TEnumSetEh.h"

#include <QFont>
#include <QString>

enum TFontStyleEh
{
    fsBold,
    fsItalic,
    fsUnderline,
    fsStrikeOut
};
using TFontStylesEh = TEnumSetEh<TFontStyleEh, 4>;
enum TFontPitchEh
{
    fpDefault,
    fpVariable,
    fpFixed
};

constexpr int ANSI_CHARSET = 0;
constexpr int DEFAULT_CHARSET = 1;
constexpr int RUSSIAN_CHARSET = 204;

class TFontEh
{
public:
    TFontEh() = default;
    // A face at a point size for the screen's resolution.
    static TFontEh FromPoints(const QString& name, int points, TColor color = clWindowText,
                              int charset = DEFAULT_CHARSET);

    QString Name = QStringLiteral("Tahoma");
    int Height = -11;       // pixels; negative: the em height, positive: the cell height
    int PixelsPerInch = 96; // resolution the height was given for
    TColor Color = clWindowText;
    TFontStylesEh Style;
    int Charset = DEFAULT_CHARSET;
    TFontPitchEh Pitch = fpDefault;

    // Size in points, as the height gives it at PixelsPerInch.
    int Size() const;
    void SetSize(int points);

    QFont ToQFont() const;

    friend bool operator==(const TFontEh& a, const TFontEh& b);
    // Same face, height and style: the drawing font is the same (colour may differ).
    bool SameHandle(const TFontEh& other) const;
};
