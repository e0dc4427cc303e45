#pragma once
// The export framework: which rows and columns of a grid are written, in which order, when the
// title and footer rows come, how each cell's text, font, colours and alignment are gathered, and
// how the record set's cursor is moved and put back. Each format derives from TDBGridEhExport and
// overrides the writing operations; everything goes out through one buffered byte writer.

#include "TByteWriterEh.h"
#include "TColumnEh.h"
#include "TFontEh.h"

#include <QIODevice>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

class TCustomDBGridEh;
class TDataSet;

// A font as a format writer needs it: face, whole points, colour already resolved to RGB (red in
// the lowest byte), and the four styles.
struct TExportFontEh
{
    QString Name;
    int Size = 8;
    quint32 Rgb = 0;
    bool Bold = false;
    bool Italic = false;
    bool Underline = false;
    bool StrikeOut = false;
};

// The colour value that means "no colour" (not resolved, written as black).
constexpr quint32 kExportColorNone = clNone;

TExportFontEh ExportFont(const TFontEh& font);
// A colour resolved for writing: system colours become the desktop's current ones.
quint32 ExportColor(TColor color);

// Progress of an export: records written so far and records in all. Called before the first
// record, after every kExportProgressStep records and after the last; returning false stops the
// export (an abort, which the window does not report).
using TExportProgressEh = std::function<bool(qint64 done, qint64 total)>;
constexpr qint64 kExportProgressStep = 4096;

// Footer totals as Currency values: 64-bit integers counting ten-thousandths.
using TFooterValues = std::vector<qint64>;

class TDBGridEhExport
{
public:
    TDBGridEhExport();
    virtual ~TDBGridEhExport();
    TDBGridEhExport(const TDBGridEhExport&) = delete;
    TDBGridEhExport& operator=(const TDBGridEhExport&) = delete;

    TCustomDBGridEh* SourceGrid() const { return fSourceGrid; }
    void SetSourceGrid(TCustomDBGridEh* grid) { fSourceGrid = grid; }
    void SetProgress(TExportProgressEh progress) { fProgress = std::move(progress); }

    // The writing operations, in this order in every format.
    virtual void BeginDocument();
    virtual void EndDocument();
    virtual void EmitTitleRow(const TColumnsEhList& columns);
    virtual void EmitDataRow(const TColumnsEhList& columns);
    virtual void EmitDataCell(TColumnEh* column, TColCellParamsEh& params);
    virtual void EmitFooterRow(const TColumnsEhList& columns, int footerRow);
    virtual void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font,
                                TColor background, TAlignment alignment, const QString& text);
    // The walk over the grid's rows and columns: the whole grid with exportAll, else the grid's
    // selection (nothing at all for no selection).
    virtual void WriteToStream(QIODevice* stream, bool exportAll);
    // Creates or truncates the file and writes it; a failed export leaves what was written.
    virtual void WriteToFile(const QString& fileName, bool exportAll);

protected:
    TColCellParamsEh& CellParams() { return *fCellParams; }
    // The column list of the running export.
    const TColumnsEhList& ExportColumns() const { return *fExportColumns; }
    QIODevice* OutStream() const { return fOutStream; }
    TByteWriterEh& Out() { return fOut; }
    TFooterValues& FooterTotals() { return fFooterTotals; }
    // The total of footer row r for export column c.
    qint64 FooterTotal(int footerRow, int col) const;
    // Records the running export writes (known before BeginDocument).
    qint64 RecordsInAll() const { return fRecordsInAll; }

    void AccumulateFooters();
    QString FormatFooterTotal(int footerRow, int col) const;
    // The text of footer cell (r, position p) as the footer pass computes it.
    QString FooterText(int footerRow, int col) const;

    // The field that footer row r of a column adds up: the footer's FieldName, or the column's.
    TField* FooterField(TColumnEh* column, int footerRow) const;

private:
    void Walk(int kind);
    void SizeFooterTotals();
    void EmitFooterRows(const TColumnsEhList& columns);
    qint64 CountRectangleRecords() const;
    void RecordDone();
    void ReportProgress();

    std::unique_ptr<TColCellParamsEh> fCellParams;
    TCustomDBGridEh* fSourceGrid = nullptr;
    const TColumnsEhList* fExportColumns = nullptr;
    QIODevice* fOutStream = nullptr;
    TFooterValues fFooterTotals;
    TByteWriterEh fOut;
    TExportProgressEh fProgress;
    qint64 fRecordsInAll = 0;
    qint64 fRecordsDone = 0;
};

// An exporter class: makes an exporter of the class it stands for.
using TDBGridEhExportClass = std::unique_ptr<TDBGridEhExport> (*)();
template <class T>
std::unique_ptr<TDBGridEhExport> ExportClassEh()
{
    return std::make_unique<T>();
}

// Make an exporter of the class, bind it to the grid, write, destroy it (also on failure).
void ExportGridToStream(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, QIODevice* stream,
                        bool exportAll, const TExportProgressEh& progress = {});
void ExportGridToFile(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid,
                      const QString& fileName, bool exportAll,
                      const TExportProgressEh& progress = {});
