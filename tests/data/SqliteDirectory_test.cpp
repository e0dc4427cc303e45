// The tests' own SQLite files: what a fixture writes, and that a fixture which cannot be built stops
// with SQLite's message and the file's name instead of failing quietly.
#include "SqliteDirectory.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

namespace {

std::string FailureOf(const std::function<void()>& build)
{
    try {
        build();
    } catch (const std::runtime_error& e) {
        return e.what();
    }
    return "no failure";
}

TEST(SqliteDirectory, RowsAreWrittenInOrderWithNullsAndEmptyTexts)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kray.db");
    WriteDirectoryTable(path, {{"1", "Иванов", "ул. Мира", "12", "5"}, {"2", nullptr, "пр. Ленина", "", nullptr}});
    TSqliteFile file(path, TSqliteFile::ReadOnly);
    EXPECT_EQ(file.QueryNumber("SELECT count(*) FROM kray"), 2);
    EXPECT_EQ(file.QueryNumber("SELECT rowid FROM kray WHERE vlad = 'Иванов' AND numdoor = '5'"), 1);
    EXPECT_EQ(file.QueryNumber("SELECT rowid FROM kray WHERE vlad IS NULL AND numhome = '' AND numdoor IS NULL"), 2);
    file.Close();
}

TEST(SqliteDirectory, EveryFailureStopsWithSqlitesMessage)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("kray.db");
    const std::string file = path.toStdString();
    const QString missing = dir.filePath("none/kray.db");
    struct
    {
        const char* Name;
        std::function<void()> Build;
        std::string Message;
    } cases[] = {
        {"statement of a script fails",
         [&] { RunSqlScript(path, "CREATE TABLE kray(numer TEXT); INSERT INTO nowhere VALUES('1');"); },
         file + ": script failed: no such table: nowhere"},
        {"table written twice", [&] { WriteDirectoryTable(path, {}); },
         file + ": script failed: table kray already exists"},
        {"folder missing", [&] { RunSqlScript(missing, "SELECT 1"); },
         missing.toStdString() + ": cannot open: unable to open database file"},
        {"query on a missing table", [&] { TSqliteFile(path).QueryNumber("SELECT count(*) FROM absent"); },
         file + ": cannot prepare \"SELECT count(*) FROM absent\": no such table: absent"},
        {"query without a row", [&] { TSqliteFile(path).QueryNumber("SELECT 1 WHERE 0"); },
         file + ": no row from \"SELECT 1 WHERE 0\""},
        {"write to a read-only file",
         [&] {
             TSqliteFile readOnly(path, TSqliteFile::ReadOnly);
             readOnly.Prepare("INSERT INTO kray VALUES('1')").Step();
         },
         file + ": step failed: attempt to write a readonly database"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FailureOf(c.Build), c.Message) << c.Name;
}

} // namespace
