#include "mypropertypages.h"

#include "keys/keyjob.h"
#include "keys/listnamesdlg.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLabel *fieldLabel(const QString &text, QLineEdit *buddy)
{
    auto *label = new QLabel(text);
    label->setBuddy(buddy);
    return label;
}

// A job that could not start changed no keyring, so there is nothing to refresh; the user
// has already been told why.
void refreshAfter(JobOutcome outcome, QWidget *parent)
{
    if (outcome == JobOutcome::Busy || outcome == JobOutcome::NotStarted)
        return;
    RefreshKeyNamesAfterJob(parent);
}

} // namespace

CKeyManagementPage::CKeyManagementPage(const QString &objectName, quint32 helpContext,
                                       QWidget *parent)
    : QWidget(parent), m_helpContext(helpContext)
{
    setObjectName(objectName);
}

QPushButton *CKeyManagementPage::addButtons(QBoxLayout *pageLayout, const QString &okText)
{
    auto *buttonRow = new QWidget(this);
    auto *row = new QHBoxLayout(buttonRow);
    row->setContentsMargins(0, 0, 0, 0);
    auto *ok = new QPushButton(okText, buttonRow);
    auto *cancel = new QPushButton(okText == QLatin1String("&OK") ? QStringLiteral("&Cancel")
                                                                  : QStringLiteral("Cancel"),
                                   buttonRow);
    auto *help = new QPushButton(QStringLiteral("&Help"), buttonRow);
    ok->setObjectName(okText == QLatin1String("&OK") ? QStringLiteral("okButton")
                                                     : QStringLiteral("generateButton"));
    cancel->setObjectName(QStringLiteral("cancelButton"));
    help->setObjectName(QStringLiteral("helpButton"));
    ok->setDefault(true);
    ok->setAutoDefault(true);
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    row->addWidget(help);
    connect(ok, &QPushButton::clicked, this, [this] { onOk(); });
    // Cancel only hides the window: every page keeps its text and choice for the next time.
    connect(cancel, &QPushButton::clicked, this, [this] { window()->hide(); });
    connect(help, &QPushButton::clicked, this, [this] { ShowHelpContext(m_helpContext, this); });
    pageLayout->addWidget(buttonRow);
    return ok;
}

QLineEdit *CKeyManagementPage::addField(const QString &objectName, int maxLength)
{
    auto *edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    edit->setMaxLength(maxLength);
    return edit;
}

QRadioButton *CKeyManagementPage::makeRadio(const QString &text, const QString &objectName)
{
    auto *radio = new QRadioButton(text, this);
    radio->setObjectName(objectName);
    return radio;
}

QGroupBox *CKeyManagementPage::choiceBox(const QString &title, QRadioButton *first,
                                         QRadioButton *second, Qt::Orientation orientation)
{
    auto *box = new QGroupBox(title, this);
    QBoxLayout *row = orientation == Qt::Horizontal ? static_cast<QBoxLayout *>(new QHBoxLayout)
                                                    : new QVBoxLayout;
    box->setLayout(row);
    row->addWidget(first);
    row->addWidget(second);
    return box;
}

void CKeyManagementPage::addFieldRow(QFormLayout *form, const QString &label, QLineEdit *edit)
{
    form->addRow(fieldLabel(label, edit), edit);
}

QButtonGroup *CKeyManagementPage::makeChoice(QRadioButton *first, QRadioButton *second)
{
    auto *group = new QButtonGroup(this);
    group->setExclusive(true);
    group->addButton(first);
    group->addButton(second);
    return group;
}

bool CKeyManagementPage::choiceMade(const QButtonGroup *choice)
{
    if (choice->checkedButton())
        return true;
    MessageBox::information(this, QStringLiteral("You must select an action above."));
    return false;
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage1::CMyPropertyPage1(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("rsaKeysPage"), 0x2007B, parent)
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Click here to generate a Key pair"), this));
    layout->addStretch();
    addButtons(layout, QStringLiteral("&Generate RSA crypto key pair"));
}

