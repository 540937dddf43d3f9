#include "dialogbuttons.h"

#include "platform/help.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QPushButton>
#include <QShortcut>

DialogButtons MakeDialogButtons(QDialog *dialog, quint32 helpContext)
{
    DialogButtons buttons{new QPushButton(QStringLiteral("&OK"), dialog),
                          new QPushButton(QStringLiteral("&Cancel"), dialog),
                          new QPushButton(QStringLiteral("&Help"), dialog)};
    buttons.ok->setObjectName(QStringLiteral("okButton"));
    buttons.ok->setDefault(true);
    buttons.cancel->setObjectName(QStringLiteral("cancelButton"));
    buttons.help->setObjectName(QStringLiteral("helpButton"));
    QObject::connect(buttons.cancel, &QPushButton::clicked, dialog, &QDialog::reject);
    QObject::connect(buttons.help, &QPushButton::clicked, dialog,
                     [dialog, helpContext] { ShowHelpContext(helpContext, dialog); });
    // F1 anywhere in the dialog is the Help button, as it is in the main window.
    auto *f1 = new QShortcut(QKeySequence(Qt::Key_F1), dialog);
    f1->setObjectName(QStringLiteral("helpShortcut"));
    QObject::connect(f1, &QShortcut::activated, dialog,
                     [dialog, helpContext] { ShowHelpContext(helpContext, dialog); });
    return buttons;
}

QHBoxLayout *DialogButtonRow(const DialogButtons &buttons, QWidget *picture, PictureSide side)
{
    auto *row = new QHBoxLayout;
    if (side == PictureSide::Left) {
        row->addWidget(picture);
        row->addStretch();
    }
    row->addWidget(buttons.ok);
    row->addWidget(buttons.cancel);
    row->addWidget(buttons.help);
    if (side == PictureSide::Right) {
        row->addStretch();
        row->addWidget(picture);
    }
    return row;
}
