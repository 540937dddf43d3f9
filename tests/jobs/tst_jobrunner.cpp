#include "core/settings.h"
#include "jobs/jobrunner.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPushButton>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

class TestJobRunner : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void batchFileBytes_data();
    void batchFileBytes();
    void debugModeOffRemovesTheBatchFile();
    void staleMarkerAndOldFileModes();
    void waitEndsWhenTheScriptDies();
    void userStopsWaiting();
    void stoppedBeforeTheScriptBegan();
    void secondJobIsRefused();
    void anotherInstanceInTheSameDirectoryIsRefused();
    void batchFileReplacedAfterItsWriteIsNotRun();
    void batchFileReplacedAfterTheStartIsRefused();
    void notStarted_data();
    void notStarted();
    void bareWaitEndsOnTheMarker();
    void terminalGetsTheInterpreter();
    void outsideProgramStartsWithoutAShell();

private:
    QString file(const QString &name) const { return m_work->file(name); }
    QByteArray bytes(const QString &name) const { return m_work->bytes(name); }
    QByteArray log() const { return bytes(QStringLiteral("log")); }
    static QPushButton *stopButton()
    {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("jobWaitWindow") && w->isVisible())
                return w->findChild<QPushButton *>(QStringLiteral("stopWaitingButton"));
        }
        return nullptr;
    }

    std::unique_ptr<FakePgpWorkspace> m_work;
};

void TestJobRunner::initTestCase()
{
    MessageBox::setTestMode(true);
}

void TestJobRunner::init()
{
    ResetState();
    MessageBox::clearShown();
    m_work = std::make_unique<FakePgpWorkspace>(FAKE_PGP);
    QVERIFY(m_work->entered());
}

void TestJobRunner::cleanup()
{
    m_work.reset();
    QVERIFY(!JobRunning());
    QVERIFY(stopButton() == nullptr);
}

void TestJobRunner::batchFileBytes_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("tail");
    QTest::addColumn<QByteArray>("onDisk");
    QTest::addColumn<QByteArray>("engineArgs");
    QTest::newRow("encryption")
        << QString::fromUtf8("@ECHO OFF\nPGP.EXE -ea \"my file.txt\" J\u00fcrgen -u Me ")
        << QString::fromLatin1(kJobTail)
        << QByteArray("@ECHO OFF\r\nPGP.EXE -ea \"my file.txt\" J\xc3\xbcrgen -u Me \r\n"
                      "DEL zorvex$$.tmp")
        << QByteArray("-ea\nmy file.txt\nJ\xc3\xbcrgen\n-u\nMe\n=====\n");
    QTest::newRow("key command")
        << QStringLiteral("@ECHO OFF\nPGP.EXE -kx Jane keyfile ")
        << QString::fromLatin1(kKeyJobTail)
        << QByteArray("@ECHO OFF\r\nPGP.EXE -kx Jane keyfile \r\nDEL zorvex$$.tmp\r\nPAUSE")
        << QByteArray("-kx\nJane\nkeyfile\n=====\n");
}

void TestJobRunner::batchFileBytes()
{
    QFETCH(QString, script);
    QFETCH(QString, tail);
    QFETCH(QByteArray, onDisk);
    QFETCH(QByteArray, engineArgs);
    RuntimeOptions().DebugMode = 1;
    JobScript() = script;
    QCOMPARE(RunJobScript(tail), JobOutcome::Finished);
    QCOMPARE(bytes(QString::fromLatin1(kJobBatchFile)), onDisk);
    QCOMPARE(JobScript(), script + tail);
    QCOMPARE(log(), engineArgs);
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestJobRunner::debugModeOffRemovesTheBatchFile()
{
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobBatchFile))));
    QCOMPARE(log(), QByteArray("-kv\n=====\n"));
}

void TestJobRunner::staleMarkerAndOldFileModes()
{
    for (const char *name : {kJobMarkerFile, kJobBatchFile}) {
        QFile f(file(QString::fromLatin1(name)));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("left over from an earlier run");
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup |
                                 QFile::ReadOther));
    }
    RuntimeOptions().DebugMode = 1;
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QFile batch(file(QString::fromLatin1(kJobBatchFile)));
    QCOMPARE(batch.permissions() & ~(QFile::ReadUser | QFile::WriteUser),
             QFile::ReadOwner | QFile::WriteOwner);
    QCOMPARE(bytes(QString::fromLatin1(kJobBatchFile)),
             QByteArray("@ECHO OFF\r\nPGP.EXE -kv \r\nDEL zorvex$$.tmp"));
}

void TestJobRunner::waitEndsWhenTheScriptDies()
{
    // The engine kills the interpreter before the DEL line, as closing the terminal would.
    qputenv("FAKE_PGP_KILL_PARENT", "1");
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -d secret.pgp ");
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::ScriptEnded);
    QVERIFY2(timer.elapsed() < 2500, qPrintable(QString::number(timer.elapsed())));
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
    QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("did not finish")));
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobBatchFile))));
}

