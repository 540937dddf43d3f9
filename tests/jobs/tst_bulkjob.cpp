#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "platform/messagebox.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using Shown = MessageBox::Shown;
using Icon = MessageBox::Icon;

// What the launcher found when the run handed it the batch file.
struct LaunchSeen
{
    int calls = 0;
    QString batchFile;
    int showState = -1;
    QString directory;
    QByteArray script;
    bool markerPresent = false;
    bool markerNotOlder = false;
    mode_t batchMode = 0;
};

class TestBulkJob : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void entryArgument_data();
    void entryArgument();
    void scriptBytes_data();
    void scriptBytes();
    void singleEntryGivesFourLines();
    void listingSkipsOwnWorkFilesAndUnsafeNames();
    void decryptListsOnlyPgpFiles();
    void run_data();
    void run();
    void failedLaunchRemovesPassPhraseFile();
    void unwritableBatchFileStops();
    void reportNamesEveryEntryLeft_data();
    void reportNamesEveryEntryLeft();

private:
    void launchRecording(JobOutcome outcome);
    QString file(const QString &name) const { return m_target->path() + QLatin1Char('/') + name; }
    void touch(const QString &name, const QByteArray &bytes = "x");
    QStringList texts() const;

    std::optional<QTemporaryDir> m_home;
    std::optional<QTemporaryDir> m_target;
    QString m_startDir;
    LaunchSeen m_seen;
};

void TestBulkJob::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    m_startDir = QDir::currentPath();
    m_home.emplace();
    m_target.emplace();
    // The program starts somewhere other than the directory it processes.
    QVERIFY(QDir::setCurrent(m_home->path()));
    m_seen = {};
    launchRecording(JobOutcome::Finished);
}

void TestBulkJob::cleanup()
{
    QDir::setCurrent(m_startDir);
    // By bytes: QDir cannot remove a name that is not UTF-8.
    std::error_code ignored;
    std::filesystem::remove_all(QFile::encodeName(m_target->path()).toStdString(), ignored);
    m_target.reset();
    m_home.reset();
    BulkJobLauncher() = [](const QString &, int, QWidget *) { return BulkRun(); };
}

void TestBulkJob::launchRecording(JobOutcome outcome)
{
    BulkJobLauncher() = [this, outcome](const QString &batch, int show, QWidget *) {
        ++m_seen.calls;
        m_seen.batchFile = batch;
        m_seen.showState = show;
        m_seen.directory = QDir::currentPath();
        QFile f(batch);
        if (f.open(QIODevice::ReadOnly))
            m_seen.script = f.readAll();
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(batch).constData(), &st) == 0)
            m_seen.batchMode = st.st_mode & 07777;
        const QFileInfo marker(QString::fromLatin1(kJobMarkerFile));
        m_seen.markerPresent = marker.exists() && marker.size() == 0;
        m_seen.markerNotOlder = marker.lastModified() >= QFileInfo(batch).lastModified();
        if (outcome != JobOutcome::Finished)
            return BulkRun(outcome);
        QFile::remove(QString::fromLatin1(kJobMarkerFile)); // the script's del line
        // Every engine call of the script succeeded.
        QByteArray report("zorvex-results 1\n");
        int step = 0;
        for (const QByteArray &line : m_seen.script.split('\n')) {
            if (!line.contains("PGP.EXE"))
                continue;
            const QByteArray n = QByteArray::number(++step);
            report += "begin " + n + " x\nend " + n + " exit 0 \n";
        }
        return BulkRun(outcome, ParseJobResults(report));
    };
}

void TestBulkJob::touch(const QString &name, const QByteArray &bytes)
{
    QFile f(file(name));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

QStringList TestBulkJob::texts() const
{
    QStringList list;
    for (const Shown &s : MessageBox::shown())
        list << QString::number(int(s.icon)) + QLatin1Char(':') + s.text;
    return list;
}

void TestBulkJob::entryArgument_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("argument");
    QTest::newRow("plain") << "LETTER.DOC" << QByteArray("LETTER.DOC");
    QTest::newRow("long name, no 8.3 form")
        << "annual report 2026.ods" << QByteArray("\"annual report 2026.ods\"");
    QTest::newRow("redirection is quoted") << "a>b" << QByteArray("\"a>b\"");
    QTest::newRow("pipe is quoted") << "a|more" << QByteArray("\"a|more\"");
    QTest::newRow("dash is not an option") << "-kd" << QByteArray("./-kd");
    QTest::newRow("plus is not a setting")
        << "+batchmode=off" << QByteArray("\"./+batchmode=off\"");
    QTest::newRow("non-ASCII as UTF-8")
        << QString::fromUtf8("Brief_\u00e4.txt") << QByteArray("Brief_\xc3\xa4.txt");
    QTest::newRow("double quote cannot be written") << "say \"hi\".txt" << QByteArray();
    QTest::newRow("line break would start a command") << "x\r\ndel y" << QByteArray();
    QTest::newRow("tab is a control character") << "a\tb" << QByteArray();
}

