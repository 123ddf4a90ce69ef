// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The settings file as the window loads and saves it, and the start-up and shut-down.
#include "intervaltimer.h"
#include "limitedlineedit.h"
#include "windowfixture.h"

#include "listbox.h"
#include "profiledocument.h"
#include "settingsfile.h"
#include "settingslock.h"
#include "settingssaver.h"
#include "slowdisk.h"

#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

class TestSettings : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void init();
    void freshSaveIsExactlyTheseLines();
    void saveAfterDeleteKeepsTheStaleKey();
    void roundTrip_data();
    void roundTrip();
    void loading_data();
    void loading();
    void filesReadAndSavedBack_data();
    void filesReadAndSavedBack();
    void lineBreaksNeverReachTheFile_data();
    void lineBreaksNeverReachTheFile();
    void failingFileSystemKeepsTheOldFile_data();
    void failingFileSystemKeepsTheOldFile();
    void missingFileLoadsDefaultsAndCreatesNothing();
    void unwritableFolderKeepsTheOldFile();
    void saveFailingHalfwayKeepsTheOldFile();
    void fileThatIsADirectory();
    void garbageFileLoads();
    void startUpAndShutDown();
    void changesSavedSoonAfterABurst_data();
    void changesSavedSoonAfterABurst();
    // Real processes and file systems (TOLLWICK_TEST_PROCESSES, some as root).
    void killedAtRandomMoments();
    void twoCopiesSavingAtOnce_data();
    void twoCopiesSavingAtOnce();
    void slowDiskNeverHoldsTheWindow();

private:
    QString path() const { return m_path; }
    // Moves the settings file onto a slow disk; false when none can be mounted here.
    bool onSlowDisk(SlowDisk &disk);
    void writeFile(const QByteArray &bytes);
    QByteArray readFile() const;

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_path;
};

void TestSettings::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    m_path = m_dir->filePath(QStringLiteral("tollwick/tollwk.ini"));
}

bool TestSettings::onSlowDisk(SlowDisk &disk)
{
    QString error;
    if (geteuid() != 0 || !disk.mount(&error))
        return false;
    m_path = disk.path(QStringLiteral("tollwick/tollwk.ini"));
    return QDir().mkpath(QFileInfo(m_path).absolutePath());
}

