// The SQLite engine on its own: column types from declared types, and prefix searches narrowed to
// index ranges that find exactly what a full scan finds.
#include "SqliteDirectory.h"
#include "TSqliteEngine.h"

#include <QDateTime>
#include <QTimeZone>

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

TSelectStatement Statement(const QString& table, std::vector<TCondition> conditions = {})
{
    return TSelectStatement{table, std::move(conditions)};
}

TCondition Like(const QString& field, const QString& pattern)
{
    return TCondition{field, TCondition::Like, pattern};
}

TCondition Equal(const QString& field, const QString& literal)
{
    return TCondition{field, TCondition::Equal, literal};
}

// --- Column types ---------------------------------------------------------------------------------

TEST(TSqliteEngine, ColumnTypesFollowDeclaredTypes)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("types.db");
    RunSqlScript(path, R"sql(
CREATE TABLE t (i INTEGER, b BIGINT, s SMALLINT, r REAL, f DOUBLE PRECISION, v VARCHAR(30), x TEXT, bl BLOB,
                bo BOOLEAN, d DATE, dt DATETIME, tm TIME, m MONEY, n NUMERIC, u, w STRANGE);
INSERT INTO t VALUES (42, 9000000000, -3, 1.5, 2, 'ёж', 'text', x'00FF10', 1, '2024-02-29', '2024-02-29 13:45:10',
                      '07:30:00', 12.25, 3, 'anything', 'odd');
INSERT INTO t VALUES (NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL);
)sql");
    TSqliteEngine engine(path);
    const auto result = engine.Select(Statement("t"));
    const std::vector<std::pair<QString, TFieldType>> expected = {
        {"i", ftInteger},  {"b", ftLargeint}, {"s", ftSmallint}, {"r", ftFloat}, {"f", ftFloat},     {"v", ftString},
        {"x", ftString},   {"bl", ftBlob},    {"bo", ftBoolean}, {"d", ftDate},  {"dt", ftDateTime}, {"tm", ftTime},
        {"m", ftCurrency}, {"n", ftFloat},    {"u", ftString},   {"w", ftString}};
    ASSERT_EQ(result->ColumnCount(), int(expected.size()));
    for (int c = 0; c < result->ColumnCount(); ++c) {
        EXPECT_EQ(result->Columns()[c].Name, expected[c].first);
        EXPECT_EQ(result->Columns()[c].DataType, expected[c].second) << expected[c].first.toStdString();
        EXPECT_TRUE(result->IsNull(1, c)) << expected[c].first.toStdString();
    }
    EXPECT_EQ(result->Columns()[5].Size, 30);
    EXPECT_EQ(result->Value(0, 0), QVariant(qlonglong(42)));
    EXPECT_EQ(result->Value(0, 1), QVariant(qlonglong(9000000000)));
    EXPECT_EQ(result->Value(0, 2), QVariant(qlonglong(-3)));
    EXPECT_EQ(result->Value(0, 3), QVariant(1.5));
    EXPECT_EQ(result->Value(0, 4), QVariant(2.0));
    EXPECT_EQ(result->Text(0, 5), QStringLiteral("ёж"));
    EXPECT_EQ(result->Value(0, 7), QVariant(QByteArray("\x00\xFF\x10", 3)));
    EXPECT_EQ(result->Value(0, 8), QVariant(true));
    EXPECT_EQ(result->Value(0, 9).toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(0, 0), QTimeZone::utc()));
    EXPECT_EQ(result->Value(0, 10).toDateTime(), QDateTime(QDate(2024, 2, 29), QTime(13, 45, 10), QTimeZone::utc()));
    EXPECT_EQ(result->Value(0, 11).toDateTime().time(), QTime(7, 30));
    EXPECT_EQ(result->Value(0, 12), QVariant(12.25));
    EXPECT_EQ(result->Text(0, 14), QStringLiteral("anything"));
}

