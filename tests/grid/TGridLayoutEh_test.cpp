#include "TGridLayoutEh.h"

#include <gtest/gtest.h>

TEST(MulDiv, RoundsHalvesAwayFromZeroWithA64BitProduct)
{
    struct Case
    {
        const char* name;
        int a, b, c, expected;
    };
    const Case cases[] = {
        {"exact", 6, 4, 3, 8},
        {"rounds down below half", 275, 302, 282, 295}, // 294.503
        {"half rounds up", 5, 1, 2, 3},
        {"negative half rounds away from zero", -5, 1, 2, -3},
        {"negative divisor", 5, 1, -2, -3},
        {"both negative", -5, -1, 2, 3},
        {"product beyond 32 bits", 100000, 100000, 1000, 10000000},
        {"zero divisor", 7, 3, 0, -1},
        {"result beyond 32 bits", 2000000000, 4, 1, -1},
        {"share of the window's numer column", 65, 652, 635, 67},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MulDiv(c.a, c.b, c.c), c.expected) << c.name;
}

#include "TColumnEh.h"
#include "TCustomGridEh.h"
#include "TGridDataLinkEh.h"

TEST(TGridAxisEh, CellsLinesAndSizingZones)
{
    TGridAxisEh a;
    a.Extents = {11, 67, 282, 180, 62, 61};
    a.FixedCount = 1;
    a.FirstCell = 1;
    a.LineWidth = 1;
    a.ClientExtent = 669;
    EXPECT_EQ(a.FixedBoundary(), 12);
    EXPECT_EQ(a.CellStart(2), 80);
    EXPECT_EQ(a.GridBoundary(), 669);
    EXPECT_EQ(a.LastFullVisibleCell(), 5) << "the last line ends exactly at the client edge";
    EXPECT_EQ(a.LastVisibleCell(), 5);

    struct Case
    {
        const char* name;
        int pos;
        int cell;  // CellAt
        int sized; // SizingHit, -1 none
    };
    const Case cases[] = {
        {"indicator", 5, 0, -1},
        {"indicator's line", 11, 0, -1},
        {"numer's line", 79, 1, 1},
        {"vlad's first pixel", 80, 2, 1},
        {"3 before vlad's boundary", 359, 2, 2},
        {"4 before it", 358, 2, -1},
        {"4 after it", 366, 3, 2},
        {"5 after it", 367, 3, -1},
        {"beyond the client", 700, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(a.CellAt(c.pos), c.cell) << c.name;
        int boundary = -1;
        EXPECT_EQ(a.SizingHit(c.pos, boundary), c.sized) << c.name;
    }

    a.ClientExtent = 300;
    int boundary = -1;
    EXPECT_EQ(a.SizingHit(362, boundary), -1) << "a boundary outside the client does not count";
    EXPECT_EQ(a.LastFullVisibleCell(), 1);
    EXPECT_EQ(a.LastVisibleCell(), 2);

    a.Extents = {11, 67, -1, 180};
    a.ClientExtent = 669;
    EXPECT_EQ(a.CellStart(3), 80) << "a hidden cell takes no room, its line included";
    EXPECT_EQ(a.SizingHit(79, boundary), 1);
    EXPECT_EQ(a.CellAt(80), 3);
}

TEST(FixedColCountEh, IndicatorFrozenAndHiddenColumns)
{
    struct Case
    {
        const char* name;
        std::vector<bool> visible;
        int indicator;
        int frozen;
        int fixed;
    };
    const Case cases[] = {
        {"indicator only", {true, true, true}, 1, 0, 1},
        {"no indicator, nothing frozen", {true, true, true}, 0, 0, 0},
        {"one frozen", {true, true, true}, 1, 1, 2},
        {"hidden first column before the frozen one", {false, true, true}, 1, 1, 3},
        {"hidden column right after the frozen one", {true, false, true}, 1, 1, 3},
        {"hidden column before the first visible, nothing frozen", {false, true}, 1, 0, 2},
        {"hidden column after a visible one, nothing frozen", {true, false}, 1, 0, 1},
        {"no column visible: one less", {false, false}, 1, 0, 2},
        {"no column at all", {}, 1, 0, 0},
        {"frozen beyond the columns: at most all but one", {true, true}, 1, 5, 2},
    };
    for (const Case& c : cases) {
        const int colCount = std::max(1, int(c.visible.size()) + c.indicator);
        EXPECT_EQ(FixedColCountEh(c.visible, c.indicator, c.frozen, colCount), c.fixed) << c.name;
    }
}

TEST(ComputeVertScrollInfoEh, ValuesForTheRecordSetsState)
{
    struct Case
    {
        const char* name;
        TVertScrollInputEh in;
        TScrollInfoEh expected;
        bool exceeds;
    };
    auto seq = [](int count, int number, int rows) {
        TVertScrollInputEh in;
        in.Active = true;
        in.RecordCount = count;
        in.RecordNumber = number;
        in.VisibleRows = rows;
        return in;
    };
    TVertScrollInputEh inserting = seq(50, -1, 9);
    inserting.InsertOrLater = true;
    inserting.PreviousPos = 17;
    TVertScrollInputEh unsequenced;
    unsequenced.Active = true;
    unsequenced.Sequenced = false;
    TVertScrollInputEh atStart = unsequenced;
    atStart.AtStart = true;
    TVertScrollInputEh atEnd = unsequenced;
    atEnd.AtEnd = true;
    const Case cases[] = {
        {"closed", TVertScrollInputEh{}, {0, 1, 2, 0}, false},
        {"empty", seq(0, 0, 1), {1, 0, 1, 0}, false},
        {"one record", seq(1, 1, 1), {1, 1, 1, 1}, false},
        {"two records", seq(2, 2, 2), {1, 3, 2, 2}, true},
        {"three records, ten rows of room", seq(3, 1, 3), {1, 5, 3, 1}, true},
        {"insert state keeps the position", inserting, {1, 58, 9, 17}, true},
        {"not sequenced, in between", unsequenced, {0, 4, 0, 2}, true},
        {"not sequenced, at the start", atStart, {0, 4, 0, 0}, true},
        {"not sequenced, at the end", atEnd, {0, 4, 0, 4}, true},
    };
    for (const Case& c : cases) {
        const TScrollInfoEh si = ComputeVertScrollInfoEh(c.in);
        EXPECT_EQ(si, c.expected) << c.name;
        EXPECT_EQ(ScrollRangeExceedsPage(si), c.exceeds) << c.name;
    }
}

namespace {

// Standalone columns (no grid) for the fitting arithmetic.
struct TFitColumns
{
    TDBGridColumnsEh Columns{nullptr};
    TColumnsEhList Visible;

    TColumnEh* Add(int basis, bool autoFit = true, int width = 64)
    {
        TColumnEh* c = Columns.Add();
        c->SetWidth(width);
        c->SetBasisWidth(basis);
        c->SetAutoFitColWidth(autoFit);
        Visible.Add(c);
        return c;
    }
    std::vector<int> Widths() const
    {
        std::vector<int> w;
        for (TColumnEh* c : Visible)
            w.push_back(c->Width());
        return w;
    }
    void Fit(int client, bool indicator = true, bool lines = true, int minAutoFit = 0)
    {
        TAutoFitParamsEh p;
        p.Indicator = indicator;
        p.IndicatorWidth = 11;
        p.ColLines = lines;
        p.MinAutoFitWidth = minAutoFit;
        AutoFitColumnsEh(Visible, p, [client] { return client; });
    }
};

} // namespace

TEST(AutoFitColumnsEh, SharesRangesAndRemainders)
{
    using W = std::vector<int>;
    {
        TFitColumns f;
        for (int b : {65, 275, 175, 60, 60})
            f.Add(b);
        f.Fit(669);
        EXPECT_EQ(f.Widths(), (W{67, 282, 180, 62, 61})) << "the last absorbs -1";
        f.Fit(652);
        EXPECT_EQ(f.Widths(), (W{65, 275, 175, 60, 60}));
        f.Fit(500);
        EXPECT_EQ(f.Widths(), (W{49, 209, 133, 46, 46}));
    }
    {
        TFitColumns f;
        f.Add(65);
        TColumnEh* vlad = f.Add(275);
        for (int b : {175, 60, 60})
            f.Add(b);
        vlad->SetMaxWidth(100);
        f.Fit(669);
        // Fixed at 100 in the first pass; 552 shared among 360 of bases in the second.
        EXPECT_EQ(f.Widths(), (W{100, 100, 268, 92, 92}));
        EXPECT_TRUE(vlad->OutOfWidthRange());
    }
    {
        TFitColumns f;
        TColumnEh* narrow = f.Add(65);
        f.Add(275);
        narrow->SetMinWidth(130); // its share would be 125
        f.Fit(669);
        EXPECT_EQ(f.Widths(), (W{130, 669 - 130 - 11 - 2 - 1}));
    }
    {
        TFitColumns f;
        f.Add(0, false, 400);
        f.Add(0, false, 300);
        TColumnEh* c = f.Add(50, true, 77);
        f.Fit(669); // room 0, less indicator and lines: -15
        EXPECT_EQ(c->Width(), 0) << "a negative share leaves the minimum width";
        EXPECT_TRUE(c->OutOfWidthRange());
        c->SetMinWidth(10);
        f.Fit(669);
        EXPECT_EQ(c->Width(), 10);
    }
    {
        TFitColumns f;
        TColumnEh* c = f.Add(50, true, 77);
        f.Fit(0, false, true); // room 0 less one line: a share of exactly -1
        EXPECT_EQ(c->Width(), 77) << "-1 is ignored";
        EXPECT_TRUE(c->OutOfWidthRange());
    }
    {
        TFitColumns f;
        f.Add(1);
        f.Add(1);
        f.Fit(300, false, false, 1000);
        EXPECT_EQ(f.Widths(), (W{500, 500})) << "MinAutoFitWidth wider than the client";
    }
}

TEST(TCustomGridEh, ErrorsNameTheirFault)
{
    struct Case
    {
        const char* name;
        std::function<void(TCustomGridEh&)> action;
        QString message;
    };
    const QString index = QStringLiteral("Grid index out of range");
    const Case cases[] = {
        {"negative fixed columns", [](TCustomGridEh& g) { g.SetFixedCols(-1); }, index},
        {"fixed columns = columns", [](TCustomGridEh& g) { g.SetFixedCols(5); },
         QStringLiteral("Fixed column count must be less than column count")},
        {"fixed rows = rows", [](TCustomGridEh& g) { g.SetFixedRows(5); },
         QStringLiteral("Fixed row count must be less than row count")},
        {"width of a column that does not exist", [](TCustomGridEh& g) { g.SetColWidths(5, 10); }, index},
        {"height of a row that does not exist", [](TCustomGridEh& g) { g.SetRowHeights(-1, 10); }, index},
        {"tab stop of a column that does not exist", [](TCustomGridEh& g) { g.SetTabStops(7, true); }, index},
        {"deleting the last column",
         [](TCustomGridEh& g) {
             g.SetColCount(1);
             g.DeleteColumn(0);
         },
         QStringLiteral("Too many rows or columns deleted")},
        {"field map full", [](TCustomGridEh&) { TGridDataLinkEh::CheckMapRoom(0x0FFFFFFF); },
         QStringLiteral("Grid requested to display more than 256 columns")},
    };
    for (const Case& c : cases) {
        TCustomGridEh g;
        try {
            c.action(g);
            ADD_FAILURE() << c.name << ": no error";
        } catch (const EInvalidGridOperationEh& e) {
            EXPECT_EQ(e.Message(), c.message) << c.name;
        }
    }
}

TEST(TCustomGridEh, FewerCellsThanFixedLowerTheFixedCount)
{
    TCustomGridEh g;
    g.SetFixedCols(2);
    g.SetColCount(2);
    EXPECT_EQ(g.FixedCols(), 1);
    g.SetRowCount(1);
    EXPECT_EQ(g.FixedRows(), 0);
    TGridDataLinkEh::CheckMapRoom(0x0FFFFFFE); // one below the limit is fine
    EXPECT_EQ(TGridDataLinkEh::NextCapacity(0, 0), 8);
    EXPECT_EQ(TGridDataLinkEh::NextCapacity(8, 8), 16);
    EXPECT_EQ(TGridDataLinkEh::NextCapacity(0x0C000000, 0x0C000000), 0x0FFFFFFF);
}
