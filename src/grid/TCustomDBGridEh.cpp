#include "TCustomDBGridEh.h"

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

const QEvent::Type TCustomDBGridEh::kDeferredLayoutEvent = QEvent::Type(QEvent::User + 100);

namespace {

// The quote key's letter on the Russian layout (Qt names letter keys by their capital).
constexpr int kKeyCyrillicE = 0x042D;

// Runs a clean-up step on every way out of a scope.
template <class F>
class TScopeExitEh
{
public:
    explicit TScopeExitEh(F f) : fF(std::move(f)) {}
    ~TScopeExitEh() { fF(); }
    TScopeExitEh(const TScopeExitEh&) = delete;
    TScopeExitEh& operator=(const TScopeExitEh&) = delete;

private:
    F fF;
};

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
        while (fSortMarkedColumns.Count() > 1) {
            TColumnEh* c = fSortMarkedColumns[fSortMarkedColumns.Count() - 1];
            fSortMarkedColumns.Delete(fSortMarkedColumns.Count() - 1);
            c->Title()->SetSortIndex(0);
            c->Title()->SetSortMarker(smNoneEh);
        }
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
    TScopeExitEh end([this] { EndLayout(); });
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
    TScopeExitEh release([this] {
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
    TScopeExitEh done([this] { fInLayout = false; });

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
            TScopeExitEh end([this] { fSettingColumnWidth = false; });
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
        TScopeExitEh end([this] { EndLayout(); });
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
    TScopeExitEh end([this] { EndLayout(); });
    fColumns->Items(from)->SetIndex(to);
    if (OnColumnMoved)
        OnColumnMoved(this, from, to);
}

void TCustomDBGridEh::OptimizeColWidth(TColumnEh* column)
{
    // Title and the records in the window: the measure never walks the record set.
    int width = TextWidthEh(column->Title()->Font().ToQFont(), column->Title()->Caption()) + 4;
    if (column->Title()->SortIndex() > 0)
        width += 16;  // the sort marker
    if (fDataLink->Active()) {
        const QFont f = column->Font().ToQFont();
        for (int i = 0; i < fDataLink->RecordCount(); ++i) {
            BeginReadRow(i);
            TScopeExitEh end([this] { EndReadRow(); });
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
        TScopeExitEh done([this] { fInColExit = false; });
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

void TCustomDBGridEh::DeleteWithConfirmation()
{
    TDataSet* ds = DataSet();
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
    TScopeExitEh resume([ds] { ds->ResumeNotify(); });
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
        TScopeExitEh end([this] { EndReadRow(); });
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

void TCustomDBGridEh::keyReleaseEvent(QKeyEvent* event)
{
    if (!CursorOpen() || !OnKeyUp) {
        TCustomGridEh::keyReleaseEvent(event);
        return;
    }
    int key = event->key();
    OnKeyUp(this, key, event->modifiers() & ~Qt::KeypadModifier);
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

const TImageListEh& TCustomDBGridEh::IndicatorImages()
{
    static const TImageListEh images = [] {
        TImageListEh list(6, 11);
        auto blank = [](QColor back) {
            QImage img(6, 11, QImage::Format_RGB32);
            img.fill(back);
            return img;
        };
        auto triangle = [](QImage& img, QRgb color) {
            // A right-pointing triangle, 4 pixels wide and 7 high, centred.
            for (int x = 0; x < 4; ++x)
                for (int y = 2 + x; y <= 8 - x; ++y)
                    img.setPixel(1 + x, y, color);
        };
        const QRgb black = qRgb(0, 0, 0);
        const QRgb white = qRgb(255, 255, 255);
        QImage arrow = blank(Qt::white);
        triangle(arrow, black);
        list.Add(arrow, clWhite);
        QImage edit = blank(Qt::white);  // an I-beam
        for (int y = 1; y <= 9; ++y)
            edit.setPixel(2, y, black);
        for (int x = 1; x <= 3; ++x) {
            edit.setPixel(x, 1, black);
            edit.setPixel(x, 9, black);
        }
        list.Add(edit, clWhite);
        QImage insert = blank(Qt::white);  // a star
        for (int k = -2; k <= 2; ++k) {
            insert.setPixel(2 + k, 5, black);
            insert.setPixel(2, 5 + k, black);
            insert.setPixel(2 + k, 5 + k, black);
            insert.setPixel(2 + k, 5 - k, black);
        }
        list.Add(insert, clWhite);
        QImage dot = blank(Qt::white);
        for (int x = 2; x <= 3; ++x)
            for (int y = 5; y <= 6; ++y)
                dot.setPixel(x, y, black);
        list.Add(dot, clWhite);
        QImage arrowDot = arrow;
        arrowDot.setPixel(0, 5, black);
        list.Add(arrowDot, clWhite);
        QImage whiteArrow = blank(QColor(0x00, 0x80, 0x80));
        triangle(whiteArrow, white);
        list.Add(whiteArrow, clTeal);
        QImage searchArrow = blank(QColor(0x00, 0x80, 0x80));
        triangle(searchArrow, qRgb(255, 255, 0));
        list.Add(searchArrow, clTeal);
        return list;
    }();
    return images;
}

int TCustomDBGridEh::IndicatorGlyph(int dataRow) const
{
    if (!fDataLink->Active())
        return -1;
    const bool current = IsCurrentDataRow(dataRow);
    const bool selected = fOptions.Contains(dgMultiSelect) && fSelection->SelectionType() == gstAll;
    if (!current && !selected)
        return -1;
    switch (DataSet()->CursorState()) {
    case dsBrowse:
        if (!current)
            return -1;
        return selected ? 5 : 0;
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

void TCustomDBGridEh::DrawGridCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state)
{
    const bool indicator = fIndicatorOffset > 0 && col == 0;
    const bool title = fOptions.Contains(dgTitles) && row == 0;
    const bool raised = state.Contains(gdFixed) && fOptionsEh.Contains(dghFixed3D) && (indicator || title);
    auto frame = [&painter, &rect] {
        painter.setPen(ColorToQColor(clBtnHighlight));
        painter.drawLine(rect.left(), rect.top(), rect.right(), rect.top());
        painter.drawLine(rect.left(), rect.top(), rect.left(), rect.bottom());
        painter.setPen(ColorToQColor(clBtnShadow));
        painter.drawLine(rect.left(), rect.bottom(), rect.right(), rect.bottom());
        painter.drawLine(rect.right(), rect.top(), rect.right(), rect.bottom());
    };
    auto text = [&painter](const QRect& r, const TFontEh& font, TColor color, TAlignment alignment,
                           const QString& s, int dx, int dy, const TTextMetricEh& m) {
        const QFont qf = font.ToQFont();
        painter.setFont(qf);
        painter.setPen(ColorToQColor(color));
        const int w = TextWidthEh(qf, s);
        int x = r.left() + dx;
        if (alignment == taRightJustify)
            x = r.right() + 1 - w - 3;
        else if (alignment == taCenter)
            x = r.left() + (r.width()) / 2 - w / 2;
        painter.drawText(QPoint(x, r.top() + dy + m.Ascent), s);
    };

    if (indicator) {
        painter.fillRect(rect, ColorToQColor(fFixedColor));
        if (raised)
            frame();
        if (row >= fTitleRowCount) {
            const int glyph = IndicatorGlyph(row - fTitleRowCount);
            if (glyph >= 0) {
                IndicatorImages().Draw(painter, rect.right() + 1 - 8, (rect.top() + rect.bottom() + 1 - 11) / 2, glyph);
                if (IsCurrentDataRow(row - fTitleRowCount))
                    fLastIndicatorRow = row;
            }
        }
        return;
    }
    TColumnEh* column = ColumnAt(col);
    if (!column) {
        painter.fillRect(rect, ColorToQColor(fColor));
        return;
    }
    if (title) {
        const TColumnTitleEh* t = column->Title();
        painter.fillRect(rect, ColorToQColor(t->Color()));
        const QRect inner = raised ? rect.adjusted(1, 1, -1, -1) : rect;
        const int d = raised ? 1 : 2;
        painter.save();
        painter.setClipRect(inner);
        text(inner, t->Font(), t->Font().Color, t->Alignment(), t->Caption(), d, d, CanvasTextMetrics(t->Font()));
        painter.restore();
        if (raised)
            frame();
        return;
    }
    const int dataRow = row - fTitleRowCount;
    if (!fDataLink->Active() || dataRow < 0 || dataRow >= fDataLink->RecordCount()) {
        painter.fillRect(rect, ColorToQColor(column->Color()));
        return;
    }
    BeginReadRow(dataRow);
    TScopeExitEh end([this] { EndReadRow(); });
    TColCellParamsEh params;
    ResolveCellParams(column, params, col, row);
    params.State = state;
    TFontEh font = *params.Font;
    TColor background = params.Background;
    if (state.Contains(gdSelected) && hasFocus() && fOptionsEh.Contains(dghHighlightFocus)) {
        background = clHighlight;
        font.Color = clHighlightText;
    }
    painter.fillRect(rect, ColorToQColor(background));
    text(rect, font, font.Color, params.Alignment, params.Text, 2, 2, CanvasTextMetrics(font));
    if (state.Contains(gdFocused) && hasFocus() && !fOptions.Contains(dgRowSelect)) {
        painter.save();
        QPen pen(Qt::DotLine);
        pen.setColor(ColorToQColor(clHighlightText));
        painter.setPen(pen);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        painter.restore();
    }
}

// ---------------------------------------------------------------------------------------------
// Mouse and focus

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
    fPressStartedSizing = false;
    const bool left = event->button() == Qt::LeftButton;
    if ((left || event->button() == Qt::RightButton) && GridState() == gsNormal) {
        int index = -1;
        int boundary = -1;
        if (left && CalcColSizing(pos.x(), pos.y(), index, boundary)) {
            fPressStartedSizing = true;
        } else {
            const QPoint cell = MouseCoord(pos.x(), pos.y());
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
        TScopeExitEh end([this] { EndUpdate(); });
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
    if (fTrackingMouse)
        TrackMouseMove(pos);
    else
        TCustomGridEh::mouseMoveEvent(event);
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
    const bool wasSizing = GridState() == gsColSizing || fPressStartedSizing;
    fPressStartedSizing = false;
    TCustomGridEh::mouseReleaseEvent(event);
    if (wasSizing || event->button() != Qt::LeftButton)
        return;
    const QPoint pos = event->position().toPoint();
    const QPoint cell = MouseCoord(pos.x(), pos.y());
    if (cell.x() < fIndicatorOffset || cell.y() < 0)
        return;
    TColumnEh* column = ColumnAt(cell.x());
    if (!column)
        return;
    if (cell.y() < fTitleRowCount) {
        if (OnTitleClick)
            OnTitleClick(column);
    } else if (cell.y() - fTitleRowCount < VisibleDataRowCount()) {
        if (OnCellClick)
            OnCellClick(column);
    }
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
        InvalidateGrid();
    if (OnEnter && event->reason() != Qt::ActiveWindowFocusReason && event->reason() != Qt::PopupFocusReason)
        OnEnter(this);
}

void TCustomDBGridEh::focusOutEvent(QFocusEvent* event)
{
    TCustomGridEh::focusOutEvent(event);
    StopTracking();  // the mouse goes with the focus
    InvalidateCell(Col(), Row());
    if (fSelection->SelectionType() != gstNon)
        InvalidateGrid();
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
