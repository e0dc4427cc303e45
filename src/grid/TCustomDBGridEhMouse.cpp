#include "TCustomDBGridEh.h"

#include "TDBGridEhDataService.h"
#include "TScopeExit.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMouseEvent>

// ---------------------------------------------------------------------------------------------
// Mouse tracking in the data area

QRect TCustomDBGridEh::DataAreaRect() const
{
    const TGridAxisEh& h = HorzAxis();
    const TGridAxisEh& v = VertAxis();
    return QRect(QPoint(h.FixedBoundary(), v.FixedBoundary()), QPoint(h.GridBoundary() - 1, v.GridBoundary() - 1));
}

void TCustomDBGridEh::StartTracking(bool inData)
{
    fTrackingMouse = true;
    fDraggingInData = inData;
}

void TCustomDBGridEh::StopTracking()
{
    fTrackingMouse = false;
    fDraggingInData = false;
    fDragTimer.stop();
}

void TCustomDBGridEh::TrackMouseMove(const QPoint& pos)
{
    if (!fTrackingMouse || !CursorOpen())
        return;
    const QPoint p(std::clamp(pos.x(), 0, std::max(0, ClientWidth() - 1)),
                   std::clamp(pos.y(), 0, std::max(0, ClientHeight() - 1)));
    const QRect area = DataAreaRect();
    const QPoint cell = MouseCoord(p.x(), p.y());
    // Over another row or column inside the area: that record and column become current.
    if (p.y() >= area.top() && p.y() <= area.bottom() && cell.y() >= fTitleRowCount && cell.y() != Row())
        DataSet()->MoveRelative(cell.y() - Row());
    if (p.x() >= area.left() && p.x() <= area.right() && cell.x() >= fIndicatorOffset && cell.x() != Col())
        SelectColumn(cell.x(), cell.x() < Col() ? -1 : +1);
    fTrackPos = p;
    AutoScrollStep();
}

void TCustomDBGridEh::AutoScrollStep()
{
    if (!fTrackingMouse || !CursorOpen()) {
        fDragTimer.stop();
        return;
    }
    const QRect area = DataAreaRect();
    const int x = fTrackPos.x();
    const int y = fTrackPos.y();
    const bool above = y < area.top();
    const bool below = y > area.bottom();
    const bool left = x < area.left();
    const bool right = x > area.right();
    if (!above && !below && !left && !right) {
        fDragTimer.stop();
        return;
    }
    const int dy = above ? area.top() - y : below ? y - (area.bottom() + 1) + 1 : 0;
    const int dx = right ? x - (area.right() + 1) : left ? area.left() - x : 0;
    const int d = std::max(dx, dy);
    if (above || below) {
        const int rows = DragScrollRows(d);
        if (rows > 0)
            DataSet()->MoveRelative(above ? -rows : rows);
    }
    if (left || right) {
        if (fDraggingInData) {
            if (right && HorzAxis().LastFullVisibleCell() < ColCount() - 1)
                SetLeftCol(LeftCol() + 1);
            else if (LeftCol() > FixedCols())
                SetLeftCol(LeftCol() - 1);
        }
        SelectColumn(right ? Col() + 1 : Col() - 1, right ? +1 : -1);
    }
    PaintNow();
    const int interval = DragScrollInterval(d);
    if (!fDragTimer.isActive() || fDragTimer.interval() != interval)
        fDragTimer.start(interval);
}

// ---------------------------------------------------------------------------------------------
// Mouse and focus

bool TCustomDBGridEh::IsTitleCell(const QPoint& cell) const
{
    if (cell.x() < fIndicatorOffset || cell.y() < 0 || cell.x() >= ColCount() || cell.y() >= RowCount())
        return false;
    return GetCellType(cell.x(), cell.y()).RowKind == crkTitleEh;
}

