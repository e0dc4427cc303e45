// Layout of the window's grid: heights, the row window's size, the scroll bar, auto-fit.
#include "GridFixture.h"

#include <QScrollBar>
#include <gtest/gtest.h>

namespace {

using Widths = std::vector<int>;

} // namespace

TEST(WindowGridLayout, HeightsAndBufferFollowTheFontMetrics)
{
    TWindowGrid w(100);
    w.Open();
    TDBGridEh& g = *w.Grid;
    EXPECT_EQ(g.RowHeights(0), 17) << "title: text height 13 + padding 4";
    EXPECT_EQ(g.DefaultRowHeight(), 17) << "data: 13 + inset 3 + line 1";
    EXPECT_EQ(g.ColWidths(0), 11) << "indicator";
    EXPECT_EQ(g.ColCount(), 6);
    EXPECT_EQ(g.FixedCols(), 1);
    EXPECT_EQ(g.FixedRows(), 1);
    EXPECT_EQ(g.GridOptions().ToBits(), 0x0A8Fu);
    EXPECT_EQ(g.ClientHeight(), 189);
    EXPECT_EQ(g.DataLink()->BufferCount(), 9) << "(189 - 18) div 18";
    EXPECT_EQ(g.RowCount(), 10);
    EXPECT_EQ(g.VisibleDataRowCount(), 9);
    EXPECT_EQ(g.Row(), 1) << "the first record in the top data row";
    EXPECT_EQ(g.viewport()->width(), g.ClientWidth()) << "the scroll area agrees with the grid";
    EXPECT_EQ(g.viewport()->height(), g.ClientHeight());
}

TEST(WindowGridLayout, ScrollBarAndFitForEachResultSize)
{
    struct Case
    {
        const char* name;
        int records; // -1: closed
        TScrollInfoEh bar;
        bool shown;
        int rowCount;
        Widths widths;
    };
    const Widths narrow{67, 282, 180, 62, 61};
    const Widths wide{65, 275, 175, 60, 60};
    const Case cases[] = {
        {"closed", -1, {0, 1, 2, 0}, false, 2, narrow},
        {"empty result", 0, {1, 0, 1, 0}, false, 2, narrow},
        {"one record", 1, {1, 1, 1, 1}, false, 2, narrow},
        {"two records: the range exceeds the page by one", 2, {1, 3, 2, 1}, true, 3, wide},
        {"three records with room for nine", 3, {1, 5, 3, 1}, true, 4, wide},
        {"a hundred records", 100, {1, 108, 9, 1}, true, 10, wide},
    };
    for (const Case& c : cases) {
        TWindowGrid w(std::max(0, c.records));
        if (c.records >= 0)
            w.Open();
        const TDBGridEh& g = *w.Grid;
        EXPECT_EQ(g.VertScrollInfo(), c.bar) << c.name;
        EXPECT_EQ(g.VertScrollBarShown(), c.shown) << c.name;
        EXPECT_EQ(g.ClientWidth(), c.shown ? 652 : 669) << c.name;
        EXPECT_EQ(g.RowCount(), c.rowCount) << c.name;
        EXPECT_EQ(w.Widths(), c.widths) << c.name;
        EXPECT_EQ(w.Bases(), (Widths{65, 275, 175, 60, 60})) << c.name << ": fitting leaves the bases";
    }
}

TEST(WindowGridLayout, ClosingShowsTitlesOverOneEmptyRow)
{
    TWindowGrid w(100);
    w.Open();
    w.Data->Close();
    QApplication::processEvents();
    const TDBGridEh& g = *w.Grid;
    EXPECT_EQ(g.RowCount(), 2);
    EXPECT_EQ(g.VertScrollInfo(), (TScrollInfoEh{0, 1, 2, 0}));
    EXPECT_FALSE(g.VertScrollBarShown());
    EXPECT_EQ(w.Widths(), (Widths{67, 282, 180, 62, 61})) << "the bar went away: fitted to 669 again";
    EXPECT_EQ(g.Columns()[1]->Title()->Caption(), QStringLiteral("Владелец"));
}

TEST(WindowGridLayout, ResizingFitsAgain)
{
    TWindowGrid w;
    w.Grid->resize(504, 193);
    QApplication::processEvents();
    EXPECT_EQ(w.Grid->ClientWidth(), 500);
    EXPECT_EQ(w.Widths(), (Widths{49, 209, 133, 46, 46}));
    w.Grid->resize(673, 193);
    QApplication::processEvents();
    EXPECT_EQ(w.Widths(), (Widths{67, 282, 180, 62, 61}));
}

