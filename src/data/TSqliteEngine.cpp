#include "TSqliteEngine.h"

#include "TScopeExit.h"
#include "TTextMatcher.h"

#include <QByteArray>
#include <QChar>
#include <QDateTime>
#include <QFileInfo>
#include <QTimeZone>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <limits>
#include <thread>
#include <unordered_map>
#include <utility>

namespace {

// ---------------------------------------------------------------------------------------------
// Engine handles

// The engine's own message; where a reader is refused because another program's write must first
// be finished or undone, the refusal is explained, naming the file, with SQLite's words after it.
[[noreturn]] void Fail(sqlite3* db)
{
    const QString message = QString::fromUtf8(sqlite3_errmsg(db));
    const QString file = QString::fromUtf8(sqlite3_db_filename(db, "main"));
    switch (sqlite3_extended_errcode(db)) {
    case SQLITE_READONLY_ROLLBACK:
        throw EDatabaseError(FormatMessage(
            QStringLiteral("Справочник '%s' нельзя прочитать: в нём осталась прерванная запись другой программы "
                           "(файл '%s-journal'), и отменить её может только программа с правом записи: %s"),
            {file, file, message}));
    case SQLITE_READONLY_RECOVERY:
        throw EDatabaseError(FormatMessage(
            QStringLiteral("Справочник '%s' нельзя прочитать: его журнал '%s-wal' нужно восстановить, а это может "
                           "только программа с правом записи: %s"),
            {file, file, message}));
    default:
        throw EDatabaseError(message);
    }
}

class TSqliteDb
{
public:
    TSqliteDb() = default;
    explicit TSqliteDb(sqlite3* db) : fDb(db) {}
    ~TSqliteDb() { sqlite3_close_v2(fDb); }
    TSqliteDb(TSqliteDb&& other) noexcept : fDb(std::exchange(other.fDb, nullptr)) {}
    TSqliteDb& operator=(TSqliteDb&& other) noexcept
    {
        if (this != &other) {
            sqlite3_close_v2(fDb);
            fDb = std::exchange(other.fDb, nullptr);
        }
        return *this;
    }
    TSqliteDb(const TSqliteDb&) = delete;
    TSqliteDb& operator=(const TSqliteDb&) = delete;

    sqlite3* Get() const { return fDb; }

private:
    sqlite3* fDb = nullptr;
};

class TSqliteStatement
{
public:
    TSqliteStatement(sqlite3* db, const QByteArray& sql) : fDb(db)
    {
        if (sqlite3_prepare_v2(db, sql.constData(), int(sql.size()), &fStmt, nullptr) != SQLITE_OK)
            Fail(db);
    }
    ~TSqliteStatement() { sqlite3_finalize(fStmt); }
    TSqliteStatement(TSqliteStatement&& other) noexcept : fDb(other.fDb), fStmt(std::exchange(other.fStmt, nullptr)) {}
    TSqliteStatement& operator=(TSqliteStatement&& other) noexcept
    {
        if (this != &other) {
            sqlite3_finalize(fStmt);
            fDb = other.fDb;
            fStmt = std::exchange(other.fStmt, nullptr);
        }
        return *this;
    }
    TSqliteStatement(const TSqliteStatement&) = delete;
    TSqliteStatement& operator=(const TSqliteStatement&) = delete;

    sqlite3_stmt* Get() const { return fStmt; }

    void BindText(int index, const QByteArray& utf8)
    {
        if (sqlite3_bind_text(fStmt, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT) != SQLITE_OK)
            Fail(fDb);
    }
    void BindEmptyBlob(int index)
    {
        if (sqlite3_bind_zeroblob(fStmt, index, 0) != SQLITE_OK)
            Fail(fDb);
    }
    // True while a row is there; false when done.
    bool Step()
    {
        const int rc = sqlite3_step(fStmt);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        Fail(fDb);
    }
    QString Text(int column) const
    {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(fStmt, column));
        return QString::fromUtf8(p, sqlite3_column_bytes(fStmt, column));
    }

private:
    sqlite3* fDb;
    sqlite3_stmt* fStmt = nullptr;
};

QByteArray QuoteIdentifier(const QString& name)
{
    QByteArray quoted = name.toUtf8();
    quoted.replace('"', "\"\"");
    return '"' + quoted + '"';
}

