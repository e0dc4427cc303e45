#include "TDBGridEhStyle.h"

#include "TCustomDBGridEh.h"

#include <QGuiApplication>

#include <algorithm>
#include <cmath>

namespace {

int MixChannel(int base, int glass, bool contrast)
{
    double m = base + (glass - base) * 0.5;
    m = m + (225 - m) * 0.6;
    if (contrast)
        m = m - (122 - m) * 0.25;
    // std::nearbyint rounds halves to even in the default rounding mode.
    return std::clamp(int(std::nearbyint(m)), 0, 255);
}

} // namespace

TColor MixSelectionColor(TColor base, TColor glass, bool contrast)
{
    const TColor b = ColorToRGB(base);
    const TColor g = ColorToRGB(glass);
    return RGBColor(MixChannel(GetRValue(b), GetRValue(g), contrast), MixChannel(GetGValue(b), GetGValue(g), contrast),
                    MixChannel(GetBValue(b), GetBValue(g), contrast));
}

TDBGridEhStyle::TDBGridEhStyle()
{
    RefreshScreenColorCount();
}

void TDBGridEhStyle::RefreshScreenColorCount()
{
    fScreenColorCount = DisplayColorCountEh();
}

bool TDBGridEhStyle::DataCellHighlight(const TCustomDBGridEh& grid, int dataCol, int gridRow, TGridDrawState state,
                                       TColor& background, TColor& fontColor) const
{
    const TDBGridOptions options = grid.Options();
    const TDBGridEhOptions optionsEh = grid.OptionsEh();
    const bool rowSelect = options.Contains(dgRowSelect);
    const bool inCurrentRow = gridRow == grid.Row();
    const bool currentCell = inCurrentRow && (rowSelect || grid.DataToRawColumn(dataCol) == grid.Col());
    const bool selected = grid.DataLink()->Active() && grid.Selection().DataCellSelected(dataCol);
    bool focusHighlight = grid.Focused() && optionsEh.Contains(dghHighlightFocus);
    bool highlighted = selected;
    if (!selected) {
        if (optionsEh.Contains(dghRowHighlight) && inCurrentRow && grid.Selection().SelectionType() == gstNon) {
            state.Include(gdSelected);
            focusHighlight = true;
        }
        highlighted = (state.Contains(gdSelected) || (rowSelect && inCurrentRow))
                      && (options.Contains(dgAlwaysShowSelection) || focusHighlight);
        if (grid.UpdateLockCount() > 0)
            highlighted = highlighted && rowSelect;
    }
    if (!highlighted)
        return false;
    if (grid.HasInputFocus()) {
        if (fSoftenSelection && TrueColorDisplay() && !currentCell) {
            background = NearestDisplayColorEh(MixSelectionColor(background, clHighlight, true));
        } else {
            background = clHighlight;
            fontColor = clHighlightText;
        }
    } else if (currentCell && (focusHighlight || options.Contains(dgAlwaysShowSelection))) {
        background = clBtnShadow;
        fontColor = clHighlightText;
    } else if (TrueColorDisplay()) {
        background = NearestDisplayColorEh(MixSelectionColor(background, clBtnShadow, false));
    } else {
        background = clBtnFace;
    }
    return true;
}

void TDBGridEhStyle::FixedCellHighlight(const TCustomDBGridEh& grid, const TCellTypeEh& cellType, TColor& background,
                                        TColor& fontColor) const
{
    const bool indicator = cellType.ColKind == cckIndicatorEh && cellType.RowKind != crkFooterEh;
    const bool title =
        cellType.ColKind == cckDataEh && (cellType.RowKind == crkTitleEh || cellType.RowKind == crkFilterEh);
    if (indicator || title) {
        background = RGBColor(64, 64, 64);
        fontColor = clWhite;
    } else if (grid.HasInputFocus()) {
        if (fSoftenSelection && TrueColorDisplay()) {
            background = MixSelectionColor(background, clHighlight, true);
        } else {
            background = clHighlight;
            fontColor = clHighlightText;
        }
    } else if (TrueColorDisplay()) {
        background = MixSelectionColor(background, clBtnShadow, false);
    } else {
        background = clBtnFace;
    }
}

TDBGridEhStyle& DBGridEhStyle()
{
    static TDBGridEhStyle style;
    return style;
}

namespace {

int gThemesPinned = -1; // -1: follow the platform

} // namespace

bool ThemeServicesEnabledEh()
{
    if (gThemesPinned >= 0)
        return gThemesPinned != 0;
    if (!qGuiApp)
        return false;
    static const bool desktop = [] {
        const QString platform = QGuiApplication::platformName();
        return platform != QLatin1String("offscreen") && platform != QLatin1String("minimal");
    }();
    return desktop;
}

TPinThemesEh::TPinThemesEh(bool enabled) : fSaved(gThemesPinned)
{
    gThemesPinned = enabled ? 1 : 0;
}

TPinThemesEh::~TPinThemesEh()
{
    gThemesPinned = fSaved;
}
