// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A single-line text box whose length limit binds only what the user enters.
#pragma once

#include <QLineEdit>

#include <functional>

class LimitedLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    // maxTyped 0 means no limit. Text the program sets (QLineEdit::setText, insert, ...,
    // through any pointer) is never cut; what the user types, pastes, drops, commits with
    // an input method, or brings back with undo and redo is.
    explicit LimitedLineEdit(int maxTyped, QWidget *parent);

protected:
    // The character that a typed, pasted, dropped or committed character enters as, before
    // the limit counts it; text the program assigns is never mapped. As entered by default.
    virtual QChar enteredAs(QChar c) const { return c; }

    bool event(QEvent *event) override;
    void inputMethodEvent(QInputMethodEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void contextMenuEvent(QContextMenuEvent *event) override;

private:
    class Limit;
    friend class Limit;

    // The text before the edit in progress and the span of it that an insertion replaces:
    // the selection, or the empty span at the cursor.
    struct Before {
        QString text;
        int from = 0;
        int to = 0;
    };
    void noteCaret();
    void byUser(const std::function<void()> &edit);
    void stepHistory(const std::function<void()> &step);

    int m_maxTyped;
    Before m_before;
    // Set while an event of the user's is handled, and ended by the first change it makes:
    // a change handler that assigns text from inside it assigns as the program.
    bool m_userEdit = false;
    bool m_caretFrozen = false;
    bool m_steppingHistory = false;
};
