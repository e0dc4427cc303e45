// The selection model: record list, rectangle, columns and everything, over the window's grid.
#include "GridFixture.h"

#include <QTest>
#include <gtest/gtest.h>

namespace {

// A record set that notes which stored rows it removes, in order.
class TTracingDataSet : public TMemDataSet
{
public:
    using TMemDataSet::TMemDataSet;
    std::vector<int> Removed;

protected:
    void StoreRemove(int row) override { Removed.push_back(row); }
};

struct TSelectionFixture
{
    TWindowGridOf<TRecordingGrid, TTracingDataSet> W;
    TTracingDataSet& Data = *W.Data;
    TRecordingGrid& Grid = *W.Grid;
    int Changes = 0;

    // With reversed owners the records sorted by owner come in the reverse of their stored order.
    explicit TSelectionFixture(int records = 12, bool reversedOwners = false) : W(reversedOwners ? 0 : records)
    {
        for (int i = 0; reversedOwners && i < records; ++i)
            Data.AddRow({QString::number(i), QString(QChar(u'a' + records - i)), QString(), QString(), QString()});
        W.Open();
        Grid.OnSelectionChanged = [this](TCustomDBGridEh*) { ++Changes; };
    }
    TDBGridEhSelection& Sel() { return Grid.Selection(); }
    // Bookmark of the record at a 1-based position.
    QByteArray At(int recordNumber)
    {
        Data.SetRecordNumber(recordNumber);
        return Data.Bookmark();
    }
    void SelectRecord(int recordNumber)
    {
        Data.SetRecordNumber(recordNumber);
        Sel().Rows().SetCurrentRowSelected(true);
    }
};

} // namespace

TEST(SelectionRect, ASingleCellIsNoRectangle)
{
    TSelectionFixture f;
    f.Sel().Rect().Select(2, f.At(3), false);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "one cell";
    f.Sel().Rect().Select(3, f.At(5), true);
    ASSERT_EQ(f.Sel().SelectionType(), gstRectangle) << "extended from the anchor";
    f.Sel().Rect().Select(1, f.At(4), false);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "a single cell without extend ends the rectangle";
    f.Sel().Rect().Select(1, f.At(4), true);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "extending to the anchor itself";
    EXPECT_GT(f.Changes, 0);
}

TEST(SelectionRect, BoundsAndCellSelectedInBookmarkOrder)
{
    TSelectionFixture f;
    const QByteArray B = f.At(2), C = f.At(3), D = f.At(4), E = f.At(5);
    // Anchor at the bottom right, extended up and left: the bounds come out in order.
    f.Sel().Rect().Select(3, D, false);
    f.Sel().Rect().Select(1, B, true);
    const TDBGridEhSelectionRect& r = f.Sel().Rect();
    EXPECT_EQ(r.TopRow(), B);
    EXPECT_EQ(r.GetBottomRow(), D);
    EXPECT_EQ(r.LeftCol(), 1);
    EXPECT_EQ(r.RightCol(), 3);
    struct Case
    {
        const char* name;
        int col;
        QByteArray row;
        bool selected;
    };
    const Case cases[] = {{"(2, C) inside", 2, C, true},     {"(0, C) left of it", 0, C, false},
                          {"(2, E) below it", 2, E, false},  {"(1, B) its corner", 1, B, true},
                          {"(3, D) its corner", 3, D, true}, {"(4, D) right of it", 4, D, false}};
    for (const Case& c : cases) {
        EXPECT_EQ(r.CellSelected(c.col, c.row), c.selected) << c.name;
        EXPECT_EQ(f.Sel().CellSelected(c.col, c.row), c.selected) << c.name;
    }
    EXPECT_FALSE(f.Sel().CellSelected(-1, C)) << "no column";
    // In the window (records 1 to 9 in rows 1 to 9): grid columns 2..4, rows 2..4.
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{2, 2, 4, 4}));
}

