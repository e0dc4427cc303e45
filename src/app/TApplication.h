#pragma once
// The program's application object: its constant title, and the one place where an exception
// that escapes an event handler ends up. Such an exception ends that handler only: an abort is
// dropped silently, anything else is shown in one error box, and the program goes on.

#include <QApplication>
#include <QString>
#include <functional>

class QWidget;

extern const QString kApplicationTitle; // "Телефонный справочник"

class TApplication : public QApplication
{
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

// The error box's message for an exception that is none of ours nor a standard one.
extern const QString kUnknownErrorText; // "Операция прервана неизвестной ошибкой"

// The error box's text: the message with "." appended when its last character sorts after ".".
QString ErrorBoxText(const QString& message);

// Shows the current exception as the error box (or drops an abort). Call from a catch block.
void ShowCurrentException(QWidget* parent = nullptr);

// Runs one event handler; an exception it raises is shown as above and goes no further.
void RunHandler(QWidget* parent, const std::function<void()>& handler);

// Where error boxes go. The default shows a modal message box; tests and the command line
// replace it to collect the texts.
using TErrorSink = std::function<void(QWidget* parent, const QString& text)>;
void SetErrorSink(TErrorSink sink);