void TestSettings::writeFile(const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path()).absolutePath());
    QFile f(path());
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QByteArray TestSettings::readFile() const
{
    QFile f(path());
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A golden settings file, next to the tests.
static QByteArray fixture(const QString &name)
{
    QFile f(QFINDTESTDATA(QStringLiteral("data/settings/") + name));
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Two alarm entries, one notice entry, both sounds and the default timings, saved fresh.
static const QString kFreshSave = QStringLiteral("fresh-save.ini");

void TestSettings::freshSaveIsExactlyTheseLines()
{
    WindowFixture f(path());
    f.window->List1[0]->setEntries({QStringLiteral("12:00")});
    f.window->List1[1]->setEntries({QStringLiteral("06:30"), QStringLiteral("07:00")});
    f.window->Sname[0]->setText(QStringLiteral("C:\\Sounds\\chime.wav"));
    f.window->Sname[1]->setText(QStringLiteral("C:\\Sounds\\wake.wav"));
    f.window->SaveSettings();
    QVERIFY(f.window->lastSaveSucceeded());
    QCOMPARE(readFile(), fixture(kFreshSave));
}

void TestSettings::saveAfterDeleteKeepsTheStaleKey()
{
    writeFile(fixture(kFreshSave));
    {
        WindowFixture f(path());
        f.window->LoadSettings();
        f.window->List1[1]->setSelectedRow(0);
        f.window->BTN_sakujyo_Click(1);
        f.window->SaveSettings();
    }
    const QByteArray saved = readFile();
    QVERIFY(saved.contains("[time2]\r\nCount=1\r\ntime0=07:00\r\ntime1=07:00\r\n"));
    WindowFixture g(path());
    g.window->LoadSettings();
    QCOMPARE(g.window->List1[1]->entries(), QStringList {QStringLiteral("07:00")});
}

void TestSettings::roundTrip_data()
{
    QTest::addColumn<QStringList>("notices");
    QTest::addColumn<QStringList>("alarms");
    QTest::addColumn<QString>("sound");
    QTest::addColumn<bool>("sortDescending");
    QTest::newRow("plain") << QStringList {"12:00", "07:30"} << QStringList {"06:00"}
                           << "/home/u/chime.wav" << false;
    QTest::newRow("sorted descending")
        << QStringList {"01:00", "23:00", "12:00"} << QStringList {"05:00", "06:00"} << "" << true;
    QTest::newRow("Japanese path")
        << QStringList {} << QStringList {"07:00"} << "/home/ユーザー/音/目覚まし.wav" << false;
    QTest::newRow("300-character path")
        << QStringList {"00:00"} << QStringList {} << "/" + QString(299, u'あ') << false;
    QTest::newRow("odd entries") << QStringList {"25:99", " 5:30", "-0:5."}
                                 << QStringList {"07:00", "07:00"} << "  blanks  " << false;
    QTest::newRow("quoted path") << QStringList {} << QStringList {} << "\"/a b\"" << false;
    QTest::newRow("40,000-character path")
        << QStringList {} << QStringList {"07:00"} << "/" + QString(39999, u'音') << false;
}

void TestSettings::roundTrip()
{
    QFETCH(QStringList, notices);
    QFETCH(QStringList, alarms);
    QFETCH(QString, sound);
    QFETCH(bool, sortDescending);
    QStringList expected;
    {
        WindowFixture f(path());
        f.window->List1[0]->setEntries(notices);
        f.window->List1[1]->setEntries(alarms);
        if (sortDescending) {
            f.window->dsorting_Click(0);
            f.window->dsorting_Click(1);
        }
        f.window->Sname[0]->setText(sound);
        f.window->Sname[1]->setText(sound + QStringLiteral("2"));
        f.window->byoukan->setText(QStringLiteral("1.5"));
        f.window->hunkan->setText(QStringLiteral("10"));
        expected = f.window->List1[0]->entries() + f.window->List1[1]->entries();
        f.window->SaveSettings();
        QVERIFY(f.window->lastSaveSucceeded());
    }
    WindowFixture g(path());
    g.window->LoadSettings();
    QCOMPARE(g.window->List1[0]->entries() + g.window->List1[1]->entries(), expected);
    QCOMPARE(g.window->Sname[0]->text(), sound);
    QCOMPARE(g.window->Sname[1]->text(), sound + QStringLiteral("2"));
    QCOMPARE(g.window->byoukan->text(), QStringLiteral("1.5"));
    QCOMPARE(g.window->hunkan->text(), QStringLiteral("10"));
}

void TestSettings::loading_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QStringList>("notices");
    QTest::addColumn<QStringList>("alarms");
    QTest::addColumn<QString>("sound");
    QTest::addColumn<QString>("seconds");
    QTest::addColumn<QString>("minutes");
    const QStringList none;
    QTest::newRow("count with a gap") << QByteArray("[time]\nCount=3\ntime0=01:00\ntime2=03:00\n")
                                      << QStringList {"01:00"} << none << ""
                                      << "5"
                                      << "3";
    QTest::newRow("count below keys") << QByteArray("[time]\nCount=1\ntime0=01:00\ntime1=02:00\n")
                                      << QStringList {"01:00"} << none << ""
                                      << "5"
                                      << "3";
    QTest::newRow("zero count, old keys")
        << QByteArray("[time]\nCount=0\ntime0=01:00\n") << none << none << ""
        << "5"
        << "3";
    QTest::newRow("negative count")
        << QByteArray("[time]\nCount=-2\ntime0=01:00\n") << none << none << ""
        << "5"
        << "3";
    for (const char *bad : {"", "x", "1e3", "99999999999", "0x10", "2.0"})
        QTest::newRow(qPrintable(QStringLiteral("count '%1'").arg(QLatin1String(bad))))
            << QByteArray("[time]\nCount=") + bad + "\ntime0=01:00\n"
            << none << none << ""
            << "5"
            << "3";
    QTest::newRow("count in capitals")
        << QByteArray("[TIME]\nCOUNT=1\nTIME0=01:00\n") << QStringList {"01:00"} << none << ""
        << "5"
        << "3";
    QTest::newRow("count in small letters")
        << QByteArray("[time2]\ncount=1\ntime0=07:00\n") << none << QStringList {"07:00"} << ""
        << "5"
        << "3";
    QTest::newRow("alarm time0 missing") << QByteArray("[time]\nCount=1\ntime0=01:00\n"
                                                       "[time2]\nCount=2\ntime1=07:00\n")
                                         << QStringList {"01:00"} << none << ""
                                         << "5"
                                         << "3";
    QTest::newRow("path beginning with not")
        << QByteArray("[FileName]\nFileName=nothing.wav\n") << none << none << ""
        << "5"
        << "3";
    QTest::newRow("path beginning with Not")
        << QByteArray("[FileName]\nFileName=Note.wav\n") << none << none << "Note.wav"
        << "5"
        << "3";
    QTest::newRow("byou abc") << QByteArray("[time2]\nbyou=abc\nhun=1x\n") << none << none << ""
                              << "0"
                              << "0";
    QTest::newRow("long timings kept")
        << QByteArray("[time2]\nbyou=120\nhun= 7 \n") << none << none << ""
        << "120"
        << "7";
    QTest::newRow("equal and near-equal times each as written")
        << QByteArray("[time]\nCount=8\ntime0=23:15\ntime1=22:75\ntime2=23:15\ntime3=7:30\n"
                      "time4=07:30\ntime5=07:30 x\ntime6=07;30\ntime7=24:00\n")
        << QStringList {"23:15", "22:75", "23:15", "7:30", "07:30", "07:30 x", "07;30", "24:00"}
        << none << ""
        << "5"
        << "3";
    QTest::newRow("invalid time loads as it is")
        << QByteArray("[time]\nCount=1\ntime0=25:99\n") << QStringList {"25:99"} << none << ""
        << "5"
        << "3";
}

void TestSettings::loading()
{
    QFETCH(QByteArray, file);
    writeFile(file);
    WindowFixture f(path());
    f.window->LoadSettings();
    QTEST(f.window->List1[0]->entries(), "notices");
    QTEST(f.window->List1[1]->entries(), "alarms");
    QTEST(f.window->Sname[0]->text(), "sound");
    QTEST(f.window->byoukan->text(), "seconds");
    QTEST(f.window->hunkan->text(), "minutes");
}

void TestSettings::filesReadAndSavedBack_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<int>("mode");
    QTest::addColumn<QByteArray>("editWhileRunning");
    QTest::addColumn<QString>("saved");
    QTest::addColumn<bool>("saves");
    // The lock file left beside it: "" none; "ended" by a copy that has ended; "live" by
    // one that lives lockOwnerLivesMs on; "empty"; "cut short" (in its host line);
    // "unreadable" (mode 0); "other host", of a copy on another computer. lockAgeMs old at
    // the close.
    QTest::addColumn<QString>("lock");
    QTest::addColumn<qint64>("lockAgeMs");
    QTest::addColumn<int>("lockOwnerLivesMs");
    // The close's save does not end sooner after the lock was left: it was waited for.
    QTest::addColumn<int>("waitedMs");
    QTest::addColumn<QString>("warning"); // what the save says of a lock it took over
    QTest::addColumn<bool>("leftovers"); // temporary files of an ended and a live copy
    const QByteArray none;
    const QString saved = QStringLiteral("saved.ini");
    const QString noLock;
    const qint64 minute = 60 * 1000;
    for (const char *form : {"utf8-lf", "utf8-bom-crlf", "utf16le-bom", "utf16be-bom", "cp932-crlf",
                             "cr-only", "mixed-ends"})
        QTest::newRow(form) << QString::fromLatin1(form) + QStringLiteral(".ini") << 0644 << none
                            << saved << true << noLock << 0LL << 0 << 0 << noLock << false;
    QTest::newRow("undecodable byte in a comment")
        << "latin1-comment.ini" << 0644 << none << "latin1-comment.ini" << true << noLock << 0LL
        << 0 << 0 << noLock << false;
    const QByteArray handEdit = "[added by hand]\r\nnote=手で追加\r\n; a comment\r\n";
    QTest::newRow("section and comment added while running")
        << "utf8-bom-crlf.ini" << 0644 << handEdit << saved << true << noLock << 0LL << 0 << 0
        << noLock << false;
    QTest::newRow("mode 0600") << "utf8-lf.ini" << 0600 << none << saved << true << noLock << 0LL
                               << 0 << 0 << noLock << false;
    QTest::newRow("mode 0640") << "utf8-lf.ini" << 0640 << none << saved << true << noLock << 0LL
                               << 0 << 0 << noLock << false;
    // Not writable for a user, so kept as it is; root writes it and keeps its mode.
    const bool root = geteuid() == 0;
    QTest::newRow("mode 0444") << "utf8-lf.ini" << 0444 << none
                               << (root ? saved : QStringLiteral("utf8-lf.ini")) << root << noLock
                               << 0LL << 0 << 0 << noLock << false;
    // A minute is twice Qt's default stale time.
    QTest::newRow("lock left a minute ago by a copy that lives 1 s on: waited for")
        << "utf8-lf.ini" << 0644 << none << saved << true << "live" << minute << 1000 << 1000
        << noLock << false;
    QTest::newRow("lock left a minute ago by a copy that has ended: taken over")
        << "utf8-lf.ini" << 0644 << none << saved << true << "ended" << minute << 0 << 0 << noLock
        << false;
    // The close gives up after its wait and writes nothing; the window has gone all the same.
    QTest::newRow("a live copy holds the lock all through the close's wait: nothing written")
        << "utf8-lf.ini" << 0644 << none << "utf8-lf.ini" << false << "live" << 0LL << 30000
        << kSettingsLockWaitMs << noLock << false;
    const QString nameless =
        QStringLiteral("taking over .*tollwk.ini.lock, which names no process");
    QTest::newRow("empty lock a minute old: taken over")
        << "utf8-lf.ini" << 0644 << none << saved << true << "empty" << minute << 0 << 0 << nameless
        << false;
    QTest::newRow("lock cut short a minute ago: taken over")
        << "utf8-lf.ini" << 0644 << none << saved << true << "cut short" << minute << 0 << 0
        << nameless << false;
    // Qt reads nothing from it, and cannot open it to take it over; root can, and Qt then
    // takes it over by its ended process.
    QTest::newRow("unreadable lock of a copy that has ended, a minute old: taken over")
        << "utf8-lf.ini" << 0644 << none << saved << true << "unreadable" << minute << 0 << 0
        << (root ? noLock : nameless) << false;
    // A copy taking the lock right now, between its creation and its write.
    QTest::newRow("empty lock just made: waited for until it is 5 s old")
        << "utf8-lf.ini" << 0644 << none << saved << true << "empty" << 0LL << 0
        << int(SettingsLock::kNamelessStaleMs) << nameless << false;
    const QString foreign =
        QStringLiteral("taking over .*tollwk.ini.lock of process 4242 \\(Tollwick\\) on "
                       "tollwick-elsewhere, left \\d+ s ago");
    QTest::newRow("lock of another computer 2 hours old: taken over with a warning")
        << "utf8-lf.ini" << 0644 << none << saved << true << "other host" << 120 * minute << 0 << 0
        << foreign << false;
    QTest::newRow("lock of another computer 2 s short of 10 minutes: waited for, then taken over")
        << "utf8-lf.ini" << 0644 << none << saved << true << "other host"
        << SettingsLock::kForeignStaleMs - 2000 << 0 << 2000 << foreign << false;
    QTest::newRow("temporary files left: the ended copy's removed, the live one's kept")
        << "utf8-lf.ini" << 0644 << none << saved << true << noLock << 0LL << 0 << 0 << noLock
        << true;
}

