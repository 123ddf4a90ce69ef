// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// Only warnings show by default; QT_LOGGING_RULES="tollwick.sound.info=true" shows these.
#include "soundfailures.h"

Q_LOGGING_CATEGORY(lcSound, "tollwick.sound", QtWarningMsg)

void SoundFailures::report(Cause cause, const QString &why)
{
    if (m_last[cause] == why)
        return;
    m_last[cause] = why;
    static constexpr const char *kWhat[CauseCount] = {"no sound server", "stream refused",
                                                      "sound file unreadable", "write refused",
                                                      "drain failed"};
    qCInfo(lcSound, "%s: %s", kWhat[cause], qUtf8Printable(why));
}
