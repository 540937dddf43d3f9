#include "windowaids.h"

#include "mnemonics.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QLayout>
#include <QPointer>
#include <QScreen>
#include <QTimer>

namespace {

constexpr int kListFloor = 120;

bool isDialogLike(const QWidget *w)
{
    return w->isWindow() && (qobject_cast<const QDialog *>(w) || w->windowType() == Qt::Tool);
}

// A window wider or taller than the screen gives up the room its lists ask for beyond what
// they need (a list scrolls), then takes no more than the screen.
void fitToScreen(QWidget *window)
{
    QScreen *screen = window->screen();
    if (!screen || !window->layout())
        return;
    // The window manager's frame is not known before the window is shown.
    const QSize room = screen->availableGeometry().size() - QSize(16, 40);
    const QSize needed = window->layout()->totalMinimumSize();
    int width = needed.width() - room.width(), height = needed.height() - room.height();
    for (QAbstractItemView *list : window->findChildren<QAbstractItemView *>()) {
        if (width > 0 && list->minimumWidth() > kListFloor) {
            const int give = qMin(width, list->minimumWidth() - kListFloor);
            list->setMinimumWidth(list->minimumWidth() - give);
            width -= give;
        }
        if (height > 0 && list->minimumHeight() > kListFloor / 2) {
            const int give = qMin(height, list->minimumHeight() - kListFloor / 2);
            list->setMinimumHeight(list->minimumHeight() - give);
            height -= give;
        }
    }
    window->layout()->activate();
    if (window->width() > room.width() || window->height() > room.height())
        window->resize(window->size().boundedTo(room).expandedTo(window->minimumSize()));
}

class WindowAids : public QObject
{
public:
    using QObject::QObject;
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() != QEvent::Show && event->type() != QEvent::Hide &&
            event->type() != QEvent::WindowActivate)
            return false;
        auto *w = qobject_cast<QWidget *>(watched);
        if (w && w->isWindow() && event->type() == QEvent::WindowActivate)
            m_lastActive = w;
        if (!w || !isDialogLike(w))
            return false;
        if (event->type() == QEvent::Show && !w->property("zorvexMnemonics").toBool()) {
            w->setProperty("zorvexMnemonics", true);
            AddMissingMnemonics(w);
            fitToScreen(w);
        } else if (event->type() == QEvent::Hide && w->parentWidget() &&
                   (m_lastActive == w || m_handedTo == w) &&
                   QGuiApplication::applicationState() == Qt::ApplicationActive) {
            // Not every window manager hands the keyboard back to the owner; when no other
            // window has taken it meanwhile, the owner gets it, with its last focused field.
            // (A window that did not have the keyboard leaves it where it is: in a terminal.)
            // Its owners, nearest first: the owner may close meanwhile too (a dialog ending
            // after its message), and then the next one gets the keyboard.
            QList<QPointer<QWidget>> owners;
            for (QWidget *o = w->parentWidget(); o; o = o->window()->parentWidget())
                owners.append(o->window());
            QPointer<QWidget> closed = w;
            QTimer::singleShot(0, this, [this, owners, closed] {
                QWidget *owner = nullptr;
                for (const QPointer<QWidget> &o : owners) {
                    if (o && o->isVisible()) {
                        owner = o;
                        break;
                    }
                }
                QWidget *active = QApplication::activeWindow();
                QWidget *modal = QApplication::activeModalWidget();
                if (!owner || !owner->isVisible() || (modal && modal != owner) ||
                    (active && active != closed && active != owner))
                    return;
                // Until the window manager confirms, the owner counts as having the keyboard.
                m_handedTo = owner;
                owner->activateWindow();
                if (QWidget *focus = owner->focusWidget())
                    focus->setFocus(Qt::OtherFocusReason);
            });
        }
        return false;
    }

private:
    QPointer<QWidget> m_handedTo;
    // Qt forgets the active window before a closing one gets its Hide event.
    QPointer<QWidget> m_lastActive;
};

} // namespace

void InstallWindowAids()
{
    static QPointer<WindowAids> aids;
    if (!aids && qApp) {
        aids = new WindowAids(qApp);
        qApp->installEventFilter(aids);
    }
}
