#include "TDBGridEhClipboard.h"

#include "TByteWriterEh.h"
#include "TCustomDBGridEh.h"
#include "TDBGridEhClipboardData.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsVCLDBIF.h"
#include "TDBGridEhImport.h"
#include "TDBGridEhSelection.h"
#include "TMemoryStreamEh.h"
#include "TScopeExit.h"

#include <QApplication>
#include <QClipboard>
#include <QMessageBox>
#include <QMimeData>
#include <QStringDecoder>

#include <memory>

QString InternalClipboardFormat;
QString CsvClipboardFormat;
QString RtfClipboardFormat;

namespace {

bool ShowConfirmBox(const QString& question)
{
    QMessageBox box(QMessageBox::Question, QStringLiteral("Confirm"), question, QMessageBox::Ok | QMessageBox::Cancel,
                    QApplication::activeWindow());
    box.setEscapeButton(QMessageBox::Cancel);
    return box.exec() == QMessageBox::Ok;
}

TConfirmEh& ConfirmHook()
{
    static TConfirmEh hook = ShowConfirmBox;
    return hook;
}

void ExportInto(TDBGridEhExportClass exportClass, TCustomDBGridEh* grid, bool wholeGrid, TMemoryStreamEh& stream,
                const TExportProgressEh& progress, bool terminate)
{
    stream.Clear();
    stream.open(QIODevice::ReadWrite);
    ExportGridToStream(exportClass, grid, &stream, wholeGrid, progress);
    if (terminate)
        stream.Write("", 1);
}

// The field whose value stands for a column's cell: for a lookup field, the key it looks up by.
TField* ValueField(TColumnEh* column)
{
    TField* field = column->Field();
    if (field && field->FieldKind == fkLookup)
        field = field->DataSet()->FieldNamed(field->KeyFields);
    return field;
}

void ClearCells(const std::vector<TColumnEh*>& columns)
{
    for (TColumnEh* column : columns) {
        if (column->ReadOnly())
            continue;
        TField* field = ValueField(column);
        if (!field || !field->DataSet()->CanModify())
            continue;
        TDataSet* ds = field->DataSet();
        ds->Edit();
        if (ds->CursorState() == dsEdit || ds->CursorState() == dsInsert)
            field->Clear();
    }
}

} // namespace

void RegisterClipboardFormatsEh()
{
    InternalClipboardFormat = QStringLiteral("VCLDBIF");
    CsvClipboardFormat = QStringLiteral("Csv");
    RtfClipboardFormat = QStringLiteral("Rich Text Format");
    TCustomDBGridEh::SetEditActionHandler([](TCustomDBGridEh* grid, TDBGridEhEditAction action) {
        switch (action) {
        case geaCopyEh:
            CopyGridData(grid, false);
            break;
        case geaCutEh:
            // What cannot be deleted is copied and stays.
            CopyGridData(grid, false);
            if (grid->SelectionCanBeDeleted())
                DeleteGridData(grid, false);
            break;
        case geaPasteEh:
            if (CanPasteGridData(grid, QGuiApplication::clipboard()->mimeData()))
                PasteGridData(grid, false);
            break;
        case geaDeleteEh:
            DeleteGridData(grid, false);
            break;
        case geaSelectAllEh:
            break;
        }
    });
}

QString WindowsMimeTypeEh(const QString& formatName)
{
    return QStringLiteral("application/x-qt-windows-mime;value=\"") + formatName + u'"';
}

bool RunsOnNTFamily()
{
    return true;
}

void SetConfirmEh(TConfirmEh confirm)
{
    ConfirmHook() = confirm ? std::move(confirm) : TConfirmEh(ShowConfirmBox);
}

bool ConfirmEh(const QString& question)
{
    return ConfirmHook()(question);
}

