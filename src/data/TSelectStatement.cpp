#include "TSelectStatement.h"

#include "Exception.h"

namespace {

// How much of the offending text a syntax error quotes.
constexpr qsizetype kQuoteLength = 40;

bool IsWordChar(QChar c)
{
    return c.isLetterOrNumber() || c == u'_';
}

// Keywords are plain ASCII words; compare them without Unicode folding so that look-alike letters
// (a Cyrillic "е" in "sеlect", the long s in "ſelect") never pass for a keyword.
bool IsKeyword(QStringView word, QLatin1StringView keyword)
{
    if (word.size() != keyword.size())
        return false;
    for (qsizetype i = 0; i < word.size(); ++i) {
        char16_t c = word[i].unicode();
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c + (u'a' - u'A'));
        if (c != char16_t(keyword[i].unicode()))
            return false;
    }
    return true;
}

bool IsReserved(QStringView word)
{
    for (const char* keyword : {"select", "from", "where", "and", "like"})
        if (IsKeyword(word, QLatin1StringView(keyword)))
            return true;
    return false;
}

class TParser
{
public:
    explicit TParser(const QString& sql) : fSql(sql) {}

    TSelectStatement Parse()
    {
        SkipSpace();
        if (AtEnd())
            throw EDatabaseError(QStringLiteral("Синтаксическая ошибка в запросе: запрос пуст"));

        TSelectStatement statement;
        ExpectKeyword("select", "SELECT");
        ExpectSymbol(u'*', "'*'");
        ExpectKeyword("from", "FROM");
        statement.Table = Identifier("имя таблицы");

        if (NextIsKeyword("where")) {
            ReadWord();
            statement.Conditions.push_back(Condition());
            while (NextIsKeyword("and")) {
                ReadWord();
                statement.Conditions.push_back(Condition());
            }
        }

        SkipSpace();
        if (!AtEnd() && fSql[fPos] == u';') {
            ++fPos;
            SkipSpace();
            if (!AtEnd())
                Fail("конец запроса после ';'");
        } else if (!AtEnd()) {
            Fail(statement.Conditions.empty() ? "WHERE, ';' или конец запроса" : "AND, ';' или конец запроса");
        }
        return statement;
    }

private:
    TCondition Condition()
    {
        TCondition condition;
        condition.Field = Identifier("имя поля");
        SkipSpace();
        if (!AtEnd() && fSql[fPos] == u'=') {
            ++fPos;
            condition.Operator = TCondition::Equal;
        } else if (NextIsKeyword("like")) {
            ReadWord();
            condition.Operator = TCondition::Like;
        } else {
            Fail("LIKE или '='");
        }
        condition.Literal = Literal();
        return condition;
    }

    // A double-quoted string; a doubled quote inside stands for one quote.
    QString Literal()
    {
        SkipSpace();
        if (AtEnd() || fSql[fPos] != u'"')
            Fail("текст в двойных кавычках");
        const qsizetype open = fPos++;
        QString text;
        for (;;) {
            const qsizetype close = fSql.indexOf(u'"', fPos);
            if (close < 0) {
                fPos = open;
                throw EDatabaseError(
                    QStringLiteral("Синтаксическая ошибка в запросе: незакрытый текст рядом с %1").arg(Near()));
            }
            text += QStringView(fSql).mid(fPos, close - fPos);
            fPos = close + 1;
            if (fPos < fSql.size() && fSql[fPos] == u'"') {
                text += u'"';
                ++fPos;
                continue;
            }
            return text;
        }
    }

    // A plain name, or any name in square brackets (a table called "Order Details" or "Where").
    QString Identifier(const char* what)
    {
        SkipSpace();
        const qsizetype start = fPos;
        if (!AtEnd() && fSql[fPos] == u'[') {
            const qsizetype close = fSql.indexOf(u']', fPos + 1);
            if (close < 0)
                throw EDatabaseError(
                    QStringLiteral("Синтаксическая ошибка в запросе: незакрытое имя рядом с %1").arg(Near()));
            if (close == fPos + 1)
                Fail(what);
            fPos = close + 1;
            return fSql.mid(start + 1, close - start - 1);
        }
        const QStringView word = PeekWord();
        if (word.isEmpty() || word[0].isDigit() || IsReserved(word))
            Fail(what);
        fPos = start + word.size();
        return word.toString();
    }

    void ExpectKeyword(const char* keyword, const char* shown)
    {
        if (!NextIsKeyword(keyword))
            Fail(shown);
        ReadWord();
    }

    void ExpectSymbol(QChar symbol, const char* shown)
    {
        SkipSpace();
        if (AtEnd() || fSql[fPos] != symbol)
            Fail(shown);
        ++fPos;
    }

    bool NextIsKeyword(const char* keyword)
    {
        SkipSpace();
        return IsKeyword(PeekWord(), QLatin1StringView(keyword));
    }

    QStringView PeekWord() const
    {
        qsizetype end = fPos;
        while (end < fSql.size() && IsWordChar(fSql[end]))
            ++end;
        return QStringView(fSql).mid(fPos, end - fPos);
    }

    void ReadWord() { fPos += PeekWord().size(); }

    void SkipSpace()
    {
        while (fPos < fSql.size() && fSql[fPos].isSpace())
            ++fPos;
    }

    bool AtEnd() const { return fPos >= fSql.size(); }

    // The offending text in quotes, cut after a few words so that a long statement stays readable.
    QString Near() const
    {
        QString text = fSql.mid(fPos, kQuoteLength);
        if (fPos + kQuoteLength < fSql.size())
            text += QStringLiteral("...");
        return u'\'' + text + u'\'';
    }

    [[noreturn]] void Fail(const char* expected) const
    {
        const QString what = QString::fromUtf8(expected);
        if (AtEnd()) {
            throw EDatabaseError(QStringLiteral("Синтаксическая ошибка в запросе: в конце '%2' ожидается %1")
                                     .arg(what, fSql.trimmed().right(kQuoteLength)));
        }
        throw EDatabaseError(
            QStringLiteral("Синтаксическая ошибка в запросе рядом с %1: ожидается %2").arg(Near(), what));
    }

    const QString& fSql;
    qsizetype fPos = 0;
};

} // namespace

TSelectStatement ParseSelectStatement(const QString& sql)
{
    return TParser(sql).Parse();
}
