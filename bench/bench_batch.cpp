// Batch lookups (--batch) on the generated 2 000 000-entry directory: 1 000 mixed search lines
// (owner at the start, anywhere and exact; street; house; flat; telephone anywhere and exact; and
// combinations of them), their values taken from the directory's own entries so that they find
// something, run through the program's batch code in this process; beside them the floor, the
// same searches as plain sqlite3 "SELECT count(*) FROM kray WHERE ... LIKE ..." scans of the file.
// Target: the batch takes at most 1/10 of the floor's time.
// Usage: bench_batch [folder for the generated file] [lines timed, default 50; 1000 for all]
// The batch runs all 1 000 lines, its index built first (the batch waits for it, and the time counts);
// of the floor a sample of the lines (one of every n, all kinds in turn) is timed and scaled to
// 1 000 lines; the output says so. The file is kept in the folder (default: the system's temporary folder) and
// reused, as engine_bench's directory_2000000.db.

#include "SqliteDirectory.h"
#include "TBatchRun.h"
#include "TCommandLine.h"
#include "TDBGridEhClipboard.h"
#include "TDemoDirectory.h"
#include "TGridResourcesEh.h"
#include "TSearchCriteria.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 2000000;
constexpr int kLines = 1000;

double ProcessCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
}

// A value as one word of a batch line: in double quotes, with the quotes and backslashes escaped.
QString Quoted(const QString& value)
{
    QString escaped = value;
    escaped.replace(u'\\', QStringLiteral("\\\\")).replace(u'"', QStringLiteral("\\\""));
    return u'"' + escaped + u'"';
}

struct TEntry
{
    QString Numer, Vlad, Street, NumHome, NumDoor;
};

// Entries of the directory at random rows, the same ones on every run.
std::vector<TEntry> SampleEntries(const QString& path, int count)
{
    TSqliteFile file(path, TSqliteFile::Immutable);
    TSqliteStatement statement =
        file.Prepare("SELECT numer, vlad, street, numhome, numdoor FROM kray WHERE rowid = ?1");
    std::mt19937 random(20261210);
    std::uniform_int_distribution<int> row(1, kRows);
    std::vector<TEntry> entries;
    while (int(entries.size()) < count) {
        statement.BindText(1, std::to_string(row(random)).c_str());
        if (statement.Step()) {
            auto text = [&](int c) {
                return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(statement.Handle(), c)));
            };
            entries.push_back({text(0), text(1), text(2), text(3), text(4)});
        }
        statement.Reset();
    }
    return entries;
}

// The word of a text at a position, or the whole text.
QString Word(const QString& text, int index)
{
    const QStringList words = text.split(u' ', Qt::SkipEmptyParts);
    return index < words.size() ? words[index] : text;
}

// The street's name without its kind ("ул. Мира" -> "Мира").
QString StreetName(const QString& street)
{
    const qsizetype blank = street.indexOf(u' ');
    return blank < 0 ? street : street.mid(blank + 1);
}

// One search line of each kind in turn, its values from one entry each.
QStringList MakeLines(const std::vector<TEntry>& entries)
{
    QStringList lines;
    for (int i = 0; i < kLines; ++i) {
        const TEntry& e = entries[std::size_t(i)];
        const QString dom = e.NumHome.isEmpty() ? QStringLiteral("1") : e.NumHome;
        switch (i % 10) {
        case 0: // an owner's surname, at the start
            lines << QStringLiteral("--fio ") + Quoted(Word(e.Vlad, 0));
            break;
        case 1: // a name anywhere in the owner
            lines << QStringLiteral("--fio ") + Quoted(Word(e.Vlad, 1)) + QStringLiteral(" --fio-style anywhere");
            break;
        case 2: // the whole owner
            lines << QStringLiteral("--fio ") + Quoted(e.Vlad) + QStringLiteral(" --fio-style exact");
            break;
        case 3: // a street
            lines << QStringLiteral("--street ") + Quoted(StreetName(e.Street));
            break;
        case 4: // an address: street and house
            lines << QStringLiteral("--street ") + Quoted(StreetName(e.Street)) + QStringLiteral(" --dom ")
                         + Quoted(dom);
            break;
        case 5: // a full address
            lines << QStringLiteral("--street ") + Quoted(StreetName(e.Street)) + QStringLiteral(" --dom ")
                         + Quoted(dom) + QStringLiteral(" --kvart ") + Quoted(e.NumDoor);
            break;
        case 6: // the end of a telephone number, anywhere
            lines << QStringLiteral("--phone ") + Quoted(e.Numer.right(5));
            break;
        case 7: // a telephone number, exactly
        case 8:
            lines << QStringLiteral("--phone ") + Quoted(e.Numer) + QStringLiteral(" --exact-phone");
            break;
        default: // an owner on a street
            lines << QStringLiteral("--fio ") + Quoted(Word(e.Vlad, 0)) + QStringLiteral(" --street ")
                         + Quoted(StreetName(e.Street));
            break;
        }
    }
    return lines;
}

