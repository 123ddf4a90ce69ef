// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Keystrokes are delivered as real key events, so the focus moves along the tab chain
// exactly as if the user had pressed the keys.
#include "keysender.h"

#include <QApplication>
#include <QKeyEvent>

KeySender::KeySender(QWidget *window)
    : QObject(window)
    , m_window(window)
{
}

void KeySender::send(QStringView keys)
{
    const bool wasIdle = m_pending.isEmpty();
    while (!keys.isEmpty()) {
        const bool shift = keys.startsWith(u'+');
        if (shift)
            keys = keys.mid(1);
        if (!keys.startsWith(u"{tab}", Qt::CaseInsensitive))
            break;
        keys = keys.mid(5);
        m_pending.append(shift);
    }
    if (wasIdle && !m_pending.isEmpty())
        QMetaObject::invokeMethod(this, &KeySender::deliver, Qt::QueuedConnection);
}

void KeySender::deliver()
{
    const QList<bool> keys = std::exchange(m_pending, {});
    for (const bool shift : keys) {
        QWidget *target = QApplication::focusWidget();
        if (!target && m_window)
            target = m_window->focusWidget();
        if (!target)
            continue;
        const int key = shift ? Qt::Key_Backtab : Qt::Key_Tab;
        const Qt::KeyboardModifiers mods = shift ? Qt::ShiftModifier : Qt::NoModifier;
        QKeyEvent press(QEvent::KeyPress, key, mods);
        QCoreApplication::sendEvent(target, &press);
        QKeyEvent release(QEvent::KeyRelease, key, mods);
        QCoreApplication::sendEvent(target, &release);
    }
}
