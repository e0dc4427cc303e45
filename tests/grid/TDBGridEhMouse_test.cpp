// Pressing, dragging and releasing the mouse in the data area of the window's grid, driven with
// QTest on the real grid: which record and column become current, the drag timer that scrolls
// while the pointer is held outside the data area, and the order of the mouse events.
#include "GridFixture.h"

#include <QTest>
#include <gtest/gtest.h>

#include <string>

namespace {

enum
{
    cNumer,
    cVlad,
    cStreet,
    cHome,
    cDoor
};

// 20 records in a grid with room for 32 rows: the data area ends at y = 378 (a title of 18 and 20
// rows of 18), and the client area goes on below it to 596.
struct TMouseGrid : TWindowGrid
{
    explicit TMouseGrid(int records = 20, int height = 600) : TWindowGrid(records, false)
    {
        Grid->resize(673, height);
        Grid->show();
        Grid->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Grid.get()));
        Open();
    }
    QWidget* Vp() const { return Grid->viewport(); }
    // Centre of the cell of a data row (0-based in the window) and a data column.
    QPoint Cell(int dataRow, int dataCol) const
    {
        return Grid->CellRect(Grid->DataToRawColumn(dataCol), dataRow + Grid->TitleRowCount()).center();
    }
    QPoint IndicatorCell(int dataRow) const { return Grid->CellRect(0, dataRow + Grid->TitleRowCount()).center(); }
    void Press(QPoint p, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = {})
    {
        QTest::mousePress(Vp(), b, m, p);
    }
    void Move(QPoint p, Qt::MouseButtons held = Qt::LeftButton)
    {
        QMouseEvent e(QEvent::MouseMove, QPointF(p), Vp()->mapToGlobal(QPointF(p)), Qt::NoButton, held, Qt::NoModifier);
        QApplication::sendEvent(Vp(), &e);
    }
    void Release(QPoint p, Qt::MouseButton b = Qt::LeftButton) { QTest::mouseRelease(Vp(), b, {}, p); }
    int Record() const { return Data->RecordNumber(); }
    int Column() const { return Grid->SelectedIndex(); }
};

} // namespace

TEST(MousePress, MakesThePressedCellCurrent)
{
    struct Case
    {
        const char* name;
        Qt::MouseButton button;
        bool indicator;
        int row, col;
        int expRecord, expCol;
        bool tracking;
    };
    const Case cases[] = {
        {"left press on a data cell", Qt::LeftButton, false, 4, cStreet, 5, cStreet, true},
        {"right press moves like a left press", Qt::RightButton, false, 4, cStreet, 5, cStreet, true},
        {"indicator press: the record only, and no selection", Qt::LeftButton, true, 6, -1, 7, cVlad, false},
        {"press below the last record: nothing", Qt::LeftButton, false, 25, cHome, 1, cVlad, false},
    };
    for (const Case& c : cases) {
        TMouseGrid g;
        g.Grid->SelectColumn(g.Grid->DataToRawColumn(cVlad), 0);
        const QPoint p = c.indicator ? g.IndicatorCell(c.row)
                                     : (c.row < 20 ? g.Cell(c.row, c.col)
                                                   : QPoint(g.Cell(0, c.col).x(), 378 + (c.row - 20) * 18 + 9));
        g.Press(p, c.button);
        EXPECT_EQ(g.Record(), c.expRecord) << c.name;
        EXPECT_EQ(g.Column(), c.expCol) << c.name;
        EXPECT_EQ(g.Grid->TrackingMouse(), c.tracking) << c.name;
        EXPECT_EQ(g.Grid->Selection().SelectionType(), gstNon) << c.name;
        EXPECT_TRUE(g.Grid->hasFocus()) << c.name;
        g.Release(p, c.button);
        EXPECT_FALSE(g.Grid->TrackingMouse()) << c.name;
        EXPECT_FALSE(g.Grid->DragTimerActive()) << c.name;
    }
}

TEST(MouseDrag, FollowsThePointerInsideTheDataArea)
{
    TMouseGrid g;
    std::string log;
    g.Grid->OnColExit = [&](TCustomDBGridEh*) { log += "exit "; };
    g.Grid->OnColEnter = [&](TCustomDBGridEh*) { log += "enter "; };
    g.Press(g.Cell(1, cVlad));
    EXPECT_EQ(g.Record(), 2);
    log.clear();
    g.Move(g.Cell(5, cVlad));
    EXPECT_EQ(g.Record(), 6);
    EXPECT_EQ(log, "");
    g.Move(g.Cell(5, cHome));
    EXPECT_EQ(g.Column(), cHome);
    EXPECT_EQ(log, "exit enter ");
    EXPECT_FALSE(g.Grid->DragTimerActive()) << "inside the data area nothing scrolls";
    g.Move(g.IndicatorCell(2)); // left of the data area, over another row
    EXPECT_EQ(g.Record(), 3) << "the row is followed";
    EXPECT_EQ(g.Column(), cStreet) << "the neighbouring column towards the pointer";
    g.Release(g.IndicatorCell(2));
    EXPECT_FALSE(g.Grid->DragTimerActive());
}

