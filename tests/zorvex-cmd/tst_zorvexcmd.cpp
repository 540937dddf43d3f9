// zorvex-cmd end to end, with a fake engine that records its arguments.
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

class TestZorvexCmd : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void argumentsReachTheEngine_data();
    void argumentsReachTheEngine();
    void goesOnAfterAMissingEngine();
    void echoFollowsEchoOff();
    void redirectionWritesAPrivateFile();
    void moreAndPauseDoNotBlockWithoutATerminal();
    void delRules();
    void unknownCommandReportedAndSkipped();
    void engineExitStatusStopsNothing();
    void holdsTheBatchFileLockWhileRunning();
    void passPhraseTravelsOnAPipe_data();
    void passPhraseTravelsOnAPipe();
    void plantedTargetsRefused();
    void runsOnlyTheFileTheProgramWrote();
    void failureHoldsTheTerminalUntilTheProgramLetsGo();

private:
    QString run(const QByteArray &script, const QStringList &env = {},
                const QStringList &options = {});
    QList<QStringList> calls() const;
    QString path(const QString &name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestZorvexCmd::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
}

QString TestZorvexCmd::run(const QByteArray &script, const QStringList &env,
                           const QStringList &options)
{
    QFile bat(path(QStringLiteral("t.bat")));
    if (!bat.open(QIODevice::WriteOnly | QIODevice::Truncate) || bat.write(script) != script.size())
        return QStringLiteral("cannot write t.bat");
    bat.close();
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("ZORVEX_PGP"), QStringLiteral(FAKE_PGP));
    e.insert(QStringLiteral("FAKE_PGP_LOG"), path(QStringLiteral("log")));
    for (const QString &kv : env)
        e.insert(kv.section(QLatin1Char('='), 0, 0), kv.section(QLatin1Char('='), 1));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(m_dir->path());
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(qEnvironmentVariable("ZORVEX_TOOLS_DIR") + QStringLiteral("/zorvex-cmd"),
            options + QStringList{QStringLiteral("t.bat")});
    p.closeWriteChannel();
    if (!p.waitForFinished(10000))
        return QStringLiteral("timeout");
    return QString::fromUtf8(p.readAll());
}

QList<QStringList> TestZorvexCmd::calls() const
{
    QFile log(path(QStringLiteral("log")));
    QList<QStringList> result;
    if (!log.open(QIODevice::ReadOnly))
        return result;
    QStringList current;
    for (const QByteArray &line : log.readAll().split('\n')) {
        if (line == "=====") {
            result.append(current);
            current.clear();
        } else {
            current.append(QString::fromUtf8(line));
        }
    }
    return result;
}

void TestZorvexCmd::argumentsReachTheEngine_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("args");
    QTest::newRow("encryption line")
        << QByteArray("PGP.EXE -ea +verbose=2 \"my file.txt\" 0x0000ABCD  -u Jane ")
        << QStringList{"-ea", "+verbose=2", "my file.txt", "0x0000ABCD", "-u", "Jane"};
    QTest::newRow("lower case name") << QByteArray("pgp.exe -kv") << QStringList{"-kv"};
    QTest::newRow("shell characters stay plain")
        << QByteArray("PGP.EXE \"a & b\" $HOME `id` %PATH% ; \"x|y>z\" *")
        << QStringList{"a & b", "$HOME", "`id`", "%PATH%", ";", "x|y>z", "*"};
    QTest::newRow("empty argument")
        << QByteArray("PGP.EXE -ke \"\" ring") << QStringList{"-ke", "", "ring"};
    QTest::newRow("non-ASCII") << QByteArray("PGP.EXE \"J\xc3\xbcrgen M\xc3\xbcller\"")
                               << QStringList{QString::fromUtf8("J\u00fcrgen M\u00fcller")};
}

void TestZorvexCmd::argumentsReachTheEngine()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, args);
    run("@ECHO OFF\r\n" + line + "\r\nDEL zorvex$$.tmp");
    QCOMPARE(calls(), QList<QStringList>{args});
    // Nothing was expanded into a file of that name either.
    QVERIFY(!QFile::exists(path(QStringLiteral("z"))));
}

