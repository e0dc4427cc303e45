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
    EXPECT_BYTES(bytes, QByteArray("VCLDBIF")
                            + HexBytes("01 03 00 00 00"
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
        {vdtBytes,
         {ftBytes, ftVarBytes, ftBlob, ftGraphic, ftFmtMemo, ftParadoxOle, ftDBaseOle, ftTypedBinary, ftWideString,
          ftOraBlob}},
        {vdtNoValue,
         {ftUnknown, ftCursor, ftADT, ftArray, ftReference, ftDataSet, ftVariant, ftInterface, ftIDispatch}},
    };
    int covered = 0;
    for (const auto& row : table)
        for (const TFieldType t : row.types) {
            EXPECT_EQ(VclDbifTagOf(t), row.tag) << FieldTypeName(t).toStdString();
            ++covered;
        }
    EXPECT_EQ(covered, ftFMTBcd + 1) << "every field type has its row";
}

} // namespace

#include "ExportGrid.h"

#include <QDateTime>

namespace {

QByteArray ExportVclDbif(TExportGrid& g)
{
    return g.Export(ExportClassEh<TDBGridEhExportAsVCLDBIF>);
}

TEST(VclDbifExport, WorkedExample)
{
    TExportGrid g(
        {{QStringLiteral("i"), ftInteger}, {QStringLiteral("n"), ftString, 5}, {QStringLiteral("t"), ftString, 5}},
        {{5, QVariant(), "ab"}});
    g.AddColumn(QStringLiteral("i"), QStringLiteral("I"));
    g.AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    g.AddColumn(QStringLiteral("t"), QStringLiteral("T"));
    g.Open();
    EXPECT_BYTES(ExportVclDbif(g), Golden("example.vcldbif"));
}

TEST(VclDbifExport, EmptyResultIsHeaderDescriptorsAndEnd)
{
    auto g = TwoColumnGrid({});
    EXPECT_BYTES(ExportVclDbif(*g), QByteArray("VCLDBIF") + HexBytes("01 02 00 00 00 01 00 01 00 00"));
}

TEST(VclDbifExport, TypedValues)
{
    TExportGrid g(
        {{QStringLiteral("d"), ftDate},
         {QStringLiteral("w"), ftWideString, 5},
         {QStringLiteral("b"), ftBoolean},
         {QStringLiteral("l"), ftLargeint}},
        {{QDateTime(QDate(1899, 12, 31), QTime(0, 0), Qt::UTC), QStringLiteral("Ж"), false, qint64(1) << 33}});
    g.AddColumn(QStringLiteral("missing"), QStringLiteral("X"));
    g.AddColumn(QStringLiteral("d"), QStringLiteral("D"));
    g.AddColumn(QStringLiteral("w"), QStringLiteral("W"));
    g.AddColumn(QStringLiteral("b"), QStringLiteral("B"));
    g.AddColumn(QStringLiteral("l"), QStringLiteral("L"));
    g.Open();
    const QByteArray bytes = ExportVclDbif(g);
    EXPECT_BYTES(bytes.mid(22), HexBytes("01"                             // no field
                                         " 04 00 00 00 00 00 00 F0 3F"    // day 1
                                         " 06 01 00 00 00 C6"             // wide text as bytes
                                         " 05 05 00 00 00 46 61 6C 73 65" // False
                                         " 05 0A 00 00 00 38 35 38 39 39 33 34 35 39 32"
                                         " 00"));
}

TEST(VclDbifExport, SelectedHiddenColumnIsDescribedAsHidden)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    TColumnEh* hidden = g->Grid->Columns()[0];
    hidden->SetVisible(false);
    g->Grid->Selection().Columns().Select(hidden, false);
    g->Grid->Selection().Columns().Select(g->Grid->Columns()[1], true);
    EXPECT_BYTES(g->Export(ExportClassEh<TDBGridEhExportAsVCLDBIF>, false),
                 QByteArray("VCLDBIF")
                     + HexBytes("01 02 00 00 00 00 00 01 00"
                                " 05 01 00 00 00 61 05 01 00 00 00 62 00"));
}

TEST(VclDbifExport, LookupColumnCarriesItsKey)
{
    TExportGrid g({{QStringLiteral("id"), ftInteger}, {QStringLiteral("name"), ftString, 10}}, {{42, "Ann"}});
    g.AddColumn(QStringLiteral("name"), QStringLiteral("Name"));
    g.Open();
    TField* name = g.DataSet.FieldNamed(QStringLiteral("name"));
    name->FieldKind = fkLookup;
    name->KeyFields = QStringLiteral("id");
    EXPECT_BYTES(ExportVclDbif(g).mid(14), HexBytes("03 2A 00 00 00 00"));
    name->FieldKind = fkData;
}

} // namespace
