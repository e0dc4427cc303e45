// Sizing and moving columns with the mouse, on the window's grid (closed record set, 669 wide):
// indicator 0..10, line 11; numer 12..78, line 79; vlad 80..361, line 362; street 363..542, ...
#include "GridFixture.h"

#include <QImage>
#include <QTest>
#include <gtest/gtest.h>

namespace {

using Widths = std::vector<int>;
constexpr int kVladBoundary = 362;

void Press(QWidget* w, int x, int y = 5)
{
    QTest::mousePress(w, Qt::LeftButton, {}, QPoint(x, y));
}
void Move(QWidget* w, int x, int y = 5)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void Release(QWidget* w, int x, int y = 5)
{
    QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(x, y));
}

} // namespace

TEST(MouseSizing, DraggingTheVladStreetBoundaryRescalesTheTwoShares)
{
    TWindowGrid w;
    int changed = 0;
    w.Grid->OnColWidthsChanged = [&](TCustomDBGridEh*) { ++changed; };
    QWidget* vp = w.Grid->viewport();
    Press(vp, kVladBoundary);
    ASSERT_EQ(w.Grid->GridState(), gsColSizing);
    Move(vp, kVladBoundary + 20);
    EXPECT_EQ(w.Grid->SizingLinePos(), kVladBoundary + 20);
    Release(vp, kVladBoundary + 20);
    EXPECT_EQ(w.Grid->GridState(), gsNormal);
    EXPECT_EQ(w.Bases(), (Widths{65, 295, 155, 60, 60}));
    EXPECT_EQ(w.Widths(), (Widths{67, 303, 159, 62, 61}));
    EXPECT_EQ(changed, 1);
}

TEST(MouseSizing, GrabZoneRunsFromThreeLeftToFourRightOfTheBoundary)
{
    struct Case
    {
        const char* name;
        int x, y;
        TGridStateEh expected;
    };
    const Case cases[] = {
        {"on the boundary", kVladBoundary, 5, gsColSizing},
        {"3 left", kVladBoundary - 3, 5, gsColSizing},
        {"4 right", kVladBoundary + 4, 5, gsColSizing},
        {"4 left: moving the column instead", kVladBoundary - 4, 5, gsColMoving},
        {"5 right: moving the next column", kVladBoundary + 5, 5, gsColMoving},
        {"below the titles", kVladBoundary, 25, gsNormal},
        {"over the indicator's boundary", 11, 5, gsNormal},
    };
    for (const Case& c : cases) {
        TWindowGrid w;
        Press(w.Grid->viewport(), c.x, c.y);
        EXPECT_EQ(w.Grid->GridState(), c.expected) << c.name;
        Release(w.Grid->viewport(), c.x, c.y);
        EXPECT_EQ(w.Widths(), (Widths{67, 282, 180, 62, 61})) << c.name << ": a click changes no width";
    }
}

TEST(MouseSizing, AWidthOfOnePixelOrLessIsIgnored)
{
    TWindowGrid w;
    QWidget* vp = w.Grid->viewport();
    Press(vp, kVladBoundary);
    Move(vp, 81); // 1 pixel right of vlad's left edge
    Release(vp, 81);
    EXPECT_EQ(w.Widths(), (Widths{67, 282, 180, 62, 61}));
    EXPECT_EQ(w.Bases(), (Widths{65, 275, 175, 60, 60}));
}

TEST(MouseSizing, TheSizingLineInvertsWhatItCovers)
{
    TWindowGrid w;
    QWidget* vp = w.Grid->viewport();
    const int x = kVladBoundary + 10;
    const QImage before = vp->grab().toImage();
    Press(vp, kVladBoundary);
    Move(vp, x);
    const QImage during = vp->grab().toImage();
    Release(vp, kVladBoundary);
    for (int y : {2, 20, 30}) { // title row and the empty row: the line ends with the cells
        EXPECT_EQ(during.pixel(x, y) & 0xFFFFFF, ~before.pixel(x, y) & 0xFFFFFF)
            << "dotted: even rows inverted, y " << y;
        EXPECT_EQ(during.pixel(x, y + 1), before.pixel(x, y + 1)) << "odd rows left, y " << y + 1;
        EXPECT_EQ(during.pixel(x + 1, y), before.pixel(x + 1, y)) << "one pixel wide";
    }
    EXPECT_EQ(during.pixel(x, 40), before.pixel(x, 40)) << "nothing below the last row";
}

