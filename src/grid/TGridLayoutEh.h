#pragma once
// Layout arithmetic of the grid that needs no widget: the multiply-divide that auto-fit shares are
// computed with, and small helpers over pixel metrics.

#include <algorithm>
#include <cstdint>

// a * b / c with a 64-bit intermediate product, rounded to the nearest integer with halves away
// from zero; -1 for a zero divisor (and for a result outside 32 bits).
int MulDiv(int a, int b, int c);

#include <functional>
#include <vector>

// One axis of a cell grid: the columns across or the rows down. Cells are laid out one after the
// other, each followed by a line of LineWidth pixels; a cell of extent -1 is hidden and takes no
// room, its line included. The fixed cells stay at the start; after them the scrollable cells are
// shown from FirstCell on.
struct TGridAxisEh
{
    std::vector<int> Extents;
    int FixedCount = 0;
    int FirstCell = 0;
    int LineWidth = 0;
    int ClientExtent = 0;

    int Count() const { return int(Extents.size()); }
    int Extent(int i) const { return Extents[std::size_t(i)]; }
    // Room a cell takes with its line (0 for a hidden cell).
    int Pitch(int i) const { return std::max(0, Extent(i) + LineWidth); }
    // First pixel after the fixed cells and their lines.
    int FixedBoundary() const;
    // First pixel of cell i, or -1 when the cell lies before FirstCell (scrolled away).
    int CellStart(int i) const;
    // First pixel after the last cell shown (with its line), at most the client extent.
    int GridBoundary() const;
    // Last cell at least partly inside the client extent.
    int LastVisibleCell() const;
    // Last cell that is completely inside the client extent, its line included; FirstCell - 1 when
    // none is.
    int LastFullVisibleCell() const;
    // Cell under a pixel, -1 for none (beyond the last cell, or on nothing).
    int CellAt(int pos) const;
    // The scrollable cell whose sizing grab zone holds pos: zones run from 3 pixels before a cell's
    // boundary (the pixel right after it, where its line starts) to 4 pixels after it, for lines
    // thinner than 7 pixels; for wider lines, the line itself. Only boundaries inside the client
    // extent count. Returns -1 when none; boundary receives the boundary's pixel.
    int SizingHit(int pos, int& boundary) const;
};

// A scroll bar as the window system takes it: minimum, maximum, page and position. The position
// runs from Min to Max - Page + 1.
struct TScrollInfoEh
{
    int Min = 0;
    int Max = 1;
    int Page = 2;
    int Pos = 0;
    friend bool operator==(const TScrollInfoEh&, const TScrollInfoEh&) = default;
};

// Whether a bar with these values has anything to scroll (a bar shown only when needed shows).
bool ScrollRangeExceedsPage(const TScrollInfoEh& info);

// What the vertical bar of the data grid shows for the state of its record set.
struct TVertScrollInputEh
{
    bool Active = false;   // the record set is open
    bool Sequenced = true; // record numbers and count are exact
    int RecordCount = 0;
    int RecordNumber = 0;       // 1-based number of the current record
    int VisibleRows = 0;        // data rows completely visible
    bool InsertOrLater = false; // the record set is in insert state or a later one
    bool AtStart = false;
    bool AtEnd = false;
    int PreviousPos = 0; // position shown before
};
TScrollInfoEh ComputeVertScrollInfoEh(const TVertScrollInputEh& in);

class TColumnsEhList;

// Fitting the visible columns' widths to the client width. Each column with AutoFitColWidth and
// not out of its width range gets a share of the room in proportion to its BasisWidth (rounded as
// MulDiv); a column whose MinWidth/MaxWidth does not allow its share keeps the clamped width and
// leaves the sharing; the pass repeats, at most once per column, until no column leaves it. The
// last fitted column absorbs the rounding remainder.
struct TAutoFitParamsEh
{
    int MinAutoFitWidth = 0;
    bool Indicator = false; // an indicator column of IndicatorWidth pixels comes first
    int IndicatorWidth = 0;
    bool ColLines = false; // a line follows every column
};
// clientWidth is asked once per pass: the room may change as a pass shows or hides a scroll bar.
void AutoFitColumnsEh(const TColumnsEhList& visible, const TAutoFitParamsEh& params,
                      const std::function<int()>& clientWidth);

// The data grid's fixed columns: the indicator column (indicatorOffset, 0 or 1) and the first
// frozenCols visible columns, with the hidden columns among them and right after them; one less
// when no column is visible; at most colCount - 1. columnVisible lists the columns in screen order.
int FixedColCountEh(const std::vector<bool>& columnVisible, int indicatorOffset, int frozenCols, int colCount);