// ---------------------------------------------------------------------------------------------
// Matching inside SQLite: pb_like(value, pattern) and pb_equal(value, pattern). The pattern is
// a bound parameter; its matcher is built on the first row and kept with the statement.

const TCondition::Op kLikeOp = TCondition::Like;
const TCondition::Op kEqualOp = TCondition::Equal;

void MatchFunction(sqlite3_context* context, int, sqlite3_value** argv)
{
    auto* matcher = static_cast<TTextMatcher*>(sqlite3_get_auxdata(context, 1));
    if (!matcher) {
        const auto op = *static_cast<const TCondition::Op*>(sqlite3_user_data(context));
        const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(argv[1]));
        const QString pattern = QString::fromUtf8(p, sqlite3_value_bytes(argv[1]));
        try {
            matcher = new TTextMatcher(pattern, op);
        } catch (const std::exception& e) {
            sqlite3_result_error(context, e.what(), -1);
            return;
        }
        sqlite3_set_auxdata(context, 1, matcher, [](void* m) { delete static_cast<TTextMatcher*>(m); });
        matcher = static_cast<TTextMatcher*>(sqlite3_get_auxdata(context, 1));
        if (!matcher) {
            sqlite3_result_error_nomem(context);
            return;
        }
    }
    if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
        sqlite3_result_int(context, 0); // a blank value matches nothing
        return;
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(argv[0]));
    try {
        sqlite3_result_int(context, matcher->MatchesUtf8(text, sqlite3_value_bytes(argv[0])) ? 1 : 0);
    } catch (const std::exception& e) {
        sqlite3_result_error(context, e.what(), -1);
    }
}

void RegisterFunctions(sqlite3* db)
{
    const int flags = SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS;
    if (sqlite3_create_function_v2(db, "pb_like", 2, flags, const_cast<TCondition::Op*>(&kLikeOp), MatchFunction,
                                   nullptr, nullptr, nullptr)
            != SQLITE_OK
        || sqlite3_create_function_v2(db, "pb_equal", 2, flags, const_cast<TCondition::Op*>(&kEqualOp), MatchFunction,
                                      nullptr, nullptr, nullptr)
               != SQLITE_OK)
        Fail(db);
}

// ---------------------------------------------------------------------------------------------
// Letter-case classes: every character that any case mapping connects with a given one. The
// index ranges of a prefix search cover all combinations of these for its first characters.

const std::unordered_map<char32_t, std::vector<char32_t>>& CaseClasses()
{
    static const auto classes = [] {
        constexpr char32_t kLimit = 0x20000; // no cased letters above the first two planes
        std::vector<char32_t> parent(kLimit);
        for (char32_t c = 0; c < kLimit; ++c)
            parent[c] = c;
        const auto find = [&](char32_t c) {
            while (parent[c] != c)
                c = parent[c] = parent[parent[c]];
            return c;
        };
        for (char32_t c = 0; c < kLimit; ++c) {
            if (c >= 0xD800 && c <= 0xDFFF)
                continue;
            for (char32_t m : {QChar::toLower(c), QChar::toUpper(c), QChar::toCaseFolded(c), QChar::toTitleCase(c)}) {
                if (m == c || m >= kLimit)
                    continue;
                const char32_t a = find(c), b = find(m);
                if (a != b)
                    parent[std::max(a, b)] = std::min(a, b);
            }
        }
        std::unordered_map<char32_t, std::vector<char32_t>> members;
        for (char32_t c = 0; c < kLimit; ++c)
            if (find(c) != c)
                members[find(c)].push_back(c);
        std::unordered_map<char32_t, std::vector<char32_t>> byMember;
        for (auto& [root, list] : members) {
            list.push_back(root);
            std::sort(list.begin(), list.end());
            for (char32_t m : list)
                byMember[m] = list;
        }
        return byMember;
    }();
    return classes;
}

// Texts that every value matching the prefix starts with: the letter-case variants of its first
// characters, as many characters as keep the variants at most kMaxVariants.
constexpr std::size_t kMaxVariants = 64;

