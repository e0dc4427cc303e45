#pragma once
// HTML 3.2: one document with one table; every cell carries its width, alignment, background and
// a font element. Entities are written without the closing semicolon, as readers accept them,
// except where the text after one would be read as part of it.

#include "TByteWriterEh.h"
#include "TDBGridEhExport.h"

#include <memory>
#include <vector>

// "LEFT", "RIGHT" or "CENTER".
const char* HtmlAlignmentWord(TAlignment alignment);
// Six upper-case hex digits red, green, blue of a resolved colour; "000000" for no colour.
void WriteHtmlColorHex(TByteWriterEh& w, quint32 rgb);
// The bytes HTML writes as entities: & < > and the double quote.
extern const TByteSetEh kHtmlSpecialBytes;
// The text with & < > and the double quote as entities, in that order; "&nbsp" for an empty text.
// An entity followed by ";" or by the rest of a longer reference ("&lt" + "cc;") keeps its ";".
void WriteHtmlEscaped(TByteWriterEh& w, QStringView text);
void WriteHtmlEscapedUtf8(TByteWriterEh& w, QByteArrayView utf8);
// <FONT STYLE="..."> with the style tags around the escaped text.
void WriteHtmlFontElement(TByteWriterEh& w, const TExportFontEh& font, QStringView text);
// The document type, the head with its character set and the grid's name as title, <BODY>.
void WriteHtmlHead(TByteWriterEh& w, QStringView title);
// <TABLE ...> with its border part, cell padding and background, and the empty line after it.
void WriteHtmlTableStart(TByteWriterEh& w, bool lines, bool ctl3D, bool flat, quint32 fixedRgb);
// "  <TD WIDTH=w ALIGN="a"" then " BGCOLOR=#rrggbb" unless hasBackground is false, then ">".
void WriteHtmlCellStart(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground, quint32 backgroundRgb);
// One whole cell line: the cell start, the font element, "</TD>" and CR LF.
void WriteHtmlCell(TByteWriterEh& w, int width, TAlignment alignment, bool hasBackground, quint32 backgroundRgb,
                   const TExportFontEh& font, QStringView text);
// </TABLE>, </BODY>, </HTML>, each on its line.
void WriteHtmlDocumentEnd(TByteWriterEh& w);

class TDBGridEhExportAsHTML : public TDBGridEhExport
{
public:
    void BeginDocument() override;
    void EndDocument() override;
    void EmitTitleRow(const TColumnsEhList& columns) override;
    void EmitDataRow(const TColumnsEhList& columns) override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    TCellParamsUse Utf8CellParamsUse() const override { return TCellParamsUse::Look; }
    void EmitFooterRow(const TColumnsEhList& columns, int footerRow) override;
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                        TAlignment alignment, const QString& text) override;
    void WriteToStream(QIODevice* stream, bool exportAll) override;

private:
    // The bytes of a record cell around its text, made once per look of the cell and copied
    // row after row.
    struct CachedCell
    {
        int Width = 0;
        TAlignment Alignment = taLeftJustify;
        TColor Background = clNone;
        TFontEh Font;
        QByteArray Start;
        QByteArray End;
        bool Valid = false;
    };
    const CachedCell& RecordCell(int width, TAlignment alignment, TColor background, const TFontEh& font);

    std::unique_ptr<TByteCaptureEh> fCapture;
    std::vector<CachedCell> fRecordCells; // one per cell position of a record row
    int fCellIndex = 0;
};
