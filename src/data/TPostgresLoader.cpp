#include "TPostgresLoader.h"

#include "Exception.h"
#include "TDirectoryEngine.h"
#include "TPostgresEngine.h"
#include "TScopeExit.h"

#include <QByteArray>
#include <QUtf8StringView>

#include <libpq-fe.h>
#include <poll.h>

#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <numeric>
#include <string_view>

namespace {

const std::array<const char*, 5> kFields = {"numer", "vlad", "street", "numhome", "numdoor"};
const QString kTable = QStringLiteral("kray");
const QString kLoading = QStringLiteral("kray__loading"); // the new table until it takes the old one's place

// One open connection of the load; closing it without COMMIT undoes everything.
class TLoadConnection
{
public:
    TLoadConnection(const QString& uri, QString name) : fName(std::move(name))
    {
        const QByteArray text = uri.toUtf8();
        const char* keys[] = {"dbname", "fallback_application_name", "client_encoding", nullptr};
        const char* values[] = {text.constData(), "phonebook", "UTF8", nullptr};
        fConn = PQconnectdbParams(keys, values, 1);
        if (!fConn)
            throw std::bad_alloc();
        if (PQstatus(fConn) != CONNECTION_OK)
            throw EDatabaseError(FormatMessage(QStringLiteral("Не удаётся подключиться к справочнику '%s': %s"),
                                               {fName, QString::fromUtf8(PQerrorMessage(fConn)).trimmed()}));
    }
    ~TLoadConnection() { PQfinish(fConn); }
    TLoadConnection(const TLoadConnection&) = delete;
    TLoadConnection& operator=(const TLoadConnection&) = delete;

    [[noreturn]] void Fail(const PGresult* result) const
    {
        const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
        QString message = QString::fromUtf8(primary ? primary : PQerrorMessage(fConn)).trimmed();
        if (const char* detail = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_DETAIL) : nullptr)
            message += QStringLiteral(" (") + QString::fromUtf8(detail).trimmed() + u')';
        throw EDatabaseError(FormatMessage(QStringLiteral("Справочник '%s' не загружен: %s"), {fName, message}));
    }

    // Runs one statement; returns its rows' first column.
    QStringList Exec(const QString& sql, ExecStatusType expected = PGRES_COMMAND_OK)
    {
        PGresult* result = PQexec(fConn, sql.toUtf8().constData());
        TScopeExit clear([result] { PQclear(result); });
        const ExecStatusType status = PQresultStatus(result);
        if (status != expected && status != PGRES_TUPLES_OK && status != PGRES_COMMAND_OK)
            Fail(result);
        QStringList values;
        if (status == PGRES_TUPLES_OK)
            for (int r = 0; r < PQntuples(result); ++r)
                values << QString::fromUtf8(PQgetvalue(result, r, 0));
        return values;
    }

    // A statement sent without waiting for it (Idle tells when it is done).
    void Start(const QString& sql)
    {
        if (!PQsendQuery(fConn, sql.toUtf8().constData()))
            Fail(nullptr);
        fBusy = true;
    }
    // Reads what the server sent; true when the statement started last is done (or none runs).
    bool Idle()
    {
        if (!fBusy)
            return true;
        if (!PQconsumeInput(fConn))
            Fail(nullptr);
        while (!PQisBusy(fConn)) {
            PGresult* result = PQgetResult(fConn);
            if (!result) {
                fBusy = false;
                return true;
            }
            TScopeExit clear([result] { PQclear(result); });
            if (PQresultStatus(result) != PGRES_COMMAND_OK && PQresultStatus(result) != PGRES_TUPLES_OK)
                Fail(result);
        }
        return false;
    }
    int Socket() const { return PQsocket(fConn); }
    // Stops the statement that runs, if any, and reads what is left of it.
    void Cancel() noexcept
    {
        if (!fBusy)
            return;
        if (PGcancel* cancel = PQgetCancel(fConn)) {
            char error[256];
            PQcancel(cancel, error, int(sizeof error));
            PQfreeCancel(cancel);
        }
        while (PGresult* result = PQgetResult(fConn))
            PQclear(result);
        fBusy = false;
    }

    void CopyIn(const QString& sql)
    {
        PGresult* result = PQexec(fConn, sql.toUtf8().constData());
        TScopeExit clear([result] { PQclear(result); });
        if (PQresultStatus(result) != PGRES_COPY_IN)
            Fail(result);
    }
    void Put(const QByteArray& bytes)
    {
        if (PQputCopyData(fConn, bytes.constData(), int(bytes.size())) != 1)
            Fail(nullptr);
    }
    void EndCopy()
    {
        if (PQputCopyEnd(fConn, nullptr) != 1)
            Fail(nullptr);
        for (;;) {
            PGresult* result = PQgetResult(fConn);
            if (!result)
                break;
            TScopeExit clear([result] { PQclear(result); });
            if (PQresultStatus(result) != PGRES_COMMAND_OK)
                Fail(result);
        }
    }

private:
    QString fName;
    PGconn* fConn = nullptr;
    bool fBusy = false;
};

