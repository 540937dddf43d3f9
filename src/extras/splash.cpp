#include "splash.h"

#include "extras/extrasresources.h"

#include <QApplication>
#include <QEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTimer>
#include <QWidget>

namespace {

class SplashWindow : public QWidget
{
public:
    SplashWindow(const QPixmap &picture, QWidget *owner)
        // Shown before the main window, it would go under it when a window manager maps that:
        // it stays on top for its few seconds.
        : QWidget(owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
          m_picture(picture)
    {
        setObjectName(QStringLiteral("splashWindow"));
        setAttribute(Qt::WA_OpaquePaintEvent);
        setFixedSize(picture.size());
        setCursor(Qt::ArrowCursor);
        centre(owner);
        auto *timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("splashTimer"));
        timer->setSingleShot(true);
        timer->setInterval(kSplashMilliseconds);
        QObject::connect(timer, &QTimer::timeout, [] { CloseSplash(); });
        timer->start();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        painter.drawPixmap(0, 0, m_picture);
    }

private:
    void centre(QWidget *owner)
    {
        QRect area;
        if (owner && owner->isVisible() && !owner->isMinimized())
            area = owner->frameGeometry();
        else if (QScreen *screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
            area = screen->availableGeometry();
        QRect frame(QPoint(0, 0), size());
        frame.moveCenter(area.center());
        move(frame.topLeft());
    }

    QPixmap m_picture;
};

// Sees every event of the program while a splash is up.
class SplashFilter : public QObject
{
public:
    bool eventFilter(QObject *target, QEvent *event) override
    {
        SplashFilterMessage(target, event);
        return false;
    }
};

struct SplashState
{
    bool enabled = false;
    // Held as a plain widget: the pointer is read by the event filter while the main window
    // takes the splash down with it, when it is no longer a SplashWindow.
    QPointer<QWidget> window;
    QPointer<QWidget> mainWindow;
    SplashFilter *filter = nullptr;
};

SplashState &state()
{
    static SplashState s;
    return s;
}

bool closesSplash(const QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        return true;
    case QEvent::MouseButtonPress:
    case QEvent::NonClientAreaMouseButtonPress: {
        const auto button = static_cast<const QMouseEvent *>(event)->button();
        return button == Qt::LeftButton || button == Qt::RightButton || button == Qt::MiddleButton;
    }
    default:
        return false;
    }
}

} // namespace

bool SplashWantedFor(const QStringList &arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &arg = arguments[i];
        if (!arg.startsWith(QLatin1Char('/')) && !arg.startsWith(QLatin1Char('-')))
            continue;
        const QStringView flag = QStringView(arg).mid(1);
        if (flag == QLatin1String("Embedding") || flag == QLatin1String("Automation"))
            return false;
    }
    return true;
}

void SetSplashEnabled(bool enabled)
{
    state().enabled = enabled;
}

bool SplashEnabled()
{
    return state().enabled;
}

void OfferSplash(QWidget *mainWindow)
{
    SplashState &s = state();
    if (!s.enabled || s.window)
        return;
    InitExtrasResources();
    // An uncompressed bitmap: decoding a PNG of this size was an eighth of the start-up time.
    const QPixmap picture(QStringLiteral(":/extras/splash.bmp"));
    if (picture.isNull())
        return;
    s.mainWindow = mainWindow;
    s.window = new SplashWindow(picture, mainWindow);
    if (!s.filter && qApp) {
        s.filter = new SplashFilter;
        qApp->installEventFilter(s.filter);
    }
    s.window->show();
    // Start-up goes on at once; the picture has to be on screen before it does.
    s.window->repaint();
}

void SplashFilterMessage(QObject *target, QEvent *event)
{
    SplashState &s = state();
    if (s.window && closesSplash(event)) {
        CloseSplash();
        return;
    }
    // The main window shown after the splash: the splash goes back on top of it.
    if (s.window && target == s.mainWindow && event->type() == QEvent::Show)
        QTimer::singleShot(0, s.window, [window = s.window] { window->raise(); });
}

void CloseSplash()
{
    SplashState &s = state();
    if (QWidget *window = s.window) {
        s.window = nullptr;
        // The event that closes the splash may be on its way to the splash itself, so the
        // window goes away only once that delivery is over.
        window->hide();
        window->deleteLater();
    }
    // Removing an application filter from inside its own call is safe in Qt; deleting it
    // is not, so that too waits for the event loop.
    if (s.filter) {
        qApp->removeEventFilter(s.filter);
        s.filter->deleteLater();
        s.filter = nullptr;
    }
    if (s.mainWindow)
        s.mainWindow->repaint();
}

QWidget *CurrentSplash()
{
    return state().window;
}
