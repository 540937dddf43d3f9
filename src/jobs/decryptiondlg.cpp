#include "decryptiondlg.h"

#include "core/settings.h"
#include "jobs/decryptjob.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "widgets/dialogbuttons.h"
#include "widgets/dialogpicture.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

CDecryptionDlg::CDecryptionDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("decryptionDialog"));
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 - File Decryption Subsystem"));

    auto *inputGroup =
        new QGroupBox(QStringLiteral("Step #1 - Select a file for decryption"), this);
    inputGroup->setObjectName(QStringLiteral("inputGroup"));
    auto *browseButton = new QPushButton(QStringLiteral("Browse..."), inputGroup);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    m_inputEdit = new QLineEdit(inputGroup);
    m_inputEdit->setObjectName(QStringLiteral("inputEdit"));
    // Room for the picker's whole 256-character path buffer.
    m_inputEdit->setMaxLength(255);
    auto *inputRow = new QHBoxLayout(inputGroup);
    inputRow->addWidget(browseButton);
    inputRow->addWidget(m_inputEdit, 1);

    auto *outputGroup =
        new QGroupBox(QStringLiteral("Step #2 - Type in an optional output file name"), this);
    outputGroup->setObjectName(QStringLiteral("outputGroup"));
    m_outputEdit = new QLineEdit(outputGroup);
    m_outputEdit->setObjectName(QStringLiteral("outputEdit"));
    (new QVBoxLayout(outputGroup))->addWidget(m_outputEdit);

    auto *step3 =
        new QLabel(QStringLiteral("Step #3 - Select OK to decrypt, Cancel to Abort"), this);
    step3->setObjectName(QStringLiteral("step3Label"));

    const DialogButtons buttons = MakeDialogButtons(this, kHelpContext);
    buttons.cancel->setAutoDefault(false);
    buttons.help->setAutoDefault(false);

    auto *top = new QVBoxLayout(this);
    top->addWidget(inputGroup);
    top->addWidget(outputGroup);
    top->addWidget(step3);
    top->addLayout(DialogButtonRow(buttons, MakeProgramIconLabel(this), PictureSide::Left));

    // Most users type or paste the path; Browse is one Shift+Tab away.
    m_inputEdit->setFocus();

    connect(browseButton, &QPushButton::clicked, this, &CDecryptionDlg::browse);
    connect(buttons.ok, &QPushButton::clicked, this, &CDecryptionDlg::ok);
}

void CDecryptionDlg::browse()
{
    // The field follows the picker even when it is cancelled: an empty answer empties it.
    m_inputEdit->setText(FileDialog::getOpenFileName(
        this, QStringLiteral("Zorvex\u00ae5.0 - Get File Names"),
        QStringLiteral("All Files (*);;PGP Files (*.pgp);;ASCII Files (*.asc)")));
}

void CDecryptionDlg::ok()
{
    const QString input = m_inputEdit->text();
    const QString output = m_outputEdit->text();
    // A refused name keeps the dialog open with both fields as the user left them.
    const QString problem = DecryptJobProblem(input, output);
    if (!problem.isEmpty()) {
        MessageBox::stop(this, problem);
        return;
    }
    QPointer<CDecryptionDlg> alive(this);
    const JobOutcome outcome = ComposeDecryptJob(RuntimeOptions().SigIntact, input, output, this);
    // A second OK during this dialog's own job was refused by the runner. A job that failed
    // keeps both fields, so one can be corrected and OK pressed again.
    if (outcome == JobOutcome::Finished && alive)
        accept();
}
