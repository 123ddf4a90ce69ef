// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window as the form defines it: controls, geometry, fonts, tab order, focus, the
// typing limit, buttons pressed from the keyboard, and the timers' interval semantics.
#include "intervaltimer.h"
#include "limitedlineedit.h"
#include "windowfixture.h"

#include <QAccessible>
#include <QGroupBox>
#include <QLabel>
#include "listbox.h"
#include <QPushButton>
#include <QtTest>

class TestWindow : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void controls_data();
    void controls();
    void clientAreaAndBorder();
    void fonts();
    void tabCycle();
    void startFocusAndPanelShiftTabs();
    void typingLimit_data();
    void typingLimit();
    void buttonsFromTheKeyboard_data();
    void buttonsFromTheKeyboard();
    void timerInterval();
    void browseFillsOnlyItsPanel();

private:
    QWidget *control(tollwk &w, const QString &name) { return w.findChild<QWidget *>(name); }
};

void TestWindow::controls_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("container");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("twips");
    auto row = [](const char *name, const char *in, const QString &text, QRect r) {
        QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(in) << text << r;
    };
    row("Frame2", "tollwk", "お知らせ", {120, 0, 2775, 2775});
    row("Frame1", "tollwk", "目覚まし", {3000, 0, 5295, 2775});
    for (int i = 0; i < 2; ++i) {
        const char *frame = i == 0 ? "Frame2" : "Frame1";
        auto n = [i](const char *base) {
            static QByteArray names[64];
            static int next = 0;
            QByteArray &slot = names[next++ % 64];
            slot = QByteArray(base) + '(' + QByteArray::number(i) + ')';
            return slot.constData();
        };
        row(n("sansyou"), frame, "参照", {1560, 0, 495, 255});
        row(n("PlaySound"), frame, "再生", {2160, 0, 495, 255});
        row(n("Sname"), frame, "", {120, 240, 2535, 270});
        row(n("List1"), frame, "", {120, 600, 1215, 2040});
        row(n("time1"), frame, "", {1440, 720, 495, 375});
        row(n("Label1"), frame, ":", {1995, 645, 135, 615});
        row(n("time2"), frame, "", {2160, 720, 495, 375});
        row(n("btn_tuika"), frame, "追加", {1440, 1200, 1215, 495});
        row(n("BTN_sakujyo"), frame, "削除", {1440, 1800, 1215, 495});
        row(n("usorting"), frame, "昇順", {1440, 2400, 615, 300});
        row(n("dsorting"), frame, "降順", {2040, 2400, 615, 300});
    }
    row("Label2", "Frame1", "時間になったら", {2760, 240, 1335, 375});
    row("byoukan", "Frame1", "5", {2760, 480, 375, 270});
    row("Label4", "Frame1", "秒ごとに", {3120, 480, 975, 255});
    row("hunkan", "Frame1", "3", {3840, 480, 375, 270});
    row("Label3", "Frame1", "分間鳴らす", {4200, 480, 975, 375});
    row("btn_stop", "Frame1", "STOP", {2760, 840, 2415, 1815});
}

void TestWindow::controls()
{
    QFETCH(QString, name);
    QFETCH(QString, container);
    QFETCH(QString, text);
    QFETCH(QRect, twips);
    WindowFixture f;
    QWidget *w = control(*f.window, name);
    QVERIFY2(w, qPrintable(name));
    QCOMPARE(w->parentWidget()->objectName(), container);
    QString shown;
    if (auto *b = qobject_cast<QPushButton *>(w))
        shown = b->text();
    else if (auto *l = qobject_cast<QLabel *>(w))
        shown = l->text();
    else if (auto *e = qobject_cast<QLineEdit *>(w))
        shown = e->text();
    else if (auto *g = qobject_cast<QGroupBox *>(w))
        shown = g->title();
    QCOMPARE(shown, text);
    // 15 twips to the pixel at 96 DPI.
    const QRect px((twips.x() + 7) / 15, (twips.y() + 7) / 15, (twips.width() + 7) / 15,
                   (twips.height() + 7) / 15);
    QCOMPARE(w->geometry(), px);
    QVERIFY(!w->accessibleName().isEmpty());
    // The two panels' controls are told apart by what assistive technology is told.
    if (name.endsWith(u')')) {
        const QString other =
            name.left(name.size() - 2) + (name.endsWith(u"0)") ? u'1' : u'0') + u')';
        const QWidget *sibling = control(*f.window, other);
        QVERIFY(w->accessibleName() + w->accessibleDescription()
                != sibling->accessibleName() + sibling->accessibleDescription());
    }
    if (auto *list = qobject_cast<ListBox *>(w))
        QCOMPARE(list->count(), 0);
}

void TestWindow::clientAreaAndBorder()
{
    WindowFixture f;
    QCOMPARE(f.window->size(), QSize(559, 188));
    QCOMPARE(f.window->minimumSize(), f.window->maximumSize());
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tollwick ver1.0"));
    QAccessibleInterface *window = QAccessible::queryAccessibleInterface(f.window.get());
    QCOMPARE(window->role(), QAccessible::Window);
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Tollwick ver1.0"));
    f.window->showMinimized();
    QCOMPARE(window->text(QAccessible::Name), QStringLiteral("Tollwick ver1.0"));
    const Qt::WindowFlags flags = f.window->windowFlags();
    QVERIFY(flags & Qt::WindowMinimizeButtonHint);
    QVERIFY(!(flags & Qt::WindowMaximizeButtonHint));
    QVERIFY(flags & Qt::WindowCloseButtonHint);
    QVERIFY(!f.window->windowIcon().isNull());
    QCOMPARE(f.window->Timer1->interval(), 0);
    QCOMPARE(f.window->Timer2->interval(), 0);
}