void CMyPropertyPage1::onOk()
{
    // Key generation is a conversation with PGP in the terminal; nothing of the page goes in.
    ComposeKeyJob(KeyAction::GenerateKey, QString(), QString(), QString(), QString(), this);
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage2::CMyPropertyPage2(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("addExtractPage"), 0x2007C, parent),
      m_addRadio(makeRadio(QStringLiteral("&Add a key"), QStringLiteral("addRadio"))),
      m_extractRadio(makeRadio(QStringLiteral("&Extract a key"), QStringLiteral("extractRadio"))),
      m_choice(makeChoice(m_addRadio, m_extractRadio)),
      m_keyFileEdit(addField(QStringLiteral("keyFileEdit"), 128)),
      m_nameEdit(addField(QStringLiteral("nameEdit"), 128)),
      m_outputFileEdit(addField(QStringLiteral("outputFileEdit"), 128)),
      m_keyringEdit(addField(QStringLiteral("keyringEdit"), 80))
{
    auto *choices = choiceBox(QStringLiteral("Select either Add or Extract a key."), m_addRadio,
                              m_extractRadio);

    auto *browse = new QPushButton(QStringLiteral("&Browse..."), this);
    browse->setObjectName(QStringLiteral("browseButton"));
    auto *keyFileRow = new QHBoxLayout;
    keyFileRow->addWidget(m_keyFileEdit);
    keyFileRow->addWidget(browse);

    auto *extractBox = new QGroupBox(
        QStringLiteral("Select a name, optional output file and optional keyring to extract"),
        this);
    auto *listNames = new QPushButton(QStringLiteral("&List Names..."), extractBox);
    listNames->setObjectName(QStringLiteral("listNamesButton"));
    // The List Names button stands where a label would; the box's words name the field.
    m_nameEdit->setAccessibleName(QStringLiteral("Select a name"));
    auto *extractForm = new QFormLayout(extractBox);
    extractForm->addRow(listNames, m_nameEdit);
    addFieldRow(extractForm, QStringLiteral("Optional filename."), m_outputFileEdit);
    addFieldRow(extractForm, QStringLiteral("Optional keyring."), m_keyringEdit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addWidget(
        fieldLabel(QStringLiteral("Select a filename containing a key to add."), m_keyFileEdit));
    layout->addLayout(keyFileRow);
    layout->addWidget(extractBox);
    addButtons(layout, QStringLiteral("&OK"));

    connect(m_addRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            chooseAdd();
    });
    connect(m_extractRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            chooseExtract();
    });
    connect(browse, &QPushButton::clicked, this, &CMyPropertyPage2::browse);
    connect(listNames, &QPushButton::clicked, this, &CMyPropertyPage2::listNames);
}

void CMyPropertyPage2::chooseAdd()
{
    m_keyFileEdit->setEnabled(true);
    m_nameEdit->setEnabled(false);
    m_outputFileEdit->setEnabled(false);
}

void CMyPropertyPage2::chooseExtract()
{
    m_keyFileEdit->setEnabled(false);
    m_nameEdit->setEnabled(true);
    m_outputFileEdit->setEnabled(true);
}

void CMyPropertyPage2::browse()
{
    // The answer goes in whatever it is: cancelling the dialog empties the field.
    m_keyFileEdit->setText(FileDialog::getOpenFileName(
        this, QStringLiteral("Zorvex\u00ae5.0 - Get Add Keyfile"),
        // Keys mostly come armoured (*.asc): the first choice shows both kinds.
        QStringLiteral("Key Files (*.asc *.pgp);;PGP Files (*.pgp);;ASCII Files (*.asc);;"
                       "All Files (*)")));
}

void CMyPropertyPage2::listNames()
{
    // Cancel in the picker leaves the shared names empty, and so the field.
    m_nameEdit->setText(CListNamesDlg::PickNames(this));
}

