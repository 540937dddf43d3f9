#include "core/keynamelist.h"
#include "core/settings.h"
#include "keys/keyrefresh.h"
#include "platform/messagebox.h"
#include "platform/privateprofile.h"
#include "testsupport.h"

class TestKeyRefresh : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void refreshRebuildsTheSection_data();
    void refreshRebuildsTheSection();
    void shorterSecondRefreshLeavesNoOldEntry();
    void missingListingKeepsEverything();
    void refusedWhileAnotherJobRuns();

private:
    QString file(const QString &name) const { return m_work->file(name); }
    QByteArray bytes(const QString &name) const { return m_work->bytes(name); }
    void setListing(const QByteArray &listing)
    {
        QFile f(file(QStringLiteral("canned")));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(listing);
        qputenv("FAKE_PGP_OUTPUT", QFile::encodeName(f.fileName()));
    }

    std::unique_ptr<FakePgpWorkspace> m_work;
};

namespace {
const QByteArray
    kWorkedExample("Key ring: 'pubring.pgp'\nType bits/keyID    Date       User ID\n"
                   "pub  1024/0000ABCD 1996/02/11 Jane Example\n"
                   "                              Jane Home\n"
                   "pub   512/00001234 1995/11/30 John Sample\n2 matching keys found.\n");
}

void TestKeyRefresh::initTestCase()
{
    MessageBox::setTestMode(true);
}

void TestKeyRefresh::init()
{
    ResetState();
    MessageBox::clearShown();
    m_work = std::make_unique<FakePgpWorkspace>(FAKE_PGP);
    QVERIFY(m_work->entered());
}

void TestKeyRefresh::cleanup()
{
    m_work.reset();
}

void TestKeyRefresh::refreshRebuildsTheSection_data()
{
    QTest::addColumn<int>("debugMode");
    QTest::newRow("DebugMode off") << 0;
    QTest::newRow("DebugMode on") << 1;
}

void TestKeyRefresh::refreshRebuildsTheSection()
{
    QFETCH(int, debugMode);
    RuntimeOptions().DebugMode = debugMode;
    setListing(kWorkedExample);
    QCOMPARE(RefreshKeyNames(), JobOutcome::Finished);
    QCOMPARE(bytes(QStringLiteral("log")), QByteArray("-kv\n=====\n"));
    QVERIFY(MessageBox::shown().isEmpty());
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    if (debugMode) {
        QCOMPARE(bytes(QStringLiteral("update.bat")),
                 QByteArray("PGP.EXE -kv > keys.$$$\r\ndel zorvex$$.tmp"));
        QCOMPARE(bytes(QStringLiteral("keys.$$$")), kWorkedExample);
    } else {
        QVERIFY(!QFile::exists(file(QStringLiteral("update.bat"))));
        QVERIFY(!QFile::exists(file(QStringLiteral("keys.$$$"))));
    }
    // The count follows the new list at once, so the lists show it in this run.
    QCOMPARE(State().KeyNameCount, 3u);
    QCOMPARE(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")),
             (QStringList{"1024/0000ABCD 1996/02/11 Jane Example",
                          "1024/0000ABCD 1996/02/11 Jane Home",
                          "512/00001234 1995/11/30 John Sample"}));
    QCOMPARE(GetPrivateProfileInt(QStringLiteral("Keys"), QStringLiteral("NumbrOfKeys"), -1,
                                  QStringLiteral("ZORVEX 5.INI")),
             3);
}

void TestKeyRefresh::shorterSecondRefreshLeavesNoOldEntry()
{
    setListing(kWorkedExample);
    QCOMPARE(RefreshKeyNames(), JobOutcome::Finished);
    setListing("Key ring: 'pubring.pgp'\r\npub  2048/0000FFFF 1997/01/01 Only One\r\n");
    QCOMPARE(RefreshKeyNames(), JobOutcome::Finished);
    QCOMPARE(State().KeyNameCount, 1u);
    QCOMPARE(CachedKeyNames(QStringLiteral("ZORVEX 5.INI")),
             QStringList{"2048/0000FFFF 1997/01/01 Only One"});
    const QList<ProfileEntry> section =
        ReadProfileSection(QStringLiteral("Keys"), QStringLiteral("ZORVEX 5.INI"));
    QCOMPARE(section.size(), 2);
    QCOMPARE(section.last().key, QStringLiteral("NumbrOfKeys"));
}

void TestKeyRefresh::missingListingKeepsEverything()
{
    setListing(kWorkedExample);
    QCOMPARE(RefreshKeyNames(), JobOutcome::Finished);
    const QByteArray before = m_work->settings().read();
    qputenv("FAKE_PGP_UNLINK", "keys.$$$");
    QCOMPARE(RefreshKeyNames(), JobOutcome::Finished);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);
    QCOMPARE(MessageBox::shown().first().text, QStringLiteral("Problem encountered opening file"));
    QCOMPARE(m_work->settings().read(), before);
    QCOMPARE(State().KeyNameCount, 3u);
    QVERIFY(QFile::exists(file(QStringLiteral("update.bat"))));
}

void TestKeyRefresh::refusedWhileAnotherJobRuns()
{
    JobGuard other;
    QVERIFY(other.acquired());
    QCOMPARE(RefreshKeyNames(), JobOutcome::Busy);
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(!QFile::exists(file(QString::fromLatin1(kJobMarkerFile))));
    QVERIFY(!QFile::exists(file(QStringLiteral("update.bat"))));
}

QTEST_MAIN(TestKeyRefresh)
#include "tst_keyrefresh.moc"