void TestBulkJob::entryArgument()
{
    QFETCH(QString, name);
    QFETCH(QByteArray, argument);
    QCOMPARE(BulkEntryArgument(name), argument);
}

void TestBulkJob::scriptBytes_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QList<QByteArray>>("entries");
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QByteArray>("script");
    QTest::newRow("encrypt two files")
        << int(BulkMode::Encrypt) << QList<QByteArray>{"LETTER.DOC", "BUDGET.XLS"} << "secret"
        << QByteArray("@ECHO OFF\r\n"
                      "PGP.EXE -cw +batchmode +verbose=0 LETTER.DOC -z secret \r\n"
                      "PGP.EXE -cw +batchmode +verbose=0 BUDGET.XLS -z secret \r\n"
                      "del zorvex$$.tmp \r\n"
                      "PGP.EXE -w bulke.bat \r\n");
    QTest::newRow("decrypt, pass phrase with blanks quoted")
        << int(BulkMode::Decrypt) << QList<QByteArray>{"a.pgp", "\"b c.pgp\""} << "two words  here"
        << QByteArray("@ECHO OFF\r\n"
                      "PGP.EXE -p +batchmode +verbose=0 a.pgp -z \"two words  here\" \r\n"
                      "PGP.EXE -p +batchmode +verbose=0 \"b c.pgp\" -z \"two words  here\" \r\n"
                      "del zorvex$$.tmp \r\n"
                      "PGP.EXE -w bulke.bat \r\n");
}

void TestBulkJob::scriptBytes()
{
    QFETCH(int, mode);
    QFETCH(QList<QByteArray>, entries);
    QFETCH(QString, pass);
    QFETCH(QByteArray, script);
    const QByteArray built = ComposeBulkScript(BulkMode(mode), entries, pass);
    QCOMPARE(built, script);
    // Every line, the last included, ends in CR LF and has no bare LF.
    QVERIFY(built.endsWith("\r\n"));
    QCOMPARE(built.count("\n"), built.count("\r\n"));
}

void TestBulkJob::singleEntryGivesFourLines()
{
    touch(QStringLiteral("only.txt"));
    QVERIFY(QDir::setCurrent(m_target->path()));
    const BulkEntries entries = ListBulkEntries(BulkMode::Encrypt);
    QCOMPARE(entries.arguments, QList<QByteArray>{"only.txt"});
    const QByteArray script = ComposeBulkScript(BulkMode::Encrypt, entries.arguments, "p w");
    const QList<QByteArray> lines = script.split('\n');
    QCOMPARE(lines.size(), 5); // four lines and the empty rest after the last CR LF
    QCOMPARE(lines.at(0), QByteArray("@ECHO OFF\r"));
    QCOMPARE(lines.at(1), QByteArray("PGP.EXE -cw +batchmode +verbose=0 only.txt -z \"p w\" \r"));
    QCOMPARE(lines.at(2), QByteArray("del zorvex$$.tmp \r"));
    QCOMPARE(lines.at(3), QByteArray("PGP.EXE -w bulke.bat \r"));
    QVERIFY(lines.at(4).isEmpty());
}

