#include "TPostgresEngine.h"

#include "TScopeExit.h"
#include "TTextMatcher.h"

#include <QChar>
#include <QDateTime>
#include <QTimeZone>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <map>
#include <optional>
#include <string>

namespace {

// ---------------------------------------------------------------------------------------------
// Narrowing patterns

// Every code point that folds (Unicode simple case folding, as our matcher folds) to the same
// code point as a given one, for the cased code points only.
const std::map<char32_t, std::vector<char32_t>>& FoldClasses()
{
    static const auto classes = [] {
        std::map<char32_t, std::vector<char32_t>> byFolded;
        for (char32_t c = 0; c <= 0x10FFFF; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            const char32_t f = QChar::toCaseFolded(c);
            if (f != c) {
                auto& members = byFolded[f];
                if (members.empty())
                    members.push_back(f);
                members.push_back(c);
            }
        }
        std::map<char32_t, std::vector<char32_t>> byMember;
        for (auto& [folded, members] : byFolded) {
            std::sort(members.begin(), members.end());
            for (char32_t m : members)
                byMember[m] = members;
        }
        return byMember;
    }();
    return classes;
}

// The plain pair of a letter: its folded form and that form's upper case. Every other member of
// its class is a rare form.
bool IsPlainForm(char32_t member)
{
    const char32_t folded = QChar::toCaseFolded(member);
    return member == folded || member == QChar::toUpper(folded);
}

// The bracket of every rare letter form, in ASCII (\uXXXX, \UXXXXXXXX), ranges merged.
const QString& VariantBracket()
{
    static const QString bracket = [] {
        std::vector<char32_t> rare;
        for (const auto& [member, members] : FoldClasses())
            if (!IsPlainForm(member))
                rare.push_back(member);
        auto escaped = [](char32_t c) {
            return c > 0xFFFF ? QStringLiteral("\\U%1").arg(uint(c), 8, 16, QLatin1Char('0'))
                              : QStringLiteral("\\u%1").arg(uint(c), 4, 16, QLatin1Char('0'));
        };
        QString out = QStringLiteral("[");
        for (std::size_t i = 0; i < rare.size();) {
            std::size_t j = i;
            while (j + 1 < rare.size() && rare[j + 1] == rare[j] + 1)
                ++j;
            out += escaped(rare[i]);
            if (j > i)
                out += u'-' + escaped(rare[j]);
            i = j + 1;
        }
        return out + u']';
    }();
    return bracket;
}

// The letters whose plain pairs the b-tree indexes fold, by the server's translate(), which
// depends on no locale: Latin and Cyrillic capitals to small letters.
const QString kCapitals = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ"
                                         "\u0410\u0411\u0412\u0413\u0414\u0415\u0416\u0417\u0418\u0419\u041A\u041B"
                                         "\u041C\u041D\u041E\u041F\u0420\u0421\u0422\u0423\u0424\u0425\u0426\u0427"
                                         "\u0428\u0429\u042A\u042B\u042C\u042D\u042E\u042F\u0400\u0401\u0402\u0403"
                                         "\u0404\u0405\u0406\u0407\u0408\u0409\u040A\u040B\u040C\u040D\u040E\u040F");

QString SmallLetters()
{
    QString small;
    for (QChar c : kCapitals)
        small += c.toLower();
    return small;
}

// The start of a literal as the folded b-tree index holds the values without rare letter forms
// that begin with it: up to the first letter the index does not fold.
std::u32string FoldedPrefix(const QString& prefix)
{
    static const QString small = SmallLetters();
    std::u32string out;
    for (char32_t c : prefix.toUcs4()) {
        if (c == 0)
            break;
        if (c < 0x10000 && kCapitals.contains(QChar(char16_t(c))))
            out += QChar::toLower(c);
        else if (c < 0x10000 && small.contains(QChar(char16_t(c))))
            out += c;
        else if (FoldClasses().count(c))
            break; // a letter of another script: its forms are not folded alike in the index
        else
            out += c;
    }
    return out;
}

// The smallest text above every text that starts with the given one, in code-point order (which
// is the byte order the pattern operators of a b-tree compare in).
std::u32string PrefixSuccessor(std::u32string text)
{
    while (!text.empty() && text.back() == 0x10FFFF)
        text.pop_back();
    if (!text.empty())
        text.back() = text.back() == 0xD7FF ? 0xE000 : text.back() + 1;
    return text;
}

