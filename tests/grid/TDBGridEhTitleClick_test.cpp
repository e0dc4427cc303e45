// Title clicks, title buttons and sort markers, driven with the mouse on the window's grid (closed
// record set, 669 wide): indicator 0..10, line 11; numer 12..78, line 79; vlad 80..361, line 362;
// street 363..542, line 543; the title row 0..16, its line 17; the first data row 18..34.
#include "GridFixture.h"
#include "PaintCheck.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

constexpr int kVladX = 200;
constexpr int kStreetX = 450;
constexpr int kVladBoundary = 362;

void Press(QWidget* w, Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m = {})
{
    QTest::mousePress(w, b, m, QPoint(x, y));
}
void Move(QWidget* w, Qt::MouseButton b, int x, int y)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, b, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
void Release(QWidget* w, Qt::MouseButton b, int x, int y, Qt::KeyboardModifiers m = {})
{
    QTest::mouseRelease(w, b, m, QPoint(x, y));
}
void Click(QWidget* w, int x, Qt::KeyboardModifiers m = {})
{
    Press(w, Qt::LeftButton, x, 5, m);
    Release(w, Qt::LeftButton, x, 5, m);
}

// The window's grid with its titles as buttons and automatic sort marking.
struct TSortingGrid : TWindowGrid
{
    std::vector<std::string> Log;
    explicit TSortingGrid(bool multi = false)
    {
        TDBGridEhOptions o = Grid->OptionsEh() + dghAutoSortMarking;
        if (multi)
            o.Include(dghMultiSortMarking);
        Grid->SetOptionsEh(o);
        Grid->ColumnDefValues().Title().SetTitleButton(true);
        Grid->OnTitleBtnClick = [this](TCustomDBGridEh*, int dataCol, TColumnEh* c) {
            Log.push_back("button " + std::to_string(dataCol) + " " + c->FieldName().toStdString());
        };
        Grid->OnTitleClick = [this](TColumnEh* c) { Log.push_back("title " + c->FieldName().toStdString()); };
        Grid->OnSortMarkingChanged = [this](TCustomDBGridEh*) { Log.push_back("sort marking changed"); };
    }
    TColumnTitleEh* Title(int dataCol) { return Grid->Columns()[dataCol]->Title(); }
};

} // namespace

TEST(TitleClick, TheCellUnderThePointerAtTheReleaseCounts)
{
    struct Case
    {
        const char* name;
        Qt::MouseButton button;
        QPoint press, release;
        const char* clicked; // field of the column clicked, "" for none
    };
    const Case cases[] = {
        {"left click on Владелец", Qt::LeftButton, {kVladX, 5}, {kVladX, 5}, "vlad"},
        {"right click on Владелец", Qt::RightButton, {kVladX, 5}, {kVladX, 5}, "vlad"},
        {"the indicator's title", Qt::LeftButton, {5, 5}, {5, 5}, ""},
        {"pressed on a title, released over a data row", Qt::LeftButton, {kVladX, 5}, {kVladX, 25}, ""},
        {"a release that ends sizing", Qt::LeftButton, {kVladBoundary, 5}, {kVladBoundary + 20, 5}, ""},
        {"right press on a boundary sizes as well", Qt::RightButton, {kVladBoundary, 5}, {kVladBoundary + 20, 5}, ""},
        {"a data row", Qt::LeftButton, {kVladX, 25}, {kVladX, 25}, ""},
    };
    for (const Case& c : cases) {
        TWindowGrid w;
        QWidget* vp = w.Grid->viewport();
        std::string clicked;
        int clicks = 0;
        w.Grid->OnTitleClick = [&](TColumnEh* col) {
            clicked = col->FieldName().toStdString();
            ++clicks;
        };
        Press(vp, c.button, c.press.x(), c.press.y());
        Move(vp, c.button, c.release.x(), c.release.y());
        Release(vp, c.button, c.release.x(), c.release.y());
        EXPECT_EQ(clicked, c.clicked) << c.name;
        EXPECT_LE(clicks, 1) << c.name;
    }
}

TEST(TitleClick, DraggingAColumnClicksTheTitleUnderThePointer)
{
    TWindowGrid w;
    QWidget* vp = w.Grid->viewport();
    TColumnEh* clicked = nullptr;
    w.Grid->OnTitleClick = [&](TColumnEh* c) { clicked = c; };
    Press(vp, Qt::LeftButton, kVladX, 5);
    Move(vp, Qt::LeftButton, kStreetX, 5);
    Release(vp, Qt::LeftButton, kStreetX, 5);
    EXPECT_EQ(w.Grid->Columns()[2]->FieldName(), QStringLiteral("vlad")) << "the column moved";
    EXPECT_EQ(clicked, w.Grid->ColumnAt(w.Grid->MouseCoord(kStreetX, 5).x()));
}