void TCustomDBGridEh::mousePressEvent(QMouseEvent* event)
{
    // The grid takes the focus first; a grid that cannot take it ignores the press.
    if (!TakeFocusForAction())
        return;
    GridMouseDown(event);
    if (OnMouseDown) {
        const QPoint pos = event->position().toPoint();
        OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
}

void TCustomDBGridEh::GridMouseDown(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::RightButton) {
        fRightButtonDown = true;
        // With column sizing, a right press on a title is taken as a left press (it may start
        // sizing or moving a column) and its release as a left release.
        if (fOptions.Contains(dgColumnResize) && GridState() == gsNormal && !fRightAsLeft
            && IsTitleCell(MouseCoord(pos.x(), pos.y()))) {
            fRightAsLeft = true;
            QMouseEvent left(event->type(), event->position(), event->scenePosition(), event->globalPosition(),
                             Qt::LeftButton, Qt::LeftButton, event->modifiers(), event->pointingDevice());
            GridMouseDown(&left);
            return;
        }
    }
    fPressStartedSizing = false;
    const bool left = event->button() == Qt::LeftButton;
    if ((left || event->button() == Qt::RightButton) && GridState() == gsNormal) {
        int index = -1;
        int boundary = -1;
        if (left && CalcColSizing(pos.x(), pos.y(), index, boundary)) {
            fPressStartedSizing = true;
        } else {
            const QPoint cell = MouseCoord(pos.x(), pos.y());
            if (SelectionMouseDown(pos, cell, event->modifiers()))
                return;
            if (IsTitleCell(cell) && TitleButtonDown(RawToDataColumn(cell.x())))
                return; // a title button takes the press: no sizing or moving
            if (cell.y() >= fTitleRowCount && cell.x() >= 0) {
                DataMouseDown(event, cell);
                return;
            }
        }
    }
    TCustomGridEh::mousePressEvent(event);
}

void TCustomDBGridEh::DataMouseDown(QMouseEvent* event, const QPoint& cell)
{
    if (!CursorOpen())
        return;
    {
        // One repaint for the move and the column change together.
        BeginUpdate();
        TScopeExit end([this] { EndUpdate(); });
        LinkUpdateData();
        const int dataRow = cell.y() - fTitleRowCount;
        if (dataRow < fDataLink->RecordCount() && cell.y() != Row())
            DataSet()->MoveRelative(cell.y() - Row());
        if (cell.x() >= fIndicatorOffset)
            SelectColumn(cell.x(), 0);
    }
    const QPoint pos = event->position().toPoint();
    if (cell.x() < fIndicatorOffset || !DataAreaRect().contains(pos))
        return;
    StartTracking(true);
    fTrackPos = pos;
    const Qt::KeyboardModifiers shift = event->modifiers();
    if (!shift.testFlag(Qt::ControlModifier) && !shift.testFlag(Qt::ShiftModifier)) {
        // A right press keeps a selection it falls into (its menu may act on it).
        if (event->button() == Qt::LeftButton || fSelection->SelectionType() == gstNon)
            ClearSelectionIfAllowed();
    }
}

void TCustomDBGridEh::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    if (fTitlePressCol >= 0)
        TitleButtonMove(pos);
    if (fSelectDrag != sdNone) {
        SelectionMouseMove(pos);
    } else if (fTrackingMouse) {
        TrackMouseMove(pos);
    } else {
        TCustomGridEh::mouseMoveEvent(event);
        if (GridState() == gsNormal && event->buttons() == Qt::NoButton)
            UpdateSelectionCursor(pos);
    }
    if (OnMouseMove)
        OnMouseMove(this, event->modifiers(), pos.x(), pos.y());
}

