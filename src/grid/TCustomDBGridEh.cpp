#include "TCustomDBGridEh.h"

#include "TScopeExit.h"

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
    fOptions = {dgEditing,  dgTitles, dgIndicator,     dgColumnResize, dgColLines,
                dgRowLines, dgTabs,   dgConfirmDelete, dgCancelOnExit};
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
    fLayoutState.Include(lsLoading); // nothing more is laid out or reported
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
    const TDBGridOptions layoutOptions = {dgEditing,  dgAlwaysShowEditor, dgTitles,    dgIndicator,
                                          dgColLines, dgRowLines,         dgRowSelect, dgAlwaysShowSelection};
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
        while (fSortMarkedColumns.Count() > 1) // inside a column update only the markers changed
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
    if (fLayoutState.Contains(lsLoading)) {
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
