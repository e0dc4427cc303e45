// The statement parser on any text: it either fails with the engine's error or returns a
// statement that, written out again, parses to the same statement. A matcher is built for every
// condition, as an engine does before the first row.
#include "Exception.h"
#include "FuzzCheck.h"
#include "TSelectStatement.h"
#include "TTextMatcher.h"

#include <QString>

#include <cstdint>

namespace {

QString Bracketed(const QString& name)
{
    return u'[' + name + u']';
}

// The statement as the parser's own dialect writes it; names in brackets, quotes doubled.
QString Written(const TSelectStatement& statement)
{
    QString sql = QStringLiteral("SELECT * FROM ") + Bracketed(statement.Table);
    for (std::size_t i = 0; i < statement.Conditions.size(); ++i) {
        const TCondition& c = statement.Conditions[i];
        sql += i == 0 ? QStringLiteral(" WHERE ") : QStringLiteral(" and ");
        sql += Bracketed(c.Field) + (c.Operator == TCondition::Like ? QStringLiteral(" like ") : QStringLiteral("="));
        sql += u'"' + QString(c.Literal).replace(u'"', QStringLiteral("\"\"")) + u'"';
    }
    return sql + u';';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString sql = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    TSelectStatement statement;
    try {
        statement = ParseSelectStatement(sql);
    } catch (const EDatabaseError& e) {
        FUZZ_CHECK(!e.Message().isEmpty());
        return 0;
    }
    FUZZ_CHECK(!statement.Table.isEmpty());
    for (const TCondition& c : statement.Conditions) {
        FUZZ_CHECK(!c.Field.isEmpty());
        FUZZ_CHECK(!c.Field.contains(u']'));
        const TTextMatcher matcher(c.Literal, c.Operator);
        FUZZ_CHECK(c.Literal.startsWith(matcher.LiteralPrefix()));
    }
    const QString again = Written(statement);
    try {
        FUZZ_CHECK(ParseSelectStatement(again) == statement);
    } catch (const EDatabaseError&) {
        FUZZ_CHECK(!"a statement written from a parsed one parses");
    }
    return 0;
}
