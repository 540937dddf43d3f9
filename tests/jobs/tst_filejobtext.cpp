#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "jobs/decryptjob.h"
#include "jobs/encryptjob.h"
#include "jobs/jobarguments.h"
#include "platform/messagebox.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// Option flags named in a table row, all others 0.
RuntimeOptionsRecord optionsWith(const QStringList &flags)
{
    RuntimeOptionsRecord o;
    for (const QString &f : flags) {
        int *field = f == u"ClearsignOnly" ? &o.ClearsignOnly
                     : f == u"SigIntact"   ? &o.SigIntact
                     : f == u"EyesOnly"    ? &o.EyesOnly
                     : f == u"DetachSig"   ? &o.DetachSig
                     : f == u"Verbose"     ? &o.Verbose
                     : f == u"ShowPass"    ? &o.ShowPass
                     : f == u"KeepBinary"  ? &o.KeepBinary
                     : f == u"RecoverOrig" ? &o.RecoverOrig
                                           : nullptr;
        if (!field)
            qFatal("unknown flag in test table: %s", qPrintable(f));
        *field = 1;
    }
    return o;
}
} // namespace

class TestFileJobText : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void encrypt_data();
    void encrypt();
    void decrypt_data();
    void decrypt();
    void fileArgument_data();
    void fileArgument();
    void problems();
    void valuesReachPgpWhole_data();
    void valuesReachPgpWhole();
    void composeEncryptWritesScriptWithTail();
    void composeDecryptWritesScriptWithTail();
    void refusedNameWritesNothing();

private:
    QTemporaryDir m_work;
    QString m_oldCurrent;
};

void TestFileJobText::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    // Jobs write their files into the current directory.
    m_oldCurrent = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work.path()));
}

void TestFileJobText::cleanup()
{
    QDir::setCurrent(m_oldCurrent);
}