TEST(SelectionRect, BoundsNeedAnOpenRecordSet)
{
    TSelectionFixture f;
    f.Sel().Rect().Select(1, f.At(2), false);
    f.Data.Close();
    auto message = [](auto&& call) {
        try {
            call();
        } catch (const EInvalidGridOperationEh& e) {
            return e.Message().toStdString();
        }
        return std::string("no error");
    };
    const TDBGridEhSelectionRect& r = f.Sel().Rect();
    EXPECT_EQ(message([&] { r.GetBottomRow(); }), "Error in TDBGridEhSelectionRect.GetBottomRow");
    EXPECT_EQ(message([&] { r.CellSelected(0, {}); }), "Error in function TDBGridEhSelectionRect.CellSelected");
    EXPECT_EQ(message([&] { r.TopRow(); }), "Error in TDBGridEhSelectionRect.GetTopRow");
    EXPECT_EQ(message([&] { r.LeftCol(); }), "Error in TDBGridEhSelectionRect.GetLeftCol");
    EXPECT_EQ(message([&] { r.RightCol(); }), "Error in TDBGridEhSelectionRect.GetRightCol");
}

TEST(SelectionCols, SelectInvertAndShift)
{
    TSelectionFixture f;
    TDBGridColumnsEh& cols = f.Grid.Columns();
    TDBGridEhSelectionCols& sel = f.Sel().Columns();
    auto indexes = [&] {
        std::vector<int> out;
        for (TColumnEh* c : sel)
            out.push_back(c->Index());
        return out;
    };
    sel.Select(cols[3], false);
    sel.Select(cols[1], true);
    EXPECT_EQ(indexes(), (std::vector<int>{1, 3})) << "kept in collection order";
    sel.Select(cols[2], false);
    EXPECT_EQ(indexes(), (std::vector<int>{2})) << "without keep the others go";
    EXPECT_EQ(f.Sel().SelectionType(), gstColumns);
    EXPECT_TRUE(f.Sel().CellSelected(2, {}));
    EXPECT_FALSE(f.Sel().CellSelected(1, {}));
    EXPECT_FALSE(f.Sel().CellSelected(-1, {}));

    sel.SelectShift(cols[4]);
    EXPECT_EQ(indexes(), (std::vector<int>{2, 3, 4}));
    sel.SelectShift(cols[0]);
    EXPECT_EQ(indexes(), (std::vector<int>{0, 1, 2})) << "the previous extension is replaced";
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{1, 0, 3, f.Grid.RowCount() - 1}));

    sel.Select(cols[2], false);
    sel.InvertSelect(cols[2]);
    EXPECT_EQ(sel.Count(), 0) << "inverting the only selected column empties the list";
    EXPECT_EQ(f.Sel().SelectionType(), gstNon);
    sel.InvertSelect(cols[4]);
    EXPECT_EQ(f.Sel().SelectionType(), gstColumns);

    // A column that leaves the grid leaves the selection at the next layout.
    cols.Delete(4);
    EXPECT_EQ(sel.Count(), 0);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon);
}

TEST(SelectionRows, SortedByBookmarkOrderWithACachedSearch)
{
    TSelectionFixture f(12, true);
    // Sorted by owner the stored rows come as 11, 10, ..., 0: neither the bookmarks' numbers nor
    // their texts are in the record set's order.
    f.Data.SortBy(QStringLiteral("vlad"));
    ASSERT_EQ(f.At(1), QByteArray("11"));
    f.SelectRecord(5);
    f.SelectRecord(3);
    f.SelectRecord(9);
    const TBookmarkListEh& rows = f.Sel().Rows();
    ASSERT_EQ(rows.Count(), 3);
    EXPECT_EQ(f.Sel().SelectionType(), gstRecordBookmarks);
    EXPECT_EQ(rows[0], f.At(3));
    EXPECT_EQ(rows[1], f.At(5));
    EXPECT_EQ(rows[2], f.At(9));
    EXPECT_EQ(rows.IndexOf(f.At(4)), -1);

    const QByteArray b5 = f.At(5);
    EXPECT_EQ(rows.IndexOf(b5), 1);
    const int before = rows.Comparisons();
    EXPECT_EQ(rows.IndexOf(b5), 1);
    EXPECT_EQ(rows.Comparisons(), before) << "the cache answers the same bookmark again";
    f.SelectRecord(4); // the list changes: the cache is dropped
    const int afterChange = rows.Comparisons();
    EXPECT_EQ(rows.IndexOf(b5), 2);
    EXPECT_GT(rows.Comparisons(), afterChange);

    f.Data.SetRecordNumber(3);
    EXPECT_TRUE(rows.CurrentRowSelected());
    f.Sel().Rows().SetCurrentRowSelected(false);
    EXPECT_EQ(rows.Count(), 3);
    EXPECT_FALSE(rows.CurrentRowSelected());
}

