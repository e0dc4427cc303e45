// The find dialog and the grid's text search, driven through the real dialog on the window's grid.
#include "GridFixture.h"

#include "TDBGridEhFindDlg.h"
#include "TDBGridEhTextSearch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

// Readable texts in failure messages.
static void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// Columns of the window's grid, as data column indexes.
enum
{
    cNumer,
    cVlad,
    cStreet,
    cHome,
    cDoor
};

// Ten telephone entries, then filler, so that the result is longer than the window (9 rows).
void FillFindData(TMemDataSet& ds, int records = 40)
{
    const char* rows[][5] = {
        {"100", "Иванов Иван", "ул. Мира", "1", "1"},     {"101", "Петров Пётр", "ул. Ленина", "2", ""},
        {"102", "ООО \"Ромашка\"", "пр. Мира", "3", "3"}, {"103", "Сидоров", "ул. Мира", "4", "4"},
        {"104", "Кузнецов", "ул. Садовая", "5", ""},      {"105", "ИВАНОВА МАРИЯ", "ул. Садовая", "6", "6"},
        {"106", "Смирнов", "пр. Ленина", "7", "7"},       {"107", "Попов", "ул. Мира", "8", "8"},
        {"108", "Васильев", "ул. Лесная", "9", ""},       {"109", "Мира Николаевна", "ул. Лесная", "10", "10"},
    };
    for (const auto& r : rows)
        ds.AddRow({QString::fromUtf8(r[0]), QString::fromUtf8(r[1]), QString::fromUtf8(r[2]), QString::fromUtf8(r[3]),
                   QString::fromUtf8(r[4])});
    for (int i = 11; i <= records; ++i)
        ds.AddRow({QString::number(100 + i - 1), QStringLiteral("Абонент %1").arg(i), QStringLiteral("ул. Прочая"),
                   QString::number(i), QString::number(i)});
}

struct TFindGrid : TWindowGrid
{
    TFindGrid() : TWindowGrid(0)
    {
        FillFindData(*Data);
        Open();
    }
    // Makes record (1-based) and data column current.
    void GoTo(int record, int dataCol)
    {
        Data->SetRecordNumber(record);
        Grid->SelectColumn(Grid->DataToRawColumn(dataCol), 0);
        QApplication::processEvents();
    }
    int Record() const { return Data->RecordNumber(); }
    int Column() const { return Grid->SelectedIndex(); }
};

// Opens the dialog modally for the grid, as Ctrl+F does, and runs body while it is shown; the
// dialog is closed afterwards if the body left it open.
void WithFindDialog(TCustomDBGridEh& grid, const std::function<void(TDBGridEhFindDlg&)>& body)
{
    bool ran = false;
    QTimer::singleShot(0, [&] {
        TDBGridEhFindDlg* dlg = TDBGridEhFindDlg::ExistingInstance();
        ran = dlg && dlg->isVisible();
        if (ran)
            body(*dlg);
        if (dlg && dlg->isVisible())
            dlg->reject();
    });
    grid.OpenFindDialog(QString(), QString(), true);
    ASSERT_TRUE(ran) << "the dialog was not shown modally";
}

// Sets up a request in the dialog's controls.
void Ask(TDBGridEhFindDlg& d, const QString& text, const char* direction, const char* findIn = nullptr,
         const char* match = "From any part of field", bool matchCase = false)
{
    d.cbText->setEditText(text);
    d.cbFindDirection->setCurrentIndex(d.cbFindDirection->findText(QString::fromLatin1(direction)));
    if (findIn)
        d.cbFindIn->setCurrentIndex(d.cbFindIn->findText(QString::fromUtf8(findIn)));
    d.cbMatchinType->setCurrentIndex(d.cbMatchinType->findText(QString::fromLatin1(match)));
    d.cbCharCase->setChecked(matchCase);
}

void ClickFind(TDBGridEhFindDlg& d, Qt::KeyboardModifiers modifiers = {})
{
    QTest::mouseClick(d.bFind, Qt::LeftButton, modifiers);
}

} // namespace