TEST(TSqliteEngine, ValuesTheDeclaredTypeCannotHoldTurnTheColumnIntoText)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("mixed.db");
    RunSqlScript(path, R"sql(
CREATE TABLE t (n INTEGER, d DATE, r REAL);
INSERT INTO t VALUES (1, '2020-01-01', 1.5);
INSERT INTO t VALUES ('12а', 'позавчера', 'n/a');
INSERT INTO t VALUES (' 7 ', '2021-05-06', '2.5');
)sql");
    TSqliteEngine engine(path);
    const auto result = engine.Select(Statement("t"));
    EXPECT_EQ(result->Columns()[0].DataType, ftString);
    EXPECT_EQ(result->Columns()[1].DataType, ftString);
    EXPECT_EQ(result->Columns()[2].DataType, ftString);
    EXPECT_EQ(result->Text(0, 0), "1");
    EXPECT_EQ(result->Text(1, 0), QStringLiteral("12а"));
    EXPECT_EQ(result->Text(1, 1), QStringLiteral("позавчера"));
    EXPECT_EQ(result->Text(2, 2), "2.5");
    EXPECT_EQ(result->RowCount(), 3);
}

TEST(TSqliteEngine, IdentifiersAreQuotedNotSpliced)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("q.db");
    RunSqlScript(path, R"sql(
CREATE TABLE "we""ird" ("a b" TEXT, "c""d" TEXT);
INSERT INTO "we""ird" VALUES ('1', 'x');
CREATE TABLE kray (vlad TEXT);
INSERT INTO kray VALUES ('a');
)sql");
    TSqliteEngine engine(path);
    EXPECT_EQ(engine.Select(Statement("we\"ird", {Like("a b", "1"), Equal("c\"d", "X")}))->RowCount(), 1);
    try {
        engine.Select(Statement("kray; DROP TABLE kray"));
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("no such table: kray; DROP TABLE kray"));
    }
    EXPECT_EQ(engine.Select(Statement("kray"))->RowCount(), 1);
}

// --- Prefix searches and indexes ------------------------------------------------------------------

// Owner names built from pieces rich in letter-case traps: Kelvin sign, dotted and dotless i,
// sharp s, е beside ё, digits and Latin beside Cyrillic.
std::string RandomDirectoryRows(int rows)
{
    static const char* const pieces[] = {
        "Иванов", "иванова", "ИВАН", "Ёлкин",  "ёлка", "елка", "Е", "ё", " ", "k", "K", "\u212A", "i",  "I",
        "\u0130", "\u0131",  "ß",    "\u1E9E", "ss",   "12",   "1", "а", "б", "Я", "%", "_",      "\"", "ООО"};
    std::mt19937 rng(5);
    std::string script = "BEGIN;";
    for (int r = 0; r < rows; ++r) {
        std::string name;
        const int count = int(rng() % 4);
        for (int i = 0; i < count; ++i)
            name += pieces[rng() % std::size(pieces)];
        std::string quoted;
        for (char c : name)
            quoted += c == '\'' ? std::string("''") : std::string(1, c);
        script += "INSERT INTO kray VALUES ('" + std::to_string(r) + "', "
                  + (rng() % 50 == 0 ? std::string("NULL") : "'" + quoted + "'") + ", 'ул. Мира', '1', '2');";
    }
    return script + "INSERT INTO kray VALUES ('blob', x'D0B8D0B2', 'x', '1', '2'); COMMIT;";
}

QStringList SortedNumbers(const TResultTable& result)
{
    QStringList out;
    for (int r = 0; r < result.RowCount(); ++r)
        out << result.Text(r, 0);
    out.sort();
    return out;
}

class TIndexedPrefix : public ::testing::TestWithParam<TCondition>
{
protected:
    static void SetUpTestSuite()
    {
        dir = new QTemporaryDir;
        const std::string table = "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);";
        const std::string rows = RandomDirectoryRows(4000);
        plain = QDir(dir->path()).filePath("plain.db");
        indexed = QDir(dir->path()).filePath("indexed.db");
        RunSqlScript(plain, table + rows);
        RunSqlScript(indexed, table + rows + "CREATE INDEX kray_vlad ON kray(vlad);");
    }
    static void TearDownTestSuite() { delete dir; }

    static QTemporaryDir* dir;
    static QString plain;
    static QString indexed;
};

QTemporaryDir* TIndexedPrefix::dir = nullptr;
QString TIndexedPrefix::plain;
QString TIndexedPrefix::indexed;

