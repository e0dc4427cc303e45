#include "TCustomDBGridEh.h"

#include "TDBGridEhDataService.h"
#include "TScopeExit.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOption>

const QEvent::Type TCustomDBGridEh::kDeferredLayoutEvent = QEvent::Type(QEvent::User + 100);

namespace {

// The quote key's letter on the Russian layout (Qt names letter keys by their capital).
constexpr int kKeyCyrillicE = 0x042D;

} // namespace

TCustomDBGridEh::TCustomDBGridEh(QWidget* parent) : TCustomGridEh(parent)
{
    EnsureTahomaEh();
    fDataLink = std::make_unique<TGridDataLinkEh>(this);
    fColumns = std::make_unique<TDBGridColumnsEh>(this);
    fColumnDefValues = std::make_unique<TDBGridEhColumnDefValuesEh>(this);
    fSelection = std::make_unique<TDBGridEhSelection>(this);
    fVertScrollBar = std::make_unique<TVertDBGridEhScrollBar>(this);
    fHorzScrollBar = std::make_unique<TDBGridEhScrollBar>(this, Qt::Horizontal);
    fStyle = &DBGridEhStyle();

    fFont = TFontEh::FromPoints(QStringLiteral("Tahoma"), 8);
    fTitleFont = fFont;
    fFooterFont = fFont;
    fOptions = {dgEditing, dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs,
                dgConfirmDelete, dgCancelOnExit};
    fOptionsEh = {dghFixed3D, dghHighlightFocus, dghClearSelection, dghDialogFind};
    fAllowedOperations = {alopInsertEh, alopUpdateEh, alopDeleteEh, alopAppendEh};
    fAllowedSelections = {gstRecordBookmarks, gstRectangle, gstColumns, gstAll};
    OptionsToGridOptions();
    SetScrollBars(ssHorizontal);
    RequestLayout();
    connect(&fDragTimer, &QTimer::timeout, this, [this] { AutoScrollStep(); });
}

TCustomDBGridEh::~TCustomDBGridEh()
{
    fLoading = true;  // nothing more is laid out or reported
    fDataLink->SetDataSource(nullptr);
    fColumns.reset();
}

// ---------------------------------------------------------------------------------------------
// Data

TDataSource* TCustomDBGridEh::DataSource() const
{
    return fDataLink->DataSource();
}

void TCustomDBGridEh::SetDataSource(TDataSource* value)
{
    if (value == fDataLink->DataSource())
        return;
    const bool wasActive = fDataLink->Active();
    fDataLink->SetDataSource(value);
    // The link reports a change of its open state; otherwise the new source still needs a layout.
    if (wasActive == fDataLink->Active())
        LinkActiveChanged(fDataLink->Active());
}

void TCustomDBGridEh::SetSelection(std::unique_ptr<TDBGridEhSelection> selection)
{
    if (selection)
        fSelection = std::move(selection);
}

TColumnEh* TCustomDBGridEh::ColumnAt(int rawCol) const
{
    const int i = RawToDataColumn(rawCol);
    if (i < 0 || i >= fColumns->Count())
        return nullptr;
    return fColumns->Items(i);
}

// ---------------------------------------------------------------------------------------------
// Options and settings

void TCustomDBGridEh::OptionsToGridOptions()
{
    TGridOptionsEh base;
    if (fOptions.Contains(dgColLines))
        base.Include(goFixedVertLine).Include(goVertLine);
    if (fOptions.Contains(dgRowLines))
        base.Include(goFixedHorzLine).Include(goHorzLine);
    if (fOptions.Contains(dgColumnResize))
        base.Include(goColSizing).Include(goColMoving);
    if (fOptions.Contains(dgTabs))
        base.Include(goTabs);
    if (fOptions.Contains(dgRowSelect)) {
        base.Include(goRowSelect);
    } else {
        if (fOptions.Contains(dgEditing))
            base.Include(goEditing);
        if (fOptions.Contains(dgAlwaysShowEditor))
            base.Include(goAlwaysShowEditor);
    }
    if (fRowSizingAllowed)
        base.Include(goRowSizing);
    SetGridOptions(base);
}

void TCustomDBGridEh::SetOptions(TDBGridOptions value)
{
    if (value == fOptions)
        return;
    const TDBGridOptions changed = (value - fOptions) + (fOptions - value);
    fOptions = value;
    OptionsToGridOptions();
    const TDBGridOptions layoutOptions = {dgEditing, dgAlwaysShowEditor, dgTitles, dgIndicator, dgColLines,
                                          dgRowLines, dgRowSelect, dgAlwaysShowSelection};
    if (!(changed * layoutOptions).IsEmpty())
        RequestLayout();
    else
        InvalidateGrid();
}

void TCustomDBGridEh::SetOptionsEh(TDBGridEhOptions value)
{
    if (value == fOptionsEh)
        return;
    if (fOptionsEh.Contains(dghMultiSortMarking) && !value.Contains(dghMultiSortMarking)) {
        // One marked column is all a single-sort grid shows: the first keeps its marker.
        std::vector<TColumnEh*> rest;
        for (int i = 1; i < fSortMarkedColumns.Count(); ++i)
            rest.push_back(fSortMarkedColumns[i]);
        for (TColumnEh* c : rest)
            c->Title()->SetSortMarker(smNoneEh);
        while (fSortMarkedColumns.Count() > 1)  // inside a column update only the markers changed
            fSortMarkedColumns.Delete(fSortMarkedColumns.Count() - 1);
    }
    fOptionsEh = value;
    RequestLayout();
}

void TCustomDBGridEh::SetAllowedSelections(TDBGridEhAllowedSelections value)
{
    fAllowedSelections = value;
    const TDBGridEhSelectionType kind = fSelection->SelectionType();
    if (kind != gstNon && !value.Contains(kind))
        fSelection->Clear();
}

void TCustomDBGridEh::SetAutoFitColWidths(bool value)
{
    if (value == fAutoFitColWidths)
        return;
    fAutoFitColWidths = value;
    if (fLoading) {
        if (value) {
            SetScrollBars(ssNone);
            SetLeftCol(FixedCols());
        }
        return;
    }
    BeginLayout();
    TScopeExit end([this] { EndLayout(); });
    if (value) {
        for (int i = 0; i < fColumns->Count(); ++i)
            fColumns->Items(i)->SetBasisWidth(fColumns->Items(i)->Width());
        SetScrollBars(ssNone);
        SetLeftCol(FixedCols());
    } else {
        // The widths asked for come back.
        for (int i = 0; i < fColumns->Count(); ++i)
            fColumns->Items(i)->SetWidth(fColumns->Items(i)->BasisWidth());
        SetScrollBars(ssHorizontal);
    }
}