TEST(SelectionRows, DeletingListedRecordsGoesFromTheLastToTheFirst)
{
    TSelectionFixture f;
    f.SelectRecord(7);
    f.SelectRecord(2);
    f.SelectRecord(4);
    const int stored[] = {f.At(2).toInt(), f.At(4).toInt(), f.At(7).toInt()};
    f.Sel().Rows().DeleteRecords();
    EXPECT_EQ(f.Data.Removed, (std::vector<int>{stored[2], stored[1], stored[0]}));
    EXPECT_EQ(f.Sel().Rows().Count(), 0);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon);
    EXPECT_EQ(f.Data.RecordCount(), 9);
    EXPECT_FALSE(f.Data.NotifySuspended());
}

TEST(SelectionRows, DeletionFailureResumesNotifications)
{
    TSelectionFixture f;
    f.SelectRecord(2);
    f.Data.SetReadOnly(true);
    EXPECT_ANY_THROW(f.Sel().Rows().DeleteRecords());
    EXPECT_FALSE(f.Data.NotifySuspended());
    EXPECT_EQ(f.Sel().Rows().Count(), 1) << "nothing deleted, nothing forgotten";
}

TEST(Selection, KindsClearAndTheRecordSetsOpenState)
{
    TSelectionFixture f;
    f.SelectRecord(2);
    f.SelectRecord(3);
    // Rows 2 and 3 of the window: every grid column.
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{0, 2, 5, 3}));
    f.Sel().Columns().Select(f.Grid.Columns()[1], false);
    EXPECT_EQ(f.Sel().SelectionType(), gstColumns);
    EXPECT_EQ(f.Sel().Rows().Count(), 0) << "another kind clears the record list first";
    f.Sel().SelectAll();
    EXPECT_EQ(f.Sel().SelectionType(), gstAll);
    EXPECT_EQ(f.Sel().Columns().Count(), 0);
    EXPECT_TRUE(f.Sel().CellSelected(4, f.At(1)));
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{0, 0, 5, f.Grid.RowCount() - 1}));
    const int changes = f.Changes;
    f.Sel().Clear();
    EXPECT_EQ(f.Sel().SelectionType(), gstNon);
    EXPECT_EQ(f.Changes, changes + 1);
    EXPECT_EQ(f.Sel().GridRect(), TGridRectEh());

    f.SelectRecord(5);
    EXPECT_TRUE(f.Sel().Rows().LinkActiveFlag());
    f.Data.Close();
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "closing the record set clears the selection";
    EXPECT_EQ(f.Sel().Rows().Count(), 0);
    EXPECT_FALSE(f.Sel().Rows().LinkActiveFlag());
    try {
        f.Sel().Rows().CurrentRowSelected();
        FAIL() << "no error";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Cannot perform this operation on a closed dataset"));
    }
}

TEST(Selection, KindsTheUserMayMake)
{
    TSelectionFixture f;
    EXPECT_FALSE(f.Grid.SelectionKindAllowed(gstRecordBookmarks)) << "this program: no multi-select";
    f.Grid.SetOptions(f.Grid.Options() + dgMultiSelect);
    EXPECT_TRUE(f.Grid.SelectionKindAllowed(gstRectangle));
    f.Grid.SetOptions(f.Grid.Options() + dgRowSelect);
    EXPECT_FALSE(f.Grid.SelectionKindAllowed(gstRectangle));
    EXPECT_FALSE(f.Grid.SelectionKindAllowed(gstColumns));
    EXPECT_TRUE(f.Grid.SelectionKindAllowed(gstRecordBookmarks));
    f.Sel().SelectAll();
    f.Grid.SetAllowedSelections({gstRecordBookmarks});
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "a kind no longer allowed is cleared";
}

