#include "TDBGridEhExportAsXLSX.h"

#include "Exception.h"
#include "TCustomDBGridEh.h"
#include "TScopeExit.h"

#include <QDir>
#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QTemporaryDir>

#include <xlsxwriter.h>

#include <cmath>

namespace {

// Integers a double holds exactly: larger ones go to the sheet as text, not rounded.
constexpr qint64 kExactDoubleInteger = qint64(1) << 53;

// A text cut to what a cell holds, never between the two halves of a surrogate pair.
QStringView CutToCell(QStringView text)
{
    if (text.size() <= kXlsxMaxTextChars)
        return text;
    qsizetype n = kXlsxMaxTextChars;
    if (text[n - 1].isHighSurrogate())
        --n;
    return text.first(n);
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

} // namespace

bool XlsxKeepEscapeLookalikes(QByteArray& utf8)
{
    if (!utf8.contains("_x"))
        return false;
    QByteArray out;
    out.reserve(utf8.size() + 14);
    const qsizetype n = utf8.size();
    bool changed = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char c = utf8[i];
        if (c == '_' && i + 6 < n && utf8[i + 1] == 'x' && IsHexDigit(utf8[i + 2]) && IsHexDigit(utf8[i + 3])
            && IsHexDigit(utf8[i + 4]) && IsHexDigit(utf8[i + 5]) && utf8[i + 6] == '_') {
            out.append("_x005F_");
            changed = true;
        } else {
            out.append(c);
        }
    }
    if (changed)
        utf8 = out;
    return changed;
}

QByteArrayView XlsxCellText(QByteArrayView utf8, QByteArray& scratch)
{
    const auto* p = reinterpret_cast<const unsigned char*>(utf8.data());
    const qsizetype n = utf8.size();
    qsizetype i = 0;
    qsizetype units = 0;
    while (i < n) {
        const unsigned char b = p[i];
        int length = 1;
        if (b < 0x80) {
            length = 1;
        } else if (b >= 0xC2 && b <= 0xDF) {
            length = 2;
        } else if (b >= 0xE0 && b <= 0xEF) {
            length = 3;
        } else if (b >= 0xF0 && b <= 0xF4) {
            length = 4;
        } else {
            break;
        }
        if (n - i < length)
            break;
        bool valid = true;
        for (int k = 1; k < length; ++k)
            valid = valid && (p[i + k] & 0xC0) == 0x80;
        // Overlong forms, surrogates and code points beyond U+10FFFF are malformed too.
        if (length == 3)
            valid = valid && !(b == 0xE0 && p[i + 1] < 0xA0) && !(b == 0xED && p[i + 1] >= 0xA0);
        if (length == 4)
            valid = valid && !(b == 0xF0 && p[i + 1] < 0x90) && !(b == 0xF4 && p[i + 1] >= 0x90);
        if (!valid)
            break;
        const int width = length == 4 ? 2 : 1;
        if (units + width > kXlsxMaxTextChars)
            return utf8.first(i);
        units += width;
        i += length;
    }
    if (i == n)
        return utf8;
    const QString text = QString::fromUtf8(utf8);
    scratch = CutToCell(text).toUtf8();
    return scratch;
}

void TDBGridEhExportAsXLSX::TWorkbookFree::operator()(lxw_workbook* book) const
{
    lxw_workbook_free(book);
}

TDBGridEhExportAsXLSX::TDBGridEhExportAsXLSX() = default;

TDBGridEhExportAsXLSX::~TDBGridEhExportAsXLSX()
{
    Discard();
}

void TDBGridEhExportAsXLSX::Discard()
{
    // The book before its folder: its open temporary files live there.
    fBook.reset();
    fSheet = nullptr;
    fTitleFormats = {};
    fFolder.reset();
}

QString TDBGridEhExportAsXLSX::TargetName() const
{
    // A file export names its target; its stream is a temporary file beside it.
    if (!TargetFileName().isEmpty())
        return TargetFileName();
    const auto* file = qobject_cast<const QFileDevice*>(OutStream());
    return file ? file->fileName() : QString();
}

namespace {

QString NotWritten(const QString& target)
{
    return target.isEmpty() ? QStringLiteral("Книга Excel не записана")
                            : QStringLiteral("Книга Excel \"%1\" не записана").arg(target);
}

} // namespace

