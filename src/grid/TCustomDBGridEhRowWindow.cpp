#include "TCustomDBGridEh.h"

#include <QScrollBar>

// ---------------------------------------------------------------------------------------------
// Row window

int TCustomDBGridEh::RowPitch() const
{
    return DefaultRowHeight() + (fOptions.Contains(dgRowLines) ? GridLineWidth() : 0);
}

int TCustomDBGridEh::NonDataHeight() const
{
    const int line = fOptions.Contains(dgRowLines) ? GridLineWidth() : 0;
    int h = 0;
    if (fOptions.Contains(dgTitles))
        h += RowHeights(0) + line;
    h += (fTitleRowCount - (fOptions.Contains(dgTitles) ? 1 : 0)) * RowPitch();
    if (fFooterRowCount > 0)
        h += fFooterRowCount * RowPitch() + line;
    return h;
}

void TCustomDBGridEh::RecountRows()
{
    if (!fDataLink)
        return;
    const int oldRows = RowCount();
    if (RowCount() <= fTitleRowCount)
        SetRowCount(fTitleRowCount + 1);
    SetFixedRows(fTitleRowCount);
    const int nonData = NonDataHeight();
    // All rows at the default height again; the title row keeps its own.
    const int titleHeight = fTitleRowCount > 0 ? RowHeights(0) : 0;
    SetDefaultRowHeight(DefaultRowHeight());
    if (fTitleRowCount > 0)
        SetRowHeights(0, titleHeight);
    SetTopRow(fTitleRowCount);
    if (fDataLink->Active() && fDataLink->RecordCount() > 0 && HandleAllocated()) {
        const int pitch = std::max(1, RowPitch());
        fDataLink->SetBufferCount(std::max(1, (ClientHeight() - nonData) / pitch));
        const int newRows = fTitleRowCount + fDataLink->RecordCount();
        if (Row() >= newRows)
            FocusCell(Col(), newRows - 1, false);
        SetRowCount(newRows);
        SyncCurrentRow();
    } else {
        SetRowCount(fTitleRowCount + 1);
    }
    if (RowCount() != oldRows)
        InvalidateGrid();
}

int TCustomDBGridEh::VisibleDataRowCount() const
{
    const int last = VertAxis().LastFullVisibleCell();
    return std::max(0, last - TopRow() + 1);
}

bool TCustomDBGridEh::IsCurrentDataRow(int dataRow) const
{
    return fDataLink->Active() && fDataLink->ActiveRecord() == dataRow;
}

void TCustomDBGridEh::BeginReadRow(int dataRow)
{
    if (fReadRowDepth++ == 0)
        fReadRowSaved = fDataLink->ActiveRecord();
    fDataLink->SetActiveRecord(dataRow);
}

void TCustomDBGridEh::EndReadRow()
{
    if (fReadRowDepth == 0)
        return;
    if (--fReadRowDepth == 0)
        fDataLink->SetActiveRecord(fReadRowSaved);
}

void TCustomDBGridEh::SaveCursorPosition()
{
    fSavedPosition = TCursorPositionEh();
    TDataSet* ds = DataSet();
    if (!ds || !ds->Active() || ds->HasNoRows() || !fDataLink->Active())
        return;
    // The middle record of the window is where the record set puts a bookmark it goes to.
    const int offset = fDataLink->ActiveRecord() - (fDataLink->RecordCount() - 1) / 2;
    const int moved = ds->MoveRelative(-offset);
    fSavedPosition.Bookmark = ds->Bookmark();
    ds->MoveRelative(-moved);
    fSavedPosition.Offset = -moved;
    fSavedPosition.Valid = !fSavedPosition.Bookmark.isEmpty();
}

void TCustomDBGridEh::RestoreCursorPosition()
{
    TDataSet* ds = DataSet();
    if (!fSavedPosition.Valid || !ds || !ds->Active() || !ds->BookmarkValid(fSavedPosition.Bookmark))
        return;
    ds->SetBookmark(fSavedPosition.Bookmark);
    ds->MoveRelative(fSavedPosition.Offset);
}

