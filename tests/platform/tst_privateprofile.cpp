#include "platform/privateprofile.h"
#include "testsupport.h"

#include <sys/stat.h>

class TestPrivateProfile : public QObject
{
    Q_OBJECT

private slots:
    void readString_data();
    void readString();
    void readInt_data();
    void readInt();
    void write_data();
    void write();
    void writeKeepsEveryOtherLineByteForByte();
    void appendOrderFollowsFirstWrite();
    void sectionReplaceAndRead();
    void sectionReadKeepsDuplicatesInOrder();
    void hostileFilesNeverCrashOrLoseLines_data();
    void hostileFilesNeverCrashOrLoseLines();
    void readOnlyFileIsLeftUntouched();
    void readOnlyDirectoryIsLeftUntouched();
    void writeKeepsPermissionsAndCreatesPrivateFiles();
    void valueWithLineBreaksStaysOnOneLine();
};

static const QString kFile = QStringLiteral("ZORVEX 5.INI");

void TestPrivateProfile::readString_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("key");
    QTest::addColumn<int>("size");
    QTest::addColumn<QString>("expected");

    const QByteArray ops = "[Operations]\r\nMyName=  Alice Example  \r\nPGPPATH=/opt/pgp\r\n";
    QTest::newRow("plain") << ops << "Operations"
                           << "PGPPATH" << 128 << "/opt/pgp";
    QTest::newRow("blanks trimmed") << ops << "Operations"
                                    << "MyName" << 40 << "Alice Example";
    QTest::newRow("section any case") << ops << "OPERATIONS"
                                      << "pgppath" << 128 << "/opt/pgp";
    QTest::newRow("cut to size-1") << ops << "Operations"
                                   << "PGPPATH" << 4 << "/op";
    QTest::newRow("missing key") << ops << "Operations"
                                 << "Nope" << 40 << "dflt";
    QTest::newRow("missing section") << ops << "Keys"
                                     << "Key1" << 80 << "dflt";
    QTest::newRow("missing file") << QByteArray() << "Keys"
                                  << "Key1" << 80 << "dflt";
    QTest::newRow("LF file") << QByteArray("[A]\nk=v\n") << "A"
                             << "K" << 10 << "v";
    QTest::newRow("first duplicate wins") << QByteArray("[A]\nk=one\nk=two\n") << "A"
                                          << "k" << 10 << "one";
    QTest::newRow("first duplicate section wins")
        << QByteArray("[A]\nk=one\n[B]\n[a]\nk=two\n") << "A"
        << "k" << 10 << "one";
    QTest::newRow("blank around key and header")
        << QByteArray("  [ A ]  \r\n  k  =  v w  \r\n") << "A"
        << "k" << 10 << "v w";
    QTest::newRow("value with equals") << QByteArray("[A]\nk=a=b\n") << "A"
                                       << "k" << 10 << "a=b";
    QTest::newRow("empty value") << QByteArray("[A]\nk=\n") << "A"
                                 << "k" << 10 << "";
    QTest::newRow("byte-order mark") << QByteArray("\xEF\xBB\xBF[A]\r\nk=v\r\n") << "A"
                                     << "k" << 10 << "v";
    QTest::newRow("no final line end") << QByteArray("[A]\r\nk=v") << "A"
                                       << "k" << 10 << "v";
    QTest::newRow("key of other section") << QByteArray("[A]\nx=1\n[B]\nk=v\n") << "A"
                                          << "k" << 10 << "dflt";
    QTest::newRow("utf-8 value") << QByteArray("[A]\nk=Zo\xC3\xAB <z@example.org>\n") << "A"
                                 << "k" << 80 << QString::fromUtf8("Zo\xC3\xAB <z@example.org>");
}

void TestPrivateProfile::readString()
{
    QFETCH(QByteArray, file);
    QFETCH(QString, section);
    QFETCH(QString, key);
    QFETCH(int, size);
    QFETCH(QString, expected);
    ScratchSettings settings;
    if (!file.isNull())
        settings.write(file);
    QCOMPARE(GetPrivateProfileString(section, key, QStringLiteral("dflt"), size, kFile), expected);
}

