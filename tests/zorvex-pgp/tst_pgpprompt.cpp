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

    QByteArray read(const QString &name) const
    {
        QFile f(m_work.filePath(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    // Arguments split at blanks, answers at '|'.
    static void row(const char *name, const QString &args, const QString &typed, int code,
                    const QByteArrayList &shown, const QString &output)
    {
        QTest::newRow(name) << args.split(' ') << typed.split('|', Qt::SkipEmptyParts) << code
                            << shown << output;
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
        for (const QString f : {"message.txt", "olga.pub.pgp", "olga.sec.asc", "idea-pk.asc"}) {
            QFile::copy(engine::fixtureDir() + "/legacy/" + f, m_work.filePath(f));
            if (f.startsWith("olga"))
                engine::runProcess(m_tool, {"+batchmode", "-ka", f}, m_work.path());
        }
        QFile::rename("message.txt", "m.txt");
        m_home.gpg({"--trust-model", "always", "-r", "alice", "-o", "p.pgp", "-e", "m.txt"});
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
        row("-s", "-s m.txt -u alice", "alice pass", 0, {alice}, "m.pgp");
        row("-sa, wrong then right", "-sa m.txt -u bob@example.org", "no|bob pass", 0, {bob},
            "m.asc");
        row("-sb, three wrong", "-sb m.txt -u alice", "a|b|c", 20, {alice}, "m.sig");
        row("-sb, the next job asks again", "-sb m.txt -u alice", "alice pass", 0, {alice},
            "m.sig");
        row("clear-sign", "-sta +clearsig=on m.txt -u bob@example.org", "bob pass", 0, {bob},
            "m.asc");
        row("-es, after the question", "-es m.txt bob@example.org -u alice", "alice pass", 0,
            {"WARNING", "(y/N)? y", alice}, "m.pgp");
        row("key without a pass phrase", "-sa m.txt -u free@example.org", "", 0, {}, "m.asc");
        row("decrypt, wrong then right", "p.pgp -o p.txt", "x|alice pass", 0, {alice}, "p.txt");
        row("-ks", "-ks dave@example.org -u bob@example.org", "bob pass", 0,
            {"Dave Disabled", "(y/N)? y", bob}, "");
        if (!QStandardPaths::findExecutable("gpg1").isEmpty())
            row("PGP 2.x key, wrong then right", "idea-pk.asc -o i.txt", "x|olga pass", 0,
                {"\"Olga Oldkey <olga@example.org>\"\n1024-bit RSA key, Key ID 933581DB, created "
                 "1996/03/01"},
                "i.txt");
    }
    void asksEachJob()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, typed);
        QFETCH(int, code);
        QFETCH(QByteArrayList, shown);
        QFETCH(QString, output);
        QFile::remove(output);
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
};

QTEST_MAIN(TestPgpPrompt)
#include "tst_pgpprompt.moc"
