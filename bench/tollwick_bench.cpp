// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Prints the figures for the sort, loading and saving, and the minute check on full lists.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen ./tollwick_bench
#include "alarmtime.h"
#include "clock.h"
#include "exchangesort.h"
#include "filedialog.h"
#include "limitedlineedit.h"
#include "listbox.h"
#include "profiledocument.h"
#include "settingsfile.h"
#include "settingssaver.h"
#include "tollwk.h"
#include "wavplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/inotify.h>
#include <unistd.h>

namespace {

constexpr int kRuns = 9; // every figure is the median of these, with min and max

struct Spread {
    double median, min, max;
};

Spread spread(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
}

Spread timeMs(const std::function<void()> &work, int runs = kRuns)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    return spread(std::move(times));
}

void print(const char *what, Spread s)
{
    std::printf("%s %7.2f ms (%7.2f-%7.2f)", what, s.median, s.min, s.max);
}

void printUs(const char *what, Spread s)
{
    std::printf("%s %6.1f us (%6.1f-%6.1f)", what, s.median * 1000, s.min * 1000, s.max * 1000);
}

QStringList randomList(int size, int distinct, quint32 seed)
{
    QRandomGenerator random(seed);
    QStringList list;
    for (int i = 0; i < size; ++i) {
        const int minute = int(random.bounded(distinct)) * 1439 / qMax(1, distinct - 1);
        if (minute % 60 < 40 && minute >= 60 && random.bounded(2))
            list.append(QStringLiteral("%1:%2")
                            .arg(minute / 60 - 1, 2, 10, QLatin1Char('0'))
                            .arg(minute % 60 + 60));
        else
            list.append(QStringLiteral("%1:%2")
                            .arg(minute / 60, 2, 10, QLatin1Char('0'))
                            .arg(minute % 60, 2, 10, QLatin1Char('0')));
    }
    return list;
}

void transcribedSort(QStringList &list)
{
    for (int i = 0; i < list.size(); ++i)
        for (int j = 0; j < list.size(); ++j)
            if (minuteOfDay(list[i]) < minuteOfDay(list[j]))
                list.swapItemsAt(i, j);
}

class FixedClock final : public Clock
{
public:
    qint64 currentMSecsSinceEpoch() const override { return now; }
    qint64 elapsedMSecs() const override { return now; }
    qint64 now = 0;
};

// The saves that reach folder: each renames a new file over the settings file.
class SaveCounter
{
public:
    explicit SaveCounter(const QString &folder)
        : m_fd(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        // The moves from the new file's name too: inotify merges equal events in a row.
        inotify_add_watch(m_fd, QFile::encodeName(folder).constData(), IN_MOVED_TO | IN_MOVED_FROM);
    }
    ~SaveCounter() { ::close(m_fd); }
    int count()
    {
        alignas(inotify_event) char buffer[4096];
        ssize_t n;
        while ((n = ::read(m_fd, buffer, sizeof buffer)) > 0)
            for (char *p = buffer; p < buffer + n;) {
                const auto *event = reinterpret_cast<const inotify_event *>(p);
                m_saves += (event->mask & IN_MOVED_TO) && event->len
                    && qstrcmp(event->name, "tollwk.ini") == 0;
                p += sizeof(inotify_event) + event->len;
            }
        return m_saves;
    }

private:
    int m_fd;
    int m_saves = 0;
};

void addByKeys(tollwk &window, int n)
{
    window.time1[0]->setText(QString::number(n / 60 % 24).rightJustified(2, u'0'));
    window.time2[0]->setText(QString::number(n % 60).rightJustified(2, u'0'));
    window.btn_tuika_Click(0);
}

