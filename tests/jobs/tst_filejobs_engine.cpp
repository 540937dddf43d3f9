// A file goes through the encryption dialog and back through the decryption dialog, run by
// the job runner (no terminal), the real batch interpreter and the PGP engine against GnuPG,
// in a scratch GnuPG home holding the fixture keys. The file goes to Alice; her secret key is
// unlocked with PGPPASS, since a windowless job has nobody to ask.

#include "core/keynamelist.h"
#include "core/settings.h"
#include "enginesupport.h"
#include "jobs/decryptiondlg.h"
#include "jobs/encryptiondlg.h"
#include "jobs/jobrunner.h"
#include "platform/filedialog.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QDateTime>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <memory>

namespace {
QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestFileJobsEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void encryptThenDecryptRoundTrip();
    void signatureVerdictReachesUser_data();
    void signatureVerdictReachesUser();

private:
    QString listEntry(const engine::FixtureKey &key) const;

    std::unique_ptr<engine::GnupgHome> m_home;
    QTemporaryDir m_work;
    ScratchSettings m_settings;
    QString m_oldCurrent;
};

// The key's line as the key name cache holds it (PGP 2.6 list form), from gpg's listing.
QString TestFileJobsEngine::listEntry(const engine::FixtureKey &key) const
{
    QString bits, keyId, date;
    for (const QByteArray &line : m_home
                                      ->gpg({QStringLiteral("--with-colons"),
                                             QStringLiteral("--list-keys"), key.fingerprint()})
                                      .split('\n')) {
        const QList<QByteArray> f = line.split(':');
        if (f.value(0) == "pub") {
            bits = QString::fromLatin1(f.value(2));
            keyId = QString::fromLatin1(f.value(4)).right(8).toUpper();
            date = QDateTime::fromSecsSinceEpoch(f.value(5).toLongLong(), Qt::UTC)
                       .toString(QStringLiteral("yyyy/MM/dd"));
        } else if (f.value(0) == "uid" && !keyId.isEmpty()) {
            return QStringLiteral("%1/%2 %3 %4")
                .arg(bits.rightJustified(4), keyId, date, QString::fromUtf8(f.value(9)));
        }
    }
    return QString();
}

void TestFileJobsEngine::initTestCase()
{
    if (const QString missing = engine::missingEngine(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_home = std::make_unique<engine::GnupgHome>();
    QVERIFY(m_home->isValid());
    QVERIFY(m_home->importFixtures());
    // Imported keys are not certified; the engine would ask before encrypting to one.
    QVERIFY(m_home->trustUltimately({engine::alice()}));
    const QString entry = listEntry(engine::alice());
    QVERIFY2(!entry.isEmpty(), "Alice's fixture key did not import");

    qputenv("PGPPASS", engine::alice().passphrase.toUtf8());
    qputenv("ZORVEX_TERMINAL", "none");
    qunsetenv("GPG_TTY");

    ResetState();
    StoreKeyNames({QLatin1Char(' ') + entry});
    MessageBox::setTestMode(true);
    FileDialog::setTestMode(true);
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work.path()));
}