std::unique_ptr<QMimeData> BuildGridClipboardDataEh(TCustomDBGridEh* grid, bool wholeGrid,
                                                    const TExportProgressEh& progress)
{
    if (InternalClipboardFormat.isEmpty())
        RegisterClipboardFormatsEh();
    auto mime = std::make_unique<QMimeData>();
    TDataSet* dataSet = grid->DataSet();
    if (dataSet)
        dataSet->SuspendNotify();
    TScopeExit resume([dataSet] {
        if (dataSet)
            dataSet->ResumeNotify();
    });
    TMemoryStreamEh stream;
    stream.SetHalfGrowthStep(65536);

    // Unicode text: the text export's windows-1251 bytes, converted. The terminating zero the
    // desktop clipboard needs is added by Qt where it is needed.
    ExportInto(&ExportClassEh<TDBGridEhExportAsText>, grid, wholeGrid, stream, progress, true);
    if (RunsOnNTFamily()) {
        QStringDecoder ansi("windows-1251");
        QString text = ansi.decode(stream.View());
        if (text.endsWith(QChar(0)))
            text.chop(1);
        mime->setText(text);
    }

    ExportInto(&ExportClassEh<TDBGridEhExportAsCSV>, grid, wholeGrid, stream, progress, true);
    mime->setData(WindowsMimeTypeEh(CsvClipboardFormat), stream.Bytes());
    // Linux programs read text/csv without a charset as UTF-8.
    mime->setData(QStringLiteral("text/csv"),
                  QString(QStringDecoder("windows-1251").decode(stream.Bytes().chopped(1))).toUtf8());

    ExportInto(&ExportClassEh<TDBGridEhExportAsRTF>, grid, wholeGrid, stream, progress, true);
    mime->setData(WindowsMimeTypeEh(RtfClipboardFormat), stream.Bytes());
    const QByteArray rtf = stream.Bytes().chopped(1);
    mime->setData(QStringLiteral("text/rtf"), rtf);
    mime->setData(QStringLiteral("text/richtext"), rtf);

    ExportInto(&ExportClassEh<TDBGridEhExportAsVCLDBIF>, grid, wholeGrid, stream, progress, false);
    mime->setData(WindowsMimeTypeEh(InternalClipboardFormat), stream.Bytes());
    stream.Clear();
    return mime;
}

std::unique_ptr<QMimeData> GridClipboardDataEh(TCustomDBGridEh* grid, bool wholeGrid, const TExportProgressEh& progress)
{
    if (InternalClipboardFormat.isEmpty())
        RegisterClipboardFormatsEh();
    // The copy keeps the rows; the representations are written when a program asks for them.
    std::unique_ptr<TGridSnapshotEh> snapshot = TGridSnapshotEh::Take(grid, wholeGrid, progress);
    if (!snapshot)
        return BuildGridClipboardDataEh(grid, wholeGrid, progress);
    return std::make_unique<TDBGridEhClipboardData>(std::move(snapshot));
}

void CopyGridData(TCustomDBGridEh* grid, bool wholeGrid, const TExportProgressEh& progress)
{
    // The clipboard takes the data over.
    QGuiApplication::clipboard()->setMimeData(GridClipboardDataEh(grid, wholeGrid, progress).release());
}

void CutGridData(TCustomDBGridEh* grid, bool wholeGrid)
{
    CopyGridData(grid, wholeGrid);
    DeleteGridData(grid, wholeGrid);
}

