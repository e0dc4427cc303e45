// Copying a large result to the clipboard: 1 000 000 records of the demo directory by default.
// Times placing the copy (the rows kept, nothing written), then for each representation a copy of
// its own of which a program asks that one representation under all its names: the time to write
// it, its size, and the growth of the process's peak resident memory from before the copy (the
// kept rows plus the writing). Targets: placing <= 1 s; peak growth <= the largest representation
// + 10 %. Then all representations asked for one after another, and the former way of writing all
// four at the time of the copy, for comparison.
//
// With "x" as second argument, on an X display (e.g. under xvfb-run), each representation is
// instead read by another program (xclip) through the X clipboard, as a paste does, and the
// copying process's memory is measured while it serves it.
//
// Run: build/bench/bench_clipboard [records] [skip-eager|x]   (QT_QPA_PLATFORM=offscreen is set
//      unless "x")

#include "TDBGridEh.h"
#include "TDBGridEhClipboard.h"
#include "TDBGridEhClipboardData.h"
#include "TDataSet.h"
#include "TDemoDirectory.h"
#include "TResultTable.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

// A record set over a whole result held compactly, its text UTF-8, as the directory engines give it.
class TTableDataSet : public TDataSet
{
public:
    explicit TTableDataSet(std::unique_ptr<TResultTable> table) : fTable(std::move(table)) {}
    ~TTableDataSet() override { Close(); }

protected:
    void DoOpen() override
    {
        for (const TResultColumn& c : fTable->Columns())
            AddField(std::make_unique<TField>(this, c.Name, c.DataType, c.Size));
    }
    void DoClose() override { ClearFields(); }
    int StoredRowCount() const override { return fTable->RowCount(); }
    QVariant StoredValue(int row, int field) const override { return fTable->Value(row, field); }
    bool StoredIsNull(int row, int field) const override { return fTable->IsNull(row, field); }
    QString StoredText(int row, int field) const override { return fTable->Text(row, field); }
    bool HasUtf8Text(int field) const override { return fTable->Columns().at(std::size_t(field)).DataType == ftString; }
    QByteArrayView StoredUtf8(int row, int field) const override { return fTable->Raw(row, field); }

private:
    std::unique_ptr<TResultTable> fTable;
};

struct Source
{
    std::unique_ptr<TTableDataSet> dataSet;
    std::unique_ptr<TDataSource> dataSource;
    std::unique_ptr<TDBGridEh> grid;
};

// The first `records` entries of the demo directory in a grid laid out as the window's.
Source MakeSource(int records)
{
    auto table = std::make_unique<TResultTable>(std::vector<TResultColumn>{{QStringLiteral("numer"), ftString, 10},
                                                                           {QStringLiteral("vlad"), ftString, 80},
                                                                           {QStringLiteral("street"), ftString, 40},
                                                                           {QStringLiteral("numhome"), ftString, 10},
                                                                           {QStringLiteral("numdoor"), ftString, 10}});
    table->Reserve(std::size_t(records), std::size_t(records) * 80);
    TDemoDirectory directory;
    TDemoRow row;
    for (int i = 0; i < records; ++i) {
        directory.NextRow(row);
        for (const std::string* value : {&row.Numer, &row.Vlad, &row.Street, &row.NumHome, &row.NumDoor})
            table->AppendText(QByteArrayView(value->data(), qsizetype(value->size())));
        table->EndRow();
    }
    table->Squeeze();
    Source s;
    s.dataSet = std::make_unique<TTableDataSet>(std::move(table));
    s.dataSource = std::make_unique<TDataSource>();
    s.dataSource->SetDataSet(s.dataSet.get());
    s.grid = std::make_unique<TDBGridEh>();
    s.grid->setObjectName(QStringLiteral("DBS"));
    s.grid->resize(640, 400);
    const struct
    {
        const char* field;
        const char* caption;
        int width;
    } cols[] = {{"numer", "Телефон", 65},
                {"vlad", "Владелец", 275},
                {"street", "Улица", 175},
                {"numhome", "Дом", 60},
                {"numdoor", "Кв.", 60}};
    for (const auto& c : cols) {
        TColumnEh* column = s.grid->Columns().Add();
        column->SetFieldName(QString::fromUtf8(c.field));
        column->Title()->SetCaption(QString::fromUtf8(c.caption));
        column->SetWidth(c.width);
    }
    s.grid->SetDataSource(s.dataSource.get());
    s.dataSet->Open();
    s.grid->show();
    QApplication::processEvents();
    return s;
}

