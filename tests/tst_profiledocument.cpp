// The INI layer: how hand-edited files read, how writes land, and what is kept.
#include "profiledocument.h"

#include <QtTest>

class TestProfileDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reading_data();
    void reading();
    void writesLandWhereTheyBelong();
    void foreignLinesSurviveASave();
    void shiftJisFileReadsItsJapanese();
    void garbageNeverCrashes();
    void saveIsAtomicAndReportsFailure();
};

void TestProfileDocument::reading_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("value");
    const QString n = QStringLiteral("not");
    QTest::newRow("plain") << "[time]\r\nCount=1\r\n"
                           << "time"
                           << "count"
                           << "1";
    QTest::newRow("LF only") << "[time]\nCount=2\n"
                             << "time"
                             << "Count"
                             << "2";
    QTest::newRow("no final newline") << "[time]\nCount=3"
                                      << "time"
                                      << "COUNT"
                                      << "3";
    QTest::newRow("section case") << "[TIME]\ncount=4\n"
                                  << "time"
                                  << "Count"
                                  << "4";
    QTest::newRow("blanks around =") << "[a]\n  key \t=\t value  \n"
                                     << "a"
                                     << "key"
                                     << "value";
    QTest::newRow("blanks in brackets") << "[ a ]\nk=v\n"
                                        << "a"
                                        << "k"
                                        << "v";
    QTest::newRow("quoted") << "[a]\nk=\"C:\\x y\"\n"
                            << "a"
                            << "k"
                            << "C:\\x y";
    QTest::newRow("one quote") << "[a]\nk=\"x\n"
                               << "a"
                               << "k"
                               << "\"x";
    QTest::newRow("empty value") << "[a]\nk=\n"
                                 << "a"
                                 << "k"
                                 << "";
    QTest::newRow("comment") << "[a]\n;k=1\nk=2\n"
                             << "a"
                             << "k"
                             << "2";
    QTest::newRow("semicolon inside value") << "[a]\nk=1;2\n"
                                            << "a"
                                            << "k"
                                            << "1;2";
    QTest::newRow("no equals is no key") << "[a]\nk\nk=5\n"
                                         << "a"
                                         << "k"
                                         << "5";
    QTest::newRow("first key counts") << "[a]\nk=1\nk=2\n"
                                      << "a"
                                      << "k"
                                      << "1";
    QTest::newRow("first section counts") << "[a]\nx=1\n[a]\nk=2\n"
                                          << "a"
                                          << "k" << n;
    QTest::newRow("key in other section") << "[a]\n[b]\nk=1\n"
                                          << "a"
                                          << "k" << n;
    QTest::newRow("missing section") << "[a]\nk=1\n"
                                     << "b"
                                     << "k" << n;
    QTest::newRow("before any section") << "k=1\n[a]\n"
                                        << "a"
                                        << "k" << n;
    QTest::newRow("long value is whole") << "[a]\nk=" + QString(600, u'x') + "\n"
                                         << "a"
                                         << "k" << QString(600, u'x');
}

void TestProfileDocument::reading()
{
    QFETCH(QString, text);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(QString, value);
    QCOMPARE(ProfileDocument::fromText(text).value(section, key, QStringLiteral("not")), value);
}

void TestProfileDocument::writesLandWhereTheyBelong()
{
    ProfileDocument doc = ProfileDocument::fromText(
        QStringLiteral("[time]\r\ncount=1\r\ntime0=12:00\r\n\r\n[other]\r\nx=1\r\n"));
    doc.setValue(QStringLiteral("time"), QStringLiteral("Count"), QStringLiteral("2"));
    doc.setValue(QStringLiteral("time"), QStringLiteral("time1"), QStringLiteral("13:00"));
    doc.setValue(QStringLiteral("new"), QStringLiteral("k"), QStringLiteral("v"));
    QCOMPARE(doc.toUtf8(),
             QByteArray("[time]\r\ncount=2\r\ntime0=12:00\r\ntime1=13:00\r\n\r\n"
                        "[other]\r\nx=1\r\n[new]\r\nk=v\r\n"));
    QCOMPARE(doc.value(QStringLiteral("TIME"), QStringLiteral("TIME1"), QString()),
             QStringLiteral("13:00"));
}

void TestProfileDocument::foreignLinesSurviveASave()
{
    const QString text = QStringLiteral("; my alarm\r\n[time]\r\nCount = 0\r\nnote=keep me\r\n"
                                        "garbage line\r\n[mine]\r\nk=1\r\n");
    ProfileDocument doc = ProfileDocument::fromText(text);
    doc.setValue(QStringLiteral("time"), QStringLiteral("Count"), QStringLiteral("0"));
    QCOMPARE(QString::fromUtf8(doc.toUtf8()),
             QStringLiteral("; my alarm\r\n[time]\r\nCount=0\r\nnote=keep me\r\n"
                            "garbage line\r\n[mine]\r\nk=1\r\n"));
}

void TestProfileDocument::shiftJisFileReadsItsJapanese()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tollwk.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    // "[FileName]\r\nFileName=C:\サウンド\目覚まし.wav\r\n" in code page 932.
    f.write("[FileName]\r\nFileName=C:\\\x83\x54\x83\x45\x83\x93\x83\x68\\"
            "\x96\xda\x8a\x6f\x82\xdc\x82\xb5.wav\r\n");
    f.close();
    bool ok = false;
    const ProfileDocument doc = ProfileDocument::fromFile(path, &ok);
    QVERIFY(ok);
    QCOMPARE(doc.value(QStringLiteral("FileName"), QStringLiteral("FileName"), QString()),
             QStringLiteral("C:\\サウンド\\目覚まし.wav"));
    QVERIFY(QString::fromUtf8(doc.toUtf8()).contains(QStringLiteral("目覚まし")));
}

void TestProfileDocument::garbageNeverCrashes()
{
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QByteArray bytes(int(random.bounded(4000)), Qt::Uninitialized);
        for (char &c : bytes) {
            const char alphabet[] = "[]=;\"\r\n \tab\0\xff\x82";
            c = alphabet[random.bounded(int(sizeof alphabet))];
        }
        ProfileDocument doc = ProfileDocument::fromText(QString::fromUtf8(bytes));
        doc.value(QStringLiteral("a"), QStringLiteral("b"), QString());
        doc.setValue(QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"));
        QCOMPARE(doc.value(QStringLiteral("a"), QStringLiteral("b"), QString()),
                 QStringLiteral("c"));
    }
}

void TestProfileDocument::saveIsAtomicAndReportsFailure()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("sub/tollwk.ini"));
    ProfileDocument doc;
    doc.setValue(QStringLiteral("a"), QStringLiteral("k"), QStringLiteral("1"));
    QString error;
    QVERIFY(doc.save(path, &error)); // makes the folder
    QCOMPARE(QDir(dir.filePath(QStringLiteral("sub"))).entryList(QDir::Files),
             QStringList {QStringLiteral("tollwk.ini")}); // no temporary left behind

    // A path that is a directory cannot be written, and says so.
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("dir.ini"))));
    QVERIFY(!doc.save(dir.filePath(QStringLiteral("dir.ini")), &error));
    QVERIFY(!error.isEmpty());
}

QTEST_GUILESS_MAIN(TestProfileDocument)
#include "tst_profiledocument.moc"