void TCustomDBGridEh::mouseReleaseEvent(QMouseEvent* event)
{
    StopTracking();
    GridMouseUp(event);
    event->accept();
    if (OnMouseUp) {
        const QPoint pos = event->position().toPoint();
        OnMouseUp(this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
}

void TCustomDBGridEh::GridMouseUp(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton) {
        fRightButtonDown = false;
        if (fRightAsLeft) {
            QMouseEvent left(event->type(), event->position(), event->scenePosition(), event->globalPosition(),
                             Qt::LeftButton, Qt::NoButton, event->modifiers(), event->pointingDevice());
            GridMouseUp(&left);
            fRightAsLeft = false;
        } else {
            TCustomGridEh::mouseReleaseEvent(event);
        }
        // The context menu of a right click opens after the release, as on the desktop the grid was
        // designed for.
        if (fPendingContextMenu) {
            const TPendingContextMenu menu = *fPendingContextMenu;
            fPendingContextMenu.reset();
            QCoreApplication::postEvent(
                viewport(), new QContextMenuEvent(QContextMenuEvent::Mouse, menu.Pos, menu.GlobalPos, menu.Modifiers));
        }
        return;
    }
    const QPoint pos = event->position().toPoint();
    if (event->button() == Qt::LeftButton)
        fSelectDrag = sdNone;
    const bool wasSizing = GridState() == gsColSizing || fPressStartedSizing;
    fPressStartedSizing = false;
    if (event->button() == Qt::LeftButton && fTitlePressCol >= 0)
        TitleButtonUp(pos, event->modifiers());
    TCustomGridEh::mouseReleaseEvent(event);
    if (wasSizing || event->button() != Qt::LeftButton)
        return;
    // The cell under the pointer at the release counts, not the one pressed.
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    if (cell.x() < fIndicatorOffset || cell.y() < 0)
        return;
    TColumnEh* column = ColumnAt(cell.x());
    if (!column)
        return;
    const TCellTypeEh type = GetCellType(cell.x(), cell.y());
    if (type.RowKind == crkTitleEh) {
        if (OnTitleClick)
            OnTitleClick(column);
    } else if (type.RowKind == crkDataEh && type.RowIndex < VisibleDataRowCount()) {
        if (OnCellClick)
            OnCellClick(column);
    }
}

bool TCustomDBGridEh::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ContextMenu && fRightButtonDown) {
        const auto* e = static_cast<QContextMenuEvent*>(event);
        if (e->reason() == QContextMenuEvent::Mouse) {
            fPendingContextMenu = TPendingContextMenu{e->pos(), e->globalPos(), e->modifiers()};
            return true;
        }
    }
    return TCustomGridEh::viewportEvent(event);
}

bool TCustomDBGridEh::InColumnSelectStrip(const QPoint& pos, const QPoint& cell) const
{
    // The lowest few pixels of a title: low enough to leave the title its clicks and its moving.
    constexpr int kStripHeight = 5;
    if (!IsTitleCell(cell))
        return false;
    const QRect r = CellRect(cell.x(), cell.y());
    return !r.isEmpty() && pos.y() > r.bottom() - kStripHeight;
}

void TCustomDBGridEh::UpdateSelectionCursor(const QPoint& pos)
{
    if (!fOptions.Contains(dgMultiSelect) || !fDataLink->Active())
        return;
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    if (cell.x() < 0 || cell.y() < 0)
        return;
    int index = -1;
    int boundary = -1;
    if (CalcColSizing(pos.x(), pos.y(), index, boundary))
        return; // the sizing cursor
    const TCellTypeEh type = GetCellType(cell.x(), cell.y());
    if (type.ColKind == cckIndicatorEh && type.RowKind == crkDataEh && SelectionKindAllowed(gstRecordBookmarks))
        viewport()->setCursor(GridCursorEh(layoutDirection() == Qt::RightToLeft ? gcLeftEh : gcRightEh));
    else if (InColumnSelectStrip(pos, cell) && SelectionKindAllowed(gstColumns))
        viewport()->setCursor(GridCursorEh(gcDownEh));
}

