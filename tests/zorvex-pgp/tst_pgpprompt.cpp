// zorvex-pgp in a pseudo-terminal, as a user meets it: each job that needs a secret key asks for
// its pass phrase there, names the key, allows three tries and leaves nothing in gpg-agent's cache.
#include "enginesupport.h"
#include "ptyanswer.h"

#include <QtTest>

class TestPgpPrompt : public QObject
{
    Q_OBJECT
    engine::GnupgHome m_home;
    QTemporaryDir m_work{QStringLiteral("/tmp/zptXXXXXX")};
    QString m_tool;

    QString work(const QString &name) const { return m_work.filePath(name); }
    QByteArray read(const QString &name) const
    {
        QFile f(work(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

private slots:
    void initTestCase()
    {
        const QString missing = engine::missingEngine();
        if (!missing.isEmpty())
            QSKIP(qPrintable(missing));
        m_tool = engine::findTool(QStringLiteral("zorvex-pgp"));
        QVERIFY(m_home.importFixtures());
        for (const char *name : {"PGPPASS", "PGPPASSFD", "GPG_TTY"})
            qunsetenv(name);
        QVERIFY(QDir::setCurrent(m_work.path()));
        // A key without a pass phrase, a message to Alice, and PGP 2.x material.
        m_home.gpg({"--pinentry-mode", "loopback", "--passphrase", "", "--quick-gen-key",
                    "Free <free@example.org>", "ed25519"});
        QFile::copy(engine::fixtureDir() + "/legacy/message.txt", work("m.txt"));
        m_home.gpg({"--trust-model", "always", "-r", "alice", "-o", work("p.pgp"), "-e", "m.txt"});
        for (const QString f : {"olga.pub.pgp", "olga.sec.asc", "idea-pk.asc"}) {
            QFile::copy(engine::fixtureDir() + "/legacy/" + f, work(f));
            if (f != "idea-pk.asc")
                engine::runProcess(m_tool, {"+batchmode", "-ka", f}, m_work.path());
        }
    }

    void asksEachJob_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("typed");
        QTest::addColumn<int>("code");
        QTest::addColumn<QByteArrayList>("shown"); // in this order, before the first prompt
        QTest::addColumn<QString>("output");       // checked with gpg, or against m.txt
        const QByteArray alice = "Key for user ID \"Alice Rsa <alice@example.org>\"\n2048-bit RSA "
                                 "key, Key ID 32459C31, created 2026/12/08\n";
        const QByteArray bob = "\"Bob K\xc3\xbcrve (lab: 2) <bob@work.example>\"\n255-bit EdDSA";
        const QByteArray olga = "\"Olga Oldkey <olga@example.org>\"\n1024-bit RSA key, Key ID "
                                "933581DB, created 1996/03/01";
        QTest::newRow("-s") << QStringList{"-s", "m.txt", "-u", "alice"}
                            << QStringList{"alice pass"} << 0 << QByteArrayList{alice} << "m.pgp";
        QTest::newRow("-sa, wrong then right")
            << QStringList{"-sa", "m.txt", "-u", "bob@example.org"} << QStringList{"no", "bob pass"}
            << 0 << QByteArrayList{bob} << "m.asc";
        QTest::newRow("-sb, three wrong")
            << QStringList{"-sb", "m.txt", "-u", "alice"} << QStringList{"a", "b", "c"} << 20
            << QByteArrayList{alice} << "m.sig";
        QTest::newRow("-sb, the next job asks again")
            << QStringList{"-sb", "m.txt", "-u", "alice"} << QStringList{"alice pass"} << 0
            << QByteArrayList{alice} << "m.sig";
        QTest::newRow("clear-sign")
            << QStringList{"-sta", "+clearsig=on", "m.txt", "-u", "bob@example.org"}
            << QStringList{"bob pass"} << 0 << QByteArrayList{bob} << "m.asc";
        QTest::newRow("-es, after the question")
            << QStringList{"-es", "m.txt", "bob@example.org", "-u", "alice"}
            << QStringList{"alice pass"} << 0 << QByteArrayList{"WARNING", "(y/N)? y", alice}
            << "m.pgp";
        QTest::newRow("key without a pass phrase")
            << QStringList{"-sa", "m.txt", "-u", "free@example.org"} << QStringList() << 0
            << QByteArrayList() << "m.asc";
        QTest::newRow("decrypt, wrong then right")
            << QStringList{"p.pgp", "-o", "p.txt"} << QStringList{"x", "alice pass"} << 0
            << QByteArrayList{alice} << "p.txt";
        QTest::newRow("-ks") << QStringList{"-ks", "dave@example.org", "-u", "bob@example.org"}
                             << QStringList{"bob pass"} << 0
                             << QByteArrayList{"Dave Disabled", "(y/N)? y", bob} << "";
        if (!QStandardPaths::findExecutable("gpg1").isEmpty())
            QTest::newRow("PGP 2.x key, wrong then right")
                << QStringList{"idea-pk.asc", "-o", "i.txt"} << QStringList{"x", "olga pass"} << 0
                << QByteArrayList{olga} << "i.txt";
    }
    void asksEachJob()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, typed);
        QFETCH(int, code);
        QFETCH(QByteArrayList, shown);
        QFETCH(QString, output);
        QFile::remove(work(output));
        std::vector<std::string> argv{m_tool.toStdString()}, answers;
        for (const QString &a : args)
            argv.push_back(a.toStdString());
        for (const QString &t : typed)
            answers.push_back(t.toStdString());
        std::string seen;
        const int status = pty::RunAnswering(argv, answers, "y", &seen);
        QByteArray screen = QByteArray::fromStdString(seen).replace("\r", "");
        QVERIFY2(WIFEXITED(status) && WEXITSTATUS(status) == code, screen.constData());
        QCOMPARE(screen.count("Enter pass phrase:"), typed.size());
        QCOMPARE(screen.count("Error: Bad pass phrase."),
                 typed.size() - (code == 0 && !typed.isEmpty()));
        qsizetype at = 0;
        for (const QByteArray &text : shown + QByteArrayList{"Enter pass phrase:"})
            QVERIFY2((at = screen.indexOf(text, at)) >= 0 || shown.isEmpty(), text.constData());
        // Nothing stays in the agent's cache for the next job.
        QProcess agent;
        agent.start("gpg-connect-agent", {"keyinfo --list", "/bye"});
        QVERIFY(agent.waitForFinished() && !agent.readAll().contains(" 1 P "));
        if (code != 0 || output.endsWith(".txt")) {
            QCOMPARE(read(output), code != 0 ? QByteArray() : read("m.txt"));
            return;
        }
        const QStringList check = output.isEmpty() ? QStringList{"--check-sigs", "dave@example.org"}
                                  : output.endsWith(".sig")
                                      ? QStringList{"--verify", output, "m.txt"}
                                      : QStringList{"--decrypt", output};
        QVERIFY(m_home
                    .gpg(QStringList{"--status-fd", "1", "--with-colons", "--pinentry-mode",
                                     "loopback", "--passphrase", "bob pass"} +
                         check)
                    .contains(output.isEmpty() ? "AB457C156FEB3FC3" : "GOODSIG"));
    }

    void cleanupTestCase() { QDir::setCurrent(QDir::tempPath()); }
};

QTEST_MAIN(TestPgpPrompt)
#include "tst_pgpprompt.moc"
