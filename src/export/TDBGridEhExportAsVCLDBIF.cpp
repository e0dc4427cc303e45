#include "TDBGridEhExportAsVCLDBIF.h"

#include "Exception.h"

#include <limits>

TVclDbifTagEh VclDbifTagOf(TFieldType type)
{
    switch (type) {
    case ftString:
    case ftBoolean:
    case ftMemo:
    case ftFixedChar:
    case ftLargeint:
    case ftOraClob:
    case ftGuid:
        return vdtText;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return vdtInteger;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
    case ftFMTBcd:
        return vdtFloat;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftFmtMemo:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftWideString:
    case ftOraBlob:
        return vdtBytes;
    case ftUnknown:
    case ftCursor:
    case ftADT:
    case ftArray:
    case ftReference:
    case ftDataSet:
    case ftVariant:
    case ftInterface:
    case ftIDispatch:
        break;
    }
    return vdtNoValue;
}

void WriteVclDbifHeader(TByteWriterEh& w, qint32 columnCount)
{
    w.WriteAscii("VCLDBIF");
    w.WriteByte(1);
    w.WriteInt32(columnCount);
}

void WriteVclDbifColumn(TByteWriterEh& w, bool visible)
{
    w.WriteByte(visible ? 1 : 0);
    w.WriteByte(0);
}

void WriteVclDbifTag(TByteWriterEh& w, TVclDbifTagEh tag)
{
    w.WriteByte(char(tag));
}

void WriteVclDbifInteger(TByteWriterEh& w, qint32 value)
{
    w.WriteByte(vdtInteger);
    w.WriteInt32(value);
}

void WriteVclDbifFloat(TByteWriterEh& w, double value)
{
    w.WriteByte(vdtFloat);
    w.WriteDouble(value);
}

namespace {

// A tag, the 32-bit length and the bytes; the length field cannot count more than 2 GiB.
void WriteCounted(TByteWriterEh& w, TVclDbifTagEh tag, QByteArrayView bytes)
{
    if (bytes.size() > std::numeric_limits<qint32>::max())
        throw Exception(QStringLiteral("Значение слишком велико для копирования (больше 2 ГиБ)"));
    w.WriteByte(tag);
    w.WriteInt32(qint32(bytes.size()));
    w.WriteBytes(bytes);
}

} // namespace

void WriteVclDbifText(TByteWriterEh& w, QStringView text)
{
    QByteArray& bytes = w.Scratch();
    bytes.resize(0); // keeps the capacity for the next piece
    AnsiAppend(bytes, text);
    WriteCounted(w, vdtText, bytes);
}

void WriteVclDbifBytes(TByteWriterEh& w, QByteArrayView bytes)
{
    WriteCounted(w, vdtBytes, bytes);
}

void TDBGridEhExportAsVCLDBIF::BeginDocument()
{
    const TColumnsEhList& columns = ExportColumns();
    WriteVclDbifHeader(Out(), columns.Count());
    for (const TColumnEh* column : columns)
        WriteVclDbifColumn(Out(), column->Visible());
}

void TDBGridEhExportAsVCLDBIF::EndDocument()
{
    WriteVclDbifTag(Out(), vdtEnd);
}

void TDBGridEhExportAsVCLDBIF::EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView /*utf8*/)
{
    EmitDataCell(column, params);
}

void TDBGridEhExportAsVCLDBIF::EmitDataCell(TColumnEh* column, TColCellParamsEh& /*params*/)
{
    TByteWriterEh& w = Out();
    const TField* field = column->Field();
    // A lookup column carries its key, not the text it shows.
    if (field && field->FieldKind == fkLookup)
        field = field->DataSet()->FieldNamed(field->KeyFields);
    if (!field) {
        WriteVclDbifTag(w, vdtNoValue);
        return;
    }
    if (field->IsBlank()) {
        WriteVclDbifTag(w, vdtNull);
        return;
    }
    switch (VclDbifTagOf(field->DataType())) {
    case vdtText:
        WriteVclDbifText(w, field->PlainText());
        break;
    case vdtInteger:
        WriteVclDbifInteger(w, qint32(field->AsInteger()));
        break;
    case vdtFloat:
        WriteVclDbifFloat(w, field->AsFloat());
        break;
    case vdtBytes:
        switch (field->DataType()) {
        case ftWideString:
        case ftFmtMemo:
            // Text types travel as the bytes of their text.
            WriteVclDbifBytes(w, AnsiEncode(field->PlainText()));
            break;
        default:
            WriteVclDbifBytes(w, field->AsBytes());
            break;
        }
        break;
    default:
        WriteVclDbifTag(w, vdtNoValue);
        break;
    }
}
