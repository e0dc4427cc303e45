#include "TColumnDefValuesEh.h"

#include "TColumnsOwnerEh.h"

// ---------------------------------------------------------------------------------------------
// TColumnTitleDefValuesEh

TAlignment TColumnTitleDefValuesEh::Alignment() const
{
    if (fAlignmentExplicit)
        return fAlignment;
    return fGrid && fGrid->UseMultiTitle() ? taCenter : taLeftJustify;
}

void TColumnTitleDefValuesEh::SetAlignment(TAlignment value)
{
    if (fAlignmentExplicit && value == fAlignment)
        return;
    fAlignment = value;
    fAlignmentExplicit = true;
    if (fGrid)
        fGrid->RequestLayout();
}

TColor TColumnTitleDefValuesEh::Color() const
{
    if (fColorExplicit)
        return fColor;
    return fGrid ? fGrid->FixedColor() : clBtnFace;
}

void TColumnTitleDefValuesEh::SetColor(TColor value)
{
    if (fColorExplicit && value == fColor)
        return;
    fColor = value;
    fColorExplicit = true;
    if (fGrid)
        fGrid->InvalidateGrid();
}

void TColumnTitleDefValuesEh::SetEndEllipsis(bool value)
{
    fEndEllipsis = value;
    if (fGrid)
        fGrid->InvalidateGrid();
}

void TColumnTitleDefValuesEh::SetOrientation(TTextOrientationEh value)
{
    if (value == fOrientation)
        return;
    fOrientation = value;
    if (fGrid)
        fGrid->RequestLayout();
}

void TColumnTitleDefValuesEh::SetTitleButton(bool value)
{
    fTitleButton = value;
    if (fGrid)
        fGrid->InvalidateGrid();
}

void TColumnTitleDefValuesEh::SetToolTips(bool value)
{
    fToolTips = value;
}

// ---------------------------------------------------------------------------------------------
// TColumnDefValuesEh

TColumnDefValuesEh::TColumnDefValuesEh(TColumnsOwnerEh* grid) : fGrid(grid), fTitle(grid), fFooter(grid) {}

void TColumnDefValuesEh::Changed()
{
    if (fGrid)
        fGrid->InvalidateGrid();
}

#define PB_DEF_VALUE_SETTER(Name, Type)                                                                                \
    void TColumnDefValuesEh::Set##Name(Type value)                                                                     \
    {                                                                                                                  \
        if (value == f##Name)                                                                                          \
            return;                                                                                                    \
        f##Name = value;                                                                                               \
        Changed();                                                                                                     \
    }

PB_DEF_VALUE_SETTER(AlwaysShowEditButton, bool)
PB_DEF_VALUE_SETTER(AutoDropDown, bool)
PB_DEF_VALUE_SETTER(DblClickNextVal, bool)
PB_DEF_VALUE_SETTER(DropDownShowTitles, bool)
PB_DEF_VALUE_SETTER(DropDownSizing, bool)
PB_DEF_VALUE_SETTER(EndEllipsis, bool)
PB_DEF_VALUE_SETTER(HighlightRequired, bool)
PB_DEF_VALUE_SETTER(Layout, TTextLayout)
PB_DEF_VALUE_SETTER(ToolTips, bool)

#undef PB_DEF_VALUE_SETTER
