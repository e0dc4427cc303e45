// Keys, wheel and focus on the window's grid, driven with QTest on the real grid: what each key
// does to the record set's cursor and the grid's current column, the order of the events, the
// questions asked before deleting, and how Enter and Esc meet the window's buttons.
#include "GridFixture.h"
#include "TDBGridEhKeyMap.h"

#include <QDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QShortcut>
#include <QTest>
#include <QTimer>
#include <QVBoxLayout>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>

static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

enum
{
    cNumer,
    cVlad,
    cStreet,
    cHome,
    cDoor
};

// 100 records, and a height that leaves room for exactly 8 data rows (client 166 high: a title of
// 18 and 8 rows of 18).
struct TNavGrid : TWindowGrid
{
    explicit TNavGrid(int records = 100, int height = 170) : TWindowGrid(records, false)
    {
        Grid->resize(673, height);
        Grid->show();
        Grid->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(Grid.get()));
        Open();
        Grid->setFocus();
    }
    void GoTo(int record, int dataCol)
    {
        Data->SetRecordNumber(record);
        Grid->SelectColumn(Grid->DataToRawColumn(dataCol), 0);
        QApplication::processEvents();
    }
    int Record() const { return Data->RecordNumber(); }
    int Column() const { return Grid->SelectedIndex(); }
    int WindowTop() const { return Grid->DataLink()->FirstRecord() + 1; }
    void Key(Qt::Key key, Qt::KeyboardModifiers modifiers = {}) { QTest::keyClick(Grid.get(), key, modifiers); }
};

// Runs answer against the modal box that action opens (if any) and tells whether one was opened.
bool WithModalBox(const std::function<void()>& action, const std::function<void(QMessageBox&)>& answer)
{
    bool shown = false;
    QTimer::singleShot(0, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown = true;
            answer(*box);
        }
    });
    action();
    QApplication::processEvents(); // the timer, when no box ran its loop
    return shown;
}

} // namespace

TEST(KeyNavigation, BindingsWithAndWithoutCtrl)
{
    struct Case
    {
        const char* name;
        int key;
        bool ctrl;
        bool bound;
        TGridKeyCommandEh command;
        bool claimed;
    };
    const Case cases[] = {
        {"Up", Qt::Key_Up, false, true, gkcStepUp, true},
        {"Ctrl+Up: to the window's top", Qt::Key_Up, true, true, gkcWindowTop, true},
        {"Ctrl+Page Down: to the window's bottom", Qt::Key_PageDown, true, true, gkcWindowBottom, true},
        {"Ctrl+Tab falls back to Tab", Qt::Key_Tab, true, true, gkcTab, true},
        {"Backtab is Tab backwards", Qt::Key_Backtab, false, true, gkcTab, true},
        {"Ctrl+quote on the Russian layout", kKeyCyrillicEEh, true, true, gkcCopyFromAbove, true},
        {"Enter is not claimed (the window's default button)", Qt::Key_Return, false, true, gkcEnter, false},
        {"Ctrl+Enter falls back to Enter", Qt::Key_Enter, true, true, gkcEnter, false},
        {"Esc is not claimed", Qt::Key_Escape, false, true, gkcEscape, false},
        {"Delete needs Ctrl", Qt::Key_Delete, false, false, gkcStepUp, false},
        {"quote needs Ctrl", Qt::Key_Apostrophe, false, false, gkcStepUp, false},
        {"a letter", Qt::Key_A, false, false, gkcStepUp, false},
    };
    for (const Case& c : cases) {
        const TGridKeyBindingEh* b = FindGridKeyBindingEh(c.key, c.ctrl);
        ASSERT_EQ(b != nullptr, c.bound) << c.name;
        if (!b)
            continue;
        EXPECT_EQ(b->Command, c.command) << c.name;
        EXPECT_EQ(b->Claimed, c.claimed) << c.name;
    }
}