// A process that has just ended, and cannot hold anything any more.
static qint64 endedProcess()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    const qint64 pid = process.waitForStarted() ? process.processId() : 0;
    process.waitForFinished();
    return pid;
}

// A lock file as a copy of the program leaves it, ageMs old, written by hand so that no
// kernel lock guards it, as on a disk that has none: only what it says and its age speak
// for it.
static void leaveLock(const QString &path, const QByteArray &text, qint64 ageMs)
{
    QFile lock(path);
    QVERIFY(lock.open(QIODevice::WriteOnly));
    QCOMPARE(lock.write(text), text.size());
    lock.close();
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    const qint64 ns = qint64(now.tv_sec) * 1000000000 + now.tv_nsec - ageMs * 1000000;
    const timespec then = {time_t(ns / 1000000000), long(ns % 1000000000)};
    const timespec times[2] = {then, then};
    QCOMPARE(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

// What Qt writes into a lock: process, program, host, machine id and boot id.
static QByteArray lockText(qint64 pid, const QByteArray &program)
{
    return QByteArray::number(pid) + '\n' + program + '\n' + QSysInfo::machineHostName().toUtf8()
        + '\n' + QSysInfo::machineUniqueId() + '\n' + QSysInfo::bootUniqueId() + '\n';
}

void TestSettings::filesReadAndSavedBack()
{
    QFETCH(QString, file);
    QFETCH(int, mode);
    QFETCH(QByteArray, editWhileRunning);
    QFETCH(QString, saved);
    QFETCH(bool, saves);
    QFETCH(QString, lock);
    QFETCH(qint64, lockAgeMs);
    QFETCH(int, lockOwnerLivesMs);
    QFETCH(int, waitedMs);
    QFETCH(QString, warning);
    QFETCH(bool, leftovers);
    const QString path = m_dir->filePath(QStringLiteral("ユーザー設定/tollwick/tollwk.ini"));
    QVERIFY(QDir().mkpath(QFileInfo(path).absolutePath()));
    QFile input(path);
    QVERIFY(input.open(QIODevice::WriteOnly));
    QVERIFY(input.write(fixture(file)) > 0);
    input.close();
    QCOMPARE(::chmod(QFile::encodeName(path).constData(), mode_t(mode)), 0);

    WindowFixture f(path);
    f.window->Form_Load();
    QCOMPARE(f.window->List1[0]->entries(), (QStringList {"07:00", "12:30"}));
    QCOMPARE(f.window->List1[1]->entries(), QStringList {"06:45"});
    QCOMPARE(f.window->Sname[0]->text(), QStringLiteral("/home/ユーザー/音/お知らせ.wav"));
    QCOMPARE(f.window->Sname[1]->text(), QStringLiteral("/home/ユーザー/音/目覚まし.wav"));
    QCOMPARE(f.window->byoukan->text(), QStringLiteral("10"));
    QCOMPARE(f.window->hunkan->text(), QStringLiteral("2"));
    if (!editWhileRunning.isEmpty()) {
        QFile edit(path);
        QVERIFY(edit.open(QIODevice::Append));
        edit.write(editWhileRunning);
    }
    QVERIFY(f.showActive());
    QStringList files = {QStringLiteral("tollwk.ini")};
    if (!saves && lock == u"live")
        files.append(QStringLiteral("tollwk.ini.lock")); // its owner's still
    QProcess owner; // of the lock or a temporary file, and alive
    QElapsedTimer lockLeft;
    lockLeft.start();
    if (lock == u"live" || leftovers) {
        owner.start(QStringLiteral("sleep"),
                    {QString::number(leftovers ? 30 : lockOwnerLivesMs / 1000.0)});
        QVERIFY(owner.waitForStarted());
    }
    const auto stopOwner = qScopeGuard([&] {
        owner.kill();
        owner.waitForFinished();
    });
    const QString lockPath = path + QStringLiteral(".lock");
    if (lock == u"live")
        leaveLock(lockPath, lockText(owner.processId(), "sleep"), lockAgeMs);
    else if (lock == u"ended")
        leaveLock(lockPath, lockText(endedProcess(), "true"), lockAgeMs);
    else if (lock == u"empty")
        leaveLock(lockPath, QByteArray(), lockAgeMs);
    else if (lock == u"unreadable") {
        leaveLock(lockPath, lockText(endedProcess(), "true"), lockAgeMs);
        QCOMPARE(::chmod(QFile::encodeName(lockPath).constData(), 0), 0);
    } else if (lock == u"cut short") {
        const QByteArray whole = lockText(endedProcess(), "tollwick");
        leaveLock(lockPath, whole.left(whole.indexOf('\n', whole.indexOf('\n') + 1) + 3),
                  lockAgeMs);
    } else if (lock == u"other host")
        leaveLock(lockPath,
                  "4242\nTollwick\ntollwick-elsewhere\n0123456789abcdef0123456789abcdef\n"
                  "5ee7ac1e-0000-4000-8000-000000000000\n",
                  lockAgeMs);
    if (!warning.isEmpty())
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(warning));
    if (leftovers) {
        const auto leave = [&](qint64 pid) {
            const QString name = QStringLiteral(".tollwk.ini.%1.0badf00d.saving").arg(pid);
            QFile file(QFileInfo(path).absolutePath() + u'/' + name);
            const bool left =
                file.open(QIODevice::WriteOnly) && file.write("[time]\r\nCount=1") > 0;
            return left ? name : QString();
        };
        QVERIFY(!leave(endedProcess()).isEmpty());
        files.prepend(leave(owner.processId()));
    }
    if (!saves)
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("settings not saved to .*"));
    // The window goes at once, whatever the save waits for behind it.
    QElapsedTimer closing;
    closing.start();
    f.window->close();
    const qint64 closeMs = closing.elapsed();
    QVERIFY(!f.window->isVisible());
    QVERIFY2(closeMs < 100, QByteArray::number(closeMs).constData());
    QCOMPARE(f.window->lastSaveSucceeded(), saves);
    const qint64 savedAfterMs = lockLeft.elapsed();
    const qint64 saveMs = closing.elapsed();
    qInfo("the window went in %lld ms, the save ended %lld ms after the close", closeMs, saveMs);
    // Not taken over while it was young, or while its owner lived.
    QVERIFY2(savedAfterMs >= waitedMs, QByteArray::number(savedAfterMs).constData());
    // And never waited for longer than the close's wait.
    QVERIFY2(saveMs < kSettingsLockWaitMs + 1000, QByteArray::number(saveMs).constData());
    QFile output(path);
    QVERIFY(output.open(QIODevice::ReadOnly));
    QCOMPARE(output.readAll(), fixture(saved) + editWhileRunning);
    struct stat st {
    };
    QCOMPARE(::stat(QFile::encodeName(path).constData(), &st), 0);
    QCOMPARE(int(st.st_mode & 07777), mode);
    QCOMPARE(QDir(QFileInfo(path).absolutePath()).entryList(QDir::Files | QDir::Hidden), files);
}

