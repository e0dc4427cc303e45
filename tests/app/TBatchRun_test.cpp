#include "TBatchRun.h"

#include "Exception.h"
#include "SqliteDirectory.h"
#include "TCommandLine.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>

namespace {

const QString kProgram = QStringLiteral(PB_BINARY_DIR "/src/app/phonebook");

// A small Cyrillic directory in which every kind of criterion finds its own number of entries.
void WriteBatchDirectory(const QString& path)
{
    WriteDirectoryTable(path, {
                                  {"2-34-56", "Иванов Иван", "ул. Мира", "12", "5"},
                                  {"4-33-33", "Ёлкин Пётр", "пр. Ленина", "7", "40"},
                                  {"3-22-22", "ООО \"Ромашка\" {1}", "ул. Мира", "12а", ""},
                                  {"2-34-57", "Иванова Мария", "ул. Мира", "14", "52"},
                                  {"5-55-22", "Петров Иван", "пр. Мира", "3", "5"},
                                  {"234-56-78", "Сидоров Иван Петрович", "ул. Красная Горка", "1", "12"},
                                  {"6-22-34", "Жан \"Жак\" Руссо", "ул. Красная Горка", "12", "7"},
                              });
}

struct TRun
{
    int ExitCode = -1;
    QString Out;
    QString Err;
};

TRun RunProgram(const QStringList& arguments, const std::optional<QByteArray>& input = std::nullopt)
{
    QProcess p;
    p.start(kProgram, arguments);
    if (input) {
        p.waitForStarted();
        p.write(*input);
        p.closeWriteChannel();
    }
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

// The program's own messages on standard error, one a line (Qt's warnings about the environment
// left out).
std::string ProgramMessages(const QString& err)
{
    QStringList messages;
    for (const QString& line : err.split(u'\n'))
        if (line.startsWith(QLatin1String("phonebook: ")))
            messages << line;
    return messages.join(u'\n').toStdString();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "(missing " + path.toUtf8() + ")";
    return f.readAll();
}

} // namespace

TEST(BatchLine, SplitsAsAShellWould)
{
    const struct
    {
        const char* name;
        QString line;
        QStringList words;
        QString error; // empty: no error expected
    } cases[] = {
        {"blanks and tabs separate", "  --street\tМира   --dom 12 ", {"--street", "Мира", "--dom", "12"}, ""},
        {"an empty line", "", {}, ""},
        {"blanks only", " \t ", {}, ""},
        {"a comment line", "# --street Мира", {}, ""},
        {"an indented comment", "   # x", {}, ""},
        {"a comment after the words", "--dom 12 # дом", {"--dom", "12"}, ""},
        {"# inside a word stays", "--dom 12#3 a#", {"--dom", "12#3", "a#"}, ""},
        {"double quotes keep blanks", "--street \"пр. Мира\"", {"--street", "пр. Мира"}, ""},
        {"quotes join a word", "--fio Ив\"ан \"ов", {"--fio", "Иван ов"}, ""},
        {"escaped quotes in double quotes", R"(--fio "ООО \"Ромашка\"")", {"--fio", "ООО \"Ромашка\""}, ""},
        {"escaped backslash, $ and ` in double quotes", R"("a\\b\$c\`d")", {"a\\b$c`d"}, ""},
        {"another backslash in double quotes stays", R"("a\nb\'c")", {"a\\nb\\'c"}, ""},
        {"single quotes keep everything", R"('Жан "Жак" \ # Руссо')", {"Жан \"Жак\" \\ # Руссо"}, ""},
        {"a quoted # starts no comment", "--dom \"#1\" '#2'", {"--dom", "#1", "#2"}, ""},
        {"a backslash outside quotes takes the next character",
         R"(пр.\ Мира \"x\" \#1 \\)",
         {"пр. Мира", "\"x\"", "#1", "\\"},
         ""},
        {"empty quotes give an empty word", "--fio \"\" ''", {"--fio", "", ""}, ""},
        {"an unclosed double quote", "--street \"Мира", {}, "Не закрыта двойная кавычка (знак 10)"},
        {"an escaped quote does not close", R"("a\")", {}, "Не закрыта двойная кавычка (знак 1)"},
        {"an unclosed single quote", "a 'b", {}, "Не закрыта одинарная кавычка (знак 3)"},
        {"a backslash at the end", "--dom 12\\", {}, "Обратная косая черта в конце строки"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        try {
            const QStringList words = SplitBatchLine(c.line);
            EXPECT_TRUE(c.error.isEmpty()) << "no error";
            EXPECT_EQ(words, c.words);
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.error);
        }
    }
}

TEST(BatchLine, OptionsOfTheBatchAndOfItsLines)
{
    const TCommandLine batch = ParseCommandLine({"--database", "d.db", "--batch", "-", "--export-dir", "out"});
    EXPECT_TRUE(batch.Batch);
    EXPECT_EQ(batch.BatchFile, "-");
    EXPECT_EQ(batch.ExportDir, "out");
    EXPECT_EQ(batch.Format, "csv"); // by default
    EXPECT_EQ(ParseCommandLine({"--batch", "b", "--export-dir", "out", "--format", "XLSX"}).Format, "xlsx");
    EXPECT_TRUE(ParseCommandLine({"--batch", "b"}).Format.isEmpty());

    const TCommandLine line =
        ParseCommandLine({"--fio", "a", "--fio-style", "exact", "--sort", "vlad"}, TCommandLineScope::BatchLine);
    EXPECT_EQ(line.Criteria.Fio, "a");
    EXPECT_EQ(line.Criteria.FioStyle, 2);
    EXPECT_EQ(line.SortField, "vlad");

    const struct
    {
        QStringList args;
        TCommandLineScope scope;
        QString message;
    } cases[] = {
        {{"--batch", ""},
         TCommandLineScope::Program,
         "Параметру --batch нужно имя файла (или - для стандартного ввода)"},
        {{"--batch"}, TCommandLineScope::Program, "Параметру --batch нужно значение"},
        {{"--batch", "b", "--export-dir", ""}, TCommandLineScope::Program, "Параметру --export-dir нужно имя каталога"},
        {{"--street", "x", "--batch", "b", "--sort", "vlad", "--street", "y"},
         TCommandLineScope::Program,
         "С --batch параметры поиска и --sort задаются в строках файла, а не в командной строке: --street, --sort"},
        {{"--batch", "b", "--export", "x.csv", "--copy"},
         TCommandLineScope::Program,
         "Параметры --export, --copy не задаются вместе с --batch (результат каждой строки выгружает --export-dir)"},
        {{"--export-dir", "out", "--fio", "a"},
         TCommandLineScope::Program,
         "Параметр --export-dir задаётся только вместе с --batch ФАЙЛ"},
        {{"--batch", "b", "--format", "xls"},
         TCommandLineScope::Program,
         "С --batch параметр --format задаётся только вместе с --export-dir КАТАЛОГ"},
        {{"--fio", "a", "--database", "x.mdb"},
         TCommandLineScope::BatchLine,
         "Параметр --database не задаётся в строке пакета: в ней только параметры поиска и --sort"},
        {{"--batch", "b"},
         TCommandLineScope::BatchLine,
         "Параметр --batch не задаётся в строке пакета: в ней только параметры поиска и --sort"},
        {{"--help"},
         TCommandLineScope::BatchLine,
         "Параметр --help не задаётся в строке пакета: в ней только параметры поиска и --sort"},
        {{"--fio"}, TCommandLineScope::BatchLine, "Параметру --fio нужно значение"},
        {{"--kvart", "1", "--nope"}, TCommandLineScope::BatchLine, "Неизвестный параметр '--nope' (см. --help)"},
    };
    for (const auto& c : cases) {
        try {
            ParseCommandLine(c.args, c.scope);
            ADD_FAILURE() << "no error for " << c.args.join(' ').toStdString();
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.message);
        }
    }
}

