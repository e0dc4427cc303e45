#include "TDBGridEhExport.h"

#include "Exception.h"
#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsVCLDBIF.h"
#include "TDBGridEhExportAsXLS.h"
#include "TMemoryStreamEh.h"
#include "TestDevices.h"

#include <QDir>
#include <QFile>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <functional>
#include <gtest/gtest.h>
#include <optional>

namespace {

// Writes what the framework asks for as lines of text: "begin", "title T1|T2", "row a|b",
// "footer 0: x|y", "end".
class TRecordingExport : public TDBGridEhExport
{
public:
    void BeginDocument() override { Line("begin"); }
    void EndDocument() override { Line("end"); }
    void EmitTitleRow(const TColumnsEhList& columns) override
    {
        QStringList captions;
        for (TColumnEh* column : columns)
            captions << column->Title()->Caption();
        Line("title " + captions.join(u'|'));
    }
    void EmitDataRow(const TColumnsEhList& columns) override
    {
        fCells.clear();
        TDBGridEhExport::EmitDataRow(columns);
        Line("row " + fCells.join(u'|'));
    }
    void EmitDataCell(TColumnEh* /*column*/, TColCellParamsEh& params) override
    {
        QString cell = params.Text;
        if (params.Background != clWindow)
            cell += QStringLiteral(" bg=%1").arg(params.Background, 0, 16);
        if (params.Font && params.Font->Style.Contains(fsBold))
            cell += QStringLiteral(" bold");
        fCells << cell;
    }
    void EmitFooterRow(const TColumnsEhList& columns, int footerRow) override
    {
        fCells.clear();
        TDBGridEhExport::EmitFooterRow(columns, footerRow);
        Line(QStringLiteral("footer %1: ").arg(footerRow) + fCells.join(u'|'));
    }
    void EmitFooterCell(int dataCol, int /*row*/, TColumnEh* /*column*/, const TFontEh& /*font*/, TColor /*background*/,
                        TAlignment /*alignment*/, const QString& text) override
    {
        fCells << QStringLiteral("%1=%2").arg(dataCol).arg(text);
    }

private:
    void Line(const QString& text)
    {
        Out().WriteAnsi(text);
        Out().WriteCrLf();
    }
    QStringList fCells;
};

QString Record(TExportGrid& g, bool exportAll = true)
{
    QStringDecoder fromAnsi("windows-1251");
    return fromAnsi(g.Export(ExportClassEh<TRecordingExport>, exportAll));
}

std::unique_ptr<TExportGrid> NumberGrid(int records)
{
    std::vector<std::vector<QVariant>> rows;
    for (int i = 1; i <= records; ++i)
        rows.push_back({i});
    auto g = std::make_unique<TExportGrid>(std::vector<TFieldDef>{{QStringLiteral("n"), ftInteger}}, std::move(rows));
    g->AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    g->Open();
    return g;
}

TEST(ExportWalk, WholeGridInOrder)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    EXPECT_EQ(Record(*g), "begin\r\ntitle T1|T2\r\nrow a1|a2\r\nrow b1|b2\r\nend\r\n");
    g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    EXPECT_EQ(Record(*g), "begin\r\nrow a1|a2\r\nrow b1|b2\r\nend\r\n");
}

// Four columns a..d over six records; column c is hidden. Cells read "<column><record>".
std::unique_ptr<TExportGrid> SelectionGrid()
{
    std::vector<std::vector<QVariant>> rows;
    for (int r = 1; r <= 6; ++r)
        rows.push_back({QStringLiteral("a%1").arg(r), QStringLiteral("b%1").arg(r), QStringLiteral("c%1").arg(r),
                        QStringLiteral("d%1").arg(r)});
    std::vector<TFieldDef> fields;
    for (const char* name : {"a", "b", "c", "d"})
        fields.push_back({QString::fromLatin1(name), ftString, 5});
    auto g = std::make_unique<TExportGrid>(fields, rows);
    for (const char* name : {"a", "b", "c", "d"})
        g->AddColumn(QString::fromLatin1(name), QString::fromLatin1(name).toUpper());
    g->Grid->Columns()[2]->SetVisible(false);
    g->Open();
    g->Grid->Columns()[3]->Footer()->SetValueType(fvtCount);
    g->Grid->SetFooterRowCount(1);
    return g;
}

