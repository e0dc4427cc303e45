#include "TColumnEh.h"

#include "TColumnDefValuesEh.h"
#include "TColumnsOwnerEh.h"
#include "TDisplayFormatEh.h"

#include <algorithm>
#include <limits>

namespace {

int IndexOfText(const QStringList& list, const QString& text)
{
    for (int i = 0; i < list.size(); ++i)
        if (list[i].compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// Whether one of the ";"-separated values of a key list entry equals the text.
bool KeyEntryMatches(const QString& entry, const QString& text)
{
    const QString t = text.trimmed();
    for (const QString& v : entry.split(u';'))
        if (v.trimmed().compare(t, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

bool IsMemo(const TField* f)
{
    return f->DataType() == ftMemo || f->DataType() == ftFmtMemo;
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TColumnEh: collection item, field binding

TColumnEh::TColumnEh(TDBGridColumnsEh* collection)
    : fCollection(collection),
      fFooter(std::make_unique<TColumnFooterEh>(this)),
      fFooters(std::make_unique<TColumnFootersEh>(this)),
      fTitle(std::make_unique<TColumnTitleEh>(this))
{
    fFont = DefaultFont();
    fBasisWidth = Width();
}

TColumnEh::~TColumnEh() = default;

int TColumnEh::Index() const
{
    return fCollection ? fCollection->IndexOf(this) : -1;
}

void TColumnEh::SetIndex(int value)
{
    if (!fCollection)
        return;
    const int from = Index();
    if (from < 0 || value == from)
        return;
    fCollection->MoveItem(from, value);
}

QString TColumnEh::DisplayName() const
{
    return fFieldName.isEmpty() ? QStringLiteral("TDBGridColumnEh") : fFieldName;
}

bool TColumnEh::GridLoading() const
{
    const TColumnsOwnerEh* g = Grid();
    return g && g->IsLoading();
}

TDataSet* TColumnEh::GridDataSet() const
{
    const TColumnsOwnerEh* g = Grid();
    return g ? g->DataSet() : nullptr;
}

void TColumnEh::ResolveField() const
{
    if (fField || fFieldName.isEmpty())
        return;
    // Only an open record set's fields live on: a closing one still lists fields it is about to
    // destroy.
    const TDataSet* ds = GridDataSet();
    if (!ds || !ds->Active())
        return;
    if (TField* f = ds->FieldNamed(fFieldName)) {
        fField = f;
        // The field's own spelling of its name.
        const_cast<TColumnEh*>(this)->fFieldName = f->FieldName();
    }
}

void TColumnEh::DropField()
{
    fField = nullptr;
}

void TColumnEh::BindField(TField* field)
{
    if (field == fField)
        return;
    fField = field;
    if (field)
        fFieldName = field->FieldName();
    if (IsDefaultColumn()) {
        if (!field)
            fFieldName.clear();
        RestoreDefaults();
        fBasisWidth = Width();
    }
    Changed(false);
}

void TColumnEh::SetFieldName(const QString& value)
{
    TField* f = nullptr;
    const TColumnsOwnerEh* g = Grid();
    if (g && !g->IsLoading() && !value.isEmpty())
        if (const TDataSet* ds = g->DataSet())
            f = ds->FieldNamed(value);
    fFieldName = value;
    BindField(f);
    fBasisWidth = Width();
    Changed(false);
}

bool TColumnEh::IsDefaultColumnWriteThrough() const
{
    if (!IsDefaultColumn())
        return false;
    const TDataSet* ds = GridDataSet();
    return ds && ds->Active() && Field() != nullptr;
}

void TColumnEh::Changed(bool allItems)
{
    if (fCollection)
        fCollection->Update(allItems ? nullptr : this);
}

void TColumnEh::Assign(const TColumnEh& source)
{
    if (&source == this)
        return;
    if (fCollection)
        fCollection->BeginUpdate();
    RestoreDefaults();
    SetFieldName(source.FieldName());
    const TColumnEhValues v = source.fExplicit;
    if (v.Contains(cvColor))
        SetColor(source.Color());
    if (v.Contains(cvWidth))
        SetWidth(source.Width());
    if (v.Contains(cvFont))
        SetFont(source.Font());
    if (v.Contains(cvAlignment))
        SetAlignment(source.Alignment());
    if (v.Contains(cvReadOnly))
        SetReadOnly(source.ReadOnly());
    if (v.Contains(cvImeMode))
        SetImeMode(source.ImeMode());
    if (v.Contains(cvImeName))
        SetImeName(source.ImeName());
    if (v.Contains(cvWordWrap))
        SetWordWrap(source.WordWrap());
    if (v.Contains(cvLookupDisplayFields))
        SetLookupDisplayFields(source.LookupDisplayFields());
    if (v.Contains(cvCheckboxes))
        SetCheckboxes(source.Checkboxes());
    if (v.Contains(cvAlwaysShowEditButton))
        SetAlwaysShowEditButton(source.AlwaysShowEditButton());
    if (v.Contains(cvEndEllipsis))
        SetEndEllipsis(source.EndEllipsis());
    if (v.Contains(cvAutoDropDown))
        SetAutoDropDown(source.AutoDropDown());
    if (v.Contains(cvDblClickNextVal))
        SetDblClickNextVal(source.DblClickNextVal());
    if (v.Contains(cvToolTips))
        SetToolTips(source.ToolTips());
    if (v.Contains(cvDropDownSizing))
        SetDropDownSizing(source.DropDownSizing());
    if (v.Contains(cvDropDownShowTitles))
        SetDropDownShowTitles(source.DropDownShowTitles());
    if (v.Contains(cvLayout))
        SetLayout(source.Layout());
    if (v.Contains(cvHighlightRequired))
        SetHighlightRequired(source.HighlightRequired());
    fTitle->Assign(*source.fTitle);
    fFooter->Assign(*source.fFooter);
    fAutoFitColWidth = source.fAutoFitColWidth;
    fBiDiMode = source.fBiDiMode;
    fButtonStyle = source.fButtonStyle;
    fDisplayFormat = source.fDisplayFormat;
    fDropDownRows = source.fDropDownRows;
    fDropDownWidth = source.fDropDownWidth;
    fEditMask = source.fEditMask;
    fHideDuplicates = source.fHideDuplicates;
    fImageList = source.fImageList;
    fIncrement = source.fIncrement;
    fKeyList = source.fKeyList;
    fMaxWidth = source.fMaxWidth;
    fMinWidth = source.fMinWidth;
    fNotInKeyListIndex = source.fNotInKeyListIndex;
    fPickList = source.fPickList;
    fPopupMenu = source.fPopupMenu;
    fShowImageAndText = source.fShowImageAndText;
    fTag = source.fTag;
    fVisible = source.fVisible;
    OnGetCellParams = source.OnGetCellParams;
    OnCheckDrawRequiredState = source.OnCheckDrawRequiredState;
    OnUpdateData = source.OnUpdateData;
    OnNotInList = source.OnNotInList;
    if (fCollection)
        fCollection->EndUpdate();
}

// ---------------------------------------------------------------------------------------------
// TColumnEh: defaults

int TColumnEh::FallbackWidth() const
{
    const TColumnsOwnerEh* g = Grid();
    if (!g)
        return 64;
    const TField* f = Field();
    if (!f)
        return g->DefaultColWidth();
    const TTextMetricEh m = g->CanvasTextMetrics(Font());
    return (m.ZeroWidth - m.Overhang) * f->DisplayWidth() + m.Overhang + 4;
}

TAlignment TColumnEh::DefaultAlignment() const
{
    const TField* f = Field();
    return f ? f->Alignment() : taLeftJustify;
}

TColor TColumnEh::DefaultColor() const
{
    const TColumnsOwnerEh* g = Grid();
    return g ? g->Color() : clWindow;
}

TFontEh TColumnEh::DefaultFont() const
{
    const TColumnsOwnerEh* g = Grid();
    return g ? g->Font() : TFontEh();
}

bool TColumnEh::DefaultReadOnly() const
{
    const TColumnsOwnerEh* g = Grid();
    const TField* f = Field();
    return (g && g->ReadOnly()) || (f && f->ReadOnly());
}

bool TColumnEh::DefaultCheckboxes() const
{
    const TField* f = Field();
    return f && f->DataType() == ftBoolean;
}

bool TColumnEh::DefaultWordWrap() const
{
    const TField* f = Field();
    if (!Grid() || !f)
        return false;
    switch (f->DataType()) {
    case ftString:
    case ftMemo:
    case ftFmtMemo:
    case ftWideString:
        return true;
    default:
        return false;
    }
}

QString TColumnEh::DefaultLookupDisplayFields() const
{
    const TField* f = Field();
    return f ? f->LookupResultField : QString();
}

TImeModeEh TColumnEh::DefaultImeMode() const
{
    const TColumnsOwnerEh* g = Grid();
    return g ? g->ImeMode() : imDontCare;
}

QString TColumnEh::DefaultImeName() const
{
    const TColumnsOwnerEh* g = Grid();
    return g ? g->ImeName() : QString();
}

// ---------------------------------------------------------------------------------------------
// TColumnEh: properties

TAlignment TColumnEh::Alignment() const
{
    return IsExplicit(cvAlignment) ? fAlignment : DefaultAlignment();
}

void TColumnEh::SetAlignment(TAlignment value)
{
    if (IsDefaultColumnWriteThrough()) {
        Field()->SetAlignment(value);
        return;
    }
    if (!AssignExplicit(cvAlignment, fAlignment, value))
        return;
    Changed(false);
}

// Boolean properties whose default comes from the grid's column defaults.
#define PB_COLUMN_DEF_BOOL(Name, Flag, Report)                                                                         \
    bool TColumnEh::Name() const                                                                                       \
    {                                                                                                                  \
        if (IsExplicit(Flag))                                                                                          \
            return f##Name;                                                                                            \
        const TColumnsOwnerEh* g = Grid();                                                                             \
        return g && g->ColumnDefValues().Name();                                                                       \
    }                                                                                                                  \
    void TColumnEh::Set##Name(bool value)                                                                              \
    {                                                                                                                  \
        if (AssignExplicit(Flag, f##Name, value) && (Report))                                                          \
            Changed(false);                                                                                            \
    }

PB_COLUMN_DEF_BOOL(AlwaysShowEditButton, cvAlwaysShowEditButton, true)
PB_COLUMN_DEF_BOOL(AutoDropDown, cvAutoDropDown, false)
PB_COLUMN_DEF_BOOL(DblClickNextVal, cvDblClickNextVal, false)
PB_COLUMN_DEF_BOOL(DropDownShowTitles, cvDropDownShowTitles, false)
PB_COLUMN_DEF_BOOL(DropDownSizing, cvDropDownSizing, false)
PB_COLUMN_DEF_BOOL(EndEllipsis, cvEndEllipsis, true)
PB_COLUMN_DEF_BOOL(ToolTips, cvToolTips, false)

#undef PB_COLUMN_DEF_BOOL

bool TColumnEh::HighlightRequired() const
{
    if (IsExplicit(cvHighlightRequired))
        return fHighlightRequired;
    const TColumnsOwnerEh* g = Grid();
    return g && g->ColumnDefValues().HighlightRequired();
}

void TColumnEh::SetHighlightRequired(bool value)
{
    if (!AssignExplicit(cvHighlightRequired, fHighlightRequired, value))
        return;
    Changed(false);
}

TTextLayout TColumnEh::Layout() const
{
    if (IsExplicit(cvLayout))
        return fLayout;
    const TColumnsOwnerEh* g = Grid();
    return g ? g->ColumnDefValues().Layout() : tlTop;
}

void TColumnEh::SetLayout(TTextLayout value)
{
    if (!AssignExplicit(cvLayout, fLayout, value))
        return;
    Changed(false);
}

void TColumnEh::SetAutoFitColWidth(bool value)
{
    if (value == fAutoFitColWidth)
        return;
    fAutoFitColWidth = value;
    const TColumnsOwnerEh* g = Grid();
    if (g && g->AutoFitColWidths())
        SetWidth(fBasisWidth);
    Changed(true);
}

void TColumnEh::SetBiDiMode(TBiDiModeEh value)
{
    if (value == fBiDiMode)
        return;
    fBiDiMode = value;
    Changed(false);
}

void TColumnEh::SetButtonStyle(TColumnButtonStyleEh value)
{
    if (value == fButtonStyle)
        return;
    fButtonStyle = value;
    Changed(false);
}

bool TColumnEh::Checkboxes() const
{
    return IsExplicit(cvCheckboxes) ? fCheckboxes : DefaultCheckboxes();
}

void TColumnEh::SetCheckboxes(bool value)
{
    if (!AssignExplicit(cvCheckboxes, fCheckboxes, value))
        return;
    Changed(false);
}

TColor TColumnEh::Color() const
{
    return IsExplicit(cvColor) ? fColor : DefaultColor();
}

void TColumnEh::SetColor(TColor value)
{
    if (!AssignExplicit(cvColor, fColor, value))
        return;
    Changed(false);
}

void TColumnEh::SetDisplayFormat(const QString& value)
{
    if (value == fDisplayFormat)
        return;
    fDisplayFormat = value;
    Changed(false);
}

const TFontEh& TColumnEh::Font() const
{
    if (!IsExplicit(cvFont)) {
        // Compared with the grid's font in place: this runs for every cell painted or exported.
        if (const TColumnsOwnerEh* g = Grid()) {
            if (!(fFont == g->Font()))
                fFont = g->Font();
        } else if (!(fFont == TFontEh())) {
            fFont = TFontEh();
        }
    }
    return fFont;
}

void TColumnEh::SetFont(const TFontEh& value)
{
    fFont = value;
    MarkExplicit(cvFont);
    Changed(false);
}

TColumnFooterEh* TColumnEh::UsedFooter(int index) const
{
    if (index >= 0 && index < fFooters->Count())
        return fFooters->Items(index);
    return fFooter.get();
}

void TColumnEh::SetHideDuplicates(bool value)
{
    if (value == fHideDuplicates)
        return;
    fHideDuplicates = value;
    Changed(false);
}

void TColumnEh::SetImageList(TImageListEh* value)
{
    if (value == fImageList)
        return;
    fImageList = value;
    Changed(false);
}

TImeModeEh TColumnEh::ImeMode() const
{
    return IsExplicit(cvImeMode) ? fImeMode : DefaultImeMode();
}

void TColumnEh::SetImeMode(TImeModeEh value)
{
    if (!AssignExplicit(cvImeMode, fImeMode, value))
        return;
    Changed(false);
}

QString TColumnEh::ImeName() const
{
    return IsExplicit(cvImeName) ? fImeName : DefaultImeName();
}

void TColumnEh::SetImeName(const QString& value)
{
    if (!AssignExplicit(cvImeName, fImeName, value))
        return;
    Changed(false);
}

void TColumnEh::SetKeyList(const QStringList& value)
{
    fKeyList = value;
    Changed(false);
}

QString TColumnEh::LookupDisplayFields() const
{
    return IsExplicit(cvLookupDisplayFields) ? fLookupDisplayFields : DefaultLookupDisplayFields();
}

void TColumnEh::SetLookupDisplayFields(const QString& value)
{
    if (IsExplicit(cvLookupDisplayFields) || value != DefaultLookupDisplayFields())
        MarkExplicit(cvLookupDisplayFields);
    fLookupDisplayFields = value;
    Changed(false);
}

void TColumnEh::SetMaxWidth(int value)
{
    if (value == fMaxWidth)
        return;
    fMaxWidth = value;
    if (IsExplicit(cvWidth) && fMaxWidth > 0 && fWidth > fMaxWidth)
        fWidth = std::max(fMaxWidth, fMinWidth);
    Changed(true);
}

void TColumnEh::SetMinWidth(int value)
{
    if (value == fMinWidth)
        return;
    fMinWidth = value;
    if (IsExplicit(cvWidth) && fWidth < fMinWidth)
        fWidth = fMinWidth;
    Changed(true);
}

void TColumnEh::SetNotInKeyListIndex(int value)
{
    if (value == fNotInKeyListIndex)
        return;
    fNotInKeyListIndex = value;
    Changed(false);
}

void TColumnEh::SetPickList(const QStringList& value)
{
    fPickList = value;
    Changed(false);
}

bool TColumnEh::ReadOnly() const
{
    return IsExplicit(cvReadOnly) ? fReadOnly : DefaultReadOnly();
}

void TColumnEh::SetReadOnly(bool value)
{
    if (IsDefaultColumnWriteThrough()) {
        Field()->SetReadOnly(value);
        return;
    }
    if (!AssignExplicit(cvReadOnly, fReadOnly, value))
        return;
    Changed(false);
}

void TColumnEh::SetShowImageAndText(bool value)
{
    if (value == fShowImageAndText)
        return;
    fShowImageAndText = value;
    Changed(false);
}

void TColumnEh::SetVisible(bool value)
{
    if (value == fVisible)
        return;
    fVisible = value;
    Changed(true);
}

int TColumnEh::Width() const
{
    return IsExplicit(cvWidth) ? fWidth : FallbackWidth();
}

void TColumnEh::SetWidth(int value)
{
    if (value == -1)
        return;
    if (IsExplicit(cvWidth) || value != FallbackWidth()) {
        if (fMaxWidth > 0 && value > fMaxWidth)
            value = fMaxWidth;
        if (value < fMinWidth)
            value = fMinWidth;
        fWidth = value;
        MarkExplicit(cvWidth);
    }
    // A generated column keeps its field's display width in step (not while the grid lays out:
    // the fitted widths are the grid's, not the user's).
    TColumnsOwnerEh* g = Grid();
    if (g && IsDefaultColumnWriteThrough() && g->HandleAllocated() && !g->InLayout()) {
        const TTextMetricEh m = g->CanvasTextMetrics(Font());
        if (m.ZeroWidth > 0)
            Field()->SetDisplayWidth((value + m.AveCharWidth / 2 - m.Overhang - 3) / m.ZeroWidth);
    }
    Changed(false);
}

bool TColumnEh::WordWrap() const
{
    return IsExplicit(cvWordWrap) ? fWordWrap : DefaultWordWrap();
}

void TColumnEh::SetWordWrap(bool value)
{
    if (IsExplicit(cvWordWrap) || value != DefaultWordWrap() || GridLoading())
        MarkExplicit(cvWordWrap);
    fWordWrap = value;
    Changed(false);
}

// ---------------------------------------------------------------------------------------------
// TColumnEh: cell values

TColumnEhType TColumnEh::CellKind() const
{
    if (Checkboxes())
        return ctCheckboxes;
    const TField* f = Field();
    if (f && f->FieldKind == fkLookup)
        return ctLookupField;
    if (!fPickList.isEmpty() && fKeyList.isEmpty())
        return ctPickList;
    if (fImageList && !fShowImageAndText)
        return ctKeyImageList;
    if (!fPickList.isEmpty() && !fKeyList.isEmpty())
        return ctKeyPickList;
    return ctCommon;
}

QString TColumnEh::CellDisplayText() const
{
    const TField* f = Field();
    if (!f || CellKind() == ctKeyImageList)
        return {};
    if (!fKeyList.isEmpty()) {
        const int i = IndexOfText(fKeyList, f->PlainText());
        if (i >= 0 && i < fPickList.size())
            return fPickList[i];
        if (fNotInKeyListIndex >= 0 && fNotInKeyListIndex < fPickList.size())
            return fPickList[fNotInKeyListIndex];
        return {};
    }
    const TColumnsOwnerEh* g = Grid();
    if (g && g->DrawMemoText() && IsMemo(f))
        return f->Value().toString();
    if (fDisplayFormat.isEmpty())
        return f->DisplayText();
    if (f->IsBlank())
        return {};
    if (f->IsNumeric())
        return FormatFloatEh(fDisplayFormat, f->AsFloat());
    if (f->IsDateTime())
        return FormatDateTimeEh(fDisplayFormat, f->Value().toDateTime());
    return {};
}

bool TColumnEh::CellTextIsFieldText() const
{
    const TField* f = Field();
    if (!f || CellKind() == ctKeyImageList || !fKeyList.isEmpty() || !fDisplayFormat.isEmpty())
        return false;
    const TColumnsOwnerEh* g = Grid();
    return !(g && g->DrawMemoText() && IsMemo(f));
}

int TColumnEh::GetCellImageIndex() const
{
    const TField* f = Field();
    if (!f)
        return -1;
    int result = -1;
    if (!fKeyList.isEmpty()) {
        result = IndexOfText(fKeyList, f->PlainText());
    } else if (!fPickList.isEmpty()) {
        result = IndexOfText(fPickList, f->PlainText());
    } else {
        switch (f->DataType()) {
        case ftSmallint:
        case ftInteger:
        case ftWord:
        case ftFloat:
        case ftCurrency:
        case ftBCD:
        case ftFMTBcd: {
            const double v = f->AsFloat();
            if (v >= double(std::numeric_limits<int>::min()) && v <= double(std::numeric_limits<int>::max()))
                result = int(f->AsInteger());
            break;
        }
        default:
            break;
        }
    }
    return result == -1 ? fNotInKeyListIndex : result;
}

TCheckBoxState TColumnEh::GetCellCheckState() const
{
    const TField* f = Field();
    if (!f)
        return cbUnchecked;
    if (f->IsBlank())
        return cbGrayed;
    if (f->DataType() == ftBoolean)
        return f->AsBoolean() ? cbChecked : cbUnchecked;
    // Without key entries there is nothing to match: no need for the text.
    if (fKeyList.isEmpty())
        return cbGrayed;
    const QString text = f->PlainText();
    if (!fKeyList.isEmpty() && KeyEntryMatches(fKeyList[0], text))
        return cbChecked;
    if (fKeyList.size() < 2)
        return cbGrayed;
    if (KeyEntryMatches(fKeyList[1], text))
        return cbUnchecked;
    return cbGrayed;
}

void TColumnEh::FillCellParams(TColCellParamsEh& params) const
{
    params.Row = -1;
    params.Col = -1;
    params.State = {};
    Font(); // brings the font object up to date with its default
    params.Font = &fFont;
    params.Background = Color();
    params.Alignment = Alignment();
    params.ImageIndex = GetCellImageIndex();
    params.Text = CellDisplayText();
    params.BoxState = GetCellCheckState();
    params.ReadOnly = ReadOnly();
}

void TColumnEh::FireColumnCellParams(bool editMode, TColCellParamsEh& params)
{
    if (OnGetCellParams)
        OnGetCellParams(this, editMode, params);
}

void TColumnEh::OptimizeWidth()
{
    if (TColumnsOwnerEh* g = Grid())
        g->OptimizeColWidth(this);
}

void TColumnEh::RestoreDefaults()
{
    const bool fontWasExplicit = IsExplicit(cvFont);
    fTitle->RestoreDefaults();
    fExplicit = {};
    fFont = DefaultFont();
    fPickList.clear();
    fKeyList.clear();
    fButtonStyle = cbsAuto;
    Changed(fontWasExplicit);
}

bool TColumnEh::UseRightToLeftAlignment() const
{
    return fBiDiMode == bdRightToLeft;
}
