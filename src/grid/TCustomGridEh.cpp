#include "TCustomGridEh.h"

#include "TDBGridEhScrollBar.h"
#include "TFontMetricsEh.h"

#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

const QString kIndexOutOfRange = QStringLiteral("Grid index out of range");
const QString kFixedColTooBig = QStringLiteral("Fixed column count must be less than column count");
const QString kFixedRowTooBig = QStringLiteral("Fixed row count must be less than row count");
const QString kTooManyDeleted = QStringLiteral("Too many rows or columns deleted");

// Width of the column-move marker.
constexpr int kMarkerWidth = 5;

} // namespace

TCustomGridEh::TCustomGridEh(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFrameStyle(QFrame::WinPanel | QFrame::Sunken);
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAttribute(Qt::WA_NoSystemBackground);
    viewport()->setMouseTracking(true);
    verticalScrollBar()->setStyle(TScrollBarStyleEh::Instance());
    horizontalScrollBar()->setStyle(TScrollBarStyleEh::Instance());
    verticalScrollBar()->setTracking(false);
    horizontalScrollBar()->setTracking(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    connect(verticalScrollBar(), &QScrollBar::actionTriggered, this, [this](int action) { VertScrollAction(action); });
    connect(verticalScrollBar(), &QScrollBar::sliderMoved, this, [this](int pos) { VertSliderMoved(pos); });
    connect(verticalScrollBar(), &QScrollBar::sliderReleased, this, [this] { VertSliderReleased(); });
    connect(horizontalScrollBar(), &QScrollBar::actionTriggered, this,
            [this](int action) { HorzScrollAction(action); });

    fColWidths.assign(5, fDefaultColWidth);
    fTabStops.assign(5, 1);
    fRowHeights.assign(5, fDefaultRowHeight);
    fGridOptions = {goFixedVertLine, goFixedHorzLine, goVertLine, goHorzLine, goRangeSelect};

    fMoveTimer.setInterval(60);
    connect(&fMoveTimer, &QTimer::timeout, this, [this] { OnMoveTimer(); });
}

TCustomGridEh::~TCustomGridEh() = default;

// ---------------------------------------------------------------------------------------------
// Structure

void TCustomGridEh::SetColCount(int value)
{
    value = std::max(1, value);
    if (value == ColCount())
        return;
    const int oldCols = ColCount();
    if (value <= fFixedCols)
        fFixedCols = value - 1;
    fColWidths.resize(std::size_t(value), fDefaultColWidth);
    fTabStops.resize(std::size_t(value), 1);
    fCol = std::clamp(fCol, fFixedCols, value - 1);
    fLeftCol = std::clamp(fLeftCol, fFixedCols, value - 1);
    SizeChanged(oldCols, RowCount());
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetRowCount(int value)
{
    value = std::max(1, value);
    if (value == RowCount())
        return;
    const int oldRows = RowCount();
    if (value <= fFixedRows)
        fFixedRows = value - 1;
    fRowHeights.resize(std::size_t(value), fDefaultRowHeight);
    fRow = std::clamp(fRow, fFixedRows, value - 1);
    fTopRow = std::clamp(fTopRow, fFixedRows, value - 1);
    SizeChanged(ColCount(), oldRows);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetFixedCols(int value)
{
    if (value < 0)
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (value >= ColCount())
        throw EInvalidGridOperationEh(kFixedColTooBig);
    if (value == fFixedCols)
        return;
    fFixedCols = value;
    fLeftCol = std::max(fLeftCol, fFixedCols);
    fCol = std::max(fCol, fFixedCols);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetFixedRows(int value)
{
    if (value < 0)
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (value >= RowCount())
        throw EInvalidGridOperationEh(kFixedRowTooBig);
    if (value == fFixedRows)
        return;
    fFixedRows = value;
    fTopRow = std::max(fTopRow, fFixedRows);
    fRow = std::max(fRow, fFixedRows);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetDefaultColWidth(int value)
{
    fDefaultColWidth = value;
    std::fill(fColWidths.begin(), fColWidths.end(), value);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetDefaultRowHeight(int value)
{
    fDefaultRowHeight = value;
    std::fill(fRowHeights.begin(), fRowHeights.end(), value);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetGridLineWidth(int value)
{
    if (value == fGridLineWidth)
        return;
    fGridLineWidth = std::max(0, value);
    UpdateScrollRange();
    InvalidateGrid();
}

int TCustomGridEh::ColWidths(int index) const
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    return fColWidths[std::size_t(index)];
}

void TCustomGridEh::SetColWidths(int index, int value)
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fColWidths[std::size_t(index)] == value)
        return;
    fColWidths[std::size_t(index)] = value;
    ColWidthsChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

int TCustomGridEh::RowHeights(int index) const
{
    if (index < 0 || index >= RowCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    return fRowHeights[std::size_t(index)];
}

void TCustomGridEh::SetRowHeights(int index, int value)
{
    if (index < 0 || index >= RowCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fRowHeights[std::size_t(index)] == value)
        return;
    fRowHeights[std::size_t(index)] = value;
    RowHeightsChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

bool TCustomGridEh::TabStops(int index) const
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    return fTabStops[std::size_t(index)] != 0;
}

void TCustomGridEh::SetTabStops(int index, bool value)
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    fTabStops[std::size_t(index)] = value ? 1 : 0;
}

void TCustomGridEh::SetLeftCol(int value)
{
    value = std::clamp(value, fFixedCols, std::max(fFixedCols, ColCount() - 1));
    if (value == fLeftCol)
        return;
    fLeftCol = value;
    TopLeftChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetTopRow(int value)
{
    value = std::clamp(value, fFixedRows, std::max(fFixedRows, RowCount() - 1));
    if (value == fTopRow)
        return;
    fTopRow = value;
    TopLeftChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetGridOptions(TGridOptionsEh value)
{
    if (value == fGridOptions)
        return;
    fGridOptions = value;
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetScrollBars(TScrollStyleEh value)
{
    if (value == fScrollBars)
        return;
    fScrollBars = value;
    UpdateScrollRange();
}

void TCustomGridEh::SetCol(int value)
{
    FocusCell(value, fRow, true);
}

void TCustomGridEh::SetRow(int value)
{
    FocusCell(fCol, value, true);
}

void TCustomGridEh::FocusCell(int col, int row, bool scrollIntoView)
{
    col = std::clamp(col, fFixedCols, std::max(fFixedCols, ColCount() - 1));
    row = std::clamp(row, fFixedRows, std::max(fFixedRows, RowCount() - 1));
    if (col != fCol || row != fRow) {
        InvalidateCell(fCol, fRow);
        fCol = col;
        fRow = row;
        InvalidateCell(fCol, fRow);
    }
    if (scrollIntoView && fCol >= fFixedCols) {
        if (fCol < fLeftCol) {
            SetLeftCol(fCol);
        } else {
            const TGridAxisEh h = HorzAxis();
            if (fCol > h.LastFullVisibleCell() && fCol > fLeftCol) {
                // The leftmost column that still shows the current one whole.
                int left = fCol;
                int room = ClientWidth() - h.FixedBoundary() - h.Pitch(fCol);
                while (left - 1 >= fFixedCols && room - h.Pitch(left - 1) >= 0) {
                    room -= h.Pitch(left - 1);
                    --left;
                }
                SetLeftCol(left);
            }
        }
    }
}

void TCustomGridEh::DeleteColumn(int index)
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (ColCount() <= 1)
        throw EInvalidGridOperationEh(kTooManyDeleted);
    MoveColumn(index, ColCount() - 1);
    SetColCount(ColCount() - 1);
}

void TCustomGridEh::DeleteRow(int index)
{
    if (index < 0 || index >= RowCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (RowCount() <= 1)
        throw EInvalidGridOperationEh(kTooManyDeleted);
    auto it = fRowHeights.begin() + index;
    const int h = *it;
    fRowHeights.erase(it);
    fRowHeights.push_back(h);
    SetRowCount(RowCount() - 1);
}

void TCustomGridEh::MoveColumn(int fromIndex, int toIndex)
{
    if (fromIndex < 0 || fromIndex >= ColCount() || toIndex < 0 || toIndex >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fromIndex == toIndex)
        return;
    const int w = fColWidths[std::size_t(fromIndex)];
    const char t = fTabStops[std::size_t(fromIndex)];
    fColWidths.erase(fColWidths.begin() + fromIndex);
    fColWidths.insert(fColWidths.begin() + toIndex, w);
    fTabStops.erase(fTabStops.begin() + fromIndex);
    fTabStops.insert(fTabStops.begin() + toIndex, t);
    // The current column follows its cells.
    if (fCol == fromIndex)
        fCol = toIndex;
    else if (fromIndex < fCol && fCol <= toIndex)
        --fCol;
    else if (toIndex <= fCol && fCol < fromIndex)
        ++fCol;
    InvalidateGrid();
    ColumnMoved(fromIndex, toIndex);
}

// ---------------------------------------------------------------------------------------------
// Geometry

int TCustomGridEh::ScrollBarExtent() const
{
    return ScrollBarExtentEh();
}

int TCustomGridEh::ClientWidth() const
{
    return std::max(0, width() - 2 * frameWidth() - (fVertBarShown ? ScrollBarExtent() : 0));
}

int TCustomGridEh::ClientHeight() const
{
    return std::max(0, height() - 2 * frameWidth() - (fHorzBarShown ? ScrollBarExtent() : 0));
}

TGridAxisEh TCustomGridEh::HorzAxis() const
{
    TGridAxisEh a;
    a.Extents = fColWidths;
    a.FixedCount = fFixedCols;
    a.FirstCell = fLeftCol;
    a.LineWidth = (fGridOptions.Contains(goFixedVertLine) || fGridOptions.Contains(goVertLine)) ? fGridLineWidth : 0;
    a.ClientExtent = ClientWidth();
    return a;
}

TGridAxisEh TCustomGridEh::VertAxis() const
{
    TGridAxisEh a;
    a.Extents = fRowHeights;
    a.FixedCount = fFixedRows;
    a.FirstCell = fTopRow;
    a.LineWidth = (fGridOptions.Contains(goFixedHorzLine) || fGridOptions.Contains(goHorzLine)) ? fGridLineWidth : 0;
    a.ClientExtent = ClientHeight();
    return a;
}

QRect TCustomGridEh::CellRect(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount())
        return {};
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
    const int x = h.CellStart(col);
    const int y = v.CellStart(row);
    if (x < 0 || y < 0 || h.Extent(col) <= 0 || v.Extent(row) <= 0)
        return {};
    if (x >= h.ClientExtent || y >= v.ClientExtent)
        return {};
    return QRect(x, y, h.Extent(col), v.Extent(row));
}

QPoint TCustomGridEh::MouseCoord(int x, int y) const
{
    const int col = HorzAxis().CellAt(x);
    const int row = VertAxis().CellAt(y);
    if (col < 0 || row < 0)
        return QPoint(-1, -1);
    return QPoint(col, row);
}

int TCustomGridEh::VisibleColCount() const
{
    const TGridAxisEh h = HorzAxis();
    return std::max(0, h.LastFullVisibleCell() - std::max(fLeftCol, fFixedCols) + 1);
}

int TCustomGridEh::VisibleRowCount() const
{
    const TGridAxisEh v = VertAxis();
    return std::max(0, v.LastFullVisibleCell() - std::max(fTopRow, fFixedRows) + 1);
}

bool TCustomGridEh::HandleAllocated() const
{
    return fWindowCreated || testAttribute(Qt::WA_WState_Created);
}

int TCustomGridEh::MaxLeftCol() const
{
    const TGridAxisEh h = HorzAxis();
    const int room = h.ClientExtent - h.FixedBoundary();
    int used = 0;
    int left = ColCount();
    for (int k = ColCount() - 1; k >= fFixedCols; --k) {
        if (used + h.Pitch(k) > room)
            break;
        used += h.Pitch(k);
        left = k;
    }
    return std::clamp(left, fFixedCols, std::max(fFixedCols, ColCount() - 1));
}

// ---------------------------------------------------------------------------------------------
// Repainting

void TCustomGridEh::InvalidateCell(int col, int row)
{
    const QRect r = CellRect(col, row);
    if (!r.isEmpty())
        InvalidateRect(r.adjusted(0, 0, fGridLineWidth, fGridLineWidth));
}

void TCustomGridEh::InvalidateCol(int col)
{
    const TGridAxisEh h = HorzAxis();
    const int x = h.CellStart(col);
    if (x < 0 || col >= ColCount())
        return;
    InvalidateRect(QRect(x, 0, h.Pitch(col), ClientHeight()));
}

void TCustomGridEh::InvalidateRow(int row)
{
    const TGridAxisEh v = VertAxis();
    const int y = v.CellStart(row);
    if (y < 0 || row >= RowCount())
        return;
    InvalidateRect(QRect(0, y, ClientWidth(), v.Pitch(row)));
}

void TCustomGridEh::InvalidateCells(const TGridRectEh& cells)
{
    if (cells.IsEmpty())
        return;
    const int right = std::min(cells.Right, ColCount() - 1);
    const int bottom = std::min(cells.Bottom, RowCount() - 1);
    // Union of the cells that show: their columns' and rows' pixel extents.
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
    int x0 = -1, x1 = -1, y0 = -1, y1 = -1;
    for (int c = cells.Left; c <= right; ++c) {
        const int x = h.CellStart(c);
        if (x < 0 || h.Pitch(c) <= 0)
            continue;
        x0 = x0 < 0 ? x : std::min(x0, x);
        x1 = std::max(x1, x + h.Pitch(c));
    }
    for (int r = std::max(0, cells.Top); r <= bottom; ++r) {
        const int y = v.CellStart(r);
        if (y < 0 || v.Pitch(r) <= 0)
            continue;
        y0 = y0 < 0 ? y : std::min(y0, y);
        y1 = std::max(y1, y + v.Pitch(r));
    }
    if (x0 < 0 || y0 < 0)
        return;
    InvalidateRect(QRect(x0, y0, x1 - x0, y1 - y0).intersected(QRect(0, 0, ClientWidth(), ClientHeight())));
}

bool TCustomGridEh::IsActiveControl() const
{
    return window()->focusWidget() == this;
}

void TCustomGridEh::InvalidateRect(const QRect& rect)
{
    viewport()->update(rect);
}

void TCustomGridEh::InvalidateGrid()
{
    viewport()->update();
}

void TCustomGridEh::ScrollDataRect(int dx, int dy, const QRect& rect)
{
    viewport()->scroll(dx, dy, rect);
}

// ---------------------------------------------------------------------------------------------
// Painting

void TCustomGridEh::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    fPainting = true;
    try {
        Paint(painter, event->region());
    } catch (...) {
        fPainting = false;
        throw;
    }
    fPainting = false;
    DrawSizingLine(painter);
    DrawMoveMarker(painter);
}

void TCustomGridEh::Paint(QPainter& painter, const QRegion& region)
{
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
    const int clientWidth = ClientWidth();
    const int clientHeight = ClientHeight();

    // The cells of one axis in a part: the fixed ones, or the scrollable ones that show.
    struct TSpan
    {
        int First, Last;  // cells
        int Start, End;   // pixels: first pixel, first pixel after the last line
    };
    auto fixedSpan = [](const TGridAxisEh& a) {
        return TSpan{0, std::min(a.FixedCount, a.Count()) - 1, 0, a.FixedBoundary()};
    };
    auto scrollSpan = [](const TGridAxisEh& a) {
        const int first = std::max(a.FirstCell, a.FixedCount);
        return TSpan{first, a.LastVisibleCell(), a.FixedBoundary(), a.GridBoundary()};
    };
    const TSpan cols[2] = {fixedSpan(h), scrollSpan(h)};
    const TSpan rows[2] = {fixedSpan(v), scrollSpan(v)};

    // First pixel of every cell that shows, -1 for the others.
    auto starts = [](const TGridAxisEh& a, const TSpan (&spans)[2]) {
        std::vector<int> out(std::size_t(a.Count()), -1);
        for (const TSpan& span : spans) {
            int pos = span.Start;
            for (int i = span.First; i <= span.Last; ++i) {
                out[std::size_t(i)] = pos;
                pos += a.Pitch(i);
            }
        }
        return out;
    };
    const std::vector<int> xs = starts(h, cols);
    const std::vector<int> ys = starts(v, rows);

    const QColor fixedVert = ColorToQColor(FixedLineColor(true));
    const QColor fixedHorz = ColorToQColor(FixedLineColor(false));
    const QColor dataVert = ColorToQColor(DataLineColor(true));
    const QColor dataHorz = ColorToQColor(DataLineColor(false));
    const bool activeControl = IsActiveControl();

    // The corner, the fixed columns below it, the fixed rows right of it, then the data area: the
    // lines of each part first, then its cells.
    const int parts[4][2] = {{0, 0}, {0, 1}, {1, 0}, {1, 1}};
    for (const auto& part : parts) {
        const TSpan& cs = cols[part[0]];
        const TSpan& rs = rows[part[1]];
        if (cs.Last < cs.First || rs.Last < rs.First)
            continue;
        const bool dataPart = part[0] == 1 && part[1] == 1;
        const int right = std::min(cs.End, clientWidth);
        const int bottom = std::min(rs.End, clientHeight);
        const QColor& vertColor = dataPart ? dataVert : fixedVert;
        const QColor& horzColor = dataPart ? dataHorz : fixedHorz;
        const bool vertLines = fGridOptions.Contains(dataPart ? goVertLine : goFixedVertLine) && h.LineWidth > 0;
        const bool horzLines = fGridOptions.Contains(dataPart ? goHorzLine : goFixedHorzLine) && v.LineWidth > 0;
        if (vertLines)
            for (int c = cs.First; c <= cs.Last; ++c)
                if (h.Extent(c) + h.LineWidth > 0)
                    painter.fillRect(QRect(xs[std::size_t(c)] + h.Extent(c), rs.Start, h.LineWidth, bottom - rs.Start),
                                     vertColor);
        if (horzLines)
            for (int r = rs.First; r <= rs.Last; ++r)
                if (v.Extent(r) + v.LineWidth > 0)
                    painter.fillRect(QRect(cs.Start, ys[std::size_t(r)] + v.Extent(r), right - cs.Start, v.LineWidth),
                                     horzColor);

        for (int r = rs.First; r <= rs.Last; ++r) {
            const int y = ys[std::size_t(r)];
            if (y < 0 || v.Extent(r) <= 0)
                continue;
            for (int c = cs.First; c <= cs.Last; ++c) {
                const int x = xs[std::size_t(c)];
                if (x < 0 || h.Extent(c) <= 0)
                    continue;
                const QRect rect(x, y, h.Extent(c), v.Extent(r));
                if (!region.intersects(rect))
                    continue;
                TGridDrawState state;
                if (c < fFixedCols || r < fFixedRows)
                    state.Include(gdFixed);
                if (c == fCol && r == fRow) {
                    state.Include(gdSelected);
                    if (activeControl)
                        state.Include(gdFocused);
                }
                DrawCell(painter, c, r, rect, state);
            }
        }
    }

    // The strips right of the last column and below the last row.
    const QColor back = ColorToQColor(GridBackgroundColor());
    const int gridRight = h.GridBoundary();
    const int gridBottom = v.GridBoundary();
    if (gridRight < clientWidth)
        painter.fillRect(QRect(gridRight, 0, clientWidth - gridRight, clientHeight), back);
    if (gridBottom < clientHeight)
        painter.fillRect(QRect(0, gridBottom, gridRight, clientHeight - gridBottom), back);
}

void TCustomGridEh::DrawCell(QPainter& painter, int /*col*/, int /*row*/, const QRect& rect, TGridDrawState state)
{
    painter.fillRect(rect, ColorToQColor(state.Contains(gdFixed) ? clBtnFace : GridBackgroundColor()));
}

void TCustomGridEh::DrawSizingLine(QPainter& painter) const
{
    if (fGridState != gsColSizing || TraceColSizing())
        return;
    // A dotted line that inverts what it covers.
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const int bottom = VertAxis().GridBoundary();
    for (int y = 0; y < bottom; y += 2)
        painter.fillRect(QRect(fSizingPos, y, 1, 1), Qt::white);
    painter.restore();
}

void TCustomGridEh::DrawMoveMarker(QPainter& painter) const
{
    if (fGridState != gsColMoving || fMarkerPos < 0)
        return;
    painter.save();
    painter.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    const QRect r = MarkerRect(fMarkerPos);
    const int h = ClientHeight();
    for (int x = r.left(); x <= r.right(); ++x)
        for (int y = (x - r.left()) % 2; y < h; y += 2)
            painter.fillRect(QRect(x, y, 1, 1), Qt::white);
    painter.restore();
}

QRect TCustomGridEh::MarkerRect(int x) const
{
    return QRect(x - kMarkerWidth / 2, 0, kMarkerWidth, ClientHeight());
}

int TCustomGridEh::MarkerX(int movePos) const
{
    const TGridAxisEh h = HorzAxis();
    const int start = h.CellStart(movePos);
    if (start < 0)
        return -1;
    // Right edge of a target right of the origin, else its left edge.
    return movePos > fMoveIndex ? start + std::max(0, h.Extent(movePos)) : start;
}

// ---------------------------------------------------------------------------------------------
// Scroll bars

void TCustomGridEh::ShowVertScrollBar(bool shown)
{
    if (shown == fVertBarShown)
        return;
    fVertBarShown = shown;
    ApplyScrollBarPolicies();
}

void TCustomGridEh::ShowHorzScrollBar(bool shown)
{
    if (shown == fHorzBarShown)
        return;
    fHorzBarShown = shown;
    ApplyScrollBarPolicies();
}

void TCustomGridEh::ApplyScrollBarPolicies()
{
    setVerticalScrollBarPolicy(fVertBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(fHorzBarShown ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
}

void TCustomGridEh::UpdateScrollRange()
{
    UpdateHorzScrollRange();
    UpdateVertScrollRange();
}

void TCustomGridEh::UpdateHorzScrollRange()
{
    QScrollBar* hb = horizontalScrollBar();
    if (fScrollBars == ssHorizontal || fScrollBars == ssBoth) {
        const int maxLeft = MaxLeftCol();
        const QSignalBlocker block(hb);
        hb->setRange(fFixedCols, std::max(fFixedCols, maxLeft));
        hb->setPageStep(std::max(1, VisibleColCount()));
        hb->setValue(fLeftCol);
        ShowHorzScrollBar(maxLeft > fFixedCols);
    } else {
        ShowHorzScrollBar(false);
    }
}

void TCustomGridEh::UpdateVertScrollRange()
{
    QScrollBar* vb = verticalScrollBar();
    if (fScrollBars == ssVertical || fScrollBars == ssBoth) {
        const TGridAxisEh v = VertAxis();
        const int room = v.ClientExtent - v.FixedBoundary();
        int used = 0;
        int top = RowCount();
        for (int k = RowCount() - 1; k >= fFixedRows && used + v.Pitch(k) <= room; --k) {
            used += v.Pitch(k);
            top = k;
        }
        top = std::clamp(top, fFixedRows, std::max(fFixedRows, RowCount() - 1));
        const QSignalBlocker block(vb);
        vb->setRange(fFixedRows, top);
        vb->setPageStep(std::max(1, VisibleRowCount()));
        vb->setValue(fTopRow);
        ShowVertScrollBar(top > fFixedRows);
    } else {
        ShowVertScrollBar(false);
    }
}

void TCustomGridEh::VertScrollAction(int action)
{
    QScrollBar* vb = verticalScrollBar();
    int top = fTopRow;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: ++top; break;
    case QAbstractSlider::SliderSingleStepSub: --top; break;
    case QAbstractSlider::SliderPageStepAdd: top += std::max(1, VisibleRowCount()); break;
    case QAbstractSlider::SliderPageStepSub: top -= std::max(1, VisibleRowCount()); break;
    case QAbstractSlider::SliderToMinimum: top = fFixedRows; break;
    case QAbstractSlider::SliderToMaximum: top = vb->maximum(); break;
    case QAbstractSlider::SliderMove: top = vb->sliderPosition(); break;
    default: break;
    }
    vb->setSliderPosition(std::clamp(top, vb->minimum(), vb->maximum()));
    SetTopRow(std::clamp(top, vb->minimum(), vb->maximum()));
}

void TCustomGridEh::HorzScrollAction(int action)
{
    QScrollBar* hb = horizontalScrollBar();
    int left = fLeftCol;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd: ++left; break;
    case QAbstractSlider::SliderSingleStepSub: --left; break;
    case QAbstractSlider::SliderPageStepAdd: left += std::max(1, VisibleColCount()); break;
    case QAbstractSlider::SliderPageStepSub: left -= std::max(1, VisibleColCount()); break;
    case QAbstractSlider::SliderToMinimum: left = fFixedCols; break;
    case QAbstractSlider::SliderToMaximum: left = hb->maximum(); break;
    case QAbstractSlider::SliderMove: left = hb->sliderPosition(); break;
    default: break;
    }
    left = std::clamp(left, hb->minimum(), hb->maximum());
    hb->setSliderPosition(left);
    SetLeftCol(left);
}

void TCustomGridEh::scrollContentsBy(int, int)
{
    // Scrolling is the grid's own business: values of the bars never move the viewport.
}

// ---------------------------------------------------------------------------------------------
// Window events

void TCustomGridEh::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (!fWindowCreated && HandleAllocated()) {
        fWindowCreated = true;
        fLastOuterSize = size();
        WindowCreated();
        return;
    }
    // Showing or hiding a scroll bar resizes only the viewport; the grid reacts to its own size.
    if (size() != fLastOuterSize) {
        fLastOuterSize = size();
        if (fWindowCreated)
            GridResized();
    }
}

void TCustomGridEh::showEvent(QShowEvent* event)
{
    QAbstractScrollArea::showEvent(event);
    if (!fWindowCreated) {
        fWindowCreated = true;
        fLastOuterSize = size();
        WindowCreated();
    } else if (size() != fLastOuterSize) {
        fLastOuterSize = size();
        GridResized();
    }
}

// ---------------------------------------------------------------------------------------------
// Column sizing and moving with the mouse

bool TCustomGridEh::CalcColSizing(int x, int y, int& index, int& boundary) const
{
    if (!fGridOptions.Contains(goColSizing))
        return false;
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
    // Only over the titles, right of the fixed columns.
    if (x <= h.FixedBoundary() || y >= v.FixedBoundary())
        return false;
    index = h.SizingHit(x, boundary);
    return index >= 0;
}

bool TCustomGridEh::BeginColumnDrag(int& origin, int& /*destination*/, const QPoint& /*pos*/)
{
    return origin >= fFixedCols;
}

bool TCustomGridEh::CheckColumnDrag(int& origin, int& /*destination*/, const QPoint& /*pos*/)
{
    return origin >= fFixedCols;
}

bool TCustomGridEh::EndColumnDrag(int& /*origin*/, int& /*destination*/, const QPoint& /*pos*/)
{
    return true;
}

void TCustomGridEh::mousePressEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    fLastMouse = pos;
    if (event->button() != Qt::LeftButton || fGridState != gsNormal) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    int index = -1;
    int boundary = -1;
    if (CalcColSizing(pos.x(), pos.y(), index, boundary)) {
        fGridState = gsColSizing;
        fSizingIndex = index;
        fSizingPos = boundary;
        fSizingOfs = boundary - pos.x();
        fSizingOrigWidth = fColWidths[std::size_t(index)];
        InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
        return;
    }
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    if (fGridOptions.Contains(goColMoving) && cell.y() >= 0 && cell.y() < fFixedRows && cell.x() >= fFixedCols) {
        int origin = cell.x();
        int destination = cell.x();
        if (BeginColumnDrag(origin, destination, pos)) {
            fGridState = gsColMoving;
            fMoveIndex = origin;
            fMovePos = destination;
            MoveMarker(destination);
            fMoveTimer.start();
            return;
        }
    }
    if (cell.x() >= fFixedCols && cell.y() >= fFixedRows)
        FocusCell(cell.x(), cell.y(), true);
}

void TCustomGridEh::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    fLastMouse = pos;
    switch (fGridState) {
    case gsColSizing: {
        const int newPos = pos.x() + fSizingOfs;
        if (newPos != fSizingPos) {
            InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
            fSizingPos = newPos;
            InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
            if (TraceColSizing()) {
                // The column follows the pointer; the width is committed on release.
                const int left = HorzAxis().CellStart(fSizingIndex);
                if (left >= 0 && fSizingPos - left > 1) {
                    fColWidths[std::size_t(fSizingIndex)] = fSizingPos - left;
                    InvalidateGrid();
                }
            }
        }
        return;
    }
    case gsColMoving: {
        const TGridAxisEh h = HorzAxis();
        if (pos.x() >= h.GridBoundary() || pos.x() >= ClientWidth()) {
            MoveColumnStep(+1);
        } else if (pos.x() < h.FixedBoundary()) {
            MoveColumnStep(-1);
        } else {
            int origin = fMoveIndex;
            int target = h.CellAt(pos.x());
            if (target >= fFixedCols && CheckColumnDrag(origin, target, pos))
                MoveMarker(target);
        }
        return;
    }
    default:
        break;
    }
    int index = -1;
    int boundary = -1;
    if (CalcColSizing(pos.x(), pos.y(), index, boundary))
        viewport()->setCursor(Qt::SplitHCursor);
    else
        viewport()->unsetCursor();
    QAbstractScrollArea::mouseMoveEvent(event);
}

void TCustomGridEh::mouseReleaseEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    fLastMouse = pos;
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    if (fGridState == gsColSizing) {
        InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
        fGridState = gsNormal;
        fColWidths[std::size_t(fSizingIndex)] = fSizingOrigWidth;  // undo any tracing
        const int left = HorzAxis().CellStart(fSizingIndex);
        const int newWidth = fSizingPos - left;
        // One pixel or less is no width a user asks for.
        if (left >= 0 && newWidth > 1)
            SetColWidths(fSizingIndex, newWidth);
        fSizingIndex = -1;
        return;
    }
    if (fGridState == gsColMoving) {
        fMoveTimer.stop();
        if (fMarkerPos >= 0)
            InvalidateRect(MarkerRect(fMarkerPos));
        fMarkerPos = -1;
        fGridState = gsNormal;
        int origin = fMoveIndex;
        int target = fMovePos;
        if (EndColumnDrag(origin, target, pos) && origin != target && origin >= fFixedCols && target >= fFixedCols)
            MoveColumn(origin, target);
        fMoveIndex = fMovePos = -1;
        return;
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TCustomGridEh::MoveMarker(int newPos)
{
    fMovePos = newPos;
    const int x = MarkerX(newPos);
    if (x == fMarkerPos)
        return;
    if (fMarkerPos >= 0)
        InvalidateRect(MarkerRect(fMarkerPos));
    fMarkerPos = x;
    if (fMarkerPos >= 0)
        InvalidateRect(MarkerRect(fMarkerPos));
}

void TCustomGridEh::MoveColumnStep(int direction)
{
    if (direction > 0) {
        if (fLeftCol < MaxLeftCol())
            SetLeftCol(fLeftCol + 1);
        const int last = HorzAxis().LastVisibleCell();
        if (last >= fFixedCols)
            MoveMarker(last);
    } else {
        if (fLeftCol > fFixedCols)
            SetLeftCol(fLeftCol - 1);
        MoveMarker(std::max(fLeftCol, fFixedCols));
    }
}

void TCustomGridEh::OnMoveTimer()
{
    if (fGridState != gsColMoving) {
        fMoveTimer.stop();
        return;
    }
    const TGridAxisEh h = HorzAxis();
    if (fLastMouse.x() >= h.GridBoundary() || fLastMouse.x() >= ClientWidth())
        MoveColumnStep(+1);
    else if (fLastMouse.x() < h.FixedBoundary())
        MoveColumnStep(-1);
}

void TCustomGridEh::CancelMode()
{
    if (fGridState == gsColSizing) {
        InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
        if (fColWidths[std::size_t(fSizingIndex)] != fSizingOrigWidth) {
            fColWidths[std::size_t(fSizingIndex)] = fSizingOrigWidth;
            InvalidateGrid();
        }
    }
    if (fGridState == gsColMoving) {
        fMoveTimer.stop();
        if (fMarkerPos >= 0)
            InvalidateRect(MarkerRect(fMarkerPos));
        fMarkerPos = -1;
    }
    fGridState = gsNormal;
}
