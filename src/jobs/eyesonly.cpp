#include "eyesonly.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFontDatabase>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QVBoxLayout>

#include <memory>

namespace {

struct Channel
{
    std::unique_ptr<QTemporaryDir> dir; // made 0700, so nobody else can reach the socket
    std::unique_ptr<QLocalServer> server;
    QByteArray received;
    bool lastHadText = false;
};

Channel &channel()
{
    static Channel c;
    return c;
}

void readFrom(QLocalSocket *socket)
{
    channel().received += socket->readAll();
}

void accept()
{
    Channel &c = channel();
    while (c.server && c.server->hasPendingConnections()) {
        QLocalSocket *socket = c.server->nextPendingConnection();
        QObject::connect(socket, &QLocalSocket::readyRead, socket, [socket] { readFrom(socket); });
        readFrom(socket);
    }
}

void close()
{
    Channel &c = channel();
    c.server.reset();
    c.dir.reset();
}

} // namespace

QString OpenEyesOnlyChannel()
{
    close();
    Channel &c = channel();
    c.received.clear();
    QString base = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (base.isEmpty() || !QFileInfo(base).isDir())
        base = QDir::tempPath();
    c.dir = std::make_unique<QTemporaryDir>(base + QStringLiteral("/zorvex-eyes-XXXXXX"));
    if (!c.dir->isValid()) {
        close();
        return QString();
    }
    c.server = std::make_unique<QLocalServer>();
    c.server->setSocketOptions(QLocalServer::UserAccessOption);
    const QString path = c.dir->filePath(QStringLiteral("s"));
    if (!c.server->listen(path)) {
        close();
        return QString();
    }
    QObject::connect(c.server.get(), &QLocalServer::newConnection, c.server.get(), accept);
    return path;
}

QByteArray TakeEyesOnlyRecords()
{
    Channel &c = channel();
    if (c.server) {
        // The script has ended; what zorvex-cmd sent may still wait in the socket.
        while (c.server->waitForNewConnection(0) || c.server->hasPendingConnections())
            accept();
        for (QLocalSocket *socket : c.server->findChildren<QLocalSocket *>()) {
            readFrom(socket);
            while (socket->state() == QLocalSocket::ConnectedState && socket->waitForReadyRead(50))
                readFrom(socket);
        }
    }
    close();
    QByteArray records;
    records.swap(c.received);
    c.lastHadText = !records.isEmpty();
    return records;
}

bool LastJobHadEyesOnlyText()
{
    return channel().lastHadText;
}

void ShowEyesOnlyWindow(QWidget *parent, const QString &text)
{
    // The dialog that started the job closes after it; the text stays with the main window.
    QWidget *owner = parent ? parent->window() : nullptr;
    while (owner && owner->parentWidget())
        owner = owner->parentWidget()->window();
    auto *window = new QDialog(owner);
    window->setObjectName(QStringLiteral("eyesOnlyWindow"));
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 - For Your Eyes Only"));
    auto *view = new QPlainTextEdit(window);
    view->setObjectName(QStringLiteral("eyesOnlyText"));
    view->setReadOnly(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setPlainText(text);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, window);
    QObject::connect(buttons, &QDialogButtonBox::rejected, window, &QDialog::close);
    auto *layout = new QVBoxLayout(window);
    layout->addWidget(view);
    layout->addWidget(buttons);
    window->resize(640, 420);
    window->show();
}
