// Moving through a result with the grid on screen (offscreen platform): line and page steps
// through the scroll bar's actions, jumps of the thumb, each followed by the repaint it causes.
// Prints the cost per step for a 10 000-record and a 1 000 000-record result and their ratio;
// the grid must not do work in proportion to the record count (goal: ratio <= 1.2).

#include "TDBGridEh.h"

#include <QApplication>
#include <QElapsedTimer>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// A directory result whose rows are made up on demand, so that a million of them cost no memory.
// Texts have the same length whatever the row number, so that both sizes paint the same glyphs.
class TGeneratedDataSet : public TDataSet
{
public:
    explicit TGeneratedDataSet(int rows) : TDataSet(QStringLiteral("Generated")), fRows(rows) {}
    ~TGeneratedDataSet() override { Close(); }

protected:
    void DoOpen() override
    {
        AddField(std::make_unique<TField>(this, QStringLiteral("numer"), ftString, 10));
        AddField(std::make_unique<TField>(this, QStringLiteral("vlad"), ftString, 50));
        AddField(std::make_unique<TField>(this, QStringLiteral("street"), ftString, 40));
        AddField(std::make_unique<TField>(this, QStringLiteral("numhome"), ftString, 8));
        AddField(std::make_unique<TField>(this, QStringLiteral("numdoor"), ftString, 8));
    }
    void DoClose() override {}
    int StoredRowCount() const override { return fRows; }
    QVariant StoredValue(int row, int field) const override
    {
        switch (field) {
        case 0: return QString::number(2000000 + row % 1000000);
        case 1: return QStringLiteral("Subscriber %1").arg(row, 7, 10, QLatin1Char('0'));
        case 2: return QStringLiteral("Street %1").arg(row % 977);
        case 3: return QString::number(row % 150 + 1);
        default: return QString::number(row % 300 + 1);
        }
    }

private:
    int fRows;
};

struct TBenchGrid
{
    TGeneratedDataSet Data;
    TDataSource Source;
    TDBGridEh Grid;

    explicit TBenchGrid(int rows) : Data(rows)
    {
        Source.SetDataSet(&Data);
        Grid.SetDataSource(&Source);
        Grid.SetOptions({dgTitles, dgIndicator, dgColumnResize, dgColLines, dgRowLines, dgTabs, dgConfirmDelete,
                         dgCancelOnExit});
        Grid.SetAutoFitColWidths(true);
        const char* fields[] = {"numer", "vlad", "street", "numhome", "numdoor"};
        const int widths[] = {65, 275, 175, 60, 60};
        for (int i = 0; i < 5; ++i) {
            TColumnEh* c = Grid.Columns().Add();
            c->SetFieldName(QString::fromLatin1(fields[i]));
            c->SetWidth(widths[i]);
        }
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
        QApplication::processEvents();  // the repaint the step asked for
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
