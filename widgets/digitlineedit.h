// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A text box for numbers, typed as plain keys whatever input method is switched on.
#pragma once

#include "limitedlineedit.h"

class DigitLineEdit : public LimitedLineEdit
{
    Q_OBJECT
public:
    explicit DigitLineEdit(int maxTyped, QWidget *parent);

    // Answers that no input method is wanted here; the rest as a line edit does.
    QVariant inputMethodQuery(Qt::InputMethodQuery query) const override;

protected:
    // Full-width digits, plus, minus and full stop enter as the ASCII characters.
    QChar enteredAs(QChar c) const override;
};
