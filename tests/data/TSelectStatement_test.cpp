// The statement dialect: every form the search composes parses to the same conditions, and
// everything else is refused with a syntax error that quotes where the statement went wrong.
#include "Exception.h"
#include "TSelectStatement.h"

#include <gtest/gtest.h>

namespace {

TCondition Like(const char* field, const char* literal)
{
    return {QString::fromUtf8(field), TCondition::Like, QString::fromUtf8(literal)};
}

TCondition Equal(const char* field, const char* literal)
{
    return {QString::fromUtf8(field), TCondition::Equal, QString::fromUtf8(literal)};
}

struct TValidCase
{
    const char* Name;
    const char* Sql;
    TSelectStatement Expected;
};

void PrintTo(const TValidCase& c, std::ostream* os)
{
    *os << c.Name;
}

class ValidStatement : public testing::TestWithParam<TValidCase>
{
};

TEST_P(ValidStatement, Parses)
{
    const TValidCase& c = GetParam();
    const TSelectStatement parsed = ParseSelectStatement(QString::fromUtf8(c.Sql));
    EXPECT_EQ(parsed.Table, c.Expected.Table);
    ASSERT_EQ(parsed.Conditions.size(), c.Expected.Conditions.size());
    for (std::size_t i = 0; i < parsed.Conditions.size(); ++i) {
        SCOPED_TRACE(testing::Message() << "condition " << i);
        EXPECT_EQ(parsed.Conditions[i].Field, c.Expected.Conditions[i].Field);
        EXPECT_EQ(parsed.Conditions[i].Operator, c.Expected.Conditions[i].Operator);
        EXPECT_EQ(parsed.Conditions[i].Literal.toStdString(), c.Expected.Conditions[i].Literal.toStdString());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, ValidStatement,
    testing::Values(
        TValidCase{"NameAtStartAndStreet",
                   "SELECT * FROM kray WHERE vlad like \"Иванов%\"and street like \"%Мира%\";",
                   {"kray", {Like("vlad", "Иванов%"), Like("street", "%Мира%")}}},
        TValidCase{"EveryField",
                   "SELECT * FROM kray WHERE vlad=\"Петров Пётр\"and street like \"%Ленина%\"and numhome like "
                   "\"12%\"and numdoor like \"3%\"and numer=\"2-34-56\";",
                   {"kray",
                    {Equal("vlad", "Петров Пётр"), Like("street", "%Ленина%"), Like("numhome", "12%"),
                     Like("numdoor", "3%"), Equal("numer", "2-34-56")}}},
        TValidCase{"OnlyHouse", "SELECT * FROM kray WHERE numhome like \"5%\";", {"kray", {Like("numhome", "5%")}}},
        TValidCase{"NoWhere", "SELECT * FROM kray", {"kray", {}}},
        TValidCase{"NoWhereWithSemicolon", "select * from kray ;", {"kray", {}}},
        TValidCase{"LowerCaseKeywords",
                   "select * from kray where vlad like \"a%\" and numer = \"1\"",
                   {"kray", {Like("vlad", "a%"), Equal("numer", "1")}}},
        TValidCase{"MixedCaseKeywords",
                   "SeLeCt * FrOm Kray WhErE Vlad LiKe \"x\" AnD street LIKE \"y\"",
                   {"Kray", {Like("Vlad", "x"), Like("street", "y")}}},
        TValidCase{"NoSemicolon", "SELECT * FROM kray WHERE vlad like \"%\"", {"kray", {Like("vlad", "%")}}},
        TValidCase{"CompactSpelling",
                   "SELECT*FROM kray WHERE vlad=\"a\"and numer like\"b\";",
                   {"kray", {Equal("vlad", "a"), Like("numer", "b")}}},
        TValidCase{"LooseWhitespace",
                   "  \t SELECT\n*\r\nFROM   kray\tWHERE  vlad   like  \"a\"  ;  \n",
                   {"kray", {Like("vlad", "a")}}},
        TValidCase{"DoubledQuotes",
                   "SELECT * FROM kray WHERE vlad like \"ООО \"\"Ромашка\"\"%\";",
                   {"kray", {Like("vlad", "ООО \"Ромашка\"%")}}},
        TValidCase{"OnlyAQuote", "SELECT * FROM kray WHERE vlad=\"\"\"\"", {"kray", {Equal("vlad", "\"")}}},
        TValidCase{"EmptyLiteral", "SELECT * FROM kray WHERE vlad like \"\"", {"kray", {Like("vlad", "")}}},
        TValidCase{"BlankLiteral", "SELECT * FROM kray WHERE vlad like \" %\";", {"kray", {Like("vlad", " %")}}},
        TValidCase{"KeywordsAndPunctuationInsideLiteral",
                   "SELECT * FROM kray WHERE vlad like \"%WHERE and ; select * \";",
                   {"kray", {Like("vlad", "%WHERE and ; select * ")}}},
        TValidCase{
            "SemicolonInsideLiteral", "SELECT * FROM kray WHERE numer like \"%;%\";", {"kray", {Like("numer", "%;%")}}},
        TValidCase{"CyrillicNames", "SELECT * FROM край WHERE фамилия like \"а%\"", {"край", {Like("фамилия", "а%")}}},
        TValidCase{"BracketedNames",
                   "SELECT * FROM [Order Details] WHERE [Unit Price] like \"1%\";",
                   {"Order Details", {Like("Unit Price", "1%")}}},
        TValidCase{"BracketedKeywordAsName", "select * from [where];", {"where", {}}},
        TValidCase{
            "UnderscoreInNames", "SELECT * FROM _kray_2 WHERE num_er like \"1\"", {"_kray_2", {Like("num_er", "1")}}}),
    [](const testing::TestParamInfo<TValidCase>& row) { return std::string(row.param.Name); });

struct TErrorCase
{
    const char* Name;
    const char* Sql;
    const char* Message; // the whole message of the error
};

void PrintTo(const TErrorCase& c, std::ostream* os)
{
    *os << c.Name;
}

class InvalidStatement : public testing::TestWithParam<TErrorCase>
{
};

TEST_P(InvalidStatement, IsASyntaxErrorQuotingTheText)
{
    const TErrorCase& c = GetParam();
    try {
        ParseSelectStatement(QString::fromUtf8(c.Sql));
        FAIL() << "accepted: " << c.Sql;
    } catch (const EDatabaseError& e) {
        EXPECT_EQ(e.Message().toStdString(), c.Message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Dialect, InvalidStatement,
    testing::Values(
        TErrorCase{"Empty", "", "Синтаксическая ошибка в запросе: запрос пуст"},
        TErrorCase{"OnlyBlanks", " \t\n", "Синтаксическая ошибка в запросе: запрос пуст"},
        TErrorCase{"NotASelect", "DELETE FROM kray",
                   "Синтаксическая ошибка в запросе рядом с 'DELETE FROM kray': ожидается SELECT"},
        TErrorCase{"SelectOnly", "SELECT", "Синтаксическая ошибка в запросе: в конце 'SELECT' ожидается '*'"},
        TErrorCase{"FieldListInsteadOfStar", "SELECT vlad FROM kray",
                   "Синтаксическая ошибка в запросе рядом с 'vlad FROM kray': ожидается '*'"},
        TErrorCase{"MissingFrom", "SELECT * kray", "Синтаксическая ошибка в запросе рядом с 'kray': ожидается FROM"},
        TErrorCase{"MissingTableAtEnd", "SELECT * FROM ",
                   "Синтаксическая ошибка в запросе: в конце 'SELECT * FROM' ожидается имя таблицы"},
        TErrorCase{"MissingTableBeforeWhere", "SELECT * FROM WHERE vlad like \"a\"",
                   "Синтаксическая ошибка в запросе рядом с 'WHERE vlad like \"a\"': ожидается имя таблицы"},
        TErrorCase{"EmptyBrackets", "SELECT * FROM [];",
                   "Синтаксическая ошибка в запросе рядом с '[];': ожидается имя таблицы"},
        TErrorCase{"UnterminatedBrackets", "SELECT * FROM [Order Details;",
                   "Синтаксическая ошибка в запросе: незакрытое имя рядом с '[Order Details;'"},
        TErrorCase{"WhereWithoutCondition", "SELECT * FROM kray WHERE ;",
                   "Синтаксическая ошибка в запросе рядом с ';': ожидается имя поля"},
        TErrorCase{"WhereAtEnd", "SELECT * FROM kray WHERE",
                   "Синтаксическая ошибка в запросе: в конце 'SELECT * FROM kray WHERE' ожидается имя поля"},
        TErrorCase{"WhereAnd", "SELECT * FROM kray WHERE and vlad like \"a\";",
                   "Синтаксическая ошибка в запросе рядом с 'and vlad like \"a\";': ожидается имя поля"},
        TErrorCase{"MissingOperator", "SELECT * FROM kray WHERE vlad \"a\";",
                   "Синтаксическая ошибка в запросе рядом с '\"a\";': ожидается LIKE или '='"},
        TErrorCase{"UnknownOperator", "SELECT * FROM kray WHERE vlad <> \"a\";",
                   "Синтаксическая ошибка в запросе рядом с '<> \"a\";': ожидается LIKE или '='"},
        TErrorCase{"UnquotedLiteral", "SELECT * FROM kray WHERE numer = 12;",
                   "Синтаксическая ошибка в запросе рядом с '12;': ожидается текст в двойных кавычках"},
        TErrorCase{"SingleQuotedLiteral", "SELECT * FROM kray WHERE vlad like 'a%';",
                   "Синтаксическая ошибка в запросе рядом с ''a%';': ожидается текст в двойных кавычках"},
        TErrorCase{"MissingLiteralAtEnd", "SELECT * FROM kray WHERE vlad like",
                   "Синтаксическая ошибка в запросе: в конце 'SELECT * FROM kray WHERE vlad like' ожидается текст в "
                   "двойных кавычках"},
        TErrorCase{"UnterminatedLiteral", "SELECT * FROM kray WHERE vlad like \"Иван%;",
                   "Синтаксическая ошибка в запросе: незакрытый текст рядом с '\"Иван%;'"},
        TErrorCase{"QuoteTypedIntoACriterion",
                   "SELECT * FROM kray WHERE vlad like \"ООО \"Ромашка%\"and street like \"%Мира%\";",
                   "Синтаксическая ошибка в запросе рядом с 'Ромашка%\"and street like \"%Мира%\";': ожидается AND, "
                   "';' или конец запроса"},
        TErrorCase{
            "AndGluedToAField", "SELECT * FROM kray WHERE vlad like \"a\"andstreet like \"b\"",
            "Синтаксическая ошибка в запросе рядом с 'andstreet like \"b\"': ожидается AND, ';' или конец запроса"},
        TErrorCase{"DanglingAnd", "SELECT * FROM kray WHERE vlad like \"a\" and;",
                   "Синтаксическая ошибка в запросе рядом с ';': ожидается имя поля"},
        TErrorCase{
            "OrIsNotSupported", "SELECT * FROM kray WHERE vlad like \"a\" or numer like \"b\"",
            "Синтаксическая ошибка в запросе рядом с 'or numer like \"b\"': ожидается AND, ';' или конец запроса"},
        TErrorCase{"TrailingJunk", "SELECT * FROM kray; DROP TABLE kray",
                   "Синтаксическая ошибка в запросе рядом с 'DROP TABLE kray': ожидается конец запроса после ';'"},
        TErrorCase{"SecondSemicolon", "SELECT * FROM kray WHERE vlad like \"a\";;",
                   "Синтаксическая ошибка в запросе рядом с ';': ожидается конец запроса после ';'"},
        TErrorCase{"JunkAfterTable", "SELECT * FROM kray ORDER BY vlad",
                   "Синтаксическая ошибка в запросе рядом с 'ORDER BY vlad': ожидается WHERE, ';' или конец запроса"},
        TErrorCase{
            "LookAlikeKeyword", "SELECT * FROM kray WHЕRE vlad like \"a\"",
            "Синтаксическая ошибка в запросе рядом с 'WHЕRE vlad like \"a\"': ожидается WHERE, ';' или конец запроса"},
        TErrorCase{"LongTextIsCut",
                   "SELECT * FROM kray WHERE vlad like \"a\" xor street like \"0123456789012345678901234567890\"",
                   "Синтаксическая ошибка в запросе рядом с 'xor street like \"01234567890123456789012...': ожидается "
                   "AND, ';' или конец запроса"}),
    [](const testing::TestParamInfo<TErrorCase>& row) { return std::string(row.param.Name); });

// The search builds its statement exactly this way; the parser must hand back the criteria intact.
TEST(SelectStatement, ComposedStatementRoundTripsCriteria)
{
    const QString name = QStringLiteral("ООО \"Вектор\" and WHERE");
    QString quoted = name;
    quoted.replace(u'"', QStringLiteral("\"\""));
    const QString sql = QStringLiteral("SELECT * FROM kray WHERE vlad like \"") + quoted
                        + QStringLiteral("%\"and numer like \"%2-34%\";");
    const TSelectStatement parsed = ParseSelectStatement(sql);
    ASSERT_EQ(parsed.Conditions.size(), 2u);
    EXPECT_EQ(parsed.Conditions[0].Literal, name + u'%');
    EXPECT_EQ(parsed.Conditions[1].Literal, QStringLiteral("%2-34%"));
}

} // namespace
