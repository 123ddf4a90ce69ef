// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Typing into the hour, minute, seconds and minutes boxes through the real keyboard path,
// and adding and deleting entries.
#include "limitedlineedit.h"
#include "windowfixture.h"

#include "listbox.h"

#include <QAccessible>
#include <QClipboard>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QtTest>

class TestEntryFields : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup() { m_fixture.reset(); }
    void timeBoxes_data();
    void timeBoxes();
    void intervalBoxes_data();
    void intervalBoxes();
    void limitOnTheEdit_data();
    void limitOnTheEdit();
    void assigningEmptyRunsNoFurtherCheck();
    void keyboardOnlyRoadOfTwoEntries_data();
    void keyboardOnlyRoadOfTwoEntries();
    void addNeedsTwoCharactersInEachBox();
    void addTakesTheTextsAsTheyStand();
    void fullListTakesNoMore();
    void deleting();
    void listKeysThenDelete_data();
    void listKeysThenDelete();

private:
    tollwk &w() { return *m_fixture->window; }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
        QCoreApplication::processEvents(); // queued keystrokes take effect here
    }
    void type(const QString &text)
    {
        for (const QChar c : text) {
            QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
            QCoreApplication::processEvents();
        }
    }
    // Typed key by key, or pasted with Ctrl+V when it starts with "paste:".
    void enter(const QString &input)
    {
        if (input.startsWith(QLatin1String("paste:"))) {
            QGuiApplication::clipboard()->setText(input.mid(6));
            key(Qt::Key_V, Qt::ControlModifier);
        } else {
            type(input);
        }
    }
    // One edit of a box: "type:", "paste:", "drop:" (at the start), "im:" (an input method
    // commit), "key:" with Backspace, Undo or Redo, "menu:" with Undo, Redo or Paste,
    // "clip:" (only puts the text on the clipboard), or "assign:" (the program's setText
    // through a plain QLineEdit pointer).
    void edit(LimitedLineEdit &box, const QString &step);
    std::unique_ptr<WindowFixture> m_fixture;
};

