// The index path and the scan path of the SQLite engine must find the same rows for every
// criterion: the same directory with and without indexes on its text columns, searched with random
// and malformed criteria (letters in every case, ё, wildcards, quotes, U+FFFD, lone surrogates),
// over rows that hold invalid UTF-8 bytes, NULL, empty texts and blobs.
#include "TSqliteEngine.h"
#include "TrickyDirectory.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace tricky;

void RunScript(const QString& path, const std::string& script)
{
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.toUtf8().constData(), &db), SQLITE_OK);
    char* error = nullptr;
    const int rc = sqlite3_exec(db, script.c_str(), nullptr, nullptr, &error);
    EXPECT_EQ(rc, SQLITE_OK) << (error ? error : "");
    sqlite3_free(error);
    sqlite3_close(db);
}

// The rows' own numbers, in the order found: the index ranges must give the rows in the table's
// order, as the scan does.
QStringList Numbers(const TResultTable& result)
{
    QStringList out;
    for (int r = 0; r < result.RowCount(); ++r)
        out << result.Text(r, 5);
    return out;
}

TEST(TSqliteIndexDifferential, IndexRangesFindWhatTheScanFinds)
{
    QTemporaryDir dir;
    const QString plain = QDir(dir.path()).filePath("plain.db");
    const QString indexed = QDir(dir.path()).filePath("indexed.db");
    std::mt19937 rng(20261210);
    std::string rows = "BEGIN;";
    for (int r = 0; r < 3000; ++r) {
        rows += "INSERT INTO kray VALUES (";
        for (std::size_t c = 0; c < std::size(kColumns); ++c)
            rows += RandomValue(rng) + ", ";
        rows += "'" + std::to_string(r) + "');";
    }
    rows += "COMMIT;";
    const std::string table =
        "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT, id TEXT);";
    RunScript(plain, table + rows);
    std::string indexes;
    for (const char* column : kColumns)
        indexes += std::string("CREATE INDEX kray_") + column + " ON kray(" + column + ");";
    RunScript(indexed, table + rows + indexes);

    TSqliteEngine scan(plain);
    TSqliteEngine ranged(indexed);
    int narrowed = 0;
    for (const QString& criterion : RandomCriteria(rng, 800)) {
        const char* column = kColumns[rng() % std::size(kColumns)];
        for (const TCondition::Op op : {TCondition::Like, TCondition::Equal}) {
            const TSelectStatement statement{"kray", {TCondition{column, op, criterion}}};
            const QStringList expected = Numbers(*scan.Select(statement));
            const QStringList found = Numbers(*ranged.Select(statement));
            ASSERT_EQ(found.join(',').toStdString(), expected.join(',').toStdString())
                << column << (op == TCondition::Like ? " like " : " = ") << criterion.toUtf8().toHex(' ').toStdString();
            narrowed += ranged.QueryPlan(statement).join('\n').contains("INDEX kray_") ? 1 : 0;
        }
    }
    EXPECT_GT(narrowed, 500) << "the index path was taken";
}

} // namespace
