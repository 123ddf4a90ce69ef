// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The choice of the display server's way, and Qt's own alert for a build that has no
// other: without xcb, Qt's alert is the only X11 mark, and it ends only through a private
// slot of QWindow (Qt 6.4).
#include "windowmarker.h"

#ifdef TOLLWICK_HAVE_XCB
#include "x11windowmarker.h"
#endif
#ifdef TOLLWICK_HAVE_WAYLAND
#include "waylandwindowmarker.h"
#endif

#include <QGuiApplication>
#include <QLoggingCategory>
#include <QWindow>

#include <utility>

namespace {

Q_LOGGING_CATEGORY(lcAttention, "tollwick.attention")

[[maybe_unused]] bool onPlatform(const char *name)
{
    return QGuiApplication::platformName() == QLatin1String(name);
}

class QtAlertMarker final : public WindowMarker
{
public:
    bool mark(QWindow *window, bool on) override
    {
        if (on) {
            window->alert(0); // 0: until withdrawn or the window is activated
            return true;
        }
        // Should a Qt update drop the slot, the log says so once.
        static bool failureLogged = false;
        if (QMetaObject::invokeMethod(window, "_q_clearAlert", Qt::DirectConnection))
            return true;
        if (!std::exchange(failureLogged, true))
            qCWarning(lcAttention,
                      "QWindow has no _q_clearAlert; an alert now ends only when the "
                      "window is activated");
        return false;
    }
};

} // namespace

std::unique_ptr<WindowMarker> WindowMarker::forThisDisplay()
{
#ifdef TOLLWICK_HAVE_WAYLAND
    if (onPlatform("wayland"))
        return std::make_unique<WaylandWindowMarker>();
#endif
#ifdef TOLLWICK_HAVE_XCB
    if (onPlatform("xcb"))
        return std::make_unique<X11WindowMarker>();
    return nullptr;
#else
    return std::make_unique<QtAlertMarker>();
#endif
}
