#include "TCommandLine.h"

#include "EndlessDirectory.h"
#include "Exception.h"
#include "MdbExport.h"
#include "SqliteDirectory.h"
#include "XvfbServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include <csignal>

TEST(ExportFileName, AppendsTheExtensionUnlessTheLastThreeCharactersAreIt)
{
    const std::vector<std::tuple<QString, QString, QString>> cases = {
        {"report", "csv", "report.csv"},
        {"report.CSV", "csv", "report.CSV"},
        {"a.txt", "csv", "a.txt.csv"},
        {"mytxt", "txt", "mytxt"},
        {"page.html", "htm", "page.html.htm"},
        {"ab", "txt", "ab.txt"},
        {"", "xls", ".xls"},
        {"report.xlsx", "xlsx", "report.xlsx"},
        {"report.xls", "xlsx", "report.xls.xlsx"},
    };
    for (const auto& [name, ext, expected] : cases)
        EXPECT_EQ(ExportFileName(name, ext), expected) << name.toStdString();
}

TEST(CommandLine, ReadsEveryOption)
{
    const TCommandLine cl =
        ParseCommandLine({"--fio", "Иван", "--fio-style", "anywhere", "--street", "Мира", "--dom", "1", "--kvart", "2",
                          "--phone", "3", "--exact-phone", "--sort", "vlad", "--export", "out.CSV"});
    EXPECT_TRUE(cl.Batch);
    EXPECT_EQ(cl.Criteria.Fio, "Иван");
    EXPECT_EQ(cl.Criteria.FioStyle, 1);
    EXPECT_EQ(cl.Criteria.Street, "Мира");
    EXPECT_EQ(cl.Criteria.Dom, "1");
    EXPECT_EQ(cl.Criteria.Kvart, "2");
    EXPECT_EQ(cl.Criteria.Phone, "3");
    EXPECT_TRUE(cl.Criteria.Discrete);
    EXPECT_EQ(cl.SortField, "vlad");
    EXPECT_EQ(cl.Format, "csv"); // from the extension
    EXPECT_FALSE(ParseCommandLine({}).Batch);
    EXPECT_EQ(ParseCommandLine({"--export", "x.dat", "--format", "XLS"}).Format, "xls");
    EXPECT_EQ(ParseCommandLine({"--export", "x.html"}).Format, "htm");
    EXPECT_TRUE(ParseCommandLine({"--help"}).Help);

    const TCommandLine table =
        ParseCommandLine({"--database", "../x.mdb", "--table", "Order Details", "--copy", "--copy-wait", "0"});
    EXPECT_EQ(table.Database, "../x.mdb");
    EXPECT_EQ(table.Table, "Order Details");
    EXPECT_TRUE(table.Copy);
    EXPECT_EQ(table.CopyWaitSeconds, 0);
    EXPECT_EQ(ParseCommandLine({"--fio", "a", "--copy"}).CopyWaitSeconds, 300);
    // A day at most.
    EXPECT_EQ(ParseCommandLine({"--fio", "a", "--copy", "--copy-wait", "86400"}).CopyWaitSeconds, 86400);
}

// The help is in Russian but names the options as they are typed: every option is listed at the
// start of its line, and nothing is left of an English wording.
TEST(CommandLine, HelpIsRussianAndListsEveryOption)
{
    const QString help = CommandLineHelp();
    EXPECT_TRUE(help.startsWith("Запуск: phonebook [параметры]\n")) << help.toStdString();
    for (const char* option :
         {"--database", "--table", "--fio", "--fio-style", "--street", "--dom", "--kvart", "--phone", "--exact-phone",
          "--sort", "--export", "--format", "--copy", "--copy-wait", "--batch", "--export-dir", "--help"}) {
        EXPECT_TRUE(help.contains(QStringLiteral("\n  ") + QString::fromLatin1(option) + u' ')) << option;
    }
    for (const char* english : {"Usage", "Without options", "instead of", "show this text", "default"})
        EXPECT_FALSE(help.contains(QString::fromLatin1(english))) << english;
    EXPECT_TRUE(help.endsWith("\n"));
}