void TestZorvexCmd::goesOnAfterAMissingEngine()
{
    QFile(path(QStringLiteral("zorvex$$.tmp"))).open(QIODevice::WriteOnly);
    const QString out = run("@ECHO OFF\r\nPGP.EXE -ea x\r\nDEL zorvex$$.tmp",
                            {QStringLiteral("ZORVEX_PGP=/nonexistent/zorvex-pgp")});
    QVERIFY2(out.contains(QLatin1String("could not be run")), qPrintable(out));
    QVERIFY(!QFile::exists(path(QStringLiteral("zorvex$$.tmp"))));
}

void TestZorvexCmd::echoFollowsEchoOff()
{
    const QString echoed = run("PGP.EXE -kv\nDEL log");
    QVERIFY2(echoed.contains(QLatin1String(">PGP.EXE -kv")), qPrintable(echoed));
    QVERIFY(echoed.contains(QLatin1String(">DEL log")));
    const QString quiet = run("ECHO OFF\nPGP.EXE -kv\nDEL log");
    QVERIFY2(quiet.contains(QLatin1String(">ECHO OFF")),
             qPrintable(quiet)); // echoed before it takes effect
    QVERIFY(!quiet.contains(QLatin1String(">PGP.EXE")));
    const QString silent = run("@ECHO OFF\nPGP.EXE -kv");
    QVERIFY2(!silent.contains(QLatin1Char('>')), qPrintable(silent));
}

void TestZorvexCmd::redirectionWritesAPrivateFile()
{
    QFile canned(path(QStringLiteral("canned")));
    QVERIFY(canned.open(QIODevice::WriteOnly));
    canned.write("Key ring\r\npub  1024/0000ABCD 1996/02/11 Jane\r\n");
    canned.close();
    run("PGP.EXE -kv > keys.$$$ \r\ndel zorvex$$.tmp",
        {QStringLiteral("FAKE_PGP_OUTPUT=") + canned.fileName()});
    QFile keys(path(QStringLiteral("keys.$$$")));
    QVERIFY(keys.open(QIODevice::ReadOnly));
    QCOMPARE(keys.readAll(), QByteArray("Key ring\r\npub  1024/0000ABCD 1996/02/11 Jane\r\n"));
    QCOMPARE(keys.permissions() &
                 (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther),
             QFile::Permissions());
    QCOMPARE(calls(), QList<QStringList>{{"-kv"}});
}

void TestZorvexCmd::moreAndPauseDoNotBlockWithoutATerminal()
{
    QFile canned(path(QStringLiteral("canned")));
    QVERIFY(canned.open(QIODevice::WriteOnly));
    canned.write("page of text\n");
    canned.close();
    const QString out = run("@ECHO OFF\r\nPGP.EXE -kvv | MORE\r\nPAUSE",
                            {QStringLiteral("FAKE_PGP_OUTPUT=") + canned.fileName()});
    QCOMPARE(out, QStringLiteral("page of text\nPress any key to continue . . . \n"));
}

void TestZorvexCmd::delRules()
{
    QVERIFY(QDir(m_dir->path()).mkdir(QStringLiteral("sub")));
    for (const char *name : {"a.tmp", "b.tmp", "sub/inner"})
        QFile(path(QString::fromLatin1(name))).open(QIODevice::WriteOnly);
    const QString out =
        run("@ECHO OFF\r\nDEL a.tmp missing.tmp\r\ndel *.tmp\r\ndel sub\r\ndel sub/inner\r\n"
            "DEL \"b.tmp\"");
    QVERIFY(!QFile::exists(path(QStringLiteral("a.tmp"))));
    QVERIFY(!QFile::exists(path(QStringLiteral("b.tmp"))));
    QVERIFY(QFile::exists(path(QStringLiteral("sub/inner"))));
    QVERIFY2(out.contains(QLatin1String("Could Not Find ") + path(QStringLiteral("missing.tmp"))),
             qPrintable(out));
    QCOMPARE(out.count(QLatin1String("DEL refuses")), 3);
}

void TestZorvexCmd::unknownCommandReportedAndSkipped()
{
    QFile(path(QStringLiteral("zorvex$$.tmp"))).open(QIODevice::WriteOnly);
    const QString out = run("@ECHO OFF\nrm -rf .\nPGP.EXE -kv | sh\nDEL zorvex$$.tmp\n");
    QVERIFY2(out.contains(QLatin1String("'rm' is not recognized")), qPrintable(out));
    QVERIFY(out.contains(QLatin1String("'sh' is not recognized")));
    QVERIFY(calls().isEmpty());
    QVERIFY(!QFile::exists(path(QStringLiteral("zorvex$$.tmp"))));
}