std::vector<QByteArray> PrefixVariants(const QString& prefix)
{
    std::vector<std::u32string> variants = {std::u32string()};
    for (char32_t c : prefix.toUcs4()) {
        // U+FFFD also stands for every byte that is not well-formed UTF-8, and such bytes lie
        // outside any range of its encoding: the ranges end before it.
        if (c == 0xFFFD)
            break;
        const auto& classes = CaseClasses();
        const auto it = classes.find(c);
        const std::vector<char32_t> single = {c};
        const std::vector<char32_t>& members = it != classes.end() ? it->second : single;
        if (variants.size() * members.size() > kMaxVariants)
            break;
        std::vector<std::u32string> next;
        for (const auto& v : variants)
            for (char32_t m : members)
                next.push_back(v + m);
        variants.swap(next);
    }
    std::vector<QByteArray> out;
    if (variants.front().empty())
        return out;
    for (const auto& v : variants)
        out.push_back(QString::fromUcs4(v.data(), qsizetype(v.size())).toUtf8());
    return out;
}

// The smallest text above every text that starts with utf8 (UTF-8 orders as its code points).
QByteArray PrefixSuccessor(QByteArray utf8)
{
    while (!utf8.isEmpty() && quint8(utf8.back()) == 0xFF)
        utf8.chop(1);
    if (!utf8.isEmpty())
        utf8.back() = char(quint8(utf8.back()) + 1);
    return utf8;
}

// ---------------------------------------------------------------------------------------------
// Column types from declared types, after SQLite's own affinity rules.

bool Contains(const QByteArray& declared, const char* word)
{
    return declared.contains(word);
}

TResultColumn ColumnFromDeclared(const QString& name, const char* declaredType)
{
    TResultColumn column;
    column.Name = name;
    const QByteArray declared = QByteArray(declaredType ? declaredType : "").toUpper();
    const qsizetype open = declared.indexOf('(');
    if (open >= 0)
        column.Size = std::max(0, declared.mid(open + 1).split(')').front().split(',').front().trimmed().toInt());
    if (Contains(declared, "INT")) {
        if (Contains(declared, "BIGINT") || Contains(declared, "INT8") || Contains(declared, "LARGEINT")
            || Contains(declared, "UNSIGNED BIG INT"))
            column.DataType = ftLargeint;
        else if (Contains(declared, "SMALLINT") || Contains(declared, "TINYINT") || Contains(declared, "INT2"))
            column.DataType = ftSmallint;
        else
            column.DataType = ftInteger;
        column.Size = 0;
    } else if (Contains(declared, "CHAR") || Contains(declared, "CLOB") || Contains(declared, "TEXT")) {
        column.DataType = ftString;
    } else if (Contains(declared, "BLOB")) {
        column.DataType = ftBlob;
        column.Size = 0;
    } else if (Contains(declared, "REAL") || Contains(declared, "FLOA") || Contains(declared, "DOUB")) {
        column.DataType = ftFloat;
        column.Size = 0;
    } else if (Contains(declared, "BOOL")) {
        column.DataType = ftBoolean;
    } else if (Contains(declared, "DATETIME") || Contains(declared, "TIMESTAMP")) {
        column.DataType = ftDateTime;
    } else if (Contains(declared, "DATE")) {
        column.DataType = ftDate;
    } else if (Contains(declared, "TIME")) {
        column.DataType = ftTime;
    } else if (Contains(declared, "MONEY") || Contains(declared, "CURRENCY")) {
        column.DataType = ftCurrency;
    } else if (Contains(declared, "NUMERIC") || Contains(declared, "DECIMAL")) {
        column.DataType = ftFloat;
    } else {
        column.DataType = ftString; // no or unknown type: whatever is stored, shown as text
    }
    if (column.DataType != ftString)
        column.Size = 0;
    return column;
}

bool IsTextAffinity(const char* declaredType)
{
    const QByteArray declared = QByteArray(declaredType ? declaredType : "").toUpper();
    return !declared.contains("INT")
           && (declared.contains("CHAR") || declared.contains("CLOB") || declared.contains("TEXT"));
}

// A stored value that the column's declared type cannot hold: the column is read as text instead.
struct TTypeMismatch
{
    int Column;
};

const QDateTime& UnixEpoch()
{
    static const QDateTime epoch(QDate(1970, 1, 1), QTime(0, 0), QTimeZone::utc());
    return epoch;
}

