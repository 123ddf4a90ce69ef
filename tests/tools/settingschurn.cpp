// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A window that changes its settings on a schedule, for the tests that kill it or run two
// of it at once. Prints each change as "<n> <ms>" once it is made, on the monotonic clock
// that QDeadlineTimer reads, which every process shares.
//   settingschurn bursts PATH SEED        200 notices added in bursts, then waits forever
//   settingschurn rounds PATH PANEL START  100 rounds, one every 40 ms from START (ms on
//                                          the monotonic clock): an entry added, then saved
#include "settingsfile.h"
#include "windowfixture.h"

#include "limitedlineedit.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QRandomGenerator>
#include <QTimer>

#include <cstdio>
#include <functional>

namespace {

void add(tollwk &window, qint16 panel, int n)
{
    window.time1[panel]->setText(QString::number(n / 60 % 24).rightJustified(2, u'0'));
    window.time2[panel]->setText(QString::number(n % 60).rightJustified(2, u'0'));
    window.btn_tuika_Click(panel);
    std::printf("%d %lld\n", n, static_cast<long long>(QDeadlineTimer::current().deadline()));
    std::fflush(stdout);
}

// Bursts of 1 to 12 changes 10 ms apart, with 0.55 to 0.8 s of quiet between them.
void bursts(tollwk &window, quint32 seed)
{
    auto *random = new QRandomGenerator(seed);
    auto next = std::make_shared<std::function<void(int, int)>>();
    *next = [&window, random, next](int n, int leftInBurst) {
        if (n == 200)
            return;
        add(window, 0, n);
        const bool burstGoesOn = leftInBurst > 1;
        const int wait = burstGoesOn ? 10 : random->bounded(550, 800);
        const int left = burstGoesOn ? leftInBurst - 1 : random->bounded(1, 13);
        QTimer::singleShot(wait, &window, [next, n, left] { (*next)(n + 1, left); });
    };
    (*next)(0, random->bounded(1, 13));
}

int rounds(tollwk &window, const QString &path, qint16 panel, qint64 start)
{
    int failures = 0;
    for (int round = 0; round < 100; ++round) {
        while (QDeadlineTimer::current().deadline() < start + round * 40)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        add(window, panel, round);
        QString error;
        if (!saveSettingsFile(path, window.settingsSnapshot(), &error)) {
            std::printf("failed %s\n", qPrintable(error));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr, "usage: settingschurn bursts PATH SEED | rounds PATH PANEL START\n");
        return 2;
    }
    WindowFixture f(args[2]);
    f.window->Form_Load();
    if (args[1] == u"rounds" && args.size() >= 5)
        return rounds(*f.window, args[2], qint16(args[3].toInt()), args[4].toLongLong());
    bursts(*f.window, args[3].toUInt());
    return app.exec();
}
