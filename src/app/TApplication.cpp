#include "TApplication.h"

#include "Exception.h"

#include <QMessageBox>

const QString kApplicationTitle = QStringLiteral("Телефонный справочник");
const QString kUnknownErrorText = QStringLiteral("Операция прервана неизвестной ошибкой");

namespace {

void ShowErrorBox(QWidget* parent, const QString& text)
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, text, QMessageBox::Ok, parent);
    box.exec();
}

TErrorSink& Sink()
{
    static TErrorSink sink = ShowErrorBox;
    return sink;
}

} // namespace

void SetErrorSink(TErrorSink sink)
{
    Sink() = sink ? std::move(sink) : TErrorSink(ShowErrorBox);
}

QString ErrorBoxText(const QString& message)
{
    if (!message.isEmpty() && message.back() > u'.')
        return message + u'.';
    return message;
}

void ShowCurrentException(QWidget* parent)
{
    try {
        throw;
    } catch (const EAbort&) {
        // Silent by design.
    } catch (const Exception& e) {
        Sink()(parent, ErrorBoxText(e.Message()));
    } catch (const std::bad_alloc&) {
        Sink()(parent, ErrorBoxText(QStringLiteral("Недостаточно памяти")));
    } catch (const std::exception& e) {
        Sink()(parent, ErrorBoxText(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        // Thrown by code that is not ours and says nothing about itself: the handler still ends
        // here, and the program goes on.
        Sink()(parent, ErrorBoxText(kUnknownErrorText));
    }
}

void RunHandler(QWidget* parent, const std::function<void()>& handler)
{
    try {
        handler();
    } catch (...) {
        ShowCurrentException(parent);
    }
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv)
{
    // The name only: a display name would be appended to every window's caption on X11.
    setApplicationName(kApplicationTitle);
}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (...) {
        ShowCurrentException(nullptr);
        return false;
    }
}