// Resident memory now (VmRSS) or at its peak since the last reset (VmHWM), in bytes.
qint64 StatusBytes(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLongLong() * 1024;
    return -1;
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double MiB(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

double Seconds(const QElapsedTimer& t)
{
    return double(t.nsecsElapsed()) / 1e9;
}

struct TPartCase
{
    TDBGridEhClipboardData::TPart part;
    const char* label;
    QStringList names; // the first is asked for first
};

} // namespace

int main(int argc, char** argv)
{
    const bool overX = argc > 2 && QByteArray(argv[2]) == "x";
    if (!overX)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const bool eager = !overX && !(argc > 2 && QByteArray(argv[2]) == "skip-eager");
    QTemporaryDir dir;
    // Another program reading the clipboard under a name: the bytes it got.
    auto readByAnotherProgram = [&](const QString& name) -> qint64 {
        const QString file = dir.filePath(QStringLiteral("pasted"));
        QProcess xclip;
        xclip.setStandardOutputFile(file);
        xclip.start(QStringLiteral("xclip"), {QStringLiteral("-selection"), QStringLiteral("clipboard"),
                                              QStringLiteral("-o"), QStringLiteral("-t"), name});
        xclip.waitForStarted();
        // This process serves the request from its event loop meanwhile.
        while (xclip.state() != QProcess::NotRunning)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        const qint64 size = QFile(file).size();
        QFile::remove(file);
        return size;
    };
    RegisterClipboardFormatsEh();

    std::printf("Preparing %d records...\n", records);
    Source big = MakeSource(records);
    std::printf("  open result: %.0f MiB resident\n\n", MiB(StatusBytes("VmRSS:")));

    const std::vector<TPartCase> parts = {
        {TDBGridEhClipboardData::cpText, "text", {QStringLiteral("text/plain")}},
        {TDBGridEhClipboardData::cpCsv, "Csv (windows-1251)", {WindowsMimeTypeEh(CsvClipboardFormat)}},
        {TDBGridEhClipboardData::cpCsvUtf8, "text/csv (UTF-8)", {QStringLiteral("text/csv")}},
        {TDBGridEhClipboardData::cpRtf,
         "RTF",
         {WindowsMimeTypeEh(RtfClipboardFormat), QStringLiteral("text/rtf"), QStringLiteral("text/richtext")}},
        {TDBGridEhClipboardData::cpVclDbif, "VCLDBIF", {WindowsMimeTypeEh(InternalClipboardFormat)}},
    };

    // Each representation asked for alone, by a copy of its own.
    struct Row
    {
        const char* label;
        double place = 0;
        double write = 0;
        double again = 0;
        qint64 size = 0;
        qint64 kept = 0;
        qint64 peak = 0;
    };
    std::vector<Row> rows;
    for (const TPartCase& c : parts) {
        QGuiApplication::clipboard()->clear();
        Row r;
        r.label = c.label;
        const qint64 before = StatusBytes("VmRSS:");
        ResetPeak();
        QElapsedTimer t;
        t.start();
        CopyGridData(big.grid.get(), true);
        r.place = Seconds(t);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        const auto* deferred = dynamic_cast<const TDBGridEhClipboardData*>(data);
        r.kept = deferred && deferred->Snapshot() ? qint64(deferred->Snapshot()->MemoryUsed()) : 0;
        // Kept rows come from blocks a former copy may have left for reuse: counted as their size.
        const qint64 placed = StatusBytes("VmRSS:");
        ResetPeak();
        t.restart();
        if (overX) {
            r.size = readByAnotherProgram(c.names.first());
            r.write = Seconds(t);
            t.restart();
            for (const QString& name : c.names)
                if (readByAnotherProgram(name) < r.size - 1)
                    std::printf("  !! %s: short bytes under %s\n", c.label, qPrintable(name));
            r.again = Seconds(t);
        } else {
            const QByteArray bytes = data->data(c.names.first());
            r.write = Seconds(t);
            r.size = bytes.size();
            t.restart();
            for (const QString& name : c.names)
                if (data->data(name).size() < bytes.size() - 1)
                    std::printf("  !! %s: short bytes under %s\n", c.label, qPrintable(name));
            r.again = Seconds(t);
        }
        r.peak = std::max(StatusBytes("VmHWM:") - placed, qint64(0)) + std::max(r.kept, placed - before);
        rows.push_back(r);
    }
    QGuiApplication::clipboard()->clear();

    const qint64 largest =
        std::max_element(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.size < b.size; })->size;
    const double placeWorst =
        std::max_element(rows.begin(), rows.end(), [](const Row& a, const Row& b) { return a.place < b.place; })->place;
    qint64 peakWorst = 0;
    std::printf("Copy of %d records, each representation asked for by one program (a copy of its own)%s:\n", records,
                overX ? ", read by xclip through the X clipboard" : "");
    std::printf("  %-20s %9s %9s %9s %14s %10s %12s\n", "representation", "place s", "write s", "again s", "bytes",
                "kept MiB", "peak +MiB");
    std::printf("  (peak: growth of the peak resident memory while writing, plus the kept rows)\n");
    for (const Row& r : rows) {
        std::printf("  %-20s %9.3f %9.3f %9.4f %14lld %10.1f %12.1f\n", r.label, r.place, r.write, r.again,
                    (long long)r.size, MiB(r.kept), MiB(r.peak));
        peakWorst = std::max(peakWorst, r.peak);
    }
    std::printf("\n  placing the copy:  %.3f s at worst      target <= 1 s: %s\n", placeWorst,
                placeWorst <= 1.0 ? "met" : "NOT met");
    std::printf("  peak growth:       %.1f MiB at worst    target <= largest representation + 10 %% = %.1f MiB: %s\n",
                MiB(peakWorst), MiB(largest) * 1.1, double(peakWorst) <= double(largest) * 1.1 ? "met" : "NOT met");

    // Every representation asked for, one after another, from one copy.
    {
        const qint64 before = StatusBytes("VmRSS:");
        ResetPeak();
        QElapsedTimer t;
        t.start();
        CopyGridData(big.grid.get(), true);
        const double place = Seconds(t);
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        qint64 total = 0;
        t.restart();
        for (const TPartCase& c : parts)
            total += overX ? readByAnotherProgram(c.names.first()) : data->data(c.names.first()).size();
        const double write = Seconds(t);
        std::printf("\nOne copy, every representation asked for in turn: place %.3f s, write %.3f s, "
                    "%lld bytes in all, peak +%.1f MiB\n",
                    place, write, (long long)total, MiB(StatusBytes("VmHWM:") - before));
        QGuiApplication::clipboard()->clear();
    }

    // The former copy: all four written at the time of the copy.
    if (eager) {
        const qint64 before = StatusBytes("VmRSS:");
        ResetPeak();
        QElapsedTimer t;
        t.start();
        std::unique_ptr<QMimeData> data = BuildGridClipboardDataEh(big.grid.get(), true);
        const double place = Seconds(t);
        qint64 total = 0;
        for (const QString& name : data->formats())
            total += data->data(name).size();
        std::printf("Former copy, all written at once:                place %.3f s, "
                    "%lld bytes under all names, peak +%.1f MiB\n",
                    place, (long long)total, MiB(StatusBytes("VmHWM:") - before));
    }
    return 0;
}