void TDBGridEhExportAsXLSX::Check(int error) const
{
    if (error != LXW_NO_ERROR)
        throw Exception(NotWritten(TargetName()) + QStringLiteral(": ")
                        + QString::fromUtf8(lxw_strerror(lxw_error(error))));
}

void TDBGridEhExportAsXLSX::WriteToStream(QIODevice* stream, bool exportAll)
{
    Discard();
    fRow = 0;
    fCol = 0;
    // The temporary folder goes with the export, also a failed one.
    TScopeExit discard([this] { Discard(); });
    TDBGridEhExport::WriteToStream(stream, exportAll);
}

void TDBGridEhExportAsXLSX::AdvanceCell()
{
    if (fCol + 1 >= ExportColumns().Count()) {
        ++fRow;
        fCol = 0;
    } else {
        ++fCol;
    }
}

void TDBGridEhExportAsXLSX::BeginDocument()
{
    // Refuse what a worksheet cannot hold before anything is written.
    const TCustomDBGridEh* grid = SourceGrid();
    const qint64 rows = (grid->Options().Contains(dgTitles) ? 1 : 0) + RecordsInAll() + grid->FooterRowCount();
    if (rows > kXlsxMaxRows)
        throw Exception(NotWritten(TargetName())
                        + QStringLiteral(": на листе помещается не больше 1 048 576 строк, а в "
                                         "выгрузке их %1.")
                              .arg(rows));
    const int columns = ExportColumns().Count();
    if (columns > kXlsxMaxColumns)
        throw Exception(NotWritten(TargetName())
                        + QStringLiteral(": на листе помещается не больше 16 384 столбцов, а в "
                                         "выгрузке их %1.")
                              .arg(columns));

    // The book is made beside the target file when there is one (a system temporary folder may
    // be in memory, and a book of a million records is hundreds of megabytes of sheet text).
    const QString target = TargetName();
    const QString near = target.isEmpty() ? QDir::tempPath() : QFileInfo(target).absolutePath();
    fFolder = std::make_unique<QTemporaryDir>(near + QStringLiteral("/.xlsx-XXXXXX"));
    if (!fFolder->isValid())
        fFolder = std::make_unique<QTemporaryDir>();
    if (!fFolder->isValid())
        throw Exception(NotWritten(target)
                        + QStringLiteral(": не удалось создать временную папку в \"%1\".").arg(near));

    const QByteArray folder = QFile::encodeName(fFolder->path());
    const QByteArray book = QFile::encodeName(fFolder->filePath(QStringLiteral("book.xlsx")));
    lxw_workbook_options options{};
    options.constant_memory = LXW_TRUE;
    options.tmpdir = const_cast<char*>(folder.constData());
    options.use_zip64 = LXW_TRUE;
    fBook.reset(workbook_new_opt(book.constData(), &options));
    if (!fBook)
        throw Exception(NotWritten(target)
                        + QStringLiteral(": не удалось начать книгу в \"%1\".").arg(fFolder->path()));
    fSheet = workbook_add_worksheet(fBook.get(), "Лист1");
    if (!fSheet)
        Check(LXW_ERROR_MEMORY_MALLOC_FAILED);
    for (int i = 0; i < columns; ++i)
        Check(worksheet_set_column_pixels(fSheet, lxw_col_t(i), lxw_col_t(i),
                                          uint32_t(std::max(0, ExportColumns()[i]->Width())), nullptr));
}

void TDBGridEhExportAsXLSX::EndDocument()
{
    // Closing packs the book; it frees the workbook whether it succeeds or not.
    const lxw_error closed = workbook_close(fBook.release());
    fSheet = nullptr;
    Check(closed);
    QFile book(fFolder->filePath(QStringLiteral("book.xlsx")));
    if (!book.open(QIODevice::ReadOnly))
        throw Exception(NotWritten(TargetName()) + QStringLiteral(": ") + book.errorString());
    fScratch.resize(1 << 20);
    for (;;) {
        const qint64 n = book.read(fScratch.data(), fScratch.size());
        if (n < 0)
            throw Exception(NotWritten(TargetName()) + QStringLiteral(": ") + book.errorString());
        if (n == 0)
            break;
        Out().WriteDirect(QByteArrayView(fScratch.constData(), n));
    }
    fScratch = QByteArray();
}