void TestPrivateProfile::readInt_data()
{
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<int>("expected");
    QTest::newRow("one") << QByteArray("1") << 1;
    QTest::newRow("seven") << QByteArray("7") << 7;
    QTest::newRow("leading integer") << QByteArray("12abc") << 12;
    QTest::newRow("blanks") << QByteArray("  3  ") << 3;
    QTest::newRow("not a number") << QByteArray("abc") << 0;
    QTest::newRow("empty gives default") << QByteArray("") << 42;
    QTest::newRow("negative") << QByteArray("-5") << -5;
    QTest::newRow("huge saturates") << QByteArray("99999999999999999999") << -1;
}

void TestPrivateProfile::readInt()
{
    QFETCH(QByteArray, value);
    QFETCH(int, expected);
    ScratchSettings settings;
    settings.write("[Operations]\r\nArmor=" + value + "\r\n");
    QCOMPARE(GetPrivateProfileInt(QStringLiteral("operations"), QStringLiteral("ARMOR"), 42, kFile),
             expected);
    QCOMPARE(
        GetPrivateProfileInt(QStringLiteral("Operations"), QStringLiteral("Missing"), 42, kFile),
        42);
}

void TestPrivateProfile::write_data()
{
    QTest::addColumn<QByteArray>("before");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QVariant>("key");   // invalid QVariant: no key
    QTest::addColumn<QVariant>("value"); // invalid QVariant: no value
    QTest::addColumn<QByteArray>("after");

    const QVariant none;
    QTest::newRow("new file") << QByteArray() << "Operations" << QVariant("Armor") << QVariant("1")
                              << QByteArray("[Operations]\r\nArmor=1\r\n");
    QTest::newRow("replace keeps key spelling and LF")
        << QByteArray("[Operations]\nARMOR = 0\nText=1\n") << "operations" << QVariant("armor")
        << QVariant("1") << QByteArray("[Operations]\nARMOR =1\nText=1\n");
    QTest::newRow("append after last key, before blank line")
        << QByteArray("[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n") << "A" << QVariant("z") << QVariant("3")
        << QByteArray("[A]\r\nx=1\r\nz=3\r\n\r\n[B]\r\ny=2\r\n");
    QTest::newRow("new section at end, missing line end added")
        << QByteArray("[A]\r\nx=1") << "B" << QVariant("y") << QVariant("2")
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
    QTest::newRow("no key removes section")
        << QByteArray("; top\r\n[Keys]\r\nKey1=a\r\nKey2=b\r\n[Operations]\r\nArmor=1\r\n")
        << "keys" << none << none << QByteArray("; top\r\n[Operations]\r\nArmor=1\r\n");
    QTest::newRow("no value removes key (all copies)")
        << QByteArray("[A]\r\nx=1\r\ny=2\r\nX=3\r\n") << "A" << QVariant("x") << none
        << QByteArray("[A]\r\ny=2\r\n");
    QTest::newRow("removing a missing section changes nothing")
        << QByteArray("[A]\nx=1\n") << "B" << none << none << QByteArray("[A]\nx=1\n");
    QTest::newRow("empty value is written") << QByteArray("[A]\r\nx=1\r\n") << "A" << QVariant("x")
                                            << QVariant("") << QByteArray("[A]\r\nx=\r\n");
    QTest::newRow("byte-order mark kept")
        << QByteArray("\xEF\xBB\xBF[A]\r\nx=1\r\n") << "A" << QVariant("x") << QVariant("2")
        << QByteArray("\xEF\xBB\xBF[A]\r\nx=2\r\n");
    QTest::newRow("key in empty last section")
        << QByteArray("[A]\r\nx=1\r\n[B]") << "B" << QVariant("y") << QVariant("2")
        << QByteArray("[A]\r\nx=1\r\n[B]\r\ny=2\r\n");
}

void TestPrivateProfile::write()
{
    QFETCH(QByteArray, before);
    QFETCH(QString, section);
    QFETCH(QVariant, key);
    QFETCH(QVariant, value);
    QFETCH(QByteArray, after);
    ScratchSettings settings;
    if (!before.isNull())
        settings.write(before);
    const auto opt = [](const QVariant &v) {
        return v.isValid() ? std::optional<QString>(v.toString()) : std::nullopt;
    };
    QVERIFY(WritePrivateProfileString(section, opt(key), opt(value), kFile));
    QCOMPARE(settings.read(), after);
}