// Every kind of line in one batch: each criterion, the quotings, the lines skipped, and bad lines
// among good ones, which report their own line numbers and let the rest run.
TEST(BatchRun, EveryLineKindInOneBatch)
{
    QTemporaryDir dir;
    const QString directory = dir.filePath("city.db");
    WriteBatchDirectory(directory);

    const struct
    {
        const char* line;
        int found;         // the status text's count, or -1 for a failed line
        const char* error; // of a failed line, after "Строка N: "
    } lines[] = {
        {"--fio Иванов", 2, nullptr},
        {"--fio Иван --fio-style anywhere", 4, nullptr},
        {"--fio \"Петров Иван\" --fio-style exact", 1, nullptr},
        {"", -2, nullptr}, // skipped: no status, no error
        {"# --fio Иванов", -2, nullptr},
        {"--street 'Красная Горка'", 2, nullptr},
        {"--dom 12", 3, nullptr},
        {"--kvart 5", 3, nullptr},
        {"--phone 22", 3, nullptr},
        {"--phone 2-34-56 --exact-phone", 1, nullptr},
        {"--bogus 1", -1, "Неизвестный параметр '--bogus' (см. --help)"},
        {"--fio 'Жан \"Жак\" Руссо' --fio-style exact", 1, nullptr},
        {"--fio \"Жан \\\"Жак\\\" Руссо\" --fio-style exact", 1, nullptr},
        {"--street Мира --dom 12 --sort vlad  # ул. Мира, дома 12 и 12а", 2, nullptr},
        {"--street \"Мира", -1, "Не закрыта двойная кавычка (знак 10)"},
        {"--fio-style exact", -1, "Не задано ни одного условия поиска: поиск не выполнялся."},
        {"--street Мира --export x.csv", -1,
         "Параметр --export не задаётся в строке пакета: в ней только параметры поиска и --sort"},
        {"--street Мира --sort City", -1, "Ни один столбец не показывает поле 'City'"},
        {"  \t--street\tЛенина  \r", 1, nullptr}, // blanks around, a CR LF line end
        {"--street пр.\\ Мира --fio Ёлкин", 0, nullptr},
        {"--fio ''", -1, "Не задано ни одного условия поиска: поиск не выполнялся."},
        {"--street Мира --fio-style left --fio Ив", 2, nullptr},
    };
    QByteArray batch;
    QString expectedOut;
    QStringList expectedErr;
    int number = 0;
    for (const auto& l : lines) {
        ++number;
        batch += QByteArray(l.line) + '\n';
        if (l.found >= 0)
            expectedOut += QStringLiteral("%1\tНайдено %2 записей.\n").arg(number).arg(l.found);
        else if (l.found == -1)
            expectedErr << QStringLiteral("phonebook: Строка %1: %2").arg(number).arg(QString::fromUtf8(l.error));
    }
    batch += "--dom 7"; // the last line without a line end
    ++number;
    expectedOut += QStringLiteral("%1\tНайдено 1 записей.\n").arg(number);
    const QString batchFile = dir.filePath("batch.txt");
    WriteFile(batchFile, batch);

    const TRun run = RunProgram({"--database", directory, "--batch", batchFile});
    EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
    EXPECT_EQ(run.Out, expectedOut);
    EXPECT_EQ(ProgramMessages(run.Err), expectedErr.join(u'\n').toStdString());

    // The same lines with the bad ones left out: every line succeeds.
    QByteArray good;
    int goodLines = 0;
    for (const auto& l : lines)
        if (l.found >= 0) {
            good += QByteArray(l.line) + '\n';
            ++goodLines;
        }
    WriteFile(batchFile, good);
    const TRun goodRun = RunProgram({"--database", directory, "--batch", batchFile});
    EXPECT_EQ(goodRun.ExitCode, 0) << goodRun.Err.toStdString();
    EXPECT_EQ(goodRun.Out.count(u'\n'), goodLines);
    EXPECT_EQ(ProgramMessages(goodRun.Err), "");
}

