#include "directorycryptdlg.h"

#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "platform/filedialog.h"
#include "widgets/dialogbuttons.h"

#include <QDir>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CDirectoryCryptDlg::CDirectoryCryptDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QString::fromUtf8("Zorvex\u00ae 5.0 - Directory En/Decrypt"));

    // A directory run has no sender and no recipients; later encryptions of this run start
    // without the ones chosen before.
    RuntimeOptions().MyName.clear();
    State().RecipientNames.clear();

    auto *layout = new QVBoxLayout(this);

    auto *step1 = new QGroupBox(
        QStringLiteral("Step #1 - Select the directory you wish to encrypt or decrypt"), this);
    m_directory = new QLineEdit(step1);
    m_directory->setObjectName(QStringLiteral("directoryEdit"));
    m_directory->setMaxLength(kDirectoryLimit);
    auto *browse = new QPushButton(QStringLiteral("Browse..."), step1);
    browse->setObjectName(QStringLiteral("browseDirectoryButton"));
    browse->setAutoDefault(false);
    auto *step1Row = new QHBoxLayout(step1);
    step1Row->addWidget(m_directory, 1);
    step1Row->addWidget(browse);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString picked = FileDialog::getExistingDirectory(
            this, QStringLiteral("Zorvex\u00ae5.0 - Select Directory"), m_directory->text());
        // Unlike a file pick, a cancelled directory pick keeps what was typed.
        if (!picked.isEmpty())
            m_directory->setText(QDir::toNativeSeparators(picked));
    });
    layout->addWidget(step1);

    auto *step2 = new QGroupBox(
        QStringLiteral("Step #2 - Select whether you wish to encrypt or decrypt"), this);
    m_encrypt = new QRadioButton(QStringLiteral("&Encrypt Directory"), step2);
    m_encrypt->setObjectName(QStringLiteral("encryptButton"));
    m_decrypt = new QRadioButton(QStringLiteral("&Decrypt Directory"), step2);
    m_decrypt->setObjectName(QStringLiteral("decryptButton"));
    auto *modes = new QHBoxLayout(step2);
    modes->addWidget(m_encrypt);
    modes->addWidget(m_decrypt);
    layout->addWidget(step2);

    auto *step3 = new QGroupBox(QStringLiteral("Step #3 - Enter the passphrase to be used"), this);
    m_passPhrase = new QLineEdit(step3);
    m_passPhrase->setObjectName(QStringLiteral("passPhraseEdit"));
    m_confirmation = new QLineEdit(step3);
    m_confirmation->setObjectName(QStringLiteral("confirmationEdit"));
    for (QLineEdit *edit : {m_passPhrase, m_confirmation}) {
        edit->setEchoMode(QLineEdit::Password);
        edit->setMaxLength(kPassPhraseLimit);
    }
    auto *phrases = new QFormLayout(step3);
    phrases->addRow(QStringLiteral("Enter Passphrase:"), m_passPhrase);
    phrases->addRow(QStringLiteral("Enter again to confirm:"), m_confirmation);
    layout->addWidget(step3);

    layout->addWidget(
        new QLabel(QStringLiteral("Step #4 - Click OK to begin, Cancel to Abort"), this));

    const DialogButtons buttons = MakeDialogButtons(this, kHelpContext);
    m_ok = buttons.ok;
    auto *logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logoPicture"));
    layout->addLayout(DialogButtonRow(buttons, logo, PictureSide::Left));

    connect(m_ok, &QPushButton::clicked, this, &CDirectoryCryptDlg::accept);
    connect(m_encrypt, &QRadioButton::toggled, this, [](bool checked) {
        if (checked)
            State().DirectoryMode = 1;
    });
    connect(m_decrypt, &QRadioButton::toggled, this, [](bool checked) {
        if (checked)
            State().DirectoryMode = 0;
    });
}

QString CDirectoryCryptDlg::directory() const
{
    return m_directory->text();
}

QString CDirectoryCryptDlg::passPhrase() const
{
    return m_passPhrase->text();
}

QString CDirectoryCryptDlg::confirmation() const
{
    return m_confirmation->text();
}

void CDirectoryCryptDlg::accept()
{
    // The dialog keeps reacting while the batch runs; a second OK (or Enter) would start a
    // second run on the same batch and marker files.
    if (m_running)
        return;
    m_running = true;
    m_ok->setEnabled(false);
    const JobOutcome outcome =
        State().DirectoryMode == 0 ? RunBulkDecryption(this) : RunBulkEncryption(this);
    m_running = false;
    m_ok->setEnabled(true);
    // After a refusal or a failure the user corrects one field and tries again.
    if (outcome == JobOutcome::Finished)
        QDialog::accept();
}