void TestFileJobText::encrypt_data()
{
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("sign");
    QTest::addColumn<int>("wipe");
    QTest::addColumn<int>("armour");
    QTest::addColumn<int>("text");
    QTest::addColumn<int>("conventional");
    QTest::addColumn<QString>("recipients");
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("line");

    // The worked examples, with the flags each style leaves behind.
    QTest::newRow("signed, armour, two keys")
        << "C:\\DOCS\\PLAN.TXT"
        << "" << 1 << 0 << 1 << 0 << 0 << "0x0000ABCD 0x00001234 "
        << "jroe" << QStringList{}
        << "PGP.EXE -esa \"C:\\DOCS\\PLAN.TXT\" 0x0000ABCD 0x00001234  -u jroe ";
    QTest::newRow("unsigned, text, wipe, keepbinary")
        << "report.doc"
        << "report.pgp" << 0 << 1 << 0 << 1 << 0 << "jroe"
        << "" << QStringList{"SigIntact", "KeepBinary"}
        << "PGP.EXE -etw +keepbinary=on \"report.doc\" jroe -o report.pgp ";
    QTest::newRow("idea") << "notes.txt"
                          << "" << 0 << 0 << 0 << 0 << 1 << ""
                          << "jroe" << QStringList{} << "PGP.EXE -c \"notes.txt\"  -u jroe ";
    QTest::newRow("clearsign, verbose, showpass")
        << "memo.txt"
        << "" << 0 << 0 << 0 << 0 << 0 << ""
        << "jroe" << QStringList{"ClearsignOnly", "Verbose", "ShowPass"}
        << "PGP.EXE -sta +clearsig=on +verbose=2 +showpass=on \"memo.txt\" ";
    QTest::newRow("detach sig") << "C:\\DOCS\\PLAN.TXT"
                                << "" << 0 << 0 << 0 << 0 << 0 << ""
                                << "jroe" << QStringList{"DetachSig"}
                                << "PGP.EXE -sb \"C:\\DOCS\\PLAN.TXT\"  -u jroe ";
    QTest::newRow("no style: lone dash") << "a.txt"
                                         << "" << 0 << 0 << 0 << 0 << 0 << ""
                                         << "" << QStringList{} << "PGP.EXE - \"a.txt\"  ";

    // Edge cases.
    QTest::newRow("clear-sign carried over ignores everything else")
        << "memo.txt"
        << "out.asc" << 1 << 1 << 1 << 1 << 1 << "0x0000ABCD "
        << "jroe"
        << QStringList{"ClearsignOnly", "SigIntact", "EyesOnly", "DetachSig", "KeepBinary"}
        << "PGP.EXE -sta +clearsig=on \"memo.txt\" ";
    QTest::newRow("armour alone") << "a.txt"
                                  << "" << 0 << 0 << 1 << 0 << 0 << ""
                                  << "" << QStringList{} << "PGP.EXE -a \"a.txt\"  ";
    QTest::newRow("armour with SigIntact: e then a")
        << "a.txt"
        << "" << 0 << 0 << 1 << 0 << 0 << ""
        << "" << QStringList{"SigIntact"} << "PGP.EXE -ea \"a.txt\"  ";
    QTest::newRow("signed with DetachSig: es then b")
        << "a.txt"
        << "" << 1 << 0 << 0 << 0 << 0 << ""
        << "" << QStringList{"DetachSig"} << "PGP.EXE -esb \"a.txt\"  ";
    QTest::newRow("SigIntact does not add e to conventional")
        << "a.txt"
        << "" << 0 << 0 << 0 << 0 << 1 << ""
        << "" << QStringList{"SigIntact"} << "PGP.EXE -c \"a.txt\"  ";
    QTest::newRow("every letter in order")
        << "a.txt"
        << "" << 0 << 1 << 1 << 1 << 0 << ""
        << "" << QStringList{"SigIntact", "EyesOnly", "DetachSig"}
        << "PGP.EXE -eatmsbw \"a.txt\"  ";
    QTest::newRow("settings in order")
        << "a.txt"
        << "" << 1 << 0 << 0 << 0 << 0 << ""
        << "" << QStringList{"KeepBinary", "ShowPass", "Verbose"}
        << "PGP.EXE -es +verbose=2 +showpass=on +keepbinary=on \"a.txt\"  ";
    QTest::newRow("blanks in the input stay inside its quotes")
        << "/home/j/My Docs/a b.txt"
        << "" << 0 << 0 << 0 << 0 << 0 << ""
        << "" << QStringList{} << "PGP.EXE - \"/home/j/My Docs/a b.txt\"  ";
    QTest::newRow("output with a blank is quoted")
        << "a.txt"
        << "my report.pgp" << 0 << 0 << 0 << 0 << 0 << ""
        << "" << QStringList{} << "PGP.EXE - \"a.txt\"  -o \"my report.pgp\" ";
    QTest::newRow("output with a redirection sign is quoted")
        << "a.txt"
        << "x>y" << 0 << 0 << 0 << 0 << 0 << ""
        << "" << QStringList{} << "PGP.EXE - \"a.txt\"  -o \"x>y\" ";
    QTest::newRow("empty input") << ""
                                 << "" << 0 << 0 << 0 << 0 << 0 << ""
                                 << "" << QStringList{} << "PGP.EXE - \"\"  ";
}

void TestFileJobText::encrypt()
{
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(int, sign);
    QFETCH(int, wipe);
    QFETCH(int, armour);
    QFETCH(int, text);
    QFETCH(int, conventional);
    QFETCH(QString, recipients);
    QFETCH(QString, userId);
    QFETCH(QStringList, flags);
    QFETCH(QString, line);
    QCOMPARE(EncryptJobText(input, output, sign, wipe, armour, text, conventional, recipients,
                            userId, optionsWith(flags)),
             QStringLiteral("@ECHO OFF\n") + line);
}

void TestFileJobText::decrypt_data()
{
    QTest::addColumn<int>("keepSignature");
    QTest::addColumn<QString>("input");
    QTest::addColumn<QString>("output");
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<QString>("line");

    const QString in = QStringLiteral("C:\\DOCS\\REPORT.PGP");
    QTest::newRow("no options: two blanks")
        << 0 << in << "" << QStringList{} << "PGP.EXE  \"C:\\DOCS\\REPORT.PGP\" ";
    QTest::newRow("keep signature")
        << 1 << in << "" << QStringList{} << "PGP.EXE -d \"C:\\DOCS\\REPORT.PGP\" ";
    QTest::newRow("recover name") << 0 << in << "" << QStringList{"RecoverOrig"}
                                  << "PGP.EXE -p \"C:\\DOCS\\REPORT.PGP\" ";
    QTest::newRow("everything: d before p")
        << 1 << in << "REPORT.TXT" << QStringList{"RecoverOrig", "Verbose", "ShowPass"}
        << "PGP.EXE -dp +verbose=2 +showpass=on \"C:\\DOCS\\REPORT.PGP\" -o REPORT.TXT ";
    QTest::newRow("verbose without letters") << 0 << in << "" << QStringList{"Verbose"}
                                             << "PGP.EXE  +verbose=2 \"C:\\DOCS\\REPORT.PGP\" ";
    QTest::newRow("empty input") << 0 << ""
                                 << "" << QStringList{} << "PGP.EXE  \"\" ";
    QTest::newRow("output with a blank is quoted")
        << 0 << "a.pgp"
        << "my plan.txt" << QStringList{} << "PGP.EXE  \"a.pgp\" -o \"my plan.txt\" ";
    QTest::newRow("encryption-only flags are ignored")
        << 0 << "a.pgp"
        << "" << QStringList{"KeepBinary", "SigIntact", "ClearsignOnly"} << "PGP.EXE  \"a.pgp\" ";
}

