#pragma once
// The program's failures: one base carrying the message the user sees, and the few kinds callers
// tell apart. An exception ends the operation that raised it; the window shows its message.

#include <QByteArray>
#include <QString>
#include <exception>

class Exception : public std::exception
{
public:
    explicit Exception(QString message);
    const QString& Message() const noexcept { return fMessage; }
    const char* what() const noexcept override { return fUtf8.constData(); }

private:
    QString fMessage;
    QByteArray fUtf8;
};

// Silent abort: the message loop drops it without a box.
class EAbort : public Exception
{
public:
    EAbort() : Exception(QStringLiteral("Operation aborted")) {}
};

// Errors of the record set and of the directory engines (the engine's own message).
class EDatabaseError : public Exception
{
public:
    using Exception::Exception;
};

// Delphi-style "%s" substitution for the fixed messages ("Field '%s' not found").
QString FormatMessage(QString pattern, std::initializer_list<QString> args);
