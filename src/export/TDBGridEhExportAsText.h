#pragma once
// Tab-separated text and CSV: lines separated by CR LF (none after the last), values by TAB or by
// the CSV separator. CSV puts every value in double quotes.

#include "TDBGridEhExport.h"

#include <QStringView>

// The CSV form of a value: in double quotes, every double quote inside doubled; nothing else is
// changed (separators, CR, LF and TAB stay as they are, inside the quotes).
void WriteCsvQuoted(TByteWriterEh& w, QStringView value);
void WriteCsvQuotedUtf8(TByteWriterEh& w, QByteArrayView utf8);

// The separator each CSV exporter takes when it is made (a semicolon unless changed).
extern char DefaultCsvSeparator;

class TDBGridEhExportAsText : public TDBGridEhExport
{
public:
    void BeginDocument() override;
    void EndDocument() override;
    void EmitTitleRow(const TColumnsEhList& columns) override;
    void EmitDataRow(const TColumnsEhList& columns) override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    TCellParamsUse Utf8CellParamsUse() const override { return TCellParamsUse::None; }
    void EmitFooterRow(const TColumnsEhList& columns, int footerRow) override;
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                        TAlignment alignment, const QString& text) override;
    void WriteToStream(QIODevice* stream, bool exportAll) override;

    // A line break before every line but the first.
    virtual void StartLine();
    // A separator before every cell but the first of its line.
    virtual void StartCell();

protected:
    bool NeedLineBreak = false;
    bool NeedSeparator = false;
};

class TDBGridEhExportAsCSV : public TDBGridEhExportAsText
{
public:
    TDBGridEhExportAsCSV();

    void EmitTitleRow(const TColumnsEhList& columns) override;
    void EmitDataCell(TColumnEh* column, TColCellParamsEh& params) override;
    void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8) override;
    void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                        TAlignment alignment, const QString& text) override;
    void StartCell() override;

protected:
    char FieldSeparator;
};
