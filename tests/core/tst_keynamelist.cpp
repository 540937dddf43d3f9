#include "core/keynamelist.h"
#include "core/settings.h"
#include "platform/privateprofile.h"
#include "testsupport.h"
#include "widgets/keynamelistbox.h"

#include <QListWidget>
#include <QScreen>

class TestKeyNameList : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetState(); }
    void parse_data();
    void parse();
    void storeRebuildsSectionAndCount();
    void cachedNamesTrimAndFillGaps();
    void fullWindowsPathReadsSameFile();
    void selectionText_data();
    void selectionText();
    void hugeListing();
};

void TestKeyNameList::parse_data()
{
    QTest::addColumn<QByteArray>("listing");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("worked example")
        << QByteArray("Key ring: 'pubring.pgp'\r\nType bits/keyID    Date       User ID\r\n"
                      "pub  1024/0000ABCD 1996/02/11 Jane Example\r\n"
                      "                              Jane Home\r\n"
                      "pub   512/00001234 1995/11/30 John Sample\r\n2 matching keys found.\r\n")
        << QStringList{" 1024/0000ABCD 1996/02/11 Jane Example",
                       " 1024/0000ABCD 1996/02/11 Jane Home",
                       "  512/00001234 1995/11/30 John Sample"};
    QTest::newRow("sorted by user ID, revoked and expired keys named and marked")
        << QByteArray("\nKey ring: 'pubring.pgp'\nType Bits/KeyID    Date       User ID\n"
                      "pub  1024/0000ABCD 1996/02/11 zoe Last\n"
                      "pub  2048/9120E0D1 1996/03/01 *** KEY REVOKED ***\n"
                      "                              Revo Ked <rev@example.org>\n"
                      "                              Another Name\n"
                      "pub- 1024/DDDDDDDD 1996/02/11 Disabled Is Left Out\n"
                      "                              Nor Its Second Name\n"
                      "pub   255/EEEEEEEE 2020/01/01 *** KEY EXPIRED ***\n"
                      "            Key fingerprint = EEEE\n"
                      "pub  1024/FFFFFFFF 1996/02/11 *** KEY REVOKED ***\n"
                      "3 matching keys found.\n")
        << QStringList{"  255/EEEEEEEE 2020/01/01 *** KEY EXPIRED ***",
                       " 1024/FFFFFFFF 1996/02/11 *** KEY REVOKED ***",
                       " 2048/9120E0D1 1996/03/01 *** KEY REVOKED *** Another Name",
                       " 2048/9120E0D1 1996/03/01 *** KEY REVOKED *** Revo Ked <rev@example.org>",
                       " 1024/0000ABCD 1996/02/11 zoe Last"};
    QTest::newRow("first line always skipped")
        << QByteArray("pub  1024/AAAAAAAA 1996/02/11 Lost\npub  1024/BBBBBBBB 1996/02/11 Kept\n")
        << QStringList{" 1024/BBBBBBBB 1996/02/11 Kept"};
    QTest::newRow("blank lines before the heading")
        << QByteArray("\n\n\r\nheading\n\npub x\n\n\npub y") << QStringList{"x", "y"};
    QTest::newRow("only exact 'pub '")
        << QByteArray("h\nPub a\npub\tb\npubc\n pub d\npub e\n") << QStringList{"e"};
    QTest::newRow("empty") << QByteArray() << QStringList{};
    QTest::newRow("one line") << QByteArray("pub x") << QStringList{};
    QTest::newRow("binary") << QByteArray("\0\xff\n\0pub \n", 9) << QStringList{};
}

void TestKeyNameList::parse()
{
    QFETCH(QByteArray, listing);
    QFETCH(QStringList, names);
    QCOMPARE(ParseKeyListing(listing), names);
}