void TestBulkJob::listingSkipsOwnWorkFilesAndUnsafeNames()
{
    touch(QStringLiteral("a.txt"));
    touch(QStringLiteral("with blank.txt"));
    touch(QStringLiteral(".hidden"));
    touch(QStringLiteral("bulke.bat"), "stale pass phrase");
    touch(QStringLiteral("zorvex$$.tmp"), "");
    touch(QStringLiteral("say \"hi\".txt"));
    QVERIFY(QDir(m_target->path()).mkdir(QStringLiteral("sub")));
    QVERIFY(QDir::setCurrent(m_target->path()));
    const BulkEntries entries = ListBulkEntries(BulkMode::Encrypt);
    QList<QByteArray> sorted = entries.arguments;
    std::sort(sorted.begin(), sorted.end());
    QCOMPARE(sorted, (QList<QByteArray>{"\"with blank.txt\"", ".hidden", "a.txt"}));
    QList<BulkLeft> left = entries.left;
    std::sort(left.begin(), left.end(),
              [](const BulkLeft &a, const BulkLeft &b) { return a.name < b.name; });
    QCOMPARE(left,
             (QList<BulkLeft>{{"say \"hi\".txt", "its name cannot be written into the batch file"},
                              {"sub", "it is a subdirectory"}}));
}

void TestBulkJob::decryptListsOnlyPgpFiles()
{
    touch(QStringLiteral("a.pgp"));
    touch(QStringLiteral("B.PGP"));
    touch(QStringLiteral("c.txt"));
    touch(QStringLiteral("d.pgp.txt"));
    QVERIFY(QDir::setCurrent(m_target->path()));
    QList<QByteArray> found = ListBulkEntries(BulkMode::Decrypt).arguments;
    std::sort(found.begin(), found.end());
    QCOMPARE(found, (QList<QByteArray>{"B.PGP", "a.pgp"}));
}

// Every way a run can end, with its messages (icon:text), whether the batch ran, and the
// working directory afterwards.
void TestBulkJob::run_data()
{
    QTest::addColumn<int>("mode");
    QTest::addColumn<QStringList>("files");
    QTest::addColumn<QString>("directory"); // "<target>" is the scratch directory
    QTest::addColumn<QString>("pass");
    QTest::addColumn<QString>("confirm");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QByteArray>("script"); // empty: nothing launched

    const QString info = QString::number(int(Icon::Information)) + QLatin1Char(':');
    const QString stop = QString::number(int(Icon::Stop)) + QLatin1Char(':');
    const QString encStart =
        info + "Bulk encryption starting.  This may take some time. Please wait.";
    const QString decStart =
        info + "Bulk decryption starting.  This may take some time. Please wait.";

    QTest::newRow("encrypt one file")
        << int(BulkMode::Encrypt) << QStringList{"plan.txt"} << "<target>"
        << "pw"
        << "pw"
        << QStringList{encStart,
                       info + "Bulk encryption is complete.\n\n1 of 1 entries were encrypted."}
        << QByteArray("@ECHO OFF\r\nPGP.EXE -cw +batchmode +verbose=0 plan.txt -z pw \r\n"
                      "del zorvex$$.tmp \r\nPGP.EXE -w bulke.bat \r\n");
    QTest::newRow("trailing slash accepted")
        << int(BulkMode::Decrypt) << QStringList{"plan.pgp", "notes.txt"} << "<target>/"
        << "a b"
        << "a b"
        << QStringList{decStart,
                       info + "Bulk decryption is complete.\n\n1 of 1 entries were decrypted."}
        << QByteArray("@ECHO OFF\r\nPGP.EXE -p +batchmode +verbose=0 plan.pgp -z \"a b\" \r\n"
                      "del zorvex$$.tmp \r\nPGP.EXE -w bulke.bat \r\n");
    QTest::newRow("empty pass phrases are equal, and refused")
        << int(BulkMode::Encrypt) << QStringList{"x"} << "<target>"
        << ""
        << ""
        << QStringList{encStart, stop + "Please enter a pass phrase. PGP cannot encrypt or "
                                        "decrypt the files with an empty one."}
        << QByteArray();
    QTest::newRow("left-out name is reported")
        << int(BulkMode::Encrypt) << QStringList{"x", "q\"uote"} << "<target>"
        << "p"
        << "p"
        << QStringList{encStart, QString::number(int(Icon::Warning)) +
                                     ":Bulk encryption has ended, but not every entry was "
                                     "encrypted.\n\n1 of 2 entries were encrypted.\n\nThese "
                                     "entries were left as they were:\nq\"uote: its name cannot be "
                                     "written into the batch file"}
        << QByteArray("@ECHO OFF\r\nPGP.EXE -cw +batchmode +verbose=0 x -z p \r\n"
                      "del zorvex$$.tmp \r\nPGP.EXE -w bulke.bat \r\n");
    QTest::newRow("pass phrases differ in case")
        << int(BulkMode::Encrypt) << QStringList{"x"} << "<target>"
        << "Secret"
        << "secret" << QStringList{encStart, stop + "Pass phrases don't compare.  Try again!"}
        << QByteArray();
    QTest::newRow("nothing to decrypt among other files")
        << int(BulkMode::Decrypt) << QStringList{"a.txt", "b.asc"} << "<target>"
        << "p"
        << "p" << QStringList{decStart, info + "No files to decrypt in this directory"}
        << QByteArray();
    QTest::newRow("empty directory")
        << int(BulkMode::Encrypt) << QStringList{} << "<target>"
        << "p"
        << "p" << QStringList{encStart, info + "No files to encrypt in this directory"}
        << QByteArray();
    QTest::newRow("only stale work files")
        << int(BulkMode::Encrypt) << QStringList{"bulke.bat", "zorvex$$.tmp"} << "<target>"
        << "p"
        << "p" << QStringList{encStart, info + "No files to encrypt in this directory"}
        << QByteArray();
    QTest::newRow("missing directory stops before listing")
        << int(BulkMode::Encrypt) << QStringList{"x"} << "<target>/nowhere"
        << "p"
        << "p"
        << QStringList{encStart, stop + "Cannot open the directory \"<target>/nowhere\". "
                                        "Nothing was encrypted."}
        << QByteArray();
    QTest::newRow("empty directory field")
        << int(BulkMode::Decrypt) << QStringList{"x.pgp"} << ""
        << "p"
        << "p"
        << QStringList{decStart, stop + "Cannot open the directory \"\". Nothing was decrypted."}
        << QByteArray();
}