// Runs the statements on the connections at once, each taking the next statement when it is done
// with its last, in the order given (the longest first, so they end together).
void RunOnAll(std::vector<TLoadConnection*> connections, const QStringList& statements,
              const std::function<void(qint64 done)>& progress)
{
    qsizetype next = 0;
    qint64 done = 0;
    std::vector<bool> running(connections.size(), false);
    for (;;) {
        bool any = false;
        for (std::size_t i = 0; i < connections.size(); ++i) {
            if (!connections[i]->Idle()) {
                any = true;
                continue;
            }
            if (running[i]) {
                running[i] = false;
                progress(++done);
            }
            if (next < statements.size()) {
                connections[i]->Start(statements[next++]);
                running[i] = true;
                any = true;
            }
        }
        if (!any)
            return;
        std::vector<pollfd> fds;
        for (TLoadConnection* c : connections)
            fds.push_back({c->Socket(), POLLIN, 0});
        poll(fds.data(), nfds_t(fds.size()), 1000);
    }
}

// One value in COPY's text form: backslash, tab and line ends escaped. The server holds only
// well-formed UTF-8 without U+0000: bytes that are not UTF-8 become U+FFFD, as the program shows
// them, and U+0000 is left out.
void AppendCopyValue(QByteArray& out, QByteArrayView utf8)
{
    QByteArray repaired;
    if (!QUtf8StringView(utf8.data(), utf8.size()).isValidUtf8() || utf8.contains('\0')) {
        repaired = QString::fromUtf8(utf8).toUtf8();
        repaired.replace(QByteArrayView("\0", 1), QByteArrayView());
        utf8 = repaired;
    }
    for (char c : utf8) {
        switch (c) {
        case '\\':
            out += "\\\\";
            break;
        case '\t':
            out += "\\t";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        default:
            out += c;
        }
    }
}

} // namespace

QStringList TPostgresLoader::IndexStatements(const QString& table)
{
    QStringList statements;
    for (const char* field : {"vlad", "street", "numer"})
        statements << QStringLiteral("CREATE INDEX %1_%2_trgm ON %1 USING gin (%2 gin_trgm_ops)").arg(table, field);
    for (const char* field : {"vlad", "numer", "numhome", "numdoor"})
        statements << QStringLiteral("CREATE INDEX %1_%2_prefix ON %1 (%3 text_pattern_ops)")
                          .arg(table, field, TPostgresEngine::FoldedExpression(QString::fromLatin1(field)));
    // The few values that hold a rare letter form (ᲀ for в, ſ for s), for the searches to try them
    // with every form of each letter.
    for (const char* field : kFields)
        statements << QStringLiteral("CREATE INDEX %1_%2_variants ON %1 (%2) WHERE %3")
                          .arg(table, field, TPostgresEngine::VariantIndexCondition(QString::fromLatin1(field)));
    return statements;
}