void TestFileJobText::decrypt()
{
    QFETCH(int, keepSignature);
    QFETCH(QString, input);
    QFETCH(QString, output);
    QFETCH(QStringList, flags);
    QFETCH(QString, line);
    QCOMPARE(DecryptJobText(keepSignature, input, output, optionsWith(flags)),
             QStringLiteral("@ECHO OFF\n") + line);
}

void TestFileJobText::fileArgument_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("argument");
    QTest::newRow("plain") << "report.pgp"
                           << "report.pgp";
    QTest::newRow("windows path") << "C:\\DOCS\\A.PGP"
                                  << "C:\\DOCS\\A.PGP";
    QTest::newRow("blank") << "a b"
                           << "\"a b\"";
    QTest::newRow("tab") << "a\tb"
                         << "\"a\tb\"";
    QTest::newRow("pipe") << "a|more"
                          << "\"a|more\"";
    QTest::newRow("ampersand") << "a&b"
                               << "\"a&b\"";
    QTest::newRow("empty") << ""
                           << "";
}

void TestFileJobText::fileArgument()
{
    QFETCH(QString, name);
    QFETCH(QString, argument);
    QCOMPARE(BatchFileArgument(name), argument);
}

void TestFileJobText::problems()
{
    const RuntimeOptionsRecord plain;
    RuntimeOptionsRecord clearsign;
    clearsign.ClearsignOnly = 1;
    const QString quoted = QStringLiteral("say \"hi\".txt");

    QVERIFY(EncryptJobProblem("a b.txt", "c d.pgp", "0x0000ABCD ", "Jane <j@x>", plain).isEmpty());
    QVERIFY(EncryptJobProblem(quoted, "", "", "", plain).contains(quoted));
    QVERIFY(!EncryptJobProblem("a.txt", quoted, "", "", plain).isEmpty());
    QVERIFY(!EncryptJobProblem("a.txt", "", "jroe\nDEL x", "", plain).isEmpty());
    QVERIFY(!EncryptJobProblem("a.txt", "", "", "jroe\r", plain).isEmpty());
    QVERIFY(!EncryptJobProblem("a\nb.txt", "", "", "", plain).isEmpty());
    // Clear-signing writes only the input name, so nothing else can spoil its line.
    QVERIFY(EncryptJobProblem("a.txt", quoted, "x\ny", "", clearsign).isEmpty());
    QVERIFY(!EncryptJobProblem(quoted, "", "", "", clearsign).isEmpty());

    QVERIFY(DecryptJobProblem("a b.pgp", "c d.txt").isEmpty());
    QVERIFY(!DecryptJobProblem(quoted, "").isEmpty());
    QVERIFY(!DecryptJobProblem("a.pgp", quoted).isEmpty());
}