QByteArray Utf8(const std::u32string& text)
{
    return QString::fromUcs4(text.data(), qsizetype(text.size())).toUtf8();
}

// One character of a regular expression standing for exactly itself.
void AppendRegexChar(QString& out, char32_t c)
{
    if (c < 0x80 && !QChar::isLetterOrNumber(c))
        out += u'\\'; // a backslash before anything but a letter or digit makes it plain text
    out += QString::fromUcs4(&c, 1);
}

// Patterns longer than this are cut to their first part, followed by "any text": the server then
// still narrows by the start, and a hostile long criterion never makes its expression too complex.
constexpr int kMaxPatternChars = 64;

// ---------------------------------------------------------------------------------------------
// libpq handles

struct TResultDeleter
{
    void operator()(PGresult* r) const { PQclear(r); }
};
using TResult = std::unique_ptr<PGresult, TResultDeleter>;

QString Trimmed(const char* text)
{
    return QString::fromUtf8(text ? text : "").trimmed();
}

// The server's own words for a failed statement: its primary message, with the detail after it.
QString ServerMessage(const PGresult* result, PGconn* conn)
{
    const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (!primary)
        return Trimmed(result ? PQresultErrorMessage(result) : PQerrorMessage(conn)).isEmpty()
                   ? Trimmed(PQerrorMessage(conn))
                   : Trimmed(PQresultErrorMessage(result));
    QString message = Trimmed(primary);
    if (const char* detail = PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL))
        message += QStringLiteral(" (") + Trimmed(detail) + u')';
    return message;
}

bool IsQueryCancelled(const PGresult* result)
{
    const char* state = result ? PQresultErrorField(result, PG_DIAG_SQLSTATE) : nullptr;
    return state && qstrcmp(state, "57014") == 0;
}

QByteArray QuoteIdentifier(const QString& name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

// Type OIDs of the server's built-in types (pg_type.h).
enum : Oid
{
    kBool = 16,
    kBytea = 17,
    kInt8 = 20,
    kInt2 = 21,
    kInt4 = 23,
    kText = 25,
    kFloat4 = 700,
    kFloat8 = 701,
    kBpchar = 1042,
    kVarchar = 1043,
    kDate = 1082,
    kTime = 1083,
    kTimestamp = 1114,
    kTimestampTz = 1184,
    kNumeric = 1700
};

TResultColumn ColumnFor(const PGresult* probe, int i)
{
    TResultColumn column;
    column.Name = QString::fromUtf8(PQfname(probe, i));
    switch (PQftype(probe, i)) {
    case kBool:
        column.DataType = ftBoolean;
        break;
    case kBytea:
        column.DataType = ftBlob;
        break;
    case kInt8:
        column.DataType = ftLargeint;
        break;
    case kInt2:
        column.DataType = ftSmallint;
        break;
    case kInt4:
        column.DataType = ftInteger;
        break;
    case kFloat4:
    case kFloat8:
    case kNumeric:
        column.DataType = ftFloat;
        break;
    case kDate:
        column.DataType = ftDate;
        break;
    case kTime:
        column.DataType = ftTime;
        break;
    case kTimestamp:
    case kTimestampTz:
        column.DataType = ftDateTime;
        break;
    case kBpchar:
    case kVarchar:
        column.DataType = ftString;
        column.Size = std::max(0, PQfmod(probe, i) - 4); // the declared length travels as length + 4
        break;
    default:
        column.DataType = ftString; // text, and every type the grid has no kind for, shown as text
        break;
    }
    return column;
}

bool IsTextType(Oid type)
{
    return type == kText || type == kVarchar || type == kBpchar;
}

// One value of the server's text output into the result table, by the column's kind.
void AppendValue(TResultTable& table, const PGresult* row, int column, TFieldType type)
{
    if (PQgetisnull(row, 0, column)) {
        table.AppendNull();
        return;
    }
    const char* text = PQgetvalue(row, 0, column);
    const int length = PQgetlength(row, 0, column);
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint:
        table.AppendInteger(std::strtoll(text, nullptr, 10));
        return;
    case ftFloat:
        table.AppendDouble(std::strtod(text, nullptr));
        return;
    case ftBoolean:
        table.AppendBoolean(text[0] == 't');
        return;
    case ftDate:
    case ftTime:
    case ftDateTime: {
        // The session shows dates as ISO and times in UTC (set when it connects).
        const QString value = QString::fromLatin1(text, length);
        QDateTime dt;
        if (type == ftTime) {
            dt = QDateTime(QDate(1899, 12, 30), QTime::fromString(value.left(12), Qt::ISODateWithMs), QTimeZone::utc());
        } else {
            QString iso = value;
            iso.replace(u' ', u'T');
            if (iso.endsWith(QLatin1String("+00")))
                iso.chop(3);
            dt = QDateTime::fromString(iso.size() == 10 ? iso + QStringLiteral("T00:00:00") : iso, Qt::ISODateWithMs);
            dt.setTimeZone(QTimeZone::utc());
        }
        if (dt.isValid())
            table.AppendDateTime(dt);
        else
            table.AppendText(QByteArrayView(text, length)); // BC dates, infinity: kept as the server wrote them
        return;
    }
    case ftBlob: {
        size_t size = 0;
        unsigned char* bytes = PQunescapeBytea(reinterpret_cast<const unsigned char*>(text), &size);
        if (!bytes)
            throw std::bad_alloc();
        TScopeExit release([bytes] { PQfreemem(bytes); });
        table.AppendBytes(QByteArrayView(reinterpret_cast<const char*>(bytes), qsizetype(size)));
        return;
    }
    default:
        table.AppendText(QByteArrayView(text, length));
        return;
    }
}

} // namespace