// The floor of one line: its criteria as one plain count(*) statement with bound LIKE patterns.
long long PlainCount(TSqliteFile& file, const QString& line)
{
    const TSearchCriteria c = ParseCommandLine(SplitBatchLine(line), TCommandLineScope::BatchLine).Criteria;
    std::string sql = "SELECT count(*) FROM kray WHERE 1";
    std::vector<std::string> values;
    auto add = [&](const char* condition, const QString& value) {
        sql += std::string(" AND ") + condition + " ?" + std::to_string(values.size() + 1);
        values.push_back(value.toStdString());
    };
    if (!c.Fio.isEmpty()) {
        if (c.FioStyle == 2)
            add("vlad =", c.Fio);
        else
            add("vlad LIKE", (c.FioStyle == 1 ? QStringLiteral("%") : QString()) + c.Fio + u'%');
    }
    if (!c.Street.isEmpty())
        add("street LIKE", u'%' + c.Street + u'%');
    if (!c.Dom.isEmpty())
        add("numhome LIKE", c.Dom + u'%');
    if (!c.Kvart.isEmpty())
        add("numdoor LIKE", c.Kvart + u'%');
    if (!c.Phone.isEmpty()) {
        if (c.Discrete)
            add("numer =", c.Phone);
        else
            add("numer LIKE", u'%' + c.Phone + u'%');
    }
    TSqliteStatement statement = file.Prepare(sql);
    for (std::size_t i = 0; i < values.size(); ++i)
        statement.BindText(int(i) + 1, values[i].c_str());
    statement.Step();
    return sqlite3_column_int64(statement.Handle(), 0);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitGridResourcesEh();
    RegisterClipboardFormatsEh();
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const int timed = argc > 2 ? std::clamp(std::atoi(argv[2]), 1, kLines) : 50;
    const int every = kLines / timed;

    const QString path = QDir(folder).filePath(QStringLiteral("directory_%1.db").arg(kRows));
    if (!QFileInfo::exists(path)) {
        std::printf("generating %s ...\n", qPrintable(path));
        std::fflush(stdout);
        TDemoDirectory::Write(path, kRows, false);
    }
    const QStringList lines = MakeLines(SampleEntries(path, kLines));
    QStringList sample;
    // The i-th of every n lines, moving one line on each time, so that the sample keeps the mix of
    // the ten kinds of line.
    for (int i = 0; i * every < kLines; ++i)
        sample << lines[i * every + i % std::min(every, 10)];
    const double scale = double(kLines) / double(sample.size());
    std::printf("Batch lookups: %d mixed search lines over %s (%d entries, %.0f MB)\n", kLines, qPrintable(path), kRows,
                double(QFileInfo(path).size()) / 1e6);
    if (sample.size() < kLines)
        std::printf("floor: timing one line of every %d (%lld lines, the same mix), scaled by %.0f to %d lines\n",
                    every, static_cast<long long>(sample.size()), scale, kLines);

    QTemporaryDir dir;
    const QString batchFile = dir.filePath(QStringLiteral("batch.txt"));
    const QString outFile = dir.filePath(QStringLiteral("out.txt"));
    {
        QFile f(batchFile);
        if (!f.open(QIODevice::WriteOnly) || f.write((lines.join(u'\n') + u'\n').toUtf8()) < 0) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(batchFile));
            return 1;
        }
    }

    // The batch, as `phonebook --database FILE --batch batch.txt` runs it.
    TCommandLine commandLine =
        ParseCommandLine({QStringLiteral("--database"), path, QStringLiteral("--batch"), batchFile});
    std::FILE* out = std::fopen(qPrintable(outFile), "w");
    if (!out) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(outFile));
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    double cpu = ProcessCpuMs();
    const int exitCode = RunBatch(commandLine, out);
    const double batchMs = double(wall.nsecsElapsed()) / 1e6;
    const double batchCpu = ProcessCpuMs() - cpu;
    std::fclose(out);

    // What the batch found, line by line.
    std::vector<long long> found;
    {
        QFile f(outFile);
        if (f.open(QIODevice::ReadOnly))
            for (const QByteArray& line : f.readAll().split('\n'))
                if (!line.isEmpty())
                    found.push_back(line.split(' ').value(1).toLongLong());
    }

    // The floor: each line's plain count(*) scan.
    TSqliteFile file(path, TSqliteFile::Immutable);
    std::vector<long long> floorCounts;
    wall.restart();
    cpu = ProcessCpuMs();
    std::vector<std::size_t> sampleLines; // the sample's lines' places among all lines
    for (int i = 0; i * every < kLines; ++i)
        sampleLines.push_back(std::size_t(i * every + i % std::min(every, 10)));
    for (const QString& line : sample)
        floorCounts.push_back(PlainCount(file, line));
    const double floorMs = double(wall.nsecsElapsed()) / 1e6;
    const double floorCpu = ProcessCpuMs() - cpu;

    long long hits = 0, empty = 0, differ = 0, floorHits = 0;
    for (const long long count : floorCounts)
        floorHits += count;
    for (std::size_t i = 0; i < found.size(); ++i) {
        hits += found[i];
        empty += found[i] == 0;
    }
    for (std::size_t i = 0; i < floorCounts.size(); ++i)
        if (sampleLines[i] < found.size() && floorCounts[i] != found[sampleLines[i]])
            ++differ;
    std::printf("  batch exit code %d, %zu of %lld lines answered, %lld entries found, %lld lines found nothing\n",
                exitCode, found.size(), static_cast<long long>(lines.size()), hits, empty);
    if (differ)
        std::printf(
            "  %lld lines counted differently by the floor, %lld entries in all (its LIKE folds the letter case "
            "of ASCII only)\n",
            differ, floorHits);
    std::printf("  %-52s %10.0f ms wall (CPU %8.0f ms)\n", "batch of 1 000 lines (phonebook --batch)", batchMs,
                batchCpu);
    std::printf("  %-52s %10.0f ms wall (CPU %8.0f ms)\n", "floor: 1 000 sqlite3 count(*) LIKE scans", floorMs * scale,
                floorCpu * scale);
    // The machine may be shared: the CPU times' ratio stays fair when other programs take turns.
    const double ratio = batchMs / (floorMs * scale);
    std::printf("  batch / floor = %.3f wall, %.3f CPU (target <= 0.100)   %s\n", ratio, batchCpu / (floorCpu * scale),
                ratio <= 0.1 ? "ok" : "MISSED");
    return 0;
}
