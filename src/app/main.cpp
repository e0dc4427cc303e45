// The program's entry: the window, or a search and export run from the command line.

#include "TApplication.h"
#include "TCommandLine.h"
#include "TForm1.h"
#include "TProgramFiles.h"

#include "Exception.h"

#include <QEvent>
#include <QTimer>

#include <cstdio>

namespace {

// Start-up measurement: with PB_EXIT_AFTER_FIRST_PAINT set, the program says "painted" on its
// standard output once the window has painted for the first time, and ends.
class TFirstPaintProbe : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && !fDone) {
            fDone = true;
            QTimer::singleShot(0, qApp, [] {
                std::fputs("painted\n", stdout);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return QObject::eventFilter(watched, event);
    }

private:
    bool fDone = false;
};

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    TCommandLine commandLine;
    try {
        commandLine = ParseCommandLine(arguments);
    } catch (const Exception& e) {
        std::fprintf(stderr, "phonebook: %s\n", qPrintable(e.Message()));
        return 2;
    }
    if (commandLine.Help) {
        std::fputs(qPrintable(CommandLineHelp()), stdout);
        return 0;
    }
    if (commandLine.Batch) {
        // No window and no display needed.
        if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        TApplication app(argc, argv);
        return RunCommandLine(commandLine);
    }

    TApplication app(argc, argv);
    TForm1 form(TProgramFiles::FromExecutable(QCoreApplication::applicationFilePath()));
    TFirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("PB_EXIT_AFTER_FIRST_PAINT"))
        form.installEventFilter(&probe);
    form.show();
    return app.exec();
}