TEST(WindowGridLayout, RecordsAddedShowTheBarAndTheColumnsFitTheNarrowerArea)
{
    TWindowGrid w(1);
    w.Open();
    ASSERT_FALSE(w.Grid->VertScrollBarShown());
    w.Data->Append();
    w.Data->FieldNamed(QStringLiteral("vlad"))->SetAsString(QStringLiteral("New"));
    w.Data->Post();
    EXPECT_TRUE(w.Grid->VertScrollBarShown());
    EXPECT_TRUE(w.Grid->DeferredLayoutPending()) << "one deferred layout is queued";
    w.Grid->PostDeferredLayout();
    QApplication::processEvents();
    EXPECT_FALSE(w.Grid->DeferredLayoutPending());
    EXPECT_EQ(w.Widths(), (Widths{65, 275, 175, 60, 60}));
}

TEST(WindowGridLayout, ProgramWidthChangesScaleTheShareOfTheColumn)
{
    TWindowGrid w;
    TColumnEh* vlad = w.Grid->Columns()[1];
    vlad->SetWidth(302); // grid column is 282 wide
    EXPECT_EQ(w.Bases(), (Widths{65, 295, 155, 60, 60}));
    EXPECT_EQ(w.Widths(), (Widths{67, 303, 159, 62, 61}));
}

TEST(WindowGridLayout, MinAutoFitWidthWiderThanTheClient)
{
    TWindowGrid w;
    w.Grid->SetMinAutoFitWidth(1000);
    const Widths widths = w.Widths();
    int sum = 0;
    for (int x : widths)
        sum += x;
    EXPECT_EQ(sum, 1000 - 11 - 5 - 1);
    EXPECT_FALSE(w.Grid->HorzScrollBarShown()) << "fitting never shows a horizontal bar";
}

TEST(WindowGridLayout, SwitchingAutoFitOffBringsTheAskedWidthsBack)
{
    TWindowGrid w;
    w.Grid->SetAutoFitColWidths(false);
    EXPECT_EQ(w.Widths(), (Widths{65, 275, 175, 60, 60}));
    EXPECT_EQ(w.Grid->ColWidths(2), 275);
    w.Grid->Columns()[2]->SetWidth(100);
    EXPECT_EQ(w.Grid->ColWidths(3), 100) << "without fitting the grid column takes the width at once";
    w.Grid->SetAutoFitColWidths(true);
    EXPECT_EQ(w.Bases()[2], 100);
}

TEST(WindowGridLayout, HiddenColumnsTakeNoRoomAndLeaveTheOrder)
{
    TWindowGrid w;
    w.Grid->Columns()[2]->SetVisible(false);
    EXPECT_EQ(w.Grid->ColWidths(3), -1);
    EXPECT_EQ(w.Grid->VisibleColumnList().Count(), 4);
    // room = 669 - 11 - 4 - 1 = 653 over bases 65 + 275 + 60 + 60 = 460.
    const Widths v = w.Widths();
    EXPECT_EQ(v[0] + v[1] + v[3] + v[4], 653);
    EXPECT_EQ(w.Grid->Columns()[2]->FieldName(), QStringLiteral("street"));
}

TEST(WindowGridLayout, OptionsChangeTheLayout)
{
    TWindowGrid w(100);
    w.Open();
    TDBGridEh& g = *w.Grid;
    g.SetOptions(g.Options() - dgTitles);
    EXPECT_EQ(g.TitleRowCount(), 0);
    EXPECT_EQ(g.FixedRows(), 0);
    EXPECT_EQ(g.DataLink()->BufferCount(), 189 / 18);
    g.SetOptions(g.Options() - dgIndicator + dgTitles);
    EXPECT_EQ(g.IndicatorOffset(), 0);
    EXPECT_EQ(g.ColCount(), 5);
    EXPECT_EQ(g.FixedCols(), 0);
    g.SetOptions(g.Options() - dgRowLines);
    EXPECT_EQ(g.DefaultRowHeight(), 16);
}

TEST(WindowGridLayout, UpdateLockDefersTheLayout)
{
    TWindowGrid w;
    w.Grid->BeginUpdate();
    w.Grid->resize(504, 193);
    QApplication::processEvents();
    EXPECT_EQ(w.Widths()[1], 282) << "nothing happens under the lock";
    w.Grid->EndUpdate();
    EXPECT_EQ(w.Widths(), (Widths{49, 209, 133, 46, 46}));
}