void TCustomDBGridEh::SetMinAutoFitWidth(int value)
{
    if (value == fMinAutoFitWidth)
        return;
    fMinAutoFitWidth = value;
    RequestLayout();
}

void TCustomDBGridEh::SetFrozenCols(int value)
{
    if (value == fFrozenCols)
        return;
    fFrozenCols = std::max(0, value);
    RequestLayout();
}

void TCustomDBGridEh::SetRowHeight(int value)
{
    if (value == fRowHeight)
        return;
    fRowHeight = value;
    RequestLayout();
}

void TCustomDBGridEh::SetRowLines(int value)
{
    if (value == fRowLines)
        return;
    fRowLines = value;
    RequestLayout();
}

void TCustomDBGridEh::SetTitleHeight(int value)
{
    if (value == fTitleHeight)
        return;
    fTitleHeight = value;
    RequestLayout();
}

void TCustomDBGridEh::SetTitleLines(int value)
{
    if (value == fTitleLines)
        return;
    fTitleLines = value;
    RequestLayout();
}

void TCustomDBGridEh::SetRowSizingAllowed(bool value)
{
    if (value == fRowSizingAllowed)
        return;
    fRowSizingAllowed = value;
    OptionsToGridOptions();
}

void TCustomDBGridEh::SetUseMultiTitle(bool value)
{
    if (value == fUseMultiTitle)
        return;
    fUseMultiTitle = value;
    RequestLayout();
}

void TCustomDBGridEh::SetFlat(bool value)
{
    if (value == fFlat)
        return;
    fFlat = value;
    RequestLayout();
}

void TCustomDBGridEh::SetColor(TColor value)
{
    if (value == fColor)
        return;
    fColor = value;
    InvalidateGrid();
}

void TCustomDBGridEh::SetFixedColor(TColor value)
{
    if (value == fFixedColor)
        return;
    fFixedColor = value;
    InvalidateGrid();
}

void TCustomDBGridEh::SetEvenRowColor(TColor value)
{
    fEvenRowColor = value;
    fEvenRowColorSet = true;
    InvalidateGrid();
}

void TCustomDBGridEh::SetOddRowColor(TColor value)
{
    fOddRowColor = value;
    fOddRowColorSet = true;
    InvalidateGrid();
}

void TCustomDBGridEh::SetFont(const TFontEh& value)
{
    if (value == fFont)
        return;
    fFont = value;
    RequestLayout();
}

void TCustomDBGridEh::SetTitleFont(const TFontEh& value)
{
    if (value == fTitleFont)
        return;
    fTitleFont = value;
    RequestLayout();
}

void TCustomDBGridEh::SetFooterFont(const TFontEh& value)
{
    fFooterFont = value;
    InvalidateGrid();
}

void TCustomDBGridEh::SetFooterColor(TColor value)
{
    fFooterColor = value;
    InvalidateGrid();
}

void TCustomDBGridEh::SetFooterRowCount(int value)
{
    value = std::max(0, value);
    if (value == fFooterRowCount)
        return;
    fFooterRowCount = value;
    RequestLayout();
}

void TCustomDBGridEh::SetDrawMemoText(bool value)
{
    fDrawMemoText = value;
    InvalidateGrid();
}

void TCustomDBGridEh::SetReadOnly(bool value)
{
    if (value == fReadOnly)
        return;
    fReadOnly = value;
    RequestLayout();
}

void TCustomDBGridEh::SetTitleImages(TImageListEh* value)
{
    if (value == fTitleImages)
        return;
    fTitleImages = value;
    RequestLayout();
}

TTextMetricEh TCustomDBGridEh::CanvasTextMetrics(const TFontEh& font) const
{
    return TextMetricsEh(font.ToQFont());
}

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
    if (fResizePending) {
        fResizePending = false;
        GridResized();
    }
    if (fLayoutPending) {
        fLayoutPending = false;
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
            fLayoutPending = true;
        else
            RebuildLayout();
    }
}

void TCustomDBGridEh::RequestLayout()
{
    if (fLoading)
        return;
    if (fUpdateLock > 0) {
        fLayoutPending = true;
        return;
    }
    if (fLayoutLock > 0)
        return;
    BeginLayout();
    EndLayout();
}

void TCustomDBGridEh::PostDeferredLayout()
{
    if (fDeferredLayoutPosted)
        return;
    fDeferredLayoutPosted = true;
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
        fDeferredLayoutPosted = false;
        // Under a lock the request waits for the lock's end instead of circling the queue.
        if (fUpdateLock > 0)
            fLayoutPending = true;
        else if (fLayoutLock == 0)
            RequestLayout();
        return true;
    }
    return TCustomGridEh::event(event);
}

void TCustomDBGridEh::BeginLoading()
{
    fLoading = true;
}

