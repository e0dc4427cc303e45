#include "TDBGridEhExportAsText.h"

#include "GoldenBytes.h"
#include "TMemoryStreamEh.h"

#include <gtest/gtest.h>

namespace {

struct CsvCase
{
    const char* name;
    QString value;
    const char* hex;
};

class CsvQuoting : public ::testing::TestWithParam<CsvCase>
{
};

TEST_P(CsvQuoting, QuotesEveryValueAndDoublesQuotes)
{
    const CsvCase& c = GetParam();
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteCsvQuoted(w, c.value); }), HexBytes(c.hex));
    // A text the engine keeps as UTF-8 is quoted alike.
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteCsvQuotedUtf8(w, c.value.toUtf8()); }), HexBytes(c.hex));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvQuoting,
    ::testing::Values(CsvCase{"Empty", QString(), "22 22"}, CsvCase{"Plain", QStringLiteral("a1"), "22 61 31 22"},
                      CsvCase{"QuoteInside", QStringLiteral("x\"y"), "22 78 22 22 79 22"},
                      CsvCase{"OnlyQuotes", QStringLiteral("\"\""), "22 22 22 22 22 22"},
                      CsvCase{"SeparatorStaysInside", QStringLiteral("a;b"), "22 61 3B 62 22"},
                      CsvCase{"LineBreakStaysInside", QStringLiteral("a\r\nb"), "22 61 0D 0A 62 22"},
                      CsvCase{"TabAndSpacesKept", QStringLiteral(" a\tb "), "22 20 61 09 62 20 22"},
                      CsvCase{"Cyrillic", QStringLiteral("Жук"), "22 C6 F3 EA 22"},
                      CsvCase{"QuotesAmongLongAsciiRuns", QStringLiteral("abcdefgh\"ijklmnop\""),
                              "22 61 62 63 64 65 66 67 68 22 22 69 6A 6B 6C 6D 6E 6F 70 22 22 22"}),
    NamedCase());

TEST(CsvQuoting, ValueLongerThanTheWriterBuffer)
{
    const qsizetype n = TByteWriterEh::kCapacity; // quotes double it past the buffer
    const QString value = QString(n, u'"') + QStringLiteral("Я");
    const QByteArray expected = '"' + QByteArray(2 * n, '"') + '\xDF' + '"';
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteCsvQuoted(w, value); }), expected);
}

} // namespace

#include "ExportGrid.h"

namespace {

QByteArray ExportText(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsText>);
}
QByteArray ExportCsv(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsCSV>);
}

TEST(TextExport, WorkedExample)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    EXPECT_BYTES(ExportText(*g), Golden("example.txt"));
}

TEST(CsvExport, WorkedExample)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    EXPECT_BYTES(ExportCsv(*g), Golden("example.csv"));
}

struct LineCase
{
    const char* name;
    std::vector<std::vector<QVariant>> rows;
    bool titles;
    QByteArray text;
    QByteArray csv;
};

class TextAndCsvLines : public ::testing::TestWithParam<LineCase>
{
};

TEST_P(TextAndCsvLines, SeparateLinesAndValues)
{
    const LineCase& c = GetParam();
    auto g = TwoColumnGrid(c.rows);
    if (!c.titles)
        g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    EXPECT_BYTES(ExportText(*g), c.text);
    EXPECT_BYTES(ExportCsv(*g), c.csv);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextAndCsvLines,
    ::testing::Values(LineCase{"EmptyWithTitles", {}, true, "T1\tT2", "\"T1\";\"T2\""},
                      LineCase{"EmptyWithoutTitles", {}, false, "", ""},
                      LineCase{"WithoutTitlesNoLeadingLineBreak", {{"a", "b"}}, false, "a\tb", "\"a\";\"b\""},
                      LineCase{
                          "NullIsEmpty", {{QVariant(), "x"}}, true, "T1\tT2\r\n\tx", "\"T1\";\"T2\"\r\n\"\";\"x\""},
                      LineCase{"QuoteInside", {{"x\"y", "z"}}, false, "x\"y\tz", "\"x\"\"y\";\"z\""},
                      LineCase{"SeparatorInside", {{"a;b", "\t"}}, false, "a;b\t\t", "\"a;b\";\"\t\""},
                      LineCase{"LineBreakInside", {{"a\r\nb", "c"}}, false, "a\r\nb\tc", "\"a\r\nb\";\"c\""},
                      LineCase{"Cyrillic",
                               {{QStringLiteral("Ёж"), QStringLiteral("№")}},
                               false,
                               "\xA8\xE6\t\xB9",
                               "\"\xA8\xE6\";\"\xB9\""}),
    NamedCase());

TEST(TextExport, SingleColumnHasNoSeparator)
{
    TExportGrid g({{QStringLiteral("a"), ftString, 10}}, {{"x"}, {"y"}});
    g.AddColumn(QStringLiteral("a"), QStringLiteral("T"));
    g.Open();
    EXPECT_BYTES(ExportText(g), "T\r\nx\r\ny");
    EXPECT_BYTES(ExportCsv(g), "\"T\"\r\n\"x\"\r\n\"y\"");
}

TEST(CsvExport, SeparatorIsTakenWhenTheExporterIsMade)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    TDBGridEhExportAsCSV before;
    DefaultCsvSeparator = ',';
    const QByteArray comma = ExportCsv(*g);
    DefaultCsvSeparator = ';';
    EXPECT_BYTES(comma, "\"T1\",\"T2\"\r\n\"a\",\"b\"");
    TMemoryStreamEh stream;
    before.SetSourceGrid(g->Grid.get());
    before.WriteToStream(&stream, true);
    EXPECT_BYTES(stream.Bytes(), "\"T1\";\"T2\"\r\n\"a\";\"b\"");
}

} // namespace
