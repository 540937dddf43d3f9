#include "core/jobresult.h"
#include "core/keynamelist.h"
#include "core/settings.h"
#include "enginesupport.h"
#include "keys/keyjob.h"
#include "platform/settingsdir.h"
#include "testsupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <memory>

// Key commands through the real engine: the composed script goes to zorvex-cmd, which runs
// zorvex-pgp on a throw-away GnuPG home holding the fixture keys.
//
// The engine asks its questions ("Are you sure you want this key removed (y/N)?") on the
// terminal; with no terminal attached it reads the answers from standard input. These tests
// therefore run zorvex5.bat themselves, with zorvex-cmd's standard input fed from `answers`,
// instead of through the terminal launcher. Everything else about the job is the program's:
// the script is ComposeKeyJob's, written as RunJobScript writes it, and the marker must be
// gone afterwards. Should the launcher one day pass a file as standard input of a windowless
// run, only runScript() needs to change.
class TestKeyEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void extractedKeyAddsToSecondKeyringAndRefreshes();
    void removalAskedAndAnswered_data();
    void removalAskedAndAnswered();

private:
    JobOutcome runScript(const QString &tail);
    QByteArray gpg(const QStringList &args, int *exitCode = nullptr);
    bool hasKey(const QString &keyId, const QString &keyring = QString());

    QString m_cmd;
    std::unique_ptr<engine::GnupgHome> m_home;
    std::unique_ptr<QTemporaryDir> m_work;
    QString m_previousDir;
    QByteArray m_answers;
    QString m_runLog;
    // Fixture keys as "0x" + eight hex digits, those with a secret key apart.
    QStringList m_publicOnly;
    QStringList m_all;
    std::unique_ptr<ScratchSettings> m_settings;
};

