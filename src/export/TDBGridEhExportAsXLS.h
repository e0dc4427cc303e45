#pragma once
// An Excel worksheet as a plain stream of BIFF records: BOF, the code page, one cell record per
// exported cell placed left to right and top to bottom, EOF. No formatting is written.

#include "TByteWriterEh.h"
#include "TDBGridEhExport.h"

// Rows a worksheet holds (16-bit row numbers).
constexpr qint64 kXlsMaxRows = 65536;
// Text bytes a LABEL record holds: its 16-bit length field counts 8 bytes before the text.
constexpr qsizetype kXlsMaxLabelBytes = 65535 - 8;
// Integers the RK record holds: 30 bits survive the shift by two.
constexpr qint64 kXlsMinRk = -536870912;
constexpr qint64 kXlsMaxRk = 536870911;
constexpr bool FitsXlsRk(qint64 v)
{
    return v >= kXlsMinRk && v <= kXlsMaxRk;
}

// Worksheet start (BIFF version field 0, substream 0010).
void WriteXlsBof(TByteWriterEh& w);
// Code page 1251, right after BOF, so that readers decode LABEL text as windows-1251.
void WriteXlsCodepage(TByteWriterEh& w);
// Text in windows-1251, cut to the bytes a record holds.
void WriteXlsLabel(TByteWriterEh& w, quint16 row, quint16 col, QStringView text);
// The same for a UTF-8 text.
void WriteXlsLabelUtf8(TByteWriterEh& w, quint16 row, quint16 col, QByteArrayView utf8);
void WriteXlsNumber(TByteWriterEh& w, quint16 row, quint16 col, double value);
// An integer within the RK range, as v * 4 + 2.
void WriteXlsRk(TByteWriterEh& w, quint16 row, quint16 col, qint32 value);
// An empty cell (XF index 17 hex).
void WriteXlsBlank(TByteWriterEh& w, quint16 row, quint16 col);
void WriteXlsEof(TByteWriterEh& w);

class TDBGridEhExportAsXLS : public TDBGridEhExport
{
public:
    void BeginDocument() override;
    void EndDocument() override;
    void EmitTitleRow(const TColumnsEhList& columns) override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    TCellParamsUse Utf8CellParamsUse() const override { return TCellParamsUse::None; }
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                        TAlignment alignment, const QString& text) override;
    void WriteToStream(QIODevice* stream, bool exportAll) override;

    // One cell record at the next position each.
    void WriteBlankCell();
    void WriteNumberCell(double value);
    // An RK record, or a NUMBER holding the exact value outside the RK range.
    void WriteIntegerCell(qint64 value);
    void WriteLabelCell(const QString& text);

protected:
    // Next cell: left to right, then the first column of the next row.
    void AdvanceCell();

    quint16 CellCol = 0;
    quint16 CellRow = 0;
};
