// A list box: text entries in the order given, single selection, nothing sorted by itself.
#pragma once

#include <QListView>
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

private:
    QStringListModel *m_model;
};