// Each line's export is the very file a single search of the same options exports.
TEST(BatchRun, ExportDirHoldsWhatASingleExportWrites)
{
    QTemporaryDir dir;
    const QString directory = dir.filePath("city.db");
    WriteBatchDirectory(directory);
    const QString batchFile = dir.filePath("batch.txt");
    WriteFile(batchFile, "--street Мира --sort vlad\n"
                         "--street\n"
                         "# nothing\n"
                         "--fio Иван --fio-style anywhere --sort numer\n");
    const QStringList searches[] = {{"--street", "Мира", "--sort", "vlad"},
                                    {"--fio", "Иван", "--fio-style", "anywhere", "--sort", "numer"}};
    for (const QString format : {"csv", "xls"}) {
        SCOPED_TRACE(format.toStdString());
        const QString out = dir.filePath("out-" + format);
        ASSERT_TRUE(QDir().mkpath(out));
        // A failed line leaves a file of its name as it was.
        WriteFile(out + "/2." + format, "before");

        const TRun run =
            RunProgram({"--database", directory, "--batch", batchFile, "--export-dir", out, "--format", format});
        EXPECT_EQ(run.ExitCode, 1) << run.Err.toStdString();
        EXPECT_EQ(run.Out, "1\tНайдено 4 записей.\n4\tНайдено 4 записей.\n");
        EXPECT_EQ(ProgramMessages(run.Err), "phonebook: Строка 2: Параметру --street нужно значение");
        EXPECT_EQ(QDir(out).entryList(QDir::Files, QDir::Name),
                  QStringList({"1." + format, "2." + format, "4." + format}));
        EXPECT_EQ(ReadFile(out + "/2." + format), "before");

        const int lineNumbers[] = {1, 4};
        for (int i = 0; i < 2; ++i) {
            const QString single = dir.filePath(QStringLiteral("single%1.%2").arg(i).arg(format));
            const TRun one =
                RunProgram(QStringList{"--database", directory} + searches[i] + QStringList{"--export", single});
            ASSERT_EQ(one.ExitCode, 0) << one.Err.toStdString();
            const QByteArray expected = ReadFile(single);
            EXPECT_GT(expected.size(), 40);
            EXPECT_EQ(ReadFile(QStringLiteral("%1/%2.%3").arg(out).arg(lineNumbers[i]).arg(format)), expected);
        }
    }
    // Without --format the exports are CSV.
    const QString csvOut = dir.filePath("default");
    ASSERT_TRUE(QDir().mkpath(csvOut));
    EXPECT_EQ(RunProgram({"--database", directory, "--batch", batchFile, "--export-dir", csvOut}).ExitCode, 1);
    EXPECT_EQ(QDir(csvOut).entryList(QDir::Files, QDir::Name), QStringList({"1.csv", "4.csv"}));
    EXPECT_EQ(ReadFile(csvOut + "/1.csv"), ReadFile(dir.filePath("out-csv/1.csv")));
}

