// Moving through a result with the grid on screen (offscreen platform): line and page steps
// through the scroll bar's actions, jumps of the thumb, each followed by the repaint it causes.
// Prints the cost per step for a 10 000-record and a 1 000 000-record result and their ratio;
// the grid must not do work in proportion to the record count (goal: ratio <= 1.2).

#include "BenchDirectory.h"
#include "TDBGridEh.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

struct TBenchGrid
{
    TGeneratedDataSet Data;
    TDataSource Source;
    TDBGridEh Grid;

    explicit TBenchGrid(int rows) : Data(rows)
    {
        SetUpWindowGrid(Grid, Source, Data);
        Grid.resize(673, 193);
        Grid.show();
        Data.Open();
        QApplication::processEvents();
    }
};

// Nanoseconds per step of one kind of move over one result size, for one round.
double RoundPerStep(int rows, int steps, const std::function<void(TBenchGrid&, int)>& step)
{
    TBenchGrid b(rows);
    QElapsedTimer t;
    t.start();
    for (int i = 0; i < steps; ++i) {
        step(b, i);
        QApplication::processEvents(); // the repaint the step asked for
    }
    return double(t.nsecsElapsed()) / steps;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    struct Kind
    {
        const char* name;
        int steps;
        std::function<void(TBenchGrid&, int)> step;
    };
    const Kind kinds[] = {
        {"line down", 3000, [](TBenchGrid& b, int) { b.Grid.VertScroll(TCustomDBGridEh::saLineDown); }},
        {"page down / up", 1000,
         [](TBenchGrid& b, int i) {
             b.Grid.VertScroll(i % 1000 < 500 ? TCustomDBGridEh::saPageDown : TCustomDBGridEh::saPageUp);
         }},
        {"cursor next (key-like)", 3000, [](TBenchGrid& b, int) { b.Data.MoveNext(); }},
        {"thumb jumps", 1000,
         [](TBenchGrid& b, int i) {
             const int n = b.Data.RecordCount();
             b.Grid.VertScroll(TCustomDBGridEh::saThumbRelease, int((std::int64_t(i) * 7919) % n) + 1);
         }},
    };
    std::printf("%-24s %14s %14s %8s\n", "move", "10k ns/step", "1M ns/step", "ratio");
    double worst = 0;
    for (const Kind& k : kinds) {
        // Rounds of both sizes alternate, so that a busy machine slows both alike; the best counts.
        double small = 1e300;
        double large = 1e300;
        for (int round = 0; round < 7; ++round) {
            small = std::min(small, RoundPerStep(10000, k.steps, k.step));
            large = std::min(large, RoundPerStep(1000000, k.steps, k.step));
        }
        const double ratio = large / small;
        worst = std::max(worst, ratio);
        std::printf("%-24s %14.0f %14.0f %8.3f\n", k.name, small, large, ratio);
    }
    std::printf("worst ratio %.3f (goal <= 1.2)\n", worst);
    return 0;
}
