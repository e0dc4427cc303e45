#include "TGridSnapshotEh.h"

#include "Exception.h"
#include "TColumnDefValuesEh.h"
#include "TColumnsOwnerEh.h"
#include "TCustomDBGridEh.h"
#include "TDataSource.h"
#include "TResultTable.h"
#include "TScopeExit.h"

#include <QApplication>
#include <QBuffer>
#include <QDateTime>

#include <algorithm>
#include <limits>
#include <vector>

namespace {

// The grid's export depends on more than its rows and columns: it is not kept.
struct TSnapshotRefusedEh
{
};

// The longest value kept: the typed stream counts a value's bytes in 32 bits, and a value's
// windows-1251 bytes are never more than its UTF-8 bytes or its UTF-16 units.
constexpr qsizetype kLargestValue = std::numeric_limits<qint32>::max();

bool IsIntegral(const QVariant& v)
{
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::Long:
    case QMetaType::Char:
    case QMetaType::SChar:
    case QMetaType::UChar:
        return true;
    default:
        return false;
    }
}

// One value of the record read now, into the table column of the same type.
void KeepValue(TResultTable& table, const TField* field)
{
    if (field->IsBlank()) {
        table.AppendNull();
        return;
    }
    QByteArrayView utf8;
    if (IsTextFieldType(field->DataType()) && field->DisplayTextUtf8(utf8)) {
        // A value the typed stream cannot count is refused at the time of the copy, as before.
        if (utf8.size() > kLargestValue)
            throw TSnapshotRefusedEh();
        table.AppendText(utf8);
        return;
    }
    const QVariant v = field->Value();
    switch (field->DataType()) {
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftAutoInc:
    case ftLargeint:
        if (!IsIntegral(v))
            throw TSnapshotRefusedEh();
        table.AppendInteger(v.toLongLong());
        return;
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
        if (v.typeId() != QMetaType::Double)
            throw TSnapshotRefusedEh();
        table.AppendDouble(v.toDouble());
        return;
    case ftBoolean:
        if (v.typeId() != QMetaType::Bool)
            throw TSnapshotRefusedEh();
        table.AppendBoolean(v.toBool());
        return;
    case ftDate:
    case ftTime:
    case ftDateTime:
    case ftTimeStamp:
        // Kept as milliseconds in UTC: other time specs would read back differently.
        if (v.typeId() != QMetaType::QDateTime || v.toDateTime().timeSpec() != Qt::UTC)
            throw TSnapshotRefusedEh();
        table.AppendDateTime(v.toDateTime());
        return;
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftTypedBinary:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftOraBlob:
        if (v.typeId() != QMetaType::QByteArray)
            throw TSnapshotRefusedEh();
        if (v.toByteArray().size() > kLargestValue)
            throw TSnapshotRefusedEh();
        table.AppendBytes(v.toByteArray());
        return;
    default:
        if (v.typeId() != QMetaType::QString)
            throw TSnapshotRefusedEh();
        if (v.toString().size() > kLargestValue)
            throw TSnapshotRefusedEh();
        table.AppendText(v.toString().toUtf8());
        return;
    }
}

// A field as the exported columns saw it: name, type and the properties their defaults follow.
struct TKeptFieldEh
{
    QString Name;
    TFieldType DataType = ftString;
    int Size = 0;
    QString DisplayLabel;
    int DisplayWidth = 0;
    TAlignment Alignment = taLeftJustify;
    bool Visible = true;
    bool ReadOnly = false;
};

} // namespace

// The kept records: a read-only record set over a result table of the exported fields.
class TGridSnapshotEh::TRows : public TDataSet
{
public:
    TRows(std::vector<TKeptFieldEh> fields, std::unique_ptr<TResultTable> table)
        : fFields(std::move(fields)), fTable(std::move(table))
    {
    }
    ~TRows() override { Close(); }

    const TResultTable& Table() const { return *fTable; }

protected:
    void DoOpen() override
    {
        for (const TKeptFieldEh& kept : fFields) {
            TField* field = AddField(std::make_unique<TField>(this, kept.Name, kept.DataType, kept.Size));
            if (!kept.DisplayLabel.isEmpty())
                field->SetDisplayLabel(kept.DisplayLabel);
            field->SetDisplayWidth(kept.DisplayWidth);
            field->SetAlignment(kept.Alignment);
            field->SetReadOnly(kept.ReadOnly);
            field->Visible = kept.Visible;
        }
    }
    void DoClose() override {}
    int StoredRowCount() const override { return fTable->RowCount(); }
    QVariant StoredValue(int row, int field) const override { return fTable->Value(row, field); }
    bool StoredIsNull(int row, int field) const override { return fTable->IsNull(row, field); }
    QString StoredText(int row, int field) const override { return fTable->Text(row, field); }
    bool HasUtf8Text(int field) const override
    {
        return IsTextFieldType(fTable->Columns().at(std::size_t(field)).DataType);
    }
    QByteArrayView StoredUtf8(int row, int field) const override { return fTable->Raw(row, field); }

private:
    std::vector<TKeptFieldEh> fFields;
    std::unique_ptr<TResultTable> fTable;
};