void TestSettings::lineBreaksNeverReachTheFile_data()
{
    QTest::addColumn<QString>("path");
    QTest::addColumn<bool>("throughDialog");
    QTest::addColumn<QString>("kept");
    const QString old = QStringLiteral("/old.wav");
    QTest::newRow("dialog, plain path") << "/a/b.wav" << true << "/a/b.wav";
    QTest::newRow("dialog, LF") << "/a\nb.wav" << true << old;
    QTest::newRow("dialog, CR") << "/a\rb.wav" << true << old;
    QTest::newRow("dialog, CR LF") << "/a\r\n[time]\r\nCount=9.wav" << true << old;
    // Text pasted into the box keeps its line break; the file takes the path up to it.
    QTest::newRow("pasted") << "/a\n[time]\nCount=9" << false << "/a";
}

void TestSettings::lineBreaksNeverReachTheFile()
{
    QFETCH(QString, path);
    QFETCH(bool, throughDialog);
    QFETCH(QString, kept);
    {
        WindowFixture f(this->path());
        f.window->List1[0]->setEntries({QStringLiteral("12:00")});
        f.window->Sname[0]->setText(QStringLiteral("/old.wav"));
        if (throughDialog) {
            f.dialog.answers = {path};
            f.window->sansyou_Click(0);
            QCOMPARE(f.dialog.shown, 1);
            QCOMPARE(f.window->Sname[0]->text(), kept);
        } else {
            f.window->Sname[0]->setText(path);
        }
        f.window->close();
    }
    const QByteArray file = readFile();
    QVERIFY(file.contains("[FileName]\r\nFileName=" + kept.toUtf8() + "\r\n[time2]"));
    QVERIFY(!file.contains(".wav\r\n.wav"));
    WindowFixture g(this->path());
    g.window->LoadSettings();
    QCOMPARE(g.window->List1[0]->entries(), QStringList {QStringLiteral("12:00")});
    QCOMPARE(g.window->Sname[0]->text(), kept);
}

