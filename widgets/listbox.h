// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A list box: text entries in the order given, single selection, nothing sorted by itself.
// Every navigation key selects the entry it lands on, as on the desktop the program came
// from, and assistive technology hears entries come, go and change places.
#pragma once

#include <QListView>
#include <QPersistentModelIndex>
#include <QStringList>

class QStringListModel;

class ListBox : public QListView
{
    Q_OBJECT
public:
    explicit ListBox(QWidget *parent);

    int count() const;
    // The entry at row, or an empty text when there is none.
    QString text(int row) const;
    // All entries at once; a cheap shared copy.
    QStringList entries() const;

    void addItem(const QString &entry);
    void addItems(const QStringList &entries);
    // Replaces all entries; the selection stays at its row when that row still exists.
    void setEntries(const QStringList &entries);
    // Does nothing for a row that does not exist.
    void removeAt(int row);
    void clear();

    // -1 when nothing is selected.
    int selectedRow() const;
    // -1 clears the selection.
    void setSelectedRow(int row);

Q_SIGNALS:
    // Entries were added, removed, changed or reordered, by the program or the user.
    void entriesChanged();

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;
    void focusOutEvent(QFocusEvent *event) override;

private:
    void announceRows(int first, int last, bool added);

    QStringListModel *m_model;
    // The entry with the focus frame while the list does not have the focus. Qt's view
    // would go on reporting its current entry as focused to assistive technology.
    QPersistentModelIndex m_caret;
};
