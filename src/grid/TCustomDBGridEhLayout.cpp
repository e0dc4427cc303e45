#include "TCustomDBGridEh.h"

#include "TScopeExit.h"

#include <QCoreApplication>
#include <QKeyEvent>

const QEvent::Type TCustomDBGridEh::kDeferredLayoutEvent = QEvent::Type(QEvent::User + 100);

// ---------------------------------------------------------------------------------------------
// Locks and the layout pass

void TCustomDBGridEh::BeginUpdate()
{
    ++fUpdateLock;
}

void TCustomDBGridEh::EndUpdate()
{
    if (fUpdateLock == 0)
        return;
    if (--fUpdateLock > 0)
        return;
    if (fLayoutState.Contains(lsResizePending)) {
        fLayoutState.Exclude(lsResizePending);
        GridResized();
    }
    if (fLayoutState.Contains(lsLayoutPending)) {
        fLayoutState.Exclude(lsLayoutPending);
        RequestLayout();
    }
    InvalidateGrid();
}

void TCustomDBGridEh::BeginLayout()
{
    if (fLayoutLock++ == 0)
        fColumns->BeginUpdate();
}

void TCustomDBGridEh::EndLayout()
{
    if (fLayoutLock == 0)
        return;
    TScopeExit release([this] {
        if (fLayoutLock == 1 && fColumns)
            fColumns->EndUpdate();
        --fLayoutLock;
    });
    if (fLayoutLock == 1) {
        if (fUpdateLock > 0)
            fLayoutState.Include(lsLayoutPending);
        else
            RebuildLayout();
    }
}

void TCustomDBGridEh::RequestLayout()
{
    if (fLayoutState.Contains(lsLoading))
        return;
    if (fUpdateLock > 0) {
        fLayoutState.Include(lsLayoutPending);
        return;
    }
    if (fLayoutLock > 0)
        return;
    BeginLayout();
    EndLayout();
}

void TCustomDBGridEh::PostDeferredLayout()
{
    if (fLayoutState.Contains(lsDeferredLayoutPosted))
        return;
    fLayoutState.Include(lsDeferredLayoutPosted);
    QCoreApplication::postEvent(this, new QEvent(kDeferredLayoutEvent));
}

bool TCustomDBGridEh::event(QEvent* event)
{
    if (event->type() == QEvent::ShortcutOverride) {
        // Keys the grid handles itself are no window's shortcuts while it has the focus.
        auto* key = static_cast<QKeyEvent*>(event);
        if (ClaimsKey(key->key(), key->modifiers() & ~Qt::KeypadModifier)) {
            event->accept();
            return true;
        }
    }
    if (event->type() == QEvent::KeyPress) {
        // With dgTabs Tab moves between columns instead of to the next control.
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) && fOptions.Contains(dgTabs)
            && !key->modifiers().testFlag(Qt::AltModifier)) {
            keyPressEvent(key);
            return true;
        }
    }
    if (event->type() == kDeferredLayoutEvent) {
        fLayoutState.Exclude(lsDeferredLayoutPosted);
        // Under a lock the request waits for the lock's end instead of circling the queue.
        if (fUpdateLock > 0)
            fLayoutState.Include(lsLayoutPending);
        else if (fLayoutLock == 0)
            RequestLayout();
        return true;
    }
    return TCustomGridEh::event(event);
}

void TCustomDBGridEh::BeginLoading()
{
    fLayoutState.Include(lsLoading);
}

void TCustomDBGridEh::EndLoading()
{
    if (!fLayoutState.Contains(lsLoading))
        return;
    fLayoutState.Exclude(lsLoading);
    if (fAutoFitColWidths)
        for (int i = 0; i < fColumns->Count(); ++i)
            fColumns->Items(i)->SetBasisWidth(fColumns->Items(i)->Width());
    RequestLayout();
}

void TCustomDBGridEh::DefineFieldMap()
{
    if (fColumns->State() == csCustomized) {
        fDataLink->SetSparse(true);
        for (int i = 0; i < fColumns->Count(); ++i)
            fDataLink->AddMapping(fColumns->Items(i)->FieldName());
    } else {
        fDataLink->SetSparse(false);
        const TDataSet* ds = DataSet();
        for (int i = 0; i < ds->FieldCount(); ++i)
            if (ds->Field(i)->Visible)
                fDataLink->AddMapping(ds->Field(i)->FieldName());
    }
}