void TestKeyNameList::storeRebuildsSectionAndCount()
{
    ScratchSettings settings;
    settings.write(
        "[Keys]\r\nKey1=a\r\nKey2=b\r\nKey3=c\r\nNumbrOfKeys=3\r\n[Operations]\r\nArmor=1\r\n");
    StoreKeyNames({QStringLiteral(" 1024/0000ABCD x")});
    QCOMPARE(
        settings.read(),
        QByteArray(
            "[Keys]\r\nKey1= 1024/0000ABCD x\r\nNumbrOfKeys=1\r\n[Operations]\r\nArmor=1\r\n"));
    QCOMPARE(State().KeyNameCount, 1u);
    StoreKeyNames({});
    QCOMPARE(GetPrivateProfileInt(QStringLiteral("Keys"), QStringLiteral("NumbrOfKeys"), 9,
                                  QStringLiteral("ZORVEX 5.INI")),
             0);
    QCOMPARE(State().KeyNameCount, 0u);
}

void TestKeyNameList::cachedNamesTrimAndFillGaps()
{
    ScratchSettings settings;
    const QByteArray longName(100, 'n');
    settings.write("[Keys]\r\nKey1=  1024/0000ABCD Jane  \r\nKEY2=" + longName +
                   "\r\nNumbrOfKeys=3\r\n");
    State().KeyNameCount = 3;
    const QStringList names = CachedKeyNames(QStringLiteral("ZORVEX 5.INI"));
    QCOMPARE(names, (QStringList{"1024/0000ABCD Jane", QString::fromLatin1(longName), "WTFO"}));

    QListWidget list;
    list.addItem(QStringLiteral("already there"));
    FillKeyNameList(&list);
    QCOMPARE(list.count(), 4);
    QCOMPARE(list.item(3)->text(), QStringLiteral("WTFO"));
    // Wide enough for the longest entry, as far as the screen allows.
    const int longest = list.fontMetrics().horizontalAdvance(QString::fromLatin1(longName));
    QVERIFY(list.minimumWidth() >=
            qMin(longest, list.screen()->availableGeometry().width() * 3 / 4));

    // A damaged count lists what is there, not two thousand million entries.
    State().KeyNameCount = 2147483647u;
    QCOMPARE(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")).size(), 3);
    settings.write("[Keys]\r\nKey4000000000=far away\r\nNumbrOfKeys=2147483647\r\n");
    QCOMPARE(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")), (QStringList{"WTFO", "WTFO"}));

    State().KeyNameCount = 0;
    QVERIFY(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")).isEmpty());
}

void TestKeyNameList::fullWindowsPathReadsSameFile()
{
    ScratchSettings settings;
    StoreKeyNames({QStringLiteral("512/00001234 John")});
    QCOMPARE(CachedKeyNames(QStringLiteral("C:\\WINDOWS\\ZORVEX 5.INI")),
             QStringList{QStringLiteral("512/00001234 John")});
}

void TestKeyNameList::selectionText_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("text");
    QTest::newRow("four-digit size") << "1024/0000ABCD 1996/02/11 Jane Example"
                                     << "0x0000ABCD ";
    QTest::newRow("three-digit size") << "512/00001234 1995/11/30 John Sample"
                                      << "0x00001234 ";
    QTest::newRow("five-digit size adds nothing") << "16384/0000ABCD 2020/01/01 Big"
                                                  << "";
    QTest::newRow("no slash") << "WTFO"
                              << "0x";
    QTest::newRow("short entry") << "ab/c"
                                 << "0x";
    QTest::newRow("no slash, long") << "abcdefghijklmnop"
                                    << "0xefghijklm";
}

void TestKeyNameList::selectionText()
{
    QFETCH(QString, entry);
    QFETCH(QString, text);
    QCOMPARE(KeyIdSelectionText(entry), text);
}

void TestKeyNameList::hugeListing()
{
    QByteArray listing = "Key ring: 'pubring.pgp'\n";
    for (int i = 0; i < 50000; ++i)
        listing +=
            "pub  2048/" + QByteArray::number(0x10000000 + i, 16).toUpper() + " 2000/01/01 User\n";
    const QStringList names = ParseKeyListing(listing);
    QCOMPARE(names.size(), 50000);
    ScratchSettings settings;
    StoreKeyNames(names);
    QCOMPARE(State().KeyNameCount, 50000u);
    QCOMPARE(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")).last(), names.last().trimmed());
}

QTEST_MAIN(TestKeyNameList)
#include "tst_keynamelist.moc"
