#pragma once
// An Excel 2007 workbook (.xlsx) of one worksheet, written with libxlsxwriter in its
// constant-memory mode: each row goes to disk as soon as the next one starts, so a result of a
// million records costs no more memory than one of ten. Texts are Unicode strings, numeric fields
// numbers; the title row is bold, aligned as the grid's titles, and stays in view (frozen); column
// widths are the grid's pixel widths. libxlsxwriter writes to a file, so the book is made in a
// temporary folder (beside the target file when the stream is a file) and copied into the stream
// when it is complete: a failed export writes nothing to the stream.

#include "TDBGridEhExport.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <memory>

class QTemporaryDir;
struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

// Rows a worksheet holds (title and footer rows included), and its columns.
constexpr qint64 kXlsxMaxRows = 1048576;
constexpr qint64 kXlsxMaxColumns = 16384;
// Characters (UTF-16 code units) a cell text holds; longer texts are cut.
constexpr qsizetype kXlsxMaxTextChars = 32767;

// The UTF-8 bytes that a cell holds: valid UTF-8 cut to kXlsxMaxTextChars characters (never
// inside a character). Malformed input is decoded as QString::fromUtf8 does. Returns a view of
// utf8 itself when it can stand as it is, else of scratch.
QByteArrayView XlsxCellText(QByteArrayView utf8, QByteArray& scratch);

// A sheet reads "_xHHHH_" in a text as the character HHHH (how control characters are written):
// such a sequence that the text holds itself gets its "_" written as "_x005F_", so that it reads
// back as it stands. Returns whether utf8 changed.
bool XlsxKeepEscapeLookalikes(QByteArray& utf8);

class TDBGridEhExportAsXLSX : public TDBGridEhExport
{
public:
    TDBGridEhExportAsXLSX();
    ~TDBGridEhExportAsXLSX() override;

    void BeginDocument() override;
    void EndDocument() override;
    void EmitTitleRow(const TColumnsEhList& columns) override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    TCellParamsUse Utf8CellParamsUse() const override { return TCellParamsUse::None; }
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                        TAlignment alignment, const QString& text) override;
    void WriteToStream(QIODevice* stream, bool exportAll) override;

    // One cell at the next position each; an empty cell writes nothing.
    void WriteEmptyCell();
    void WriteNumberCell(double value);
    void WriteTextCell(const QString& text, lxw_format* format = nullptr);
    void WriteUtf8Cell(QByteArrayView utf8, lxw_format* format = nullptr);

protected:
    // Next cell: left to right, then the first column of the next row.
    void AdvanceCell();

private:
    // The file the stream writes to, for messages ("" for a stream in memory).
    QString TargetName() const;
    // Writes fText (UTF-8, cut to a cell) at the next position.
    void WriteCellText(lxw_format* format);
    // Raises the failure of a libxlsxwriter call.
    void Check(int error) const;
    void Discard();

    std::unique_ptr<QTemporaryDir> fFolder;
    struct TWorkbookFree
    {
        void operator()(lxw_workbook* book) const;
    };
    std::unique_ptr<lxw_workbook, TWorkbookFree> fBook;
    lxw_worksheet* fSheet = nullptr;
    // Bold title formats by TAlignment.
    std::array<lxw_format*, 3> fTitleFormats{};
    QByteArray fScratch;
    QByteArray fText;
    quint32 fRow = 0;
    quint16 fCol = 0;
};
