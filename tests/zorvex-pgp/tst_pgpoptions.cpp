// Command line parsing and output naming of zorvex-pgp, without gpg.
#include "options.h"
#include "printable.h"

#include <QtTest>

using namespace zpgp;

namespace {
std::vector<std::string> Args(const QStringList &list)
{
    std::vector<std::string> out;
    for (const QString &s : list)
        out.push_back(s.toStdString());
    return out;
}

// A compact picture of what was parsed, so a table row can state it in one string.
QString Summary(const Options &o)
{
    QString s;
    const std::pair<bool, char> flags[] = {
        {o.encrypt, 'e'},       {o.sign, 's'},        {o.conventional, 'c'}, {o.armor, 'a'},
        {o.text, 't'},          {o.eyesOnly, 'm'},    {o.detach, 'b'},       {o.wipe, 'w'},
        {o.keepSignature, 'd'}, {o.restoreName, 'p'}, {o.fingerprints, 'f'}};
    for (const auto &[on, c] : flags) {
        if (on)
            s += QLatin1Char(c);
    }
    s += QStringLiteral(" action=%1").arg(int(o.action));
    if (o.batch)
        s += QStringLiteral(" batch");
    if (o.clearsig)
        s += QStringLiteral(" clearsig");
    if (o.showpass)
        s += QStringLiteral(" showpass");
    if (o.keepbinary)
        s += QStringLiteral(" keepbinary");
    s += QStringLiteral(" v%1").arg(o.verbose);
    if (o.user)
        s += QStringLiteral(" u=") + QString::fromStdString(*o.user);
    if (o.output)
        s += QStringLiteral(" o=") + QString::fromStdString(*o.output);
    for (const auto &z : o.passphrases)
        s += QStringLiteral(" z=") + QString::fromStdString(z);
    s += QStringLiteral(" [");
    QStringList a;
    for (const auto &x : o.args)
        a << QString::fromStdString(x);
    return s + a.join(QLatin1Char('|')) + QLatin1Char(']');
}
} // namespace