TEST(FindDialog, ControlsCaptionsAndPlaces)
{
    TFindGrid g;
    WithFindDialog(*g.Grid, [](TDBGridEhFindDlg& d) {
        EXPECT_EQ(d.windowTitle(), QStringLiteral("Find text"));
        EXPECT_FALSE(d.TreeRowShown());
        EXPECT_EQ(d.size(), QSize(505, 124)) << "the hidden tree row cuts the client area at its top";
        EXPECT_EQ(d.font().family(), QStringLiteral("MS Sans Serif"));
        EXPECT_EQ(d.font().pixelSize(), 10);
        struct Place
        {
            QWidget* w;
            QRect r;
            const char* text;
        };
        const Place places[] = {
            {d.Label1, {10, 12, 52, 13}, "Fi&nd What:"},
            {d.cbText, {88, 9, 316, 21}, ""},
            {d.Label2, {10, 35, 34, 13}, "Find &in:"},
            {d.cbFindIn, {88, 32, 192, 21}, "Телефон"},
            {d.cbMatchType, {10, 58, 33, 13}, "Matc&h:"},
            {d.cbMatchinType, {88, 55, 144, 21}, "From any part of field"},
            {d.Label3, {10, 82, 37, 13}, "Sea&rch:"},
            {d.cbFindDirection, {88, 79, 144, 21}, "All"},
            {d.cbCharCase, {88, 105, 144, 14}, "Match &Case"},
            {d.cbUseFormat, {260, 105, 144, 14}, "Match F&ormat"},
            {d.bFind, {413, 9, 82, 23}, "&Find next"},
            {d.bCancel, {413, 37, 82, 22}, "Close"},
            {d.Label4, {10, 128, 59, 13}, "Find in Tree:"},
            {d.dbcTreeFindRange, {88, 124, 145, 21}, "In all nodes"},
        };
        for (const Place& p : places) {
            const QString name = p.w->objectName();
            EXPECT_EQ(p.w->geometry(), p.r) << name.toStdString();
            QString text;
            if (auto* l = qobject_cast<QLabel*>(p.w))
                text = l->text();
            else if (auto* c = qobject_cast<QComboBox*>(p.w))
                text = c->currentText();
            else if (auto* b = qobject_cast<QAbstractButton*>(p.w))
                text = b->text();
            EXPECT_EQ(text, QString::fromUtf8(p.text)) << name.toStdString();
        }
        EXPECT_FALSE(d.Label4->isVisible());
        EXPECT_FALSE(d.dbcTreeFindRange->isVisible());
        EXPECT_FALSE(d.cbCharCase->isChecked());
        EXPECT_TRUE(d.cbUseFormat->isChecked());
        EXPECT_TRUE(d.bFind->isDefault());
        EXPECT_EQ(d.cbText->maxVisibleItems(), 17);
        QStringList findIn;
        for (int i = 0; i < d.cbFindIn->count(); ++i)
            findIn << d.cbFindIn->itemText(i);
        EXPECT_EQ(findIn, (QStringList{QStringLiteral("Телефон"), QStringLiteral("Владелец"), QStringLiteral("Улица"),
                                       QStringLiteral("Дом"), QStringLiteral("Квартира"), QStringLiteral("<All>")}));
        // Tab order, from the text on.
        QStringList order;
        QWidget* w = d.cbText;
        for (int i = 0; i < 9; ++i) {
            order << w->objectName();
            do
                w = w->nextInFocusChain(); // past labels and the combo box's own line edit
            while (w && (w->objectName().isEmpty() || !(w->focusPolicy() & Qt::TabFocus)));
        }
        EXPECT_EQ(order, (QStringList{"cbText", "cbFindIn", "cbMatchinType", "cbFindDirection", "cbCharCase",
                                      "cbUseFormat", "bFind", "bCancel", "dbcTreeFindRange"}));
        EXPECT_EQ(d.focusWidget(), d.cbText) << "the text has the focus";
        // Labels lead to their controls.
        EXPECT_EQ(d.Label1->buddy(), d.cbText);
        EXPECT_EQ(d.cbMatchType->buddy(), d.cbMatchinType);
    });
}

TEST(FindDialog, FindInPrefersTheCurrentColumnElseAll)
{
    TFindGrid g;
    g.GoTo(1, cHome);
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        EXPECT_EQ(d.cbFindIn->currentText(), QStringLiteral("Дом"));
        TColumnEh* street = g.Grid->Columns()[cStreet];
        TColumnEh* home = g.Grid->Columns()[cHome];
        const TFindColumnListEh lower = {{QStringLiteral("Улица"), street}, {QStringLiteral("дом"), home}};
        d.Prepare(g.Grid.get(), QString(), &lower);
        EXPECT_EQ(d.cbFindIn->count(), 3);
        EXPECT_EQ(d.cbFindIn->currentText(), QStringLiteral("дом")) << "captions compare ignoring case";
        const TFindColumnListEh without = {{QStringLiteral("Улица"), street}};
        d.Prepare(g.Grid.get(), QString(), &without);
        EXPECT_EQ(d.cbFindIn->currentText(), QStringLiteral("<All>"));
    });
}