void TCustomDBGridEh::EndLoading()
{
    if (!fLoading)
        return;
    fLoading = false;
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
    if (fLoading)
        return;
    QCoreApplication::removePostedEvents(this, kDeferredLayoutEvent);
    fDeferredLayoutPosted = false;
    fInLayout = true;
    TScopeExit done([this] { fInLayout = false; });

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
    int fixedCols = fIndicatorOffset + fFrozenCols;
    {
        // Hidden columns among the frozen ones and right after them stay fixed too.
        int frozenSeen = 0;
        for (int i = 0; i < fColumns->Count(); ++i) {
            const bool visible = fColumns->Items(i)->Visible();
            if (visible && frozenSeen >= fFrozenCols)
                break;
            if (visible)
                ++frozenSeen;
            else
                ++fixedCols;
        }
    }
    if (fVisibleColumns.Count() == 0)
        --fixedCols;
    fixedCols = std::clamp(fixedCols, 0, ColCount() - 1);
    SetFixedCols(fixedCols);

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
    if (fLoading)
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
            fSettingColumnWidth = true;
            TScopeExit end([this] { fSettingColumnWidth = false; });
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
    if (!fSettingColumnWidth)
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
    viewport()->repaint();  // paint what is pending before the marker goes on top
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
    if (!fDataLink->Active() || !HandleAllocated() || fLoading)
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
        applied.Max = applied.Min;  // the grid's own bar has nothing to show

    // Window-system state: the bar and what it shows; only a difference is applied.
    QScrollBar* vb = verticalScrollBar();
    const bool unchanged = applied == fVertInfo && mode == fVertAppliedMode && fVertApplied
        && vb->value() == std::clamp(applied.Pos, vb->minimum(), vb->maximum());
    if (!unchanged) {
        fVertInfo = applied;
        fVertAppliedMode = mode;
        fVertApplied = true;
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
        vb->setRange(applied.Min, qtMax);
        vb->setPageStep(std::max(1, applied.Page));
        vb->setSingleStep(1);
        vb->setValue(applied.Pos);
        vb->setSliderPosition(vb->value());
        vb->setEnabled(enabled);
        ShowVertScrollBar(shown);
    }
    fVertExtInfo = si;
    if (ext) {
        const QSignalBlocker block(ext);
        const int qtMax = std::max(si.Min, si.Page > 0 ? si.Max - si.Page + 1 : si.Max);
        ext->setRange(std::min(si.Min, qtMax), qtMax);
        ext->setPageStep(std::max(1, si.Page));
        ext->setValue(si.Pos);
        ext->setSliderPosition(ext->value());
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
            case 0: ds->MoveFirst(); break;
            case 1: ds->MoveRelative(-VisibleDataRowCount()); break;
            case 3: ds->MoveRelative(VisibleDataRowCount()); break;
            case 4: ds->MoveLast(); break;
            default: break;
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
    case QAbstractSlider::SliderSingleStepSub: VertScroll(saLineUp); break;
    case QAbstractSlider::SliderSingleStepAdd: VertScroll(saLineDown); break;
    case QAbstractSlider::SliderPageStepSub: VertScroll(saPageUp); break;
    case QAbstractSlider::SliderPageStepAdd: VertScroll(saPageDown); break;
    case QAbstractSlider::SliderToMinimum: VertScroll(saTop); break;
    case QAbstractSlider::SliderToMaximum: VertScroll(saBottom); break;
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
    if (action == QAbstractSlider::SliderMove && vb->isSliderDown())
        return;  // the thumb stays where it is dragged
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
    vb->setSliderPosition(vb->value());
}

void TCustomDBGridEh::UpdateVertScrollRange()
{
    // The vertical bar follows the record set (RefreshVertScrollBar), not the cells.
}

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
        fResizePending = true;
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
    if (fLoading)
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
    if (!HandleAllocated() || fLoading)
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
    const TGridAxisEh v = VertAxis();
    const int y = v.CellStart(row);
    if (y < 0 || row >= RowCount())
        return {};
    return QRect(0, y, ClientWidth(), v.Pitch(row));
}

void TCustomDBGridEh::LinkScrolled(int distance)
{
    if (!HandleAllocated() || fLoading)
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
            const TGridAxisEh v = VertAxis();
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

// ---------------------------------------------------------------------------------------------
// Column selection and text search

void TCustomDBGridEh::SelectColumn(int target, int skip)
{
    LinkUpdateData();
    const int last = ColCount() - 1;
    target = std::clamp(target, fIndicatorOffset, std::max(fIndicatorOffset, last));
    if (skip != 0) {
        while (target >= fIndicatorOffset && target <= last && ColWidths(target) < 1)
            target += skip;
        if (target < fIndicatorOffset || target > last)
            return;
    }
    if (target == Col())
        return;
    if (OnColExit && !fInColExit) {
        const int before = Col();
        fInColExit = true;
        TScopeExit done([this] { fInColExit = false; });
        OnColExit(this);
        if (Col() != before)
            return;  // the handler chose a column itself
    }
    FocusCell(target, Row(), !fOptions.Contains(dgRowSelect));
    if (OnColEnter)
        OnColEnter(this);
}

void TCustomDBGridEh::OpenFindDialog(const QString& text, const QString& fieldName, bool modal)
{
    TDataServiceEh::Instance().ExecuteFindDialog(this, text, fieldName, modal);
}

bool TCustomDBGridEh::SearchGridText(const QString& fieldName, TTextSearchTreeRangeEh treeRange,
                                     TTextSearchMatchEh matching, TTextSearchDirectionEh direction,
                                     TTextSearchOptionsEh options, const QString& text)
{
    return TDataServiceEh::Instance().LocateText(this, fieldName, text, options, direction, matching, treeRange);
}

// ---------------------------------------------------------------------------------------------
// Keyboard navigation

bool TCustomDBGridEh::CursorOpen() const
{
    const TDataSet* ds = DataSet();
    return ds && ds->Active() && fDataLink->Active();
}

void TCustomDBGridEh::PaintNow()
{
    if (fUpdateLock > 0 || !isVisible())
        return;
    // What the move invalidated is painted before the next input is read.
    QCoreApplication::sendPostedEvents(window(), QEvent::UpdateRequest);
}

void TCustomDBGridEh::ClearSelectionIfAllowed()
{
    if (fOptionsEh.Contains(dghClearSelection) && fSelection->SelectionType() != gstNon)
        fSelection->Clear();
}

void TCustomDBGridEh::MoveRows(bool /*extend*/, int distance, bool /*rowMode*/, bool toEnd)
{
    // Extending a selection on the way needs dgMultiSelect, which this grid's users leave off.
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (toEnd) {
        if (distance < 0)
            ds->MoveFirst();
        else
            ds->MoveLast();
    } else if (distance != 0) {
        ds->MoveRelative(distance);
    }
    PaintNow();
}

bool TCustomDBGridEh::NewRecordAtEnd() const
{
    // The pending new record is the window's last and nothing follows the window.
    const TDataSet* ds = DataSet();
    const int inWindow = fDataLink->RecordCount();
    return fDataLink->ActiveRecord() == inWindow - 1 && fDataLink->FirstRecord() + inWindow == ds->RecordCount() + 1;
}

void TCustomDBGridEh::StepDown(bool extend)
{
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (ds->CursorState() == dsInsert && !ds->Modified()) {
        if (!NewRecordAtEnd())
            ds->Cancel();
        return;
    }
    MoveRows(extend, 1, false, false);
    if (ds->AtEnd() && ds->CanModify() && !fReadOnly && fOptions.Contains(dgEditing)
        && fAllowedOperations.Contains(alopAppendEh))
        ds->Append();
}

void TCustomDBGridEh::StepUp(bool extend)
{
    if (!CursorOpen())
        return;
    TDataSet* ds = DataSet();
    if (ds->CursorState() == dsInsert && !ds->Modified() && NewRecordAtEnd()) {
        ds->Cancel();
        return;
    }
    MoveRows(extend, -1, false, false);
}

void TCustomDBGridEh::TabToColumn(bool forward)
{
    ClearSelectionIfAllowed();
    const int start = Col();
    const int last = ColCount() - 1;
    int c = start;
    for (;;) {
        if (forward) {
            if (++c > last) {
                StepDown();
                c = fIndicatorOffset;
            }
        } else if (--c < fIndicatorOffset) {
            StepUp();
            c = last;
        }
        if (c == start)
            return;  // round once: no other column takes the tab
        if (TabStops(c)) {
            SelectColumn(c, 0);
            return;
        }
    }
}

bool TCustomDBGridEh::ConfirmDeletion()
{
    const int marked = fSelection->Rows().Count();
    if (!fOptions.Contains(dgConfirmDelete))
        return true;
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"),
                    marked < 2 ? QStringLiteral("Delete record?") : QStringLiteral("Delete all selected records?"),
                    QMessageBox::Ok | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Ok);
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() != QMessageBox::Cancel;
}