TEST(MouseDrag, BelowAndAboveTheDataArea)
{
    struct Case
    {
        const char* name;
        int startRecord;
        int y; // pointer row, in the client area
        int expRecord;
        int expInterval; // -1: no timer
    };
    // The data area's rows run from y = 18 to 377.
    const Case cases[] = {
        {"48 px below: 8 records a step at the fastest timer", 1, 377 + 48, 9, 0},
        {"3 px below: no record, 155 ms", 1, 377 + 3, 1, 155},
        {"6 px below: one record, 110 ms", 1, 377 + 6, 2, 110},
        {"13 px below: two records, 5 ms", 1, 377 + 13, 3, 5},
        {"100 px below: still 8 records", 1, 377 + 100, 9, 0},
    };
    for (const Case& c : cases) {
        TMouseGrid g;
        g.Press(g.Cell(c.startRecord - 1, cVlad));
        g.Move(QPoint(g.Cell(0, cVlad).x(), c.y));
        EXPECT_EQ(g.Record(), c.expRecord) << c.name;
        EXPECT_EQ(g.Grid->DragTimerActive(), c.expInterval >= 0) << c.name;
        EXPECT_EQ(g.Grid->DragTimerInterval(), c.expInterval) << c.name;
        g.Release(QPoint(g.Cell(0, cVlad).x(), c.y));
    }
}

TEST(MouseDrag, TheTimerKeepsScrollingWhileThePointerIsHeldOutside)
{
    TMouseGrid g;
    g.Press(g.Cell(0, cVlad));
    const QPoint below(g.Cell(0, cVlad).x(), 377 + 48);
    g.Move(below);
    EXPECT_EQ(g.Record(), 9);
    QTest::qWait(30);
    EXPECT_EQ(g.Record(), 20) << "ticks went on to the last record";
    g.Release(below);
    EXPECT_FALSE(g.Grid->DragTimerActive());
    EXPECT_FALSE(g.Grid->TrackingMouse());
}

TEST(MouseDrag, AboveTheDataAreaScrollsUp)
{
    // 100 records: the window shows 32; the pointer over the title row is above the data area.
    TMouseGrid g(100);
    g.Data->SetRecordNumber(50);
    QApplication::processEvents();
    const int row = g.Grid->DataLink()->ActiveRecord();
    g.Press(g.Cell(row, cVlad));
    g.Move(QPoint(g.Cell(0, cVlad).x(), 18 - 7)); // 7 px above: one record a step
    EXPECT_EQ(g.Record(), 49);
    EXPECT_EQ(g.Grid->DragTimerInterval(), 200 - 15 * 7);
    g.Release(QPoint(g.Cell(0, cVlad).x(), 18 - 7));
}

TEST(MouseRelease, CellClickAndEventOrder)
{
    struct Case
    {
        const char* name;
        Qt::MouseButton button;
        bool onTitle;
        std::string expected;
    };
    const Case cases[] = {
        {"left click on a data cell", Qt::LeftButton, false, "down(5) cell(street) up "},
        {"right click on a data cell: no cell click", Qt::RightButton, false, "down(5) up "},
        {"left click on a title", Qt::LeftButton, true, "down(1) title(street) up "},
    };
    for (const Case& c : cases) {
        TMouseGrid g;
        std::string log;
        g.Grid->OnMouseDown = [&](TCustomDBGridEh*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) {
            log += "down(" + std::to_string(g.Record()) + ") ";
        };
        g.Grid->OnMouseUp = [&](TCustomDBGridEh*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { log += "up "; };
        g.Grid->OnCellClick = [&](TColumnEh* col) { log += "cell(" + col->FieldName().toStdString() + ") "; };
        g.Grid->OnTitleClick = [&](TColumnEh* col) { log += "title(" + col->FieldName().toStdString() + ") "; };
        const QPoint p =
            c.onTitle ? g.Grid->CellRect(g.Grid->DataToRawColumn(cStreet), 0).center() : g.Cell(4, cStreet);
        QTest::mouseClick(g.Vp(), c.button, {}, p);
        EXPECT_EQ(log, c.expected) << c.name;
    }
}

TEST(MouseRelease, ReleaseOverAnotherCellClicksThatCell)
{
    TMouseGrid g;
    std::string clicked;
    g.Grid->OnCellClick = [&](TColumnEh* col) { clicked += col->FieldName().toStdString() + " "; };
    g.Press(g.Cell(1, cVlad));
    g.Move(g.Cell(3, cDoor));
    g.Release(g.Cell(3, cDoor));
    EXPECT_EQ(clicked, "numdoor ");
    EXPECT_EQ(g.Record(), 4);
}

TEST(MousePress, ClosedRecordSetFiresOnlyOnMouseDown)
{
    TWindowGrid g(5); // not opened
    std::string log;
    g.Grid->OnMouseDown = [&](TCustomDBGridEh*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { log += "down "; };
    g.Grid->OnColEnter = [&](TCustomDBGridEh*) { log += "enter "; };
    const int col = g.Grid->Col();
    const QPoint p = g.Grid->CellRect(3, 1).center();
    QTest::mousePress(g.Grid->viewport(), Qt::LeftButton, {}, p);
    EXPECT_EQ(log, "down ");
    EXPECT_EQ(g.Grid->Col(), col);
    EXPECT_FALSE(g.Grid->TrackingMouse());
    QTest::mouseRelease(g.Grid->viewport(), Qt::LeftButton, {}, p);
}

TEST(MousePress, DoubleClickFiresOnDblClickBeforeOnMouseDown)
{
    TMouseGrid g;
    std::string log;
    g.Grid->OnMouseDown = [&](TCustomDBGridEh*, Qt::MouseButton, Qt::KeyboardModifiers, int, int) { log += "down "; };
    g.Grid->OnDblClick = [&](TCustomDBGridEh*) { log += "dbl "; };
    QTest::mouseDClick(g.Vp(), Qt::LeftButton, {}, g.Cell(2, cVlad));
    EXPECT_NE(log.find("dbl down "), std::string::npos) << log;
}
