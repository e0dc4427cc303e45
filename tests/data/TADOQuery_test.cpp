// The query over a directory file, end to end: statements as the search composes them, the
// client-side result, sorting, refusal of changes, and what attached links hear.
#include "SqliteDirectory.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TRecordingLink.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Telephone numbers of the result, in its order.
QStringList Numbers(TADOQuery& query)
{
    QStringList out;
    query.MoveFirst();
    while (!query.AtEnd()) {
        out << query.FieldRequired("numer")->PlainText();
        query.MoveNext();
    }
    return out;
}

class TDirectoryQuery : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        path = MakeDirectoryFixture(dir);
        connection.SetConnectionString(ConnectionStringFor(path));
        query.SetConnection(&connection);
    }
    QStringList Run(const QString& sql)
    {
        query.Close();
        query.SetSQL(sql);
        query.Open();
        return Numbers(query);
    }

    QTemporaryDir dir;
    QString path;
    TADOConnection connection;
    TADOQuery query;
};

struct TStatementCase
{
    std::string Name;
    QString Sql;
    QStringList Numbers;
};

std::ostream& operator<<(std::ostream& os, const TStatementCase& c)
{
    return os << c.Name;
}

const QStringList kAll = {"211111", "211112", "211113", "211114", "311115",
                          "311116", "311117", "311118", "311119", "311120"};

const std::vector<TStatementCase> kStatementCases = {
    {"NoConditionGivesEveryRow", "select * from kray", kAll},
    {"NoConditionWithSemicolon", "SELECT * FROM kray;", kAll},
    {"PrefixIgnoresCyrillicCase", "SELECT * FROM kray WHERE vlad like \"иванов%\";", {"211111", "211112"}},
    {"SubstringIgnoresCyrillicCase",
     "SELECT * FROM kray WHERE street like \"%МИРА%\";",
     {"211111", "211113", "311118", "311119"}},
    {"SmallYoFindsCapitalYo", "SELECT * FROM kray WHERE vlad like \"ёлкин%\";", {"211113"}},
    {"YeDoesNotFindYo", "SELECT * FROM kray WHERE vlad like \"Елкин%\";", {"211114"}},
    {"YoInsideAWord", "SELECT * FROM kray WHERE vlad like \"%СЕМЁН%\";", {"211113"}},
    {"EqualIgnoresCaseAndTakesDoubledQuotes", "SELECT * FROM kray WHERE vlad=\"ооо \"\"ромашка\"\"\";", {"311115"}},
    {"QuotesInsideALikePattern", "SELECT * FROM kray WHERE vlad like \"%\"\"Ромашка\"\"%\";", {"311115"}},
    {"EqualWantsTheWholeValue", "SELECT * FROM kray WHERE vlad=\"иванов\";", {}},
    {"PercentInCriterionStaysAWildcard", "SELECT * FROM kray WHERE street like \"%50%%\";", {"311116"}},
    {"UnderscoreMatchesOneCharacter", "SELECT * FROM kray WHERE vlad like \"сидоров_петров%\";", {"311116", "311119"}},
    {"UnderscoreNeedsACharacter", "SELECT * FROM kray WHERE vlad like \"Сидоров_\";", {}},
    {"LatinAndCyrillicAreDifferentLetters", "SELECT * FROM kray WHERE street like \"%mira%\";", {"311117"}},
    {"SeveralConditionsAllHold",
     "SELECT * FROM kray WHERE vlad like \"%\"and street like \"%мира%\"and numhome like \"1%\";",
     {"211111"}},
    {"AndDirectlyAfterClosingQuote",
     "SELECT * FROM kray WHERE vlad like \"и%\"and street like \"%мира%\";",
     {"211111"}},
    {"KeywordsInAnyCase",
     "select * FROM KRAY where VLAD LIKE \"%петр%\" AND numdoor like \"%\";",
     {"211112", "311116", "311119"}},
    {"BlankNeverMatchesButEmptyMatchesEmpty", "SELECT * FROM kray WHERE numdoor like \"\";", {"211114"}},
    {"EqualEmptyFindsEmptyOnly", "SELECT * FROM kray WHERE vlad=\"\";", {"311120"}},
    {"PercentAloneSkipsBlanks",
     "SELECT * FROM kray WHERE numdoor like \"%\";",
     {"211111", "211112", "211114", "311116", "311117", "311118", "311119", "311120"}},
    {"TelephoneExact", "SELECT * FROM kray WHERE numer=\"311117\";", {"311117"}},
    {"NothingFound", "SELECT * FROM kray WHERE vlad like \"Я%\";", {}},
    {"ConditionTextThatLooksLikeSql", "SELECT * FROM kray WHERE vlad like \"%' OR 1=1 --%\";", {}},
};

class TDirectoryStatements : public TDirectoryQuery, public ::testing::WithParamInterface<TStatementCase>
{
};

