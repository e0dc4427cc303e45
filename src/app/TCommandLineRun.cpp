// A search (and a sort, an export, a copy) given on the command line: the window's search and an
// unseen grid configured as the window's, so that exports are the window's bytes.

#include "TCommandLine.h"

#include "Exception.h"
#include "TApplication.h"
#include "TDBGridEh.h"
#include "TDBGridEhClipboard.h"
#include "TDBGridEhClipboardData.h"
#include "TDirectoryGrid.h"
#include "TDirectorySearch.h"
#include "TFontMetricsEh.h"
#include "TPostgresLoader.h"
#include "TProgramFiles.h"
#include "TScopeExit.h"
#include "TTerminalProgress.h"

#include <QClipboard>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTimer>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

// Serves the clipboard just set until another program takes it over, or for at most the given
// time (0: no limit): on the desktop a clipboard's data lives in the program that owns it.
void HoldClipboard(int seconds)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (seconds > 0)
        std::printf("Скопировано в буфер обмена: результат держится там, пока буфер не займёт другая программа, но не "
                    "дольше %d с.\n",
                    seconds);
    else
        std::printf("Скопировано в буфер обмена: результат держится там, пока буфер не займёт другая программа.\n");
    std::fflush(stdout);
    QEventLoop loop;
    QObject::connect(clipboard, &QClipboard::dataChanged, &loop, [&] {
        if (!clipboard->ownsClipboard())
            loop.quit();
    });
    if (seconds > 0)
        QTimer::singleShot(std::chrono::seconds(seconds), &loop, &QEventLoop::quit);
    if (clipboard->ownsClipboard())
        loop.exec();
    // Still ours at the end of the wait: every representation is written now, while the program
    // runs, so that a clipboard manager taking the data over as the program ends gets them all.
    if (clipboard->ownsClipboard())
        if (const auto* data = dynamic_cast<const TDBGridEhClipboardData*>(clipboard->mimeData()))
            const_cast<TDBGridEhClipboardData*>(data)->MakeAll(); // our own data, placed by this program
}

// The grid's column that shows a field, by name in any letter case.
TColumnEh* ColumnOfField(TCustomDBGridEh& grid, const QString& fieldName)
{
    for (int i = 0; i < grid.Columns().Count(); ++i) {
        TColumnEh* column = grid.Columns().Items(i);
        if (column->FieldName().compare(fieldName, Qt::CaseInsensitive) == 0)
            return column;
    }
    return nullptr;
}

// Ctrl+C while the directory is searched stops the search; the handler only sets the flag, a
// lock-free store, which the search looks at as it runs.
TCancelToken gInterrupt;

void InterruptSearch(int) noexcept
{
    gInterrupt.Cancel();
}

// --database names a file (taken from the current folder) or a server's URI (taken as it is).
QString DatabaseOptionPath(const QString& option)
{
    return IsServerDirectory(option) ? option : QFileInfo(option).absoluteFilePath();
}

// Copies the directory the program would search into the server. On a terminal the copy shows its
// progress as an export does, and the index stage which index is being built. Errors go to the
// error sink.
bool LoadInto(const TProgramFiles& files, const QString& uri)
{
    bool loaded = false;
    RunHandler(nullptr, [&] {
        const QString source = files.DatabasePath();
        if (!IsServerDirectory(source) && !QFileInfo(source).isFile())
            files.CheckDatabaseFound();
        TTerminalProgress copying(stderr, QStringLiteral("Загрузка на сервер"));
        const bool terminal = TTerminalProgress::IsTerminal(stderr);
        bool stageShown = false;
        auto wipeStage = [&] {
            if (stageShown)
                std::fprintf(stderr, "\r\033[K");
            stageShown = false;
        };
        TScopeExit wipe(wipeStage);
        const qint64 count =
            TPostgresLoader::Load(source, uri, [&](TPostgresLoader::TStage stage, qint64 done, qint64 total) {
                if (stage == TPostgresLoader::TStage::Copying) {
                    copying.Update(done, total);
                } else if (stage == TPostgresLoader::TStage::Indexing && terminal) {
                    copying.Clear();
                    std::fprintf(
                        stderr, "\r\033[K%s",
                        QStringLiteral("Построение индексов: %1 из %2").arg(done).arg(total).toLocal8Bit().constData());
                    std::fflush(stderr);
                    stageShown = true;
                }
            });
        wipeStage();
        std::printf("%s\n", qPrintable(FormatMessage(QStringLiteral("Загружено %s записей в справочник '%s'."),
                                                     {QString::number(count), DirectoryDisplayName(uri)})));
        loaded = true;
    });
    return loaded;
}

} // namespace

TCommandLineSearch::TCommandLineSearch() : fDirectory(std::make_unique<TDirectorySearch>())
{
    SetErrorSink([this](QWidget*, const QString& text) {
        std::fprintf(stderr, "phonebook: %s%s\n", qPrintable(fMessagePrefix), qPrintable(text));
        fFailed = true;
    });
    fGrid = std::make_unique<TDBGridEh>();
    fGrid->resize(ScaleForScreenEh(kDirectoryGridWidth), ScaleForScreenEh(kDirectoryGridHeight));
    ConfigureDirectoryGrid(*fGrid, &fDirectory->DataSource1);
}