void TestJobRunner::userStopsWaiting()
{
    qputenv("FAKE_PGP_SLEEP_MS", "1500");
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kg ");
    bool clicked = false;
    QTimer::singleShot(300, this, [&] {
        QVERIFY(JobRunning());
        if (QPushButton *stop = stopButton()) {
            stop->click();
            clicked = true;
        }
    });
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Stopped);
    QVERIFY(clicked);
    QVERIFY(timer.elapsed() < 1200);
    QVERIFY(MessageBox::shown().isEmpty());

    // Its script still runs and would delete the next job's marker: no new job yet.
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Busy);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("stopped waiting for")));

    // Once it has ended, jobs run again.
    QTRY_VERIFY_WITH_TIMEOUT(JobGuard(nullptr, true).acquired(), 5000);
    QVERIFY(MessageBox::shown().size() == 1);
    qunsetenv("FAKE_PGP_SLEEP_MS");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
    QVERIFY(log().endsWith("-kv\n=====\n"));
}

// The user stops waiting while the terminal is still opening: the script has not taken its
// lock yet, but it may run (if it opened its batch file in time), and its DEL line would take
// the next job's marker. It counts as running until the process started for it is gone.
void TestJobRunner::stoppedBeforeTheScriptBegan()
{
    QFile slow(file(QStringLiteral("slowterm")));
    QVERIFY(slow.open(QIODevice::WriteOnly));
    slow.write("#!/bin/sh\nshift\nsleep 1\nexec \"$@\"\n");
    slow.close();
    QVERIFY(slow.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    const QByteArray terminal = qgetenv("ZORVEX_TERMINAL");
    qputenv("ZORVEX_TERMINAL", QFile::encodeName(slow.fileName()));
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kg ");
    QTimer::singleShot(100, this, [] {
        if (QPushButton *stop = stopButton())
            stop->click();
    });
    const JobOutcome stopped = RunJobScript(QString::fromLatin1(kJobTail));
    qputenv("ZORVEX_TERMINAL", terminal);
    QCOMPARE(stopped, JobOutcome::Stopped);

    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Busy);
    QTRY_VERIFY_WITH_TIMEOUT(JobGuard(nullptr, true).acquired(), 10000);
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
}

void TestJobRunner::secondJobIsRefused()
{
    qputenv("FAKE_PGP_SLEEP_MS", "800");
    RuntimeOptions().DebugMode = 1;
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE first ");
    JobOutcome second = JobOutcome::Finished;
    QByteArray batchDuring;
    QByteArray batchAfter;
    bool markerAfter = false;
    QTimer::singleShot(300, this, [&] {
        batchDuring = bytes(QString::fromLatin1(kJobBatchFile));
        JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE second ");
        second = RunJobScript(QString::fromLatin1(kKeyJobTail));
        batchAfter = bytes(QString::fromLatin1(kJobBatchFile));
        markerAfter = QFile::exists(file(QString::fromLatin1(kJobMarkerFile)));
    });
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
    QCOMPARE(second, JobOutcome::Busy);
    QCOMPARE(batchDuring, QByteArray("@ECHO OFF\r\nPGP.EXE first \r\nDEL zorvex$$.tmp"));
    QCOMPARE(batchAfter, batchDuring);
    QVERIFY(markerAfter);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(
        MessageBox::shown().first().text.contains(QLatin1String("Another job is still running")));
    QCOMPARE(log(), QByteArray("first\n=====\n"));
}

void TestJobRunner::anotherInstanceInTheSameDirectoryIsRefused()
{
    // Another instance's job holds the directory's lock on a file of its own.
    const QByteArray lock = QFile::encodeName(file(QString::fromLatin1(kJobLockFile)));
    const int other = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    QVERIFY(other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) == 0);
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE mine ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Busy);
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobBatchFile))));
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("another window")));

    // A lock file of another user's: said once, naming the owner.
    if (::geteuid() == 0) {
        MessageBox::clearShown();
        QVERIFY(::fchown(other, 65534, 65534) == 0);
        QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Busy);
        QCOMPARE(MessageBox::shown().size(), 1);
        QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("another user")));
        QVERIFY(::fchown(other, 0, 0) == 0);
    }

    ::close(other); // that job has ended
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE mine ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::Finished);
    QCOMPARE(log(), QByteArray("mine\n=====\n"));
    QVERIFY(!QFile::exists(QFile::decodeName(lock))); // nothing left behind
}

// The user's own file with another script, renamed into place between the write and the start.
void TestJobRunner::batchFileReplacedAfterItsWriteIsNotRun()
{
    JobGuard guard;
    QVERIFY(guard.acquired());
    const QString batch = file(QString::fromLatin1(kJobBatchFile));
    QVERIFY(WriteJobFile(batch, "PGP.EXE mine"));
    QVERIFY(WriteJobFile(file(QStringLiteral("other")), "PGP.EXE planted"));
    QVERIFY(CreateJobMarker());
    QVERIFY(::rename(QFile::encodeName(file(QStringLiteral("other"))).constData(),
                     QFile::encodeName(batch).constData()) == 0);
    QVERIFY(!StartBatchFile(QString::fromLatin1(kJobBatchFile), 1));
    QVERIFY(MessageBox::shown().value(0).text.contains(QLatin1String("replaced")));
}