TEST(KeyNavigation, KeyTable)
{
    struct Case
    {
        const char* name;
        int record, column;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int expRecord, expColumn, expWindowTop; // 0: window top unchecked
    };
    const Qt::KeyboardModifiers none;
    const Qt::KeyboardModifiers ctrl = Qt::ControlModifier;
    const Qt::KeyboardModifiers shift = Qt::ShiftModifier;
    const Case cases[] = {
        {"Down", 1, cVlad, Qt::Key_Down, none, 2, cVlad, 1},
        {"Down on the last record appends nothing", 100, cVlad, Qt::Key_Down, none, 100, cVlad, 93},
        {"Up", 5, cVlad, Qt::Key_Up, none, 4, cVlad, 0},
        {"Up on the first record", 1, cVlad, Qt::Key_Up, none, 1, cVlad, 1},
        {"Page Down from record 1 with 8 visible rows lands on 9", 1, cVlad, Qt::Key_PageDown, none, 9, cVlad, 2},
        {"Page Down near the end lands on the last record", 97, cVlad, Qt::Key_PageDown, none, 100, cVlad, 0},
        {"Page Up", 20, cVlad, Qt::Key_PageUp, none, 12, cVlad, 0},
        {"Ctrl+Down from the second row to the eighth without scrolling", 2, cVlad, Qt::Key_Down, ctrl, 8, cVlad, 1},
        {"Ctrl+Page Down to the bottom row", 3, cVlad, Qt::Key_PageDown, ctrl, 8, cVlad, 1},
        {"Ctrl+Up from the seventh row to the top row", 7, cVlad, Qt::Key_Up, ctrl, 1, cVlad, 1},
        {"Ctrl+Page Up to the top row", 7, cVlad, Qt::Key_PageUp, ctrl, 1, cVlad, 1},
        {"Home: the first data column, same record", 5, cStreet, Qt::Key_Home, none, 5, cNumer, 0},
        {"End: the last column, same record", 5, cStreet, Qt::Key_End, none, 5, cDoor, 0},
        {"Ctrl+Home: the first record", 50, cStreet, Qt::Key_Home, ctrl, 1, cStreet, 1},
        {"Ctrl+End: the last record", 5, cStreet, Qt::Key_End, ctrl, 100, cStreet, 93},
        {"Ctrl+Left: the first data column", 5, cStreet, Qt::Key_Left, ctrl, 5, cNumer, 0},
        {"Ctrl+Right: the last column", 5, cStreet, Qt::Key_Right, ctrl, 5, cDoor, 0},
        {"Left", 5, cStreet, Qt::Key_Left, none, 5, cVlad, 0},
        {"Left on the first data column stays", 5, cNumer, Qt::Key_Left, none, 5, cNumer, 0},
        {"Right", 5, cStreet, Qt::Key_Right, none, 5, cHome, 0},
        {"Right on the last column stays", 5, cDoor, Qt::Key_Right, none, 5, cDoor, 0},
        {"Tab: the next column", 5, cStreet, Qt::Key_Tab, none, 5, cHome, 0},
        {"Tab on the last column: the next record's first column", 5, cDoor, Qt::Key_Tab, none, 6, cNumer, 0},
        {"Tab on the last record's last column: the same record's first", 100, cDoor, Qt::Key_Tab, none, 100, cNumer,
         0},
        {"Shift+Tab: the previous column", 5, cStreet, Qt::Key_Backtab, shift, 5, cVlad, 0},
        {"Shift+Tab on the first column: the previous record's last", 5, cNumer, Qt::Key_Backtab, shift, 4, cDoor, 0},
        {"Shift+Tab on the first record's first column: its last", 1, cNumer, Qt::Key_Backtab, shift, 1, cDoor, 0},
        {"Enter: nothing", 5, cStreet, Qt::Key_Return, none, 5, cStreet, 0},
        {"Shift+Enter: nothing", 5, cStreet, Qt::Key_Return, shift, 5, cStreet, 0},
        {"Esc: nothing to cancel", 5, cStreet, Qt::Key_Escape, none, 5, cStreet, 0},
        {"a typed letter: nothing", 5, cStreet, Qt::Key_A, none, 5, cStreet, 0},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.GoTo(c.record, c.column);
        g.Key(c.key, c.modifiers);
        EXPECT_EQ(g.Record(), c.expRecord) << c.name;
        EXPECT_EQ(g.Column(), c.expColumn) << c.name;
        if (c.expWindowTop > 0) {
            EXPECT_EQ(g.WindowTop(), c.expWindowTop) << c.name;
        }
        EXPECT_EQ(g.Data->RecordCount(), 100) << c.name;
        EXPECT_EQ(g.Data->CursorState(), dsBrowse) << c.name;
        EXPECT_TRUE(g.Grid->hasFocus()) << c.name << ": Tab stays in the grid";
    }
}

