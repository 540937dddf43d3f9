// zorvex-pgp against other OpenPGP programs: what it writes, sq and rnp read; what they write,
// zorvex-pgp reads, with the output names and exit codes a user would see.
//
// One key without a pass phrase, made by gpg, serves all three: imported into the test home,
// handed to sq as a file, imported into an rnp home of its own.
#include "enginesupport.h"

#include <QtTest>

namespace {

using Result = engine::ProcessRun;

const QByteArray kText = "hello peers\n";

Result Execute(const QString &program, const QStringList &args, const QString &dir)
{
    return engine::runProcess(program, args, dir);
}

QByteArray ReadAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

bool WriteAll(const QString &path, const QByteArray &data)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(data) == data.size();
}

} // namespace

class TestPgpInterop : public QObject
{
    Q_OBJECT

    engine::GnupgHome m_home;
    QTemporaryDir m_keys{QStringLiteral("/tmp/zpiXXXXXX")};
    QTemporaryDir *m_work = nullptr;
    QString m_tool;

    QString keys(const QString &name) const { return m_keys.path() + QLatin1Char('/') + name; }
    QString work(const QString &name) const { return m_work->path() + QLatin1Char('/') + name; }

    // "KEY", "CERT" and "RNPHOME" in a peer's command line.
    QStringList expand(QStringList args) const
    {
        args.replaceInStrings(QStringLiteral("KEY"), keys(QStringLiteral("peer.key")));
        args.replaceInStrings(QStringLiteral("CERT"), keys(QStringLiteral("peer.cert")));
        args.replaceInStrings(QStringLiteral("RNPHOME"), keys(QStringLiteral("rnp")));
        return args;
    }
    void requirePeer(const QString &peer)
    {
        if (QStandardPaths::findExecutable(peer).isEmpty())
            QSKIP(qPrintable(peer + QStringLiteral(" is not installed (Debian package ") + peer +
                             QStringLiteral(")")));
    }

private slots:
    void initTestCase()
    {
        m_tool = engine::findTool(QStringLiteral("zorvex-pgp"));
        QVERIFY2(!m_tool.isEmpty(), "zorvex-pgp is not built");
        if (QStandardPaths::findExecutable(QStringLiteral("gpg")).isEmpty())
            QSKIP("gpg is not installed (Debian package gnupg)");
        QVERIFY(m_home.isValid() && m_keys.isValid());
        QVERIFY(m_home.importFixtures());
        QVERIFY(m_home.trustUltimately({engine::alice()}));
        int code = -1;
        m_home.gpg({"--passphrase", "", "--quick-gen-key", "Peer <peer@example.org>", "default",
                    "default", "never"},
                   {}, &code);
        QCOMPARE(code, 0);
        const QByteArray listing = m_home.gpg({"--with-colons", "--list-keys", "peer@example.org"});
        const qsizetype fpr = listing.indexOf("\nfpr:::::::::");
        QVERIFY(fpr >= 0);
        m_home.gpg({"--import-ownertrust"}, listing.mid(fpr + 13, 40) + ":6:\n", &code);
        QCOMPARE(code, 0);
        QVERIFY(WriteAll(keys("peer.key"),
                         m_home.gpg({"--pinentry-mode", "loopback", "--passphrase", "",
                                     "--export-secret-keys", "peer@example.org"})));
        QVERIFY(WriteAll(keys("peer.cert"), m_home.gpg({"--export", "peer@example.org"})));
        if (!QStandardPaths::findExecutable(QStringLiteral("rnpkeys")).isEmpty()) {
            QVERIFY(QDir(m_keys.path()).mkdir(QStringLiteral("rnp")));
            QCOMPARE(Execute(QStringLiteral("rnpkeys"),
                             expand({"--homedir", "RNPHOME", "--import", "KEY"}), m_keys.path())
                         .code,
                     0);
        }
    }

    void init()
    {
        m_work = new QTemporaryDir(QStringLiteral("/tmp/zpwXXXXXX"));
        QVERIFY(m_work->isValid());
        QVERIFY(WriteAll(work("m.txt"), kText));
    }
    void cleanup()
    {
        delete m_work;
        m_work = nullptr;
    }