class TestPgpOptions : public QObject
{
    Q_OBJECT
private slots:
    // The command lines the program composes, as the batch interpreter splits them.
    void commandLines_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("summary");
        const int crypt = int(Action::Crypt), dec = int(Action::Decrypt);
        QTest::newRow("signed armoured")
            << QStringList{"-esa", "C:\\DOCS\\PLAN.TXT", "0x0000ABCD", "0x00001234", "-u", "jroe"}
            << QStringLiteral("esa action=%1 v1 u=jroe [C:\\DOCS\\PLAN.TXT|0x0000ABCD|0x00001234]")
                   .arg(crypt);
        QTest::newRow("unsigned text wipe keepbinary")
            << QStringList{"-etw", "+keepbinary=on", "report.doc", "jroe", "-o", "report.pgp"}
            << QStringLiteral("etw action=%1 keepbinary v1 o=report.pgp [report.doc|jroe]")
                   .arg(crypt);
        QTest::newRow("clear-sign verbose showpass")
            << QStringList{"-sta", "+clearsig=on", "+verbose=2", "+showpass=on", "memo.txt"}
            << QStringLiteral("sat action=%1 clearsig showpass v2 [memo.txt]").arg(crypt);
        QTest::newRow("detached") << QStringList{"-sb", "PLAN.TXT", "-u", "jroe"}
                                  << QStringLiteral("sb action=%1 v1 u=jroe [PLAN.TXT]").arg(crypt);
        QTest::newRow("sign encrypt detached")
            << QStringList{"-esab", "x"} << QStringLiteral("esab action=%1 v1 [x]").arg(crypt);
        QTest::newRow("lone dash is a file")
            << QStringList{"-", "a.txt"} << QStringLiteral(" action=%1 v1 [-|a.txt]").arg(dec);
        QTest::newRow("plain decrypt")
            << QStringList{"C:\\DOCS\\REPORT.PGP"}
            << QStringLiteral(" action=%1 v1 [C:\\DOCS\\REPORT.PGP]").arg(dec);
        QTest::newRow("dp with output")
            << QStringList{"-dp", "+verbose=2", "+showpass=on", "in.pgp", "-o", "REPORT.TXT"}
            << QStringLiteral("dp action=%1 showpass v2 o=REPORT.TXT [in.pgp]").arg(dec);
        QTest::newRow("directory encrypt")
            << QStringList{"-cw", "+batchmode", "+verbose=0", "LETTER.DOC", "-z", "pw pw"}
            << QStringLiteral("cw action=%1 batch v0 z=pw pw [LETTER.DOC]").arg(crypt);
        QTest::newRow("directory decrypt")
            << QStringList{"-p", "+batchmode", "+verbose=0", "F.pgp", "-z", "a", "-z", "b"}
            << QStringLiteral("p action=%1 batch v0 z=a z=b [F.pgp]").arg(dec);
        QTest::newRow("wipe only")
            << QStringList{"-w", "bulke.bat"}
            << QStringLiteral("w action=%1 v1 [bulke.bat]").arg(int(Action::WipeOnly));
        QTest::newRow("settings with trailing blank")
            << QStringList{"-c", "+verbose=2 ", "+BatchMode=ON", "n"}
            << QStringLiteral("c action=%1 batch v2 [n]").arg(crypt);
        QTest::newRow("extract armoured")
            << QStringList{"-kxa", "Jane", "jane.asc"}
            << QStringLiteral("a action=%1 v1 [Jane|jane.asc]").arg(int(Action::KeyExtract));
        QTest::newRow("view fingerprints")
            << QStringList{"-kvc", "Jane", "work.pgp"}
            << QStringLiteral("f action=%1 v1 [Jane|work.pgp]").arg(int(Action::KeyView));
        QTest::newRow("sign key")
            << QStringList{"-ks", "Jane", "-u", "Bob", "work.pgp"}
            << QStringLiteral(" action=%1 v1 u=Bob [Jane|work.pgp]").arg(int(Action::KeySign));
        QTest::newRow("remove sigs")
            << QStringList{"-krs", "Jane"}
            << QStringLiteral(" action=%1 v1 [Jane]").arg(int(Action::KeyRemoveSigs));
        QTest::newRow("empty input name")
            << QStringList{""} << QStringLiteral(" action=%1 v1 []").arg(dec);
    }
    void commandLines()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, summary);
        const ParseResult r = ParseCommandLine(Args(args));
        QVERIFY2(r.options, r.error.c_str());
        QCOMPARE(Summary(*r.options), summary);
    }

    void rejected_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("unknown letter") << QStringList{"-eq", "x"};
        QTest::newRow("unknown key command") << QStringList{"-kq"};
        QTest::newRow("missing -o value") << QStringList{"-e", "x", "-o"};
        QTest::newRow("bad verbose") << QStringList{"+verbose=9", "x"};
        QTest::newRow("unknown setting") << QStringList{"+frobnicate=on", "x"};
        QTest::newRow("decrypt letters with encrypt") << QStringList{"-ed", "x"};
    }
    void rejected()
    {
        QFETCH(QStringList, args);
        const ParseResult r = ParseCommandLine(Args(args));
        QVERIFY(!r.options);
        QVERIFY(!r.error.empty());
    }

    void passphrasesBlanked_data()
    {
        // Each word is one argument; the pass phrases are those spelled "pw".
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("blanked");
        QTest::newRow("separate") << "-c f -z pw"
                                  << "-c f -z   ";
        QTest::newRow("joined value") << "-zpw"
                                      << "-z  ";
        QTest::newRow("joined group") << "-cz pw f"
                                      << "-cz    f";
        QTest::newRow("group and value") << "-cwzpw f"
                                         << "-cwz   f";
        QTest::newRow("twice") << "-z pw -z pw"
                               << "-z    -z   ";
        QTest::newRow("key command") << "-kx id -z pw"
                                     << "-kx id -z   ";
        QTest::newRow("values of -u and -o stay") << "-u -z -o -zfile -z pw"
                                                  << "-u -z -o -zfile -z   ";
        QTest::newRow("file names stay") << "-c -- -z pw"
                                         << "-c -- -z pw";
    }
    void passphrasesBlanked()
    {
        QFETCH(QString, line);
        QFETCH(QString, blanked);
        std::vector<std::string> words = Args(line.split(QLatin1Char(' ')));
        words.insert(words.begin(), "zorvex-pgp");
        std::vector<char *> argv;
        for (std::string &w : words)
            argv.push_back(w.data());
        argv.push_back(nullptr);
        BlankPassphraseArguments(static_cast<int>(words.size()), argv.data());
        QStringList after;
        for (std::size_t i = 1; i < words.size(); ++i)
            after << QString::fromLatin1(argv[i]);
        QCOMPARE(after.join(QLatin1Char(' ')), blanked);
    }

    void controlCharacters_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QByteArray>("printable");
        QTest::addColumn<QByteArray>("fileName");
        QTest::newRow("plain") << QByteArray("Alice <a@b>") << QByteArray("Alice <a@b>")
                               << QByteArray("Alice <a@b>");
        QTest::newRow("UTF-8 stays") << QByteArray("K\xc3\xbcrve") << QByteArray("K\xc3\xbcrve")
                                     << QByteArray("K\xc3\xbcrve");
        QTest::newRow("title escape") << QByteArray("a\x1b]0;t\x07"
                                                    "b")
                                      << QByteArray("a\\x1b]0;t\\x07b") << QByteArray("a_]0;t_b");
        QTest::newRow("line break and DEL")
            << QByteArray("a\nb\x7f") << QByteArray("a\\x0ab\\x7f") << QByteArray("a_b_");
        QTest::newRow("C1 encoded") << QByteArray("a\xc2\x9b"
                                                  "2J")
                                    << QByteArray("a\\xc2\\x9b2J")
                                    << QByteArray("a\xc2"
                                                  "_2J");
        QTest::newRow("C1 lone byte") << QByteArray("a\x9b"
                                                    "2J")
                                      << QByteArray("a\\x9b2J") << QByteArray("a_2J");
        QTest::newRow("Latin-1 byte")
            << QByteArray("caf\xe9") << QByteArray("caf\\xe9") << QByteArray("caf\xe9");
        QTest::newRow("overlong UTF-8")
            << QByteArray("a\xc0\xaf") << QByteArray("a\\xc0\\xaf") << QByteArray("a\xc0\xaf");
        // Restored names that would hide or read as options get a visible prefix.
        QTest::newRow("dot name") << QByteArray(".bashrc") << QByteArray(".bashrc")
                                  << QByteArray("_.bashrc");
        QTest::newRow("dash name") << QByteArray("-rf") << QByteArray("-rf") << QByteArray("_-rf");
    }
    void controlCharacters()
    {
        QFETCH(QByteArray, text);
        QFETCH(QByteArray, printable);
        QFETCH(QByteArray, fileName);
        const std::string once = Printable(text.toStdString());
        QCOMPARE(QByteArray::fromStdString(once), printable);
        QCOMPARE(Printable(once), once);
        QCOMPARE(QByteArray::fromStdString(SafeStoredName(text.toStdString())), fileName);
    }

    void outputNames_data()
    {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("output");
        QTest::newRow("txt") << "report.txt"
                             << ".pgp"
                             << "report.pgp";
        QTest::newRow("clearsign") << "cliptxt.txt"
                                   << ".asc"
                                   << "cliptxt.asc";
        QTest::newRow("no extension") << "README"
                                      << ".sig"
                                      << "README.sig";
        QTest::newRow("two dots") << "a.tar.gz"
                                  << ".pgp"
                                  << "a.tar.pgp";
        QTest::newRow("dot in directory") << "dir.d/file"
                                          << ".pgp"
                                          << "dir.d/file.pgp";
        QTest::newRow("hidden file") << ".profile"
                                     << ".asc"
                                     << ".profile.asc";
        QTest::newRow("blanks") << "my file.doc"
                                << ".pgp"
                                << "my file.pgp";
    }
    void outputNames()
    {
        QFETCH(QString, input);
        QFETCH(QString, extension);
        QFETCH(QString, output);
        QCOMPARE(
            QString::fromStdString(DefaultOutputName(input.toStdString(), extension.toStdString())),
            output);
    }

    void decryptNames()
    {
        QCOMPARE(DecryptOutputName("report.pgp"), std::string("report"));
        QCOMPARE(DecryptOutputName("cliptxt.asc"), std::string("cliptxt"));
        QCOMPARE(DecryptOutputName("a.b/noext"), std::string("a.b/noext.out"));
    }

    void storedNames_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("safe");
        QTest::newRow("plain") << "notes.txt"
                               << "notes.txt";
        QTest::newRow("parent") << "../evil.txt"
                                << "evil.txt";
        QTest::newRow("absolute") << "/etc/passwd"
                                  << "passwd";
        QTest::newRow("dos path") << "C:\\DOCS\\PLAN.TXT"
                                  << "PLAN.TXT";
        QTest::newRow("drive only") << "C:PLAN.TXT"
                                    << "PLAN.TXT";
        QTest::newRow("dot dot alone") << ".."
                                       << "";
        QTest::newRow("trailing slash") << "dir/"
                                        << "";
        QTest::newRow("console") << "_CONSOLE"
                                 << "";
        QTest::newRow("empty") << ""
                               << "";
    }
    void storedNames()
    {
        QFETCH(QString, stored);
        QFETCH(QString, safe);
        QCOMPARE(QString::fromStdString(SafeStoredName(stored.toStdString())), safe);
    }

    void keyrings()
    {
        QCOMPARE(KeyringPath("work", "/home/u"), std::string("/home/u/work.pgp"));
        QCOMPARE(KeyringPath("work.pgp", "/home/u/"), std::string("/home/u/work.pgp"));
        QCOMPARE(KeyringPath("/r/ring.kbx", "/home/u"), std::string("/r/ring.kbx"));
    }
};

QTEST_GUILESS_MAIN(TestPgpOptions)
#include "tst_pgpoptions.moc"
