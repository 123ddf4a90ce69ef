// Prints the figures for the sort, loading and saving, and the minute check on full lists.
// Run on the offscreen platform: QT_QPA_PLATFORM=offscreen ./tollwick_bench
#include "alarmtime.h"
#include "clock.h"
#include "exchangesort.h"
#include "filedialog.h"
#include "tollwk.h"
#include "wavplayer.h"

#include <QApplication>
#include <QElapsedTimer>
#include "listbox.h"
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

double medianMs(int runs, const std::function<void()> &work)
{
    std::vector<double> times;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

constexpr int kSettingsRuns = 9;

struct Spread {
    double median, min, max;
};

Spread spread(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return {times[times.size() / 2], times.front(), times.back()};
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
    qint64 now = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);

    std::printf("sort (ascending, equal minutes written two ways)\n");
    for (const int distinct : {10, 1440}) {
        const QStringList full = randomList(kMaxEntries, distinct, 7);
        const double fast = medianMs(9, [&] { sortedEntries(full, SortDirection::Ascending); });
        std::printf("  32767 entries, %4d distinct minutes: %7.2f ms\n", distinct, fast);
    }
    {
        const QStringList small = randomList(2000, 10, 9);
        const double fast = medianMs(9, [&] { sortedEntries(small, SortDirection::Ascending); });
        QStringList copy = small;
        const double slow = medianMs(1, [&] {
            copy = small;
            transcribedSort(copy);
        });
        std::printf(
            "  2000 entries: %.3f ms here, %.1f ms for the exchange sort itself (same order: %s)\n",
            fast, slow, copy == sortedEntries(small, SortDirection::Ascending) ? "yes" : "NO");
    }

    QTemporaryDir dir;
    FixedClock clock;
    WavPlayer sound(&app);
    QtFileDialog dialog;
    std::printf("LoadSettings and SaveSettings (the save re-reads the file), %d runs each\n",
                kSettingsRuns);
    for (const int size : {1000, 2000, 4000, 8000, 16000, kMaxEntries}) {
        const QString path = dir.filePath(QStringLiteral("tollwk%1.ini").arg(size));
        {
            tollwk window(clock, sound, dialog, path);
            window.List1[0]->addItems(randomList(size, 1440, 1));
            window.List1[1]->addItems(randomList(size, 1440, 2));
            window.SaveSettings();
        }
        std::vector<double> load, save;
        for (int run = 0; run < kSettingsRuns; ++run) {
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
        std::printf("  %5d entries in each list: load %6.2f ms (%6.2f-%6.2f)  "
                    "save %6.2f ms (%6.2f-%6.2f)\n",
                    size, l.median, l.min, l.max, s.median, s.min, s.max);
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
        const double tick = medianMs(21, [&] { window.Timer1_Timer(); });
        std::printf("  one tick: %.2f ms\n", tick);
    }
    return 0;
}
