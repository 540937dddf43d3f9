#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "jobs/decryptjob.h"
#include "jobs/encryptjob.h"
#include "jobs/jobrunner.h"
#include "keys/keyjob.h"
#include "keys/keyrefresh.h"
#include "platform/launcher.h"
#include "platform/messagebox.h"
#include "testsupport.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

// How a job ends reaches the user: the interpreter's result file, a failing engine's words in
// a message box for every kind of job, and plaintext work files that never outlive a job.
class TestJobOutcomes : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void resultChannel_data();
    void resultChannel();
    void failingEngineIsReported_data();
    void failingEngineIsReported();
    void successNamesTheOutput();
    void markerRemovedByOthersIsNoSuccess();
    void stoppedClipboardJobLeavesNoPlaintext();
    void directoryJobLeavesNoPassPhrase();
    void leftoversOfAKilledProgramGoAtStart();

private:
    QString file(const QString &name) const { return m_work->file(name); }
    void touch(const QString &name) const
    {
        QFile f(file(name));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("data");
    }

    std::unique_ptr<FakePgpWorkspace> m_work;
};

void TestJobOutcomes::initTestCase()
{
    MessageBox::setTestMode(true);
}

void TestJobOutcomes::init()
{
    ResetState();
    MessageBox::clearShown();
    m_work = std::make_unique<FakePgpWorkspace>(FAKE_PGP);
    QVERIFY(m_work->entered());
}

void TestJobOutcomes::cleanup()
{
    SetJobStatusSink({});
    m_work.reset();
    QVERIFY(!JobRunning());
}

// zorvex-cmd's records read back by the program's reader. Knobs: "NAME=value;..." for the
// fake engine; ends: one "exit:N", "signal:N" or "unstarted" a step.
void TestJobOutcomes::resultChannel_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<QString>("knobs");
    QTest::addColumn<QStringList>("ends");
    QTest::addColumn<QString>("firstCommand");
    QTest::addColumn<QString>("tail"); // of the failed step, or of the first one
    QTest::addColumn<bool>("held");    // "Press any key to close" after the last line

    QTest::newRow("success names its output")
        << QByteArray("@ECHO OFF\r\nPGP.EXE -esa \"my file.txt\" Jane \r\nDEL zorvex$$.tmp")
        << "FAKE_PGP_ERROR=Ciphertext file: my file.asc" << QStringList{"exit:0"}
        << "PGP.EXE -esa \"my file.txt\" Jane"
        << "Ciphertext file: my file.asc" << false;
    QTest::newRow("one of two steps fails, pass phrase masked")
        << QByteArray("@ECHO OFF\r\nPGP.EXE -cw a.txt -z s3cret \r\nPGP.EXE -cw b.txt -z s3cret "
                      "\r\ndel zorvex$$.tmp \r\n")
        << "FAKE_PGP_FAIL_ON=b.txt;FAKE_PGP_EXIT=2;FAKE_PGP_ERROR=File 'b.txt' does not exist."
        << QStringList{"exit:0", "exit:2"} << "PGP.EXE -cw a.txt -z ********"
        << "File 'b.txt' does not exist." << true;
    QTest::newRow("engine crashes")
        << QByteArray("PGP.EXE -kv > keys.$$$\r\ndel zorvex$$.tmp") << "FAKE_PGP_CRASH=1"
        << QStringList{"signal:6"} << "PGP.EXE -kv"
        << "" << true;
    QTest::newRow("engine missing")
        << QByteArray("@ECHO OFF\r\nPGP.EXE -kg\r\nDEL zorvex$$.tmp\r\nPAUSE")
        << "ZORVEX_PGP=/nonexistent/engine" << QStringList{"unstarted"} << "PGP.EXE -kg"
        << "'PGP.EXE' could not be run (/nonexistent/engine: No such file or directory)" << true;
}

