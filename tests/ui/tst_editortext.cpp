#include "ui/editortext.h"

#include <QRandomGenerator>
#include <QtTest>

// Bytes read into the editor and written back must not change.
class TestEditorText : public QObject
{
    Q_OBJECT
private slots:
    void roundTrip_data();
    void roundTrip();
    void crlfFileShowsSingleLineBreaks();
    void typedTextOutsideLatin1IsNotLost();
};

void TestEditorText::roundTrip_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("lf lines") << QByteArray("one\ntwo\nthree\n");
    QTest::newRow("crlf lines") << QByteArray("one\r\ntwo\r\nthree");
    QTest::newRow("mixed line ends") << QByteArray("one\r\ntwo\nthree\r\n");
    QTest::newRow("lone cr") << QByteArray("one\rtwo\r\n");
    QTest::newRow("utf-8") << QByteArray("gr\xC3\xBC\xC3\x9F dich\n");
    QTest::newRow("latin-1 bytes") << QByteArray("gr\xFC\xDF dich\r\n\xA4\xFF");
    QTest::newRow("byte order mark") << QByteArray("\xEF\xBB\xBFtext\n");
    QTest::newRow("armored block")
        << QByteArray("-----BEGIN PGP MESSAGE-----\r\nVersion: 2.6.3i\r\n\r\n"
                      "hIwDAbCdEf0123456AQP+abc=\r\n=AbCd\r\n"
                      "-----END PGP MESSAGE-----\r\n");
}

void TestEditorText::roundTrip()
{
    QFETCH(QByteArray, bytes);
    const DecodedText decoded = DecodeEditorBytes(bytes);
    QCOMPARE(EncodeEditorText(decoded.text, decoded.format), bytes);
}

void TestEditorText::crlfFileShowsSingleLineBreaks()
{
    const DecodedText decoded = DecodeEditorBytes("a\r\nb\r\n");
    QCOMPARE(decoded.text, QStringLiteral("a\nb\n"));
    QVERIFY(decoded.format.crlf);
    // A line added in the editor gets the file's line end too.
    QCOMPARE(EncodeEditorText(decoded.text + QStringLiteral("c\n"), decoded.format),
             QByteArray("a\r\nb\r\nc\r\n"));
}

void TestEditorText::typedTextOutsideLatin1IsNotLost()
{
    const DecodedText decoded = DecodeEditorBytes("caf\xE9");
    QVERIFY(decoded.format.latin1);
    const QString typed = decoded.text + QChar(0x20AC);
    QCOMPARE(QString::fromUtf8(EncodeEditorText(typed, decoded.format)), typed);
}

QTEST_GUILESS_MAIN(TestEditorText)
#include "tst_editortext.moc"
