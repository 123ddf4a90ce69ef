// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A file dialog that answers from a script instead of asking a person.
#pragma once

#include "filedialog.h"

#include <QStringList>

class ScriptedDialog final : public FileDialog
{
public:
    // Each answer is a path, or a null QString for Cancel.
    QList<QString> answers;
    int shown = 0;

protected:
    std::optional<QString> choose(QWidget *) override;
};
