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

// Whether two fonts reach a format writer alike: every property ResolveFont reads.
inline bool SameExportFont(const TFontEh& a, const TFontEh& b)
{
    return a == b && a.PixelsPerInch == b.PixelsPerInch;
}

// The colour value that means "no colour" (not resolved, written as black).
constexpr quint32 kExportColorNone = clNone;

// Progress of an export: records written so far and records in all. Called before the first
// record, after every kExportProgressStep records and after the last; returning false stops the
// export (an abort, which the window does not report).
using TExportProgressEh = std::function<bool(qint64 done, qint64 total)>;
constexpr qint64 kExportProgressStep = 4096;

// Footer totals as Currency values: 64-bit integers counting ten-thousandths.
using TFooterValues = std::vector<qint64>;

// What a worksheet cell of a data column holds: nothing (no field, or a null value), the display
// text (pick lists and every other type), or a number read from the stored value.
enum class TSheetCellKindEh
{
    Empty,
    Text,
    Integer,
    LargeInteger,
    Float
};
TSheetCellKindEh SheetCellKindEh(const TColumnEh* column);

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
    // A data cell whose text is the field's stored UTF-8 as it stands (no handler could change
    // it); params.Text is empty. Formats that write the bytes directly override it; the base
    // makes the text and calls EmitDataCell.
    virtual void EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8);
    // What EmitDataCellUtf8 reads of params: everything, only the look (font, background,
    // alignment), or nothing. Such cells have no handler to see params, so the rest is not
    // gathered for them.
    enum class TCellParamsUse
    {
        All,
        Look,
        None
    };
    virtual TCellParamsUse Utf8CellParamsUse() const { return TCellParamsUse::All; }
    virtual void EmitFooterRow(const TColumnsEhList& columns, int footerRow);
    virtual void EmitFooterCell(int dataCol, int row, TColumnEh* column, const TFontEh& font, TColor background,
                                TAlignment alignment, const QString& text);
    // The walk over the grid's rows and columns: the whole grid with exportAll, else the grid's
    // selection (nothing at all for no selection).
    virtual void WriteToStream(QIODevice* stream, bool exportAll);
    // Writes the file anew; a failed export leaves the old file (if any) as it was.
    virtual void WriteToFile(const QString& fileName, bool exportAll);

protected:
    TColCellParamsEh& CellParams() { return *fCellParams; }
    // The column list of the running export.
    const TColumnsEhList& ExportColumns() const { return *fExportColumns; }
    QIODevice* OutStream() const { return fOutStream; }
    // The file being written by WriteToFile, absolute; empty while writing to a plain stream.
    const QString& TargetFileName() const { return fTargetFileName; }
    TByteWriterEh& Out() { return fOut; }
    TFooterValues& FooterTotals() { return fFooterTotals; }
    // The total of footer row r for export column c.
    qint64 FooterTotal(int footerRow, int col) const;
    // Records the running export writes (known before BeginDocument).
    qint64 RecordsInAll() const { return fRecordsInAll; }

    // A colour resolved for writing: system colours become the desktop's colours at the time of
    // the export (looked up once per export, as the desktop cannot change during one).
    quint32 ResolveColor(TColor color);
    // Starts resolving system colours afresh (each export does, before its first colour).
    void ForgetResolvedColors() { fResolvedColors.clear(); }
    // A font as the format writers read it, its colour resolved.
    TExportFontEh ResolveFont(const TFontEh& font);

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
    void RectangleRows(QByteArray& top, QByteArray& bottom) const;
    qint64 CountRectangleRecords(const QByteArray& top, const QByteArray& bottom) const;
    void RecordDone();
    void ReportProgress();

    std::unique_ptr<TColCellParamsEh> fCellParams;
    TCustomDBGridEh* fSourceGrid = nullptr;
    const TColumnsEhList* fExportColumns = nullptr;
    QIODevice* fOutStream = nullptr;
    QString fTargetFileName;
    TFooterValues fFooterTotals;
    TByteWriterEh fOut;
    TExportProgressEh fProgress;
    // Per export column: whether its text is the field's own (CellTextIsFieldText), looked at
    // again whenever code outside the export (the progress callback) may have changed it.
    std::vector<char> fUtf8Columns;
    const TColumnsEhList* fUtf8ColumnsOf = nullptr;
    bool fUtf8ColumnsKnown = false;
    std::vector<std::pair<TColor, quint32>> fResolvedColors;
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
void ExportGridToStream(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, QIODevice* stream, bool exportAll,
                        const TExportProgressEh& progress = {});
void ExportGridToFile(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, const QString& fileName, bool exportAll,
                      const TExportProgressEh& progress = {});
