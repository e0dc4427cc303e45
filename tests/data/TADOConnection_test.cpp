// The connection: its connection string, what it says about every kind of bad database file, and
// that using the directory never changes the file.
#include "SqliteDirectory.h"
#include "TADOConnection.h"
#include "TADOQuery.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct TDataSourceCase
{
    std::string Name;
    QString ConnectionString;
    QString Path;
};

std::ostream& operator<<(std::ostream& os, const TDataSourceCase& c)
{
    return os << c.Name;
}

class TConnectionStrings : public ::testing::TestWithParam<TDataSourceCase>
{
};

TEST_P(TConnectionStrings, DataSourceIsFound)
{
    TADOConnection connection;
    connection.SetConnectionString(GetParam().ConnectionString);
    EXPECT_EQ(connection.DataSource(), GetParam().Path);
}

const std::vector<TDataSourceCase> kDataSources = {
    {"AsTheWindowBuildsIt",
     "Provider=Microsoft.Jet.OLEDB.4.0;Data Source=/opt/pb/phonebook.mdb;Persist Security Info=False",
     "/opt/pb/phonebook.mdb"},
    {"KeyInAnyCaseWithBlanks", "provider=x ;  data   SOURCE =  /a b/c.mdb  ;", "/a b/c.mdb"},
    {"LastKeyWithoutSemicolon", "Provider=x;Data Source=/d.mdb", "/d.mdb"},
    {"QuotedValueMayHoldSemicolons", "Provider=x;Data Source=\"/a;b/c.mdb\";Persist Security Info=False", "/a;b/c.mdb"},
    {"SingleQuotes", "Data Source='/q/r.mdb'", "/q/r.mdb"},
    {"CyrillicPath", "Data Source=/дом/справочник.mdb;", "/дом/справочник.mdb"},
    {"NoDataSource", "Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False", ""},
    {"Empty", "", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, TConnectionStrings, ::testing::ValuesIn(kDataSources),
                         [](const auto& param) { return param.param.Name; });

TEST(TADOConnection, DesignedProperties)
{
    TADOConnection connection;
    EXPECT_EQ(connection.Name(), QStringLiteral("ADOConnection1"));
    EXPECT_EQ(connection.Mode(), cmRead);
    EXPECT_FALSE(connection.LoginPrompt);
    EXPECT_FALSE(connection.Connected());
    EXPECT_THROW(connection.Engine(), EDatabaseError);
}

// --- Files that cannot be opened --------------------------------------------------------------

struct TBadFileCase
{
    std::string Name;
    // Makes the file (or folder) at path; returns the path to connect to.
    std::function<QString(const QString& path)> Make;
    QString Message; // %s stands for the path
    bool MessageIsPrefix = false;
};

std::ostream& operator<<(std::ostream& os, const TBadFileCase& c)
{
    return os << c.Name;
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray JetHeader(const char* name)
{
    QByteArray head(2048, '\0');
    head[0] = 0x00;
    head[1] = 0x01;
    head.replace(4, 15, name);
    return head;
}

const std::vector<TBadFileCase> kBadFiles = {
    {"MissingFile", [](const QString& p) { return p; }, "Не найден файл '%s'."},
    {"MissingFolder", [](const QString& p) { return p + "/nowhere/phonebook.mdb"; }, "Не найден файл '%s'."},
    {"Folder",
     [](const QString& p) {
         QDir().mkpath(p);
         return p;
     },
     "'%s' — папка, а не файл базы данных."},
    {"EmptyFile",
     [](const QString& p) {
         WriteBytes(p, {});
         return p;
     },
     "Файл базы данных '%s' пуст."},
    {"TextFile",
     [](const QString& p) {
         WriteBytes(p, "numer;vlad\n1;Иванов\n");
         return p;
     },
     "Неизвестный формат базы данных '%s'."},
    {"ShortFile",
     [](const QString& p) {
         WriteBytes(p, "SQL");
         return p;
     },
     "Неизвестный формат базы данных '%s'."},
    {"JetHeaderOnly",
     [](const QString& p) {
         WriteBytes(p, JetHeader("Standard Jet DB"));
         return p;
     },
     "Файл базы данных '%s' повреждён: ", true},
    {"AceHeaderOnly",
     [](const QString& p) {
         WriteBytes(p, JetHeader("Standard ACE DB"));
         return p;
     },
     "Файл базы данных '%s' повреждён: ", true},
    {"SqliteMagicOverGarbage",
     [](const QString& p) {
         WriteBytes(p, QByteArray("SQLite format 3", 16) + QByteArray(4080, '\x7f'));
         return p;
     },
     "Не удаётся открыть базу данных '%s': ", true},
    {"Pipe",
     [](const QString& p) {
         mkfifo(p.toLocal8Bit().constData(), 0600);
         return p;
     },
     "'%s' — не обычный файл и не может быть базой данных."},
};

class TConnectionFailures : public ::testing::TestWithParam<TBadFileCase>
{
};

TEST_P(TConnectionFailures, SayWhatIsWrongAndStayClosed)
{
    const TBadFileCase& c = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = c.Make(QDir(dir.path()).filePath("phonebook.mdb"));
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    const QString expected = FormatMessage(c.Message, {path});
    try {
        connection.Open();
        FAIL() << "connected";
    } catch (const EDatabaseError& e) {
        if (c.MessageIsPrefix) {
            EXPECT_TRUE(e.Message().startsWith(expected)) << e.Message().toStdString();
            EXPECT_GT(e.Message().size(), expected.size()) << "the engine's reason follows";
        } else {
            EXPECT_EQ(e.Message(), expected);
        }
    }
    EXPECT_FALSE(connection.Connected());
    // A query on it reports the same, and stays closed.
    TADOQuery query;
    query.SetConnection(&connection);
    EXPECT_THROW(query.Open(), EDatabaseError);
    EXPECT_FALSE(query.Active());
}

INSTANTIATE_TEST_SUITE_P(Cases, TConnectionFailures, ::testing::ValuesIn(kBadFiles),
                         [](const auto& param) { return param.param.Name; });

TEST(TADOConnection, NoDataSourceIsReported)
{
    TADOConnection connection;
    connection.SetConnectionString("Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False");
    try {
        connection.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("В строке подключения не указан файл базы данных (Data Source): "
                                              "'Provider=Microsoft.Jet.OLEDB.4.0;Persist Security Info=False'."));
    }
}

TEST(TADOConnection, UnreadableFileIsReported)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "file permissions do not bind the super-user";
    QTemporaryDir dir;
    const QString path = MakeDirectoryFixture(dir);
    ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0), 0);
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    try {
        connection.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(),
                  FormatMessage("Не удаётся прочитать файл базы данных '%s': %s.", {path, "Permission denied"}));
    }
    EXPECT_FALSE(connection.Connected());
}