QDateTime ParseDateTime(const QString& text, TFieldType type)
{
    const QString t = text.trimmed();
    if (type == ftTime) {
        QTime time = QTime::fromString(t, Qt::ISODateWithMs);
        if (!time.isValid())
            time = QTime::fromString(t, Qt::ISODate);
        return time.isValid() ? QDateTime(QDate(1899, 12, 30), time, QTimeZone::utc()) : QDateTime();
    }
    if (t.size() == 10) {
        const QDate date = QDate::fromString(t, Qt::ISODate);
        return date.isValid() ? QDateTime(date, QTime(0, 0), QTimeZone::utc()) : QDateTime();
    }
    QString iso = t;
    if (iso.size() > 10 && iso[10] == u' ')
        iso[10] = u'T';
    QDateTime dt = QDateTime::fromString(iso, Qt::ISODateWithMs);
    if (!dt.isValid())
        return {};
    if (dt.timeSpec() == Qt::LocalTime)
        dt = QDateTime(dt.date(), dt.time(), QTimeZone::utc());
    return dt;
}

void AppendValue(TResultTable& table, sqlite3_stmt* stmt, int column, TFieldType type)
{
    const int storage = sqlite3_column_type(stmt, column);
    if (storage == SQLITE_NULL) {
        table.AppendNull();
        return;
    }
    const auto text = [&] {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
        return QByteArrayView(p, sqlite3_column_bytes(stmt, column));
    };
    switch (type) {
    case ftSmallint:
    case ftInteger:
    case ftLargeint: {
        if (storage == SQLITE_INTEGER) {
            table.AppendInteger(sqlite3_column_int64(stmt, column));
            return;
        }
        if (storage == SQLITE_FLOAT) {
            const double d = sqlite3_column_double(stmt, column);
            if (d == std::floor(d) && std::abs(d) < 9.0e18) {
                table.AppendInteger(qint64(d));
                return;
            }
        } else if (storage == SQLITE_TEXT) {
            bool ok = false;
            const qint64 v = text().trimmed().toLongLong(&ok);
            if (ok) {
                table.AppendInteger(v);
                return;
            }
        }
        throw TTypeMismatch{column};
    }
    case ftFloat:
    case ftCurrency: {
        if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
            table.AppendDouble(sqlite3_column_double(stmt, column));
            return;
        }
        if (storage == SQLITE_TEXT) {
            bool ok = false;
            const double v = text().trimmed().toDouble(&ok);
            if (ok) {
                table.AppendDouble(v);
                return;
            }
        }
        throw TTypeMismatch{column};
    }
    case ftBoolean: {
        if (storage == SQLITE_INTEGER) {
            table.AppendBoolean(sqlite3_column_int64(stmt, column) != 0);
            return;
        }
        if (storage == SQLITE_TEXT) {
            const QByteArray t = text().trimmed().toByteArray().toLower();
            if (t == "true" || t == "false" || t == "1" || t == "0") {
                table.AppendBoolean(t == "true" || t == "1");
                return;
            }
        }
        throw TTypeMismatch{column};
    }
    case ftDate:
    case ftTime:
    case ftDateTime: {
        QDateTime dt;
        if (storage == SQLITE_TEXT)
            dt = ParseDateTime(QString::fromUtf8(text()), type);
        else if (storage == SQLITE_INTEGER) // seconds since 1970, as SQLite's 'unixepoch'
            dt = UnixEpoch().addSecs(sqlite3_column_int64(stmt, column));
        else if (storage == SQLITE_FLOAT) // a Julian day number, as SQLite's julianday()
            dt = UnixEpoch().addMSecs(
                qint64(std::llround((sqlite3_column_double(stmt, column) - 2440587.5) * 86400000.0)));
        if (!dt.isValid())
            throw TTypeMismatch{column};
        table.AppendDateTime(dt);
        return;
    }
    case ftBlob: {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt, column));
        table.AppendBytes(QByteArrayView(p, sqlite3_column_bytes(stmt, column)));
        return;
    }
    default:
        table.AppendText(text());
        return;
    }
}

} // namespace

// ---------------------------------------------------------------------------------------------

struct TSqliteEngine::Impl
{
    TSqliteDb Db;
    QString Path;
    bool Utf8 = true; // text stored as UTF-8, so its byte order is its code-point order