namespace {
TCustomDBGridEh::TEditActionHandlerEh& EditActionHandler()
{
    static TCustomDBGridEh::TEditActionHandlerEh handler;
    return handler;
}
} // namespace

void TCustomDBGridEh::SetEditActionHandler(TEditActionHandlerEh handler)
{
    EditActionHandler() = std::move(handler);
}

bool TCustomDBGridEh::SelectionCanBeDeleted() const
{
    const TDataSet* ds = DataSet();
    if (!fDataLink->Active() || !ds || ds->HasNoRows() || !ds->CanModify() || fReadOnly)
        return false;
    switch (fSelection->SelectionType()) {
    case gstRecordBookmarks: case gstAll:
        return fAllowedOperations.Contains(alopDeleteEh);
    case gstRectangle: case gstColumns:
        return fAllowedOperations.Contains(alopUpdateEh);
    case gstNon:
        break;
    }
    return false;
}

bool TCustomDBGridEh::EditActionKey(int key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    const bool withShift = shift.testFlag(Qt::ShiftModifier);
    const bool ctrlOnly = ctrl && !withShift;
    const bool shiftOnly = withShift && !ctrl;
    std::optional<TDBGridEhEditAction> action;
    if (ctrlOnly && (key == Qt::Key_C || key == Qt::Key_Insert))
        action = geaCopyEh;
    else if ((ctrlOnly && key == Qt::Key_X) || (shiftOnly && key == Qt::Key_Delete))
        action = geaCutEh;
    else if ((ctrlOnly && key == Qt::Key_V) || (shiftOnly && key == Qt::Key_Insert))
        action = geaPasteEh;
    else if (ctrlOnly && key == Qt::Key_A)
        action = geaSelectAllEh;
    if (!action || !fEditActions.Contains(*action))
        return false;
    switch (*action) {
    case geaSelectAllEh:
        fSelection->SelectAll();
        return true;
    case geaCopyEh: case geaCutEh:
        // Without a selection there is nothing to copy.
        if (fSelection->SelectionType() == gstNon)
            return true;
        break;
    default:
        break;
    }
    if (EditActionHandler())
        EditActionHandler()(this, *action);
    return true;
}

void TCustomDBGridEh::DeleteWithConfirmation()
{
    TDataSet* ds = DataSet();
    if (fEditActions.Contains(geaDeleteEh) && fSelection->SelectionType() != gstNon && SelectionCanBeDeleted()
        && EditActionHandler()) {
        EditActionHandler()(this, geaDeleteEh);
        return;
    }
    if (fReadOnly || ds->HasNoRows() || !ds->CanModify() || !fAllowedOperations.Contains(alopDeleteEh))
        return;
    if (!ConfirmDeletion())
        return;
    const TBookmarkListEh& rows = fSelection->Rows();
    if (rows.Count() == 0) {
        ds->Delete();
        return;
    }
    // Every listed record, from the last to the first, with one resynchronisation at the end.
    ds->SuspendNotify();
    TScopeExit resume([ds] { ds->ResumeNotify(); });
    std::vector<QByteArray> listed;
    for (int i = 0; i < rows.Count(); ++i)
        listed.push_back(rows.Items(i));
    for (auto it = listed.rbegin(); it != listed.rend(); ++it)
        if (ds->BookmarkValid(*it)) {
            ds->SetBookmark(*it);
            ds->Delete();
        }
    fSelection->Clear();
}

void TCustomDBGridEh::CopyFromRecordAbove()
{
    const int active = fDataLink->ActiveRecord();
    TColumnEh* column = ColumnAt(Col());
    TField* field = column ? column->Field() : nullptr;
    TDataSet* ds = DataSet();
    if (active < 1 || !field || fReadOnly || column->ReadOnly() || field->ReadOnly() || !ds->CanModify()
        || !fAllowedOperations.Contains(alopUpdateEh))
        return;
    ds->Edit();
    QVariant above;
    {
        BeginReadRow(active - 1);
        TScopeExit end([this] { EndReadRow(); });
        above = field->Value();
    }
    field->SetValue(above);
    ClearSelectionIfAllowed();
}

bool TCustomDBGridEh::ClaimsKey(int key, Qt::KeyboardModifiers shift) const
{
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    switch (key) {
    case Qt::Key_Up: case Qt::Key_Down: case Qt::Key_Left: case Qt::Key_Right:
    case Qt::Key_PageUp: case Qt::Key_PageDown: case Qt::Key_Home: case Qt::Key_End:
        return true;
    case Qt::Key_Tab: case Qt::Key_Backtab:
        return fOptions.Contains(dgTabs) && !shift.testFlag(Qt::AltModifier);
    case Qt::Key_Delete:
        return ctrl;
    case Qt::Key_F:
        return ctrl && fOptionsEh.Contains(dghDialogFind);
    case Qt::Key_Apostrophe: case kKeyCyrillicE:
        return ctrl;
    default:
        return false;
    }
}

