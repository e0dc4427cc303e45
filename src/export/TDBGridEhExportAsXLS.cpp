#include "TDBGridEhExportAsXLS.h"

#include "Exception.h"
#include "TCustomDBGridEh.h"

namespace {

// Record type, length of the data that follows, then row, column and XF index of a cell record.
void WriteCellHeader(TByteWriterEh& w, quint16 type, quint16 length, quint16 row, quint16 col, quint16 xf)
{
    char* out = w.Reserve(10);
    const quint16 words[5] = {type, length, row, col, xf};
    for (int i = 0; i < 5; ++i) {
        out[2 * i] = char(words[i] & 0xFF);
        out[2 * i + 1] = char(words[i] >> 8);
    }
    w.Commit(10);
}

// A LABEL of windows-1251 bytes, cut to what a record holds.
void WriteLabelBytes(TByteWriterEh& w, quint16 row, quint16 col, const QByteArray& bytes)
{
    const quint16 n = quint16(std::min(bytes.size(), kXlsMaxLabelBytes));
    WriteCellHeader(w, 0x0204, quint16(n + 8), row, col, 0);
    w.WriteUInt16(n);
    w.WriteBytes(bytes.constData(), n);
}

} // namespace

void WriteXlsBof(TByteWriterEh& w)
{
    w.WriteUInt16(0x0809);
    w.WriteUInt16(0x0008);
    w.WriteUInt16(0x0000); // BIFF version
    w.WriteUInt16(0x0010); // worksheet
    w.WriteUInt16(0x0000); // build
    w.WriteUInt16(0x0000); // year
}

void WriteXlsCodepage(TByteWriterEh& w)
{
    w.WriteUInt16(0x0042);
    w.WriteUInt16(0x0002);
    w.WriteUInt16(1251);
}

void WriteXlsLabel(TByteWriterEh& w, quint16 row, quint16 col, QStringView text)
{
    QByteArray& bytes = w.Scratch();
    bytes.resize(0); // keeps the capacity for the next piece
    AnsiAppend(bytes, text);
    WriteLabelBytes(w, row, col, bytes);
}

void WriteXlsLabelUtf8(TByteWriterEh& w, quint16 row, quint16 col, QByteArrayView utf8)
{
    QByteArray& bytes = w.Scratch();
    bytes.resize(0);
    AnsiAppendUtf8(bytes, utf8);
    WriteLabelBytes(w, row, col, bytes);
}

void WriteXlsNumber(TByteWriterEh& w, quint16 row, quint16 col, double value)
{
    WriteCellHeader(w, 0x0203, 0x000E, row, col, 0);
    w.WriteDouble(value);
}

void WriteXlsRk(TByteWriterEh& w, quint16 row, quint16 col, qint32 value)
{
    WriteCellHeader(w, 0x027E, 0x000A, row, col, 0);
    // Bit 1 marks an integer, bit 0 clear: not divided by 100.
    w.WriteInt32(qint32(quint32(value) << 2 | 2u));
}

void WriteXlsBlank(TByteWriterEh& w, quint16 row, quint16 col)
{
    WriteCellHeader(w, 0x0201, 0x0006, row, col, 0x0017);
}

void WriteXlsEof(TByteWriterEh& w)
{
    w.WriteUInt16(0x000A);
    w.WriteUInt16(0x0000);
}

void TDBGridEhExportAsXLS::WriteToStream(QIODevice* stream, bool exportAll)
{
    CellCol = 0;
    CellRow = 0;
    TDBGridEhExport::WriteToStream(stream, exportAll);
}

void TDBGridEhExportAsXLS::AdvanceCell()
{
    if (CellCol + 1 >= ExportColumns().Count()) {
        ++CellRow;
        CellCol = 0;
    } else {
        ++CellCol;
    }
}

void TDBGridEhExportAsXLS::BeginDocument()
{
    // Row numbers are 16-bit: refuse what a sheet cannot hold before anything is written.
    const TCustomDBGridEh* grid = SourceGrid();
    const qint64 rows = (grid->Options().Contains(dgTitles) ? 1 : 0) + RecordsInAll() + grid->FooterRowCount();
    if (rows > kXlsMaxRows)
        throw Exception((TargetFileName().isEmpty()
                             ? QStringLiteral("Лист Excel не записан")
                             : QStringLiteral("Лист Excel «%1» не записан").arg(TargetFileName()))
                        + QStringLiteral(": на листе помещается не больше %1 строк, а в выгрузке их %2.")
                              .arg(kXlsMaxRows)
                              .arg(rows));
    WriteXlsBof(Out());
    WriteXlsCodepage(Out());
}

void TDBGridEhExportAsXLS::EndDocument()
{
    WriteXlsEof(Out());
}

void TDBGridEhExportAsXLS::WriteBlankCell()
{
    WriteXlsBlank(Out(), CellRow, CellCol);
    AdvanceCell();
}

void TDBGridEhExportAsXLS::WriteNumberCell(double value)
{
    WriteXlsNumber(Out(), CellRow, CellCol, value);
    AdvanceCell();
}

void TDBGridEhExportAsXLS::WriteIntegerCell(qint64 value)
{
    if (FitsXlsRk(value))
        WriteXlsRk(Out(), CellRow, CellCol, qint32(value));
    else
        WriteXlsNumber(Out(), CellRow, CellCol, double(value));
    AdvanceCell();
}

void TDBGridEhExportAsXLS::WriteLabelCell(const QString& text)
{
    WriteXlsLabel(Out(), CellRow, CellCol, text);
    AdvanceCell();
}

void TDBGridEhExportAsXLS::EmitTitleRow(const TColumnsEhList& columns)
{
    for (TColumnEh* column : columns)
        WriteLabelCell(column->Title()->Caption());
}

void TDBGridEhExportAsXLS::EmitDataCell(TColumnEh* column, TColCellParamsEh& params)
{
    // Numbers come from the stored value, not from the display text; a 64-bit integer keeps its
    // text.
    switch (SheetCellKindEh(column)) {
    case TSheetCellKindEh::Empty:
        WriteBlankCell();
        break;
    case TSheetCellKindEh::Integer:
        WriteIntegerCell(column->Field()->AsInteger());
        break;
    case TSheetCellKindEh::Float:
        WriteNumberCell(column->Field()->AsFloat());
        break;
    case TSheetCellKindEh::Text:
    case TSheetCellKindEh::LargeInteger:
        WriteLabelCell(params.Text);
        break;
    }
}

void TDBGridEhExportAsXLS::EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8)
{
    // Text fields come this way: the choice comes down to BLANK for null, else LABEL.
    const TField* field = column->Field();
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        if (field->IsBlank()) {
            WriteBlankCell();
        } else {
            WriteXlsLabelUtf8(Out(), CellRow, CellCol, utf8);
            AdvanceCell();
        }
        break;
    default:
        TDBGridEhExport::EmitDataCellUtf8(column, params, utf8);
        break;
    }
}

void TDBGridEhExportAsXLS::EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& /*font*/,
                                          TColor /*background*/, TAlignment /*alignment*/, const QString& text)
{
    const TFooterValueType kind = column->UsedFooter(row)->ValueType();
    if (kind == fvtSum || kind == fvtCount)
        WriteNumberCell(double(FooterTotal(row, dataCol)) / 10000.0);
    else
        WriteLabelCell(text);
}