TEST(FindDialog, SearchCases)
{
    struct Step
    {
        const char* text;
        const char* direction;
        const char* findIn; // null: the preselected current column
        const char* match;
        bool matchCase;
        Qt::KeyboardModifiers modifiers;
        int record, column; // where the cursor stands afterwards
    };
    struct Case
    {
        const char* name;
        int startRecord, startColumn;
        std::vector<Step> steps;
    };
    const char* any = "From any part of field";
    const char* whole = "Whole field";
    const char* begin = "From beging of field";
    const Case cases[] = {
        {"All from record 5: tests from record 1, then goes on downwards",
         5,
         cVlad,
         {{"иван", "All", nullptr, any, false, {}, 1, cVlad},
          {"иван", "All", nullptr, any, false, {}, 6, cVlad},
          {"иван", "All", nullptr, any, false, {}, 6, cVlad}}},
        {"Down never tests the current cell", 1, cVlad, {{"иван", "Down", nullptr, any, false, {}, 6, cVlad}}},
        {"<All> Up: columns left of the current one, then the previous record from its last column",
         10,
         cHome,
         {{"мира", "Up", "<All>", any, false, {}, 10, cVlad},
          {"мира", "Up", "<All>", any, false, {}, 8, cStreet},
          {"мира", "Up", "<All>", any, false, {}, 4, cStreet}}},
        {"<All> Down: columns right of the current one, then the next record from its first column",
         3,
         cStreet,
         {{"1", "Down", "<All>", any, false, {}, 4, cNumer}}},
        {"<All> with All starts at the first record's first column",
         7,
         cDoor,
         {{"100", "All", "<All>", whole, false, {}, 1, cNumer}}},
        {"case ignored: small letters find capitals inside a longer text",
         2,
         cVlad,
         {{"иванова", "Down", nullptr, any, false, {}, 6, cVlad}}},
        {"case matched: small letters do not find capitals",
         2,
         cVlad,
         {{"иванова", "Down", nullptr, any, true, {}, 2, cVlad}}},
        {"case matched: the same letters are found", 2, cVlad, {{"ИВАНОВА", "Down", nullptr, any, true, {}, 6, cVlad}}},
        {"whole field with an empty text finds the next empty cell",
         1,
         cDoor,
         {{"", "Down", nullptr, whole, false, {}, 2, cDoor}, {"", "Down", nullptr, whole, false, {}, 5, cDoor}}},
        {"any part with an empty text finds nothing", 1, cDoor, {{"", "Down", nullptr, any, false, {}, 1, cDoor}}},
        {"whole field needs the whole text",
         1,
         cStreet,
         {{"мира", "Down", nullptr, whole, false, {}, 1, cStreet},
          {"пр. мира", "Down", nullptr, whole, false, {}, 3, cStreet}}},
        {"from the beginning",
         1,
         cStreet,
         {{"пр", "Down", nullptr, begin, false, {}, 3, cStreet},
          {"мира", "Down", nullptr, begin, false, {}, 3, cStreet}}},
        {"Ctrl reverses Down", 8, cVlad, {{"иван", "Down", nullptr, any, false, Qt::ControlModifier, 6, cVlad}}},
        {"Ctrl reverses All to Up", 8, cVlad, {{"иван", "All", nullptr, any, false, Qt::ControlModifier, 6, cVlad}}},
        {"Ctrl reverses Up", 2, cVlad, {{"иван", "Up", nullptr, any, false, Qt::ControlModifier, 6, cVlad}}},
        {"Up on the first record finds nothing", 1, cVlad, {{"иван", "Up", nullptr, any, false, {}, 1, cVlad}}},
        {"a column chosen in Find in is searched", 1, cVlad, {{"лесная", "Down", "Улица", any, false, {}, 9, cStreet}}},
    };
    for (const Case& c : cases) {
        TFindGrid g;
        g.GoTo(c.startRecord, c.startColumn);
        WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
            int n = 0;
            for (const Step& s : c.steps) {
                Ask(d, QString::fromUtf8(s.text), s.direction, s.findIn, s.match, s.matchCase);
                ClickFind(d, s.modifiers);
                EXPECT_EQ(g.Record(), s.record) << c.name << ", step " << n;
                EXPECT_EQ(g.Column(), s.column) << c.name << ", step " << n;
                ++n;
            }
        });
    }
}