void TCustomDBGridEh::SyncCurrentRow()
{
    if (!fDataLink->Active() || !HandleAllocated() || fLayoutState.Contains(lsLoading))
        return;
    const int target = fDataLink->ActiveRecord() + fTitleRowCount;
    if (target != Row() && target < RowCount())
        FocusCell(Col(), target, false);
}

void TCustomDBGridEh::RefreshVertScrollBar()
{
    if (!fDataLink || !HandleAllocated())
        return;
    const TDataSet* ds = DataSet();
    TVertScrollInputEh in;
    in.Active = fDataLink->Active() && ds;
    if (in.Active) {
        in.Sequenced = ds->HasExactNumbering();
        in.RecordCount = ds->RecordCount();
        in.RecordNumber = ds->RecordNumber();
        in.VisibleRows = VisibleDataRowCount();
        in.InsertOrLater = ds->CursorState() >= dsInsert;
        in.AtStart = ds->AtStart();
        in.AtEnd = ds->AtEnd();
        in.PreviousPos = fVertInfo.Pos;
    }
    const TScrollInfoEh si = ComputeVertScrollInfoEh(in);
    const TScrollBarVisibleModeEh mode = fVertScrollBar->VisibleMode();
    QScrollBar* ext = fVertScrollBar->ExtScrollBar();
    const bool own = fVertScrollBar->Visible() && !ext;
    TScrollInfoEh applied = si;
    if (!own)
        applied.Max = applied.Min; // the grid's own bar has nothing to show

    // Window-system state: the bar and what it shows; only a difference is applied.
    QScrollBar* vb = verticalScrollBar();
    const bool unchanged = applied == fVertInfo && mode == fVertAppliedMode && fLayoutState.Contains(lsVertBarApplied)
                           && vb->value() == std::clamp(applied.Pos, vb->minimum(), vb->maximum());
    if (!unchanged) {
        fVertInfo = applied;
        fVertAppliedMode = mode;
        fLayoutState.Include(lsVertBarApplied);
        const bool needed = ScrollRangeExceedsPage(applied);
        bool shown = false;
        bool enabled = true;
        switch (mode) {
        case sbAlwaysShowEh:
            shown = own;
            enabled = !(applied.Min >= applied.Max || applied.Max - applied.Min <= applied.Page);
            break;
        case sbNeverShowEh:
            shown = false;
            break;
        case sbAutoShowEh:
            shown = needed;
            break;
        }
        const QSignalBlocker block(vb);
        const int qtMax = std::max(applied.Min, applied.Page > 0 ? applied.Max - applied.Page + 1 : applied.Max);
        // A thumb held by the user stays where it is dragged: its release decides where the grid goes.
        const bool held = vb->isSliderDown();
        const int heldAt = vb->sliderPosition();
        vb->setRange(applied.Min, qtMax);
        vb->setPageStep(std::max(1, applied.Page));
        vb->setSingleStep(1);
        vb->setValue(applied.Pos);
        vb->setSliderPosition(held ? heldAt : vb->value());
        vb->setEnabled(enabled);
        ShowVertScrollBar(shown);
    }
    fVertExtInfo = si;
    if (ext) {
        const QSignalBlocker block(ext);
        const int qtMax = std::max(si.Min, si.Page > 0 ? si.Max - si.Page + 1 : si.Max);
        ext->setRange(std::min(si.Min, qtMax), qtMax);
        ext->setPageStep(std::max(1, si.Page));
        const bool held = ext->isSliderDown();
        const int heldAt = ext->sliderPosition();
        ext->setValue(si.Pos);
        ext->setSliderPosition(held ? heldAt : ext->value());
    }
}

bool TCustomDBGridEh::TakeFocusForAction()
{
    if (!isEnabled() || !isVisible() || focusPolicy() == Qt::NoFocus)
        return false;
    setFocus(Qt::OtherFocusReason);
    return true;
}