TEST(WindowGridLayout, ExternalScrollBarTakesTheValues)
{
    TWindowGrid w(100);
    QScrollBar ext(Qt::Vertical);
    w.Grid->VertScrollBar().SetExtScrollBar(&ext);
    w.Open();
    EXPECT_FALSE(w.Grid->VertScrollBarShown());
    EXPECT_EQ(w.Grid->ExtVertScrollInfo(), (TScrollInfoEh{1, 108, 9, 1}));
    EXPECT_EQ(ext.minimum(), 1);
    EXPECT_EQ(ext.maximum(), 100);
    EXPECT_EQ(ext.pageStep(), 9);
    ext.triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(w.Data->RecordNumber(), 10);
    EXPECT_EQ(ext.value(), 10);
    w.Grid->VertScrollBar().SetExtScrollBar(nullptr);
}

TEST(WindowGridLayout, VisibleModes)
{
    struct Case
    {
        const char* name;
        TScrollBarVisibleModeEh mode;
        int records;
        bool shown;
        bool enabled;
    };
    const Case cases[] = {
        {"always, nothing to scroll", sbAlwaysShowEh, 1, true, false},
        {"always, records to scroll", sbAlwaysShowEh, 50, true, true},
        {"never", sbNeverShowEh, 50, false, true},
        {"auto, one record", sbAutoShowEh, 1, false, true},
    };
    for (const Case& c : cases) {
        TWindowGrid w(c.records);
        w.Grid->VertScrollBar().SetVisibleMode(c.mode);
        w.Open();
        EXPECT_EQ(w.Grid->VertScrollBarShown(), c.shown) << c.name;
        EXPECT_EQ(w.Grid->verticalScrollBar()->isEnabled(), c.enabled) << c.name;
        EXPECT_EQ(w.Grid->ClientWidth(), c.shown ? 652 : 669) << c.name;
    }
}

TEST(WindowGridLayout, ATallerGridHoldsMoreRecordsAndTheBarsPageFollows)
{
    TWindowGrid w(100);
    w.Open();
    w.Grid->resize(673, 193 + 5 * 18);
    QApplication::processEvents();
    EXPECT_EQ(w.Grid->DataLink()->BufferCount(), 14);
    EXPECT_EQ(w.Grid->VisibleDataRowCount(), 14);
    EXPECT_EQ(w.Grid->VertScrollInfo(), (TScrollInfoEh{1, 113, 14, 1}));
}

TEST(WindowGridLayout, FrozenAndHiddenColumnsStayFixed)
{
    TWindowGrid w;
    w.Grid->SetFrozenCols(1);
    EXPECT_EQ(w.Grid->FixedCols(), 2);
    w.Grid->Columns()[0]->SetVisible(false);
    EXPECT_EQ(w.Grid->FixedCols(), 3) << "indicator, the hidden column and the frozen one after it";
}

TEST(WindowGridLayout, LoadingAStoredLayoutWaitsForItsEnd)
{
    TDBGridEh grid;
    grid.BeginLoading();
    grid.SetAutoFitColWidths(true);
    AddWindowColumns(grid);
    EXPECT_EQ(grid.Columns().Count(), 5);
    EXPECT_EQ(grid.ColCount(), 2) << "no layout while loading";
    grid.EndLoading();
    EXPECT_EQ(grid.ColCount(), 6);
    EXPECT_EQ(grid.Columns()[1]->BasisWidth(), 275) << "after loading every basis is the width";
}

namespace {

// A grid measured with made-up metrics: text 20 pixels high, scroll bars 20 wide.
class TInjectedMetricsGrid : public TDBGridEh
{
public:
    TTextMetricEh CanvasTextMetrics(const TFontEh&) const override
    {
        TTextMetricEh m;
        m.Height = 20;
        m.Ascent = 16;
        m.Descent = 4;
        m.ZeroWidth = 8;
        m.AveCharWidth = 8;
        return m;
    }

protected:
    int ScrollBarExtent() const override { return 20; }
};

} // namespace

TEST(WindowGridLayout, GeometryFollowsInjectedMetrics)
{
    TWindowGridOf<TInjectedMetricsGrid> w(100);
    TInjectedMetricsGrid& grid = *w.Grid;
    w.Open();
    EXPECT_EQ(grid.RowHeights(0), 24) << "20 + padding 4";
    EXPECT_EQ(grid.DefaultRowHeight(), 24) << "20 + inset 3 + line 1";
    EXPECT_EQ(grid.DataLink()->BufferCount(), (189 - 25) / 25);
    EXPECT_EQ(grid.ClientWidth(), 669 - 20) << "the grid's own geometry (the drawn bar keeps its style's width)";
    // room 649 - 11 - 5 - 1 = 632 over bases summing to 635
    int sum = 0;
    for (int i = 0; i < 5; ++i)
        sum += grid.Columns()[i]->Width();
    EXPECT_EQ(sum, 632);
    w.Data->Close();
}