TEST(KeyNavigation, HiddenColumnsAreSkipped)
{
    struct Case
    {
        const char* name;
        int column;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int expected;
    };
    // numer and street hidden.
    const Case cases[] = {
        {"Right over a hidden column", cVlad, Qt::Key_Right, {}, cHome},
        {"Left over a hidden column", cHome, Qt::Key_Left, {}, cVlad},
        {"Left with only hidden columns left of it", cVlad, Qt::Key_Left, {}, cVlad},
        {"Home: the first shown column", cDoor, Qt::Key_Home, {}, cVlad},
        {"Ctrl+Left: the first shown column", cDoor, Qt::Key_Left, Qt::ControlModifier, cVlad},
        {"Tab over a hidden column", cVlad, Qt::Key_Tab, {}, cHome},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.Grid->Columns()[cNumer]->SetVisible(false);
        g.Grid->Columns()[cStreet]->SetVisible(false);
        QApplication::processEvents();
        g.GoTo(5, c.column);
        g.Key(c.key, c.modifiers);
        EXPECT_EQ(g.Column(), c.expected) << c.name;
        EXPECT_EQ(g.Record(), 5) << c.name;
    }
}

TEST(KeyNavigation, MovedColumnsAreWalkedInTheirNewPlaces)
{
    struct Case
    {
        const char* name;
        bool hideMoved; // the moved column is hidden as well
        const char* from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* expected;
        int expRecord;
    };
    // numer moved from the first place to the last: vlad, street, numhome, numdoor, numer.
    const Case cases[] = {
        {"Home: the column now first", false, "numer", Qt::Key_Home, {}, "vlad", 5},
        {"End: the moved column, now last", false, "street", Qt::Key_End, {}, "numer", 5},
        {"Right onto the moved column", false, "numdoor", Qt::Key_Right, {}, "numer", 5},
        {"Left off the moved column", false, "numer", Qt::Key_Left, {}, "numdoor", 5},
        {"Left on the column now first stays", false, "vlad", Qt::Key_Left, {}, "vlad", 5},
        {"Ctrl+Right: the moved column", false, "vlad", Qt::Key_Right, Qt::ControlModifier, "numer", 5},
        {"Tab on the moved column: the next record's first", false, "numer", Qt::Key_Tab, {}, "vlad", 6},
        {"Shift+Tab on the first: the previous record's moved column", false, "vlad", Qt::Key_Backtab,
         Qt::ShiftModifier, "numer", 4},
        {"moved and hidden: End stops before it", true, "street", Qt::Key_End, {}, "numdoor", 5},
        {"moved and hidden: Right on the last shown stays", true, "numdoor", Qt::Key_Right, {}, "numdoor", 5},
        {"moved and hidden: Tab on the last shown wraps", true, "numdoor", Qt::Key_Tab, {}, "vlad", 6},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        TDBGridColumnsEh& columns = g.Grid->Columns();
        columns.Move(cNumer, columns.Count() - 1);
        if (c.hideMoved)
            columns[columns.Count() - 1]->SetVisible(false);
        QApplication::processEvents();
        int from = -1;
        for (int i = 0; i < columns.Count(); ++i)
            if (columns[i]->FieldName() == QLatin1String(c.from))
                from = i;
        g.GoTo(5, from);
        g.Key(c.key, c.modifiers);
        EXPECT_EQ(columns[g.Column()]->FieldName(), QLatin1String(c.expected)) << c.name;
        EXPECT_EQ(g.Record(), c.expRecord) << c.name;
    }
}

