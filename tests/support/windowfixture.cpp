#include "windowfixture.h"

#include <QListWidget>
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

QStringList entries(const QListWidget *list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result.append(list->item(i)->text());
    return result;
}

void setEntries(QListWidget *list, const QStringList &entries)
{
    list->clear();
    list->addItems(entries);
}
