// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The sections and keys of tollwk.ini, and where the file lives.
#pragma once

#include <QLoggingCategory>
#include <QStringList>
#include <optional>

// "tollwick.settings": why a save did not happen.
Q_DECLARE_LOGGING_CATEGORY(lcSettings)

class ProfileDocument;

// What the window saves.
struct SettingsSnapshot {
    QStringList notices;
    QString noticeSound;
    QStringList alarms;
    QString alarmSound;
    QString seconds; // "byou"
    QString minutes; // "hun"
};

// What a file gives; an absent value leaves its control as it is.
struct LoadedSettings {
    QStringList notices;
    std::optional<QString> noticeSound;
    QStringList alarms;
    std::optional<QString> alarmSound;
    std::optional<QString> seconds;
    std::optional<QString> minutes;
};

// A value is absent when the file, section or key is missing or when the value begins
// with "not" (case-sensitive). A count that is not a whole decimal number in the 32-bit
// range counts as absent. A list stops at its count, at its first absent entry or at
// 32767 entries, whichever comes first. Never fails.
LoadedSettings readSettings(const ProfileDocument &doc);

// Writes every key, in the fixed order, into doc; other lines stay as they are.
void writeSettings(ProfileDocument &doc, const SettingsSnapshot &settings);

// $XDG_CONFIG_HOME/tollwick/tollwk.ini (~/.config/tollwick/tollwk.ini by default).
QString defaultSettingsPath();
