#include "TColumnEh.h"

#include "TColumnDefValuesEh.h"
#include "TColumnsOwnerEh.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------------
// TColumnTitleEh

TColumnTitleEh::TColumnTitleEh(TColumnEh* column) : fColumn(column)
{
    fFont = DefaultFont();
}

bool TColumnTitleEh::IsExplicit(TColumnEhValue v) const
{
    return fColumn->IsExplicit(v);
}

void TColumnTitleEh::MarkExplicit(TColumnEhValue v)
{
    fColumn->MarkExplicit(v);
}

void TColumnTitleEh::Assign(const TColumnTitleEh& source)
{
    if (source.IsExplicit(cvTitleAlignment))
        SetAlignment(source.Alignment());
    if (source.IsExplicit(cvTitleCaption))
        SetCaption(source.Caption());
    if (source.IsExplicit(cvTitleColor))
        SetColor(source.Color());
    if (source.IsExplicit(cvTitleEndEllipsis))
        SetEndEllipsis(source.EndEllipsis());
    if (source.IsExplicit(cvTitleFont))
        SetFont(source.Font());
    if (source.IsExplicit(cvTitleOrientation))
        SetOrientation(source.Orientation());
    if (source.IsExplicit(cvTitleButton))
        SetTitleButton(source.TitleButton());
    if (source.IsExplicit(cvTitleToolTips))
        SetToolTips(source.ToolTips());
    fHint = source.fHint;
    fImageIndex = source.fImageIndex;
    fSortIndex = source.fSortIndex;
    fSortMarker = source.fSortMarker;
}

TAlignment TColumnTitleEh::DefaultAlignment() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g ? g->ColumnDefValues().Title().Alignment() : taLeftJustify;
}

TAlignment TColumnTitleEh::Alignment() const
{
    return IsExplicit(cvTitleAlignment) ? fAlignment : DefaultAlignment();
}

void TColumnTitleEh::SetAlignment(TAlignment value)
{
    if (!fColumn->AssignExplicit(cvTitleAlignment, fAlignment, value))
        return;
    fColumn->Changed(false);
}

QString TColumnTitleEh::DefaultCaption() const
{
    if (const TField* f = fColumn->Field())
        return f->DisplayName();
    return fColumn->FieldName();
}

QString TColumnTitleEh::Caption() const
{
    return IsExplicit(cvTitleCaption) ? fCaption : DefaultCaption();
}

void TColumnTitleEh::SetCaption(const QString& value)
{
    if (fColumn->IsDefaultColumnWriteThrough()) {
        // A generated column shows its field's label; the label takes the new caption.
        fColumn->Field()->SetDisplayLabel(value);
        return;
    }
    if (!fColumn->AssignExplicit(cvTitleCaption, fCaption, value))
        return;
    fColumn->Changed(false);
}

TColor TColumnTitleEh::DefaultColor() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g ? g->ColumnDefValues().Title().Color() : clBtnFace;
}

TColor TColumnTitleEh::Color() const
{
    return IsExplicit(cvTitleColor) ? fColor : DefaultColor();
}

void TColumnTitleEh::SetColor(TColor value)
{
    if (!fColumn->AssignExplicit(cvTitleColor, fColor, value))
        return;
    fColumn->Changed(false);
}

bool TColumnTitleEh::DefaultEndEllipsis() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g && g->ColumnDefValues().Title().EndEllipsis();
}

bool TColumnTitleEh::EndEllipsis() const
{
    return IsExplicit(cvTitleEndEllipsis) ? fEndEllipsis : DefaultEndEllipsis();
}

void TColumnTitleEh::SetEndEllipsis(bool value)
{
    if (!fColumn->AssignExplicit(cvTitleEndEllipsis, fEndEllipsis, value))
        return;
    fColumn->Changed(false);
}

TFontEh TColumnTitleEh::DefaultFont() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g ? g->TitleFont() : fColumn->Font();
}

const TFontEh& TColumnTitleEh::Font() const
{
    if (!IsExplicit(cvTitleFont)) {
        const TFontEh def = DefaultFont();
        if (!(fFont == def))
            fFont = def;
    }
    return fFont;
}

void TColumnTitleEh::SetFont(const TFontEh& value)
{
    fFont = value;
    MarkExplicit(cvTitleFont);
    fColumn->Changed(true);
}

void TColumnTitleEh::SetImageIndex(int value)
{
    if (value == fImageIndex)
        return;
    fImageIndex = value;
    if (TColumnsOwnerEh* g = fColumn->Grid(); g && !fColumn->GridLoading())
        g->RequestLayout();
}

TTextOrientationEh TColumnTitleEh::DefaultOrientation() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g ? g->ColumnDefValues().Title().Orientation() : tohHorizontal;
}

TTextOrientationEh TColumnTitleEh::Orientation() const
{
    return IsExplicit(cvTitleOrientation) ? fOrientation : DefaultOrientation();
}

