// zorvex-pgp with PGP 2.x material: a version 3 key pair, IDEA messages and MD5 signatures made
// outside the program (tests/fixtures/legacy, see the README there), read and written through
// GnuPG 1.4; and without GnuPG 1.4, every such case says what to install.
#include "enginesupport.h"
#include "oldpackets.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {

using Run = engine::ProcessRun;

QByteArray ReadFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

const QString kOlgaLine =
    QStringLiteral("pub  1024/933581DB 1996/03/01 Olga Oldkey <olga@example.org>");

} // namespace

class TestPgpLegacy : public QObject
{
    Q_OBJECT

    QTemporaryDir m_home{QStringLiteral("/tmp/zplXXXXXX")};
    QTemporaryDir m_work{QStringLiteral("/tmp/zpwXXXXXX")};
    QString m_tool;
    QString m_fixtures;
    bool m_gpg1 = false;

    Run exec(const QString &program, const QStringList &args, const QByteArray &input = {},
             bool withGpg1 = true)
    {
        QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
        e.insert(QStringLiteral("GNUPGHOME"), m_home.path());
        e.remove(QStringLiteral("PGPPASS"));
        e.remove(QStringLiteral("PGPPASSFD"));
        if (!withGpg1)
            e.insert(QStringLiteral("ZORVEX_GPG1"), QStringLiteral("/nonexistent/gpg1"));
        return engine::runProcess(program, args, m_work.path(), e, input);
    }
    Run pgp(const QStringList &args, const QByteArray &input = {})
    {
        return exec(m_tool, args, input);
    }
    // GnuPG 1.4 itself on the key ring zorvex-pgp keeps for these keys.
    Run gpg1(const QStringList &args)
    {
        return exec(QStringLiteral("gpg1"),
                    QStringList{"--homedir", m_home.path() + "/zorvex-legacy", "--batch",
                                "--allow-weak-digest-algos"} +
                        args);
    }
    QString work(const QString &name) const { return m_work.path() + QLatin1Char('/') + name; }
    void copyFixture(const QString &name, const QString &as = QString())
    {
        QFile::remove(work(as.isEmpty() ? name : as));
        QVERIFY(QFile::copy(m_fixtures + name, work(as.isEmpty() ? name : as)));
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_home.isValid() && m_work.isValid());
        QFile::setPermissions(m_home.path(),
                              QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        m_tool = qEnvironmentVariable("ZORVEX_TOOLS_DIR") + QStringLiteral("/zorvex-pgp");
        QVERIFY2(QFile::exists(m_tool), qPrintable(m_tool));
        m_fixtures = qEnvironmentVariable("ZORVEX_SOURCE_DIR") + "/tests/fixtures/legacy/";
        if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
            QSKIP("gpg is not installed");
        m_gpg1 = !QStandardPaths::findExecutable(QStringLiteral("gpg1")).isEmpty();
    }

    void cleanupTestCase()
    {
        exec(QStringLiteral("gpgconf"), {"--homedir", m_home.path(), "--kill", "gpg-agent"});
    }