void TestZorvexCmd::engineExitStatusStopsNothing()
{
    run("@ECHO OFF\nPGP.EXE first\nPGP.EXE second", {QStringLiteral("FAKE_PGP_EXIT=3")});
    QCOMPARE(calls(), (QList<QStringList>{{"first"}, {"second"}}));
}

void TestZorvexCmd::holdsTheBatchFileLockWhileRunning()
{
    QFile bat(path(QStringLiteral("t.bat")));
    QVERIFY(bat.open(QIODevice::WriteOnly));
    bat.write("@ECHO OFF\r\nPGP.EXE wait");
    bat.close();
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("ZORVEX_PGP"), QStringLiteral(FAKE_PGP));
    e.insert(QStringLiteral("FAKE_PGP_SLEEP_MS"), QStringLiteral("1500"));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(m_dir->path());
    const int fd = ::open(QFile::encodeName(bat.fileName()).constData(), O_RDONLY | O_CLOEXEC);
    QVERIFY(fd >= 0);
    p.start(qEnvironmentVariable("ZORVEX_TOOLS_DIR") + QStringLiteral("/zorvex-cmd"),
            {QStringLiteral("t.bat")});
    QVERIFY(p.waitForStarted());
    // The probe must let go at once, or it would keep the interpreter from taking its lock.
    auto held = [fd] {
        if (flock(fd, LOCK_EX | LOCK_NB) != 0)
            return true;
        flock(fd, LOCK_UN);
        return false;
    };
    QTRY_VERIFY_WITH_TIMEOUT(held(), 1000);
    QVERIFY(p.waitForFinished(5000));
    QVERIFY(!held());
    ::close(fd);
}

void TestZorvexCmd::passPhraseTravelsOnAPipe_data()
{
    // args: what the engine is given; shown: the command in the result file.
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("shown");
    QTest::newRow("directory job line")
        << QByteArray("PGP.EXE -cw +batchmode +verbose=0 a.txt -z \"two  words>x\" ")
        << QStringList{"-cw", "+batchmode", "+verbose=0", "a.txt", "PGPPASSFD two  words>x"}
        << QByteArray("PGP.EXE -cw +batchmode +verbose=0 a.txt -z ********");
    QTest::newRow("joined group") << QByteArray("PGP.EXE -cz secret a.txt")
                                  << QStringList{"-c", "a.txt", "PGPPASSFD secret"}
                                  << QByteArray("PGP.EXE -cz ******** a.txt");
    QTest::newRow("value in the group")
        << QByteArray("PGP.EXE a.pgp -zsecret") << QStringList{"a.pgp", "PGPPASSFD secret"}
        << QByteArray("PGP.EXE a.pgp -z********");
    QTest::newRow("-u takes the next word")
        << QByteArray("PGP.EXE -u -z a -Z pw") << QStringList{"-u", "-z", "a", "PGPPASSFD pw"}
        << QByteArray("PGP.EXE -u -z a -Z ********");
    QTest::newRow("file names and settings carry none")
        << QByteArray("PGP.EXE +z=1 z -- -z") << QStringList{"+z=1", "z", "--", "-z"}
        << QByteArray("PGP.EXE +z=1 z -- -z");
}

void TestZorvexCmd::passPhraseTravelsOnAPipe()
{
    QFETCH(QByteArray, line);
    QFETCH(QStringList, args);
    QFETCH(QByteArray, shown);
    QFile results(path(QStringLiteral("results")));
    QVERIFY(results.open(QIODevice::WriteOnly));
    results.close();
    run("@ECHO OFF\r\n" + line + "\r\n", {}, {QStringLiteral("--results=") + results.fileName()});
    QCOMPARE(calls(), QList<QStringList>{args});
    QVERIFY(results.open(QIODevice::ReadOnly));
    QVERIFY(results.readAll().contains("begin 1 " + shown.replace(' ', "%20") + '\n'));
}

