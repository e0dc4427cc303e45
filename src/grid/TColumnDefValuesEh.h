#pragma once
// Column defaults shared by all columns of a grid (the grid's ColumnDefValues): what a column's
// or title's property follows while it is not assigned. Changing a default repaints the grid, or
// lays it out again for the title's alignment and orientation.

#include "TColor.h"
#include "TGridTypesEh.h"

class TColumnsOwnerEh;

class TColumnTitleDefValuesEh
{
public:
    explicit TColumnTitleDefValuesEh(TColumnsOwnerEh* grid) : fGrid(grid) {}

    // taCenter with multi-level titles, taLeftJustify otherwise, until assigned.
    TAlignment Alignment() const;
    void SetAlignment(TAlignment value);
    bool AlignmentExplicit() const { return fAlignmentExplicit; }
    // The grid's FixedColor (clBtnFace) until assigned.
    TColor Color() const;
    void SetColor(TColor value);
    bool ColorExplicit() const { return fColorExplicit; }
    bool EndEllipsis() const { return fEndEllipsis; }
    void SetEndEllipsis(bool value);
    TTextOrientationEh Orientation() const { return fOrientation; }
    void SetOrientation(TTextOrientationEh value);
    bool TitleButton() const { return fTitleButton; }
    void SetTitleButton(bool value);
    bool ToolTips() const { return fToolTips; }
    void SetToolTips(bool value);

private:
    TColumnsOwnerEh* fGrid;
    TAlignment fAlignment = taLeftJustify;
    bool fAlignmentExplicit = false;
    TColor fColor = clBtnFace;
    bool fColorExplicit = false;
    bool fEndEllipsis = false;
    TTextOrientationEh fOrientation = tohHorizontal;
    bool fTitleButton = false;
    bool fToolTips = false;
};

// Footer defaults: footers follow the grid's FooterColor and FooterFont; no value of their own yet.
class TColumnFooterDefValuesEh
{
public:
    explicit TColumnFooterDefValuesEh(TColumnsOwnerEh* grid) : fGrid(grid) {}
    TColumnsOwnerEh* Grid() const { return fGrid; }

private:
    TColumnsOwnerEh* fGrid;
};

class TColumnDefValuesEh
{
public:
    explicit TColumnDefValuesEh(TColumnsOwnerEh* grid);
    virtual ~TColumnDefValuesEh() = default;
    TColumnDefValuesEh(const TColumnDefValuesEh&) = delete;
    TColumnDefValuesEh& operator=(const TColumnDefValuesEh&) = delete;

    TColumnsOwnerEh* Grid() const { return fGrid; }
    TColumnTitleDefValuesEh& Title() { return fTitle; }
    const TColumnTitleDefValuesEh& Title() const { return fTitle; }
    TColumnFooterDefValuesEh& Footer() { return fFooter; }

    bool AlwaysShowEditButton() const { return fAlwaysShowEditButton; }
    void SetAlwaysShowEditButton(bool value);
    bool AutoDropDown() const { return fAutoDropDown; }
    void SetAutoDropDown(bool value);
    bool DblClickNextVal() const { return fDblClickNextVal; }
    void SetDblClickNextVal(bool value);
    bool DropDownShowTitles() const { return fDropDownShowTitles; }
    void SetDropDownShowTitles(bool value);
    bool DropDownSizing() const { return fDropDownSizing; }
    void SetDropDownSizing(bool value);
    bool EndEllipsis() const { return fEndEllipsis; }
    void SetEndEllipsis(bool value);
    bool HighlightRequired() const { return fHighlightRequired; }
    void SetHighlightRequired(bool value);
    TTextLayout Layout() const { return fLayout; }
    void SetLayout(TTextLayout value);
    bool ToolTips() const { return fToolTips; }
    void SetToolTips(bool value);

protected:
    void Changed();

private:
    TColumnsOwnerEh* fGrid;
    TColumnTitleDefValuesEh fTitle;
    TColumnFooterDefValuesEh fFooter;
    bool fAlwaysShowEditButton = false;
    bool fAutoDropDown = false;
    bool fDblClickNextVal = false;
    bool fDropDownShowTitles = false;
    bool fDropDownSizing = false;
    bool fEndEllipsis = false;
    bool fHighlightRequired = false;
    TTextLayout fLayout = tlTop;
    bool fToolTips = false;
};

// The class the data grid publishes as its ColumnDefValues.
class TDBGridEhColumnDefValuesEh : public TColumnDefValuesEh
{
public:
    using TColumnDefValuesEh::TColumnDefValuesEh;
};
