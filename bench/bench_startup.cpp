// Start-up: from process start to the first paint of the window, with a 2 000 000-entry directory
// beside the program (the query is closed at start, so the directory's size must not matter).
// Runs the real program several times with PB_EXIT_AFTER_FIRST_PAINT and reports the times.
//   bench_startup [rows=2000000]

#include "TDemoDirectory.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const qint64 rows = argc > 1 ? QByteArray(argv[1]).toLongLong() : 2000000;
    const QString program = QCoreApplication::applicationDirPath() + "/../src/app/phonebook";
    if (!QFile::exists(program)) {
        std::fprintf(stderr, "program not found: %s\n", qPrintable(program));
        return 1;
    }
    QTemporaryDir dir;
    const QString copy = dir.filePath("phonebook");
    QFile::copy(program, copy);
    std::printf("writing a directory of %lld entries...\n", rows);
    std::fflush(stdout);
    TDemoDirectory::Write(dir.filePath("phonebook.mdb"), rows, false);
    const double mb = double(QFileInfo(dir.filePath("phonebook.mdb")).size()) / 1048576.0;

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("PB_EXIT_AFTER_FIRST_PAINT", "1");
    if (!env.contains("QT_QPA_PLATFORM"))
        env.insert("QT_QPA_PLATFORM", "offscreen");
    std::vector<double> times;
    for (int run = 0; run < 7; ++run) {
        QProcess p;
        p.setProcessEnvironment(env);
        QElapsedTimer t;
        t.start();
        p.start(copy, {});
        if (!p.waitForStarted(10000)) {
            std::fprintf(stderr, "cannot start the program\n");
            return 1;
        }
        QByteArray out;
        while (!out.contains("painted") && p.waitForReadyRead(10000))
            out += p.readAllStandardOutput();
        const double ms = double(t.nsecsElapsed()) / 1e6;
        p.waitForFinished(10000);
        if (!out.contains("painted")) {
            std::fprintf(stderr, "the program did not paint: %s\n", p.readAllStandardError().constData());
            return 1;
        }
        times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    std::printf("directory: %lld entries, %.0f MB\n", rows, mb);
    std::printf("process start to first paint: median %.1f ms, best %.1f ms, worst %.1f ms (target <= 200 ms)\n",
                times[times.size() / 2], times.front(), times.back());
    return 0;
}
