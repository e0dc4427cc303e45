// The index path and the scan path of the SQLite engine must find the same rows for every
// criterion: the same directory with and without indexes on its text columns, searched with random
// and malformed criteria (letters in every case, ё, wildcards, quotes, U+FFFD, lone surrogates),
// over rows that hold invalid UTF-8 bytes, NULL, empty texts and blobs.
#include "TSqliteEngine.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <random>
#include <string>
#include <vector>

namespace {

const char* const kColumns[] = {"numer", "vlad", "street", "numhome", "numdoor"};

// Pieces of values; those in x'..' form are raw bytes, many of them not UTF-8.
const char* const kPieces[] = {
    "'Иванов'", "'иванова'", "'ИВАН'",      "'Ёлкин'", "'ёлка'",   "'елка'",    "'Е'",   "'ё'",   "' '",
    "'k'",      "'K'",       "'\u212A'",    "'i'",     "'\u0130'", "'ß'",       "'ss'",  "'12'",  "'%'",
    "'_'",      "'\"'",      "''''",        "'ООО'",   "'\uFFFD'", "x'FF'",     "x'C0'", "x'80'", "x'D0'",
    "x'C0AF'",  "x'EDA080'", "x'F4908080'", "x'E282'", "x'FE41'",  "x'D0D0B8'", "x'00'",
};

std::string RandomValue(std::mt19937& rng)
{
    switch (rng() % 20) {
    case 0:
        return "NULL";
    case 1:
        return "''";
    case 2:
        return "x'D0B8D0B2'"; // a blob
    default:
        break;
    }
    std::string value;
    const int count = 1 + int(rng() % 4);
    for (int i = 0; i < count; ++i)
        value += std::string(value.empty() ? "" : " || ") + kPieces[rng() % std::size(kPieces)];
    return "CAST(" + value + " AS TEXT)";
}

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

// Criteria: random runs of tricky characters, and the starts of stored values as a user would
// see them (invalid bytes shown as U+FFFD), with and without wildcards.
std::vector<QString> RandomCriteria(std::mt19937& rng, int count)
{
    static const QString alphabet[] = {"и",
                                       "И",
                                       "в",
                                       "В",
                                       "ё",
                                       "Ё",
                                       "е",
                                       "Е",
                                       "к",
                                       "k",
                                       "K",
                                       "\u212A",
                                       "ß",
                                       "s",
                                       "S",
                                       "\u0130",
                                       "i",
                                       "%",
                                       "_",
                                       "\"",
                                       "'",
                                       " ",
                                       "1",
                                       "2",
                                       "О",
                                       "\uFFFD",
                                       QString(QChar(0xD800)),
                                       QString(QChar(0xDC00)),
                                       "\uFFFDA",
                                       "А",
                                       "\u0000",
                                       "я"};
    std::vector<QString> out;
    for (int i = 0; i < count; ++i) {
        QString text;
        const int length = int(rng() % 5);
        for (int k = 0; k < length; ++k)
            text += alphabet[rng() % std::size(alphabet)];
        out.push_back(text);
    }
    static const char* const bytes[] = {"\xFF",
                                        "\xC0",
                                        "\x80",
                                        "\xD0",
                                        "\xED\xA0\x80",
                                        "\xE2\x82",
                                        "\xFE"
                                        "A",
                                        "\xD0\xD0\xB8",
                                        "\xF4\x90\x80\x80",
                                        "\xC0\xAF"};
    for (const char* b : bytes) {
        const QString shown = QString::fromUtf8(b); // as the window would show the stored bytes
        out.push_back(shown);
        out.push_back(shown + "%");
        out.push_back(shown + "и%");
        out.push_back(shown + "_%");
    }
    return out;
}

QStringList SortedNumbers(const TResultTable& result)
{
    QStringList out;
    for (int r = 0; r < result.RowCount(); ++r)
        out << result.Text(r, 5);
    out.sort();
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
            const QStringList expected = SortedNumbers(*scan.Select(statement));
            const QStringList found = SortedNumbers(*ranged.Select(statement));
            ASSERT_EQ(found.join(',').toStdString(), expected.join(',').toStdString())
                << column << (op == TCondition::Like ? " like " : " = ") << criterion.toUtf8().toHex(' ').toStdString();
            narrowed += ranged.QueryPlan(statement).join('\n').contains("USING INDEX") ? 1 : 0;
        }
    }
    EXPECT_GT(narrowed, 500) << "the index path was taken";
}

} // namespace
