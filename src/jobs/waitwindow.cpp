#include "waitwindow.h"

#include "platform/foreignwindow.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// A window manager may stack the wait window under the dialog it belongs to once that dialog is
// clicked (it takes the clicks on the blocked main window): it comes back on top each time.
class KeepAbove : public QObject
{
public:
    KeepAbove(QWidget *owner, QWidget *window) : QObject(window), m_window(window)
    {
        owner->installEventFilter(this);
    }
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::WindowActivate)
            m_window->raise();
        return false;
    }

private:
    QWidget *m_window;
};

} // namespace

QDialog *MakeWaitWindow(QWidget *parent, const QString &jobName)
{
    if (!qobject_cast<QApplication *>(QCoreApplication::instance()))
        return nullptr;
    // Under a modal dialog (the one whose OK started the job) only its children take input.
    if (QWidget *modal = QApplication::activeModalWidget())
        parent = modal;
    auto *window = new QDialog(parent);
    window->setObjectName(QStringLiteral("jobWaitWindow"));
    window->setWindowTitle(QString::fromUtf8("Zorvex\u00ae 5.0 - Job running"));
    if (!jobName.isEmpty())
        window->setWindowTitle(window->windowTitle() + QStringLiteral(": ") + jobName);
    window->setModal(false);
    auto *layout = new QVBoxLayout(window);
    auto *label = new QLabel(QStringLiteral("PGP is running in its terminal window.\n"
                                            "The program carries on when the job has finished."),
                             window);
    label->setObjectName(QStringLiteral("jobWaitLabel"));
    auto *progress = new QLabel(window);
    progress->setObjectName(QStringLiteral("jobProgressLabel"));
    progress->hide();
    auto *terminal = new QPushButton(QStringLiteral("Show &Terminal"), window);
    terminal->setObjectName(QStringLiteral("showTerminalButton"));
    terminal->setAutoDefault(false);
    SetWaitTerminalWindow(window, 0);
    auto *stop = new QPushButton(QStringLiteral("&Stop Waiting"), window);
    stop->setObjectName(QStringLiteral("stopWaitingButton"));
    stop->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addWidget(terminal);
    buttons->addWidget(stop);
    layout->addWidget(label);
    layout->addWidget(progress);
    layout->addLayout(buttons);
    QObject::connect(stop, &QPushButton::clicked, window, &QDialog::reject);
    QObject::connect(terminal, &QPushButton::clicked, window, [terminal] {
        if (ActivateForeignWindow(terminal->property("terminalWindow").toULongLong()))
            return;
        terminal->setProperty("terminalGone", true);
        terminal->setEnabled(false);
        terminal->setToolTip(QStringLiteral("The terminal window of this job is no longer there."));
    });
    // The keyboard stays with the terminal, where PGP asks its questions.
    window->setAttribute(Qt::WA_ShowWithoutActivating);
    window->show();
    window->raise();
    if (parent)
        new KeepAbove(parent->window(), window);
    return window;
}

void SetWaitTerminalWindow(QDialog *window, quint64 windowId)
{
    auto *terminal = window->findChild<QPushButton *>(QStringLiteral("showTerminalButton"));
    if (!terminal || terminal->property("terminalGone").toBool() ||
        (windowId && terminal->isEnabled()))
        return;
    terminal->setProperty("terminalWindow", windowId);
    terminal->setEnabled(windowId != 0);
    terminal->setToolTip(
        windowId ? QStringLiteral("Brings the job's terminal to the front and gives it the "
                                  "keyboard.")
                 : QStringLiteral("The terminal has not told the program which window it is "
                                  "(xterm does; some terminals do not). Bring it to the front "
                                  "with the window manager, for example with Alt+Tab."));
}
