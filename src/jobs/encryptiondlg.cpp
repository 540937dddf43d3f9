#include "encryptiondlg.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "jobs/encryptjob.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "platform/settingsdir.h"
#include "widgets/dialogbuttons.h"
#include "widgets/dialogpicture.h"
#include "widgets/keynamelistbox.h"
#include "widgets/mnemonics.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QGroupBox *group(const QString &title, const char *name, QWidget *parent)
{
    auto *box = new QGroupBox(title, parent);
    box->setObjectName(QLatin1String(name));
    return box;
}

} // namespace

CEncryptionDlg::CEncryptionDlg(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("encryptionDialog"));
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 Encryption Subsystem"));

    auto *fileGroup = group(QStringLiteral("Get Filename"), "fileGroup", this);
    auto *browseButton = new QPushButton(QStringLiteral("Browse..."), fileGroup);
    browseButton->setObjectName(QStringLiteral("browseButton"));
    browseButton->setAutoDefault(false);
    m_fileEdit = new QLineEdit(fileGroup);
    m_fileEdit->setObjectName(QStringLiteral("fileEdit"));
    m_fileEdit->setMaxLength(255);
    // Most users type or paste the path; Browse is one Shift+Tab away.
    m_fileEdit->setFocus();
    auto *fileRow = new QHBoxLayout(fileGroup);
    fileRow->addWidget(browseButton);
    fileRow->addWidget(m_fileEdit, 1);

    auto *styleGroup = group(QStringLiteral("Select Encryption Style"), "styleGroup", this);
    auto *styleLayout = new QVBoxLayout(styleGroup);
    const struct
    {
        EncryptionStyle style;
        const char *name;
        QString text;
    } styles[] = {
        {EncryptionStyle::Signed, "styleSignedButton", QStringLiteral("&Signed")},
        {EncryptionStyle::Unsigned, "styleUnsignedButton", QStringLiteral("&Unsigned")},
        {EncryptionStyle::Idea, "styleIdeaButton", QStringLiteral("&Idea\u00a9")},
        {EncryptionStyle::Clearsign, "styleClearsignButton", QStringLiteral("&Clearsign")},
        {EncryptionStyle::Armor, "styleArmorButton", QStringLiteral("&ASCII Armor")},
        {EncryptionStyle::DetachSig, "styleDetachButton", QStringLiteral("Detach Sig (-sb)")},
    };
    for (const auto &s : styles) {
        // Radio buttons in one group box are mutually exclusive and start unchecked.
        auto *button = new QRadioButton(s.text, styleGroup);
        button->setObjectName(QLatin1String(s.name));
        styleLayout->addWidget(button);
        const EncryptionStyle style = s.style;
        // toggled, not clicked: a choice made by keyboard or by assistive technology counts too.
        connect(button, &QRadioButton::toggled, this, [this, style, button](bool checked) {
            if (checked)
                chooseStyle(style, button);
        });
    }

    auto *recipientsGroup =
        group(QStringLiteral("Select Recipient names"), "recipientsGroup", this);
    m_recipientsEdit = new QLineEdit(recipientsGroup);
    m_recipientsEdit->setObjectName(QStringLiteral("recipientsEdit"));
    m_keyList = new QListWidget(recipientsGroup);
    m_keyList->setObjectName(QStringLiteral("keyList"));
    m_keyList->setSelectionMode(QAbstractItemView::SingleSelection);
    m_keyList->setSortingEnabled(false);
    auto *keysLabel = new QLabel(QStringLiteral("&Keys:"), recipientsGroup);
    keysLabel->setBuddy(m_keyList);
    auto *recipientsLayout = new QVBoxLayout(recipientsGroup);
    recipientsLayout->addWidget(m_recipientsEdit);
    recipientsLayout->addWidget(keysLabel);
    recipientsLayout->addWidget(m_keyList);
    // The group's mnemonics go to the fields, not to the first control of each group.
    SetGroupField(fileGroup, m_fileEdit);
    SetGroupField(recipientsGroup, m_recipientsEdit);

    auto *senderGroup = group(QStringLiteral("Select Optional Sender ID"), "senderGroup", this);
    m_senderEdit = new QLineEdit(senderGroup);
    m_senderEdit->setObjectName(QStringLiteral("senderEdit"));
    m_senderEdit->setMaxLength(128);
    (new QVBoxLayout(senderGroup))->addWidget(m_senderEdit);

    auto *outputGroup =
        group(QStringLiteral("Select Optional Output Filename"), "outputGroup", this);
    m_outputEdit = new QLineEdit(outputGroup);
    m_outputEdit->setObjectName(QStringLiteral("outputEdit"));
    m_outputEdit->setMaxLength(128);
    (new QVBoxLayout(outputGroup))->addWidget(m_outputEdit);

    const DialogButtons buttons = MakeDialogButtons(this, kHelpContext);
    m_okButton = buttons.ok;
    buttons.cancel->setAutoDefault(false);
    buttons.help->setAutoDefault(false);

    auto *left = new QVBoxLayout;
    left->addWidget(fileGroup);
    left->addWidget(styleGroup);
    left->addWidget(senderGroup);
    left->addWidget(outputGroup);
    auto *right = new QVBoxLayout;
    right->addWidget(recipientsGroup, 1);
    right->addLayout(DialogButtonRow(buttons, MakeProgramIconLabel(this), PictureSide::Left));
    auto *top = new QHBoxLayout(this);
    top->addLayout(left);
    top->addLayout(right, 1);

    connect(browseButton, &QPushButton::clicked, this, &CEncryptionDlg::browse);
    ConnectKeyNamePicks(m_keyList, [this](const QString &entry) { keySelectionChanged(entry); });
    connect(m_okButton, &QPushButton::clicked, this, &CEncryptionDlg::ok);

    // This dialog names the settings file by its full Windows path; it maps to the same file.
    m_keyList->addItems(CachedKeyNames(QString::fromLatin1(kSettingsFullPath)));
    FitKeyNameList(m_keyList);
    const RuntimeOptionsRecord &options = RuntimeOptions();
    if (!options.MyName.isEmpty())
        m_senderEdit->setText(options.MyName);
    m_snapshot = EncryptionStyleSnapshot::take(options);
}

