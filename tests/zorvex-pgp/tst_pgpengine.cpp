// zorvex-pgp against the real gpg: round trips, key commands and failures.
//
// Every test case runs in a fresh work directory; the keys live in one temporary GNUPGHOME with
// a short path (gpg-agent's socket path is length-limited), stopped again in cleanupTestCase.
// Questions are answered through standard input, which zorvex-pgp reads when it has no terminal.
#include "core/keynamelist.h"
#include "enginesupport.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Run = engine::ProcessRun;

// Fixture fingerprints.
const QString kAlice = QStringLiteral("CF9DEEE97B4EEA9C696F120A635176BC32459C31");
const QString kBob = QStringLiteral("BB35EBBB272166D87DA739ACAB457C156FEB3FC3");
const QString kCarol = QStringLiteral("2DB0DB877BEA78891721909D20DBAAD47856354C");
const QString kDave = QStringLiteral("7D8A2589E4E36B83B3039E562E602D0DB2069461");
const char kBadSignature[] = "WARNING: Bad signature, doesn't match file contents!\n"
                             "Bad signature from user \"Alice Rsa <alice@example.org>\".";

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString &path, const QByteArray &data)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(data);
}

} // namespace

class TestPgpEngine : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home{QStringLiteral("/tmp/zpgXXXXXX")};
    QTemporaryDir *m_work = nullptr;
    QString m_tool;
    // Messages gpg makes on the spot, and a second home whose signers were revoked or expired
    // after they signed; made once, for the table that needs them.
    QTemporaryDir m_peer{QStringLiteral("/tmp/zppXXXXXX")};
    bool m_peerReady = false;

    QProcessEnvironment env() const
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("GNUPGHOME"), m_home.path());
        e.remove(QStringLiteral("PGPPASS"));
        e.remove(QStringLiteral("PGPPASSFD"));
        e.remove(QStringLiteral("GPG_TTY"));
        return e;
    }

    Run exec(const QString &program, const QStringList &args, const QByteArray &input = {},
             const QProcessEnvironment *extra = nullptr)
    {
        return engine::runProcess(program, args, m_work ? m_work->path() : QDir::tempPath(),
                                  extra ? *extra : env(), input);
    }
    Run pgp(const QStringList &args, const QByteArray &input = {})
    {
        return exec(m_tool, args, input);
    }
    Run gpg(const QStringList &args, const QByteArray &input = {})
    {
        return exec(QStringLiteral("gpg"),
                    QStringList{"--batch", "--pinentry-mode", "loopback"} + args, input);
    }
    QString work(const QString &name) const { return m_work->path() + QLatin1Char('/') + name; }
    // A stand-in for gpg (or any program) in the work directory, for ZORVEX_GPG.
    void writeScript(const QString &name, const QByteArray &text)
    {
        WriteFile(work(name), text);
        QFile::setPermissions(work(name), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    QString peer(const QString &name) const { return m_peer.path() + QLatin1Char('/') + name; }
    QProcessEnvironment peerEnv() const
    {
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("GNUPGHOME"), peer(QStringLiteral("h")));
        return e;
    }
    Run peerGpg(const QStringList &args)
    {
        const QProcessEnvironment e = peerEnv();
        return exec(QStringLiteral("gpg"),
                    QStringList{"--batch", "--pinentry-mode", "loopback", "--passphrase", ""} +
                        args,
                    {}, &e);
    }
    void makePeerMessages()
    {
        if (m_peerReady)
            return;
        QVERIFY(QDir(m_peer.path()).mkdir(QStringLiteral("h")));
        QFile::setPermissions(peer("h"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        WriteFile(peer("letter.txt"), "letter body\n");
        WriteFile(peer("other.txt"), "other\n");
        QByteArray big;
        for (int i = 0; i < 3000; ++i)
            big += "line " + QByteArray::number(i) + "\n";
        WriteFile(peer("big.txt"), big);
        // Revy signs, then revokes the key with the certificate gpg made for it.
        QCOMPARE(peerGpg({"--quick-gen-key", "Revy <revy@example.org>", "ed25519", "sign", "never"})
                     .code,
                 0);
        QCOMPARE(
            peerGpg({"-u", "revy@example.org", "-s", "-o", peer("revoked.pgp"), peer("letter.txt")})
                .code,
            0);
        const QDir revocs(peer("h/openpgp-revocs.d"));
        QByteArray revocation = ReadFile(revocs.filePath(revocs.entryList(QDir::Files).value(0)));
        revocation.replace(":-----BEGIN", "-----BEGIN");
        WriteFile(peer("revocation.asc"), revocation);
        QCOMPARE(peerGpg({"--import", peer("revocation.asc")}).code, 0);
        // Expy's key expired the day after it signed.
        QCOMPARE(peerGpg({"--faked-system-time", "20200101T000000", "--quick-gen-key",
                          "Expy <expy@example.org>", "default", "default", "1d"})
                     .code,
                 0);
        QCOMPARE(peerGpg({"--faked-system-time", "20200101T010000", "-u", "expy@example.org", "-s",
                          "-o", peer("expired.pgp"), peer("letter.txt")})
                     .code,
                 0);
        // In the test home: a cut message, MD5, a detached signature, and the order PGP 2.x
        // wrote signed messages in: the signature, then the literal data, no one-pass packet.
        const QStringList alice{"--passphrase", "alice pass", "-u", kAlice};
        QCOMPARE(
            gpg(alice + QStringList{"-z", "0", "-s", "-o", peer("signed.pgp"), peer("big.txt")})
                .code,
            0);
        WriteFile(peer("cut.pgp"), ReadFile(peer("signed.pgp")).left(12000));
        QCOMPARE(gpg(alice + QStringList{"--digest-algo", "MD5", "-s", "-o", peer("md5.pgp"),
                                         peer("letter.txt")})
                     .code,
                 0);
        QCOMPARE(gpg(alice + QStringList{"-b", "-o", peer("letter.sig"), peer("letter.txt")}).code,
                 0);
        QCOMPARE(gpg({"--store", "-z", "0", "-o", peer("literal.pgp"), peer("letter.txt")}).code,
                 0);
        WriteFile(peer("leading.pgp"),
                  ReadFile(peer("letter.sig")) + ReadFile(peer("literal.pgp")));
        // A letter changed after signing; a damaged letter to two recipients, one of them
        // without a secret key here; a conventional one.
        const QByteArray body("letter body"), changed("Letter body");
        QCOMPARE(
            gpg(alice + QStringList{"-z", "0", "-s", "-o", peer("s.pgp"), peer("letter.txt")}).code,
            0);
        WriteFile(peer("tampered.pgp"), ReadFile(peer("s.pgp")).replace(body, changed));
        QCOMPARE(
            gpg(alice + QStringList{"--clearsign", "-o", peer("c.asc"), peer("letter.txt")}).code,
            0);
        WriteFile(peer("tampered.asc"), ReadFile(peer("c.asc")).replace(body, changed));
        const QString fixtures = qEnvironmentVariable("ZORVEX_SOURCE_DIR") + "/tests/fixtures/";
        QCOMPARE(gpg({"-r", kAlice, "-f", fixtures + "dave.pub.asc", "-e", "-o", peer("two.pgp"),
                      peer("letter.txt")})
                     .code,
                 0);
        QByteArray two = ReadFile(peer("two.pgp"));
        two[two.size() - 5] = char(two[two.size() - 5] ^ 0x55);
        WriteFile(peer("damaged.pgp"), two);
        QCOMPARE(gpg({"--passphrase", "x", "-c", "-o", peer("conv.pgp"), peer("letter.txt")}).code,
                 0);
        // PGP 2.x conventional encryption: one old-style encrypted packet, IDEA implied.
        WriteFile(peer("idea.pgp"), "\xa4\x28" + QByteArray(40, '\x5a'));
        // IDEA without integrity check to today's key: only GnuPG 1.4 still writes it.
        if (!QStandardPaths::findExecutable(QStringLiteral("gpg1")).isEmpty()) {
            QVERIFY(QDir(m_peer.path()).mkdir(QStringLiteral("g1")));
            const QStringList g1{"--homedir", peer("g1"), "--batch", "--trust-model", "always"};
            QCOMPARE(exec(QStringLiteral("gpg1"),
                          g1 + QStringList{"--import", fixtures + "alice.pub.asc"})
                         .code,
                     0);
            QCOMPARE(exec(QStringLiteral("gpg1"),
                          g1 + QStringList{"--cipher-algo", "IDEA", "--disable-mdc", "-r", kAlice,
                                           "-e", "-o", peer("idea-v4.pgp"), peer("letter.txt")})
                         .code,
                     0);
            // Without integrity protection, and an MD5 signature without the issuer's
            // fingerprint, as gpg1 makes them.
            for (const char *cipher : {"CAST5", "AES"})
                QCOMPARE(exec(QStringLiteral("gpg1"),
                              g1 + QStringList{"--cipher-algo", cipher, "--disable-mdc", "-r",
                                               kAlice, "-e", "-o", peer(cipher + QString(".pgp")),
                                               peer("letter.txt")})
                             .code,
                         0);
            QCOMPARE(exec(QStringLiteral("gpg1"),
                          g1 + QStringList{"--passphrase", "alice pass", "--import",
                                           fixtures + "alice.sec.asc"})
                         .code,
                     0);
            QCOMPARE(
                exec(QStringLiteral("gpg1"),
                     g1 + QStringList{"--passphrase", "alice pass", "--digest-algo", "MD5", "-u",
                                      kAlice, "-s", "-o", peer("md5-g1.pgp"), peer("letter.txt")})
                    .code,
                0);
        }
        m_peerReady = true;
    }

    // The agent keeps pass phrases; a wrong one right after the right one would still work.
    void forgetPassphrases()
    {
        exec(QStringLiteral("gpgconf"), {"--homedir", m_home.path(), "--reload", "gpg-agent"});
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid());
        QFile::setPermissions(m_home.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_tool = qEnvironmentVariable("ZORVEX_TOOLS_DIR") + QStringLiteral("/zorvex-pgp");
        QVERIFY2(QFile::exists(m_tool), qPrintable(m_tool));
        if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
            QSKIP("gpg is not installed");
        WriteFile(m_home.path() + QStringLiteral("/gpg-agent.conf"), "s2k-count 65536\n");
        const QString fixtures =
            qEnvironmentVariable("ZORVEX_SOURCE_DIR") + QStringLiteral("/tests/fixtures/");
        for (const char *name : {"alice", "bob", "carol", "dave"}) {
            const QString n = QString::fromLatin1(name);
            QCOMPARE(gpg({"--import", fixtures + n + ".pub.asc"}).code, 0);
            QCOMPARE(gpg({"--passphrase", n + " pass", "--import", fixtures + n + ".sec.asc"}).code,
                     0);
        }
        // These are "our own" keys in the test home, so they are trusted ultimately.
        QByteArray trust;
        for (const QString &f : {kAlice, kBob, kCarol, kDave})
            trust += f.toLatin1() + ":6:\n";
        QCOMPARE(gpg({"--import-ownertrust"}, trust).code, 0);
        // Disable Dave's public key through -kd, answering its question on standard input. He
        // has a secret key here, which would turn -kd into a revocation, so his secret key goes.
        QCOMPARE(gpg({"--yes", "--delete-secret-keys", kDave}).code, 0);
        QTemporaryDir w;
        m_work = &w;
        const Run r = pgp({"-kd", "dave@example.org"}, "y\n");
        m_work = nullptr;
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(gpg({"--with-colons", "--list-keys", kDave}).out.contains(":scESCD:"));
    }

    void cleanupTestCase()
    {
        exec(QStringLiteral("gpgconf"), {"--homedir", peer("h"), "--kill", "gpg-agent"});
        exec(QStringLiteral("gpgconf"), {"--homedir", m_home.path(), "--kill", "gpg-agent"});
    }

    void init()
    {
        m_work = new QTemporaryDir(QStringLiteral("/tmp/zpwXXXXXX"));
        QVERIFY(m_work->isValid());
    }
    void cleanup()
    {
        delete m_work;
        m_work = nullptr;
    }

    void keyListingLayout()
    {
        const Run r = pgp({"-kv"});
        QCOMPARE(r.code, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        const QList<QByteArray> expected = {
            "",
            "Key ring: '" + m_home.path().toUtf8() + "/pubring.kbx'",
            "Type Bits/KeyID    Date       User ID",
            "pub  2048/32459C31 2026/12/08 Alice Rsa <alice@example.org>",
            "pub   255/6FEB3FC3 2026/12/08 Bob K\xc3\xbcrve (lab: 2) <bob@work.example>",
            "                              Bob Curve <bob@example.org>",
            "pub   255/7856354C 2026/12/08 *** KEY REVOKED ***",
            "                              Carol Revoked <carol@example.org>",
            "pub-  255/B2069461 2026/12/08 Dave Disabled <dave@example.org>",
            "4 matching keys found.",
            ""};
        QCOMPARE(lines, expected);
        QVERIFY(r.err.isEmpty());
        // The program's own reader takes every user ID of the enabled keys from this text.
        const QStringList names = ParseKeyListing(r.out);
        QCOMPARE(names.size(), 4);
        QVERIFY(names[0].trimmed().startsWith(QStringLiteral("2048/32459C31 ")));
    }

    void keyListingSelection_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("contains");
        QTest::newRow("by name with fingerprint")
            << QStringList{"-kvc", "bob"} << 0
            << QByteArray("            Key fingerprint = BB35 EBBB 2721 66D8 7DA7  39AC AB45 7C15 "
                          "6FEB 3FC3\n"
                          "                              Bob Curve <bob@example.org>\n1 matching "
                          "key found.");
        QTest::newRow("short key id")
            << QStringList{"-kv", "0x32459C31"} << 0
            << QByteArray("Alice Rsa <alice@example.org>\n1 matching key found.");
        QTest::newRow("nothing matches")
            << QStringList{"-kv", "nobody@nowhere"} << 67 << QByteArray("0 matching keys found.");
        QTest::newRow("missing keyring") << QStringList{"-kv", "x", "nosuch"} << 2 << QByteArray();
    }
    void keyListingSelection()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, contains);
        const Run r = pgp(args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.out.contains(contains), r.out.constData());
        if (code != 0)
            QVERIFY(!r.err.isEmpty());
    }

    // Each encrypt / sign form, then the way back (our decrypt, or gpg's verify).
    void roundTrips_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QString>("check"); // decrypt, verify, verify-detached
        QTest::addColumn<QByteArray>("header");
        QTest::newRow("-e") << QStringList{"-e", "IN", "alice@example.org"} << "plan.pgp"
                            << "decrypt" << QByteArray();
        QTest::newRow("-ea short id") << QStringList{"-ea", "IN", "0x6FEB3FC3"} << "plan.asc"
                                      << "decrypt" << QByteArray("-----BEGIN PGP MESSAGE-----");
        QTest::newRow("-esa two recipients")
            << QStringList{"-esa", "IN",      "0x32459C31", "0x6FEB3FC3", "-u", "bob@example.org",
                           "-z",   "bob pass"}
            << "plan.asc"
            << "decrypt" << QByteArray("-----BEGIN PGP MESSAGE-----");
        QTest::newRow("-eat") << QStringList{"-eat", "IN", "alice"} << "plan.asc"
                              << "decrypt" << QByteArray();
        QTest::newRow("-c") << QStringList{"-c", "IN", "-z", "conv pass"} << "plan.pgp"
                            << "decrypt" << QByteArray();
        QTest::newRow("-ca -o") << QStringList{"-ca", "IN", "-z", "conv pass", "-o", "other.x"}
                                << "other.x"
                                << "decrypt" << QByteArray("-----BEGIN PGP MESSAGE-----");
        QTest::newRow("-sa") << QStringList{"-sa", "IN", "-u", "alice", "-z", "alice pass"}
                             << "plan.asc"
                             << "verify" << QByteArray("-----BEGIN PGP MESSAGE-----");
        QTest::newRow("clear-sign")
            << QStringList{"-sta", "+clearsig=on", "IN", "-z", "alice pass", "-u", "alice"}
            << "plan.asc"
            << "verify" << QByteArray("-----BEGIN PGP SIGNED MESSAGE-----");
        QTest::newRow("-sb") << QStringList{"-sb", "IN", "-u", "bob@example.org", "-z", "bob pass"}
                             << "plan.sig"
                             << "verify-detached" << QByteArray();
        QTest::newRow("-esb") << QStringList{"-esb",  "IN", "alice",     "-u",
                                             "alice", "-z", "alice pass"}
                              << "plan.sig"
                              << "decrypt-sig" << QByteArray();
    }
    void roundTrips()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(QString, check);
        QFETCH(QByteArray, header);
        const QByteArray plain = "Line one\nLine two: K\xc3\xbcrve\n";
        WriteFile(work("plan.txt"), plain);
        args.replaceInStrings(QStringLiteral("IN"), QStringLiteral("plan.txt"));
        args.prepend(QStringLiteral("+batchmode"));
        Run r = pgp(args);
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(QFile::exists(work(output)));
        QVERIFY(ReadFile(work(output)).startsWith(header));
        QCOMPARE(ReadFile(work("plan.txt")), plain);
        if (check == QLatin1String("verify")) {
            QCOMPARE(gpg({"--verify", work(output)}).code, 0);
        } else if (check == QLatin1String("verify-detached")) {
            QCOMPARE(gpg({"--verify", work(output), work("plan.txt")}).code, 0);
            // Our own decrypt step recognises a detached signature and asks for its file.
            QCOMPARE(pgp({"+batchmode", output}).code, 2);
            r = pgp({output}, "plan.txt\n");
            QCOMPARE(r.code, 0);
            QVERIFY(r.err.contains("Good signature"));
        } else {
            QFile::remove(work("plan.txt"));
            r = pgp(
                {"+batchmode", output, "-z", "conv pass", "-z", "alice pass", "-z", "bob pass"});
            QVERIFY2(r.code == 0, r.err.constData());
            const QString back = output == QLatin1String("other.x") ? "other" : "plan";
            if (check == QLatin1String("decrypt-sig")) {
                QCOMPARE(gpg({"--verify", work(back), work("plan.sig.txt")}).code, 2);
                QVERIFY(ReadFile(work(back)).size() > 0);
            } else {
                QCOMPARE(ReadFile(work(back)), plain);
            }
        }
    }

    // What gpg reports decides: exit code, one line why, and no partial output after a failure.
    void gpgMessagesTellTheTruth_data()
    {
        QTest::addColumn<bool>("peerHome");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("said");
        QTest::addColumn<QString>("output"); // holds the letter afterwards; empty: no new file
        QTest::newRow("cut message") << false << QStringList{"cut.pgp"} << 1
                                     << QByteArray("'cut.pgp' is cut short (") << QString();
        QTest::newRow("disk full") << false << QStringList{"signed.pgp", "-o", "small"} << 3
                                   << QByteArray("'small': File too large") << QString();
        QTest::newRow("revoked signer") << true << QStringList{"revoked.pgp"} << 0
                                        << QByteArray("has been revoked by its owner") << "revoked";
        QTest::newRow("expired signer")
            << true << QStringList{"expired.pgp"} << 0
            << QByteArray("after this signature was made.") << "expired";
        // A signature nobody could check leaves the message readable: the plaintext is written.
        QTest::newRow("signer unknown") << false << QStringList{"revoked.pgp"} << 0
                                        << QByteArray("Key matching expected Key ID") << "revoked";
        QTest::newRow("MD5 signature") << false << QStringList{"md5.pgp"} << 0
                                       << QByteArray("uses the MD5 message digest") << "md5";
        QTest::newRow("detached, file named")
            << false << QStringList{"letter.sig", "letter.txt"} << 0
            << QByteArray("Good signature from user \"Alice Rsa") << QString();
        QTest::newRow("detached, other file") << false << QStringList{"letter.sig", "other.txt"}
                                              << 30 << QByteArray(kBadSignature) << QString();
        QTest::newRow("bad signature")
            << false << QStringList{"tampered.pgp"} << 30 << QByteArray(kBadSignature) << QString();
        QTest::newRow("bad clear signature")
            << false << QStringList{"tampered.asc"} << 30 << QByteArray(kBadSignature) << QString();
        QTest::newRow("damaged, two recipients")
            << false << QStringList{"damaged.pgp", "-z", "alice pass"} << 31
            << QByteArray("'damaged.pgp' has been changed or damaged") << QString();
        QTest::newRow("no pass phrase")
            << false << QStringList{"conv.pgp"} << 32 << QByteArray("none was given") << QString();
        QTest::newRow("signing, size limit")
            << false
            << QStringList{"-s", "big.txt", "-u", kAlice, "-z", "alice pass", "-o", "small"} << 3
            << QByteArray("Signing 'big.txt' failed: cannot write 'small': File too large")
            << QString();
        QTest::newRow("CAST5 without integrity")
            << false << QStringList{"CAST5.pgp", "-z", "alice pass"} << 31
            << QByteArray("encrypted with CAST5 without integrity protection") << QString();
        QTest::newRow("AES without integrity")
            << false << QStringList{"AES.pgp", "-z", "alice pass"} << 31
            << QByteArray("encrypted with AES without integrity protection") << QString();
        QTest::newRow("MD5 signature by gpg1")
            << false << QStringList{"md5-g1.pgp"} << 0 << QByteArray("uses the MD5 message digest")
            << "md5-g1";
        QTest::newRow("signature first") << false << QStringList{"leading.pgp"} << 0
                                         << QByteArray("Good signature from user") << "leading";
        QTest::newRow("PGP 2.x IDEA")
            << false << QStringList{"idea.pgp", "-z", "x"} << 32 << QByteArray() << QString();
        QTest::newRow("IDEA to today's key")
            << false << QStringList{"idea-v4.pgp", "-z", "alice pass"} << 31
            << QByteArray("encrypted with IDEA by PGP 2.x") << QString();
        QTest::newRow("expired recipient")
            << true << QStringList{"-e", "letter.txt", "expy@example.org"} << 21
            << QByteArray("the key of 'expy@example.org' has expired") << QString();
        QTest::newRow("unknown recipient, no web lookup")
            << false << QStringList{"+verbose=2", "-e", "letter.txt", "nobody@nowhere.example"}
            << 21 << QByteArray("no public key for 'nobody@nowhere.example'") << QString();
    }
    void gpgMessagesTellTheTruth()
    {
        QFETCH(bool, peerHome);
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, said);
        QFETCH(QString, output);
        makePeerMessages();
        if (args.first().contains(QRegularExpression("^(idea-v4|CAST5|AES|md5-g1)")) &&
            !QFile::exists(peer(args.first())))
            QSKIP("gpg1 (Debian package gnupg1) is not installed to make this message");
        for (const QString &a : args) {
            if (QFile::exists(peer(a)) && !a.isEmpty())
                QVERIFY(QFile::copy(peer(a), work(a)));
        }
        const QStringList before = QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden);
        const QProcessEnvironment e = peerHome ? peerEnv() : env();
        Run r;
        const QByteArray tag(QTest::currentDataTag());
        if (tag == "disk full" || tag.contains("size limit")) {
            // A file size limit stands in for a full disk: the engine survives it, and so
            // does gpg, and the writes fail with EFBIG.
            r = exec(QStringLiteral("/bin/sh"),
                     QStringList{"-c", "ulimit -f 8; exec \"$0\" \"$@\"", m_tool, "+batchmode"} +
                         args,
                     {}, &e);
        } else {
            r = exec(m_tool, QStringList{"+batchmode"} + args, {}, &e);
        }
        QCOMPARE(r.code, code);
        // A true PGP 2.x message: gpg1 reads it and finds the pass phrase wrong, or, without
        // gpg1, the user learns what to install.
        if (QTest::currentDataTag() == QByteArrayLiteral("PGP 2.x IDEA"))
            said = QStandardPaths::findExecutable(QStringLiteral("gpg1")).isEmpty()
                       ? "'idea.pgp' is a PGP 2.x message (IDEA): install gnupg1"
                       : "bad pass phrase. It uses PGP 2.x algorithms (IDEA, MD5)";
        QVERIFY2(r.err.contains(said), r.err.constData());
        QVERIFY2(!r.err.contains("WKD") && !r.err.contains("dirmngr"), r.err.constData());
        if (output.isEmpty()) {
            QCOMPARE(QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden), before);
            // A failure is one line; a signature report and +verbose=2 say more.
            if (code != 0 && code != 30 && !args.contains(QStringLiteral("+verbose=2")))
                QCOMPARE(r.err.count('\n'), 1);
        } else {
            QCOMPARE(ReadFile(work(output)), QByteArray("letter body\n"));
        }
    }

    void givenPassphraseIsAlwaysChecked()
    {
        WriteFile(work("p.txt"), "p\n");
        QCOMPARE(pgp({"+batchmode", "-e", "p.txt", "alice"}).code, 0);
        QCOMPARE(pgp({"+batchmode", "-c", "p.txt", "-o", "c.pgp", "-z", "conv"}).code, 0);
        forgetPassphrases();
        for (const QString &in : QStringList{"p.pgp", "c.pgp"}) {
            QCOMPARE(pgp({"+batchmode", in, "-o", "1.txt", "-z", "alice pass", "-z", "conv"}).code,
                     0);
            const Run r = pgp({"+batchmode", in, "-o", "2.txt", "-z", "wrong"});
            QCOMPARE(r.code, in == QLatin1String("p.pgp") ? 31 : 32);
            QVERIFY2(r.err.contains("bad pass phrase"), r.err.constData());
            QVERIFY(!QFile::exists(work("2.txt")));
            QFile::remove(work("1.txt"));
        }
        // The agent's cache never serves one: not to a job without a pass phrase, nor to a wrong
        // PGPPASS, right after a job that gave the right one.
        QCOMPARE(pgp({"+batchmode", "p.pgp", "-o", "3.txt", "-z", "alice pass"}).code, 0);
        const Run r = pgp({"+batchmode", "p.pgp", "-o", "5.txt"});
        QCOMPARE(r.code, 31);
        QVERIFY2(r.err.contains("none was given"), r.err.constData());
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("PGPPASS"), QStringLiteral("wrong"));
        QCOMPARE(exec(m_tool, {"+batchmode", "p.pgp", "-o", "6.txt"}, {}, &e).code, 31);
    }

    void keyAddSaysWhatBecameOfEachKey()
    {
        // A PGP 2.x key: version 3 packet with a 32-bit modulus, and its user ID.
        const QByteArray old("\x99\x00\x0e\x03\x00\x00\x00\x01\x00\x00\x01\x00\x20"
                             "\x80\x12\x34\x56\xb4\x03Old",
                             22);
        WriteFile(work("old.pgp"), old);
        QCOMPARE(gpg({"--export", "-o", work("alice.pgp"), kAlice}).code, 0);
        WriteFile(work("both.pgp"), old + ReadFile(work("alice.pgp")));
        Run r = pgp({"+batchmode", "-ka", "old.pgp", "ring"});
        QCOMPARE(r.code, 10);
        // Without gpg1 the user learns what to install; with it, gpg1 turns this made-up key down.
        QVERIFY2(r.err.contains("'old.pgp' holds a PGP 2.x key (version 3): install gnupg1") ||
                     r.err.contains("Adding the PGP 2.x keys (version 3) from 'old.pgp' failed"),
                 r.err.constData());
        r = pgp({"+batchmode", "-ka", "both.pgp", "ring"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("Key 32459C31 \"Alice Rsa <alice@example.org>\": added.\n"),
                 r.err.constData());
        QVERIFY(r.err.contains("1 key added to key ring '" + work("ring.pgp").toUtf8() +
                               "', 0 updated, 0 unchanged, 1 skipped."));
        r = pgp({"+batchmode", "-ka", "alice.pgp", "ring"});
        QCOMPARE(r.code, 10);
        QVERIFY(r.err.contains("unchanged, already on the key ring"));
    }

    void wipeAfterSuccessOnly()
    {
        WriteFile(work("secret.txt"), "wipe me\n");
        Run r = pgp({"-cw", "+batchmode", "+verbose=0", "secret.txt", "-z", "pw"});
        QCOMPARE(r.code, 0);
        QVERIFY(!QFile::exists(work("secret.txt")));
        QVERIFY(r.err.contains("File secret.txt wiped and deleted."));
        // Unknown recipient: nothing encrypted, so nothing wiped.
        WriteFile(work("keep.txt"), "keep me\n");
        r = pgp({"-ew", "+batchmode", "keep.txt", "nobody@nowhere"});
        QCOMPARE(r.code, 21);
        QVERIFY(r.err.contains("nobody@nowhere"));
        QCOMPARE(ReadFile(work("keep.txt")), QByteArray("keep me\n"));
        QVERIFY(!QFile::exists(work("keep.pgp")));
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        // -w alone: regular files only.
        QCOMPARE(pgp({"-w", "."}).code, 3);
        QCOMPARE(pgp({"-w", ".."}).code, 3);
        QCOMPARE(pgp({"-w", "keep.txt"}).code, 0);
        QVERIFY(!QFile::exists(work("keep.txt")));
        QCOMPARE(pgp({"-w", "keep.txt"}).code, 3);
    }

    void wipeRefusesHardLinks()
    {
        WriteFile(work("a.txt"), "shared\n");
        QVERIFY(::link(work("a.txt").toLocal8Bit().constData(),
                       work("b.txt").toLocal8Bit().constData()) == 0);
        for (const QStringList &args :
             {QStringList{"-w", "a.txt"}, QStringList{"-cw", "a.txt", "-z", "pw"}}) {
            const Run r = pgp(QStringList{"+batchmode"} + args);
            QCOMPARE(r.code, 3);
            QVERIFY2(r.err.contains("hard link"), r.err.constData());
            QCOMPARE(ReadFile(work("b.txt")), QByteArray("shared\n"));
            QCOMPARE(QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
        }
    }

    // Another user swaps the temporary output's name for a link during the run: gpg still
    // writes into the engine's own file, which is emptied, and the link is neither written
    // through nor put in place.
    void outputReachedOnlyThroughItsDescriptor()
    {
        writeScript("swapgpg", "#!/bin/sh\n"
                               "while [ $# -gt 0 ]; do [ \"$1\" = --output ] && o=$2; shift; done\n"
                               "[ -n \"$o\" ] || exit 0\n"
                               "t=$(ls -A | grep '^\\.zorvex-pgp-'); mv \"$t\" moved\n"
                               "ln -s victim \"$t\"; echo ciphertext > \"$o\"\n");
        WriteFile(work("victim"), "precious\n");
        WriteFile(work("x.txt"), "plain\n");
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("ZORVEX_GPG"), work("swapgpg"));
        const Run r = exec(m_tool, {"+batchmode", "-c", "x.txt", "-z", "pw"}, {}, &e);
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains("moved or replaced"), r.err.constData());
        QCOMPARE(ReadFile(work("victim")), QByteArray("precious\n"));
        QVERIFY(QFile::exists(work("moved")) && ReadFile(work("moved")).isEmpty());
        QVERIFY(!QFile::exists(work("x.pgp")));
    }

    // A file the program wrote for the run is read only while it is still that file.
    void programInputIsTheFileItWrote_data()
    {
        QTest::addColumn<QString>("idOf");
        QTest::addColumn<bool>("secondName");
        QTest::newRow("the file written") << "in.txt" << false;
        QTest::newRow("another file in its place") << "other.txt" << false;
        QTest::newRow("a second name") << "in.txt" << true;
    }
    void programInputIsTheFileItWrote()
    {
        QFETCH(QString, idOf);
        QFETCH(bool, secondName);
        WriteFile(work("in.txt"), "the user's text\n");
        WriteFile(work("other.txt"), "someone else's\n");
        if (secondName)
            QVERIFY(::link(QFile::encodeName(work("in.txt")).constData(),
                           QFile::encodeName(work("ln.txt")).constData()) == 0);
        struct stat st;
        QVERIFY(::stat(QFile::encodeName(work(idOf)).constData(), &st) == 0);
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("ZORVEX_PGP_INPUT"),
                 QStringLiteral("in.txt=%1:%2").arg(st.st_dev).arg(st.st_ino));
        const Run r = exec(m_tool, {"+batchmode", "-ca", "in.txt", "-z", "pw"}, {}, &e);
        const bool same = idOf == QLatin1String("in.txt") && !secondName;
        QCOMPARE(r.code, same ? 0 : 3);
        QCOMPARE(r.err.contains("not the file the program wrote"), !same);
        // Read through its descriptor, it is still stored under its own name.
        if (same)
            QVERIFY(gpg({"--passphrase", "pw", "--list-packets", work("in.asc")})
                        .out.contains("name=\"in.txt\""));
    }

    // The output of a private file stays private, and the message names what was written.
    void outputPermissions_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("inputMode");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("clear-sign private")
            << QStringList{"-sta", "+clearsig=on", "in.txt", "-u", "alice", "-z", "alice pass"}
            << 0600 << "in.asc" << QByteArray("Clear signature file: in.asc");
        QTest::newRow("sign private")
            << QStringList{"-s", "in.txt", "-u", "alice", "-z", "alice pass"} << 0600 << "in.pgp"
            << QByteArray("Signature file: in.pgp");
        QTest::newRow("encrypt group-readable")
            << QStringList{"-c", "in.txt", "-z", "pw"} << 0640 << "in.pgp"
            << QByteArray("Ciphertext file: in.pgp");
        QTest::newRow("detach-sign public")
            << QStringList{"-sb", "in.txt", "-u", "alice", "-z", "alice pass"} << 0644 << "in.sig"
            << QByteArray("Signature file: in.sig");
    }
    void outputPermissions()
    {
        QFETCH(QStringList, args);
        QFETCH(int, inputMode);
        QFETCH(QString, output);
        QFETCH(QByteArray, message);
        WriteFile(work("in.txt"), "mine\n");
        QVERIFY(::chmod(work("in.txt").toLocal8Bit().constData(), inputMode) == 0);
        const Run r = pgp(QStringList{"+batchmode"} + args);
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(r.err.contains(message), r.err.constData());
        const mode_t mask = ::umask(0);
        ::umask(mask);
        struct stat st
        {
        };
        QVERIFY(::stat(work(output).toLocal8Bit().constData(), &st) == 0);
        QCOMPARE(int(st.st_mode & 0777), int((0600 | (inputMode & 066)) & ~mask));
    }

    // However the engine ends, no hidden temporary output is left behind and gpg is gone. A
    // stand-in for gpg hands over some plaintext and then waits for good.
    void temporaryOutputGoesOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("terminal closed") << int(SIGHUP);
        QTest::newRow("terminated") << int(SIGTERM);
        QTest::newRow("interrupted") << int(SIGINT);
        // The batch interpreter killed: the engine hears of it as of a closed terminal.
        QTest::newRow("parent killed") << int(SIGKILL);
    }
    void temporaryOutputGoesOnSignal()
    {
        QFETCH(int, signal);
        // Key listings (the pass phrase check asks for the secret keys) answer at once.
        writeScript("slowgpg", "#!/bin/sh\n"
                               "case \" $* \" in *' --list-secret-keys '*) exit 0;; esac\n"
                               "echo '[GNUPG:] PLAINTEXT 62 0 secret.txt' >&3\n"
                               "echo 'the whole plaintext'\n"
                               "echo $$ > gpg.pid\n"
                               "exec sleep 300\n");
        WriteFile(work("secret.pgp"), "ciphertext\n");
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("ZORVEX_GPG"), work("slowgpg"));
        QProcess p;
        p.setProcessEnvironment(e);
        p.setWorkingDirectory(m_work->path());
        const QStringList args{"+batchmode", "secret.pgp", "-z", "pw"};
        if (signal == SIGKILL)
            p.start(QStringLiteral("/bin/sh"),
                    QStringList{"-c", "\"$0\" \"$@\" & wait", m_tool} + args);
        else
            p.start(m_tool, args);
        QVERIFY(p.waitForStarted());
        const QDir dir(m_work->path());
        const auto temps = [&] {
            return dir.entryInfoList({QStringLiteral(".zorvex-pgp-*")}, QDir::Files | QDir::Hidden);
        };
        QTRY_VERIFY_WITH_TIMEOUT(!temps().isEmpty() && temps().front().size() > 0 &&
                                     QFile::exists(work("gpg.pid")),
                                 120000);
        const pid_t gpgPid = ReadFile(work("gpg.pid")).trimmed().toInt();
        QVERIFY(gpgPid > 0);
        QVERIFY(::kill(static_cast<pid_t>(p.processId()), signal) == 0);
        QVERIFY(p.waitForFinished(120000));
        if (signal == SIGHUP || signal == SIGKILL) {
            QCOMPARE(p.exitStatus(), QProcess::CrashExit);
            QTRY_VERIFY_WITH_TIMEOUT(::kill(gpgPid, 0) != 0, 120000);
        } else {
            QCOMPARE(p.exitCode(), 6);
            QVERIFY(p.readAllStandardError().contains("Interrupted."));
        }
        QTRY_VERIFY_WITH_TIMEOUT(temps().isEmpty(), 120000);
        QVERIFY(!QFile::exists(work("secret")));
        QVERIFY(::kill(gpgPid, 0) != 0);
    }

    // A key listing that may lack keys fails: the program must not take it for the key ring.
    void incompleteKeyListingFails_data()
    {
        QTest::addColumn<QString>("shell");
        QTest::addColumn<QByteArray>("said");
        QTest::newRow("written onto a full disk")
            << "trap '' XFSZ; ulimit -f 0; exec \"$0\" \"$@\" > keys.out"
            << QByteArray("Cannot write the key listing");
        QTest::newRow("gpg failed midway")
            << "ZORVEX_GPG=./failgpg exec \"$0\" \"$@\"" << QByteArray("could not be read in full");
    }
    void incompleteKeyListingFails()
    {
        QFETCH(QString, shell);
        QFETCH(QByteArray, said);
        writeScript("failgpg",
                    "#!/bin/sh\necho \"gpg: can't allocate lock for 'pubring.kbx'\" >&2\n"
                    "exit 2\n");
        const Run r = exec(QStringLiteral("/bin/sh"), {"-c", shell, m_tool, "+batchmode", "-kv"});
        QCOMPARE(r.code, 3);
        QVERIFY2(r.err.contains(said), r.err.constData());
    }

    void controlCharactersInStoredName()
    {
        WriteFile(work("x.txt"), "named\n");
        QCOMPARE(
            gpg({"--passphrase", "p", "--symmetric", "--set-filename",
                 QString::fromLatin1("t\x1b]0;owned\x07.txt"), "-o", work("in.pgp"), work("x.txt")})
                .code,
            0);
        const Run r = pgp({"+batchmode", "-p", "in.pgp", "-z", "p"});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(ReadFile(work("t_]0;owned_.txt")), QByteArray("named\n"));
        QVERIFY(!r.err.contains('\x1b'));
        QVERIFY2(r.err.contains("t\\x1b]0;owned\\x07.txt"), r.err.constData());
    }

    void wrongPassphraseUnderBatch_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("input");
        QTest::newRow("sign") << QStringList{"-saw", "plain.txt", "-u", "alice", "-z", "wrong"}
                              << 20 << "plain.txt";
        QTest::newRow("conventional decrypt")
            << QStringList{"conv.pgp", "-z", "wrong"} << 32 << "conv.pgp";
        QTest::newRow("public-key decrypt")
            << QStringList{"pub.pgp", "-z", "wrong"} << 31 << "pub.pgp";
        QTest::newRow("sign, no pass phrase")
            << QStringList{"-sa", "plain.txt", "-u", "bob"} << 20 << "plain.txt";
    }
    void wrongPassphraseUnderBatch()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QString, input);
        WriteFile(work("plain.txt"), "plain\n");
        QCOMPARE(
            gpg({"--passphrase", "right", "--symmetric", "-o", work("conv.pgp"), work("plain.txt")})
                .code,
            0);
        QCOMPARE(gpg({"-r", kAlice, "--encrypt", "-o", work("pub.pgp"), work("plain.txt")}).code,
                 0);
        forgetPassphrases();
        const QStringList before = QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden);
        const QByteArray kept = ReadFile(work(input));
        const Run r = pgp(QStringList{"+batchmode"} + args);
        QCOMPARE(r.code, code);
        QVERIFY(r.err.contains(input.toUtf8()));
        QCOMPARE(r.err.count('\n'), 1);
        QCOMPARE(ReadFile(work(input)), kept);
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden), before);
    }

    void passphraseFromEnvironment()
    {
        WriteFile(work("m.txt"), "m\n");
        forgetPassphrases();
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("PGPPASS"), QStringLiteral("alice pass"));
        Run r = exec(m_tool, {"+batchmode", "-sa", "m.txt", "-u", "alice"}, {}, &e);
        QVERIFY2(r.code == 0, r.err.constData());
        // PGPPASS never serves conventional encryption, nor its decryption.
        r = exec(m_tool, {"+batchmode", "-c", "m.txt", "-o", "c.pgp"}, {}, &e);
        QCOMPARE(r.code, 22);
        QVERIFY(!QFile::exists(work("c.pgp")));
        QCOMPARE(pgp({"+batchmode", "-c", "m.txt", "-o", "c.pgp", "-z", "alice pass"}).code, 0);
        forgetPassphrases();
        r = exec(m_tool, {"+batchmode", "c.pgp", "-o", "c.out"}, {}, &e);
        QCOMPARE(r.code, 32);
        QVERIFY(!QFile::exists(work("c.out")));
        // ...but it does unlock a secret key for decryption.
        QCOMPARE(pgp({"+batchmode", "-e", "m.txt", "alice", "-o", "p.pgp"}).code, 0);
        forgetPassphrases();
        r = exec(m_tool, {"+batchmode", "p.pgp", "-o", "p.out"}, {}, &e);
        QVERIFY2(r.code == 0, r.err.constData());
        QFile::remove(work("c.pgp"));
        // PGPPASSFD: the first line of that descriptor, here standard input.
        e.remove(QStringLiteral("PGPPASS"));
        e.insert(QStringLiteral("PGPPASSFD"), QStringLiteral("0"));
        r = exec(m_tool, {"+batchmode", "-c", "m.txt", "-o", "c.pgp"}, "fd pass\nrest\n", &e);
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(pgp({"+batchmode", "c.pgp", "-o", "back.txt", "-z", "fd pass"}).code, 0);
        QCOMPARE(ReadFile(work("back.txt")), QByteArray("m\n"));
    }

    void passphraseNeverFromStandardInput()
    {
        // Without a terminal questions are answered on stdin, but a pass phrase never is: one
        // line says so, and nothing is written.
        WriteFile(work("q.txt"), "q\n");
        for (const QStringList &args :
             {QStringList{"-c", "q.txt"}, {"-sa", "q.txt", "-u", "alice"}}) {
            const Run r = pgp(args, "alice pass\nalice pass\n");
            QVERIFY(r.code == 20 || r.code == 22);
            QCOMPARE(r.err.count('\n'), 1);
            QVERIFY(!QFile::exists(work("q.pgp")) && !QFile::exists(work("q.asc")));
        }
    }

    void existingOutput()
    {
        WriteFile(work("a.txt"), "new\n");
        WriteFile(work("a.pgp"), "old\n");
        Run r = pgp({"+batchmode", "-c", "a.txt", "-z", "p"});
        QCOMPARE(r.code, 3);
        QVERIFY(r.err.contains("a.pgp"));
        QCOMPARE(ReadFile(work("a.pgp")), QByteArray("old\n"));
        r = pgp({"-c", "a.txt", "-z", "p"}, "n\n\n");
        QCOMPARE(r.code, 3);
        QCOMPARE(ReadFile(work("a.pgp")), QByteArray("old\n"));
        r = pgp({"-c", "a.txt", "-z", "p"}, "n\nb.pgp\n");
        QCOMPARE(r.code, 0);
        QVERIFY(QFile::exists(work("b.pgp")));
        r = pgp({"-c", "a.txt", "-z", "p"}, "y\n");
        QCOMPARE(r.code, 0);
        QVERIFY(ReadFile(work("a.pgp")) != "old\n");
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("missing input") << QStringList{"-ea", "nosuch.txt", "alice"} << 2
                                       << QByteArray("File 'nosuch.txt' does not exist.");
        QTest::newRow("lone dash")
            << QStringList{"-", "a.txt"} << 2 << QByteArray("File '-' does not exist.");
        QTest::newRow("empty name")
            << QStringList{"", "x"} << 2 << QByteArray("File '' does not exist.");
        QTest::newRow("directory")
            << QStringList{"-c", ".", "-z", "x"} << 1 << QByteArray("not a regular file");
        QTest::newRow("output is the input")
            << QStringList{"-c", "data.txt", "-o", "data.txt", "-z", "x"} << 3
            << QByteArray("is the input file");
        QTest::newRow("unknown option")
            << QStringList{"-eq", "x"} << 5 << QByteArray("Unknown option");
        QTest::newRow("not pgp data")
            << QStringList{"data.txt"} << 3 << QByteArray("not a PGP file");
        QTest::newRow("unknown recipient") << QStringList{"-e", "data.txt", "nobody@nowhere"} << 21
                                           << QByteArray("nobody@nowhere");
        QTest::newRow("revoked recipient")
            << QStringList{"-e", "data.txt", "carol"} << 21 << QByteArray("carol");
        QTest::newRow("eyes only binary")
            << QStringList{"-em", "bin.dat", "alice"} << 1 << QByteArray("not a pure text file");
        QTest::newRow("keygen in batch") << QStringList{"-kg"} << 5 << QByteArray("+batchmode");
        QTest::newRow("remove in batch")
            << QStringList{"-kr", "alice"} << 10 << QByteArray("not removed");
        QTest::newRow("extract unknown key")
            << QStringList{"-kx", "nobody@nowhere", "k"} << 11 << QByteArray("Key not found");
    }
    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        WriteFile(work("data.txt"), "data\n");
        WriteFile(work("bin.dat"), QByteArray("\x00\x01\x02", 3));
        const Run r = pgp(QStringList{"+batchmode"} + args);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QCOMPARE(QDir(m_work->path()).entryList(QDir::Files | QDir::Hidden).size(), 2);
    }

    void oddFileNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("blanks") << QStringLiteral("my notes for you.txt");
        QTest::newRow("quotes") << QStringLiteral("say \"hi\" 'now'.txt");
        QTest::newRow("non-ASCII") << QStringLiteral("Grüße für Łukasz.txt");
        QTest::newRow("leading dash") << QStringLiteral("-rf.txt");
    }
    void oddFileNames()
    {
        QFETCH(QString, name);
        WriteFile(work(name), "odd\n");
        const QString base = name.left(name.size() - 4);
        Run r = pgp({"+batchmode", "-ea", name, "0x32459C31", "-z", "alice pass"});
        if (name.startsWith(QLatin1Char('-'))) {
            // PGP reads it as options; it must fail cleanly and leave the file alone.
            QCOMPARE(r.code, 5);
            QCOMPARE(ReadFile(work(name)), QByteArray("odd\n"));
            return;
        }
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(QFile::exists(work(base + ".asc")));
        QFile::remove(work(name));
        r = pgp({"+batchmode", "-p", base + ".asc", "-z", "alice pass"});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(ReadFile(work(name)), QByteArray("odd\n"));
    }

    void restoredNameStaysInCurrentDirectory()
    {
        QDir(m_work->path()).mkdir(QStringLiteral("sub"));
        WriteFile(work("x.txt"), "escape?\n");
        QCOMPARE(gpg({"--passphrase", "p", "--symmetric", "--set-filename", "../evil.txt", "-o",
                      work("sub/in.pgp"), work("x.txt")})
                     .code,
                 0);
        Run r = exec(m_tool, {"+batchmode", "-p", "in.pgp", "-z", "p"}, {});
        QCOMPARE(r.code, 2); // in.pgp is in sub/, not here
        QProcess p;
        p.setProcessEnvironment(env());
        p.setWorkingDirectory(work("sub"));
        p.start(m_tool, {"+batchmode", "-p", "in.pgp", "-z", "p"});
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(ReadFile(work("sub/evil.txt")), QByteArray("escape?\n"));
        QCOMPARE(ReadFile(work("evil.txt")), QByteArray());
    }

    void eyesOnlyAndKeepBinary()
    {
        WriteFile(work("eyes.txt"), "for you only\n");
        QCOMPARE(pgp({"+batchmode", "-eam", "eyes.txt", "alice"}).code, 0);
        QFile::remove(work("eyes.txt"));
        Run r = pgp({"+batchmode", "+keepbinary=on", "eyes.asc", "-z", "alice pass"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.out.contains("for you only"));
        QVERIFY(!QFile::exists(work("eyes")));
        QVERIFY(!QFile::exists(work("eyes.txt")));
        QVERIFY(!QFile::exists(work("_CONSOLE")));

        // -t on a binary file: a note, and the bytes travel unchanged.
        const QByteArray bin("\x00\x01\r\n\xff", 5);
        WriteFile(work("b.dat"), bin);
        Run t = pgp({"+batchmode", "-et", "b.dat", "alice"});
        QCOMPARE(t.code, 0);
        QVERIFY(t.err.contains(
            "Note: 'b.dat' is not a pure text file. File will be treated as binary data."));
        QFile::remove(work("b.dat"));
        QCOMPARE(pgp({"+batchmode", "b.pgp", "-o", "b.dat", "-z", "alice pass"}).code, 0);
        QCOMPARE(ReadFile(work("b.dat")), bin);

        // Clear-signing a binary file falls back to an armoured signed message.
        WriteFile(work("c.dat"), bin);
        t = pgp({"+batchmode", "-sta", "+clearsig=on", "c.dat", "-u", "alice", "-z", "alice pass"});
        QCOMPARE(t.code, 0);
        QVERIFY(ReadFile(work("c.asc")).startsWith("-----BEGIN PGP MESSAGE-----"));
        QCOMPARE(gpg({"--verify", work("c.asc")}).code, 0);

        WriteFile(work("k.txt"), "binary kept\n");
        QCOMPARE(pgp({"+batchmode", "-ea", "k.txt", "alice"}).code, 0);
        r = pgp({"+batchmode", "+keepbinary=on", "k.asc", "-o", "k.out", "-z", "alice pass"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(ReadFile(work("k.pgp")).size() > 0);
        QCOMPARE(gpg({"--passphrase", "alice pass", "-d", work("k.pgp")}).out,
                 QByteArray("binary kept\n"));
    }

    void extractAddRemoveOnSecondKeyring()
    {
        Run r = pgp({"+batchmode", "-kxa", "bob@example.org", "bob"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(ReadFile(work("bob.asc")).startsWith("-----BEGIN PGP PUBLIC KEY BLOCK-----"));
        QCOMPARE(pgp({"+batchmode", "-kx", "0x32459C31", "alice"}).code, 0);
        QVERIFY(QFile::exists(work("alice.pgp")));

        r = pgp({"+batchmode", "-ka", "bob.asc", "work"});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(pgp({"+batchmode", "-ka", "alice.pgp", "work"}).code, 0);
        r = pgp({"-kv", "work.pgp"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Key ring: '" + work("work.pgp").toUtf8() + "'"));
        QVERIFY(r.out.contains("pub   255/6FEB3FC3 "));
        QVERIFY(r.out.contains("2 matching keys found."));

        QCOMPARE(pgp({"-kr", "bob", "work"}, "n\n").code, 10);
        r = pgp({"-kr", "bob", "work"}, "y\n");
        QVERIFY2(r.code == 0, r.err.constData());
        r = pgp({"-kv", "work.pgp"});
        QVERIFY(r.out.contains("1 matching key found."));
        QVERIFY(!r.out.contains("Bob"));
        // The default ring still has Bob.
        QVERIFY(pgp({"-kv", "bob"}).out.contains("1 matching key found."));
        // No file named: the name is asked for, and gets the extension.
        r = pgp({"-kx", "alice"}, "asked\n");
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(QFile::exists(work("asked.pgp")));
        QCOMPARE(pgp({"+batchmode", "-ka", "nosuch.asc"}).code, 2);
        WriteFile(work("junk.asc"), "no keys here\n");
        QCOMPARE(pgp({"+batchmode", "-ka", "junk.asc", "work"}).code, 1);
    }

    void ambiguousShortKeyIdRefused()
    {
        // Real keys with colliding short IDs cannot be made in a test, so a stand-in for gpg
        // (ZORVEX_GPG) lists two keys sharing 0x22223333.
        writeScript("fakegpg", "#!/bin/sh\ncat <<'EOF'\n"
                               "pub:u:2048:1:1111111122223333:1796693054:::u:::scESC:\n"
                               "fpr:::::::::00000000000000000000000000001111111122223333:\n"
                               "uid:u::::1::x::First Key <a@example.org>:\n"
                               "pub:u:2048:1:4444444422223333:1796693054:::u:::scESC:\n"
                               "fpr:::::::::00000000000000000000000000004444444422223333:\n"
                               "uid:u::::1::x::Second Key <b@example.org>:\n"
                               "EOF\n");
        WriteFile(work("data.txt"), "data\n");
        QProcessEnvironment e = env();
        e.insert(QStringLiteral("ZORVEX_GPG"), work("fakegpg"));
        for (const QStringList &args : {QStringList{"+batchmode", "-e", "data.txt", "0x22223333"},
                                        QStringList{"+batchmode", "-kx", "0x22223333", "k"},
                                        QStringList{"-kr", "0x22223333"}}) {
            const Run r = exec(m_tool, args, "y\n", &e);
            QCOMPARE(r.code, 1);
            QVERIFY2(r.err.contains("0x22223333 matches 2 keys"), r.err.constData());
        }
        QVERIFY(!QFile::exists(work("data.pgp")));
        QVERIFY(!QFile::exists(work("k.pgp")));
        const Run r = exec(m_tool, {"-kv", "0x22223333"}, {}, &e);
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("2 matching keys found."));
    }

    void uncertifiedKeyNeedsTheUsersYes()
    {
        QCOMPARE(gpg({"--import-ownertrust"}, kBob.toLatin1() + ":2:\n").code, 0);
        gpg({"--check-trustdb"});
        WriteFile(work("u.txt"), "u\n");
        Run r = pgp({"+batchmode", "-e", "u.txt", "bob@example.org"});
        QCOMPARE(r.code, 21);
        QVERIFY2(r.err.contains("not certified"), r.err.constData());
        r = pgp({"-e", "u.txt", "bob@example.org"}, "n\n");
        QCOMPARE(r.code, 21);
        r = pgp({"-e", "u.txt", "bob@example.org"}, "y\n");
        QCOMPARE(gpg({"--import-ownertrust"}, kBob.toLatin1() + ":6:\n").code, 0);
        gpg({"--check-trustdb"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(QFile::exists(work("u.pgp")));
    }

    // Runs last: it takes Carol's key and secret key out of the test home.
    void removeOwnKeyAsksAboutTheSecretKey()
    {
        QCOMPARE(pgp({"-kr", "carol"}, "y\nn\n").code, 10);
        QVERIFY(gpg({"--list-secret-keys", kCarol}).code == 0);
        const Run r = pgp({"-kr", "carol"}, "y\ny\n");
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(gpg({"--list-secret-keys", kCarol}).code != 0);
        QCOMPARE(pgp({"-kv", "carol"}).code, 67);
    }
};

QTEST_GUILESS_MAIN(TestPgpEngine)
#include "tst_pgpengine.moc"
