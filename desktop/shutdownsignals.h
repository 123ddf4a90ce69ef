// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Turns SIGTERM, SIGINT and SIGHUP into an orderly close of the window.
#pragma once

#include <QObject>

class QSocketNotifier;

class ShutdownSignals : public QObject
{
    Q_OBJECT
public:
    // Installs the handlers; only one instance may exist. If the notification pipe cannot
    // be made, the signals keep their default action.
    explicit ShutdownSignals(QObject *parent);
    ~ShutdownSignals() override;

Q_SIGNALS:
    void received(int signalNumber);

private:
    void readPipe();

    QSocketNotifier *m_notifier = nullptr;
};