void TCustomDBGridEh::SelectRecordAtRow(int dataRow, bool selected)
{
    if (dataRow < 0 || dataRow >= fDataLink->RecordCount())
        return;
    BeginReadRow(dataRow);
    TScopeExit end([this] { EndReadRow(); });
    fSelection->Rows().SetCurrentRowSelected(selected);
    InvalidateRow(dataRow + fTitleRowCount);
}

bool TCustomDBGridEh::SelectionMouseDown(const QPoint& pos, const QPoint& cell, Qt::KeyboardModifiers modifiers)
{
    if (!fDataLink->Active() || cell.x() < 0 || cell.y() < 0)
        return false;
    const TCellTypeEh type = GetCellType(cell.x(), cell.y());
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    const bool shift = modifiers.testFlag(Qt::ShiftModifier);
    const bool multi = fOptions.Contains(dgMultiSelect);
    const bool clearing = !ctrl && !shift && fOptionsEh.Contains(dghClearSelection);

    if (type.RowKind == crkTitleEh) {
        if (!multi)
            return false;
        if (type.ColKind == cckIndicatorEh) {
            // The corner: everything, or nothing when something is selected.
            if (fSelection->SelectionType() != gstNon)
                fSelection->Clear();
            else if (SelectionKindAllowed(gstAll))
                fSelection->SelectAll();
            return true;
        }
        if (!InColumnSelectStrip(pos, cell) || !SelectionKindAllowed(gstColumns) || type.DataCol >= fColumns->Count())
            return false;
        TColumnEh* column = fColumns->Items(type.DataCol);
        if (shift)
            fSelection->Columns().SelectShift(column);
        else if (ctrl)
            fSelection->Columns().InvertSelect(column);
        else
            fSelection->Columns().Select(column, false);
        fSelectDrag = sdColumns;
        return true;
    }
    if (type.RowKind != crkDataEh || type.RowIndex >= fDataLink->RecordCount())
        return false;

    const int oldRow = Row() - fTitleRowCount;
    const int oldCol = SelectedIndex();
    const QByteArray oldBookmark = DataSet()->Bookmark();
    if (type.ColKind == cckIndicatorEh) {
        if (!multi || !SelectionKindAllowed(gstRecordBookmarks))
            return false;
        if (clearing && fSelection->SelectionType() != gstNon) {
            fSelection->Rows().Clear();
            fSelection->Clear();
        }
        if (type.RowIndex != oldRow)
            DataSet()->MoveRelative(type.RowIndex - oldRow);
        if (ctrl) {
            fSelection->Rows().SetCurrentRowSelected(!fSelection->Rows().CurrentRowSelected());
        } else if (shift) {
            // The records from the one that was current to the pressed one.
            const int now = Row() - fTitleRowCount;
            const int from = std::max(0, std::min(oldRow, now));
            const int to = std::max(oldRow, now);
            for (int r = from; r <= to; ++r)
                SelectRecordAtRow(r, true);
        } else {
            fSelection->Rows().SetCurrentRowSelected(true);
        }
        fSelectDrag = sdRows;
        return true;
    }

    // A data cell: with dghClearSelection a plain press ends any selection; with multi-select it
    // anchors a rectangle (Shift: extends one from the cell that was current).
    if (clearing && fSelection->SelectionType() != gstNon) {
        fSelection->Rows().Clear();
        fSelection->Clear();
    }
    if (!multi || !SelectionKindAllowed(gstRectangle))
        return false;
    if (type.RowIndex != oldRow)
        DataSet()->MoveRelative(type.RowIndex - oldRow);
    FocusCell(cell.x(), Row(), true);
    if (shift && !fSelection->Rect().Anchor().IsSet() && oldCol >= 0)
        fSelection->Rect().Select(oldCol, oldBookmark, false);
    fSelection->Rect().Select(type.DataCol, DataSet()->Bookmark(), shift);
    fSelectDrag = sdRectangle;
    return true;
}

