#include "core/settings.h"
#include "options/preferencesdlg.h"
#include "options/runtimeoptionsdlg.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

namespace {
// The next widget that Tab reaches.
QWidget *nextTabStop(QWidget *w)
{
    QWidget *next = w->nextInFocusChain();
    while (!(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}
} // namespace

class TestOptionsDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void runtimeBoxesShowFlags_data();
    void runtimeBoxesShowFlags();
    void runtimeCancelKeepsClicks();
    void runtimeYesWritesAllThirteenFlags();
    void runtimeNoWritesNothing();
    void runtimeYesOnReadOnlySettingsSaysSo();
    void runtimeTabOrderAndHelp();

    void preferencesHideStartInWithoutApplication();
    void preferencesShowFieldsAndEngine();
    void preferencesOkStoresFields();
    void preferencesBrowseCancelEmptiesField_data();
    void preferencesBrowseCancelEmptiesField();
    void preferencesCancelKeepsStringsButNotDebugClick();
};

void TestOptionsDialogs::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::setTestMode(true);
    FileDialog::clearAsked();
}

void TestOptionsDialogs::cleanup()
{
    QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
            std::none_of(QApplication::topLevelWidgets().cbegin(),
                         QApplication::topLevelWidgets().cend(),
                         [](QWidget *w) { return w->isVisible(); }));
}

void TestOptionsDialogs::runtimeBoxesShowFlags_data()
{
    QTest::addColumn<QByteArray>("box");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int RuntimeOptionsRecord::*>("flag");
    QTest::newRow("armor") << QByteArray("armorCheck") << "&ASCII armor files (-a)"
                           << &RuntimeOptionsRecord::Armor;
    QTest::newRow("verbose") << QByteArray("verboseCheck") << "Set &Verbose mode"
                             << &RuntimeOptionsRecord::Verbose;
    QTest::newRow("text") << QByteArray("textCheck") << "Set &Text mode (-t)"
                          << &RuntimeOptionsRecord::Text;
    QTest::newRow("recover") << QByteArray("recoverOrigCheck") << "&Get original filename (-p)"
                             << &RuntimeOptionsRecord::RecoverOrig;
    QTest::newRow("wipe") << QByteArray("wipeCheck") << "&Wipe plaintext files (-w)"
                          << &RuntimeOptionsRecord::Wipe;
    QTest::newRow("keepBinary") << QByteArray("keepBinaryCheck") << "&Keep binary"
                                << &RuntimeOptionsRecord::KeepBinary;
    QTest::newRow("detach") << QByteArray("detachSigCheck") << "&Detach signature certificate (-b)"
                            << &RuntimeOptionsRecord::DetachSig;
    QTest::newRow("intact") << QByteArray("sigIntactCheck") << "Keep signature &intact (-d)"
                            << &RuntimeOptionsRecord::SigIntact;
    QTest::newRow("eyes") << QByteArray("eyesOnlyCheck") << "&Eyes only mode (-m)"
                          << &RuntimeOptionsRecord::EyesOnly;
    QTest::newRow("showPass") << QByteArray("showPassCheck") << "&View passphrase"
                              << &RuntimeOptionsRecord::ShowPass;
}

// Each box opens with its flag (any non-zero value counts) and a click writes 1 or 0 at once.
void TestOptionsDialogs::runtimeBoxesShowFlags()
{
    QFETCH(QByteArray, box);
    QFETCH(QString, label);
    QFETCH(int RuntimeOptionsRecord::*, flag);
    RuntimeOptions().*flag = 7;
    CRuntimeOptionsDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Zorvex\u00ae 5.0 - Runtime Options"));
    auto *check = child<QCheckBox>(&dialog, box.constData());
    QCOMPARE(check->text(), label);
    QVERIFY(check->isChecked());
    QCOMPARE(RuntimeOptions().*flag, 7); // opening does not rewrite it
    dialog.show();
    clickAtLeft(&dialog, box.constData());
    QCOMPARE(RuntimeOptions().*flag, 0);
    clickAtLeft(&dialog, box.constData());
    QCOMPARE(RuntimeOptions().*flag, 1);
    dialog.reject();
}

void TestOptionsDialogs::runtimeCancelKeepsClicks()
{
    ScratchSettings settings;
    CRuntimeOptionsDlg dialog;
    dialog.show();
    clickAtLeft(&dialog, "wipeCheck");
    clickAtLeft(&dialog, "cancelButton");
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(RuntimeOptions().Wipe, 1);
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(!QFile::exists(settings.path()));
}