void TestSettings::failingFileSystemKeepsTheOldFile_data()
{
    QTest::addColumn<bool>("fileBefore");
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("reason"); // what the warning says
    // The fault passes after the save after a change has failed, with no further change.
    QTest::addColumn<bool>("passes");
    QTest::newRow("full, file existed") << true << "full"
                                        << "writing: No space left" << false;
    QTest::newRow("full, no file before") << false << "full"
                                          << "writing: No space left" << false;
    QTest::newRow("read-only, file existed") << true << "ro"
                                             << "Read-only file system" << false;
    QTest::newRow("read-only, no file before") << false << "ro"
                                               << "Read-only file system" << false;
    // Every write lands in the page cache; only the flush to the device fails.
    QTest::newRow("device fails at flush, file existed") << true << "flush"
                                                         << "flushing to disk" << false;
    QTest::newRow("device fails at flush, no file before") << false << "flush"
                                                           << "flushing to disk" << false;
    QTest::newRow("full at a change, space freed: saved at the next try")
        << true << "full"
        << "writing: No space left" << true;
    QTest::newRow("read-only at a change, then writable: saved at the next try")
        << true << "ro"
        << "Read-only file system" << true;
}

// A real file system that fails, mounted over the settings folder: a small tmpfs, or an
// ext4 image on a loop device whose backing tmpfs is full.
void TestSettings::failingFileSystemKeepsTheOldFile()
{
    QFETCH(bool, fileBefore);
    QFETCH(QString, failure);
    QFETCH(QString, reason);
    QFETCH(bool, passes);
    if (geteuid() != 0)
        QSKIP("mounting a small file system over the settings folder needs root");
    const QString folder = QFileInfo(path()).absolutePath();
    QVERIFY(QDir().mkpath(folder));
    const auto run = [](const QStringList &args) {
        QProcess process;
        process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        process.start(args.first(), args.mid(1));
        return process.waitForFinished() && process.exitCode() == 0;
    };
    const QString backing = m_dir->filePath(QStringLiteral("backing"));
    std::vector<QString> mounts;
    const auto unmount = qScopeGuard([&] {
        for (auto it = mounts.rbegin(); it != mounts.rend(); ++it)
            run({"umount", *it});
    });
    const auto fill = [](const QString &file) {
        QFile filler(file);
        QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const QByteArray block(1024, 'x');
        while (filler.write(block) == block.size()) { }
    };
    QStringList expectedFiles;
    if (failure == QLatin1String("flush")) {
        const QString image = backing + QStringLiteral("/image");
        QVERIFY(QDir().mkpath(backing));
        if (!run({"mount", "-t", "tmpfs", "-o", "size=3m", "tollwick-test", backing}))
            QSKIP("cannot mount a tmpfs here");
        mounts.push_back(backing);
        QFile sparse(image);
        QVERIFY(sparse.open(QIODevice::WriteOnly) && sparse.resize(16 << 20));
        sparse.close();
        if (!run({"mkfs.ext4", "-q", "-O", "^has_journal", "-E", "nodiscard", image}))
            QSKIP("mkfs.ext4 (e2fsprogs) is needed to make the file system image");
        if (!run({"mount", "-o", "loop", image, folder}))
            QSKIP("cannot mount a loop device here");
        mounts.push_back(folder);
    } else {
        if (!run({"mount", "-t", "tmpfs", "-o", "size=64k", "tollwick-test", folder}))
            QSKIP("cannot mount a tmpfs here");
        mounts.push_back(folder);
    }
    if (fileBefore) {
        writeFile(fixture(kFreshSave));
        expectedFiles << QStringLiteral("tollwk.ini");
    }
    ::sync();
    if (failure == QLatin1String("full")) {
        fill(folder + QStringLiteral("/filler"));
        expectedFiles.prepend(QStringLiteral("filler"));
    } else if (failure == QLatin1String("ro")) {
        QVERIFY(run({"mount", "-o", "remount,ro", folder}));
    } else {
        fill(backing + QStringLiteral("/filler"));
    }

    WindowFixture f(path());
    f.window->Form_Load();
    QStringList many;
    // Where the fault passes, few enough that the old file and the new fit side by side.
    for (int i = 0; i < (passes ? 200 : 2000); ++i)
        many.append(QStringLiteral("12:34"));
    QTest::ignoreMessage(QtWarningMsg,
                         QRegularExpression("settings not saved to .* - .*" + reason));
    if (passes) {
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("settings saved to .* again"));
        f.window->List1[1]->addItems(many); // a change: its save fails
        QTest::qWait(SettingsSaver::kQuietMs + 300);
        QCOMPARE(readFile(), fixture(kFreshSave));
        if (failure == QLatin1String("full")) {
            QVERIFY(QFile::remove(folder + QStringLiteral("/filler")));
            expectedFiles.removeFirst();
        } else {
            QVERIFY(run({"mount", "-o", "remount,rw", folder}));
        }
        // Tried again 1 s after the failure, then 2 s after that: the next step at most.
        QElapsedTimer passed;
        passed.start();
        QTRY_VERIFY_WITH_TIMEOUT(readFile().contains("[time2]\r\nCount=202\r\n"),
                                 3 * SettingsSaver::kRetryMs);
        qInfo("saved %lld ms after the fault passed", passed.elapsed());
        f.window->close();
        QVERIFY(f.window->lastSaveSucceeded());
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), expectedFiles);
        return;
    }
    f.window->List1[1]->addItems(many);
    f.window->close();
    QVERIFY(!f.window->lastSaveSucceeded());
    QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), expectedFiles);
    if (fileBefore)
        QCOMPARE(readFile(), fixture(kFreshSave));
}