TEST_P(TDirectoryStatements, FindTheRightRows)
{
    const TStatementCase& c = GetParam();
    EXPECT_EQ(Run(c.Sql), c.Numbers);
    EXPECT_EQ(query.RecordCount(), c.Numbers.size());
    EXPECT_EQ(query.HasNoRows(), c.Numbers.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Cases, TDirectoryStatements, ::testing::ValuesIn(kStatementCases),
                         [](const auto& param) { return param.param.Name; });

TEST_F(TDirectoryQuery, FieldsComeFromTheTable)
{
    Run("select * from kray");
    ASSERT_EQ(query.FieldCount(), 5);
    const QStringList names = {"numer", "vlad", "street", "numhome", "numdoor"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(query.Field(i)->FieldName(), names[i]);
        EXPECT_EQ(query.Field(i)->DataType(), ftString);
        EXPECT_EQ(query.Field(i)->Index(), i);
    }
    query.SetRecordNumber(5);
    EXPECT_EQ(query.FieldRequired("VLAD")->DisplayText(), QStringLiteral("ООО \"Ромашка\""));
    EXPECT_TRUE(query.FieldRequired("numdoor")->IsBlank());
    query.SetRecordNumber(4);
    EXPECT_FALSE(query.FieldRequired("numdoor")->IsBlank()) << "an empty text is not a blank";
    EXPECT_EQ(query.FieldRequired("numdoor")->PlainText(), QString());
}

TEST_F(TDirectoryQuery, MissingFieldNamesTheQuery)
{
    Run("select * from kray");
    try {
        query.FieldRequired("phone");
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ADOQuery1: Field 'phone' not found"));
    }
}

struct TFailingStatement
{
    std::string Name;
    QString Sql;
    QString Message; // empty: any message
};

std::ostream& operator<<(std::ostream& os, const TFailingStatement& c)
{
    return os << c.Name;
}

class TDirectoryFailures : public TDirectoryQuery, public ::testing::WithParamInterface<TFailingStatement>
{
};

TEST_P(TDirectoryFailures, FailWithTheEngineMessageAndLeaveTheQueryClosed)
{
    const TFailingStatement& c = GetParam();
    connection.Open();
    query.SetSQL(c.Sql);
    try {
        query.Open();
        FAIL() << "opened";
    } catch (const EDatabaseError& e) {
        if (!c.Message.isEmpty()) {
            EXPECT_EQ(e.Message(), c.Message);
        }
    }
    EXPECT_FALSE(query.Active());
    EXPECT_EQ(query.FieldCount(), 0);
    EXPECT_TRUE(connection.Connected()) << "a failed statement keeps the connection";
    EXPECT_EQ(Run("select * from kray"), kAll) << "the query still works afterwards";
}

const std::vector<TFailingStatement> kFailures = {
    {"MissingTable", "SELECT * FROM kry WHERE vlad like \"a%\";", "no such table: kry"},
    {"MissingField", "SELECT * FROM kray WHERE vladd like \"a%\";", "no such column: vladd"},
    {"QuoteTypedIntoCriterion", "SELECT * FROM kray WHERE vlad like \"a\"b%\";", {}},
    {"NotASelect", "DELETE FROM kray;", {}},
};

INSTANTIATE_TEST_SUITE_P(Cases, TDirectoryFailures, ::testing::ValuesIn(kFailures),
                         [](const auto& param) { return param.param.Name; });

TEST_F(TDirectoryQuery, OpensTheConnectionOnDemand)
{
    EXPECT_FALSE(connection.Connected());
    EXPECT_EQ(Run("SELECT * FROM kray WHERE numer=\"211111\";").size(), 1);
    EXPECT_TRUE(connection.Connected());
    connection.Close();
    EXPECT_FALSE(query.Active()) << "closing the connection closes its queries";
    query.Open();
    EXPECT_EQ(query.RecordCount(), 1);
}

TEST_F(TDirectoryQuery, StatementTextStartsAsTheDesignedOneAndReplacingItCloses)
{
    EXPECT_EQ(query.SQL(), QStringLiteral("select * from kray"));
    query.Open();
    query.SetSQL("SELECT * FROM kray WHERE numer=\"211111\";");
    EXPECT_FALSE(query.Active());
}

TEST_F(TDirectoryQuery, WithoutConnectionOpenFails)
{
    TADOQuery lone;
    try {
        lone.Open();
        FAIL();
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message(), QStringLiteral("ADOQuery1: Missing Connection or ConnectionString"));
    }
    EXPECT_FALSE(lone.Active());
}

TEST_F(TDirectoryQuery, RefusesEveryChange)
{
    Run("select * from kray");
    query.SetRecordNumber(3);
    EXPECT_FALSE(query.CanModify());
    const std::vector<std::pair<const char*, std::function<void()>>> changes = {
        {"Edit", [&] { query.Edit(); }},
        {"Insert", [&] { query.Insert(); }},
        {"Append", [&] { query.Append(); }},
        {"Delete", [&] { query.Delete(); }},
        {"SetValue", [&] { query.FieldRequired("vlad")->SetAsString("x"); }},
        {"Clear", [&] { query.FieldRequired("vlad")->Clear(); }},
    };
    for (const auto& [name, change] : changes) {
        try {
            change();
            ADD_FAILURE() << name << " was allowed";
        } catch (const EDatabaseError& e) {
            EXPECT_FALSE(e.Message().isEmpty()) << name;
        }
        EXPECT_EQ(query.CursorState(), dsBrowse) << name;
    }
    EXPECT_EQ(query.RecordCount(), 10);
    EXPECT_EQ(query.RecordNumber(), 3);
    EXPECT_EQ(query.FieldRequired("vlad")->PlainText(), QStringLiteral("Ёлкин Пётр Семёнович"));
}

