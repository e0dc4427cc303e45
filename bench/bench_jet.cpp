// Opening a Jet file and reading a table through the engine, against the time mdbtools'
// mdb-export needs to dump the same table, in the same run. Target: at most 3x mdb-export.
//   bench_jet [file.mdb ...]   (default: the sample files beside the checkout)
#include "Exception.h"
#include "TJetEngine.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

// Median of repeated runs, at least 5 and for at least 0.5 s, in milliseconds.
double MedianMs(const std::function<void()>& run)
{
    std::vector<double> times;
    QElapsedTimer total;
    total.start();
    while (times.size() < 5 || (total.elapsed() < 500 && times.size() < 200)) {
        QElapsedTimer t;
        t.start();
        run();
        times.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList files = app.arguments().mid(1);
    if (files.isEmpty())
        files = {QStringLiteral(PB_FIXTURES_DIR "/nwind.mdb"), QStringLiteral(PB_FIXTURES_DIR "/DateTestDatabase.mdb")};
    const QString mdbExport = QStandardPaths::findExecutable(QStringLiteral("mdb-export"));
    if (mdbExport.isEmpty())
        std::printf("mdb-export not found (Debian package mdbtools): engine times only\n");
    if (!qEnvironmentVariableIsSet("MDB_JET3_CHARSET"))
        qputenv("MDB_JET3_CHARSET", "CP1252"); // the samples are Western files

    std::printf("%-22s %-14s %6s %8s %11s %14s %13s %6s\n", "file", "table", "rows", "open ms", "open+all ms",
                "open+filter ms", "mdb-export ms", "ratio");
    double worst = 0;
    for (const QString& file : files) {
        try {
            const double openMs = MedianMs([&] { TJetEngine engine(file); });
            TJetEngine engine(file);
            for (const QString& table : engine.TableNames()) {
                TSelectStatement all;
                all.Table = table;
                const auto whole = engine.Select(all);
                const int rows = whole->RowCount();
                // A filter on the first column, compared by its text whatever its type.
                TSelectStatement filtered = all;
                filtered.Conditions.push_back({whole->Columns()[0].Name, TCondition::Like, QStringLiteral("%1%")});
                // Open the file and read the whole table, as a search on a fresh connection does.
                const double selectMs = MedianMs([&] {
                    TJetEngine fresh(file);
                    fresh.Select(all);
                });
                const double filterMs = MedianMs([&] {
                    TJetEngine fresh(file);
                    fresh.Select(filtered);
                });
                double exportMs = 0;
                if (!mdbExport.isEmpty()) {
                    exportMs = MedianMs([&] {
                        QProcess process;
                        process.setStandardOutputFile(QProcess::nullDevice());
                        process.start(mdbExport, {file, table});
                        process.waitForFinished(-1);
                    });
                }
                const double ratio = exportMs > 0 ? std::max(selectMs, filterMs) / exportMs : 0;
                worst = std::max(worst, ratio);
                std::printf("%-22s %-14s %6d %8.3f %11.3f %14.3f %13.3f %6.2f\n",
                            qPrintable(QFileInfo(file).fileName()), qPrintable(table), rows, openMs, selectMs, filterMs,
                            exportMs, ratio);
            }
        } catch (const Exception& e) {
            std::printf("%s: %s\n", qPrintable(file), qPrintable(e.Message()));
            return 1;
        }
    }
    std::printf("worst ratio engine/mdb-export: %.2f (target <= 3)\n", worst);
    return 0;
}
