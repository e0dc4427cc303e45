#include "TDBGridEhExportAsXLS.h"

#include "GoldenBytes.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

struct RecordCase
{
    const char* name;
    std::function<void(TByteWriterEh&)> write;
    const char* hex;
};

class XlsRecord : public ::testing::TestWithParam<RecordCase>
{
};

TEST_P(XlsRecord, HasItsExactBytes)
{
    EXPECT_BYTES(WrittenBytes(GetParam().write), HexBytes(GetParam().hex));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsRecord,
    ::testing::Values(
        RecordCase{"Bof", [](TByteWriterEh& w) { WriteXlsBof(w); }, "09 08 08 00 00 00 10 00 00 00 00 00"},
        RecordCase{"Codepage", [](TByteWriterEh& w) { WriteXlsCodepage(w); }, "42 00 02 00 E3 04"},
        RecordCase{"Label", [](TByteWriterEh& w) { WriteXlsLabel(w, 0, 1, u"T2"); },
                   "04 02 0A 00 00 00 01 00 00 00 02 00 54 32"},
        RecordCase{"LabelCyrillic", [](TByteWriterEh& w) { WriteXlsLabel(w, 0x0102, 3, u"Жук"); },
                   "04 02 0B 00 02 01 03 00 00 00 03 00 C6 F3 EA"},
        RecordCase{"LabelEmptyIsTwelveBytes", [](TByteWriterEh& w) { WriteXlsLabel(w, 0, 0, u""); },
                   "04 02 08 00 00 00 00 00 00 00 00 00"},
        RecordCase{"Rk", [](TByteWriterEh& w) { WriteXlsRk(w, 1, 1, 5); }, "7E 02 0A 00 01 00 01 00 00 00 16 00 00 00"},
        RecordCase{"RkMinusOne", [](TByteWriterEh& w) { WriteXlsRk(w, 0, 0, -1); },
                   "7E 02 0A 00 00 00 00 00 00 00 FE FF FF FF"},
        RecordCase{"RkLargest", [](TByteWriterEh& w) { WriteXlsRk(w, 0, 0, 536870911); },
                   "7E 02 0A 00 00 00 00 00 00 00 FE FF FF 7F"},
        RecordCase{"RkSmallest", [](TByteWriterEh& w) { WriteXlsRk(w, 0, 0, -536870912); },
                   "7E 02 0A 00 00 00 00 00 00 00 02 00 00 80"},
        RecordCase{"Number", [](TByteWriterEh& w) { WriteXlsNumber(w, 2, 0, 1.5); },
                   "03 02 0E 00 02 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
        RecordCase{"NumberHighRowAndColumn", [](TByteWriterEh& w) { WriteXlsNumber(w, 65535, 255, -2.0); },
                   "03 02 0E 00 FF FF FF 00 00 00 00 00 00 00 00 00 00 C0"},
        RecordCase{"Blank", [](TByteWriterEh& w) { WriteXlsBlank(w, 2, 1); }, "01 02 06 00 02 00 01 00 17 00"},
        RecordCase{"Eof", [](TByteWriterEh& w) { WriteXlsEof(w); }, "0A 00 00 00"}),
    NamedCase());

TEST(XlsRecord, RkRangeIsThirtyBits)
{
    EXPECT_TRUE(FitsXlsRk(536870911));
    EXPECT_FALSE(FitsXlsRk(536870912));
    EXPECT_TRUE(FitsXlsRk(-536870912));
    EXPECT_FALSE(FitsXlsRk(-536870913));
}

TEST(XlsRecord, LabelTooLongForARecordIsCutToWhatFits)
{
    const QString text(70000, u'Ы');
    const QByteArray bytes = WrittenBytes([&](TByteWriterEh& w) { WriteXlsLabel(w, 0, 0, text); });
    ASSERT_EQ(bytes.size(), 12 + kXlsMaxLabelBytes);
    EXPECT_BYTES(bytes.left(12), HexBytes("04 02 FF FF 00 00 00 00 00 00 F7 FF"));
    EXPECT_EQ(bytes.mid(12), QByteArray(kXlsMaxLabelBytes, '\xDB'));
    // One byte less than the limit is written whole.
    const QString fits(kXlsMaxLabelBytes, u'a');
    EXPECT_EQ(WrittenBytes([&](TByteWriterEh& w) { WriteXlsLabel(w, 0, 0, fits); }).size(), 12 + kXlsMaxLabelBytes);
}

} // namespace

#include "Exception.h"
#include "ExportGrid.h"
#include "TMemoryStreamEh.h"

namespace {

QByteArray ExportXls(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsXLS>);
}

const QByteArray kBof = HexBytes("09 08 08 00 00 00 10 00 00 00 00 00 42 00 02 00 E3 04");
const QByteArray kEof = HexBytes("0A 00 00 00");

