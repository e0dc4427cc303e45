// Cost of matching one directory value, in nanoseconds of processor time, over a million generated entries:
//   bench_matcher [rows]
// For each pattern it prints the byte-wise UTF-8 path (what the engines call per row), the UTF-16
// path on a ready QString, and decoding to QString first (the cost the UTF-8 path avoids). It then
// reads the same column from a generated SQLite file with a plain sqlite3 loop, with and without the
// matcher, since a search's scan has to stay close to that loop. Last, patterns full of wildcards,
// as long as an edit holds: the time and heap a matcher takes to build, and its cost per value.

#include "SqliteDirectory.h"
#include "TDemoDirectory.h"
#include "TTextMatcher.h"

#include <QString>
#include <QTemporaryDir>

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

// Values of one column packed end to end, as a result table keeps them.
struct TColumn
{
    std::string Bytes;
    std::vector<std::size_t> Ends;
    std::size_t Size() const { return Ends.size(); }
    const char* Data(std::size_t i) const { return Bytes.data() + (i ? Ends[i - 1] : 0); }
    qsizetype Length(std::size_t i) const { return qsizetype(Ends[i] - (i ? Ends[i - 1] : 0)); }
};

// This thread's processor time: steadier than wall time on a machine shared with other work.
double CpuNs()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e9 + double(now.tv_nsec);
}

// Best of a few runs, in nanoseconds of processor time per row.
double NsPerRow(std::size_t rows, const std::function<std::size_t()>& run, std::size_t& hits)
{
    double best = 1e30;
    for (int round = 0; round < 5; ++round) {
        const double start = CpuNs();
        hits = run();
        best = std::min(best, (CpuNs() - start) / double(rows));
    }
    return best;
}

// printf pads by bytes; pad UTF-8 text by characters.
std::string Padded(const char* text, int width)
{
    std::string out(text);
    int characters = 0;
    for (const char* p = text; *p; ++p)
        characters += (*p & 0xC0) != 0x80;
    out.append(std::size_t(std::max(0, width - characters)), ' ');
    return out;
}

struct TCase
{
    const char* Pattern;
    TCondition::Op Op;
    int Column; // 0 numer, 1 vlad, 2 street
    const char* ColumnName;
};

} // namespace

