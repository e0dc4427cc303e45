// The program's entry: the window, or a search and export run from the command line.

#include "TApplication.h"
#include "TBatchRun.h"
#include "TCommandLine.h"
#include "TForm1.h"
#include "TProgramFiles.h"

#include "Exception.h"

#include "TDBGridEhClipboard.h"
#include "TGridResourcesEh.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QTimer>
#include <QTranslator>

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

// Qt's own dialogs and buttons speak Russian when its translation is installed.
void LoadRussianTranslation(QTranslator& translator)
{
    if (translator.load(QLocale(QLocale::Russian, QLocale::Russia), QStringLiteral("qtbase"), QStringLiteral("_"),
                        QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(&translator);
}

// The grid family's shared objects, made once before any window.
void MakeSharedObjects()
{
    InitGridResourcesEh();
    RegisterClipboardFormatsEh();
}

// A copy from the command line must go to the clipboard of the user's display, which lives only
// as long as its owner is connected: pick the display's platform (falling back to none rather than
// failing inside Qt), or say why there is none.
QString ChooseClipboardPlatform()
{
    if (qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        return {};
    if (!qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    else if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "wayland;offscreen");
    else
        return QStringLiteral("Для --copy нужен дисплей, который удержит буфер обмена, а ни DISPLAY, ни "
                              "WAYLAND_DISPLAY не заданы");
    return {};
}

QString CheckClipboardPlatform()
{
    const QString platform = QGuiApplication::platformName();
    if (platform != QLatin1String("offscreen") && platform != QLatin1String("minimal"))
        return {};
    const QByteArray display = qgetenv("DISPLAY").isEmpty() ? qgetenv("WAYLAND_DISPLAY") : qgetenv("DISPLAY");
    if (qgetenv("QT_QPA_PLATFORM").contains(';'))
        return FormatMessage(QStringLiteral("Для --copy нужен дисплей, который удержит буфер обмена, а к дисплею '%s' "
                                            "не удалось подключиться"),
                             {QString::fromLocal8Bit(display)});
    return FormatMessage(QStringLiteral("Для --copy нужен дисплей, который удержит буфер обмена, а у платформы '%s' "
                                        "(QT_QPA_PLATFORM) нет общего с другими программами"),
                         {platform});
}

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
        if (!commandLine.Copy) {
            // No window and no display needed.
            if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
                qputenv("QT_QPA_PLATFORM", "offscreen");
        } else if (const QString error = ChooseClipboardPlatform(); !error.isEmpty()) {
            std::fprintf(stderr, "phonebook: %s\n", qPrintable(error));
            return 1;
        }
        TApplication app(argc, argv);
        if (commandLine.Copy) {
            if (const QString error = CheckClipboardPlatform(); !error.isEmpty()) {
                std::fprintf(stderr, "phonebook: %s\n", qPrintable(error));
                return 1;
            }
        }
        try {
            MakeSharedObjects();
        } catch (const Exception& e) {
            std::fprintf(stderr, "phonebook: %s\n", qPrintable(e.Message()));
            return 1;
        }
        return commandLine.BatchFile.isEmpty() ? RunCommandLine(commandLine) : RunBatch(commandLine);
    }

    TApplication app(argc, argv);
    try {
        MakeSharedObjects();
    } catch (...) {
        // A missing resource stops the program before any window.
        ShowCurrentException(nullptr);
        return 1;
    }
    QTranslator russian;
    LoadRussianTranslation(russian);
    TForm1 form(TProgramFiles::Locate(QCoreApplication::applicationFilePath()));
    TFirstPaintProbe probe;
    if (qEnvironmentVariableIsSet("PB_EXIT_AFTER_FIRST_PAINT"))
        form.installEventFilter(&probe);
    form.show();
    return app.exec();
}
