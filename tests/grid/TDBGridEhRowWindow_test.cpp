// The row window follows the record set's cursor: what each move shows and repaints.
#include "GridFixture.h"

#include <QScrollBar>
#include <QStyleOptionSlider>
#include <QTest>
#include <gtest/gtest.h>

namespace {

// The window's grid over a hundred records, with nothing repainted yet.
struct TOpenGrid : TWindowGrid
{
    TOpenGrid(int records = 100) : TWindowGrid(records)
    {
        Open();
        Grid->ClearLog();
    }
    TDataLink& Link() { return *Grid->DataLink(); }
    // Whole-row rectangle of grid row r (pitch 18 below a 18-pixel title).
    QRect RowRect(int r) const { return QRect(0, 18 * r, Grid->ClientWidth(), 18); }
    bool Invalidated(const QRect& r) const
    {
        return std::find(Grid->Invalidated.begin(), Grid->Invalidated.end(), r) != Grid->Invalidated.end();
    }
};

} // namespace

TEST(RowWindow, LineDownScrollsPixelsAndRepaintsOnlyTheStripAndTwoRows)
{
    TOpenGrid o;
    TDBGridEh& g = *o.Grid;
    QApplication::processEvents(); // paints, so the indicator row is known
    ASSERT_EQ(g.LastIndicatorRow(), 1);
    o.Data->MoveRelative(4); // current in data row 4 (record 5), inside the window
    o.Grid->ClearLog();

    g.VertScroll(TCustomDBGridEh::saLineDown);
    EXPECT_EQ(o.Data->RecordNumber(), 10) << "the first record below the window";
    EXPECT_EQ(o.Link().FirstRecord(), 1) << "the window slid by one";
    EXPECT_EQ(g.Row(), 9) << "the new current record is the bottom row";
    ASSERT_EQ(o.Grid->Scrolled.size(), 1u);
    EXPECT_EQ(o.Grid->Scrolled[0].Dy, -18);
    EXPECT_EQ(o.Grid->Scrolled[0].Rect, QRect(0, 18, 652, 9 * 18)) << "the data rows only";
    EXPECT_EQ(o.Grid->FullRepaints, 0);
    EXPECT_TRUE(o.Invalidated(o.RowRect(5))) << "old current row";
    EXPECT_TRUE(o.Invalidated(o.RowRect(9))) << "new current row";
    for (const QRect& r : o.Grid->Invalidated)
        EXPECT_EQ(r.height(), 18) << "no other repaint than rows";
}

TEST(RowWindow, LineUpGoesToTheRecordAboveTheWindow)
{
    TOpenGrid o;
    o.Data->SetRecordNumber(50); // the window slides down to it: records 42 to 50
    ASSERT_EQ(o.Link().FirstRecord(), 41);
    o.Data->MoveRelative(-2);
    o.Grid->VertScroll(TCustomDBGridEh::saLineUp);
    EXPECT_EQ(o.Data->RecordNumber(), 41);
    EXPECT_EQ(o.Grid->Row(), 1);
}

TEST(RowWindow, AMoveLargerThanTheVisibleRowsRepaintsEverything)
{
    TOpenGrid o;
    o.Data->MoveRelative(30);
    EXPECT_TRUE(o.Grid->Scrolled.empty());
    EXPECT_GE(o.Grid->FullRepaints, 1);
    EXPECT_EQ(o.Grid->Row(), 9);
}

TEST(RowWindow, PagingAndEnds)
{
    struct Case
    {
        const char* name;
        int startRecord;
        TCustomDBGridEh::TVertScrollActionEh action;
        int expectedRecord;
    };
    const Case cases[] = {
        {"page down from the first record", 1, TCustomDBGridEh::saPageDown, 10},
        {"page down near the end lands on the last record", 95, TCustomDBGridEh::saPageDown, 100},
        {"page up near the start lands on the first record", 4, TCustomDBGridEh::saPageUp, 1},
        {"bottom", 1, TCustomDBGridEh::saBottom, 100},
        {"top", 60, TCustomDBGridEh::saTop, 1},
    };
    for (const Case& c : cases) {
        TOpenGrid o;
        o.Data->SetRecordNumber(c.startRecord);
        o.Grid->VertScroll(c.action);
        EXPECT_EQ(o.Data->RecordNumber(), c.expectedRecord) << c.name;
        EXPECT_EQ(o.Grid->Row() - 1, o.Link().ActiveRecord()) << c.name << ": the current row follows";
        EXPECT_EQ(o.Grid->VertScrollInfo().Pos, c.expectedRecord) << c.name << ": the thumb follows";
    }
}

