#include "keynamelistbox.h"

#include "core/keynamelist.h"
#include "platform/settingsdir.h"

#include <QListWidget>
#include <QScreen>
#include <QStyle>

void FillKeyNameList(QListWidget *list)
{
    list->addItems(CachedKeyNames(QString::fromLatin1(kSettingsFile)));
    FitKeyNameList(list);
}

void FitKeyNameList(QListWidget *list)
{
    const int scrollBar = list->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, list);
    int width = list->sizeHintForColumn(0) + 2 * list->frameWidth() + scrollBar + 4;
    if (QScreen *screen = list->screen())
        width = qMin(width, screen->availableGeometry().width() * 3 / 4);
    list->setMinimumWidth(qMax(list->minimumWidth(), width));
}
