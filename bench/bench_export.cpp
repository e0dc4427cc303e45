// Export speed and memory on a large open result: 1 000 000 records of the demo directory exported
// to files as CSV, text, HTML, RTF and an Excel 2007 workbook, and 65 535 records as XLS (a
// worksheet holds no more), against `sqlite3 -csv` writing the same rows from an SQLite file in
// the same run. Prints times, sizes and the growth of resident memory during each export.
//
// Run: build/bench/bench_export [records]   (QT_QPA_PLATFORM=offscreen is set by the program)

#include "TDBGridEh.h"
#include "TDBGridEhExport.h"
#include "TDBGridEhExportAsHTML.h"
#include "TDBGridEhExportAsRTF.h"
#include "TDBGridEhExportAsText.h"
#include "TDBGridEhExportAsXLS.h"
#include "TDBGridEhExportAsXLSX.h"
#include "TDataSet.h"
#include "TDemoDirectory.h"
#include "TResultTable.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

namespace {

// A record set over a whole result held compactly, as the directory engines deliver it.
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
    // Text stays UTF-8 until asked for, as with the directory's own record set.
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

// The first `records` entries of the demo directory, open in a grid laid out as the window's.
Source MakeSource(int records)
{
    std::vector<TResultColumn> columns = {{QStringLiteral("numer"), ftString, 10},
                                          {QStringLiteral("vlad"), ftString, 80},
                                          {QStringLiteral("street"), ftString, 40},
                                          {QStringLiteral("numhome"), ftString, 10},
                                          {QStringLiteral("numdoor"), ftString, 10}};
    auto table = std::make_unique<TResultTable>(columns);
    table->Reserve(std::size_t(records), std::size_t(records) * 80);
    TDemoDirectory directory;
    TDemoRow row;
    for (int i = 0; i < records; ++i) {
        directory.NextRow(row);
        for (const std::string* value : {&row.Numer, &row.Vlad, &row.Street, &row.NumHome, &row.NumDoor})
            table->AppendText(QByteArrayView(value->data(), qsizetype(value->size())));
        table->EndRow();
    }
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

// Resident memory now and at its peak since the last reset, in MiB.
long StatusMiB(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').first().toLong() / 1024;
    return -1;
}

void ResetPeak()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

double CpuSeconds(int who)
{
    rusage u{};
    getrusage(who, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + double(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figure
{
    double seconds = 0;
    double cpu = 0;
    qint64 bytes = 0;
    long peakGrowthMiB = 0;
};

Figure Export(TDBGridEhExportClass cls, TDBGridEh* grid, const QString& path)
{
    const long before = StatusMiB("VmRSS:");
    ResetPeak();
    QElapsedTimer t;
    const double cpu = CpuSeconds(RUSAGE_SELF);
    t.start();
    ExportGridToFile(cls, grid, path, true);
    Figure f;
    f.seconds = double(t.nsecsElapsed()) / 1e9;
    f.cpu = CpuSeconds(RUSAGE_SELF) - cpu;
    f.bytes = QFileInfo(path).size();
    f.peakGrowthMiB = StatusMiB("VmHWM:") - before;
    QFile::remove(path);
    return f;
}

void Print(const char* name, const Figure& f, const Figure& reference)
{
    std::printf("  %-22s %8.3f s  %8.3f s  %10lld  %+6ld MiB  %5.2f x CSV\n", name, f.seconds, f.cpu,
                (long long)f.bytes, f.peakGrowthMiB, f.cpu / reference.cpu);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int records = argc > 1 ? std::atoi(argv[1]) : 1000000;
    // Optional second argument: the formats to run, e.g. "csv,rtf" (all by default).
    const QString only = argc > 2 ? QString::fromLatin1(argv[2]) : QString();
    auto wanted = [&](const char* format) {
        return only.isEmpty() || only.split(u',').contains(QLatin1String(format));
    };
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("kray.sqlite"));

    std::printf("Preparing %d records...\n", records);
    TDemoDirectory::Write(db, records, false);
    Source big = MakeSource(records);
    std::printf("  open result: %ld MiB resident\n", StatusMiB("VmRSS:"));

    // sqlite3 writing the same rows as CSV to a file.
    const QString sqliteOut = dir.filePath(QStringLiteral("sqlite.csv"));
    QElapsedTimer t;
    const double childCpu = CpuSeconds(RUSAGE_CHILDREN);
    t.start();
    QProcess sqlite;
    sqlite.setStandardOutputFile(sqliteOut);
    sqlite.start(QStringLiteral("sqlite3"), {QStringLiteral("-csv"), db, QStringLiteral("SELECT * FROM kray;")});
    sqlite.waitForFinished(-1);
    const double sqliteSeconds = double(t.nsecsElapsed()) / 1e9;
    const double sqliteCpu = CpuSeconds(RUSAGE_CHILDREN) - childCpu;
    const qint64 sqliteBytes = QFileInfo(sqliteOut).size();
    QFile::remove(sqliteOut);

    const QString out = dir.filePath(QStringLiteral("export"));
    std::printf("\n%d records, 5 columns     wall time   CPU time     bytes  peak RSS  CPU ratio\n", records);
    std::printf("  %-22s %8.3f s  %8.3f s  %10lld\n", "sqlite3 -csv", sqliteSeconds, sqliteCpu, (long long)sqliteBytes);
    // The floor under any export: the record set reading every display text once.
    {
        const double cpu = CpuSeconds(RUSAGE_SELF);
        QElapsedTimer rt;
        rt.start();
        qint64 chars = 0;
        TDataSet* ds = big.dataSet.get();
        ds->SuspendNotify();
        ds->MoveFirst();
        while (!ds->AtEnd()) {
            for (int f = 0; f < ds->FieldCount(); ++f)
                chars += ds->Field(f)->DisplayText().size();
            ds->MoveNext();
        }
        ds->ResumeNotify();
        std::printf("  %-22s %8.3f s  %8.3f s  (%lld characters)\n", "reading the texts only",
                    double(rt.nsecsElapsed()) / 1e9, CpuSeconds(RUSAGE_SELF) - cpu, (long long)chars);
    }
    const Figure csv = Export(ExportClassEh<TDBGridEhExportAsCSV>, big.grid.get(), out);
    Print("CSV", csv, csv);
    std::printf("  %-22s %8.3f    %8.3f    (target <= 0.333)\n", "CSV / sqlite3", csv.seconds / sqliteSeconds,
                csv.cpu / sqliteCpu);
    if (wanted("text"))
        Print("text", Export(ExportClassEh<TDBGridEhExportAsText>, big.grid.get(), out), csv);
    if (wanted("html"))
        Print("HTML", Export(ExportClassEh<TDBGridEhExportAsHTML>, big.grid.get(), out), csv);
    if (wanted("rtf"))
        Print("RTF (body in memory)", Export(ExportClassEh<TDBGridEhExportAsRTF>, big.grid.get(), out), csv);
    // A workbook sheet holds 1 048 576 rows: the whole result goes into one sheet.
    if (wanted("xlsx")) {
        const Figure xlsx = Export(ExportClassEh<TDBGridEhExportAsXLSX>, big.grid.get(), out);
        Print("XLSX", xlsx, csv);
        std::printf("  %-22s %8.3f    %8.3f    (target <= 3)\n", "XLSX / CSV", xlsx.seconds / csv.seconds,
                    xlsx.cpu / csv.cpu);
    }
    big = Source();

    if (!wanted("xls"))
        return 0;
    // A worksheet holds 65 536 rows: XLS is measured on 65 535 records, against CSV on the same.
    const int sheetRecords = std::min(records, int(kXlsMaxRows) - 1);
    Source sheet = MakeSource(sheetRecords);
    std::printf("\n%d records (one worksheet)   wall time   CPU time     bytes  peak RSS  CPU ratio\n", sheetRecords);
    const Figure sheetCsv = Export(ExportClassEh<TDBGridEhExportAsCSV>, sheet.grid.get(), out);
    Print("CSV", sheetCsv, sheetCsv);
    Print("XLS", Export(ExportClassEh<TDBGridEhExportAsXLS>, sheet.grid.get(), out), sheetCsv);
    return 0;
}
