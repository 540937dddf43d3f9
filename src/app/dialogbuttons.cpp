#include "dialogbuttons.h"

#include "platform/help.h"

#include <QDialog>
#include <QPushButton>

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
    return buttons;
}