// The grid the kept rows are written through: at the resolution of the grid taken from, which
// the RTF widths are reckoned at (the window may be on another screen than a new widget).
class TSnapshotGridEh final : public TCustomDBGridEh
{
public:
    TSnapshotGridEh(int dpiX, int dpiY) : fDpiX(dpiX), fDpiY(dpiY) {}

protected:
    int metric(PaintDeviceMetric m) const override
    {
        if (m == PdmDpiX)
            return fDpiX;
        if (m == PdmDpiY)
            return fDpiY;
        return TCustomDBGridEh::metric(m);
    }

private:
    int fDpiX;
    int fDpiY;
};

// The exported columns, held without a grid: copies with every property the exporters read
// assigned its value at the time, so that no default of another grid or field can change it.
class TGridSnapshotEh::TColumns final : public TColumnsOwnerEh
{
public:
    TColumns() : fDefValues(this), fColumns(this) {}

    void Keep(TColumnEh* source)
    {
        TColumnEh* column = fColumns.Add();
        column->Assign(*source);
        column->SetPopupMenu(nullptr);
        column->SetWidth(source->Width());
        column->SetFont(source->Font());
        column->SetColor(source->Color());
        column->SetAlignment(source->Alignment());
        column->SetCheckboxes(source->Checkboxes());
        column->SetReadOnly(source->ReadOnly());
        TColumnTitleEh* title = column->Title();
        title->SetCaption(source->Title()->Caption());
        title->SetFont(source->Title()->Font());
        title->SetColor(source->Title()->Color());
        title->SetAlignment(source->Title()->Alignment());
    }
    void KeepGrid(const TCustomDBGridEh& grid)
    {
        fOptions = grid.Options();
        fFlat = grid.Flat();
        fDrawMemoText = grid.DrawMemoText();
        fFont = grid.Font();
        fTitleFont = grid.TitleFont();
        fFooterFont = grid.FooterFont();
        fColor = grid.Color();
        fFixedColor = grid.FixedColor();
        fFooterColor = grid.FooterColor();
        fDpiX = grid.logicalDpiX();
        fDpiY = grid.logicalDpiY();
    }
    // A grid like the one taken from, bound to the source; the caller owns it.
    std::unique_ptr<TCustomDBGridEh> MakeGrid(TDataSource* source) const
    {
        std::unique_ptr<TCustomDBGridEh> grid = std::make_unique<TSnapshotGridEh>(fDpiX, fDpiY);
        grid->SetOptions(fOptions);
        grid->SetFlat(fFlat);
        grid->SetDrawMemoText(fDrawMemoText);
        for (int i = 0; i < fColumns.Count(); ++i)
            grid->Columns().Add()->Assign(*fColumns.Items(i));
        grid->SetDataSource(source);
        grid->RequestLayout();
        return grid;
    }

    // What the kept columns need of an owner: nothing is shown, so reports go nowhere.
    void ColumnsChanged(TColumnEh*) override {}
    void ColumnDeleting(TColumnEh*) override {}
    void RequestLayout() override {}
    void InvalidateGrid() override {}
    void OptimizeColWidth(TColumnEh*) override {}
    TDataSet* DataSet() const override { return nullptr; }
    bool IsLoading() const override { return false; }
    bool InLayout() const override { return false; }
    bool HandleAllocated() const override { return false; }
    const TColumnDefValuesEh& ColumnDefValues() const override { return fDefValues; }
    const TFontEh& Font() const override { return fFont; }
    const TFontEh& TitleFont() const override { return fTitleFont; }
    const TFontEh& FooterFont() const override { return fFooterFont; }
    TColor Color() const override { return fColor; }
    TColor FixedColor() const override { return fFixedColor; }
    TColor FooterColor() const override { return fFooterColor; }
    bool ReadOnly() const override { return true; }
    bool DrawMemoText() const override { return fDrawMemoText; }
    bool UseMultiTitle() const override { return false; }
    TImeModeEh ImeMode() const override { return fImeMode; }
    const QString& ImeName() const override { return fImeName; }
    bool AutoFitColWidths() const override { return false; }
    int DefaultColWidth() const override { return 64; }
    TTextMetricEh CanvasTextMetrics(const TFontEh&) const override { return {}; }
    TColumnsEhList& SortMarkedList() override { return fSortMarked; }
    bool MultiSortMarking() const override { return false; }

private:
    TColumnDefValuesEh fDefValues;
    TDBGridColumnsEh fColumns;
    TDBGridOptions fOptions;
    bool fFlat = false;
    bool fDrawMemoText = false;
    TFontEh fFont;
    TFontEh fTitleFont;
    TFontEh fFooterFont;
    TColor fColor = clWindow;
    TColor fFixedColor = clBtnFace;
    TColor fFooterColor = clWindow;
    int fDpiX = 96;
    int fDpiY = 96;
    TImeModeEh fImeMode{};
    QString fImeName;
    TColumnsEhList fSortMarked;
};