void TCustomDBGridEh::RebuildDefaultColumns()
{
    // One generated column per mapped field, in field order.
    std::vector<TField*> fields;
    if (fDataLink->Active())
        for (int i = 0; i < fDataLink->MapCount(); ++i)
            if (TField* f = fDataLink->Fields(i))
                fields.push_back(f);
    for (int i = fColumns->Count() - 1; i >= 0; --i) {
        TColumnEh* c = fColumns->Items(i);
        TField* f = fDataLink->Active() ? c->Field() : nullptr;
        if (!f || std::find(fields.begin(), fields.end(), f) == fields.end())
            fColumns->Delete(i);
    }
    for (int pos = 0; pos < int(fields.size()); ++pos) {
        int found = -1;
        for (int i = pos; i < fColumns->Count(); ++i)
            if (fColumns->Items(i)->Field() == fields[std::size_t(pos)]) {
                found = i;
                break;
            }
        if (found >= 0) {
            if (found != pos)
                fColumns->Items(found)->SetIndex(pos);
        } else {
            fColumns->InsertDefault(pos)->BindField(fields[std::size_t(pos)]);
        }
    }
    if (fields.empty() && fColumns->Count() == 0)
        fColumns->InsertDefault(0);
}

void TCustomDBGridEh::ComputeRowHeights()
{
    const TTextMetricEh m = CanvasTextMetrics(fFont);
    int inset = fFlat ? 1 : 3;
    if (fOptions.Contains(dgRowLines))
        inset += GridLineWidth();
    int height;
    if (fRowHeight > 0 || fRowLines > 0)
        height = fRowHeight + (m.Height + m.ExternalLeading) * fRowLines;
    else
        height = m.Height + inset;
    if (fOptionsEh.Contains(dghFitRowHeightToText) && m.Height > 0) {
        // A whole number of text lines: down when at most half a line is left over.
        const int text = std::max(0, height - inset);
        int lines = text / m.Height;
        const int rest = text % m.Height;
        if (!(rest <= m.Height / 2 && lines >= 1))
            ++lines;
        height = inset + lines * m.Height;
        fRowLines = lines;
        fRowHeight = inset;
    }
    const int titleHeight = RowCount() > 0 ? RowHeights(0) : 0;
    SetDefaultRowHeight(height);
    if (fTitleRowCount > 0)
        SetRowHeights(0, titleHeight);

    // Title row: the highest title font among all columns.
    if (fOptions.Contains(dgTitles)) {
        TTextMetricEh tallest = CanvasTextMetrics(fTitleFont);
        if (fColumns->Count() > 0) {
            tallest = TTextMetricEh();
            for (int i = 0; i < fColumns->Count(); ++i) {
                const TTextMetricEh t = CanvasTextMetrics(fColumns->Items(i)->Title()->Font());
                if (t.Height > tallest.Height)
                    tallest = t;
            }
        }
        fLastTitleHeight = tallest.Height + TitleTextPadding();
        SetRowHeights(0, fLastTitleHeight);
        if (fTitleHeight != 0 || fTitleLines != 0) {
            int h = fTitleLines * tallest.Height + tallest.ExternalLeading + 2 + fTitleHeight;
            if (fOptions.Contains(dgRowLines))
                h += 1;
            fLastTitleHeight = h;
        }
    }
}

void TCustomDBGridEh::RebuildLayout()
{
    if (fLayoutState.Contains(lsLoading))
        return;
    QCoreApplication::removePostedEvents(this, kDeferredLayoutEvent);
    fLayoutState.Exclude(lsDeferredLayoutPosted);
    fLayoutState.Include(lsInLayout);
    TScopeExit done([this] { fLayoutState.Exclude(lsInLayout); });

    fIndicatorOffset = fOptions.Contains(dgIndicator) ? 1 : 0;
    fDataLink->ClearMapping();
    if (fDataLink->Active())
        DefineFieldMap();

    if (fColumns->State() == csCustomized) {
        for (int i = 0; i < fColumns->Count(); ++i)
            fColumns->Items(i)->BindField(nullptr);
    } else {
        RebuildDefaultColumns();
    }

    fVisibleColumns.Clear();
    for (int i = 0; i < fColumns->Count(); ++i)
        if (fColumns->Items(i)->Visible())
            fVisibleColumns.Add(fColumns->Items(i));

    SetColCount(std::max(1, fColumns->Count() + fIndicatorOffset));
    std::vector<bool> columnVisible;
    columnVisible.reserve(std::size_t(fColumns->Count()));
    for (int i = 0; i < fColumns->Count(); ++i)
        columnVisible.push_back(fColumns->Items(i)->Visible());
    SetFixedCols(FixedColCountEh(columnVisible, fIndicatorOffset, fFrozenCols, ColCount()));

    fTitleRowCount = fOptions.Contains(dgTitles) ? 1 : 0;
    if (RowCount() <= fTitleRowCount)
        SetRowCount(fTitleRowCount + 1);
    ComputeRowHeights();

    const bool horz = !fAutoFitColWidths && fHorzScrollBar->Visible() && !fHorzScrollBar->ExtScrollBar();
    SetScrollBars(horz ? ssHorizontal : ssNone);

    ApplyColumnWidths();
    if (fAutoFitColWidths && HandleAllocated())
        AutoFit();
    if (fOptions.Contains(dgTitles) && (fTitleHeight != 0 || fTitleLines != 0))
        SetRowHeights(0, fLastTitleHeight);
    ApplyColumnWidths();

    const int left = LeftCol();
    RecountRows();
    if (fOptions.Contains(dgRowSelect))
        SetLeftCol(left);
    SyncCurrentRow();
    if (Col() < FixedCols() || Col() >= ColCount())
        FocusCell(FixedCols(), Row(), false);
    // The page of the bar is the number of rows just counted (its visibility cannot change with
    // it: any two records show the bar).
    RefreshVertScrollBar();
    InvalidateGrid();
    fSelection->Refresh();
}