TEST(XlsExport, WorkedExample)
{
    // The example mixes a text and a float in its first column: the grid's handler binds that
    // column to the float field for the second record.
    TExportGrid g(
        {{QStringLiteral("t"), ftString, 10}, {QStringLiteral("i"), ftInteger}, {QStringLiteral("f"), ftFloat}},
        {{"a1", 5, 0.0}, {"", QVariant(), 1.5}});
    g.AddColumn(QStringLiteral("t"), QStringLiteral("T1"));
    g.AddColumn(QStringLiteral("i"), QStringLiteral("T2"));
    g.Open();
    g.Grid->OnGetCellParams = [&](TCustomDBGridEh*, TColumnEh* column, TFontEh&, TColor&, TGridDrawState) {
        if (column->Index() == 0 && g.DataSet.RecordNumber() == 2)
            column->SetFieldName(QStringLiteral("f"));
    };
    EXPECT_BYTES(ExportXls(g), Golden("example.xls"));
}

struct ChoiceCase
{
    const char* name;
    TFieldType type;
    QVariant value;
    const char* record; // the data cell's record, at row 1 column 0
};

class XlsRecordChoice : public ::testing::TestWithParam<ChoiceCase>
{
};

TEST_P(XlsRecordChoice, FollowsTheFieldType)
{
    const ChoiceCase& c = GetParam();
    TExportGrid g({{QStringLiteral("v"), c.type, 20}}, {{c.value}});
    g.AddColumn(QStringLiteral("v"), QStringLiteral("T"));
    g.Open();
    EXPECT_BYTES(ExportXls(g), kBof + HexBytes("04 02 09 00 00 00 00 00 00 00 01 00 54") + HexBytes(c.record) + kEof);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsRecordChoice,
    ::testing::Values(
        ChoiceCase{"IntegerIsRk", ftInteger, 5, "7E 02 0A 00 01 00 00 00 00 00 16 00 00 00"},
        ChoiceCase{"SmallintIsRk", ftSmallint, -3, "7E 02 0A 00 01 00 00 00 00 00 F6 FF FF FF"},
        ChoiceCase{"WordIsRk", ftWord, 65535, "7E 02 0A 00 01 00 00 00 00 00 FE FF 03 00"},
        ChoiceCase{"AutoIncIsRk", ftAutoInc, 1, "7E 02 0A 00 01 00 00 00 00 00 06 00 00 00"},
        ChoiceCase{"NegativeRk", ftInteger, -1, "7E 02 0A 00 01 00 00 00 00 00 FE FF FF FF"},
        ChoiceCase{"IntegerBeyondRkIsExactNumber", ftInteger, 536870912,
                   "03 02 0E 00 01 00 00 00 00 00 00 00 00 00 00 00 C0 41"},
        ChoiceCase{"NegativeBeyondRkIsExactNumber", ftInteger, -536870913,
                   "03 02 0E 00 01 00 00 00 00 00 00 00 80 00 00 00 C0 C1"},
        ChoiceCase{"FloatIsNumber", ftFloat, 1.5, "03 02 0E 00 01 00 00 00 00 00 00 00 00 00 00 00 F8 3F"},
        ChoiceCase{"CurrencyIsNumber", ftCurrency, 2.0, "03 02 0E 00 01 00 00 00 00 00 00 00 00 00 00 00 00 40"},
        ChoiceCase{"BcdIsNumber", ftBCD, -2.0, "03 02 0E 00 01 00 00 00 00 00 00 00 00 00 00 00 00 C0"},
        ChoiceCase{"TextIsLabel", ftString, "Жук", "04 02 0B 00 01 00 00 00 00 00 03 00 C6 F3 EA"},
        ChoiceCase{"EmptyTextIsTwelveByteLabel", ftString, "", "04 02 08 00 01 00 00 00 00 00 00 00"},
        ChoiceCase{"LargeintIsLabel", ftLargeint, qint64(1) << 40,
                   "04 02 15 00 01 00 00 00 00 00 0D 00 31 30 39 39 35 31 31 36 32 37 37 37 36"},
        ChoiceCase{"BooleanIsLabel", ftBoolean, true, "04 02 0C 00 01 00 00 00 00 00 04 00 54 72 75 65"},
        ChoiceCase{"BytesIsLabelOfItsText", ftBytes, QByteArray("ab"), "04 02 0A 00 01 00 00 00 00 00 02 00 61 62"},
        ChoiceCase{"NullIntegerIsBlank", ftInteger, QVariant(), "01 02 06 00 01 00 00 00 17 00"},
        ChoiceCase{"NullFloatIsBlank", ftFloat, QVariant(), "01 02 06 00 01 00 00 00 17 00"},
        ChoiceCase{"NullTextIsBlank", ftString, QVariant(), "01 02 06 00 01 00 00 00 17 00"}),
    NamedCase());

