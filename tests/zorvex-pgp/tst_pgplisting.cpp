// The colon-listing parser and the PGP 2.6 layout printer, without gpg.
#include "keylisting.h"
#include "packets.h"

#include <QtTest>

using namespace zpgp;

namespace {
QByteArray L(const std::string &s)
{
    return QByteArray::fromStdString(s);
}

const char kListing[] =
    "tru::1:1796693054:0:3:1:5\n"
    "pub:u:2048:1:635176BC32459C31:1796693054:::u:::scESC::::::23::0:\n"
    "fpr:::::::::CF9DEEE97B4EEA9C696F120A635176BC32459C31:\n"
    "uid:u::::1796693054::91::Alice Rsa <alice@example.org>::::::::::0:\n"
    "uid:r::::1796693054::92::Old Alice <old@example.org>::::::::::0:\n"
    "uid:u::::1796693054::93::Alice (work) <alice@work.example>::::::::::0:\n"
    "sub:u:2048:1:214D7171F4E98ED6:1796693054::::::e::::::23:\n"
    "fpr:::::::::4237650F34F2AD833C8A88EB214D7171F4E98ED6:\n"
    "pub:r:255:22:20DBAAD47856354C:1796693054:::-:::sc:::::ed25519:::0:\n"
    "fpr:::::::::2DB0DB877BEA78891721909D20DBAAD47856354C:\n"
    "uid:r::::1796693054::09::Carol Revoked <carol@example.org>::::::::::0:\n"
    "pub:u:255:22:2E602D0DB2069461:1796693054:::u:::scESCD:::::ed25519:::0:\n"
    "fpr:::::::::7D8A2589E4E36B83B3039E562E602D0DB2069461:\n"
    "uid:u::::1796693054::8B::Bob K\xc3\xbcrve (lab\\x3a 2) \\x5cx <b@x>::::::::::0:\n"
    "pub:-:1024:1:00000000DEADBEEF:823996800:::-:::escESC:\n"
    "fpr:::::::::0123456789ABCDEF0123456789ABCDEF:\n"
    "uid:-::::823996800::AA::Jane Example <jane@example.org>\n";
} // namespace

class TestPgpListing : public QObject
{
    Q_OBJECT
private slots:
    void layoutOfEveryKeyKind()
    {
        const auto keys = ParseColonListing(kListing);
        QCOMPARE(keys.size(), std::size_t(4));
        const QByteArray expected =
            "\nKey ring: '/home/u/.gnupg/pubring.kbx'\n"
            "Type Bits/KeyID    Date       User ID\n"
            "pub  2048/32459C31 2026/12/08 Alice Rsa <alice@example.org>\n"
            "                              Alice (work) <alice@work.example>\n"
            "pub   255/7856354C 2026/12/08 *** KEY REVOKED ***\n"
            "                              Carol Revoked <carol@example.org>\n"
            "pub-  255/B2069461 2026/12/08 Bob K\xc3\xbcrve (lab: 2) \\x5cx <b@x>\n"
            "pub  1024/DEADBEEF 1996/02/11 Jane Example <jane@example.org>\n"
            "4 matching keys found.\n";
        QCOMPARE(L(FormatKeyListing(keys, "/home/u/.gnupg/pubring.kbx", false)), expected);
    }

    void lineBreakInUserIdCannotForgeAKey()
    {
        // Found by fuzzing: a user ID "a\npub  1024/DEADBEEF evil" printed two "pub " lines.
        const auto keys =
            ParseColonListing("pub:u:255:22:AAAAAAAAAAAAAAAA:1:::u:::scESC::::::23::0:\n"
                              "uid:u::::1::X::a\\x0apub  1024/DEADBEEF evil\\x0d\\x7f:::::::::0:\n"
                              "uid:u::::1::X::second\\x0a\\x09:::::::::0:\n");
        QCOMPARE(keys.size(), std::size_t(1));
        QCOMPARE(
            L(FormatKey(keys[0], false)),
            QByteArray("pub   255/AAAAAAAA 1970/01/01 a\\x0apub  1024/DEADBEEF evil\\x0d\\x7f\n"
                       "                              second\\x0a\\x09\n"));
    }

