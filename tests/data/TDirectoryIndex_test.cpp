// The in-memory index must answer exactly as the engine would: the same rows, in the same order, for
// random and hostile criteria over tricky rows, on SQLite and Jet files; it must follow the file when
// another program changes it, sort as the record set sorts, and stand aside where it cannot answer.
#include "SqliteDirectory.h"
#include "TrickyDirectory.h"

#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TDemoDirectory.h"
#include "TDirectoryIndex.h"
#include "TIndexedEngine.h"
#include "TJetEngine.h"
#include "TSqliteEngine.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

using namespace tricky;

// Every value of every row in the order found, as its bytes, nulls marked; and the columns.
std::vector<std::string> Rows(const TResultTable& result)
{
    std::vector<std::string> out;
    std::string header;
    for (const TResultColumn& c : result.Columns())
        header += c.Name.toStdString() + ":" + std::to_string(c.DataType) + ":" + std::to_string(c.Size) + " ";
    out.push_back(header);
    for (int r = 0; r < result.RowCount(); ++r) {
        std::string row;
        for (int c = 0; c < result.ColumnCount(); ++c)
            row += result.IsNull(r, c) ? std::string("\\N") : "[" + result.Value(r, c).toString().toStdString() + "]";
        out.push_back(row);
    }
    return out;
}

std::string Describe(const TSelectStatement& statement)
{
    std::string text = statement.Table.toStdString();
    for (const TCondition& c : statement.Conditions)
        text += " " + c.Field.toStdString() + (c.Operator == TCondition::Like ? " like " : " = ")
                + c.Literal.toUtf8().toHex(' ').toStdString();
    return text;
}

// Random statements of one to three conditions over the given columns.
std::vector<TSelectStatement> RandomStatements(std::mt19937& rng, const QString& table,
                                               const std::vector<QString>& columns,
                                               const std::vector<QString>& criteria, int count)
{
    std::vector<TSelectStatement> out;
    for (const QString& criterion : criteria)
        for (const TCondition::Op op : {TCondition::Like, TCondition::Equal})
            out.push_back({table, {TCondition{columns[rng() % columns.size()], op, criterion}}});
    for (int i = 0; i < count; ++i) {
        TSelectStatement statement{table, {}};
        const int conditions = 1 + int(rng() % 3);
        for (int k = 0; k < conditions; ++k)
            statement.Conditions.push_back({columns[rng() % columns.size()],
                                            rng() % 4 == 0 ? TCondition::Equal : TCondition::Like,
                                            criteria[rng() % criteria.size()]});
        out.push_back(statement);
    }
    out.push_back({table, {}});
    return out;
}

// Runs every statement through the plain engine and the index and expects the same answer, and
// that the index did answer.
void ExpectSameAnswers(TDirectoryEngine& plain, TIndexedEngine& indexed, const std::vector<TSelectStatement>& all)
{
    for (const TSelectStatement& statement : all) {
        const auto expected = plain.Select(statement);
        const auto found = indexed.Select(statement);
        ASSERT_TRUE(found->IsView()) << "the index did not answer " << Describe(statement);
        ASSERT_EQ(Rows(*found), Rows(*expected)) << Describe(statement);
    }
}

class TIndexDifferential : public ::testing::Test
{
protected:
    void SetUp() override
    {
        path = QDir(dir.path()).filePath("tricky.db");
        TSqliteFile file(path);
        std::mt19937 rng(20261210);
        std::string script = "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT, id "
                             "TEXT); BEGIN;";
        for (int r = 0; r < 3000; ++r) {
            script += "INSERT INTO kray VALUES (";
            for (std::size_t c = 0; c < std::size(kColumns); ++c)
                script += RandomValue(rng) + ", ";
            script += "'" + std::to_string(r) + "');";
        }
        script += "COMMIT; CREATE INDEX kray_vlad ON kray(vlad); CREATE INDEX kray_numhome ON kray(numhome);";
        file.Exec(script);
    }

    QTemporaryDir dir;
    QString path;
};

