// The record set's cursor and the row windows of attached links: named cases of moves, jumps,
// bookmarks, sorting, suspension and buffer changes, each checked for the notifications a link
// hears, the window it ends with and the cursor flags.
#include "TDataSet.h"
#include "TMemDataSet.h"
#include "TRecordingLink.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

namespace {

// Rows numbered 1..rows in field "n"; field "rev" holds them in reverse, "s" as text.
void Fill(TMemDataSet& set, int rows)
{
    set.SetFieldDefs({{"n", ftInteger}, {"rev", ftInteger}, {"s", ftString, 10}});
    for (int i = 1; i <= rows; ++i)
        set.AddRow({i, rows + 1 - i, QString::number(i)});
}

struct TWindowCase
{
    std::string Name;
    int Rows = 20;
    int Buffer = 5;
    // Runs before the link starts recording (the set is open, the cursor on row 1).
    std::function<void(TDataSet&, TRecordingLink&)> Prepare;
    // The action under test; returns the value checked against Returns (MoveRelative's distance).
    std::function<int(TDataSet&, TRecordingLink&)> Act;
    std::vector<std::string> Events;
    int First;       // window's first record (0-based position)
    int Count;       // records the window holds
    int Active;      // index of the cursor's record in the window
    int Current;     // value of "n" under the cursor, 0 for none
    bool AtStart;
    bool AtEnd;
    int Returns = 0;
};

std::ostream& operator<<(std::ostream& os, const TWindowCase& c) { return os << c.Name; }

int Move(TDataSet& ds, int distance) { return ds.MoveRelative(distance); }

auto MoveBy(int distance)
{
    return [distance](TDataSet& ds, TRecordingLink&) { return ds.MoveRelative(distance); };
}

auto Nothing()
{
    return [](TDataSet&, TRecordingLink&) {};
}

const std::vector<TWindowCase>& WindowCases()
{
    static const std::vector<TWindowCase> cases = {
        {"OpenPutsWindowAtTop", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         [](TDataSet& ds, TRecordingLink&) { ds.Open(); return 0; },
         {"opened"}, 0, 5, 0, 1, true, false},
        {"MoveNextInsideWindowScrollsByZero", 20, 5, Nothing(), MoveBy(1),
         {"scrolled 0"}, 0, 5, 1, 2, false, false, 1},
        {"MoveToWindowsLastRowScrollsByZero", 20, 5, Nothing(), MoveBy(4),
         {"scrolled 0"}, 0, 5, 4, 5, false, false, 4},
        {"MoveNextPastWindowBottomSlidesOne", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 4); }, MoveBy(1),
         {"scrolled 1"}, 1, 5, 4, 6, false, false, 1},
        {"MoveFarPastBottomSlidesByOvershoot", 20, 5, Nothing(), MoveBy(7),
         {"scrolled 3"}, 3, 5, 4, 8, false, false, 7},
        {"MovePriorPastWindowTopSlidesMinusOne", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 10); Move(ds, -4); }, MoveBy(-1),
         {"scrolled -1"}, 5, 5, 0, 6, false, false, -1},
        {"MoveUpInsideWindowScrollsByZero", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 10); }, MoveBy(-2),
         {"scrolled 0"}, 6, 5, 2, 9, false, false, -2},
        {"MoveBeyondEndClampsAndSetsAtEnd", 20, 5, Nothing(), MoveBy(100),
         {"scrolled 15"}, 15, 5, 4, 20, false, true, 19},
        {"MoveBeforeStartClampsAndSetsAtStart", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 3); }, MoveBy(-10),
         {"scrolled 0"}, 0, 5, 0, 1, true, false, -3},
        {"MoveNextOnLastRowOnlySetsAtEnd", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); }, MoveBy(1),
         {}, 15, 5, 4, 20, false, true, 0},
        {"MovePriorOnFirstRowOnlySetsAtStart", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 2); Move(ds, -2); }, MoveBy(-1),
         {}, 0, 5, 0, 1, true, false, 0},
        {"MoveNextOntoLastRowLeavesAtEndClear", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 18); }, MoveBy(1),
         {"scrolled 1"}, 15, 5, 4, 20, false, false, 1},
        {"MoveByZeroDoesNothing", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 3); }, MoveBy(0),
         {}, 0, 5, 3, 4, false, false, 0},
        {"MoveLastFillsWindowFromBefore", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); return 0; },
         {"changed"}, 15, 5, 4, 20, false, true},
        {"MoveFirstAfterMoveLast", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         [](TDataSet& ds, TRecordingLink&) { ds.MoveFirst(); return 0; },
         {"changed"}, 0, 5, 0, 1, true, false},
        {"RecordNumberJumpSlidesWindow", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.SetRecordNumber(13); return ds.RecordNumber(); },
         {"scrolled 8"}, 8, 5, 4, 13, false, false, 13},
        {"RecordNumberJumpBackSlidesWindow", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         [](TDataSet& ds, TRecordingLink&) { ds.SetRecordNumber(3); return ds.RecordNumber(); },
         {"scrolled -13"}, 2, 5, 0, 3, false, false, 3},
        {"RecordNumberBeyondCountGoesToLast", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.SetRecordNumber(99); return ds.RecordNumber(); },
         {"scrolled 15"}, 15, 5, 4, 20, false, false, 20},
        {"BookmarkLandsInMiddleOfOddWindow", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) {
             Move(ds, 12);
             const QByteArray bm = ds.Bookmark();
             ds.MoveFirst();
             ds.SetBookmark(bm);
             return 0;
         },
         {"scrolled 8", "changed", "changed"}, 10, 5, 2, 13, false, false},
        {"BookmarkLandsInMiddleOfEvenWindow", 20, 4, Nothing(),
         [](TDataSet& ds, TRecordingLink&) {
             Move(ds, 12);
             const QByteArray bm = ds.Bookmark();
             ds.MoveFirst();
             ds.SetBookmark(bm);
             return 0;
         },
         {"scrolled 9", "changed", "changed"}, 11, 4, 1, 13, false, false},
        {"BookmarkNearEndKeepsWindowFull", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         [](TDataSet& ds, TRecordingLink&) {
             const QByteArray bm = ds.Bookmark();
             ds.MoveFirst();
             ds.SetBookmark(bm);
             return 0;
         },
         {"changed", "changed"}, 15, 5, 4, 20, false, false},
        {"BookmarkNearStartKeepsWindowFull", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 1); },
         [](TDataSet& ds, TRecordingLink&) {
             const QByteArray bm = ds.Bookmark();
             ds.MoveLast();
             ds.SetBookmark(bm);
             return 0;
         },
         {"changed", "changed"}, 0, 5, 1, 2, false, false},
        {"SortByTellsDataChangedAndGoesToTop", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 7); },
         [](TDataSet& ds, TRecordingLink&) { ds.SortBy("REV"); return 0; },
         {"changed"}, 0, 5, 0, 20, true, false},
        {"SortByTextSortsByCollationNotNumber", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.SortBy("s"); ds.MoveRelative(2); return 0; },
         {"changed", "scrolled 0"}, 0, 5, 2, 11, false, false},
        {"EmptyResultOpens", 0, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         [](TDataSet& ds, TRecordingLink&) { ds.Open(); return 0; },
         {"opened"}, 0, 0, 0, 0, true, true},
        {"EmptyResultMoveNextReturnsZero", 0, 5, Nothing(), MoveBy(1),
         {}, 0, 0, 0, 0, true, true, 0},
        {"EmptyResultMoveLast", 0, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); return 0; },
         {"changed"}, 0, 0, 0, 0, true, true},
        {"EmptyResultSorts", 0, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.SortBy("s"); return 0; },
         {"changed"}, 0, 0, 0, 0, true, true},
        {"OneRowMoveNextSetsAtEnd", 1, 5, Nothing(), MoveBy(1),
         {}, 0, 1, 0, 1, false, true, 0},
        {"OneRowMoveLast", 1, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); return 0; },
         {"changed"}, 0, 1, 0, 1, false, true},
        {"OneRowMovePriorSetsAtStart", 1, 5, Nothing(), MoveBy(-1),
         {}, 0, 1, 0, 1, true, false, 0},
        {"WindowLargerThanResultHoldsAll", 3, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); return 0; },
         {"changed"}, 0, 3, 2, 3, false, true},
        {"BufferGrowthNearEndFillsFromBefore", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         [](TDataSet&, TRecordingLink& link) { link.SetBufferCount(8); return 0; },
         {}, 12, 8, 7, 20, false, true},
        {"BufferGrowthAtTopKeepsFirst", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 2); },
         [](TDataSet&, TRecordingLink& link) { link.SetBufferCount(8); return 0; },
         {}, 0, 8, 2, 3, false, false},
        {"BufferGrowthBeyondResultHoldsAll", 6, 3,
         [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         [](TDataSet&, TRecordingLink& link) { link.SetBufferCount(10); return 0; },
         {}, 0, 6, 5, 6, false, true},
        {"BufferShrinkKeepsCursorInside", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { Move(ds, 4); },
         [](TDataSet&, TRecordingLink& link) { link.SetBufferCount(3); return 0; },
         {}, 2, 3, 2, 5, false, false},
        {"SuspendedMovesResyncOnceAtLastResume", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) {
             ds.SuspendNotify();
             ds.SuspendNotify();
             ds.MoveNext();
             ds.MoveLast();
             ds.ResumeNotify();
             ds.MoveFirst();
             ds.MoveRelative(6);
             ds.ResumeNotify();
             return 0;
         },
         {"suspended", "resumed", "changed"}, 2, 5, 4, 7, false, false},
        {"ResumeWithoutSuspendIsIgnored", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) { ds.ResumeNotify(); return 0; },
         {}, 0, 5, 0, 1, true, false},
        {"OpenWhileSuspendedReportedAtResume", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         [](TDataSet& ds, TRecordingLink&) {
             ds.SuspendNotify();
             ds.Open();
             ds.MoveRelative(3);
             ds.ResumeNotify();
             return 0;
         },
         {"suspended", "resumed", "opened"}, 0, 5, 3, 4, false, false},
        {"CloseWhileSuspendedReportedAtOnce", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) {
             ds.SuspendNotify();
             ds.Close();
             ds.ResumeNotify();
             return 0;
         },
         {"suspended", "closed", "resumed"}, 0, 0, 0, 0, true, true},
        {"OpenAndCloseWhileSuspendedStaysQuiet", 20, 5,
         [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         [](TDataSet& ds, TRecordingLink&) {
             ds.SuspendNotify();
             ds.Open();
             ds.Close();
             ds.ResumeNotify();
             return 0;
         },
         {"suspended", "resumed"}, 0, 0, 0, 0, true, true},
        {"SortWhileSuspendedResyncsAtResume", 20, 5, Nothing(),
         [](TDataSet& ds, TRecordingLink&) {
             ds.SuspendNotify();
             ds.SortBy("rev");
             ds.ResumeNotify();
             return 0;
         },
         {"suspended", "resumed", "changed"}, 0, 5, 0, 20, true, false},
    };
    return cases;
}

