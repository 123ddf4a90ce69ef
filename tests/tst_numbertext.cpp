// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The number test, its rounding, and the ring's interval and duration built on it.
#include "numbertext.h"
#include "ringtiming.h"

#include <QtTest>

class TestNumberText : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void numeric_data();
    void numeric();
    void interval_data();
    void interval();
    void duration_data();
    void duration();
};

void TestNumberText::numeric_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("numeric");
    QTest::addColumn<double>("value");
    QTest::newRow("digits") << "07" << true << 7.0;
    QTest::newRow("plus") << "+5" << true << 5.0;
    QTest::newRow("minus zero") << "-0" << true << 0.0;
    QTest::newRow("blank before") << " 5" << true << 5.0;
    QTest::newRow("blank after") << "5 " << true << 5.0;
    QTest::newRow("tab around") << "\t1.5\t" << true << 1.5;
    QTest::newRow("point after") << "5." << true << 5.0;
    QTest::newRow("point before") << ".5" << true << 0.5;
    QTest::newRow("empty") << "" << false << 0.0;
    QTest::newRow("blank only") << " " << false << 0.0;
    QTest::newRow("sign only") << "-" << false << 0.0;
    QTest::newRow("point only") << "." << false << 0.0;
    QTest::newRow("letter") << "1a" << false << 0.0;
    QTest::newRow("two points") << "1.2.3" << false << 0.0;
    QTest::newRow("exponent") << "1e3" << false << 0.0;
    QTest::newRow("inner blank") << "1 2" << false << 0.0;
    QTest::newRow("trailing sign") << "5-" << false << 0.0;
    QTest::newRow("two signs") << "+-1" << false << 0.0;
    QTest::newRow("full-width digit") << "５" << false << 0.0;
    QTest::newRow("nan") << "nan" << false << 0.0;
}

void TestNumberText::numeric()
{
    QFETCH(QString, text);
    QFETCH(bool, numeric);
    QFETCH(double, value);
    QCOMPARE(isNumericText(text), numeric);
    const std::optional<double> v = numericValue(text);
    QCOMPARE(v.has_value(), numeric);
    if (numeric)
        QCOMPARE(*v, value);
}

void TestNumberText::interval_data()
{
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<int>("msec");
    QTest::newRow("5") << "5" << 5000;
    QTest::newRow("1.5") << "1.5" << 1500;
    QTest::newRow("0") << "0" << 0;
    QTest::newRow("half a millisecond rounds to even 0") << "0.0005" << 0;
    QTest::newRow("1.5 ms rounds to even 2") << "0.0015" << 2;
    QTest::newRow("negative") << "-1" << 0;
    QTest::newRow("beyond the timer") << "99999999999" << 2147483647;
    QTest::newRow("not numeric") << "abc" << 0;
}

void TestNumberText::interval()
{
    QFETCH(QString, seconds);
    QFETCH(int, msec);
    QCOMPARE(ringIntervalMs(seconds), msec);
}

void TestNumberText::duration_data()
{
    QTest::addColumn<QString>("minutes");
    QTest::addColumn<int>("value");
    QTest::newRow("3") << "3" << 3;
    QTest::newRow("half to even down") << "2.5" << 2;
    QTest::newRow("half to even up") << "3.5" << 4;
    QTest::newRow("negative") << "-2" << -2;
    QTest::newRow("beyond 16 bits") << "100000" << 32767;
    QTest::newRow("far below") << "-100000" << -32768;
}

void TestNumberText::duration()
{
    QFETCH(QString, minutes);
    QFETCH(int, value);
    QCOMPARE(ringDurationMinutes(minutes), value);
}

QTEST_GUILESS_MAIN(TestNumberText)
#include "tst_numbertext.moc"