void TestFileJobsEngine::cleanupTestCase()
{
    if (!m_oldCurrent.isEmpty())
        QDir::setCurrent(m_oldCurrent);
    m_home.reset();
    qunsetenv("PGPPASS");
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
        pickKeyName(&dlg, "keyList", 0);
        QCOMPARE(child<QLineEdit>(&dlg, "recipientsEdit")->text().trimmed(),
                 engine::alice().keyId());
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

void TestFileJobsEngine::signatureVerdictReachesUser_data()
{
    QTest::addColumn<QByteArray>("message");
    QTest::addColumn<int>("icon"); // -1: the status bar, no box
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<int>("written"); // -1: not for this test to say

    const QByteArray letter("Pay Bob 100.\n");
    const QStringList armoured{QStringLiteral("--armor"), QStringLiteral("--sign")};
    const QString alice = engine::alice().fingerprint();
    const QByteArray good = m_home->sign(alice, engine::alice().passphrase, letter, armoured);
    const int info = int(MessageBox::Icon::Information);
    const int stop = int(MessageBox::Icon::Stop);
    QTest::newRow("good, certified")
        << good << -1
        << QStringList{"Good signature from user \"Alice Rsa", "key ID " + alice.right(8)} << 1;
    QTest::newRow("good, nobody certified the key")
        << m_home->sign(engine::bob().fingerprint(), engine::bob().passphrase, letter, armoured)
        << info << QStringList{"Good signature", "not certified with a trusted"} << 1;

    const QString stranger = m_home->makeKey(QStringLiteral("Sam Stranger <sam@example.org>"));
    const QByteArray unknown = m_home->sign(stranger, QString(), letter, armoured);
    m_home->gpg({"--yes", "--delete-secret-and-public-key", stranger});
    QTest::newRow("signer unknown")
        << unknown << info
        << QStringList{"Key ID " + stranger.right(8) + " not found", "it was not checked"} << 1;

    const QString revoked = m_home->makeKey(QStringLiteral("Rex Revoked <rex@example.org>"));
    const QByteArray byRevoked = m_home->sign(revoked, QString(), letter, armoured);
    QFile certificate(m_home->path() + "/openpgp-revocs.d/" + revoked + ".rev");
    QVERIFY(certificate.open(QIODevice::ReadOnly));
    m_home->gpg({"--import"}, certificate.readAll().replace(":-----BEGIN", "-----BEGIN"));
    QTest::newRow("signer revoked") << byRevoked << info << QStringList{"has been revoked"} << 1;

    // Signed three days ago by a key that expired two days ago: still a good signature.
    const QString expired =
        m_home->makeKey(QStringLiteral("Eve Expired <eve@example.org>"), "2d", "259200");
    QTest::newRow("signer expired since")
        << m_home->sign(expired, QString(), letter, armoured, "259000") << info
        << QStringList{"Good signature", "after this signature was made"} << 1;

    const QByteArray binary =
        m_home->sign(alice, engine::alice().passphrase, letter,
                     {QStringLiteral("--compress-algo=none"), QStringLiteral("--sign")});
    QTest::newRow("bad") << QByteArray(binary).replace("100", "900") << stop
                         << QStringList{"Bad signature from"} << -1;
    QTest::newRow("cut in its signature")
        << binary.left(binary.size() - 20) << stop << QStringList{"cut short or damaged"} << 0;
    // Shown in a window of the program, never written, and unable to drive a terminal.
    QTest::newRow("for your eyes only")
        << m_home->sign(alice, engine::alice().passphrase, "Eyes\x1b[2J only\n",
                        armoured + QStringList{QStringLiteral("--for-your-eyes-only")})
        << -1 << QStringList{"Good signature", "Eyes\\x1b[2J only"} << 0;
}

// What the engine found reaches the user after the terminal is gone: in the status bar for a
// signature that needs nothing more, in a box otherwise, the plaintext written as it should be.
void TestFileJobsEngine::signatureVerdictReachesUser()
{
    QFETCH(QByteArray, message);
    QFETCH(int, icon);
    QFETCH(QStringList, words);
    QFETCH(int, written);
    const QString input = m_work.filePath(QStringLiteral("letter.pgp"));
    const QString output = m_work.filePath(QStringLiteral("letter.txt"));
    QFile::remove(output);
    QFile f(input);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(message);
    f.close();
    QString status;
    SetJobStatusSink([&status](const QString &text) { status = text; });
    MessageBox::clearShown();

    CDecryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "inputEdit")->setText(input);
    child<QLineEdit>(&dlg, "outputEdit")->setText(output);
    child<QPushButton>(&dlg, "okButton")->click();
    SetJobStatusSink(nullptr);

    const auto *eyesOnly = dlg.findChild<QPlainTextEdit *>("eyesOnlyText");
    const QString shown = (icon < 0 ? status : MessageBox::shown().value(0).text) +
                          (eyesOnly ? eyesOnly->toPlainText() : QString());
    QCOMPARE(MessageBox::shown().size(), icon < 0 ? 0 : 1);
    if (icon >= 0)
        QCOMPARE(int(MessageBox::shown().first().icon), icon);
    for (const QString &w : words)
        QVERIFY2(shown.contains(w, Qt::CaseInsensitive), qPrintable(shown));
    // A failure keeps the dialog for another try; a written plaintext closes it.
    QCOMPARE(dlg.isVisible(), icon == int(MessageBox::Icon::Stop));
    if (written >= 0)
        QCOMPARE(readAll(output), QByteArray(written ? "Pay Bob 100.\n" : ""));
}

QTEST_MAIN(TestFileJobsEngine)
#include "tst_filejobs_engine.moc"
