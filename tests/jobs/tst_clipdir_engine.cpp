// The clipboard and directory operations end to end: the scripts they write, run by the batch
// interpreter and the PGP engine over GnuPG in a scratch key ring. Skips, saying what is
// missing, until the interpreter, the engine, the file composers and the test keys are built.

#include "app/settings.h"
#include "jobs/bulkjob.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "platform/messagebox.h"

#if __has_include("jobs/encryptjob.h") && __has_include("jobs/decryptjob.h")
#include "jobs/decryptjob.h"
#include "jobs/encryptjob.h"
#define ZORVEX_HAVE_FILE_COMPOSERS 1
#endif

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

class TestClipDirEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void directoryRoundTrip();
    void editorTextRoundTrip();

private:
    QString tool(const char *name) const
    {
        return m_tools + QLatin1Char('/') + QLatin1String(name);
    }
    QByteArray gpg(const QStringList &arguments, const QByteArray &input = QByteArray());
    void runClipboard(QPlainTextEdit *editor, bool encrypt, const QString &names);

    QString m_tools;
    QString m_missing;
    QTemporaryDir m_gnupgHome;
    QString m_startDir;
};

void TestClipDirEngine::initTestCase()
{
    m_tools = qEnvironmentVariable("ZORVEX_TOOLS_DIR");
    for (const char *name : {"zorvex-cmd", "zorvex-pgp"}) {
        if (const QFileInfo info(tool(name)); !info.isFile() || !info.isExecutable())
            m_missing += QStringLiteral(" %1 (not built in %2)").arg(QLatin1String(name), m_tools);
    }
    if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
        m_missing += QStringLiteral(" gpg");
    QVERIFY(m_gnupgHome.isValid());
    qputenv("GNUPGHOME", QFile::encodeName(m_gnupgHome.path()));
    m_startDir = QDir::currentPath();
    MessageBox::setTestMode(true);
}

void TestClipDirEngine::init()
{
    ResetState();
    MessageBox::clearShown();
}

void TestClipDirEngine::cleanup()
{
    QDir::setCurrent(m_startDir);
    BulkJobLauncher() = [](const QString &, int, QWidget *) { return JobOutcome::NotStarted; };
}

void TestClipDirEngine::cleanupTestCase()
{
    QProcess::execute(QStringLiteral("gpgconf"),
                      {QStringLiteral("--kill"), QStringLiteral("gpg-agent")});
}

QByteArray TestClipDirEngine::gpg(const QStringList &arguments, const QByteArray &input)
{
    QProcess p;
    p.start(QStringLiteral("gpg"), QStringList{QStringLiteral("--batch")} + arguments);
    p.write(input);
    p.closeWriteChannel();
    if (!p.waitForFinished(60000))
        return QByteArray();
    return p.readAllStandardOutput();
}

void TestClipDirEngine::directoryRoundTrip()
{
    if (!m_missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs the batch interpreter and the PGP engine:") +
                         m_missing));

    // The batch runs headless, as the job runner runs it with ZORVEX_TERMINAL=none, and the
    // wait lasts until the script's last line (the wipe of bulke.bat) has run as well.
    BulkJobLauncher() = [this](const QString &batch, int, QWidget *) {
        QProcess p;
        p.setProcessChannelMode(QProcess::ForwardedChannels);
        p.start(tool("zorvex-cmd"), {batch});
        if (!p.waitForFinished(120000))
            return JobOutcome::Stopped;
        return QFile::exists(QString::fromLatin1(kJobMarkerFile)) ? JobOutcome::ScriptEnded
                                                                  : JobOutcome::Finished;
    };

    QTemporaryDir target;
    QByteArray binary(5000, '\0');
    for (char &c : binary)
        c = char(QRandomGenerator::global()->bounded(256));
    const QMap<QString, QByteArray> originals{
        {QStringLiteral("alpha.txt"), QByteArray("first file\r\nsecond line\r\n")},
        {QStringLiteral("with blank.txt"), QByteArray("a name with a blank\n")},
        {QStringLiteral("binary.bin"), binary},
    };
    for (auto it = originals.cbegin(); it != originals.cend(); ++it) {
        QFile f(target.filePath(it.key()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
    const QString pass = QStringLiteral("one-pass-phrase");

    QCOMPARE(RunBulkJob(BulkMode::Encrypt, target.path(), pass, pass, nullptr),
             JobOutcome::Finished);
    QCOMPARE(QDir::currentPath(), m_startDir);
    QCOMPARE(MessageBox::shown().last().text, "Bulk encryption is complete.");
    for (const QString &name : originals.keys()) {
        QVERIFY2(!QFile::exists(target.filePath(name)), qPrintable(name + " was not wiped"));
        const QString encrypted = target.filePath(QFileInfo(name).completeBaseName() + ".pgp");
        QVERIFY2(QFile::exists(encrypted), qPrintable(encrypted));
    }
    QVERIFY(!QFile::exists(target.filePath("bulke.bat")));

    QCOMPARE(RunBulkJob(BulkMode::Decrypt, target.path(), pass, pass, nullptr),
             JobOutcome::Finished);
    QCOMPARE(QDir::currentPath(), m_startDir);
    QCOMPARE(MessageBox::shown().last().text, "Bulk decryption is complete.");
    for (auto it = originals.cbegin(); it != originals.cend(); ++it) {
        QFile f(target.filePath(it.key()));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(it.key()));
        QCOMPARE(f.readAll(), it.value());
    }
    QVERIFY(!QFile::exists(target.filePath("bulke.bat")));
}

void TestClipDirEngine::runClipboard(QPlainTextEdit *editor, bool encrypt, const QString &names)
{
    QTimer::singleShot(0, this, [encrypt, names] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<CClipboardOpsDlg *>(w);
            if (!d || !d->isVisible())
                continue;
            d->findChild<QRadioButton *>(encrypt ? "encryptButton" : "decryptButton")->click();
            d->findChild<QLineEdit *>("namesEdit")->setText(names);
            d->findChild<QPushButton *>("okButton")->click();
        }
    });
    QCOMPARE(OnClipboardSubsystem(nullptr, editor), ClipboardResult::Replaced);
}

