#include "TDBGridEhExportAsText.h"

char DefaultCsvSeparator = ';';

namespace {

// The one character CSV escapes: it encloses every value and is doubled inside one.
constexpr char kCsvQuote = '"';

} // namespace

void WriteCsvQuoted(TByteWriterEh& w, QStringView value)
{
    w.WriteByte(kCsvQuote);
    w.WriteAnsiDoubling(value, kCsvQuote);
    w.WriteByte(kCsvQuote);
}

void WriteCsvQuotedUtf8(TByteWriterEh& w, QByteArrayView utf8)
{
    w.WriteByte(kCsvQuote);
    w.WriteAnsiDoublingUtf8(utf8, kCsvQuote);
    w.WriteByte(kCsvQuote);
}

void TDBGridEhExportAsText::BeginDocument() {}

void TDBGridEhExportAsText::EndDocument() {}

void TDBGridEhExportAsText::StartLine()
{
    if (NeedLineBreak)
        Out().WriteCrLf();
    else
        NeedLineBreak = true;
}

void TDBGridEhExportAsText::StartCell()
{
    if (NeedSeparator)
        Out().WriteByte('\t');
    else
        NeedSeparator = true;
}

void TDBGridEhExportAsText::EmitTitleRow(const TColumnsEhList& columns)
{
    StartLine();
    for (int i = 0; i < columns.Count(); ++i) {
        Out().WriteAnsi(columns[i]->Title()->Caption());
        if (i + 1 < columns.Count())
            Out().WriteByte('\t');
    }
}

void TDBGridEhExportAsText::EmitDataRow(const TColumnsEhList& columns)
{
    StartLine();
    NeedSeparator = false;
    TDBGridEhExport::EmitDataRow(columns);
}

void TDBGridEhExportAsText::EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& params)
{
    StartCell();
    Out().WriteAnsi(params.Text);
}

void TDBGridEhExportAsText::EmitDataCellUtf8(TColumnEh* /*column*/, TColCellParamsEh& /*params*/, QByteArrayView utf8)
{
    StartCell();
    Out().WriteAnsiUtf8(utf8);
}

void TDBGridEhExportAsText::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    StartLine();
    NeedSeparator = false;
    TDBGridEhExport::EmitFooterRow(columns, footerRow);
}

void TDBGridEhExportAsText::EmitFooterCell(int /*dataCol*/, int /*row*/, TColumnEh* /*column*/, const TFontEh& /*font*/,
                                           TColor /*background*/, TAlignment /*alignment*/, const QString& text)
{
    StartCell();
    Out().WriteAnsi(text);
}

void TDBGridEhExportAsText::WriteToStream(QIODevice* stream, bool exportAll)
{
    NeedLineBreak = false;
    NeedSeparator = false;
    TDBGridEhExport::WriteToStream(stream, exportAll);
}

TDBGridEhExportAsCSV::TDBGridEhExportAsCSV() : FieldSeparator(DefaultCsvSeparator) {}

void TDBGridEhExportAsCSV::StartCell()
{
    if (NeedSeparator)
        Out().WriteByte(FieldSeparator);
    else
        NeedSeparator = true;
}

void TDBGridEhExportAsCSV::EmitTitleRow(const TColumnsEhList& columns)
{
    StartLine();
    for (int i = 0; i < columns.Count(); ++i) {
        WriteCsvQuoted(Out(), columns[i]->Title()->Caption());
        if (i + 1 < columns.Count())
            Out().WriteByte(FieldSeparator);
    }
}

void TDBGridEhExportAsCSV::EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& params)
{
    StartCell();
    WriteCsvQuoted(Out(), params.Text);
}

void TDBGridEhExportAsCSV::EmitDataCellUtf8(TColumnEh* /*column*/, TColCellParamsEh& /*params*/, QByteArrayView utf8)
{
    StartCell();
    WriteCsvQuotedUtf8(Out(), utf8);
}

void TDBGridEhExportAsCSV::EmitFooterCell(int /*dataCol*/, int /*row*/, TColumnEh* /*column*/, const TFontEh& /*font*/,
                                          TColor /*background*/, TAlignment /*alignment*/, const QString& text)
{
    StartCell();
    WriteCsvQuoted(Out(), text);
}