void TCustomDBGridEh::ApplyColumnWidths()
{
    const TDataSet* ds = DataSet();
    const bool open = ds && ds->Active();
    for (int i = 0; i < fColumns->Count() && i + fIndicatorOffset < ColCount(); ++i) {
        TColumnEh* c = fColumns->Items(i);
        const int raw = i + fIndicatorOffset;
        SetColWidths(raw, c->Visible() ? c->Width() : (fOptions.Contains(dgColLines) ? -1 : 0));
        bool tabStop = c->Visible() && !c->ReadOnly() && open;
        if (tabStop) {
            const TField* f = c->Field();
            tabStop = f && f->FieldKind != fkCalculated && !f->ReadOnly();
            if (tabStop && f->FieldKind == fkLookup) {
                // A lookup field is read-only when all of its key fields are.
                bool allReadOnly = true;
                for (const QString& key : f->KeyFields.split(u';', Qt::SkipEmptyParts)) {
                    const TField* k = ds->FieldNamed(key.trimmed());
                    if (k && !k->ReadOnly())
                        allReadOnly = false;
                }
                tabStop = !allReadOnly;
            }
        }
        SetTabStops(raw, tabStop);
    }
    if (fIndicatorOffset > 0) {
        SetColWidths(0, fIndicatorWidth);
        SetTabStops(0, false);
    }
}

void TCustomDBGridEh::AutoFit()
{
    TAutoFitParamsEh p;
    p.MinAutoFitWidth = fMinAutoFitWidth;
    p.Indicator = fOptions.Contains(dgIndicator);
    p.IndicatorWidth = fIndicatorWidth;
    p.ColLines = fOptions.Contains(dgColLines);
    AutoFitColumnsEh(fVisibleColumns, p, [this] {
        RefreshVertScrollBar();
        return ClientWidth();
    });
}

// ---------------------------------------------------------------------------------------------
// Column changes, user sizing and moving

void TCustomDBGridEh::ColumnsChanged(TColumnEh* item)
{
    if (fLayoutState.Contains(lsLoading))
        return;
    if (!item) {
        RequestLayout();
        return;
    }
    const int index = item->Index();
    const int raw = DataToRawColumn(index);
    if (index < 0 || raw >= ColCount()) {
        RequestLayout();
        return;
    }
    const int gridWidth = ColWidths(raw);
    if (item->Visible() && gridWidth != -1 && gridWidth != item->Width()) {
        if (!fAutoFitColWidths) {
            // The grid column follows at once; this is no user sizing to apply.
            fLayoutState.Include(lsSettingColumnWidth);
            TScopeExit end([this] { fLayoutState.Exclude(lsSettingColumnWidth); });
            SetColWidths(raw, item->Width());
        } else {
            // The width asked for scales the column's share; its right neighbour gives or takes
            // the difference, so the others keep theirs.
            const int old = item->BasisWidth();
            const int basis = gridWidth > 0 ? MulDiv(old, item->Width(), gridWidth) : item->Width();
            item->SetBasisWidth(basis);
            if (index + 1 < fColumns->Count()) {
                TColumnEh* next = fColumns->Items(index + 1);
                next->SetBasisWidth(std::max(0, next->BasisWidth() + old - basis));
            }
            RequestLayout();
        }
    }
    InvalidateColumn(item);
}

void TCustomDBGridEh::ColumnDeleting(TColumnEh* column)
{
    fVisibleColumns.Remove(column);
    fSortMarkedColumns.Remove(column);
}

void TCustomDBGridEh::InvalidateColumn(TColumnEh* column)
{
    const int raw = DataToRawColumn(column->Index());
    if (raw >= 0 && raw < ColCount())
        InvalidateCol(raw);
}