    void printedUserIdsAreEscaped_data()
    {
        QTest::addColumn<QByteArray>("uid");
        QTest::addColumn<QByteArray>("printed");
        QTest::newRow("C1 control") << QByteArray("a\\xc2\\x9bb") << QByteArray("a\\xc2\\x9bb");
        QTest::newRow("Latin-1 byte") << QByteArray("J\\xfcrgen") << QByteArray("J\\xfcrgen");
        QTest::newRow("cut sequence") << QByteArray("x\\xe2\\x82") << QByteArray("x\\xe2\\x82");
        QTest::newRow("overlong slash") << QByteArray("\\xc0\\xaf") << QByteArray("\\xc0\\xaf");
        QTest::newRow("NBSP and euro kept")
            << QByteArray("\xc2\xa0\xe2\x82\xac") << QByteArray("\xc2\xa0\xe2\x82\xac");
        QTest::newRow("four bytes kept")
            << QByteArray("\xf0\x9f\x94\x91") << QByteArray("\xf0\x9f\x94\x91");
    }
    void printedUserIdsAreEscaped()
    {
        QFETCH(QByteArray, uid);
        QFETCH(QByteArray, printed);
        const auto keys = ParseColonListing(
            "pub:e:255:22:AAAAAAAAAAAAAAAA:1:2::u:::sc::::::23::0:\nuid:e::::1::X::" +
            uid.toStdString() + ":\n");
        QCOMPARE(keys.size(), std::size_t(1));
        // An expired key is marked as a revoked one is, its user IDs below the mark.
        QCOMPARE(L(FormatKey(keys[0], false)),
                 "pub   255/AAAAAAAA 1970/01/01 *** KEY EXPIRED ***\n" + QByteArray(30, ' ') +
                     printed + "\n");
    }

    // A signature packet, then the literal data it would sign; and a PGP 2.x key.
    void packetsAtTheStartOfAFile_data()
    {
        const QByteArray sig("\x88\x03\x04\x00\x00", 5);
        const QByteArray literal("\xac\x06"
                                 "b\x00\x00\x00\x00\x00",
                                 8);
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<int>("layout");
        QTest::newRow("detached") << sig << int(SignatureLayout::Detached);
        QTest::newRow("two signatures") << sig + sig << int(SignatureLayout::Detached);
        QTest::newRow("signature first") << sig + literal << int(SignatureLayout::Leading);
        QTest::newRow("literal only") << literal << int(SignatureLayout::None);
        // Data in partial body chunks, and the packets after it still read.
        QTest::newRow("partial lengths") << sig + QByteArray("\xcb\xe1"
                                                             "b\x00\x04\x00\x00\x00\x00",
                                                             9)
                                         << int(SignatureLayout::Leading);
        QTest::newRow("armoured detached")
            << QByteArray("-----BEGIN PGP SIGNATURE-----\n\niAMEAAA=\n=abcd\n-----END PGP "
                          "SIGNATURE-----\n")
            << int(SignatureLayout::Detached);
        QTest::newRow("armoured PGP 2.x message")
            << QByteArray("-----BEGIN PGP MESSAGE-----\nVersion: 2.6.3i\n\niAMEAACsBmIAAAAAAA=="
                          "\n-----END PGP MESSAGE-----\n")
            << int(SignatureLayout::Leading);
        // "iAME" would decode to a signature packet; clear-signed text is no radix-64.
        QTest::newRow("clear-signed") << QByteArray("-----BEGIN PGP SIGNED MESSAGE-----\nHash: "
                                                    "SHA256\n\niAMEAAA=\n-----BEGIN PGP "
                                                    "SIGNATURE-----\n")
                                      << int(SignatureLayout::None);
        QTest::newRow("empty") << QByteArray() << int(SignatureLayout::None);
    }
    void packetsAtTheStartOfAFile()
    {
        QFETCH(QByteArray, data);
        QFETCH(int, layout);
        QCOMPARE(int(ClassifySignature(data.toStdString())), layout);
        const QByteArray oldKey("\x99\x00\x0e\x03\x00\x00\x00\x01\x00\x00\x01\x00\x20"
                                "\x80\x12\x34\x56\xb4\x03Old",
                                22);
        const auto keys = FindOldKeys((data + oldKey).toStdString());
        QCOMPARE(keys.size(), std::size_t(data.startsWith('-') ? 0 : 1));
        if (!keys.empty()) {
            QCOMPARE(keys[0].keyId, std::string("80123456"));
            QCOMPARE(keys[0].userId, std::string("Old"));
        }
    }

