// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The main window: it owns every control, the two engine fields and every handler.
// tollwk.cpp builds the controls; the handlers of each subsystem are in a file of their own
// beside it, named for this class and the subsystem (tollwk_lists.cpp, tollwk_engine.cpp,
// tollwk_settings.cpp). The services it is handed and the controls it builds come
// from the libraries below it: sound/ (SoundPlayer), engine/ (Clock, IntervalTimer),
// widgets/ (the text boxes, ListBox, FileDialog), desktop/ (Attention), settings/
// (SettingsSaver), and app/ itself (KeySender).
#pragma once

#include <QString>
#include <QWidget>
#include <array>
#include <memory>

class Clock;
class Attention;
class FileDialog;
class IntervalTimer;
class KeySender;
class LimitedLineEdit;
class ListBox;
class QGroupBox;
class QLabel;
class QPushButton;
class SettingsSaver;
class SoundPlayer;
struct SettingsSnapshot;

class tollwk : public QWidget
{
    Q_OBJECT
public:
    // The services are owned by the caller and must outlive the window. settingsPath is
    // the full path of the settings file.
    tollwk(Clock &clock, SoundPlayer &sound, FileDialog &dialog, QString settingsPath,
           QWidget *parent = nullptr);
    ~tollwk() override;

    // Controls, by their names; pairs are indexed by the panel index (0 notice, 1 alarm).
    QGroupBox *Frame1 = nullptr;
    QGroupBox *Frame2 = nullptr;
    std::array<QPushButton *, 2> sansyou {};
    std::array<QPushButton *, 2> PlaySound {};
    std::array<LimitedLineEdit *, 2> Sname {};
    std::array<ListBox *, 2> List1 {};
    std::array<LimitedLineEdit *, 2> time1 {};
    std::array<QLabel *, 2> Label1 {};
    std::array<LimitedLineEdit *, 2> time2 {};
    std::array<QPushButton *, 2> btn_tuika {};
    std::array<QPushButton *, 2> BTN_sakujyo {};
    std::array<QPushButton *, 2> usorting {};
    std::array<QPushButton *, 2> dsorting {};
    QLabel *Label2 = nullptr;
    LimitedLineEdit *byoukan = nullptr;
    QLabel *Label4 = nullptr;
    LimitedLineEdit *hunkan = nullptr;
    QLabel *Label3 = nullptr;
    QPushButton *btn_stop = nullptr;
    IntervalTimer *Timer1 = nullptr;
    IntervalTimer *Timer2 = nullptr;
    FileDialog &CommonDialog1;

    // Engine fields. lastPlayedEntry: the notice entry played last. ringStartMinute: the
    // minute of the day at which the current ring started; with m_ringStartMinuteBegan it
    // decides the ring's end (ringHasEnded() in engine/ringtiming.h says why).
    QString lastPlayedEntry;
    qint32 ringStartMinute = 0;

    // Handlers, grouped by the file that defines them. Each is an ordinary member that
    // the window's signals call and that other handlers may call directly.

    // app/lifecycle.cpp: start-up and shut-down.
    void Form_Load();
    void Form_Unload(qint16 &Cancel);

    // tollwk_lists.cpp: entry-field checks, add, delete, sort.
    void time1_Change(qint16 Index);
    void time2_Change(qint16 Index);
    void byoukan_Change();
    void hunkan_Change();
    void btn_tuika_Click(qint16 Index);
    void BTN_sakujyo_Click(qint16 Index);
    void usorting_Click(qint16 Index);
    void dsorting_Click(qint16 Index);

    // tollwk_engine.cpp: minute check, alarm ring, STOP, play and browse.
    void Timer1_Timer();
    void Timer2_Timer();
    void btn_stop_Click();
    void PlaySound_Click(qint16 Index);
    void sansyou_Click(qint16 Index);

    // tollwk_settings.cpp: the settings file.
    void LoadSettings();
    void SaveSettings();
    // What a save writes: the lists, the sound files and the two timings, as they stand.
    // Cheap: the lists and texts are shared, not copied.
    SettingsSnapshot settingsSnapshot() const;

    // Waits for the save SaveSettings started to end (up to 10 s for another copy's lock,
    // and on the disk), then false when it could not write the settings file: the exit
    // status says so. True when no save was asked for.
    bool lastSaveSucceeded() const;

protected:
    void closeEvent(QCloseEvent *event) override;

private:
    void createControls();
    void connectHandlers();
    void setUpTabOrder();
    void saveOnEveryChange();

    Clock &m_clock;
    SoundPlayer &m_sound;
    KeySender *m_keys = nullptr;
    Attention *m_attention = nullptr; // asked for while the alarm rings
    QString m_settingsPath;
    SettingsSaver *m_saver = nullptr; // saves each change soon after it, off this thread
    bool m_unloaded = false;

    // What the engine keeps beyond its two fields: the running minute at which
    // lastPlayedEntry played, so that it guards that minute of that day only, and the
    // elapsed time (Clock::elapsedMSecs) at which ringStartMinute began, on which the
    // ring's minutes are counted so that no change of the wall clock moves its end.
    qint64 m_lastPlayedAt = -1;
    qint64 m_ringStartMinuteBegan = 0;
};