void TCustomDBGridEh::ColWidthsChanged()
{
    if (!fLayoutState.Contains(lsSettingColumnWidth))
        ApplyUserColWidths();
}

void TCustomDBGridEh::ApplyUserColWidths()
{
    const TDataSet* ds = DataSet();
    if (!((ds && ds->Active()) || fColumns->State() == csCustomized))
        return;
    if (fUpdateLock > 0 || fLayoutLock > 0)
        return;
    BeginLayout();
    {
        TScopeExit end([this] { EndLayout(); });
        // Limits first: a width outside a column's range is brought back into it.
        for (int i = 0; i < fColumns->Count() && i + fIndicatorOffset < ColCount(); ++i) {
            const TColumnEh* c = fColumns->Items(i);
            const int raw = i + fIndicatorOffset;
            int w = ColWidths(raw);
            if (w < 0)
                continue;
            if (c->MaxWidth() > 0 && w > c->MaxWidth())
                w = c->MaxWidth();
            if (c->MinWidth() > 0 && w < c->MinWidth())
                w = c->MinWidth();
            SetColWidths(raw, w);
        }
        for (int v = 0; v < fVisibleColumns.Count(); ++v) {
            TColumnEh* c = fVisibleColumns[v];
            const int raw = DataToRawColumn(c->Index());
            if (raw < 0 || raw >= ColCount())
                continue;
            const int gridWidth = ColWidths(raw);
            const int width = c->Width();
            if (gridWidth == width)
                continue;
            if (!fAutoFitColWidths) {
                c->SetWidth(gridWidth);
            } else if (!c->AutoFitColWidth()) {
                c->SetWidth(gridWidth);
            } else if (!fOptionsEh.Contains(dghResizeWholeRightPart)) {
                const int old = c->BasisWidth();
                const int basis = MulDiv(old, gridWidth, width);
                c->SetBasisWidth(basis);
                if (v + 1 < fVisibleColumns.Count()) {
                    TColumnEh* next = fVisibleColumns[v + 1];
                    next->SetBasisWidth(std::max(0, next->BasisWidth() + old - basis));
                }
            } else {
                c->SetBasisWidth(MulDiv(c->BasisWidth(), gridWidth, width));
                int sum = 0;
                for (int k = v + 1; k < fVisibleColumns.Count(); ++k)
                    if (fVisibleColumns[k]->AutoFitColWidth())
                        sum += fVisibleColumns[k]->Width();
                if (sum > 0)
                    for (int k = v + 1; k < fVisibleColumns.Count(); ++k) {
                        TColumnEh* r = fVisibleColumns[k];
                        if (r->AutoFitColWidth())
                            r->SetBasisWidth(std::max(1, MulDiv(r->BasisWidth(), sum + width - gridWidth, sum)));
                    }
            }
        }
    }
    if (OnColWidthsChanged)
        OnColWidthsChanged(this);
}

bool TCustomDBGridEh::BeginColumnDrag(int& origin, int& destination, const QPoint& pos)
{
    if (origin < fIndicatorOffset || !TCustomGridEh::BeginColumnDrag(origin, destination, pos))
        return false;
    viewport()->repaint(); // paint what is pending before the marker goes on top
    return true;
}

bool TCustomDBGridEh::CheckColumnDrag(int& origin, int& destination, const QPoint& pos)
{
    return destination >= fIndicatorOffset && TCustomGridEh::CheckColumnDrag(origin, destination, pos);
}

void TCustomDBGridEh::ColumnMoved(int fromIndex, int toIndex)
{
    ApplyColumnMove(fromIndex, toIndex);
}

void TCustomDBGridEh::ApplyColumnMove(int fromIndex, int toIndex)
{
    const int from = RawToDataColumn(fromIndex);
    const int to = RawToDataColumn(toIndex);
    if (from < 0 || from >= fColumns->Count() || to < 0 || to >= fColumns->Count())
        return;
    BeginLayout();
    TScopeExit end([this] { EndLayout(); });
    fColumns->Items(from)->SetIndex(to);
    if (OnColumnMoved)
        OnColumnMoved(this, from, to);
}

void TCustomDBGridEh::OptimizeColWidth(TColumnEh* column)
{
    // Title and the records in the window: the measure never walks the record set.
    int width = TextWidthEh(column->Title()->Font().ToQFont(), column->Title()->Caption()) + 4;
    width += SortMarkerAreaWidth(column);
    if (fDataLink->Active()) {
        const QFont f = column->Font().ToQFont();
        for (int i = 0; i < fDataLink->RecordCount(); ++i) {
            BeginReadRow(i);
            TScopeExit end([this] { EndReadRow(); });
            width = std::max(width, TextWidthEh(f, column->CellDisplayText()) + 4);
        }
    }
    column->SetWidth(width);
}
