// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The hour, minute, seconds and minutes boxes take keystrokes directly, as the desktop's
// edit control with its input method switched off does: a Japanese input method would hold
// the digits in its preedit, so the check never saw them one by one and the focus never
// moved on. Full-width digits still come in from the clipboard, a drop or an on-screen
// keyboard; they enter as plain digits, so that the checks and the minute check see those.
#include "digitlineedit.h"

DigitLineEdit::DigitLineEdit(int maxTyped, QWidget *parent)
    : LimitedLineEdit(maxTyped, parent)
{
    // For on-screen keyboards, which look at the hints rather than at ImEnabled.
    setInputMethodHints(Qt::ImhFormattedNumbersOnly | Qt::ImhPreferLatin | Qt::ImhNoPredictiveText);
}

QVariant DigitLineEdit::inputMethodQuery(Qt::InputMethodQuery query) const
{
    // Switching Qt::WA_InputMethodEnabled off is no way to say so: QLineEdit answers the
    // query from its enabled and read-only state whatever the attribute says (Qt 6.4).
    if (query == Qt::ImEnabled)
        return false;
    return LimitedLineEdit::inputMethodQuery(query);
}

QChar DigitLineEdit::enteredAs(QChar c) const
{
    if (c >= u'\uFF10' && c <= u'\uFF19')
        return QChar(u'0' + (c.unicode() - 0xFF10));
    switch (c.unicode()) {
    case 0xFF0B:
        return u'+';
    case 0xFF0D:
        return u'-';
    case 0xFF0E:
        return u'.';
    default:
        return c;
    }
}
