// The program as built, started the way a user starts it: no tool folder and no engine named in
// the environment, nothing of the build tree on the PATH. Its first start lists the keys
// through zorvex-cmd and zorvex-pgp, which it has to find by itself.

#include "enginesupport.h"

#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

class TestAsBuilt : public QObject
{
    Q_OBJECT

private slots:
    void firstStartListsKeysWithPlainEnvironment();
};

void TestAsBuilt::firstStartListsKeysWithPlainEnvironment()
{
    if (const QString missing = engine::missingEngine(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    engine::GnupgHome gnupg;
    QVERIFY(gnupg.isValid());
    QVERIFY(gnupg.importFixtures());

    QTemporaryDir home;
    QVERIFY(home.isValid());
    const QDir homeDir(home.path());
    QVERIFY(homeDir.mkpath(QStringLiteral(".config/zorvex5")) &&
            homeDir.mkdir(QStringLiteral("run")));
    const QString settingsDir = homeDir.filePath(QStringLiteral(".config/zorvex5"));
    {
        // No Tip of the Day: nobody is there to close it.
        QFile tip(settingsDir + QStringLiteral("/zorvex5.ini"));
        QVERIFY(tip.open(QIODevice::WriteOnly));
        tip.write("[Tip]\r\nStartUp=1\r\n");
    }

    QProcessEnvironment env;
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("PATH"), QStringLiteral("/usr/bin:/bin"));
    env.insert(QStringLiteral("GNUPGHOME"), gnupg.path());
    // Headless: no display and no terminal window for the job.
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("ZORVEX_TERMINAL"), QStringLiteral("none"));
    env.insert(QStringLiteral("ASAN_OPTIONS"), QStringLiteral("detect_leaks=0"));

    QProcess program;
    program.setProcessEnvironment(env);
    program.setWorkingDirectory(homeDir.filePath(QStringLiteral("run")));
    program.setProcessChannelMode(QProcess::MergedChannels);
    program.start(QStringLiteral(ZORVEX5), {});
    QVERIFY2(program.waitForStarted(), qPrintable(program.errorString()));

    QFile settings(settingsDir + QStringLiteral("/ZORVEX 5.INI"));
    auto listed = [&settings] {
        if (!settings.open(QIODevice::ReadOnly))
            return false;
        const bool found = settings.readAll().contains("Alice Rsa");
        settings.close();
        return found;
    };
    QTRY_VERIFY_WITH_TIMEOUT(listed() || program.state() == QProcess::NotRunning, 120000);
    const QByteArray output = program.readAll();
    program.kill();
    program.waitForFinished();
    QVERIFY2(listed(), output.constData());
}

QTEST_GUILESS_MAIN(TestAsBuilt)
#include "tst_asbuilt.moc"