void TestOptionsDialogs::runtimeYesWritesAllThirteenFlags()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nArmor=7\r\nMyName=me\r\n");
    LoadSettings();
    RuntimeOptions().IDEA = 1; // set by the encryption dialog, not shown here
    RuntimeOptions().DebugMode = 1;
    CRuntimeOptionsDlg dialog;
    dialog.show();
    clickAtLeft(&dialog, "eyesOnlyCheck");
    MessageBox::setNextAnswer(QMessageBox::Yes);
    clickAtLeft(&dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().text,
             QStringLiteral("Would you like these to be the defaults?"));
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);

    const QList<ProfileEntry> entries =
        ReadProfileSection(QStringLiteral("Operations"), settings.path());
    QStringList keys;
    for (const ProfileEntry &e : entries)
        keys << e.key;
    QCOMPARE(keys, (QStringList{"Armor", "MyName", "SignIt", "Wipe", "Text", "IDEA", "EyesOnly",
                                "DetachSig", "ShowPass", "KeepBinary", "DebugMode", "Verbose",
                                "RecoverOrig", "SigIntact"}));
    auto value = [&](const char *key) {
        return GetPrivateProfileInt(QStringLiteral("Operations"), QLatin1String(key), -1,
                                    settings.path());
    };
    QCOMPARE(value("Armor"), 7);
    QCOMPARE(value("IDEA"), 1);
    QCOMPARE(value("DebugMode"), 1);
    QCOMPARE(value("EyesOnly"), 1);
    QCOMPARE(value("Wipe"), 0);
}