bool TCustomDBGridEh::KeyDownAction(int key, Qt::KeyboardModifiers shift)
{
    const bool ctrl = shift.testFlag(Qt::ControlModifier);
    const bool withShift = shift.testFlag(Qt::ShiftModifier);
    if (isRightToLeft()) {
        if (key == Qt::Key_Left)
            key = Qt::Key_Right;
        else if (key == Qt::Key_Right)
            key = Qt::Key_Left;
    }
    const int firstDataCol = fIndicatorOffset;
    const int lastCol = ColCount() - 1;
    if (EditActionKey(key, shift))
        return true;
    if (ctrl) {
        switch (key) {
        case Qt::Key_Up: case Qt::Key_PageUp:
            if (!withShift)
                ClearSelectionIfAllowed();
            MoveRows(withShift, -fDataLink->ActiveRecord(), false, false);
            return true;
        case Qt::Key_Down: case Qt::Key_PageDown:
            if (!withShift)
                ClearSelectionIfAllowed();
            MoveRows(withShift, fDataLink->BufferCount() - fDataLink->ActiveRecord() - 1, false, false);
            return true;
        case Qt::Key_Home: case Qt::Key_End:
            if (!withShift)
                ClearSelectionIfAllowed();
            MoveRows(withShift, key == Qt::Key_Home ? -1 : 1, false, true);
            return true;
        case Qt::Key_Left:
            SelectColumn(firstDataCol, +1);
            return true;
        case Qt::Key_Right:
            SelectColumn(lastCol, -1);
            return true;
        case Qt::Key_Delete:
            DeleteWithConfirmation();
            return true;
        case Qt::Key_F:
            if (!fOptionsEh.Contains(dghDialogFind))
                return false;
            OpenFindDialog(QString(), QString(), true);
            return true;
        case Qt::Key_Apostrophe: case kKeyCyrillicE:  // the quote key, on either layout
            CopyFromRecordAbove();
            return true;
        default:
            break;
        }
    }
    switch (key) {
    case Qt::Key_Up: case Qt::Key_Down:
        if (!withShift)
            ClearSelectionIfAllowed();
        if (key == Qt::Key_Up)
            StepUp(withShift);
        else
            StepDown(withShift);
        return true;
    case Qt::Key_PageUp: case Qt::Key_PageDown:
        if (!withShift)
            ClearSelectionIfAllowed();
        MoveRows(withShift, key == Qt::Key_PageUp ? -VisibleDataRowCount() : VisibleDataRowCount(), false, false);
        return true;
    case Qt::Key_Left: case Qt::Key_Right:
        if (!withShift)
            ClearSelectionIfAllowed();
        if (key == Qt::Key_Left)
            SelectColumn(Col() - 1, -1);
        else
            SelectColumn(Col() + 1, +1);
        return true;
    case Qt::Key_Home: case Qt::Key_End:
        if (lastCol - firstDataCol + 1 == 1 || fOptions.Contains(dgRowSelect)) {
            if (!withShift)
                ClearSelectionIfAllowed();
            MoveRows(withShift, key == Qt::Key_Home ? -1 : 1, false, true);
        } else if (key == Qt::Key_Home) {
            SelectColumn(firstDataCol, +1);
        } else {
            SelectColumn(lastCol, -1);
        }
        return true;
    case Qt::Key_Tab: case Qt::Key_Backtab:
        if (!fOptions.Contains(dgTabs) || shift.testFlag(Qt::AltModifier))
            return false;
        TabToColumn(key == Qt::Key_Tab && !withShift);
        return true;
    case Qt::Key_Return: case Qt::Key_Enter:
        if (fOptionsEh.Contains(dghEnterAsTab)) {
            TabToColumn(!withShift);
            return true;
        }
        LinkUpdateData();
        return false;  // for the window's default button, where the window has one
    case Qt::Key_Escape:
        LinkReset();
        ClearSelectionIfAllowed();
        StopTracking();
        if (GridState() != gsNormal)
            CancelMode();
        return true;
    case Qt::Key_Insert:
        if (ctrl || withShift || !fOptions.Contains(dgEditing) || fReadOnly || !DataSet()->CanModify())
            return false;
        ClearSelectionIfAllowed();
        if (fAllowedOperations.Contains(alopInsertEh))
            DataSet()->Insert();
        else if (fAllowedOperations.Contains(alopAppendEh))
            DataSet()->Append();
        return true;
    default:
        return false;
    }
}

void TCustomDBGridEh::keyPressEvent(QKeyEvent* event)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers() & ~Qt::KeypadModifier;
    if (OnKeyDown) {
        OnKeyDown(this, key, shift);
        if (key == 0) {
            event->accept();
            return;
        }
    }
    if (!CursorOpen()) {
        event->setAccepted(ClaimsKey(key, shift));
        return;
    }
    event->setAccepted(KeyDownAction(key, shift));
    if (OnKeyPress && !event->text().isEmpty()) {
        QChar ch = event->text().at(0);
        OnKeyPress(this, ch);
    }
}

void TCustomDBGridEh::wheelEvent(QWheelEvent* event)
{
    event->accept();
    if (!CursorOpen()) {
        fWheelDelta = 0;
        return;
    }
    // A notch is 120 units; what is short of one waits for the next turn.
    fWheelDelta += event->angleDelta().y();
    const int notches = fWheelDelta / 120;
    fWheelDelta -= notches * 120;
    if (notches != 0)
        DataSet()->MoveRelative(-notches);
}

// ---------------------------------------------------------------------------------------------
// Mouse tracking in the data area

