#include "windowfixture.h"

#include "listbox.h"
#include <QTest>

WindowFixture::WindowFixture(const QString &settingsPath)
    : window(std::make_unique<tollwk>(clock, sound, dialog, settingsPath))
{
}

bool WindowFixture::showActive()
{
    window->show();
    window->activateWindow();
    return QTest::qWaitForWindowActive(window.get());
}

QStringList entries(const ListBox *list)
{
    return list->entries();
}

void setEntries(ListBox *list, const QStringList &entries)
{
    list->clear();
    list->addItems(entries);
}