void TestEntryFields::edit(LimitedLineEdit &box, const QString &step)
{
    const QString how = step.section(u':', 0, 0);
    const QString what = step.section(u':', 1);
    if (how == u"type") {
        type(what);
    } else if (how == u"clip") {
        QGuiApplication::clipboard()->setText(what);
    } else if (how == u"assign") {
        static_cast<QLineEdit &>(box).setText(what);
    } else if (how == u"paste") {
        enter(step);
    } else if (how == u"drop") {
        QMimeData data;
        data.setText(what);
        const QPoint start(1, box.height() / 2);
        QDragEnterEvent enter(start, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&box, &enter);
        QDragMoveEvent move(start, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&box, &move);
        QDropEvent drop(start, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(&box, &drop);
        QCoreApplication::processEvents();
    } else if (how == u"im") {
        QInputMethodEvent commit;
        commit.setCommitString(what);
        QCoreApplication::sendEvent(&box, &commit);
        QCoreApplication::processEvents();
    } else if (how == u"menu") {
        QContextMenuEvent event(QContextMenuEvent::Keyboard, QPoint(1, 1),
                                box.mapToGlobal(QPoint(1, 1)));
        QCoreApplication::sendEvent(&box, &event);
        const QList<QMenu *> menus = box.findChildren<QMenu *>();
        QVERIFY(!menus.isEmpty());
        QMenu *menu = menus.constLast();
        for (QAction *action : menu->actions()) {
            if (action->text().startsWith(u'&' + what)) // no translation loaded
                action->trigger();
        }
        menu->close();
        box.window()->activateWindow(); // the menu took the activation
        QVERIFY(QTest::qWaitForWindowActive(box.window()));
    } else if (what == u"Backspace") {
        key(Qt::Key_Backspace);
    } else if (what == u"Undo") {
        key(Qt::Key_Z, Qt::ControlModifier);
    } else if (what == u"Redo") {
        key(Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    } else {
        QFAIL(qPrintable(step));
    }
}

void TestEntryFields::init()
{
    m_fixture = std::make_unique<WindowFixture>();
    QVERIFY(m_fixture->showActive());
}

void TestEntryFields::timeBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("input"); // typed key by key, or pasted when it starts with "paste:"
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("focus");
    const QString h = QStringLiteral("time1(0)"), m = QStringLiteral("time2(0)");
    const QString h1 = QStringLiteral("time1(1)"), m1 = QStringLiteral("time2(1)");
    QTest::newRow("0 waits") << h << "0"
                             << "0" << h;
    QTest::newRow("07 moves on") << h << "07"
                                 << "07" << m;
    QTest::newRow("7 alone stays") << h << "7"
                                   << "7" << h;
    QTest::newRow("24 emptied") << h << "24"
                                << "" << h;
    QTest::newRow("23 moves on") << h << "23"
                                 << "23" << m;
    QTest::newRow("60 emptied") << m << "60"
                                << "" << m;
    QTest::newRow("59 to the add button") << m << "59"
                                          << "59"
                                          << "btn_tuika(0)";
    QTest::newRow("alarm panel 07") << h1 << "07"
                                    << "07" << m1;
    QTest::newRow("alarm panel 30") << m1 << "30"
                                    << "30"
                                    << "btn_tuika(1)";
    QTest::newRow("1a emptied whole") << h << "1a"
                                      << "" << h;
    QTest::newRow("a emptied") << h << "a"
                               << "" << h;
    QTest::newRow("minus emptied") << h << "-"
                                   << "" << h;
    QTest::newRow("blank emptied") << m << " "
                                   << "" << m;
    QTest::newRow("-1 pasted: value -1") << h << "paste:-1"
                                         << "" << h;
    QTest::newRow("-0 pasted: value 0") << h << "paste:-0"
                                        << "-0" << m;
    QTest::newRow("+5") << h << "paste:+5"
                        << "+5" << m;
    QTest::newRow("blank 5") << h << "paste: 5"
                             << " 5" << m;
    QTest::newRow("5 blank") << h << "paste:5 "
                             << "5 " << m;
    QTest::newRow("5 point") << h << "paste:5."
                             << "5." << m;
    QTest::newRow("point 5: value 0") << h << "paste:.5"
                                      << ".5" << m;
    QTest::newRow("paste cut to two") << h << "paste:123"
                                      << "12" << m;
    // Full-width digits and signs, as a Japanese document holds them, enter as plain ones.
    QTest::newRow("full-width 07 pasted") << h << "paste:０７"
                                          << "07" << m;
    QTest::newRow("full-width -1 pasted: value -1") << h << "paste:－１"
                                                    << "" << h;
    QTest::newRow("full-width +5 pasted") << h << "paste:＋５"
                                          << "+5" << m;
    QTest::newRow("full-width paste cut to two") << m1 << "paste:５９０"
                                                 << "59"
                                                 << "btn_tuika(1)";
    QTest::newRow("third digit refused") << m1 << "5"
                                         << "5" << m1;
}

void TestEntryFields::timeBoxes()
{
    QFETCH(QString, box);
    QFETCH(QString, input);
    w().findChild<QWidget *>(box)->setFocus();
    enter(input);
    QTEST(w().findChild<LimitedLineEdit *>(box)->text(), "text");
    QTEST(QApplication::focusWidget()->objectName(), "focus");
}

void TestEntryFields::intervalBoxes_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("text");
    QTest::newRow("cleared shows 0") << "byoukan"
                                     << ""
                                     << "0";
    QTest::newRow("x gives 0") << "byoukan"
                               << "x"
                               << "0";
    QTest::newRow("-5 pasted stays") << "hunkan"
                                     << "paste:-5"
                                     << "-5";
    QTest::newRow("typed minus becomes 0 first") << "hunkan"
                                                 << "-5"
                                                 << "05";
    QTest::newRow("full-width .5 pasted") << "byoukan"
                                          << "paste:．５"
                                          << ".5";
    QTest::newRow("1. stays") << "hunkan"
                              << "1."
                              << "1.";
    QTest::newRow("10 stays, focus too") << "hunkan"
                                         << "10"
                                         << "10";
}