void TDBGridEhExportAsXLSX::WriteEmptyCell()
{
    AdvanceCell();
}

void TDBGridEhExportAsXLSX::WriteNumberCell(double value)
{
    Check(worksheet_write_number(fSheet, fRow, fCol, value, nullptr));
    AdvanceCell();
}

void TDBGridEhExportAsXLSX::WriteTextCell(const QString& text, lxw_format* format)
{
    fText = CutToCell(text).toUtf8();
    WriteCellText(format);
}

void TDBGridEhExportAsXLSX::WriteUtf8Cell(QByteArrayView utf8, lxw_format* format)
{
    const QByteArrayView cell = XlsxCellText(utf8, fScratch);
    fText.resize(0); // keeps the capacity for the next cell
    fText.append(cell.data(), cell.size());
    WriteCellText(format);
}

void TDBGridEhExportAsXLSX::WriteCellText(lxw_format* format)
{
    // The escapes make the text longer than a cell takes: the cell is what Excel reads back.
    if (XlsxKeepEscapeLookalikes(fText)) {
        const QByteArrayView cut = XlsxCellText(fText, fScratch);
        fText.truncate(cut.size());
    }
    Check(worksheet_write_string(fSheet, fRow, fCol, fText.constData(), format));
    AdvanceCell();
}

void TDBGridEhExportAsXLSX::EmitTitleRow(const TColumnsEhList& columns)
{
    for (TColumnEh* column : columns) {
        const TAlignment alignment = column->Title()->Alignment();
        lxw_format*& format = fTitleFormats[std::size_t(alignment)];
        if (!format) {
            format = workbook_add_format(fBook.get());
            format_set_bold(format);
            format_set_align(format, alignment == taRightJustify ? LXW_ALIGN_RIGHT
                                     : alignment == taCenter     ? LXW_ALIGN_CENTER
                                                                 : LXW_ALIGN_LEFT);
        }
        WriteTextCell(column->Title()->Caption(), format);
    }
    // The titles stay in view while the records scroll.
    worksheet_freeze_panes(fSheet, 1, 0);
}

void TDBGridEhExportAsXLSX::EmitDataCell(TColumnEh* column, TColCellParamsEh& params)
{
    // Numbers come from the stored value, not from the display text.
    switch (SheetCellKindEh(column)) {
    case TSheetCellKindEh::Empty:
        WriteEmptyCell();
        break;
    case TSheetCellKindEh::Integer:
        WriteNumberCell(double(column->Field()->AsInteger()));
        break;
    case TSheetCellKindEh::LargeInteger: {
        // Beyond 2^53 a double would change the number: such values keep their text.
        const qint64 value = column->Field()->AsInteger();
        if (value >= -kExactDoubleInteger && value <= kExactDoubleInteger)
            WriteNumberCell(double(value));
        else
            WriteTextCell(params.Text);
        break;
    }
    case TSheetCellKindEh::Float: {
        // A sheet has no infinity or NaN: such values keep their text.
        const double value = column->Field()->AsFloat();
        if (std::isfinite(value))
            WriteNumberCell(value);
        else
            WriteTextCell(params.Text);
        break;
    }
    case TSheetCellKindEh::Text:
        WriteTextCell(params.Text);
        break;
    }
}

void TDBGridEhExportAsXLSX::EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8)
{
    // Text fields come this way: an empty cell for null, else the bytes as they stand.
    const TField* field = column->Field();
    switch (field->DataType()) {
    case ftString:
    case ftFixedChar:
    case ftWideString:
        if (field->IsBlank())
            WriteEmptyCell();
        else
            WriteUtf8Cell(utf8);
        break;
    default:
        TDBGridEhExport::EmitDataCellUtf8(column, params, utf8);
        break;
    }
}

void TDBGridEhExportAsXLSX::EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& /*font*/,
                                           TColor /*background*/, TAlignment /*alignment*/, const QString& text)
{
    const TFooterValueType kind = column->UsedFooter(row)->ValueType();
    if (kind == fvtSum || kind == fvtCount)
        WriteNumberCell(double(FooterTotal(row, dataCol)) / 10000.0);
    else
        WriteTextCell(text);
}
