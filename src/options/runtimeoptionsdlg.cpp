#include "runtimeoptionsdlg.h"

#include "core/settings.h"
#include "platform/messagebox.h"
#include "widgets/dialogbuttons.h"
#include "widgets/dialogpicture.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

CRuntimeOptionsDlg::CRuntimeOptionsDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 - Runtime Options"));
    RuntimeOptionsRecord &o = RuntimeOptions();

    // The flags are read in this order when the dialog opens; the grid places them by column.
    QCheckBox *armor = addBox("armorCheck", tr("&ASCII armor files (-a)"), &o.Armor);
    QCheckBox *wipe = addBox("wipeCheck", tr("&Wipe plaintext files (-w)"), &o.Wipe);
    QCheckBox *verbose = addBox("verboseCheck", tr("Set &Verbose mode"), &o.Verbose);
    QCheckBox *text = addBox("textCheck", tr("Set &Text mode (-t)"), &o.Text);
    QCheckBox *showPass = addBox("showPassCheck", tr("&View passphrase"), &o.ShowPass);
    QCheckBox *sigIntact =
        addBox("sigIntactCheck", tr("Keep signature &intact (-d)"), &o.SigIntact);
    QCheckBox *recover =
        addBox("recoverOrigCheck", tr("&Get original filename (-p)"), &o.RecoverOrig);
    QCheckBox *eyesOnly = addBox("eyesOnlyCheck", tr("&Eyes only mode (-m)"), &o.EyesOnly);
    QCheckBox *detach =
        addBox("detachSigCheck", tr("&Detach signature certificate (-b)"), &o.DetachSig);
    QCheckBox *keepBinary = addBox("keepBinaryCheck", tr("&Keep binary"), &o.KeepBinary);

    auto *grid = new QGridLayout;
    const QList<QCheckBox *> left{armor, verbose, text, recover, wipe};
    const QList<QCheckBox *> right{keepBinary, detach, sigIntact, eyesOnly, showPass};
    for (int row = 0; row < 5; ++row) {
        grid->addWidget(left[row], row, 0);
        grid->addWidget(right[row], row, 1);
    }

    const DialogButtons buttons = MakeDialogButtons(this, 0x200A5);
    const auto [ok, cancel, help] = buttons;

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(grid);
    layout->addLayout(DialogButtonRow(buttons, MakeDialogPicture(this), PictureSide::Right));

    QWidget *order[] = {ok,   cancel,     help,   armor,     verbose,  recover, text,
                        wipe, keepBinary, detach, sigIntact, eyesOnly, showPass};
    for (size_t i = 1; i < std::size(order); ++i)
        setTabOrder(order[i - 1], order[i]);

    connect(ok, &QPushButton::clicked, this, &CRuntimeOptionsDlg::OnOK);
}

QCheckBox *CRuntimeOptionsDlg::addBox(const char *name, const QString &label, int *flag)
{
    auto *box = new QCheckBox(label, this);
    box->setObjectName(QLatin1String(name));
    box->setChecked(*flag != 0);
    // Only a change by the user replaces the stored value: a 7 from the file must survive an OK
    // with Yes unless the user touched that very box. The box is set above, before this
    // connection, so toggled means the user (by mouse, keyboard or assistive technology).
    connect(box, &QCheckBox::toggled, this, [flag](bool checked) { *flag = checked ? 1 : 0; });
    return box;
}

void CRuntimeOptionsDlg::OnOK()
{
    const auto answer = MessageBox::show(this, MessageBox::Icon::Information,
                                         tr("Would you like these to be the defaults?"),
                                         QMessageBox::Yes | QMessageBox::No);
    if (answer == QMessageBox::Yes && !SaveOptionFlags())
        MessageBox::stop(this, UnstoredSettingsText(tr("The defaults")));
    accept();
}