void TestEntryFields::intervalBoxes()
{
    QFETCH(QString, box);
    QFETCH(QString, input);
    auto *edit = w().findChild<LimitedLineEdit *>(box);
    edit->setFocus();
    edit->selectAll();
    key(Qt::Key_Delete);
    QCOMPARE(edit->text(), QStringLiteral("0"));
    edit->selectAll();
    enter(input);
    QTEST(edit->text(), "text");
    QCOMPARE(QApplication::focusWidget(), edit); // no focus movement from these boxes
}

void TestEntryFields::limitOnTheEdit_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("assigned");
    QTest::addColumn<int>("from"); // the selection, or the cursor when it is empty
    QTest::addColumn<int>("to");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("checks"); // runs of the box's check after the assignment
    QTest::addColumn<QString>("focus");
    const QString h = QStringLiteral("time1(0)"), m = QStringLiteral("time2(0)");
    const QString s = QStringLiteral("byoukan"), n = QStringLiteral("hunkan");
    auto row = [](const char *name, const QString &box, const QString &assigned, int from, int to,
                  const QStringList &steps, const QString &text, int checks, const QString &focus) {
        QTest::newRow(name) << box << assigned << from << to << steps << text << checks << focus;
    };
    row("typed third digit refused", s, "12", 2, 2, {"type:3"}, "12", 0, s);
    row("paste at the start, repeating the text", h, "1", 0, 0, {"paste:12"}, "11", 1, m);
    row("paste at the end", h, "1", 1, 1, {"paste:23"}, "12", 1, m);
    row("paste in the middle of a full box", s, "12", 1, 1, {"paste:9"}, "12", 0, s);
    row("paste over the whole selected text", m, "15", 0, 2, {"paste:105"}, "10", 1,
        "btn_tuika(0)");
    row("paste over part of the text", s, "12", 1, 2, {"paste:345"}, "13", 1, s);
    row("paste over a selected digit", n, "7", 0, 1, {"paste:789"}, "78", 1, n);
    row("typed into an over-long text", s, "100", 3, 3, {"type:5"}, "100", 0, s);
    row("typed over the middle of an over-long text", s, "100", 1, 2, {"type:5"}, "10", 1, s);
    row("pasted over all of an over-long text", s, "100", 0, 3, {"paste:789"}, "78", 1, s);
    row("deleting from an over-long text", s, "120", 3, 3, {"key:Backspace"}, "12", 1, s);
    row("dropped at the start", n, "3", 1, 1, {"drop:45"}, "43", 1, n);
    row("dropped into a full box", n, "34", 2, 2, {"drop:5"}, "34", 0, n);
    row("input method commit cut", h, "", 0, 0, {"im:123"}, "12", 1, m);
    row("input method commit over a selection", n, "12", 0, 2, {"im:9"}, "9", 1, n);
    row("undo of a typed digit", h, "", 0, 0, {"type:1", "key:Undo"}, "", 2, h);
    row("undo and redo of a paste", s, "5", 0, 1, {"paste:42", "key:Undo", "key:Redo"}, "42", 3, s);
    row("undo may not bring back an over-long text", s, "100", 3, 3, {"key:Backspace", "key:Undo"},
        "10", 1, s);
    row("nor may the menu's undo", s, "100", 3, 3, {"key:Backspace", "menu:Undo"}, "10", 1, s);
    row("menu undo and redo of a paste", n, "5", 0, 1, {"paste:42", "menu:Undo", "menu:Redo"}, "42",
        3, n);
    row("full-width pasted over the whole selected text", m, "15", 0, 2, {"paste:１２"}, "12", 1,
        "btn_tuika(0)");
    row("full-width dropped into an empty box", h, "", 0, 0, {"drop:０７"}, "07", 1, m);
    row("full-width dropped before a digit", h, "7", 0, 0, {"drop:０"}, "07", 1, m);
    row("full-width input method commit", h, "", 0, 0, {"im:２３"}, "23", 1, m);
    row("the menu's paste cut as the keys' is", s, "5", 0, 1, {"clip:789", "menu:Paste"}, "78", 1,
        s);
    row("assigned through a QLineEdit pointer, never cut", s, "5", 0, 1, {"assign:12345"}, "12345",
        1, s);
    row("full-width kept in the sound file box", "Sname(0)", "/", 1, 1, {"paste:０７．ｗａｖ"},
        "/０７．ｗａｖ", 1, "Sname(0)");
}