void TestJobRunner::batchFileReplacedAfterTheStartIsRefused()
{
    // A terminal stand-in that puts another file in place before the interpreter opens it.
    QFile terminal(file(QStringLiteral("swapterm")));
    QVERIFY(terminal.open(QIODevice::WriteOnly));
    terminal.write("#!/bin/sh\nshift\necho 'PGP.EXE planted' > other\nmv other zorvex5.bat\n"
                   "exec \"$@\"\n");
    terminal.close();
    QVERIFY(terminal.setPermissions(QFile::ReadOwner | QFile::ExeOwner));
    qputenv("ZORVEX_TERMINAL", QFile::encodeName(terminal.fileName()));
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE mine ");
    QCOMPARE(RunJobScript(QString::fromLatin1(kJobTail)), JobOutcome::ScriptEnded);
    qputenv("ZORVEX_TERMINAL", "none");
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY2(MessageBox::shown().first().text.contains(QLatin1String("batch file was replaced")),
             qPrintable(MessageBox::shown().first().text));
    QVERIFY(!log().contains("planted") && !log().contains("mine"));
}

void TestJobRunner::notStarted_data()
{
    QTest::addColumn<QByteArray>("terminal");
    QTest::addColumn<bool>("hideInterpreter");
    QTest::addColumn<QString>("says");
    QTest::newRow("no terminal") << QByteArray("/nonexistent/terminal --flag") << false
                                 << QStringLiteral("/nonexistent/terminal");
    QTest::newRow("no zorvex-cmd")
        << QByteArray("none") << true << QStringLiteral("zorvex-cmd was not found");
}

void TestJobRunner::notStarted()
{
    QFETCH(QByteArray, terminal);
    QFETCH(bool, hideInterpreter);
    QFETCH(QString, says);
    const QByteArray tools = qgetenv("ZORVEX_TOOLS_DIR");
    const QByteArray path = qgetenv("PATH");
    qputenv("ZORVEX_TERMINAL", terminal);
    if (hideInterpreter) {
        qputenv("ZORVEX_TOOLS_DIR", QFile::encodeName(m_work->path()));
        qputenv("PATH", QFile::encodeName(m_work->path()));
    }
    JobScript() = QStringLiteral("@ECHO OFF\nPGP.EXE -kv ");
    QElapsedTimer timer;
    timer.start();
    const JobOutcome outcome = RunJobScript(QString::fromLatin1(kJobTail));
    qputenv("ZORVEX_TOOLS_DIR", tools);
    qputenv("PATH", path);
    QCOMPARE(outcome, JobOutcome::NotStarted);
    QVERIFY(timer.elapsed() < 1000);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
    QVERIFY2(MessageBox::shown().first().text.contains(says),
             qPrintable(MessageBox::shown().first().text));
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobBatchFile))));
}

void TestJobRunner::bareWaitEndsOnTheMarker()
{
    QFile marker(file(QString::fromLatin1(kJobMarkerFile)));
    QVERIFY(marker.open(QIODevice::WriteOnly));
    marker.close();
    QTimer::singleShot(200, this, [&] { QVERIFY(marker.remove()); });
    QElapsedTimer timer;
    timer.start();
    QCOMPARE(WaitForJob(), JobOutcome::Finished);
    QVERIFY(timer.elapsed() >= 190);
    QVERIFY(timer.elapsed() < 1000);
}

void TestJobRunner::terminalGetsTheInterpreter()
{
    // The fake engine stands in for the terminal program and records how it was called.
    qputenv("ZORVEX_TERMINAL", QByteArray(FAKE_PGP) + " --title \"Zorvex job\"");
    const LaunchResult launched = LaunchBatchFile(QStringLiteral("update.bat"), 2);
    QVERIFY2(launched.started, qPrintable(launched.error));
    QVERIFY(!launched.withoutTerminal);
    QTRY_VERIFY(log().endsWith("=====\n"));
    const QByteArray expected = "--title\nZorvex job\n-e\n" + qgetenv("ZORVEX_TOOLS_DIR") +
                                "/zorvex-cmd\n" +
                                QFile::encodeName(file(QStringLiteral("update.bat"))) + "\n=====\n";
    QCOMPARE(log(), expected);
}

void TestJobRunner::outsideProgramStartsWithoutAShell()
{
    const LaunchResult launched = LaunchProgram(
        QStringLiteral("\"%1\" \"my notes.txt\" $HOME;touch\\ x").arg(QStringLiteral(FAKE_PGP)));
    QVERIFY2(launched.started, qPrintable(launched.error));
    QTRY_VERIFY(log().endsWith("=====\n"));
    QCOMPARE(log(), QByteArray("my notes.txt\n$HOME;touch\\\nx\n=====\n"));
    QVERIFY(!LaunchProgram(QStringLiteral("   ")).started);
    QVERIFY(!LaunchProgram(QStringLiteral("/nonexistent/editor file")).started);
}

QTEST_MAIN(TestJobRunner)
#include "tst_jobrunner.moc"