QString TPostgresEngine::FoldedExpression(const QString& column)
{
    return QStringLiteral("translate(%1, '%2', '%3')").arg(column, kCapitals, SmallLetters());
}

QString TPostgresEngine::VariantIndexCondition(const QString& column)
{
    return column + QStringLiteral(" ~ '") + VariantBracket() + u'\'';
}

QString TPostgresEngine::NarrowingPattern(const QString& literal, TCondition::Op op, bool allForms)
{
    QString out = QStringLiteral("^");
    int chars = 0;
    bool anyRun = false; // the pattern so far ends in ".*"
    for (char32_t c : literal.toUcs4()) {
        if (c == 0)
            return QString(); // the server's text never holds U+0000: nothing can match
        if (chars >= kMaxPatternChars) {
            if (!anyRun)
                out += QStringLiteral(".*");
            return out;
        }
        ++chars;
        if (op == TCondition::Like && c == u'%') {
            if (!anyRun)
                out += QStringLiteral(".*");
            anyRun = true;
            continue;
        }
        anyRun = false;
        if (op == TCondition::Like && c == u'_') {
            out += u'.';
            continue;
        }
        const auto& classes = FoldClasses();
        const auto it = classes.find(c);
        if (it == classes.end()) {
            AppendRegexChar(out, c);
        } else {
            QString members;
            for (char32_t m : it->second)
                if (allForms || IsPlainForm(m))
                    AppendRegexChar(members, m);
            out += members.size() > 1 ? u'[' + members + u']' : members;
        }
    }
    if (!anyRun)
        out += u'$';
    return out;
}

// ---------------------------------------------------------------------------------------------

struct TPostgresEngine::Impl
{
    QString Uri;
    QString Name; // the URI as messages show it
    PGconn* Conn = nullptr;
    TCancelToken* Token = nullptr;
    bool CancelSent = false;
    std::chrono::steady_clock::time_point NextProgress;

    ~Impl() { Disconnect(); }

    void Disconnect()
    {
        if (Conn)
            PQfinish(Conn);
        Conn = nullptr;
    }

    [[noreturn]] void Fail(const QString& message) const
    {
        throw EDatabaseError(FormatMessage(QStringLiteral("Справочник '%s': %s"), {Name, message}));
    }
    [[noreturn]] void FailConnection() const { Fail(Trimmed(PQerrorMessage(Conn))); }

    void Connect()
    {
        Disconnect();
        const QByteArray uri = Uri.toUtf8();
        const char* keys[] = {"dbname", "fallback_application_name", "client_encoding", nullptr};
        const char* values[] = {uri.constData(), "phonebook", "UTF8", nullptr};
        Conn = PQconnectdbParams(keys, values, 1);
        if (!Conn)
            throw std::bad_alloc();
        if (PQstatus(Conn) != CONNECTION_OK) {
            const QString message = Trimmed(PQerrorMessage(Conn));
            Disconnect();
            throw EDatabaseError(
                FormatMessage(QStringLiteral("Не удаётся подключиться к справочнику '%s': %s"), {Name, message}));
        }
        // Values come back as the result table reads them, whatever the server's defaults. A
        // search of a large directory combines the row sets of several indexes: with the default
        // working memory those sets turn lossy and the server reads whole tables again.
        Exec("SET DateStyle = ISO; SET TimeZone = 'UTC'; SET extra_float_digits = 3; SET work_mem = '64MB'");
    }