void TestFileJobText::valuesReachPgpWhole_data()
{
    // Each row composes in _data(): what the composer wrote, and what it must write. Refused
    // values compose to "refused: " and the start of the message.
    QTest::addColumn<QString>("composed");
    QTest::addColumn<QString>("expected");
    const RuntimeOptionsRecord plain;
    auto encrypt = [&](const QString &in, const QString &out, const QString &to,
                       const QString &from) {
        const QString problem = EncryptJobProblem(in, out, to, from, plain);
        return problem.isEmpty() ? EncryptJobText(in, out, 0, 0, 0, 0, 0, to, from, plain)
                                 : QStringLiteral("refused: ") + problem.left(20);
    };
    auto bulk = [](const QString &pass) {
        const QString problem = BulkPassPhraseProblem(pass);
        return problem.isEmpty()
                   ? QString::fromUtf8(ComposeBulkScript(BulkMode::Encrypt, {"a"}, pass))
                         .section(QLatin1String("\r\n"), 1, 1)
                   : QStringLiteral("refused: ") + problem.left(20);
    };
    const QString head = QStringLiteral("@ECHO OFF\nPGP.EXE - \"a\" ");

    QTest::newRow("sender is one -u value") << encrypt("a", "", "", "Alice Rsa <alice@example.org>")
                                            << head + " -u \"Alice Rsa <alice@example.org>\" ";
    QTest::newRow("recipients split at blanks, each whole")
        << encrypt("a", "", "bob > victim.txt  0x0000ABCD a|b", "")
        << head + "bob \">\" victim.txt  0x0000ABCD \"a|b\" ";
    QTest::newRow("input beginning with a dash")
        << encrypt("-rf", "", "", "") << "@ECHO OFF\nPGP.EXE - \"./-rf\"  ";
    QTest::newRow("input beginning with a plus")
        << encrypt("+batchmode", "", "", "") << "@ECHO OFF\nPGP.EXE - \"./+batchmode\"  ";
    QTest::newRow("decryption input too")
        << DecryptJobText(0, "-x.pgp", "", plain) << "@ECHO OFF\nPGP.EXE  \"./-x.pgp\" ";
    QTest::newRow("sender with a quote")
        << encrypt("a", "", "", "a\"b") << "refused: The sender ID contai";
    QTest::newRow("recipient with a line break")
        << encrypt("a", "", "alice\nPGP.EXE -w x", "") << "refused: The recipient list c";
    QTest::newRow("pass phrase of words and syntax")
        << bulk("correct horse>battery|staple")
        << "PGP.EXE -cw +batchmode +verbose=0 a -z \"correct horse>battery|staple\" ";
    QTest::newRow("plain pass phrase unchanged")
        << bulk("TopSecret") << "PGP.EXE -cw +batchmode +verbose=0 a -z TopSecret ";
    QTest::newRow("empty pass phrase") << bulk("") << "refused: Please enter a pass ";
    QTest::newRow("pass phrase with a quote") << bulk("a\"b") << "refused: The pass phrase cont";
    QTest::newRow("pass phrase with a line break")
        << bulk("a\r\nDEL x") << "refused: The pass phrase cont";
}

void TestFileJobText::valuesReachPgpWhole()
{
    QFETCH(QString, composed);
    QFETCH(QString, expected);
    QCOMPARE(composed, expected);
}

void TestFileJobText::composeEncryptWritesScriptWithTail()
{
    RuntimeOptions().SigIntact = 1;
    RuntimeOptions().Verbose = 1;
    JobScript() = QStringLiteral("left over from an earlier job");
    ComposeEncryptJob("a.txt", "a.pgp", 0, 0, 1, 0, 0, "0x0000ABCD ", "jroe");
    QCOMPARE(JobScript(), QStringLiteral("@ECHO OFF\nPGP.EXE -ea +verbose=2 \"a.txt\" 0x0000ABCD "
                                         " -u jroe -o a.pgp \nDEL zorvex$$.tmp"));
}

void TestFileJobText::composeDecryptWritesScriptWithTail()
{
    RuntimeOptions().RecoverOrig = 1;
    JobScript() = QStringLiteral("left over from an earlier job");
    ComposeDecryptJob(1, "a.pgp", "");
    QCOMPARE(JobScript(), QStringLiteral("@ECHO OFF\nPGP.EXE -dp \"a.pgp\" \nDEL zorvex$$.tmp"));
}

void TestFileJobText::refusedNameWritesNothing()
{
    JobScript() = QStringLiteral("untouched");
    QCOMPARE(ComposeEncryptJob("a\".txt", "", 0, 0, 0, 0, 0, "", ""), JobOutcome::NotStarted);
    QCOMPARE(ComposeDecryptJob(0, "a.pgp", "out\".txt"), JobOutcome::NotStarted);
    QCOMPARE(JobScript(), QStringLiteral("untouched"));
    QCOMPARE(MessageBox::shown().size(), 2);
    for (const MessageBox::Shown &s : MessageBox::shown()) {
        QCOMPARE(s.icon, MessageBox::Icon::Stop);
        QVERIFY(s.text.contains(QLatin1String("double quote")));
    }
    QVERIFY(!QFile::exists(QString::fromLatin1(kJobBatchFile)));
    QVERIFY(!QFile::exists(QString::fromLatin1(kJobMarkerFile)));
}

QTEST_GUILESS_MAIN(TestFileJobText)
#include "tst_filejobtext.moc"