qint64 TPostgresLoader::Load(const QString& source, const QString& uri, const TProgress& progress)
{
    const QString name = DirectoryDisplayName(uri);
    if (!IsServerDirectory(uri))
        throw EDatabaseError(FormatMessage(
            QStringLiteral("Загружать можно только в справочник на сервере PostgreSQL (postgresql://...), а не в '%s'"),
            {name}));
    auto report = [&](TStage stage, qint64 done, qint64 total) {
        if (progress)
            progress(stage, done, total);
    };

    // The whole source table first: a source that cannot be read leaves the server untouched.
    report(TStage::Reading, 0, 0);
    std::unique_ptr<TResultTable> rows;
    {
        const auto engine = OpenDirectoryEngine(source);
        rows = engine->Select(TSelectStatement{kTable, {}});
    }
    std::array<int, 5> columns{};
    for (std::size_t f = 0; f < kFields.size(); ++f) {
        columns[f] = -1;
        for (int c = 0; c < rows->ColumnCount(); ++c)
            if (rows->Columns()[std::size_t(c)].Name.compare(QLatin1String(kFields[f]), Qt::CaseInsensitive) == 0)
                columns[f] = c;
        if (columns[f] < 0)
            throw EDatabaseError(FormatMessage(QStringLiteral("В таблице kray справочника '%s' нет поля '%s'"),
                                               {DirectoryDisplayName(source), QString::fromLatin1(kFields[f])}));
    }

    // Two connections build the indexes at once (each index is built by one process of the server).
    // So the new table is committed under its own name first, seen by no search; a failure on
    // the way drops it again, and the old table stays as it was until the last transaction.
    TLoadConnection server(uri, name);
    TLoadConnection helper(uri, name);
    for (TLoadConnection* c : {&server, &helper}) {
        c->Exec(QStringLiteral("SET client_min_messages = warning"));
        // A trigram index of ten million owners is built in memory by parts: the more room, the
        // fewer parts to merge (the load's longest step).
        c->Exec(QStringLiteral("SET maintenance_work_mem = '1GB'"));
    }
    // One load at a time: a second one waits here for the first to end.
    server.Exec(QStringLiteral("SELECT pg_advisory_lock(hashtext('phonebook: load kray'))"));
    bool replaced = false;
    TScopeExit dropUnfinished([&] {
        if (replaced)
            return;
        // The other connection's index is stopped and the failed transaction undone, so that
        // nothing holds the new table any more.
        helper.Cancel();
        try {
            server.Cancel();
            server.Exec(QStringLiteral("ROLLBACK"));
            server.Exec(QStringLiteral("DROP TABLE IF EXISTS ") + kLoading);
        } catch (...) {
            // a connection that broke: the next load drops the table
        }
    });
    server.Exec(QStringLiteral("BEGIN"));
    if (server.Exec(QStringLiteral("SELECT count(*) FROM pg_extension WHERE extname = 'pg_trgm'")).value(0)
        == QLatin1String("0"))
        server.Exec(QStringLiteral("CREATE EXTENSION pg_trgm"));
    server.Exec(QStringLiteral("DROP TABLE IF EXISTS ") + kLoading);
    server.Exec(QStringLiteral("CREATE TABLE ") + kLoading
                + QStringLiteral(" (numer text, vlad text, street text, numhome text, numdoor text)"));

    server.CopyIn(QStringLiteral("COPY ") + kLoading
                  + QStringLiteral(" (numer, vlad, street, numhome, numdoor) FROM STDIN"));
    const qint64 total = rows->RowCount();
    // The rows go to the server in the order of their owners: a search of an owner's start then
    // reads a few neighbouring pages of the table instead of one page for each row it finds.
    std::vector<int> order(std::size_t(rows->RowCount()));
    std::iota(order.begin(), order.end(), 0);
    {
        const int owner = columns[1];
        std::vector<std::string_view> keys(order.size());
        for (int row = 0; row < rows->RowCount(); ++row) {
            if (!rows->IsNull(row, owner)) {
                const QByteArrayView raw = rows->Raw(row, owner);
                keys[std::size_t(row)] = std::string_view(raw.data(), std::size_t(raw.size()));
            }
        }
        // Equal owners keep the source's order.
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const int c = keys[std::size_t(a)].compare(keys[std::size_t(b)]);
            return c < 0 || (c == 0 && a < b);
        });
    }
    QByteArray chunk;
    constexpr qsizetype kChunkBytes = 1 << 20;
    chunk.reserve(kChunkBytes + 4096);
    for (int i = 0; i < rows->RowCount(); ++i) {
        const int r = order[std::size_t(i)];
        for (std::size_t f = 0; f < kFields.size(); ++f) {
            if (f)
                chunk += '\t';
            const int c = columns[f];
            if (rows->IsNull(r, c))
                chunk += "\\N";
            else if (rows->Columns()[std::size_t(c)].DataType == ftString)
                AppendCopyValue(chunk, rows->Raw(r, c));
            else
                AppendCopyValue(chunk, rows->Text(r, c).toUtf8());
        }
        chunk += '\n';
        if (chunk.size() >= kChunkBytes) {
            server.Put(chunk);
            chunk.clear();
            report(TStage::Copying, i + 1, total);
        }
    }
    if (!chunk.isEmpty())
        server.Put(chunk);
    server.EndCopy();
    server.Exec(QStringLiteral("COMMIT"));
    report(TStage::Copying, total, total);
    rows.reset();

    const QStringList indexes = IndexStatements(kLoading);
    report(TStage::Indexing, 0, indexes.size());
    RunOnAll({&server, &helper}, indexes, [&](qint64 done) { report(TStage::Indexing, done, indexes.size()); });
    server.Exec(QStringLiteral("ANALYZE ") + kLoading);

    server.Exec(QStringLiteral("BEGIN"));
    // Who may read the old table may read the new one.
    const QStringList grants = server.Exec(QStringLiteral(
        "SELECT format('GRANT %s ON kray__loading TO %s', a.privilege_type,"
        " CASE WHEN a.grantee = 0 THEN 'PUBLIC' ELSE quote_ident(r.rolname) END)"
        " FROM pg_class c CROSS JOIN LATERAL aclexplode(c.relacl) a LEFT JOIN pg_roles r ON r.oid = a.grantee"
        " WHERE c.oid = to_regclass('kray') AND a.grantee <> c.relowner"));
    for (const QString& grant : grants)
        server.Exec(grant);

    server.Exec(QStringLiteral("DROP TABLE IF EXISTS ") + kTable);
    server.Exec(QStringLiteral("ALTER TABLE ") + kLoading + QStringLiteral(" RENAME TO ") + kTable);
    const QStringList names = server.Exec(
        QStringLiteral("SELECT indexrelid::regclass::text FROM pg_index WHERE indrelid = 'kray'::regclass"));
    for (const QString& index : names) {
        if (index.startsWith(kLoading))
            server.Exec(QStringLiteral("ALTER INDEX %1 RENAME TO %2").arg(index, kTable + index.mid(kLoading.size())));
    }
    server.Exec(QStringLiteral("COMMIT"));
    replaced = true;
    return total;
}