QRect TCustomDBGridEh::DataAreaRect() const
{
    const TGridAxisEh h = HorzAxis();
    const TGridAxisEh v = VertAxis();
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
// Cell parameters

void TCustomDBGridEh::FireGridCellParams(TColumnEh* column, TFontEh& font, TColor& background, TGridDrawState state)
{
    if (OnGetCellParams)
        OnGetCellParams(this, column, font, background, state);
}

void TCustomDBGridEh::ResolveCellParams(TColumnEh* column, TColCellParamsEh& params, int col, int row)
{
    column->FillCellParams(params);
    params.Col = col;
    params.Row = row;
    FireGridCellParams(column, *params.Font, params.Background, params.State);
    column->FireColumnCellParams(false, params);
}

QString TCustomDBGridEh::FooterCellText(int footerRow, TColumnEh* column) const
{
    const TColumnFooterEh* footer = column->UsedFooter(footerRow);
    switch (footer->ValueType()) {
    case fvtStaticText:
        return footer->Value();
    case fvtFieldValue: {
        const TDataSet* ds = DataSet();
        if (!ds || !ds->Active())
            return {};
        const TField* f = ds->FieldNamed(footer->FieldName().isEmpty() ? column->FieldName() : footer->FieldName());
        return f ? f->DisplayText() : QString();
    }
    default:
        return {};
    }
}

// ---------------------------------------------------------------------------------------------
// Painting

TColor TCustomDBGridEh::DataAreaLineColor(bool vertical) const
{
    const TGridLineColorSlotEh slot = vertical ? glcDataVertEh : glcDataHorzEh;
    if (fGridLineColors.Assigned(slot))
        return fGridLineColors.Slot(slot);
    return fColor == clSilver ? clGray : clSilver;
}

TColor TCustomDBGridEh::FixedAreaLineColor(bool vertical) const
{
    const TGridLineColorSlotEh slot = vertical ? glcFixedVertEh : glcFixedHorzEh;
    if (fGridLineColors.Assigned(slot))
        return fGridLineColors.Slot(slot);
    return fFlat ? clGray : clBlack;
}

bool TCustomDBGridEh::UseThemedFixedCells() const
{
    return !fFlat && ThemeServicesEnabledEh() && fOptionsEh.Contains(dghFixed3D) && fOptions.Contains(dgColLines)
        && fOptions.Contains(dgRowLines);
}

TCellTypeEh TCustomDBGridEh::GetCellType(int col, int row) const
{
    TCellTypeEh t;
    if (col < fIndicatorOffset) {
        t.ColKind = cckIndicatorEh;
        t.DataCol = -1;
    } else {
        t.ColKind = cckDataEh;
        t.DataCol = col - fIndicatorOffset;
    }
    const int titleRows = fOptions.Contains(dgTitles) ? 1 : 0;
    const int footerStart = RowCount() - fFooterRowCount;
    if (row >= 0 && row < titleRows) {
        t.RowKind = crkTitleEh;
        t.RowIndex = row;
    } else if (row >= titleRows && row < fTitleRowCount) {
        t.RowKind = crkFilterEh;
        t.RowIndex = row - titleRows;
    } else if (row >= fTitleRowCount && row < footerStart) {
        t.RowKind = crkDataEh;
        t.RowIndex = row - fTitleRowCount;
    } else if (row >= footerStart && row >= fTitleRowCount && row < RowCount()) {
        t.RowKind = crkFooterEh;
        t.RowIndex = row - footerStart;
    } else {
        throw Exception(QStringLiteral("Algorithm error in TCustomDBGridEh.GetCellType"));
    }
    return t;
}

bool TCustomDBGridEh::CellHasRaisedFrame(int col, int row, const TCellTypeEh& type) const
{
    const bool fixed = col < FixedCols() || row < FixedRows();
    if (fixed && fOptionsEh.Contains(dghFixed3D)
        && (type.ColKind == cckIndicatorEh || type.RowKind == crkTitleEh))
        return true;
    if (type.RowKind == crkFooterEh)
        return fOptionsEh.Contains(dghFooter3D);
    if (type.ColKind == cckDataEh && type.RowKind == crkDataEh) {
        if (fOptionsEh.Contains(dghData3D))
            return true;
        if (fOptionsEh.Contains(dghFrozen3D) && col < FixedCols())
            return true;
    }
    return false;
}

bool TCustomDBGridEh::SelectionKindAllowed(TDBGridEhSelectionType kind) const
{
    if (kind == gstNon)
        return true;
    if (!fOptions.Contains(dgMultiSelect) || !fAllowedSelections.Contains(kind))
        return false;
    return !((kind == gstRectangle || kind == gstColumns) && fOptions.Contains(dgRowSelect));
}

bool TCustomDBGridEh::IndicatorRowSelected(int dataRow)
{
    if (!fOptions.Contains(dgMultiSelect) || !fDataLink->Active())
        return false;
    const TDBGridEhSelectionType kind = fSelection->SelectionType();
    if (kind == gstAll)
        return true;
    if (kind != gstRecordBookmarks || dataRow < 0 || dataRow >= fDataLink->RecordCount())
        return false;
    BeginReadRow(dataRow);
    TScopeExit end([this] { EndReadRow(); });
    return fSelection->CurrentRecordSelected();
}

int TCustomDBGridEh::IndicatorGlyph(int dataRow)
{
    if (!fDataLink->Active())
        return -1;
    const bool current = IsCurrentDataRow(dataRow);
    const bool selected = IndicatorRowSelected(dataRow);
    if (!current && !selected)
        return -1;
    switch (DataSet()->CursorState()) {
    case dsBrowse:
        if (!current)
            return -1;
        if (selected)
            return 5;
        return IncSearchRunning() ? 6 : 0;
    case dsEdit:
        return 1;
    case dsInsert:
        return 2;
    default:
        return 0;
    }
}

void TCustomDBGridEh::DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (fInLayout)
        return;
    if (fLoading) {
        painter.fillRect(rect, ColorToQColor(fColor));
        return;
    }
    DrawGridCell(painter, col, row, rect, state);
}

void TCustomDBGridEh::DrawFixedBackground(TCanvasEh& canvas, const QRect& rect, bool pressed,
                                          const TCellTypeEh& type)
{
    if (!UseThemedFixedCells()) {
        canvas.FillRect(rect);
        return;
    }
    // The desktop's header section stands for the themed cell: hot normally, pressed when asked,
    // one pixel beyond the cell on every side (over its lines).
    QStyleOptionHeader option;
    option.initFrom(this);
    option.rect = rect.adjusted(-2, -2, 2, 2);
    option.state = QStyle::State_Enabled | QStyle::State_Horizontal | QStyle::State_Raised;
    option.state |= pressed ? QStyle::State_Sunken : QStyle::State_MouseOver;
    option.orientation = type.ColKind == cckIndicatorEh && type.RowKind != crkTitleEh ? Qt::Vertical : Qt::Horizontal;
    option.position = QStyleOptionHeader::Middle;
    const QColor face = ColorToQColor(canvas.BrushColor());
    option.palette.setColor(QPalette::Button, face);
    option.palette.setColor(QPalette::Window, face);
    style()->drawControl(QStyle::CE_HeaderSection, &option, &canvas.Painter(), this);
}