TEST(FindDialog, NothingFoundRestoresTheCursorAndTheWindow)
{
    struct Case
    {
        const char* name;
        int record;
        const char* direction;
    };
    const Case cases[] = {
        {"All, cursor in the middle of the window", 30, "All"},
        {"Down on the last record", 40, "Down"},
        {"Up from the window's top row", 22, "Up"},
    };
    for (const Case& c : cases) {
        TFindGrid g;
        g.GoTo(c.record, cVlad);
        const int first = g.Grid->DataLink()->FirstRecord();
        const int active = g.Grid->DataLink()->ActiveRecord();
        const int row = g.Grid->Row();
        WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
            Ask(d, QStringLiteral("нет такого"), c.direction, "<All>");
            ClickFind(d);
        });
        QApplication::processEvents();
        EXPECT_EQ(g.Record(), c.record) << c.name;
        EXPECT_EQ(g.Grid->DataLink()->FirstRecord(), first) << c.name;
        EXPECT_EQ(g.Grid->DataLink()->ActiveRecord(), active) << c.name;
        EXPECT_EQ(g.Grid->Row(), row) << c.name;
        EXPECT_EQ(g.Column(), cVlad) << c.name;
        EXPECT_FALSE(g.Data->NotifySuspended()) << c.name;
    }
}

TEST(FindDialog, EachTextIsListedOnceAlsoAfterReopening)
{
    TFindGrid g;
    // The dialog lives for the whole program: earlier tests' texts are listed before these.
    auto items = [](const TDBGridEhFindDlg& d) {
        QStringList list;
        for (int i = 0; i < d.cbText->count(); ++i)
            list << d.cbText->itemText(i);
        return list;
    };
    QStringList before;
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        before = items(d);
        for (const char* t : {"Ромашка", "Сидоров", "Ромашка"}) {
            Ask(d, QString::fromUtf8(t), "Down");
            ClickFind(d);
        }
    });
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        EXPECT_TRUE(d.cbText->currentText().isEmpty()) << "Ctrl+F opens with an empty text";
        Ask(d, QStringLiteral("Сидоров"), "Down");
        ClickFind(d);
        Ask(d, QStringLiteral("ромашка"), "Down");
        ClickFind(d);
        const QStringList added{QStringLiteral("Ромашка"), QStringLiteral("Сидоров"), QStringLiteral("ромашка")};
        EXPECT_EQ(items(d), before + added);
    });
}

TEST(FindDialog, EnterFindsNextExceptOnTheCloseButton)
{
    TFindGrid g;
    g.GoTo(1, cVlad);
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        Ask(d, QStringLiteral("иван"), "Down");
        d.cbText->setFocus();
        QTest::keyClick(d.cbText->lineEdit(), Qt::Key_Return);
        EXPECT_EQ(g.Record(), 6) << "Enter in the text";
        EXPECT_TRUE(d.isVisible());
        d.cbCharCase->setFocus();
        QTest::keyClick(d.cbCharCase, Qt::Key_Return, Qt::ControlModifier);
        EXPECT_EQ(g.Record(), 1) << "Ctrl+Enter on the check box searches upwards";
        d.bCancel->setFocus();
        QTest::keyClick(d.bCancel, Qt::Key_Return);
        EXPECT_FALSE(d.isVisible()) << "Enter on a focused Close closes";
    });
    EXPECT_EQ(g.Record(), 1);
}

TEST(FindDialog, EscapeClosesAndTheDialogLivesOn)
{
    TFindGrid g;
    TDBGridEhFindDlg* first = nullptr;
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        first = &d;
        QTest::keyClick(d.cbText->lineEdit(), Qt::Key_Escape);
        EXPECT_FALSE(d.isVisible());
    });
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) { EXPECT_EQ(&d, first); });
}

TEST(FindDialog, TheSeriesRestartsWhenTheRequestChanges)
{
    TFindGrid g;
    g.GoTo(5, cVlad);
    WithFindDialog(*g.Grid, [&](TDBGridEhFindDlg& d) {
        Ask(d, QStringLiteral("иван"), "All");
        ClickFind(d);
        EXPECT_FALSE(d.FindFirstTry());
        EXPECT_EQ(g.Record(), 1);
        ClickFind(d);
        EXPECT_EQ(g.Record(), 6);
        d.cbFindDirection->setCurrentIndex(1);
        d.cbFindDirection->setCurrentIndex(2);
        EXPECT_TRUE(d.FindFirstTry()) << "a changed direction starts a new series";
        ClickFind(d);
        EXPECT_EQ(g.Record(), 1) << "so All starts at the first record again";
        d.cbText->setEditText(QStringLiteral("ивано"));
        EXPECT_TRUE(d.FindFirstTry());
        ClickFind(d);
        EXPECT_EQ(g.Record(), 1);
    });
}