void TestJobOutcomes::resultChannel()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, knobs);
    QFETCH(QStringList, ends);
    QFETCH(QString, firstCommand);
    QFETCH(QString, tail);
    QFETCH(bool, held);

    QFile batch(file("job.bat"));
    QVERIFY(batch.open(QIODevice::WriteOnly));
    batch.write(script);
    batch.close();
    QVERIFY(WriteJobFile(file("results"), QByteArray()));

    QProcess cmd;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const QString &knob : knobs.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        env.insert(knob.section(QLatin1Char('='), 0, 0), knob.section(QLatin1Char('='), 1));
    cmd.setProcessEnvironment(env);
    cmd.setStandardInputFile(QProcess::nullDevice());
    cmd.start(FindBatchInterpreter(),
              {QStringLiteral("--results=") + file("results"), file("job.bat")});
    QVERIFY(cmd.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(cmd.readAllStandardOutput()).contains("Press any key to close"),
             held);

    QFile written(file("results"));
    QVERIFY(written.open(QIODevice::ReadOnly));
    const JobResults results = ParseJobResults(written.readAll());
    QVERIFY(results.valid);
    QCOMPARE(results.total, ends.size());
    QStringList seen;
    for (const StepResult &step : results.steps) {
        seen << (step.end == StepResult::End::Exited ? QStringLiteral("exit:%1").arg(step.value)
                 : step.end == StepResult::End::Signalled
                     ? QStringLiteral("signal:%1").arg(step.value)
                 : step.end == StepResult::End::NotStarted ? QStringLiteral("unstarted")
                                                           : QStringLiteral("running"));
    }
    QCOMPARE(seen, ends);
    QCOMPARE(results.steps.first().command, firstCommand);
    const QList<const StepResult *> failed = results.failures();
    QCOMPARE(failed.isEmpty(), !held);
    QCOMPARE((failed.isEmpty() ? &results.steps.first() : failed.first())->tail, tail);
}

// One end-to-end run of each kind of job with an engine that fails: the user reads the
// engine's own words in a message box that names the job, and nothing is called done.
void TestJobOutcomes::failingEngineIsReported_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("jobName");
    QTest::newRow("file encryption") << 0 << "Encryption of missing.txt";
    QTest::newRow("file decryption") << 1 << "Decryption of missing.pgp";
    QTest::newRow("clipboard") << 2 << "Encryption of cliptxt.txt";
    QTest::newRow("directory") << 3 << "x.txt: PGP failed (exit code 2)";
    QTest::newRow("key command") << 4 << "Adding keys";
    QTest::newRow("key list refresh") << 5 << "Key list refresh";
}

void TestJobOutcomes::failingEngineIsReported()
{
    QFETCH(int, kind);
    QFETCH(QString, jobName);
    const QString words = QStringLiteral("File 'missing.txt' does not exist.");
    qputenv("FAKE_PGP_ERROR", words.toUtf8());
    qputenv("FAKE_PGP_EXIT", "2");
    QStringList status;
    SetJobStatusSink([&status](const QString &text) { status << text; });
    m_work->settings().write("[Keys]\r\nNumbrOfKeys=1\r\nKey1=1024/0000ABCD Jane\r\n");

    JobOutcome outcome = JobOutcome::Finished;
    QPlainTextEdit editor;
    switch (kind) {
    case 0:
        outcome = ComposeEncryptJob(QStringLiteral("missing.txt"), QString(), 0, 0, 0, 0, 0,
                                    QStringLiteral("Jane"), QString(), nullptr);
        break;
    case 1:
        outcome = ComposeDecryptJob(0, QStringLiteral("missing.pgp"), QString(), nullptr);
        break;
    case 2: {
        State().ClipboardMode = 1;
        editor.setPlainText(QStringLiteral("secret text"));
        QTimer::singleShot(0, this, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (auto *d = qobject_cast<CClipboardOpsDlg *>(w); d && d->isVisible()) {
                    d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
                    // The failure keeps the dialog for another try; the user gives up.
                    QVERIFY(d->isVisible());
                    d->reject();
                }
            }
        });
        QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NotRun);
        QCOMPARE(editor.toPlainText(), QStringLiteral("secret text"));
        QVERIFY(!QFile::exists(file("cliptxt.txt")));
        outcome = JobOutcome::Failed;
        break;
    }
    case 3:
        QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("dir")));
        QVERIFY(QFile(file("dir/x.txt")).open(QIODevice::WriteOnly));
        outcome = RunBulkJob(BulkMode::Encrypt, file("dir"), "pw", "pw", nullptr);
        break;
    case 4:
        outcome = ComposeKeyJob(KeyAction::AddKey, QString(), QStringLiteral("keys.asc"), QString(),
                                QString(), nullptr);
        break;
    case 5:
        outcome = RefreshKeyNames(nullptr);
        // The names cached before stay: a failed listing is not taken for an empty keyring.
        QVERIFY(m_work->settings().read().contains("Key1=1024/0000ABCD Jane"));
        break;
    }
    QCOMPARE(outcome, JobOutcome::Failed);
    QVERIFY(status.isEmpty());
    const MessageBox::Shown &box = MessageBox::shown().last();
    QVERIFY2(box.text.contains(jobName), qPrintable(box.text));
    QVERIFY2(box.text.contains(words), qPrintable(box.text));
    QVERIFY(!box.text.contains(QLatin1String("complete")));
    QVERIFY(box.icon == MessageBox::Icon::Stop || box.icon == MessageBox::Icon::Warning);
}

