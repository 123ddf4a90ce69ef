// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The typing limit of a text box, applied to the edit itself, as the desktop's edit control
// with a text limit does: what an edit inserts is cut so that the box holds at most the
// limit afterwards, a selection it replaces counting as removed; an insertion of which
// nothing fits changes nothing; deleting always works; undo and redo obey the same rule.
//
// QLineEdit::setMaxLength would also cut text the program assigns, and lets anything be
// inserted into a text already over the limit, so the limit is a validator that knows the
// text, cursor and selection from before the edit. QLineEdit::setText is not virtual, so
// the validator tells the user's edits from the program's by the event they come in
// (keys, input methods, drops, middle-click pastes) or the menu action they come from.
#include "limitedlineedit.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QSignalBlocker>
#include <QValidator>

#include <limits>

class LimitedLineEdit::Limit final : public QValidator
{
public:
    explicit Limit(LimitedLineEdit *edit)
        : QValidator(edit)
        , m_edit(edit)
    {
    }

    State validate(QString &input, int &pos) const override
    {
        const int max = m_edit->m_maxTyped;
        const Before &before = m_edit->m_before;
        const QString &old = before.text;
        if (!std::exchange(m_edit->m_userEdit, false) || input == old)
            return Acceptable;
        const qsizetype kept = old.size() - (before.to - before.from);
        const bool insertionAtCaret = input.size() >= kept
            && QStringView(input).startsWith(QStringView(old).left(before.from))
            && QStringView(input).endsWith(QStringView(old).mid(before.to));
        const qsizetype inserted = insertionAtCaret ? input.size() - kept : 0;
        // Mapped one for one, so the lengths and the cursor stay as they are. Undo and redo
        // bring back text that was mapped when it was entered.
        for (qsizetype i = before.from; i < before.from + inserted; ++i)
            input[i] = m_edit->enteredAs(input[i]);
        if (max <= 0 || input.size() <= max || input == old)
            return Acceptable;
        if (!insertionAtCaret) // undo or redo: refused as a whole when it grows too long
            return input.size() > old.size() ? refuse(input, pos) : Acceptable;
        const qsizetype fits = qBound(qsizetype(0), max - kept, inserted);
        if (fits == inserted)
            return Acceptable;
        if (fits == 0 && before.from == before.to)
            return refuse(input, pos);
        input = old.left(before.from) + input.mid(before.from, fits) + old.mid(before.to);
        pos = int(before.from + fits);
        return Acceptable;
    }

private:
    State refuse(QString &input, int &pos) const
    {
        // QLineEdit takes back an invalid insertion, but keeps an invalid undo or redo.
        if (!m_edit->m_steppingHistory)
            return Invalid;
        input = m_edit->m_before.text;
        pos = m_edit->m_before.from;
        return Acceptable;
    }

    LimitedLineEdit *m_edit;
};

LimitedLineEdit::LimitedLineEdit(int maxTyped, QWidget *parent)
    : QLineEdit(parent)
    , m_maxTyped(maxTyped)
{
    // Qt's default limit of 32,767 would cut long assigned text; the limit here is our own.
    setMaxLength(std::numeric_limits<int>::max());
    setValidator(new Limit(this));
    // The signals come after the validator has run, so they describe the text, cursor and
    // selection that the next edit starts from.
    connect(this, &QLineEdit::textChanged, this, [this](const QString &text) {
        m_userEdit = false;
        m_before.text = text;
        noteCaret();
    });
    connect(this, &QLineEdit::cursorPositionChanged, this, &LimitedLineEdit::noteCaret);
    connect(this, &QLineEdit::selectionChanged, this, &LimitedLineEdit::noteCaret);
}

void LimitedLineEdit::noteCaret()
{
    if (m_caretFrozen)
        return;
    if (hasSelectedText()) {
        m_before.from = selectionStart();
        m_before.to = m_before.from + selectionLength();
    } else {
        m_before.from = m_before.to = cursorPosition();
    }
}

