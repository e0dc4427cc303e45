// The workbook is read back: its sheet and styles unzipped (unzip -p) and looked at as text, and
// the whole book converted to CSV by LibreOffice. Skipped where unzip or soffice is missing.

#include "TDBGridEhExportAsXLSX.h"

#include "Exception.h"
#include "ExportGrid.h"
#include "GoldenBytes.h"
#include "TMemoryStreamEh.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QUrl>
#include <gtest/gtest.h>

#include <cmath>
#include <functional>

namespace {

// A one-column result of `rows` records made up on demand: null except the last, which is 1.
class TTallDataSet : public TDataSet
{
public:
    explicit TTallDataSet(int rows) : TDataSet(QStringLiteral("Tall")), fRows(rows) {}
    ~TTallDataSet() override { Close(); }

protected:
    void DoOpen() override { AddField(std::make_unique<TField>(this, QStringLiteral("n"), ftInteger, 0)); }
    void DoClose() override {}
    int StoredRowCount() const override { return fRows; }
    QVariant StoredValue(int row, int) const override { return row == fRows - 1 ? QVariant(1) : QVariant(); }

private:
    int fRows;
};

class XlsxFile : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fUnzip = QStandardPaths::findExecutable(QStringLiteral("unzip"));
        if (fUnzip.isEmpty())
            GTEST_SKIP() << "unzip is not installed: install unzip to read the workbooks back";
        ASSERT_TRUE(fDir.isValid());
    }

    QString Write(TCustomDBGridEh* grid, bool exportAll = true)
    {
        const QString path = fDir.filePath(QStringLiteral("book.xlsx"));
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsXLSX>, grid, path, exportAll);
        return path;
    }

    QByteArray Member(const QString& path, const char* member)
    {
        QProcess unzip;
        unzip.start(fUnzip, {QStringLiteral("-p"), path, QString::fromLatin1(member)});
        EXPECT_TRUE(unzip.waitForFinished(60000));
        EXPECT_EQ(unzip.exitCode(), 0) << member << ": " << unzip.readAllStandardError().toStdString();
        return unzip.readAllStandardOutput();
    }

    QByteArray Sheet(TCustomDBGridEh* grid, bool exportAll = true)
    {
        return Member(Write(grid, exportAll), "xl/worksheets/sheet1.xml");
    }

    // The cells of a sheet in order: "A1 'text'" for a text, "B2 5" for a number.
    static std::string Cells(const QByteArray& sheet)
    {
        static const QRegularExpression cell(
            QString::fromLatin1(R"re(<c r="([A-Z]+[0-9]+)"[^>]*>(?:<is><t[^>]*>(.*?)</t></is>|<v>(.*?)</v>)</c>)re"),
            QRegularExpression::DotMatchesEverythingOption);
        QStringList out;
        for (const auto& m : cell.globalMatch(QString::fromUtf8(sheet)))
            out << (m.capturedLength(3) > 0 ? m.captured(1) + u' ' + m.captured(3)
                                            : m.captured(1) + QStringLiteral(" '") + m.captured(2) + u'\'');
        return out.join(QStringLiteral(", ")).toStdString();
    }

    QString fUnzip;
    QTemporaryDir fDir;
};

struct ValueCase
{
    const char* name;
    TFieldType type;
    QVariant value;
    const char* cell; // the record's cell at A2 as the sheet holds it; "" for no cell
};

class XlsxValue : public XlsxFile, public ::testing::WithParamInterface<ValueCase>
{
};