void TestEntryFields::limitOnTheEdit()
{
    QFETCH(QString, box);
    QFETCH(QString, assigned);
    QFETCH(int, from);
    QFETCH(int, to);
    QFETCH(QStringList, steps);
    auto *edit = w().findChild<LimitedLineEdit *>(box);
    edit->setText(assigned);
    QCOMPARE(edit->text(), assigned); // never cut
    QCoreApplication::processEvents(); // a Tab the assignment sent goes elsewhere
    edit->setFocus();
    edit->setSelection(to, from - to); // the cursor at from
    QSignalSpy checks(edit, &QLineEdit::textChanged);
    for (const QString &step : steps)
        this->edit(*edit, step);
    QTEST(edit->text(), "text");
    QTEST(int(checks.count()), "checks");
    QTEST(QApplication::focusWidget()->objectName(), "focus");
    // What an input method asks before it composes: only the sound file boxes want one.
    QInputMethodQueryEvent query(Qt::ImEnabled | Qt::ImHints);
    QCoreApplication::sendEvent(edit, &query);
    const bool soundFile = box.startsWith(u"Sname");
    QCOMPARE(query.value(Qt::ImEnabled).toBool(), soundFile);
    QCOMPARE(query.value(Qt::ImHints).toInt() & Qt::ImhFormattedNumbersOnly,
             soundFile ? 0 : int(Qt::ImhFormattedNumbersOnly));
}

void TestEntryFields::assigningEmptyRunsNoFurtherCheck()
{
    QSignalSpy changes(w().time1[0], &QLineEdit::textChanged);
    w().time1[0]->setText(QString());
    QCOMPARE(changes.count(), 0);
    w().time1[0]->setFocus();
    type(QStringLiteral("a"));
    QCOMPARE(changes.count(), 2); // "a", then the nested "" and no further run
}

void TestEntryFields::keyboardOnlyRoadOfTwoEntries_data()
{
    QTest::addColumn<int>("panel");
    QTest::addColumn<int>("press");
    QTest::newRow("notices, Space") << 0 << int(Qt::Key_Space);
    QTest::newRow("notices, Enter") << 0 << int(Qt::Key_Return);
    QTest::newRow("alarms, Space") << 1 << int(Qt::Key_Space);
}

void TestEntryFields::keyboardOnlyRoadOfTwoEntries()
{
    QFETCH(int, panel);
    QFETCH(int, press);
    QCOMPARE(QApplication::focusWidget(), w().time1[0]);
    if (panel == 1) {
        for (int i = 0; i < 7; ++i)
            key(Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), w().time1[1]);
    }
    type(QStringLiteral("0730"));
    QCOMPARE(QApplication::focusWidget(), w().btn_tuika[panel]);
    key(Qt::Key(press));
    QCOMPARE(QApplication::focusWidget(), w().time1[panel]);
    type(QStringLiteral("1200"));
    key(Qt::Key(press));
    QCOMPARE(w().List1[panel]->entries(), (QStringList {"07:30", "12:00"}));
    QCOMPARE(w().List1[1 - panel]->entries(), QStringList());
    QCOMPARE(w().time1[panel]->text(), QString());
    QCOMPARE(w().time2[panel]->text(), QString());
    QCOMPARE(QApplication::focusWidget(), w().time1[panel]);
}

void TestEntryFields::addNeedsTwoCharactersInEachBox()
{
    w().time1[0]->setFocus();
    type(QStringLiteral("7"));
    w().btn_tuika[0]->setFocus();
    key(Qt::Key_Space);
    QCOMPARE(w().List1[0]->count(), 0);
    QCOMPARE(w().time1[0]->text(), QStringLiteral("7"));
    QCOMPARE(QApplication::focusWidget(), w().btn_tuika[0]);
}