    // What the packets of material made outside tell, without any gpg.
    void packetFacts_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("oldKeys");
        QTest::addColumn<bool>("oldConventional");
        QTest::addColumn<bool>("oldPublicKey");
        QTest::addColumn<bool>("md5");
        QTest::newRow("binary key ring") << "olga.pub.pgp" << 1 << false << false << true;
        QTest::newRow("armoured secret key") << "olga.sec.asc" << 1 << false << false << true;
        QTest::newRow("IDEA public-key") << "idea-pk.asc" << 0 << false << true << false;
        QTest::newRow("IDEA conventional") << "idea-conv.pgp" << 0 << true << false << false;
        QTest::newRow("clear-signed") << "md5-clear.asc" << 0 << false << false << true;
        QTest::newRow("today's key") << "../alice.pub.asc" << 0 << false << false << false;
    }
    void packetFacts()
    {
        QFETCH(QString, file);
        QFETCH(int, oldKeys);
        QFETCH(bool, oldConventional);
        QFETCH(bool, oldPublicKey);
        QFETCH(bool, md5);
        const QByteArray data = ReadFile(m_fixtures + file);
        QVERIFY(!data.isEmpty());
        const zpgp::PacketFacts f = zpgp::ReadPacketFacts(data.toStdString());
        QCOMPARE(f.oldKeys, oldKeys);
        QCOMPARE(f.oldConventional(), oldConventional);
        QCOMPARE(f.oldPublicKey(), oldPublicKey);
        QCOMPARE(f.md5Signature, md5);
        QVERIFY(!f.cut);
        // A file that only starts like IDEA data is not taken for a message.
        QVERIFY(zpgp::ReadPacketFacts("\xa6\x00\x40short").cut);
        const std::string bin = zpgp::Dearmor(data.toStdString());
        QCOMPARE(zpgp::Dearmor(zpgp::Armor(bin, "MESSAGE")), bin);
    }

    // Without GnuPG 1.4 nothing claims success, and each case names what to install.
    void withoutGpg1_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("add key") << QStringList{"-ka", "olga.pub.pgp"} << 10
                                 << QByteArray(
                                        "a PGP 2.x key (version 3): install gnupg1 to use it");
        QTest::newRow("IDEA public-key") << QStringList{"idea-pk.asc", "-z", "x"} << 31
                                         << QByteArray("PGP 2.x message (IDEA): install gnupg1");
        QTest::newRow("IDEA conventional") << QStringList{"idea-conv.pgp", "-z", "x"} << 32
                                           << QByteArray("PGP 2.x message (IDEA): install gnupg1");
        QTest::newRow("MD5 detached") << QStringList{"md5.sig"} << 30
                                      << QByteArray("PGP 2.x signature (MD5): install gnupg1");
        QTest::newRow("MD5 clear-signed") << QStringList{"md5-clear.asc"} << 30
                                          << QByteArray("PGP 2.x signature (MD5): install gnupg1");
    }
    void withoutGpg1()
    {
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        copyFixture(args.first().startsWith('-') ? args[1] : args[0]);
        copyFixture(QStringLiteral("message.txt"), QStringLiteral("md5"));
        const Run r = exec(m_tool, QStringList{"+batchmode", "-o", "out"} + args, {}, false);
        QCOMPARE(r.code, code);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QVERIFY(!QFile::exists(work("out")));
        QVERIFY(!QFile::exists(m_home.path() + "/zorvex-legacy/pubring.gpg"));
    }

    // The key pair added from an old binary ring and an armoured secret key, then listed in the
    // PGP 2.6 layout beside today's keys.
    void addAndList()
    {
        if (!m_gpg1)
            QSKIP("gpg1 (Debian package gnupg1) is not installed");
        QCOMPARE(
            exec(QStringLiteral("gpg"), {"--batch", "--import", m_fixtures + "../alice.pub.asc"})
                .code,
            0);
        copyFixture(QStringLiteral("olga.pub.pgp"));
        copyFixture(QStringLiteral("olga.sec.asc"));
        // An old key ring named on the command line is read where it is.
        Run r = pgp({"-kv", "olga.pub.pgp"});
        QVERIFY2(r.out.contains(kOlgaLine.toUtf8() + "\n1 matching key found."), r.err.constData());
        r = pgp({"-ka", "olga.pub.pgp"});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(r.err.contains("Key 933581DB \"Olga Oldkey <olga@example.org>\": added.\n"
                                "Key fingerprint = 91 1F 77 16 D5 4E 44 76  66 BD 68 09 F9 08 CE "
                                "4C\n1 key added, 0 updated, 0 unchanged, 0 skipped.\n"),
                 r.err.constData());
        QCOMPARE(pgp({"-ka", "olga.sec.asc"}).code, 0);
        r = pgp({"-ka", "olga.pub.pgp"});
        QCOMPARE(r.code, 10);
        QVERIFY(
            r.err.contains(": unchanged, already on the key ring.\n0 keys added, 0 updated, 1 "));
        QCOMPARE(QFile::permissions(m_home.path() + "/zorvex-legacy") & 0x0077, 0);

        r = pgp({"-kv"});
        QCOMPARE(r.code, 0);
        QVERIFY(r.out.contains("Alice Rsa <alice@example.org>\n" + kOlgaLine.toUtf8() +
                               "\n2 matching keys found.\n"));
        r = pgp({"-kvc", "0x933581DB"});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.contains(kOlgaLine.toUtf8() +
                                "\n            Key fingerprint = 91 1F 77 16 D5 4E 44 76  66 BD "
                                "68 09 F9 08 CE 4C\n1 matching key found."),
                 r.out.constData());

        // A key ring named for -ka gets the key itself; a GnuPG 2 key box cannot hold it.
        r = pgp({"-ka", "olga.pub.pgp", "old"});
        QVERIFY2(r.err.contains("1 key added to key ring '" + work("old.pgp").toUtf8() + "'"),
                 r.err.constData());
        QVERIFY(pgp({"-kv", "olga", "old"}).out.contains(kOlgaLine.toUtf8()));
        QCOMPARE(pgp({"-ka", m_fixtures + "../alice.pub.asc", "box"}).code, 0);
        r = pgp({"-ka", "olga.pub.pgp", "box"});
        QCOMPARE(r.code, 10);
        QVERIFY2(r.err.contains("(a GnuPG 2 key box) cannot hold; not added"), r.err.constData());
    }

    // Material made outside the program, read through GnuPG 1.4 with one line saying so.
    void readOldMessages_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("IDEA public-key")
            << QStringList{"idea-pk.asc", "-z", "olga pass"} << 0 << QByteArray();
        QTest::newRow("IDEA conventional")
            << QStringList{"idea-conv.pgp", "-z", "idea pass"} << 0 << QByteArray();
        QTest::newRow("IDEA conventional, wrong pass phrase")
            << QStringList{"idea-conv.pgp", "-z", "wrong"} << 32 << QByteArray("pass phrase");
        QTest::newRow("MD5 signed") << QStringList{"md5-signed.pgp"} << 0
                                    << QByteArray("Good signature from user \"Olga Oldkey");
        QTest::newRow("MD5 clear-signed") << QStringList{"md5-clear.asc"} << 0
                                          << QByteArray("Good signature from user \"Olga Oldkey");
        QTest::newRow("MD5 detached")
            << QStringList{"md5.sig"} << 0 << QByteArray("Good signature from user \"Olga Oldkey");
        const QByteArray bad("WARNING: Bad signature, doesn't match file contents!\nBad signature "
                             "from user \"Olga Oldkey <olga@example.org>\".");
        QTest::newRow("MD5 signed, changed") << QStringList{"md5-signed.pgp"} << 30 << bad;
        QTest::newRow("MD5 clear-signed, changed") << QStringList{"md5-clear.asc"} << 30 << bad;
        QTest::newRow("MD5 detached, other file")
            << QStringList{"md5.sig", m_fixtures + "olga.sec.asc"} << 30 << bad;
    }
    void readOldMessages()
    {
        if (!m_gpg1)
            QSKIP("gpg1 (Debian package gnupg1) is not installed");
        QFETCH(QStringList, args);
        QFETCH(int, code);
        QFETCH(QByteArray, message);
        copyFixture(args[0]);
        copyFixture(QStringLiteral("message.txt"), QStringLiteral("md5"));
        QFile::remove(work("out"));
        if (QByteArray(QTest::currentDataTag()).endsWith("changed")) {
            QFile f(work(args[0]));
            QVERIFY(f.open(QIODevice::ReadWrite));
            const QByteArray text = f.readAll().replace("An old", "An OLD");
            f.seek(0);
            f.write(text);
        }
        const Run r = pgp(QStringList{"+batchmode", "-o", "out"} + args);
        QCOMPARE(QFile::exists(work("out")), code == 0 && !args[0].endsWith(".sig"));
        QVERIFY2(r.code == code, r.err.constData());
        QVERIFY(r.err.contains("uses PGP 2.x algorithms (IDEA, MD5)"));
        QVERIFY2(r.err.contains(message), r.err.constData());
        if (code == 0 && !args[0].endsWith(".sig"))
            QCOMPARE(ReadFile(work("out")), ReadFile(m_fixtures + "message.txt"));
    }

    // Messages to and from the version 3 key come out in the old format, with a warning, and
    // GnuPG 1.4 reads them with the key's secret half.
    void writeOldMessages_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("output");
        QTest::addColumn<QByteArray>("weaker");
        QTest::newRow("-ea") << QStringList{"-ea", "IN", "olga"} << "plan.asc"
                             << QByteArray("message uses IDEA,");
        QTest::newRow("-es short id")
            << QStringList{"-es", "IN", "0x933581DB", "-u", "olga", "-z", "olga pass"} << "plan.pgp"
            << QByteArray("message uses IDEA and MD5");
        QTest::newRow("-sa") << QStringList{"-sa", "IN", "-u", "olga", "-z", "olga pass"}
                             << "plan.asc" << QByteArray("signature uses MD5");
        QTest::newRow("clear-sign")
            << QStringList{"-sta", "+clearsig=on", "IN", "-u", "olga", "-z", "olga pass"}
            << "plan.asc" << QByteArray("signature uses MD5");
        QTest::newRow("-sb") << QStringList{"-sb", "IN", "-u", "olga", "-z", "olga pass"}
                             << "plan.sig" << QByteArray("signature uses MD5");
        // One pass phrase, as PGP 2.6 took it, for the key and the conventional encryption.
        QTest::newRow("-cs") << QStringList{"-cs", "IN", "-u", "olga", "-z", "olga pass"}
                             << "plan.pgp" << QByteArray("message uses IDEA and MD5");
        QTest::newRow("-esb") << QStringList{"-esb", "IN", "olga", "-u", "olga", "-z", "olga pass"}
                              << "plan.sig" << QByteArray("message uses IDEA and MD5");
    }
    void writeOldMessages()
    {
        if (!m_gpg1)
            QSKIP("gpg1 (Debian package gnupg1) is not installed");
        QFETCH(QStringList, args);
        QFETCH(QString, output);
        QFETCH(QByteArray, weaker);
        const QByteArray plain = "Plan for 1996\n";
        QFile::remove(work(output));
        QFile f(work("plan.txt"));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(plain);
        f.close();
        args.replaceInStrings(QStringLiteral("IN"), QStringLiteral("plan.txt"));
        Run r = pgp(QStringList{"+batchmode"} + args);
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY2(r.err.contains("is a PGP 2.x key (version 3): the " + weaker), r.err.constData());
        const zpgp::PacketFacts facts = zpgp::ReadPacketFacts(ReadFile(work(output)).toStdString());
        if (args[0].startsWith("-e"))
            QVERIFY(facts.oldPublicKey());
        if (args[0].startsWith("-c"))
            QVERIFY(facts.oldConventional());
        if (output.endsWith(".sig")) {
            QString sig = work(output);
            if (args[0].startsWith("-e")) {
                // Only the detached signature was encrypted.
                QFile::remove(work("plain.sig"));
                QCOMPARE(
                    gpg1({"--passphrase", "olga pass", "-o", work("plain.sig"), "--decrypt", sig})
                        .code,
                    0);
                sig = work("plain.sig");
            }
            QCOMPARE(gpg1({"--verify", sig, work("plan.txt")}).code, 0);
            return;
        }
        r = gpg1({"--passphrase", "olga pass", "--decrypt", work(output)});
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(r.out.startsWith(plain));
        if (args[0] != "-ea")
            QVERIFY(r.err.contains("Good signature from \"Olga Oldkey"));
    }

    void keyCommands()
    {
        if (!m_gpg1)
            QSKIP("gpg1 (Debian package gnupg1) is not installed");
        QFile::remove(work("olga.asc"));
        Run r = pgp({"-kxa", "olga", "olga"});
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(zpgp::ReadPacketFacts(ReadFile(work("olga.asc")).toStdString()).oldKeys, 1);
        QFile plan(work("plan.txt"));
        QVERIFY(plan.open(QIODevice::WriteOnly | QIODevice::Truncate));
        plan.write("plan\n");
        plan.close();
        r = pgp({"+batchmode", "-e", "plan.txt", "olga", "alice", "-o", "mixed.pgp"});
        QCOMPARE(r.code, 21);
        QVERIFY(r.err.contains("cannot be used together with newer keys"));
        gpg1({"--edit-key", "olga", "disable", "save"});
        r = pgp({"+batchmode", "-e", "plan.txt", "olga", "-o", "disabled.pgp"});
        QCOMPARE(r.code, 21);
        QVERIFY2(r.err.contains("the key of 'olga' is disabled."), r.err.constData());
        r = pgp({"-kr", "0x933581DB"}, "y\ny\n");
        QVERIFY2(r.code == 0, r.err.constData());
        QCOMPARE(pgp({"-kv", "olga"}).code, 67);
        QVERIFY(!gpg1({"--list-secret-keys"}).out.contains("olga"));
    }
};

QTEST_GUILESS_MAIN(TestPgpLegacy)
#include "tst_pgplegacy.moc"
