// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The INI layer: how hand-edited files read, how writes land, and what is kept.
#include "profiledocument.h"

#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

class TestProfileDocument : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reading_data();
    void reading();
    void writing_data();
    void writing();
    void foreignLinesSurviveASave();
    void decoding_data();
    void decoding();
    void garbageNeverCrashes();
    void manyNumberedKeysReadBack();
    void saving_data();
    void saving();
    void killedWhileSavingLeavesOldOrNew();
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
    QTest::newRow("CR alone") << "[time]\rCount=5\rtime0=07:00\r"
                              << "time"
                              << "time0"
                              << "07:00";
    QTest::newRow("mixed line ends") << "[a]\r\nx=1\rk=2\n[b]\rk=3"
                                     << "b"
                                     << "k"
                                     << "3";
    QTest::newRow("CR ends the value") << "[a]\nk=1\r2\n"
                                       << "a"
                                       << "k"
                                       << "1";
    QTest::newRow("numbered key with leading zero is its own") << "[a]\ntime01=x\ntime1=y\n"
                                                               << "a"
                                                               << "TIME1"
                                                               << "y";
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

void TestProfileDocument::writing_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("writes"); // section, key, value, ...
    QTest::addColumn<QByteArray>("saved");
    QTest::newRow("in place, spelling kept, new key before blanks, new section last")
        << "[time]\r\ncount=1\r\ntime0=12:00\r\n\r\n[other]\r\nx=1\r\n"
        << QStringList {"time", "Count", "2", "time", "time1", "13:00", "new", "k", "v"}
        << QByteArray("[time]\r\ncount=2\r\ntime0=12:00\r\ntime1=13:00\r\n\r\n"
                      "[other]\r\nx=1\r\n[new]\r\nk=v\r\n");
    QTest::newRow("first of two equal keys replaced")
        << "[a]\nK=1\nk=2\n"
        << QStringList {"A", "k", "3"} << QByteArray("[a]\r\nK=3\r\nk=2\r\n");
    QTest::newRow("numbered keys added in order after a comment")
        << "[t]\n;c\n"
        << QStringList {"t", "time0", "a", "t", "time1", "b", "t", "time10", "c"}
        << QByteArray("[t]\r\n;c\r\ntime0=a\r\ntime1=b\r\ntime10=c\r\n");
    QTest::newRow("blanks and quotes kept by quoting")
        << "" << QStringList {"s", "a", " x ", "s", "b", "\"q\""}
        << QByteArray("[s]\r\na=\" x \"\r\nb=\"\"q\"\"\r\n");
    QTest::newRow("a value stops at its line break")
        << "[s]\nk=old\n"
        << QStringList {"s", "k", "new\r\n[s]\r\nk=evil", "s", "j", "x\ry"}
        << QByteArray("[s]\r\nk=new\r\nj=x\r\n");
    QTest::newRow("Japanese section, key and value")
        << "" << QStringList {"設定", "音", "目覚まし.wav"}
        << QByteArray("[設定]\r\n音=目覚まし.wav\r\n");
}