class TDataSetWindow : public ::testing::TestWithParam<TWindowCase>
{
};

TEST_P(TDataSetWindow, NotificationsWindowAndFlags)
{
    const TWindowCase& c = GetParam();
    TMemDataSet set(QStringLiteral("Set1"));
    Fill(set, c.Rows);
    TDataSource source;
    source.SetDataSet(&set);
    TRecordingLink link;
    link.SetBufferCount(c.Buffer);
    link.SetDataSource(&source);
    set.Open();
    c.Prepare(set, link);
    link.Events.clear();

    const int returned = c.Act(set, link);

    EXPECT_EQ(link.Events, c.Events);
    EXPECT_EQ(link.FirstRecord(), c.First);
    EXPECT_EQ(link.RecordCount(), c.Count);
    EXPECT_EQ(link.ActiveRecord(), c.Active);
    const int current = set.Active() && !set.HasNoRows() ? int(set.FieldRequired("n")->AsInteger()) : 0;
    EXPECT_EQ(current, c.Current);
    EXPECT_EQ(set.AtStart(), c.AtStart);
    EXPECT_EQ(set.AtEnd(), c.AtEnd);
    EXPECT_EQ(returned, c.Returns);
    if (set.Active() && !set.HasNoRows()) {
        EXPECT_EQ(link.FirstRecord() + link.ActiveRecord() + 1, set.RecordNumber());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, TDataSetWindow, ::testing::ValuesIn(WindowCases()),
                         [](const auto& param) { return param.param.Name; });

// Fixture for the remaining record-set behaviours: 20 rows, one link of 5.
class TDataSetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Fill(set, 20);
        source.SetDataSet(&set);
        link.SetBufferCount(5);
        link.SetDataSource(&source);
        set.Open();
        link.Events.clear();
    }
    int Current() const { return int(set.FieldRequired("n")->AsInteger()); }

    TMemDataSet set{QStringLiteral("Set1")};
    TDataSource source;
    TRecordingLink link;
};

