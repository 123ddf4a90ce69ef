// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The minute check, the ring and STOP, with the clock and the ticks driven by the test.
#include "attention.h"
#include "intervaltimer.h"
#include "limitedlineedit.h"
#include "windowfixture.h"

#include "listbox.h"
#include <QPushButton>
#include <QScopeGuard>
#include <QTimeZone>
#include <QtTest>

#include <ctime>

namespace {

const QString kNotice = QStringLiteral("notice.wav");
const QString kAlarm = QStringLiteral("alarm.wav");

} // namespace

class TestEngine : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup()
    {
        m_f.reset();
        m_other.reset();
    }
    void caption();
    void onePlayPerNotificationMinute();
    void sameEntryPlaysAgainNextDay();
    void entriesThatAreNotPlainDigitsNeverMatch_data();
    void entriesThatAreNotPlainDigitsNeverMatch();
    void bothPanelsInOneTick();
    void matchDuringARingRestartsIt();
    void secondsBox_data();
    void secondsBox();
    void stop();
    void minutesBoxChangedDuringARing();
    void ringThroughThreeMinutes();
    void ringEnd_data();
    void ringEnd();
    void severalDaysMinuteByMinute();

private:
    tollwk &w() { return *m_f->window; }
    int plays(const QString &path) const;
    // Ticks the ring at the given interval until it stops or limit ticks have passed;
    // returns the plays per minute of the day. wallChange moves the wall clock by that
    // many milliseconds right after the first tick, as a user setting the time would.
    QMap<QString, int> ringUntilIdle(int limit = 10000, qint64 wallChange = 0);

    bool asksForAttention() { return w().findChild<Attention *>()->isRequested(); }

    std::unique_ptr<WindowFixture> m_f;
    // Another window holds the activation, as when the alarm window is minimized or behind.
    std::unique_ptr<QWidget> m_other;
};

void TestEngine::init()
{
    m_f = std::make_unique<WindowFixture>();
    w().Sname[0]->setText(kNotice);
    w().Sname[1]->setText(kAlarm);
    w().show();
    m_other = std::make_unique<QWidget>();
    m_other->show();
    m_other->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_other.get()));
}

int TestEngine::plays(const QString &path) const
{
    return int(m_f->sound.played.count(path));
}

QMap<QString, int> TestEngine::ringUntilIdle(int limit, qint64 wallChange)
{
    QMap<QString, int> perMinute;
    for (bool first = true; w().Timer2->interval() > 0 && limit-- > 0; first = false) {
        m_f->clock.advance(w().Timer2->interval());
        const int before = plays(kAlarm);
        w().Timer2_Timer();
        if (plays(kAlarm) > before)
            ++perMinute[m_f->clock.local().toString(QStringLiteral("HH:mm"))];
        if (first)
            m_f->clock.changeWallClock(wallChange);
    }
    return perMinute;
}

void TestEngine::caption()
{
    QCOMPARE(w().windowTitle(), QStringLiteral("Tollwick ver1.0"));
    for (const auto &[h, m, text] :
         {std::tuple {7, 5, "07:05"}, {0, 0, "00:00"}, {23, 59, "23:59"}}) {
        m_f->clock.set(h, m, 30);
        w().Timer1_Timer();
        QCOMPARE(w().windowTitle(), QString::fromLatin1(text));
    }
    QCOMPARE(m_f->sound.played.count(), 0); // empty lists: only the caption
}

void TestEngine::onePlayPerNotificationMinute()
{
    w().List1[0]->setEntries(
        {QStringLiteral("12:00"), QStringLiteral("12:00"), QStringLiteral("13:00")});
    m_f->clock.set(12, 0, 10);
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 1); // the duplicate ends the scan
    QCOMPARE(w().lastPlayedEntry, QStringLiteral("12:00"));
    m_f->clock.set(12, 0, 50);
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 1); // a second tick in the same minute
    m_f->clock.set(12, 1, 10);
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 1);
    m_f->clock.set(13, 0, 10);
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 2);
}

void TestEngine::sameEntryPlaysAgainNextDay()
{
    w().List1[0]->setEntries({QStringLiteral("12:00")});
    m_f->clock.set(QDateTime(QDate(2026, 12, 8), QTime(12, 0, 5)));
    w().Timer1_Timer();
    m_f->clock.set(QDateTime(QDate(2026, 12, 9), QTime(12, 0, 5)));
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 2);
}