void TestBulkJob::run()
{
    QFETCH(int, mode);
    QFETCH(QStringList, files);
    QFETCH(QString, directory);
    QFETCH(QString, pass);
    QFETCH(QString, confirm);
    QFETCH(QStringList, messages);
    QFETCH(QByteArray, script);

    for (const QString &name : files)
        touch(name, name == QLatin1String("zorvex$$.tmp") ? "" : "data");
    directory.replace(QLatin1String("<target>"), m_target->path());
    for (QString &m : messages)
        m.replace(QLatin1String("<target>"), m_target->path());

    const JobOutcome outcome = RunBulkJob(BulkMode(mode), directory, pass, confirm, nullptr);

    QCOMPARE(texts(), messages);
    QCOMPARE(QDir::currentPath(), m_home->path());
    if (script.isEmpty()) {
        QCOMPARE(m_seen.calls, 0);
        QVERIFY(outcome != JobOutcome::Finished);
        // A run that stops early leaves no batch file with a pass phrase behind.
        if (!files.contains(QStringLiteral("bulke.bat")))
            QVERIFY(!QFile::exists(file("bulke.bat")));
        return;
    }
    QVERIFY(outcome == JobOutcome::Finished || outcome == JobOutcome::Failed);
    QCOMPARE(m_seen.calls, 1);
    QCOMPARE(m_seen.batchFile, QStringLiteral("bulke.bat"));
    QCOMPARE(m_seen.showState, 1);
    QCOMPARE(QDir(m_seen.directory).canonicalPath(), QDir(m_target->path()).canonicalPath());
    QCOMPARE(m_seen.script, script);
    QCOMPARE(m_seen.batchMode, mode_t(0600));
    QVERIFY(m_seen.markerPresent);
    QVERIFY(m_seen.markerNotOlder);
}

void TestBulkJob::failedLaunchRemovesPassPhraseFile()
{
    touch(QStringLiteral("x"));
    for (const JobOutcome outcome :
         {JobOutcome::NotStarted, JobOutcome::ScriptEnded, JobOutcome::Stopped}) {
        MessageBox::clearShown();
        launchRecording(outcome);
        QCOMPARE(RunBulkJob(BulkMode::Encrypt, m_target->path(), "pw", "pw", nullptr), outcome);
        QVERIFY(!QFile::exists(file("bulke.bat")));
        QVERIFY(!QFile::exists(file("zorvex$$.tmp")));
        QCOMPARE(QDir::currentPath(), m_home->path());
        // Only the starting message: the runner reports its own failures.
        QCOMPARE(MessageBox::shown().size(), 1);
    }
}

