#include "TDBGridEhExportAsText.h"

#include "GoldenBytes.h"

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
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteCsvQuoted(w, c.value); }),
                 HexBytes(c.hex));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, CsvQuoting,
    ::testing::Values(
        CsvCase{"Empty", QString(), "22 22"},
        CsvCase{"Plain", QStringLiteral("a1"), "22 61 31 22"},
        CsvCase{"QuoteInside", QStringLiteral("x\"y"), "22 78 22 22 79 22"},
        CsvCase{"OnlyQuotes", QStringLiteral("\"\""), "22 22 22 22 22 22"},
        CsvCase{"SeparatorStaysInside", QStringLiteral("a;b"), "22 61 3B 62 22"},
        CsvCase{"LineBreakStaysInside", QStringLiteral("a\r\nb"), "22 61 0D 0A 62 22"},
        CsvCase{"TabAndSpacesKept", QStringLiteral(" a\tb "), "22 20 61 09 62 20 22"},
        CsvCase{"Cyrillic", QStringLiteral("Жук"), "22 C6 F3 EA 22"}),
    NamedCase());

TEST(CsvQuoting, ValueLongerThanTheWriterBuffer)
{
    const qsizetype n = TByteWriterEh::kCapacity;  // quotes double it past the buffer
    const QString value = QString(n, u'"') + QStringLiteral("Я");
    const QByteArray expected = '"' + QByteArray(2 * n, '"') + '\xDF' + '"';
    EXPECT_BYTES(WrittenBytes([&](TByteWriterEh& w) { WriteCsvQuoted(w, value); }), expected);
}

}  // namespace
