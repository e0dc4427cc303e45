// The PostgreSQL directory engine on a generated demo directory: the load with --load-into's
// loader into a throwaway local server, then each kind of search the window composes, timed from
// the statement to the open result (its RecordCount known), beside the same search on the SQLite
// file the directory was loaded from.
// Usage: bench_postgres ROWS [folder [--hold]]
//   ROWS: entries of the demo directory (10000000 for the office-sized directory);
//   folder: where the SQLite file is kept and reused (default: the system's temporary folder).
// The server runs with fsync off (a throwaway server); its data folder is removed at the end
// (with --hold only once standard input ends, so that its plans can be looked at meanwhile).

#include "PostgresServer.h"
#include "TADOConnection.h"
#include "TADOQuery.h"
#include "TDemoDirectory.h"
#include "TPostgresLoader.h"
#include "TSearchCriteria.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <cstdio>
#include <functional>

namespace {

struct TSearch
{
    const char* Kind;
    TSearchCriteria Criteria;
};

TSearchCriteria Criteria(const std::function<void(TSearchCriteria&)>& fill)
{
    TSearchCriteria c;
    fill(c);
    return c;
}

// Wall milliseconds of the best of three opens of the statement, and its count.
std::pair<double, int> Time(TADOQuery& query, const QString& statement)
{
    double best = 1e300;
    int count = 0;
    for (int run = 0; run < 3; ++run) {
        query.Close();
        query.SetSQL(statement);
        QElapsedTimer timer;
        timer.start();
        query.Open();
        count = query.RecordCount();
        best = std::min(best, double(timer.nsecsElapsed()) / 1e6);
    }
    query.Close();
    return {best, count};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_postgres ROWS [folder]\n");
        return 2;
    }
    const qint64 rows = QString::fromLocal8Bit(argv[1]).toLongLong();
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    const bool hold = argc > 3 && qstrcmp(argv[3], "--hold") == 0; // keep the server for a look at its plans
    const QString file = QDir(folder).filePath(QStringLiteral("bench_postgres_%1.sqlite").arg(rows));
    if (!QFileInfo::exists(file)) {
        std::printf("generating %s ...\n", qPrintable(file));
        std::fflush(stdout);
        QElapsedTimer timer;
        timer.start();
        TDemoDirectory::Write(file, rows, true);
        std::printf("  generated in %.1f s\n", double(timer.elapsed()) / 1e3);
    }

    std::printf("starting a server ...\n");
    std::fflush(stdout);
    TPostgresServer server({QStringLiteral("-c shared_buffers=1GB -c max_wal_size=8GB")});
    const QString uri = server.Uri();

    QElapsedTimer timer;
    timer.start();
    double copied = 0, read = 0;
    TPostgresLoader::Load(file, uri, [&](TPostgresLoader::TStage stage, qint64 done, qint64 total) {
        const double s = double(timer.elapsed()) / 1e3;
        if (stage == TPostgresLoader::TStage::Copying && done == total && copied == 0) {
            copied = s;
            std::printf("  rows copied at %.1f s\n", s);
        } else if (stage == TPostgresLoader::TStage::Copying && read == 0) {
            read = s;
            std::printf("  source read at %.1f s\n", s);
        } else if (stage == TPostgresLoader::TStage::Indexing && done > 0) {
            std::printf("  %lld of %lld indexes made at %.1f s\n", done, total, s);
        }
        std::fflush(stdout);
    });
    std::printf("load of %lld entries: %.1f s\n\n", rows, double(timer.elapsed()) / 1e3);

    // A full name and a telephone number that are in the directory.
    QString fullName, number;
    {
        TDemoDirectory demo;
        TDemoRow row;
        for (int i = 0; i < 12345; ++i)
            demo.NextRow(row);
        fullName = QString::fromStdString(row.Vlad);
        number = QString::fromStdString(row.Numer);
    }
    const TSearch searches[] = {
        {"owner at the start, surname", Criteria([](auto& c) { c.Fio = QStringLiteral("Иванов"); })},
        {"owner at the start, name", Criteria([](auto& c) { c.Fio = QStringLiteral("Иванов Иван"); })},
        {"owner at the start, rare", Criteria([](auto& c) { c.Fio = QStringLiteral("Ёлкин Пётр"); })},
        {"owner anywhere", Criteria([](auto& c) {
             c.Fio = QStringLiteral("петрович");
             c.FioStyle = 1;
         })},
        {"owner anywhere, rare", Criteria([](auto& c) {
             c.Fio = QStringLiteral("ромашка");
             c.FioStyle = 1;
         })},
        {"owner exact", Criteria([&](auto& c) {
             c.Fio = fullName;
             c.FioStyle = 2;
         })},
        {"street anywhere", Criteria([](auto& c) { c.Street = QStringLiteral("мира"); })},
        {"street + house + flat", Criteria([](auto& c) {
             c.Street = QStringLiteral("мира");
             c.Dom = QStringLiteral("12");
             c.Kvart = QStringLiteral("5");
         })},
        {"house at the start", Criteria([](auto& c) { c.Dom = QStringLiteral("12"); })},
        {"flat at the start", Criteria([](auto& c) { c.Kvart = QStringLiteral("299"); })},
        {"phone anywhere", Criteria([](auto& c) { c.Phone = QStringLiteral("34-56"); })},
        {"phone anywhere, long", Criteria([&](auto& c) { c.Phone = number.mid(1); })},
        {"phone exact", Criteria([&](auto& c) {
             c.Phone = number;
             c.Discrete = true;
         })},
    };

    TADOConnection onServer, onFile;
    onServer.SetConnectionString(TADOConnection::ConnectionStringFor(uri));
    onFile.SetConnectionString(TADOConnection::ConnectionStringFor(file));
    TADOQuery serverQuery, fileQuery;
    serverQuery.SetConnection(&onServer);
    fileQuery.SetConnection(&onFile);
    std::printf("%-30s %10s %12s %12s\n", "search", "found", "PostgreSQL", "SQLite");
    for (const TSearch& search : searches) {
        const QString statement = ComposeSearchStatement(search.Criteria);
        const auto [serverMs, serverCount] = Time(serverQuery, statement);
        const auto [fileMs, fileCount] = Time(fileQuery, statement);
        std::printf("%-30s %10d %9.1f ms %9.1f ms%s\n", search.Kind, serverCount, serverMs, fileMs,
                    serverCount == fileCount ? "" : "  (counts differ!)");
        std::fflush(stdout);
    }
    if (hold) {
        std::printf("\nthe server stays at %s until standard input ends\n", qPrintable(uri));
        std::fflush(stdout);
        while (std::getchar() != EOF) {
        }
    }
    return 0;
}
