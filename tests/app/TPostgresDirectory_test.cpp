// A directory held by a PostgreSQL server, as the window and the command line use it: loaded with
// --load-into, named by the settings file or --database, searched and exported with the very bytes
// the same directory gives as a file, and its faults shown with the next search connecting again.
#include "PostgresServer.h"
#include "SqliteDirectory.h"
#include "TApplication.h"
#include "TForm1.h"
#include "TPostgresLoader.h"
#include "TProgramFiles.h"
#include "TScopeExit.h"

#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

const QString kProgram = QStringLiteral(PB_BINARY_DIR "/src/app/phonebook");

struct TRun
{
    int ExitCode = -1;
    QByteArray Out;
    QString Err;
};

TRun RunProgram(const QStringList& arguments)
{
    QProcess p;
    p.start(kProgram, arguments);
    TRun run;
    if (!p.waitForFinished(120000)) {
        ADD_FAILURE() << "phonebook did not finish: " << arguments.join(' ').toStdString();
        return run;
    }
    run.ExitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.Out = p.readAllStandardOutput();
    run.Err = QString::fromUtf8(p.readAllStandardError());
    return run;
}

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Each test loads the directory fixture into a database of its own.
class ServerDirectoryTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(fDir.isValid());
        fFile = MakeDirectoryFixture(fDir);
        const std::string db = "pb_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name());
        fDatabase = QString::fromStdString(db).toLower();
        PostgresServer().Sql("DROP DATABASE IF EXISTS " + fDatabase.toStdString(), QStringLiteral("postgres"));
        PostgresServer().Sql("CREATE DATABASE " + fDatabase.toStdString(), QStringLiteral("postgres"));
        fUri = PostgresServer().Uri(fDatabase);
    }
    std::string Value(const std::string& sql) const
    {
        PGconn* conn = PQconnectdb(fUri.toUtf8().constData());
        PGresult* r = PQexec(conn, sql.c_str());
        std::string value =
            PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : PQerrorMessage(conn);
        PQclear(r);
        PQfinish(conn);
        return value;
    }
    void Sql(const std::string& sql) const { PostgresServer().Sql(sql, fDatabase); }

    QTemporaryDir fDir;
    QString fFile;
    QString fDatabase;
    QString fUri;
};

TEST_F(ServerDirectoryTest, CommandLineSearchesAndExportsAsOnTheFile)
{
    const TRun load = RunProgram({"--database", fFile, "--load-into", fUri});
    ASSERT_EQ(load.ExitCode, 0) << load.Err.toStdString();
    EXPECT_EQ(load.Out, ("Загружено 10 записей в справочник '" + fUri + "'.\n").toUtf8());
    EXPECT_EQ(Value("SELECT count(*) FROM kray"), "10");
    EXPECT_EQ(Value("SELECT count(*) FROM pg_indexes WHERE tablename = 'kray'"),
              std::to_string(TPostgresLoader::IndexStatements().size()));
    EXPECT_EQ(Value("SELECT count(*) FROM pg_class WHERE relname LIKE 'kray\\_\\_%'"), "0");

    // The server holds the rows in the owners' order, so the results are compared in a fixed order.
    const QStringList searches[] = {
        {"--fio", "иван", "--sort", "numer", "--export", "%1.csv"},
        {"--fio", "петр", "--fio-style", "anywhere", "--sort", "numer", "--export", "%1.htm"},
        {"--fio", "Ёлкин Пётр Семёнович", "--fio-style", "exact", "--export", "%1.rtf"},
        {"--street", "мира", "--dom", "1", "--sort", "numer", "--export", "%1.xls"},
        {"--street", "50%", "--export", "%1.txt"},
        {"--phone", "11", "--kvart", "1", "--sort", "numdoor", "--export", "%1.txt"},
        {"--phone", "211111", "--exact-phone", "--export", "%1.csv"},
        {"--table", "kray", "--sort", "vlad", "--export", "%1.xlsx"},
        {"--fio", "'; DROP TABLE kray; --", "--fio-style", "anywhere"},
    };
    int n = 0;
    for (QStringList options : searches) {
        SCOPED_TRACE(options.join(' ').toStdString());
        const QString base = fDir.filePath(QStringLiteral("out%1").arg(++n));
        options.replaceInStrings(QStringLiteral("%1"), base);
        QStringList fromFile = options, fromServer = options;
        fromFile.replaceInStrings(base, base + QStringLiteral("-file"));
        const TRun file = RunProgram(QStringList{"--database", fFile} + fromFile);
        const TRun server = RunProgram(QStringList{"--database", fUri} + fromServer);
        ASSERT_EQ(file.ExitCode, 0) << file.Err.toStdString();
        ASSERT_EQ(server.ExitCode, 0) << server.Err.toStdString();
        EXPECT_EQ(server.Out, file.Out);
        const qsizetype dot = options.indexOf(QStringLiteral("--export"));
        if (dot >= 0) {
            const QString serverFile = options[dot + 1];
            const QString fileFile = fromFile[dot + 1];
            if (!serverFile.endsWith(QLatin1String(".xlsx"))) { // a workbook carries its time of writing
                EXPECT_EQ(ReadAll(serverFile), ReadAll(fileFile));
            }
        }
    }
    EXPECT_EQ(Value("SELECT count(*) FROM kray"), "10");
}