    // A statement compiled for SQLite: its SQL, its parameters, the result's columns.
    struct TCompiled
    {
        QByteArray Sql;
        std::vector<QByteArray> Texts; // ?1..?n
        std::vector<int> EmptyBlobs;   // parameters bound to an empty blob instead
        std::vector<TResultColumn> Columns;
    };

    // The token of the Select that runs, watched by OnProgress every kProgressSteps VM steps.
    static constexpr int kProgressSteps = 1000;
    TCancelToken* Token = nullptr;
    std::chrono::steady_clock::time_point NextProgress;

    std::pair<int, QString> TryOpen(const QByteArray& uri);
    static int OnProgress(void* self) noexcept;
    std::chrono::milliseconds BusyTimeout{0};
    std::chrono::steady_clock::time_point BusySince;
    static int OnBusy(void* self, int attempt) noexcept;
    void ThrowIfCancelled() const;
    TCompiled Compile(const TSelectStatement& statement);
    bool HasBinaryIndexOn(const QString& table, const QString& column);
    QByteArray RowidName(const QByteArray& table, const std::vector<TResultColumn>& columns);
    TSqliteStatement Prepare(const TCompiled& compiled);
    std::unique_ptr<TResultTable> Read(const TSelectStatement& statement);
};

namespace {

std::atomic<int> gBusyTimeoutMs{3000};

// Errors of a plain read-only open that say the medium refuses what SQLite needs besides reading
// (locks, the shared-memory file beside a WAL directory), not that someone is writing.
bool MediumRefuses(int extendedCode)
{
    switch (extendedCode & 0xFF) {
    case SQLITE_CANTOPEN:
    case SQLITE_IOERR:
    case SQLITE_NOLFS:
        return true;
    case SQLITE_READONLY:
        return extendedCode == SQLITE_READONLY_CANTINIT || extendedCode == SQLITE_READONLY_CANTLOCK
               || extendedCode == SQLITE_READONLY_DIRECTORY;
    default:
        return false;
    }
}

} // namespace

int TSqliteEngine::BusyTimeoutMs()
{
    return gBusyTimeoutMs.load(std::memory_order_relaxed);
}

void TSqliteEngine::SetBusyTimeoutMs(int ms)
{
    gBusyTimeoutMs.store(std::max(0, ms), std::memory_order_relaxed);
}

// Opens the file through uri and reads its schema; returns SQLite's extended result code and
// message (SQLITE_OK and nothing when the directory is ready).
std::pair<int, QString> TSqliteEngine::Impl::TryOpen(const QByteArray& uri)
{
    sqlite3* db = nullptr;
    const int rc =
        sqlite3_open_v2(uri.constData(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
    Db = TSqliteDb(db);
    if (rc != SQLITE_OK)
        return {db ? sqlite3_extended_errcode(db) : rc,
                db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc))};
    sqlite3_extended_result_codes(db, 1);
    // A writer holding the file gets a moment to finish before the reader gives up with "database
    // is locked"; a cancel ends the wait.
    BusyTimeout = std::chrono::milliseconds(BusyTimeoutMs());
    sqlite3_busy_handler(db, &Impl::OnBusy, this);
    try {
        RegisterFunctions(db);
        // Reading the schema proves the file is a database we can read; the encoding decides
        // whether index ranges may be computed on UTF-8 bytes.
        TSqliteStatement schema(db, "SELECT count(*) FROM sqlite_schema");
        schema.Step();
        TSqliteStatement encoding(db, "PRAGMA encoding");
        if (encoding.Step())
            Utf8 = encoding.Text(0).compare(QLatin1String("UTF-8"), Qt::CaseInsensitive) == 0;
        TSqliteStatement queryOnly(db, "PRAGMA query_only = 1");
        queryOnly.Step();
    } catch (const EDatabaseError& e) {
        return {sqlite3_extended_errcode(db), e.Message()};
    }
    sqlite3_progress_handler(db, kProgressSteps, &Impl::OnProgress, this);
    return {SQLITE_OK, QString()};
}