void TestWindow::fonts()
{
    WindowFixture f;
    for (QWidget *w :
         {static_cast<QWidget *>(f.window->time1[0]), static_cast<QWidget *>(f.window->time2[1])}) {
        QCOMPARE(w->font().pointSizeF(), 15.75);
        QVERIFY(w->font().bold());
    }
    for (QWidget *w : {static_cast<QWidget *>(f.window->Label1[0]),
                       static_cast<QWidget *>(f.window->btn_stop)}) {
        QCOMPARE(w->font().pointSizeF(), 21.75);
        QVERIFY(w->font().bold());
    }
    QVERIFY(!f.window->btn_tuika[0]->font().bold());
}

void TestWindow::tabCycle()
{
    WindowFixture f;
    QVERIFY(f.showActive());
    tollwk &w = *f.window;
    const QList<QWidget *> order = {
        w.time1[0],    w.time2[0],       w.btn_tuika[0], w.List1[0],    w.BTN_sakujyo[0],
        w.usorting[0], w.dsorting[0],    w.time1[1],     w.time2[1],    w.btn_tuika[1],
        w.List1[1],    w.BTN_sakujyo[1], w.usorting[1],  w.dsorting[1], w.hunkan,
        w.byoukan,     w.btn_stop};
    QCOMPARE(QApplication::focusWidget(), w.time1[0]);
    for (int step = 1; step <= order.size(); ++step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), order[step % order.size()]);
    }
    for (int step = order.size() - 1; step >= 0; --step) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), order[step]);
    }
}

void TestWindow::startFocusAndPanelShiftTabs()
{
    WindowFixture f;
    QVERIFY(f.showActive());
    for (int i = 0; i < 2; ++i) {
        f.window->btn_tuika[i]->setFocus();
        QTest::keyClick(f.window->btn_tuika[i], Qt::Key_Backtab, Qt::ShiftModifier);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(QApplication::focusWidget(), f.window->time1[i]);
    }
}

void TestWindow::typingLimit_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("shown");
    QTest::newRow("seconds") << "byoukan"
                             << "123"
                             << "12";
    QTest::newRow("minutes") << "hunkan"
                             << "456"
                             << "45";
    QTest::newRow("sound file has no limit") << "Sname(0)"
                                             << "/a/very/long/path.wav"
                                             << "/a/very/long/path.wav";
}

void TestWindow::typingLimit()
{
    QFETCH(QString, box);
    QFETCH(QString, typed);
    QFETCH(QString, shown);
    WindowFixture f;
    QVERIFY(f.showActive());
    auto *edit = f.window->findChild<LimitedLineEdit *>(box);
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, typed);
    QCOMPARE(edit->text(), shown);
}

void TestWindow::buttonsFromTheKeyboard_data()
{
    QTest::addColumn<int>("key");
    QTest::newRow("Space") << int(Qt::Key_Space);
    QTest::newRow("Return") << int(Qt::Key_Return);
    QTest::newRow("keypad Enter") << int(Qt::Key_Enter);
}

void TestWindow::buttonsFromTheKeyboard()
{
    QFETCH(int, key);
    WindowFixture f;
    QVERIFY(f.showActive());
    f.window->Timer2->setInterval(5000);
    f.window->btn_stop->setFocus();
    QTest::keyClick(f.window->btn_stop, Qt::Key(key));
    QCOMPARE(f.window->Timer2->interval(), 0);
}

void TestWindow::timerInterval()
{
    QObject owner;
    IntervalTimer timer(&owner);
    QSignalSpy ticks(&timer, &IntervalTimer::timeout);
    timer.setInterval(0);
    QTest::qWait(50);
    QCOMPARE(ticks.count(), 0); // 0 is no ticks, not "whenever idle"
    timer.setInterval(-5);
    QCOMPARE(timer.interval(), 0);
    QTest::qWait(50);
    QCOMPARE(ticks.count(), 0);
    timer.setInterval(20);
    QTRY_VERIFY(ticks.count() >= 2);
    timer.setInterval(0);
    const int after = ticks.count();
    QTest::qWait(60);
    QCOMPARE(ticks.count(), after);
}

void TestWindow::browseFillsOnlyItsPanel()
{
    WindowFixture f;
    f.window->Sname[0]->setText(QStringLiteral("/old.wav"));
    f.dialog.answers = {QStringLiteral("/sounds/chime.wav"), QString()};
    f.window->sansyou_Click(1);
    QCOMPARE(f.window->Sname[1]->text(), QStringLiteral("/sounds/chime.wav"));
    QCOMPARE(f.window->Sname[0]->text(), QStringLiteral("/old.wav"));
    f.window->sansyou_Click(0); // cancelled
    QCOMPARE(f.window->Sname[0]->text(), QStringLiteral("/old.wav"));
    QCOMPARE(f.dialog.shown, 2);
}

QTEST_MAIN(TestWindow)
#include "tst_window.moc"