void TestProfileDocument::writing()
{
    QFETCH(QString, text);
    QFETCH(QStringList, writes);
    ProfileDocument doc = ProfileDocument::fromText(text);
    for (int i = 0; i + 2 < writes.size(); i += 3)
        doc.setValue(writes[i], writes[i + 1], writes[i + 2]);
    QTEST(doc.toUtf8(), "saved");
    const ProfileDocument again = ProfileDocument::fromBytes(doc.toUtf8());
    for (int i = 0; i + 2 < writes.size(); i += 3) {
        const QString written = writes[i + 2].section(QRegularExpression("[\r\n]"), 0, 0);
        QCOMPARE(again.value(writes[i], writes[i + 1], QString()), written);
    }
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

void TestProfileDocument::decoding_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("value"); // of FileName in [FileName]
    QTest::addColumn<QByteArray>("saved");
    const QString path = QStringLiteral("C:\\サウンド\\目覚まし.wav");
    const QByteArray utf8 = "[FileName]\r\nFileName=" + path.toUtf8() + "\r\n";
    const auto utf16 = [](const QString &text, bool bigEndian) {
        QByteArray bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (const QChar c : text) {
            const char high = char(c.unicode() >> 8), low = char(c.unicode() & 0xFF);
            bytes.append(bigEndian ? high : low).append(bigEndian ? low : high);
        }
        return bytes;
    };
    QTest::newRow("UTF-8") << utf8 << path << utf8;
    QTest::newRow("UTF-8 with BOM") << "\xEF\xBB\xBF" + utf8 << path << utf8;
    QTest::newRow("UTF-16 LE") << utf16(QString::fromUtf8(utf8), false) << path << utf8;
    QTest::newRow("UTF-16 BE") << utf16(QString::fromUtf8(utf8), true) << path << utf8;
    // "C:\サウンド\目覚まし.wav" in code page 932.
    const QByteArray sjis =
        "C:\\\x83\x54\x83\x45\x83\x93\x83\x68\\\x96\xda\x8a\x6f\x82\xdc\x82\xb5.wav";
    QTest::newRow("code page 932") << "[FileName]\r\nFileName=" + sjis + "\r\n" << path << utf8;
    QTest::newRow("code page 932 beside UTF-8, as a save leaves it")
        << "; \x96\xda\x8a\x6f\r\n" + utf8 << path << "; 目覚\r\n" + utf8;
    const QByteArray latin1 = "; caf\xe9 cr\xe8me\r\n";
    QTest::newRow("Latin-1 comment kept as its bytes") << latin1 + utf8 << path << latin1 + utf8;
    QTest::newRow("lead byte at a line's end kept")
        << QByteArray("[FileName]\r\nFileName=x\x82\r\n") << QStringLiteral("x\uFFFD")
        << QByteArray("[FileName]\r\nFileName=x\x82\r\n");
}

void TestProfileDocument::decoding()
{
    QFETCH(QByteArray, bytes);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("設定.ini"));
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    f.close();
    std::optional<ProfileDocument> doc = ProfileDocument::fromFile(path);
    QVERIFY(doc);
    QTEST(doc->value(QStringLiteral("FileName"), QStringLiteral("FileName"), QString()), "value");
    QTEST(doc->toUtf8(), "saved");
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

void TestProfileDocument::manyNumberedKeysReadBack()
{
    // Numbered keys probe next to each other; other names must still be found among them.
    ProfileDocument doc = ProfileDocument::fromText(QStringLiteral("[t]\nCount=0\ntime5=old\n"));
    for (int i = 0; i < 3000; ++i)
        doc.setValue(QStringLiteral("t"), QStringLiteral("time%1").arg(i), QString::number(i));
    doc.setValue(QStringLiteral("T"), QStringLiteral("count"), QStringLiteral("3000"));
    const ProfileDocument again = ProfileDocument::fromBytes(doc.toUtf8());
    for (const ProfileDocument *d : {const_cast<const ProfileDocument *>(&doc), &again}) {
        for (int i = 0; i < 3000; ++i)
            QCOMPARE(d->value(QStringLiteral("t"), QStringLiteral("TIME%1").arg(i), QString()),
                     QString::number(i));
        QCOMPARE(d->value(QStringLiteral("t"), QStringLiteral("Count"), QString()),
                 QStringLiteral("3000"));
        QCOMPARE(d->value(QStringLiteral("t"), QStringLiteral("time3000"), QStringLiteral("not")),
                 QStringLiteral("not"));
    }
    QVERIFY(doc.toUtf8().startsWith("[t]\r\nCount=3000\r\ntime5=5\r\ntime0=0\r\n"));
}

void TestProfileDocument::saving_data()
{
    QTest::addColumn<QString>("link"); // what the saved path is: "" a plain file
    QTest::addColumn<bool>("ok");
    QTest::newRow("plain file") << "" << true;
    QTest::newRow("absolute symlink") << "absolute" << true;
    QTest::newRow("relative symlink to a symlink") << "chain" << true;
    QTest::newRow("symlink to a missing file") << "dangling" << true;
    QTest::newRow("folder missing") << "nofolder" << true;
    QTest::newRow("path is a folder") << "folder" << false;
}