void TestZorvexCmd::plantedTargetsRefused()
{
    QFile victim(path(QStringLiteral("victim")));
    QVERIFY(victim.open(QIODevice::WriteOnly));
    victim.write("precious");
    victim.close();
    QVERIFY(QFile::link(victim.fileName(), path(QStringLiteral("keys.$$$"))));
    QVERIFY(::mkfifo(QFile::encodeName(path(QStringLiteral("fifo"))).constData(), 0600) == 0);
    QVERIFY(::link(QFile::encodeName(victim.fileName()).constData(),
                   QFile::encodeName(path(QStringLiteral("second"))).constData()) == 0);
    const QString out = run("@ECHO OFF\r\nPGP.EXE -kv > keys.$$$\r\nPGP.EXE -kv >> fifo\r\n"
                            "PGP.EXE -kv > second\r\nDEL log");
    QVERIFY2(out.contains(QLatin1String("keys.$$$ is a symbolic link")), qPrintable(out));
    QVERIFY(out.contains(QLatin1String("fifo is not a regular file")));
    QVERIFY(out.contains(QLatin1String("second has another name")));
    QVERIFY(victim.open(QIODevice::ReadOnly));
    QCOMPARE(victim.readAll(), QByteArray("precious"));
    QVERIFY(!QFile::exists(path(QStringLiteral("log")))); // no engine ran
}

void TestZorvexCmd::runsOnlyTheFileTheProgramWrote()
{
    auto idOf = [this](const char *name) {
        struct stat st;
        if (::stat(QFile::encodeName(path(QString::fromLatin1(name))).constData(), &st) != 0)
            return QString();
        return QStringLiteral("%1:%2").arg(st.st_dev).arg(st.st_ino);
    };
    QFile(path(QStringLiteral("other"))).open(QIODevice::WriteOnly);
    run("PGP.EXE first");
    const QString written = idOf("t.bat");
    QVERIFY(QFile::remove(path(QStringLiteral("log"))));

    // Another file in the place of the one the program wrote.
    QString out = run("PGP.EXE planted", {}, {QStringLiteral("--file-id"), idOf("other")});
    QVERIFY2(out.contains(QLatin1String("not the file the program wrote")), qPrintable(out));
    QVERIFY(calls().isEmpty());

    // Writable by others: anyone could have changed it.
    QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("t.bat"))).constData(), 0666) == 0);
    out = run("PGP.EXE planted", {}, {QStringLiteral("--file-id"), written});
    QVERIFY2(out.contains(QLatin1String("can be changed by other users")), qPrintable(out));
    QVERIFY(calls().isEmpty());

    QVERIFY(::chmod(QFile::encodeName(path(QStringLiteral("t.bat"))).constData(), 0600) == 0);
    run("PGP.EXE own", {}, {QStringLiteral("--file-id"), written});
    QCOMPARE(calls(), QList<QStringList>{{"own"}});
}

QTEST_GUILESS_MAIN(TestZorvexCmd)
// In a terminal: the result file names the terminal's window, and a failed step's "Press any key
// to close" ends without a key once the program has removed the result file.
void TestZorvexCmd::failureHoldsTheTerminalUntilTheProgramLetsGo()
{
    const int tty = posix_openpt(O_RDWR | O_NOCTTY);
    QVERIFY(tty >= 0 && grantpt(tty) == 0 && unlockpt(tty) == 0);
    QFile results(path(QStringLiteral("results")));
    QVERIFY(results.open(QIODevice::WriteOnly));
    QFile bat(path(QStringLiteral("t.bat")));
    QVERIFY(bat.open(QIODevice::WriteOnly) && bat.write("PGP.EXE -x\r\n") > 0);
    bat.close();
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert(QStringLiteral("ZORVEX_PGP"), QStringLiteral(FAKE_PGP));
    e.insert(QStringLiteral("FAKE_PGP_EXIT"), QStringLiteral("3"));
    e.insert(QStringLiteral("WINDOWID"), QStringLiteral("4194318"));
    p.setProcessEnvironment(e);
    p.setWorkingDirectory(m_dir->path());
    p.setStandardInputFile(QString::fromLatin1(ptsname(tty)));
    p.setStandardOutputFile(QString::fromLatin1(ptsname(tty)));
    p.start(qEnvironmentVariable("ZORVEX_TOOLS_DIR") + QStringLiteral("/zorvex-cmd"),
            {QStringLiteral("--results=") + results.fileName(), QStringLiteral("t.bat")});
    QVERIFY(!p.waitForFinished(1500)); // held at its key press
    QFile reported(results.fileName());
    QVERIFY(reported.open(QIODevice::ReadOnly) &&
            reported.readAll().contains("\nwindow 4194318\n"));
    QVERIFY(QFile::remove(results.fileName()));
    QVERIFY(p.waitForFinished(3000));
    ::close(tty);
}

#include "tst_zorvexcmd.moc"
