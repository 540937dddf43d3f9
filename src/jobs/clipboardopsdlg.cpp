#include "clipboardopsdlg.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "widgets/dialogbuttons.h"
#include "widgets/keynamelistbox.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QCheckBox *flagBox(const QString &text, const QString &name, int RuntimeOptionsRecord::*flag,
                   QWidget *parent)
{
    auto *box = new QCheckBox(text, parent);
    box->setObjectName(name);
    QObject::connect(box, &QCheckBox::toggled, parent,
                     [flag](bool checked) { RuntimeOptions().*flag = checked ? 1 : 0; });
    return box;
}
} // namespace

CClipboardOpsDlg::CClipboardOpsDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Zorvex\u00ae 5.0 - Clipboard Subsystem"));

    // Each run starts without signing or special output; SigIntact is left as the settings
    // have it, so a plain decryption keeps the user's choice although its box shows unchecked.
    RuntimeOptionsRecord &options = RuntimeOptions();
    options.SignIt = 0;
    options.ClearsignOnly = 0;
    options.DetachSig = 0;
    options.EyesOnly = 0;

    auto *layout = new QVBoxLayout(this);

    layout->addWidget(new QLabel(
        QStringLiteral("Step #1 - Select whether you want to encrypyt or decrypt"), this));
    m_encrypt = new QRadioButton(QStringLiteral("&Encrypt Active Window"), this);
    m_encrypt->setObjectName(QStringLiteral("encryptButton"));
    m_decrypt = new QRadioButton(QStringLiteral("&Decrypt Active Window"), this);
    m_decrypt->setObjectName(QStringLiteral("decryptButton"));
    auto *modeRow = new QHBoxLayout;
    modeRow->addWidget(m_encrypt);
    modeRow->addWidget(m_decrypt);
    layout->addLayout(modeRow);

    layout->addWidget(
        new QLabel(QStringLiteral("Step #2 - Select the available options you want to use"), this));
    m_signed = flagBox(QStringLiteral("Signed Encryption if Checked"), QStringLiteral("signedBox"),
                       &RuntimeOptionsRecord::SignIt, this);
    m_eyesOnly = flagBox(QStringLiteral("Eyes Only"), QStringLiteral("eyesOnlyBox"),
                         &RuntimeOptionsRecord::EyesOnly, this);
    m_sigIntact = flagBox(QStringLiteral("Decrypt with sig. intact"),
                          QStringLiteral("sigIntactBox"), &RuntimeOptionsRecord::SigIntact, this);
    m_clearsign = flagBox(QStringLiteral("Clearsign only"), QStringLiteral("clearsignBox"),
                          &RuntimeOptionsRecord::ClearsignOnly, this);
    m_detachSig = flagBox(QStringLiteral("Detach sig. certificate"), QStringLiteral("detachSigBox"),
                          &RuntimeOptionsRecord::DetachSig, this);
    auto *boxes = new QGridLayout;
    boxes->addWidget(m_signed, 0, 0);
    boxes->addWidget(m_eyesOnly, 0, 1);
    boxes->addWidget(m_sigIntact, 1, 0);
    boxes->addWidget(m_clearsign, 1, 1);
    boxes->addWidget(m_detachSig, 2, 0);
    layout->addLayout(boxes);

    auto *step3 = new QLabel(QStringLiteral("Step #3 - Select the names you want to use"), this);
    layout->addWidget(step3);
    m_namesEdit = new QLineEdit(this);
    m_namesEdit->setObjectName(QStringLiteral("namesEdit"));
    // The step's words name the field for screen readers.
    step3->setBuddy(m_namesEdit);
    layout->addWidget(m_namesEdit);
    m_namesList = new QListWidget(this);
    m_namesList->setObjectName(QStringLiteral("namesList"));
    m_namesList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_namesList->setAccessibleName(QStringLiteral("Names"));
    FillKeyNameList(m_namesList);
    auto *namesLabel = new QLabel(QStringLiteral("&Names:"), this);
    namesLabel->setBuddy(m_namesList);
    layout->addWidget(namesLabel);
    layout->addWidget(m_namesList);

    const DialogButtons buttons = MakeDialogButtons(this, kHelpContext);
    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logoPicture"));
    layout->addLayout(DialogButtonRow(buttons, logo, PictureSide::Left));

    connect(buttons.ok, &QPushButton::clicked, this, &CClipboardOpsDlg::accept);
    connect(m_encrypt, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            modeChosen(1);
    });
    connect(m_decrypt, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            modeChosen(0);
    });
    ConnectKeyNamePicks(m_namesList, [this](const QString &entry) { nameSelected(entry); });
}

void CClipboardOpsDlg::modeChosen(int mode)
{
    State().ClipboardMode = mode;
    const bool encrypt = mode == 1;
    m_sigIntact->setEnabled(!encrypt);
    for (QWidget *w : {static_cast<QWidget *>(m_eyesOnly), static_cast<QWidget *>(m_signed),
                       static_cast<QWidget *>(m_detachSig), static_cast<QWidget *>(m_clearsign),
                       static_cast<QWidget *>(m_namesEdit), static_cast<QWidget *>(m_namesList)})
        w->setEnabled(encrypt);
}

void CClipboardOpsDlg::nameSelected(const QString &entry)
{
    m_names += KeyIdSelectionText(entry);
    m_namesEdit->setText(m_names);
}

void CClipboardOpsDlg::accept()
{
    // The clipboard encryption never names a sender, so the one typed in an encryption dialog
    // earlier in the run is dropped here.
    State().RecipientNames.clear();
    RuntimeOptions().MyName.clear();
    State().RecipientNames = m_namesEdit->text();
    if (!m_job || m_job())
        QDialog::accept();
}
