// Reading a directory that other programs write: a writer's unfinished transaction is never seen,
// rows committed to a WAL file are, a crashed writer's hot journal is refused with SQLite's words,
// and media without locks still open when nothing beside the file says it is incomplete. The
// directory file is byte-identical after every case.
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TSqliteEngine.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Enough new rows to overflow a one-page cache: the writer then puts its pages into the file.
const char* const kLargeUnfinishedWrite =
    "PRAGMA cache_size = 1; BEGIN;"
    "WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 5000)"
    " INSERT INTO kray SELECT 400000 + n, 'полузаписано ' || hex(zeroblob(100)), 'ул. Мира', n, NULL FROM r;"
    "UPDATE kray SET vlad = 'полузаписано';";

const char* const kDirectoryScript = R"sql(
CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);
WITH RECURSIVE r(n) AS (SELECT 1 UNION ALL SELECT n + 1 FROM r WHERE n < 10)
INSERT INTO kray SELECT 200000 + n, 'Житель ' || n, 'ул. Мира', n, NULL FROM r;
)sql";

// A connection of "another program" (the administrator's), closed at the end of the scope.
class TWriter
{
public:
    explicit TWriter(const QString& path)
    {
        if (sqlite3_open(path.toUtf8().constData(), &fDb) != SQLITE_OK)
            throw std::runtime_error("cannot open the writer's connection");
    }
    ~TWriter() { sqlite3_close(fDb); }
    TWriter(const TWriter&) = delete;
    TWriter& operator=(const TWriter&) = delete;

    void Exec(const std::string& sql)
    {
        char* error = nullptr;
        if (sqlite3_exec(fDb, sql.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : "?";
            sqlite3_free(error);
            throw std::runtime_error("writer: " + message);
        }
    }

private:
    sqlite3* fDb = nullptr;
};

QString MakeDirectory(const QTemporaryDir& dir, const std::string& extra = {})
{
    const QString path = QDir(dir.path()).filePath(QStringLiteral("phonebook.mdb"));
    TWriter(path).Exec(std::string(kDirectoryScript) + extra);
    return path;
}

QByteArray Sha256(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return "unreadable";
    QCryptographicHash hash(QCryptographicHash::Sha256);
    hash.addData(&f);
    return hash.result().toHex();
}

QString ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + TADOConnection::QuotedConnectionValue(path)
           + QStringLiteral(";Persist Security Info=False");
}

// Connects, runs one search and returns the count; closes everything again.
int CountOf(const QString& path,
            const QString& sql = QStringLiteral("SELECT * FROM kray WHERE street like \"%мира%\";"))
{
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL(sql);
    query.Open();
    return query.RecordCount();
}

// Waits only briefly for a writer's lock, so that the locked cases end quickly.
class TSqliteSafety : public ::testing::Test
{
protected:
    void SetUp() override
    {
        fOldTimeout = TSqliteEngine::BusyTimeoutMs();
        TSqliteEngine::SetBusyTimeoutMs(150);
    }
    void TearDown() override { TSqliteEngine::SetBusyTimeoutMs(fOldTimeout); }

    QTemporaryDir fDir;

private:
    int fOldTimeout = 0;
};

TEST_F(TSqliteSafety, AWritersUnfinishedTransactionIsNeverSeen)
{
    const QString path = MakeDirectory(fDir);
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    connection.Open();
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM kray WHERE street like \"%мира%\";");

    TWriter writer(path);
    // A small transaction keeps its changes in the writer's cache: readers see the committed rows.
    writer.Exec("BEGIN; INSERT INTO kray SELECT * FROM kray;");
    const QByteArray before = Sha256(path);
    query.Open();
    EXPECT_EQ(query.RecordCount(), 10);
    query.Close();

    // A large one spills half-written pages into the file and holds it exclusively: the search
    // waits, then says the directory is locked, and the query stays closed.
    writer.Exec("ROLLBACK;");
    writer.Exec(kLargeUnfinishedWrite);
    ASSERT_NE(Sha256(path).toStdString(), before.toStdString()) << "the writer's pages are in the file";
    try {
        query.Open();
        FAIL() << "read a directory in the middle of a write: " << query.RecordCount() << " rows";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message().toStdString(), "database is locked");
    }
    EXPECT_FALSE(query.Active());

    writer.Exec("ROLLBACK;");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 10);
    EXPECT_EQ(query.FieldRequired("vlad")->PlainText().toStdString(), "Житель 1");
    EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());
}

TEST_F(TSqliteSafety, ACancelEndsTheWaitForAWritersLock)
{
    TSqliteEngine::SetBusyTimeoutMs(60000);
    const QString path = MakeDirectory(fDir);
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    connection.Open();
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM kray WHERE street like \"%мира%\";");
    TWriter writer(path);
    writer.Exec("BEGIN EXCLUSIVE;");
    std::thread canceller([&query] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        query.Cancel();
    });
    EXPECT_THROW(query.Open(), ECancelled);
    canceller.join();
    EXPECT_FALSE(query.Active());
}