TEST(BatchRun, ReadsStandardInputAndReportsWhatKeepsItFromStarting)
{
    QTemporaryDir dir;
    const QString directory = dir.filePath("city.db");
    WriteBatchDirectory(directory);

    const TRun piped = RunProgram({"--database", directory, "--batch", "-"}, QByteArray("--dom 1\n\n--phone 34\n"));
    EXPECT_EQ(piped.ExitCode, 0) << piped.Err.toStdString();
    EXPECT_EQ(piped.Out, "1\tНайдено 5 записей.\n3\tНайдено 4 записей.\n");

    // A line piped in is answered before the next one comes.
    {
        QProcess p;
        p.start(kProgram, {"--database", directory, "--batch", "-"});
        ASSERT_TRUE(p.waitForStarted());
        p.write("--street Мира\n");
        QByteArray out;
        while (!out.contains('\n') && p.waitForReadyRead(30000))
            out += p.readAllStandardOutput();
        EXPECT_EQ(out.toStdString(), "1\tНайдено 4 записей.\n");
        p.write("--street Ленина\n");
        p.closeWriteChannel();
        ASSERT_TRUE(p.waitForFinished(30000));
        EXPECT_EQ(p.readAllStandardOutput().toStdString(), "2\tНайдено 1 записей.\n");
        EXPECT_EQ(p.exitCode(), 0);
    }

    const TRun empty = RunProgram({"--database", directory, "--batch", "-"}, QByteArray());
    EXPECT_EQ(empty.ExitCode, 0) << empty.Err.toStdString();
    EXPECT_EQ(empty.Out, "");

    const QString batchFile = dir.filePath("batch.txt");
    WriteFile(batchFile, "--dom 1\n");
    const struct
    {
        const char* name;
        QStringList arguments;
        QString errorPart;
    } cases[] = {
        {"a missing batch file",
         {"--database", directory, "--batch", dir.filePath("none.txt")},
         "phonebook: Не удалось открыть файл пакета '" + dir.filePath("none.txt") + "'"},
        {"a missing export folder",
         {"--database", directory, "--batch", batchFile, "--export-dir", dir.filePath("none")},
         "phonebook: Каталог для выгрузки '" + dir.filePath("none") + "' не найден"},
        {"a missing directory file", {"--database", dir.filePath("none.mdb"), "--batch", batchFile}, "none.mdb"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TRun run = RunProgram(c.arguments);
        EXPECT_EQ(run.ExitCode, 1);
        EXPECT_EQ(run.Out, "");
        EXPECT_TRUE(run.Err.contains(c.errorPart)) << run.Err.toStdString();
    }
}