// --- Sorting -----------------------------------------------------------------------------------

QStringList Column(TADOQuery& query, const char* field)
{
    QStringList out;
    for (query.MoveFirst(); !query.AtEnd(); query.MoveNext())
        out << (query.FieldRequired(field)->IsBlank() ? QStringLiteral("<null>")
                                                      : query.FieldRequired(field)->PlainText());
    return out;
}

TEST_F(TDirectoryQuery, SortByOrdersRussianWithBlanksFirst)
{
    Run("select * from kray");
    query.SortBy("vlad");
    EXPECT_EQ(Column(query, "vlad"), (QStringList{"<null>", "", "Ёлкин Пётр Семёнович", "елкин Сергей",
                                                  "Иванов Иван Иванович", "ИВАНОВА Мария Петровна", "Кузнецов Kelvin",
                                                  "ООО \"Ромашка\"", "Сидоров Петров", "Сидоров_Петров"}));
    query.SortBy("numdoor");
    EXPECT_EQ(Column(query, "numdoor"), (QStringList{"<null>", "<null>", "", "1", "17", "2", "3", "4", "5", "8"}));
    EXPECT_EQ(Column(query, "numer").mid(0, 2), (QStringList{"211113", "311115"})) << "blanks keep their order";
}

TEST_F(TDirectoryQuery, SortByIsStableAndDoesNotRunTheStatementAgain)
{
    Run("select * from kray");
    query.SortBy("street");
    EXPECT_EQ(Column(query, "numer"), (QStringList{"211112", "311119", "311116", "311115", "211111", "211113", "311118",
                                                   "211114", "311120", "311117"}))
        << "the three at ул. Мира and the two at ул. Садовая keep the order they had";
    // Sorted by house number first, equal streets come out in house-number order: 12а, 5, 7.
    query.SortBy("numhome");
    query.SortBy("street");
    EXPECT_EQ(Column(query, "numer"), (QStringList{"211112", "311119", "311116", "311115", "211111", "311118", "211113",
                                                   "211114", "311120", "311117"}));
    EXPECT_EQ(query.RecordCount(), 10);
    // The file is never asked again: it may even be gone.
    connection.Close();
}

TEST_F(TDirectoryQuery, SortBySameFieldAgainKeepsTheOrder)
{
    Run("select * from kray");
    query.SortBy("vlad");
    const QStringList once = Column(query, "numer");
    query.SortBy("VLAD");
    EXPECT_EQ(Column(query, "numer"), once);
}

TEST_F(TDirectoryQuery, BookmarksSurviveSorting)
{
    Run("select * from kray");
    query.SetRecordNumber(7);
    const QByteArray kelvin = query.Bookmark();
    query.SetRecordNumber(1);
    const QByteArray ivanov = query.Bookmark();
    query.SortBy("street");
    query.SetBookmark(kelvin);
    EXPECT_EQ(query.FieldRequired("numer")->PlainText(), "311117");
    query.SetBookmark(ivanov);
    EXPECT_EQ(query.FieldRequired("numer")->PlainText(), "211111");
    EXPECT_GT(query.BookmarkOrder(kelvin, ivanov), 0);
}

TEST_F(TDirectoryQuery, SortByUnknownFieldFailsAndKeepsTheOrder)
{
    Run("select * from kray");
    EXPECT_THROW(query.SortBy("phone"), EDatabaseError);
    EXPECT_EQ(Column(query, "numer"), kAll);
}

// --- Links ---------------------------------------------------------------------------------------

TEST_F(TDirectoryQuery, AttachedLinkFollowsOpenSortAndClose)
{
    TDataSource source(QStringLiteral("DataSource1"));
    source.SetDataSet(&query);
    TRecordingLink link;
    link.SetBufferCount(4);
    link.SetDataSource(&source);

    query.SetSQL("SELECT * FROM kray WHERE street like \"%мира%\";");
    query.Open();
    EXPECT_EQ(link.RecordCount(), 4);
    query.MoveLast();
    query.SortBy("vlad");
    EXPECT_EQ(link.ActiveRecord(), 0);
    query.Close();
    EXPECT_EQ(link.Events, (std::vector<std::string>{"opened", "changed", "changed", "closed"}));

    link.Events.clear();
    query.SetSQL("SELECT * FROM kray WHERE vlad like \"\"\";");
    EXPECT_THROW(query.Open(), EDatabaseError);
    EXPECT_TRUE(link.Events.empty()) << "a failed open tells the link nothing";
    EXPECT_FALSE(link.Active());
}

} // namespace
