#include "batchline.h"

#include <QtTest>

namespace {
QStringList toList(const std::vector<std::string> &words)
{
    QStringList list;
    for (const std::string &w : words)
        list.append(QString::fromStdString(w));
    return list;
}
} // namespace

class TestBatchLine : public QObject
{
    Q_OBJECT

private slots:
    void words_data();
    void words();
    void line_data();
    void line();
    void lines_data();
    void lines();
};

void TestBatchLine::words_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("words");
    QTest::newRow("blanks separate") << "PGP.EXE  -kv\tx " << QStringList{"PGP.EXE", "-kv", "x"};
    QTest::newRow("quotes group and go")
        << "a \"my file.txt\" b" << QStringList{"a", "my file.txt", "b"};
    QTest::newRow("empty quotes are an argument") << "a \"\" b" << QStringList{"a", "", "b"};
    QTest::newRow("quotes inside a word") << "ab\"c d\"e" << QStringList{"abc de"};
    QTest::newRow("adjacent empty quotes vanish") << "a\"\"b" << QStringList{"ab"};
    QTest::newRow("unclosed quote runs to the end") << "a \"b c" << QStringList{"a", "b c"};
    QTest::newRow("shell characters are plain")
        << "& $HOME `id` %PATH% ; * ~"
        << QStringList{"&", "$HOME", "`id`", "%PATH%", ";", "*", "~"};
    QTest::newRow("non-ASCII") << QString::fromUtf8("\"J\u00fcrgen M\u00fcller\" \u00e9")
                               << QStringList{QString::fromUtf8("J\u00fcrgen M\u00fcller"),
                                              QString::fromUtf8("\u00e9")};
    QTest::newRow("nothing") << "   " << QStringList{};
}

void TestBatchLine::words()
{
    QFETCH(QString, text);
    QFETCH(QStringList, words);
    QCOMPARE(toList(SplitBatchWords(text.toStdString())), words);
}

void TestBatchLine::line_data()
{
    QTest::addColumn<QString>("line");
    QTest::addColumn<bool>("quiet");
    QTest::addColumn<QStringList>("words");
    QTest::addColumn<QString>("redirect");
    QTest::addColumn<QStringList>("pipe");
    QTest::addColumn<bool>("error");
    QTest::newRow("@ECHO OFF") << "@ECHO OFF" << true << QStringList{"ECHO", "OFF"} << ""
                               << QStringList{} << false;
    QTest::newRow("key listing") << "PGP.EXE -kv > keys.$$$" << false
                                 << QStringList{"PGP.EXE", "-kv"} << "keys.$$$" << QStringList{}
                                 << false;
    QTest::newRow("no blank before >")
        << "PGP.EXE -kv>out" << false << QStringList{"PGP.EXE", "-kv"} << "out" << QStringList{}
        << false;
    QTest::newRow("quoted target")
        << "PGP.EXE > \"a b\" -x" << false << QStringList{"PGP.EXE", "-x"} << "a b" << QStringList{}
        << false;
    QTest::newRow("pipe into more")
        << "PGP.EXE -kvv | MORE" << false << QStringList{"PGP.EXE", "-kvv"} << ""
        << QStringList{"MORE"} << false;
    QTest::newRow("quoted operators are plain")
        << "PGP.EXE \"a|b>c\" x" << false << QStringList{"PGP.EXE", "a|b>c", "x"} << ""
        << QStringList{} << false;
    QTest::newRow("missing target")
        << "PGP.EXE >" << false << QStringList{"PGP.EXE"} << "" << QStringList{} << true;
    QTest::newRow("pipe into nothing")
        << "PGP.EXE |" << false << QStringList{"PGP.EXE"} << "" << QStringList{} << true;
    QTest::newRow("two redirections")
        << "a > b > c" << false << QStringList{} << "" << QStringList{} << true;
    QTest::newRow("@ with blanks")
        << "  @  del x" << true << QStringList{"del", "x"} << "" << QStringList{} << false;
}

void TestBatchLine::line()
{
    QFETCH(QString, line);
    QFETCH(bool, quiet);
    QFETCH(QStringList, words);
    QFETCH(QString, redirect);
    QFETCH(QStringList, pipe);
    QFETCH(bool, error);
    const BatchCommand cmd = ParseBatchLine(line.toStdString());
    QCOMPARE(!cmd.error.empty(), error);
    if (error)
        return;
    QCOMPARE(cmd.quiet, quiet);
    QCOMPARE(toList(cmd.words), words);
    QCOMPARE(QString::fromStdString(cmd.redirectTarget), redirect);
    QCOMPARE(cmd.redirected, !redirect.isEmpty());
    QCOMPARE(toList(cmd.pipeTo), pipe);
}

void TestBatchLine::lines_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF, no end") << QByteArray("@ECHO OFF\r\nPGP.EXE -kv \r\nDEL zorvex$$.tmp")
                                   << QStringList{"@ECHO OFF", "PGP.EXE -kv", "DEL zorvex$$.tmp"};
    QTest::newRow("LF and trailing blanks")
        << QByteArray("a  \nb\t\n\n  c \r\n") << QStringList{"a", "b", "c"};
    QTest::newRow("bulk style") << QByteArray("PGP.EXE -e \"x\" \r\ndel zorvex$$.tmp \r\n")
                                << QStringList{"PGP.EXE -e \"x\"", "del zorvex$$.tmp"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("binary survives")
        << QByteArray("\0\xff\r\r\n", 5) << QStringList{QString::fromLatin1("\0\xff", 2)};
}

void TestBatchLine::lines()
{
    QFETCH(QByteArray, text);
    QFETCH(QStringList, lines);
    QCOMPARE(
        toList(SplitBatchLines(std::string_view(text.constData(), size_t(text.size())))).size(),
        lines.size());
    const std::vector<std::string> got =
        SplitBatchLines(std::string_view(text.constData(), size_t(text.size())));
    for (size_t i = 0; i < got.size(); ++i)
        QCOMPARE(QByteArray::fromStdString(got[i]), lines[qsizetype(i)].toLatin1());
}

QTEST_APPLESS_MAIN(TestBatchLine)
#include "tst_batchline.moc"