void CMyPropertyPage2::onOk()
{
    if (!choiceMade(m_choice))
        return;
    const KeyAction action = m_addRadio->isChecked() ? KeyAction::AddKey : KeyAction::ExtractKey;
    // Disabled fields still count: the composer decides which inputs the command uses.
    const QString file =
        action == KeyAction::AddKey ? m_keyFileEdit->text() : m_outputFileEdit->text();
    const JobOutcome outcome =
        ComposeKeyJob(action, m_nameEdit->text(), file, m_keyringEdit->text(), QString(), this);
    refreshAfter(outcome, this);
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage3::CMyPropertyPage3(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("signingPage"), 0x2007D, parent),
      m_signRadio(makeRadio(QStringLiteral("Sign a key"), QStringLiteral("signRadio"))),
      m_removeSigsRadio(makeRadio(QStringLiteral("Remove selected signatures"),
                                  QStringLiteral("removeSignaturesRadio"))),
      m_choice(makeChoice(m_signRadio, m_removeSigsRadio)),
      m_userIdEdit(addField(QStringLiteral("userIdEdit"), 80)),
      m_keyringEdit(addField(QStringLiteral("keyringEdit"), 128)),
      m_ownUserIdEdit(addField(QStringLiteral("ownUserIdEdit"), 80))
{
    auto *choices =
        choiceBox(QStringLiteral("Select whether to sign a key or remove selected signatures"),
                  m_signRadio, m_removeSigsRadio);

    auto *form = new QFormLayout;
    addFieldRow(form, QStringLiteral("Enter User ID"), m_userIdEdit);
    addFieldRow(form, QStringLiteral("Opt. keyring"), m_keyringEdit);
    addFieldRow(form, QStringLiteral("Opt your_userid"), m_ownUserIdEdit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addLayout(form);
    addButtons(layout, QStringLiteral("&OK"));

    connect(m_signRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (!checked)
            return;
        m_userIdEdit->setEnabled(true);
        m_keyringEdit->setEnabled(true);
        m_ownUserIdEdit->setEnabled(true);
    });
    connect(m_removeSigsRadio, &QRadioButton::toggled, this, [this](bool checked) {
        if (!checked)
            return;
        m_userIdEdit->setEnabled(true);
        m_keyringEdit->setEnabled(true);
        m_ownUserIdEdit->setEnabled(false);
    });
}

void CMyPropertyPage3::onOk()
{
    if (!choiceMade(m_choice))
        return;
    const KeyAction action =
        m_signRadio->isChecked() ? KeyAction::SignKey : KeyAction::RemoveSignatures;
    ComposeKeyJob(action, m_userIdEdit->text(), QString(), m_keyringEdit->text(),
                  m_ownUserIdEdit->text(), this);
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage4::CMyPropertyPage4(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("viewPage"), 0x2007E, parent),
      m_fingerprintsRadio(makeRadio(QStringLiteral("View key fingerprints"),
                                    QStringLiteral("viewFingerprintsRadio"))),
      m_contentsRadio(
          makeRadio(QStringLiteral("View keyring contents"), QStringLiteral("viewKeysRadio"))),
      m_choice(makeChoice(m_fingerprintsRadio, m_contentsRadio)),
      m_userIdEdit(addField(QStringLiteral("userIdEdit"), 80)),
      m_keyringEdit(addField(QStringLiteral("keyringEdit"), 80))
{
    auto *choices = choiceBox(QStringLiteral("Select keyring view option"), m_fingerprintsRadio,
                              m_contentsRadio, Qt::Vertical);

    auto *form = new QFormLayout;
    addFieldRow(form, QStringLiteral("User ID (opt)"), m_userIdEdit);
    addFieldRow(form, QStringLiteral("Keyring (opt)"), m_keyringEdit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addLayout(form);
    addButtons(layout, QStringLiteral("&OK"));
}

void CMyPropertyPage4::onOk()
{
    if (!choiceMade(m_choice))
        return;
    const KeyAction action =
        m_contentsRadio->isChecked() ? KeyAction::ViewKeys : KeyAction::ViewFingerprints;
    ComposeKeyJob(action, m_userIdEdit->text(), QString(), m_keyringEdit->text(), QString(), this);
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage5::CMyPropertyPage5(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("editKeysPage"), 0x2007F, parent),
      m_userIdEdit(addField(QStringLiteral("userIdEdit"), 80)),
      m_keyringEdit(addField(QStringLiteral("keyringEdit"), 80))
{
    auto *form = new QFormLayout;
    addFieldRow(form, QStringLiteral("User ID (opt)"), m_userIdEdit);
    addFieldRow(form, QStringLiteral("Keyring (opt)"), m_keyringEdit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(QStringLiteral("Select optional user ID and keyring"), this));
    layout->addLayout(form);
    layout->addStretch();
    addButtons(layout, QStringLiteral("&OK"));
}

void CMyPropertyPage5::onOk()
{
    const JobOutcome outcome = ComposeKeyJob(KeyAction::EditKey, m_userIdEdit->text(), QString(),
                                             m_keyringEdit->text(), QString(), this);
    refreshAfter(outcome, this);
}

// ---------------------------------------------------------------------------------------

CMyPropertyPage6::CMyPropertyPage6(QWidget *parent)
    : CKeyManagementPage(QStringLiteral("removePage"), 0x20084, parent),
      m_removeKeyRadio(
          makeRadio(QStringLiteral("&Remove a Key"), QStringLiteral("removeKeyRadio"))),
      m_deleteOwnRadio(
          makeRadio(QStringLiteral("&Delete your own key"), QStringLiteral("deleteOwnKeyRadio"))),
      m_choice(makeChoice(m_removeKeyRadio, m_deleteOwnRadio)),
      m_userIdEdit(addField(QStringLiteral("userIdEdit"), 80)),
      m_keyringEdit(addField(QStringLiteral("keyringEdit"), 80))
{
    auto *choices = choiceBox(QStringLiteral("Select either Remove key or Delete own key"),
                              m_removeKeyRadio, m_deleteOwnRadio);

    auto *form = new QFormLayout;
    addFieldRow(form, QStringLiteral("User ID"), m_userIdEdit);
    addFieldRow(form, QStringLiteral("Keyring (opt)"), m_keyringEdit);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(choices);
    layout->addLayout(form);
    addButtons(layout, QStringLiteral("&OK"));
}

void CMyPropertyPage6::onOk()
{
    if (!choiceMade(m_choice))
        return;
    const KeyAction action =
        m_removeKeyRadio->isChecked() ? KeyAction::RemoveKey : KeyAction::DeleteOwnKey;
    // The delete command takes its key from ownUserId; this page has only the one User ID
    // field, so it serves both, or "-kd" would go to PGP without naming any key.
    ComposeKeyJob(action, m_userIdEdit->text(), QString(), m_keyringEdit->text(),
                  m_userIdEdit->text(), this);
}
