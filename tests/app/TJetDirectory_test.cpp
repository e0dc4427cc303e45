// The window and the grid over a Jet (.mdb) directory: the same code as over SQLite.

#include "TForm1.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDBGridEhExport.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsVCLDBIF.h"
#include "TDBGridEhExportAsXLS.h"

#include <QBuffer>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

const QString kNwind = QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb");
const QString kProgram = QStringLiteral(PB_BINARY_DIR "/src/app/phonebook");

} // namespace

TEST(JetDirectory, AFileWithoutTheDirectoryTableReportsItOnSearchAndGoesOn)
{
    QTemporaryDir dir;
    const TProgramFiles files = TProgramFiles::FromExecutable(dir.filePath("phonebook"));
    ASSERT_TRUE(QFile::copy(kNwind, files.DatabasePath()));
    QStringList errors;
    SetErrorSink([&](QWidget*, const QString& text) { errors << text; });
    {
        TForm1 form(files);
        EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
        EXPECT_TRUE(form.ADOConnection1.Connected());
        form.street->setText("Мира");
        // As the button runs it: the error box, and the window goes on.
        RunHandler(&form, [&] { form.searchClick(); });
        ASSERT_EQ(errors.size(), 1);
        EXPECT_TRUE(errors[0].contains("kray")) << errors[0].toStdString();
        EXPECT_FALSE(form.ADOQuery1.Active());
        form.clearClick();
    }
    SetErrorSink(nullptr);
}

TEST(JetDirectory, AGridOverAJetResultScrollsSortsAndExports)
{
    qputenv("MDB_JET3_CHARSET", "CP1252");
    TADOConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=" + kNwind
                                   + ";Persist Security Info=False");
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM Customers WHERE Country like \"g%\";");
    TDataSource source;
    source.SetDataSet(&query);
    TDBGridEh grid;
    grid.resize(600, 200);
    grid.SetDataSource(&source);
    for (const char* name : {"CustomerID", "CompanyName", "City"}) {
        TColumnEh* column = grid.Columns().Add();
        column->SetFieldName(name);
    }
    grid.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&grid));
    query.Open();
    ASSERT_GT(query.RecordCount(), 5); // Germany and its neighbours starting with G
    query.MoveRelative(3);
    EXPECT_EQ(query.RecordNumber(), 4);
    EXPECT_EQ(grid.DataLink()->ActiveRecord(), 3);

    query.SortBy("City");
    query.MoveFirst();
    QString previous;
    for (; !query.AtEnd(); query.MoveNext()) {
        const QString city = query.FieldNamed("City")->DisplayText();
        EXPECT_LE(previous.localeAwareCompare(city), 0) << previous.toStdString() << " > " << city.toStdString();
        previous = city;
    }

    const TDBGridEhExportClass classes[] = {
        &ExportClassEh<TDBGridEhExportAsText>, &ExportClassEh<TDBGridEhExportAsCSV>,
        &ExportClassEh<TDBGridEhExportAsHTML>, &ExportClassEh<TDBGridEhExportAsRTF>,
        &ExportClassEh<TDBGridEhExportAsXLS>,  &ExportClassEh<TDBGridEhExportAsVCLDBIF>,
    };
    query.MoveFirst();
    const QString firstId = query.FieldNamed("CustomerID")->DisplayText();
    for (TDBGridEhExportClass exportClass : classes) {
        QBuffer buffer;
        buffer.open(QIODevice::WriteOnly);
        ExportGridToStream(exportClass, &grid, &buffer, true);
        EXPECT_TRUE(buffer.data().contains(firstId.toLatin1()));
        EXPECT_TRUE(buffer.data().contains("Berlin") || buffer.data().contains("Aachen"));
    }
    EXPECT_EQ(query.FieldNamed("CustomerID")->DisplayText(), firstId); // cursor restored
    qunsetenv("MDB_JET3_CHARSET");
}