TEST(CommandLine, BadArgumentsAreClearErrors)
{
    const std::vector<std::pair<QStringList, QString>> cases = {
        {{"--frobnicate"}, "Неизвестный параметр '--frobnicate' (см. --help)"},
        {{"--fio"}, "Параметру --fio нужно значение"},
        {{"--fio-style", "middle"}, "Неизвестное значение --fio-style 'middle' (допустимы left, anywhere и exact)"},
        {{"--export", "x.doc"}, "Формат файла 'x.doc' не определить по расширению: укажите --format"},
        {{"--format", "pdf", "--export", "x"},
         "Неизвестное значение --format 'pdf' (допустимы txt, csv, htm, rtf, xls и xlsx)"},
        {{"--format", "csv"}, "Параметр --format задаётся только вместе с --export ФАЙЛ"},
        {{"--table", "Customers", "--street", "x", "--exact-phone"},
         "--table берёт все строки таблицы; параметры поиска --street, --exact-phone относятся только к "
         "таблице справочника"},
        {{"--table", "a]b"}, "Недопустимое имя таблицы 'a]b'"},
        {{"--database", ""}, "Параметру --database нужно имя файла"},
        {{"--fio", "a", "--copy-wait", "5"}, "Параметр --copy-wait задаётся только вместе с --copy"},
        {{"--copy", "--copy-wait", "-1"}, "Параметру --copy-wait нужно число секунд от 0 до 86400, а не '-1'"},
        {{"--copy", "--copy-wait", "soon"}, "Параметру --copy-wait нужно число секунд от 0 до 86400, а не 'soon'"},
        {{"--copy", "--copy-wait", "86401"}, "Параметру --copy-wait нужно число секунд от 0 до 86400, а не '86401'"},
    };
    for (const auto& [args, message] : cases) {
        try {
            ParseCommandLine(args);
            ADD_FAILURE() << "no error for " << args.join(' ').toStdString();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
}

namespace {

const QString kProgram = QStringLiteral(PB_BINARY_DIR "/src/app/phonebook");
const QString kNwindFile = QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb");

// A small Cyrillic directory (table kray) in an SQLite file.
void WriteSmallDirectory(const QString& path)
{
    RunSqlScript(path, "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                       "INSERT INTO kray VALUES('2-34-56','Иванов Иван','ул. Мира','12','5');"
                       "INSERT INTO kray VALUES('4-33-33','Ёлкин Пётр','пр. Ленина','7','40');"
                       "INSERT INTO kray VALUES('3-22-22','ООО \"Ромашка\" {1}','ул. Мира','12а','');");
}

struct TRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunProgram(const QStringList& arguments, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment())
{
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(kProgram, arguments);
    TRun run;
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << "phonebook did not finish: " << arguments.join(' ').toStdString();
        return run;
    }
    run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.Out = QString::fromUtf8(p.readAllStandardOutput());
    run.Err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

// The cells of an Excel worksheet (BIFF records: type, length, data) by row and column: a label's
// bytes, a number as text, nothing for a blank cell.
std::vector<std::vector<QByteArray>> WorksheetCells(const QByteArray& bytes)
{
    std::vector<std::vector<QByteArray>> rows;
    auto u16 = [&](qsizetype at) { return quint16(quint8(bytes[at]) | quint8(bytes[at + 1]) << 8); };
    auto put = [&](quint16 row, quint16 col, const QByteArray& value) {
        if (rows.size() <= row)
            rows.resize(row + 1u);
        if (rows[row].size() <= col)
            rows[row].resize(col + 1u);
        rows[row][col] = value;
    };
    for (qsizetype at = 0; at + 4 <= bytes.size();) {
        const quint16 type = u16(at), length = u16(at + 2);
        const qsizetype data = at + 4;
        if (data + length > bytes.size()) {
            ADD_FAILURE() << "a record runs past the end of the worksheet at offset " << at;
            break;
        }
        if (type == 0x0204) { // label
            put(u16(data), u16(data + 2), bytes.mid(data + 8, u16(data + 6)));
        } else if (type == 0x0203) { // number
            double value;
            std::memcpy(&value, bytes.constData() + data + 6, sizeof value);
            put(u16(data), u16(data + 2), QByteArray::number(value, 'g', 17));
        } else if (type == 0x027E) { // RK: an integer in the upper 30 bits, or a float
            qint32 rk;
            std::memcpy(&rk, bytes.constData() + data + 6, sizeof rk);
            EXPECT_EQ(rk & 3, 2) << "only integer RK values are written";
            put(u16(data), u16(data + 2), QByteArray::number(rk >> 2));
        } else if (type == 0x0201) { // blank
            put(u16(data), u16(data + 2), QByteArray());
        }
        at = data + length;
    }
    return rows;
}

// The cells of an export file, line by line: CSV (";" between values in double quotes, doubled
// quotes inside), tab-separated text with lines separated by CR LF, or an Excel worksheet.
std::vector<std::vector<QByteArray>> ExportCells(const QByteArray& bytes, const QString& format)
{
    if (format == "xls")
        return WorksheetCells(bytes);
    std::vector<std::vector<QByteArray>> lines;
    if (format == "txt") {
        for (const QByteArray& line : bytes.split('\n')) {
            std::vector<QByteArray> cells;
            for (const QByteArray& cell : QByteArray(line).replace('\r', "").split('\t'))
                cells.push_back(cell);
            lines.push_back(cells);
        }
        return lines;
    }
    std::vector<QByteArray> cells;
    qsizetype i = 0;
    while (i < bytes.size()) {
        EXPECT_EQ(bytes[i], '"') << "a CSV value does not start with a quote at offset " << i;
        QByteArray value;
        for (++i; i < bytes.size(); ++i) {
            if (bytes[i] == '"') {
                if (i + 1 < bytes.size() && bytes[i + 1] == '"') {
                    value += '"';
                    ++i;
                    continue;
                }
                ++i;
                break;
            }
            value += bytes[i];
        }
        cells.push_back(value);
        if (i >= bytes.size() || bytes.mid(i, 2) == "\r\n") {
            lines.push_back(std::move(cells));
            cells.clear();
            i += 2;
        } else {
            EXPECT_EQ(bytes[i], ';') << "no separator after a CSV value at offset " << i;
            ++i;
        }
    }
    return lines;
}

// Text as the exporters write it: windows-1251, a character it lacks as '?'.
QByteArray Ansi(const QString& text)
{
    QStringEncoder encoder("windows-1251");
    return QByteArray(encoder.encode(text)).replace('\x1A', '?');
}

// One exported cell against mdb-export's value: the same text as the exporters write it, or the
// same number or date where the two print them differently.
void ExpectSameCell(const QByteArray& ours, const std::optional<QString>& theirs, bool memo,
                    const std::optional<QDate>& knownDate)
{
    const QString text = QString::fromLatin1(ours);
    if (memo) {
        EXPECT_EQ(ours, theirs ? QByteArray("(MEMO)") : QByteArray()); // the grid shows no memo text
        return;
    }
    if (knownDate) {
        EXPECT_EQ(text, knownDate->toString("dd.MM.yyyy"));
        return;
    }
    if (!theirs) {
        EXPECT_TRUE(ours.isEmpty()) << "null, ours: " << ours.toStdString();
        return;
    }
    if (ours == Ansi(*theirs))
        return;
    const QDateTime theirDate = QDateTime::fromString(*theirs, "yyyy-MM-dd HH:mm:ss");
    if (theirDate.isValid()) {
        QDateTime ourDate = QDateTime::fromString(text, "dd.MM.yyyy H:mm:ss");
        if (!ourDate.isValid())
            ourDate = QDateTime(QDate::fromString(text, "dd.MM.yyyy"), QTime(0, 0));
        EXPECT_EQ(ourDate, theirDate) << "ours: " << text.toStdString() << ", mdb-export: " << theirs->toStdString();
        return;
    }
    bool theirsIsNumber = false, oursIsNumber = false;
    const double theirNumber = theirs->toDouble(&theirsIsNumber);
    const double ourNumber = text.toDouble(&oursIsNumber);
    if (theirsIsNumber && oursIsNumber) {
        EXPECT_NEAR(ourNumber, theirNumber, 1e-6 * std::max(1.0, std::fabs(theirNumber)));
        return;
    }
    ADD_FAILURE() << "ours: " << text.toStdString() << ", mdb-export: " << theirs->toStdString();
}

struct TJetTableCase
{
    const char* name;
    const char* file; // in the fixtures
    const char* table;
    const char* format;
    const char* jet3Charset;
    std::vector<QString> memoColumns;
};

void PrintTo(const TJetTableCase& c, std::ostream* os)
{
    *os << c.name;
}

class CommandLineJetTable : public ::testing::TestWithParam<TJetTableCase>
{
};

} // namespace

TEST_P(CommandLineJetTable, ExportsWhatMdbExportShows)
{
    SKIP_WITHOUT_MDB_EXPORT();
    const TJetTableCase& c = GetParam();
    const QString file = QStringLiteral(PB_FIXTURES_DIR "/") + c.file;
    const QString table = QString::fromUtf8(c.table);
    QTemporaryDir dir;
    const QString out = dir.filePath(QStringLiteral("out.") + c.format);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("MDB_JET3_CHARSET", c.jet3Charset);
    const TRun run = RunProgram({"--database", file, "--table", table, "--export", out}, env);
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();

    const TMdbExport theirs = RunMdbExport(file, table, c.jet3Charset);
    ASSERT_FALSE(theirs.Rows.empty());
    EXPECT_EQ(run.Out, QStringLiteral("Найдено %1 записей.\n").arg(theirs.Rows.size()));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const auto lines = ExportCells(f.readAll(), c.format);
    ASSERT_EQ(lines.size(), theirs.Rows.size() + 1);
    ASSERT_EQ(lines[0].size(), std::size_t(theirs.Names.size()));
    for (qsizetype col = 0; col < theirs.Names.size(); ++col)
        EXPECT_EQ(lines[0][std::size_t(col)], Ansi(theirs.Names[col])); // the titles are the field names
    const qsizetype idColumn = theirs.Names.indexOf("IDCol");
    for (std::size_t row = 0; row < theirs.Rows.size(); ++row) {
        const auto& line = lines[row + 1];
        ASSERT_EQ(line.size(), theirs.Rows[row].size()) << "line " << row + 1;
        for (qsizetype col = 0; col < theirs.Names.size(); ++col) {
            const QString& name = theirs.Names[col];
            SCOPED_TRACE(QStringLiteral("line %1, %2").arg(row + 1).arg(name).toStdString());
            std::optional<QDate> knownDate;
            if (idColumn >= 0)
                for (const TKnownDate& k : kDatesMdbExportCannotPrint)
                    if (name == k.column && theirs.Rows[row][std::size_t(idColumn)] == QString::number(k.id))
                        knownDate = k.expected;
            const bool memo = std::find(c.memoColumns.begin(), c.memoColumns.end(), name) != c.memoColumns.end();
            ExpectSameCell(line[std::size_t(col)], theirs.Rows[row][std::size_t(col)], memo, knownDate);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, CommandLineJetTable,
    ::testing::Values(
        TJetTableCase{"Jet3CustomersAsCsv", "nwind.mdb", "Customers", "csv", "windows-1252", {}},
        TJetTableCase{"Jet3CustomersAsWorksheet", "nwind.mdb", "Customers", "xls", "windows-1252", {}},
        TJetTableCase{
            "Jet3TableNameWithABlankNumbersInAWorksheet", "nwind.mdb", "Order Details", "xls", "windows-1252", {}},
        TJetTableCase{"Jet3NonAsciiTableNameWithDatesAndMoney", "nwind.mdb", "Umsätze", "csv", "windows-1252", {}},
        TJetTableCase{"Jet4DateTestAsCsv", "DateTestDatabase.mdb", "DateTest", "csv", "windows-1252", {"LongTextCol"}},
        TJetTableCase{
            "Jet4DateTestAsText", "DateTestDatabase.mdb", "DateTest", "txt", "windows-1252", {"LongTextCol"}}),
    [](const ::testing::TestParamInfo<TJetTableCase>& p) { return std::string(p.param.name); });

TEST(CommandLineRun, AnotherDirectoryFileIsSearchedAndItsFailuresAreReported)
{
    QTemporaryDir dir;
    // An SQLite directory in a folder whose name would cut a connection string short.
    ASSERT_TRUE(QDir(dir.path()).mkpath("a;b"));
    const QString directory = dir.filePath("a;b/city.db");
    WriteSmallDirectory(directory);
    QProcessEnvironment noDisplay = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        noDisplay.remove(name);

    const struct
    {
        const char* name;
        QStringList arguments;
        int exitCode;
        QString out;
        QString errorPart; // of standard error
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    } cases[] = {
        {"a search of the directory table",
         {"--database", directory, "--street", "Мира"},
         0,
         "Найдено 2 записей.\n",
         ""},
        {"a whole table, sorted",
         {"--database", directory, "--table", "kray", "--sort", "vlad"},
         0,
         "Найдено 3 записей.\n",
         ""},
        {"a missing table", {"--database", directory, "--table", "nope"}, 1, "", "no such table: nope"},
        {"a missing Jet table",
         {"--database", kNwindFile, "--table", "kray"},
         1,
         "",
         "Таблица 'kray' не найдена в базе данных"},
        {"a missing file", {"--database", dir.filePath("none.mdb"), "--street", "Мира"}, 1, "", "none.mdb"},
        {"a field the table lacks",
         {"--database", directory, "--table", "kray", "--sort", "City"},
         1,
         "",
         "Ни один столбец не показывает поле 'City'"},
        {"a copy without a display",
         {"--database", directory, "--street", "Мира", "--copy"},
         1,
         "",
         "Для --copy нужен дисплей, который удержит буфер обмена, а ни DISPLAY, ни WAYLAND_DISPLAY не заданы",
         noDisplay},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = RunProgram(c.arguments, c.env);
        EXPECT_EQ(run.ExitCode, c.exitCode) << run.Err.toStdString();
        EXPECT_EQ(run.Out, c.out);
        EXPECT_TRUE(run.Err.contains(c.errorPart)) << run.Err.toStdString();
    }
}

namespace {

// The first offset where two byte strings differ, for messages.
::testing::AssertionResult SameBytes(const QByteArray& actual, const QByteArray& expected)
{
    if (actual == expected)
        return ::testing::AssertionSuccess();
    qsizetype at = 0;
    while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
        ++at;
    return ::testing::AssertionFailure() << "the bytes differ first at offset " << at << " (" << actual.size()
                                         << " bytes, " << expected.size() << " expected): got '"
                                         << actual.mid(at, 40).toStdString() << "', expected '"
                                         << expected.mid(at, 40).toStdString() << "'";
}

} // namespace

TEST(CommandLineRun, CopyHoldsTheClipboardUntilAnotherProgramTakesItOver)
{
    if (QStandardPaths::findExecutable("Xvfb").isEmpty() || QStandardPaths::findExecutable("xclip").isEmpty())
        GTEST_SKIP() << "Xvfb or xclip is not installed (Debian packages xvfb, xclip): no display to copy to";
    QTemporaryDir dir;
    const QString directory = dir.filePath("city.db");
    WriteSmallDirectory(directory);
    TXvfbServer xvfb;
    QString why;
    const QString display = xvfb.Start(why);
    ASSERT_FALSE(display.isEmpty()) << why.toStdString();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("QT_QPA_PLATFORM"); // the program finds the display itself
    env.remove("XAUTHORITY");
    env.remove("WAYLAND_DISPLAY");
    env.insert("DISPLAY", display);

    // The RTF export of the same result on the same display (system colours are the display's).
    QProcessEnvironment exportEnv = env;
    exportEnv.insert("QT_QPA_PLATFORM", "xcb");
    const QString rtfFile = dir.filePath("result.rtf");
    const TRun exported = RunProgram({"--database", directory, "--street", "Мира", "--export", rtfFile}, exportEnv);
    ASSERT_EQ(exported.ExitCode, 0) << exported.Err.toStdString();
    QFile rtf(rtfFile);
    ASSERT_TRUE(rtf.open(QIODevice::ReadOnly));
    const QByteArray expectedRtf = rtf.readAll();

    QProcess program;
    program.setProcessEnvironment(env);
    program.start(kProgram, {"--database", directory, "--street", "Мира", "--copy", "--copy-wait", "120"});
    QByteArray out;
    QDeadlineTimer deadline(60000);
    while (!out.contains("Скопировано в буфер обмена") && !deadline.hasExpired()
           && program.state() != QProcess::NotRunning) {
        program.waitForReadyRead(200);
        out += program.readAllStandardOutput();
    }
    ASSERT_TRUE(out.contains("Скопировано в буфер обмена"))
        << out.toStdString() << program.readAllStandardError().toStdString();
    EXPECT_TRUE(out.startsWith("Найдено 2 записей.\n")) << out.toStdString();

    auto xclip = [&](const QStringList& arguments) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QStandardPaths::findExecutable("xclip"), QStringList{"-selection", "clipboard"} + arguments);
        EXPECT_TRUE(p.waitForFinished(20000)) << arguments.join(' ').toStdString();
        EXPECT_EQ(p.exitCode(), 0) << p.readAllStandardError().toStdString();
        return p.readAllStandardOutput();
    };
    const QStringList targets = QString::fromUtf8(xclip({"-o", "-t", "TARGETS"})).split('\n', Qt::SkipEmptyParts);
    EXPECT_TRUE(targets.contains("text/plain") || targets.contains("UTF8_STRING")) << targets.join(' ').toStdString();
    for (const char* name : {"text/csv", "text/rtf", "text/richtext", "application/x-qt-windows-mime;value=\"Csv\"",
                             "application/x-qt-windows-mime;value=\"Rich Text Format\"",
                             "application/x-qt-windows-mime;value=\"VCLDBIF\""})
        EXPECT_TRUE(targets.contains(name)) << name << " is not among " << targets.join(' ').toStdString();
    EXPECT_TRUE(SameBytes(xclip({"-o", "-t", "text/rtf"}), expectedRtf));
    EXPECT_EQ(QString::fromUtf8(xclip({"-o", "-t", "UTF8_STRING"})), "Телефон\tВладелец\tУлица\tДом\tКвартира\r\n"
                                                                     "2-34-56\tИванов Иван\tул. Мира\t12\t5\r\n"
                                                                     "3-22-22\tООО \"Ромашка\" {1}\tул. Мира\t12а\t");

    // Another program takes the clipboard over: the copy has done its work and ends.
    QProcess taker;
    taker.setProcessEnvironment(env);
    taker.start(QStandardPaths::findExecutable("xclip"), {"-quiet", "-selection", "clipboard"});
    ASSERT_TRUE(taker.waitForStarted(10000));
    taker.write("x");
    EXPECT_TRUE(taker.waitForBytesWritten(10000));
    taker.closeWriteChannel(); // xclip takes the clipboard over once its input ends
    EXPECT_TRUE(program.waitForFinished(30000)) << "the program still holds the clipboard";
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0) << program.readAllStandardError().toStdString();
    program.kill();
    taker.kill();
    taker.waitForFinished(10000);
}

TEST(CommandLineRun, AnExportOntoTheOpenDirectoryFileIsRefusedAndTheFileStays)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString directory = dir.filePath("phonebook.mdb");
    WriteSmallDirectory(directory);
    ASSERT_TRUE(QDir(dir.path()).mkdir("x"));
    ASSERT_TRUE(QFile::link(directory, dir.filePath("link.csv")));
    ASSERT_TRUE(QFile::link("phonebook.mdb", dir.filePath("relative-link")));
    QFile f(directory);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    const QByteArray before = f.readAll();
    f.close();

    const struct
    {
        const char* name;
        QString target;
    } cases[] = {
        {"through a folder and back", "./x/../phonebook.mdb"},
        {"the same name", "phonebook.mdb"},
        {"a symbolic link", dir.filePath("link.csv")},
        {"a relative symbolic link", "relative-link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(kProgram, {"--database", directory, "--street", "Мира", "--format", "csv", "--export", c.target});
        ASSERT_TRUE(p.waitForFinished(60000));
        EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
        EXPECT_NE(p.exitCode(), 0);
        // Qt may say something of its own first.
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.endsWith("phonebook: Экспорт в файл '" + c.target
                                 + "' не выполнен: это открытый файл справочника, он остался без изменений.\n"))
            << err.toStdString();
        EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        EXPECT_TRUE(f.readAll() == before) << "the directory file changed";
        f.close();
    }
    // Another file beside it is written as usual.
    const TRun run = RunProgram({"--database", directory, "--street", "Мира", "--export", dir.filePath("x/out.csv")});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_TRUE(QFile::exists(dir.filePath("x/out.csv")));
}

