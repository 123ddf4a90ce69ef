// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Queued keystrokes in the key notation "{tab}" and "+{tab}" (Shift held).
#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

class KeySender : public QObject
{
    Q_OBJECT
public:
    // Keys go to whichever control of window has the focus when they are delivered.
    explicit KeySender(QWidget *window);

    // Queues the keys; they take effect once control is back in the event loop, after the
    // current handler and every handler it caused have returned. Unknown notation is
    // ignored.
    void send(QStringView keys);

private:
    void deliver();

    QPointer<QWidget> m_window;
    QList<bool> m_pending; // true for Shift+Tab
};
