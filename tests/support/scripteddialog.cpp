// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
#include "scripteddialog.h"

std::optional<QString> ScriptedDialog::choose(QWidget *)
{
    ++shown;
    if (answers.isEmpty())
        return std::nullopt;
    const QString answer = answers.takeFirst();
    if (answer.isNull())
        return std::nullopt;
    return answer;
}