namespace {

void ClickAt(QWidget* w, int x, int y, Qt::KeyboardModifiers m = {})
{
    QTest::mouseClick(w, Qt::LeftButton, m, QPoint(x, y));
}
void DragTo(QWidget* w, int x, int y)
{
    QMouseEvent e(QEvent::MouseMove, QPointF(x, y), w->mapToGlobal(QPointF(x, y)), Qt::NoButton, Qt::LeftButton,
                  Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
// Middle of data row r (1-based grid row) and of the title's column-selection strip.
int RowY(int r)
{
    return 18 * r + 8;
}
constexpr int kStripY = 14;

std::vector<int> Listed(TSelectionFixture& f)
{
    std::vector<int> numbers;
    const TBookmarkListEh& rows = f.Sel().Rows();
    for (int i = 0; i < rows.Count(); ++i) {
        f.Data.SetBookmark(rows[i]);
        numbers.push_back(f.Data.RecordNumber());
    }
    return numbers;
}

} // namespace

TEST(SelectionMouse, TheIndicatorSelectsRecords)
{
    TSelectionFixture f;
    QWidget* vp = f.Grid.viewport();
    ClickAt(vp, 5, RowY(3));
    EXPECT_EQ(f.Data.RecordNumber(), 3) << "without multi-select a click makes the record current";
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "and selects nothing";

    f.Grid.SetOptions(f.Grid.Options() + dgMultiSelect);
    ClickAt(vp, 5, RowY(3));
    EXPECT_EQ(Listed(f), (std::vector<int>{3}));
    ClickAt(vp, 5, RowY(5), Qt::ControlModifier);
    EXPECT_EQ(Listed(f), (std::vector<int>{3, 5})) << "Ctrl adds";
    ClickAt(vp, 5, RowY(3), Qt::ControlModifier);
    EXPECT_EQ(Listed(f), (std::vector<int>{5})) << "Ctrl removes";
    ClickAt(vp, 5, RowY(2));
    EXPECT_EQ(Listed(f), (std::vector<int>{2})) << "a plain click starts anew";
    ClickAt(vp, 5, RowY(4), Qt::ShiftModifier);
    EXPECT_EQ(Listed(f), (std::vector<int>{2, 3, 4})) << "Shift: from the current record to the pressed one";
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(5, RowY(6)));
    DragTo(vp, 5, RowY(8));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(5, RowY(8)));
    EXPECT_EQ(Listed(f), (std::vector<int>{6, 8})) << "dragging over the indicator adds the rows passed";

    QMouseEvent hover(QEvent::MouseMove, QPointF(5, RowY(2)), vp->mapToGlobal(QPointF(5, RowY(2))), Qt::NoButton,
                      Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(vp, &hover);
    EXPECT_EQ(vp->cursor().hotSpot(), QPoint(12, 8)) << "the right-pointing selection cursor";
}

TEST(SelectionMouse, CornerTitleStripAndRectangle)
{
    TSelectionFixture f;
    f.Grid.SetOptions(f.Grid.Options() + dgMultiSelect);
    QWidget* vp = f.Grid.viewport();
    ClickAt(vp, 5, 5);
    EXPECT_EQ(f.Sel().SelectionType(), gstAll) << "the corner selects everything";
    ClickAt(vp, 5, 5);
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "and clears it again";

    ClickAt(vp, 200, kStripY); // vlad's strip
    EXPECT_EQ(f.Grid.GridState(), gsNormal) << "no column moving";
    ASSERT_EQ(f.Sel().Columns().Count(), 1);
    EXPECT_EQ(f.Sel().Columns()[0]->FieldName(), QStringLiteral("vlad"));
    ClickAt(vp, 560, kStripY, Qt::ShiftModifier); // numhome
    EXPECT_EQ(f.Sel().Columns().Count(), 3);
    ClickAt(vp, 400, kStripY, Qt::ControlModifier); // street out
    EXPECT_EQ(f.Sel().Columns().Count(), 2);

    ClickAt(vp, 40, RowY(2));
    EXPECT_EQ(f.Sel().SelectionType(), gstNon) << "a plain press in the data clears the selection";
    ClickAt(vp, 400, RowY(4), Qt::ShiftModifier);
    ASSERT_EQ(f.Sel().SelectionType(), gstRectangle) << "Shift: from the cell that was current";
    EXPECT_EQ(f.Sel().Rect().LeftCol(), 0);
    EXPECT_EQ(f.Sel().Rect().RightCol(), 2);
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{1, 2, 3, 4}));
    QTest::mousePress(vp, Qt::LeftButton, {}, QPoint(200, RowY(5)));
    DragTo(vp, 560, RowY(7));
    QTest::mouseRelease(vp, Qt::LeftButton, {}, QPoint(560, RowY(7)));
    EXPECT_EQ(f.Sel().GridRect(), (TGridRectEh{2, 5, 4, 7})) << "dragging spans a rectangle";
}