TEST(TitleClick, RightClickOpensTheContextMenuAfterTheTitleClick)
{
    TWindowGrid w;
    std::vector<std::string> order;
    w.Grid->setContextMenuPolicy(Qt::CustomContextMenu);
    QObject::connect(w.Grid.get(), &QWidget::customContextMenuRequested,
                     [&](const QPoint& p) { order.push_back("menu at " + std::to_string(p.x())); });
    w.Grid->OnTitleClick = [&](TColumnEh* c) { order.push_back("title " + c->FieldName().toStdString()); };
    QWidget* vp = w.Grid->viewport();
    Press(vp, Qt::RightButton, kVladX, 5);
    // The desktop asks for the context menu right after the press, as this platform does.
    QContextMenuEvent menu(QContextMenuEvent::Mouse, QPoint(kVladX, 5), vp->mapToGlobal(QPoint(kVladX, 5)));
    QApplication::sendEvent(vp, &menu);
    QApplication::processEvents();
    EXPECT_TRUE(order.empty()) << "the menu waits for the release";
    Release(vp, Qt::RightButton, kVladX, 5);
    QApplication::processEvents();
    EXPECT_EQ(order, (std::vector<std::string>{"title vlad", "menu at " + std::to_string(kVladX)}));
    EXPECT_EQ(w.Grid->GridState(), gsNormal) << "the press that began moving ended with the release";

    // Asked for from the keyboard, the menu opens at once.
    order.clear();
    QContextMenuEvent key(QContextMenuEvent::Keyboard, QPoint(10, 30), vp->mapToGlobal(QPoint(10, 30)));
    QApplication::sendEvent(vp, &key);
    EXPECT_EQ(order, (std::vector<std::string>{"menu at 10"}));
}

TEST(TitleButtons, ThreeClicksCycleDownUpDown)
{
    TSortingGrid s;
    QWidget* vp = s.Grid->viewport();
    std::vector<TSortMarkerEh> seen;
    for (int i = 0; i < 3; ++i) {
        Click(vp, kVladX);
        seen.push_back(s.Title(1)->SortMarker());
    }
    EXPECT_EQ(seen, (std::vector<TSortMarkerEh>{smDownEh, smUpEh, smDownEh}));
    EXPECT_EQ(s.Title(1)->SortIndex(), 1);
    EXPECT_EQ(s.Log, (std::vector<std::string>{"button 1 vlad", "sort marking changed", "title vlad", "button 1 vlad",
                                               "sort marking changed", "title vlad", "button 1 vlad",
                                               "sort marking changed", "title vlad"}));
    EXPECT_EQ(s.Grid->GridState(), gsNormal) << "a title button neither moves nor sizes";
    EXPECT_EQ(s.Grid->Columns()[1]->FieldName(), QStringLiteral("vlad"));

    Click(vp, kStreetX);
    EXPECT_EQ(s.Title(1)->SortMarker(), smNoneEh) << "a plain click on another title takes the marker along";
    EXPECT_EQ(s.Title(1)->SortIndex(), 0);
    EXPECT_EQ(s.Title(2)->SortMarker(), smDownEh);
    EXPECT_EQ(s.Grid->SortMarkedList().Count(), 1);
}

TEST(TitleButtons, CtrlClicksNumberTheColumnsAndReportOnCtrlRelease)
{
    TSortingGrid s(true);
    QWidget* vp = s.Grid->viewport();
    Click(vp, kVladX, Qt::ControlModifier);
    Click(vp, kStreetX, Qt::ControlModifier);
    EXPECT_EQ(s.Title(1)->SortMarker(), smDownEh);
    EXPECT_EQ(s.Title(2)->SortMarker(), smDownEh);
    EXPECT_EQ(s.Title(1)->SortIndex(), 1);
    EXPECT_EQ(s.Title(2)->SortIndex(), 2);
    ASSERT_EQ(s.Grid->SortMarkedList().Count(), 2);
    EXPECT_EQ(s.Grid->SortMarkedList()[1], s.Grid->Columns()[2]);
    EXPECT_EQ(std::count(s.Log.begin(), s.Log.end(), "sort marking changed"), 0) << "not while Ctrl is held";
    QTest::keyRelease(s.Grid.get(), Qt::Key_Control);
    EXPECT_EQ(std::count(s.Log.begin(), s.Log.end(), "sort marking changed"), 1);
    QTest::keyRelease(s.Grid.get(), Qt::Key_Control);
    EXPECT_EQ(std::count(s.Log.begin(), s.Log.end(), "sort marking changed"), 1) << "once";

    // Ctrl keeps the others: the cycle goes down, up, then off, and the ordinals close up.
    Click(vp, kVladX, Qt::ControlModifier);
    Click(vp, kVladX, Qt::ControlModifier);
    EXPECT_EQ(s.Title(1)->SortMarker(), smNoneEh);
    EXPECT_EQ(s.Title(1)->SortIndex(), 0);
    EXPECT_EQ(s.Title(2)->SortIndex(), 1);

    // Switching multi-marking off keeps the first marked column only.
    Click(vp, kVladX, Qt::ControlModifier);
    ASSERT_EQ(s.Title(1)->SortIndex(), 2);
    s.Grid->SetOptionsEh(s.Grid->OptionsEh() - dghMultiSortMarking);
    EXPECT_EQ(s.Title(2)->SortMarker(), smDownEh);
    EXPECT_EQ(s.Title(1)->SortMarker(), smNoneEh);
    EXPECT_EQ(s.Grid->SortMarkedList().Count(), 1);
}

