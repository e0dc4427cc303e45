#include "TDBGridEhExport.h"

#include "Exception.h"
#include "TCustomDBGridEh.h"
#include "TDBGridEhSelection.h"
#include "TSafeFileWriterEh.h"
#include "TScopeExit.h"

#include <QFileInfo>

#include <cmath>
#include <utility>

TSheetCellKindEh SheetCellKindEh(const TColumnEh* column)
{
    const TField* field = column->Field();
    if (!field)
        return TSheetCellKindEh::Empty;
    if (column->CellKind() == ctKeyPickList)
        return TSheetCellKindEh::Text;
    if (field->IsBlank())
        return TSheetCellKindEh::Empty;
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return TSheetCellKindEh::Integer;
    case ftLargeint:
        return TSheetCellKindEh::LargeInteger;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        return TSheetCellKindEh::Float;
    default:
        return TSheetCellKindEh::Text;
    }
}

TDBGridEhExport::TDBGridEhExport() : fCellParams(std::make_unique<TColCellParamsEh>()) {}

TDBGridEhExport::~TDBGridEhExport() = default;

quint32 TDBGridEhExport::ResolveColor(TColor color)
{
    if (!IsSystemColor(color))
        return color;
    for (const auto& [system, rgb] : fResolvedColors)
        if (system == color)
            return rgb;
    const quint32 rgb = ColorToRGB(color);
    fResolvedColors.emplace_back(color, rgb);
    return rgb;
}

TExportFontEh TDBGridEhExport::ResolveFont(const TFontEh& font)
{
    TExportFontEh f;
    f.Name = font.Name;
    f.Size = font.Size();
    f.Rgb = ResolveColor(font.Color);
    f.Bold = font.Style.Contains(fsBold);
    f.Italic = font.Style.Contains(fsItalic);
    f.Underline = font.Style.Contains(fsUnderline);
    f.StrikeOut = font.Style.Contains(fsStrikeOut);
    return f;
}

void TDBGridEhExport::BeginDocument() {}

void TDBGridEhExport::EndDocument() {}

void TDBGridEhExport::EmitTitleRow(const TColumnsEhList& /*columns*/) {}

void TDBGridEhExport::EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& /*params*/) {}

void TDBGridEhExport::EmitDataCellUtf8(TColumnEh* column, TColCellParamsEh& params, QByteArrayView utf8)
{
    if (!utf8.isEmpty())
        params.Text = QString::fromUtf8(utf8);
    EmitDataCell(column, params);
}

void TDBGridEhExport::EmitFooterCell(int /*dataCol*/, int /*row*/, TColumnEh* /*column*/, const TFontEh& /*font*/,
                                     TColor /*background*/, TAlignment /*alignment*/, const QString& /*text*/)
{
}

void TDBGridEhExport::EmitDataRow(const TColumnsEhList& columns)
{
    // The cell parameters as painting gathers them, except that the font is a copy of the
    // column's and the grid-level handler's background wins over the column handler's.
    TCustomDBGridEh* grid = fSourceGrid;
    TColCellParamsEh& params = *fCellParams;
    TFontEh rowFont;
    // The row's font dies with the row.
    TScopeExit reset([&params] { params.Font = nullptr; });
    // With no handler anywhere in the row to see or change a cell, a text the engine keeps as
    // UTF-8 goes to the format as it stands (no QString per cell), with only the parameters the
    // format reads.
    bool handlers = bool(grid->OnGetCellParams);
    for (const TColumnEh* column : columns)
        handlers = handlers || bool(column->OnGetCellParams);
    if (!handlers
        && (!fUtf8ColumnsKnown || fUtf8ColumnsOf != &columns || fUtf8Columns.size() != std::size_t(columns.Count()))) {
        fUtf8Columns.resize(std::size_t(columns.Count()));
        for (int i = 0; i < columns.Count(); ++i)
            fUtf8Columns[std::size_t(i)] = columns[i]->CellTextIsFieldText();
        fUtf8ColumnsOf = &columns;
        fUtf8ColumnsKnown = true;
    }
    const TCellParamsUse use = Utf8CellParamsUse();
    for (int i = 0; i < columns.Count(); ++i) {
        TColumnEh* column = columns[i];
        QByteArrayView utf8;
        const TField* field = handlers || !fUtf8Columns[std::size_t(i)] ? nullptr : column->Field();
        if (field && field->DisplayTextUtf8(utf8)) {
            params.Text = QString();
            if (use != TCellParamsUse::None) {
                rowFont = column->Font();
                params.Font = &rowFont;
                params.Background = column->Color();
                params.Alignment = column->Alignment();
            }
            if (use == TCellParamsUse::All) {
                params.Row = -1;
                params.Col = -1;
                params.State = TGridDrawState();
                params.ImageIndex = column->GetCellImageIndex();
                params.BoxState = column->GetCellCheckState();
            }
            EmitDataCellUtf8(column, params, utf8);
            continue;
        }
        rowFont = column->Font();
        const TColor color = column->Color();
        params.Row = -1;
        params.Col = -1;
        params.State = TGridDrawState();
        params.Font = &rowFont;
        params.Background = color;
        params.Alignment = column->Alignment();
        params.ImageIndex = column->GetCellImageIndex();
        params.Text = column->CellDisplayText();
        params.BoxState = column->GetCellCheckState();
        TColor background = color;
        if (grid->OnGetCellParams)
            grid->OnGetCellParams(grid, column, rowFont, background, TGridDrawState());
        column->FireColumnCellParams(false, params);
        params.Background = background;
        EmitDataCell(column, params);
    }
}

