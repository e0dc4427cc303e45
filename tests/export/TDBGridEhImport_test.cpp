#include "TDBGridEhImport.h"

#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TDBGridEhClipboard.h"
#include "TDBGridEhExportAsVCLDBIF.h"
#include "TMemoryStreamEh.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <cmath>

namespace {

const QString kInvalidText = QStringLiteral("TDBGridEhImportAsText.CheckState: Invalid text format");
const QString kInvalidVclDbif = QStringLiteral("TDBGridEhImportAsVCLDBIF.ReadPrefix: Invalid VCLDBIF format");

// A grid set up for paste over a modifiable in-memory record set: one column per field.
std::unique_ptr<TExportGrid> PasteGrid(std::vector<TFieldDef> fields, std::vector<std::vector<QVariant>> rows)
{
    std::vector<QString> names;
    for (const TFieldDef& f : fields)
        names.push_back(f.Name);
    auto g = std::make_unique<TExportGrid>(std::move(fields), std::move(rows));
    for (const QString& name : names)
        g->AddColumn(name, name.toUpper());
    g->Grid->SetEditActions({geaPasteEh});
    g->Open();
    return g;
}

std::vector<TFieldDef> Strings(std::initializer_list<const char*> names)
{
    std::vector<TFieldDef> defs;
    for (const char* n : names)
        defs.push_back({QString::fromLatin1(n), ftString, 20});
    return defs;
}

// Every record as its fields' texts, "<null>" for no value; leaves the cursor on the first record.
std::vector<QStringList> Records(TDataSet& ds)
{
    ds.CheckBrowseMode();
    std::vector<QStringList> out;
    for (ds.MoveFirst(); !ds.AtEnd(); ds.MoveNext()) {
        QStringList r;
        for (int f = 0; f < ds.FieldCount(); ++f)
            r << (ds.Field(f)->IsBlank() ? QStringLiteral("<null>") : ds.Field(f)->PlainText());
        out.push_back(r);
    }
    ds.MoveFirst();
    return out;
}

std::vector<QStringList> Rows(std::initializer_list<std::initializer_list<const char*>> rows)
{
    std::vector<QStringList> out;
    for (const auto& row : rows) {
        QStringList r;
        for (const char* c : row)
            r << QString::fromUtf8(c);
        out.push_back(r);
    }
    return out;
}

// Imports bytes with the given reader; the failure's message, empty when none.
QString Import(TDBGridEhImportClass reader, TCustomDBGridEh* grid, const QByteArray& bytes)
{
    TMemoryStreamEh stream;
    stream.open(QIODevice::ReadWrite);
    stream.Write(bytes.constData(), bytes.size());
    stream.seek(0);
    try {
        ImportGridFromStream(reader, grid, &stream, false);
    } catch (const Exception& e) {
        return e.Message();
    }
    return {};
}

QByteArray VclDbif(int version, const std::function<void(TByteWriterEh&)>& body)
{
    QByteArray bytes = WrittenBytes(body);
    bytes[7] = char(version);
    return bytes;
}

// Replaces the error box for one test, counting its calls.
class TErrorBoxStub
{
public:
    explicit TErrorBoxStub(TImportErrorAnswerEh answer)
    {
        SetImportErrorBoxEh([this, answer](const QString& message) {
            Messages << message;
            return answer;
        });
    }
    ~TErrorBoxStub() { SetImportErrorBoxEh({}); }
    QStringList Messages;
};

struct TPasteCase
{
    std::string name;
    bool vclDbif;
    QByteArray source;
    int currentColumn;
    std::vector<QStringList> expected;
    QString error;
};

void PrintTo(const TPasteCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasteCases : public ::testing::TestWithParam<TPasteCase>
{
};

TEST_P(PasteCases, WritesTheSourceIntoTheRecords)
{
    const TPasteCase& c = GetParam();
    auto g = PasteGrid(Strings({"a", "b", "c", "d"}), {{"1", "2", "3", "4"}, {"5", "6", "7", "8"}});
    g->Grid->SetCol(g->Grid->DataToRawColumn(c.currentColumn));
    ASSERT_EQ(g->Grid->SelectedIndex(), c.currentColumn);
    TErrorBoxStub box(iaeNo);
    const QString error =
        Import(c.vclDbif ? &ImportClassEh<TDBGridEhImportAsVCLDBIF> : &ImportClassEh<TDBGridEhImportAsText>,
               g->Grid.get(), c.source);
    EXPECT_EQ(error, c.error);
    EXPECT_EQ(Records(g->DataSet), c.expected);
    EXPECT_TRUE(box.Messages.isEmpty());
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

QByteArray Text(const char* s)
{
    return QByteArray(s, qsizetype(std::strlen(s))) + '\0';
}

INSTANTIATE_TEST_SUITE_P(
    Paste, PasteCases,
    ::testing::Values(
        TPasteCase{"ThreeCellsIntoColumnsTwoToFour",
                   false,
                   Text("x\ty\tz\r\np\tq\tr\r\n"),
                   1,
                   Rows({{"1", "x", "y", "z"}, {"5", "p", "q", "r"}}),
                   {}},
        TPasteCase{"RemainingLinesBecomeAppendedRecords",
                   false,
                   Text("a\tb\r\nc\td\r\ne\tf\r\ng"),
                   0,
                   Rows({{"a", "b", "3", "4"},
                         {"c", "d", "7", "8"},
                         {"e", "f", "<null>", "<null>"},
                         {"g", "<null>", "<null>", "<null>"}}),
                   {}},
        TPasteCase{"ExtraCellsDroppedMissingOnesLeaveTheRest",
                   false,
                   Text("x\ty\tz\r\nw\r\n"),
                   2,
                   Rows({{"1", "2", "x", "y"}, {"5", "6", "w", "8"}}),
                   {}},
        TPasteCase{"LeadingTabDoubleTabAndTabBeforeLineEnd",
                   false,
                   Text("\tb\t\td\t\r\n"),
                   0,
                   Rows({{"", "b", "", "d"}, {"5", "6", "7", "8"}}),
                   {}},
        TPasteCase{"LoneLineFeedIsAnOrdinaryCharacter",
                   false,
                   Text("a\nb\tc"),
                   0,
                   Rows({{"a\nb", "c", "3", "4"}, {"5", "6", "7", "8"}}),
                   {}},
        TPasteCase{"LoneCarriageReturnFails", false, Text("a\tb\r"), 0,
                   Rows({{"a", "2", "3", "4"}, {"5", "6", "7", "8"}}), kInvalidText},
        TPasteCase{
            "LastByteIsNeverRead", false, QByteArray("ab"), 0, Rows({{"a", "2", "3", "4"}, {"5", "6", "7", "8"}}), {}},
        TPasteCase{"CyrillicTextIsWindows1251",
                   false,
                   Text("\xC6\xE5\xEB\xF2\xFB\xE9\t\xB8"),
                   2,
                   Rows({{"1", "2", "Желтый", "ё"}, {"5", "6", "7", "8"}}),
                   {}},
        TPasteCase{"VersionByte2ReadLikeVersion1",
                   true,
                   VclDbif(2,
                           [](TByteWriterEh& w) {
                               WriteVclDbifHeader(w, 2);
                               WriteVclDbifColumn(w, true);
                               WriteVclDbifColumn(w, true);
                               WriteVclDbifText(w, u"Ёж");
                               WriteVclDbifInteger(w, 7);
                               WriteVclDbifTag(w, vdtEnd);
                           }),
                   1,
                   Rows({{"1", "Ёж", "7", "4"}, {"5", "6", "7", "8"}}),
                   {}},
        TPasteCase{"Tag1LeavesTheFieldTag2ClearsIt",
                   true,
                   VclDbif(1,
                           [](TByteWriterEh& w) {
                               WriteVclDbifHeader(w, 3);
                               for (int i = 0; i < 3; ++i)
                                   WriteVclDbifColumn(w, true);
                               WriteVclDbifTag(w, vdtNoValue);
                               WriteVclDbifTag(w, vdtNull);
                               WriteVclDbifFloat(w, 2.5);
                               WriteVclDbifTag(w, vdtNull);
                               WriteVclDbifTag(w, vdtNoValue);
                               WriteVclDbifTag(w, vdtNoValue);
                               WriteVclDbifTag(w, vdtEnd);
                           }),
                   0,
                   Rows({{"1", "<null>", "2.5", "4"}, {"<null>", "6", "7", "8"}}),
                   {}},
        TPasteCase{"MoreSourceColumnsThanTargetsAreDropped",
                   true,
                   VclDbif(1,
                           [](TByteWriterEh& w) {
                               WriteVclDbifHeader(w, 3);
                               for (int i = 0; i < 3; ++i)
                                   WriteVclDbifColumn(w, true);
                               WriteVclDbifText(w, u"x");
                               WriteVclDbifText(w, u"y");
                               WriteVclDbifText(w, u"z");
                               WriteVclDbifTag(w, vdtEnd);
                           }),
                   2,
                   Rows({{"1", "2", "x", "y"}, {"5", "6", "7", "8"}}),
                   {}},
        TPasteCase{"ForeignSignatureFails", true, QByteArray("VCLDBIX\x01\x00\x00\x00\x00\x00", 13), 0,
                   Rows({{"1", "2", "3", "4"}, {"5", "6", "7", "8"}}), kInvalidVclDbif},
        TPasteCase{"ShortHeaderFails", true, QByteArray("VCLDBIF\x01\x01", 9), 0,
                   Rows({{"1", "2", "3", "4"}, {"5", "6", "7", "8"}}), kInvalidVclDbif},
        TPasteCase{"TruncatedPayloadFailsAfterEarlierValues", true, WrittenBytes([](TByteWriterEh& w) {
                                                                        WriteVclDbifHeader(w, 2);
                                                                        WriteVclDbifColumn(w, true);
                                                                        WriteVclDbifColumn(w, true);
                                                                        WriteVclDbifText(w, u"x");
                                                                    }) + QByteArray("\x05\x10\x00\x00\x00zz", 7),
                   0, Rows({{"x", "2", "3", "4"}, {"5", "6", "7", "8"}}), kInvalidVclDbif},
        TPasteCase{"MissingEndMarkerFails", true, WrittenBytes([](TByteWriterEh& w) {
                       WriteVclDbifHeader(w, 1);
                       WriteVclDbifColumn(w, true);
                       WriteVclDbifText(w, u"x");
                   }),
                   0, Rows({{"x", "2", "3", "4"}, {"5", "6", "7", "8"}}), kInvalidVclDbif}),
    NamedCase());

// The selection decides which records and columns receive the cells of "x y / p q".
struct TSelectionCase
{
    std::string name;
    std::function<void(TExportGrid&)> select;
    std::vector<QStringList> expected;
    int recordAfter; // current record number afterwards
};

void PrintTo(const TSelectionCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasteSelection : public ::testing::TestWithParam<TSelectionCase>
{
};

TEST_P(PasteSelection, FillsWhatTheSelectionHolds)
{
    const TSelectionCase& c = GetParam();
    auto g = PasteGrid(Strings({"a", "b", "c"}), {{"1", "2", "3"}, {"4", "5", "6"}, {"7", "8", "9"}});
    g->DataSet.MoveFirst();
    g->DataSet.MoveNext();
    c.select(*g);
    EXPECT_EQ(Import(&ImportClassEh<TDBGridEhImportAsText>, g->Grid.get(), Text("x\ty\r\np\tq\r\n")), QString());
    EXPECT_EQ(g->DataSet.RecordNumber(), c.recordAfter);
    EXPECT_EQ(Records(g->DataSet), c.expected);
}

QByteArray BookmarkOf(TDataSet& ds, int number)
{
    ds.SetRecordNumber(number);
    return ds.Bookmark();
}

INSTANTIATE_TEST_SUITE_P(
    Paste, PasteSelection,
    ::testing::Values(
        TSelectionCase{"RectangleOfColumnsTwoAndThree",
                       [](TExportGrid& g) {
                           const QByteArray top = BookmarkOf(g.DataSet, 2), bottom = BookmarkOf(g.DataSet, 3);
                           g.DataSet.SetRecordNumber(2);
                           g.Grid->Selection().Rect().Select(1, top, false);
                           g.Grid->Selection().Rect().Select(2, bottom, true);
                       },
                       Rows({{"1", "2", "3"}, {"4", "x", "y"}, {"7", "p", "q"}}), 2},
        TSelectionCase{"SelectedRecords",
                       [](TExportGrid& g) {
                           g.DataSet.SetRecordNumber(1);
                           g.Grid->Selection().Rows().SetCurrentRowSelected(true);
                           g.DataSet.SetRecordNumber(3);
                           g.Grid->Selection().Rows().SetCurrentRowSelected(true);
                           g.DataSet.SetRecordNumber(2);
                       },
                       Rows({{"x", "y", "3"}, {"4", "5", "6"}, {"p", "q", "9"}}), 2},
        TSelectionCase{"SelectedColumnFromTheFirstRecord",
                       [](TExportGrid& g) { g.Grid->Selection().Columns().Select(g.Grid->Columns().Items(2), false); },
                       Rows({{"1", "2", "x"}, {"4", "5", "p"}, {"7", "8", "9"}}), 2},
        TSelectionCase{"EverythingFromTheFirstRecord",
                       [](TExportGrid& g) { g.Grid->Selection().SetSelectionType(gstAll); },
                       Rows({{"x", "y", "3"}, {"p", "q", "6"}, {"7", "8", "9"}}), 2},
        TSelectionCase{
            "InsertStateInsertsBeforeTheCurrentRecord", [](TExportGrid& g) { g.DataSet.Insert(); },
            Rows({{"1", "2", "3"}, {"x", "y", "<null>"}, {"p", "q", "<null>"}, {"4", "5", "6"}, {"7", "8", "9"}}), 4}),
    NamedCase());

TEST(Paste, NoColumnsInTheStreamEndsInsteadOfAppendingForever)
{
    auto g = PasteGrid(Strings({"a"}), {{"1"}});
    const QByteArray bytes = WrittenBytes([](TByteWriterEh& w) {
        WriteVclDbifHeader(w, 0);
        WriteVclDbifTag(w, vdtNoValue);
        WriteVclDbifTag(w, vdtEnd);
    });
    EXPECT_EQ(Import(&ImportClassEh<TDBGridEhImportAsVCLDBIF>, g->Grid.get(), bytes), QString());
    EXPECT_EQ(Records(g->DataSet), Rows({{"1"}}));
}

// Assignment errors: three integer cells that cannot take the pasted text.
struct TErrorCase
{
    std::string name;
    TImportErrorAnswerEh answer;
    int boxes;
    bool aborted;
    std::vector<QStringList> expected;
};

void PrintTo(const TErrorCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasteErrors : public ::testing::TestWithParam<TErrorCase>
{
};

TEST_P(PasteErrors, BoxAnswersSteerTheImport)
{
    const TErrorCase& c = GetParam();
    auto g = PasteGrid({{QStringLiteral("n1"), ftInteger},
                        {QStringLiteral("n2"), ftInteger},
                        {QStringLiteral("s"), ftString, 10},
                        {QStringLiteral("n3"), ftInteger}},
                       {{1, 2, "a", 3}});
    TErrorBoxStub box(c.answer);
    const QString error = Import(&ImportClassEh<TDBGridEhImportAsText>, g->Grid.get(), Text("x\ty\tok\tz\r\n"));
    EXPECT_EQ(error, c.aborted ? QStringLiteral("Operation aborted") : QString());
    EXPECT_EQ(box.Messages.size(), c.boxes);
    ASSERT_FALSE(box.Messages.isEmpty());
    EXPECT_EQ(box.Messages.first(),
              QStringLiteral("Error during insert value:\n'x' is not a valid integer value\n\nIgnore error?"));
    EXPECT_EQ(Records(g->DataSet), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Paste, PasteErrors,
    ::testing::Values(TErrorCase{"YesAsksForEveryError", iaeYes, 3, false, Rows({{"1", "2", "ok", "3"}})},
                      TErrorCase{"AllSuppressesFurtherBoxes", iaeAll, 1, false, Rows({{"1", "2", "ok", "3"}})},
                      TErrorCase{"NoStopsSilently", iaeNo, 1, true, Rows({{"1", "2", "a", "3"}})}),
    NamedCase());

TEST(Paste, AllIsForgottenByTheNextImport)
{
    auto g = PasteGrid({{QStringLiteral("n"), ftInteger}}, {{1}});
    TErrorBoxStub box(iaeAll);
    Import(&ImportClassEh<TDBGridEhImportAsText>, g->Grid.get(), Text("x\r\n"));
    Import(&ImportClassEh<TDBGridEhImportAsText>, g->Grid.get(), Text("y\r\n"));
    EXPECT_EQ(box.Messages.size(), 2);
}

// Pasted values against the range of the field they go to: a value the field cannot hold is
// refused with the field's conversion error, through the error box, and the field keeps what it
// had; a value at the edge of the range goes in.
struct TRangeCase
{
    std::string name;
    bool vclDbif;
    QByteArray source;
    TFieldType type;
    QString stored; // the field's text afterwards
    QString error;  // the conversion error in the box; empty: no box
};

void PrintTo(const TRangeCase& c, std::ostream* os)
{
    *os << c.name;
}

class PasteRange : public ::testing::TestWithParam<TRangeCase>
{
};

// A "VCLDBIF" stream of one column holding one value.
QByteArray OneValue(const std::function<void(TByteWriterEh&)>& value)
{
    return WrittenBytes([&](TByteWriterEh& w) {
        WriteVclDbifHeader(w, 1);
        WriteVclDbifColumn(w, true);
        value(w);
        WriteVclDbifTag(w, vdtEnd);
    });
}
QByteArray Int32(qint32 n)
{
    return OneValue([n](TByteWriterEh& w) { WriteVclDbifInteger(w, n); });
}
QByteArray Double(double d)
{
    return OneValue([d](TByteWriterEh& w) { WriteVclDbifFloat(w, d); });
}
QByteArray TextValue(const char16_t* t)
{
    return OneValue([t](TByteWriterEh& w) { WriteVclDbifText(w, t); });
}

// What the field holds before the paste, by type.
QVariant Before(TFieldType type)
{
    switch (type) {
    case ftFloat:
    case ftCurrency:
        return 5.5;
    case ftDateTime:
        return QDateTime(QDate(2000, 1, 2), QTime(0, 0));
    case ftBoolean:
        return true;
    case ftString:
        return QStringLiteral("5");
    default:
        return 5;
    }
}

QString IntegerError(const char* shown)
{
    return u'\'' + QString::fromLatin1(shown) + QStringLiteral("' is not a valid integer value");
}
QString FloatError(const char* shown)
{
    return u'\'' + QString::fromLatin1(shown) + QStringLiteral("' is not a valid floating point value");
}
QString DateError(const char* shown)
{
    return u'\'' + QString::fromLatin1(shown) + QStringLiteral("' is not a valid date and time");
}

TEST_P(PasteRange, RefusesWhatTheFieldCannotHold)
{
    const TRangeCase& c = GetParam();
    auto g = PasteGrid({{QStringLiteral("v"), c.type, c.type == ftString ? 20 : 0}}, {{Before(c.type)}});
    const QString before = Records(g->DataSet).at(0).at(0);
    TErrorBoxStub box(iaeYes);
    const QString error =
        Import(c.vclDbif ? &ImportClassEh<TDBGridEhImportAsVCLDBIF> : &ImportClassEh<TDBGridEhImportAsText>,
               g->Grid.get(), c.source);
    EXPECT_EQ(error, QString());
    if (c.error.isEmpty()) {
        EXPECT_EQ(box.Messages, QStringList());
        EXPECT_EQ(Records(g->DataSet), std::vector<QStringList>{QStringList{c.stored}});
    } else {
        EXPECT_EQ(box.Messages, QStringList{QStringLiteral("Error during insert value:\n") + c.error
                                            + QStringLiteral("\n\nIgnore error?")});
        EXPECT_EQ(Records(g->DataSet), std::vector<QStringList>{QStringList{before}});
    }
}

INSTANTIATE_TEST_SUITE_P(
    Paste, PasteRange,
    ::testing::Values(
        // Whole numbers of the internal format.
        TRangeCase{"SmallintTakesItsLargest", true, Int32(32767), ftSmallint, "32767", {}},
        TRangeCase{"SmallintRefuses70000", true, Int32(70000), ftSmallint, {}, IntegerError("70000")},
        TRangeCase{"SmallintRefusesBelowItsRange", true, Int32(-32769), ftSmallint, {}, IntegerError("-32769")},
        TRangeCase{"WordTakesItsLargest", true, Int32(65535), ftWord, "65535", {}},
        TRangeCase{"WordRefusesMinusOne", true, Int32(-1), ftWord, {}, IntegerError("-1")},
        TRangeCase{"IntegerTakesItsSmallest", true, Int32(-2147483647 - 1), ftInteger, "-2147483648", {}},
        TRangeCase{"DateTimeRefusesDaysPastTheYear9999", true, Int32(3000000), ftDateTime, {}, DateError("3000000")},
        TRangeCase{"DateTimeTakesWholeDays", true, Int32(2), ftDateTime, "01.01.1900", {}},
        // Doubles of the internal format.
        TRangeCase{"IntegerRefuses3e9", true, Double(3e9), ftInteger, {}, IntegerError("3000000000")},
        TRangeCase{"IntegerRefusesNaN", true, Double(std::nan("")), ftInteger, {}, IntegerError("nan")},
        TRangeCase{"IntegerRefusesInfinity", true, Double(HUGE_VAL), ftInteger, {}, IntegerError("inf")},
        TRangeCase{"IntegerRoundsAHalfUp", true, Double(2.5), ftInteger, "3", {}},
        TRangeCase{
            "SmallintRefusesWhatRoundsPastItsRange", true, Double(32767.5), ftSmallint, {}, IntegerError("32767.5")},
        TRangeCase{"LargeintTakes3e9", true, Double(3e9), ftLargeint, "3000000000", {}},
        TRangeCase{"LargeintTakesMinusTwoTo63", true, Double(-0x1p63), ftLargeint, "-9223372036854775808", {}},
        TRangeCase{
            "LargeintRefusesTwoTo63", true, Double(0x1p63), ftLargeint, {}, IntegerError("9.22337203685478e+18")},
        TRangeCase{"LargeintRefuses1e300", true, Double(1e300), ftLargeint, {}, IntegerError("1e+300")},
        TRangeCase{"LargeintKeepsAWholeNumberAbove2To52", true, Double(0x1p52 + 1), ftLargeint, "4503599627370497", {}},
        TRangeCase{"FloatRefusesNaN", true, Double(std::nan("")), ftFloat, {}, FloatError("nan")},
        TRangeCase{"FloatRefusesMinusInfinity", true, Double(-HUGE_VAL), ftFloat, {}, FloatError("-inf")},
        TRangeCase{
            "FloatTakesTheLargestDouble", true, Double(1.7976931348623157e308), ftFloat, "1.79769313486232e+308", {}},
        TRangeCase{"CurrencyRefuses1e15", true, Double(1e15), ftCurrency, {}, FloatError("1e+15")},
        TRangeCase{"DateTimeRefusesNaN", true, Double(std::nan("")), ftDateTime, {}, DateError("nan")},
        TRangeCase{"DateTimeRefuses1e300", true, Double(1e300), ftDateTime, {}, DateError("1e+300")},
        TRangeCase{"DateTimeRefusesTheDayBeforeTheYear1", true, Double(-693594), ftDateTime, {}, DateError("-693594")},
        TRangeCase{"DateTimeTakesTheLastDay", true, Double(2958465.5), ftDateTime, "31.12.9999 12:00:00", {}},
        TRangeCase{"BooleanRefusesNaN",
                   true,
                   Double(std::nan("")),
                   ftBoolean,
                   {},
                   QStringLiteral("'nan' is not a valid boolean value")},
        TRangeCase{"TextFieldTakesNaNAsText", true, Double(std::nan("")), ftString, "nan", {}},
        // Texts of the internal format go through the same check as pasted text.
        TRangeCase{
            "TextValueRefused70000InASmallint", true, TextValue(u"70000"), ftSmallint, {}, IntegerError("70000")},
        TRangeCase{"TextValueRefusedInfInAFloat", true, TextValue(u"inf"), ftFloat, {}, FloatError("inf")},
        // Pasted text.
        TRangeCase{
            "Text3000000000RefusedInAnInteger", false, Text("3000000000"), ftInteger, {}, IntegerError("3000000000")},
        TRangeCase{"Text70000RefusedInASmallint", false, Text("70000"), ftSmallint, {}, IntegerError("70000")},
        TRangeCase{"TextMinusOneRefusedInAWord", false, Text("-1"), ftWord, {}, IntegerError("-1")},
        TRangeCase{"TextBlanksAroundTheLargestWord", false, Text(" 65535 "), ftWord, "65535", {}},
        TRangeCase{"TextLargestLargeint", false, Text("9223372036854775807"), ftLargeint, "9223372036854775807", {}},
        TRangeCase{"TextNaNRefusedInAFloat", false, Text("nan"), ftFloat, {}, FloatError("nan")},
        TRangeCase{"TextMinusInfRefusedInAFloat", false, Text("-inf"), ftFloat, {}, FloatError("-inf")},
        TRangeCase{"TextBeyondDoublesRefusedInAFloat", false, Text("1e999"), ftFloat, {}, FloatError("1e999")},
        TRangeCase{"Text1e15RefusedInACurrency", false, Text("1e15"), ftCurrency, {}, FloatError("1e15")},
        TRangeCase{"TextFloatTakesANumber", false, Text("2.25"), ftFloat, "2.25", {}}),
    NamedCase());

// Copy of a small Cyrillic grid, pasted back into an empty modifiable grid.
class PasteRoundTrip : public ::testing::Test
{
protected:
    std::unique_ptr<TExportGrid> Source = PasteGrid(
        {{QStringLiteral("fio"), ftString, 30}, {QStringLiteral("num"), ftInteger}, {QStringLiteral("sum"), ftFloat}},
        {{QStringLiteral("Иванов Пётр"), 5, 1.25}, {QStringLiteral("Щукин ё"), QVariant(), -3.5}});
    std::unique_ptr<TExportGrid> Target = PasteGrid(
        {{QStringLiteral("fio"), ftString, 30}, {QStringLiteral("num"), ftInteger}, {QStringLiteral("sum"), ftFloat}},
        {});
};

TEST_F(PasteRoundTrip, VclDbifRestoresTypedValues)
{
    std::unique_ptr<QMimeData> data(GridClipboardDataEh(Source->Grid.get(), true));
    ASSERT_TRUE(CanPasteGridData(Target->Grid.get(), data.get()));
    PasteGridMimeData(Target->Grid.get(), data.get(), false);
    EXPECT_EQ(Records(Target->DataSet), Records(Source->DataSet));
    Target->DataSet.MoveFirst();
    Target->DataSet.MoveNext();
    EXPECT_TRUE(Target->DataSet.Field(1)->IsBlank());
    EXPECT_EQ(Target->DataSet.Field(2)->AsFloat(), -3.5);
}

TEST_F(PasteRoundTrip, TextRestoresValuesBelowTheTitleLine)
{
    std::unique_ptr<QMimeData> copied(GridClipboardDataEh(Source->Grid.get(), true));
    QMimeData textOnly;
    textOnly.setText(copied->text());
    auto target = PasteGrid(Strings({"fio", "num", "sum"}), {});
    PasteGridMimeData(target->Grid.get(), &textOnly, false);
    std::vector<QStringList> expected = Rows({{"FIO", "NUM", "SUM"}});
    for (const QStringList& r : Records(Source->DataSet))
        expected.push_back(QStringList(r).replaceInStrings(QStringLiteral("<null>"), QString()));
    std::vector<QStringList> got = Records(target->DataSet);
    for (QStringList& r : got)
        r.replaceInStrings(QStringLiteral("<null>"), QString());
    EXPECT_EQ(got, expected);
}

TEST_F(PasteRoundTrip, ThroughTheSystemClipboard)
{
    CopyGridData(Source->Grid.get(), true);
    PasteGridData(Target->Grid.get(), false);
    EXPECT_EQ(Records(Target->DataSet), Records(Source->DataSet));
}

TEST(Paste, CanPasteNeedsEditActionAndAModifiableRecordSet)
{
    auto g = PasteGrid(Strings({"a"}), {{"1"}});
    QMimeData text;
    text.setText(QStringLiteral("x"));
    EXPECT_TRUE(CanPasteGridData(g->Grid.get(), &text));
    EXPECT_FALSE(CanPasteGridData(g->Grid.get(), nullptr));
    g->Grid->SetAllowedOperations({alopInsertEh, alopAppendEh});
    EXPECT_FALSE(CanPasteGridData(g->Grid.get(), &text));
    g->Grid->SetAllowedOperations({alopUpdateEh});
    g->Grid->SetEditActions({geaCopyEh});
    EXPECT_FALSE(CanPasteGridData(g->Grid.get(), &text));
    g->Grid->SetEditActions({geaPasteEh});
    g->DataSet.SetReadOnly(true);
    EXPECT_FALSE(CanPasteGridData(g->Grid.get(), &text));
}

// The grid's edit-action keys go to the clipboard code, and only for the actions the grid lists.
TEST(EditActionKeys, PasteCopyCutAndSelectAll)
{
    RegisterClipboardFormatsEh();
    QClipboard* clipboard = QGuiApplication::clipboard();
    auto source = PasteGrid(Strings({"a", "b"}), {{"x1", "y1"}, {"x2", "y2"}});

    // Ctrl+C without a selection leaves the clipboard alone; Ctrl+A selects all when allowed.
    source->Grid->SetEditActions({geaCopyEh});
    clipboard->setText(QStringLiteral("before"));
    QTest::keyClick(source->Grid.get(), Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(clipboard->text(), QStringLiteral("before"));
    QTest::keyClick(source->Grid.get(), Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(source->Grid->Selection().SelectionType(), gstNon) << "select all is not listed";
    source->Grid->SetEditActions({geaCopyEh, geaSelectAllEh});
    QTest::keyClick(source->Grid.get(), Qt::Key_A, Qt::ControlModifier);
    ASSERT_EQ(source->Grid->Selection().SelectionType(), gstAll);
    QTest::keyClick(source->Grid.get(), Qt::Key_Insert, Qt::ControlModifier);
    EXPECT_TRUE(clipboard->text().contains(QStringLiteral("x2\ty2"))) << qPrintable(clipboard->text());

    struct Case
    {
        const char* name;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        TDBGridEhEditActions actions;
        int records;
    };
    for (const Case& c :
         {Case{"Shift+Insert pastes", Qt::Key_Insert, Qt::ShiftModifier, {geaPasteEh}, 2},
          Case{"Ctrl+V pastes", Qt::Key_V, Qt::ControlModifier, {geaPasteEh}, 2},
          Case{
              "Ctrl+V without the paste action does nothing", Qt::Key_V, Qt::ControlModifier, {geaCopyEh, geaCutEh}, 0},
          Case{"Ctrl+Shift+V is no paste key", Qt::Key_V, Qt::ControlModifier | Qt::ShiftModifier, {geaPasteEh}, 0}}) {
        SCOPED_TRACE(c.name);
        auto target = PasteGrid(Strings({"a", "b"}), {});
        target->Grid->SetEditActions(c.actions);
        QTest::keyClick(target->Grid.get(), c.key, c.modifiers);
        EXPECT_EQ(target->DataSet.RecordCount(), c.records);
    }

    // Cut copies; it deletes only what may be deleted.
    source->Grid->SetEditActions({geaCutEh});
    clipboard->clear();
    source->DataSet.SetReadOnly(true);
    QTest::keyClick(source->Grid.get(), Qt::Key_Delete, Qt::ShiftModifier);
    EXPECT_TRUE(clipboard->text().contains(QStringLiteral("x1\ty1")));
    EXPECT_EQ(source->DataSet.RecordCount(), 2);
}

} // namespace

// A file that cannot be read is named in the failure together with the system's reason, before
// anything is read into the grid.
TEST(ImportFile, MissingFileIsNamedWithTheReason)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("none.txt"));
    const auto importer = ImportClassEh<TDBGridEhImportAsText>();
    try {
        importer->ImportFile(path, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  QStringLiteral("Не удалось открыть файл «%1»: No such file or directory").arg(path).toStdString());
    }
}
