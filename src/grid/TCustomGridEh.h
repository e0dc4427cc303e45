#pragma once
// The cell grid: a scroll area of columns and rows with pixel sizes, fixed columns and rows at the
// top left, lines between cells, a current cell, and the user's sizing and moving of columns with
// the mouse. It paints every pixel itself, cell by cell through DrawCell. The data grid builds on
// it; the cell grid knows nothing of records.

#include "TColor.h"
#include "TGridLayoutEh.h"
#include "TGridTypesEh.h"

#include <QAbstractScrollArea>
#include <QRegion>
#include <QTimer>

#include <vector>

class QPainter;

// Behaviour flags of the cell grid (a 16-bit set; bit i is enumerator i).
enum TGridOptionEh
{
    goFixedVertLine,
    goFixedHorzLine,
    goVertLine,
    goHorzLine,
    goRangeSelect,
    goDrawFocusSelected,
    goRowSizing,
    goColSizing,
    goRowMoving,
    goColMoving,
    goEditing,
    goTabs,
    goRowSelect,
    goAlwaysShowEditor,
    goThumbTracking
};
using TGridOptionsEh = TEnumSetEh<TGridOptionEh, 16>;

enum TScrollStyleEh
{
    ssNone,
    ssHorizontal,
    ssVertical,
    ssBoth
};
enum TGridStateEh
{
    gsNormal,
    gsSelecting,
    gsRowSizing,
    gsColSizing,
    gsRowMoving,
    gsColMoving
};

class TCustomGridEh : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit TCustomGridEh(QWidget* parent = nullptr);
    ~TCustomGridEh() override;

    // Structure.
    int ColCount() const { return int(fHorz.Extents.size()); }
    void SetColCount(int value);
    int RowCount() const { return int(fVert.Extents.size()); }
    void SetRowCount(int value);
    int FixedCols() const { return fHorz.FixedCount; }
    void SetFixedCols(int value);
    int FixedRows() const { return fVert.FixedCount; }
    void SetFixedRows(int value);
    int DefaultColWidth() const { return fDefaultColWidth; }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return fDefaultRowHeight; }
    void SetDefaultRowHeight(int value);
    int GridLineWidth() const { return fGridLineWidth; }
    void SetGridLineWidth(int value);
    int ColWidths(int index) const;
    void SetColWidths(int index, int value);
    int RowHeights(int index) const;
    void SetRowHeights(int index, int value);
    bool TabStops(int index) const;
    void SetTabStops(int index, bool value);
    int LeftCol() const { return fHorz.FirstCell; }
    void SetLeftCol(int value);
    int TopRow() const { return fVert.FirstCell; }
    void SetTopRow(int value);
    TGridOptionsEh GridOptions() const { return fGridOptions; }
    void SetGridOptions(TGridOptionsEh value);
    TScrollStyleEh ScrollBars() const { return fScrollBars; }
    void SetScrollBars(TScrollStyleEh value);

    // The current cell.
    int Col() const { return fCol; }
    void SetCol(int value);
    int Row() const { return fRow; }
    void SetRow(int value);
    // Makes a cell current; scrolls it into view when asked.
    void FocusCell(int col, int row, bool scrollIntoView);

    // Removing and moving cells. Columns move with their widths and tab stops; the current column
    // follows.
    void DeleteColumn(int index);
    void DeleteRow(int index);
    void MoveColumn(int fromIndex, int toIndex);

    // Geometry of the client area (the cells' area, without frame and scroll bars).
    int ClientWidth() const;
    int ClientHeight() const;
    // The columns across and the rows down, as the grid keeps them (line width and client extent
    // brought up to date by the call).
    const TGridAxisEh& HorzAxis() const;
    const TGridAxisEh& VertAxis() const;
    // Rectangle of a cell without its lines; empty when the cell is not shown.
    QRect CellRect(int col, int row) const;
    // Column and row under a point; -1 where there is none.
    QPoint MouseCoord(int x, int y) const;
    int VisibleColCount() const;
    int VisibleRowCount() const;
    // The grid has its window (it was shown at least once), which some of its rules wait for.
    bool HandleAllocated() const;
    TGridStateEh GridState() const { return fGridState; }
    // The grid holds the keyboard focus.
    virtual bool Focused() const { return hasFocus(); }
    // The grid is its window's focus widget (which it stays while another window is active).
    virtual bool IsActiveControl() const;
    // Which of the grid's own scroll bars are shown.
    bool VertScrollBarShown() const { return fVertBarShown; }
    bool HorzScrollBarShown() const { return fHorzBarShown; }

    // Repainting. Every invalidation of the grid goes through InvalidateRect, InvalidateGrid and
    // ScrollDataRect, so that what a change repaints can be observed.
    void InvalidateCell(int col, int row);
    void InvalidateCol(int col);
    void InvalidateRow(int row);
    // The cells of a block that show (with their lines).
    void InvalidateCells(const TGridRectEh& cells);
    virtual void InvalidateRect(const QRect& rect);
    virtual void InvalidateGrid();
    // Moves the pixels of a client rectangle and invalidates what that uncovers.
    virtual void ScrollDataRect(int dx, int dy, const QRect& rect);

    // Column sizing and moving in progress (for observers): the sizing line's x, the move marker's
    // x and the grid column it stands at, -1 when none.
    int SizingLinePos() const { return fGridState == gsColSizing ? fSizingPos : -1; }
    int MoveMarkerPos() const { return fMarkerPos; }
    int MoveTargetColumn() const { return fGridState == gsColMoving ? fMovePos : -1; }
    int ColMoveTimerInterval() const { return fMoveTimer.interval(); }
    bool ColMoveTimerActive() const { return fMoveTimer.isActive(); }

