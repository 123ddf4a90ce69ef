// Typing into the hour, minute, seconds and minutes boxes through the real keyboard path,
// and adding and deleting entries.
#include "limitedlineedit.h"
#include "windowfixture.h"

#include <QClipboard>
#include "listbox.h"
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
    void assigningEmptyRunsNoFurtherCheck();
    void keyboardOnlyRoadOfTwoEntries_data();
    void keyboardOnlyRoadOfTwoEntries();
    void addNeedsTwoCharactersInEachBox();
    void addTakesTheTextsAsTheyStand();
    void fullListTakesNoMore();
    void deleting();

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
    std::unique_ptr<WindowFixture> m_fixture;
};

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

QTEST_MAIN(TestEntryFields)
#include "tst_entryfields.moc"
