// The attention request over QWindow::alert. Qt lets an alert end only by itself (a
// duration, or the window becoming active), so the request is withdrawn through the slot
// that ends a timed alert.
#include "attention.h"

#include <QEvent>
#include <QWidget>
#include <QWindow>

Attention &Attention::of(QWidget *window)
{
    if (auto *existing = window->findChild<Attention *>(QString(), Qt::FindDirectChildrenOnly))
        return *existing;
    return *new Attention(window);
}

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
    }
}

bool Attention::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_window && event->type() == QEvent::ActivationChange
        && m_window->isActiveWindow())
        withdraw();
    return QObject::eventFilter(watched, event);
}