void TestSettings::missingFileLoadsDefaultsAndCreatesNothing()
{
    WindowFixture f(path());
    f.window->Form_Load();
    QCOMPARE(f.window->List1[0]->count() + f.window->List1[1]->count(), 0);
    QCOMPARE(f.window->byoukan->text(), QStringLiteral("5"));
    QCOMPARE(f.window->hunkan->text(), QStringLiteral("3"));
    QVERIFY(!QFileInfo::exists(QFileInfo(path()).absolutePath()));
    f.window->close();
    QVERIFY(f.window->lastSaveSucceeded());
    QCOMPARE(readFile(), fixture(QStringLiteral("first-close.ini")));
}

void TestSettings::unwritableFolderKeepsTheOldFile()
{
    if (geteuid() == 0)
        QSKIP("root writes into read-only folders");
    writeFile(fixture(kFreshSave));
    QFile::setPermissions(QFileInfo(path()).absolutePath(), QFile::ReadOwner | QFile::ExeOwner);
    WindowFixture f(path());
    f.window->LoadSettings();
    f.window->List1[0]->clear();
    f.window->close();
    QVERIFY(!f.window->lastSaveSucceeded());
    QCOMPARE(readFile(), fixture(kFreshSave));
    QFile::setPermissions(QFileInfo(path()).absolutePath(),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void TestSettings::saveFailingHalfwayKeepsTheOldFile()
{
    writeFile(fixture(kFreshSave));
    WindowFixture f(path());
    f.window->LoadSettings();
    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many.append(QStringLiteral("12:34"));
    f.window->List1[0]->addItems(many);
    // A file size limit makes the write fail part of the way, as a full disk would.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old {};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 4096;
    setrlimit(RLIMIT_FSIZE, &small);
    f.window->close();
    // The close's save ends behind the window, under the limit still.
    const bool saved = f.window->lastSaveSucceeded();
    setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!saved);
    QCOMPARE(readFile(), fixture(kFreshSave));
    QCOMPARE(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files).size(), 1);
}

void TestSettings::fileThatIsADirectory()
{
    QVERIFY(QDir().mkpath(path()));
    WindowFixture f(path());
    f.window->Form_Load();
    QCOMPARE(f.window->List1[0]->count(), 0);
    f.window->close();
    QVERIFY(!f.window->lastSaveSucceeded());
    QVERIFY(QFileInfo(path()).isDir());
}

void TestSettings::garbageFileLoads()
{
    QByteArray garbage = "[time]\nCount=2\ntime0=" + QByteArray(100000, 'x') + "\n";
    garbage += QByteArray("\0\xff\xfe[\0]=\n", 8);
    for (int i = 0; i < 256; ++i)
        garbage += char(i);
    writeFile(garbage);
    WindowFixture f(path());
    f.window->Form_Load();
    QCOMPARE(f.window->List1[0]->count(), 1);
    QCOMPARE(f.window->List1[0]->text(0).size(), 100000);
}

void TestSettings::startUpAndShutDown()
{
    WindowFixture f(path());
    QCOMPARE(f.window->Timer1->interval(), 0);
    f.window->Form_Load();
    QCOMPARE(f.window->Timer1->interval(), 60000);
    QCOMPARE(f.window->Timer2->interval(), 0);
    QCOMPARE(f.window->windowTitle(), QStringLiteral("Tollwick ver1.0"));
    f.window->Timer2->setInterval(1000);
    f.window->close();
    // Nothing ticks after the save.
    QCOMPARE(f.window->Timer1->interval(), 0);
    QCOMPARE(f.window->Timer2->interval(), 0);
    QVERIFY(f.window->lastSaveSucceeded());
    QVERIFY(QFileInfo::exists(path()));
}

// Key by key into whatever has the focus, as a person types: the queued Tab of a full box
// moves the focus on between keys. A blank is Space.
static void typed(const QString &text)
{
    for (const QChar c : text) {
        QTest::keyClick(QApplication::focusWidget(), c.toLatin1());
        QCoreApplication::processEvents();
    }
}

static ino_t inodeOf(const QString &file)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? st.st_ino : 0;
}

void TestSettings::changesSavedSoonAfterABurst_data()
{
    // Another copy holds the lock from the burst's start for this long; 0 for none.
    QTest::addColumn<int>("lockHeldMs");
    QTest::newRow("alone") << 0;
    QTest::newRow("another copy holds the lock for 3 s: put off, then saved") << 3000;
}