void TDBGridEhExport::EmitFooterRow(const TColumnsEhList& columns, int footerRow)
{
    TCustomDBGridEh* grid = fSourceGrid;
    TFontEh font;
    for (int p = 0; p < columns.Count(); ++p) {
        TColumnEh* column = columns[p];
        const TColumnFooterEh* footer = column->UsedFooter(footerRow);
        font = footer->Font();
        TColor background = footer->Color();
        TAlignment alignment = footer->Alignment();
        QString text = FooterText(footerRow, p);
        if (grid->OnGetFooterParams)
            grid->OnGetFooterParams(grid, column->Index(), footerRow, column, font, background, alignment,
                                    TGridDrawState(), text);
        EmitFooterCell(p, footerRow, column, font, background, alignment, text);
    }
}

QString TDBGridEhExport::FooterText(int footerRow, int col) const
{
    TColumnEh* column = (*fExportColumns)[col];
    const TFooterValueType kind = column->UsedFooter(footerRow)->ValueType();
    if (kind == fvtSum || kind == fvtCount)
        return FormatFooterTotal(footerRow, col);
    return fSourceGrid->FooterCellText(footerRow, column);
}

TField* TDBGridEhExport::FooterField(TColumnEh* column, int footerRow) const
{
    const TDataSet* dataSet = fSourceGrid->DataSet();
    if (!dataSet)
        return nullptr;
    const QString& name = column->UsedFooter(footerRow)->FieldName();
    return dataSet->FieldNamed(name.isEmpty() ? column->FieldName() : name);
}

qint64 TDBGridEhExport::FooterTotal(int footerRow, int col) const
{
    const std::size_t i = std::size_t(col) + std::size_t(footerRow) * std::size_t(fExportColumns->Count());
    return i < fFooterTotals.size() ? fFooterTotals[i] : 0;
}

void TDBGridEhExport::SizeFooterTotals()
{
    fFooterTotals.assign(std::size_t(std::max(0, fSourceGrid->FooterRowCount())) * std::size_t(fExportColumns->Count()),
                         0);
}

void TDBGridEhExport::AccumulateFooters()
{
    const int rows = fSourceGrid->FooterRowCount();
    const int count = fExportColumns->Count();
    for (int r = 0; r < rows; ++r) {
        for (int c = 0; c < count; ++c) {
            TColumnEh* column = (*fExportColumns)[c];
            const TFooterValueType kind = column->UsedFooter(r)->ValueType();
            if (kind != fvtSum && kind != fvtCount)
                continue;
            const TField* field = FooterField(column, r);
            if (!field)
                continue;
            qint64& total = fFooterTotals[std::size_t(c + r * count)];
            if (kind == fvtCount) {
                total += 10000;
            } else if (!field->IsBlank()) {
                // Currency arithmetic: the sum in ten-thousandths, rounded half to even.
                total = std::llrint(static_cast<long double>(field->AsFloat()) * 10000.0L
                                    + static_cast<long double>(total));
            }
        }
    }
}

