// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// A string list model rather than QListWidget: a full list of 32,767 entries then costs
// one shared string each, with no item objects, and fills in a millisecond.
#include "listbox.h"

#include <QAccessible>
#include <QKeyEvent>
#include <QStringListModel>

namespace {

bool isNavigationKey(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_Home:
    case Qt::Key_End:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return true;
    default:
        return false;
    }
}

} // namespace

ListBox::ListBox(QWidget *parent)
    : QListView(parent)
    , m_model(new QStringListModel(this))
{
    setModel(m_model);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setUniformItemSizes(true);
    // Qt's AT-SPI bridge drops the table model events of item views, so each entry that
    // comes or goes is announced as a child of the list, and after a sort all entries anew.
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex &, int first, int last) { announceRows(first, last, true); });
    connect(m_model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex &, int first, int last) { announceRows(first, last, false); });
    connect(m_model, &QAbstractItemModel::rowsInserted, this, &ListBox::entriesChanged);
    connect(m_model, &QAbstractItemModel::rowsRemoved, this, &ListBox::entriesChanged);
    connect(m_model, &QAbstractItemModel::rowsMoved, this, &ListBox::entriesChanged);
    connect(m_model, &QAbstractItemModel::dataChanged, this, &ListBox::entriesChanged);
    connect(m_model, &QAbstractItemModel::modelReset, this, &ListBox::entriesChanged);
    connect(m_model, &QAbstractItemModel::layoutChanged, this, &ListBox::entriesChanged);
    // Qt 6.4's bridge sends its reorder event with a malformed argument, which clients drop.
    connect(m_model, &QAbstractItemModel::modelReset, this,
            [this] { announceRows(0, m_model->rowCount() - 1, true); });
}

void ListBox::announceRows(int first, int last, bool added)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleInterface *list = QAccessible::queryAccessibleInterface(this);
    if (!list || !list->tableInterface())
        return;
    for (int row = first; row <= last; ++row) {
        if (QAccessibleInterface *entry = list->tableInterface()->cellAt(row, 0)) {
            QAccessibleEvent event(
                entry, added ? QAccessible::ObjectCreated : QAccessible::ObjectDestroyed);
            QAccessible::updateAccessibility(&event);
        }
    }
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
        m_caret = QPersistentModelIndex();
        return;
    }
    const QModelIndex index = m_model->index(row);
    if (!index.isValid())
        return;
    if (hasFocus()) {
        selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect);
    } else {
        selectionModel()->select(index, QItemSelectionModel::ClearAndSelect);
        m_caret = index;
    }
}

void ListBox::keyPressEvent(QKeyEvent *event)
{
    QListView::keyPressEvent(event);
    // Qt moves the focus frame without selecting when the key lands on the entry that
    // already has it (Home on the first entry after Tab, Up at the top).
    const QModelIndex current = currentIndex();
    if (isNavigationKey(event->key()) && current.isValid()
        && !selectionModel()->isSelected(current))
        selectionModel()->select(current, QItemSelectionModel::ClearAndSelect);
}

void ListBox::focusInEvent(QFocusEvent *event)
{
    // With no caret Qt puts it on the first entry, without selecting it.
    if (m_caret.isValid() && !currentIndex().isValid())
        selectionModel()->setCurrentIndex(m_caret, QItemSelectionModel::NoUpdate);
    QListView::focusInEvent(event);
}

void ListBox::focusOutEvent(QFocusEvent *event)
{
    m_caret = currentIndex();
    selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    QListView::focusOutEvent(event);
}
