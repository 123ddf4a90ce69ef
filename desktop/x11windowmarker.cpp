// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// One mark, the EWMH demands-attention state, set and cleared here through the window
// manager. The ICCCM urgency hint as well would be a second request: gnome-shell shows a
// notification for each. The hint alone cannot be taken back under KWin, which turns it
// into its own demands-attention state and keeps that until the window is activated;
// mutter, KWin and openbox all set and clear the state as asked. Qt lets an alert end only
// by itself (a duration, or the window becoming active), so leaving the state to
// QWindow::alert would leave no public way to withdraw it when the ring ends.
#include "x11windowmarker.h"

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWindow>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

namespace {

Q_LOGGING_CATEGORY(lcAttention, "tollwick.attention")

xcb_atom_t internAtom(xcb_connection_t *connection, const char *name)
{
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(connection, 0, uint16_t(std::strlen(name)), name);
    xcb_intern_atom_reply_t *reply = xcb_intern_atom_reply(connection, cookie, nullptr);
    const xcb_atom_t atom = reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return atom;
}

// A managed window's state is changed by asking the window manager (EWMH, _NET_WM_STATE),
// minimized or not; a withdrawn window has its state removed by the manager anyway.
void setDemandsAttention(xcb_connection_t *connection, xcb_window_t id, bool on)
{
    const xcb_atom_t state = internAtom(connection, "_NET_WM_STATE");
    const xcb_atom_t demands = internAtom(connection, "_NET_WM_STATE_DEMANDS_ATTENTION");
    xcb_get_geometry_reply_t *geometry =
        xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    if (state == XCB_ATOM_NONE || demands == XCB_ATOM_NONE || !geometry) {
        std::free(geometry);
        qCInfo(lcAttention, "The X server did not answer; the demands-attention state is left");
        return;
    }
    xcb_client_message_event_t event {};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = id;
    event.type = state;
    event.data.data32[0] = on ? 1 : 0; // _NET_WM_STATE_ADD, _NET_WM_STATE_REMOVE
    event.data.data32[1] = demands;
    event.data.data32[3] = 1; // the request comes from an ordinary application
    xcb_send_event(connection, 0, geometry->root,
                   XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                   reinterpret_cast<const char *>(&event));
    std::free(geometry);
}
} // namespace

bool X11WindowMarker::mark(QWindow *window, bool on)
{
    // The offscreen platform offers the X11 interface too, without a connection.
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != u"xcb" || !x11 || !x11->connection())
        return false;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    setDemandsAttention(connection, id, on);
    xcb_flush(connection);
    return true;
}
