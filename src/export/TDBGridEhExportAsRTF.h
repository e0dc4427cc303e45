#pragma once
// Rich Text Format: one table, one table row per title row, record and footer row; every cell
// framed in black, with its own font, colours and alignment. The body is assembled in memory and
// the header, whose colour and font tables the body fills, is written in front of it at the end.

#include "TByteWriterEh.h"
#include "TDBGridEhExport.h"

#include <QString>

#include <utility>
#include <vector>

// The text with \ { } escaped and every character above 127 as \uN (N its UTF-16 code as a signed
// 16-bit number) followed by \'xx, its windows-1251 byte, for readers that do not know \u.
void WriteRtfEscaped(TByteWriterEh& w, QStringView text);
// The same for a UTF-8 text.
void WriteRtfEscapedUtf8(TByteWriterEh& w, QByteArrayView utf8);
// A column width in pixels as twips at a horizontal resolution, truncated; computed in extended
// precision, so that every pixel is exactly 15 twips at 96 pixels per inch.
qint64 RtfTwips(int pixels, int pixelsPerInch);
// "\ql", "\qr" or "\qc".
const char* RtfAlignmentWord(TAlignment alignment);

// Colours in order of first use; a colour's position is its number in the document.
class TRtfColorTableEh
{
public:
    // The number of a resolved colour (red in the lowest byte; the top byte is ignored).
    int Number(quint32 rgb);
    int Count() const { return int(fColors.size()); }
    // {\colortbl\redR\greenG\blueB;...} and CR LF.
    void Write(TByteWriterEh& w) const;

private:
    std::vector<quint32> fColors;
};

// Font faces in order of first use; names that differ only in letter case share an entry, which
// keeps the spelling of its first use.
class TRtfFontTableEh
{
public:
    int Number(const QString& name);
    int Count() const { return int(fNames.size()); }
    // {\fonttbl\f0\fnil Name;...} and CR LF.
    void Write(TByteWriterEh& w) const;

private:
    std::vector<QString> fNames;
};

// The first line of the document.
void WriteRtfDocumentStart(TByteWriterEh& w);
// \trowd\trgaph40 and CR LF: the start of a row definition.
void WriteRtfRowDefinitionStart(TByteWriterEh& w);
// The border words of one cell, one line per side that is set (left, top, bottom, right).
void WriteRtfCellBorders(TByteWriterEh& w, bool left, bool top, bool bottom, bool right);
// The shading and right edge of one cell: \clcbpatN\cellxX and CR LF.
void WriteRtfCellEdge(TByteWriterEh& w, int shading, qint64 rightEdge);
// {\trrh0 and CR LF: ends the row definition and opens the row's group.
void WriteRtfRowContentStart(TByteWriterEh& w);
// \pard\intbl\row} and CR LF.
void WriteRtfRowEnd(TByteWriterEh& w);
// A cell paragraph up to its text: alignment, spacing, character formatting and the space
// after them. The font, its colour and the background are looked up in the tables in that order.
void WriteRtfCellStart(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors, TAlignment alignment,
                       bool flat, const TExportFontEh& font, quint32 backgroundRgb);
// \cell} and CR LF: the end of a cell paragraph.
void WriteRtfCellEnd(TByteWriterEh& w);
// One cell paragraph: its start, the escaped text, its end.
void WriteRtfCellParagraph(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors, TAlignment alignment,
                           bool flat, const TExportFontEh& font, quint32 backgroundRgb, QStringView text);

class TMemoryStreamEh;

class TDBGridEhExportAsRTF : public TDBGridEhExport
{
public:
    TDBGridEhExportAsRTF();
    ~TDBGridEhExportAsRTF() override;

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
    // The body first, into memory; then the header, whose tables the body filled, and the body.
    void WriteToStream(QIODevice* stream, bool exportAll) override;

protected:
    // Horizontal resolution of the grid's drawing surface, read for every row.
    virtual int PixelsPerInchX() const;

    int ColorNumber(TColor color);
    int FontNumber(const QString& name);
    // The background a record row gives a column, for the row definition.
    TColor RecordShading(const TColumnsEhList& columns, int index) const;
    // The background of a column in a footer row.
    TColor FooterShading(const TColumnsEhList& columns, int index, int footerRow) const;

private:
    // What a row definition is made of: the resolution and, per cell, width and shading.
    struct RowShape
    {
        int Ppi = 0;
        std::vector<std::pair<int, TColor>> Cells;
        bool operator==(const RowShape&) const = default;
    };
    // What the start of a cell paragraph is made of.
    struct CellShape
    {
        TAlignment Alignment = taLeftJustify;
        bool Flat = false;
        TFontEh Font;
        TColor Background = clNone;
    };
    struct CachedRow
    {
        RowShape Shape;
        quint32 Piece = 0;
    };
    struct CachedCell
    {
        CellShape Shape;
        quint32 Piece = 0;
        bool Valid = false;
    };

    // The shape of a row: shading(i) gives the shading of cell i.
    template <class Shading>
    RowShape MakeRowShape(const TColumnsEhList& columns, Shading&& shading) const;
    void WriteRowDefinition(TByteWriterEh& w, const RowShape& shape);
    void WriteCellStart(TByteWriterEh& w, const CellShape& shape);
    // Record rows and cells repeat the same bytes row after row: each is made once per shape
    // (the tables then hold its numbers) and copied after that.
    void WriteRecordRowDefinition(const TColumnsEhList& columns);
    void WriteRecordCellStart(TAlignment alignment, const TFontEh& font, TColor background);
    void WriteCell(TAlignment alignment, const TFontEh& font, TColor background, const QString& text);

    std::unique_ptr<TMemoryStreamEh> fBodyStream;
    std::unique_ptr<TRtfColorTableEh> fColorTable;
    std::unique_ptr<TRtfFontTableEh> fFontTable;
    std::unique_ptr<TByteCaptureEh> fCapture;
    // Record rows and cells repeat the same pieces row after row: the body holds each piece
    // once, here, and a reference to it where it occurs; record texts it holds as stored, in
    // UTF-8. The copy to the target puts each piece in its place and escapes each text. The
    // body is otherwise plain ASCII, so a byte with its top bit set can mark a reference.
    static constexpr unsigned char kPieceMark = 0x80; // then the piece's number, 4 bytes
    static constexpr unsigned char kTextMark = 0x81;  // then the length, 4 bytes, and the text
    quint32 AddPiece(QByteArray bytes);
    void WritePieceReference(quint32 piece);
    void WriteTextReference(QByteArrayView utf8);
    void WriteExpandedBody(TByteWriterEh& w) const;
    std::vector<QByteArray> fPieces;
    std::vector<CachedRow> fRecordRows;   // a few shapes, most recent last
    std::vector<CachedCell> fRecordCells; // one per cell position of a record row
    int fCellIndex = 0;
};
