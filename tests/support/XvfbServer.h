#pragma once
// An X server of a test's own (Xvfb), on a display number it picks itself, 96 dpi; it ends with
// the object, and every client of it with it. Plus xdotool, to ask the server about windows and to
// press keys and buttons in them.

#include <QDeadlineTimer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

class TXvfbServer
{
public:
    TXvfbServer() = default;
    TXvfbServer(const TXvfbServer&) = delete;
    TXvfbServer& operator=(const TXvfbServer&) = delete;
    ~TXvfbServer()
    {
        fProcess.kill();
        fProcess.waitForFinished(10000);
    }

    // Starts the server; returns its display (":N"), or an empty string with the reason in why.
    QString Start(QString& why)
    {
        fProcess.start(QStandardPaths::findExecutable("Xvfb"),
                       {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1280x1024x24", "-dpi", "96"});
        QByteArray number;
        QDeadlineTimer deadline(20000);
        while (!number.contains('\n') && !deadline.hasExpired() && fProcess.state() != QProcess::NotRunning) {
            fProcess.waitForReadyRead(200);
            number += fProcess.readAllStandardOutput();
        }
        if (!number.contains('\n')) {
            why = "Xvfb gave no display number: " + QString::fromLocal8Bit(fProcess.readAllStandardError());
            return {};
        }
        fDisplay = u':' + QString::fromLatin1(number.trimmed());
        return fDisplay;
    }

    // An environment whose Qt programs show their windows on this server.
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "xcb");
        env.remove("XAUTHORITY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("DISPLAY", fDisplay);
        return env;
    }

    // Runs xdotool with the arguments; its standard output, or a null array when it failed.
    QByteArray Xdotool(const QStringList& arguments) const
    {
        QProcess p;
        p.setProcessEnvironment(Environment());
        p.start(QStandardPaths::findExecutable("xdotool"), arguments);
        if (!p.waitForFinished(20000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
            return {};
        QByteArray out = p.readAllStandardOutput();
        return out.isNull() ? QByteArray("") : out;
    }

    // The window system's names of the visible windows of a process, by window id.
    QList<std::pair<QString, QString>> VisibleWindows(qint64 pid) const
    {
        QList<std::pair<QString, QString>> windows;
        const QByteArray ids = Xdotool({"search", "--onlyvisible", "--pid", QString::number(pid)});
        for (const QByteArray& id : ids.split('\n')) {
            if (id.isEmpty())
                continue;
            QByteArray name = Xdotool({"getwindowname", QString::fromLatin1(id)});
            if (name.endsWith('\n'))
                name.chop(1);
            windows.append({QString::fromLatin1(id), QString::fromUtf8(name)});
        }
        return windows;
    }

    // Waits until the process shows a window for which accept(id, name) holds; returns its id, or
    // an empty string after the timeout.
    template <class Accept>
    QString WaitForWindow(qint64 pid, Accept accept, int milliseconds = 30000) const
    {
        QDeadlineTimer deadline(milliseconds);
        do {
            for (const auto& [id, name] : VisibleWindows(pid))
                if (accept(id, name))
                    return id;
            QThread::msleep(200);
        } while (!deadline.hasExpired());
        return {};
    }

    static bool Installed()
    {
        return !QStandardPaths::findExecutable("Xvfb").isEmpty()
               && !QStandardPaths::findExecutable("xdotool").isEmpty();
    }

private:
    QProcess fProcess;
    QString fDisplay;
};