namespace {

// A Currency value in plain decimal: up to four decimals, trailing zeros dropped.
QString CurrencyText(qint64 total)
{
    const bool negative = total < 0;
    const quint64 magnitude = negative ? 0 - quint64(total) : quint64(total);
    QString text = QString::number(magnitude / 10000);
    quint64 fraction = magnitude % 10000;
    if (fraction != 0) {
        QString digits = QStringLiteral("%1").arg(fraction, 4, 10, QLatin1Char('0'));
        while (digits.endsWith(u'0'))
            digits.chop(1);
        text += u'.' + digits;
    }
    return negative ? u'-' + text : text;
}

} // namespace

QString TDBGridEhExport::FormatFooterTotal(int footerRow, int col) const
{
    TColumnEh* column = (*fExportColumns)[col];
    const qint64 total = FooterTotal(footerRow, col);
    const double value = double(total) / 10000.0;
    switch (column->UsedFooter(footerRow)->ValueType()) {
    case fvtCount:
        return QString::number(value, 'g', 15);
    case fvtSum:
        break;
    default:
        return QString();
    }
    const TField* field = FooterField(column, footerRow);
    if (!field)
        return QString();
    // Our fields carry no display format, currency flag or precision: the plain forms apply.
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
        return QString::number(std::llrint(static_cast<long double>(total) / 10000.0L));
    case ftFloat:
    case ftCurrency:
        return QString::number(value, 'g', 15);
    case ftBCD:
    case ftFMTBcd:
        return CurrencyText(total);
    default:
        return QString();
    }
}

void TDBGridEhExport::WriteToStream(QIODevice* stream, bool exportAll)
{
    fOutStream = stream;
    fOut.SetDevice(stream);
    ForgetResolvedColors();
    TCustomDBGridEh* grid = fSourceGrid;
    if (!grid)
        throw Exception(QStringLiteral("Нет таблицы для выгрузки"));
    const TDBGridEhSelectionType kind = exportAll ? gstAll : grid->Selection().SelectionType();
    if (kind == gstNon)
        return;
    TDataSet* dataSet = grid->DataSet();
    if (!dataSet)
        throw EDatabaseError(QStringLiteral("Cannot perform this operation on a closed dataset"));

    {
        dataSet->SuspendNotify();
        TScopeExit resume([this, dataSet] {
            dataSet->ResumeNotify();
            fExportColumns = nullptr;
        });
        grid->SaveCursorPosition();
        {
            bool walked = false;
            TScopeExit restoreAfterFailure([this, grid, &walked] {
                if (walked)
                    return;
                // What was written so far reaches the stream, as an unterminated document.
                fOut.FlushQuietly();
                // The walk's failure is the one reported.
                try {
                    grid->RestoreCursorPosition();
                } catch (...) {
                }
            });
            Walk(kind);
            walked = true;
        }
        // After a complete walk a failure to come back is the export's failure.
        grid->RestoreCursorPosition();
    }
    EndDocument();
    fOut.Flush();
}

void TDBGridEhExport::Walk(int kindValue)
{
    const auto kind = TDBGridEhSelectionType(kindValue);
    TCustomDBGridEh* grid = fSourceGrid;
    TDataSet* dataSet = grid->DataSet();
    TDBGridEhSelection& selection = grid->Selection();
    const bool titles = grid->Options().Contains(dgTitles);
    fRecordsDone = 0;
    fUtf8ColumnsKnown = false;

    switch (kind) {
    case gstAll:
    case gstColumns: {
        const TColumnsEhList& columns = kind == gstAll ? grid->VisibleColumnList() : selection.Columns();
        fExportColumns = &columns;
        SizeFooterTotals();
        fRecordsInAll = dataSet->RecordCount();
        ReportProgress();
        BeginDocument();
        if (titles)
            EmitTitleRow(columns);
        dataSet->MoveFirst();
        while (!dataSet->AtEnd()) {
            EmitDataRow(columns);
            AccumulateFooters();
            RecordDone();
            dataSet->MoveNext();
        }
        EmitFooterRows(columns);
        break;
    }
    case gstRecordBookmarks: {
        const TColumnsEhList& columns = grid->VisibleColumnList();
        fExportColumns = &columns;
        SizeFooterTotals();
        const TBookmarkListEh& rows = selection.Rows();
        fRecordsInAll = rows.Count();
        ReportProgress();
        BeginDocument();
        if (titles)
            EmitTitleRow(columns);
        for (int i = 0; i < rows.Count(); ++i) {
            dataSet->SetBookmark(rows.Items(i));
            AccumulateFooters();
            EmitDataRow(columns);
            RecordDone();
        }
        EmitFooterRows(columns);
        break;
    }
    case gstRectangle: {
        const TDBGridEhSelectionRect& rect = selection.Rect();
        TColumnsEhList columns;
        const int last = std::min(rect.RightCol(), grid->Columns().Count() - 1);
        for (int i = std::max(0, rect.LeftCol()); i <= last; ++i)
            if (grid->Columns()[i]->Visible())
                columns.Add(grid->Columns()[i]);
        fExportColumns = &columns;
        SizeFooterTotals();
        QByteArray top;
        QByteArray bottom;
        RectangleRows(top, bottom);
        fRecordsInAll = CountRectangleRecords(top, bottom);
        ReportProgress();
        BeginDocument();
        if (titles)
            EmitTitleRow(columns);
        dataSet->SetBookmark(top);
        for (;;) {
            EmitDataRow(columns);
            AccumulateFooters();
            RecordDone();
            if (dataSet->BookmarkOrder(bottom, dataSet->Bookmark()) == 0)
                break;
            dataSet->MoveNext();
            if (dataSet->AtEnd())
                break;
        }
        EmitFooterRows(columns);
        // The list dies with this scope: the walk is over.
        fExportColumns = nullptr;
        break;
    }
    case gstNon:
        break;
    }
    if (fProgress && fRecordsDone % kExportProgressStep != 0)
        ReportProgress();
}

