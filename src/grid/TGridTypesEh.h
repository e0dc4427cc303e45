#pragma once
// Small value types the grid family shares: drawing states, text layout, check-box states, sort
// markers, footer kinds, and the grid error.

#include "TEnumSetEh.h"

#include "Exception.h"
#include "TDataSet.h" // TAlignment

// State of a cell while it is painted.
enum TGridDrawStateItem
{
    gdSelected,
    gdFocused,
    gdFixed
};
using TGridDrawState = TEnumSetEh<TGridDrawStateItem, 3>;

enum TTextLayout
{
    tlTop,
    tlCenter,
    tlBottom
};
enum TTextOrientationEh
{
    tohHorizontal,
    tohVertical
};
enum TCheckBoxState
{
    cbUnchecked,
    cbChecked,
    cbGrayed
};
enum TSortMarkerEh
{
    smNoneEh,
    smDownEh,
    smUpEh
};
enum TFooterValueType
{
    fvtNon,
    fvtSum,
    fvtAvg,
    fvtCount,
    fvtFieldValue,
    fvtStaticText
};
enum TColumnButtonStyleEh
{
    cbsAuto,
    cbsEllipsis,
    cbsNone,
    cbsUpDown,
    cbsDropDown,
    cbsAltDropDown,
    cbsAltUpDown
};
enum TBiDiModeEh
{
    bdLeftToRight,
    bdRightToLeft,
    bdRightToLeftNoAlign,
    bdRightToLeftReadingOnly
};
enum TImeModeEh
{
    imDisable,
    imClose,
    imOpen,
    imDontCare,
    imSAlpha,
    imAlpha,
    imHira,
    imSKata,
    imKata,
    imChinese,
    imSHanguel,
    imHanguel
};

// What a data cell shows: plain text, a pick list value, a lookup value, a key-and-pick list value,
// an image, or a check box.
enum TColumnEhType
{
    ctCommon,
    ctPickList,
    ctLookupField,
    ctKeyPickList,
    ctKeyImageList,
    ctCheckboxes
};

// Errors of the grid's cell structure (indexes, fixed counts, the field map).
class EInvalidGridOperationEh : public Exception
{
public:
    using Exception::Exception;
};

// Where a cell of the data grid lies: in the indicator column or a data column, and in a title row,
// the filter row under the titles, a data row or a footer row; with the data column's index and the
// row's index within its kind (GetCellType).
enum TCellColKindEh
{
    cckIndicatorEh,
    cckDataEh
};
enum TCellRowKindEh
{
    crkTitleEh,
    crkFilterEh,
    crkDataEh,
    crkFooterEh
};
struct TCellTypeEh
{
    TCellColKindEh ColKind = cckDataEh;
    TCellRowKindEh RowKind = crkDataEh;
    int DataCol = -1; // -1 in the indicator column
    int RowIndex = 0; // within its kind
};

// A block of grid cells, both corners included; all -1 when there is none.
struct TGridRectEh
{
    int Left = -1;
    int Top = -1;
    int Right = -1;
    int Bottom = -1;
    bool IsEmpty() const { return Left < 0 || Top < 0 || Right < Left || Bottom < Top; }
    friend bool operator==(const TGridRectEh&, const TGridRectEh&) = default;
};