// A change is on disk half a second after the last of its burst, without a close; a
// burst gives one save, and nothing changed writes nothing.
void TestSettings::changesSavedSoonAfterABurst()
{
    QFETCH(int, lockHeldMs);
    WindowFixture f(path());
    f.window->Form_Load();
    QVERIFY(f.showActive());
    QTest::qWait(800);
    QVERIFY(!QFileInfo::exists(path())); // loading is no change
    QVERIFY(QDir().mkpath(QFileInfo(path()).absolutePath()));
    QLockFile other(path() + QStringLiteral(".lock")); // a live copy's, as the lock tells
    bool writtenUnlocked = false;
    if (lockHeldMs > 0) {
        QVERIFY(other.tryLock(0));
        QTest::ignoreMessage(QtInfoMsg,
                             QRegularExpression("settings save put off, .* another copy holds"));
        QTest::ignoreMessage(QtInfoMsg, QRegularExpression("settings saved to .* again"));
        QTimer::singleShot(lockHeldMs, f.window.get(), [&] {
            writtenUnlocked = QFileInfo::exists(path());
            other.unlock();
        });
    }
    typed(QStringLiteral("0730 0645 "));
    f.window->usorting_Click(0);
    QTest::qWait(100);
    QVERIFY(!QFileInfo::exists(path())); // the burst is not over
    QTRY_VERIFY_WITH_TIMEOUT(readFile().contains("time0=06:45\r\ntime1=07:30\r\n"),
                             3000 + lockHeldMs);
    QVERIFY(!writtenUnlocked);
    const ino_t first = inodeOf(path());
    f.window->usorting_Click(0); // changes nothing: nothing is written
    f.window->byoukan->setText(QStringLiteral("x")); // the check's "0" is what is saved
    QTRY_VERIFY_WITH_TIMEOUT(readFile().contains("byou=0\r\n"), 3000);
    QVERIFY(inodeOf(path()) != first);
    const ino_t second = inodeOf(path());
    QTest::qWait(1000);
    QCOMPARE(inodeOf(path()), second);
}

