// QLineEdit::setMaxLength would also truncate text the program assigns, so the limit is a
// validator instead: it sees every user edit, and an over-long insertion is cut to the
// room left, as a paste into a limited box is on the desktop the program came from.
#include "limitedlineedit.h"

#include <QValidator>

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
        if (m_edit->m_assigning || max <= 0 || input.size() <= max)
            return Acceptable;
        const QString &old = m_edit->m_previous;
        if (input.size() <= old.size())
            return Acceptable; // a deletion from text the program put in
        // The insertion is what lies between the common prefix and the common suffix.
        qsizetype prefix = 0;
        while (prefix < old.size() && old[prefix] == input[prefix])
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < old.size() - prefix
               && old[old.size() - 1 - suffix] == input[input.size() - 1 - suffix])
            ++suffix;
        const qsizetype kept = prefix + suffix;
        const qsizetype room = max - kept;
        if (room <= 0)
            return Invalid;
        const qsizetype inserted = input.size() - kept;
        input = input.left(prefix) + input.mid(prefix, qMin(room, inserted)) + input.right(suffix);
        pos = int(prefix + qMin(room, inserted));
        return Acceptable;
    }

private:
    LimitedLineEdit *m_edit;
};

LimitedLineEdit::LimitedLineEdit(int maxTyped, QWidget *parent)
    : QLineEdit(parent)
    , m_maxTyped(maxTyped)
{
    setMaxLength(std::numeric_limits<int>::max()); // QLineEdit cuts at 32767 by default
    setValidator(new Limit(this));
    connect(this, &QLineEdit::textChanged, this,
            [this](const QString &text) { m_previous = text; });
}

void LimitedLineEdit::setText(const QString &text)
{
    // Saved and restored, because a change handler may assign again from inside.
    const bool outer = std::exchange(m_assigning, true);
    QLineEdit::setText(text);
    m_assigning = outer;
}
