#pragma once
// A long export run from the command line shows how far it got on one line of the terminal,
// rewritten in place: "Экспорт: 42% (12288 из 29000 записей)". The line appears only once the
// export has taken half a second, only when the stream is a terminal (a redirected standard error
// gets nothing), and is wiped when the export ends, so the terminal holds what it held before.
//
//     TTerminalProgress progress(stderr);
//     ExportGridToFile(exportClass, grid, fileName, true, progress.Callback());

#include "TDBGridEhExport.h"

#include <QByteArray>
#include <QString>

#include <cstdio>
#include <functional>

class TTerminalProgress
{
public:
    using TWriter = std::function<void(const QByteArray&)>;
    using TClock = std::function<qint64()>; // milliseconds from any fixed start
    static constexpr qint64 kDelayMs = 500;

    // Shows the progress on stream when it is a terminal, in the terminal's character set.
    explicit TTerminalProgress(std::FILE* stream, QString label = QStringLiteral("Экспорт"));
    // The same with where the bytes go, whether that is a terminal and the clock given.
    TTerminalProgress(TWriter writer, bool terminal, TClock clock, QString label = QStringLiteral("Экспорт"));
    ~TTerminalProgress();
    TTerminalProgress(const TTerminalProgress&) = delete;
    TTerminalProgress& operator=(const TTerminalProgress&) = delete;

    // The exporter's report: records written so far and in all. Never stops the export.
    bool Update(qint64 done, qint64 total);
    // Update as the exporter's callback; this object must outlive the export.
    TExportProgressEh Callback();
    // Wipes the line, if one was written.
    void Clear();

    // Whether stream leads to a terminal.
    static bool IsTerminal(std::FILE* stream);
    // The line for a moment of the export; the percent only when the total is known.
    static QString Text(const QString& label, qint64 done, qint64 total);

private:
    void Write(const QString& text);

    TWriter fWriter;
    bool fTerminal;
    TClock fClock;
    QString fLabel;
    qint64 fStart = -1;
    qsizetype fShown = 0; // characters of the line on the terminal now
};