void TCustomDBGridEh::SelectionMouseMove(const QPoint& pos)
{
    const QPoint cell = MouseCoord(std::clamp(pos.x(), 0, std::max(0, ClientWidth() - 1)),
                                   std::clamp(pos.y(), 0, std::max(0, ClientHeight() - 1)));
    if (cell.x() < 0 || cell.y() < 0 || !fDataLink->Active())
        return;
    const TCellTypeEh type = GetCellType(cell.x(), cell.y());
    switch (fSelectDrag) {
    case sdColumns:
        if (type.ColKind == cckDataEh && type.DataCol < fColumns->Count()
            && fColumns->Items(type.DataCol) != fSelection->Columns().ShiftColumn())
            fSelection->Columns().SelectShift(fColumns->Items(type.DataCol));
        break;
    case sdRows:
        if (type.RowKind == crkDataEh && type.RowIndex < fDataLink->RecordCount()) {
            BeginReadRow(type.RowIndex);
            const bool listed = fSelection->Rows().CurrentRowSelected();
            EndReadRow();
            if (!listed)
                SelectRecordAtRow(type.RowIndex, true);
        }
        break;
    case sdRectangle:
        if (type.ColKind == cckDataEh && type.RowKind == crkDataEh && type.RowIndex < fDataLink->RecordCount()) {
            BeginReadRow(type.RowIndex);
            const QByteArray bookmark = DataSet()->Bookmark();
            EndReadRow();
            const TDBCell& shift = fSelection->Rect().ShiftCell();
            if (shift.Col != type.DataCol || shift.Row != bookmark)
                fSelection->Rect().Select(type.DataCol, bookmark, true);
        }
        break;
    case sdNone:
        break;
    }
}

bool TCustomDBGridEh::TitleButtonDown(int dataCol)
{
    if (dataCol < 0 || dataCol >= fColumns->Count())
        return false;
    TColumnEh* column = fColumns->Items(dataCol);
    bool enabled = column->Title()->TitleButton();
    if (OnCheckButton)
        OnCheckButton(this, dataCol, column, enabled);
    if (!enabled)
        return false;
    // The pressed widget holds the mouse until the release.
    fTitlePressCol = dataCol;
    fTitlePressed = true;
    InvalidateCell(DataToRawColumn(dataCol), 0);
    return true;
}

void TCustomDBGridEh::TitleButtonMove(const QPoint& pos)
{
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    const bool over = QRect(0, 0, ClientWidth(), ClientHeight()).contains(pos)
                      && cell.x() == DataToRawColumn(fTitlePressCol) && IsTitleCell(cell);
    if (over == fTitlePressed)
        return;
    fTitlePressed = over;
    InvalidateCell(DataToRawColumn(fTitlePressCol), 0);
}

void TCustomDBGridEh::TitleButtonUp(const QPoint& pos, Qt::KeyboardModifiers modifiers)
{
    const int dataCol = fTitlePressCol;
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    const bool over = QRect(0, 0, ClientWidth(), ClientHeight()).contains(pos) && cell.x() == DataToRawColumn(dataCol)
                      && IsTitleCell(cell);
    TScopeExit end([this, dataCol] {
        fTitlePressCol = -1;
        fTitlePressed = false;
        InvalidateCell(DataToRawColumn(dataCol), 0);
    });
    if (!over || dataCol >= fColumns->Count())
        return;
    TColumnEh* column = fColumns->Items(dataCol);
    if (OnTitleBtnClick)
        OnTitleBtnClick(this, dataCol, column);
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    fSortCtrlClicked = ctrl;
    if (fOptionsEh.Contains(dghAutoSortMarking))
        CycleSortMarker(column, ctrl);
    if (!ctrl)
        SortMarkingChanged();
}