void CEncryptionDlg::chooseStyle(EncryptionStyle style, QAbstractButton *button)
{
    const EncryptionFieldsEnabled enabled =
        ApplyEncryptionStyle(style, button->isChecked(), RuntimeOptions());
    // Disabled fields keep their text; OK still reads it.
    m_recipientsEdit->setEnabled(enabled.recipients);
    m_keyList->setEnabled(enabled.nameList);
    m_senderEdit->setEnabled(enabled.sender);
    m_outputEdit->setEnabled(enabled.output);
}

void CEncryptionDlg::keySelectionChanged(const QString &entry)
{
    m_selectedEntry = entry;
    // Whatever was typed into the recipients edit gives way to the accumulated key IDs.
    m_recipientText += KeyIdSelectionText(m_selectedEntry);
    m_recipientsEdit->setText(m_recipientText);
}

void CEncryptionDlg::setRecipients(const QString &keyIds)
{
    m_recipientText = keyIds;
    m_recipientsEdit->setText(m_recipientText);
}

void CEncryptionDlg::browse()
{
    // The field follows the dialog even when it is cancelled: an empty answer empties it.
    m_fileEdit->setText(
        FileDialog::getOpenFileName(this, QStringLiteral("Zorvex\u00ae5.0 - Get File Names"),
                                    QStringLiteral("All Files (*);;Text Files (*.txt *.TXT)")));
}

void CEncryptionDlg::ok()
{
    const QString file = m_fileEdit->text();
    const QString output = m_outputEdit->text();
    const QString recipients = m_recipientsEdit->text();
    const QString sender = m_senderEdit->text();

    // A refused name keeps the dialog open with everything as the user left it.
    const QString problem = EncryptJobProblem(file, output, recipients, sender, RuntimeOptions());
    if (!problem.isEmpty()) {
        MessageBox::stop(this, problem);
        return;
    }

    // Kept for a refused second OK, which must not change what the first one handed over.
    const QString previousRecipients = State().RecipientNames;
    const QString previousName = RuntimeOptions().MyName;
    State().RecipientNames = recipients;
    RuntimeOptionsRecord &options = RuntimeOptions();
    options.MyName = sender;

    // Copied out: the dialog may be gone by the time the job has ended.
    const EncryptionStyleSnapshot snapshot = m_snapshot;
    QPointer<CEncryptionDlg> alive(this);
    const JobOutcome outcome =
        ComposeEncryptJob(file, output, options.SignIt, options.Wipe, options.Armor, options.Text,
                          options.IDEA, State().RecipientNames, options.MyName, this);
    // A second OK while this dialog's first job still runs: the runner refused it and said
    // so. The first OK restores the flags and closes the dialog when its job went through; after
    // a failure every field stays as the user left it, for another try.
    if (outcome == JobOutcome::Busy) {
        State().RecipientNames = previousRecipients;
        RuntimeOptions().MyName = previousName;
        return;
    }
    if (outcome == JobOutcome::Finished) {
        snapshot.restore(RuntimeOptions());
        if (alive)
            accept();
    }
}
