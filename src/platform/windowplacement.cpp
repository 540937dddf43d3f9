#include "windowplacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QScreen>
#include <QWidget>

namespace {

class CentreKeeper : public QObject
{
public:
    CentreKeeper(QWidget *window, QWidget *over) : QObject(window), m_window(window), m_over(over)
    {
        window->installEventFilter(this);
        over->installEventFilter(this);
    }

    bool eventFilter(QObject *target, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Show:
        case QEvent::Move:
        case QEvent::Resize:
            // The window's own moves are the ones made here.
            if (target == m_over || event->type() != QEvent::Move)
                centre();
            break;
        default:
            break;
        }
        return false;
    }

private:
    void centre()
    {
        if (!m_window || !m_over || !m_window->isVisible() || !m_over->isVisible())
            return;
        const QRect over = m_over->frameGeometry();
        QRect frame = m_window->frameGeometry();
        frame.moveCenter(over.center());
        QScreen *screen = m_over->screen();
        if (screen)
            frame = KeepInside(frame, screen->availableGeometry());
        // frameGeometry and move() both take the frame's top-left corner.
        m_window->move(frame.topLeft());
    }

    QPointer<QWidget> m_window;
    QPointer<QWidget> m_over;
};

} // namespace

QSize FitSize(const QSize &wanted, const QRect &available)
{
    return wanted.boundedTo(available.size());
}

QRect KeepInside(const QRect &rect, const QRect &available)
{
    QRect r = rect;
    if (r.right() > available.right())
        r.moveRight(available.right());
    if (r.bottom() > available.bottom())
        r.moveBottom(available.bottom());
    if (r.left() < available.left())
        r.moveLeft(available.left());
    if (r.top() < available.top())
        r.moveTop(available.top());
    return r;
}

void KeepCentredOver(QWidget *window, QWidget *over)
{
    if (!window || !over)
        return;
    new CentreKeeper(window, over->window());
}
