// A file goes through the encryption dialog and back through the decryption dialog, run by
// the real batch interpreter and PGP engine against GnuPG with the fixture keys.
//
// What this test assumes about the fixtures, in one place so that it is easy to adapt:
// - tests/fixtures/ holds armoured key files (*.asc), among them at least one secret key that
//   can encrypt;
// - tests/fixtures/README* names its pass phrase on a line such as "pass phrase: secret"
//   (ZORVEX_FIXTURE_PASSPHRASE overrides it).
// The engine unlocks the secret key with PGPPASS, so nothing is asked on a terminal.

#include "app/settings.h"
#include "jobs/decryptiondlg.h"
#include "jobs/encryptiondlg.h"
#include "jobs/jobrunner.h"
#include "keys/keynamelist.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "testsupport.h"

#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>

namespace {
struct FixtureKey
{
    QString fingerprint;
    QString listEntry; // as the key name cache holds it
};

QString fixtureDir()
{
    return qEnvironmentVariable("ZORVEX_SOURCE_DIR") + QStringLiteral("/tests/fixtures");
}

QString fixturePassphrase()
{
    const QString fromEnv = qEnvironmentVariable("ZORVEX_FIXTURE_PASSPHRASE");
    if (!fromEnv.isEmpty())
        return fromEnv;
    const QDir dir(fixtureDir());
    for (const QString &name : dir.entryList({QStringLiteral("README*")}, QDir::Files)) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly))
            continue;
        static const QRegularExpression line(
            QStringLiteral(R"(pass\s*phrase[^:\n]*:\s*[`"']?([^`"'\n]+?)[`"']?\s*$)"),
            QRegularExpression::CaseInsensitiveOption | QRegularExpression::MultilineOption);
        const QRegularExpressionMatch m = line.match(QString::fromUtf8(f.readAll()));
        if (m.hasMatch())
            return m.captured(1);
    }
    return QString();
}

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

template <typename T>
T *child(QWidget *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QLatin1String(name));
    if (!w)
        qFatal("no widget %s", name);
    return w;
}
} // namespace

class TestFileJobsEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void encryptThenDecryptRoundTrip();

private:
    bool gpg(const QStringList &args, const QByteArray &input = QByteArray(),
             QByteArray *output = nullptr);
    FixtureKey encryptionKey();

    QTemporaryDir m_home{QStringLiteral("/tmp/zvg-XXXXXX")}; // short: the agent socket lives here
    QTemporaryDir m_work;
    ScratchSettings m_settings;
    QString m_oldCurrent;
    QString m_passphrase;
    FixtureKey m_key;
    bool m_homeReady = false;
};

bool TestFileJobsEngine::gpg(const QStringList &args, const QByteArray &input, QByteArray *output)
{
    QProcess p;
    p.start(QStringLiteral("gpg"),
            QStringList{QStringLiteral("--homedir"), m_home.path(), QStringLiteral("--batch")} +
                args);
    if (!p.waitForStarted())
        return false;
    p.write(input);
    p.closeWriteChannel();
    p.waitForFinished(60000);
    if (output)
        *output = p.readAllStandardOutput();
    if (p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        qWarning("gpg %s: %s", qPrintable(args.join(u' ')), p.readAllStandardError().constData());
        return false;
    }
    return true;
}

FixtureKey TestFileJobsEngine::encryptionKey()
{
    QByteArray secret;
    QByteArray pub;
    if (!gpg({QStringLiteral("--with-colons"), QStringLiteral("--list-secret-keys")}, {},
             &secret) ||
        !gpg({QStringLiteral("--with-colons"), QStringLiteral("--list-keys")}, {}, &pub))
        return {};
    QSet<QString> secretKeyIds;
    for (const QByteArray &line : secret.split('\n')) {
        const QList<QByteArray> f = line.split(':');
        if (f.value(0) == "sec")
            secretKeyIds.insert(QString::fromLatin1(f.value(4)));
    }
    // The first primary key that has its secret half and can encrypt, in PGP 2.6 list form.
    FixtureKey key;
    QString bits, keyId, date;
    bool wanted = false;
    for (const QByteArray &line : pub.split('\n')) {
        const QList<QByteArray> f = line.split(':');
        const QByteArray type = f.value(0);
        if (type == "pub") {
            if (!key.listEntry.isEmpty())
                break;
            wanted =
                secretKeyIds.contains(QString::fromLatin1(f.value(4))) && f.value(11).contains('E');
            bits = QString::fromLatin1(f.value(2));
            keyId = QString::fromLatin1(f.value(4)).right(8).toUpper();
            date = QDateTime::fromSecsSinceEpoch(f.value(5).toLongLong(), Qt::UTC)
                       .toString(QStringLiteral("yyyy/MM/dd"));
        } else if (wanted && type == "fpr" && key.fingerprint.isEmpty()) {
            key.fingerprint = QString::fromLatin1(f.value(9));
        } else if (wanted && type == "uid" && key.listEntry.isEmpty()) {
            key.listEntry =
                QStringLiteral("%1/%2 %3 %4")
                    .arg(bits.rightJustified(4), keyId, date, QString::fromUtf8(f.value(9)));
        }
    }
    return key;
}

void TestFileJobsEngine::initTestCase()
{
    const QString tools = qEnvironmentVariable("ZORVEX_TOOLS_DIR");
    for (const QString &tool : {QStringLiteral("zorvex-cmd"), QStringLiteral("zorvex-pgp")}) {
        // The tool's own build folder has the same name, so only an executable file counts.
        const QFileInfo flat(tools + QLatin1Char('/') + tool);
        const QFileInfo nested(tools + QLatin1Char('/') + tool + QLatin1Char('/') + tool);
        if (!(flat.isFile() && flat.isExecutable()) && !(nested.isFile() && nested.isExecutable()))
            QSKIP(qPrintable(
                QStringLiteral("%1 is not built in $ZORVEX_TOOLS_DIR (%2)").arg(tool, tools)));
    }
    const QStringList keyFiles =
        QDir(fixtureDir()).entryList({QStringLiteral("*.asc")}, QDir::Files, QDir::Name);
    if (keyFiles.isEmpty())
        QSKIP(qPrintable(QStringLiteral("no fixture key files (*.asc) in %1").arg(fixtureDir())));
    m_passphrase = fixturePassphrase();
    if (m_passphrase.isEmpty())
        QSKIP("no pass phrase for the fixture keys (README in tests/fixtures or "
              "$ZORVEX_FIXTURE_PASSPHRASE)");
    if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
        QSKIP("gpg is not installed");

    QVERIFY(m_home.isValid());
    QVERIFY(QFile::setPermissions(m_home.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                                     QFileDevice::ExeOwner));
    m_homeReady = true;
    {
        QFile conf(m_home.filePath(QStringLiteral("gpg-agent.conf")));
        QVERIFY(conf.open(QIODevice::WriteOnly));
        conf.write("allow-loopback-pinentry\n");
    }
    QStringList import{QStringLiteral("--pinentry-mode"), QStringLiteral("loopback"),
                       QStringLiteral("--passphrase-fd"), QStringLiteral("0"),
                       QStringLiteral("--import")};
    for (const QString &f : keyFiles)
        import << QDir(fixtureDir()).filePath(f);
    QVERIFY(gpg(import, m_passphrase.toUtf8() + '\n'));

    m_key = encryptionKey();
    QVERIFY2(!m_key.listEntry.isEmpty(), "no fixture secret key that can encrypt");
    // Imported keys are not trusted; PGP would ask before encrypting to them.
    QVERIFY(gpg({QStringLiteral("--import-ownertrust")}, m_key.fingerprint.toLatin1() + ":6:\n"));

    qputenv("GNUPGHOME", m_home.path().toLocal8Bit());
    qputenv("PGPPASS", m_passphrase.toUtf8());
    qputenv("ZORVEX_TERMINAL", "none");
    qunsetenv("GPG_TTY");

    ResetState();
    StoreKeyNames({QLatin1Char(' ') + m_key.listEntry});
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work.path()));
}

void TestFileJobsEngine::cleanupTestCase()
{
    if (!m_oldCurrent.isEmpty())
        QDir::setCurrent(m_oldCurrent);
    if (m_homeReady)
        QProcess::execute(QStringLiteral("gpgconf"),
                          {QStringLiteral("--homedir"), m_home.path(), QStringLiteral("--kill"),
                           QStringLiteral("gpg-agent")});
}

void TestFileJobsEngine::encryptThenDecryptRoundTrip()
{
    const QByteArray original("Zorvex round trip\r\nsecond line\n\0\x01\xfe\xff end", 39);
    const QString plainPath = m_work.filePath(QStringLiteral("plain.bin"));
    {
        QFile f(plainPath);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(f.write(original), original.size());
    }

    {
        CEncryptionDlg dlg;
        dlg.show();
        child<QLineEdit>(&dlg, "fileEdit")->setText(plainPath);
        child<QRadioButton>(&dlg, "styleUnsignedButton")->click();
        child<QListWidget>(&dlg, "keyList")->setCurrentRow(0);
        QVERIFY(child<QLineEdit>(&dlg, "recipientsEdit")->text().startsWith(QLatin1String("0x")));
        child<QLineEdit>(&dlg, "senderEdit")->clear();
        child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("secret.pgp"));
        // Returns once the job has ended; the runner keeps the event loop going meanwhile.
        child<QPushButton>(&dlg, "okButton")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    const QByteArray cipher = readAll(m_work.filePath(QStringLiteral("secret.pgp")));
    QVERIFY2(!cipher.isEmpty(),
             qPrintable(QStringLiteral("no secret.pgp after the script:\n") + JobScript()));
    QVERIFY(!cipher.contains("Zorvex round trip"));
    QVERIFY(!QFile::exists(QString::fromLatin1(kJobBatchFile)));
    QVERIFY(!QFile::exists(QString::fromLatin1(kJobMarkerFile)));

    {
        CDecryptionDlg dlg;
        dlg.show();
        child<QLineEdit>(&dlg, "inputEdit")->setText(m_work.filePath(QStringLiteral("secret.pgp")));
        child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("plain.out"));
        child<QPushButton>(&dlg, "okButton")->click();
        QCOMPARE(dlg.result(), int(QDialog::Accepted));
    }
    QCOMPARE(readAll(m_work.filePath(QStringLiteral("plain.out"))), original);
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shown().value(0).text));
}

QTEST_MAIN(TestFileJobsEngine)
#include "tst_filejobs_engine.moc"