TEST(FindDialog, FindNextWithoutAnOpenResultOnlyListsTheText)
{
    TWindowGrid g(0);
    WithFindDialog(*g.Grid, [](TDBGridEhFindDlg& d) {
        const int before = d.cbText->count();
        Ask(d, QStringLiteral("закрыто"), "All");
        ClickFind(d);
        EXPECT_EQ(d.cbText->count(), before + 1);
        EXPECT_EQ(d.cbText->itemText(before), QStringLiteral("закрыто"));
    });
}

TEST(FindDialog, MatchFormatChoosesDisplayTextOrPlainValue)
{
    TWindowGrid g(0);
    g.Data->SetFieldDefs({{QStringLiteral("numer"), ftFloat}, {QStringLiteral("vlad"), ftString, 50}});
    g.Data->AddRow({1234.5, QStringLiteral("a")});
    g.Data->AddRow({99.0, QStringLiteral("b")});
    g.Data->AddRow({1234.5, QStringLiteral("c")});
    g.Open();
    g.Grid->Columns()[cNumer]->SetDisplayFormat(QStringLiteral("0.00"));
    g.Grid->SelectColumn(g.Grid->DataToRawColumn(cNumer), 0);
    TTextSearchOptionsEh options{tsoIgnoreCaseEh, tsoDisplayTextEh};
    EXPECT_TRUE(
        g.Grid->SearchGridText({}, tstAllNodesEh, tsmWholeFieldEh, tsdDownEh, options, QStringLiteral("1234.50")));
    EXPECT_EQ(g.Data->RecordNumber(), 3);
    options.Exclude(tsoDisplayTextEh);
    EXPECT_FALSE(
        g.Grid->SearchGridText({}, tstAllNodesEh, tsmWholeFieldEh, tsdUpEh, options, QStringLiteral("1234.50")));
    EXPECT_TRUE(g.Grid->SearchGridText({}, tstAllNodesEh, tsmWholeFieldEh, tsdUpEh, options, QStringLiteral("1234.5")));
    EXPECT_EQ(g.Data->RecordNumber(), 1);
}

TEST(TextSearch, NoOpenResultOrNoVisibleColumnFindsNothing)
{
    TWindowGrid closed(0);
    const TTextSearchOptionsEh options{tsoIgnoreCaseEh};
    EXPECT_FALSE(DefaultTextSearch(closed.Grid.get(), {}, QString(), options, tsdAllEh, tsmFromBeginEh, tstAllNodesEh));

    // No column shown completely: a grid narrower than its first column.
    TWindowGrid narrow(0);
    FillFindData(*narrow.Data, 10);
    narrow.Grid->SetAutoFitColWidths(false);
    narrow.Grid->resize(60, 193);
    narrow.Open();
    ASSERT_EQ(narrow.Grid->VisibleColCount(), 0);
    EXPECT_FALSE(DefaultTextSearch(narrow.Grid.get(), {}, QString(), options, tsdAllEh, tsmFromBeginEh, tstAllNodesEh));
}

TEST(TextSearch, AFailingRecordSetEndsTheSearchAndResumesNotifications)
{
    // A record set whose reading fails from record 5 on.
    class TFailingSet : public TMemDataSet
    {
    public:
        bool Armed = false;

    protected:
        QVariant StoredValue(int row, int field) const override
        {
            if (Armed && row >= 4)
                throw EDatabaseError(QStringLiteral("read error"));
            return TMemDataSet::StoredValue(row, field);
        }
    };
    TWindowGrid g(0);
    TFailingSet failing;
    FillDirectory(failing, 10);
    g.Source->SetDataSet(&failing);
    failing.Open();
    QApplication::processEvents();
    failing.Armed = true;
    EXPECT_THROW(
        g.Grid->SearchGridText({}, tstAllNodesEh, tsmAnyPartEh, tsdAllEh, {tsoIgnoreCaseEh}, QStringLiteral("x")),
        EDatabaseError);
    EXPECT_FALSE(failing.NotifySuspended());
    EXPECT_EQ(failing.RecordNumber(), 5) << "the cursor stays where the error left it";
    failing.Armed = false;
    g.Source->SetDataSet(g.Data.get());
}

