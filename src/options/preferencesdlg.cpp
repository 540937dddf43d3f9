#include "preferencesdlg.h"

#include "core/settings.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "widgets/dialogbuttons.h"
#include "widgets/dialogpicture.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {
QLineEdit *makeField(QWidget *parent, const char *name, int limit)
{
    auto *field = new QLineEdit(parent);
    field->setObjectName(QLatin1String(name));
    field->setMaxLength(limit);
    return field;
}

QPushButton *makeButton(QWidget *parent, const QString &text, const char *name)
{
    auto *button = new QPushButton(text, parent);
    button->setObjectName(QLatin1String(name));
    return button;
}
} // namespace

QString CPreferencesDlg::executableFilter()
{
    return QStringLiteral("Executable Files (*)");
}

CPreferencesDlg::CPreferencesDlg(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Zorvex\u00ae 5.0 - Preferences"));

    auto *engineGroup = new QGroupBox(tr("Select PGP Engine Type"), this);
    auto *dos = new QRadioButton(tr("PGP for DOS"), engineGroup);
    dos->setObjectName(QStringLiteral("pgpDosRadio"));
    auto *dll = new QRadioButton(tr("PGP for Windows (DLL)"), engineGroup);
    dll->setObjectName(QStringLiteral("pgpDllRadio"));
    dll->setEnabled(false);
    auto *engineLayout = new QVBoxLayout(engineGroup);
    engineLayout->addWidget(dos);
    engineLayout->addWidget(dll);

    auto *userGroup = new QGroupBox(tr("Set the default user application to launch here"), this);
    auto *userBrowse = makeButton(userGroup, tr("Browse..."), "userAppBrowseButton");
    m_userApp = makeField(userGroup, "userAppEdit", 128);
    m_userAppDir = makeField(userGroup, "userAppDirEdit", 128);
    auto *dirLabel = new QLabel(tr("Start in directory:"), userGroup);
    dirLabel->setBuddy(m_userAppDir);
    auto *userLayout = new QGridLayout(userGroup);
    userLayout->addWidget(userBrowse, 0, 0);
    userLayout->addWidget(m_userApp, 0, 1);
    userLayout->addWidget(dirLabel, 1, 0);
    userLayout->addWidget(m_userAppDir, 1, 1);

    auto *pgpGroup = new QGroupBox(tr("Set the directory where PGP is located"), this);
    auto *pgpBrowse = makeButton(pgpGroup, tr("Browse..."), "pgpBrowseButton");
    m_pgpPath = makeField(pgpGroup, "pgpPathEdit", 128);
    auto *pgpLayout = new QHBoxLayout(pgpGroup);
    pgpLayout->addWidget(pgpBrowse);
    pgpLayout->addWidget(m_pgpPath);

    m_debugMode = new QCheckBox(tr("Set Debug Mode On"), this);
    m_debugMode->setObjectName(QStringLiteral("debugModeCheck"));

    auto *nameGroup = new QGroupBox(tr("Set MyName default here"), this);
    m_myName = makeField(nameGroup, "myNameEdit", 40);
    auto *nameLayout = new QHBoxLayout(nameGroup);
    nameLayout->addWidget(m_myName);

    const DialogButtons buttons = MakeDialogButtons(this, 0x200A6);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(engineGroup);
    layout->addWidget(userGroup);
    layout->addWidget(pgpGroup);
    layout->addWidget(m_debugMode);
    layout->addWidget(nameGroup);
    layout->addLayout(DialogButtonRow(buttons, MakeDialogPicture(this), PictureSide::Right));

    // Opening. A start-in directory without a program to start means nothing, so it is only
    // shown together with its program.
    const RuntimeOptionsRecord &o = RuntimeOptions();
    if (!o.UserApplication.isEmpty()) {
        m_userApp->setText(o.UserApplication);
        m_userAppDir->setText(o.UserAppDir);
    }
    m_pgpPath->setText(o.PGPPATH);
    m_myName->setText(o.MyName);
    m_debugMode->setChecked(o.DebugMode != 0);
    dos->setChecked(true);

    connect(m_debugMode, &QCheckBox::toggled, this,
            [](bool checked) { RuntimeOptions().DebugMode = checked ? 1 : 0; });
    connect(userBrowse, &QPushButton::clicked, this, [this] {
        browseInto(m_userApp, QStringLiteral("Zorvex\u00ae5.0 - Get User Application"));
    });
    connect(pgpBrowse, &QPushButton::clicked, this, [this] {
        browseInto(m_pgpPath, QStringLiteral("Zorvex\u00ae5.0 - Get PGP Execution Path"));
    });
    connect(buttons.ok, &QPushButton::clicked, this, &CPreferencesDlg::OnOK);
}

void CPreferencesDlg::browseInto(QLineEdit *field, const QString &title)
{
    // The field takes the outcome as it is: a cancelled dialog empties it.
    field->setText(FileDialog::getOpenFileName(this, title, executableFilter()));
}

void CPreferencesDlg::OnOK()
{
    RuntimeOptionsRecord &o = RuntimeOptions();
    o.UserApplication = m_userApp->text();
    o.PGPPATH = m_pgpPath->text();
    o.MyName = m_myName->text();
    o.UserAppDir = m_userAppDir->text();
    if (!SavePreferences())
        MessageBox::stop(this, UnstoredSettingsText(tr("The preferences")));
    accept();
}