TEST(MouseMoving, DraggingATitleMovesTheColumnAndKeepsEveryShare)
{
    TWindowGrid w;
    QWidget* vp = w.Grid->viewport();
    int movedFrom = -1, movedTo = -1;
    TColumnEh* clicked = nullptr;
    w.Grid->OnColumnMoved = [&](TCustomDBGridEh*, int from, int to) {
        movedFrom = from;
        movedTo = to;
    };
    w.Grid->OnTitleClick = [&](TColumnEh* c) { clicked = c; };
    TColumnEh* numer = w.Grid->Columns()[0];

    Press(vp, 40);
    ASSERT_EQ(w.Grid->GridState(), gsColMoving);
    EXPECT_EQ(w.Grid->MoveTargetColumn(), 1);
    EXPECT_EQ(w.Grid->MoveMarkerPos(), 12) << "left edge of the pressed column";
    EXPECT_TRUE(w.Grid->ColMoveTimerActive());
    EXPECT_EQ(w.Grid->ColMoveTimerInterval(), 60);

    Move(vp, 450);
    EXPECT_EQ(w.Grid->MoveTargetColumn(), 3);
    EXPECT_EQ(w.Grid->MoveMarkerPos(), 543) << "right edge of a target right of the origin";
    const QImage marked = vp->grab().toImage();
    Release(vp, 450);

    EXPECT_FALSE(w.Grid->ColMoveTimerActive());
    EXPECT_EQ(movedFrom, 0);
    EXPECT_EQ(movedTo, 2);
    EXPECT_EQ(numer->Index(), 2);
    QStringList order;
    for (int i = 0; i < 5; ++i)
        order << w.Grid->Columns()[i]->FieldName();
    EXPECT_EQ(order.join(u','), QStringLiteral("vlad,street,numer,numhome,numdoor"));
    EXPECT_EQ(w.Bases(), (Widths{275, 175, 65, 60, 60}));
    EXPECT_EQ(w.Widths(), (Widths{282, 180, 67, 62, 61}));
    const QPoint cell = w.Grid->MouseCoord(450, 5);
    EXPECT_EQ(clicked, w.Grid->ColumnAt(cell.x())) << "the release clicks the title under the pointer";

    // The marker: 5 pixels wide, white, inverting, dotted over the client height.
    const QImage after = vp->grab().toImage();
    const QRgb under = after.pixel(543, 60); // unchanged cells of an empty row
    int inverted = 0;
    for (int x = 541; x <= 545; ++x)
        for (int y = 60; y <= 61; ++y)
            if ((marked.pixel(x, y) & 0xFFFFFF) == (~under & 0xFFFFFF))
                ++inverted;
    EXPECT_EQ(inverted, 5) << "one of each two pixels per column of the marker";
}

TEST(MouseMoving, ReleasingOnTheOriginMovesNothingButStillClicksTheTitle)
{
    TWindowGrid w;
    int moves = 0;
    TColumnEh* clicked = nullptr;
    w.Grid->OnColumnMoved = [&](TCustomDBGridEh*, int, int) { ++moves; };
    w.Grid->OnTitleClick = [&](TColumnEh* c) { clicked = c; };
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, QPoint(200, 5));
    EXPECT_EQ(moves, 0);
    EXPECT_EQ(clicked, w.Grid->Columns()[1]);
    clicked = nullptr;
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(clicked, nullptr) << "the indicator's title is no title of a column";
    QTest::mouseClick(w.Grid->viewport(), Qt::LeftButton, {}, QPoint(kVladBoundary, 5));
    EXPECT_EQ(clicked, nullptr) << "a release that ends sizing clicks nothing";
}

TEST(MouseMoving, PointerBeyondTheLastVisibleColumnScrollsTowardsIt)
{
    TWindowGrid w;
    w.Grid->SetAutoFitColWidths(false);
    w.Grid->resize(304, 193);
    QApplication::processEvents();
    ASSERT_TRUE(w.Grid->HorzScrollBarShown());
    ASSERT_EQ(w.Grid->LeftCol(), 1);
    QWidget* vp = w.Grid->viewport();
    Press(vp, 40);
    Move(vp, 320);
    EXPECT_EQ(w.Grid->LeftCol(), 2) << "a move beyond the edge scrolls one column";
    QTest::qWait(200);
    EXPECT_GT(w.Grid->LeftCol(), 2) << "the timer keeps scrolling";
    Release(vp, 320);
    EXPECT_FALSE(w.Grid->ColMoveTimerActive());
}

TEST(MouseSizing, TracedSizingShowsTheWidthWhileDraggingAndCommitsOnRelease)
{
    TWindowGrid w;
    w.Grid->SetOptionsEh(w.Grid->OptionsEh() + dghTraceColSizing);
    QWidget* vp = w.Grid->viewport();
    Press(vp, kVladBoundary);
    Move(vp, kVladBoundary + 20);
    EXPECT_EQ(w.Grid->ColWidths(2), 302) << "the grid column follows the pointer";
    EXPECT_EQ(w.Bases()[1], 275) << "nothing is committed yet";
    Release(vp, kVladBoundary + 20);
    EXPECT_EQ(w.Widths(), (Widths{67, 303, 159, 62, 61}));
}

TEST(MouseSizing, DoubleClickInTheGrabZoneFitsTheColumnToItsContent)
{
    TWindowGrid w(3);
    w.Open();
    w.Grid->SetAutoFitColWidths(false);
    w.Grid->SetOptionsEh(w.Grid->OptionsEh() + dghDblClickOptimizeColWidth);
    const int boundary = 12 + 65 + 1 + 275; // vlad's, with the widths asked for
    QTest::mouseDClick(w.Grid->viewport(), Qt::LeftButton, {}, QPoint(boundary, 5));
    const int width = w.Grid->Columns()[1]->Width();
    const QFont f = w.Grid->Columns()[1]->Font().ToQFont();
    EXPECT_EQ(width,
              std::max(TextWidthEh(f, QStringLiteral("Owner 0")), TextWidthEh(f, QStringLiteral("Владелец"))) + 4);
}