TEST(TitleButtons, SortIndexMovesOnlyToAnOrdinalAnotherColumnHolds)
{
    TSortingGrid s(true);
    for (int col : {0, 1, 2})
        s.Title(col)->SetSortMarker(smDownEh);
    ASSERT_EQ(s.Title(2)->SortIndex(), 3);
    s.Title(2)->SetSortIndex(5);
    EXPECT_EQ(s.Title(2)->SortIndex(), 3) << "nobody holds 5";
    s.Title(3)->SetSortIndex(1);
    EXPECT_EQ(s.Title(3)->SortIndex(), 0) << "an unmarked column has none";
    s.Title(2)->SetSortIndex(1);
    EXPECT_EQ(s.Title(2)->SortIndex(), 1);
    EXPECT_EQ(s.Title(0)->SortIndex(), 3) << "the two exchange";
    EXPECT_EQ(s.Grid->SortMarkedList()[0], s.Grid->Columns()[2]);
    EXPECT_EQ(s.Grid->SortMarkedList()[2], s.Grid->Columns()[0]);
    s.Title(2)->SetSortIndex(-4);
    EXPECT_EQ(s.Title(2)->SortIndex(), 1) << "a negative ordinal counts as 0, which a marked column cannot take";
}

TEST(TitleButtons, CheckButtonDecidesPerPressAndThePressedLookFollowsThePointer)
{
    TPinSystemColorsEh pin;
    TWindowGrid w;
    QWidget* vp = w.Grid->viewport();
    int buttonClicks = 0;
    w.Grid->OnCheckButton = [](TCustomDBGridEh*, int dataCol, TColumnEh*, bool& enabled) { enabled = dataCol == 1; };
    w.Grid->OnTitleBtnClick = [&](TCustomDBGridEh*, int, TColumnEh*) { ++buttonClicks; };

    Press(vp, Qt::LeftButton, kVladX, 5);
    EXPECT_EQ(w.Grid->TitlePressColumn(), 1);
    EXPECT_TRUE(w.Grid->TitlePressed());
    EXPECT_EQ(w.Grid->GridState(), gsNormal);
    const QImage pressed = vp->grab().toImage();
    EXPECT_EQ(pressed.pixel(80, 0) & 0xFFFFFF, ColorToQColor(clBtnShadow).rgb() & 0xFFFFFF) << "a sunken edge";
    Move(vp, Qt::LeftButton, kStreetX, 5);
    EXPECT_FALSE(w.Grid->TitlePressed()) << "over another title it looks raised";
    EXPECT_EQ(vp->grab().toImage().pixel(80, 0) & 0xFFFFFF, ColorToQColor(clBtnHighlight).rgb() & 0xFFFFFF);
    Move(vp, Qt::LeftButton, kVladX, 8);
    EXPECT_TRUE(w.Grid->TitlePressed());
    Release(vp, Qt::LeftButton, kStreetX, 5);
    EXPECT_EQ(buttonClicks, 0) << "released over another title";
    EXPECT_EQ(w.Grid->TitlePressColumn(), -1);

    Click(vp, kVladX);
    EXPECT_EQ(buttonClicks, 1);
    Press(vp, Qt::LeftButton, kVladX, 5);
    QFocusEvent lost(QEvent::FocusOut, Qt::ActiveWindowFocusReason);
    QApplication::sendEvent(w.Grid.get(), &lost);
    EXPECT_EQ(w.Grid->TitlePressColumn(), -1) << "losing the focus (and the mouse) ends the press";
    Release(vp, Qt::LeftButton, kVladX, 5);
    EXPECT_EQ(buttonClicks, 1);
    Press(vp, Qt::LeftButton, kStreetX, 5);
    EXPECT_EQ(w.Grid->TitlePressColumn(), -1) << "the handler leaves this title no button";
    EXPECT_EQ(w.Grid->GridState(), gsColMoving);
    Release(vp, Qt::LeftButton, kStreetX, 5);
}