TEST(CommandLineRun, CtrlCStopsASearchThatNeverEndsWithItsMessage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString directory = dir.filePath("бесконечный.mdb");
    WriteSmallDirectory(directory);
    MakeDirectoryEndless(directory);

    QProcess p;
    p.start(kProgram, {"--database", directory, "--street", kEndlessStreet, "--export", dir.filePath("out.csv")});
    ASSERT_TRUE(p.waitForStarted(10000));
    EXPECT_FALSE(p.waitForFinished(1500))
        << "the endless search ended by itself: " << p.readAllStandardError().toStdString();
    ASSERT_EQ(::kill(pid_t(p.processId()), SIGINT), 0);
    const bool finished = p.waitForFinished(5000);
    if (!finished) {
        p.kill();
        p.waitForFinished(5000);
    }
    ASSERT_TRUE(finished) << "Ctrl+C did not stop the search";
    ASSERT_EQ(p.exitStatus(), QProcess::NormalExit) << "ended by the signal instead of stopping the search";
    EXPECT_EQ(p.exitCode(), 130);
    const QString err = QString::fromUtf8(p.readAllStandardError());
    EXPECT_TRUE(err.endsWith("phonebook: Поиск в справочнике '" + directory + "' прерван.\n")) << err.toStdString();
    EXPECT_TRUE(p.readAllStandardOutput().isEmpty());
    EXPECT_FALSE(QFile::exists(dir.filePath("out.csv"))) << "an interrupted search was exported";

    // A search that ends is not disturbed by the handler.
    const TRun run = RunProgram({"--database", directory, "--street", "Мира"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(run.Out, "Найдено 2 записей.\n");
}