void TestKeyEngine::initTestCase()
{
    if (const QString missing = engine::missingEngine(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_cmd = engine::findTool(QStringLiteral("zorvex-cmd"));
}

void TestKeyEngine::init()
{
    ResetState();
    m_settings = std::make_unique<ScratchSettings>();
    m_home = std::make_unique<engine::GnupgHome>();
    m_work = std::make_unique<QTemporaryDir>();
    QVERIFY(m_home->isValid() && m_work->isValid());
    QVERIFY(m_home->importFixtures());

    auto keyIds = [this](const QStringList &args) {
        QStringList ids;
        for (const QByteArray &line : gpg(args).split('\n')) {
            const QList<QByteArray> f = line.split(':');
            if ((f.value(0) == "pub" || f.value(0) == "sec") && f.value(4).size() >= 8)
                ids << QStringLiteral("0x") + QString::fromLatin1(f.value(4).right(8));
        }
        return ids;
    };
    m_all = keyIds({"--with-colons", "--list-keys"});
    const QStringList secret = keyIds({"--with-colons", "--list-secret-keys"});
    m_publicOnly.clear();
    for (const QString &id : m_all)
        if (!secret.contains(id))
            m_publicOnly << id;
    QVERIFY2(!m_all.isEmpty(), "the fixture keys did not import");

    m_previousDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_answers.clear();
    m_runLog.clear();
    SetKeyJobRunner([this](const QString &tail, QWidget *) { return runScript(tail); });
}

void TestKeyEngine::cleanup()
{
    SetKeyJobRunner({});
    QDir::setCurrent(m_previousDir);
    m_home.reset();
    m_work.reset();
    m_settings.reset();
    if (QTest::currentTestFailed())
        qInfo().noquote() << m_runLog;
}

void TestKeyEngine::cleanupTestCase() {}

JobOutcome TestKeyEngine::runScript(const QString &tail)
{
    JobScript() += tail;
    QFile(QString::fromLatin1(kJobMarkerFile)).open(QIODevice::WriteOnly);
    QFile bat(QString::fromLatin1(kJobBatchFile));
    if (!bat.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return JobOutcome::NotStarted;
    QByteArray bytes = JobScript().toLocal8Bit();
    bytes.replace("\n", "\r\n");
    bat.write(bytes);
    bat.close();

    QProcess cmd;
    cmd.setProcessChannelMode(QProcess::MergedChannels);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("ZORVEX_PGP"), engine::findTool(QStringLiteral("zorvex-pgp")));
    cmd.setProcessEnvironment(env);
    QFile(QStringLiteral("results.txt")).open(QIODevice::WriteOnly | QIODevice::Truncate);
    cmd.start(m_cmd, {QStringLiteral("--results=results.txt"), QString::fromLatin1(kJobBatchFile)});
    if (!cmd.waitForStarted())
        return JobOutcome::NotStarted;
    cmd.write(m_answers);
    cmd.closeWriteChannel();
    const bool finished = cmd.waitForFinished(120000);
    m_runLog += QString::fromLocal8Bit(bytes) + QStringLiteral("\n---\n") +
                QString::fromLocal8Bit(cmd.readAll());
    if (!finished) {
        cmd.kill();
        cmd.waitForFinished();
        return JobOutcome::Stopped;
    }
    if (QFile::exists(QString::fromLatin1(kJobMarkerFile)))
        return JobOutcome::ScriptEnded;
    QFile::remove(QString::fromLatin1(kJobBatchFile));
    return JobOutcome::Finished;
}

QByteArray TestKeyEngine::gpg(const QStringList &args, int *exitCode)
{
    return m_home->gpg(args, {}, exitCode);
}

bool TestKeyEngine::hasKey(const QString &keyId, const QString &keyring)
{
    QStringList args;
    if (!keyring.isEmpty())
        args << "--no-default-keyring"
             << "--keyring" << QDir::current().absoluteFilePath(keyring);
    args << "--with-colons"
         << "--list-keys"
         << "--" << keyId.mid(2);
    int code = -1;
    gpg(args, &code);
    return code == 0;
}

void TestKeyEngine::extractedKeyAddsToSecondKeyringAndRefreshes()
{
    const QString key = m_all.first();
    RuntimeOptions().Armor = 1;
    QCOMPARE(ComposeKeyJob(KeyAction::ExtractKey, key, QStringLiteral("jane.asc"), {}, {}),
             JobOutcome::Finished);
    QFile extracted(QStringLiteral("jane.asc"));
    QVERIFY2(extracted.open(QIODevice::ReadOnly), "the extraction wrote no jane.asc");
    QVERIFY(extracted.readAll().contains("BEGIN PGP PUBLIC KEY BLOCK"));

    m_answers = "n\nn\nn\n"; // certify the added key? no
    QCOMPARE(ComposeKeyJob(KeyAction::AddKey, {}, QStringLiteral("jane.asc"),
                           QStringLiteral("second.pgp"), {}),
             JobOutcome::Finished);
    QVERIFY2(hasKey(key, QStringLiteral("second.pgp")), "the key did not reach second.pgp");
    // The engine names what it added to the program too: for the status bar, not a warning box.
    QFile report(QStringLiteral("results.txt"));
    QVERIFY(report.open(QIODevice::ReadOnly));
    const JobResults results = ParseJobResults(report.readAll());
    const QString status = JobSuccessText(QStringLiteral("Adding keys"), results);
    QVERIFY2(!results.verdictsNeedAttention() && status.contains(" Added: \"") &&
                 status.contains(key, Qt::CaseInsensitive) && status.contains("fingerprint"),
             qPrintable(status));

    SetKeyJobRunner({});
    RefreshKeyNamesAfterJob(nullptr);
    const QStringList names = CachedKeyNames(QString::fromLatin1(kSettingsFile));
    bool listed = false;
    for (const QString &name : names)
        listed = listed || name.contains(key.mid(2), Qt::CaseInsensitive);
    QVERIFY2(listed, qPrintable(names.join(QLatin1Char('\n'))));
}

void TestKeyEngine::removalAskedAndAnswered_data()
{
    QTest::addColumn<QByteArray>("answers");
    QTest::addColumn<bool>("removed");
    QTest::newRow("yes") << QByteArray("y\ny\ny\n") << true;
    QTest::newRow("no") << QByteArray("n\nn\nn\n") << false;
    QTest::newRow("no answer at all keeps the key") << QByteArray() << false;
}

void TestKeyEngine::removalAskedAndAnswered()
{
    QFETCH(QByteArray, answers);
    QFETCH(bool, removed);
    // A key without its secret half, so that one question decides.
    const QString key = m_publicOnly.isEmpty() ? m_all.first() : m_publicOnly.first();
    QVERIFY(hasKey(key));
    m_answers = answers;
    QCOMPARE(ComposeKeyJob(KeyAction::RemoveKey, key, {}, {}, {}), JobOutcome::Finished);
    QCOMPARE(!hasKey(key), removed);
    for (const QString &other : m_all)
        if (other != key)
            QVERIFY2(hasKey(other), qPrintable(other + " went with it"));
}

QTEST_GUILESS_MAIN(TestKeyEngine)
#include "tst_keyengine.moc"