// ---------------------------------------------------------------------------------------------
// The same directory in every file version an office may hold, written by another Jet
// implementation: every kind of search the window makes, and the whole table, exported as CSV
// by the program itself, must give the rows kray.tsv holds, byte for byte.

namespace {

const QString kCyrillicDir = QStringLiteral(PB_FIXTURES_DIR "/jet-cyrillic/");

// kray.tsv: one row a line, tab-separated UTF-8, "\N" for NULL.
std::vector<QStringList> DirectoryRows()
{
    QFile file(kCyrillicDir + "kray.tsv");
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read kray.tsv";
        return {};
    }
    std::vector<QStringList> rows;
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (line.isEmpty())
            continue;
        rows.push_back(QString::fromUtf8(line).split(u'\t'));
        EXPECT_EQ(rows.back().size(), 5) << line.toStdString();
    }
    return rows;
}

// The CSV exporter's bytes: windows-1251, every value in double quotes with inner quotes doubled,
// ";" between values, CR LF between lines and none after the last; NULL is an empty value.
QByteArray ExpectedCsv(const QStringList& titles, const std::vector<QStringList>& rows)
{
    const auto line = [](const QStringList& values) {
        QStringList quoted;
        for (const QString& value : values) {
            const QString text = value == QLatin1String("\\N") ? QString() : value;
            quoted << u'"' + QString(text).replace(u'"', QLatin1String("\"\"")) + u'"';
        }
        return quoted.join(u';');
    };
    QStringList lines{line(titles)};
    for (const QStringList& row : rows)
        lines << line(row);
    QStringEncoder encoder("windows-1251");
    const QByteArray bytes = encoder.encode(lines.join(QLatin1String("\r\n")));
    EXPECT_FALSE(encoder.hasError()) << "kray.tsv holds a letter windows-1251 lacks";
    return bytes;
}

