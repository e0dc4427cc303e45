#include "TCustomGridEh.h"

#include "TDBGridEhScrollBar.h"
#include "TFontMetricsEh.h"

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
    setVerticalScrollBar(new TGridScrollBarEh(Qt::Vertical));
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

    fHorz.Extents.assign(5, fDefaultColWidth);
    fTabStops.assign(5, 1);
    fVert.Extents.assign(5, fDefaultRowHeight);
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
    if (value <= fHorz.FixedCount)
        fHorz.FixedCount = value - 1;
    fHorz.Extents.resize(std::size_t(value), fDefaultColWidth);
    fTabStops.resize(std::size_t(value), 1);
    fCol = std::clamp(fCol, fHorz.FixedCount, value - 1);
    fHorz.FirstCell = std::clamp(fHorz.FirstCell, fHorz.FixedCount, value - 1);
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
    if (value <= fVert.FixedCount)
        fVert.FixedCount = value - 1;
    fVert.Extents.resize(std::size_t(value), fDefaultRowHeight);
    fRow = std::clamp(fRow, fVert.FixedCount, value - 1);
    fVert.FirstCell = std::clamp(fVert.FirstCell, fVert.FixedCount, value - 1);
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
    if (value == fHorz.FixedCount)
        return;
    fHorz.FixedCount = value;
    fHorz.FirstCell = std::max(fHorz.FirstCell, fHorz.FixedCount);
    fCol = std::max(fCol, fHorz.FixedCount);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetFixedRows(int value)
{
    if (value < 0)
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (value >= RowCount())
        throw EInvalidGridOperationEh(kFixedRowTooBig);
    if (value == fVert.FixedCount)
        return;
    fVert.FixedCount = value;
    fVert.FirstCell = std::max(fVert.FirstCell, fVert.FixedCount);
    fRow = std::max(fRow, fVert.FixedCount);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetDefaultColWidth(int value)
{
    fDefaultColWidth = value;
    std::fill(fHorz.Extents.begin(), fHorz.Extents.end(), value);
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetDefaultRowHeight(int value)
{
    fDefaultRowHeight = value;
    std::fill(fVert.Extents.begin(), fVert.Extents.end(), value);
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
    return fHorz.Extents[std::size_t(index)];
}

void TCustomGridEh::SetColWidths(int index, int value)
{
    if (index < 0 || index >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fHorz.Extents[std::size_t(index)] == value)
        return;
    fHorz.Extents[std::size_t(index)] = value;
    ColWidthsChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

int TCustomGridEh::RowHeights(int index) const
{
    if (index < 0 || index >= RowCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    return fVert.Extents[std::size_t(index)];
}

void TCustomGridEh::SetRowHeights(int index, int value)
{
    if (index < 0 || index >= RowCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fVert.Extents[std::size_t(index)] == value)
        return;
    fVert.Extents[std::size_t(index)] = value;
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
    value = std::clamp(value, fHorz.FixedCount, std::max(fHorz.FixedCount, ColCount() - 1));
    if (value == fHorz.FirstCell)
        return;
    fHorz.FirstCell = value;
    TopLeftChanged();
    UpdateScrollRange();
    InvalidateGrid();
}

void TCustomGridEh::SetTopRow(int value)
{
    value = std::clamp(value, fVert.FixedCount, std::max(fVert.FixedCount, RowCount() - 1));
    if (value == fVert.FirstCell)
        return;
    fVert.FirstCell = value;
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
    col = std::clamp(col, fHorz.FixedCount, std::max(fHorz.FixedCount, ColCount() - 1));
    row = std::clamp(row, fVert.FixedCount, std::max(fVert.FixedCount, RowCount() - 1));
    if (col != fCol || row != fRow) {
        InvalidateCell(fCol, fRow);
        fCol = col;
        fRow = row;
        InvalidateCell(fCol, fRow);
    }
    if (scrollIntoView && fCol >= fHorz.FixedCount) {
        if (fCol < fHorz.FirstCell) {
            SetLeftCol(fCol);
        } else {
            const TGridAxisEh& h = HorzAxis();
            if (fCol > h.LastFullVisibleCell() && fCol > fHorz.FirstCell) {
                // The leftmost column that still shows the current one whole.
                int left = fCol;
                int room = ClientWidth() - h.FixedBoundary() - h.Pitch(fCol);
                while (left - 1 >= fHorz.FixedCount && room - h.Pitch(left - 1) >= 0) {
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
    auto it = fVert.Extents.begin() + index;
    const int h = *it;
    fVert.Extents.erase(it);
    fVert.Extents.push_back(h);
    SetRowCount(RowCount() - 1);
}

void TCustomGridEh::MoveColumn(int fromIndex, int toIndex)
{
    if (fromIndex < 0 || fromIndex >= ColCount() || toIndex < 0 || toIndex >= ColCount())
        throw EInvalidGridOperationEh(kIndexOutOfRange);
    if (fromIndex == toIndex)
        return;
    const int w = fHorz.Extents[std::size_t(fromIndex)];
    const char t = fTabStops[std::size_t(fromIndex)];
    fHorz.Extents.erase(fHorz.Extents.begin() + fromIndex);
    fHorz.Extents.insert(fHorz.Extents.begin() + toIndex, w);
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

const TGridAxisEh& TCustomGridEh::HorzAxis() const
{
    // Line width and client extent follow the options and the window; the rest is kept in place.
    fHorz.LineWidth =
        (fGridOptions.Contains(goFixedVertLine) || fGridOptions.Contains(goVertLine)) ? fGridLineWidth : 0;
    fHorz.ClientExtent = ClientWidth();
    return fHorz;
}

const TGridAxisEh& TCustomGridEh::VertAxis() const
{
    fVert.LineWidth =
        (fGridOptions.Contains(goFixedHorzLine) || fGridOptions.Contains(goHorzLine)) ? fGridLineWidth : 0;
    fVert.ClientExtent = ClientHeight();
    return fVert;
}

QRect TCustomGridEh::CellRect(int col, int row) const
{
    if (col < 0 || col >= ColCount() || row < 0 || row >= RowCount())
        return {};
    const TGridAxisEh& h = HorzAxis();
    const TGridAxisEh& v = VertAxis();
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
    const TGridAxisEh& h = HorzAxis();
    return std::max(0, h.LastFullVisibleCell() - std::max(fHorz.FirstCell, fHorz.FixedCount) + 1);
}

int TCustomGridEh::VisibleRowCount() const
{
    const TGridAxisEh& v = VertAxis();
    return std::max(0, v.LastFullVisibleCell() - std::max(fVert.FirstCell, fVert.FixedCount) + 1);
}

bool TCustomGridEh::HandleAllocated() const
{
    return fWindowCreated || testAttribute(Qt::WA_WState_Created);
}

int TCustomGridEh::MaxLeftCol() const
{
    const TGridAxisEh& h = HorzAxis();
    const int room = h.ClientExtent - h.FixedBoundary();
    int used = 0;
    int left = ColCount();
    for (int k = ColCount() - 1; k >= fHorz.FixedCount; --k) {
        if (used + h.Pitch(k) > room)
            break;
        used += h.Pitch(k);
        left = k;
    }
    return std::clamp(left, fHorz.FixedCount, std::max(fHorz.FixedCount, ColCount() - 1));
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
    const TGridAxisEh& h = HorzAxis();
    const int x = h.CellStart(col);
    if (x < 0 || col >= ColCount())
        return;
    InvalidateRect(QRect(x, 0, h.Pitch(col), ClientHeight()));
}

void TCustomGridEh::InvalidateRow(int row)
{
    const TGridAxisEh& v = VertAxis();
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
    const TGridAxisEh& h = HorzAxis();
    const TGridAxisEh& v = VertAxis();
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
    // The pass works on copies taken once: nothing DrawCell does can shift the cells under it.
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
    const int clientWidth = ClientWidth();
    const int clientHeight = ClientHeight();

    // The cells of one axis in a part: the fixed ones, or the scrollable ones that show.
    struct TSpan
    {
        int First, Last; // cells
        int Start, End;  // pixels: first pixel, first pixel after the last line
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
    auto starts = [](const TGridAxisEh& a, const TSpan(&spans)[2]) {
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
                if (c < fHorz.FixedCount || r < fVert.FixedCount)
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
    const TGridAxisEh& h = HorzAxis();
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
        hb->setRange(fHorz.FixedCount, std::max(fHorz.FixedCount, maxLeft));
        hb->setPageStep(std::max(1, VisibleColCount()));
        hb->setValue(fHorz.FirstCell);
        ShowHorzScrollBar(maxLeft > fHorz.FixedCount);
    } else {
        ShowHorzScrollBar(false);
    }
}

void TCustomGridEh::UpdateVertScrollRange()
{
    QScrollBar* vb = verticalScrollBar();
    if (fScrollBars == ssVertical || fScrollBars == ssBoth) {
        const TGridAxisEh& v = VertAxis();
        const int room = v.ClientExtent - v.FixedBoundary();
        int used = 0;
        int top = RowCount();
        for (int k = RowCount() - 1; k >= fVert.FixedCount && used + v.Pitch(k) <= room; --k) {
            used += v.Pitch(k);
            top = k;
        }
        top = std::clamp(top, fVert.FixedCount, std::max(fVert.FixedCount, RowCount() - 1));
        const QSignalBlocker block(vb);
        vb->setRange(fVert.FixedCount, top);
        vb->setPageStep(std::max(1, VisibleRowCount()));
        vb->setValue(fVert.FirstCell);
        ShowVertScrollBar(top > fVert.FixedCount);
    } else {
        ShowVertScrollBar(false);
    }
}

void TCustomGridEh::VertScrollAction(int action)
{
    QScrollBar* vb = verticalScrollBar();
    int top = fVert.FirstCell;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        ++top;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        --top;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        top += std::max(1, VisibleRowCount());
        break;
    case QAbstractSlider::SliderPageStepSub:
        top -= std::max(1, VisibleRowCount());
        break;
    case QAbstractSlider::SliderToMinimum:
        top = fVert.FixedCount;
        break;
    case QAbstractSlider::SliderToMaximum:
        top = vb->maximum();
        break;
    case QAbstractSlider::SliderMove:
        top = vb->sliderPosition();
        break;
    default:
        break;
    }
    vb->setSliderPosition(std::clamp(top, vb->minimum(), vb->maximum()));
    SetTopRow(std::clamp(top, vb->minimum(), vb->maximum()));
}

void TCustomGridEh::HorzScrollAction(int action)
{
    QScrollBar* hb = horizontalScrollBar();
    int left = fHorz.FirstCell;
    switch (action) {
    case QAbstractSlider::SliderSingleStepAdd:
        ++left;
        break;
    case QAbstractSlider::SliderSingleStepSub:
        --left;
        break;
    case QAbstractSlider::SliderPageStepAdd:
        left += std::max(1, VisibleColCount());
        break;
    case QAbstractSlider::SliderPageStepSub:
        left -= std::max(1, VisibleColCount());
        break;
    case QAbstractSlider::SliderToMinimum:
        left = fHorz.FixedCount;
        break;
    case QAbstractSlider::SliderToMaximum:
        left = hb->maximum();
        break;
    case QAbstractSlider::SliderMove:
        left = hb->sliderPosition();
        break;
    default:
        break;
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
