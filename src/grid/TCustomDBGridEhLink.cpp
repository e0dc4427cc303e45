#include "TCustomDBGridEh.h"

// ---------------------------------------------------------------------------------------------
// Window and notifications

void TCustomDBGridEh::WindowCreated()
{
    if (fAutoFitColWidths)
        RequestLayout();
    else if (fLayoutLock == 0) {
        RecountRows();
        SyncCurrentRow();
    }
    RefreshVertScrollBar();
}

void TCustomDBGridEh::GridResized()
{
    if (fUpdateLock > 0) {
        fLayoutState.Include(lsResizePending);
        return;
    }
    if (fAutoFitColWidths) {
        RequestLayout();
    } else {
        RecountRows();
        RefreshVertScrollBar();
    }
    UpdateHorzScrollRange();
}

void TCustomDBGridEh::LinkActiveChanged(bool active)
{
    if (fLayoutState.Contains(lsLoading))
        return;
    fSelection->LinkActive(active);
    RequestLayout();
    RefreshVertScrollBar();
    // Fields come and go with the open state: every column finds its own again by name.
    for (int i = 0; i < fColumns->Count(); ++i)
        fColumns->Items(i)->DropField();
}

void TCustomDBGridEh::LinkDataChanged()
{
    if (!HandleAllocated() || fLayoutState.Contains(lsLoading))
        return;
    RecountRows();
    const bool wasShown = VertScrollBarShown();
    RefreshVertScrollBar();
    if (wasShown != VertScrollBarShown() && fAutoFitColWidths)
        PostDeferredLayout();
    SyncCurrentRow();
    InvalidateGrid();
}

QRect TCustomDBGridEh::FullRowRect(int row) const
{
    const TGridAxisEh& v = VertAxis();
    const int y = v.CellStart(row);
    if (y < 0 || row >= RowCount())
        return {};
    return QRect(0, y, ClientWidth(), v.Pitch(row));
}

void TCustomDBGridEh::LinkScrolled(int distance)
{
    if (!HandleAllocated() || fLayoutState.Contains(lsLoading))
        return;
    const QRect oldRow = FullRowRect(Row());
    if (fDataLink->ActiveRecord() >= RowCount() - fTitleRowCount)
        RecountRows();
    const bool wasShown = VertScrollBarShown();
    RefreshVertScrollBar();
    if (wasShown != VertScrollBarShown() && fAutoFitColWidths)
        PostDeferredLayout();
    SyncCurrentRow();
    const QRect newRow = FullRowRect(Row());
    InvalidateRect(oldRow);
    InvalidateRect(newRow);
    if (distance != 0) {
        if (VisibleDataRowCount() < std::abs(distance)) {
            InvalidateGrid();
        } else {
            if (fOptions.Contains(dgIndicator) && fLastIndicatorRow >= 0)
                InvalidateRect(FullRowRect(fLastIndicatorRow));
            // The data rows' pixels move; only the strip they uncover is painted anew.
            const TGridAxisEh& v = VertAxis();
            const int top = v.CellStart(fTitleRowCount);
            const int bottom = v.CellStart(RowCount() - 1) + v.Pitch(RowCount() - 1);
            if (top >= 0 && bottom > top)
                ScrollDataRect(0, -distance * RowPitch(), QRect(0, top, ClientWidth(), bottom - top));
            InvalidateRect(FullRowRect(Row()));
        }
    }
    bool hidesDuplicates = false;
    for (int i = 0; i < fColumns->Count() && !hidesDuplicates; ++i)
        hidesDuplicates = fColumns->Items(i)->HideDuplicates();
    if (hidesDuplicates)
        InvalidateRect(FullRowRect(fTitleRowCount));
}

void TCustomDBGridEh::LinkLayoutChanged()
{
    RequestLayout();
    LinkDataChanged();
}

void TCustomDBGridEh::LinkRecordChanged(TField* field)
{
    if (!HandleAllocated())
        return;
    if (!field) {
        InvalidateGrid();
        return;
    }
    for (int i = 0; i < fColumns->Count(); ++i)
        if (fColumns->Items(i)->Field() == field) {
            InvalidateRect(FullRowRect(Row()));
            break;
        }
}

void TCustomDBGridEh::LinkEditingChanged()
{
    if (fOptions.Contains(dgIndicator) && fLastIndicatorRow >= 0)
        InvalidateCell(0, fLastIndicatorRow);
}

void TCustomDBGridEh::LinkFocusField(TField* field, bool& handled)
{
    int selected = -1;
    for (int i = 0; i < fColumns->Count(); ++i)
        if (fColumns->Items(i)->Field() == field) {
            selected = i;
            FocusCell(DataToRawColumn(i), Row(), true);
        }
    if (selected >= 0 && SelectedIndex() == selected && isEnabled() && isVisible()) {
        setFocus(Qt::OtherFocusReason);
        handled = true;
    }
}

void TCustomDBGridEh::LinkUpdateData()
{
    // No in-place editor: there is no pending cell text to write back.
}

void TCustomDBGridEh::LinkReset()
{
    if (fDataLink->Modified())
        LinkRecordChanged(nullptr);
    else if (TDataSet* ds = DataSet())
        ds->Cancel();
}

void TCustomDBGridEh::LinkDisabledStateChanged(bool /*disabled*/)
{
    for (int i = 0; i < fColumns->Count(); ++i)
        fColumns->Items(i)->DropField();
}
