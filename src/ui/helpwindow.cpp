#include "helpwindow.h"

#include <QFile>
#include <QHBoxLayout>
#include <QPointer>
#include <QPushButton>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace {
QPointer<CHelpWindow> &theWindow()
{
    static QPointer<CHelpWindow> w;
    return w;
}
} // namespace

QString HelpPagePath(quint32 context)
{
    if (context) {
        const QString page = QStringLiteral(":/help/%1.html").arg(context, 0, 16);
        if (QFile::exists(page))
            return page;
    }
    return QStringLiteral(":/help/index.html");
}

CHelpWindow::CHelpWindow(QWidget *parent)
    : QWidget(parent, Qt::Window), m_browser(new QTextBrowser(this))
{
    setObjectName(QStringLiteral("helpWindow"));
    setWindowTitle(tr("Zorvex 5 Help"));
    setAttribute(Qt::WA_DeleteOnClose);
    m_browser->setObjectName(QStringLiteral("helpBrowser"));
    m_browser->setOpenExternalLinks(true);

    auto *contents = new QPushButton(tr("&Contents"), this);
    contents->setObjectName(QStringLiteral("helpContentsButton"));
    auto *back = new QPushButton(tr("&Back"), this);
    back->setObjectName(QStringLiteral("helpBackButton"));
    auto *forward = new QPushButton(tr("&Forward"), this);
    forward->setObjectName(QStringLiteral("helpForwardButton"));
    back->setEnabled(false);
    forward->setEnabled(false);
    connect(contents, &QPushButton::clicked, this,
            [this] { m_browser->setSource(QUrl(QStringLiteral("qrc:/help/index.html"))); });
    connect(back, &QPushButton::clicked, m_browser, &QTextBrowser::backward);
    connect(forward, &QPushButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_browser, &QTextBrowser::backwardAvailable, back, &QPushButton::setEnabled);
    connect(m_browser, &QTextBrowser::forwardAvailable, forward, &QPushButton::setEnabled);

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(contents);
    buttons->addWidget(back);
    buttons->addWidget(forward);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);
    resize(560, 480);
}

CHelpWindow *CHelpWindow::instance()
{
    return theWindow();
}

CHelpWindow *CHelpWindow::ShowContext(quint32 context, QWidget *parent)
{
    QPointer<CHelpWindow> &w = theWindow();
    // Owned by the asking window (the main window, or a dialog whose Help button was pressed),
    // so that a modal dialog does not block its own help, and the window goes with its owner.
    QWidget *owner = parent ? parent->window() : nullptr;
    if (!w) {
        w = new CHelpWindow(owner);
    } else if (w->parentWidget() != owner) {
        w->setParent(owner, Qt::Window);
    }
    w->m_browser->setSource(QUrl(QStringLiteral("qrc") + HelpPagePath(context)));
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}
