// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sort against a direct transcription of the list's exchange sort.
#include "alarmtime.h"
#include "exchangesort.h"
#include "windowfixture.h"

#include "listbox.h"
#include <QPushButton>
#include <QRandomGenerator>
#include <QtTest>

namespace {

// The exchange sort exactly as the list does it: every ordered pair, strict test, the
// exchange written at once. Returns the number of exchanges.
int transcribedSort(QStringList &list, SortDirection direction)
{
    int exchanges = 0;
    for (int i = 0; i < list.size(); ++i) {
        for (int j = 0; j < list.size(); ++j) {
            const int mi = minuteOfDay(list[i]);
            const int mj = minuteOfDay(list[j]);
            if (direction == SortDirection::Ascending ? mi < mj : mi > mj) {
                const QString kept = list[i];
                list[i] = list[j];
                list[j] = kept;
                ++exchanges;
            }
        }
    }
    return exchanges;
}

QString randomEntry(QRandomGenerator &random, int distinctMinutes)
{
    // Equal minutes of the day written differently: 01:00, 00:60, 01:0 spelt as 00:6 0 ...
    const int minute = int(random.bounded(distinctMinutes)) * 1439 / qMax(1, distinctMinutes - 1);
    const int h = minute / 60, m = minute % 60;
    if (m < 40 && h > 0 && random.bounded(3) == 0) // hour one less, minutes 60 more
        return QStringLiteral("%1:%2").arg(h - 1, 2, 10, QLatin1Char('0')).arg(m + 60);
    return QStringLiteral("%1%2%3")
        .arg(h, 2, 10, QLatin1Char('0'))
        .arg(random.bounded(2) ? u':' : u'.')
        .arg(m, 2, 10, QLatin1Char('0'));
}

} // namespace

class TestSorting : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void examples_data();
    void examples();
    void sameOrderAsTheExchangeSort_data();
    void sameOrderAsTheExchangeSort();
    void entriesWithoutATime_data();
    void entriesWithoutATime();
    void buttonsSortOnlyTheirPanel();
};

void TestSorting::examples_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("ascending");
    QTest::addColumn<QStringList>("descending");
    QTest::newRow("empty") << QStringList() << QStringList() << QStringList();
    QTest::newRow("one") << QStringList {"07:00"} << QStringList {"07:00"} << QStringList {"07:00"};
    QTest::newRow("four") << QStringList {"12:00", "07:30", "23:59", "00:00"}
                          << QStringList {"00:00", "07:30", "12:00", "23:59"}
                          << QStringList {"23:59", "12:00", "07:30", "00:00"};
    QTest::newRow("duplicates") << QStringList {"07:30", "06:00", "07:30"}
                                << QStringList {"06:00", "07:30", "07:30"}
                                << QStringList {"07:30", "07:30", "06:00"};
    QTest::newRow("already ascending")
        << QStringList {"00:00", "23:59"} << QStringList {"00:00", "23:59"}
        << QStringList {"23:59", "00:00"};
    QTest::newRow("equal minutes, two")
        << QStringList {"01:00", "00:60"} << QStringList {"01:00", "00:60"}
        << QStringList {"01:00", "00:60"};
    QTest::newRow("equal minutes, third entry")
        << QStringList {"00:60", "01:00", "00:59"} << QStringList {"00:59", "01:00", "00:60"}
        << QStringList {"01:00", "00:60", "00:59"};
}

void TestSorting::examples()
{
    QFETCH(QStringList, list);
    QTEST(sortedEntries(list, SortDirection::Ascending), "ascending");
    QTEST(sortedEntries(list, SortDirection::Descending), "descending");
    QStringList copy = list;
    transcribedSort(copy, SortDirection::Descending);
    QTEST(copy, "descending");
    copy = {QStringLiteral("12:00"), QStringLiteral("07:30"), QStringLiteral("23:59"),
            QStringLiteral("00:00")};
    QCOMPARE(transcribedSort(copy, SortDirection::Ascending), 6);
}

void TestSorting::sameOrderAsTheExchangeSort_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("distinct");
    QTest::addColumn<int>("lists");
    QTest::newRow("tiny lists, all ties") << 6 << 2 << 3000;
    QTest::newRow("small lists, many ties") << 40 << 5 << 800;
    QTest::newRow("medium lists") << 200 << 30 << 100;
    QTest::newRow("long list, few keys") << 1500 << 8 << 4;
    QTest::newRow("long list, many keys") << 1500 << 1440 << 4;
}

void TestSorting::sameOrderAsTheExchangeSort()
{
    QFETCH(int, size);
    QFETCH(int, distinct);
    QFETCH(int, lists);
    QRandomGenerator random(size * 7919 + distinct);
    for (int n = 0; n < lists; ++n) {
        QStringList list;
        const int length = int(random.bounded(size + 1));
        for (int i = 0; i < length; ++i)
            list.append(randomEntry(random, distinct));
        for (const SortDirection d : {SortDirection::Ascending, SortDirection::Descending}) {
            QStringList expected = list;
            transcribedSort(expected, d);
            const QStringList actual = sortedEntries(list, d);
            if (actual != expected)
                QFAIL(qPrintable(QStringLiteral("differs for %1").arg(list.join(u' '))));
        }
    }
}

void TestSorting::entriesWithoutATime_data()
{
    QTest::addColumn<QStringList>("list");
    QTest::addColumn<QStringList>("ascending");
    QTest::addColumn<QStringList>("descending");
    QTest::newRow("short and signed after the times")
        << QStringList {"7", "12:00", " 5:30", "03:00", "", "-0:5."}
        << QStringList {"03:00", "12:00", "7", " 5:30", "", "-0:5."}
        << QStringList {"12:00", "03:00", "7", " 5:30", "", "-0:5."};
    QTest::newRow("only untimed") << QStringList {"b", "a"} << QStringList {"b", "a"}
                                  << QStringList {"b", "a"};
    QTest::newRow("any separator and a tail still make a time")
        << QStringList {"00:00x", "23.59"} << QStringList {"00:00x", "23.59"}
        << QStringList {"23.59", "00:00x"};
}

void TestSorting::entriesWithoutATime()
{
    QFETCH(QStringList, list);
    QTEST(sortedEntries(list, SortDirection::Ascending), "ascending");
    QTEST(sortedEntries(list, SortDirection::Descending), "descending");
}

void TestSorting::buttonsSortOnlyTheirPanel()
{
    WindowFixture f;
    const QStringList mixed {QStringLiteral("09:00"), QStringLiteral("01:00")};
    f.window->List1[0]->setEntries(mixed);
    f.window->List1[1]->setEntries(mixed);
    f.window->List1[0]->setSelectedRow(1);
    f.window->usorting[0]->click();
    QCOMPARE(f.window->List1[0]->entries(), (QStringList {"01:00", "09:00"}));
    QCOMPARE(f.window->List1[1]->entries(), mixed);
    QCOMPARE(f.window->List1[0]->text(f.window->List1[0]->selectedRow()), QStringLiteral("09:00"));
    f.window->dsorting[1]->click();
    QCOMPARE(f.window->List1[1]->entries(), mixed);
    f.window->usorting[1]->click();
    QCOMPARE(f.window->List1[1]->entries(), (QStringList {"01:00", "09:00"}));
}

QTEST_MAIN(TestSorting)
#include "tst_sorting.moc"