void TestEngine::entriesThatAreNotPlainDigitsNeverMatch_data()
{
    QTest::addColumn<QString>("entry");
    QTest::newRow("blank 5") << " 5:30";
    QTest::newRow("5 point") << "5.:30";
    QTest::newRow("plus 5") << "+5:30";
    QTest::newRow("minute -0") << "05:-0";
    QTest::newRow("other separator") << "05.30";
    QTest::newRow("trailing blank") << "05:30 ";
}

void TestEngine::entriesThatAreNotPlainDigitsNeverMatch()
{
    QFETCH(QString, entry);
    w().List1[0]->setEntries({entry});
    w().List1[1]->setEntries({entry});
    m_f->clock.set(5, 30, 0);
    w().Timer1_Timer();
    QCOMPARE(m_f->sound.played.count(), 0);
    QCOMPARE(w().Timer2->interval(), 0);
}

void TestEngine::bothPanelsInOneTick()
{
    w().List1[0]->setEntries({QStringLiteral("07:00")});
    w().List1[1]->setEntries({QStringLiteral("07:00")});
    m_f->clock.set(7, 0, 20);
    w().Timer1_Timer();
    QCOMPARE(plays(kNotice), 1);
    QCOMPARE(plays(kAlarm), 0); // the first ring comes one interval later
    QCOMPARE(w().Timer2->interval(), 5000);
    QCOMPARE(w().ringStartMinute, 420);
}

void TestEngine::matchDuringARingRestartsIt()
{
    w().List1[1]->setEntries({QStringLiteral("07:00"), QStringLiteral("07:02")});
    m_f->clock.set(7, 0, 0);
    w().Timer1_Timer();
    m_f->clock.set(7, 2, 0);
    w().byoukan->setText(QStringLiteral("2"));
    w().Timer1_Timer();
    QCOMPARE(w().Timer2->interval(), 2000);
    QCOMPARE(w().ringStartMinute, 422);
    const QMap<QString, int> perMinute = ringUntilIdle();
    QCOMPARE(perMinute.keys(), (QStringList {"07:02", "07:03", "07:04"}));
}

void TestEngine::secondsBox_data()
{
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<int>("interval");
    QTest::newRow("0: no ring") << "0" << 0;
    QTest::newRow("1.5") << "1.5" << 1500;
    QTest::newRow("negative: no ring") << "-3" << 0;
    QTest::newRow("too large: clamped") << "99999999" << 2147483647;
}

void TestEngine::secondsBox()
{
    QFETCH(QString, seconds);
    w().List1[1]->setEntries({QStringLiteral("08:00")});
    w().Timer2->setInterval(5000); // a ring in progress
    w().byoukan->setText(seconds);
    m_f->clock.set(8, 0, 0);
    w().Timer1_Timer();
    QTEST(w().Timer2->interval(), "interval");
    QCOMPARE(w().ringStartMinute, 480);
    QCOMPARE(asksForAttention(), w().Timer2->interval() != 0);
}

void TestEngine::stop()
{
    w().btn_stop->click(); // idle: nothing changes
    QCOMPARE(w().Timer2->interval(), 0);
    w().List1[1]->setEntries({QStringLiteral("07:00")});
    m_f->clock.set(7, 0, 0);
    w().Timer1_Timer();
    QVERIFY(asksForAttention());
    m_f->clock.advance(5000);
    w().Timer2_Timer();
    QCOMPARE(plays(kAlarm), 1);
    w().btn_stop->click();
    QCOMPARE(w().Timer2->interval(), 0);
    QCOMPARE(w().ringStartMinute, 420);
    QVERIFY(!asksForAttention());
    m_f->clock.set(QDateTime(QDate(2026, 12, 9), QTime(7, 0, 0)));
    w().Timer1_Timer(); // the next match starts a new ring
    QCOMPARE(w().Timer2->interval(), 5000);
    QVERIFY(asksForAttention());
    w().activateWindow(); // the user came to the window: the ring goes on, the request ends
    QVERIFY(QTest::qWaitForWindowActive(&w()));
    QVERIFY(!asksForAttention());
    QCOMPARE(w().Timer2->interval(), 5000);
}

