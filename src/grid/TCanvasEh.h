#pragma once
// The grid's drawing surface: a painter with the current font (and its Windows-style metrics), font
// colour and brush colour, as the grid's painting code and its text writer use them, plus the
// few drawing operations the grid needs beyond plain fills: 3D cell edges and the inverting dotted
// focus rectangle. DrawCellText is the one text writer of the grid.

#include "TColor.h"
#include "TFontEh.h"
#include "TFontMetricsEh.h"
#include "TGridTypesEh.h"

#include <QFont>
#include <QFontMetrics>
#include <QRect>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class QPainter;

class TCanvasEh
{
public:
    explicit TCanvasEh(QPainter& painter) : fPainter(painter) {}

    QPainter& Painter() const { return fPainter; }

    // The font to write with; fonts are made once per face, height and style.
    void SetFont(const TFontEh& font);
    const QFont& QtFont() const;
    const TTextMetricEh& Metrics() const;
    int TextWidth(const QString& text) const;

    TColor FontColor() const { return fFontColor; }
    void SetFontColor(TColor value) { fFontColor = value; }
    TColor BrushColor() const { return fBrushColor; }
    void SetBrushColor(TColor value) { fBrushColor = value; }

    // Fills with the brush colour.
    void FillRect(const QRect& rect) const;
    // A 1-pixel inner edge around the rectangle: raised (light top and left, shadow bottom and
    // right) or sunken (the other way round).
    void DrawEdge(const QRect& rect, bool raised) const;
    // A dotted frame that inverts every other pixel it covers; drawing it twice restores the
    // pixels.
    void DrawFocusRect(const QRect& rect) const;

    // A font made for drawing, with its metrics (shared by all canvases).
    struct TFontEntry;

private:
    const TFontEntry& Entry() const;

    QPainter& fPainter;
    std::shared_ptr<const TFontEntry> fEntry;
    TColor fFontColor = clWindowText;
    TColor fBrushColor = clWindow;
};

// Writes a cell's text into a rectangle of the canvas with its font, font colour and brush:
// single-line text at dx, dy from the rectangle's corner (right-aligned text 3 pixels from the
// right edge), shortened with "..." when endEllipsis is set and it does not fit, clipped to the
// rectangle; multi-line text word-wrapped within the rectangle less dx and dy. fill: fill the
// rectangle with the brush first (else the text is drawn transparently). A brush colour the display
// cannot show exactly sends the text through an off-screen bitmap.
void DrawCellText(TCanvasEh& canvas, const QRect& rect, bool fill, bool rightToLeft, int leftMargin, int rightMargin,
                  bool endEllipsis, bool multiLine, TTextLayout layout, TAlignment alignment, const QString& text,
                  int dy, int dx);

// The text that DrawCellText writes on one line when it shortens with an ellipsis to fit width
// (the rectangle's width less dx), and every candidate it tried on the way, for tests.
QString EllipsisFitEh(const QString& text, int width, const std::function<int(const QString&)>& measure,
                      std::vector<QString>* tries = nullptr);
