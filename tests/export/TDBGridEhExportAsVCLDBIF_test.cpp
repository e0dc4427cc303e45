#include "TDBGridEhExportAsVCLDBIF.h"

#include "GoldenBytes.h"

#include <gtest/gtest.h>

namespace {

TEST(VclDbifStream, HeaderDescriptorsAndValues)
{
    const QByteArray bytes = WrittenBytes([](TByteWriterEh& w) {
        WriteVclDbifHeader(w, 3);
        WriteVclDbifColumn(w, true);
        WriteVclDbifColumn(w, false);
        WriteVclDbifColumn(w, true);
        WriteVclDbifInteger(w, -2);
        WriteVclDbifTag(w, vdtNull);
        WriteVclDbifTag(w, vdtNoValue);
        WriteVclDbifFloat(w, 1.5);
        WriteVclDbifText(w, u"Жa");
        WriteVclDbifBytes(w, QByteArray("\0\xFF", 2));
        WriteVclDbifTag(w, vdtEnd);
    });
    EXPECT_BYTES(bytes, QByteArray("VCLDBIF") + HexBytes("01 03 00 00 00"
                                                        " 01 00 00 00 01 00"
                                                        " 03 FE FF FF FF"
                                                        " 02"
                                                        " 01"
                                                        " 04 00 00 00 00 00 00 F8 3F"
                                                        " 05 02 00 00 00 C6 61"
                                                        " 06 02 00 00 00 00 FF"
                                                        " 00"));
}

TEST(VclDbifStream, TagOfEachFieldType)
{
    const struct
    {
        TVclDbifTagEh tag;
        std::vector<TFieldType> types;
    } table[] = {
        {vdtText, {ftString, ftBoolean, ftMemo, ftFixedChar, ftLargeint, ftOraClob, ftGuid}},
        {vdtInteger, {ftSmallint, ftInteger, ftWord, ftAutoInc}},
        {vdtFloat, {ftFloat, ftCurrency, ftBCD, ftDate, ftTime, ftDateTime, ftTimeStamp, ftFMTBcd}},
        {vdtBytes, {ftBytes, ftVarBytes, ftBlob, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle,
                    ftTypedBinary, ftWideString, ftOraBlob}},
        {vdtNoValue, {ftUnknown, ftCursor, ftADT, ftArray, ftReference, ftDataSet, ftVariant,
                      ftInterface, ftIDispatch}},
    };
    int covered = 0;
    for (const auto& row : table)
        for (const TFieldType t : row.types) {
            EXPECT_EQ(VclDbifTagOf(t), row.tag) << FieldTypeName(t).toStdString();
            ++covered;
        }
    EXPECT_EQ(covered, ftFMTBcd + 1) << "every field type has its row";
}

}  // namespace
