// The search index on a generated directory (2 000 000 entries unless told otherwise), in one
// process: building it in the background, its memory beside the text it indexes, and each kind of
// search the window composes, alone and combined (the search run as the window runs it, until the
// count and the first screen of rows are ready), beside the same search without the index and a
// plain sqlite3 count(*) LIKE scan of the same file in the same run; then SortBy on the owner name
// of a result holding every entry.
// Usage: bench_index [rows] [folder for the generated file]
// The file is kept in the folder (default: the system's temporary folder) and reused.

#include "SqliteDirectory.h"
#include "TDemoDirectory.h"
#include "TDirectoryIndex.h"
#include "TDirectorySearch.h"
#include "TSearchCriteria.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <string>

namespace {

double BestMs(int runs, const std::function<void()>& work)
{
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer t;
        t.start();
        work();
        best = std::min(best, double(t.nsecsElapsed()) / 1e6);
    }
    return best;
}

std::size_t ResidentBytes()
{
    malloc_trim(0);
    long size = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &size, &resident) != 2)
            resident = 0;
        std::fclose(f);
    }
    return std::size_t(resident) * std::size_t(sysconf(_SC_PAGESIZE));
}

struct TKind
{
    const char* Name;
    TSearchCriteria Criteria;
    std::string Where; // the same search as a plain sqlite3 LIKE
};

// A search as the window runs it: the statement opened, the count read, the first screen's values
// read.
int RunSearch(TDirectorySearch& directory, const TSearchCriteria& criteria)
{
    directory.Search(criteria);
    TADOQuery& query = directory.ADOQuery1;
    const int count = query.RecordCount();
    query.MoveFirst();
    for (int r = 0; r < 60 && !query.AtEnd(); ++r, query.MoveNext())
        for (int f = 0; f < query.FieldCount(); ++f)
            (void)query.Field(f)->PlainText();
    return count;
}