void DeleteGridData(TCustomDBGridEh* grid, bool wholeGrid)
{
    TDBGridEhSelection& selection = grid->Selection();
    const TDBGridEhSelectionType kind = wholeGrid ? gstAll : selection.SelectionType();
    TDataSet* ds = grid->DataSet();
    if (kind == gstNon || !ds)
        return;
    if (grid->Options().Contains(dgConfirmDelete)) {
        QString question;
        if (kind == gstRecordBookmarks)
            question = selection.Rows().Count() <= 1 ? QStringLiteral("Delete record?")
                                                     : QStringLiteral("Delete all selected records?");
        else if (kind == gstRectangle)
            question = QStringLiteral("Clear selected cells?");
        if (!question.isEmpty() && !ConfirmEh(question))
            return;
    }
    grid->SaveCursorPosition();
    ds->SuspendNotify();
    TScopeExit resume([ds] { ds->ResumeNotify(); });
    switch (kind) {
    case gstRecordBookmarks: {
        const std::vector<QByteArray> rows = [&] {
            std::vector<QByteArray> list;
            for (int i = 0; i < selection.Rows().Count(); ++i)
                list.push_back(selection.Rows().Items(i));
            return list;
        }();
        for (const QByteArray& bookmark : rows) {
            ds->SetBookmark(bookmark);
            ds->Delete();
        }
        selection.Clear();
        break;
    }
    case gstRectangle: {
        std::vector<TColumnEh*> columns;
        const TColumnsEhList& visible = grid->VisibleColumnList();
        for (int c = selection.Rect().LeftCol(); c <= selection.Rect().RightCol() && c < visible.Count(); ++c)
            if (c >= 0)
                columns.push_back(visible.Items(c));
        const QByteArray bottom = selection.Rect().GetBottomRow();
        ds->SetBookmark(selection.Rect().TopRow());
        while (true) {
            ClearCells(columns);
            if (ds->BookmarkOrder(bottom, ds->Bookmark()) == 0)
                break;
            ds->MoveNext();
            if (ds->AtEnd())
                break;
        }
        grid->RestoreCursorPosition();
        break;
    }
    case gstColumns: {
        std::vector<TColumnEh*> columns;
        for (int i = 0; i < selection.Columns().Count(); ++i)
            columns.push_back(selection.Columns().Items(i));
        ds->MoveFirst();
        while (!ds->AtEnd()) {
            ClearCells(columns);
            ds->MoveNext();
        }
        grid->RestoreCursorPosition();
        break;
    }
    case gstAll:
        ds->MoveFirst();
        while (!ds->AtEnd() && !ds->HasNoRows())
            ds->Delete();
        break;
    case gstNon:
        break;
    }
}

bool CanPasteGridData(TCustomDBGridEh* grid, const QMimeData* data)
{
    if (InternalClipboardFormat.isEmpty())
        RegisterClipboardFormatsEh();
    TDataSet* ds = grid->DataSet();
    return grid->EditActions().Contains(geaPasteEh) && grid->DataLink()->Active() && ds && !grid->ReadOnly()
           && ds->CanModify() && data
           && (data->hasFormat(WindowsMimeTypeEh(InternalClipboardFormat)) || data->hasText())
           && (ds->CursorState() == dsInsert || grid->AllowedOperations().Contains(alopUpdateEh));
}

void PasteGridMimeData(TCustomDBGridEh* grid, const QMimeData* data, bool wholeGrid)
{
    if (InternalClipboardFormat.isEmpty())
        RegisterClipboardFormatsEh();
    if (!data)
        return;
    TMemoryStreamEh stream;
    stream.open(QIODevice::ReadWrite);
    TDBGridEhImportClass importClass = nullptr;
    const QString internal = WindowsMimeTypeEh(InternalClipboardFormat);
    if (data->hasFormat(internal)) {
        const QByteArray bytes = data->data(internal);
        stream.Write(bytes.constData(), bytes.size());
        importClass = &ImportClassEh<TDBGridEhImportAsVCLDBIF>;
    } else if (data->hasText()) {
        // The desktop's ANSI text block: windows-1251 bytes ending at their terminating zero.
        QString text = data->text();
        const qsizetype zero = text.indexOf(QChar(0));
        if (zero >= 0)
            text.truncate(zero);
        QByteArray bytes = AnsiEncode(text);
        bytes.append('\0');
        stream.Write(bytes.constData(), bytes.size());
        importClass = &ImportClassEh<TDBGridEhImportAsText>;
    } else {
        return;
    }
    stream.seek(0);
    ImportGridFromStream(importClass, grid, &stream, wholeGrid);
}

void PasteGridData(TCustomDBGridEh* grid, bool wholeGrid)
{
    PasteGridMimeData(grid, QGuiApplication::clipboard()->mimeData(), wholeGrid);
}
