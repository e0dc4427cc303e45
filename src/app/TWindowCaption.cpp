#include "TWindowCaption.h"

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

xcb_atom_t Atom(xcb_connection_t* connection, const char* name)
{
    const xcb_intern_atom_cookie_t cookie = xcb_intern_atom(connection, 0, uint16_t(qstrlen(name)), name);
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// Writes the window's name under both properties a window manager reads, in UTF-8 as Qt does.
void WriteWindowName(QWidget* window)
{
    // Only the X11 platform itself: others (offscreen) may offer the interface without a connection.
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return;
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    const QWindow* handle = window->windowHandle();
    if (!x11 || !x11->connection() || !handle || !handle->handle())
        return;
    xcb_connection_t* connection = x11->connection();
    const xcb_atom_t utf8 = Atom(connection, "UTF8_STRING");
    const xcb_atom_t netName = Atom(connection, "_NET_WM_NAME");
    if (utf8 == XCB_ATOM_NONE || netName == XCB_ATOM_NONE)
        return;
    const QByteArray name = window->windowTitle().toUtf8();
    const auto id = xcb_window_t(handle->winId());
    for (const xcb_atom_t property : {xcb_atom_t(XCB_ATOM_WM_NAME), netName})
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, property, utf8, 8, uint32_t(name.size()),
                            name.constData());
    xcb_flush(connection);
}

class TCaptionKeeper : public QObject
{
public:
    explicit TCaptionKeeper(QWidget* window) : QObject(window), fWindow(window) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        // Qt writes its own form of the name when the native window is made and on every change
        // of the caption; the exact one goes over it (the show event comes before the mapping).
        if (watched == fWindow
            && (event->type() == QEvent::WindowTitleChange || event->type() == QEvent::Show
                || event->type() == QEvent::WinIdChange))
            WriteWindowName(fWindow);
        return QObject::eventFilter(watched, event);
    }

private:
    QWidget* fWindow;
};

} // namespace

void KeepCaptionExact(QWidget* window)
{
    window->installEventFilter(new TCaptionKeeper(window));
}