void TestOptionsDialogs::runtimeYesOnReadOnlySettingsSaysSo()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nArmor=0\r\n");
    LoadSettings();
    QFile::setPermissions(settings.dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    CRuntimeOptionsDlg dialog;
    dialog.show();
    clickAtLeft(&dialog, "armorCheck");
    MessageBox::setNextAnswer(QMessageBox::Yes);
    clickAtLeft(&dialog, "okButton");
    QFile::setPermissions(settings.dir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(MessageBox::shown().size(), 2);
    QCOMPARE(MessageBox::shown().last().icon, MessageBox::Icon::Stop);
    QVERIFY(MessageBox::shown().last().text.startsWith(
        QLatin1String("The defaults could not be stored: the settings file ")));
    QCOMPARE(settings.read(), QByteArray("[Operations]\r\nArmor=0\r\n"));
}

void TestOptionsDialogs::runtimeNoWritesNothing()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nVerbose=1\r\n");
    LoadSettings();
    CRuntimeOptionsDlg dialog;
    dialog.show();
    clickAtLeft(&dialog, "verboseCheck");
    MessageBox::setNextAnswer(QMessageBox::No);
    clickAtLeft(&dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    QCOMPARE(settings.read(), QByteArray("[Operations]\r\nVerbose=1\r\n"));
    QCOMPARE(RuntimeOptions().Verbose, 0);
}

void TestOptionsDialogs::runtimeTabOrderAndHelp()
{
    CRuntimeOptionsDlg dialog;
    const QList<QByteArray> order{
        "okButton",         "cancelButton",  "helpButton",   "armorCheck",      "verboseCheck",
        "recoverOrigCheck", "textCheck",     "wipeCheck",    "keepBinaryCheck", "detachSigCheck",
        "sigIntactCheck",   "eyesOnlyCheck", "showPassCheck"};
    for (qsizetype i = 1; i < order.size(); ++i)
        QCOMPARE(nextTabStop(child<QWidget>(&dialog, order[i - 1].constData()))->objectName(),
                 QString::fromLatin1(order[i]));
    dialog.show();
    clickAtLeft(&dialog, "helpButton");
    QCOMPARE(LastHelpContext(), 0x200A5u);
    dialog.reject();
}

void TestOptionsDialogs::preferencesHideStartInWithoutApplication()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nUserAppDir=/home/u/work\r\n");
    LoadSettings();
    CPreferencesDlg dialog;
    QVERIFY(child<QLineEdit>(&dialog, "userAppEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>(&dialog, "userAppDirEdit")->text().isEmpty());
    dialog.show();
    clickAtLeft(&dialog, "okButton");
    QVERIFY(RuntimeOptions().UserAppDir.isEmpty());
    QCOMPARE(GetPrivateProfileString(QStringLiteral("Operations"), QStringLiteral("UserAppDir"),
                                     QStringLiteral("missing"), 128, settings.path()),
             QString());
}

void TestOptionsDialogs::preferencesShowFieldsAndEngine()
{
    RuntimeOptionsRecord &o = RuntimeOptions();
    o.UserApplication = QStringLiteral("/usr/bin/gedit");
    o.UserAppDir = QStringLiteral("/tmp");
    o.PGPPATH = QStringLiteral("/opt/pgp/pgp");
    o.MyName = QStringLiteral("Alice");
    o.DebugMode = 3;
    CPreferencesDlg dialog;
    QCOMPARE(dialog.windowTitle(), QStringLiteral("Zorvex\u00ae 5.0 - Preferences"));
    QCOMPARE(child<QLineEdit>(&dialog, "userAppEdit")->text(), o.UserApplication);
    QCOMPARE(child<QLineEdit>(&dialog, "userAppDirEdit")->text(), o.UserAppDir);
    QCOMPARE(child<QLineEdit>(&dialog, "pgpPathEdit")->text(), o.PGPPATH);
    QCOMPARE(child<QLineEdit>(&dialog, "myNameEdit")->text(), o.MyName);
    QCOMPARE(child<QLineEdit>(&dialog, "myNameEdit")->maxLength(), 40);
    QCOMPARE(child<QLineEdit>(&dialog, "pgpPathEdit")->maxLength(), 128);
    QVERIFY(child<QCheckBox>(&dialog, "debugModeCheck")->isChecked());
    QVERIFY(child<QRadioButton>(&dialog, "pgpDosRadio")->isChecked());
    QVERIFY(!child<QRadioButton>(&dialog, "pgpDllRadio")->isEnabled());
    QCOMPARE(child<QRadioButton>(&dialog, "pgpDllRadio")->text(),
             QStringLiteral("PGP for Windows (DLL)"));
    dialog.show();
    clickAtLeft(&dialog, "helpButton");
    QCOMPARE(LastHelpContext(), 0x200A6u);
    dialog.reject();
}

void TestOptionsDialogs::preferencesOkStoresFields()
{
    ScratchSettings settings;
    CPreferencesDlg dialog;
    dialog.show();
    FileDialog::setNextFileName(QStringLiteral("/usr/bin/zorvex-pgp"));
    clickAtLeft(&dialog, "pgpBrowseButton");
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().title,
             QStringLiteral("Zorvex\u00ae5.0 - Get PGP Execution Path"));
    QVERIFY(!FileDialog::asked().first().filter.contains(QLatin1String("*.exe")));
    QTest::keyClicks(child<QLineEdit>(&dialog, "myNameEdit"), QStringLiteral("Bob"));
    QTest::keyClicks(child<QLineEdit>(&dialog, "userAppEdit"), QStringLiteral("/usr/bin/vi"));
    QTest::keyClicks(child<QLineEdit>(&dialog, "userAppDirEdit"), QStringLiteral("/srv"));
    clickAtLeft(&dialog, "debugModeCheck");
    clickAtLeft(&dialog, "okButton");
    QCOMPARE(dialog.result(), int(QDialog::Accepted));
    const RuntimeOptionsRecord &o = RuntimeOptions();
    QCOMPARE(o.PGPPATH, QStringLiteral("/usr/bin/zorvex-pgp"));
    QCOMPARE(o.MyName, QStringLiteral("Bob"));
    QCOMPARE(o.UserApplication, QStringLiteral("/usr/bin/vi"));
    QCOMPARE(o.UserAppDir, QStringLiteral("/srv"));
    QCOMPARE(settings.read(), QByteArray("[Operations]\r\nUserApplication=/usr/bin/vi\r\n"
                                         "UserAppDir=/srv\r\nPGPPATH=/usr/bin/zorvex-pgp\r\n"
                                         "MyName=Bob\r\nDebugMode=1\r\n"));
}

void TestOptionsDialogs::preferencesBrowseCancelEmptiesField_data()
{
    QTest::addColumn<QByteArray>("button");
    QTest::addColumn<QByteArray>("field");
    QTest::addColumn<QString>("title");
    QTest::newRow("user application")
        << QByteArray("userAppBrowseButton") << QByteArray("userAppEdit")
        << QStringLiteral("Zorvex\u00ae5.0 - Get User Application");
    QTest::newRow("pgp") << QByteArray("pgpBrowseButton") << QByteArray("pgpPathEdit")
                         << QStringLiteral("Zorvex\u00ae5.0 - Get PGP Execution Path");
}

void TestOptionsDialogs::preferencesBrowseCancelEmptiesField()
{
    QFETCH(QByteArray, button);
    QFETCH(QByteArray, field);
    QFETCH(QString, title);
    ScratchSettings settings;
    RuntimeOptions().UserApplication = QStringLiteral("/usr/bin/gedit");
    RuntimeOptions().PGPPATH = QStringLiteral("/opt/pgp");
    CPreferencesDlg dialog;
    dialog.show();
    clickAtLeft(&dialog, button.constData()); // nothing queued: the file dialog is cancelled
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().title, title);
    QVERIFY(child<QLineEdit>(&dialog, field.constData())->text().isEmpty());
    clickAtLeft(&dialog, "okButton");
    const QString key =
        field == "pgpPathEdit" ? QStringLiteral("PGPPATH") : QStringLiteral("UserApplication");
    QCOMPARE(GetPrivateProfileString(QStringLiteral("Operations"), key, QStringLiteral("missing"),
                                     128, settings.path()),
             QString());
}

void TestOptionsDialogs::preferencesCancelKeepsStringsButNotDebugClick()
{
    ScratchSettings settings;
    RuntimeOptions().MyName = QStringLiteral("Alice");
    CPreferencesDlg dialog;
    dialog.show();
    QTest::keyClicks(child<QLineEdit>(&dialog, "myNameEdit"), QStringLiteral(" Smith"));
    clickAtLeft(&dialog, "debugModeCheck");
    clickAtLeft(&dialog, "cancelButton");
    QCOMPARE(RuntimeOptions().MyName, QStringLiteral("Alice"));
    QCOMPARE(RuntimeOptions().DebugMode, 1);
    QVERIFY(!QFile::exists(settings.path()));
}

QTEST_MAIN(TestOptionsDialogs)
#include "tst_optionsdialogs.moc"
