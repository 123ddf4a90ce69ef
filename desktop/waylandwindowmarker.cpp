// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Qt 6.4's QWindow::alert does nothing on Wayland, and its activation request sends an
// empty token, which compositors ignore. So the program gets a token of its own for its
// surface and activates with it. Everything runs on an event queue of its own, so that
// Qt's dispatching of its own objects is not disturbed.
#include "waylandwindowmarker.h"

#include "xdg-activation-v1-client-protocol.h"

#include <QByteArray>
#include <QGuiApplication>
#include <QWindow>
// The only way to Qt's wl_display and wl_surface before Qt 6.5's QWaylandApplication; its
// calls are virtual, so the binary needs no symbol of Qt's private ABI.
#include <qpa/qplatformnativeinterface.h>

#include <cstring>
#include <wayland-client.h>

namespace {

void onGlobal(void *data, wl_registry *registry, uint32_t name, const char *interface,
              uint32_t /*version*/)
{
    if (std::strcmp(interface, xdg_activation_v1_interface.name) == 0)
        *static_cast<xdg_activation_v1 **>(data) = static_cast<xdg_activation_v1 *>(
            wl_registry_bind(registry, name, &xdg_activation_v1_interface, 1));
}

void onGlobalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onTokenDone(void *data, xdg_activation_token_v1 *, const char *token)
{
    *static_cast<QByteArray *>(data) = token;
}

const xdg_activation_token_v1_listener kTokenListener = {onTokenDone};

} // namespace

bool WaylandWindowMarker::mark(QWindow *window, bool on)
{
    if (!on || QGuiApplication::platformName() != u"wayland")
        return false;
    QPlatformNativeInterface *native = QGuiApplication::platformNativeInterface();
    auto *display = static_cast<wl_display *>(
        native ? native->nativeResourceForIntegration("wl_display") : nullptr);
    auto *surface = static_cast<wl_surface *>(
        native ? native->nativeResourceForWindow("surface", window) : nullptr);
    if (!display || !surface)
        return false;

    wl_event_queue *queue = wl_display_create_queue(display);
    auto *ownDisplay = static_cast<wl_display *>(wl_proxy_create_wrapper(display));
    wl_proxy_set_queue(reinterpret_cast<wl_proxy *>(ownDisplay), queue);
    wl_registry *registry = wl_display_get_registry(ownDisplay);
    xdg_activation_v1 *activation = nullptr;
    wl_registry_add_listener(registry, &kRegistryListener, &activation);
    wl_display_roundtrip_queue(display, queue);

    QByteArray token;
    if (activation) {
        xdg_activation_token_v1 *request = xdg_activation_v1_get_activation_token(activation);
        xdg_activation_token_v1_add_listener(request, &kTokenListener, &token);
        const QByteArray appId = QGuiApplication::desktopFileName().toUtf8();
        xdg_activation_token_v1_set_app_id(request, appId.constData());
        xdg_activation_token_v1_set_surface(request, surface);
        xdg_activation_token_v1_commit(request);
        // The token comes in answer to the commit, so one round trip brings it.
        wl_display_roundtrip_queue(display, queue);
        xdg_activation_token_v1_destroy(request);
        if (!token.isEmpty())
            xdg_activation_v1_activate(activation, token.constData(), surface);
        xdg_activation_v1_destroy(activation);
    }
    wl_registry_destroy(registry);
    wl_proxy_wrapper_destroy(ownDisplay);
    wl_display_flush(display);
    wl_event_queue_destroy(queue);
    return !token.isEmpty();
}