    void ThrowIfCancelled() const
    {
        if (Token && Token->IsCancelled())
            throw ECancelled(Name);
    }

    void ReportProgress()
    {
        if (!Token || !Token->Progress)
            return;
        const auto now = std::chrono::steady_clock::now();
        if (now < NextProgress)
            return;
        NextProgress = now + std::chrono::milliseconds(Token->ProgressIntervalMs);
        try {
            Token->Progress();
        } catch (...) {
            Token->Cancel(); // a failing callback ends the search
        }
    }

    // Asks the server to stop the statement that runs (once per statement).
    void SendCancel()
    {
        if (CancelSent || !Conn)
            return;
        CancelSent = true;
        if (PGcancel* cancel = PQgetCancel(Conn)) {
            char error[256];
            PQcancel(cancel, error, int(sizeof error));
            PQfreeCancel(cancel);
        }
    }

    void Send(const QByteArray& sql, const std::vector<QByteArray>& params)
    {
        std::vector<const char*> values;
        for (const QByteArray& p : params)
            values.push_back(p.constData());
        CancelSent = false;
        // Statements without parameters go as plain text, which may hold several of them.
        const int sent = params.empty() ? PQsendQuery(Conn, sql.constData())
                                        : PQsendQueryParams(Conn, sql.constData(), int(params.size()), nullptr,
                                                            values.data(), nullptr, nullptr, 0);
        if (!sent)
            FailConnection();
    }

    // The next result of the statement sent, waiting for the server while watching the cancel
    // token; none when the statement is done.
    TResult Next()
    {
        while (PQisBusy(Conn)) {
            pollfd fd = {PQsocket(Conn), POLLIN, 0};
            const int interval = Token ? std::clamp(Token->ProgressIntervalMs, 10, 100) : 100;
            if (poll(&fd, 1, interval) < 0 && errno != EINTR)
                FailConnection();
            if (Token && Token->IsCancelled())
                SendCancel();
            ReportProgress();
            if (Token && Token->IsCancelled())
                SendCancel();
            if (!PQconsumeInput(Conn))
                FailConnection();
        }
        return TResult(PQgetResult(Conn));
    }

    // Throws for a failed result: ECancelled when we asked the server to stop it.
    void Check(const PGresult* result)
    {
        switch (PQresultStatus(result)) {
        case PGRES_COMMAND_OK:
        case PGRES_TUPLES_OK:
        case PGRES_SINGLE_TUPLE:
        case PGRES_COPY_IN:
            return;
        default:
            if (CancelSent && IsQueryCancelled(result))
                throw ECancelled(Name);
            Fail(ServerMessage(result, Conn));
        }
    }

    // Reads what is left of the statement sent, keeping the first failure.
    void Drain()
    {
        while (TResult rest = Next())
            ;
    }

    // Runs a statement to its end and returns its last result.
    TResult Exec(const QByteArray& sql, const std::vector<QByteArray>& params = {})
    {
        Send(sql, params);
        TResult last;
        std::optional<QString> failure;
        bool cancelled = false;
        while (TResult result = Next()) {
            if (!failure && !cancelled) {
                try {
                    Check(result.get());
                } catch (const ECancelled&) {
                    cancelled = true;
                } catch (const EDatabaseError& e) {
                    failure = e.Message();
                }
            }
            last = std::move(result);
        }
        if (PQstatus(Conn) == CONNECTION_BAD && !failure && !cancelled)
            FailConnection();
        if (cancelled)
            throw ECancelled(Name);
        if (failure)
            throw EDatabaseError(*failure);
        if (!last)
            FailConnection();
        return last;
    }