protected:
    // Painting. Paint walks lines and cells of the invalid region; DrawCell paints one cell.
    virtual void Paint(QPainter& painter, const QRegion& region);
    virtual void DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state);
    virtual TColor GridBackgroundColor() const { return clWindow; }
    // Colour of the vertical or horizontal lines in the fixed cells or the data area.
    virtual TColor FixedLineColor(bool /*vertical*/) const { return clBlack; }
    virtual TColor DataLineColor(bool /*vertical*/) const { return clSilver; }
    bool Painting() const { return fPainting; }

    // Reactions of subclasses.
    virtual void ColWidthsChanged() {}
    virtual void RowHeightsChanged() {}
    virtual void ColumnMoved(int /*fromIndex*/, int /*toIndex*/) {}
    virtual void SizeChanged(int /*oldColCount*/, int /*oldRowCount*/) {}
    virtual void TopLeftChanged() {}
    // The grid got its window (first show).
    virtual void WindowCreated() {}
    // The grid's outer size changed.
    virtual void GridResized() { UpdateScrollRange(); }
    // Whether a press on (col, row) may start moving that column.
    virtual bool BeginColumnDrag(int& origin, int& destination, const QPoint& pos);
    virtual bool CheckColumnDrag(int& origin, int& destination, const QPoint& pos);
    virtual bool EndColumnDrag(int& origin, int& destination, const QPoint& pos);
    // Sizing shows the column at its new width while dragging instead of a line.
    virtual bool TraceColSizing() const { return false; }
    // Whether the pointer is in a sizing grab zone; fills the column and the boundary.
    bool CalcColSizing(int x, int y, int& index, int& boundary) const;

    // Scroll bars. Thickness (17 pixels at 96 dpi) and which are shown, as the grid decides.
    virtual int ScrollBarExtent() const;
    void ShowVertScrollBar(bool shown);
    void ShowHorzScrollBar(bool shown);
    // Recomputes the scroll bars from the grid's cells.
    void UpdateScrollRange();
    virtual void UpdateHorzScrollRange();
    virtual void UpdateVertScrollRange();
    virtual void VertScrollAction(int action);
    virtual void HorzScrollAction(int action);
    virtual void VertSliderMoved(int /*position*/) {}
    virtual void VertSliderReleased() {}

    // Qt events.
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;

    // Cancels a column sizing or moving in progress.
    void CancelMode();

private:
    void ApplyScrollBarPolicies();
    void MoveColumnStep(int direction);
    void MoveMarker(int newPos);
    QRect MarkerRect(int x) const;
    int MarkerX(int movePos) const;
    void DrawSizingLine(QPainter& painter) const;
    void DrawMoveMarker(QPainter& painter) const;
    void OnMoveTimer();
    int MaxLeftCol() const;

    // Widths, fixed count and left column across; heights, fixed count and top row down.
    mutable TGridAxisEh fHorz{{}, 1, 1, 0, 0};
    mutable TGridAxisEh fVert{{}, 1, 1, 0, 0};
    std::vector<char> fTabStops;
    int fDefaultColWidth = 64;
    int fDefaultRowHeight = 24;
    int fGridLineWidth = 1;
    int fCol = 1;
    int fRow = 1;
    TGridOptionsEh fGridOptions;
    TScrollStyleEh fScrollBars = ssBoth;
    bool fVertBarShown = false;
    bool fHorzBarShown = false;
    QSize fLastOuterSize;
    bool fWindowCreated = false;
    bool fPainting = false;

    // Mouse sizing and moving.
    TGridStateEh fGridState = gsNormal;
    int fSizingIndex = -1;
    int fSizingPos = -1;
    int fSizingOfs = 0;
    int fSizingOrigWidth = 0;
    int fMoveIndex = -1;
    int fMovePos = -1;
    int fMarkerPos = -1;
    QPoint fLastMouse;
    QTimer fMoveTimer;
};