void TestEngine::minutesBoxChangedDuringARing()
{
    w().List1[1]->setEntries({QStringLiteral("07:00")});
    m_f->clock.set(7, 0, 0);
    w().Timer1_Timer();
    m_f->clock.set(7, 4, 0);
    w().hunkan->setText(QStringLiteral("10")); // raised: the same ring goes on
    w().Timer2_Timer();
    QCOMPARE(plays(kAlarm), 1);
    w().hunkan->setText(QStringLiteral("4")); // lowered to the minutes passed: ends
    w().Timer2_Timer();
    QCOMPARE(plays(kAlarm), 1);
    QCOMPARE(w().Timer2->interval(), 0);
}

void TestEngine::ringThroughThreeMinutes()
{
    w().List1[1]->setEntries({QStringLiteral("07:00")});
    m_f->clock.set(QDateTime(QDate(2026, 12, 8), QTime(7, 0, 0, 500)));
    w().Timer1_Timer();
    QVERIFY(asksForAttention());
    const QMap<QString, int> perMinute = ringUntilIdle();
    QVERIFY(!asksForAttention());
    QCOMPARE(perMinute.keys(), (QStringList {"07:00", "07:01", "07:02"}));
    QCOMPARE(perMinute.value(QStringLiteral("07:00")), 11); // from 5 s after the match
    QCOMPARE(perMinute.value(QStringLiteral("07:02")), 12);
    QCOMPARE(m_f->clock.local().time().toString(QStringLiteral("HH:mm:ss")),
             QStringLiteral("07:03:00")); // the first tick of 07:03 ended it, silently
}

// The ring's end falls where its minutes put it on a clock nobody touches: across
// midnight, on the nights the clocks change and when the user sets the clock during it.
// The ring sounds every 30 s from a match at :01 until the first tick of its end minute.
void TestEngine::ringEnd_data()
{
    QTest::addColumn<QByteArray>("zone"); // empty: the local zone as it is
    QTest::addColumn<QDateTime>("matched");
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<int>("wallChangeMinutes"); // after the first sound
    QTest::addColumn<QStringList>("rang"); // local minutes with a sound, if under an hour
    QTest::addColumn<int>("lasted"); // elapsed seconds from the match to the silent tick

    const QDate day(2026, 12, 8);
    QTest::newRow("23:58 for 3") << QByteArray() << QDateTime(day, QTime(23, 58, 1)) << "3" << 0
                                 << QStringList {"00:00", "23:58", "23:59"} << 180;
    QTest::newRow("23:59 for 1") << QByteArray() << QDateTime(day, QTime(23, 59, 1)) << "1" << 0
                                 << QStringList {"23:59"} << 60;
    QTest::newRow("23:59 for 0") << QByteArray() << QDateTime(day, QTime(23, 59, 1)) << "0" << 0
                                 << QStringList {} << 30;
    QTest::newRow("23:00 for two days") << QByteArray() << QDateTime(day, QTime(23, 0, 1)) << "2880"
                                        << 0 << QStringList {} << 2880 * 60;
    // New York, 2026: 02:00 EST becomes 03:00 EDT on 8 March, 02:00 EDT becomes 01:00 EST
    // on 1 November. The times are given in UTC, the local one being ambiguous.
    const QByteArray newYork("America/New_York");
    QTest::newRow("clocks go back at 02:00")
        << newYork << QDateTime(QDate(2026, 11, 1), QTime(5, 58, 1), Qt::UTC) << "3" << 0
        << QStringList {"01:00", "01:58", "01:59"} << 180;
    QTest::newRow("clocks go forward at 02:00")
        << newYork << QDateTime(QDate(2026, 3, 8), QTime(6, 58, 1), Qt::UTC) << "3" << 0
        << QStringList {"01:58", "01:59", "03:00"} << 180;
    QTest::newRow("clock set back an hour")
        << QByteArray() << QDateTime(day, QTime(7, 0, 1)) << "3" << -60
        << QStringList {"06:01", "06:02", "07:00"} << 180;
    QTest::newRow("clock set on an hour") << QByteArray() << QDateTime(day, QTime(7, 0, 1)) << "3"
                                          << 60 << QStringList {"07:00", "08:01", "08:02"} << 180;
    QTest::newRow("clock set back a day")
        << QByteArray() << QDateTime(day, QTime(23, 58, 1)) << "3" << -24 * 60
        << QStringList {"00:00", "23:58", "23:59"} << 180;
}