    // After a failure inside a search: stops what still runs and ends the transaction, so the next
    // search starts clean; a connection that broke is left for the next search to make again.
    void Abandon() noexcept
    {
        if (!Conn || PQstatus(Conn) != CONNECTION_OK)
            return;
        try {
            if (PQtransactionStatus(Conn) == PQTRANS_ACTIVE) {
                SendCancel();
                TCancelToken* token = std::exchange(Token, nullptr);
                TScopeExit restore([&] { Token = token; });
                Drain();
            }
            if (PQtransactionStatus(Conn) != PQTRANS_IDLE) {
                TCancelToken* token = std::exchange(Token, nullptr);
                TScopeExit restore([&] { Token = token; });
                Exec("ROLLBACK");
            }
        } catch (...) {
            Disconnect(); // whatever state it is in, the next search connects afresh
        }
    }

    std::unique_ptr<TResultTable> Read(const TSelectStatement& statement);
};

TPostgresEngine::TPostgresEngine(const QString& uri) : d(std::make_unique<Impl>())
{
    d->Uri = uri;
    d->Name = DirectoryDisplayName(uri);
    d->Connect();
}

TPostgresEngine::~TPostgresEngine() = default;

int TPostgresEngine::ServerProcessId() const
{
    return d->Conn && PQstatus(d->Conn) == CONNECTION_OK ? PQbackendPID(d->Conn) : 0;
}

std::unique_ptr<TResultTable> TPostgresEngine::Select(const TSelectStatement& statement)
{
    d->Token = CancelToken();
    d->NextProgress = std::chrono::steady_clock::now();
    TScopeExit forgetToken([this] { d->Token = nullptr; });
    d->ThrowIfCancelled();
    // A connection lost since the last search (or never made) is made again now.
    if (!d->Conn || PQstatus(d->Conn) != CONNECTION_OK)
        d->Connect();
    try {
        return d->Read(statement);
    } catch (const ECancelled&) {
        d->Abandon();
        throw;
    } catch (const EResultTooLarge& e) {
        d->Abandon();
        d->ThrowIfCancelled();
        throw EResultTooLarge(FormatMessage(QStringLiteral("Справочник '%s': %s"), {d->Name, e.Message()}));
    } catch (...) {
        d->Abandon();
        d->ThrowIfCancelled();
        throw;
    }
}