TEST_F(TSqliteSafety, ConnectingWhileAWriterHoldsTheFileSaysItIsLocked)
{
    const QString path = MakeDirectory(fDir);
    TWriter writer(path);
    writer.Exec("BEGIN EXCLUSIVE;");
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    try {
        connection.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  FormatMessage("Не удаётся открыть базу данных '%s': database is locked", {path}).toStdString());
    }
    EXPECT_FALSE(connection.Connected());
    writer.Exec("ROLLBACK;");
    connection.Open();
    EXPECT_TRUE(connection.Connected());
}

TEST_F(TSqliteSafety, RowsCommittedToTheWalFileAreFound)
{
    const QString path = MakeDirectory(fDir, "PRAGMA journal_mode = WAL;");
    TWriter writer(path);
    // The writer stays open and never checkpoints: its commits live in the -wal file only.
    writer.Exec("PRAGMA wal_autocheckpoint = 0;"
                "INSERT INTO kray VALUES ('300001', 'Новосёлов', 'ул. Мира', '1', '1');"
                "INSERT INTO kray VALUES ('300002', 'Новосёлова', 'ул. Мира', '1', '1');");
    const QByteArray before = Sha256(path);
    ASSERT_GT(QFileInfo(path + "-wal").size(), 0);

    EXPECT_EQ(CountOf(path), 12);
    EXPECT_EQ(CountOf(path, "SELECT * FROM kray WHERE vlad like \"новосёлов%\";"), 2);
    // An open WAL transaction never blocks readers and stays unseen.
    writer.Exec("BEGIN; INSERT INTO kray SELECT * FROM kray;");
    EXPECT_EQ(CountOf(path), 12);
    writer.Exec("COMMIT;");
    EXPECT_EQ(CountOf(path), 24);
    EXPECT_EQ(Sha256(path).toStdString(), before.toStdString()) << "a reader never checkpoints into the file";
}

// A writer that died in the middle of a transaction: its half-written pages in the file and the
// hot journal that undoes them beside it (made here by copying both while the writer is busy).
QString MakeCrashedDirectory(const QTemporaryDir& dir)
{
    const QString live = MakeDirectory(dir);
    const QString crashed = QDir(dir.path()).filePath(QStringLiteral("crashed; \"справочник\".mdb"));
    TWriter writer(live);
    writer.Exec(kLargeUnfinishedWrite);
    EXPECT_TRUE(QFile::copy(live, crashed));
    EXPECT_TRUE(QFile::copy(live + "-journal", crashed + "-journal"));
    writer.Exec("ROLLBACK;");
    return crashed;
}

TEST_F(TSqliteSafety, AHotJournalIsRefusedWithSqlitesMessage)
{
    const QString path = MakeCrashedDirectory(fDir);
    const QByteArray before = Sha256(path), journalBefore = Sha256(path + "-journal");
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    try {
        connection.Open();
        FAIL() << "read the half-written rows of a crashed writer";
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message().toStdString(),
                  FormatMessage("Справочник '%s' нельзя прочитать: в нём осталась прерванная запись другой программы "
                                "(файл '%s-journal'), и отменить её может только программа с правом записи: "
                                "attempt to write a readonly database",
                                {path, path})
                      .toStdString());
    }
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());
    EXPECT_EQ(Sha256(path + "-journal").toStdString(), journalBefore.toStdString());

    // A writer rolls the journal back; then the committed directory reads as it was.
    TWriter(path).Exec("SELECT count(*) FROM kray;");
    EXPECT_FALSE(QFileInfo::exists(path + "-journal"));
    EXPECT_EQ(CountOf(path), 10);
}

TEST_F(TSqliteSafety, AWriterThatDiesWhileTheDirectoryIsOpenLeavesItRefusedNotMisread)
{
    const QString path = MakeDirectory(fDir);
    TADOConnection connection;
    connection.SetConnectionString(ConnectionStringFor(path));
    connection.Open();
    TADOQuery query;
    query.SetConnection(&connection);
    query.SetSQL("SELECT * FROM kray WHERE street like \"%мира%\";");
    query.Open();
    EXPECT_EQ(query.RecordCount(), 10);
    query.Close();

    // The administrator's program dies in the middle of a large write.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        sqlite3* db = nullptr;
        sqlite3_open(path.toUtf8().constData(), &db);
        sqlite3_exec(db, kLargeUnfinishedWrite, nullptr, nullptr, nullptr);
        _exit(0);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(QFileInfo::exists(path + "-journal"));
    const QByteArray before = Sha256(path);

    try {
        query.Open();
        FAIL() << "read the half-written rows: " << query.RecordCount();
    } catch (const EDatabaseError& e) {
        EXPECT_NE(e.Message().indexOf(FormatMessage("Справочник '%s' нельзя прочитать: в нём осталась прерванная "
                                                    "запись другой программы (файл '%s-journal')",
                                                    {path, path})),
                  -1)
            << e.Message().toStdString();
    }
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());

    TWriter(path).Exec("SELECT count(*) FROM kray;"); // a writer rolls the journal back
    query.Open();
    EXPECT_EQ(query.RecordCount(), 10);
}