bool LimitedLineEdit::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
    case QEvent::InputMethod:
    case QEvent::Drop:
    case QEvent::MouseButtonRelease: // X11's middle-click paste
    {
        bool handled = false;
        byUser([&] { handled = QLineEdit::event(event); });
        return handled;
    }
    default:
        return QLineEdit::event(event);
    }
}

void LimitedLineEdit::byUser(const std::function<void()> &edit)
{
    const bool outer = std::exchange(m_userEdit, true);
    edit();
    m_userEdit = outer;
}

void LimitedLineEdit::inputMethodEvent(QInputMethodEvent *event)
{
    // QLineEdit reports the new cursor before it validates a commit, so the span is worked
    // out here and held: the selection goes first, then the replacement around the cursor.
    noteCaret();
    if (event->replacementLength() > 0) {
        const int removed = m_before.to - m_before.from;
        const int start = qBound(0, m_before.from + event->replacementStart(),
                                 int(m_before.text.size()) - removed);
        const int end =
            qMin(start + event->replacementLength(), int(m_before.text.size()) - removed);
        auto inBefore = [&](int p) { return p <= m_before.from ? p : p + removed; };
        m_before.from = qMin(m_before.from, inBefore(start));
        m_before.to = qMax(m_before.to, inBefore(end));
    } else if (event->replacementStart() != 0 && m_before.from == m_before.to) {
        const int at =
            qBound(0, m_before.from + event->replacementStart(), int(m_before.text.size()));
        m_before.from = m_before.to = at;
    }
    const bool outer = std::exchange(m_caretFrozen, true);
    QLineEdit::inputMethodEvent(event);
    m_caretFrozen = outer;
    noteCaret();
}

void LimitedLineEdit::keyPressEvent(QKeyEvent *event)
{
    if (event->matches(QKeySequence::Undo) || event->matches(QKeySequence::Redo))
        stepHistory([this, event] { QLineEdit::keyPressEvent(event); });
    else
        QLineEdit::keyPressEvent(event);
}

void LimitedLineEdit::contextMenuEvent(QContextMenuEvent *event)
{
    QMenu *menu = createStandardContextMenu();
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // The menu's undo and redo go through the same guard as their keys. Qt 6.4 names
    // neither action; an editable box's menu starts with them.
    const QList<QAction *> actions = menu->actions();
    for (int i = 0; i < actions.size(); ++i) {
        const QString name = actions[i]->objectName();
        const bool isUndo = name == u"edit-undo" || (name.isEmpty() && i == 0 && !isReadOnly());
        const bool isRedo = name == u"edit-redo" || (name.isEmpty() && i == 1 && !isReadOnly());
        const bool isPaste =
            name == u"edit-paste" || actions[i]->text().startsWith(QLineEdit::tr("&Paste"));
        if (!isUndo && !isRedo && !isPaste)
            continue;
        actions[i]->disconnect(this);
        if (isPaste)
            connect(actions[i], &QAction::triggered, this, [this] { byUser([this] { paste(); }); });
        else
            connect(actions[i], &QAction::triggered, this,
                    [this, isUndo] { stepHistory([this, isUndo] { isUndo ? undo() : redo(); }); });
    }
    menu->popup(event->globalPos());
}

void LimitedLineEdit::stepHistory(const std::function<void()> &step)
{
    // A refused step puts the text back by assigning it, which QLineEdit reports as a change
    // of its own; with the signals held back, only a step that changed the text is reported,
    // once.
    const QString before = text();
    const bool outer = std::exchange(m_steppingHistory, true);
    {
        const QSignalBlocker quiet(this);
        byUser(step);
    }
    m_steppingHistory = outer;
    noteCaret();
    if (text() == before)
        return;
    m_before.text = text();
    Q_EMIT textEdited(text());
    Q_EMIT textChanged(text());
}