TEST(TextSearch, MatcherRules)
{
    struct Case
    {
        const char* name;
        const char* text;
        TTextSearchMatchEh match;
        bool ignoreCase;
        const char* cell;
        bool expected;
        QLocale locale = QLocale::c();
    };
    const Case cases[] = {
        {"any part, inside", "ром", tsmAnyPartEh, true, "ООО \"Ромашка\"", true},
        {"any part, empty text", "", tsmAnyPartEh, true, "x", false},
        {"any part, empty cell", "x", tsmAnyPartEh, true, "", false},
        {"any part, case kept", "ром", tsmAnyPartEh, false, "Ромашка", false},
        {"whole, equal but for case", "иванов", tsmWholeFieldEh, true, "ИВАНОВ", true},
        {"whole, longer cell", "иванов", tsmWholeFieldEh, true, "Иванова", false},
        {"whole, both empty", "", tsmWholeFieldEh, true, "", true},
        {"begin, prefix", "ул", tsmFromBeginEh, true, "УЛ. МИРА", true},
        {"begin, empty text matches all", "", tsmFromBeginEh, false, "что угодно", true},
        {"begin, cell shorter than the text", "улица", tsmFromBeginEh, true, "ул", false},
        {"ё and Ё", "семён", tsmWholeFieldEh, true, "СЕМЁН", true},
        {"ё is not е", "семен", tsmWholeFieldEh, true, "Семён", false},
        {"sharp s becomes SS", "STRASSE", tsmWholeFieldEh, true, "Straße", true},
        {"Latin-1 letters", "ÉCOLE", tsmWholeFieldEh, true, "école", true},
        {"Turkish locale: i is dotted İ", "i", tsmWholeFieldEh, true, "I", false, QLocale(QLocale::Turkish)},
        {"Turkish locale: ı is I", "ı", tsmWholeFieldEh, true, "I", true, QLocale(QLocale::Turkish)},
        {"other locales: i is I", "i", tsmWholeFieldEh, true, "I", true, QLocale(QLocale::Russian)},
    };
    for (const Case& c : cases) {
        TCellTextMatcherEh m(QString::fromUtf8(c.text), c.match, c.ignoreCase, c.locale);
        EXPECT_EQ(m.Matches(QString::fromUtf8(c.cell)), c.expected) << c.name;
    }
}

namespace {

class TDerivedMemSet : public TMemDataSet
{
};
class TFurtherMemSet : public TDerivedMemSet
{
};

struct TRecordingHandler : TDataSetHandlerEh
{
    explicit TRecordingHandler(const char* name) : Name(name) {}
    const char* Name;
    int Searches = 0;
    bool LocateText(TCustomDBGridEh*, const QString&, const QString&, TTextSearchOptionsEh, TTextSearchDirectionEh,
                    TTextSearchMatchEh, TTextSearchTreeRangeEh) override
    {
        ++Searches;
        return true;
    }
};

} // namespace

TEST(DataService, TheNearestRegisteredClassHandlesTheSearch)
{
    TDataServiceEh& service = TDataServiceEh::Instance();
    auto base = std::make_shared<TRecordingHandler>("TMemDataSet");
    auto derived = std::make_shared<TRecordingHandler>("TDerivedMemSet");
    auto any = std::make_shared<TRecordingHandler>("TDataSet");
    service.Register<TMemDataSet>(base);
    service.Register<TDataSet>(any);
    service.Register<TDerivedMemSet>(derived);

    TFurtherMemSet further;
    TDerivedMemSet middle;
    TMemDataSet plain;
    EXPECT_EQ(service.HandlerFor(&further), derived.get());
    EXPECT_EQ(service.HandlerFor(&middle), derived.get());
    EXPECT_EQ(service.HandlerFor(&plain), base.get());
    service.Unregister<TDerivedMemSet>();
    EXPECT_EQ(service.HandlerFor(&further), base.get());

    TFindGrid g;
    EXPECT_TRUE(
        g.Grid->SearchGridText({}, tstAllNodesEh, tsmAnyPartEh, tsdAllEh, {}, QStringLiteral("nothing like it")));
    EXPECT_EQ(base->Searches, 1);
    service.Unregister<TMemDataSet>();
    service.Unregister<TDataSet>();
    EXPECT_EQ(service.HandlerFor(&plain), nullptr);
    EXPECT_FALSE(
        g.Grid->SearchGridText({}, tstAllNodesEh, tsmAnyPartEh, tsdAllEh, {}, QStringLiteral("nothing like it")));
}