QByteArray BookmarkOf(TExportGrid& g, int record)
{
    g.DataSet.SetRecordNumber(record);
    return g.DataSet.Bookmark();
}

struct SelectionCase
{
    const char* name;
    std::function<void(TExportGrid&)> select;
    const char* log;
};

class ExportSelection : public ::testing::TestWithParam<SelectionCase>
{
};

TEST_P(ExportSelection, WritesTheSelectedRowsAndColumns)
{
    auto g = SelectionGrid();
    GetParam().select(*g);
    g->DataSet.SetRecordNumber(3);
    EXPECT_EQ(Record(*g, false), QString::fromLatin1(GetParam().log));
    EXPECT_EQ(g->DataSet.RecordNumber(), 3);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ExportSelection,
    ::testing::Values(SelectionCase{"NothingSelected", [](TExportGrid&) {}, ""},
                      SelectionCase{"All", [](TExportGrid& g) { g.Grid->Selection().SetSelectionType(gstAll); },
                                    "begin\r\ntitle A|B|D\r\nrow a1|b1|d1\r\nrow a2|b2|d2\r\nrow a3|b3|d3\r\n"
                                    "row a4|b4|d4\r\nrow a5|b5|d5\r\nrow a6|b6|d6\r\nfooter 0: 0=|1=|2=6\r\nend\r\n"},
                      SelectionCase{"ColumnsInCollectionOrderOverEveryRecord",
                                    [](TExportGrid& g) {
                                        g.Grid->Selection().Columns().Select(g.Grid->Columns()[3], false);
                                        g.Grid->Selection().Columns().Select(g.Grid->Columns()[0], true);
                                    },
                                    "begin\r\ntitle A|D\r\nrow a1|d1\r\nrow a2|d2\r\nrow a3|d3\r\nrow a4|d4\r\n"
                                    "row a5|d5\r\nrow a6|d6\r\nfooter 0: 0=|1=6\r\nend\r\n"},
                      SelectionCase{"RecordsInBookmarkOrder",
                                    [](TExportGrid& g) {
                                        for (int record : {5, 2}) {
                                            g.DataSet.SetRecordNumber(record);
                                            g.Grid->Selection().Rows().SetCurrentRowSelected(true);
                                        }
                                    },
                                    "begin\r\ntitle A|B|D\r\nrow a2|b2|d2\r\nrow a5|b5|d5\r\nfooter 0: 0=|1=|2=2\r\n"
                                    "end\r\n"},
                      SelectionCase{"RectangleSkipsHiddenColumns",
                                    [](TExportGrid& g) {
                                        g.Grid->Selection().Rect().Select(1, BookmarkOf(g, 2), false);
                                        g.Grid->Selection().Rect().Select(3, BookmarkOf(g, 4), true);
                                    },
                                    "begin\r\ntitle B|D\r\nrow b2|d2\r\nrow b3|d3\r\nrow b4|d4\r\n"
                                    "footer 0: 0=|1=3\r\nend\r\n"},
                      SelectionCase{"RectangleMadeUpwards",
                                    [](TExportGrid& g) {
                                        g.Grid->Selection().Rect().Select(3, BookmarkOf(g, 5), false);
                                        g.Grid->Selection().Rect().Select(0, BookmarkOf(g, 4), true);
                                    },
                                    "begin\r\ntitle A|B|D\r\nrow a4|b4|d4\r\nrow a5|b5|d5\r\n"
                                    "footer 0: 0=|1=|2=2\r\nend\r\n"},
                      SelectionCase{"RectangleWhoseBottomIsGoneRunsToTheEnd",
                                    [](TExportGrid& g) {
                                        g.Grid->Selection().Rect().Select(0, BookmarkOf(g, 3), false);
                                        g.Grid->Selection().Rect().Select(0, BookmarkOf(g, 5), true);
                                        g.DataSet.SetRecordNumber(5);
                                        g.DataSet.Delete();
                                    },
                                    "begin\r\ntitle A\r\nrow a3\r\nrow a4\r\nrow a6\r\nfooter 0: 0=\r\nend\r\n"}),
    NamedCase());

