#include "TTerminalProgress.h"

#include "ExportGrid.h"
#include "TDBGridEhExportAsText.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

namespace {

// One report of the exporter and the moment it comes.
struct TReport
{
    qint64 AtMs;
    qint64 Done;
    qint64 Total;
};

struct TProgressCase
{
    const char* Name;
    bool Terminal;
    std::vector<TReport> Reports;
    QString Written; // everything written, the wipe at the end included
};

QString Blanks(qsizetype count)
{
    return QString(count, u' ');
}

const QString kLine40 = QStringLiteral("Экспорт: 40% (4096 из 10000 записей)");
const QString kLine81 = QStringLiteral("Экспорт: 81% (8192 из 10000 записей)");
const QString kLine100 = QStringLiteral("Экспорт: 100% (10000 из 10000 записей)");

TEST(TerminalProgress, OneLineRewrittenOnlyForALongExportOnATerminal)
{
    const std::vector<TProgressCase> cases = {
        {"a long export: the line from half a second on, wiped at the end",
         true,
         {{1000, 0, 10000}, {1300, 4096, 10000}, {1500, 4096, 10000}, {1900, 8192, 10000}, {2400, 10000, 10000}},
         "\r" + kLine40 + "\r" + kLine81 + "\r" + kLine100 + "\r" + Blanks(kLine100.size()) + "\r"},
        {"the half second counts from the first report", true, {{5000, 0, 10000}, {5499, 10000, 10000}}, ""},
        {"a short export writes nothing", true, {{0, 0, 10}, {20, 10, 10}}, ""},
        {"not a terminal: nothing, however long", false, {{0, 0, 10000}, {60000, 10000, 10000}}, ""},
        {"a shorter line blanks what the longer one left",
         true,
         {{0, 0, 10000}, {600, 10000, 10000}, {700, 5, 10}},
         "\r" + kLine100 + "\r" + "Экспорт: 50% (5 из 10 записей)" + Blanks(kLine100.size() - 30) + "\r" + Blanks(30)
             + "\r"},
    };
    for (const TProgressCase& c : cases) {
        SCOPED_TRACE(c.Name);
        QByteArray written;
        qint64 now = 0;
        {
            TTerminalProgress progress([&](const QByteArray& bytes) { written += bytes; }, c.Terminal,
                                       [&] { return now; });
            for (const TReport& r : c.Reports) {
                now = r.AtMs;
                EXPECT_TRUE(progress.Update(r.Done, r.Total));
            }
        }
        EXPECT_EQ(QString::fromLocal8Bit(written), c.Written);
    }
}

TEST(TerminalProgress, TextWithAndWithoutATotal)
{
    const std::vector<std::tuple<qint64, qint64, QString>> cases = {
        {0, 29000, "Копирование: 0% (0 из 29000 записей)"},
        {12288, 29000, "Копирование: 42% (12288 из 29000 записей)"},
        {28999, 29000, "Копирование: 99% (28999 из 29000 записей)"},
        {7, 0, "Копирование: 7 записей"},
        {30000, 29000, "Копирование: 100% (30000 из 29000 записей)"},
        {4'000'000'000, 8'000'000'000, "Копирование: 50% (4000000000 из 8000000000 записей)"},
    };
    for (const auto& [done, total, text] : cases)
        EXPECT_EQ(TTerminalProgress::Text(QStringLiteral("Копирование"), done, total), text) << done << "/" << total;
}

// The exporter's own reports drive the line: before the first record, every 4096 and after the last.
TEST(TerminalProgress, FollowsARealExport)
{
    std::vector<std::vector<QVariant>> rows;
    for (int i = 1; i <= 10000; ++i)
        rows.push_back({i});
    TExportGrid g({{QStringLiteral("n"), ftInteger}}, std::move(rows));
    g.AddColumn(QStringLiteral("n"), QStringLiteral("N"));
    g.Open();
    QByteArray written;
    qint64 now = 0;
    {
        // Every report comes 300 ms after the one before.
        TTerminalProgress progress([&](const QByteArray& bytes) { written += bytes; }, true,
                                   [&] {
                                       const qint64 at = now;
                                       now += 300;
                                       return at;
                                   });
        const QByteArray exported = g.Export(ExportClassEh<TDBGridEhExportAsText>, true, progress.Callback());
        EXPECT_TRUE(exported.endsWith("\r\n10000"));
    }
    EXPECT_EQ(QString::fromLocal8Bit(written),
              "\r" + kLine81 + "\r" + kLine100 + "\r" + Blanks(kLine100.size()) + "\r");
}

TEST(TerminalProgress, ATerminalIsToldFromAFileAndAPipe)
{
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    std::FILE* terminal = std::fopen(ptsname(master), "w");
    ASSERT_NE(terminal, nullptr);
    EXPECT_TRUE(TTerminalProgress::IsTerminal(terminal));
    std::fclose(terminal);
    close(master);

    std::FILE* file = std::tmpfile();
    ASSERT_NE(file, nullptr);
    EXPECT_FALSE(TTerminalProgress::IsTerminal(file));
    std::fclose(file);

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    std::FILE* pipe = fdopen(ends[1], "w");
    EXPECT_FALSE(TTerminalProgress::IsTerminal(pipe));
    std::fclose(pipe);
    close(ends[0]);

    EXPECT_FALSE(TTerminalProgress::IsTerminal(nullptr));
}

} // namespace