TSqliteEngine::TSqliteEngine(const QString& path) : d(std::make_unique<Impl>())
{
    d->Path = path;
    // Read-only with SQLite's locks and journals: a writer's unfinished transaction stays unseen,
    // rows committed to a WAL file are seen, and a hot journal is refused with SQLite's message
    // (only a writer may roll it back). Where the medium allows no locks or shared memory (a CD,
    // a read-only share), the file is read as immutable, but only when no journal or WAL stands
    // beside it, since only then is what the file holds the whole committed directory.
    const QString absolute = QFileInfo(path).absoluteFilePath();
    const QByteArray uri = "file:" + QUrl::toPercentEncoding(absolute, "/");
    auto [rc, message] = d->TryOpen(uri + "?mode=ro");
    if (rc != SQLITE_OK && MediumRefuses(rc) && !QFileInfo::exists(absolute + QStringLiteral("-journal"))
        && !QFileInfo::exists(absolute + QStringLiteral("-wal"))) {
        if (d->TryOpen(uri + "?mode=ro&immutable=1").first == SQLITE_OK)
            rc = SQLITE_OK;
    }
    if (rc != SQLITE_OK) {
        d->Db = TSqliteDb();
        if (rc == SQLITE_READONLY_ROLLBACK || rc == SQLITE_READONLY_RECOVERY)
            throw EDatabaseError(message); // already says which file and why
        throw EDatabaseError(FormatMessage(QStringLiteral("Не удаётся открыть базу данных '%s': %s"), {path, message}));
    }
}

TSqliteEngine::~TSqliteEngine() = default;

// Runs inside sqlite3_step on the thread of the Select: a non-zero answer interrupts it.
int TSqliteEngine::Impl::OnProgress(void* self) noexcept
{
    Impl* impl = static_cast<Impl*>(self);
    TCancelToken* token = impl->Token;
    if (!token)
        return 0;
    if (token->IsCancelled())
        return 1;
    if (token->Progress) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= impl->NextProgress) {
            impl->NextProgress = now + std::chrono::milliseconds(token->ProgressIntervalMs);
            try {
                token->Progress();
            } catch (...) {
                return 1; // nothing may leave through SQLite; a failing callback ends the search
            }
        }
    }
    return token->IsCancelled() ? 1 : 0;
}

// Called while another connection holds a lock we need: waits in short naps until the lock is
// free, the busy timeout has passed or the search is cancelled (0 gives up with SQLITE_BUSY).
int TSqliteEngine::Impl::OnBusy(void* self, int attempt) noexcept
{
    Impl* impl = static_cast<Impl*>(self);
    const auto now = std::chrono::steady_clock::now();
    if (attempt == 0)
        impl->BusySince = now;
    const auto left = impl->BusyTimeout - std::chrono::duration_cast<std::chrono::milliseconds>(now - impl->BusySince);
    if (left <= std::chrono::milliseconds(0) || OnProgress(self) != 0)
        return 0;
    std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(20)));
    return 1;
}

void TSqliteEngine::Impl::ThrowIfCancelled() const
{
    if (Token && Token->IsCancelled())
        throw ECancelled(Path);
}

bool TSqliteEngine::Impl::HasBinaryIndexOn(const QString& table, const QString& column)
{
    TSqliteStatement indexes(
        Db.Get(), "SELECT ii.name, ii.coll FROM pragma_index_list(?1) AS il, pragma_index_xinfo(il.name) AS ii"
                  " WHERE il.partial = 0 AND ii.seqno = 0");
    indexes.BindText(1, table.toUtf8());
    while (indexes.Step()) {
        if (sqlite3_column_type(indexes.Get(), 0) == SQLITE_NULL)
            continue; // an index on an expression
        if (indexes.Text(0).compare(column, Qt::CaseInsensitive) == 0
            && indexes.Text(1).compare(QLatin1String("BINARY"), Qt::CaseInsensitive) == 0)
            return true;
    }
    return false;
}

namespace {

// A literal as UTF-8 for its parameter. A lone surrogate (no character on its own) becomes U+FFFD,
// as the matcher reads it everywhere else; QString::toUtf8 would make it a "?".
QByteArray LiteralUtf8(const QString& literal)
{
    QString text = literal;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        else if (text[i].isSurrogate())
            text[i] = QChar::ReplacementCharacter;
    }
    return text.toUtf8();
}

} // namespace