// The export that takes the snapshot: the framework's own walk over the grid's records and
// columns, keeping values instead of writing them.
class TGridSnapshotEh::TWalk final : public TDBGridEhExport
{
public:
    explicit TWalk(TColumns& columns) : fColumns(columns) {}

    bool Begun() const { return fBegun; }
    std::unique_ptr<TResultTable> TakeTable() { return std::move(fTable); }
    std::vector<TKeptFieldEh> TakeFields() { return std::move(fKeptFields); }

    void BeginDocument() override
    {
        const TColumnsEhList& columns = ExportColumns();
        std::vector<TResultColumn> tableColumns;
        for (TColumnEh* column : columns) {
            // An image list belongs to the window: it may be gone when the copy is written.
            if (!column->Visible() || column->OnGetCellParams || column->ImageList())
                throw TSnapshotRefusedEh();
            TField* field = column->Field();
            if (field) {
                if (field->FieldKind != fkData)
                    throw TSnapshotRefusedEh();
                if (std::find(fFields.begin(), fFields.end(), field) == fFields.end()) {
                    fFields.push_back(field);
                    fKeptFields.push_back({field->FieldName(), field->DataType(), field->Size(), field->DisplayLabel(),
                                           field->DisplayWidth(), field->Alignment(), field->Visible,
                                           field->ReadOnly()});
                    tableColumns.push_back({field->FieldName(), field->DataType(), field->Size()});
                }
            }
            fColumns.Keep(column);
        }
        fTable = std::make_unique<TResultTable>(std::move(tableColumns));
        fBegun = true;
    }
    void EmitDataRow(const TColumnsEhList&) override
    {
        for (const TField* field : fFields)
            KeepValue(*fTable, field);
        fTable->EndRow();
    }

private:
    TColumns& fColumns;
    std::vector<TField*> fFields;
    std::vector<TKeptFieldEh> fKeptFields;
    std::unique_ptr<TResultTable> fTable;
    bool fBegun = false;
};

TGridSnapshotEh::TGridSnapshotEh() = default;

TGridSnapshotEh::~TGridSnapshotEh() = default;

std::unique_ptr<TGridSnapshotEh> TGridSnapshotEh::Take(TCustomDBGridEh* grid, bool wholeGrid,
                                                       const TExportProgressEh& progress)
{
    if (grid->OnGetCellParams || grid->OnGetFooterParams || grid->FooterRowCount() > 0 || !grid->DataSet())
        return nullptr;
    std::unique_ptr<TGridSnapshotEh> snapshot(new TGridSnapshotEh());
    snapshot->fColumns = std::make_unique<TColumns>();
    snapshot->fColumns->KeepGrid(*grid);
    TWalk walk(*snapshot->fColumns);
    walk.SetSourceGrid(grid);
    walk.SetProgress(progress);
    QBuffer nowhere;
    nowhere.open(QIODevice::WriteOnly);
    try {
        walk.WriteToStream(&nowhere, wholeGrid);
    } catch (const TSnapshotRefusedEh&) {
        return nullptr;
    }
    if (!walk.Begun())
        return nullptr;
    std::unique_ptr<TResultTable> table = walk.TakeTable();
    table->Squeeze();
    snapshot->fRows = std::make_unique<TRows>(walk.TakeFields(), std::move(table));
    snapshot->fRows->Open();
    return snapshot;
}

int TGridSnapshotEh::RecordCount() const
{
    return fRows->Table().RowCount();
}

std::size_t TGridSnapshotEh::MemoryUsed() const
{
    return fRows->Table().MemoryUsed();
}

void TGridSnapshotEh::Export(TDBGridEhExportClass exportClass, QIODevice* stream) const
{
    // While the program ends (the desktop may ask for the clipboard then) there are no widgets.
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        throw Exception(QStringLiteral("Копия таблицы больше недоступна: программа завершается"));
    TDataSource source;
    source.SetDataSet(fRows.get());
    std::unique_ptr<TCustomDBGridEh> grid = fColumns->MakeGrid(&source);
    TScopeExit unbind([&grid] { grid->SetDataSource(nullptr); });
    ExportGridToStream(exportClass, grid.get(), stream, true);
}
