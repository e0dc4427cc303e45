#include "TTerminalProgress.h"

#include <QElapsedTimer>

#include <algorithm>
#include <memory>
#include <unistd.h>

TTerminalProgress::TTerminalProgress(std::FILE* stream, QString label)
    : TTerminalProgress(
        [stream](const QByteArray& bytes) {
            std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
            std::fflush(stream);
        },
        IsTerminal(stream),
        [timer = std::make_shared<QElapsedTimer>()] {
            if (!timer->isValid())
                timer->start();
            return timer->elapsed();
        },
        std::move(label))
{
}

TTerminalProgress::TTerminalProgress(TWriter writer, bool terminal, TClock clock, QString label)
    : fWriter(std::move(writer)), fTerminal(terminal), fClock(std::move(clock)), fLabel(std::move(label))
{
}

TTerminalProgress::~TTerminalProgress()
{
    Clear();
}

bool TTerminalProgress::IsTerminal(std::FILE* stream)
{
    return stream && isatty(fileno(stream)) == 1;
}

QString TTerminalProgress::Text(const QString& label, qint64 done, qint64 total)
{
    if (total <= 0)
        return QStringLiteral("%1: %2 записей").arg(label).arg(done);
    const qint64 percent = std::min<qint64>(100, done * 100 / total);
    return QStringLiteral("%1: %2% (%3 из %4 записей)").arg(label).arg(percent).arg(done).arg(total);
}

bool TTerminalProgress::Update(qint64 done, qint64 total)
{
    if (!fTerminal)
        return true;
    const qint64 now = fClock();
    if (fStart < 0)
        fStart = now;
    // A short export finishes before anyone could read the line.
    if (now - fStart < kDelayMs)
        return true;
    Write(Text(fLabel, done, total));
    return true;
}

TExportProgressEh TTerminalProgress::Callback()
{
    return [this](qint64 done, qint64 total) { return Update(done, total); };
}

void TTerminalProgress::Clear()
{
    if (fShown == 0)
        return;
    fWriter('\r' + QString(fShown, u' ').toLocal8Bit() + '\r');
    fShown = 0;
}

void TTerminalProgress::Write(const QString& text)
{
    // Back to the start of the line; blanks wipe what a longer line left behind (no escape
    // sequences, so any terminal will do).
    QString line = text;
    if (line.size() < fShown)
        line += QString(fShown - line.size(), u' ');
    fWriter('\r' + line.toLocal8Bit());
    fShown = text.size();
}
