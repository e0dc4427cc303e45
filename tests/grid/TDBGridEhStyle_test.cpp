// Highlight colours: the selection mix, data cells and fixed cells, on true-colour and 256-colour
// displays, with and without the input focus.
#include "GridFixture.h"

#include <gtest/gtest.h>

namespace {

// The window's grid over a few records, with the focus it is told to have.
class TFocusGrid : public TDBGridEh
{
public:
    bool FakeFocused = false;
    bool FakeInputFocus = false;
    bool Focused() const override { return FakeFocused; }
    bool HasInputFocus() const override { return FakeInputFocus; }
};

struct TStyleFixture
{
    TWindowGridOf<TFocusGrid> W{5};
    TMemDataSet& Data = *W.Data;
    TFocusGrid& Grid = *W.Grid;
    TDBGridEhStyle Style; // made after the display was pinned

    TStyleFixture()
    {
        W.Open();
        Grid.SetStyle(&Style);
    }
};

} // namespace

TEST(MixSelectionColor, HalfwayToTheGlassThenTowardsTheLight)
{
    TPinSystemColorsEh pin;
    struct Case
    {
        const char* name;
        TColor base, glass;
        bool contrast;
        TColor expected;
    };
    const Case cases[] = {
        // 255 -> 153 -> 196.2 -> 214.75 (215); 255 -> 204 -> 216.6 -> 240.25; blue goes beyond 255.
        {"white under highlight, contrast", clWindow, clHighlight, true, RGBColor(215, 240, 255)},
        // 255 -> 207.5 -> 218 in every channel.
        {"white under button shadow", clWhite, clBtnShadow, false, RGBColor(218, 218, 218)},
        // 0 -> 0 -> 135 -> 138.25: contrast pushes a channel away from 122.
        {"black under black, contrast", clBlack, clBlack, true, RGBColor(138, 138, 138)},
        {"black under black", clBlack, clBlack, false, RGBColor(135, 135, 135)},
        // Channels keep their places: red 255 -> 237, green and blue 0 -> 135.
        {"red under red", clRed, clRed, false, RGBColor(237, 135, 135)},
        {"system colours are resolved", clBtnFace, clBtnFace, false, MixSelectionColor(0xF0F0F0, 0xF0F0F0, false)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MixSelectionColor(c.base, c.glass, c.contrast), c.expected) << c.name;
}

TEST(DataCellHighlight, ColoursByFocusSelectionAndDisplay)
{
    TPinSystemColorsEh pin;
    const TColor softHighlight = MixSelectionColor(clWindow, clHighlight, true);
    const TColor softShadow = MixSelectionColor(clWindow, clBtnShadow, false);
    struct Case
    {
        const char* name;
        int displayColours;
        bool focused, inputFocus;
        bool selectAll;
        bool currentCell; // else a cell of another row
        TDBGridOptions addOptions;
        bool soften;
        bool highlighted;
        TColor background, font;
    };
    const Case cases[] = {
        {"current cell, focused", -1, true, true, false, true, {}, true, true, clHighlight, clHighlightText},
        {"current cell, not focused: its normal colours",
         -1,
         false,
         false,
         false,
         true,
         {},
         true,
         false,
         clWindow,
         clWindowText},
        {"another cell, focused, nothing selected",
         -1,
         true,
         true,
         false,
         false,
         {},
         true,
         false,
         clWindow,
         clWindowText},
        {"current cell, not focused, always show selection",
         -1,
         false,
         false,
         false,
         true,
         {dgAlwaysShowSelection},
         true,
         true,
         clBtnShadow,
         clHighlightText},
        {"selected cell, input focus, true colour: softened",
         -1,
         true,
         true,
         true,
         false,
         {},
         true,
         true,
         softHighlight,
         clWindowText},
        {"selected cell, input focus, soften off",
         -1,
         true,
         true,
         true,
         false,
         {},
         false,
         true,
         clHighlight,
         clHighlightText},
        {"selected cell, input focus, 256 colours",
         256,
         true,
         true,
         true,
         false,
         {},
         true,
         true,
         clHighlight,
         clHighlightText},
        {"selected current cell, input focus",
         -1,
         true,
         true,
         true,
         true,
         {},
         true,
         true,
         clHighlight,
         clHighlightText},
        {"selected cell, no input focus, true colour",
         -1,
         false,
         false,
         true,
         false,
         {},
         true,
         true,
         softShadow,
         clWindowText},
        {"selected cell, no input focus, 256 colours",
         256,
         false,
         false,
         true,
         false,
         {},
         true,
         true,
         clBtnFace,
         clWindowText},
        {"selected current cell, no input focus, not focused either",
         -1,
         false,
         false,
         true,
         true,
         {},
         true,
         true,
         softShadow,
         clWindowText},
    };
    for (const Case& c : cases) {
        TPinDisplayColorCountEh display(c.displayColours);
        TStyleFixture f;
        f.Style.SetSoftenSelection(c.soften);
        f.Grid.FakeFocused = c.focused;
        f.Grid.FakeInputFocus = c.inputFocus;
        f.Grid.SetOptions(f.Grid.Options() + c.addOptions);
        if (c.selectAll)
            f.Grid.Selection().SelectAll();
        const int row = c.currentCell ? f.Grid.Row() : f.Grid.Row() + 2;
        const int dataCol = f.Grid.SelectedIndex();
        TGridDrawState state;
        if (c.currentCell)
            state.Include(gdSelected);
        TColor background = clWindow;
        TColor font = clWindowText;
        f.Grid.BeginReadRow(row - f.Grid.TitleRowCount());
        const bool lit = f.Style.DataCellHighlight(f.Grid, dataCol, row, state, background, font);
        f.Grid.EndReadRow();
        EXPECT_EQ(lit, c.highlighted) << c.name;
        EXPECT_EQ(background, c.background) << c.name;
        EXPECT_EQ(font, c.font) << c.name;
    }
}

TEST(DataCellHighlight, RowRulesAndLocks)
{
    TPinSystemColorsEh pin;
    TStyleFixture f;
    f.Grid.FakeFocused = f.Grid.FakeInputFocus = true;
    const int row = f.Grid.Row();
    auto highlight = [&](int dataCol, TGridDrawState state) {
        TColor background = clWindow;
        TColor font = clWindowText;
        return f.Style.DataCellHighlight(f.Grid, dataCol, row, state, background, font);
    };
    const int other = f.Grid.SelectedIndex() + 1;
    EXPECT_FALSE(highlight(other, {})) << "another column of the current row";
    f.Grid.SetOptionsEh(f.Grid.OptionsEh() + dghRowHighlight);
    EXPECT_TRUE(highlight(other, {})) << "row highlight: the whole current row";
    f.Grid.SetOptionsEh(f.Grid.OptionsEh() - dghRowHighlight);
    f.Grid.SetOptions(f.Grid.Options() + dgRowSelect);
    EXPECT_TRUE(highlight(other, {})) << "row select: the whole current row";
    f.Grid.SetOptions(f.Grid.Options() - dgRowSelect);
    f.Grid.BeginUpdate();
    EXPECT_FALSE(highlight(f.Grid.SelectedIndex(), {gdSelected})) << "no highlight while an update lock is held";
    f.Grid.SetOptions(f.Grid.Options() + dgRowSelect);
    EXPECT_TRUE(highlight(f.Grid.SelectedIndex(), {gdSelected})) << "except with row select";
    f.Grid.EndUpdate();
}

TEST(FixedCellHighlight, DarkIndicatorAndTitlesMixedFooters)
{
    TPinSystemColorsEh pin;
    struct Case
    {
        const char* name;
        int displayColours;
        bool inputFocus;
        TCellTypeEh type;
        TColor background, font;
    };
    const TCellTypeEh indicator{cckIndicatorEh, crkDataEh, -1, 0};
    const TCellTypeEh corner{cckIndicatorEh, crkTitleEh, -1, 0};
    const TCellTypeEh title{cckDataEh, crkTitleEh, 2, 0};
    const TCellTypeEh filter{cckDataEh, crkFilterEh, 2, 0};
    const TCellTypeEh footer{cckDataEh, crkFooterEh, 2, 0};
    const TCellTypeEh indicatorFooter{cckIndicatorEh, crkFooterEh, -1, 0};
    const Case cases[] = {
        {"indicator cell", -1, true, indicator, RGBColor(64, 64, 64), clWhite},
        {"corner cell", 256, false, corner, RGBColor(64, 64, 64), clWhite},
        {"title", -1, false, title, RGBColor(64, 64, 64), clWhite},
        {"filter row cell", -1, true, filter, RGBColor(64, 64, 64), clWhite},
        {"footer, input focus, true colour", -1, true, footer, MixSelectionColor(clBtnFace, clHighlight, true),
         clWindowText},
        {"footer, input focus, 256 colours", 256, true, footer, clHighlight, clHighlightText},
        {"footer, no input focus, true colour", -1, false, footer, MixSelectionColor(clBtnFace, clBtnShadow, false),
         clWindowText},
        {"indicator in the footer rows, no input focus, 256 colours", 256, false, indicatorFooter, clBtnFace,
         clWindowText},
    };
    for (const Case& c : cases) {
        TPinDisplayColorCountEh display(c.displayColours);
        TStyleFixture f;
        f.Grid.FakeInputFocus = c.inputFocus;
        TColor background = clBtnFace;
        TColor font = clWindowText;
        f.Style.FixedCellHighlight(f.Grid, c.type, background, font);
        EXPECT_EQ(background, c.background) << c.name;
        EXPECT_EQ(font, c.font) << c.name;
    }
}
