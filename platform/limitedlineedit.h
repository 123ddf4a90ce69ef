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
    // maxTyped 0 means no limit.
    explicit LimitedLineEdit(int maxTyped, QWidget *parent);

    // Hides QLineEdit::setText on purpose: text the program assigns is never cut, while
    // typing, pasting, dropping, input-method commits, undo and redo are. Call it through
    // this type.
    void setText(const QString &text);

protected:
    // The character that a typed, pasted, dropped or committed character enters as, before
    // the limit counts it; text the program assigns is never mapped. As entered by default.
    virtual QChar enteredAs(QChar c) const { return c; }

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
    void stepHistory(const std::function<void()> &step);

    int m_maxTyped;
    Before m_before;
    bool m_assigning = false;
    bool m_caretFrozen = false;
    bool m_steppingHistory = false;
};