void TCustomDBGridEh::DrawGridCell(QPainter& painter, int col, int row, const QRect& cellRect, TGridDrawState state)
{
    fCellParams.Col = col;
    fCellParams.Row = row;
    const TCellTypeEh type = GetCellType(col, row);
    const bool raised = CellHasRaisedFrame(col, row, type);
    TCanvasEh canvas(painter);
    QRect rect = cellRect;
    int dx = 2;
    int dy = 2;
    if (raised) {
        rect.adjust(1, 1, -1, -1);
        dx = 1;
        dy = 1;
    }
    if (fFlat)
        --dy;

    bool sunken = false;
    bool themed = false;
    if (type.ColKind == cckIndicatorEh) {
        sunken = DrawIndicatorCell(canvas, cellRect, rect, type);
        themed = UseThemedFixedCells();
    } else if (type.RowKind == crkTitleEh) {
        sunken = DrawTitleCell(canvas, rect, type, dx, dy);
        themed = UseThemedFixedCells();
    } else if (type.RowKind == crkDataEh) {
        TColumnEh* column = type.DataCol < fColumns->Count() ? fColumns->Items(type.DataCol) : nullptr;
        if (column && fDataLink->Active() && type.RowIndex < fDataLink->RecordCount()) {
            DrawDataCell(canvas, rect, col, row, type, state, dx, dy);
        } else {
            canvas.SetBrushColor(column ? column->Color() : fColor);
            canvas.FillRect(rect);
        }
    } else if (type.RowKind == crkFooterEh) {
        DrawFooterCell(canvas, rect, type, dx, dy);
    } else {
        canvas.SetBrushColor(fFixedColor);
        canvas.FillRect(rect);
    }
    if (raised && !themed)
        canvas.DrawEdge(cellRect, !sunken);
}

bool TCustomDBGridEh::DrawIndicatorCell(TCanvasEh& canvas, const QRect& cellRect, const QRect& rect,
                                        const TCellTypeEh& type)
{
    TColor background = fFixedColor;
    TColor fontColor = fFont.Color;
    bool selected = false;
    if (type.RowKind == crkDataEh)
        selected = IndicatorRowSelected(type.RowIndex);
    else if (type.RowKind == crkTitleEh)
        selected = fSelection->SelectionType() == gstAll;
    if (selected)
        Style().FixedCellHighlight(*this, type, background, fontColor);
    canvas.SetBrushColor(background);
    canvas.SetFontColor(fontColor);
    DrawFixedBackground(canvas, rect, selected, type);
    if (type.RowKind == crkDataEh && fDataLink->Active()) {
        const int glyph = IndicatorGlyph(type.RowIndex);
        if (glyph >= 0) {
            // 8 pixels left of the cell's right edge, centred as whole pixels round down.
            const int right = cellRect.left() + cellRect.width();
            const int bottom = cellRect.top() + cellRect.height();
            IndicatorImagesEh().Draw(canvas.Painter(), right - 8, (cellRect.top() + bottom - 11) / 2, glyph);
            if (IsCurrentDataRow(type.RowIndex))
                fLastIndicatorRow = type.RowIndex + fTitleRowCount;
        }
    }
    return selected;
}

const TFontEh& TCustomDBGridEh::SortOrdinalFont()
{
    static const TFontEh font = [] {
        TFontEh f;
        f.Name = QStringLiteral("Arial");
        f.Height = 1 - SortMarkerImagesEh().Height();  // -8: characters 8 pixels high
        f.Color = clWindowText;
        return f;
    }();
    return font;
}

int TCustomDBGridEh::SortMarkerAreaWidth(const TColumnEh* column) const
{
    const TColumnTitleEh* title = column->Title();
    if (title->SortIndex() == 0)
        return 0;
    int ordinal = 0;
    if (fSortMarkedColumns.Count() >= 2)
        ordinal = TextWidthEh(SortOrdinalFont().ToQFont(), QString::number(title->SortIndex()));
    const int room = column->Width() - 4;
    if (16 + ordinal <= room)
        return 16 + ordinal;
    // Too narrow for the triangle: only the ordinal, if even that fits.
    if (16 + ordinal - 14 <= room)
        return 16 + ordinal - 14;
    return 0;
}

bool TCustomDBGridEh::DrawTitleCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy)
{
    TColumnEh* column = fColumns->Items(type.DataCol);
    const TColumnTitleEh* title = column->Title();
    TColor background = title->Color();
    TColor fontColor = title->Font().Color;
    canvas.SetFont(title->Font());

    QRect textArea = rect;
    QRect markerArea;
    if (title->SortMarker() != smNoneEh) {
        int reserve = 16;
        if (fSortMarkedColumns.Count() > 1) {
            TCanvasEh measure(canvas.Painter());
            measure.SetFont(SortOrdinalFont());
            reserve += measure.TextWidth(QString::number(title->SortIndex()));
        }
        textArea.setRight(std::max(rect.left() - 1, rect.right() - reserve));
        markerArea = QRect(QPoint(textArea.right() + 1, rect.top()), rect.bottomRight());
    }
    const bool pressed = fTitlePressCol == type.DataCol && fTitlePressed;
    if (pressed) {
        ++dx;
        ++dy;
    }
    const TDBGridEhSelectionType kind = fSelection->SelectionType();
    const bool highlighted = kind == gstAll || (kind == gstColumns && fSelection->Columns().IndexOf(column) >= 0);
    if (highlighted)
        Style().FixedCellHighlight(*this, type, background, fontColor);
    canvas.SetBrushColor(background);
    canvas.SetFontColor(fontColor);

    const bool themed = UseThemedFixedCells();
    if (themed)
        DrawFixedBackground(canvas, rect, pressed || highlighted, type);
    else if (textArea.right() < rect.right())
        canvas.FillRect(QRect(QPoint(textArea.right() + 1, rect.top()), rect.bottomRight()));
    // A title row made taller than one line (title lines or height) wraps its captions.
    const bool multiLine = textArea.height() >= 2 * canvas.Metrics().Height;
    DrawCellText(canvas, textArea, !themed, false, 0, 0, title->EndEllipsis(), multiLine, tlTop, title->Alignment(),
                 title->Caption(), dy, dx);
    if (!markerArea.isEmpty())
        DrawSortMarker(canvas, markerArea, column, pressed);
    return pressed || highlighted;
}