TEST_P(XlsxValue, IsWrittenAsTheSheetReadsItBack)
{
    const ValueCase& c = GetParam();
    TExportGrid g({{QStringLiteral("v"), c.type, 40}}, {{c.value}});
    g.AddColumn(QStringLiteral("v"), QStringLiteral("T"));
    g.Open();
    const QByteArray sheet = Sheet(g.Grid.get());
    if (*c.cell)
        EXPECT_TRUE(sheet.contains(QByteArray("<row r=\"2\">") + c.cell + "</row>")) << sheet.toStdString();
    else
        EXPECT_FALSE(sheet.contains("<row r=\"2\"")) << sheet.toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsxValue,
    ::testing::Values(ValueCase{"CyrillicIsUnicode", ftString, QStringLiteral("Ёлкин Щ."),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>Ёлкин Щ.</t></is></c>"},
                      ValueCase{"QuotesAndMarkupAreEscaped", ftString, QStringLiteral("ООО \"Ёлка\" <&> 'x'"),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>ООО \"Ёлка\" &lt;&amp;&gt; 'x'</t></is></c>"},
                      ValueCase{"LeadingZerosStayText", ftString, QStringLiteral("007"),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>007</t></is></c>"},
                      ValueCase{"OuterSpacesAreKept", ftString, QStringLiteral(" 12-34 "),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> 12-34 </t></is></c>"},
                      ValueCase{"ControlCharacterIsEscaped", ftString, QStringLiteral("a\x01z"),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>a_x0001_z</t></is></c>"},
                      ValueCase{"EscapeLookalikeReadsBackAsItStands", ftString, QStringLiteral("_x0041_ и _x12_"),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>_x005F_x0041_ и _x12_</t></is></c>"},
                      ValueCase{"EmptyTextIsNoCell", ftString, QStringLiteral(""), ""},
                      ValueCase{"NullTextIsNoCell", ftString, QVariant(), ""},
                      ValueCase{"NullIntegerIsNoCell", ftInteger, QVariant(), ""},
                      ValueCase{"IntegerIsNumber", ftInteger, 5, "<c r=\"A2\"><v>5</v></c>"},
                      ValueCase{"NegativeSmallintIsNumber", ftSmallint, -17, "<c r=\"A2\"><v>-17</v></c>"},
                      ValueCase{"FloatIsNumber", ftFloat, 1.5, "<c r=\"A2\"><v>1.5</v></c>"},
                      ValueCase{"BcdIsNumber", ftBCD, -2.25, "<c r=\"A2\"><v>-2.25</v></c>"},
                      ValueCase{"InfinityKeepsItsText", ftFloat, std::numeric_limits<double>::infinity(),
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>inf</t></is></c>"},
                      ValueCase{"LargeintHeldExactlyIsNumber", ftLargeint, qint64(1) << 53,
                                "<c r=\"A2\"><v>9007199254740992</v></c>"},
                      ValueCase{"LargeintBeyondADoubleIsText", ftLargeint, (qint64(1) << 53) + 1,
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>9007199254740993</t></is></c>"},
                      ValueCase{"BooleanIsText", ftBoolean, true,
                                "<c r=\"A2\" t=\"inlineStr\"><is><t>True</t></is></c>"}),
    NamedCase());

TEST_F(XlsxFile, LongTextsAreCutToWhatACellHolds)
{
    const QString whole(kXlsxMaxTextChars, u'Ж');
    const QString emoji = QStringLiteral("\U0001F600");
    TExportGrid g({{QStringLiteral("v"), ftString, 0}},
                  {{whole}, {whole + u'Ы'}, {QString(kXlsxMaxTextChars - 1, u'a') + emoji}});
    g.AddColumn(QStringLiteral("v"), QStringLiteral("T"));
    g.Open();
    const QString sheet = QString::fromUtf8(Sheet(g.Grid.get()));
    auto cell = [](int row, const QString& text) {
        return QStringLiteral("<c r=\"A%1\" t=\"inlineStr\"><is><t>%2</t></is></c>").arg(row).arg(text);
    };
    EXPECT_TRUE(sheet.contains(cell(2, whole)));
    EXPECT_TRUE(sheet.contains(cell(3, whole)));
    // A character of two code units that would end past the limit is left out whole.
    EXPECT_TRUE(sheet.contains(cell(4, QString(kXlsxMaxTextChars - 1, u'a'))));
}

struct Utf8Case
{
    const char* name;
    QByteArray in;
    QByteArray out;
};

class XlsxCellUtf8 : public ::testing::TestWithParam<Utf8Case>
{
};

TEST_P(XlsxCellUtf8, IsValidAndFitsACell)
{
    QByteArray scratch;
    EXPECT_EQ(XlsxCellText(GetParam().in, scratch).toByteArray(), GetParam().out);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, XlsxCellUtf8,
    ::testing::Values(
        Utf8Case{"AsciiAsItStands", "12-34-56", "12-34-56"},
        Utf8Case{"CyrillicAsItStands", "\xD0\x96\xD1\x83\xD0\xBA", "\xD0\x96\xD1\x83\xD0\xBA"},
        Utf8Case{"FourByteAsItStands", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},
        Utf8Case{"StrayByteBecomesReplacement",
                 "a\xFF"
                 "b",
                 "a\xEF\xBF\xBD"
                 "b"},
        Utf8Case{"CutSequenceBecomesReplacement", "a\xD0", "a\xEF\xBF\xBD"},
        Utf8Case{"SurrogateBecomesReplacement", "\xED\xA0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"},
        Utf8Case{"LongestFitsWhole", QByteArray(kXlsxMaxTextChars, 'a'), QByteArray(kXlsxMaxTextChars, 'a')},
        Utf8Case{"LongerIsCut", QByteArray(kXlsxMaxTextChars, 'a') + "\xD0\x96", QByteArray(kXlsxMaxTextChars, 'a')},
        Utf8Case{"TwoUnitCharacterPastTheLimitIsLeftOut", QByteArray(kXlsxMaxTextChars - 1, 'a') + "\xF0\x9F\x98\x80",
                 QByteArray(kXlsxMaxTextChars - 1, 'a')}),
    NamedCase());

TEST_F(XlsxFile, TitleRowIsBoldAlignedAndFrozenAndWidthsFollowTheGrid)
{
    TExportGrid g(
        {{QStringLiteral("a"), ftString, 10}, {QStringLiteral("b"), ftInteger}, {QStringLiteral("c"), ftFloat}},
        {{"x", 1, 0.5}});
    g.AddColumn(QStringLiteral("a"), QStringLiteral("Телефон"), 65);
    g.AddColumn(QStringLiteral("b"), QStringLiteral("Дом"), 275)->Title()->SetAlignment(taCenter);
    g.AddColumn(QStringLiteral("c"), QStringLiteral("Сумма"), 12)->Title()->SetAlignment(taRightJustify);
    g.Open();
    const QString path = Write(g.Grid.get());
    const QByteArray sheet = Member(path, "xl/worksheets/sheet1.xml");
    EXPECT_TRUE(sheet.contains("<pane ySplit=\"1\" topLeftCell=\"A2\" activePane=\"bottomLeft\" state=\"frozen\"/>"));
    // Pixels as Excel counts them for its default font: 7 to a character and 5 of padding, which
    // the file counts in as well.
    EXPECT_TRUE(sheet.contains("<cols><col min=\"1\" max=\"1\" width=\"9.28515625\" customWidth=\"1\"/>"
                               "<col min=\"2\" max=\"2\" width=\"39.28515625\" customWidth=\"1\"/>"
                               "<col min=\"3\" max=\"3\" width=\"1.7109375\" customWidth=\"1\"/></cols>"))
        << sheet.toStdString();
    EXPECT_TRUE(sheet.contains("<row r=\"1\"><c r=\"A1\" s=\"1\" t=\"inlineStr\"><is><t>Телефон</t></is></c>"
                               "<c r=\"B1\" s=\"2\" t=\"inlineStr\"><is><t>Дом</t></is></c>"
                               "<c r=\"C1\" s=\"3\" t=\"inlineStr\"><is><t>Сумма</t></is></c></row>"));
    EXPECT_TRUE(sheet.contains("<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t>x</t></is></c>"
                               "<c r=\"B2\"><v>1</v></c><c r=\"C2\"><v>0.5</v></c></row>"));
    const QByteArray styles = Member(path, "xl/styles.xml");
    EXPECT_TRUE(styles.contains("<fonts count=\"2\"><font><sz val=\"11\"/>"));
    EXPECT_TRUE(styles.contains("</font><font><b/><sz val=\"11\"/>"));
    const char* bold = "<xf numFmtId=\"0\" fontId=\"1\" fillId=\"0\" borderId=\"0\" xfId=\"0\" "
                       "applyFont=\"1\" applyAlignment=\"1\"><alignment horizontal=\"%1\"/></xf>";
    EXPECT_TRUE(
        styles.contains((QStringLiteral("<cellXfs count=\"4\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" "
                                        "borderId=\"0\" xfId=\"0\"/>")
                         + QString::fromLatin1(bold).arg(QStringLiteral("left"))
                         + QString::fromLatin1(bold).arg(QStringLiteral("center"))
                         + QString::fromLatin1(bold).arg(QStringLiteral("right")) + QStringLiteral("</cellXfs>"))
                            .toUtf8()))
        << styles.toStdString();
}

TEST_F(XlsxFile, WithoutTitlesNothingIsFrozenAndHiddenColumnsAreLeftOut)
{
    auto g = TwoColumnGrid({{"a1", "b1"}, {"a2", "b2"}});
    g->Grid->Columns()[0]->SetVisible(false);
    g->Grid->SetOptions(g->Grid->Options() - dgTitles);
    g->Grid->RequestLayout();
    const QByteArray sheet = Sheet(g->Grid.get());
    EXPECT_FALSE(sheet.contains("<pane"));
    EXPECT_EQ(Cells(sheet), "A1 'b1', A2 'b2'");
    EXPECT_TRUE(sheet.contains("<cols><col min=\"1\" max=\"1\" width=\"39.28515625\" customWidth=\"1\"/></cols>"));
}

TEST_F(XlsxFile, SelectionKindsWriteTheirRectangle)
{
    TExportGrid g({{QStringLiteral("a"), ftString, 5},
                   {QStringLiteral("b"), ftString, 5},
                   {QStringLiteral("c"), ftString, 5},
                   {QStringLiteral("d"), ftInteger}},
                  {{"a1", "b1", "c1", 1}, {"a2", "b2", "c2", 2}, {"a3", "b3", "c3", 3}, {"a4", "b4", "c4", 4}});
    for (const char* name : {"a", "b", "c", "d"})
        g.AddColumn(QString::fromLatin1(name), QString::fromLatin1(name).toUpper());
    g.Grid->Columns()[2]->SetVisible(false);
    g.Open();
    // Nothing selected: nothing at all is written.
    EXPECT_EQ(QFileInfo(Write(g.Grid.get(), false)).size(), 0);

    auto bookmark = [&](int record) {
        g.DataSet.SetRecordNumber(record);
        return g.DataSet.Bookmark();
    };
    g.Grid->Selection().Rect().Select(1, bookmark(2), false);
    g.Grid->Selection().Rect().Select(3, bookmark(3), true);
    g.DataSet.SetRecordNumber(4);
    EXPECT_EQ(Cells(Sheet(g.Grid.get(), false)), "A1 'B', B1 'D', A2 'b2', B2 2, A3 'b3', B3 3");
    EXPECT_EQ(g.DataSet.RecordNumber(), 4);

    g.Grid->Selection().Clear();
    for (int record : {4, 1}) {
        g.DataSet.SetRecordNumber(record);
        g.Grid->Selection().Rows().SetCurrentRowSelected(true);
    }
    EXPECT_EQ(Cells(Sheet(g.Grid.get(), false)),
              "A1 'A', B1 'B', C1 'D', A2 'a1', B2 'b1', C2 1, A3 'a4', B3 'b4', C3 4");
}

TEST_F(XlsxFile, FooterTotalsAreNumbers)
{
    TExportGrid g({{QStringLiteral("n"), ftInteger}, {QStringLiteral("s"), ftString, 5}},
                  {{2, "a"}, {QVariant(), "b"}, {5, QVariant()}});
    g.AddColumn(QStringLiteral("n"), QStringLiteral("N"))->Footer()->SetValueType(fvtSum);
    g.AddColumn(QStringLiteral("s"), QStringLiteral("S"))->Footer()->SetValueType(fvtCount);
    g.Grid->SetFooterRowCount(1);
    g.Open();
    EXPECT_EQ(Cells(Sheet(g.Grid.get())), "A1 'N', B1 'S', A2 2, B2 'a', B3 'b', A4 5, A5 7, B5 3");
}

TEST_F(XlsxFile, TheStreamGetsTheWholeBookAndNoTemporaryFileIsLeft)
{
    auto g = TwoColumnGrid({{"a1", "b1"}});
    TMemoryStreamEh stream;
    ExportGridToStream(ExportClassEh<TDBGridEhExportAsXLSX>, g->Grid.get(), &stream, true);
    const QByteArray bytes = stream.Bytes();
    EXPECT_TRUE(bytes.startsWith("PK\x03\x04"));
    // The zip's end record closes the stream.
    EXPECT_EQ(bytes.mid(bytes.size() - 22, 4), QByteArray("PK\x05\x06"));

    Write(g->Grid.get());
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("book.xlsx")});
}

TEST_F(XlsxFile, AFailureInTheWalkWritesNothingAndLeavesNoTemporaryFile)
{
    auto g = TwoColumnGrid({{"a1", "b1"}, {"a2", "b2"}, {"a3", "b3"}});
    g->DataSet.SetRecordNumber(2);
    g->Grid->OnGetCellParams = [&](TCustomDBGridEh*, TColumnEh*, TFontEh&, TColor&, TGridDrawState) {
        if (g->DataSet.RecordNumber() == 3)
            throw Exception(QStringLiteral("no"));
    };
    QFile file(fDir.filePath(QStringLiteral("book.xlsx")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    EXPECT_THROW(ExportGridToStream(ExportClassEh<TDBGridEhExportAsXLSX>, g->Grid.get(), &file, true), Exception);
    file.close();
    EXPECT_EQ(file.size(), 0);
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
              QStringList{QStringLiteral("book.xlsx")});
    EXPECT_EQ(g->DataSet.RecordNumber(), 2);
    EXPECT_FALSE(g->DataSet.NotifySuspended());
}

TEST_F(XlsxFile, ASheetHoldsATitleAndAMillionRecordsAndRefusesOneMore)
{
    const int most = int(kXlsxMaxRows) - 1;
    TTallDataSet fits(most);
    TDataSource source;
    source.SetDataSet(&fits);
    TCustomDBGridEh grid;
    grid.Columns().Add()->SetFieldName(QStringLiteral("n"));
    grid.SetDataSource(&source);
    fits.Open();
    const QByteArray sheet = Sheet(&grid);
    EXPECT_TRUE(sheet.contains("<row r=\"1048576\"><c r=\"A1048576\"><v>1</v></c></row></sheetData>"));

    TTallDataSet tooMany(most + 1);
    source.SetDataSet(&tooMany);
    tooMany.Open();
    QFile file(fDir.filePath(QStringLiteral("big.xlsx")));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    try {
        ExportGridToStream(ExportClassEh<TDBGridEhExportAsXLSX>, &grid, &file, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("Книга Excel \"%1\" не записана: на листе помещается не "
                                              "больше 1 048 576 строк, а в выгрузке их 1048577.")
                                   .arg(file.fileName()));
    }
    file.close();
    EXPECT_EQ(file.size(), 0);
    EXPECT_FALSE(tooMany.NotifySuspended());
    // A stream in memory has no file to name.
    TMemoryStreamEh stream;
    try {
        ExportGridToStream(ExportClassEh<TDBGridEhExportAsXLSX>, &grid, &stream, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Книга Excel не записана: ")));
    }
    EXPECT_EQ(stream.size(), 0);
    // A file export names the file it would replace, and leaves it as it was.
    const QString old = fDir.filePath(QStringLiteral("old.xlsx"));
    {
        QFile previous(old);
        ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
        previous.write("previous book");
    }
    try {
        ExportGridToFile(ExportClassEh<TDBGridEhExportAsXLSX>, &grid, old, true);
        FAIL() << "no failure";
    } catch (const Exception& e) {
        EXPECT_TRUE(e.Message().startsWith(QStringLiteral("Книга Excel \"%1\" не записана: ").arg(old)))
            << e.Message().toStdString();
    }
    QFile previous(old);
    ASSERT_TRUE(previous.open(QIODevice::ReadOnly));
    EXPECT_EQ(previous.readAll(), QByteArray("previous book"));
}

// LibreOffice reads the book back to the same rows.
TEST_F(XlsxFile, LibreOfficeReadsTheRowsBack)
{
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        GTEST_SKIP() << "LibreOffice is not installed (no soffice on PATH)";
    const QString longText(kXlsxMaxTextChars, u'Щ');
    TExportGrid g({{QStringLiteral("numer"), ftString, 10},
                   {QStringLiteral("vlad"), ftString, 0},
                   {QStringLiteral("numhome"), ftInteger},
                   {QStringLiteral("sum"), ftFloat}},
                  {{"007", QStringLiteral("Иванов Иван Иванович"), 5, 1.5},
                   {"65-43-21", QStringLiteral("ООО \"Ёлка\" & Co <{x}\\y>; №1 _x0041_"), -17, -0.25},
                   {QVariant(), QStringLiteral("Щукин"), QVariant(), QVariant()},
                   {"", longText, 0, 1e15}});
    g.AddColumn(QStringLiteral("numer"), QStringLiteral("Телефон"), 65);
    g.AddColumn(QStringLiteral("vlad"), QStringLiteral("Владелец"), 275);
    g.AddColumn(QStringLiteral("numhome"), QStringLiteral("Дом"), 60);
    g.AddColumn(QStringLiteral("sum"), QStringLiteral("Сумма"), 60);
    g.Open();
    const QString path = Write(g.Grid.get());

    const QString outDir = fDir.filePath(QStringLiteral("out"));
    const QStringList args = {QStringLiteral("-env:UserInstallation=")
                                  + QUrl::fromLocalFile(fDir.filePath(QStringLiteral("profile"))).toString(),
                              QStringLiteral("--headless"),
                              QStringLiteral("--norestore"),
                              QStringLiteral("--convert-to"),
                              QStringLiteral("csv:Text - txt - csv (StarCalc):44,34,76"),
                              QStringLiteral("--outdir"),
                              outDir,
                              path};
    QFile out(QDir(outDir).filePath(QStringLiteral("book.csv")));
    QProcess process;
    // LibreOffice now and then dies while it sets up a fresh profile beside other instances: a
    // crash is its own fault and gets another try; a normal end without output is the book's.
    for (int attempt = 0; attempt < 3; ++attempt) {
        process.start(soffice, args);
        ASSERT_TRUE(process.waitForFinished(180000)) << "soffice did not finish";
        if (out.exists() || (process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0))
            break;
    }
    ASSERT_TRUE(out.open(QIODevice::ReadOnly)) << process.readAllStandardError().toStdString();
    QString csv = QString::fromUtf8(out.readAll());
    if (csv.startsWith(QChar(0xFEFF)))
        csv.remove(0, 1);
    const QString expected = QStringLiteral("Телефон,Владелец,Дом,Сумма\n"
                                            "007,Иванов Иван Иванович,5,1.5\n"
                                            "65-43-21,\"ООО \"\"Ёлка\"\" & Co <{x}\\y>; №1 _x0041_\",-17,-0.25\n"
                                            ",Щукин,,\n")
                             + QStringLiteral(",") + longText + QStringLiteral(",0,1000000000000000\n");
    EXPECT_EQ(csv.toStdString(), expected.toStdString());
}

} // namespace