TEST_P(TIndexedPrefix, FindsWhatAFullScanFinds)
{
    TSqliteEngine scan(plain);
    TSqliteEngine ranged(indexed);
    const TSelectStatement statement = Statement("kray", {GetParam()});
    const QStringList expected = SortedNumbers(*scan.Select(statement));
    EXPECT_EQ(SortedNumbers(*ranged.Select(statement)), expected);
    EXPECT_TRUE(scan.QueryPlan(statement).join('\n').contains("SCAN"));
}

const std::vector<TCondition> kPrefixConditions = {
    Like("vlad", "и%"),   Like("vlad", "ИВ%"),     Like("vlad", "Иванов%"), Like("vlad", "ИВАНОВАиван%"),
    Like("vlad", "k%"),   Like("vlad", "\u212A%"), Like("vlad", "Kk%"),     Like("vlad", "ё%"),
    Like("vlad", "Ё%"),   Like("vlad", "е%"),      Like("vlad", "ß%"),      Like("vlad", "\u1E9E%"),
    Like("vlad", "ss%"),  Like("vlad", "i%"),      Like("vlad", "\u0130%"), Like("vlad", "\u0131%"),
    Like("vlad", "12%"),  Like("vlad", "1%2%"),    Like("vlad", "Ив_н%"),   Like("vlad", "%ванов"),
    Like("vlad", "%"),    Like("vlad", ""),        Like("vlad", "_%"),      Like("vlad", "\"%"),
    Like("vlad", "ООО%"), Like("vlad", "Иванов"),  Equal("vlad", "иванов"), Equal("vlad", "ЁЛКА"),
    Equal("vlad", ""),    Like("vlad", "я%"),      Like("vlad", "ив%"),     Like("VLAD", "Ёл%"),
};

INSTANTIATE_TEST_SUITE_P(Cases, TIndexedPrefix, ::testing::ValuesIn(kPrefixConditions));

TEST_F(TIndexedPrefix, PrefixSearchUsesTheIndex)
{
    TSqliteEngine engine(indexed);
    for (const TCondition& c :
         {Like("vlad", "Иванов%"), Like("vlad", "k%"), Like("vlad", "12%"), Equal("vlad", "Иванов Иван")}) {
        const QString plan = engine.QueryPlan(Statement("kray", {c})).join('\n');
        EXPECT_TRUE(plan.contains("INDEX kray_vlad")) << c.Literal.toStdString() << ":\n" << plan.toStdString();
        EXPECT_FALSE(plan.contains("SCAN")) << c.Literal.toStdString() << ":\n" << plan.toStdString();
    }
    const QString substring = engine.QueryPlan(Statement("kray", {Like("vlad", "%иванов%")})).join('\n');
    EXPECT_TRUE(substring.contains("SCAN")) << substring.toStdString();
    const QString withStreet =
        engine.QueryPlan(Statement("kray", {Like("vlad", "Иванов%"), Like("street", "%мира%")})).join('\n');
    EXPECT_TRUE(withStreet.contains("INDEX kray_vlad")) << withStreet.toStdString();
}

TEST(TSqliteEngine, IndexesThatCannotServeLeaveTheScan)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("idx.db");
    RunSqlScript(path, R"sql(
CREATE TABLE kray (numer INTEGER, vlad TEXT COLLATE NOCASE, street TEXT);
CREATE INDEX kray_numer ON kray(numer);
CREATE INDEX kray_vlad ON kray(vlad);
CREATE INDEX kray_street ON kray(street) WHERE street <> '';
INSERT INTO kray VALUES (123, 'Иванов', 'ул. Мира');
INSERT INTO kray VALUES (1234, 'иванов', '');
INSERT INTO kray VALUES (23, 'ИВАНОВ', 'Мира');
)sql");
    TSqliteEngine engine(path);
    struct TCase
    {
        TCondition Condition;
        int Rows;
    };
    for (const TCase& c :
         {TCase{Like("numer", "12%"), 2}, TCase{Like("vlad", "иванов%"), 3}, TCase{Like("street", "ул%"), 1}}) {
        const TSelectStatement statement = Statement("kray", {c.Condition});
        EXPECT_EQ(engine.Select(statement)->RowCount(), c.Rows) << c.Condition.Field.toStdString();
        EXPECT_TRUE(engine.QueryPlan(statement).join('\n').contains("SCAN")) << c.Condition.Field.toStdString();
    }
}

} // namespace