TEST_F(TDataSetTest, SetActiveRecordReadsAnotherWindowRowForAMoment)
{
    set.MoveRelative(6);  // window 2..6, cursor on index 4
    ASSERT_EQ(link.FirstRecord(), 2);
    link.Events.clear();
    link.SetActiveRecord(1);
    EXPECT_EQ(Current(), 4);
    EXPECT_EQ(link.ActiveRecord(), 1);
    EXPECT_EQ(set.RecordNumber(), 4) << "numbered as the row being read";
    const QByteArray readRow = set.Bookmark();
    link.SetActiveRecord(4);
    EXPECT_EQ(Current(), 7);
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(set.RecordNumber(), 7) << "the cursor itself does not move";
    EXPECT_NE(set.Bookmark(), readRow);
    link.SetActiveRecord(0);
    set.MoveNext();  // a real move drops the temporary row
    EXPECT_EQ(Current(), 8);
    EXPECT_TRUE(link.Events == std::vector<std::string>{"scrolled 1"});
}

TEST_F(TDataSetTest, TwoLinksSlideTheirOwnWindows)
{
    TRecordingLink wide;
    wide.SetBufferCount(12);
    wide.SetDataSource(&source);
    wide.Events.clear();
    set.MoveRelative(7);
    EXPECT_EQ(link.Events, std::vector<std::string>{"scrolled 3"});
    EXPECT_EQ(wide.Events, std::vector<std::string>{"scrolled 0"});
    EXPECT_EQ(link.ActiveRecord(), 4);
    EXPECT_EQ(wide.ActiveRecord(), 7);
}