void TestPrivateProfile::writeKeepsEveryOtherLineByteForByte()
{
    ScratchSettings settings;
    const QByteArray junk = "; comment\r\n"
                            "junk line without equals\n"
                            "\t\r\n"
                            "[Unknown Section]\r\n"
                            "weird = \x01\x02\xFF\xFE bytes\r\n"
                            "[Operations]\r\n"
                            "Armor=0\r\n"
                            "   ; indented comment\r\n"
                            "Text=1\n";
    settings.write(junk);
    QVERIFY(WritePrivateProfileString(QStringLiteral("Operations"), QStringLiteral("Armor"),
                                      QStringLiteral("1"), kFile));
    QByteArray expected = junk;
    expected.replace("Armor=0", "Armor=1");
    QCOMPARE(settings.read(), expected);
}

void TestPrivateProfile::appendOrderFollowsFirstWrite()
{
    ScratchSettings settings;
    for (const char *k : {"SignIt", "Wipe", "Armor"})
        WritePrivateProfileString(QStringLiteral("Operations"), QString::fromLatin1(k),
                                  QStringLiteral("0"), kFile);
    WritePrivateProfileString(QStringLiteral("Operations"), QStringLiteral("wipe"),
                              QStringLiteral("1"), kFile);
    QCOMPARE(settings.read(), QByteArray("[Operations]\r\nSignIt=0\r\nWipe=1\r\nArmor=0\r\n"));
}

void TestPrivateProfile::sectionReplaceAndRead()
{
    ScratchSettings settings;
    settings.write(
        "[Operations]\r\nArmor=1\r\n\r\n[Keys]\r\nNumbrOfKeys=3\r\nKey1=old\r\n; note\r\n"
        "Key2=old\r\nKey3=old\r\n\r\n[Tail]\r\nz=1\r\n");
    const QList<ProfileEntry> fresh = {{QStringLiteral("NumbrOfKeys"), QStringLiteral("1")},
                                       {QStringLiteral("Key1"), QStringLiteral("new")}};
    QVERIFY(WriteProfileSection(QStringLiteral("KEYS"), fresh, kFile));
    QCOMPARE(settings.read(),
             QByteArray("[Operations]\r\nArmor=1\r\n\r\n[Keys]\r\nNumbrOfKeys=1\r\n"
                        "Key1=new\r\n\r\n[Tail]\r\nz=1\r\n"));
    QCOMPARE(ReadProfileSection(QStringLiteral("keys"), kFile), fresh);
    QVERIFY(ReadProfileSection(QStringLiteral("Missing"), kFile).isEmpty());

    QVERIFY(WriteProfileSection(QStringLiteral("New"), fresh, kFile));
    QCOMPARE(ReadProfileSection(QStringLiteral("New"), kFile), fresh);
}

void TestPrivateProfile::sectionReadKeepsDuplicatesInOrder()
{
    ScratchSettings settings;
    settings.write("[K]\nb = 2 \na=1\nB=3\njunk\n[L]\nc=4\n");
    const QList<ProfileEntry> expected = {{QStringLiteral("b"), QStringLiteral("2")},
                                          {QStringLiteral("a"), QStringLiteral("1")},
                                          {QStringLiteral("B"), QStringLiteral("3")}};
    QCOMPARE(ReadProfileSection(QStringLiteral("K"), kFile), expected);
}

void TestPrivateProfile::hostileFilesNeverCrashOrLoseLines_data()
{
    QTest::addColumn<QByteArray>("content");
    QByteArray binary;
    for (int i = 0; i < 4096; ++i)
        binary.append(char((i * 131) & 0xFF));
    QTest::newRow("binary") << binary;
    QTest::newRow("100 KB line") << ("[Operations]\r\nMyName=" + QByteArray(100 * 1024, 'x') +
                                     "\r\n");
    QTest::newRow("only brackets") << QByteArray("[\n]\n[]\n[[[\n=\n==\n");
    QTest::newRow("lone CRs") << QByteArray("\r\r\r[Operations]\rArmor=1\r");
    QTest::newRow("NUL bytes") << QByteArray("[Op\0erations]\nA\0=1\n", 19);
}