void TCustomDBGridEh::CycleSortMarker(TColumnEh* column, bool keepOthers)
{
    if (!keepOthers)
        for (int i = 0; i < fColumns->Count(); ++i) {
            TColumnEh* other = fColumns->Items(i);
            if (other != column && other->Title()->SortMarker() != smNoneEh)
                other->Title()->SetSortMarker(smNoneEh);
        }
    TColumnTitleEh* title = column->Title();
    switch (title->SortMarker()) {
    case smNoneEh:
        title->SetSortMarker(smDownEh);
        break;
    case smDownEh:
        title->SetSortMarker(smUpEh);
        break;
    case smUpEh:
        title->SetSortMarker(keepOthers ? smNoneEh : smDownEh);
        break;
    }
}

void TCustomDBGridEh::SortMarkingChanged()
{
    if (!fOptionsEh.Contains(dghAutoSortMarking))
        return;
    if (OnSortMarkingChanged)
        OnSortMarkingChanged(this);
    else
        DBGridEhDataService().ApplySorting(this, DataSet(), false);
}

void TCustomDBGridEh::keyReleaseEvent(QKeyEvent* event)
{
    // Releasing Ctrl after title clicks made with it ends a multi-column sort marking.
    if (event->key() == Qt::Key_Control && fSortCtrlClicked) {
        fSortCtrlClicked = false;
        SortMarkingChanged();
    }
    if (!CursorOpen() || !OnKeyUp) {
        TCustomGridEh::keyReleaseEvent(event);
        return;
    }
    int key = event->key();
    OnKeyUp(this, key, event->modifiers() & ~Qt::KeypadModifier);
}

void TCustomDBGridEh::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::ApplicationPaletteChange) {
        // The system colours changed: the display may have changed with them.
        Style().RefreshScreenColorCount();
        InvalidateGrid();
    }
    TCustomGridEh::changeEvent(event);
}

void TCustomDBGridEh::mouseDoubleClickEvent(QMouseEvent* event)
{
    if (!TakeFocusForAction())
        return;
    const QPoint pos = event->position().toPoint();
    int index = -1;
    int boundary = -1;
    if (event->button() == Qt::LeftButton) {
        TColumnEh* column = nullptr;
        if (fOptionsEh.Contains(dghDblClickOptimizeColWidth) && CalcColSizing(pos.x(), pos.y(), index, boundary))
            column = ColumnAt(index);
        if (column)
            column->OptimizeWidth();
        else if (OnDblClick)
            OnDblClick(this);
    }
    event->accept();
    if (OnMouseDown)
        OnMouseDown(this, event->button(), event->modifiers(), pos.x(), pos.y());
}

void TCustomDBGridEh::focusInEvent(QFocusEvent* event)
{
    TCustomGridEh::focusInEvent(event);
    InvalidateCell(Col(), Row());
    if (fSelection->SelectionType() != gstNon)
        InvalidateCells(fSelection->GridRect());
    if (OnEnter && event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        OnEnter(this);
}

void TCustomDBGridEh::focusOutEvent(QFocusEvent* event)
{
    TCustomGridEh::focusOutEvent(event);
    StopTracking(); // the mouse goes with the focus
    // Losing the focus loses the mouse too: a title held down as a button comes up unclicked.
    if (fTitlePressCol >= 0) {
        InvalidateCell(DataToRawColumn(fTitlePressCol), 0);
        fTitlePressCol = -1;
        fTitlePressed = false;
    }
    fSelectDrag = sdNone;
    InvalidateCell(Col(), Row());
    if (fSelection->SelectionType() != gstNon)
        InvalidateCells(fSelection->GridRect());
    // Only a move of the focus to another control leaves the grid; not the window losing it.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason)
        return;
    if (CursorOpen()) {
        TDataSet* ds = DataSet();
        if (fOptions.Contains(dgCancelOnExit) && ds->CursorState() == dsInsert && !ds->Modified()) {
            ds->Cancel();
        } else {
            try {
                LinkUpdateData();
            } catch (...) {
                setFocus(Qt::OtherFocusReason);
                throw;
            }
        }
    }
    if (OnExit)
        OnExit(this);
}