TEST(KeyNavigation, HomeAndEndMoveRecordsWithOneDataColumn)
{
    TNavGrid g;
    for (int i = g.Grid->Columns().Count() - 1; i > 0; --i)
        g.Grid->Columns().Delete(i);
    QApplication::processEvents();
    g.GoTo(40, cNumer);
    g.Key(Qt::Key_Home);
    EXPECT_EQ(g.Record(), 1);
    g.Key(Qt::Key_End);
    EXPECT_EQ(g.Record(), 100);
}

TEST(KeyNavigation, TabWithoutTabStopsMovesOneRecordAndKeepsTheColumn)
{
    TNavGrid g;
    g.Grid->SetReadOnly(true); // read-only columns take no tab
    QApplication::processEvents();
    g.GoTo(5, cStreet);
    g.Key(Qt::Key_Tab);
    EXPECT_EQ(g.Record(), 6);
    EXPECT_EQ(g.Column(), cStreet);
    g.Key(Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_EQ(g.Record(), 5);
    EXPECT_EQ(g.Column(), cStreet);
}

TEST(KeyNavigation, RightToLeftExchangesLeftAndRight)
{
    TNavGrid g;
    g.Grid->setLayoutDirection(Qt::RightToLeft);
    g.GoTo(5, cStreet);
    g.Key(Qt::Key_Left);
    EXPECT_EQ(g.Column(), cHome);
    g.Key(Qt::Key_Right);
    g.Key(Qt::Key_Right);
    EXPECT_EQ(g.Column(), cVlad);
}

TEST(KeyNavigation, EventsFireInOrder)
{
    struct Case
    {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        std::string expected;
    };
    const Case cases[] = {
        {"Right", Qt::Key_Right, {}, "down exit enter up "},
        {"Tab", Qt::Key_Tab, {}, "down exit enter press up "},
        {"Down: no column change", Qt::Key_Down, {}, "down up "},
        {"a letter", Qt::Key_A, {}, "down press up "},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.GoTo(5, cVlad);
        std::string log;
        g.Grid->OnKeyDown = [&](TCustomDBGridEh*, int&, Qt::KeyboardModifiers) { log += "down "; };
        g.Grid->OnKeyPress = [&](TCustomDBGridEh*, QChar&) { log += "press "; };
        g.Grid->OnKeyUp = [&](TCustomDBGridEh*, int&, Qt::KeyboardModifiers) { log += "up "; };
        g.Grid->OnColExit = [&](TCustomDBGridEh* grid) {
            log += "exit ";
            EXPECT_EQ(grid->SelectedIndex(), cVlad) << c.name << ": still the old column";
        };
        g.Grid->OnColEnter = [&](TCustomDBGridEh* grid) {
            log += "enter ";
            EXPECT_NE(grid->SelectedIndex(), cVlad) << c.name << ": already the new column";
        };
        g.Key(c.key, c.modifiers);
        EXPECT_EQ(log, c.expected) << c.name;
    }
}

TEST(KeyNavigation, ClosedRecordSetFiresOnlyOnKeyDown)
{
    TWindowGrid g(5); // not opened
    g.Grid->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(g.Grid.get()));
    g.Grid->setFocus();
    std::string log;
    g.Grid->OnKeyDown = [&](TCustomDBGridEh*, int&, Qt::KeyboardModifiers) { log += "down "; };
    g.Grid->OnKeyPress = [&](TCustomDBGridEh*, QChar&) { log += "press "; };
    g.Grid->OnKeyUp = [&](TCustomDBGridEh*, int&, Qt::KeyboardModifiers) { log += "up "; };
    g.Grid->OnColEnter = [&](TCustomDBGridEh*) { log += "enter "; };
    const int col = g.Grid->Col();
    for (Qt::Key k : {Qt::Key_Right, Qt::Key_Tab, Qt::Key_A, Qt::Key_End})
        QTest::keyClick(g.Grid.get(), k);
    EXPECT_EQ(log, "down down down down ");
    EXPECT_EQ(g.Grid->Col(), col);
    EXPECT_TRUE(g.Grid->hasFocus());
}

TEST(KeyNavigation, KeyDownHandlerCanSwallowTheKey)
{
    TNavGrid g;
    g.GoTo(5, cVlad);
    g.Grid->OnKeyDown = [](TCustomDBGridEh*, int& key, Qt::KeyboardModifiers) {
        if (key == Qt::Key_Down)
            key = 0;
    };
    g.Key(Qt::Key_Down);
    EXPECT_EQ(g.Record(), 5);
    g.Key(Qt::Key_Up);
    EXPECT_EQ(g.Record(), 4);
}