    // What zorvex-pgp writes, read by the peer; "text" when the peer must give the text back.
    void peersReadWhatWeWrite_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QStringList>("ours");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QStringList>("theirs");
        QTest::addColumn<bool>("text");
        const QStringList one{"-ea", "m.txt", "peer@example.org"};
        const QStringList two{"-e", "m.txt", "alice@example.org", "peer@example.org"};
        const QStringList sign{"-sa", "m.txt", "-u", "peer@example.org"};
        const QStringList clear{"-sta", "+clearsig=on", "m.txt", "-u", "peer@example.org"};
        const QStringList detached{"-sb", "m.txt", "-u", "peer@example.org"};
        QTest::newRow("sq: one recipient")
            << "sq" << one << "m.asc" << QStringList{"decrypt", "--recipient-key", "KEY", "m.asc"}
            << true;
        QTest::newRow("sq: two recipients")
            << "sq" << two << "m.pgp" << QStringList{"decrypt", "--recipient-key", "KEY", "m.pgp"}
            << true;
        QTest::newRow("sq: signed")
            << "sq" << sign << "m.asc" << QStringList{"verify", "--signer-cert", "CERT", "m.asc"}
            << true;
        QTest::newRow("sq: clear-signed")
            << "sq" << clear << "m.asc" << QStringList{"verify", "--signer-cert", "CERT", "m.asc"}
            << true;
        QTest::newRow("sq: detached")
            << "sq" << detached << "m.sig"
            << QStringList{"verify", "--detached", "m.sig", "--signer-cert", "CERT", "m.txt"}
            << false;
        QTest::newRow("rnp: one recipient")
            << "rnp" << one << "m.asc"
            << QStringList{"--homedir", "RNPHOME", "-d", "m.asc", "--output", "-"} << true;
        QTest::newRow("rnp: two recipients")
            << "rnp" << two << "m.pgp"
            << QStringList{"--homedir", "RNPHOME", "-d", "m.pgp", "--output", "-"} << true;
        QTest::newRow("rnp: signed") << "rnp" << sign << "m.asc"
                                     << QStringList{"--homedir", "RNPHOME", "-v", "m.asc"} << false;
        QTest::newRow("rnp: clear-signed")
            << "rnp" << clear << "m.asc" << QStringList{"--homedir", "RNPHOME", "-v", "m.asc"}
            << false;
        QTest::newRow("rnp: detached")
            << "rnp" << detached << "m.sig"
            << QStringList{"--homedir", "RNPHOME", "-v", "m.sig", "--source", "m.txt"} << false;
    }
    void peersReadWhatWeWrite()
    {
        QFETCH(QString, peer);
        QFETCH(QStringList, ours);
        QFETCH(QString, written);
        QFETCH(QStringList, theirs);
        QFETCH(bool, text);
        requirePeer(peer);
        Result r = Execute(m_tool, QStringList{"+batchmode"} + ours, m_work->path());
        QVERIFY2(r.code == 0, r.err.constData());
        QVERIFY(QFile::exists(work(written)));
        r = Execute(peer, expand(theirs), m_work->path());
        QVERIFY2(r.code == 0, r.err.constData());
        if (text)
            QVERIFY2(r.out.contains(kText), r.out.constData());
    }

    // What the peer writes (to standard output, kept as `file`), read by zorvex-pgp.
    void weReadWhatPeersWrite_data()
    {
        QTest::addColumn<QString>("peer");
        QTest::addColumn<QStringList>("theirs");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QStringList>("ours");
        QTest::addColumn<QString>("output"); // empty: a signature check, no file written
        QTest::newRow("sq: encrypted")
            << "sq" << QStringList{"encrypt", "--recipient-cert", "CERT", "m.txt"} << "m.asc"
            << QStringList{"m.asc"} << "m";
        QTest::newRow("sq: signed") << "sq" << QStringList{"sign", "--signer-key", "KEY", "m.txt"}
                                    << "s.pgp" << QStringList{"s.pgp"} << "s";
        QTest::newRow("sq: clear-signed")
            << "sq" << QStringList{"sign", "--cleartext-signature", "--signer-key", "KEY", "m.txt"}
            << "c.asc" << QStringList{"c.asc"} << "c";
        QTest::newRow("sq: detached")
            << "sq" << QStringList{"sign", "--detached", "--signer-key", "KEY", "m.txt"} << "m.sig"
            << QStringList{"m.sig", "m.txt"} << QString();
        QTest::newRow("rnp: encrypted")
            << "rnp" << QStringList{"--homedir",        "RNPHOME", "-e",       "-r",
                                    "peer@example.org", "m.txt",   "--output", "-"}
            << "m.pgp" << QStringList{"m.pgp"} << "m";
        QTest::newRow("rnp: signed")
            << "rnp"
            << QStringList{"--homedir", "RNPHOME", "-s", "m.txt", "--password", "", "--output", "-"}
            << "s.pgp" << QStringList{"s.pgp"} << "s";
        QTest::newRow("rnp: clear-signed")
            << "rnp" << QStringList{"--homedir",  "RNPHOME", "--clearsign", "m.txt",
                                    "--password", "",        "--output",    "-"}
            << "c.asc" << QStringList{"c.asc"} << "c";
        QTest::newRow("rnp: detached")
            << "rnp" << QStringList{"--homedir",  "RNPHOME", "-s",       "--detach", "m.txt",
                                    "--password", "",        "--output", "-"}
            << "m.sig" << QStringList{"m.sig", "m.txt"} << QString();
    }
    void weReadWhatPeersWrite()
    {
        QFETCH(QString, peer);
        QFETCH(QStringList, theirs);
        QFETCH(QString, file);
        QFETCH(QStringList, ours);
        QFETCH(QString, output);
        requirePeer(peer);
        Result r = Execute(peer, expand(theirs), m_work->path());
        QVERIFY2(r.code == 0 && !r.out.isEmpty(), r.err.constData());
        QVERIFY(WriteAll(work(file), r.out));
        r = Execute(m_tool, QStringList{"+batchmode"} + ours, m_work->path());
        QVERIFY2(r.code == 0, r.err.constData());
        if (output.isEmpty())
            QVERIFY2(r.err.contains("Good signature from user \"Peer <peer@example.org>\"."),
                     r.err.constData());
        else
            // rnp clear-signs the text with one more line end; every reader gives it back.
            QCOMPARE(ReadAll(work(output)).trimmed(), kText.trimmed());
        if (file != QLatin1String("m.asc") && file != QLatin1String("m.pgp"))
            QVERIFY2(r.err.contains("Good signature from user \"Peer <peer@example.org>\"."),
                     r.err.constData());
    }
};

QTEST_GUILESS_MAIN(TestPgpInterop)
#include "tst_pgpinterop.moc"
