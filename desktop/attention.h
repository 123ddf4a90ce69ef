// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Asks the desktop to draw the user's eye to a window (the demands-attention state on X11,
// an activation request on Wayland) and withdraws the request. No message, no raised window, no
// focus taken.
#pragma once

#include <QObject>

#include <memory>

class QWidget;
class WindowMarker;

class Attention : public QObject
{
    Q_OBJECT
public:
    // The request for window, which owns it (its parent).
    explicit Attention(QWidget *window);
    ~Attention() override;

    // Does nothing when the window is active or not shown: the user is already there, or
    // there is nothing to point at. Fails silently when the platform has no such request.
    void request();
    // Also done when the window becomes active.
    void withdraw();
    bool isRequested() const { return m_requested; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::unique_ptr<WindowMarker> m_marker;
    bool m_requested = false;
};