TEST_F(TIndexDifferential, SqliteIndexAnswersAsTheEngine)
{
    TSqliteEngine plain(path);
    TIndexedEngine indexed(std::make_unique<TSqliteEngine>(path), path);
    indexed.StartIndexing("kray", {"vlad"});
    ASSERT_TRUE(indexed.WaitForIndex()) << indexed.IndexError().toStdString();

    std::mt19937 rng(7);
    const std::vector<QString> columns = {"numer", "VLAD", "street", "numhome", "numdoor", "id"};
    ExpectSameAnswers(plain, indexed, RandomStatements(rng, "kray", columns, RandomCriteria(rng, 500), 600));
    // The table named in another letter case is the same table.
    ExpectSameAnswers(plain, indexed, {{"KRAY", {TCondition{"vlad", TCondition::Like, "%и%"}}}});
}

TEST_F(TIndexDifferential, StatementsTheIndexCannotAnswerGoToTheEngine)
{
    TIndexedEngine indexed(std::make_unique<TSqliteEngine>(path), path);
    indexed.StartIndexing("kray", {});
    ASSERT_TRUE(indexed.WaitForIndex());
    EXPECT_THROW(indexed.Select({"kray", {TCondition{"nosuch", TCondition::Like, "%"}}}), EDatabaseError);
    EXPECT_THROW(indexed.Select({"other", {}}), EDatabaseError);
    // A cancelled search ends as cancelled on the index too.
    TCancelToken token;
    token.Cancel();
    indexed.SetCancelToken(&token);
    EXPECT_THROW(indexed.Select({"kray", {}}), ECancelled);
}

TEST(TDirectoryIndex, JetIndexAnswersAsTheEngine)
{
    struct TCase
    {
        const char* File;
        const char* Table;
        std::vector<QString> Columns;
    };
    const TCase cases[] = {
        {"jet-cyrillic/kray-V2000.mdb", "kray", {"numer", "vlad", "street", "numhome", "numdoor"}},
        {"jet-cyrillic/kray-V2019.accdb", "kray", {"numer", "vlad", "street", "numhome", "numdoor"}},
        {"nwind.mdb", "Customers", {"CustomerID", "CompanyName", "ContactName", "City", "Country", "Phone"}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.File);
        const QString path = QStringLiteral(PB_FIXTURES_DIR "/") + c.File;
        TJetEngine plain(path);
        TIndexedEngine indexed(std::make_unique<TJetEngine>(path), path);
        indexed.StartIndexing(c.Table, {});
        // Searches while the index is read in the background go to the file, beside the build's
        // own reading of it.
        for (const char* typed : {"%ов%", "и%", "%a%"})
            ASSERT_EQ(Rows(*indexed.Select({c.Table, {TCondition{c.Columns[1], TCondition::Like, typed}}})),
                      Rows(*plain.Select({c.Table, {TCondition{c.Columns[1], TCondition::Like, typed}}})));
        ASSERT_TRUE(indexed.WaitForIndex()) << indexed.IndexError().toStdString();
        std::mt19937 rng(11);
        std::vector<QString> criteria = RandomCriteria(rng, 300);
        for (const char* typed : {"%ов%", "и%", "%'%", "%\"%", "%\\%", "%ё%", "Е%", "%a%", "%-%", "1%", "%&%"})
            criteria.push_back(QString::fromUtf8(typed));
        ExpectSameAnswers(plain, indexed, RandomStatements(rng, c.Table, c.Columns, criteria, 300));
    }
}

