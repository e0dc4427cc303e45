#pragma once
// Text metrics as the Windows drawing layer reports them, which the grid's row heights and column
// widths are defined by. Qt's own QFontMetrics::height() differs (11 instead of 13 for Tahoma at
// 11 px), so the heights come from the font file's OS/2 and head tables: usWinAscent and
// usWinDescent, each scaled to the pixel size and rounded, added.

#include <QFont>
#include <QString>

struct TTextMetricEh
{
    int Height = 0; // ascent + descent: the text height of "Wg"
    int Ascent = 0;
    int Descent = 0;
    int InternalLeading = 0; // height - em pixels
    int ExternalLeading = 0;
    int AveCharWidth = 0;
    int Overhang = 0;  // always 0 for outline fonts
    int ZeroWidth = 0; // advance of "0"
};

// Metrics of a font, measured once per face, size and style.
TTextMetricEh TextMetricsEh(const QFont& font);
// Advance width of a text in that font, in whole pixels.
int TextWidthEh(const QFont& font, const QString& text);
// Em height in pixels that gives a font of this face the given cell height (ascent + descent).
int CellHeightToEmPixelsEh(const QFont& font, int cellHeight);

// Tahoma ships with the program's environment as a Wine font; this registers it with the
// application when the system has no Tahoma. Safe to call repeatedly; needs a QGuiApplication.
void EnsureTahomaEh();

// Logical resolution of the primary screen (96 when there is none), and a design-time pixel value
// designed at 96 dpi scaled to it.
int ScreenPixelsPerInchEh();
int ScaleForScreenEh(int pixelsAt96);

// Windows-style vertical/horizontal scroll bar thickness: 17 pixels at 96 dpi.
int ScrollBarExtentEh();
