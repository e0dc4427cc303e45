// The demo directory tool: the same bytes on every run, the asked number of entries, and data that
// exercises what the search must handle ("ё", quotes, street kinds, blank flat numbers).
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "SqliteDirectory.h"

#include <gtest/gtest.h>

namespace {

const QString kTool = QStringLiteral(PB_BINARY_DIR "/tools/make_demo_directory");

struct TRun
{
    int ExitCode = -1;
    QString Errors;
};

TRun RunTool(const QStringList& arguments)
{
    QProcess process;
    process.start(kTool, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit)
        return {};
    return {process.exitCode(), QString::fromLocal8Bit(process.readAllStandardError())};
}

QByteArray ReadFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers one integer query on a database file.
qint64 QueryNumber(const QString& path, const char* sql)
{
    return TSqliteFile(path, TSqliteFile::ReadOnly).QueryNumber(sql);
}

class DemoDirectory : public testing::Test
{
protected:
    QTemporaryDir fDir;
    QString Path(const char* name) const { return fDir.filePath(QString::fromUtf8(name)); }
};

TEST_F(DemoDirectory, SameArgumentsGiveTheSameBytes)
{
    ASSERT_EQ(RunTool({Path("a.mdb"), QStringLiteral("1000")}).ExitCode, 0);
    ASSERT_EQ(RunTool({Path("b.mdb"), QStringLiteral("1000")}).ExitCode, 0);
    const QByteArray a = ReadFile(Path("a.mdb"));
    const QByteArray b = ReadFile(Path("b.mdb"));
    ASSERT_FALSE(a.isEmpty());
    ASSERT_EQ(a.size(), b.size());
    const auto differ = std::mismatch(a.begin(), a.end(), b.begin());
    EXPECT_EQ(differ.first, a.end()) << "first difference at offset " << (differ.first - a.begin());
    EXPECT_EQ(QDir(fDir.path()).entryList(QDir::Files).size(), 2) << "no temporary file is left behind";
}

TEST_F(DemoDirectory, HoldsTheAskedEntriesWithRealisticText)
{
    const QString path = Path("kray.mdb");
    ASSERT_EQ(RunTool({path, QStringLiteral("1000")}).ExitCode, 0);
    struct
    {
        const char* What;
        const char* Sql;
        qint64 AtLeast;
        qint64 AtMost;
    } checks[] = {
        {"entries", "SELECT count(*) FROM kray", 1000, 1000},
        {"owners with ё", "SELECT count(*) FROM kray WHERE vlad GLOB '*ё*'", 50, 1000},
        {"owners with Ё in capitals", "SELECT count(*) FROM kray WHERE vlad GLOB '*Ё*'", 1, 1000},
        {"owners in capitals", "SELECT count(*) FROM kray WHERE vlad GLOB '[А-ЯЁ][А-ЯЁ]* [А-ЯЁ][А-ЯЁ]* [А-ЯЁ][А-ЯЁ]*'",
         5, 200},
        {"owners in lower case", "SELECT count(*) FROM kray WHERE vlad GLOB '[а-яё]* [а-яё]* [а-яё]*'", 5, 200},
        {"owners in mixed case", "SELECT count(*) FROM kray WHERE vlad GLOB '[А-ЯЁ][а-яё]* [А-ЯЁ][а-яё]* *'", 700,
         1000},
        {"organisations in quotes", "SELECT count(*) FROM kray WHERE vlad GLOB '*\"*\"'", 20, 80},
        {"streets", "SELECT count(*) FROM kray WHERE street GLOB 'ул. *'", 300, 1000},
        {"prospects", "SELECT count(*) FROM kray WHERE street GLOB 'пр. *'", 20, 1000},
        {"distinct streets", "SELECT count(DISTINCT street) FROM kray", 150, 1000},
        {"houses with a letter", "SELECT count(*) FROM kray WHERE numhome GLOB '*[0-9][абвг]'", 20, 1000},
        {"houses with a building", "SELECT count(*) FROM kray WHERE numhome GLOB '*к[0-9]'", 20, 1000},
        {"houses with a fraction", "SELECT count(*) FROM kray WHERE numhome GLOB '*/*'", 20, 1000},
        {"private houses (blank flat)", "SELECT count(*) FROM kray WHERE numdoor = ''", 100, 200},
        {"no NULL values",
         "SELECT count(*) FROM kray WHERE numer IS NULL OR vlad IS NULL OR street IS NULL OR numhome IS NULL "
         "OR numdoor IS NULL",
         0, 0},
        {"distinct telephone numbers", "SELECT count(DISTINCT numer) FROM kray", 990, 1000},
        {"all fields text",
         "SELECT count(*) FROM kray WHERE typeof(numer)||typeof(vlad)||typeof(street)||typeof(numhome)||"
         "typeof(numdoor) <> 'texttexttexttexttext'",
         0, 0},
        {"no owner index", "SELECT count(*) FROM sqlite_master WHERE type = 'index'", 0, 0},
    };
    for (const auto& check : checks) {
        const qint64 n = QueryNumber(path, check.Sql);
        EXPECT_GE(n, check.AtLeast) << check.What;
        EXPECT_LE(n, check.AtMost) << check.What;
    }
}

TEST_F(DemoDirectory, IndexOnOwnersWhenAsked)
{
    const QString path = Path("indexed.mdb");
    ASSERT_EQ(RunTool({path, QStringLiteral("200"), QStringLiteral("--index")}).ExitCode, 0);
    EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM sqlite_master WHERE type = 'index' AND name = 'kray_vlad' "
                                "AND tbl_name = 'kray' AND sql LIKE '%(vlad)'"),
              1);
    EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM kray"), 200);
}

TEST_F(DemoDirectory, ReplacesAnExistingFileWhole)
{
    const QString path = Path("kray.mdb");
    QFile old(path);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write(QByteArray(100000, 'x'));
    old.close();
    ASSERT_EQ(RunTool({path, QStringLiteral("10")}).ExitCode, 0);
    EXPECT_EQ(QueryNumber(path, "SELECT count(*) FROM kray"), 10);
}

TEST_F(DemoDirectory, RefusesBadArgumentsAndWritesNothing)
{
    struct
    {
        const char* Name;
        QStringList Arguments;
        const char* Message;
    } cases[] = {
        {"no arguments", {}, "an output file and a number of rows are needed"},
        {"no row count", {Path("x.mdb")}, "an output file and a number of rows are needed"},
        {"row count not a number", {Path("x.mdb"), QStringLiteral("12x")}, "'12x' is not a number of rows"},
        {"negative row count", {Path("x.mdb"), QStringLiteral("-5")}, "'-5' is not a number of rows"},
        {"unknown option", {Path("x.mdb"), QStringLiteral("5"), QStringLiteral("--fast")}, "unknown option '--fast'"},
        {"too many arguments", {Path("x.mdb"), QStringLiteral("5"), QStringLiteral("6")}, "too many arguments"},
        {"output is a directory", {fDir.path(), QStringLiteral("5")}, "' — папка"},
        {"missing folder", {Path("none/x.mdb"), QStringLiteral("5")}, "Не удаётся создать файл '"},
    };
    for (const auto& c : cases) {
        const TRun run = RunTool(c.Arguments);
        EXPECT_NE(run.ExitCode, 0) << c.Name;
        EXPECT_TRUE(run.Errors.contains(QString::fromUtf8(c.Message))) << c.Name << ": " << run.Errors.toStdString();
    }
    EXPECT_TRUE(QDir(fDir.path()).entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot).isEmpty());
}

} // namespace
