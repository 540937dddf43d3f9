#include "core/settings.h"
#include "keys/keyringwindow.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTimer>

// The Key Ring window over a listing the stand-in engine prints: search, the hiding of revoked
// and expired keys, and Encrypt To.
class TestKeyRingWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void cleanupTestCase();
    void search_data();
    void search();
    void hideSettingAndEncryptTo();

private:
    int rows() const { return child<QTableView>(m_window, "keyTable")->model()->rowCount(); }
    void reopen();

    ScratchSettings *m_settings = nullptr;
    CKeyRingWindow *m_window = nullptr;
};

void TestKeyRingWindow::initTestCase()
{
    m_settings = new ScratchSettings;
    // Alice and Bob usable (Bob with a second user ID), Carol revoked, Erin expired.
    m_settings->write("zorvex-keys 1\n"
                      "key\t635176BC32459C31\tRSA 2048\t2026/12/08\t\tvalid\tyes\t"
                      "CF9D EEE9 7B4E EA9C 696F  120A 6351 76BC 3245 9C31\n"
                      "uid\tAlice Rsa <alice@example.org>\n"
                      "key\tAB457C156FEB3FC3\tEd25519\t2026/12/08\t2030/01/01\tnot certified\tno\t"
                      "BB35 EBBB 2721 66D8 7DA7  39AC AB45 7C15 6FEB 3FC3\n"
                      "uid\tBob K\xc3\xbcrve <bob@work.example>\nuid\tBob Curve <bob@example.org>\n"
                      "key\t20DBAAD47856354C\tEd25519\t2026/12/08\t\trevoked\tno\t"
                      "2DB0 DB87 7BEA 7889 1721  909D 20DB AAD4 7856 354C\n"
                      "uid\tCarol Revoked <carol@example.org>\n"
                      "key\t0000000011112222\tRSA 1024 (PGP 2.x)\t1996/03/01\t1997/03/01\texpired\t"
                      "no\t91 1F 77 16 D5 4E 44 76  66 BD 68 09 F9 08 CE 4C\n"
                      "uid\tErin Expired <erin@example.org>\n"
                      "end\t4\n",
                      QStringLiteral("listing.txt"));
    qputenv("ZORVEX_PGP", FAKE_PGP);
    qputenv("FAKE_PGP_OUTPUT", m_settings->path(QStringLiteral("listing.txt")).toLocal8Bit());
    MessageBox::setTestMode(true);
    reopen();
}

void TestKeyRingWindow::cleanupTestCase()
{
    delete m_window;
    delete m_settings;
}

void TestKeyRingWindow::reopen()
{
    delete m_window;
    m_window = new CKeyRingWindow;
    QSignalSpy read(m_window, &CKeyRingWindow::reloaded);
    m_window->reload();
    QVERIFY(read.wait(10000));
}

void TestKeyRingWindow::search_data()
{
    QTest::addColumn<QString>("query");
    QTest::addColumn<int>("shown");
    QTest::newRow("nothing typed: revoked and expired hidden") << "" << 2;
    QTest::newRow("second user ID, words in any order") << "curve BOB" << 1;
    QTest::newRow("e-mail domain") << "example.org" << 2;
    QTest::newRow("key ID with 0x") << "0x32459c31" << 1;
    QTest::newRow("long key ID") << "AB457C156FEB3FC3" << 1;
    QTest::newRow("fingerprint with blanks") << "bb35 ebbb 2721 66d8" << 1;
    QTest::newRow("fingerprint without blanks") << "7DA739ACAB457C15" << 1;
    QTest::newRow("hidden key not found") << "carol" << 0;
    QTest::newRow("no match") << "mallory" << 0;
}

void TestKeyRingWindow::search()
{
    QFETCH(QString, query);
    QFETCH(int, shown);
    auto *edit = child<QLineEdit>(m_window, "searchEdit");
    QCOMPARE(edit->accessibleName(), "Search keys");
    edit->clear();
    QTest::keyClicks(edit, query);
    QCOMPARE(rows(), shown);
}

void TestKeyRingWindow::hideSettingAndEncryptTo()
{
    child<QLineEdit>(m_window, "searchEdit")->clear();
    // The reading rebuilt the dialogs' name lists: every user ID, sorted, Carol still named.
    QCOMPARE(State().KeyNameCount, 5u);
    QVERIFY(m_settings->read().contains("Key4= 255/7856354C 2026/12/08 *** KEY REVOKED *** Carol"));

    auto *hide = child<QCheckBox>(m_window, "hideUnusableCheck");
    QVERIFY(hide->isChecked());
    hide->click();
    QCOMPARE(rows(), 4);
    // Kept in the program's own profile, and in force when the window opens again.
    QVERIFY(m_settings->read(QStringLiteral("zorvex5.ini")).contains("HideRevokedExpired=0"));
    QVERIFY(!m_settings->read().contains("HideRevokedExpired"));
    reopen();
    QCOMPARE(rows(), 4);

    // Everything selected; the revoked and expired keys are refused with a message, the
    // others become the Encryption dialog's recipients.
    auto *table = child<QTableView>(m_window, "keyTable");
    table->selectAll();
    QString recipients;
    QTimer::singleShot(0, this, [&recipients] {
        QWidget *dialog = QApplication::activeModalWidget();
        QVERIFY(dialog && dialog->objectName() == "encryptionDialog");
        recipients = child<QLineEdit>(dialog, "recipientsEdit")->text();
        dialog->close();
    });
    MessageBox::clearShown();
    child<QPushButton>(m_window, "encryptToButton")->click();
    QCOMPARE(recipients, "0x32459C31 0x6FEB3FC3 ");
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains("\"Carol Revoked <carol@example.org>\" "
                                                      "(0x7856354C) is revoked"));
}

QTEST_MAIN(TestKeyRingWindow)
#include "tst_keyringwindow.moc"
