#include "keynamelistbox.h"

#include "core/keynamelist.h"
#include "platform/messagebox.h"
#include "platform/settingsdir.h"

#include <QKeyEvent>
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

namespace {

class KeyPickFilter : public QObject
{
public:
    KeyPickFilter(QListWidget *list, std::function<void(const QListWidgetItem *)> pick)
        : QObject(list), m_pick(std::move(pick))
    {
    }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::KeyPress)
            return false;
        const int key = static_cast<QKeyEvent *>(event)->key();
        if (key != Qt::Key_Space && key != Qt::Key_Return && key != Qt::Key_Enter)
            return false;
        auto *list = static_cast<QListWidget *>(watched);
        if (!list->currentItem())
            return false;
        m_pick(list->currentItem());
        // Enter would otherwise also press the dialog's default button.
        return true;
    }

private:
    std::function<void(const QListWidgetItem *)> m_pick;
};

} // namespace

void ConnectKeyNamePicks(QListWidget *list, std::function<void(const QString &entry)> pick)
{
    auto picked = [list, pick = std::move(pick)](const QListWidgetItem *item) {
        if (!item)
            return;
        const QString problem = KeyNamePickProblem(item->text());
        if (!problem.isEmpty()) {
            MessageBox::information(list->window(), problem);
            return;
        }
        pick(item->text());
    };
    // A double-click reports one click first: that click is the pick.
    QObject::connect(list, &QListWidget::itemClicked, list, picked);
    list->installEventFilter(new KeyPickFilter(list, picked));
}
