#include "TDBGridEhClipboard.h"

#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TDBGridEhClipboardData.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhSelection.h"

#include <QClipboard>
#include <QDateTime>
#include <QGuiApplication>
#include <QMimeData>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

// The CSV of the copy, under its two names: the desktop's "Csv" keeps the export's windows-1251
// bytes and its terminating zero; text/csv, which Linux programs read as UTF-8 when no charset is
// named, carries the same text in UTF-8 without the zero.
TEST(ClipboardCopy, CsvUnderItsWindowsNameInWindows1251AndAsTextCsvInUtf8)
{
    auto g = TwoColumnGrid({{QStringLiteral("Иванов Пётр"), QStringLiteral("ул. Мира, 12")}, {"b1", ""}});
    std::unique_ptr<QMimeData> data(GridClipboardDataEh(g->Grid.get(), true));

    const QByteArray csvText = "\"T1\";\"T2\"\r\n\"Иванов Пётр\";\"ул. Мира, 12\"\r\n\"b1\";\"\"";
    EXPECT_BYTES(data->data(QStringLiteral("text/csv")), csvText);

    const QByteArray windowsCsv = HexBytes("22 54 31 22 3B 22 54 32 22 0D 0A "
                                           "22 C8 E2 E0 ED EE E2 20 CF B8 F2 F0 22 3B "
                                           "22 F3 EB 2E 20 CC E8 F0 E0 2C 20 31 32 22 0D 0A "
                                           "22 62 31 22 3B 22 22 00");
    EXPECT_BYTES(data->data(WindowsMimeTypeEh(CsvClipboardFormat)), windowsCsv);
    EXPECT_BYTES(data->data(WindowsMimeTypeEh(CsvClipboardFormat)).chopped(1),
                 g->Export(ExportClassEh<TDBGridEhExportAsCSV>));
}

