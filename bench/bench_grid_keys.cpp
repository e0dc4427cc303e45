// Holding Page Down in the window's grid (offscreen platform): auto-repeated key presses, each
// moving the cursor a page and painting at once, through a 10 000-record and a 1 000 000-record
// result of the demo directory. Prints the cost per step at the start, the middle and the end of
// each result, and the whole walk from the first to the last record of the large one.
// The grid must do no work in proportion to the record count: the per-step costs of both sizes
// should agree (ratio near 1).

#include "BenchDirectory.h"
#include "TDBGridEh.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

struct TBenchGrid
{
    TTableDataSet Data;
    TDataSource Source;
    TDBGridEh Grid;

    explicit TBenchGrid(int rows) : Data(MakeDirectory(rows))
    {
        SetUpWindowGrid(Grid, Source, Data);
        Grid.resize(673, 193);
        Grid.show();
        Data.Open();
        Grid.setFocus();
        QApplication::processEvents();
    }
    // One auto-repeated press of the key, as a held key sends them.
    void Press(int key)
    {
        QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), true);
        QApplication::sendEvent(&Grid, &press);
    }
    // Nanoseconds per Page Down over steps presses starting at record from.
    double PerStep(int from, int steps)
    {
        Data.SetRecordNumber(from);
        QApplication::processEvents();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < steps; ++i)
            Press(Qt::Key_PageDown);
        return double(t.nsecsElapsed()) / steps;
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    constexpr int kSteps = 500;

    TBenchGrid small(10000);
    TBenchGrid large(1000000);
    const int page = large.Grid.VisibleDataRowCount();
    std::printf("page: %d rows; %d presses per measure, best of 5\n", page, kSteps);
    std::printf("%-10s %14s %14s %8s\n", "where", "10k ns/step", "1M ns/step", "ratio");
    double worst = 0;
    struct Where
    {
        const char* name;
        double at; // share of the result where the presses start
    };
    for (const Where w : {Where{"start", 0.0}, Where{"middle", 0.5}, Where{"end", 1.0}}) {
        auto from = [&](const TBenchGrid& b) {
            const int n = b.Data.RecordCount();
            return std::clamp(int(n * w.at) - kSteps * page, 1, n);
        };
        double s = 1e300;
        double l = 1e300;
        for (int round = 0; round < 5; ++round) {
            s = std::min(s, small.PerStep(from(small), kSteps));
            l = std::min(l, large.PerStep(from(large), kSteps));
        }
        worst = std::max(worst, l / s);
        std::printf("%-10s %14.0f %14.0f %8.3f\n", w.name, s, l, l / s);
    }

    // The whole walk: from the first record, Page Down held until the last record is current.
    large.Data.MoveFirst();
    QApplication::processEvents();
    QElapsedTimer t;
    t.start();
    int presses = 0;
    while (large.Data.RecordNumber() < large.Data.RecordCount()) {
        large.Press(Qt::Key_PageDown);
        ++presses;
    }
    const double total = t.nsecsElapsed() / 1e9;
    std::printf("whole walk of 1 000 000 records: %d presses in %.1f s, %.0f ns per press; worst ratio %.3f\n", presses,
                total, total * 1e9 / presses, worst);
    return 0;
}