// A record deleted since the rectangle was made orders before every other one: the row still
// there starts the walk, which then runs to the end.
void TDBGridEhExport::RectangleRows(QByteArray& top, QByteArray& bottom) const
{
    const TDBGridEhSelectionRect& rect = fSourceGrid->Selection().Rect();
    top = rect.TopRow();
    bottom = rect.GetBottomRow();
    if (!fSourceGrid->DataSet()->BookmarkValid(top))
        std::swap(top, bottom);
}

qint64 TDBGridEhExport::CountRectangleRecords(const QByteArray& top, const QByteArray& bottom) const
{
    TDataSet* dataSet = fSourceGrid->DataSet();
    dataSet->SetBookmark(top);
    const qint64 first = dataSet->RecordNumber();
    qint64 last = dataSet->RecordCount();
    if (dataSet->BookmarkValid(bottom) && dataSet->BookmarkOrder(top, bottom) <= 0) {
        dataSet->SetBookmark(bottom);
        last = dataSet->RecordNumber();
    }
    return std::max<qint64>(1, last - first + 1);
}

void TDBGridEhExport::EmitFooterRows(const TColumnsEhList& columns)
{
    const int rows = fSourceGrid->FooterRowCount();
    for (int r = 0; r < rows; ++r)
        EmitFooterRow(columns, r);
}

void TDBGridEhExport::RecordDone()
{
    ++fRecordsDone;
    if (fProgress && fRecordsDone % kExportProgressStep == 0)
        ReportProgress();
}

void TDBGridEhExport::ReportProgress()
{
    if (!fProgress)
        return;
    // The callback may change the grid: look at the columns afresh after it.
    fUtf8ColumnsKnown = false;
    if (!fProgress(fRecordsDone, fRecordsInAll))
        throw EAbort();
}

void TDBGridEhExport::WriteToFile(const QString& fileName, bool exportAll)
{
    // The old file is replaced only by a complete export; a refused, cancelled or failed one
    // leaves it as it was.
    TSafeFileWriterEh file(fileName);
    fTargetFileName = QFileInfo(fileName).absoluteFilePath();
    TScopeExit forget([&] { fTargetFileName.clear(); });
    try {
        WriteToStream(file.Device(), exportAll);
    } catch (const Exception&) {
        // A write that failed is told with the file's name and the system's reason.
        if (file.WriteFailed())
            throw Exception(file.WriteFailure());
        throw;
    }
    file.Commit();
}

void ExportGridToStream(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, QIODevice* stream, bool exportAll,
                        const TExportProgressEh& progress)
{
    const std::unique_ptr<TDBGridEhExport> exporter = exportClass();
    exporter->SetSourceGrid(grid);
    exporter->SetProgress(progress);
    exporter->WriteToStream(stream, exportAll);
}

void ExportGridToFile(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, const QString& fileName, bool exportAll,
                      const TExportProgressEh& progress)
{
    const std::unique_ptr<TDBGridEhExport> exporter = exportClass();
    exporter->SetSourceGrid(grid);
    exporter->SetProgress(progress);
    exporter->WriteToFile(fileName, exportAll);
}