void TestEntryFields::addTakesTheTextsAsTheyStand()
{
    w().time1[1]->setText(QStringLiteral(" 5"));
    w().time2[1]->setText(QStringLiteral("30"));
    w().btn_tuika[1]->click();
    w().time1[1]->setText(QStringLiteral("07"));
    w().time2[1]->setText(QStringLiteral("30"));
    w().btn_tuika[1]->click();
    w().time1[1]->setText(QStringLiteral("07"));
    w().time2[1]->setText(QStringLiteral("30"));
    w().btn_tuika[1]->click();
    QCOMPARE(w().List1[1]->entries(), (QStringList {" 5:30", "07:30", "07:30"}));
}

void TestEntryFields::fullListTakesNoMore()
{
    w().List1[0]->addItems(QStringList(32767, QStringLiteral("01:00")));
    w().time1[0]->setText(QStringLiteral("02"));
    w().time2[0]->setText(QStringLiteral("00"));
    w().btn_tuika[0]->click();
    QCOMPARE(w().List1[0]->count(), 32767);
    QCOMPARE(w().time1[0]->text(), QStringLiteral("02"));
}

void TestEntryFields::deleting()
{
    ListBox *list = w().List1[0];
    list->setEntries({QStringLiteral("01:00"), QStringLiteral("02:00"), QStringLiteral("03:00")});
    w().List1[1]->setEntries({QStringLiteral("09:00")});
    w().BTN_sakujyo[0]->click(); // nothing selected
    QCOMPARE(list->count(), 3);
    list->setSelectedRow(0);
    w().BTN_sakujyo[0]->click();
    QCOMPARE(list->entries(), (QStringList {"02:00", "03:00"}));
    QVERIFY(list->selectedRow() == -1);
    w().BTN_sakujyo[0]->click(); // a second press deletes nothing
    QCOMPARE(list->count(), 2);
    QCOMPARE(w().List1[1]->count(), 1);
}

void TestEntryFields::listKeysThenDelete_data()
{
    QTest::addColumn<int>("selected"); // before the list gets the focus
    QTest::addColumn<int>("key");
    QTest::addColumn<QStringList>("left"); // after Tab, Space on the delete button
    const QStringList all {"01:00", "02:00", "03:00", "04:00"};
    auto without = [&all](int row) {
        QStringList left = all;
        left.removeAt(row);
        return left;
    };
    const std::pair<const char *, int> keys[] = {
        {"Home", Qt::Key_Home},   {"Up", Qt::Key_Up},         {"Down", Qt::Key_Down},
        {"End", Qt::Key_End},     {"PageUp", Qt::Key_PageUp}, {"PageDown", Qt::Key_PageDown},
        {"Space", Qt::Key_Space},
    };
    // Nothing selected: the focus frame is on the first entry.
    const int fromNothing[] = {0, 0, 1, 3, 0, 3, 0};
    // The second entry selected.
    const int fromSecond[] = {0, 0, 2, 3, 0, 3, 1};
    for (size_t i = 0; i < std::size(keys); ++i) {
        QTest::addRow("nothing selected, %s", keys[i].first)
            << -1 << keys[i].second << without(fromNothing[i]);
        QTest::addRow("second selected, %s", keys[i].first)
            << 1 << keys[i].second << without(fromSecond[i]);
    }
    QTest::newRow("last selected, Down stays on it") << 3 << int(Qt::Key_Down) << without(3);
    QTest::newRow("first selected, Up stays on it") << 0 << int(Qt::Key_Up) << without(0);
}

void TestEntryFields::listKeysThenDelete()
{
    QFETCH(int, selected);
    QFETCH(int, key);
    ListBox *list = w().List1[0];
    list->setEntries({"01:00", "02:00", "03:00", "04:00"});
    list->setSelectedRow(selected);
    w().btn_tuika[0]->setFocus();
    this->key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), list);
    this->key(Qt::Key(key));
    this->key(Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), w().BTN_sakujyo[0]);
    this->key(Qt::Key_Space);
    QTEST(list->entries(), "left");
    QCOMPARE(list->selectedRow(), -1);
    // Assistive technology sees no entry with the focus while the list does not have it.
    QAccessibleInterface *entries = QAccessible::queryAccessibleInterface(list);
    for (int row = 0; row < list->count(); ++row)
        QVERIFY2(!entries->tableInterface()->cellAt(row, 0)->state().focused,
                 qPrintable(list->text(row)));
}

QTEST_MAIN(TestEntryFields)
#include "tst_entryfields.moc"
