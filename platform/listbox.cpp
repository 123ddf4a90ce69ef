// A string list model rather than QListWidget: a full list of 32,767 entries then costs
// one shared string each, with no item objects, and fills in a millisecond.
#include "listbox.h"

#include <QStringListModel>

ListBox::ListBox(QWidget *parent)
    : QListView(parent)
    , m_model(new QStringListModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
}

int ListBox::count() const
{
    return m_model->rowCount();
}

QString ListBox::text(int row) const
{
    return m_model->data(m_model->index(row), Qt::DisplayRole).toString();
}

QStringList ListBox::entries() const
{
    return m_model->stringList();
}

void ListBox::addItem(const QString &entry)
{
    const int row = m_model->rowCount();
    m_model->insertRows(row, 1);
    m_model->setData(m_model->index(row), entry);
}

void ListBox::addItems(const QStringList &entries)
{
    if (entries.isEmpty())
        return;
    if (m_model->rowCount() == 0) {
        m_model->setStringList(entries);
        return;
    }
    setEntries(m_model->stringList() + entries);
}

void ListBox::setEntries(const QStringList &entries)
{
    const int selected = selectedRow();
    m_model->setStringList(entries);
    if (selected >= 0 && selected < entries.size())
        setSelectedRow(selected);
}

void ListBox::removeAt(int row)
{
    m_model->removeRows(row, 1);
}

void ListBox::clear()
{
    m_model->setStringList({});
}

int ListBox::selectedRow() const
{
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.constFirst().row();
}

void ListBox::setSelectedRow(int row)
{
    if (row < 0) {
        selectionModel()->clear();
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (index.isValid())
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
}
