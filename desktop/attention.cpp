// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The attention request, through the display server's own way (windowmarker.h).
#include "attention.h"

#include "windowmarker.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

#include <utility>

Attention::Attention(QWidget *window)
    : QObject(window)
    , m_window(window)
    , m_marker(WindowMarker::forThisDisplay())
{
    window->installEventFilter(this);
}

Attention::~Attention() = default;

void Attention::request()
{
    QWindow *window = m_window->windowHandle();
    if (!window || !m_window->isVisible() || m_window->isActiveWindow())
        return;
    if (m_marker)
        m_marker->mark(window, true);
    m_requested = true;
}

void Attention::withdraw()
{
    if (!std::exchange(m_requested, false))
        return;
    QWindow *window = m_window->windowHandle();
    if (window && m_marker)
        m_marker->mark(window, false);
}

bool Attention::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::ActivationChange
        && m_window->isActiveWindow())
        withdraw();
    return QObject::eventFilter(watched, event);
}
