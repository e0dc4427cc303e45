#pragma once
// The look that all data grids share: which colours highlight the current cell, selected cells and
// selected fixed cells. One object serves every grid; it is made at program start and lives as
// long as the program.

#include "TColor.h"
#include "TGridTypesEh.h"

class TCustomDBGridEh;

// A highlight colour seen through a glass of another colour: per channel halfway to the glass,
// then 60 % of the way towards 225, then, with contrast, pushed a quarter away from 122; rounded
// to the nearest integer (halves to even) and kept within 0..255.
TColor MixSelectionColor(TColor base, TColor glass, bool contrast);

class TDBGridEhStyle
{
public:
    TDBGridEhStyle();

    // Non-current selected cells get a softened colour (a mix with the highlight colour) on a
    // true-colour display.
    bool SoftenSelection() const { return fSoftenSelection; }
    void SetSoftenSelection(bool value) { fSoftenSelection = value; }
    // The current cell of a focused grid gets a dotted focus rectangle.
    bool ShowFocusFrame() const { return fShowFocusFrame; }
    void SetShowFocusFrame(bool value) { fShowFocusFrame = value; }
    // The display's colour count, -1 for true colour; re-read when the system colours change.
    int ScreenColorCount() const { return fScreenColorCount; }
    void RefreshScreenColorCount();
    bool TrueColorDisplay() const { return fScreenColorCount == -1; }

    // Decides the colours of a data cell of the record the grid reads now (grid row gridRow, data
    // column dataCol). Returns whether the cell is highlighted; the caller then adds gdSelected.
    bool DataCellHighlight(const TCustomDBGridEh& grid, int dataCol, int gridRow, TGridDrawState state,
                           TColor& background, TColor& fontColor) const;
    // Colours of a selected fixed cell.
    void FixedCellHighlight(const TCustomDBGridEh& grid, const TCellTypeEh& cellType, TColor& background,
                            TColor& fontColor) const;

private:
    bool fSoftenSelection = true;
    bool fShowFocusFrame = true;
    int fScreenColorCount = -1;
};

// The style every grid is given at construction.
TDBGridEhStyle& DBGridEhStyle();

// Whether the desktop's visual styles paint the grid's fixed cells (the program asks for them): on
// in a desktop session, off on the headless platforms, where the classic raised cells keep
// every pixel the same from machine to machine. Tests pin either look.
bool ThemeServicesEnabledEh();
class TPinThemesEh
{
public:
    explicit TPinThemesEh(bool enabled);
    ~TPinThemesEh();
    TPinThemesEh(const TPinThemesEh&) = delete;
    TPinThemesEh& operator=(const TPinThemesEh&) = delete;

private:
    int fSaved;
};
