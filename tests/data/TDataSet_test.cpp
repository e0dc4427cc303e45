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

// A case names what it sets apart from the defaults; the flags are written out when they are set or
// are what the case is about.
struct TWindowCase
{
    std::string Name;
    int Rows = 20;
    int Buffer = 5;
    // Runs before the link starts recording (the set is open, the cursor on row 1); may be empty.
    std::function<void(TDataSet&, TRecordingLink&)> Prepare = nullptr;
    // The action under test; returns the value checked against Returns (MoveRelative's distance).
    std::function<int(TDataSet&, TRecordingLink&)> Act;
    std::vector<std::string> Events;
    int First;   // window's first record (0-based position)
    int Count;   // records the window holds
    int Active;  // index of the cursor's record in the window
    int Current; // value of "n" under the cursor, 0 for none
    bool AtStart = false;
    bool AtEnd = false;
    int Returns = 0;
};

std::ostream& operator<<(std::ostream& os, const TWindowCase& c)
{
    return os << c.Name;
}

int Move(TDataSet& ds, int distance)
{
    return ds.MoveRelative(distance);
}

auto MoveBy(int distance)
{
    return [distance](TDataSet& ds, TRecordingLink&) { return ds.MoveRelative(distance); };
}

const std::vector<TWindowCase>& WindowCases()
{
    static const std::vector<TWindowCase> cases = {
        {.Name = "OpenPutsWindowAtTop",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.Open();
                 return 0;
             },
         .Events = {"opened"},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 1,
         .AtStart = true},
        {.Name = "MoveNextInsideWindowScrollsByZero",
         .Act = MoveBy(1),
         .Events = {"scrolled 0"},
         .First = 0,
         .Count = 5,
         .Active = 1,
         .Current = 2,
         .Returns = 1},
        {.Name = "MoveToWindowsLastRowScrollsByZero",
         .Act = MoveBy(4),
         .Events = {"scrolled 0"},
         .First = 0,
         .Count = 5,
         .Active = 4,
         .Current = 5,
         .Returns = 4},
        {.Name = "MoveNextPastWindowBottomSlidesOne",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 4); },
         .Act = MoveBy(1),
         .Events = {"scrolled 1"},
         .First = 1,
         .Count = 5,
         .Active = 4,
         .Current = 6,
         .Returns = 1},
        {.Name = "MoveFarPastBottomSlidesByOvershoot",
         .Act = MoveBy(7),
         .Events = {"scrolled 3"},
         .First = 3,
         .Count = 5,
         .Active = 4,
         .Current = 8,
         .Returns = 7},
        {.Name = "MovePriorPastWindowTopSlidesMinusOne",
         .Prepare =
             [](TDataSet& ds, TRecordingLink&) {
                 Move(ds, 10);
                 Move(ds, -4);
             },
         .Act = MoveBy(-1),
         .Events = {"scrolled -1"},
         .First = 5,
         .Count = 5,
         .Active = 0,
         .Current = 6,
         .Returns = -1},
        {.Name = "MoveUpInsideWindowScrollsByZero",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 10); },
         .Act = MoveBy(-2),
         .Events = {"scrolled 0"},
         .First = 6,
         .Count = 5,
         .Active = 2,
         .Current = 9,
         .Returns = -2},
        {.Name = "MoveBeyondEndClampsAndSetsAtEnd",
         .Act = MoveBy(100),
         .Events = {"scrolled 15"},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20,
         .AtEnd = true,
         .Returns = 19},
        {.Name = "MoveBeforeStartClampsAndSetsAtStart",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 3); },
         .Act = MoveBy(-10),
         .Events = {"scrolled 0"},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 1,
         .AtStart = true,
         .Returns = -3},
        {.Name = "MoveNextOnLastRowOnlySetsAtEnd",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act = MoveBy(1),
         .Events = {},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20,
         .AtEnd = true,
         .Returns = 0},
        {.Name = "MovePriorOnFirstRowOnlySetsAtStart",
         .Prepare =
             [](TDataSet& ds, TRecordingLink&) {
                 Move(ds, 2);
                 Move(ds, -2);
             },
         .Act = MoveBy(-1),
         .Events = {},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 1,
         .AtStart = true,
         .Returns = 0},
        {.Name = "MoveNextOntoLastRowLeavesAtEndClear",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 18); },
         .Act = MoveBy(1),
         .Events = {"scrolled 1"},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20,
         .AtEnd = false,
         .Returns = 1},
        {.Name = "MoveByZeroDoesNothing",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 3); },
         .Act = MoveBy(0),
         .Events = {},
         .First = 0,
         .Count = 5,
         .Active = 3,
         .Current = 4,
         .Returns = 0},
        {.Name = "MoveLastFillsWindowFromBefore",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.MoveLast();
                 return 0;
             },
         .Events = {"changed"},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20,
         .AtEnd = true},
        {.Name = "MoveFirstAfterMoveLast",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.MoveFirst();
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 1,
         .AtStart = true},
        {.Name = "RecordNumberJumpSlidesWindow",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SetRecordNumber(13);
                 return ds.RecordNumber();
             },
         .Events = {"scrolled 8"},
         .First = 8,
         .Count = 5,
         .Active = 4,
         .Current = 13,
         .Returns = 13},
        {.Name = "RecordNumberJumpBackSlidesWindow",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SetRecordNumber(3);
                 return ds.RecordNumber();
             },
         .Events = {"scrolled -13"},
         .First = 2,
         .Count = 5,
         .Active = 0,
         .Current = 3,
         .Returns = 3},
        {.Name = "RecordNumberBeyondCountGoesToLast",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SetRecordNumber(99);
                 return ds.RecordNumber();
             },
         .Events = {"scrolled 15"},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20,
         .Returns = 20},
        {.Name = "BookmarkLandsInMiddleOfOddWindow",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 Move(ds, 12);
                 const QByteArray bm = ds.Bookmark();
                 ds.MoveFirst();
                 ds.SetBookmark(bm);
                 return 0;
             },
         .Events = {"scrolled 8", "changed", "changed"},
         .First = 10,
         .Count = 5,
         .Active = 2,
         .Current = 13},
        {.Name = "BookmarkLandsInMiddleOfEvenWindow",
         .Buffer = 4,
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 Move(ds, 12);
                 const QByteArray bm = ds.Bookmark();
                 ds.MoveFirst();
                 ds.SetBookmark(bm);
                 return 0;
             },
         .Events = {"scrolled 9", "changed", "changed"},
         .First = 11,
         .Count = 4,
         .Active = 1,
         .Current = 13},
        {.Name = "BookmarkNearEndKeepsWindowFull",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 const QByteArray bm = ds.Bookmark();
                 ds.MoveFirst();
                 ds.SetBookmark(bm);
                 return 0;
             },
         .Events = {"changed", "changed"},
         .First = 15,
         .Count = 5,
         .Active = 4,
         .Current = 20},
        {.Name = "BookmarkNearStartKeepsWindowFull",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 1); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 const QByteArray bm = ds.Bookmark();
                 ds.MoveLast();
                 ds.SetBookmark(bm);
                 return 0;
             },
         .Events = {"changed", "changed"},
         .First = 0,
         .Count = 5,
         .Active = 1,
         .Current = 2},
        {.Name = "SortByTellsDataChangedAndGoesToTop",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 7); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SortBy("REV");
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 20,
         .AtStart = true},
        {.Name = "SortByTextSortsByCollationNotNumber",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SortBy("s");
                 ds.MoveRelative(2);
                 return 0;
             },
         .Events = {"changed", "scrolled 0"},
         .First = 0,
         .Count = 5,
         .Active = 2,
         .Current = 11},
        {.Name = "EmptyResultOpens",
         .Rows = 0,
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.Open();
                 return 0;
             },
         .Events = {"opened"},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true},
        {.Name = "EmptyResultMoveNextReturnsZero",
         .Rows = 0,
         .Act = MoveBy(1),
         .Events = {},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true,
         .Returns = 0},
        {.Name = "EmptyResultMoveLast",
         .Rows = 0,
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.MoveLast();
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true},
        {.Name = "EmptyResultSorts",
         .Rows = 0,
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SortBy("s");
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true},
        {.Name = "OneRowMoveNextSetsAtEnd",
         .Rows = 1,
         .Act = MoveBy(1),
         .Events = {},
         .First = 0,
         .Count = 1,
         .Active = 0,
         .Current = 1,
         .AtEnd = true,
         .Returns = 0},
        {.Name = "OneRowMoveLast",
         .Rows = 1,
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.MoveLast();
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 1,
         .Active = 0,
         .Current = 1,
         .AtEnd = true},
        {.Name = "OneRowMovePriorSetsAtStart",
         .Rows = 1,
         .Act = MoveBy(-1),
         .Events = {},
         .First = 0,
         .Count = 1,
         .Active = 0,
         .Current = 1,
         .AtStart = true,
         .Returns = 0},
        {.Name = "WindowLargerThanResultHoldsAll",
         .Rows = 3,
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.MoveLast();
                 return 0;
             },
         .Events = {"changed"},
         .First = 0,
         .Count = 3,
         .Active = 2,
         .Current = 3,
         .AtEnd = true},
        {.Name = "BufferGrowthNearEndFillsFromBefore",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act =
             [](TDataSet&, TRecordingLink& link) {
                 link.SetBufferCount(8);
                 return 0;
             },
         .Events = {},
         .First = 12,
         .Count = 8,
         .Active = 7,
         .Current = 20,
         .AtEnd = true},
        {.Name = "BufferGrowthAtTopKeepsFirst",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 2); },
         .Act =
             [](TDataSet&, TRecordingLink& link) {
                 link.SetBufferCount(8);
                 return 0;
             },
         .Events = {},
         .First = 0,
         .Count = 8,
         .Active = 2,
         .Current = 3},
        {.Name = "BufferGrowthBeyondResultHoldsAll",
         .Rows = 6,
         .Buffer = 3,
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.MoveLast(); },
         .Act =
             [](TDataSet&, TRecordingLink& link) {
                 link.SetBufferCount(10);
                 return 0;
             },
         .Events = {},
         .First = 0,
         .Count = 6,
         .Active = 5,
         .Current = 6,
         .AtEnd = true},
        {.Name = "BufferShrinkKeepsCursorInside",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { Move(ds, 4); },
         .Act =
             [](TDataSet&, TRecordingLink& link) {
                 link.SetBufferCount(3);
                 return 0;
             },
         .Events = {},
         .First = 2,
         .Count = 3,
         .Active = 2,
         .Current = 5},
        {.Name = "SuspendedMovesResyncOnceAtLastResume",
         .Act =
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
         .Events = {"suspended", "resumed", "changed"},
         .First = 2,
         .Count = 5,
         .Active = 4,
         .Current = 7},
        {.Name = "ResumeWithoutSuspendIsIgnored",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.ResumeNotify();
                 return 0;
             },
         .Events = {},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 1,
         .AtStart = true},
        {.Name = "OpenWhileSuspendedReportedAtResume",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SuspendNotify();
                 ds.Open();
                 ds.MoveRelative(3);
                 ds.ResumeNotify();
                 return 0;
             },
         .Events = {"suspended", "resumed", "opened"},
         .First = 0,
         .Count = 5,
         .Active = 3,
         .Current = 4},
        {.Name = "CloseWhileSuspendedReportedAtOnce",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SuspendNotify();
                 ds.Close();
                 ds.ResumeNotify();
                 return 0;
             },
         .Events = {"suspended", "closed", "resumed"},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true},
        {.Name = "OpenAndCloseWhileSuspendedStaysQuiet",
         .Prepare = [](TDataSet& ds, TRecordingLink&) { ds.Close(); },
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SuspendNotify();
                 ds.Open();
                 ds.Close();
                 ds.ResumeNotify();
                 return 0;
             },
         .Events = {"suspended", "resumed"},
         .First = 0,
         .Count = 0,
         .Active = 0,
         .Current = 0,
         .AtStart = true,
         .AtEnd = true},
        {.Name = "SortWhileSuspendedResyncsAtResume",
         .Act =
             [](TDataSet& ds, TRecordingLink&) {
                 ds.SuspendNotify();
                 ds.SortBy("rev");
                 ds.ResumeNotify();
                 return 0;
             },
         .Events = {"suspended", "resumed", "changed"},
         .First = 0,
         .Count = 5,
         .Active = 0,
         .Current = 20,
         .AtStart = true},
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
    if (c.Prepare)
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
    set.MoveRelative(6); // window 2..6, cursor on index 4
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
    set.MoveNext(); // a real move drops the temporary row
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
    set.MoveRelative(4); // n = 5
    const QByteArray five = set.Bookmark();
    set.MoveRelative(10); // n = 15
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
    for (const auto& change :
         std::vector<std::function<void()>>{[&] { set.Edit(); }, [&] { set.Insert(); }, [&] { set.Append(); },
                                            [&] { set.Delete(); }, [&] { set.FieldRequired("s")->SetAsString("x"); }}) {
        EXPECT_THROW(change(), EDatabaseError);
        EXPECT_EQ(set.CursorState(), dsBrowse);
    }
    EXPECT_EQ(set.RecordCount(), 20);
}

} // namespace
