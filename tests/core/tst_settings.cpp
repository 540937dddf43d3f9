#include "core/settings.h"
#include "testsupport.h"

class TestSettings : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetState(); }
    void noFileGivesDefaults();
    void loadReadsEveryFieldAndCutsLongStrings();
    void loadOverwritesEveryField();
    void saveOptionFlagsOnFileWithoutOperations();
    void saveOptionFlagsKeepsSevenAndOtherLines();
    void savePreferencesOrderAndStrings();
    void failedSaveKeepsMemoryAndFile();
};

void TestSettings::noFileGivesDefaults()
{
    ScratchSettings settings;
    RuntimeOptions().Armor = 5;
    RuntimeOptions().MyName = QStringLiteral("stale");
    LoadSettings();
    const RuntimeOptionsRecord &o = RuntimeOptions();
    for (int flag : {o.SignIt, o.Wipe, o.Armor, o.Text, o.IDEA, o.DetachSig, o.EyesOnly, o.ShowPass,
                     o.KeepBinary, o.DebugMode, o.Verbose, o.RecoverOrig, o.SigIntact})
        QCOMPARE(flag, 0);
    QVERIFY(o.UserApplication.isEmpty() && o.UserAppDir.isEmpty() && o.PGPPATH.isEmpty() &&
            o.MyName.isEmpty());
    QCOMPARE(State().KeyNameCount, 0u);
    QVERIFY(!QFile::exists(settings.path())); // loading never creates the file
}

void TestSettings::loadReadsEveryFieldAndCutsLongStrings()
{
    ScratchSettings settings;
    const QByteArray longName(45, 'n');
    const QByteArray longPath = "/" + QByteArray(199, 'p');
    settings.write(
        "[operations]\r\nsignit=1\r\nWipe=1\r\nArmor=7\r\nText=1\r\nIDEA=1\r\nDetachSig=1\r\n"
        "EyesOnly=1\r\nShowPass=1\r\nKeepBinary=1\r\nDebugMode=1\r\nVerbose=1\r\n"
        "RecoverOrig=1\r\nSigIntact=1\r\nUserApplication=/usr/bin/gedit\r\n"
        "UserAppDir=/home/u\r\nPGPPATH=" +
        longPath + "\r\nMyName=" + longName + "\r\n");
    LoadSettings();
    const RuntimeOptionsRecord &o = RuntimeOptions();
    QCOMPARE(o.Armor, 7);
    for (int flag : {o.SignIt, o.Wipe, o.Text, o.IDEA, o.DetachSig, o.EyesOnly, o.ShowPass,
                     o.KeepBinary, o.DebugMode, o.Verbose, o.RecoverOrig, o.SigIntact})
        QCOMPARE(flag, 1);
    QCOMPARE(o.UserApplication, QStringLiteral("/usr/bin/gedit"));
    QCOMPARE(o.UserAppDir, QStringLiteral("/home/u"));
    QCOMPARE(o.PGPPATH, QString::fromLatin1(longPath.left(127)));
    QCOMPARE(o.MyName, QString::fromLatin1(longName.left(39)));
    QCOMPARE(o.ClearsignOnly, 0);
}

void TestSettings::loadOverwritesEveryField()
{
    ScratchSettings settings;
    settings.write("[Operations]\r\nArmor=1\r\n");
    RuntimeOptions().Wipe = 1;
    RuntimeOptions().PGPPATH = QStringLiteral("/old");
    LoadSettings();
    QCOMPARE(RuntimeOptions().Armor, 1);
    QCOMPARE(RuntimeOptions().Wipe, 0);
    QVERIFY(RuntimeOptions().PGPPATH.isEmpty());
}

void TestSettings::saveOptionFlagsOnFileWithoutOperations()
{
    ScratchSettings settings;
    settings.write("[Keys]\r\nNumbrOfKeys=0\r\n");
    RuntimeOptionsRecord &o = RuntimeOptions();
    o.SignIt = 1;
    o.IDEA = 1;
    o.DetachSig = 1;
    o.MyName = QStringLiteral("Alice");
    SaveOptionFlags();
    QCOMPARE(
        settings.read(),
        QByteArray("[Keys]\r\nNumbrOfKeys=0\r\n[Operations]\r\nSignIt=1\r\nWipe=0\r\nArmor=0\r\n"
                   "Text=0\r\nIDEA=1\r\nEyesOnly=0\r\nDetachSig=1\r\nShowPass=0\r\nKeepBinary=0\r\n"
                   "DebugMode=0\r\nVerbose=0\r\nRecoverOrig=0\r\nSigIntact=0\r\n"));
}

void TestSettings::saveOptionFlagsKeepsSevenAndOtherLines()
{
    ScratchSettings settings;
    settings.write("; mine\r\n[Operations]\r\nArmor=7\r\nMyName=Bob\r\n");
    LoadSettings();
    RuntimeOptions().Text = 1;
    SaveOptionFlags();
    const QByteArray after = settings.read();
    QVERIFY(after.startsWith("; mine\r\n[Operations]\r\nArmor=7\r\nMyName=Bob\r\nSignIt=0\r\n"));
    QVERIFY(after.contains("\r\nText=1\r\n"));
}

void TestSettings::savePreferencesOrderAndStrings()
{
    ScratchSettings settings;
    RuntimeOptionsRecord &o = RuntimeOptions();
    o.UserApplication = QStringLiteral("/usr/bin/gedit notes.txt");
    o.PGPPATH = QStringLiteral("/usr/bin");
    o.DebugMode = 1;
    o.Armor = 1; // not a preference: must not be written
    SavePreferences();
    QCOMPARE(
        settings.read(),
        QByteArray("[Operations]\r\nUserApplication=/usr/bin/gedit notes.txt\r\nUserAppDir=\r\n"
                   "PGPPATH=/usr/bin\r\nMyName=\r\nDebugMode=1\r\n"));
    ResetState();
    LoadSettings();
    QCOMPARE(RuntimeOptions().UserApplication, QStringLiteral("/usr/bin/gedit notes.txt"));
    QCOMPARE(RuntimeOptions().DebugMode, 1);
}

void TestSettings::failedSaveKeepsMemoryAndFile()
{
    ScratchSettings settings;
    const QByteArray before = "[Operations]\r\nArmor=0\r\n";
    settings.write(before);
    QFile::setPermissions(settings.path(), QFileDevice::ReadOwner);
    RuntimeOptions().Armor = 1;
    SaveOptionFlags();
    SavePreferences();
    QCOMPARE(settings.read(), before);
    QCOMPARE(RuntimeOptions().Armor, 1);
}

QTEST_GUILESS_MAIN(TestSettings)
#include "tst_settings.moc"
