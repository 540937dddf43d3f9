#include "aboutdlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>

namespace {
QLabel *picture(const QString &image, const QString &name, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setObjectName(name);
    label->setPixmap(QPixmap(QStringLiteral(":/toolbar/%1.png").arg(image)).scaled(34, 32));
    return label;
}
} // namespace

CAboutDlg::CAboutDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("aboutDialog"));
    setWindowTitle(tr("About Zorvex 5"));

    auto *text = new QLabel(this);
    text->setObjectName(QStringLiteral("aboutText"));
    text->setAlignment(Qt::AlignCenter);
    text->setText(QStringLiteral("\nZorvex Version 5.0 Win 95/NT Shell for PGP\n"
                                 "A graphical shell for a PGP 2.6 style command line.\n"
                                 "It keeps no secrets of its own: every operation runs\n"
                                 "the command line engine in a terminal window.\n"
                                 "Linux edition built with Qt %1.")
                      .arg(QString::fromLatin1(qVersion())));

    auto *ok = new QPushButton(tr("&OK"), this);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setDefault(true);
    connect(ok, &QPushButton::clicked, this, &QDialog::accept);

    auto *layout = new QGridLayout(this);
    layout->addWidget(picture(QStringLiteral("keys"), QStringLiteral("picture1"), this), 0, 0);
    layout->addWidget(picture(QStringLiteral("encrypt"), QStringLiteral("picture2"), this), 0, 2);
    layout->addWidget(text, 0, 1, 2, 1);
    layout->addWidget(picture(QStringLiteral("decrypt"), QStringLiteral("picture3"), this), 1, 0);
    layout->addWidget(picture(QStringLiteral("decrypt"), QStringLiteral("picture4"), this), 1, 2);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addStretch();
    layout->addLayout(buttons, 2, 0, 1, 3);
}