struct TProgramRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TProgramRun RunPhonebook(const QStringList& arguments)
{
    QProcess process;
    process.start(kProgram, arguments);
    TProgramRun run;
    if (!process.waitForFinished(60000)) {
        ADD_FAILURE() << "phonebook did not finish: " << arguments.join(u' ').toStdString();
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.ExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.Out = QString::fromUtf8(process.readAllStandardOutput());
    run.Err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

// The first offset where two byte strings differ, for messages.
::testing::AssertionResult SameCsv(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    const QString where =
        QString::fromUtf8(QByteArray(expected.mid(std::max<qsizetype>(0, at - 40), 80)).toPercentEncoding(" \";\r\n"));
    return ::testing::AssertionFailure() << "the exports differ at byte " << at << " (" << actual.size() << " bytes, "
                                         << expected.size() << " expected), near: " << where.toStdString();
}

// One search as the window makes it, with the telephone numbers of the rows it must find, in the
// file's order.
struct TJetSearchCase
{
    const char* name;
    QStringList options;
    QStringList phones;
};

const std::vector<TJetSearchCase>& DirectorySearches()
{
    static const std::vector<TJetSearchCase> searches = {
        {"owner at the start, any letter case",
         {"--fio", "цой"},
         {"3-40-64", "9-14-54", "9-86-60", "6-70-82", "4-76-88", "4-19-75", "4-05-82"}},
        {"owner at the start with an apostrophe", {"--fio", "о'нил"}, {"01-02-04"}},
        {"owner at the start, a typed % stays a wildcard",
         {"--fio", "%игорь"},
         {"8-73-70", "3-92-43", "9-14-54", "6-53-72", "9-88-92", "4-17-75", "9-76-29"}},
        {"owner anywhere, capital Ё found by small ё",
         {"--fio", "ёлк", "--fio-style", "anywhere"},
         {"7-26-50", "9-18-82", "9-86-60", "4-76-88", "9-63-99"}},
        {"owner anywhere with double quotes", {"--fio", "\"ёлочка\"", "--fio-style", "anywhere"}, {"01-02-03"}},
        {"owner exact, any letter case", {"--fio", "цой юлия", "--fio-style", "exact"}, {"3-40-64", "6-70-82"}},
        {"owner exact, 255 letters", {"--fio", QString(255, u'Я'), "--fio-style", "exact"}, {"01-02-07"}},
        {"street anywhere",
         {"--street", "ленина"},
         {"01-02-03", "3-40-64", "3-14-36", "9-18-82", "8-60-18", "4-76-88", "5-48-01"}},
        {"street with an ampersand", {"--street", "smith & sons"}, {"01-02-04"}},
        {"house at the start", {"--dom", "1"}, {"01-02-03", "01-02-05", "01-02-07"}},
        {"house with a letter", {"--dom", "7К"}, {"01-02-06"}},
        {"flat at the start",
         {"--kvart", "1"},
         {"01-02-06", "01-02-07", "8-73-70", "3-14-36", "7-26-50", "7-46-59", "9-14-54", "6-53-72", "9-86-60",
          "6-70-82", "5-37-34", "9-66-62", "2-37-40", "6-57-23", "7-19-00", "9-88-92", "4-76-88", "6-57-41",
          "4-20-84"}},
        {"telephone anywhere", {"--phone", "-02-"}, {"01-02-03", "01-02-04", "01-02-05", "01-02-06", "01-02-07"}},
        {"telephone exact", {"--phone", "3-40-64", "--exact-phone"}, {"3-40-64"}},
        {"telephone exact finds no part", {"--phone", "3-40", "--exact-phone"}, {}},
        {"owner, street and house together", {"--fio", "жуков", "--street", "энтуз", "--dom", "8"}, {"9-65-98"}},
    };
    return searches;
}

struct TJetVersionCase
{
    const char* name;
    const char* file; // in jet-cyrillic/
};

void PrintTo(const TJetVersionCase& c, std::ostream* os)
{
    *os << c.name;
}

class JetFileVersions : public ::testing::TestWithParam<TJetVersionCase>
{
};

} // namespace

TEST_P(JetFileVersions, SearchesAndTheWholeTableExportAsWritten)
{
    const QString file = kCyrillicDir + QString::fromUtf8(GetParam().file);
    const std::vector<QStringList> rows = DirectoryRows();
    ASSERT_EQ(rows.size(), 40u);
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString out = dir.filePath("out.csv");
    const auto exported = [&](const QStringList& options, const QByteArray& expected, std::size_t count) {
        QFile::remove(out);
        const TProgramRun run = RunPhonebook(QStringList{"--database", file} + options + QStringList{"--export", out});
        ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
        EXPECT_EQ(run.Out, QStringLiteral("Найдено %1 записей.\n").arg(count));
        QFile csv(out);
        ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
        EXPECT_TRUE(SameCsv(csv.readAll(), expected));
    };

    for (const TJetSearchCase& search : DirectorySearches()) {
        SCOPED_TRACE(search.name);
        std::vector<QStringList> found;
        std::copy_if(rows.begin(), rows.end(), std::back_inserter(found),
                     [&](const QStringList& row) { return search.phones.contains(row[0]); });
        ASSERT_EQ(found.size(), std::size_t(search.phones.size()))
            << "a telephone number of the case is not in kray.tsv";
        exported(search.options, ExpectedCsv({"Телефон", "Владелец", "Улица", "Дом", "Квартира"}, found), found.size());
    }
    SCOPED_TRACE("the whole table");
    exported({"--table", "kray"}, ExpectedCsv({"numer", "vlad", "street", "numhome", "numdoor"}, rows), rows.size());
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JetFileVersions,
                         ::testing::Values(TJetVersionCase{"Jet4_Access2000", "kray-V2000.mdb"},
                                           TJetVersionCase{"Ace12_Access2007", "kray-V2007.accdb"},
                                           TJetVersionCase{"Ace14_Access2010", "kray-V2010.accdb"},
                                           TJetVersionCase{"Ace16_Access2016", "kray-V2016.accdb"},
                                           TJetVersionCase{"Ace17_Access2019", "kray-V2019.accdb"}),
                         [](const ::testing::TestParamInfo<TJetVersionCase>& p) { return std::string(p.param.name); });