void TCustomDBGridEh::VertScroll(TVertScrollActionEh action, int trackPos)
{
    if (!TakeFocusForAction() || !fDataLink->Active())
        return;
    TDataSet* ds = DataSet();
    switch (action) {
    case saLineUp:
        ds->MoveRelative(-(fDataLink->ActiveRecord() + 1));
        break;
    case saLineDown:
        ds->MoveRelative(fDataLink->RecordCount() - fDataLink->ActiveRecord());
        break;
    case saPageUp:
        ds->MoveRelative(-VisibleDataRowCount());
        break;
    case saPageDown:
        ds->MoveRelative(VisibleDataRowCount());
        break;
    case saThumbTrack:
        if (fVertScrollBar->Tracking()) {
            ds->MoveRelative(trackPos - ds->RecordNumber());
            fThumbTracked = true;
        }
        break;
    case saThumbRelease:
        if (fThumbTracked) {
            fThumbTracked = false;
            break;
        }
        if (ds->HasExactNumbering()) {
            if (trackPos <= 1)
                ds->MoveFirst();
            else if (trackPos >= ds->RecordCount())
                ds->MoveLast();
            else
                ds->SetRecordNumber(trackPos);
        } else {
            switch (trackPos) {
            case 0:
                ds->MoveFirst();
                break;
            case 1:
                ds->MoveRelative(-VisibleDataRowCount());
                break;
            case 3:
                ds->MoveRelative(VisibleDataRowCount());
                break;
            case 4:
                ds->MoveLast();
                break;
            default:
                break;
            }
        }
        break;
    case saTop:
        ds->MoveFirst();
        break;
    case saBottom:
        ds->MoveLast();
        break;
    }
}

void TCustomDBGridEh::VertScrollBarAction(int action)
{
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        VertScroll(saLineUp);
        break;
    case QAbstractSlider::SliderSingleStepAdd:
        VertScroll(saLineDown);
        break;
    case QAbstractSlider::SliderPageStepSub:
        VertScroll(saPageUp);
        break;
    case QAbstractSlider::SliderPageStepAdd:
        VertScroll(saPageDown);
        break;
    case QAbstractSlider::SliderToMinimum:
        VertScroll(saTop);
        break;
    case QAbstractSlider::SliderToMaximum:
        VertScroll(saBottom);
        break;
    default:
        break;
    }
}

void TCustomDBGridEh::VertThumbMoved(int trackPos)
{
    VertScroll(saThumbTrack, trackPos);
}

void TCustomDBGridEh::VertThumbReleased(int trackPos)
{
    VertScroll(saThumbRelease, trackPos);
}

void TCustomDBGridEh::VertScrollAction(int action)
{
    QScrollBar* vb = verticalScrollBar();
    // While the thumb is held nothing but its release moves the grid: a step the bar's repeat timer
    // or the wheel still delivers then would move the cursor and pull the held thumb back to it, so
    // the release would land on that stale place instead of where the thumb was let go.
    if (vb->isSliderDown()) {
        if (auto* own = dynamic_cast<TGridScrollBarEh*>(vb))
            vb->setSliderPosition(own->DraggedPosition());
        return;
    }
    VertScrollBarAction(action);
    // The bar shows the cursor's place, not where the action would have put the thumb.
    vb->setSliderPosition(vb->value());
}

void TCustomDBGridEh::VertSliderMoved(int position)
{
    VertThumbMoved(position);
}

void TCustomDBGridEh::VertSliderReleased()
{
    QScrollBar* vb = verticalScrollBar();
    VertThumbReleased(vb->sliderPosition());
    // Whether or not the grid moved, the bar shows the current record again.
    RefreshVertScrollBar();
    vb->setSliderPosition(vb->value());
}

void TCustomDBGridEh::UpdateVertScrollRange()
{
    // The vertical bar follows the record set (RefreshVertScrollBar), not the cells.
}