TEST(TADOConnection, JetFilesAreReadByTheJetEngine)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("nwind.mdb");
    ASSERT_TRUE(QFile::copy(QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb"), path));
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM Shippers;");
    query.Open();
    EXPECT_GT(query.RecordCount(), 0);
    EXPECT_NE(query.FieldNamed("CompanyName"), nullptr);
}

// --- The file stays as it was -----------------------------------------------------------------

struct TFileState
{
    QByteArray Sha256;
    QDateTime Modified;
    QStringList FolderEntries;
};

TFileState StateOf(const QString& path)
{
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return {hash.result(), QFileInfo(path).lastModified(),
            QFileInfo(path).dir().entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)};
}

struct TJournalCase
{
    std::string Name;
    std::string Extra; // added to the fixture script
    // Files SQLite's own readers of a WAL directory share with its writers (they stay).
    QStringList Beside = {};
};

std::ostream& operator<<(std::ostream& os, const TJournalCase& c)
{
    return os << c.Name;
}

class TReadOnlyFile : public ::testing::TestWithParam<TJournalCase>
{
};

TEST_P(TReadOnlyFile, ConnectSearchSortCloseLeaveTheFileUntouched)
{
    QTemporaryDir dir;
    const QString path = MakeDirectoryFixture(dir, "phonebook.mdb", GetParam().Extra);
    // An old modification time, so that any write would show even within the same second.
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.setFileTime(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6), QTimeZone::utc()),
                                  QFileDevice::FileModificationTime));
    }
    const TFileState before = StateOf(path);
    QStringList expectedEntries = before.FolderEntries + GetParam().Beside;
    expectedEntries.sort();

    {
        TADOConnection connection;
        connection.SetConnectionString(ConnectionStringFor(path));
        connection.Open();
        TADOQuery query;
        query.SetConnection(&connection);
        query.SetSQL("SELECT * FROM kray WHERE vlad like \"и%\"and street like \"%мира%\";");
        query.Open();
        EXPECT_EQ(query.RecordCount(), 1);
        EXPECT_EQ(StateOf(path).FolderEntries.join(", ").toStdString(), expectedEntries.join(", ").toStdString())
            << "no journal or lock file while open";
        query.SortBy("street");
        EXPECT_THROW(query.Edit(), EDatabaseError);
        EXPECT_THROW(query.Delete(), EDatabaseError);
        query.Close();
        query.SetSQL("select * from kray");
        query.Open();
        query.SortBy("vlad");
        connection.Close();
    }
    const TFileState after = StateOf(path);
    EXPECT_EQ(after.Sha256.toHex().toStdString(), before.Sha256.toHex().toStdString()) << "contents unchanged";
    EXPECT_EQ(after.Modified, before.Modified) << "modification time unchanged";
    EXPECT_EQ(after.FolderEntries.join(", ").toStdString(), expectedEntries.join(", ").toStdString())
        << "nothing left beside the file";
}

const std::vector<TJournalCase> kJournals = {
    {"RollbackJournal", ""},
    {"WriteAheadLog", "PRAGMA journal_mode = WAL;", {"phonebook.mdb-shm", "phonebook.mdb-wal"}},
    {"WithIndex", "CREATE INDEX kray_vlad ON kray(vlad);"},
};

INSTANTIATE_TEST_SUITE_P(Cases, TReadOnlyFile, ::testing::ValuesIn(kJournals),
                         [](const auto& param) { return param.param.Name; });

} // namespace
