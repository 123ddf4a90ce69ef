// A single-line text box whose length limit binds only what the user enters.
#pragma once

#include <QLineEdit>

class LimitedLineEdit : public QLineEdit
{
    Q_OBJECT
public:
    // maxTyped 0 means no limit.
    explicit LimitedLineEdit(int maxTyped, QWidget *parent);

    // Hides QLineEdit::setText on purpose: text the program assigns is never cut, while
    // typing, pasting, dropping and input-method commits are. Call it through this type.
    void setText(const QString &text);

    int maxTyped() const { return m_maxTyped; }

private:
    class Limit;
    friend class Limit;

    int m_maxTyped;
    QString m_previous;
    bool m_assigning = false;
};