void TestBulkJob::unwritableBatchFileStops()
{
    touch(QStringLiteral("x"));
    // A link in place of the batch file must not carry the pass phrase elsewhere.
    const QString elsewhere = m_home->path() + QStringLiteral("/elsewhere");
    QVERIFY(QFile::link(elsewhere, file("bulke.bat")));
    RunBulkJob(BulkMode::Encrypt, m_target->path(), "pw", "pw", nullptr);
    QCOMPARE(MessageBox::shown().last().icon, Icon::Stop);
    QCOMPARE(MessageBox::shown().last().text, QStringLiteral("Cannot open batch file, aborting"));
    QCOMPARE(m_seen.calls, 0);
    QVERIFY(!QFile::exists(elsewhere));
    QVERIFY(!QFile::exists(file("zorvex$$.tmp")));
    QCOMPARE(QDir::currentPath(), m_home->path());
}

// Entries the engine would refuse are found before anything is written, the user decides
// whether to go on without them, and the report names every entry left and why.
void TestBulkJob::reportNamesEveryEntryLeft_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("go on without them") << int(QMessageBox::Yes);
    QTest::newRow("stop") << int(QMessageBox::No);
}

void TestBulkJob::reportNamesEveryEntryLeft()
{
    QFETCH(int, answer);
    for (const char *name : {"x.txt", "x.md", "ok.txt", "bad.txt", "y.txt", "y.pgp"})
        touch(QString::fromLatin1(name));
    QVERIFY(QDir(m_target->path()).mkdir(QStringLiteral("sub")));
    const QByteArray unreadable = QFile::encodeName(m_target->path()) + "/caf\xe9.txt";
    const int fd = ::open(unreadable.constData(), O_CREAT | O_WRONLY, 0600);
    QVERIFY(fd >= 0);
    ::close(fd);
    // The engine refuses bad.txt.
    BulkJobLauncher() = [this](const QString &batch, int, QWidget *) {
        ++m_seen.calls;
        QFile f(batch);
        if (f.open(QIODevice::ReadOnly))
            m_seen.script = f.readAll();
        QFile::remove(QString::fromLatin1(kJobMarkerFile));
        QByteArray report("zorvex-results 1\n");
        int step = 0;
        for (const QByteArray &line : m_seen.script.split('\n')) {
            if (!line.contains("PGP.EXE -cw"))
                continue;
            const QByteArray n = QByteArray::number(++step);
            report +=
                "begin " + n + " x\nend " + n +
                (line.contains("bad.txt") ? " exit 3 Cannot%20read%20'bad.txt'.\n" : " exit 0 \n");
        }
        return BulkRun(JobOutcome::Finished, ParseJobResults(report));
    };
    MessageBox::setNextAnswer(QMessageBox::Ok); // the starting message
    MessageBox::setNextAnswer(QMessageBox::StandardButton(answer));

    const JobOutcome outcome = RunBulkJob(BulkMode::Encrypt, m_target->path(), "pw", "pw", nullptr);

    const QString question = MessageBox::shown().at(1).text;
    QVERIFY(question.contains("x.txt: its output name x.pgp is taken by another entry"));
    QVERIFY(question.contains("x.md: its output name x.pgp is taken by another entry"));
    QVERIFY(question.contains("y.txt: its output name y.pgp is taken by another entry"));
    QVERIFY(question.contains("y.pgp: its output name y.pgp is its own name"));
    if (answer == QMessageBox::No) {
        QCOMPARE(outcome, JobOutcome::NotStarted);
        QCOMPARE(m_seen.calls, 0);
        QVERIFY(!QFile::exists(file("bulke.bat")));
        return;
    }
    QCOMPARE(outcome, JobOutcome::Failed);
    QVERIFY(!m_seen.script.contains("x.txt") && !m_seen.script.contains("sub"));
    const Shown report = MessageBox::shown().last();
    QCOMPARE(report.icon, Icon::Warning);
    QVERIFY2(report.text.contains("1 of 8 entries were encrypted."), qPrintable(report.text));
    for (const QString &line :
         {QStringLiteral("x.txt: its output name x.pgp is taken by another entry"),
          QStringLiteral("sub: it is a subdirectory"),
          QString::fromUtf8("caf\ufffd.txt: its name cannot be read"),
          QStringLiteral("bad.txt: PGP failed (exit code 3): Cannot read 'bad.txt'.")})
        QVERIFY2(report.text.contains(line), qPrintable(line));
    QVERIFY(!report.text.contains(QLatin1String("complete")));
}

QTEST_GUILESS_MAIN(TestBulkJob)
#include "tst_bulkjob.moc"