void TestJobOutcomes::successNamesTheOutput()
{
    qputenv("FAKE_PGP_ERROR", "Plaintext filename: report");
    QStringList status;
    SetJobStatusSink([&status](const QString &text) { status << text; });
    QCOMPARE(ComposeDecryptJob(0, QStringLiteral("report.pgp"), QString(), nullptr),
             JobOutcome::Finished);
    QCOMPARE(status, QStringList{QStringLiteral("Decryption of report.pgp done: wrote report.")});
    QVERIFY(MessageBox::shown().isEmpty());
}

// The engine itself removes the marker while the script still has its DEL line to run: the
// listing it leaves behind is not taken for the keyring, and the user hears why.
void TestJobOutcomes::markerRemovedByOthersIsNoSuccess()
{
    m_work->settings().write("[Keys]\r\nNumbrOfKeys=1\r\nKey1=1024/0000ABCD Jane\r\n");
    qputenv("FAKE_PGP_UNLINK", kJobMarkerFile);
    const JobOutcome outcome = RefreshKeyNames(nullptr);
    QVERIFY(outcome != JobOutcome::Finished);
    QVERIFY(m_work->settings().read().contains("Key1=1024/0000ABCD Jane"));
    QVERIFY(!MessageBox::shown().isEmpty());
    const QString text = MessageBox::shown().last().text;
    QVERIFY2(text.contains(QLatin1String("Key list refresh")) &&
                 text.contains(QLatin1String("was removed before the job ended")),
             qPrintable(text));

    // The same job whose own DEL line removes the marker is done.
    qunsetenv("FAKE_PGP_UNLINK");
    QCOMPARE(RefreshKeyNames(nullptr), JobOutcome::Finished);
}

void TestJobOutcomes::stoppedClipboardJobLeavesNoPlaintext()
{
    // The engine is still at work when the user stops waiting, and writes its result after.
    qputenv("FAKE_PGP_SLEEP_MS", "1500");
    qputenv("FAKE_PGP_CREATE", "cliptxt.asc");
    State().ClipboardMode = 0;
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("-----BEGIN PGP MESSAGE-----"));
    QTimer::singleShot(0, this, [this] {
        // Armed first: OK returns only when the job is over.
        QTimer::singleShot(300, this, [] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == QLatin1String("jobWaitWindow") && w->isVisible())
                    w->findChild<QPushButton *>(QStringLiteral("stopWaitingButton"))->click();
            }
        });
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<CClipboardOpsDlg *>(w); d && d->isVisible())
                d->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        }
    });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NotRun);
    QVERIFY(MessageBox::shown().last().text.contains(QLatin1String("cliptxt.asc")));
    QVERIFY(m_work->settings().read(QStringLiteral("workfiles")).contains("cliptxt.asc"));
    // Once its script has ended, its work files are gone.
    QTRY_VERIFY_WITH_TIMEOUT(JobGuard(nullptr, true).acquired(), 10000);
    QVERIFY(!QFile::exists(file("cliptxt.asc")));
    QVERIFY(!QFile::exists(file("cliptxt.txt")));
    QVERIFY(!QFile::exists(m_work->settings().path(QStringLiteral("workfiles"))));
}