void TColumnTitleEh::SetOrientation(TTextOrientationEh value)
{
    if (!fColumn->AssignExplicit(cvTitleOrientation, fOrientation, value))
        return;
    fColumn->Changed(true);
}

void TColumnTitleEh::SetSortIndex(int value)
{
    value = std::max(0, value);
    if (value == fSortIndex)
        return;
    TColumnsOwnerEh* grid = fColumn->Grid();
    if (!grid || fColumn->Collection()->UpdateCount() > 0) {
        fSortIndex = value;
        return;
    }
    // Only a marked column moves, and only to an ordinal another marked column holds: the two
    // exchange. (Unmarked columns hold 0, which no marked column may take.)
    if (fSortMarker == smNoneEh)
        return;
    const TDBGridColumnsEh& columns = *fColumn->Collection();
    TColumnTitleEh* other = nullptr;
    for (int i = 0; i < columns.Count() && !other; ++i) {
        TColumnTitleEh* t = columns[i]->Title();
        if (columns[i] != fColumn && t->fSortMarker != smNoneEh && t->fSortIndex == value)
            other = t;
    }
    if (!other)
        return;
    other->fSortIndex = fSortIndex;
    fSortIndex = value;
    TColumnsEhList& marked = grid->SortMarkedList();
    const int mine = marked.IndexOf(fColumn);
    const int theirs = marked.IndexOf(other->fColumn);
    if (mine >= 0 && theirs >= 0) {
        marked.SetItem(mine, other->fColumn);
        marked.SetItem(theirs, fColumn);
    }
    fColumn->Changed(false);
}

void TColumnTitleEh::SetSortMarker(TSortMarkerEh value)
{
    if (value == fSortMarker)
        return;
    const TSortMarkerEh old = fSortMarker;
    fSortMarker = value;
    TColumnsOwnerEh* grid = fColumn->Grid();
    if (!grid || fColumn->Collection()->UpdateCount() > 0)
        return;
    const bool gains = old == smNoneEh && value != smNoneEh;
    const bool loses = old != smNoneEh && value == smNoneEh;
    const TDBGridColumnsEh& columns = *fColumn->Collection();
    TColumnsEhList& marked = grid->SortMarkedList();
    if (grid->MultiSortMarking()) {
        if (gains && fSortIndex == 0) {
            int numbered = 0;
            for (int i = 0; i < columns.Count(); ++i)
                if (columns[i]->Title()->fSortIndex != 0)
                    ++numbered;
            fSortIndex = numbered + 1;
            marked.Add(fColumn);
        } else if (loses && fSortIndex != 0) {
            for (int i = 0; i < columns.Count(); ++i) {
                TColumnTitleEh* t = columns[i]->Title();
                if (t->fSortIndex > fSortIndex)
                    --t->fSortIndex;
            }
            marked.Remove(fColumn);
            fSortIndex = 0;
        }
    } else if (gains) {
        // One marked column at a time: the others lose theirs first.
        for (int i = 0; i < columns.Count(); ++i)
            if (columns[i] != fColumn && columns[i]->Title()->fSortMarker != smNoneEh)
                columns[i]->Title()->SetSortMarker(smNoneEh);
        fSortIndex = 1;
        marked.Clear();
        marked.Add(fColumn);
    } else if (loses) {
        fSortIndex = 0;
        marked.Clear();
    }
    fColumn->Changed(false);
}

bool TColumnTitleEh::DefaultTitleButton() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g && g->ColumnDefValues().Title().TitleButton();
}

bool TColumnTitleEh::TitleButton() const
{
    return IsExplicit(cvTitleButton) ? fTitleButton : DefaultTitleButton();
}

void TColumnTitleEh::SetTitleButton(bool value)
{
    if (!fColumn->AssignExplicit(cvTitleButton, fTitleButton, value))
        return;
    fColumn->Changed(false);
}

bool TColumnTitleEh::DefaultToolTips() const
{
    const TColumnsOwnerEh* g = fColumn->Grid();
    return g && g->ColumnDefValues().Title().ToolTips();
}

bool TColumnTitleEh::ToolTips() const
{
    return IsExplicit(cvTitleToolTips) ? fToolTips : DefaultToolTips();
}

void TColumnTitleEh::SetToolTips(bool value)
{
    fToolTips = value;
    MarkExplicit(cvTitleToolTips);
}

void TColumnTitleEh::RestoreDefaults()
{
    const bool fontWasExplicit = IsExplicit(cvTitleFont);
    for (TColumnEhValue v : {cvTitleColor, cvTitleCaption, cvTitleAlignment, cvTitleFont, cvTitleButton,
                             cvTitleEndEllipsis, cvTitleToolTips, cvTitleOrientation})
        fColumn->fExplicit.Exclude(v);
    fCaption.clear();
    fFont = DefaultFont();
    if (fontWasExplicit)
        fColumn->Changed(true);
}