std::unique_ptr<TResultTable> TPostgresEngine::Impl::Read(const TSelectStatement& statement)
{
    Exec("BEGIN TRANSACTION READ ONLY");

    // The table by its name as given, else as the server folds an unquoted name (lower case); a
    // table in neither spelling is left for the server to report.
    QByteArray table = QuoteIdentifier(statement.Table);
    {
        TResult found = Exec("SELECT coalesce(to_regclass($1), to_regclass($2))::text",
                             {table, QuoteIdentifier(statement.Table.toLower())});
        if (PQntuples(found.get()) == 1 && !PQgetisnull(found.get(), 0, 0))
            table = QByteArray(PQgetvalue(found.get(), 0, 0));
    }

    // The columns, as "*" gives them.
    TResult probe = Exec("SELECT * FROM " + table + " LIMIT 0");
    std::vector<TResultColumn> columns;
    const int count = PQnfields(probe.get());
    for (int i = 0; i < count; ++i)
        columns.push_back(ColumnFor(probe.get(), i));

    // Every condition: the server narrows with its pattern (a bound parameter), our matcher decides.
    struct TRowTest
    {
        int Column;
        TTextMatcher Matcher;
    };
    std::vector<TRowTest> tests;
    std::vector<QByteArray> params;
    QByteArray where;
    bool none = false;
    for (const TCondition& condition : statement.Conditions) {
        const auto column = std::find_if(columns.begin(), columns.end(), [&](const TResultColumn& c) {
            return c.Name.compare(condition.Field, Qt::CaseInsensitive) == 0;
        });
        if (column == columns.end())
            throw EDatabaseError(FormatMessage(QStringLiteral("В таблице '%s' справочника '%s' нет поля '%s'"),
                                               {statement.Table, Name, condition.Field}));
        const int index = int(column - columns.begin());
        // The literal as it travels to the server and back (a lone surrogate becomes U+FFFD).
        const QString literal = QString::fromUtf8(condition.Literal.toUtf8());
        tests.push_back({index, TTextMatcher(literal, condition.Operator)});
        const QString pattern = NarrowingPattern(literal, condition.Operator);
        if (pattern.isEmpty()) {
            none = true;
            continue;
        }
        QByteArray value = QuoteIdentifier(column->Name);
        const bool text = IsTextType(PQftype(probe.get(), index));
        if (!text)
            value += "::text";
        where += where.isEmpty() ? " WHERE " : " AND ";
        // An exact value without letters is also its own equality, which a b-tree answers.
        const bool caseless =
            std::none_of(literal.begin(), literal.end(), [](QChar c) { return FoldClasses().count(c.unicode()); });
        if (condition.Operator == TCondition::Equal && caseless && !literal.isEmpty()
            && literal.size() <= kMaxPatternChars) {
            params.push_back(literal.toUtf8());
            where += value + " = $" + QByteArray::number(params.size()) + " AND ";
        }
        const QString plain = NarrowingPattern(literal, condition.Operator, false);
        auto param = [&](const QByteArray& bytes) {
            params.push_back(bytes);
            return "$" + QByteArray::number(params.size());
        };
        if (!text) {
            where += value + " ~ " + param(pattern.toUtf8());
            continue;
        }
        // A literal start: its range in the b-tree index of the folded values.
        QByteArray ranges;
        const std::u32string start = FoldedPrefix(tests.back().Matcher.LiteralPrefix());
        if (!start.empty()) {
            const QByteArray folded = TPostgresEngine::FoldedExpression(QString::fromUtf8(value)).toUtf8();
            ranges = folded + " ~>=~ " + param(Utf8(start)) + " AND " + folded + " ~<~ "
                     + param(Utf8(PrefixSuccessor(start)));
        }
        // With a range the expressions only check the rows the range finds: the trigram index,
        // whose lists for the first letters of a name hold millions of rows, is kept from them.
        // The range (or the values with rare letter forms) stands apart from the expressions, so
        // that the server takes it from the indexes alone and does not fold every row again.
        const QByteArray checked = ranges.isEmpty() ? value : "(" + value + " || '')";
        const QByteArray variants = TPostgresEngine::VariantIndexCondition(QString::fromUtf8(value)).toUtf8();
        if (plain == pattern) {
            where += "(" + (ranges.isEmpty() ? QByteArray() : ranges + " AND ") + checked + " ~ "
                     + param(pattern.toUtf8()) + ")";
        } else {
            // The plain pairs for the values without rare letter forms; every form for the others,
            // found through the partial index of such values (the expression for every form is kept
            // from the trigram index, which serves it poorly).
            const QByteArray forms = "(" + checked + " ~ " + param(plain.toUtf8()) + " OR (" + variants + " AND ("
                                     + value + " || '') ~ " + param(pattern.toUtf8()) + "))";
            where += ranges.isEmpty() ? forms : "((" + ranges + ") OR " + variants + ") AND " + forms;
        }
    }
    probe.reset();

    auto result = std::make_unique<TResultTable>(columns);
    if (none) {
        Exec("COMMIT");
        return result;
    }
    std::vector<TFieldType> types;
    bool allText = true;
    for (const TResultColumn& c : columns) {
        types.push_back(c.DataType);
        allText &= c.DataType == ftString;
    }

    Send("SELECT * FROM " + table + where, params);
    if (!PQsetSingleRowMode(Conn))
        FailConnection();
    bool done = false;
    while (TResult row = Next()) {
        const ExecStatusType status = PQresultStatus(row.get());
        if (status == PGRES_TUPLES_OK) {
            done = true; // the end of the rows (or a result without any)
            continue;
        }
        if (status != PGRES_SINGLE_TUPLE)
            Check(row.get());
        const PGresult* r = row.get();
        bool match = true;
        for (const TRowTest& test : tests) {
            if (PQgetisnull(r, 0, test.Column)
                || !test.Matcher.MatchesUtf8(PQgetvalue(r, 0, test.Column), PQgetlength(r, 0, test.Column))) {
                match = false;
                break;
            }
        }
        if (!match)
            continue;
        if (allText) {
            for (int i = 0; i < count; ++i) {
                if (PQgetisnull(r, 0, i))
                    result->AppendNull();
                else
                    result->AppendText(QByteArrayView(PQgetvalue(r, 0, i), PQgetlength(r, 0, i)));
            }
        } else {
            for (int i = 0; i < count; ++i)
                AppendValue(*result, r, i, types[std::size_t(i)]);
        }
        result->EndRow();
        ThrowIfCancelled();
        ReportProgress();
    }
    if (!done)
        FailConnection(); // the connection broke while the rows came
    Exec("COMMIT");
    result->Squeeze();
    return result;
}