void TestPrivateProfile::hostileFilesNeverCrashOrLoseLines()
{
    QFETCH(QByteArray, content);
    ScratchSettings settings;
    settings.write(content);
    GetPrivateProfileString(QStringLiteral("Operations"), QStringLiteral("MyName"), QString(), 40,
                            kFile);
    GetPrivateProfileInt(QStringLiteral("Operations"), QStringLiteral("Armor"), 0, kFile);
    ReadProfileSection(QStringLiteral("Operations"), kFile);
    QVERIFY(WritePrivateProfileString(QStringLiteral("Zorvex Test"), QStringLiteral("k"),
                                      QStringLiteral("v"), kFile));
    const QByteArray after = settings.read();
    // Whatever was there is still there, in front of the new section.
    QVERIFY(after.startsWith(content));
    QCOMPARE(GetPrivateProfileString(QStringLiteral("Zorvex Test"), QStringLiteral("k"), QString(),
                                     10, kFile),
             QStringLiteral("v"));
}

void TestPrivateProfile::readOnlyFileIsLeftUntouched()
{
    ScratchSettings settings;
    const QByteArray before = "[Operations]\r\nArmor=0\r\n";
    settings.write(before);
    QFile::setPermissions(settings.path(), QFileDevice::ReadOwner);
    QVERIFY(!WritePrivateProfileString(QStringLiteral("Operations"), QStringLiteral("Armor"),
                                       QStringLiteral("1"), kFile));
    QVERIFY(!WriteProfileSection(QStringLiteral("Keys"), {}, kFile));
    QCOMPARE(settings.read(), before);
}

void TestPrivateProfile::readOnlyDirectoryIsLeftUntouched()
{
    ScratchSettings settings;
    const QByteArray before = "[Operations]\r\nArmor=0\r\n";
    settings.write(before);
    QFile::setPermissions(settings.dir(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    QVERIFY(!WritePrivateProfileString(QStringLiteral("Operations"), QStringLiteral("Armor"),
                                       QStringLiteral("1"), kFile));
    QFile::setPermissions(settings.dir(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(settings.read(), before);
    QCOMPARE(QDir(settings.dir()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

void TestPrivateProfile::writeKeepsPermissionsAndCreatesPrivateFiles()
{
    ScratchSettings settings;
    const QString nested = settings.dir() + QStringLiteral("/sub/dir/");
    qputenv("ZORVEX_CONFIG_DIR", nested.toLocal8Bit());
    QVERIFY(WritePrivateProfileString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("v"),
                                      kFile));
    struct stat st
    {
    };
    QCOMPARE(::stat(QFile::encodeName(nested).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0700u);
    QCOMPARE(::stat(QFile::encodeName(nested + kFile).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0600u);

    ::chmod(QFile::encodeName(nested + kFile).constData(), 0640);
    QVERIFY(WritePrivateProfileString(QStringLiteral("A"), QStringLiteral("k"), QStringLiteral("w"),
                                      kFile));
    QCOMPARE(::stat(QFile::encodeName(nested + kFile).constData(), &st), 0);
    QCOMPARE(st.st_mode & 0777, 0640u);
}

void TestPrivateProfile::valueWithLineBreaksStaysOnOneLine()
{
    ScratchSettings settings;
    WritePrivateProfileString(QStringLiteral("A"), QStringLiteral("k"),
                              QStringLiteral("one\r\n[Operations]\nArmor=1"), kFile);
    QCOMPARE(settings.read(), QByteArray("[A]\r\nk=one  [Operations] Armor=1\r\n"));
    QCOMPARE(GetPrivateProfileInt(QStringLiteral("Operations"), QStringLiteral("Armor"), 0, kFile),
             0);
}

QTEST_GUILESS_MAIN(TestPrivateProfile)
#include "tst_privateprofile.moc"