// bulke.bat holds the pass phrase. This engine never wipes it, and its wipe call even crashes:
// the program removes it once the script is over, also when the user stopped waiting for it,
// and the directory stays locked against other instances until then.
void TestJobOutcomes::directoryJobLeavesNoPassPhrase()
{
    QVERIFY(QDir(m_work->path()).mkdir(QStringLiteral("dir")));
    touch(QStringLiteral("dir/x.txt"));
    qputenv("FAKE_PGP_FAIL_ON", "bulke.bat");
    qputenv("FAKE_PGP_CRASH", "1");
    QCOMPARE(RunBulkJob(BulkMode::Encrypt, file("dir"), "pw", "pw", nullptr), JobOutcome::Finished);
    QVERIFY(!QFile::exists(file("dir/bulke.bat")));

    qunsetenv("FAKE_PGP_CRASH");
    qputenv("FAKE_PGP_SLEEP_MS", "1500");
    QTimer::singleShot(300, this, [&] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (w->objectName() == QLatin1String("jobWaitWindow") && w->isVisible())
                w->findChild<QPushButton *>(QStringLiteral("stopWaitingButton"))->click();
        }
    });
    QCOMPARE(RunBulkJob(BulkMode::Encrypt, file("dir"), "pw", "pw", nullptr), JobOutcome::Stopped);
    const int other = ::open(QFile::encodeName(file("dir/zorvex5.lck")).constData(), O_RDWR);
    const bool lockHeld = other >= 0 && ::flock(other, LOCK_EX | LOCK_NB) != 0;
    ::close(other);
    QVERIFY(lockHeld);
    QTRY_VERIFY_WITH_TIMEOUT(JobGuard(nullptr, true).acquired(), 10000);
    QVERIFY(!QFile::exists(file("dir/bulke.bat")));
    QVERIFY(!QFile::exists(file("dir/zorvex5.lck")));
}

void TestJobOutcomes::leftoversOfAKilledProgramGoAtStart()
{
    touch(QStringLiteral("cliptxt.txt"));
    touch(QStringLiteral("kept.txt"));
    // The process id of a program that has ended.
    QProcess gone;
    gone.start(QStringLiteral("true"));
    const QByteArray dead = QByteArray::number(gone.processId());
    QVERIFY(gone.waitForFinished());
    m_work->settings().write(dead + ' ' + QFile::encodeName(file("cliptxt.txt")) + "\n" + dead +
                                 ' ' + QFile::encodeName(file("cliptxt.asc")) + "\n",
                             QStringLiteral("workfiles"));
    // The engine temporaries a killed interpreter listed: only such names go.
    touch(QStringLiteral(".zorvex-pgp-left"));
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", QFile::encodeName(file(QString())));
    QFile list(file(QStringLiteral("zorvex-cmd-temps-x")));
    QVERIFY(list.open(QIODevice::WriteOnly));
    list.write(QFile::encodeName(file(".zorvex-pgp-left") + '\n' + file("kept.txt") + '\n'));
    list.close();
    QCOMPARE(RemoveLeftoverWorkFiles(),
             (QStringList{file("cliptxt.txt"), file(QStringLiteral(".zorvex-pgp-left"))}));
    qputenv("XDG_RUNTIME_DIR", runtime);
    QVERIFY(!QFile::exists(list.fileName()));
    QVERIFY(!QFile::exists(file("cliptxt.txt")));
    QVERIFY(QFile::exists(file("kept.txt")));
    QVERIFY(!QFile::exists(m_work->settings().path(QStringLiteral("workfiles"))));
}

QTEST_MAIN(TestJobOutcomes)
#include "tst_joboutcomes.moc"
