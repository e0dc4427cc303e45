#include "TBatchRun.h"

#include "Exception.h"
#include "TCommandLine.h"
#include "TDirectorySearch.h"
#include "TProgramFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

QStringList SplitBatchLine(const QString& line)
{
    QStringList words;
    QString word;
    bool inWord = false; // a word has begun, even one that stays empty ("")
    const qsizetype n = line.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = line[i];
        if (c == u' ' || c == u'\t') {
            if (inWord)
                words << word;
            word.clear();
            inWord = false;
        } else if (c == u'#' && !inWord) {
            break;
        } else if (c == u'\\') {
            if (i + 1 >= n)
                throw Exception(QStringLiteral("Обратная косая черта в конце строки"));
            word += line[++i];
            inWord = true;
        } else if (c == u'\'') {
            const qsizetype close = line.indexOf(u'\'', i + 1);
            if (close < 0)
                throw Exception(
                    FormatMessage(QStringLiteral("Не закрыта одинарная кавычка (знак %s)"), {QString::number(i + 1)}));
            word += line.mid(i + 1, close - i - 1);
            i = close;
            inWord = true;
        } else if (c == u'"') {
            const qsizetype open = i;
            for (++i;; ++i) {
                if (i >= n)
                    throw Exception(FormatMessage(QStringLiteral("Не закрыта двойная кавычка (знак %s)"),
                                                  {QString::number(open + 1)}));
                if (line[i] == u'"')
                    break;
                if (line[i] == u'\\' && i + 1 < n
                    && (line[i + 1] == u'"' || line[i + 1] == u'\\' || line[i + 1] == u'$' || line[i + 1] == u'`'))
                    ++i;
                word += line[i];
            }
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (inWord)
        words << word;
    return words;
}

namespace {

void PrintError(const QString& text)
{
    std::fprintf(stderr, "phonebook: %s\n", qPrintable(text));
}

} // namespace

int RunBatch(const TCommandLine& commandLine, std::FILE* out)
{
    QFile input;
    bool opened;
    if (commandLine.BatchFile == QLatin1String("-")) {
        opened = input.open(stdin, QIODevice::ReadOnly);
    } else {
        input.setFileName(commandLine.BatchFile);
        opened = input.open(QIODevice::ReadOnly);
    }
    if (!opened) {
        PrintError(FormatMessage(QStringLiteral("Не удалось открыть файл пакета '%s': %s"),
                                 {commandLine.BatchFile, input.errorString()}));
        return 1;
    }
    if (!commandLine.ExportDir.isEmpty() && !QFileInfo(commandLine.ExportDir).isDir()) {
        PrintError(FormatMessage(QStringLiteral("Каталог для выгрузки '%s' не найден"), {commandLine.ExportDir}));
        return 1;
    }

    TCommandLineSearch search;
    if (!search.Open(TProgramFiles::Locate(QCoreApplication::applicationFilePath()), commandLine.Database, false))
        return 1;
    // Every line searches the same directory: its index pays off from the first line on.
    search.Directory().WaitForIndex();

    bool anyFailed = false;
    for (int lineNumber = 1;; ++lineNumber) {
        // Line by line, so that a batch piped in gets its answers as its lines come.
        QByteArray bytes = input.readLine();
        if (bytes.isEmpty())
            break;
        if (bytes.endsWith('\n'))
            bytes.chop(1);
        if (bytes.endsWith('\r'))
            bytes.chop(1);
        const QString prefix = QStringLiteral("Строка %1: ").arg(lineNumber);
        TCommandLine line;
        try {
            const QStringList words = SplitBatchLine(QString::fromUtf8(bytes));
            if (words.isEmpty())
                continue; // a blank line or a comment
            line = ParseCommandLine(words, TCommandLineScope::BatchLine);
        } catch (const Exception& e) {
            PrintError(prefix + e.Message());
            anyFailed = true;
            continue;
        }
        if (!commandLine.ExportDir.isEmpty()) {
            line.ExportFile =
                QDir(commandLine.ExportDir).filePath(QString::number(lineNumber) + u'.' + commandLine.Format);
            line.Format = commandLine.Format;
        }
        search.SetMessagePrefix(prefix);
        switch (search.Run(line)) {
        case TCommandLineSearch::TOutcome::Interrupted:
            return kInterruptedExitCode;
        case TCommandLineSearch::TOutcome::Failed:
            anyFailed = true;
            continue;
        case TCommandLineSearch::TOutcome::Succeeded:
            break;
        }
        std::fprintf(out, "%d\t%s\n", lineNumber, qPrintable(search.Directory().StatusText()));
        std::fflush(out);
    }
    if (input.error() != QFileDevice::NoError) {
        PrintError(FormatMessage(QStringLiteral("Файл пакета '%s' прочитан не до конца: %s"),
                                 {commandLine.BatchFile, input.errorString()}));
        return 1;
    }
    return anyFailed ? 1 : 0;
}
