// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A window that changes its settings on a schedule, for the tests that kill it or run two
// of it at once. Prints each change as "<n> <ms>" once it is made, on the monotonic clock
// that QDeadlineTimer reads, which every process shares.
//   settingschurn bursts PATH SEED        200 notices added in bursts, then waits forever
//   settingschurn rounds PATH PANEL START [HOW]
//       100 rounds, one every 40 ms from START (ms on the monotonic clock), each adding an
//       entry; HOW is how they reach the file:
//       save     each round saved at once, waiting for another copy's lock as a close does
//       save=MS  the same with the wait for the lock cut to MS; a save that finds it held
//                prints "put off" and is left to the next round; the last waits as a close
//       nolock   each round written by the atomic write alone, into the file as it was
//                at the start, without the lock; a save that fails prints "missed" and
//                is left to the next round
//       window   the window's own saves after each change, with a pause of 0.6 s after
//                every 20 rounds for them to start; then the window is closed
//       A save that fails prints "failed" and the reason.
#include "settingsfile.h"
#include "windowfixture.h"

#include "limitedlineedit.h"
#include "profiledocument.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QFile>
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

// The file as it was at the start with settings written into it, by the atomic write
// alone: no lock, and no reading again, which the lock exists to make safe.
bool saveUnlocked(const QString &path, const QByteArray &before, const SettingsSnapshot &settings,
                  QString *error)
{
    ProfileDocument doc = ProfileDocument::fromBytes(before);
    writeSettings(doc, settings);
    return doc.save(path, error);
}

int rounds(tollwk &window, const QString &path, qint16 panel, qint64 start, const QString &how)
{
    const bool byWindow = how == u"window";
    QFile file(path);
    const QByteArray before = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    int failures = 0;
    for (int round = 0; round < 100; ++round) {
        const qint64 due = start + round * 40 + (byWindow ? round / 20 * 600 : 0);
        while (QDeadlineTimer::current().deadline() < due)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        add(window, panel, round);
        if (byWindow)
            continue;
        const bool last = round == 99;
        QString error;
        SaveResult result;
        if (how == u"nolock") {
            // Without the lock, the other copy's rename can hide the file for an instant
            // where names are looked up by path (FUSE): such a save fails, keeping the old
            // file, and the last is tried until it is made.
            bool saved = false;
            for (int tries = last ? 10 : 1; !saved && tries > 0; --tries)
                saved = saveUnlocked(path, before, window.settingsSnapshot(), &error);
            result = saved ? SaveResult::Saved : SaveResult::Failed;
            if (result != SaveResult::Saved && !last) {
                std::printf("missed %d %s\n", round, qPrintable(error));
                continue;
            }
        } else {
            const int wait =
                how.startsWith(u"save=") && !last ? how.mid(5).toInt() : kSettingsLockWaitMs;
            result = saveSettingsFile(path, window.settingsSnapshot(), &error, wait);
            if (result == SaveResult::LockHeld && !last) {
                std::printf("put off %d\n", round);
                continue;
            }
        }
        if (result != SaveResult::Saved) {
            std::printf("failed %s\n", qPrintable(error));
            ++failures;
        }
    }
    if (byWindow) {
        window.close();
        if (!window.lastSaveSucceeded()) {
            std::printf("failed at the close\n");
            ++failures;
        }
    }
    std::fflush(stdout);
    return failures == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 4) {
        std::fprintf(stderr,
                     "usage: settingschurn bursts PATH SEED | rounds PATH PANEL START [HOW]\n");
        return 2;
    }
    WindowFixture f(args[2]);
    f.window->Form_Load();
    if (args[1] == u"rounds" && args.size() >= 5)
        return rounds(*f.window, args[2], qint16(args[3].toInt()), args[4].toLongLong(),
                      args.value(5, QStringLiteral("save")));
    bursts(*f.window, args[3].toUInt());
    return app.exec();
}