TEST(RowWindow, ThumbReleaseRules)
{
    struct Case
    {
        const char* name;
        int position;
        int expectedRecord;
    };
    const Case cases[] = {
        {"at 1 goes to the first", 1, 1},
        {"below 1 goes to the first", -3, 1},
        {"at the record count goes to the last", 100, 100},
        {"beyond it goes to the last", 150, 100},
        {"elsewhere sets the record number", 37, 37},
    };
    for (const Case& c : cases) {
        TOpenGrid o;
        o.Data->SetRecordNumber(50);
        o.Grid->VertScroll(TCustomDBGridEh::saThumbRelease, c.position);
        EXPECT_EQ(o.Data->RecordNumber(), c.expectedRecord) << c.name;
    }
}

TEST(RowWindow, DraggingTheThumbMovesOnlyOnReleaseUnlessTracking)
{
    TOpenGrid o;
    QScrollBar* bar = o.Grid->verticalScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(40);
    EXPECT_EQ(o.Data->RecordNumber(), 1) << "no tracking: the cursor waits for the release";
    bar->setSliderDown(false);
    EXPECT_EQ(o.Data->RecordNumber(), 40);
    EXPECT_EQ(bar->value(), 40);

    o.Grid->VertScrollBar().SetTracking(true);
    bar->setSliderDown(true);
    bar->setSliderPosition(60);
    EXPECT_EQ(o.Data->RecordNumber(), 60) << "tracking moves while dragging";
    o.Data->MoveFirst();
    bar->setSliderDown(false);
    EXPECT_EQ(o.Data->RecordNumber(), 1) << "a tracked thumb's release does nothing more";
}

TEST(RowWindow, ScrollBarButtonsDriveTheCursor)
{
    TOpenGrid o;
    QScrollBar* bar = o.Grid->verticalScrollBar();
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(o.Data->RecordNumber(), 10);
    EXPECT_EQ(bar->value(), 10);
    bar->triggerAction(QAbstractSlider::SliderToMaximum);
    EXPECT_EQ(o.Data->RecordNumber(), 100);
    EXPECT_EQ(bar->value(), 100);
}

TEST(RowWindow, ActionsNeedAnOpenRecordSetAndAGridThatTakesTheFocus)
{
    TOpenGrid o;
    o.Grid->setEnabled(false);
    o.Grid->VertScroll(TCustomDBGridEh::saPageDown);
    EXPECT_EQ(o.Data->RecordNumber(), 1);
    o.Grid->setEnabled(true);
    o.Data->Close();
    o.Grid->VertScroll(TCustomDBGridEh::saPageDown);
    EXPECT_FALSE(o.Data->Active());
}

TEST(RowWindow, ExportStyleWalkComesBackToTheSameRecordAndWindow)
{
    struct Case
    {
        const char* name;
        int records;
        int goTo;     // record made current by a bookmark (centred)
        int thenMove; // then moved within the window
    };
    const Case cases[] = {
        {"middle of a long result", 100, 50, 3},
        {"top row of the window", 100, 50, -4},
        {"first record", 100, 1, 0},
        {"near the end", 100, 98, 1},
        {"result shorter than the window", 5, 3, 1},
    };
    for (const Case& c : cases) {
        TOpenGrid o(c.records);
        o.Data->SetRecordNumber(c.goTo);
        o.Data->MoveRelative(c.thenMove);
        const int record = o.Data->RecordNumber();
        const int first = o.Link().FirstRecord();
        const int row = o.Grid->Row();

        o.Data->SuspendNotify();
        o.Grid->SaveCursorPosition();
        o.Data->MoveFirst();
        int walked = 0;
        while (!o.Data->AtEnd()) {
            ++walked;
            o.Data->MoveNext();
        }
        o.Grid->RestoreCursorPosition();
        o.Data->ResumeNotify();

        EXPECT_EQ(walked, c.records) << c.name;
        EXPECT_EQ(o.Data->RecordNumber(), record) << c.name;
        EXPECT_EQ(o.Link().FirstRecord(), first) << c.name;
        EXPECT_EQ(o.Grid->Row(), row) << c.name;
    }
}

