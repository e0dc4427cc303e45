#pragma once
// A throwaway PostgreSQL server for the tests of one test program: initdb into a temporary folder,
// started by pg_ctl on a Unix socket in that folder (no TCP port), made on first use and stopped
// and removed when the program ends, even after a failed test (a gtest environment, and the
// destructor). Run as root, the server runs as the system user "postgres" (initdb refuses root).
//
//     const QString uri = PostgresServer().Uri();   // postgresql:///phonebook?host=<folder>
//     PostgresServer().Sql("CREATE TABLE kray (...)");
//
// Users: "postgres" (trusted, the superuser) and "pb_secret" with the password "секрет"
// (scram-sha-256), for the wrong-password fault.

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <libpq-fe.h>
#include <unistd.h>

#include <memory>
#include <stdexcept>
#include <string>

class TPostgresServer
{
public:
    // Extra settings for the server ("-c shared_buffers=1GB"), added to its command line.
    explicit TPostgresServer(const QStringList& serverOptions = {})
    {
        const QStringList found =
            QDir(QStringLiteral("/usr/lib/postgresql")).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (auto it = found.rbegin(); it != found.rend(); ++it) {
            const QString bin = QStringLiteral("/usr/lib/postgresql/") + *it + QStringLiteral("/bin/");
            if (QFileInfo::exists(bin + QStringLiteral("initdb"))) {
                fBin = bin;
                break;
            }
        }
        if (fBin.isEmpty())
            throw std::runtime_error("No PostgreSQL server binaries under /usr/lib/postgresql/*/bin: install the "
                                     "packages postgresql and libpq-dev (tools/deps.sh)");
        fDir = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/pb-postgres-XXXXXX"));
        if (!fDir->isValid())
            throw std::runtime_error("cannot make a folder for the test server");
        fRoot = fDir->path();
        if (geteuid() == 0)
            Run(QStringLiteral("chown"), {QStringLiteral("-R"), QStringLiteral("postgres:postgres"), fRoot}, false);
        const QString data = fRoot + QStringLiteral("/data");
        Run(fBin + QStringLiteral("initdb"),
            {QStringLiteral("-D"), data, QStringLiteral("-U"), QStringLiteral("postgres"), QStringLiteral("-E"),
             QStringLiteral("UTF8"), QStringLiteral("--locale=C.UTF-8"), QStringLiteral("-A"),
             QStringLiteral("trust")});
        QFile hba(data + QStringLiteral("/pg_hba.conf"));
        if (!hba.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw std::runtime_error("cannot write pg_hba.conf");
        hba.write("local all pb_secret scram-sha-256\nlocal all all trust\n");
        hba.close();
        Run(fBin + QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), data, QStringLiteral("-l"), fRoot + QStringLiteral("/log"), QStringLiteral("-w"),
             QStringLiteral("-o"),
             QStringLiteral("-k %1 -c listen_addresses='' -c fsync=off -c full_page_writes=off ").arg(fRoot)
                 + serverOptions.join(u' '),
             QStringLiteral("start")});
        fStarted = true;
        Sql("CREATE DATABASE phonebook", QStringLiteral("postgres"));
        Sql("CREATE ROLE pb_secret LOGIN PASSWORD 'секрет'; GRANT pg_read_all_data TO pb_secret");
    }
    ~TPostgresServer() { Stop(); }
    TPostgresServer(const TPostgresServer&) = delete;
    TPostgresServer& operator=(const TPostgresServer&) = delete;

    void Stop() noexcept
    {
        if (!fStarted)
            return;
        fStarted = false;
        try {
            Run(fBin + QStringLiteral("pg_ctl"),
                {QStringLiteral("-D"), fRoot + QStringLiteral("/data"), QStringLiteral("-m"),
                 QStringLiteral("immediate"), QStringLiteral("-w"), QStringLiteral("stop")});
        } catch (...) {
        }
        fDir.reset();
    }

    // The folder of the server's socket.
    const QString& SocketFolder() const { return fRoot; }
    QString Uri(const QString& database = QStringLiteral("phonebook"),
                const QString& user = QStringLiteral("postgres")) const
    {
        return QStringLiteral("postgresql://%1@/%2?host=%3").arg(user, database, fRoot);
    }

    // Runs SQL as the superuser; fails the test program with the server's message.
    void Sql(const std::string& sql, const QString& database = QStringLiteral("phonebook")) const
    {
        PGconn* conn = PQconnectdb(Uri(database).toUtf8().constData());
        std::string error;
        if (PQstatus(conn) != CONNECTION_OK) {
            error = PQerrorMessage(conn);
        } else {
            PQclear(PQexec(conn, "SET client_min_messages = warning"));
            PGresult* r = PQexec(conn, sql.c_str());
            const ExecStatusType status = PQresultStatus(r);
            if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK && status != PGRES_COPY_IN)
                error = PQresultErrorMessage(r);
            PQclear(r);
        }
        PQfinish(conn);
        if (!error.empty())
            throw std::runtime_error("test server: " + sql.substr(0, 200) + ": " + error);
    }

    // The first value of a query's first row, as text.
    std::string Value(const std::string& sql) const
    {
        PGconn* conn = PQconnectdb(Uri().toUtf8().constData());
        PGresult* r = PQexec(conn, sql.c_str());
        std::string value = PQresultStatus(r) == PGRES_TUPLES_OK && PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
        const std::string error = PQresultStatus(r) == PGRES_TUPLES_OK ? "" : PQerrorMessage(conn);
        PQclear(r);
        PQfinish(conn);
        if (!error.empty())
            throw std::runtime_error("test server: " + sql + ": " + error);
        return value;
    }

private:
    // Runs a server program, as "postgres" when we are root.
    void Run(const QString& program, const QStringList& arguments, bool asServerUser = true) const
    {
        QProcess process;
        if (asServerUser && geteuid() == 0) {
            process.setProgram(QStringLiteral("runuser"));
            process.setArguments(
                QStringList{QStringLiteral("-u"), QStringLiteral("postgres"), QStringLiteral("--"), program}
                + arguments);
        } else {
            process.setProgram(program);
            process.setArguments(arguments);
        }
        process.setWorkingDirectory(fRoot.isEmpty() ? QDir::tempPath() : fRoot);
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.start();
        if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
            throw std::runtime_error(("test server: " + program + u' ' + arguments.join(u' ') + QStringLiteral(": ")
                                      + QString::fromLocal8Bit(process.readAll()))
                                         .toStdString());
    }

    QString fBin;
    std::unique_ptr<QTemporaryDir> fDir;
    QString fRoot;
    bool fStarted = false;
};

namespace PostgresServerDetail {
inline std::unique_ptr<TPostgresServer>& Instance()
{
    static std::unique_ptr<TPostgresServer> server;
    return server;
}

// Stops the server when the test program ends, whatever the tests did.
class TEnvironment : public ::testing::Environment
{
public:
    void TearDown() override { Instance().reset(); }
};

inline const bool kRegistered = (::testing::AddGlobalTestEnvironment(new TEnvironment), true);
} // namespace PostgresServerDetail

// The test program's one server, started on first use.
inline TPostgresServer& PostgresServer()
{
    auto& server = PostgresServerDetail::Instance();
    if (!server)
        server = std::make_unique<TPostgresServer>();
    return *server;
}
