// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The compositor is asked through a connection of the program's own, closed again before
// Qt opens its own. A compositor that offers no xdg-decoration manager (mutter, GNOME)
// leaves the title bar to the client, and Qt 6.4's only one ("bradient") shows a maximize
// button for a window that has none and lets the compositor maximize it. Through Xwayland
// the same compositor draws its own, with the buttons the size hints allow.
#include "windowsystemchoice.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QtGlobal>

#ifdef TOLLWICK_HAVE_WAYLAND_CLIENT
#include <wayland-client.h>

#include <cerrno>
#include <cstring>
#include <poll.h>
#endif

namespace {

Q_LOGGING_CATEGORY(lcDesktop, "tollwick.desktop")

// "-platform NAME" or "--platform NAME", as Qt reads them; null when not given.
const char *platformArgument(int argc, char **argv)
{
    for (int i = 1; i + 1 < argc; ++i) {
        if (qstrcmp(argv[i], "-platform") == 0 || qstrcmp(argv[i], "--platform") == 0)
            return argv[i + 1];
    }
    return nullptr;
}

#ifdef TOLLWICK_HAVE_WAYLAND_CLIENT

enum class Answer { Decorates, DrawsNone, NoCompositor, NoAnswer };

struct Globals {
    bool decorationManager = false;
    bool done = false;
};

void onGlobal(void *data, wl_registry *, uint32_t, const char *interface, uint32_t)
{
    if (std::strcmp(interface, "zxdg_decoration_manager_v1") == 0)
        static_cast<Globals *>(data)->decorationManager = true;
}

void onGlobalRemove(void *, wl_registry *, uint32_t) { }

const wl_registry_listener kRegistryListener = {onGlobal, onGlobalRemove};

void onSyncDone(void *data, wl_callback *, uint32_t)
{
    static_cast<Globals *>(data)->done = true;
}

const wl_callback_listener kSyncListener = {onSyncDone};

// The globals come before the answer to the sync that follows the registry request. A
// compositor that is stopped or hangs accepts the connection and never answers, and
// wl_display_roundtrip would wait for it for ever: so the wait is polled, with a limit.
Answer askCompositor(std::chrono::milliseconds patience)
{
    wl_display *display = wl_display_connect(nullptr);
    if (!display)
        return Answer::NoCompositor;
    Globals globals;
    wl_registry *registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &kRegistryListener, &globals);
    wl_callback *sync = wl_display_sync(display);
    wl_callback_add_listener(sync, &kSyncListener, &globals);

    QElapsedTimer clock;
    clock.start();
    bool failed = false;
    while (!globals.done && !failed) {
        if (wl_display_prepare_read(display) != 0) {
            failed = wl_display_dispatch_pending(display) < 0;
            continue;
        }
        wl_display_flush(display);
        const qint64 left = patience.count() - clock.elapsed();
        pollfd fd = {wl_display_get_fd(display), POLLIN, 0};
        const int ready = left > 0 ? poll(&fd, 1, int(left)) : 0;
        if (ready < 0 && errno == EINTR) {
            wl_display_cancel_read(display);
            continue;
        }
        if (ready <= 0) {
            wl_display_cancel_read(display);
            break;
        }
        failed = wl_display_read_events(display) < 0 || wl_display_dispatch_pending(display) < 0;
    }
    wl_callback_destroy(sync);
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!globals.done)
        return failed ? Answer::NoCompositor : Answer::NoAnswer;
    return globals.decorationManager ? Answer::Decorates : Answer::DrawsNone;
}

#endif

} // namespace

WindowSystemChoice::Outcome WindowSystemChoice::apply(int argc, char **argv,
                                                      std::chrono::milliseconds patience)
{
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qCInfo(lcDesktop, "Window system: %s, as QT_QPA_PLATFORM says",
               qgetenv("QT_QPA_PLATFORM").constData());
        return Outcome::UserChoice;
    }
    if (const char *platform = platformArgument(argc, argv)) {
        qCInfo(lcDesktop, "Window system: %s, as -platform says", platform);
        return Outcome::UserChoice;
    }
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        qCInfo(lcDesktop, "Window system: Qt's own choice; there is no X server (DISPLAY)");
        return Outcome::NoXServer;
    }
#ifdef TOLLWICK_HAVE_WAYLAND_CLIENT
    if (!qEnvironmentVariableIsEmpty("WAYLAND_SOCKET")) {
        qCInfo(lcDesktop,
               "Window system: Qt's own choice; the compositor handed over its "
               "one connection (WAYLAND_SOCKET)");
        return Outcome::HandedSocket;
    }
    // No Wayland session: without WAYLAND_DISPLAY Qt goes to X11 unless told otherwise.
    if (qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qCInfo(lcDesktop,
               "Window system: Qt's own choice; no Wayland compositor (WAYLAND_DISPLAY)");
        return Outcome::NoCompositor;
    }
    switch (askCompositor(patience)) {
    case Answer::NoCompositor:
        qCInfo(lcDesktop, "Window system: Qt's own choice; no Wayland compositor to be reached");
        return Outcome::NoCompositor;
    case Answer::NoAnswer:
        qCInfo(lcDesktop,
               "Window system: Qt's own choice; the Wayland compositor did not answer within "
               "%lld ms",
               qint64(patience.count()));
        return Outcome::NoAnswer;
    case Answer::Decorates:
        qCInfo(lcDesktop,
               "Window system: Qt's own choice; the Wayland compositor draws the "
               "title bars");
        return Outcome::CompositorDecorates;
    case Answer::DrawsNone:
        break;
    }
    // A list: should the X server not be reached after all, Qt goes on to Wayland.
    qputenv("QT_QPA_PLATFORM", "xcb;wayland");
    qCInfo(lcDesktop,
           "Window system: X11 through Xwayland (DISPLAY=%s); the Wayland compositor draws no "
           "title bars",
           qgetenv("DISPLAY").constData());
    return Outcome::ThroughXwayland;
#else
    Q_UNUSED(patience);
    qCInfo(lcDesktop, "Window system: Qt's own choice; built without Wayland");
    return Outcome::NoCompositor;
#endif
}
