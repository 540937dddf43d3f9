#include "core/keyrecords.h"
#include "enginesupport.h"

#include <QDir>
#include <QtTest>

#include <memory>

// The Key Ring's reading of the real engine's listing: the fixture keys, a PGP 2.x key, and an
// expired key made here, each with every column checked against what gpg and the fixtures say.
class TestKeyRecords : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase() { m_home.reset(); }
    void columns_data();
    void columns();

private:
    std::unique_ptr<engine::GnupgHome> m_home;
    KeyRecordListing m_listing;
    QStringList m_names;
    bool m_gpg1 = false;
};

void TestKeyRecords::initTestCase()
{
    if (const QString missing = engine::missingEngine(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_home = std::make_unique<engine::GnupgHome>();
    QVERIFY(m_home->importFixtures());
    const QString dave = engine::FixtureKey{QStringLiteral("dave"), {}}.fingerprint();
    m_home->gpg({"--edit-key", dave, "disable", "save"});
    // Made in 2020 to expire in 2021: expired whatever the day the test runs.
    m_home->gpg({"--faked-system-time", "20200101T000000", "--pinentry-mode", "loopback",
                 "--passphrase", "", "--quick-gen-key", "Erin Expired <erin@example.org>",
                 "ed25519", "sign", "2021-01-01"});
    const QString pgp = engine::findTool(QStringLiteral("zorvex-pgp"));
    m_gpg1 = !QStandardPaths::findExecutable(QStringLiteral("gpg1")).isEmpty();
    if (m_gpg1) {
        QVERIFY(QFile::copy(engine::fixtureDir() + "/legacy/olga.pub.pgp",
                            m_home->path() + "/olga.pub.pgp"));
        QCOMPARE(engine::runProcess(pgp, {"-ka", "olga.pub.pgp"}, m_home->path()).code, 0);
    }
    const engine::ProcessRun run = engine::runProcess(pgp, {"-kv", "+records"}, m_home->path());
    QCOMPARE(run.code, 0);
    m_listing = ParseKeyRecords(run.out);
    QVERIFY2(m_listing.problem.isEmpty(), qPrintable(m_listing.problem));
    m_names = KeyNamesFromRecords(m_listing.keys);
}

void TestKeyRecords::columns_data()
{
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("type");
    QTest::addColumn<KeyRecord::Status>("status");
    QTest::addColumn<bool>("secret");
    QTest::addColumn<QString>("fingerprint"); // as fingerprints.txt gives it, ungrouped
    QTest::addColumn<QStringList>("userIds");
    QTest::addColumn<QString>("nameEntry"); // how the dialogs list its first user ID

    // Imported keys are certified by nobody the user trusts.
    QTest::newRow("RSA with secret key")
        << "alice@"
        << "RSA 2048" << KeyRecord::Status::NotCertified << true
        << "CF9DEEE97B4EEA9C696F120A635176BC32459C31"
        << QStringList{"Alice Rsa <alice@example.org>"}
        << "2048/32459C31 2026/12/08 Alice Rsa <alice@example.org>";
    QTest::newRow("second user ID, colon and non-ASCII kept")
        << "bob@work"
        << "Ed25519" << KeyRecord::Status::NotCertified << true
        << "BB35EBBB272166D87DA739ACAB457C156FEB3FC3"
        << QStringList{"Bob K\u00fcrve (lab: 2) <bob@work.example>", "Bob Curve <bob@example.org>"}
        << " 255/6FEB3FC3 2026/12/08 Bob Curve <bob@example.org>";
    QTest::newRow("revoked, its owner kept")
        << "carol@"
        << "Ed25519" << KeyRecord::Status::Revoked << true
        << "2DB0DB877BEA78891721909D20DBAAD47856354C"
        << QStringList{"Carol Revoked <carol@example.org>"}
        << " 255/7856354C 2026/12/08 *** KEY REVOKED *** Carol Revoked <carol@example.org>";
    QTest::newRow("disabled") << "dave@"
                              << "Ed25519" << KeyRecord::Status::Disabled << true
                              << "7D8A2589E4E36B83B3039E562E602D0DB2069461"
                              << QStringList{"Dave Disabled <dave@example.org>"} << QString();
    QTest::newRow("expired") << "erin@"
                             << "Ed25519" << KeyRecord::Status::Expired << true << QString()
                             << QStringList{"Erin Expired <erin@example.org>"}
                             << "*** KEY EXPIRED *** Erin Expired <erin@example.org>";
    QTest::newRow("PGP 2.x, public key only")
        << "olga@"
        << "RSA 1024 (PGP 2.x)" << KeyRecord::Status::NotCertified << false
        << "911F7716D54E447666BD6809F908CE4C" << QStringList{"Olga Oldkey <olga@example.org>"}
        << "1024/933581DB 1996/03/01 Olga Oldkey <olga@example.org>";
}

void TestKeyRecords::columns()
{
    QFETCH(QString, email);
    QFETCH(QString, type);
    QFETCH(KeyRecord::Status, status);
    QFETCH(bool, secret);
    QFETCH(QString, fingerprint);
    QFETCH(QStringList, userIds);
    QFETCH(QString, nameEntry);
    if (type.contains("PGP 2.x") && !m_gpg1)
        QSKIP("gpg1 (Debian package gnupg1) is not installed");
    const KeyRecord *key = nullptr;
    for (const KeyRecord &k : std::as_const(m_listing.keys)) {
        if (k.userIds.join('\n').contains(email))
            key = &k;
    }
    QVERIFY(key);
    QCOMPARE(key->userIds, userIds);
    QCOMPARE(key->type, type);
    QCOMPARE(key->status, status);
    QCOMPARE(key->secret, secret);
    QCOMPARE(key->keyId.size(), 16);
    // Four-digit groups for newer keys, PGP 2.6's byte pairs for version 3 keys.
    const QString grouped = key->fingerprint;
    QCOMPARE(grouped.count(' '), fingerprint.size() == 32 || type.contains("PGP 2.x") ? 16 : 10);
    if (!fingerprint.isEmpty())
        QCOMPARE(QString(grouped).remove(' '), fingerprint);
    QVERIFY(QString(grouped).remove(' ').endsWith(key->keyId.right(8)) || type.contains("PGP 2.x"));
    QCOMPARE(key->expires.isEmpty(), !email.startsWith("erin"));
    if (!nameEntry.isEmpty())
        QVERIFY2(std::any_of(m_names.begin(), m_names.end(),
                             [&](const QString &n) { return n.endsWith(nameEntry); }),
                 qPrintable(m_names.join('\n')));
}

QTEST_GUILESS_MAIN(TestKeyRecords)
#include "tst_keyrecords.moc"