TEST(XlsExport, ColumnWithoutFieldIsBlankAndKeyPickListIsLabel)
{
    TExportGrid g({{QStringLiteral("k"), ftInteger}}, {{1}, {QVariant()}});
    g.AddColumn(QStringLiteral("missing"), QStringLiteral("A"));
    TColumnEh* yesNo = g.AddColumn(QStringLiteral("k"), QStringLiteral("B"));
    yesNo->SetKeyList({QStringLiteral("1"), QStringLiteral("0")});
    yesNo->SetPickList({QStringLiteral("Yes"), QStringLiteral("No")});
    g.Open();
    g.Grid->SetOptions(g.Grid->Options() - dgTitles);
    EXPECT_BYTES(ExportXls(g), kBof
                                   + HexBytes("01 02 06 00 00 00 00 00 17 00"
                                              " 04 02 0B 00 00 00 01 00 00 00 03 00 59 65 73"
                                              " 01 02 06 00 01 00 00 00 17 00"
                                              " 04 02 08 00 01 00 01 00 00 00 00 00")
                                   + kEof);
}

TEST(XlsExport, NumbersComeFromTheValueNotTheText)
{
    TExportGrid g({{QStringLiteral("n"), ftInteger}}, {{7}});
    g.AddColumn(QStringLiteral("n"), QStringLiteral("N"))->OnGetCellParams = [](TColumnEh*, bool, TColCellParamsEh& p) {
        p.Text = QStringLiteral("seven");
    };
    g.Open();
    EXPECT_TRUE(ExportXls(g).contains(HexBytes("7E 02 0A 00 01 00 00 00 00 00 1E 00 00 00")));
}

TEST(XlsExport, CellPositionsRestartForEveryExport)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    TDBGridEhExportAsXLS exporter;
    exporter.SetSourceGrid(g->Grid.get());
    TMemoryStreamEh first, second;
    exporter.WriteToStream(&first, true);
    exporter.WriteToStream(&second, true);
    EXPECT_BYTES(second.Bytes(), first.Bytes());
    EXPECT_BYTES(first.Bytes(), ExportXls(*g));
}

TEST(XlsExport, MoreRowsThanASheetHoldsFailsBeforeAnyByte)
{
    std::vector<std::vector<QVariant>> rows(65535, std::vector<QVariant>{1});
    TExportGrid g({{QStringLiteral("n"), ftInteger}}, rows);
    g.AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    g.Open();
    // Title and 65 535 records: 65 536 rows, the most a sheet holds.
    const QByteArray full = ExportXls(g);
    EXPECT_EQ(full.size(), kBof.size() + 13 + 65535 * 14 + 4);
    EXPECT_BYTES(full.right(18), HexBytes("7E 02 0A 00 FF FF 00 00 00 00 06 00 00 00 0A 00 00 00"));

    g.DataSet.Append();
    g.DataSet.Field(0)->SetValue(2);
    g.DataSet.Post();
    TMemoryStreamEh stream;
    try {
        ExportGridToStream(ExportClassEh<TDBGridEhExportAsXLS>, g.Grid.get(), &stream, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Лист Excel не записан: на листе помещается не больше 65536 "
                                              "строк, а в выгрузке их 65537."));
    }
    EXPECT_EQ(stream.size(), 0);
    EXPECT_FALSE(g.DataSet.NotifySuspended());
}

TEST(XlsExport, FooterTotalsAreNumbers)
{
    TExportGrid g({{QStringLiteral("n"), ftInteger}, {QStringLiteral("s"), ftString, 5}},
                  {{2, "a"}, {QVariant(), "b"}, {5, QVariant()}});
    TColumnEh* n = g.AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    TColumnEh* s = g.AddColumn(QStringLiteral("s"), QStringLiteral("S"));
    n->Footers()->Add()->SetValueType(fvtSum);
    TColumnFooterEh* missing = n->Footers()->Add();
    missing->SetFieldName(QStringLiteral("nothing"));
    missing->SetValueType(fvtSum);
    // Row 1 of the text column falls back to its Footer.
    s->Footers()->Add()->SetValueType(fvtCount);
    s->Footer()->SetValueType(fvtCount);
    g.Grid->SetFooterRowCount(2);
    g.Open();
    g.Grid->SetOptions(g.Grid->Options() - dgTitles);
    const QByteArray bytes = ExportXls(g);
    // Row 3: sum 7 and count 3; row 4: the sum over a missing field stays 0, count 3 again.
    EXPECT_BYTES(bytes.right(4 * 18 + 4), HexBytes("03 02 0E 00 03 00 00 00 00 00 00 00 00 00 00 00 1C 40"
                                                   " 03 02 0E 00 03 00 01 00 00 00 00 00 00 00 00 00 08 40"
                                                   " 03 02 0E 00 04 00 00 00 00 00 00 00 00 00 00 00 00 00"
                                                   " 03 02 0E 00 04 00 01 00 00 00 00 00 00 00 00 00 08 40")
                                              + kEof);
}

} // namespace