void savingAfterChanges(QTemporaryDir &dir, Clock &clock, SoundPlayer &sound, FileDialog &dialog)
{
    std::printf("saving after a change: what the window's thread pays (101 runs)\n");
    // A full list takes no more adds, so the largest starts with room for the runs' adds.
    for (const int size : {1000, kMaxEntries - 202}) {
        tollwk window(clock, sound, dialog, dir.filePath(QStringLiteral("snap%1.ini").arg(size)));
        window.List1[0]->addItems(randomList(size, 1440, 5));
        window.List1[1]->addItems(randomList(size, 1440, 6));
        SettingsSaver saver(
            dir.filePath(QStringLiteral("snapsaver%1.ini").arg(size)),
            [&window] { return window.settingsSnapshot(); }, nullptr);
        std::printf("  2 x %5d entries:", size);
        printUs(" snapshot", timeMs([&] { window.settingsSnapshot(); }, 101));
        printUs(", snapshot handed to the saving thread",
                timeMs([&] { saver.save(window.settingsSnapshot()); }, 101));
        std::printf("\n  %*s", 19, "");
        // The list the saving thread still holds is copied by the next change to it.
        int n = 0;
        printUs(" an add while a save holds the lists",
                timeMs(
                    [&] {
                        const SettingsSnapshot held = window.settingsSnapshot();
                        addByKeys(window, n++);
                    },
                    101));
        printUs(", an add alone", timeMs([&] { addByKeys(window, n++); }, 101));
        std::printf("\n");
        saver.finish();
    }

    std::printf("saves made for a burst of 500 adds 20 ms apart, then 2 s of quiet\n");
    std::vector<double> saves;
    for (int run = 0; run < 5; ++run) {
        const QString folder = dir.filePath(QStringLiteral("burst%1").arg(run));
        QDir().mkpath(folder);
        SaveCounter counter(folder);
        tollwk window(clock, sound, dialog, folder + QStringLiteral("/tollwk.ini"));
        window.Form_Load();
        int n = 0;
        QTimer adds;
        QObject::connect(&adds, &QTimer::timeout, &window, [&] {
            addByKeys(window, n);
            if (++n == 500)
                adds.stop();
        });
        adds.start(20);
        QEventLoop loop;
        QTimer::singleShot(500 * 20 + 2000, &loop, &QEventLoop::quit);
        loop.exec();
        const QStringList saved =
            readSettings(ProfileDocument::fromFile(folder + QStringLiteral("/tollwk.ini"))
                             .value_or(ProfileDocument()))
                .notices;
        saves.push_back(counter.count());
        if (saved.size() != 500)
            std::printf("  run %d: only %d of 500 saved\n", run, int(saved.size()));
    }
    const Spread s = spread(saves);
    std::printf("  %.0f saves (%.0f-%.0f), 5 runs\n", s.median, s.min, s.max);
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    std::printf("Each figure: median of %d runs (min-max)\n", kRuns);
    std::printf("sort (ascending, equal minutes written two ways)\n");
    for (const int distinct : {10, 1440}) {
        const QStringList full = randomList(kMaxEntries, distinct, 7);
        std::printf("  32767 entries, %4d distinct minutes:", distinct);
        print("", timeMs([&] { sortedEntries(full, SortDirection::Ascending); }));
        std::printf("\n");
    }
    {
        const QStringList small = randomList(2000, 10, 9);
        const Spread fast = timeMs([&] { sortedEntries(small, SortDirection::Ascending); });
        QStringList copy = small;
        const Spread slow = timeMs([&] {
            copy = small;
            transcribedSort(copy);
        });
        print("  2000 entries: here", fast);
        print(", the exchange sort itself", slow);
        std::printf(" (same order: %s)\n",
                    copy == sortedEntries(small, SortDirection::Ascending) ? "yes" : "NO");
    }

    QTemporaryDir dir;
    FixedClock clock;
    WavPlayer sound(&app);
    QtFileDialog dialog;
    std::printf("LoadSettings and SaveSettings (the save re-reads the file)\n");
    for (const int size : {1000, 2000, 4000, 8000, 16000, kMaxEntries}) {
        const QString path = dir.filePath(QStringLiteral("tollwk%1.ini").arg(size));
        {
            tollwk window(clock, sound, dialog, path);
            window.List1[0]->addItems(randomList(size, 1440, 1));
            window.List1[1]->addItems(randomList(size, 1440, 2));
            window.SaveSettings();
            window.lastSaveSucceeded();
        }
        std::vector<double> load, save;
        for (int run = 0; run < kRuns; ++run) {
            tollwk window(clock, sound, dialog, path);
            QElapsedTimer t;
            t.start();
            window.LoadSettings();
            load.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            // The save runs behind the window; the figure is the whole of it.
            window.SaveSettings();
            window.lastSaveSucceeded();
            save.push_back(t.nsecsElapsed() / 1e6);
        }
        const Spread l = spread(load), s = spread(save);
        // Per entry, so that a straight line shows as a steady figure.
        std::printf("  %5d entries in each list: load %6.2f ms (%6.2f-%6.2f)  "
                    "save %6.2f ms (%6.2f-%6.2f)  per 1000: load %.2f, save %.2f ms\n",
                    size, l.median, l.min, l.max, s.median, s.min, s.max, l.median * 1000 / size,
                    s.median * 1000 / size);
    }

    savingAfterChanges(dir, clock, sound, dialog);

    std::printf("minute check over two lists of 32767 entries\n");
    {
        tollwk window(clock, sound, dialog, dir.filePath(QStringLiteral("tick.ini")));
        window.List1[0]->addItems(randomList(kMaxEntries, 1440, 3));
        window.List1[1]->addItems(randomList(kMaxEntries, 1440, 4));
        clock.now = QDateTime(QDate(2026, 12, 8), QTime(3, 33, 20)).toMSecsSinceEpoch();
        window.List1[0]->clear();
        window.List1[0]->addItems(QStringList(kMaxEntries, QStringLiteral("04:00")));
        window.List1[1]->clear();
        window.List1[1]->addItems(QStringList(kMaxEntries, QStringLiteral("05:00")));
        print("  one tick:", timeMs([&] { window.Timer1_Timer(); }, 21));
        std::printf(" (21 runs)\n");
    }
    return 0;
}