TEST_F(ServerDirectoryTest, AFailedLoadLeavesTheOldTable)
{
    ASSERT_EQ(RunProgram({"--database", fFile, "--load-into", fUri}).ExitCode, 0);
    Sql("CREATE ROLE pb_reader_" + fDatabase.toStdString()
        + " LOGIN;"
          "GRANT SELECT ON kray TO pb_reader_"
        + fDatabase.toStdString());

    // A source without one of the five fields: refused before the server is touched.
    const QString partial = QDir(fDir.path()).filePath(QStringLiteral("partial.sqlite"));
    RunSqlScript(partial, "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT);"
                          "INSERT INTO kray VALUES ('1', 'a', 'b', 'c');");
    TRun run = RunProgram({"--database", partial, "--load-into", fUri});
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_TRUE(run.Err.contains(QStringLiteral("нет поля 'numdoor'"))) << run.Err.toStdString();

    // A failure at the very end (the old table cannot go: a view stands on it), after the rows
    // and the indexes went in: everything is undone.
    const QString bigger = QDir(fDir.path()).filePath(QStringLiteral("bigger.sqlite"));
    WriteDirectoryTable(bigger, {{"1", "Новый", "ул. Новая", "1", "1"}});
    Sql("CREATE VIEW kray_view AS SELECT vlad FROM kray");
    run = RunProgram({"--database", bigger, "--load-into", fUri});
    EXPECT_NE(run.ExitCode, 0);
    EXPECT_TRUE(run.Err.contains(QLatin1String("depend"))) << run.Err.toStdString();
    EXPECT_EQ(Value("SELECT count(*) FROM kray"), "10");
    EXPECT_EQ(Value("SELECT count(*) FROM pg_class WHERE relname LIKE 'kray\\_\\_%'"), "0");

    // Without the view the load goes through, and the reader may still read.
    Sql("DROP VIEW kray_view");
    run = RunProgram({"--database", bigger, "--load-into", fUri});
    ASSERT_EQ(run.ExitCode, 0) << run.Err.toStdString();
    EXPECT_EQ(Value("SELECT vlad FROM kray"), "Новый");
    EXPECT_EQ(Value("SELECT has_table_privilege('pb_reader_" + fDatabase.toStdString() + "', 'kray', 'SELECT')"), "t");
    EXPECT_EQ(Value("SELECT count(*) FROM pg_indexes WHERE indexname LIKE 'kray\\_%'"),
              std::to_string(TPostgresLoader::IndexStatements().size()));
    Sql("DROP OWNED BY pb_reader_" + fDatabase.toStdString() + "; DROP ROLE pb_reader_" + fDatabase.toStdString());
}

