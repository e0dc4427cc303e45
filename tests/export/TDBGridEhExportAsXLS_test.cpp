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
        RecordCase{"Rk", [](TByteWriterEh& w) { WriteXlsRk(w, 1, 1, 5); },
                   "7E 02 0A 00 01 00 01 00 00 00 16 00 00 00"},
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
        RecordCase{"Blank", [](TByteWriterEh& w) { WriteXlsBlank(w, 2, 1); },
                   "01 02 06 00 02 00 01 00 17 00"},
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
    EXPECT_EQ(WrittenBytes([&](TByteWriterEh& w) { WriteXlsLabel(w, 0, 0, fits); }).size(),
              12 + kXlsMaxLabelBytes);
}

}  // namespace