TEST(ExportWalk, HiddenColumnsAreNotWritten)
{
    auto g = TwoColumnGrid({{"a1", "a2"}});
    g->Grid->Columns()[0]->SetVisible(false);
    g->Grid->RequestLayout();
    EXPECT_EQ(Record(*g), "begin\r\ntitle T2\r\nrow a2\r\nend\r\n");
}

TEST(ExportWalk, NoSelectionWritesNothingAndLeavesTheRecordSetAlone)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    g->DataSet.MoveNext();
    EXPECT_EQ(Record(*g, false), QString());
    EXPECT_EQ(g->DataSet.RecordNumber(), 2);
}

TEST(ExportWalk, CursorAndRowWindowArePutBack)
{
    auto g = NumberGrid(200);
    g->DataSet.SetRecordNumber(120);
    g->DataSet.MoveRelative(-3);
    const QByteArray current = g->DataSet.Bookmark();
    const int first = g->Grid->DataLink()->FirstRecord();
    const int active = g->Grid->DataLink()->ActiveRecord();
    g->Export(ExportClassEh<TDBGridEhExportAsCSV>);
    EXPECT_EQ(g->DataSet.Bookmark(), current);
    EXPECT_EQ(g->Grid->DataLink()->FirstRecord(), first);
    EXPECT_EQ(g->Grid->DataLink()->ActiveRecord(), active);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

TEST(ExportCellParams, GridHandlerBackgroundWinsColumnHandlerText)
{
    auto g = TwoColumnGrid({{"a1", "a2"}});
    g->Grid->OnGetCellParams = [](TCustomDBGridEh*, TColumnEh* column, TFontEh& font, TColor& background,
                                  TGridDrawState state) {
        EXPECT_TRUE(state.IsEmpty());
        if (column->Index() == 0) {
            background = clYellow;
            font.Style.Include(fsBold);
        }
    };
    g->Grid->Columns()[0]->OnGetCellParams = [](TColumnEh*, bool editMode, TColCellParamsEh& p) {
        EXPECT_FALSE(editMode);
        EXPECT_EQ(p.Row, -1);
        EXPECT_EQ(p.Col, -1);
        p.Text += QStringLiteral("!");
        p.Background = clRed; // replaced by the grid handler's colour
    };
    g->Grid->Columns()[1]->OnGetCellParams = [](TColumnEh*, bool, TColCellParamsEh& p) {
        p.Background = clRed; // replaced by the column's own colour
    };
    EXPECT_EQ(Record(*g), "begin\r\ntitle T1|T2\r\nrow a1! bg=ffff bold|a2\r\nend\r\n");
    // The column's own font is not touched by the handler's change of the copy.
    EXPECT_FALSE(g->Grid->Columns()[0]->Font().Style.Contains(fsBold));
}

TEST(ExportFooters, SumCountAndOtherKinds)
{
    TExportGrid g({{QStringLiteral("i"), ftInteger},
                   {QStringLiteral("f"), ftFloat},
                   {QStringLiteral("c"), ftBCD},
                   {QStringLiteral("s"), ftString, 5}},
                  {{1, 0.25, 1.5, "x"}, {QVariant(), 0.5, QVariant(), QVariant()}, {4, 1.0, 2.25, "y"}});
    g.AddColumn(QStringLiteral("i"), QStringLiteral("I"))->Footer()->SetValueType(fvtSum);
    g.AddColumn(QStringLiteral("f"), QStringLiteral("F"))->Footer()->SetValueType(fvtSum);
    g.AddColumn(QStringLiteral("c"), QStringLiteral("C"))->Footer()->SetValueType(fvtSum);
    TColumnEh* s = g.AddColumn(QStringLiteral("s"), QStringLiteral("S"));
    s->Footer()->SetValueType(fvtCount);
    TColumnEh* none = g.AddColumn(QString(), QStringLiteral("X"));
    none->Footer()->SetValueType(fvtSum);
    TColumnFooterEh* text = s->Footers()->Add();
    text->SetValueType(fvtStaticText);
    text->SetValue(QStringLiteral("Итого"));
    g.Grid->SetFooterRowCount(2);
    g.Open();
    g.Grid->SetOptions(g.Grid->Options() - dgTitles);
    const QString log = Record(g);
    // Row 0 of s uses its Footers item (static text); row 1 its Footer (count).
    EXPECT_TRUE(log.endsWith(QStringLiteral("footer 0: 0=5|1=1.75|2=3.75|3=Итого|4=\r\n"
                                            "footer 1: 0=5|1=1.75|2=3.75|3=3|4=\r\nend\r\n")))
        << log.toUtf8().toStdString();
}

TEST(ExportFooters, HandlerMayChangeTheFooterText)
{
    auto g = TwoColumnGrid({{"a", "b"}});
    g->Grid->Columns()[1]->Footer()->SetValueType(fvtCount);
    g->Grid->SetFooterRowCount(1);
    g->Grid->OnGetFooterParams = [](TCustomDBGridEh*, int dataCol, int row, TColumnEh*, TFontEh&, TColor&, TAlignment&,
                                    TGridDrawState, QString& text) {
        text = QStringLiteral("[%1,%2:%3]").arg(dataCol).arg(row).arg(text);
    };
    EXPECT_BYTES(g->Export(ExportClassEh<TDBGridEhExportAsText>), "T1\tT2\r\na\tb\r\n[0,0:]\t[1,0:1]");
}

TEST(ExportProgress, ReportsEveryFewThousandRecordsAndMayStop)
{
    auto g = NumberGrid(10000);
    std::vector<std::pair<qint64, qint64>> calls;
    g->Export(ExportClassEh<TDBGridEhExportAsCSV>, true, [&](qint64 done, qint64 total) {
        calls.emplace_back(done, total);
        return true;
    });
    const std::vector<std::pair<qint64, qint64>> expected = {{0, 10000}, {4096, 10000}, {8192, 10000}, {10000, 10000}};
    EXPECT_EQ(calls, expected);

    g->DataSet.SetRecordNumber(77);
    TMemoryStreamEh stream;
    EXPECT_THROW(ExportGridToStream(ExportClassEh<TDBGridEhExportAsCSV>, g->Grid.get(), &stream, true,
                                    [](qint64 done, qint64) { return done < 4096; }),
                 EAbort);
    EXPECT_EQ(g->DataSet.RecordNumber(), 77);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

TEST(ExportToFile, CannotCreateNamesTheFullPathAndTheReason)
{
    auto g = TwoColumnGrid({});
    QTemporaryDir dir;
    const QString relative = QDir(QDir::currentPath()).relativeFilePath(dir.filePath("missing/x.csv"));
    try {
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsCSV>, g->Grid.get(), relative, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(
            e.Message(),
            QStringLiteral("Cannot create file \"%1\". No such file or directory").arg(dir.filePath("missing/x.csv")));
    }
}

TEST(ExportToFile, WritesTruncatesAndLeavesAnEmptyFileWithoutSelection)
{
    auto g = TwoColumnGrid({{"a1", "a2"}, {"b1", "b2"}});
    QTemporaryDir dir;
    const QString path = dir.filePath("out.txt");
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(100, 'z'));
    }
    ExportGridToFile(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), path, true);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_BYTES(f.readAll(), Golden("example.txt"));
    f.close();
    ExportGridToFile(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), path, false);
    EXPECT_EQ(QFile(path).size(), 0);
}