TEST(KeyNavigation, ColExitHandlerThatChoosesAColumnWins)
{
    TNavGrid g;
    g.GoTo(5, cVlad);
    int exits = 0;
    int enters = 0;
    g.Grid->OnColExit = [&](TCustomDBGridEh* grid) {
        ++exits;
        grid->SelectColumn(grid->DataToRawColumn(cDoor), 0); // not re-entered
    };
    g.Grid->OnColEnter = [&](TCustomDBGridEh*) { ++enters; };
    g.Key(Qt::Key_Right);
    EXPECT_EQ(g.Column(), cDoor);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(enters, 1);
}

TEST(KeyNavigation, EscapeCancelsAPendingEditAndColumnSizing)
{
    TNavGrid g;
    g.GoTo(5, cVlad);
    g.Data->Edit();
    g.Data->FieldNamed(QStringLiteral("vlad"))->SetAsString(QStringLiteral("changed"));
    g.Key(Qt::Key_Escape);
    EXPECT_EQ(g.Data->CursorState(), dsBrowse);
    EXPECT_EQ(g.Data->FieldNamed(QStringLiteral("vlad"))->PlainText(), QStringLiteral("Owner 4"));

    // A sizing in progress ends with its old width.
    const int width = g.Grid->ColWidths(2);
    const int boundary = g.Grid->CellRect(2, 0).right() + 1;
    QTest::mousePress(g.Grid->viewport(), Qt::LeftButton, {}, QPoint(boundary, 5));
    ASSERT_EQ(g.Grid->GridState(), gsColSizing);
    QMouseEvent move(QEvent::MouseMove, QPointF(boundary + 30, 5),
                     g.Grid->viewport()->mapToGlobal(QPointF(boundary + 30, 5)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(g.Grid->viewport(), &move);
    g.Key(Qt::Key_Escape);
    EXPECT_EQ(g.Grid->GridState(), gsNormal);
    QTest::mouseRelease(g.Grid->viewport(), Qt::LeftButton, {}, QPoint(boundary + 30, 5));
    EXPECT_EQ(g.Grid->ColWidths(2), width);
}

TEST(KeyNavigation, CtrlDeleteAsksOnAModifiableResultOnly)
{
    struct Case
    {
        const char* name;
        bool readOnlySet; // the directory: a result that cannot be modified
        bool gridReadOnly;
        bool confirmOption;
        int answer; // QMessageBox::Ok, Cancel, or 0 to close the box
        bool expectBox;
        int expectCount;
    };
    const Case cases[] = {
        {"read-only directory: nothing", true, false, true, QMessageBox::Ok, false, 100},
        {"read-only grid: nothing", false, true, true, QMessageBox::Ok, false, 100},
        {"OK deletes", false, false, true, QMessageBox::Ok, true, 99},
        {"Cancel keeps", false, false, true, QMessageBox::Cancel, true, 100},
        {"closing the box keeps", false, false, true, 0, true, 100},
        {"without dgConfirmDelete: deleted unasked", false, false, false, QMessageBox::Ok, false, 99},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.Data->SetReadOnly(c.readOnlySet);
        g.Grid->SetReadOnly(c.gridReadOnly);
        if (!c.confirmOption)
            g.Grid->SetOptions(g.Grid->Options() - dgConfirmDelete);
        g.GoTo(5, cVlad);
        const bool shown =
            WithModalBox([&] { g.Key(Qt::Key_Delete, Qt::ControlModifier); },
                         [&](QMessageBox& box) {
                             EXPECT_EQ(box.windowTitle(), QStringLiteral("Confirm")) << c.name;
                             EXPECT_EQ(box.text(), QStringLiteral("Delete record?")) << c.name;
                             EXPECT_EQ(box.icon(), QMessageBox::Question) << c.name;
                             EXPECT_EQ(box.standardButtons(), QMessageBox::Ok | QMessageBox::Cancel) << c.name;
                             EXPECT_EQ(box.button(QMessageBox::Ok)->text(), QStringLiteral("OK")) << c.name;
                             EXPECT_EQ(box.button(QMessageBox::Cancel)->text(), QStringLiteral("Cancel")) << c.name;
                             if (c.answer == 0)
                                 box.close();
                             else
                                 box.button(QMessageBox::StandardButton(c.answer))->click();
                         });
        EXPECT_EQ(shown, c.expectBox) << c.name;
        EXPECT_EQ(g.Data->RecordCount(), c.expectCount) << c.name;
        if (c.expectCount == 99) {
            EXPECT_EQ(g.Data->FieldNamed(QStringLiteral("vlad"))->PlainText(), QStringLiteral("Owner 5"))
                << c.name << ": the next record is current";
        }
    }
}

TEST(KeyNavigation, CtrlDeleteDeletesEveryListedRecord)
{
    struct Case
    {
        const char* name;
        std::vector<int> listed;
        const char* question;
        std::vector<QString> gone;
    };
    const Case cases[] = {
        {"one listed record", {7}, "Delete record?", {QStringLiteral("Owner 6")}},
        {"three listed records",
         {3, 7, 5},
         "Delete all selected records?",
         {QStringLiteral("Owner 2"), QStringLiteral("Owner 4"), QStringLiteral("Owner 6")}},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        for (int r : c.listed) {
            g.GoTo(r, cVlad);
            g.Grid->Selection().Rows().SetCurrentRowSelected(true);
        }
        g.GoTo(10, cVlad);
        QString asked;
        WithModalBox([&] { g.Key(Qt::Key_Delete, Qt::ControlModifier); },
                     [&](QMessageBox& box) {
                         asked = box.text();
                         box.button(QMessageBox::Ok)->click();
                     });
        EXPECT_EQ(asked, QString::fromUtf8(c.question)) << c.name;
        EXPECT_EQ(g.Data->RecordCount(), 100 - int(c.listed.size())) << c.name;
        EXPECT_EQ(g.Grid->Selection().Rows().Count(), 0) << c.name;
        EXPECT_EQ(g.Grid->Selection().SelectionType(), gstNon) << c.name;
        EXPECT_FALSE(g.Data->NotifySuspended()) << c.name;
        std::vector<QString> left;
        g.Data->MoveFirst();
        for (int i = 0; i < 12; ++i, g.Data->MoveNext())
            left.push_back(g.Data->FieldNamed(QStringLiteral("vlad"))->PlainText());
        for (const QString& name : c.gone)
            EXPECT_EQ(std::count(left.begin(), left.end(), name), 0) << c.name << ": " << name.toStdString();
        EXPECT_EQ(std::count(left.begin(), left.end(), QStringLiteral("Owner 9")), 1) << c.name;
    }
}

TEST(KeyNavigation, CtrlQuoteCopiesTheValueAbove)
{
    struct Case
    {
        const char* name;
        int record;
        bool readOnlySet;
        bool columnReadOnly;
        bool updateAllowed;
        bool expectCopy;
    };
    const Case cases[] = {
        {"record in the middle of the window", 5, false, false, true, true},
        {"the window's first row has nothing above", 1, false, false, true, false},
        {"read-only directory", 5, true, false, true, false},
        {"read-only column", 5, false, true, true, false},
        {"updates not allowed", 5, false, false, false, false},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.Data->SetReadOnly(c.readOnlySet);
        g.Grid->Columns()[cVlad]->SetReadOnly(c.columnReadOnly);
        if (!c.updateAllowed)
            g.Grid->SetAllowedOperations(g.Grid->AllowedOperations() - alopUpdateEh);
        g.GoTo(c.record, cVlad);
        const QString before = g.Data->FieldNamed(QStringLiteral("vlad"))->PlainText();
        g.Key(Qt::Key_Apostrophe, Qt::ControlModifier);
        const QString after = g.Data->FieldNamed(QStringLiteral("vlad"))->PlainText();
        if (c.expectCopy) {
            EXPECT_EQ(g.Data->CursorState(), dsEdit) << c.name;
            EXPECT_EQ(after, QStringLiteral("Owner %1").arg(c.record - 2)) << c.name;
            EXPECT_EQ(g.Data->FieldNamed(QStringLiteral("street"))->PlainText(),
                      QStringLiteral("Street %1").arg((c.record - 1) % 97))
                << c.name << ": other fields keep their values";
        } else {
            EXPECT_EQ(g.Data->CursorState(), dsBrowse) << c.name;
            EXPECT_EQ(after, before) << c.name;
        }
    }
}

TEST(KeyNavigation, CtrlFOpensTheFindDialogModally)
{
    TNavGrid g;
    bool modal = false;
    QTimer::singleShot(0, [&] {
        QWidget* w = QApplication::activeModalWidget();
        modal = w && w->windowTitle() == QStringLiteral("Find text");
        if (w)
            w->close();
    });
    g.Key(Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(modal);
}

TEST(MouseWheel, NotchesMoveTheCursorAndTheRemainderIsKept)
{
    struct Case
    {
        const char* name;
        std::vector<int> deltas;
        int expected; // from record 50
    };
    const Case cases[] = {
        {"one notch towards the user: one down", {-120}, 51},
        {"one notch away: one up", {120}, 49},
        {"two notches at once", {-240}, 52},
        {"halves add up", {-60, -60}, 51},
        {"a half alone: nothing", {-60}, 50},
        {"thirds add up", {-40, -40, -40, -40}, 51},
        {"opposite halves cancel", {-60, 60, -60}, 50},
        {"with Ctrl all the same", {-120}, 51},
    };
    for (const Case& c : cases) {
        TNavGrid g;
        g.GoTo(50, cVlad);
        const QPointF pos(100, 50);
        for (int d : c.deltas) {
            QWheelEvent e(pos, g.Grid->viewport()->mapToGlobal(pos), QPoint(), QPoint(0, d), Qt::NoButton,
                          std::string(c.name).find("Ctrl") != std::string::npos ? Qt::ControlModifier : Qt::NoModifier,
                          Qt::NoScrollPhase, false);
            QApplication::sendEvent(g.Grid->viewport(), &e);
            EXPECT_TRUE(e.isAccepted()) << c.name;
        }
        EXPECT_EQ(g.Record(), c.expected) << c.name;
    }
}

namespace {

// The grid in a window beside an edit box, with or without a default button taking Enter and a
// cancel button taking Esc through window-level shortcuts, as the directory window does.
struct TGridWindow
{
    QWidget Window;
    TWindowGrid G{20, false};
    QLineEdit* Edit = new QLineEdit(&Window);
    QPushButton* Default = new QPushButton(QStringLiteral("Поиск..."), &Window);
    QPushButton* Cancel = new QPushButton(QStringLiteral("Отмена"), &Window);
    int DefaultClicks = 0;
    int CancelClicks = 0;
    std::string Keys;

    TGridWindow(bool defaultButton, bool cancelButton)
    {
        auto* layout = new QVBoxLayout(&Window);
        layout->addWidget(Edit);
        layout->addWidget(G.Grid.get());
        layout->addWidget(Default);
        layout->addWidget(Cancel);
        G.Grid->setMinimumSize(673, 193);
        QObject::connect(Default, &QPushButton::clicked, [this] { ++DefaultClicks; });
        QObject::connect(Cancel, &QPushButton::clicked, [this] { ++CancelClicks; });
        if (defaultButton)
            for (Qt::Key k : {Qt::Key_Return, Qt::Key_Enter})
                QObject::connect(new QShortcut(QKeySequence(k), &Window), &QShortcut::activated, Default,
                                 &QPushButton::click);
        if (cancelButton)
            QObject::connect(new QShortcut(QKeySequence(Qt::Key_Escape), &Window), &QShortcut::activated, Cancel,
                             &QPushButton::click);
        G.Grid->OnKeyDown = [this](TCustomDBGridEh*, int& key, Qt::KeyboardModifiers) {
            if (key == Qt::Key_Shift || key == Qt::Key_Control)
                return; // pressed on their own before the key
            Keys += key == Qt::Key_Escape ? "esc " : key == Qt::Key_Return ? "enter " : "other ";
        };
        Window.show();
        Window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&Window));
        G.Open();
        G.Grid->setFocus();
        QApplication::processEvents();
    }
};

} // namespace

TEST(WindowKeys, EnterAndEscMeetTheWindowsButtonsFirst)
{
    struct Case
    {
        const char* name;
        bool defaultButton, cancelButton;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int defaultClicks, cancelClicks;
        std::string gridSaw;
    };
    const Case cases[] = {
        {"Enter goes to the default button", true, false, Qt::Key_Return, {}, 1, 0, ""},
        {"keypad Enter too", true, false, Qt::Key_Enter, Qt::KeypadModifier, 1, 0, ""},
        {"Shift+Enter reaches the grid and does nothing", true, false, Qt::Key_Return, Qt::ShiftModifier, 0, 0,
         "enter "},
        {"Enter without a default button reaches the grid", false, false, Qt::Key_Return, {}, 0, 0, "enter "},
        {"Esc without a cancel button reaches the grid", true, false, Qt::Key_Escape, {}, 0, 0, "esc "},
        {"Esc goes to a cancel button", true, true, Qt::Key_Escape, {}, 0, 1, ""},
        {"arrows are the grid's", true, true, Qt::Key_Down, {}, 0, 0, "other "},
    };
    for (const Case& c : cases) {
        TGridWindow w(c.defaultButton, c.cancelButton);
        ASSERT_TRUE(w.G.Grid->hasFocus()) << c.name;
        const int record = w.G.Data->RecordNumber();
        QTest::keyClick(w.G.Grid.get(), c.key, c.modifiers);
        EXPECT_EQ(w.DefaultClicks, c.defaultClicks) << c.name;
        EXPECT_EQ(w.CancelClicks, c.cancelClicks) << c.name;
        EXPECT_EQ(w.Keys, c.gridSaw) << c.name;
        EXPECT_EQ(w.G.Data->RecordNumber(), record + (c.key == Qt::Key_Down ? 1 : 0)) << c.name;
    }
}

TEST(WindowKeys, EnterInADialogPressesItsDefaultButton)
{
    QDialog dialog;
    TWindowGrid g(20, false);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(g.Grid.get());
    auto* ok = new QPushButton(QStringLiteral("OK"), &dialog);
    ok->setDefault(true);
    layout->addWidget(ok);
    int clicks = 0;
    QObject::connect(ok, &QPushButton::clicked, [&] { ++clicks; });
    dialog.show();
    g.Open();
    g.Grid->setFocus();
    QTest::keyClick(g.Grid.get(), Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    QTest::keyClick(g.Grid.get(), Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(clicks, 1);
    layout->removeWidget(g.Grid.get());
    g.Grid->setParent(nullptr);
}

TEST(GridFocus, LeavingCancelsAnUntouchedNewRecord)
{
    struct Case
    {
        const char* name;
        bool cancelOnExit;
        bool touched;
        TDataSetState expected;
    };
    const Case cases[] = {
        {"untouched new record is cancelled", true, false, dsBrowse},
        {"touched new record stays", true, true, dsInsert},
        {"without dgCancelOnExit it stays", false, false, dsInsert},
    };
    for (const Case& c : cases) {
        TGridWindow w(true, false);
        if (!c.cancelOnExit)
            w.G.Grid->SetOptions(w.G.Grid->Options() - dgCancelOnExit);
        int exits = 0;
        int enters = 0;
        w.G.Grid->OnExit = [&](TCustomDBGridEh*) { ++exits; };
        w.G.Grid->OnEnter = [&](TCustomDBGridEh*) { ++enters; };
        w.G.Data->Insert();
        if (c.touched)
            w.G.Data->FieldNamed(QStringLiteral("vlad"))->SetAsString(QStringLiteral("new"));
        w.Edit->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(w.G.Data->CursorState(), c.expected) << c.name;
        EXPECT_EQ(exits, 1) << c.name;
        w.G.Grid->setFocus();
        QApplication::processEvents();
        EXPECT_EQ(enters, 1) << c.name;
        EXPECT_EQ(w.G.Data->RecordCount(), 20) << c.name;
        w.G.Data->Cancel();
    }
}
