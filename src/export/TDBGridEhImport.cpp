#include "TDBGridEhImport.h"

#include "Exception.h"
#include "TCustomDBGridEh.h"
#include "TDBGridEhSelection.h"
#include "TDataSet.h"
#include "TScopeExit.h"

#include <QApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QMessageBox>
#include <QPushButton>
#include <QStringDecoder>
#include <QtEndian>

#include <cmath>
#include <limits>

namespace {

const QString kInvalidText =
    QStringLiteral("TDBGridEhImportAsText.CheckState: ") + QStringLiteral("Invalid text format");
const QString kInvalidVclDbif =
    QStringLiteral("TDBGridEhImportAsVCLDBIF.ReadPrefix: ") + QStringLiteral("Invalid VCLDBIF format");

TImportErrorAnswerEh ShowImportErrorBox(const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationDisplayName(), message,
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::YesToAll, QApplication::activeWindow());
    box.button(QMessageBox::YesToAll)->setText(QStringLiteral("All"));
    box.setEscapeButton(QMessageBox::No);
    switch (box.exec()) {
    case QMessageBox::Yes:
        return iaeYes;
    case QMessageBox::YesToAll:
        return iaeAll;
    default:
        return iaeNo;
    }
}

TImportErrorBoxEh& ErrorBoxHook()
{
    static TImportErrorBoxEh hook = ShowImportErrorBox;
    return hook;
}

QString AnsiDecode(QByteArrayView bytes)
{
    QStringDecoder decoder("windows-1251");
    return decoder.decode(bytes);
}

bool IsByteType(TFieldType type)
{
    switch (type) {
    case ftBytes:
    case ftVarBytes:
    case ftBlob:
    case ftGraphic:
    case ftParadoxOle:
    case ftDBaseOle:
    case ftTypedBinary:
    case ftOraBlob:
        return true;
    default:
        return false;
    }
}

bool IsIntegerType(TFieldType type)
{
    return type == ftSmallint || type == ftInteger || type == ftWord || type == ftAutoInc || type == ftLargeint;
}

bool IsFloatType(TFieldType type)
{
    return type == ftFloat || type == ftCurrency || type == ftBCD || type == ftFMTBcd;
}

// A pasted value the target field cannot hold is refused as the field refuses a text it cannot
// read; the user is then asked whether to go on.
[[noreturn]] void NotAValid(const char* what, const QString& shown)
{
    throw EDatabaseError(FormatMessage(QStringLiteral("'%s' is not a valid %s"), {shown, QString::fromLatin1(what)}));
}

// The whole numbers a field of an integer type holds.
struct TIntegerRange
{
    qint64 Low;
    qint64 High;
};

std::optional<TIntegerRange> IntegerRange(TFieldType type)
{
    switch (type) {
    case ftSmallint:
        return TIntegerRange{std::numeric_limits<qint16>::min(), std::numeric_limits<qint16>::max()};
    case ftWord:
        return TIntegerRange{0, std::numeric_limits<quint16>::max()};
    case ftInteger:
    case ftAutoInc:
        return TIntegerRange{std::numeric_limits<qint32>::min(), std::numeric_limits<qint32>::max()};
    case ftLargeint:
        return TIntegerRange{std::numeric_limits<qint64>::min(), std::numeric_limits<qint64>::max()};
    default:
        return std::nullopt;
    }
}

void CheckInteger(TFieldType type, qint64 n, const QString& shown)
{
    const std::optional<TIntegerRange> range = IntegerRange(type);
    if (range && (n < range->Low || n > range->High))
        NotAValid("integer value", shown);
}

// A float field takes finite numbers only; a currency field those its fixed four decimals hold.
void CheckFloat(TFieldType type, double d, const QString& shown)
{
    constexpr double kCurrencyLimit = 922337203685477.5807;
    if (!std::isfinite(d) || (type == ftCurrency && std::fabs(d) > kCurrencyLimit))
        NotAValid("floating point value", shown);
}

// A double rounded for an integer field. Tested before it is converted: NaN, an infinity or a
// number beyond 64 bits has no integer to become.
qint64 RoundedInteger(TFieldType type, double d, const QString& shown)
{
    if (!(d >= -0x1p63 && d < 0x1p63))
        NotAValid("integer value", shown);
    // From 2^52 on every double is whole already, and adding a half could round it up.
    const qint64 n = std::fabs(d) < 0x1p52 ? qRound64(d) : qint64(d);
    CheckInteger(type, n, shown);
    return n;
}