// A name the table's row numbers go by that no column of it hides; empty when it has none (a
// table WITHOUT ROWID) or every such name is a column's.
QByteArray TSqliteEngine::Impl::RowidName(const QByteArray& table, const std::vector<TResultColumn>& columns)
{
    for (const char* name : {"rowid", "_rowid_", "oid"}) {
        const auto hidden = std::any_of(columns.begin(), columns.end(), [&](const TResultColumn& c) {
            return c.Name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        });
        if (hidden)
            continue;
        const QByteArray probe = "SELECT " + QByteArray(name) + " FROM " + table + " LIMIT 0";
        sqlite3_stmt* stmt = nullptr;
        const int rc = sqlite3_prepare_v2(Db.Get(), probe.constData(), int(probe.size()), &stmt, nullptr);
        sqlite3_finalize(stmt);
        return rc == SQLITE_OK ? QByteArray(name) : QByteArray();
    }
    return {};
}

TSqliteEngine::Impl::TCompiled TSqliteEngine::Impl::Compile(const TSelectStatement& statement)
{
    TCompiled compiled;
    const QByteArray table = QuoteIdentifier(statement.Table);
    compiled.Sql = "SELECT * FROM " + table;

    // The table's columns, as "*" gives them (a missing table fails here with SQLite's message).
    std::vector<bool> textAffinity;
    {
        TSqliteStatement probe(Db.Get(), compiled.Sql);
        const int count = sqlite3_column_count(probe.Get());
        for (int i = 0; i < count; ++i) {
            const char* declared = sqlite3_column_decltype(probe.Get(), i);
            compiled.Columns.push_back(
                ColumnFromDeclared(QString::fromUtf8(sqlite3_column_name(probe.Get(), i)), declared));
            textAffinity.push_back(IsTextAffinity(declared));
        }
    }

    // Every condition becomes a call of our matcher with its literal bound as a parameter.
    QByteArray where;
    QByteArray narrowColumn; // the indexed column whose prefix narrows the search, if any
    QString narrowPrefix;
    for (const TCondition& condition : statement.Conditions) {
        const auto column = std::find_if(compiled.Columns.begin(), compiled.Columns.end(), [&](const TResultColumn& c) {
            return c.Name.compare(condition.Field, Qt::CaseInsensitive) == 0;
        });
        if (column == compiled.Columns.end())
            throw EDatabaseError(FormatMessage(QStringLiteral("no such column: %s"), {condition.Field}));
        const QByteArray name = QuoteIdentifier(column->Name);
        compiled.Texts.push_back(LiteralUtf8(condition.Literal));
        // The literal as pb_like reads it back from its parameter (a lone surrogate has become
        // U+FFFD), so that the ranges are cut for the very pattern that decides the rows.
        const QString literal = QString::fromUtf8(compiled.Texts.back());
        where += where.isEmpty() ? " WHERE " : " AND ";
        where += (condition.Operator == TCondition::Like ? "pb_like(" : "pb_equal(") + name + ", ?"
                 + QByteArray::number(compiled.Texts.size()) + ")";

        const TTextMatcher matcher(literal, condition.Operator);
        const std::size_t index = std::size_t(column - compiled.Columns.begin());
        if (Utf8 && matcher.LiteralPrefix().size() > narrowPrefix.size() && textAffinity[index]
            && HasBinaryIndexOn(statement.Table, column->Name)) {
            narrowColumn = name;
            narrowPrefix = matcher.LiteralPrefix();
        }
    }
    const std::vector<QByteArray> variants = PrefixVariants(narrowPrefix);
    const QByteArray rowid = variants.empty() ? QByteArray() : RowidName(table, compiled.Columns);
    if (rowid.isEmpty()) {
        compiled.Sql += where;
        return compiled;
    }

    // Every value a condition with a literal prefix can match starts with one of the letter-case
    // variants of the prefix's first characters. On an indexed text column each variant becomes
    // one index range, read by a SELECT of its own (the matcher still decides each row, on the
    // index entry before the row is fetched); the ranges do not overlap, so the SELECTs are
    // simply chained. Blob values sort after all text and get a range of their own. The rows are
    // then fetched by their numbers, so that they come in the table's order, as a scan finds them.
    const QByteArray select = "SELECT " + rowid + " FROM " + table + where + " AND " + narrowColumn + " COLLATE BINARY";
    QByteArray ranges;
    for (const QByteArray& variant : variants) {
        compiled.Texts.push_back(variant);
        compiled.Texts.push_back(PrefixSuccessor(variant));
        ranges += select + " >= ?" + QByteArray::number(compiled.Texts.size() - 1) + " AND " + narrowColumn
                  + " COLLATE BINARY < ?" + QByteArray::number(compiled.Texts.size()) + " UNION ALL ";
    }
    compiled.Texts.emplace_back();
    compiled.EmptyBlobs.push_back(int(compiled.Texts.size()));
    ranges += select + " >= ?" + QByteArray::number(compiled.Texts.size());
    compiled.Sql += " WHERE " + rowid + " IN (" + ranges + ")";
    return compiled;
}