TSearchCriteria Criteria(std::function<void(TSearchCriteria&)> set)
{
    TSearchCriteria c;
    set(c);
    return c;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int rows = argc > 1 ? std::atoi(argv[1]) : 2000000;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QDir::tempPath();
    const QString path = QDir(folder).filePath(QStringLiteral("bench_index_%1.mdb").arg(rows));
    if (!QFileInfo::exists(path)) {
        std::printf("generating %s ...\n", qPrintable(path));
        std::fflush(stdout);
        TDemoDirectory::Write(path, rows, true); // as the program's demo directory: owners indexed
    }

    // Values that exist in the file, for the exact searches.
    std::string someOwner, someNumber;
    {
        TSqliteFile file(path, TSqliteFile::ReadOnly);
        TSqliteStatement s = file.Prepare("SELECT vlad, numer FROM kray WHERE rowid = 1234");
        if (s.Step()) {
            someOwner = reinterpret_cast<const char*>(sqlite3_column_text(s.Handle(), 0));
            someNumber = reinterpret_cast<const char*>(sqlite3_column_text(s.Handle(), 1));
        }
    }
    const QString owner = QString::fromStdString(someOwner), number = QString::fromStdString(someNumber);
    const auto quoted = [](const std::string& text) { return "'" + text + "'"; };
    const TKind kinds[] = {
        {"owner at the start", Criteria([](auto& c) { c.Fio = "Иванов"; }), "vlad LIKE 'Иванов%'"},
        {"owner anywhere", Criteria([](auto& c) { c.Fio = "иван", c.FioStyle = 1; }), "vlad LIKE '%иван%'"},
        {"owner exact", Criteria([&](auto& c) { c.Fio = owner, c.FioStyle = 2; }), "vlad = " + quoted(someOwner)},
        {"street anywhere", Criteria([](auto& c) { c.Street = "Мира"; }), "street LIKE '%Мира%'"},
        {"house at the start", Criteria([](auto& c) { c.Dom = "12"; }), "numhome LIKE '12%'"},
        {"flat at the start", Criteria([](auto& c) { c.Kvart = "15"; }), "numdoor LIKE '15%'"},
        {"telephone anywhere", Criteria([](auto& c) { c.Phone = "34-5"; }), "numer LIKE '%34-5%'"},
        {"telephone exact", Criteria([&](auto& c) { c.Phone = number, c.Discrete = true; }),
         "numer = " + quoted(someNumber)},
        {"owner + street", Criteria([](auto& c) { c.Fio = "Петров", c.Street = "Ленина"; }),
         "vlad LIKE 'Петров%' AND street LIKE '%Ленина%'"},
        {"street + house + flat", Criteria([](auto& c) { c.Street = "Мира", c.Dom = "1", c.Kvart = "1"; }),
         "street LIKE '%Мира%' AND numhome LIKE '1%' AND numdoor LIKE '1%'"},
        {"every entry", Criteria([](auto& c) { c.Fio = "%", c.FioStyle = 1; }), "vlad LIKE '%%%'"},
    };

    std::printf("directory: %d entries, %s (%.0f MB)\n", rows, qPrintable(path), double(QFileInfo(path).size()) / 1e6);

    TDirectorySearch plain;
    plain.Connect(path);
    TDirectorySearch indexed;
    const std::size_t before = ResidentBytes();
    QElapsedTimer build;
    build.start();
    indexed.Connect(path);
    indexed.StartIndexing();
    indexed.WaitForIndex();
    const double buildMs = double(build.nsecsElapsed()) / 1e6;
    const std::size_t after = ResidentBytes();
    const auto index = indexed.ADOConnection1.Index();
    if (!index) {
        std::printf("the index could not be built\n");
        return 1;
    }
    std::printf("index: built in %.0f ms (background); %.1f MB held for %.1f MB of text = %.2f x (target <= 1.5 x); "
                "resident memory grew by %.1f MB\n\n",
                buildMs, double(index->MemoryUsed()) / 1e6, double(index->TextBytes()) / 1e6,
                double(index->MemoryUsed()) / double(index->TextBytes()), (double(after) - double(before)) / 1e6);

    TSqliteFile file(path, TSqliteFile::ReadOnly);
    std::printf("%-24s %9s %12s %12s %12s  %s\n", "search", "found", "index ms", "no index ms", "sqlite3 ms", "target");
    for (const TKind& kind : kinds) {
        int found = 0, plainFound = 0;
        const double withIndex = BestMs(5, [&] { found = RunSearch(indexed, kind.Criteria); });
        const TSelectStatement statement = ParseSelectStatement(ComposeSearchStatement(kind.Criteria));
        const double selectOnly = BestMs(5, [&] { index->Select(statement, nullptr); });
        std::printf("    (index Select alone %.1f ms)\n", selectOnly);
        const bool skipPlain = qEnvironmentVariableIsSet("BENCH_INDEX_ONLY");
        const double without = skipPlain ? 0 : BestMs(1, [&] { plainFound = RunSearch(plain, kind.Criteria); });
        if (skipPlain)
            plainFound = found;
        long long scanned = 0;
        const double scan =
            skipPlain ? 0
                      : BestMs(1, [&] { scanned = file.QueryNumber("SELECT count(*) FROM kray WHERE " + kind.Where); });
        const bool all = std::string(kind.Name) == "every entry";
        std::printf("%-24s %9d %12.1f %12.1f %12.1f  <= %d ms%s%s\n", kind.Name, found, withIndex, without, scan,
                    all ? 150 : 50, found != plainFound ? "  (COUNTS DIFFER)" : "",
                    (all ? withIndex > 150 : withIndex > 50) ? "  (MISSED)" : "");
        (void)scanned;
    }

    // Sorting every entry by the owner, as a click on the title does.
    RunSearch(indexed, kinds[std::size(kinds) - 1].Criteria);
    const double sortIndexed = BestMs(3, [&] { indexed.SortBy(QStringLiteral("vlad")); });
    RunSearch(plain, kinds[std::size(kinds) - 1].Criteria);
    const double sortPlain = BestMs(1, [&] { plain.SortBy(QStringLiteral("vlad")); });
    const double sortScan = BestMs(
        1, [&] { file.QueryNumber("SELECT count(*) FROM (SELECT vlad FROM kray ORDER BY vlad COLLATE NOCASE)"); });
    std::printf("\nSortBy owner of %d records: %.0f ms with ranks, %.0f ms comparing texts; sqlite3 ORDER BY %.0f ms "
                "(target <= 500 ms)\n",
                indexed.ADOQuery1.RecordCount(), sortIndexed, sortPlain, sortScan);
    return 0;
}