// Days since 1899-12-30 as a date and time; only the years 1 to 9999 are dates.
QDateTime FloatToDateTime(double days, const QString& shown)
{
    constexpr double kFirstDay = -693593.0;    // 0001-01-01
    constexpr double kPastLastDay = 2958466.0; // the day after 9999-12-31
    if (!(days >= kFirstDay && days < kPastLastDay))
        NotAValid("date and time", shown);
    static const QDateTime epoch(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC);
    const QDateTime utc = epoch.addMSecs(qRound64(days * 86400000.0));
    return QDateTime(utc.date(), utc.time());
}

// A text assigned as the field reads it, after the checks its own reading leaves out: a number
// beyond an integer field's range, and "nan" or "inf", which a float reading accepts.
void SetFieldText(TField* field, const QString& text)
{
    const TFieldType type = field->DataType();
    const QString trimmed = text.trimmed();
    if (IntegerRange(type)) {
        bool ok = false;
        const qint64 n = trimmed.toLongLong(&ok);
        if (ok)
            CheckInteger(type, n, text);
    } else if (IsFloatType(type)) {
        bool ok = false;
        double d = trimmed.toDouble(&ok);
        if (!ok)
            d = QLocale().toDouble(trimmed, &ok);
        if (ok)
            CheckFloat(type, d, text);
    }
    field->SetAsString(text);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// The error box

void SetImportErrorBoxEh(TImportErrorBoxEh box)
{
    ErrorBoxHook() = box ? std::move(box) : TImportErrorBoxEh(ShowImportErrorBox);
}

TImportErrorAnswerEh ImportErrorBoxEh(const QString& message)
{
    return ErrorBoxHook()(message);
}

void AssignVariantEh(TField* field, const QVariant& value)
{
    if (value.isNull()) {
        field->Clear();
        return;
    }
    const TFieldType type = field->DataType();
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        if (IsByteType(type))
            field->SetValue(value);
        else
            SetFieldText(field, AnsiDecode(value.toByteArray()));
        return;
    case QMetaType::Int:
    case QMetaType::LongLong: {
        const qint64 n = value.toLongLong();
        const QString shown = QString::number(n);
        if (IsIntegerType(type)) {
            CheckInteger(type, n, shown);
            field->SetValue(n);
        } else if (IsFloatType(type)) {
            CheckFloat(type, double(n), shown);
            field->SetValue(double(n));
        } else if (type == ftBoolean) {
            field->SetValue(n != 0);
        } else if (field->IsDateTime()) {
            field->SetValue(FloatToDateTime(double(n), shown));
        } else {
            field->SetAsString(shown);
        }
        return;
    }
    case QMetaType::Double: {
        const double d = value.toDouble();
        const QString shown = QString::number(d, 'g', 15);
        if (IsFloatType(type)) {
            CheckFloat(type, d, shown);
            field->SetValue(d);
        } else if (field->IsDateTime()) {
            field->SetValue(FloatToDateTime(d, shown));
        } else if (IsIntegerType(type)) {
            field->SetValue(RoundedInteger(type, d, shown));
        } else if (type == ftBoolean) {
            if (std::isnan(d))
                NotAValid("boolean value", shown);
            field->SetValue(d != 0.0);
        } else {
            field->SetAsString(shown);
        }
        return;
    }
    default:
        SetFieldText(field, value.toString());
    }
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhImport

TDBGridEhImport::TDBGridEhImport() = default;
TDBGridEhImport::~TDBGridEhImport() = default;

void TDBGridEhImport::LoadRow(const TColumnsEhList& columns)
{
    for (TColumnEh* column : columns)
        LoadCell(column);
}

TField* TDBGridEhImport::TargetField(TColumnEh* column)
{
    if (!column || column->ReadOnly())
        return nullptr;
    TField* field = column->Field();
    if (field && field->FieldKind == fkLookup)
        field = field->KeyFields.isEmpty() ? nullptr : field->DataSet()->FieldNamed(field->KeyFields);
    return field;
}

bool TDBGridEhImport::PrepareEdit(TField* field)
{
    TDataSet* ds = field->DataSet();
    if (!ds->CanModify())
        return false;
    ds->Edit();
    return ds->CursorState() == dsEdit || ds->CursorState() == dsInsert;
}

void TDBGridEhImport::HandleAssignError(const Exception& error, bool& ignoreAllErrors)
{
    if (ignoreAllErrors)
        return;
    const QString message =
        QStringLiteral("Error during insert value:") + u'\n' + error.Message() + QStringLiteral("\n\nIgnore error?");
    switch (ImportErrorBoxEh(message)) {
    case iaeYes:
        return;
    case iaeAll:
        ignoreAllErrors = true;
        return;
    case iaeNo:
        throw EAbort();
    }
}

void TDBGridEhImport::InsertingPass(bool appendMode)
{
    TDataSet* ds = TargetGrid->DataSet();
    while (!EndOfSource) {
        if (appendMode)
            ds->Append();
        else
            ds->Insert();
        LoadRow(ImportColumns);
        ds->Post();
        if (!appendMode)
            ds->MoveNext();
    }
}

void TDBGridEhImport::ImportFromSource(QIODevice* stream, bool importAll)
{
    SourceStream = stream;
    EndOfSource = false;
    TCustomDBGridEh* grid = TargetGrid;
    TDataSet* ds = grid->DataSet();
    if (!ds)
        return;
    TDBGridEhSelection& selection = grid->Selection();
    if (importAll) {
        selection.Clear();
        ds->MoveFirst();
        if (grid->VisibleColumnList().Count() > 0)
            grid->SetCol(grid->DataToRawColumn(grid->VisibleColumnList().Items(0)->Index()));
    }

    bool appendMode = ds->AtEnd();
    const bool insertState = ds->CursorState() == dsInsert;
    if (!insertState)
        grid->SaveCursorPosition();
    // Inserting leaves the cursor on the new records; walking existing ones comes back to where
    // the user was.
    bool inserting = insertState;
    ds->SuspendNotify();
    bool read = false;
    {
        TScopeExit resume([ds] { ds->ResumeNotify(); });
        TScopeExit restoreAfterFailure([&] {
            if (read || inserting)
                return;
            // The failure that ended the reading is the one reported.
            try {
                grid->RestoreCursorPosition();
            } catch (...) {
            }
        });
        ImportColumns.Clear();
        switch (selection.SelectionType()) {
        case gstNon: {
            const TDBGridColumnsEh& columns = grid->Columns();
            const int current = std::max(0, grid->SelectedIndex());
            for (int i = current; i < columns.Count(); ++i)
                if (columns.Items(i)->Visible())
                    ImportColumns.Add(columns.Items(i));
            ReadPrefix();
            if (insertState) {
                InsertingPass(appendMode);
                break;
            }
            grid->RestoreCursorPosition();
            while (!ds->AtEnd() && !EndOfSource) {
                LoadRow(ImportColumns);
                ds->MoveNext();
            }
            if (grid->AllowedOperations().Contains(alopAppendEh)) {
                inserting = true;
                appendMode = true;
                InsertingPass(appendMode);
            }
            break;
        }
        case gstRecordBookmarks: {
            for (TColumnEh* column : grid->VisibleColumnList())
                ImportColumns.Add(column);
            ReadPrefix();
            if (insertState) {
                InsertingPass(appendMode);
                break;
            }
            std::vector<QByteArray> bookmarks;
            for (int i = 0; i < selection.Rows().Count(); ++i)
                bookmarks.push_back(selection.Rows().Items(i));
            for (const QByteArray& bookmark : bookmarks) {
                ds->SetBookmark(bookmark);
                LoadRow(ImportColumns);
            }
            break;
        }
        case gstRectangle: {
            const TDBGridEhSelectionRect& rect = selection.Rect();
            const TDBGridColumnsEh& columns = grid->Columns();
            for (int i = std::max(0, rect.LeftCol()); i <= rect.RightCol() && i < columns.Count(); ++i)
                if (columns.Items(i)->Visible())
                    ImportColumns.Add(columns.Items(i));
            ReadPrefix();
            if (insertState) {
                InsertingPass(appendMode);
                break;
            }
            const QByteArray bottom = rect.GetBottomRow();
            ds->SetBookmark(rect.TopRow());
            while (!ds->AtEnd()) {
                LoadRow(ImportColumns);
                if (ds->BookmarkOrder(bottom, ds->Bookmark()) == 0)
                    break;
                ds->MoveNext();
            }
            break;
        }
        case gstColumns:
        case gstAll: {
            if (selection.SelectionType() == gstColumns) {
                for (TColumnEh* column : selection.Columns())
                    ImportColumns.Add(column);
            } else {
                for (TColumnEh* column : grid->VisibleColumnList())
                    ImportColumns.Add(column);
            }
            ReadPrefix();
            if (insertState) {
                InsertingPass(appendMode);
                break;
            }
            ds->MoveFirst();
            while (!ds->AtEnd()) {
                LoadRow(ImportColumns);
                ds->MoveNext();
            }
            break;
        }
        }
        read = true;
        if (!inserting)
            grid->RestoreCursorPosition();
    }
    FinishReading();
}

void TDBGridEhImport::ImportFile(const QString& fileName, bool importAll)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        throw Exception(QStringLiteral("Не удалось открыть файл «%1»: %2").arg(fileName, file.errorString()));
    ImportFromSource(&file, importAll);
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhImportAsText

bool TDBGridEhImportAsText::ReadByte(char& byte)
{
    if (SourceStream->pos() == SourceStream->size() - 1)
        return false;
    return SourceStream->getChar(&byte);
}

void TDBGridEhImportAsText::CheckState()
{
    char c = 0;
    if (!ReadByte(c)) {
        CurrentClass = 3;
        EndOfSource = true;
        return;
    }
    CurrentChar = c;
    if (c == '\t') {
        CurrentClass = 1;
    } else if (c == '\r') {
        char next = 0;
        if (!ReadByte(next) || next != '\n')
            throw Exception(kInvalidText);
        CurrentClass = 2;
    } else {
        CurrentClass = 0;
    }
}

void TDBGridEhImportAsText::ReadCellText()
{
    QByteArray bytes(1, CurrentChar);
    for (CheckState(); CurrentClass == 0; CheckState())
        bytes.append(CurrentChar);
    PendingText = AnsiDecode(bytes);
    if (CurrentClass == 1)
        CheckState();
}

void TDBGridEhImportAsText::ReadPrefix()
{
    CheckState();
}

void TDBGridEhImportAsText::LoadRow(const TColumnsEhList& columns)
{
    if (CurrentClass == 3)
        return;
    int index = 0;
    if (CurrentClass == 0) {
        ReadCellText();
        if (columns.Count() > 0)
            LoadCell(columns.Items(0));
        index = 1;
    }
    while (CurrentClass == 0 || CurrentClass == 1) {
        if (CurrentClass == 1) {
            PendingText.clear();
            CheckState();
        } else {
            ReadCellText();
        }
        // Cells beyond the target columns are read and dropped.
        if (index < columns.Count())
            LoadCell(columns.Items(index));
        ++index;
    }
    CheckState();
}

void TDBGridEhImportAsText::LoadCell(TColumnEh* column)
{
    TField* field = TargetField(column);
    if (!field || !PrepareEdit(field))
        return;
    try {
        TField* shown = column->Field();
        if (shown && shown->FieldKind == fkLookup) {
            TDataSet* lookup = shown->LookupDataSet;
            if (!lookup || !lookup->Active())
                return;
            TField* result = lookup->FieldNamed(shown->LookupResultField);
            TField* key = lookup->FieldNamed(shown->LookupKeyFields);
            if (!result || !key)
                return;
            for (lookup->MoveFirst(); !lookup->AtEnd() && !lookup->HasNoRows(); lookup->MoveNext())
                if (result->PlainText().startsWith(PendingText, Qt::CaseInsensitive)) {
                    field->SetValue(key->Value());
                    return;
                }
        } else if (column->CellKind() == ctKeyPickList) {
            const int at = column->PickList().indexOf(PendingText);
            if (at < 0 || at >= column->KeyList().count())
                field->Clear();
            else
                SetFieldText(field, column->KeyList().at(at));
        } else {
            SetFieldText(field, PendingText);
        }
    } catch (const EAbort&) {
        throw;
    } catch (const Exception& error) {
        HandleAssignError(error, IgnoreAllErrors);
    }
}

void TDBGridEhImportAsText::ImportFromSource(QIODevice* stream, bool importAll)
{
    IgnoreAllErrors = false;
    CurrentClass = 3;
    TDBGridEhImport::ImportFromSource(stream, importAll);
}

// ---------------------------------------------------------------------------------------------
// TDBGridEhImportAsVCLDBIF

int TDBGridEhImportAsVCLDBIF::SourceColumnCount() const
{
    if (Header.size() < 12)
        return 0;
    return qFromLittleEndian<qint32>(Header.constData() + 8);
}

void TDBGridEhImportAsVCLDBIF::ReadExactly(char* data, qint64 count)
{
    if (count < 0 || SourceStream->size() - SourceStream->pos() < count || SourceStream->read(data, count) != count)
        throw Exception(kInvalidVclDbif);
}

void TDBGridEhImportAsVCLDBIF::ReadPrefix()
{
    Header = QByteArray(12, '\0');
    ReadExactly(Header.data(), 12);
    if (!Header.startsWith("VCLDBIF") || SourceColumnCount() < 0)
        throw Exception(kInvalidVclDbif);
    const int count = SourceColumnCount();
    for (int i = 0; i < count; ++i) {
        char visible = 0;
        ReadExactly(&visible, 1);
        QByteArray name;
        for (char c = 0;;) {
            ReadExactly(&c, 1);
            if (c == '\0')
                break;
            name.append(c);
        }
        if (!name.isEmpty())
            HasFieldNames = true;
        SourceFieldNames->push_back({AnsiDecode(name), quint8(visible)});
    }
    // Without columns no value can be taken, and the records would never end.
    if (count == 0)
        EndOfSource = true;
    ReadValue();
}

void TDBGridEhImportAsVCLDBIF::ReadValue()
{
    if (EndOfSource)
        return;
    char tag = 0;
    ReadExactly(&tag, 1);
    PendingValue.reset();
    switch (tag) {
    case 0:
        EndOfSource = true;
        break;
    case 2:
        PendingValue = QVariant();
        break;
    case 3: {
        char raw[4];
        ReadExactly(raw, 4);
        PendingValue = QVariant(qFromLittleEndian<qint32>(raw));
        break;
    }
    case 4: {
        char raw[8];
        ReadExactly(raw, 8);
        PendingValue = QVariant(qFromLittleEndian<double>(raw));
        break;
    }
    case 5:
    case 6: {
        char raw[4];
        ReadExactly(raw, 4);
        const qint32 length = qFromLittleEndian<qint32>(raw);
        if (length < 0 || SourceStream->size() - SourceStream->pos() < length)
            throw Exception(kInvalidVclDbif);
        QByteArray bytes(length, '\0');
        ReadExactly(bytes.data(), length);
        PendingValue = tag == 5 ? QVariant(AnsiDecode(bytes)) : QVariant(bytes);
        break;
    }
    default: // 1 and unknown tags: no value
        break;
    }
}

void TDBGridEhImportAsVCLDBIF::LoadRow(const TColumnsEhList& columns)
{
    const int count = SourceColumnCount();
    for (int i = 0; i < count; ++i)
        LoadCell(i < columns.Count() ? columns.Items(i) : nullptr);
}

void TDBGridEhImportAsVCLDBIF::LoadCell(TColumnEh* column)
{
    if (PendingValue) {
        TField* field = TargetField(column);
        if (field && PrepareEdit(field)) {
            try {
                AssignVariantEh(field, *PendingValue);
            } catch (const EAbort&) {
                throw;
            } catch (const Exception& error) {
                HandleAssignError(error, IgnoreAllErrors);
            }
        }
    }
    ReadValue();
}

void TDBGridEhImportAsVCLDBIF::ImportFromSource(QIODevice* stream, bool importAll)
{
    IgnoreAllErrors = false;
    HasFieldNames = false;
    PendingValue.reset();
    Header.clear();
    SourceFieldNames = std::make_unique<std::vector<TSourceFieldEh>>();
    TScopeExit release([this] { SourceFieldNames.reset(); });
    TDBGridEhImport::ImportFromSource(stream, importAll);
}

// ---------------------------------------------------------------------------------------------

void ImportGridFromStream(TDBGridEhImportClass importClass, TCustomDBGridEh* grid, QIODevice* stream, bool importAll)
{
    const std::unique_ptr<TDBGridEhImport> importer = importClass();
    importer->TargetGrid = grid;
    importer->ImportFromSource(stream, importAll);
}