void TestProfileDocument::saving()
{
    QFETCH(QString, link);
    QFETCH(bool, ok);
    QTemporaryDir dir;
    const QString target = dir.filePath(QStringLiteral("real/tollwk.ini"));
    QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("real"))));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("[a]\r\nk=0\r\n");
    old.close();
    QCOMPARE(::chmod(QFile::encodeName(target).constData(), 0640), 0);
    QString path = target;
    if (link == QLatin1String("absolute")) {
        path = dir.filePath(QStringLiteral("link.ini"));
        QVERIFY(QFile::link(target, path));
    } else if (link == QLatin1String("chain")) {
        path = dir.filePath(QStringLiteral("link2.ini"));
        QCOMPARE(
            ::symlink("real/tollwk.ini", QFile::encodeName(dir.filePath("link1.ini")).constData()),
            0);
        QCOMPARE(::symlink("link1.ini", QFile::encodeName(path).constData()), 0);
    } else if (link == QLatin1String("dangling")) {
        QVERIFY(QFile::remove(target));
        path = dir.filePath(QStringLiteral("link.ini"));
        QVERIFY(QFile::link(target, path));
    } else if (link == QLatin1String("nofolder")) {
        path = dir.filePath(QStringLiteral("new/sub/tollwk.ini"));
    } else if (link == QLatin1String("folder")) {
        path = dir.filePath(QStringLiteral("real"));
    }
    std::optional<ProfileDocument> read =
        ProfileDocument::fromFile(link == QLatin1String("folder") ? target : path);
    QVERIFY(read);
    ProfileDocument doc = std::move(*read);
    doc.setValue(QStringLiteral("a"), QStringLiteral("k"), QStringLiteral("1"));
    QString error;
    QCOMPARE(doc.save(path, &error), ok);
    QCOMPARE(error.isEmpty(), ok);
    const QFileInfo saved(path);
    QCOMPARE(saved.isSymLink(),
             !link.isEmpty() && link != QLatin1String("nofolder")
                 && link != QLatin1String("folder"));
    if (!ok) {
        QVERIFY(saved.isDir());
        return;
    }
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("[a]\r\nk=1\r\n"));
    struct stat st {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    const bool existed = link != QLatin1String("dangling") && link != QLatin1String("nofolder");
    const mode_t umaskNow = ::umask(0);
    ::umask(umaskNow);
    QCOMPARE(int(st.st_mode & 0777), existed ? 0640 : int(0666 & ~umaskNow));
    // No temporary file is left beside the saved one.
    const QDir folder = QFileInfo(saved.canonicalFilePath()).absoluteDir();
    QCOMPARE(folder.entryList(QDir::Files | QDir::Hidden | QDir::System),
             QStringList {QStringLiteral("tollwk.ini")});
}

void TestProfileDocument::killedWhileSavingLeavesOldOrNew()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tollwk.ini"));
    // Two full-size texts, so that a kill lands inside a write as often as not.
    QByteArray texts[2];
    for (int which = 0; which < 2; ++which) {
        ProfileDocument doc;
        for (int i = 0; i < 32767; ++i)
            doc.setValue(QStringLiteral("time"), QStringLiteral("time%1").arg(i),
                         which ? QStringLiteral("07:00") : QStringLiteral("23:59"));
        texts[which] = doc.toUtf8();
    }
    QString error;
    QVERIFY(ProfileDocument::fromBytes(texts[0]).save(path, &error));
    QRandomGenerator random(7);
    for (int round = 0; round < 12; ++round) {
        const pid_t child = ::fork();
        QVERIFY(child >= 0);
        if (child == 0) {
            const ProfileDocument docs[2] = {ProfileDocument::fromBytes(texts[0]),
                                             ProfileDocument::fromBytes(texts[1])};
            QString ignored;
            for (int i = 0;; ++i)
                docs[i % 2].save(path, &ignored);
        }
        QThread::usleep(20000 + random.bounded(30000));
        ::kill(child, SIGKILL);
        int status = 0;
        QCOMPARE(::waitpid(child, &status, 0), child);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray now = file.readAll();
        QVERIFY2(now == texts[0] || now == texts[1], qPrintable(QString::number(now.size())));
        // At most the hidden name given in the instant before the rename, which the
        // next save removes.
        const QStringList left = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
        QVERIFY2(left == QStringList {QStringLiteral("tollwk.ini")}
                     || left
                         == (QStringList {QStringLiteral(".tollwk.ini.saving"),
                                          QStringLiteral("tollwk.ini")}),
                 qPrintable(left.join(u' ')));
    }
    QVERIFY(ProfileDocument::fromBytes(texts[0]).save(path, &error));
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("tollwk.ini")});
}

QTEST_GUILESS_MAIN(TestProfileDocument)
#include "tst_profiledocument.moc"
