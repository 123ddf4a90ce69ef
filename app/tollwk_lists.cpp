// SPDX-FileCopyrightText: 2026 Tollwick developers
// SPDX-License-Identifier: MIT
// The window's entry-field checks, add and delete buttons and sort buttons.
#include "tollwk.h"

#include "alarmtime.h"
#include "entrycheck.h"
#include "exchangesort.h"
#include "keysender.h"
#include "limitedlineedit.h"
#include "listbox.h"
#include "numbertext.h"

namespace {

// Empties a box that does not hold a value in range; with two acceptable characters it
// passes the focus on. Emptying runs the check once more, nested, on "".
void checkTimeBox(LimitedLineEdit &box, int max, KeySender &keys)
{
    const QString text = box.text();
    if (!isTimeFieldValue(text, max)) {
        box.setText(QString());
        return;
    }
    if (text.size() == 2)
        keys.send(u"{tab}");
}

void checkIntervalBox(LimitedLineEdit &box)
{
    if (!isNumericText(box.text()))
        box.setText(QStringLiteral("0"));
}

void sortList(ListBox &list, SortDirection direction)
{
    // The selection stays at its position, as exchanges in place would leave it.
    list.setEntries(sortedEntries(list.entries(), direction));
}

} // namespace

void tollwk::time1_Change(qint16 Index)
{
    checkTimeBox(*time1[Index], kMaxHour, *m_keys);
}

void tollwk::time2_Change(qint16 Index)
{
    checkTimeBox(*time2[Index], kMaxMinute, *m_keys);
}

void tollwk::byoukan_Change()
{
    checkIntervalBox(*byoukan);
}

void tollwk::hunkan_Change()
{
    checkIntervalBox(*hunkan);
}

void tollwk::btn_tuika_Click(qint16 Index)
{
    const QString hour = time1[Index]->text();
    const QString minute = time2[Index]->text();
    if (hour.size() != 2 || minute.size() != 2 || List1[Index]->count() >= kMaxEntries)
        return;
    List1[Index]->addItem(hour + u':' + minute);
    m_keys->send(u"+{tab}+{tab}");
    time1[Index]->setText(QString());
    time2[Index]->setText(QString());
}

void tollwk::BTN_sakujyo_Click(qint16 Index)
{
    ListBox &list = *List1[Index];
    const int selected = list.selectedRow();
    if (selected < 0)
        return;
    list.removeAt(selected);
    // Nothing stays selected, so a second press cannot delete a neighbour by accident.
    list.setSelectedRow(-1);
}

void tollwk::usorting_Click(qint16 Index)
{
    sortList(*List1[Index], SortDirection::Ascending);
}

void tollwk::dsorting_Click(qint16 Index)
{
    sortList(*List1[Index], SortDirection::Descending);
}
