// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Only warnings show by default; QT_LOGGING_RULES="tollwick.sound.info=true" shows these.
#include "soundfailures.h"

Q_LOGGING_CATEGORY(lcSound, "tollwick.sound", QtWarningMsg)

namespace {
// A switch rather than a table, so that a cause added without its name is a warning.
const char *name(SoundFailures::Cause cause)
{
    switch (cause) {
    case SoundFailures::NoServer:
        return "no sound server";
    case SoundFailures::StreamRefused:
        return "stream refused";
    case SoundFailures::StreamStalled:
        return "stream stalled";
    case SoundFailures::Unreadable:
        return "sound file unreadable";
    case SoundFailures::WriteRefused:
        return "write refused";
    case SoundFailures::DrainFailed:
        return "drain failed";
    case SoundFailures::OutOfResources:
        return "out of descriptors or threads";
    case SoundFailures::TimedOut:
        return "server slow to answer";
    case SoundFailures::CauseCount:
        break;
    }
    return "sound failure";
}
} // namespace

void SoundFailures::report(Cause cause, const QString &why)
{
    if (m_last[cause] == why)
        return;
    m_last[cause] = why;
    qCInfo(lcSound, "%s: %s", name(cause), qUtf8Printable(why));
}
