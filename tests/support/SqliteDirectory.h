#pragma once
// SQLite files that the tests and benchmarks make and read for themselves. Every SQLite call is
// checked: a fixture that cannot be built stops at once with SQLite's own message, instead of
// showing up later as a puzzling search result.

#include <QDir>
#include <QString>
#include <QTemporaryDir>

#include <sqlite3.h>

#include <array>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

// A prepared statement of an open file; finalized on every path.
class TSqliteStatement
{
public:
    TSqliteStatement(sqlite3* db, std::string where, const std::string& sql) : fDb(db), fWhere(std::move(where))
    {
        if (sqlite3_prepare_v2(fDb, sql.c_str(), int(sql.size()), &fStatement, nullptr) != SQLITE_OK)
            Fail("cannot prepare \"" + sql + "\"");
    }
    ~TSqliteStatement() { sqlite3_finalize(fStatement); }
    TSqliteStatement(TSqliteStatement&& other) noexcept
        : fDb(other.fDb), fWhere(std::move(other.fWhere)), fStatement(std::exchange(other.fStatement, nullptr))
    {
    }
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(TSqliteStatement&&) = delete;

    // Binds a copy of a text to a 1-based parameter; a null pointer binds NULL.
    void BindText(int parameter, const char* text)
    {
        const int rc = text ? sqlite3_bind_text(fStatement, parameter, text, -1, SQLITE_TRANSIENT)
                            : sqlite3_bind_null(fStatement, parameter);
        if (rc != SQLITE_OK)
            Fail("cannot bind parameter " + std::to_string(parameter));
    }

    // True with a row to read, false when the statement is done.
    bool Step()
    {
        const int rc = sqlite3_step(fStatement);
        if (rc == SQLITE_ROW)
            return true;
        if (rc != SQLITE_DONE)
            Fail("step failed");
        return false;
    }

    // Ready to run again with new parameters.
    void Reset()
    {
        if (sqlite3_reset(fStatement) != SQLITE_OK || sqlite3_clear_bindings(fStatement) != SQLITE_OK)
            Fail("cannot reset a statement");
    }

    // For reading columns in a loop that must stay a plain SQLite loop.
    sqlite3_stmt* Handle() const { return fStatement; }

private:
    [[noreturn]] void Fail(const std::string& what) const
    {
        throw std::runtime_error(fWhere + ": " + what + ": " + sqlite3_errmsg(fDb));
    }

    sqlite3* fDb;
    std::string fWhere;
    sqlite3_stmt* fStatement = nullptr;
};

// An SQLite file, open until Close or destruction.
class TSqliteFile
{
public:
    enum TMode
    {
        Create, // read and write, made if missing
        ReadOnly,
        Immutable, // read-only and never changed by anyone, as the directory engine opens it
    };

    explicit TSqliteFile(const QString& path, TMode mode = Create) : fPath(path.toStdString())
    {
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        std::string name = fPath;
        if (mode == ReadOnly)
            flags = SQLITE_OPEN_READONLY;
        if (mode == Immutable) {
            flags = SQLITE_OPEN_READONLY | SQLITE_OPEN_URI;
            name = "file:" + fPath + "?mode=ro&immutable=1";
        }
        const int rc = sqlite3_open_v2(name.c_str(), &fDb, flags, nullptr);
        if (rc != SQLITE_OK) {
            const std::string message = fDb ? sqlite3_errmsg(fDb) : sqlite3_errstr(rc);
            sqlite3_close(fDb);
            throw std::runtime_error(fPath + ": cannot open: " + message);
        }
    }
    ~TSqliteFile() { sqlite3_close_v2(fDb); } // a failure is already on its way when Close was skipped
    TSqliteFile(const TSqliteFile&) = delete;
    TSqliteFile& operator=(const TSqliteFile&) = delete;

    // Runs one or more statements separated by ";".
    void Exec(const std::string& script)
    {
        char* error = nullptr;
        if (sqlite3_exec(fDb, script.c_str(), nullptr, nullptr, &error) != SQLITE_OK) {
            const std::string message = error ? error : sqlite3_errmsg(fDb);
            sqlite3_free(error);
            throw std::runtime_error(fPath + ": script failed: " + message);
        }
    }

