// Full repaint of a maximised grid (1920 x 1080) over a 1 000 000-record result on the offscreen
// platform: the window's five columns, the grid focused so that the current cell is highlighted.
// Prints the best, median and worst time of one repaint of the whole client area (goal: <= 5 ms),
// as wall-clock and as this thread's processor time (the machine may be busy with other work), of
// the grid's painting alone into an image, and of the repaint after scrolling one row. With --save FILE it also writes
// the grid's pixels, with --save-corner FILE its top left corner enlarged twice.

#include "BenchDirectory.h"
#include "TDBGridEh.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

struct TStats
{
    double Best, Median, Worst;
};

// Processor time of this thread, in milliseconds: what a repaint costs whatever else the machine
// runs at the same time.
double ThreadMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

TStats Measure(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    InitGridResourcesEh();
    QString save;
    QString crop;
    for (int i = 1; i + 1 < argc; ++i) {
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--save"))
            save = QString::fromLocal8Bit(argv[i + 1]);
        if (QString::fromLocal8Bit(argv[i]) == QLatin1String("--save-corner"))
            crop = QString::fromLocal8Bit(argv[i + 1]);
    }

    TGeneratedDataSet data(1000000);
    TDataSource source;
    TDBGridEh grid;
    SetUpWindowGrid(grid, source, data);
    grid.resize(1920, 1080);
    grid.show();
    grid.activateWindow();
    grid.setFocus();
    data.Open();
    data.MoveRelative(3);
    QApplication::processEvents();

    // Every cell: each repaint covers the whole client area.
    std::vector<double> full;
    std::vector<double> fullCpu;
    QElapsedTimer t;
    for (int i = 0; i < 300; ++i) {
        const double cpu = ThreadMs();
        t.start();
        grid.viewport()->repaint();
        full.push_back(double(t.nsecsElapsed()) / 1e6);
        fullCpu.push_back(ThreadMs() - cpu);
    }
    if (!crop.isEmpty())
        grid.viewport()->grab().toImage().copy(0, 0, 700, 170).scaled(1400, 340).save(crop);
    // The grid's own painting into an image, without the platform's copy of the window.
    QImage target(grid.viewport()->size(), QImage::Format_ARGB32_Premultiplied);
    std::vector<double> own;
    for (int i = 0; i < 300; ++i) {
        const double cpu = ThreadMs();
        grid.viewport()->render(&target);
        own.push_back(ThreadMs() - cpu);
    }
    // One row down at the window's bottom: the pixels move and the strip and two rows repaint.
    data.MoveRelative(grid.VisibleDataRowCount());
    QApplication::processEvents();
    std::vector<double> scroll;
    std::vector<double> scrollCpu;
    for (int i = 0; i < 300; ++i) {
        const double cpu = ThreadMs();
        t.start();
        grid.VertScroll(TCustomDBGridEh::saLineDown);
        QApplication::processEvents();
        scroll.push_back(double(t.nsecsElapsed()) / 1e6);
        scrollCpu.push_back(ThreadMs() - cpu);
    }
    const TStats f = Measure(full);
    const TStats fc = Measure(fullCpu);
    const TStats oc = Measure(own);
    const TStats s = Measure(scroll);
    const TStats sc = Measure(scrollCpu);
    std::printf("grid %d x %d, %d data rows x %d columns shown, %d records\n", grid.ClientWidth(), grid.ClientHeight(),
                grid.VisibleDataRowCount(), grid.VisibleColumnList().Count(), data.RecordCount());
    std::printf("%-26s %9s %9s %9s\n", "ms per repaint", "best", "median", "worst");
    std::printf("%-26s %9.3f %9.3f %9.3f   (goal <= 5 ms)\n", "full client area, wall", f.Best, f.Median, f.Worst);
    std::printf("%-26s %9.3f %9.3f %9.3f\n", "full client area, cpu", fc.Best, fc.Median, fc.Worst);
    std::printf("%-26s %9.3f %9.3f %9.3f\n", "into an image, cpu", oc.Best, oc.Median, oc.Worst);
    std::printf("%-26s %9.3f %9.3f %9.3f\n", "one row down, wall", s.Best, s.Median, s.Worst);
    std::printf("%-26s %9.3f %9.3f %9.3f\n", "one row down, cpu", sc.Best, sc.Median, sc.Worst);
    if (!save.isEmpty())
        grid.viewport()->grab().toImage().save(save);

    return 0;
}
