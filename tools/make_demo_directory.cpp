// Writes a synthetic telephone directory (table kray) of the given size as an SQLite file, the same
// bytes on every run for the same arguments.
//   make_demo_directory <output-file> <rows> [--index]
// --index also creates the index kray_vlad on the owner field, which lets searches by the start of
// a name avoid reading the whole table.

#include "Exception.h"
#include "TDemoDirectory.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringList>

#include <cstdio>

namespace {

int Usage(const char* problem)
{
    std::fprintf(stderr,
                 "make_demo_directory: %s\n"
                 "usage: make_demo_directory <output-file> <rows> [--index]\n"
                 "  <rows>     number of entries, 0 to 100000000\n"
                 "  --index    also create the index kray_vlad on the owner field\n",
                 problem);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);

    QStringList positional;
    bool index = false;
    for (const QString& arg : args) {
        if (arg == QStringLiteral("--index"))
            index = true;
        else if (arg.startsWith(u'-') && arg.size() > 1 && !arg[1].isDigit())
            return Usage(qPrintable(QStringLiteral("unknown option '%1'").arg(arg)));
        else
            positional << arg;
    }
    if (positional.size() != 2)
        return Usage(positional.size() < 2 ? "an output file and a number of rows are needed" : "too many arguments");
    if (positional[0].isEmpty())
        return Usage("the output file name is empty");

    bool ok = false;
    const qlonglong rows = positional[1].toLongLong(&ok);
    if (!ok || rows < 0 || rows > 100000000)
        return Usage(qPrintable(QStringLiteral("'%1' is not a number of rows from 0 to 100000000").arg(positional[1])));

    QElapsedTimer timer;
    timer.start();
    try {
        TDemoDirectory::Write(positional[0], rows, index);
    } catch (const Exception& e) {
        std::fprintf(stderr, "make_demo_directory: %s\n", qPrintable(e.Message()));
        return 1;
    }
    std::fprintf(stderr, "%s: %lld entries%s in %.1f s\n", qPrintable(positional[0]), rows,
                 index ? " with the owner index" : "", double(timer.elapsed()) / 1000.0);
    return 0;
}