void TestClipDirEngine::editorTextRoundTrip()
{
    if (!m_missing.isEmpty())
        QSKIP(qPrintable(QStringLiteral("needs the batch interpreter and the PGP engine:") +
                         m_missing));
#ifndef ZORVEX_HAVE_FILE_COMPOSERS
    QSKIP("needs the file composers ComposeEncryptJob and ComposeDecryptJob and the job runner");
#else
    const QDir fixtures(qEnvironmentVariable("ZORVEX_SOURCE_DIR") +
                        QStringLiteral("/tests/fixtures"));
    const QStringList keyFiles = fixtures.entryList(
        {QStringLiteral("*.asc"), QStringLiteral("*.gpg"), QStringLiteral("*.key")}, QDir::Files);
    if (keyFiles.isEmpty())
        QSKIP(qPrintable("needs test keys in " + fixtures.path()));
    for (const QString &file : keyFiles)
        gpg({QStringLiteral("--import"), fixtures.filePath(file)});
    // The first secret key receives the text; its pass phrase, if any, unlocks it again.
    QString keyId;
    QByteArray fingerprint;
    for (const QByteArray &line : gpg({"--list-secret-keys", "--with-colons"}).split('\n')) {
        const QList<QByteArray> fields = line.split(':');
        if (keyId.isEmpty() && fields.value(0) == "sec" && fields.value(4).size() >= 8)
            keyId = QString::fromLatin1(fields.value(4).right(8));
        else if (!keyId.isEmpty() && fields.value(0) == "fpr") {
            fingerprint = fields.value(9);
            break;
        }
    }
    if (keyId.isEmpty())
        QSKIP(qPrintable("needs a secret test key in " + fixtures.path()));
    // The engine refuses keys that nobody certified; this one is our own in the test home.
    if (!fingerprint.isEmpty())
        gpg({QStringLiteral("--import-ownertrust")}, fingerprint + ":6:\n");
    QFile passFile(fixtures.filePath(QStringLiteral("passphrase")));
    if (passFile.open(QIODevice::ReadOnly))
        qputenv("PGPPASS", passFile.readLine().trimmed());
    // The fixture keys are listed by name in fingerprints.txt; each one's pass phrase is its
    // name followed by " pass".
    QFile fingerprints(fixtures.filePath(QStringLiteral("fingerprints.txt")));
    if (!passFile.isOpen() && fingerprints.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : fingerprints.readAll().split('\n')) {
            const QList<QByteArray> words = line.simplified().split(' ');
            if (words.size() == 2 && words.at(1) == fingerprint)
                qputenv("PGPPASS", words.at(0) + " pass");
        }
    }

    ClipboardComposers().encrypt = [](const QString &in, const QString &out, int sign, int wipe,
                                      int armour, int text, int conv, const QString &recipients,
                                      const QString &userId, QWidget *parent) {
        return ComposeEncryptJob(in, out, sign, wipe, armour, text, conv, recipients, userId,
                                 parent);
    };
    ClipboardComposers().decrypt = [](int keep, const QString &in, const QString &out,
                                      QWidget *parent) {
        return ComposeDecryptJob(keep, in, out, parent);
    };

    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    const QString original =
        QString::fromUtf8("Dear Jane,\n\nthe plan stands. Gr\u00fc\u00dfe\nJohn\n");
    QPlainTextEdit editor;
    editor.setPlainText(original);

    runClipboard(&editor, true, QStringLiteral("0x") + keyId + QLatin1Char(' '));
    QVERIFY2(editor.toPlainText().startsWith("-----BEGIN PGP MESSAGE-----"),
             qPrintable(editor.toPlainText().left(200)));
    QVERIFY(!editor.toPlainText().contains("the plan stands"));

    runClipboard(&editor, false, QString());
    QCOMPARE(editor.toPlainText(), original);
    QVERIFY(QDir(work.path()).entryList(QDir::Files).isEmpty());
#endif
}

QTEST_MAIN(TestClipDirEngine)
#include "tst_clipdir_engine.moc"
