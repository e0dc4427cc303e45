#pragma once
// Rich Text Format: one table, one table row per title row, record and footer row; every cell
// framed in black, with its own font, colours and alignment. The body is assembled in memory and
// the header, whose colour and font tables the body fills, is written in front of it at the end.

#include "TByteWriterEh.h"
#include "TDBGridEhExport.h"

#include <QString>
#include <vector>

// The text with \ { } escaped and every character above 127 as \uN (N its UTF-16 code as a signed
// 16-bit number) followed by \'xx, its windows-1251 byte, for readers that do not know \u.
void WriteRtfEscaped(TByteWriterEh& w, QStringView text);
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
// One cell paragraph: alignment, spacing, character formatting, the escaped text, \cell}.
// The font, its colour and the background are looked up in the tables in that order.
void WriteRtfCellParagraph(TByteWriterEh& w, TRtfFontTableEh& fonts, TRtfColorTableEh& colors,
                           TAlignment alignment, bool flat, const TExportFontEh& font,
                           quint32 backgroundRgb, QStringView text);

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
    void EmitFooterRow(const TColumnsEhList& columns, int footerRow) override;
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font,
                        TColor background, TAlignment alignment, const QString& text) override;
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
    enum class RowKind { Title, Record, Footer };
    void WriteRowDefinition(const TColumnsEhList& columns, RowKind kind, int footerRow);
    void WriteCell(TAlignment alignment, const TFontEh& font, TColor background, const QString& text);

    std::unique_ptr<TMemoryStreamEh> fBodyStream;
    std::unique_ptr<TRtfColorTableEh> fColorTable;
    std::unique_ptr<TRtfFontTableEh> fFontTable;
};