// A grid whose cells every format treats with care: letters windows-1251 has and lacks, the
// characters CSV, RTF and tabbed text escape or keep, empty texts beside nulls, each kind of typed
// value the typed stream carries, a display format, a right-aligned bold column, a hidden column
// and a column without a field.
std::unique_ptr<TExportGrid> TrickyGrid(std::unique_ptr<TCustomDBGridEh> grid = nullptr)
{
    const QDateTime when(QDate(2024, 2, 29), QTime(13, 45, 30), Qt::UTC);
    auto g = std::make_unique<TExportGrid>(
        std::vector<TFieldDef>{{QStringLiteral("name"), ftString, 40},
                               {QStringLiteral("n"), ftInteger},
                               {QStringLiteral("x"), ftFloat},
                               {QStringLiteral("big"), ftLargeint},
                               {QStringLiteral("ok"), ftBoolean},
                               {QStringLiteral("when"), ftDateTime},
                               {QStringLiteral("hidden"), ftString, 5}},
        std::vector<std::vector<QVariant>>{
            {QStringLiteral("Иванов Пётр \"Ёж\"; {\\par}"), 5, 2.5, qlonglong(9000000000LL), true, when, "h1"},
            {QString(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()},
            {QStringLiteral(""), -7, -0.125, qlonglong(-1), false, when.addDays(-400), "h3"},
            {QStringLiteral("tab\there\r\nline 漢 € №"), 0, 1e-9, qlonglong(0), true, when.addSecs(1), ""},
            {QStringLiteral("Ромашка"), 123456, 3.0, qlonglong(42), false, when.addMSecs(-1), "h5"}});
    if (grid) {
        g->Grid = std::move(grid);
        g->Grid->resize(600, 300);
    }
    g->AddColumn(QStringLiteral("name"), QStringLiteral("Владелец"), 120);
    TColumnEh* n = g->AddColumn(QStringLiteral("n"), QStringLiteral("N"), 40);
    n->SetAlignment(taRightJustify);
    TFontEh bold = n->Font();
    bold.Style.Include(fsBold);
    n->SetFont(bold);
    n->SetColor(clYellow);
    g->AddColumn(QStringLiteral("hidden"), QStringLiteral("H"), 30)->SetVisible(false);
    g->AddColumn(QStringLiteral("x"), QStringLiteral("X"), 50)->SetDisplayFormat(QStringLiteral("0.00"));
    g->AddColumn(QStringLiteral("big"), QStringLiteral("Big"), 70);
    g->AddColumn(QStringLiteral("ok"), QStringLiteral("Ok"), 30);
    g->AddColumn(QStringLiteral("when"), QStringLiteral("When"), 90);
    g->AddColumn(QStringLiteral("nothing"), QStringLiteral("Без поля"), 45);
    g->Open();
    return g;
}

QByteArray BookmarkOfRecord(TExportGrid& g, int record)
{
    g.DataSet.SetRecordNumber(record);
    return g.DataSet.Bookmark();
}

// Every name the data is offered under, with its bytes, and its text.
struct TServed
{
    QStringList Names;
    std::vector<QByteArray> Bytes;
    QString Text;
};

TServed Served(const QMimeData& data)
{
    TServed served;
    served.Names = data.formats();
    for (const QString& name : served.Names)
        served.Bytes.push_back(data.data(name));
    served.Text = data.text();
    return served;
}

void ExpectSameServed(const TServed& actual, const TServed& expected)
{
    ASSERT_EQ(actual.Names, expected.Names);
    for (std::size_t i = 0; i < expected.Bytes.size(); ++i)
        EXPECT_TRUE(SameBytes(actual.Bytes[i], expected.Bytes[i])) << "under " << expected.Names[int(i)].toStdString();
    EXPECT_EQ(actual.Text, expected.Text);
}

struct CopyCase
{
    const char* name;
    bool wholeGrid;
    std::function<void(TExportGrid&)> select;
    bool deferred; // whether the copy keeps the rows and writes later
};

class ClipboardCopyKinds : public ::testing::TestWithParam<CopyCase>
{
};

// What the copy serves, written when asked for, is what writing everything at the time of the
// copy gives, byte for byte, under every name, for each kind of selection.
TEST_P(ClipboardCopyKinds, ServesWhatWritingAtOnceWould)
{
    auto g = TrickyGrid();
    GetParam().select(*g);
    g->DataSet.SetRecordNumber(2);
    const int current = g->DataSet.RecordNumber();
    const TServed atOnce = Served(*BuildGridClipboardDataEh(g->Grid.get(), GetParam().wholeGrid));
    std::unique_ptr<QMimeData> data = GridClipboardDataEh(g->Grid.get(), GetParam().wholeGrid);
    EXPECT_EQ(g->DataSet.RecordNumber(), current);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
    auto* deferred = dynamic_cast<TDBGridEhClipboardData*>(data.get());
    ASSERT_EQ(deferred != nullptr, GetParam().deferred);
    for (int part = 0; deferred && part < TDBGridEhClipboardData::cpPartCount; ++part)
        EXPECT_EQ(deferred->PartWrites(TDBGridEhClipboardData::TPart(part)), 0) << "written while copying: " << part;
    ExpectSameServed(Served(*data), atOnce);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ClipboardCopyKinds,
    ::testing::Values(
        CopyCase{"WholeGrid", true, [](TExportGrid&) {}, true},
        CopyCase{"WholeGridInTheShownOrder", true, [](TExportGrid& g) { g.DataSet.SortBy(QStringLiteral("n")); }, true},
        CopyCase{"SelectedColumnsInTheirOrder", false,
                 [](TExportGrid& g) {
                     g.Grid->Selection().Columns().Select(g.Grid->Columns()[4], false);
                     g.Grid->Selection().Columns().Select(g.Grid->Columns()[0], true);
                     g.Grid->Selection().Columns().Select(g.Grid->Columns()[7], true);
                 },
                 true},
        CopyCase{"SelectedRecordsInTheirOrder", false,
                 [](TExportGrid& g) {
                     for (int record : {4, 1, 2}) {
                         g.DataSet.SetRecordNumber(record);
                         g.Grid->Selection().Rows().SetCurrentRowSelected(true);
                     }
                 },
                 true},
        CopyCase{"Rectangle", false,
                 [](TExportGrid& g) {
                     g.Grid->Selection().Rect().Select(1, BookmarkOfRecord(g, 2), false);
                     g.Grid->Selection().Rect().Select(5, BookmarkOfRecord(g, 4), true);
                 },
                 true},
        CopyCase{"RectangleMadeUpwards", false,
                 [](TExportGrid& g) {
                     g.Grid->Selection().Rect().Select(6, BookmarkOfRecord(g, 5), false);
                     g.Grid->Selection().Rect().Select(0, BookmarkOfRecord(g, 3), true);
                 },
                 true},
        CopyCase{"EmptyResult", true,
                 [](TExportGrid& g) {
                     while (!g.DataSet.HasNoRows()) {
                         g.DataSet.MoveFirst();
                         g.DataSet.Delete();
                     }
                 },
                 true},
        // What the rows alone cannot reproduce is written at once, as before.
        CopyCase{"NothingSelected", false, [](TExportGrid&) {}, false},
        CopyCase{"SelectedHiddenColumn", false,
                 [](TExportGrid& g) {
                     g.Grid->Selection().Columns().Select(g.Grid->Columns()[0], false);
                     g.Grid->Selection().Columns().Select(g.Grid->Columns()[2], true);
                 },
                 false},
        CopyCase{"GridCellHandler", true,
                 [](TExportGrid& g) {
                     g.Grid->OnGetCellParams = [](TCustomDBGridEh*, TColumnEh*, TFontEh&, TColor& background,
                                                  TGridDrawState) { background = clRed; };
                 },
                 false},
        CopyCase{"ColumnCellHandler", true,
                 [](TExportGrid& g) {
                     g.Grid->Columns()[0]->OnGetCellParams = [](TColumnEh*, bool, TColCellParamsEh& params) {
                         params.Text += QStringLiteral("!");
                     };
                 },
                 false},
        CopyCase{"FooterRow", true,
                 [](TExportGrid& g) {
                     g.Grid->Columns()[1]->Footer()->SetValueType(fvtSum);
                     g.Grid->SetFooterRowCount(1);
                 },
                 false}),
    NamedCase());

// Each representation is written once, on its first request under any of its names, and every
// name of it serves the same bytes (the same memory); text/rtf and text/richtext are the RTF
// without its terminating zero.
TEST(ClipboardCopy, EachRepresentationIsWrittenOnceAndSharedBetweenItsNames)
{
    auto g = TrickyGrid();
    std::unique_ptr<QMimeData> data = GridClipboardDataEh(g->Grid.get(), true);
    auto* deferred = dynamic_cast<TDBGridEhClipboardData*>(data.get());
    ASSERT_TRUE(deferred);
    using P = TDBGridEhClipboardData;

    const QByteArray rtf = data->data(WindowsMimeTypeEh(RtfClipboardFormat));
    EXPECT_EQ(deferred->PartWrites(P::cpRtf), 1);
    EXPECT_FALSE(deferred->PartMade(P::cpCsv));
    EXPECT_FALSE(deferred->PartMade(P::cpText));
    const QByteArray rtfText = data->data(QStringLiteral("text/rtf"));
    const QByteArray richText = data->data(QStringLiteral("text/richtext"));
    EXPECT_EQ(data->data(WindowsMimeTypeEh(RtfClipboardFormat)).constData(), rtf.constData());
    EXPECT_EQ(rtfText.constData(), rtf.constData());
    EXPECT_EQ(richText.constData(), rtf.constData());
    EXPECT_BYTES(rtfText, rtf.chopped(1));
    EXPECT_EQ(rtf.back(), '\0');
    EXPECT_EQ(deferred->PartWrites(P::cpRtf), 1);

    const QByteArray text = data->data(QStringLiteral("text/plain"));
    EXPECT_EQ(data->text(), QString::fromUtf8(text));
    EXPECT_EQ(data->data(QStringLiteral("text/plain")).constData(), text.constData());
    EXPECT_EQ(deferred->PartWrites(P::cpText), 1);

    // text/csv asked for first is written on its own; the windows-1251 CSV then once more.
    const QByteArray csvUtf8 = data->data(QStringLiteral("text/csv"));
    EXPECT_EQ(deferred->PartWrites(P::cpCsvUtf8), 1);
    EXPECT_FALSE(deferred->PartMade(P::cpCsv));
    const QByteArray csv = data->data(WindowsMimeTypeEh(CsvClipboardFormat));
    EXPECT_BYTES(Utf8FromWindows1251(QByteArrayView(csv).chopped(1)), csvUtf8);
    EXPECT_EQ(data->data(WindowsMimeTypeEh(CsvClipboardFormat)).constData(), csv.constData());

    const QByteArray dbif = data->data(WindowsMimeTypeEh(InternalClipboardFormat));
    EXPECT_EQ(data->data(WindowsMimeTypeEh(InternalClipboardFormat)).constData(), dbif.constData());
    for (int part = 0; part < P::cpPartCount; ++part)
        EXPECT_EQ(deferred->PartWrites(P::TPart(part)), 1) << part;

    EXPECT_TRUE(data->data(QStringLiteral("text/html")).isEmpty());
    EXPECT_FALSE(data->hasFormat(QStringLiteral("text/html")));
    EXPECT_TRUE(data->hasFormat(QStringLiteral("text/richtext")));
}

struct AfterCopyCase
{
    const char* name;
    std::function<void(std::unique_ptr<TExportGrid>&)> change;
};

class ClipboardCopyAfterwards : public ::testing::TestWithParam<AfterCopyCase>
{
};

// What was copied is what is served, whatever the window does with its grid afterwards.
TEST_P(ClipboardCopyAfterwards, ServesWhatWasCopied)
{
    auto g = TrickyGrid();
    g->DataSet.SortBy(QStringLiteral("name"));
    const TServed atCopy = Served(*BuildGridClipboardDataEh(g->Grid.get(), true));
    std::unique_ptr<QMimeData> data = GridClipboardDataEh(g->Grid.get(), true);
    ASSERT_TRUE(dynamic_cast<TDBGridEhClipboardData*>(data.get()));
    GetParam().change(g);
    ExpectSameServed(Served(*data), atCopy);
}

INSTANTIATE_TEST_SUITE_P(
    Changes, ClipboardCopyAfterwards,
    ::testing::Values(AfterCopyCase{"AnotherOrder", [](auto& g) { g->DataSet.SortBy(QStringLiteral("x")); }},
                      AfterCopyCase{"RecordsDeleted",
                                    [](auto& g) {
                                        g->DataSet.MoveFirst();
                                        g->DataSet.Delete();
                                        g->DataSet.Delete();
                                    }},
                      AfterCopyCase{"ColumnsChanged",
                                    [](auto& g) {
                                        g->Grid->Columns()[0]->Title()->SetCaption(QStringLiteral("Другой"));
                                        g->Grid->Columns()[1]->SetWidth(300);
                                        g->Grid->Columns()[3]->SetDisplayFormat(QString());
                                        g->Grid->Columns().Delete(4);
                                    }},
                      AfterCopyCase{"ResultClosed", [](auto& g) { g->DataSet.Close(); }},
                      AfterCopyCase{"GridGone", [](auto& g) { g.reset(); }}),
    NamedCase());

// The copy command places the kept rows on the clipboard and writes nothing yet; a paste reads
// the typed stream from them.
TEST(ClipboardCopy, CopyGridDataPlacesTheRowsAndWritesNothingYet)
{
    auto g = TwoColumnGrid({{QStringLiteral("Иванов"), QStringLiteral("ул. Мира")}, {"b1", QVariant()}});
    CopyGridData(g->Grid.get(), true);
    const QMimeData* placed = QGuiApplication::clipboard()->mimeData();
    auto* deferred = dynamic_cast<const TDBGridEhClipboardData*>(placed);
    ASSERT_TRUE(deferred);
    for (int part = 0; part < TDBGridEhClipboardData::cpPartCount; ++part)
        EXPECT_EQ(deferred->PartWrites(TDBGridEhClipboardData::TPart(part)), 0);
    g.reset();
    EXPECT_EQ(placed->text(), QStringLiteral("T1\tT2\r\nИванов\tул. Мира\r\nb1\t"));
    QGuiApplication::clipboard()->clear();
}

// Before the program ends every representation is written, and the kept rows let go: what the
// desktop's clipboard keeper asks for then is still served.
TEST(ClipboardCopy, MakeAllWritesEverythingAndLetsTheRowsGo)
{
    auto g = TrickyGrid();
    const TServed atCopy = Served(*BuildGridClipboardDataEh(g->Grid.get(), true));
    std::unique_ptr<QMimeData> data = GridClipboardDataEh(g->Grid.get(), true);
    auto* deferred = dynamic_cast<TDBGridEhClipboardData*>(data.get());
    ASSERT_TRUE(deferred);
    deferred->MakeAll();
    EXPECT_EQ(deferred->Snapshot(), nullptr);
    g.reset();
    ExpectSameServed(Served(*data), atCopy);
    for (int part = 0; part < TDBGridEhClipboardData::cpPartCount; ++part)
        EXPECT_EQ(deferred->PartWrites(TDBGridEhClipboardData::TPart(part)), 1) << part;
}

// A grid on a screen of another resolution than a new widget's.
class TGridAt150 : public TCustomDBGridEh
{
protected:
    int metric(PaintDeviceMetric m) const override
    {
        return m == PdmDpiX || m == PdmDpiY ? 150 : TCustomDBGridEh::metric(m);
    }
};

// The RTF widths are reckoned at the resolution of the grid copied from.
TEST(ClipboardCopy, RtfWidthsAtTheResolutionOfTheCopiedGrid)
{
    auto g = TrickyGrid(std::make_unique<TGridAt150>());
    ASSERT_EQ(g->Grid->logicalDpiX(), 150);
    RegisterClipboardFormatsEh();
    const QString rtf = WindowsMimeTypeEh(RtfClipboardFormat);
    const QByteArray atOnce = BuildGridClipboardDataEh(g->Grid.get(), true)->data(rtf);
    std::unique_ptr<QMimeData> data = GridClipboardDataEh(g->Grid.get(), true);
    ASSERT_TRUE(dynamic_cast<TDBGridEhClipboardData*>(data.get()));
    g.reset();
    EXPECT_BYTES(data->data(rtf), atOnce);
}

} // namespace
