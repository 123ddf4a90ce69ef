// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Soak: 1,000 plays (most cut off by the next) and 10,000 minute ticks of a window with a
// set clock, into a private server; prints resident memory, open file descriptors and
// threads before and after. Given a number of seconds, it then sleeps that long with the
// connection to the server kept, for counting the sound thread's system calls while idle
// (strace -f -c -p PID). Run offscreen:
// QT_QPA_PLATFORM=offscreen sound_soak [pulseaudio|pipewire] [idle seconds]
#include "fakeclock.h"
#include "intervaltimer.h"
#include "listbox.h"
#include "limitedlineedit.h"
#include "scripteddialog.h"
#include "soundserver.h"
#include "tollwk.h"
#include "wavplayer.h"
#include "wavwriter.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sndfile.h>

Q_LOGGING_CATEGORY(lcSoak, "tollwick.bench.soak")

namespace {

void printUse(const char *when)
{
    QFile status(QStringLiteral("/proc/self/status"));
    QByteArray rss, threads;
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith("VmRSS:"))
                rss = line.mid(6).simplified();
            else if (line.startsWith("Threads:"))
                threads = line.mid(8).simplified();
        }
    }
    const auto fds = QDir(QStringLiteral("/proc/self/fd"))
                         .entryList(QDir::NoDotAndDotDot | QDir::AllEntries)
                         .size();
    qCInfo(lcSoak, "%-22s RSS %s  fds %lld  threads %s", when, rss.constData(),
           static_cast<long long>(fds), threads.constData());
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    qSetMessagePattern(QStringLiteral("%{message}"));
    const bool pipewire = argc > 1 && qstrcmp(argv[1], "pipewire") == 0;
    SoundServer server(pipewire ? SoundServer::Kind::PipeWire : SoundServer::Kind::PulseAudio);
    QString error;
    if (!server.start(&error)) {
        qCWarning(lcSoak) << error;
        return 1;
    }
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("soak.wav"));
    if (!writeTone(path, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 0.05, 880))
        return 1;

    FakeClock clock;
    clock.set(0, 0, 5);
    ScriptedDialog dialog;
    WavPlayer player(&app);
    tollwk window(clock, player, dialog, dir.filePath(QStringLiteral("soak.ini")));
    for (const char *entry : {"00:01", "07:00", "12:30", "18:45"})
        window.List1[0]->addItem(QString::fromLatin1(entry));
    for (const char *entry : {"06:00", "13:00"})
        window.List1[1]->addItem(QString::fromLatin1(entry));
    window.Sname[0]->setText(path);
    window.Sname[1]->setText(path);
    window.byoukan->setText(QStringLiteral("1"));
    window.hunkan->setText(QStringLiteral("1"));

    qCInfo(lcSoak, "%s", pipewire ? "PipeWire" : "PulseAudio");
    printUse("before any play");
    window.PlaySound[0]->click();
    QTest::qWait(500);
    printUse("after the first play");
    for (int i = 0; i < 1000; ++i) {
        window.PlaySound[i % 2]->click();
        QTest::qWait(5 + i % 7 * 10); // 5 to 65 ms: cut off, and now and then heard out
    }
    QTest::qWait(1000);
    printUse("after 1,000 plays");
    for (int i = 0; i < 10000; ++i) {
        clock.advance(60000);
        window.Timer1_Timer();
        if (i % 10 == 0)
            QCoreApplication::processEvents();
    }
    window.btn_stop->click();
    QTest::qWait(1000);
    printUse("after 10,000 ticks");
    qCInfo(lcSoak, "a sound still playing or on its way: %s", player.isPlaying() ? "yes" : "no");
    if (argc > 2) {
        qCInfo(lcSoak, "idle now for %s s", argv[2]);
        QThread::sleep(QByteArray(argv[2]).toULong());
    }
    return 0;
}