TEST(TDirectoryIndex, FollowsTheFileWhenAnotherProgramChangesIt)
{
    for (const char* journal : {"DELETE", "WAL"}) {
        SCOPED_TRACE(journal);
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath("kray.db");
        TSqliteFile writer(path);
        writer.Exec(std::string("PRAGMA journal_mode=") + journal
                    + "; CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT);"
                      "INSERT INTO kray VALUES ('1-11-11', 'Иванов Иван', 'ул. Мира', '1', '1');");
        TIndexedEngine indexed(std::make_unique<TSqliteEngine>(path), path);
        indexed.StartIndexing("kray", {"vlad"});
        ASSERT_TRUE(indexed.WaitForIndex());
        const TSelectStatement novikov{"kray", {TCondition{"vlad", TCondition::Like, "нов%"}}};
        EXPECT_EQ(indexed.Select(novikov)->RowCount(), 0);

        // Committed while the index stands: the next search sees it at once, and so does the
        // index built afresh.
        writer.Exec("INSERT INTO kray VALUES ('2-22-22', 'Новиков Пётр', 'ул. Мира', '2', '');");
        EXPECT_EQ(indexed.Select(novikov)->RowCount(), 1);
        ASSERT_TRUE(indexed.WaitForIndex());
        const auto again = indexed.Select(novikov);
        EXPECT_TRUE(again->IsView());
        EXPECT_EQ(again->RowCount(), 1);
    }
}

TEST(TDirectoryIndex, SortRanksOrderAsTheRecordSetSorts)
{
    // Owners in every case, ё beside е, equal texts, blanks and NULLs, and bytes that are not
    // UTF-8 (sorted by the collator itself).
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("kray.db");
    {
        TSqliteFile file(path);
        std::mt19937 rng(3);
        std::string script =
            "CREATE TABLE kray (numer TEXT, vlad TEXT, street TEXT, numhome TEXT, numdoor TEXT); BEGIN;";
        for (int r = 0; r < 2000; ++r)
            script += "INSERT INTO kray VALUES ('" + std::to_string(r) + "', " + RandomValue(rng) + ", "
                      + RandomValue(rng) + ", '', '');";
        file.Exec(script + "COMMIT;");
    }
    const auto sortedNumbers = [&](bool indexed, const QString& field) {
        TADOConnection connection;
        connection.SetConnectionString(TADOConnection::ConnectionStringFor(path));
        if (indexed)
            connection.StartIndexing("kray", {"vlad"});
        connection.Open();
        EXPECT_EQ(connection.WaitForIndex(), indexed);
        TADOQuery query;
        query.SetConnection(&connection);
        query.SetSQL("SELECT * FROM kray");
        query.Open();
        query.SortBy(field);
        QStringList numbers;
        for (query.MoveFirst(); !query.AtEnd(); query.MoveNext())
            numbers << query.FieldRequired("numer")->PlainText();
        return numbers;
    };
    const QStringList expected = sortedNumbers(false, "vlad");
    EXPECT_EQ(expected.size(), 2000);
    EXPECT_EQ(sortedNumbers(true, "vlad"), expected);
    // A column without ranks sorts by comparing texts, as before.
    EXPECT_EQ(sortedNumbers(true, "street"), sortedNumbers(false, "street"));
}

TEST(TDirectoryIndex, StandsAsideWhereItCannotAnswerAsTheEngine)
{
    // An SQLite column whose type could follow the rows read: no index, searches go on.
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("typed.db");
    TSqliteFile(path).Exec("CREATE TABLE kray (numer INTEGER, vlad TEXT); INSERT INTO kray VALUES (1, 'Иванов');");
    TIndexedEngine indexed(std::make_unique<TSqliteEngine>(path), path);
    indexed.StartIndexing("kray", {"vlad"});
    EXPECT_FALSE(indexed.WaitForIndex());
    EXPECT_TRUE(indexed.IndexError().contains("numer")) << indexed.IndexError().toStdString();
    EXPECT_EQ(indexed.Select({"kray", {TCondition{"vlad", TCondition::Like, "и%"}}})->RowCount(), 1);
}

TEST(TDirectoryIndex, HoldsLittleMoreThanTheTextItIndexes)
{
    QTemporaryDir dir;
    const QString path = QDir(dir.path()).filePath("demo.db");
    TDemoDirectory::Write(path, 50000, false);
    TIndexedEngine indexed(std::make_unique<TSqliteEngine>(path), path);
    indexed.StartIndexing("kray", {"vlad"});
    ASSERT_TRUE(indexed.WaitForIndex());
    const auto index = indexed.Index();
    EXPECT_LE(double(index->MemoryUsed()), 1.5 * double(index->TextBytes()))
        << index->MemoryUsed() << " bytes for " << index->TextBytes() << " bytes of text";
}

} // namespace