namespace {

// Foreign lines that every save must keep.
const QByteArray kHandEdited = "; my alarms\r\n[Extra]\r\nkeep=me\r\n";

// A whole file, as a save writes it: the foreign lines, and every section to the last.
bool isComplete(const QByteArray &file)
{
    return file.startsWith(kHandEdited) && file.endsWith("[FileName2]\r\nFileName=\r\n");
}

QString entry(int n)
{
    return QStringLiteral("%1:%2")
        .arg(n / 60 % 24, 2, 10, QLatin1Char('0'))
        .arg(n % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

#define REQUIRE_PROCESSES()                                                                        \
    if (!qEnvironmentVariableIsSet("TOLLWICK_TEST_PROCESSES"))                                     \
    QSKIP("run by the tst_settings_processes entry")

// Eight copies change their settings in bursts and are killed at random moments: each
// file is one complete text and holds, in order, every change made more than a second
// before the kill.
void TestSettings::killedAtRandomMoments()
{
    REQUIRE_PROCESSES();
    constexpr int kCopies = 8;
    QRandomGenerator random(20261209);
    struct Copy {
        QString path;
        std::unique_ptr<QProcess> process = std::make_unique<QProcess>();
        qint64 killAt = 0;
        qint64 killedAt = 0;
    };
    std::vector<Copy> copies(kCopies);
    const qint64 start = QDeadlineTimer::current().deadline();
    for (int i = 0; i < kCopies; ++i) {
        Copy &copy = copies[size_t(i)];
        copy.path = m_dir->filePath(QStringLiteral("copy%1/tollwk.ini").arg(i));
        QDir().mkpath(QFileInfo(copy.path).absolutePath());
        QFile file(copy.path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(kHandEdited) > 0);
        file.close();
        copy.killAt = start + 1000 + i * 2500 + random.bounded(2500);
        copy.process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        copy.process->start(QStringLiteral(TOLLWICK_SETTINGS_CHURN),
                            {QStringLiteral("bursts"), copy.path, QString::number(i + 1)});
    }
    for (Copy &copy : copies) {
        while (QDeadlineTimer::current().deadline() < copy.killAt)
            QTest::qWait(5);
        ::kill(pid_t(copy.process->processId()), SIGKILL);
        copy.killedAt = QDeadlineTimer::current().deadline();
        QVERIFY(copy.process->waitForFinished(5000));
    }
    for (Copy &copy : copies) {
        int olderThanASecond = 0;
        int made = 0;
        for (const QByteArray &line : copy.process->readAllStandardOutput().split('\n')) {
            const QList<QByteArray> fields = line.split(' ');
            if (fields.size() != 2)
                continue;
            ++made;
            if (fields[1].toLongLong() < copy.killedAt - 1000)
                ++olderThanASecond;
        }
        QFile file(copy.path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray text = file.readAll();
        const LoadedSettings loaded = readSettings(ProfileDocument::fromBytes(text));
        qInfo("killed after %lld ms: %d changes made, %d older than 1 s, %d in the file",
              copy.killedAt - start, made, olderThanASecond, int(loaded.notices.size()));
        QVERIFY(text == kHandEdited || isComplete(text));
        QVERIFY(loaded.notices.size() >= olderThanASecond);
        QVERIFY(loaded.notices.size() <= made);
        for (int n = 0; n < loaded.notices.size(); ++n)
            QCOMPARE(loaded.notices[n], entry(n));
        QVERIFY(!QFileInfo::exists(copy.path + QStringLiteral(".lock"))
                || QLockFile(copy.path + QStringLiteral(".lock")).tryLock(0));
    }
}

void TestSettings::twoCopiesSavingAtOnce_data()
{
    QTest::addColumn<bool>("fuse"); // no unnamed files: each new file is named
    QTest::addColumn<bool>("hideProc"); // the same where /proc is hidden
    QTest::addColumn<QString>("how"); // how the tool saves: see settingschurn.cpp
    QTest::addColumn<bool>("threadLimit"); // no thread can be started
    QTest::addColumn<QByteArray>("logged"); // what each copy says on stderr
    const QByteArray nothing;
    QTest::newRow("local disk") << false << false << "save" << false << nothing;
    QTest::newRow("no unnamed files (FUSE)") << true << false << "save" << false << nothing;
    QTest::newRow("no /proc (a private mount namespace)")
        << false << true << "save" << false << nothing;
    // Saves that find the lock held are put off, never made without it.
    QTest::newRow("FUSE and no /proc, the lock's wait cut to 5 ms")
        << true << true << "save=5" << false << nothing;
    // The atomic write alone: each new file has a name of its own, so neither copy can
    // move the other's unfinished file into place or delete it.
    QTest::newRow("FUSE and no /proc, no lock at all")
        << true << true << "nolock" << false << nothing;
    QTest::newRow("thread limit reached, the windows' own saves")
        << false << false << "window" << true << QByteArray("no thread to save the settings on");
}

// Two copies add an entry and save, 100 times, at the same moments: no save fails (but
// for a rare one made without the lock), the file is always whole with its hand edits, and
// it ends as one copy saved it.
void TestSettings::twoCopiesSavingAtOnce()
{
    REQUIRE_PROCESSES();
    QFETCH(bool, fuse);
    QFETCH(bool, hideProc);
    QFETCH(QString, how);
    QFETCH(bool, threadLimit);
    QFETCH(QByteArray, logged);
    if ((fuse || hideProc) && geteuid() != 0)
        QSKIP("mounting a file system needs root");
    SlowDisk disk;
    if (fuse && !onSlowDisk(disk))
        QSKIP("no FUSE here (python3-fusepy, /dev/fuse)");
    writeFile(kHandEdited);
    QStringList prefix;
    if (hideProc)
        prefix << QStringLiteral("unshare") << QStringLiteral("--mount")
               << QStringLiteral("--propagation") << QStringLiteral("private")
               << QStringLiteral("sh") << QStringLiteral("-c")
               << QStringLiteral("mount -t tmpfs none /proc && exec \"$@\"")
               << QStringLiteral("sh");
    if (threadLimit) {
        // The limit does not bind root: as root the copies run as nobody, in a folder
        // of theirs.
        if (geteuid() == 0) {
            const QByteArray folder = QFile::encodeName(QFileInfo(path()).absolutePath());
            QCOMPARE(::chmod(QFile::encodeName(m_dir->path()).constData(), 0711), 0);
            QCOMPARE(::chown(folder.constData(), 65534, 65534), 0);
            QCOMPARE(::chown(QFile::encodeName(path()).constData(), 65534, 65534), 0);
            prefix << QStringLiteral("setpriv") << QStringLiteral("--reuid=65534")
                   << QStringLiteral("--regid=65534") << QStringLiteral("--clear-groups");
        }
        prefix << QStringLiteral("prlimit") << QStringLiteral("--nproc=0");
    }
    const qint64 start = QDeadlineTimer::current().deadline() + 1500; // both windows are up by then
    QProcess copies[2];
    for (int panel = 0; panel < 2; ++panel) {
        const QStringList command = prefix
            + QStringList {QStringLiteral(TOLLWICK_SETTINGS_CHURN),
                           QStringLiteral("rounds"),
                           path(),
                           QString::number(panel),
                           QString::number(start),
                           how};
        copies[panel].start(command.first(), command.mid(1));
    }
    int looks = 0;
    while (copies[0].state() != QProcess::NotRunning || copies[1].state() != QProcess::NotRunning) {
        // Through FUSE's paths a look in the instant of a rename may find no file at all.
        QFile file(path());
        const QByteArray text = file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        if (file.isOpen() && QDeadlineTimer::current().deadline() > start) {
            QVERIFY2(text == kHandEdited || isComplete(text),
                     (QByteArray::number(text.size()) + " bytes: " + text.left(150) + " ... "
                      + text.right(150))
                         .constData());
            ++looks;
        }
        QTest::qWait(3);
    }
    int putOff = 0, missed = 0;
    for (QProcess &copy : copies) {
        const QByteArray output = copy.readAllStandardOutput();
        const QByteArray errors = copy.readAllStandardError();
        if (!errors.isEmpty())
            qInfo("%s", errors.trimmed().constData());
        QVERIFY2(copy.exitStatus() == QProcess::NormalExit && copy.exitCode() == 0
                     && !output.contains("failed"),
                 output.constData());
        QVERIFY(errors.contains(logged));
        putOff += int(output.count("put off"));
        missed += int(output.count("missed"));
    }
    const QByteArray text = readFile();
    QVERIFY(isComplete(text));
    const LoadedSettings loaded = readSettings(ProfileDocument::fromBytes(text));
    QCOMPARE(loaded.notices.size() + loaded.alarms.size(), 100);
    QCOMPARE(QDir(QFileInfo(path()).absolutePath()).entryList(QDir::Files | QDir::Hidden),
             QStringList {QStringLiteral("tollwk.ini")});
    qInfo("the file read %d times while both saved, always whole; %d saves put off, %d missed",
          looks, putOff, missed);
    // Only a save that meets the other's rename in the same instant, not one in two.
    QVERIFY(missed < 20);
}

// A disk whose fsync takes 3 s holds up neither a key, nor a tick, nor the close while a save
// waits on it, and the close still saves everything.
void TestSettings::slowDiskNeverHoldsTheWindow()
{
    REQUIRE_PROCESSES();
    SlowDisk disk;
    if (!onSlowDisk(disk))
        QSKIP("a slow disk needs root, FUSE and python3-fusepy");
    WindowFixture f(path());
    f.window->Form_Load();
    QVERIFY(f.showActive());
    disk.setFsyncDelay(3);
    typed(QStringLiteral("0730 "));
    QTest::qWait(SettingsSaver::kQuietMs + 300); // the save now waits on the disk
    QElapsedTimer waited;
    waited.start();
    typed(QStringLiteral("06"));
    const qint64 keys = waited.restart();
    f.window->Timer1_Timer();
    const qint64 tick = waited.elapsed();
    qInfo("while the save waited on the disk: two keys took %lld ms, a minute tick %lld ms", keys,
          tick);
    QCOMPARE(f.window->time1[0]->text(), QStringLiteral("06"));
    QVERIFY(keys < 100 && tick < 100);
    typed(QStringLiteral("45 "));
    // The close's save waits on the disk as well, behind a window that has gone.
    waited.restart();
    f.window->close();
    const qint64 closing = waited.elapsed();
    QVERIFY(!f.window->isVisible());
    QVERIFY2(closing < 100, QByteArray::number(closing).constData());
    QVERIFY(f.window->lastSaveSucceeded());
    QVERIFY(readFile().contains("[time]\r\nCount=2\r\ntime0=07:30\r\ntime1=06:45\r\n"));
}

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