TEST_F(TDataSetTest, LinkAttachedToOpenSetStartsAtCursor)
{
    set.MoveRelative(9);
    TRecordingLink late;
    late.SetBufferCount(4);
    late.SetDataSource(&source);
    EXPECT_EQ(late.Events, std::vector<std::string>{"opened"});
    EXPECT_EQ(late.FirstRecord(), 9);
    EXPECT_EQ(late.ActiveRecord(), 0);
}

TEST_F(TDataSetTest, BookmarksSurviveSortingAndOrderFollowsIt)
{
    set.MoveRelative(4);  // n = 5
    const QByteArray five = set.Bookmark();
    set.MoveRelative(10);  // n = 15
    const QByteArray fifteen = set.Bookmark();
    EXPECT_LT(set.BookmarkOrder(five, fifteen), 0);
    set.SortBy("rev");
    EXPECT_GT(set.BookmarkOrder(five, fifteen), 0);
    EXPECT_EQ(set.BookmarkOrder(five, five), 0);
    set.SetBookmark(five);
    EXPECT_EQ(Current(), 5);
    EXPECT_EQ(set.RecordNumber(), 16);
    set.SetBookmark(fifteen);
    EXPECT_EQ(Current(), 15);
    EXPECT_FALSE(set.BookmarkValid("x"));
    EXPECT_FALSE(set.BookmarkValid("999"));
    EXPECT_THROW(set.SetBookmark("999"), EDatabaseError);
}

TEST_F(TDataSetTest, CountsAndClosedState)
{
    EXPECT_EQ(set.RecordCount(), 20);
    EXPECT_FALSE(set.HasNoRows());
    EXPECT_TRUE(set.HasExactNumbering());
    set.Close();
    EXPECT_EQ(link.Events, std::vector<std::string>{"closed"});
    EXPECT_EQ(set.RecordNumber(), -1);
    EXPECT_TRUE(set.Bookmark().isEmpty());
    EXPECT_EQ(set.FieldNamed("n"), nullptr);
    EXPECT_EQ(link.RecordCount(), 0);
    try {
        set.RecordCount();
        FAIL() << "RecordCount on a closed set";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
    EXPECT_THROW(set.MoveNext(), EDatabaseError);
    EXPECT_THROW(set.SortBy("n"), EDatabaseError);
}

TEST_F(TDataSetTest, FieldLookupIgnoresCaseAndNamesTheSet)
{
    EXPECT_EQ(set.FieldNamed("REV"), set.Field(1));
    try {
        set.FieldRequired("vlad");
        FAIL() << "no such field";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Set1: Field 'vlad' not found"));
    }
}

TEST_F(TDataSetTest, EditingNotifiesEditingRecordAndData)
{
    set.MoveRelative(2);
    link.Events.clear();
    set.Edit();
    set.FieldRequired("s")->SetAsString("x");
    set.Post();
    EXPECT_EQ(link.Events, (std::vector<std::string>{"editing", "record", "editing", "changed"}));
    EXPECT_EQ(set.FieldRequired("s")->PlainText(), "x");

    link.Events.clear();
    set.Insert();
    EXPECT_EQ(set.CursorState(), dsInsert);
    EXPECT_EQ(set.RecordNumber(), -1);
    set.Cancel();
    EXPECT_EQ(link.Events, (std::vector<std::string>{"changed", "editing", "editing", "changed"}));
    EXPECT_EQ(Current(), 3);

    link.Events.clear();
    set.Delete();
    EXPECT_EQ(link.Events, std::vector<std::string>{"changed"});
    EXPECT_EQ(Current(), 4);
    EXPECT_EQ(set.RecordCount(), 19);
}

TEST_F(TDataSetTest, ReadOnlySetRefusesEveryChange)
{
    set.Close();
    set.SetReadOnly(true);
    set.Open();
    for (const auto& change : std::vector<std::function<void()>>{
             [&] { set.Edit(); }, [&] { set.Insert(); }, [&] { set.Append(); }, [&] { set.Delete(); },
             [&] { set.FieldRequired("s")->SetAsString("x"); }}) {
        EXPECT_THROW(change(), EDatabaseError);
        EXPECT_EQ(set.CursorState(), dsBrowse);
    }
    EXPECT_EQ(set.RecordCount(), 20);
}

} // namespace