    TSqliteStatement Prepare(const std::string& sql) { return TSqliteStatement(fDb, fPath, sql); }

    // The first column of the first row of a query that must give one.
    qint64 QueryNumber(const std::string& sql)
    {
        TSqliteStatement statement = Prepare(sql);
        if (!statement.Step())
            throw std::runtime_error(fPath + ": no row from \"" + sql + "\"");
        return sqlite3_column_int64(statement.Handle(), 0);
    }

    // Closes the file; every statement must be gone by then.
    void Close()
    {
        if (sqlite3_close(fDb) != SQLITE_OK)
            throw std::runtime_error(fPath + ": cannot close: " + sqlite3_errmsg(fDb));
        fDb = nullptr;
    }

private:
    std::string fPath;
    sqlite3* fDb = nullptr;
};

// Runs an SQL script against a new (or existing) database file.
inline void RunSqlScript(const QString& path, const std::string& script)
{
    TSqliteFile file(path);
    file.Exec("PRAGMA synchronous = OFF"); // fixtures need no fsync
    file.Exec(script);
    file.Close();
}

// One entry of the directory table: numer, vlad, street, numhome, numdoor; a null pointer is NULL.
using TDirectoryRow = std::array<const char*, 5>;

// A directory file whose table kray holds these rows, in this order.
inline void WriteDirectoryTable(const QString& path, const std::vector<TDirectoryRow>& rows)
{
    TSqliteFile file(path);
    file.Exec("PRAGMA synchronous = OFF;" // fixtures need no fsync
              "CREATE TABLE kray(numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT)");
    {
        TSqliteStatement insert = file.Prepare("INSERT INTO kray VALUES(?,?,?,?,?)");
        for (const TDirectoryRow& row : rows) {
            for (std::size_t i = 0; i < row.size(); ++i)
                insert.BindText(int(i) + 1, row[i]);
            insert.Step();
            insert.Reset();
        }
    }
    file.Close();
}

// The directory table as the program knows it, with entries that exercise matching: letter
// case, е beside ё, quotes, wildcard characters inside values, blank and empty values.
inline const char* DirectoryFixtureScript()
{
    return R"sql(
CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);
INSERT INTO kray VALUES ('211111', 'Иванов Иван Иванович', 'ул. Мира', '12а', '5');
INSERT INTO kray VALUES ('211112', 'ИВАНОВА Мария Петровна', 'пр. Ленина', '3', '17');
INSERT INTO kray VALUES ('211113', 'Ёлкин Пётр Семёнович', 'ул. Мира', '7', NULL);
INSERT INTO kray VALUES ('211114', 'елкин Сергей', 'ул. Садовая', '1', '');
INSERT INTO kray VALUES ('311115', 'ООО "Ромашка"', 'ул. Заводская', '25', NULL);
INSERT INTO kray VALUES ('311116', 'Сидоров_Петров', 'ул. 50% скидки', '9', '1');
INSERT INTO kray VALUES ('311117', 'Кузнецов Kelvin', 'Mira street', '100', '2');
INSERT INTO kray VALUES ('311118', NULL, 'ул. Мира', '5', '3');
INSERT INTO kray VALUES ('311119', 'Сидоров Петров', 'пр. Мира', '', '4');
INSERT INTO kray VALUES ('311120', '', 'ул. Садовая', '1', '8');
)sql";
}

inline QString MakeDirectoryFixture(const QTemporaryDir& dir, const QString& name = QStringLiteral("phonebook.mdb"),
                                    const std::string& extra = {})
{
    const QString path = QDir(dir.path()).filePath(name);
    RunSqlScript(path, std::string(DirectoryFixtureScript()) + extra);
    return path;
}

inline QString ConnectionStringFor(const QString& path)
{
    return QStringLiteral("Provider=Microsoft.Jet.OLEDB.4.0;Data Source=") + path
           + QStringLiteral(";Persist Security Info=False");
}
