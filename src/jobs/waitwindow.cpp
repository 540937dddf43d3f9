#include "waitwindow.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

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
    auto *stop = new QPushButton(QStringLiteral("Stop Waiting"), window);
    stop->setObjectName(QStringLiteral("stopWaitingButton"));
    stop->setAutoDefault(false);
    layout->addWidget(label);
    layout->addWidget(progress);
    layout->addWidget(stop);
    QObject::connect(stop, &QPushButton::clicked, window, &QDialog::reject);
    window->show();
    return window;
}