TEST(ExportFailure, AHandlerErrorRestoresTheCursorAndKeepsWhatWasWritten)
{
    auto g = NumberGrid(5);
    g->DataSet.SetRecordNumber(4);
    g->Grid->Columns()[0]->OnGetCellParams = [](TColumnEh* column, bool, TColCellParamsEh&) {
        if (column->Field()->AsInteger() == 3)
            throw Exception(QStringLiteral("no three"));
    };
    TMemoryStreamEh stream;
    EXPECT_THROW(ExportGridToStream(ExportClassEh<TDBGridEhExportAsText>, g->Grid.get(), &stream, true), Exception);
    EXPECT_BYTES(stream.Bytes(), "N\r\n1\r\n2\r\n");
    EXPECT_EQ(g->DataSet.RecordNumber(), 4);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

// An exporter of class T that notes its own end: how many ended, and whether the writer still
// pointed at a stream the exporter had made and freed (the RTF body) when it did.
struct TExporterEnds
{
    int Ended = 0;
    int WriterLeftOnAFreedStream = 0;
};
TExporterEnds gExporterEnds;

template <class T>
class TWatchedExport : public T
{
public:
    explicit TWatchedExport(const QIODevice* target) : fTarget(target) {}
    ~TWatchedExport() override
    {
        ++gExporterEnds.Ended;
        const QIODevice* device = this->Out().Device();
        if (device && device != fTarget)
            ++gExporterEnds.WriterLeftOnAFreedStream;
    }

private:
    const QIODevice* fTarget;
};

const QIODevice* gWatchedTarget = nullptr;
template <class T>
std::unique_ptr<TDBGridEhExport> WatchedClass()
{
    return std::make_unique<TWatchedExport<T>>(gWatchedTarget);
}

struct FailingStreamCase
{
    const char* name;
    TDBGridEhExportClass exportClass;
    TDBGridEhExportClass watchedClass; // the same class, watched
};

class ExportToAFailingStream : public ::testing::TestWithParam<FailingStreamCase>
{
};

// Every format on a device that takes only the first N bytes, for every N short of the whole
// document: the write error surfaces, what the device took is the document's start, the cursor is
// back, notifications are on again, and the exporter is gone without leaving anything behind.
TEST_P(ExportToAFailingStream, SurfacesTheWriteErrorAndPutsEverythingBack)
{
    // Integers and floats (XLS writes them as RK and NUMBER records), a Cyrillic text, a null.
    TExportGrid g(
        {{QStringLiteral("i"), ftInteger}, {QStringLiteral("f"), ftFloat}, {QStringLiteral("s"), ftString, 20}},
        {{1, 0.5, QStringLiteral("Иванов & <Ко>")},
         {2, 1.5, QStringLiteral("\"quoted\"")},
         {3, 2.5, QVariant()},
         {4, 3.5, QStringLiteral("Ёж")}});
    g.AddColumn(QStringLiteral("i"), QStringLiteral("I"));
    g.AddColumn(QStringLiteral("f"), QStringLiteral("F"));
    g.AddColumn(QStringLiteral("s"), QStringLiteral("Имя"));
    g.Open();
    g.DataSet.SetRecordNumber(3);
    const QByteArray current = g.DataSet.Bookmark();
    const QByteArray whole = g.Export(GetParam().exportClass);
    ASSERT_FALSE(whole.isEmpty());

    for (qint64 limit = 0; limit <= whole.size(); ++limit) {
        TFailingDevice device(limit);
        gWatchedTarget = &device;
        gExporterEnds = {};
        try {
            ExportGridToStream(GetParam().watchedClass, g.Grid.get(), &device, true);
            ASSERT_EQ(limit, whole.size()) << "no failure at limit " << limit;
        } catch (const Exception& e) {
            ASSERT_LT(limit, whole.size());
            ASSERT_EQ(e.Message(), QStringLiteral("Stream write error")) << limit;
        }
        ASSERT_BYTES(device.Data(), whole.left(limit)) << limit;
        ASSERT_EQ(g.DataSet.Bookmark(), current) << limit;
        ASSERT_FALSE(g.DataSet.NotifySuspended()) << limit;
        ASSERT_EQ(gExporterEnds.Ended, 1) << limit;
        ASSERT_EQ(gExporterEnds.WriterLeftOnAFreedStream, 0) << limit;
    }
    gWatchedTarget = nullptr;
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ExportToAFailingStream,
    ::testing::Values(
        FailingStreamCase{"Text", ExportClassEh<TDBGridEhExportAsText>, WatchedClass<TDBGridEhExportAsText>},
        FailingStreamCase{"CSV", ExportClassEh<TDBGridEhExportAsCSV>, WatchedClass<TDBGridEhExportAsCSV>},
        FailingStreamCase{"HTML", ExportClassEh<TDBGridEhExportAsHTML>, WatchedClass<TDBGridEhExportAsHTML>},
        FailingStreamCase{"RTF", ExportClassEh<TDBGridEhExportAsRTF>, WatchedClass<TDBGridEhExportAsRTF>},
        FailingStreamCase{"XLS", ExportClassEh<TDBGridEhExportAsXLS>, WatchedClass<TDBGridEhExportAsXLS>},
        FailingStreamCase{"VCLDBIF", ExportClassEh<TDBGridEhExportAsVCLDBIF>, WatchedClass<TDBGridEhExportAsVCLDBIF>}),
    NamedCase());

// Two text fields a and b kept as UTF-8, as the directory's engine keeps them; counts the texts
// it is asked to make.
class TUtf8DataSet : public TDataSet
{
public:
    using Value = std::optional<QByteArray>; // nullopt: NULL
    explicit TUtf8DataSet(std::vector<std::vector<Value>> rows) : fRows(std::move(rows)) {}
    ~TUtf8DataSet() override { Close(); }
    mutable int TextsMade = 0;

protected:
    void DoOpen() override
    {
        for (const char* name : {"a", "b"})
            AddField(std::make_unique<TField>(this, QString::fromLatin1(name), ftString, 20));
    }
    void DoClose() override { ClearFields(); }
    int StoredRowCount() const override { return int(fRows.size()); }
    QVariant StoredValue(int row, int field) const override
    {
        const Value& v = At(row, field);
        return v ? QVariant(QString::fromUtf8(*v)) : QVariant();
    }
    bool StoredIsNull(int row, int field) const override { return !At(row, field); }
    QString StoredText(int row, int field) const override
    {
        ++TextsMade;
        const Value& v = At(row, field);
        return v ? QString::fromUtf8(*v) : QString();
    }
    bool HasUtf8Text(int /*field*/) const override { return true; }
    QByteArrayView StoredUtf8(int row, int field) const override
    {
        const Value& v = At(row, field);
        return v ? QByteArrayView(*v) : QByteArrayView();
    }

private:
    const Value& At(int row, int field) const { return fRows[std::size_t(row)][std::size_t(field)]; }
    std::vector<std::vector<Value>> fRows;
};

struct TUtf8Grid
{
    explicit TUtf8Grid(std::vector<std::vector<TUtf8DataSet::Value>> rows) : DataSet(std::move(rows))
    {
        Source.SetDataSet(&DataSet);
        Grid->setObjectName(QStringLiteral("DBS"));
        for (const char* name : {"a", "b"}) {
            TColumnEh* column = Grid->Columns().Add();
            column->SetFieldName(QString::fromLatin1(name));
            column->Title()->SetCaption(QString::fromLatin1(name).toUpper());
        }
        Grid->SetDataSource(&Source);
        DataSet.Open();
        Grid->RequestLayout();
    }
    QByteArray Export(TDBGridEhExportClass exportClass)
    {
        TMemoryStreamEh stream;
        ExportGridToStream(exportClass, Grid.get(), &stream, true);
        return stream.Bytes();
    }

    TUtf8DataSet DataSet;
    TDataSource Source;
    std::unique_ptr<TCustomDBGridEh> Grid = std::make_unique<TCustomDBGridEh>();
};

// Texts that each format escapes, encodes or cuts, and malformed UTF-8.
std::unique_ptr<TUtf8Grid> Utf8Grid()
{
    return std::make_unique<TUtf8Grid>(
        std::vector<std::vector<TUtf8DataSet::Value>>{{"Иванов Ёж", "a\"b;c\"\"d"},
                                                      {"<&lt;>\"", "{\\}\\par"},
                                                      {std::nullopt, QByteArray("")},
                                                      {"№ 5 – €", "x\xF0\x9F\x98\x80y"},
                                                      {"bad\xC0\xAF", "\xD0"},
                                                      {"x\r\ny\tz", QByteArray("Ж").repeated(40000)}});
}

struct Utf8FormatCase
{
    const char* name;
    TDBGridEhExportClass exportClass;
    bool readsTexts; // writes stored values, which it reads as text
};

class ExportUtf8Cells : public ::testing::TestWithParam<Utf8FormatCase>
{
};

TEST_P(ExportUtf8Cells, WriteWhatTheirTextsWouldWithoutMakingThem)
{
    auto g = Utf8Grid();
    const QByteArray direct = g->Export(GetParam().exportClass);
    if (!GetParam().readsTexts) {
        EXPECT_EQ(g->DataSet.TextsMade, 0);
    }
    // A handler that changes nothing sends every cell the general way, through its text.
    for (int i = 0; i < 2; ++i)
        g->Grid->Columns()[i]->OnGetCellParams = [](TColumnEh*, bool, TColCellParamsEh&) {};
    g->DataSet.TextsMade = 0;
    EXPECT_BYTES(direct, g->Export(GetParam().exportClass));
    EXPECT_GT(g->DataSet.TextsMade, 0);
}

INSTANTIATE_TEST_SUITE_P(Formats, ExportUtf8Cells,
                         ::testing::Values(Utf8FormatCase{"Text", ExportClassEh<TDBGridEhExportAsText>, false},
                                           Utf8FormatCase{"CSV", ExportClassEh<TDBGridEhExportAsCSV>, false},
                                           Utf8FormatCase{"HTML", ExportClassEh<TDBGridEhExportAsHTML>, false},
                                           Utf8FormatCase{"RTF", ExportClassEh<TDBGridEhExportAsRTF>, false},
                                           Utf8FormatCase{"XLS", ExportClassEh<TDBGridEhExportAsXLS>, false},
                                           Utf8FormatCase{"VCLDBIF", ExportClassEh<TDBGridEhExportAsVCLDBIF>, true}),
                         NamedCase());

TEST(ExportCellParams, HandlersStillSeeAndChangeUtf8Texts)
{
    auto g = Utf8Grid();
    g->Grid->Columns()[0]->OnGetCellParams = [](TColumnEh*, bool, TColCellParamsEh& params) { params.Text += u'!'; };
    TColor seen = clNone;
    g->Grid->OnGetCellParams = [&](TCustomDBGridEh*, TColumnEh*, TFontEh&, TColor& background, TGridDrawState) {
        seen = background = clYellow;
    };
    const QByteArray csv = g->Export(ExportClassEh<TDBGridEhExportAsCSV>);
    EXPECT_TRUE(csv.startsWith("\"A\";\"B\"\r\n\"\xC8\xE2\xE0\xED\xEE\xE2 \xA8\xE6!\";")) << csv.left(40).toStdString();
    EXPECT_EQ(seen, clYellow);
    EXPECT_TRUE(g->Export(ExportClassEh<TDBGridEhExportAsHTML>).contains("BGCOLOR=#FFFF00"));
}

} // namespace
