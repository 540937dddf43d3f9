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

QTEST_MAIN(TestFileJobsEngine)
#include "tst_filejobs_engine.moc"