TSqliteStatement TSqliteEngine::Impl::Prepare(const TCompiled& compiled)
{
    TSqliteStatement stmt(Db.Get(), compiled.Sql);
    for (std::size_t i = 0; i < compiled.Texts.size(); ++i) {
        const int n = int(i + 1);
        if (std::find(compiled.EmptyBlobs.begin(), compiled.EmptyBlobs.end(), n) != compiled.EmptyBlobs.end())
            stmt.BindEmptyBlob(n);
        else
            stmt.BindText(n, compiled.Texts[i]);
    }
    return stmt;
}

std::unique_ptr<TResultTable> TSqliteEngine::Select(const TSelectStatement& statement)
{
    d->Token = CancelToken();
    d->NextProgress = std::chrono::steady_clock::now();
    TScopeExit forgetToken([this] { d->Token = nullptr; });
    try {
        d->ThrowIfCancelled();
        return d->Read(statement);
    } catch (const ECancelled&) {
        throw;
    } catch (const EResultTooLarge& e) {
        d->ThrowIfCancelled();
        throw EResultTooLarge(FormatMessage(QStringLiteral("Справочник '%s': %s"), {d->Path, e.Message()}));
    } catch (const EDatabaseError&) {
        d->ThrowIfCancelled(); // SQLite's "interrupted" is our cancel
        throw;
    }
}

std::unique_ptr<TResultTable> TSqliteEngine::Impl::Read(const TSelectStatement& statement)
{
    TCompiled compiled = Compile(statement);
    // A stored value the declared type cannot hold turns that column into text, and the rows are
    // read again: SQLite lets any column hold anything, and nothing may be lost on the way.
    for (;;) {
        auto table = std::make_unique<TResultTable>(compiled.Columns);
        TSqliteStatement stmt = Prepare(compiled);
        const int columns = int(compiled.Columns.size());
        std::vector<TFieldType> types;
        bool allText = true;
        for (const TResultColumn& c : compiled.Columns) {
            types.push_back(c.DataType);
            allText &= c.DataType == ftString;
        }
        try {
            sqlite3_stmt* s = stmt.Get();
            if (allText) {
                // The directory's usual case: every column text, copied as SQLite hands it out.
                while (stmt.Step()) {
                    for (int i = 0; i < columns; ++i) {
                        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(s, i));
                        if (p)
                            table->AppendText(QByteArrayView(p, sqlite3_column_bytes(s, i)));
                        else if (sqlite3_column_type(s, i) == SQLITE_NULL)
                            table->AppendNull();
                        else
                            throw std::bad_alloc(); // SQLite could not convert the value
                    }
                    table->EndRow();
                    ThrowIfCancelled();
                }
            } else {
                while (stmt.Step()) {
                    for (int i = 0; i < columns; ++i)
                        AppendValue(*table, s, i, types[std::size_t(i)]);
                    table->EndRow();
                    ThrowIfCancelled();
                }
            }
        } catch (const TTypeMismatch& mismatch) {
            compiled.Columns[std::size_t(mismatch.Column)].DataType = ftString;
            continue;
        }
        table->Squeeze();
        return table;
    }
}

QStringList TSqliteEngine::QueryPlan(const TSelectStatement& statement)
{
    Impl::TCompiled compiled = d->Compile(statement);
    compiled.Sql = "EXPLAIN QUERY PLAN " + compiled.Sql;
    TSqliteStatement stmt = d->Prepare(compiled);
    QStringList plan;
    while (stmt.Step())
        plan << stmt.Text(3);
    return plan;
}
