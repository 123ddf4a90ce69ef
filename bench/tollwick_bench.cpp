// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Prints the figures for the sort, loading and saving, and the minute check on full lists.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen ./tollwick_bench
#include "alarmtime.h"
#include "clock.h"
#include "exchangesort.h"
#include "filedialog.h"
#include "listbox.h"
#include "tollwk.h"
#include "wavplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

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
        }
        std::vector<double> load, save;
        for (int run = 0; run < kRuns; ++run) {
            tollwk window(clock, sound, dialog, path);
            QElapsedTimer t;
            t.start();
            window.LoadSettings();
            load.push_back(t.nsecsElapsed() / 1e6);
            t.restart();
            window.SaveSettings();
            save.push_back(t.nsecsElapsed() / 1e6);
        }
        const Spread l = spread(load), s = spread(save);
        // Per entry, so that a straight line shows as a steady figure.
        std::printf("  %5d entries in each list: load %6.2f ms (%6.2f-%6.2f)  "
                    "save %6.2f ms (%6.2f-%6.2f)  per 1000: load %.2f, save %.2f ms\n",
                    size, l.median, l.min, l.max, s.median, s.min, s.max, l.median * 1000 / size,
                    s.median * 1000 / size);
    }

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