    void fingerprintLayout()
    {
        const auto keys = ParseColonListing(kListing);
        QCOMPARE(L(FormatKey(keys[0], true)),
                 QByteArray("pub  2048/32459C31 2026/12/08 Alice Rsa <alice@example.org>\n"
                            "            Key fingerprint = CF9D EEE9 7B4E EA9C 696F  120A 6351 "
                            "76BC 3245 9C31\n"
                            "                              Alice (work) <alice@work.example>\n"));
        // A 16-byte (version 3) fingerprint: bytes, extra blank after the eighth.
        QCOMPARE(L(FormatFingerprint(keys[3].fingerprint)),
                 QByteArray(" 01 23 45 67 89 AB CD EF  01 23 45 67 89 AB CD EF"));
        QCOMPARE(L(FormatFingerprint("ABC")), QByteArray());
    }

    void singularAndEmptyCount()
    {
        auto keys = ParseColonListing(kListing);
        keys.resize(1);
        QVERIFY(FormatKeyListing(keys, "r", false).ends_with("\n1 matching key found.\n"));
        QVERIFY(FormatKeyListing({}, "r", false).ends_with("User ID\n0 matching keys found.\n"));
    }

    void damagedInputNeverBreaks_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<int>("keys");
        QTest::newRow("empty") << QByteArray() << 0;
        QTest::newRow("uid before any key") << QByteArray("uid:u::::1::x::Nobody:\n") << 0;
        QTest::newRow("bare pub") << QByteArray("pub") << 1;
        QTest::newRow("no newline, CRLF")
            << QByteArray("pub:u:99999999999999999999:1:AB:x:\r\nuid:u::::::::Z") << 1;
        QTest::newRow("broken escape") << QByteArray("pub:u:1:1:A:1:\nuid:u::::::::\\x4:\n") << 1;
        QTest::newRow("binary") << QByteArray("pub\0\xff::\n\n::::\n", 13) << 0;
    }
    void damagedInputNeverBreaks()
    {
        QFETCH(QByteArray, text);
        QFETCH(int, keys);
        const auto parsed = ParseColonListing(std::string_view(text.constData(), text.size()));
        QCOMPARE(int(parsed.size()), keys);
        for (const auto &k : parsed)
            QVERIFY(!FormatKey(k, true).empty());
    }

    void escapes_data()
    {
        QTest::addColumn<QByteArray>("field");
        QTest::addColumn<QByteArray>("decoded");
        QTest::newRow("colon") << QByteArray("a\\x3ab") << QByteArray("a:b");
        QTest::newRow("backslash") << QByteArray("\\x5c") << QByteArray("\\");
        QTest::newRow("upper hex") << QByteArray("\\x3A") << QByteArray(":");
        QTest::newRow("short at end") << QByteArray("x\\x3") << QByteArray("x\\x3");
        QTest::newRow("not hex") << QByteArray("\\xzz") << QByteArray("\\xzz");
        QTest::newRow("utf8 untouched") << QByteArray("K\xc3\xbcrve") << QByteArray("K\xc3\xbcrve");
    }
    void escapes()
    {
        QFETCH(QByteArray, field);
        QFETCH(QByteArray, decoded);
        QCOMPARE(L(DecodeColonField(field.toStdString())), decoded);
    }

    void shortKeyIds()
    {
        std::vector<ListedKey> keys(3);
        keys[0].keyId = "1111111122223333";
        keys[1].keyId = "4444444422223333";
        keys[2].keyId = "5555555566667777";
        QCOMPARE(MatchShortKeyId(keys, "0x22223333").size(), std::size_t(2));
        QCOMPARE(MatchShortKeyId(keys, "0X66667777").size(), std::size_t(1));
        QCOMPARE(MatchShortKeyId(keys, "0x6666777").size(), std::size_t(0));
        QVERIFY(IsShortKeyId("0xabcdef01"));
        QVERIFY(!IsShortKeyId("abcdef01"));
        QVERIFY(!IsShortKeyId("0xabcdef0g"));
        QVERIFY(!IsShortKeyId("0xabcdef012"));
    }

    void datesAreUtc()
    {
        QCOMPARE(L(FormatKeyDate(0)), QByteArray("1970/01/01"));
        QCOMPARE(L(FormatKeyDate(1796687999)), QByteArray("2026/12/07"));
    }
};

QTEST_GUILESS_MAIN(TestPgpListing)
#include "tst_pgplisting.moc"