int main(int argc, char** argv)
{
    const std::size_t rows = argc > 1 ? std::size_t(std::strtoull(argv[1], nullptr, 10)) : 1000000;
    std::printf("Generating %zu entries...\n", rows);

    TColumn columns[3];
    std::vector<QString> strings[3];
    {
        TDemoDirectory generator;
        TDemoRow row;
        for (std::size_t i = 0; i < rows; ++i) {
            generator.NextRow(row);
            const std::string* values[] = {&row.Numer, &row.Vlad, &row.Street};
            for (int c = 0; c < 3; ++c) {
                columns[c].Bytes += *values[c];
                columns[c].Ends.push_back(columns[c].Bytes.size());
                strings[c].push_back(QString::fromStdString(*values[c]));
            }
        }
    }

    const TCase cases[] = {
        {"%мира%", TCondition::Like, 2, "street"},
        {"иван%", TCondition::Like, 1, "vlad"},
        {"%ова_", TCondition::Like, 1, "vlad"},
        {"%иван%", TCondition::Like, 1, "vlad"},
        {"%ёлоч%", TCondition::Like, 1, "vlad"},
        {"%34-5%", TCondition::Like, 0, "numer"},
        {"петров пётр петрович", TCondition::Equal, 1, "vlad"},
    };

    std::printf("\n%-24s %-7s %8s %12s %12s %14s\n", "pattern", "field", "matches", "UTF-8 ns", "QString ns",
                "decode+match ns");
    for (const TCase& c : cases) {
        const TTextMatcher matcher(QString::fromUtf8(c.Pattern), c.Op);
        const TColumn& column = columns[c.Column];
        const std::vector<QString>& texts = strings[c.Column];
        std::size_t hits = 0, hits16 = 0, hitsDecoded = 0;
        const double utf8 = NsPerRow(
            rows,
            [&] {
                std::size_t n = 0;
                for (std::size_t i = 0; i < column.Size(); ++i)
                    n += matcher.MatchesUtf8(column.Data(i), column.Length(i));
                return n;
            },
            hits);
        const double utf16 = NsPerRow(
            rows,
            [&] {
                std::size_t n = 0;
                for (const QString& text : texts)
                    n += matcher.Matches(text);
                return n;
            },
            hits16);
        const double decoded = NsPerRow(
            rows,
            [&] {
                std::size_t n = 0;
                for (std::size_t i = 0; i < column.Size(); ++i)
                    n += matcher.Matches(QString::fromUtf8(column.Data(i), column.Length(i)));
                return n;
            },
            hitsDecoded);
        std::printf("%s %-7s %8zu %12.1f %12.1f %14.1f%s\n", Padded(c.Pattern, 24).c_str(), c.ColumnName, hits, utf8,
                    utf16, decoded, hits == hits16 && hits == hitsDecoded ? "" : "  PATHS DISAGREE");
    }

    // The floor: a plain sqlite3 loop over a generated file.
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("kray.mdb"));
    TDemoDirectory::Write(path, std::int64_t(rows), false);
    TSqliteFile db(path, TSqliteFile::ReadOnly);
    std::printf("\nsqlite3 scan of the file (ns per row)\n%-24s %-7s %10s %14s %8s\n", "pattern", "field", "plain loop",
                "loop + match", "ratio");
    for (const TCase& c : cases) {
        const TTextMatcher matcher(QString::fromUtf8(c.Pattern), c.Op);
        const std::string sql = std::string("SELECT ") + c.ColumnName + " FROM kray";
        const auto scan = [&](bool match) {
            TSqliteStatement statement = db.Prepare(sql);
            std::size_t n = 0;
            while (statement.Step()) {
                const char* text = reinterpret_cast<const char*>(sqlite3_column_text(statement.Handle(), 0));
                const int size = sqlite3_column_bytes(statement.Handle(), 0);
                n += match ? matcher.MatchesUtf8(text, size) : std::size_t(size > 0);
            }
            return n;
        };
        // Alternate the two loops so that a burst of other work on the machine hits both alike.
        double plain = 1e30, matched = 1e30;
        for (int round = 0; round < 7; ++round) {
            double start = CpuNs();
            scan(false);
            plain = std::min(plain, (CpuNs() - start) / double(rows));
            start = CpuNs();
            scan(true);
            matched = std::min(matched, (CpuNs() - start) / double(rows));
        }
        std::printf("%s %-7s %10.1f %14.1f %8.2f\n", Padded(c.Pattern, 24).c_str(), c.ColumnName, plain, matched,
                    matched / plain);
    }
    db.Close();

    // Patterns of wildcards as long as an edit holds (32 767 characters).
    struct TWildCase
    {
        const char* Name;
        QString Pattern;
    };
    const auto repeated = [](const char* piece, int times) { return QString::fromUtf8(piece).repeated(times); };
    const TWildCase wild[] = {
        {"32 767 x %", QString(32767, u'%')},
        {"%и%ван% + 32 760 x %", QStringLiteral("%и%ван") + QString(32761, u'%')},
        {"16 383 x %_", repeated("%_", 16383) + u'%'},
        {"16 383 x %а", repeated("%а", 16383) + u'%'},
    };
    // Each matcher is built once more in a child process, whose peak resident size (less that of a
    // child that builds nothing) is the memory the build needed at its worst.
    const auto peakKb = [](const std::function<void()>& work) {
        const pid_t child = fork();
        if (child == 0) {
            work();
            _exit(0);
        }
        int status = 0;
        rusage usage{};
        wait4(child, &status, 0, &usage);
        return double(usage.ru_maxrss);
    };
    const double idleKb = peakKb([] {});
    std::printf("\nwildcard runs (vlad)\n%-24s %10s %10s %10s %8s %10s\n", "pattern", "build ms", "peak KB", "kept KB",
                "matches", "UTF-8 ns");
    const TColumn& vlad = columns[1];
    const std::size_t sample = std::min<std::size_t>(rows, 100000);
    for (const TWildCase& c : wild) {
        const std::size_t heapBefore = mallinfo2().uordblks + mallinfo2().hblkhd;
        const double start = CpuNs();
        const auto matcher = std::make_unique<TTextMatcher>(c.Pattern, TCondition::Like);
        const double buildMs = (CpuNs() - start) / 1e6;
        const std::size_t heapAfter = mallinfo2().uordblks + mallinfo2().hblkhd;
        const double peak = peakKb([&] { TTextMatcher again(c.Pattern, TCondition::Like); }) - idleKb;
        std::size_t hits = 0;
        const double utf8 = NsPerRow(
            sample,
            [&] {
                std::size_t n = 0;
                for (std::size_t i = 0; i < sample; ++i)
                    n += matcher->MatchesUtf8(vlad.Data(i), vlad.Length(i));
                return n;
            },
            hits);
        std::printf("%s %10.1f %10.0f %10.0f %8zu %10.1f\n", Padded(c.Name, 24).c_str(), buildMs, std::max(0.0, peak),
                    double(heapAfter - heapBefore) / 1024.0, hits, utf8);
    }
    return 0;
}
