// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The attention request over QWindow::alert. Qt lets an alert end only by itself (a
// duration, or the window becoming active), so the request is withdrawn through the slot
// that ends a timed alert. On X11 Qt sets only _NET_WM_STATE_DEMANDS_ATTENTION; the ICCCM
// urgency hint, which many taskbars watch instead, is set beside it.
#include "attention.h"

#ifdef TOLLWICK_HAVE_WAYLAND
#include "waylandactivation.h"
#endif

#include <QEvent>
#include <QGuiApplication>
#include <QWidget>
#include <QWindow>

#ifdef TOLLWICK_HAVE_XCB
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#endif

namespace {

void setUrgencyHint([[maybe_unused]] QWindow *window, [[maybe_unused]] bool on)
{
#ifdef TOLLWICK_HAVE_XCB
    // The offscreen platform offers the X11 interface too, without a connection.
    auto *x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (QGuiApplication::platformName() != u"xcb" || !x11 || !x11->connection())
        return;
    xcb_connection_t *connection = x11->connection();
    const auto id = xcb_window_t(window->winId());
    // WM_HINTS: nine 32-bit fields, the first of them the flags; bit 8 is the urgency.
    constexpr uint32_t kUrgency = 1u << 8;
    uint32_t hints[9] = {};
    const xcb_get_property_cookie_t cookie =
        xcb_get_property(connection, 0, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS, 0, 9);
    if (xcb_get_property_reply_t *reply = xcb_get_property_reply(connection, cookie, nullptr)) {
        if (reply->format == 32) {
            const int count = qMin(xcb_get_property_value_length(reply) / 4, 9);
            std::copy_n(static_cast<const uint32_t *>(xcb_get_property_value(reply)), count, hints);
        }
        std::free(reply);
    }
    hints[0] = on ? hints[0] | kUrgency : hints[0] & ~kUrgency;
    xcb_change_property(connection, XCB_PROP_MODE_REPLACE, id, XCB_ATOM_WM_HINTS, XCB_ATOM_WM_HINTS,
                        32, 9, hints);
    xcb_flush(connection);
#endif
}

} // namespace

Attention::Attention(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->installEventFilter(this);
}

void Attention::request()
{
    QWindow *window = m_window->windowHandle();
    if (!window || !m_window->isVisible() || m_window->isActiveWindow())
        return;
    window->alert(0); // 0: until withdrawn or the window is activated
    setUrgencyHint(window, true);
#ifdef TOLLWICK_HAVE_WAYLAND
    requestWaylandActivation(window);
#endif
    m_requested = true;
}

void Attention::withdraw()
{
    if (!std::exchange(m_requested, false))
        return;
    if (QWindow *window = m_window->windowHandle()) {
        // A private slot of QWindow, the only way short of Qt's private headers; it does
        // nothing when the alert has already ended.
        QMetaObject::invokeMethod(window, "_q_clearAlert", Qt::DirectConnection);
        setUrgencyHint(window, false);
    }
}

bool Attention::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::ActivationChange
        && m_window->isActiveWindow())
        withdraw();
    return QObject::eventFilter(watched, event);
}