void TCustomDBGridEh::DrawSortMarker(TCanvasEh& canvas, const QRect& area, const TColumnEh* column, bool pressed)
{
    const TColumnTitleEh* title = column->Title();
    const TImageListEh& images = SortMarkerImagesEh();
    const int shift = pressed ? 1 : 0;
    const int x = area.left() + 2 + shift;
    const int y = area.top() + (area.height() - images.Height()) / 2 + shift;
    canvas.Painter().save();
    canvas.Painter().setClipRect(area, Qt::IntersectClip);
    images.Draw(canvas.Painter(), x, y, title->SortMarker() == smDownEh ? 0 : 1);
    if (fSortMarkedColumns.Count() > 1) {
        // The ordinal right of the triangle, in the title's font colour.
        const TColor fontColor = canvas.FontColor();
        canvas.SetFont(SortOrdinalFont());
        canvas.SetFontColor(fontColor);
        const QRect ordinal(area.left() + 14 + shift, area.top() + shift, std::max(0, area.width() - 14), area.height());
        DrawCellText(canvas, ordinal, false, false, 0, 0, false, false, tlCenter, taLeftJustify,
                     QString::number(title->SortIndex()), 0, 0);
    }
    canvas.Painter().restore();
}

void TCustomDBGridEh::DrawDataCell(TCanvasEh& canvas, const QRect& rect, int col, int row, const TCellTypeEh& type,
                                   TGridDrawState state, int dx, int dy)
{
    TColumnEh* column = fColumns->Items(type.DataCol);
    BeginReadRow(type.RowIndex);
    TScopeExit end([this] { EndReadRow(); });
    TDataSet* ds = DataSet();

    TColor background = column->Color();
    if (background == fColor && (fEvenRowColorSet || fOddRowColorSet) && ds->HasExactNumbering())
        background = (ds->RecordNumber() % 2 != 0) ? OddRowColor() : EvenRowColor();
    fCanvasFont = column->Font();

    // The cell's parameters as FillCellParams gives them, for this grid cell and its state.
    const bool readOnly = fCellParams.ReadOnly;
    column->FillCellParams(fCellParams);
    fCellParams.ReadOnly = readOnly;
    fCellParams.Col = col;
    fCellParams.Row = row;
    fCellParams.State = state;
    fCellParams.Font = &fCanvasFont;
    fCellParams.Background = background;
    FireGridCellParams(column, *fCellParams.Font, fCellParams.Background, fCellParams.State);
    column->FireColumnCellParams(false, fCellParams);

    background = fCellParams.Background;
    TColor fontColor = fCellParams.Font->Color;
    if (Style().DataCellHighlight(*this, type.DataCol, row, fCellParams.State, background, fontColor)) {
        state.Include(gdSelected);
        fCellParams.State.Include(gdSelected);
    }
    canvas.SetFont(*fCellParams.Font);
    canvas.SetFontColor(fontColor);
    canvas.SetBrushColor(background);

    if (fDefaultDrawing) {
        switch (column->CellKind()) {
        case ctKeyImageList:
            canvas.FillRect(rect);
            if (TImageListEh* images = column->ImageList())
                images->Draw(canvas.Painter(), rect.left() + (rect.width() - images->Width()) / 2,
                             rect.top() + (rect.height() - images->Height()) / 2, fCellParams.ImageIndex);
            break;
        case ctCheckboxes: {
            canvas.FillRect(rect);
            QStyleOptionButton option;
            option.initFrom(this);
            const int side = std::min({13, rect.width(), rect.height()});
            option.rect = QRect(rect.left() + (rect.width() - side) / 2, rect.top() + (rect.height() - side) / 2, side, side);
            option.state = QStyle::State_Enabled;
            option.state |= fCellParams.BoxState == cbChecked ? QStyle::State_On
                : fCellParams.BoxState == cbGrayed         ? QStyle::State_NoChange
                                                           : QStyle::State_Off;
            style()->drawPrimitive(QStyle::PE_IndicatorCheckBox, &option, &canvas.Painter(), this);
            break;
        }
        default: {
            const TTextMetricEh& m = canvas.Metrics();
            const bool multiLine = column->WordWrap()
                && DefaultRowHeight() > m.Height + m.ExternalLeading + m.InternalLeading + 4;
            DrawCellText(canvas, rect, true, false, 0, 0, column->EndEllipsis(), multiLine, column->Layout(),
                         fCellParams.Alignment, fCellParams.Text, dy, dx);
            break;
        }
        }
    }
    if (OnDrawDataCell && fColumns->State() == csDefault)
        OnDrawDataCell(this, canvas.Painter(), rect, column->Field(), state);
    if (OnDrawColumnCell)
        OnDrawColumnCell(this, canvas.Painter(), rect, type.DataCol, column, state);
    if (fDefaultDrawing && state.Contains(gdFocused) && Focused() && IsActiveControl()
        && !fOptions.Contains(dgRowSelect) && fUpdateLock == 0 && Style().ShowFocusFrame())
        canvas.DrawFocusRect(rect);
}

void TCustomDBGridEh::DrawFooterCell(TCanvasEh& canvas, const QRect& rect, const TCellTypeEh& type, int dx, int dy)
{
    if (type.ColKind != cckDataEh || type.DataCol >= fColumns->Count()) {
        canvas.SetBrushColor(fFooterColor);
        canvas.FillRect(rect);
        return;
    }
    TColumnEh* column = fColumns->Items(type.DataCol);
    const TColumnFooterEh* footer = column->UsedFooter(type.RowIndex);
    canvas.SetFont(footer->Font());
    canvas.SetFontColor(footer->Font().Color);
    canvas.SetBrushColor(footer->Color());
    DrawCellText(canvas, rect, true, false, 0, 0, false, false, tlTop, footer->Alignment(),
                 FooterCellText(type.RowIndex, column), dy, dx);
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
                return;  // a title button takes the press: no sizing or moving
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
        return;  // the sizing cursor
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
    const bool over = QRect(0, 0, ClientWidth(), ClientHeight()).contains(pos)
        && cell.x() == DataToRawColumn(dataCol) && IsTitleCell(cell);
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
    StopTracking();  // the mouse goes with the focus
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
