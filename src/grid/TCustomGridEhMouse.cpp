#include "TCustomGridEh.h"

#include <QMouseEvent>

// ---------------------------------------------------------------------------------------------
// Column sizing and moving with the mouse

bool TCustomGridEh::CalcColSizing(int x, int y, int& index, int& boundary) const
{
    if (!fGridOptions.Contains(goColSizing))
        return false;
    const TGridAxisEh& h = HorzAxis();
    const TGridAxisEh& v = VertAxis();
    // Only over the titles, right of the fixed columns.
    if (x <= h.FixedBoundary() || y >= v.FixedBoundary())
        return false;
    index = h.SizingHit(x, boundary);
    return index >= 0;
}

bool TCustomGridEh::BeginColumnDrag(int& origin, int& /*destination*/, const QPoint& /*pos*/)
{
    return origin >= fHorz.FixedCount;
}

bool TCustomGridEh::CheckColumnDrag(int& origin, int& /*destination*/, const QPoint& /*pos*/)
{
    return origin >= fHorz.FixedCount;
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
        fSizingOrigWidth = fHorz.Extents[std::size_t(index)];
        InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
        return;
    }
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    if (fGridOptions.Contains(goColMoving) && cell.y() >= 0 && cell.y() < fVert.FixedCount
        && cell.x() >= fHorz.FixedCount) {
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
    if (cell.x() >= fHorz.FixedCount && cell.y() >= fVert.FixedCount)
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
                    fHorz.Extents[std::size_t(fSizingIndex)] = fSizingPos - left;
                    InvalidateGrid();
                }
            }
        }
        return;
    }
    case gsColMoving: {
        const TGridAxisEh& h = HorzAxis();
        if (pos.x() >= h.GridBoundary() || pos.x() >= ClientWidth()) {
            MoveColumnStep(+1);
        } else if (pos.x() < h.FixedBoundary()) {
            MoveColumnStep(-1);
        } else {
            int origin = fMoveIndex;
            int target = h.CellAt(pos.x());
            if (target >= fHorz.FixedCount && CheckColumnDrag(origin, target, pos))
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
        fHorz.Extents[std::size_t(fSizingIndex)] = fSizingOrigWidth; // undo any tracing
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
        if (EndColumnDrag(origin, target, pos) && origin != target && origin >= fHorz.FixedCount
            && target >= fHorz.FixedCount)
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
        if (fHorz.FirstCell < MaxLeftCol())
            SetLeftCol(fHorz.FirstCell + 1);
        const int last = HorzAxis().LastVisibleCell();
        if (last >= fHorz.FixedCount)
            MoveMarker(last);
    } else {
        if (fHorz.FirstCell > fHorz.FixedCount)
            SetLeftCol(fHorz.FirstCell - 1);
        MoveMarker(std::max(fHorz.FirstCell, fHorz.FixedCount));
    }
}

void TCustomGridEh::OnMoveTimer()
{
    if (fGridState != gsColMoving) {
        fMoveTimer.stop();
        return;
    }
    const TGridAxisEh& h = HorzAxis();
    if (fLastMouse.x() >= h.GridBoundary() || fLastMouse.x() >= ClientWidth())
        MoveColumnStep(+1);
    else if (fLastMouse.x() < h.FixedBoundary())
        MoveColumnStep(-1);
}

void TCustomGridEh::CancelMode()
{
    if (fGridState == gsColSizing) {
        InvalidateRect(QRect(fSizingPos, 0, 1, ClientHeight()));
        if (fHorz.Extents[std::size_t(fSizingIndex)] != fSizingOrigWidth) {
            fHorz.Extents[std::size_t(fSizingIndex)] = fSizingOrigWidth;
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