TCommandLineSearch::~TCommandLineSearch()
{
    TScopeExit restoreSink([] { SetErrorSink(nullptr); });
    fGrid.reset();
    RunHandler(nullptr, [this] { fDirectory->Disconnect(); });
}

bool TCommandLineSearch::Step(const std::function<void()>& action)
{
    if (!fFailed)
        RunHandler(nullptr, action);
    return !fFailed;
}

bool TCommandLineSearch::Open(const TProgramFiles& programFiles, const QString& databaseOption, bool wholeTable)
{
    fFailed = false;
    TProgramFiles files = programFiles;
    if (!databaseOption.isEmpty())
        files.Database = DatabaseOptionPath(databaseOption);
    return Step([&] {
        ConnectDirectory(*fDirectory, files);
        // A whole table shows one column per field of its own.
        if (!wholeTable)
            AddDirectoryColumns(*fGrid);
    });
}

TCommandLineSearch::TOutcome TCommandLineSearch::Run(const TCommandLine& commandLine)
{
    fFailed = false;
    TDirectorySearch& directory = *fDirectory;
    {
        // Only the search listens to Ctrl+C; elsewhere it ends the program as usual.
        gInterrupt.Reset();
        directory.ADOQuery1.SetCancelToken(&gInterrupt);
        struct sigaction interrupt = {}, previous = {};
        interrupt.sa_handler = InterruptSearch;
        sigemptyset(&interrupt.sa_mask);
        sigaction(SIGINT, &interrupt, &previous);
        TScopeExit unwatch([&] {
            sigaction(SIGINT, &previous, nullptr);
            directory.ADOQuery1.SetCancelToken(nullptr);
        });
        if (!commandLine.Table.isEmpty())
            Step([&] { directory.ShowTable(commandLine.Table); });
        else
            Step([&] {
                if (!directory.Search(commandLine.Criteria))
                    throw Exception(QStringLiteral("Не задано ни одного условия поиска: поиск не выполнялся"));
            });
        // Stopped, or interrupted just as it ended: either way the user asked to stop.
        if (gInterrupt.IsCancelled()) {
            std::fprintf(stderr, "phonebook: %s%s\n", qPrintable(fMessagePrefix),
                         qPrintable(ECancelled(DirectoryDisplayName(directory.DatabasePath())).Reason()));
            return TOutcome::Interrupted;
        }
    }
    if (!commandLine.SortField.isEmpty())
        Step([&] {
            TColumnEh* column = ColumnOfField(*fGrid, commandLine.SortField);
            if (!column)
                throw Exception(
                    FormatMessage(QStringLiteral("Ни один столбец не показывает поле '%s'"), {commandLine.SortField}));
            directory.SortBy(column->FieldName());
        });
    if (!commandLine.ExportFile.isEmpty())
        Step([&] {
            if (!directory.Active())
                return;
            const TExportType* type = FindExportType(commandLine.Format);
            if (!type)
                throw Exception(FormatMessage(QStringLiteral("Файл '%s' не выгружен: неизвестный формат '%s'"),
                                              {commandLine.ExportFile, commandLine.Format}));
            directory.CheckExportTarget(commandLine.ExportFile);
            // A long export shows how far it got when standard error is a terminal.
            TTerminalProgress progress(stderr);
            ExportGridToFile(type->Class, fGrid.get(), commandLine.ExportFile, true, progress.Callback());
        });
    if (commandLine.Copy)
        Step([&] {
            if (directory.Active()) {
                TTerminalProgress progress(stderr, QStringLiteral("Копирование"));
                CopyGridData(fGrid.get(), true, progress.Callback());
            }
            if (!QGuiApplication::clipboard()->ownsClipboard())
                throw Exception(QStringLiteral("Не удалось занять буфер обмена"));
        });
    return fFailed ? TOutcome::Failed : TOutcome::Succeeded;
}

int RunCommandLine(const TCommandLine& commandLine)
{
    TCommandLineSearch search;
    if (!commandLine.LoadInto.isEmpty()) {
        TProgramFiles files = TProgramFiles::Locate(QCoreApplication::applicationFilePath());
        if (!commandLine.Database.isEmpty())
            files.Database = DatabaseOptionPath(commandLine.Database);
        return LoadInto(files, commandLine.LoadInto) ? 0 : 1;
    }
    if (!search.Open(TProgramFiles::Locate(QCoreApplication::applicationFilePath()), commandLine.Database,
                     !commandLine.Table.isEmpty()))
        return 1;
    switch (search.Run(commandLine)) {
    case TCommandLineSearch::TOutcome::Interrupted:
        return kInterruptedExitCode;
    case TCommandLineSearch::TOutcome::Failed:
        return 1;
    case TCommandLineSearch::TOutcome::Succeeded:
        break;
    }
    std::printf("%s\n", qPrintable(search.Directory().StatusText()));
    if (commandLine.Copy)
        HoldClipboard(commandLine.CopyWaitSeconds);
    return 0;
}
