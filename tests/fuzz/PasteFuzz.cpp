#include "PasteFuzz.h"

#include "Exception.h"
#include "FuzzCheck.h"
#include "TCustomDBGridEh.h"
#include "TDBGridEhSelection.h"
#include "TMemDataSet.h"
#include "TMemoryStreamEh.h"

#include <QApplication>
#include <QDateTime>
#include <QLocale>

#include <cmath>
#include <memory>

namespace {

TImportErrorAnswerEh gAnswer = iaeYes;

// Every value a paste left must be one its field can hold.
void CheckStoredValues(TDataSet& ds)
{
    for (ds.MoveFirst(); !ds.AtEnd(); ds.MoveNext()) {
        for (int f = 0; f < ds.FieldCount(); ++f) {
            const TField* field = ds.Field(f);
            const QVariant v = field->Value();
            if (v.isNull())
                continue;
            switch (field->DataType()) {
            case ftSmallint:
                FUZZ_CHECK(v.toLongLong() >= -32768 && v.toLongLong() <= 32767);
                break;
            case ftWord:
                FUZZ_CHECK(v.toLongLong() >= 0 && v.toLongLong() <= 65535);
                break;
            case ftInteger:
                FUZZ_CHECK(v.toLongLong() >= -2147483648LL && v.toLongLong() <= 2147483647LL);
                break;
            case ftFloat:
            case ftCurrency:
                FUZZ_CHECK(std::isfinite(v.toDouble()));
                break;
            case ftDateTime:
                FUZZ_CHECK(v.toDateTime().isValid());
                FUZZ_CHECK(v.toDateTime().date().year() >= 1 && v.toDateTime().date().year() <= 9999);
                break;
            default:
                break;
            }
        }
    }
}

} // namespace

void StartPasteFuzzing()
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QLocale::setDefault(QLocale::c());
    static int argc = 1;
    static char name[] = "fuzz_paste";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the process: destroyed among the static objects at exit, it would meet
    // Qt's own thread storage already gone.
    static QApplication* app = new QApplication(argc, argv);
    Q_UNUSED(app);
    SetImportErrorBoxEh([](const QString&) { return gAnswer; });
}

void PasteInput(TDBGridEhImportClass reader, const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
        return;
    const std::uint8_t mode = data[0];
    static const TImportErrorAnswerEh answers[] = {iaeYes, iaeAll, iaeNo, iaeYes};
    gAnswer = answers[(mode >> 3) & 3];

    TMemDataSet ds(QStringLiteral("ADOQuery1"));
    ds.SetFieldDefs({{QStringLiteral("s"), ftString, 20},
                     {QStringLiteral("i"), ftInteger},
                     {QStringLiteral("sm"), ftSmallint},
                     {QStringLiteral("w"), ftWord},
                     {QStringLiteral("l"), ftLargeint},
                     {QStringLiteral("f"), ftFloat},
                     {QStringLiteral("c"), ftCurrency},
                     {QStringLiteral("d"), ftDateTime},
                     {QStringLiteral("b"), ftBoolean},
                     {QStringLiteral("y"), ftBlob},
                     {QStringLiteral("k"), ftString, 10}});
    const QDateTime day(QDate(2001, 2, 3), QTime(4, 5, 6));
    for (int row = 0; row < 3; ++row)
        ds.AddRow({QStringLiteral("строка %1").arg(row), row, row, row, qint64(row) << 40, row + 0.5, row * 1.25,
                   day.addDays(row), row % 2 == 0, QByteArray("\x01\x02", 2), QString::number(row + 1)});
    TDataSource source;
    source.SetDataSet(&ds);
    auto grid = std::make_unique<TCustomDBGridEh>();
    grid->resize(600, 300);
    const char* names[] = {"s", "i", "sm", "w", "l", "f", "c", "d", "b", "y", "k"};
    for (const char* n : names) {
        TColumnEh* column = grid->Columns().Add();
        column->SetFieldName(QString::fromLatin1(n));
    }
    // The last column shows names for the keys it stores.
    TColumnEh* keyed = grid->Columns().Items(grid->Columns().Count() - 1);
    keyed->SetPickList({QStringLiteral("один"), QStringLiteral("два"), QStringLiteral("три")});
    keyed->SetKeyList({QStringLiteral("1"), QStringLiteral("2")});
    grid->SetEditActions({geaPasteEh});
    grid->SetDataSource(&source);
    ds.Open();
    grid->RequestLayout();
    grid->SetCol(grid->DataToRawColumn((mode >> 5) % grid->Columns().Count()));

    bool importAll = false;
    TDBGridEhSelection& selection = grid->Selection();
    const auto bookmarkOf = [&](int number) {
        ds.SetRecordNumber(number);
        return ds.Bookmark();
    };
    switch (mode & 7) {
    case 1:
        selection.SetSelectionType(gstAll);
        break;
    case 2:
        selection.Columns().Select(grid->Columns().Items(1), false);
        selection.Columns().Select(grid->Columns().Items(3), true);
        break;
    case 3:
        ds.SetRecordNumber(1);
        selection.Rows().SetCurrentRowSelected(true);
        ds.SetRecordNumber(3);
        selection.Rows().SetCurrentRowSelected(true);
        ds.SetRecordNumber(2);
        break;
    case 4: {
        const QByteArray top = bookmarkOf(1), bottom = bookmarkOf(2);
        ds.SetRecordNumber(1);
        selection.Rect().Select(2, top, false);
        selection.Rect().Select(6, bottom, true);
        break;
    }
    case 5:
        ds.SetRecordNumber(2);
        ds.Insert();
        break;
    case 6:
        importAll = true;
        break;
    default:
        break;
    }

    TMemoryStreamEh stream;
    stream.open(QIODevice::ReadWrite);
    stream.Write(reinterpret_cast<const char*>(data + 1), qint64(size - 1));
    stream.seek(0);
    try {
        ImportGridFromStream(reader, grid.get(), &stream, importAll);
    } catch (const Exception&) {
        // A malformed source and a stop chosen in the error box end the import; both are fine.
    }
    FUZZ_CHECK(!ds.NotifySuspended());
    // Each new record takes at least one byte of the source.
    FUZZ_CHECK(ds.RecordCount() <= 4 + int(size));
    try {
        ds.CheckBrowseMode();
    } catch (const Exception&) {
    }
    CheckStoredValues(ds);
    grid.reset();
    ds.Close();
}