TEST_F(ServerDirectoryTest, CommandLineFaultsExitWithTheServersMessage)
{
    struct TCase
    {
        const char* Name;
        QStringList Arguments;
        QString Expected;
    };
    const TCase cases[] = {
        {"no server",
         {"--database", "postgresql://ann:geheim@/phonebook?host=/nonexistent-pb", "--fio", "x"},
         "Не удаётся подключиться к справочнику 'postgresql://ann@/phonebook?host=/nonexistent-pb'"},
        {"no table", {"--database", fUri, "--fio", "x"}, "relation \"kray\" does not exist"},
        {"load into a file", {"--database", fFile, "--load-into", fFile}, "нужен адрес сервера PostgreSQL"},
        {"load with a search", {"--load-into", fUri, "--fio", "x"}, "задаётся без --fio"},
        {"load into no server",
         {"--database", fFile, "--load-into", "postgresql://ann:geheim@/phonebook?host=/nonexistent-pb"},
         "Не удаётся подключиться к справочнику 'postgresql://ann@/phonebook?host=/nonexistent-pb'"},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        const TRun run = RunProgram(c.Arguments);
        EXPECT_NE(run.ExitCode, 0);
        EXPECT_TRUE(run.Err.contains(c.Expected)) << run.Err.toStdString();
        EXPECT_FALSE(run.Err.contains(QLatin1String("geheim"))) << run.Err.toStdString();
        EXPECT_TRUE(run.Out.isEmpty()) << run.Out.toStdString();
    }
}

TEST_F(ServerDirectoryTest, TheSettingsFileNamesTheDirectory)
{
    const TProgramFiles files = TProgramFiles::FromExecutable(fDir.filePath(QStringLiteral("phonebook")));
    const QString ini = fDir.filePath(QStringLiteral("phonebook.ini"));
    auto write = [&](const QByteArray& text) {
        QFile file(ini);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
    };
    EXPECT_EQ(files.DatabasePath(), fDir.filePath(QStringLiteral("phonebook.mdb")));
    write("[main]\ndatabase=" + fUri.toUtf8() + "\n");
    EXPECT_EQ(files.DatabasePath(), fUri);
    write("[Main]\nDatabase = sub/../other.sqlite\n");
    EXPECT_EQ(files.DatabasePath(), fDir.filePath(QStringLiteral("other.sqlite")));
    write("[main]\ndatabase=/srv/phones.mdb\n");
    EXPECT_EQ(files.DatabasePath(), QStringLiteral("/srv/phones.mdb"));
    TProgramFiles given = files;
    given.Database = fFile;
    EXPECT_EQ(given.DatabasePath(), fFile); // --database wins over the settings file
}

void Type(QLineEdit* edit, const QString& text)
{
    edit->setFocus();
    edit->clear();
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

TEST_F(ServerDirectoryTest, TheWindowSearchesTheServerAndConnectsAgainAfterALoss)
{
    TPostgresLoader::Load(fFile, fUri);
    {
        QFile ini(fDir.filePath(QStringLiteral("phonebook.ini")));
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[main]\ntitle=Офис\ndatabase=" + fUri.toUtf8() + "\n");
    }
    QStringList errors;
    SetErrorSink([&errors](QWidget*, const QString& text) { errors << text; });
    TScopeExit restoreSink([] { SetErrorSink(nullptr); });
    TForm1 form(TProgramFiles::FromExecutable(fDir.filePath(QStringLiteral("phonebook"))));
    ASSERT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Офис"));

    Type(form.street, QStringLiteral("мира"));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(form.StatusText(), QStringLiteral("Найдено 4 записей."));

    // The server ends the connection between two searches: the next one shows the server's words,
    // keeps the status text, and the one after that connects again.
    Sql("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE datname = '" + fDatabase.toStdString()
        + "' AND pid <> pg_backend_pid()");
    Type(form.street, QStringLiteral("садовая"));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QLatin1String("terminating connection"))
                || errors[0].contains(QLatin1String("server closed the connection")))
        << errors[0].toStdString();
    EXPECT_EQ(form.StatusText(), QStringLiteral("Найдено 4 записей."));
    QTest::mouseClick(form.BitBtn1, Qt::LeftButton);
    EXPECT_EQ(errors.size(), 1);
    EXPECT_EQ(form.StatusText(), QStringLiteral("Найдено 2 записей."));
    EXPECT_TRUE(form.ADOQuery1.Active());
}

} // namespace