// A directory in a folder the program may not write, with its file read-only too. For the
// super-user the permission bits bind nothing, so there the case shows only that nothing
// changes; the medium that refuses locks below covers what a CD does to SQLite.
TEST_F(TSqliteSafety, ADirectoryInAReadOnlyFolderOpens)
{
    for (const std::string journal : {"DELETE", "WAL"}) {
        SCOPED_TRACE(journal);
        QTemporaryDir dir;
        const QString folder = QDir(dir.path()).filePath("cd");
        ASSERT_TRUE(QDir().mkpath(folder));
        const QString path = QDir(folder).filePath("phonebook.mdb");
        {
            TWriter writer(path);
            writer.Exec(std::string(kDirectoryScript) + "PRAGMA journal_mode = " + journal + ";");
        }
        ASSERT_FALSE(QFileInfo::exists(path + "-wal"));
        const QByteArray before = Sha256(path);
        ASSERT_EQ(chmod(path.toLocal8Bit().constData(), 0444), 0);
        ASSERT_EQ(chmod(folder.toLocal8Bit().constData(), 0555), 0);
        EXPECT_EQ(CountOf(path), 10);
        EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());
        chmod(folder.toLocal8Bit().constData(), 0755);
    }
}

// A file system that refuses every lock and shared memory, as a read-only share may: installed as
// SQLite's default for the test, over the real one.
class TLocklessMedium
{
public:
    TLocklessMedium()
    {
        fReal = sqlite3_vfs_find(nullptr);
        fVfs = *fReal;
        fVfs.zName = "pb-lockless";
        fVfs.pAppData = this;
        fVfs.xOpen = &Open;
        sqlite3_vfs_register(&fVfs, 1);
    }
    ~TLocklessMedium()
    {
        sqlite3_vfs_unregister(&fVfs);
        sqlite3_vfs_register(fReal, 1);
    }
    TLocklessMedium(const TLocklessMedium&) = delete;
    TLocklessMedium& operator=(const TLocklessMedium&) = delete;

    int LockAttempts = 0;

private:
    static int Open(sqlite3_vfs* vfs, const char* name, sqlite3_file* file, int flags, int* outFlags)
    {
        auto* self = static_cast<TLocklessMedium*>(vfs->pAppData);
        const int rc = self->fReal->xOpen(self->fReal, name, file, flags, outFlags);
        if (rc != SQLITE_OK || !(flags & SQLITE_OPEN_MAIN_DB) || !file->pMethods)
            return rc;
        auto& patched = self->fMethods[file->pMethods];
        if (!patched) {
            patched = std::make_unique<sqlite3_io_methods>(*file->pMethods);
            patched->xLock = [](sqlite3_file*, int) { return Self()->Refuse(SQLITE_IOERR_LOCK); };
            if (patched->iVersion >= 2)
                patched->xShmMap = [](sqlite3_file*, int, int, int, void volatile**) {
                    return Self()->Refuse(SQLITE_IOERR_SHMOPEN);
                };
        }
        file->pMethods = patched.get();
        return rc;
    }
    static TLocklessMedium* Self() { return static_cast<TLocklessMedium*>(sqlite3_vfs_find("pb-lockless")->pAppData); }
    int Refuse(int code)
    {
        ++LockAttempts;
        return code;
    }

    sqlite3_vfs* fReal = nullptr;
    sqlite3_vfs fVfs{};
    std::map<const sqlite3_io_methods*, std::unique_ptr<sqlite3_io_methods>> fMethods;
};

TEST_F(TSqliteSafety, AMediumWithoutLocksIsReadAsItStandsWhenNothingLiesBeside)
{
    const QString path = MakeDirectory(fDir);
    const QByteArray before = Sha256(path);
    TLocklessMedium medium;
    EXPECT_EQ(CountOf(path), 10);
    EXPECT_GT(medium.LockAttempts, 0) << "the plain read-only open was tried first";
    EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());
}

TEST_F(TSqliteSafety, AMediumWithoutLocksIsRefusedWhenAJournalOrWalLiesBeside)
{
    for (const char* beside : {"-journal", "-wal"}) {
        SCOPED_TRACE(beside);
        QTemporaryDir dir;
        const QString path = MakeDirectory(dir);
        {
            QFile f(path + beside);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(512, '\x01'));
        }
        const QByteArray before = Sha256(path);
        TLocklessMedium medium;
        TADOConnection connection;
        connection.SetConnectionString(ConnectionStringFor(path));
        try {
            connection.Open();
            FAIL() << "read a directory that may be incomplete without its " << beside;
        } catch (const EDatabaseError& e) {
            EXPECT_EQ(e.Message().toStdString(),
                      FormatMessage("Не удаётся открыть базу данных '%s': disk I/O error", {path}).toStdString());
        }
        EXPECT_FALSE(connection.Connected());
        EXPECT_EQ(Sha256(path).toStdString(), before.toStdString());
    }
}

} // namespace
