#include "keynamelistbox.h"

#include "core/keynamelist.h"
#include "platform/settingsdir.h"

#include <QListWidget>

void FillKeyNameList(QListWidget *list)
{
    list->addItems(CachedKeyNames(QString::fromLatin1(kSettingsFile)));
}