void TestEngine::ringEnd()
{
    QFETCH(QByteArray, zone);
    QFETCH(QDateTime, matched);
    QFETCH(QString, minutes);
    QFETCH(int, wallChangeMinutes);
    QFETCH(int, lasted);
    const QByteArray oldZone = qgetenv("TZ");
    const bool hadZone = qEnvironmentVariableIsSet("TZ");
    const auto restoreZone = qScopeGuard([&] {
        if (hadZone)
            qputenv("TZ", oldZone);
        else
            qunsetenv("TZ");
        tzset();
    });
    if (!zone.isEmpty()) {
        if (!QTimeZone(zone).isValid())
            QSKIP("This system has no data for the time zone");
        qputenv("TZ", zone);
        tzset();
    }

    m_f->clock.set(matched);
    w().List1[1]->setEntries({m_f->clock.local().toString(QStringLiteral("HH:mm"))});
    w().byoukan->setText(QStringLiteral("30"));
    w().hunkan->setText(minutes);
    w().Timer1_Timer();
    QCOMPARE(w().Timer2->interval(), 30000);
    const qint64 began = m_f->clock.elapsedMSecs();
    const QMap<QString, int> perMinute = ringUntilIdle(100000, wallChangeMinutes * 60000);
    QCOMPARE(w().Timer2->interval(), 0);
    QCOMPARE((m_f->clock.elapsedMSecs() - began) / 1000, lasted);
    QCOMPARE(plays(kAlarm), lasted / 30 - 1); // every tick before the last one sounds
    if (minutes.toInt() < 60)
        QTEST(perMinute.keys(), "rang");
}

// Three days and a bit, tick by tick, as the two timers would run them.
void TestEngine::severalDaysMinuteByMinute()
{
    w().List1[0]->setEntries({QStringLiteral("12:00")});
    w().List1[1]->setEntries({QStringLiteral("23:58")});
    m_f->clock.set(QDateTime(QDate(2026, 12, 8), QTime(8, 0, 17)));
    const qint64 end = m_f->clock.currentMSecsSinceEpoch() + qint64(3) * 24 * 3600 * 1000;
    qint64 next1 = m_f->clock.currentMSecsSinceEpoch() + 60000;
    qint64 next2 = -1;
    QMap<QDate, int> notices, alarms;
    int longestRingMs = 0;
    qint64 ringStart = -1;
    while (true) {
        const bool ring = next2 >= 0 && next2 < next1;
        const qint64 at = ring ? next2 : next1;
        if (at > end)
            break;
        m_f->clock.set(QDateTime::fromMSecsSinceEpoch(at));
        const int n = plays(kNotice), a = plays(kAlarm);
        if (ring) {
            w().Timer2_Timer();
            next2 = w().Timer2->interval() > 0 ? at + w().Timer2->interval() : -1;
            if (next2 < 0)
                longestRingMs = qMax(longestRingMs, int(at - ringStart));
        } else {
            const int before = w().ringStartMinute;
            w().Timer1_Timer();
            if (w().Timer2->interval() > 0 && (next2 < 0 || w().ringStartMinute != before)) {
                next2 = at + w().Timer2->interval();
                ringStart = at;
            }
            next1 = at + 60000;
        }
        notices[m_f->clock.local().date()] += plays(kNotice) - n;
        alarms[m_f->clock.local().date()] += plays(kAlarm) - a;
    }
    for (const QDate &day : {QDate(2026, 12, 8), QDate(2026, 12, 9), QDate(2026, 12, 10)})
        QCOMPARE(notices.value(day), 1);
    // The minute tick falls at :17, so the 3-minute ring at 23:58 sounds every 5 s from
    // 23:58:22: 20 times before midnight and 12 after it, every night.
    QCOMPARE(alarms.value(QDate(2026, 12, 8)), 20);
    QCOMPARE(alarms.value(QDate(2026, 12, 9)), 12 + 20);
    QCOMPARE(alarms.value(QDate(2026, 12, 10)), 12 + 20);
    QCOMPARE(alarms.value(QDate(2026, 12, 11)), 12);
    QVERIFY(longestRingMs <= 3 * 60000 + 5000);
}

QTEST_MAIN(TestEngine)
#include "tst_engine.moc"