TEST(RowWindow, ReadingAnotherRowRestoresTheCurrentOne)
{
    TOpenGrid o;
    o.Data->MoveRelative(2);
    TField* vlad = o.Data->FieldNamed(QStringLiteral("vlad"));
    o.Grid->BeginReadRow(5);
    EXPECT_EQ(vlad->DisplayText(), QStringLiteral("Owner 5"));
    o.Grid->EndReadRow();
    EXPECT_EQ(vlad->DisplayText(), QStringLiteral("Owner 2"));
    EXPECT_TRUE(o.Grid->IsCurrentDataRow(2));
}

TEST(RowWindow, SortingRecountsAndRepaints)
{
    TOpenGrid o;
    o.Data->SortBy(QStringLiteral("vlad"));
    EXPECT_GE(o.Grid->FullRepaints, 1);
    EXPECT_EQ(o.Grid->Row(), 1);
    EXPECT_EQ(o.Grid->RowCount(), 10);
}

TEST(RowWindow, ClickingADataRowMakesItsRecordCurrent)
{
    TOpenGrid o;
    QTest::mouseClick(o.Grid->viewport(), Qt::LeftButton, {}, QPoint(300, 18 * 4 + 5));
    EXPECT_EQ(o.Data->RecordNumber(), 4);
    EXPECT_EQ(o.Grid->Row(), 4);
    EXPECT_EQ(o.Grid->Col(), 2);
}

// The thumb of a long result pressed with the mouse and dragged down 4 pixels at a time, held, and
// let go. A scroll step that reaches the bar while the thumb is held (its repeat timer, the wheel)
// or a refresh of the bar must neither move the grid nor pull the held thumb back: the release
// takes the grid to where the thumb was let go, and it stays there.
TEST(RowWindow, AHeldThumbGoesWhereItIsReleasedWhateverArrivesMeanwhile)
{
    struct Case
    {
        const char* name;
        int strayAction; // QAbstractSlider::SliderAction reaching the bar while held, 0 for none
    };
    const Case cases[] = {
        {"nothing else", 0},
        {"a line step up", QAbstractSlider::SliderSingleStepSub},
        {"a page step down", QAbstractSlider::SliderPageStepAdd},
        {"to the top", QAbstractSlider::SliderToMinimum},
    };
    for (const Case& c : cases) {
        TWindowGrid w(100000);
        w.Open();
        QScrollBar* bar = w.Grid->verticalScrollBar();
        QTest::keyClick(w.Grid.get(), Qt::Key_Home, Qt::ControlModifier);
        ASSERT_EQ(w.Data->RecordNumber(), 1) << c.name;
        QStyleOptionSlider opt;
        opt.initFrom(bar);
        opt.orientation = bar->orientation();
        opt.minimum = bar->minimum();
        opt.maximum = bar->maximum();
        opt.sliderPosition = bar->sliderPosition();
        opt.sliderValue = bar->value();
        opt.singleStep = bar->singleStep();
        opt.pageStep = bar->pageStep();
        QPoint p = bar->style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, bar).center();

        QTest::mousePress(bar, Qt::LeftButton, Qt::NoModifier, p);
        ASSERT_TRUE(bar->isSliderDown()) << c.name;
        for (int i = 0; i < 8; ++i) {
            p.ry() += 4;
            QMouseEvent move(QEvent::MouseMove, p, bar->mapToGlobal(p), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(bar, &move);
            QApplication::processEvents();
        }
        const int held = bar->sliderPosition();
        ASSERT_GT(held, 1000) << c.name;
        if (c.strayAction)
            bar->triggerAction(QAbstractSlider::SliderAction(c.strayAction));
        w.Grid->RefreshVertScrollBar();
        QApplication::processEvents();
        EXPECT_EQ(w.Data->RecordNumber(), 1) << c.name << ": the grid waits for the release";
        EXPECT_EQ(bar->sliderPosition(), held) << c.name << ": the held thumb stays where it is dragged";

        QTest::mouseRelease(bar, Qt::LeftButton, Qt::NoModifier, p);
        EXPECT_EQ(w.Data->RecordNumber(), held) << c.name << ": the release position";
        QApplication::processEvents();
        w.Grid->RefreshVertScrollBar();
        EXPECT_EQ(w.Data->RecordNumber(), held) << c.name << ": and it stays";
        EXPECT_EQ(bar->value(), held) << c.name;
        EXPECT_EQ(bar->sliderPosition(), held) << c.name;
    }
}
