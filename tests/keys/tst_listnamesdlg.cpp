#include "core/keynamelist.h"
#include "core/settings.h"
#include "keys/listnamesdlg.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

// The picker over four cached names: a four-digit and a three-digit key size, a five-digit
// one whose key ID cannot be taken, and an entry missing from the file ("WTFO").
class TestListNamesDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void clicksAppendKeyIds_data();
    void clicksAppendKeyIds();
    void typedTextReplacedAtNextClick();
    void fiveDigitSizeLeavesTypedTextAlone();
    void okReturnsFieldAsShown();
    void cancelReturnsEmptyAfterClicks();
    void pickNamesRunsModally();

private:
    void click(int row);
    CListNamesDlg *m_dlg = nullptr;
    ScratchSettings *m_settings = nullptr;
};

void TestListNamesDlg::init()
{
    ResetState();
    m_settings = new ScratchSettings;
    StoreKeyNames({QStringLiteral(" 1024/0000ABCD 1996/02/11 Jane Example"),
                   QStringLiteral("  512/00001234 1995/11/30 John Sample"),
                   QStringLiteral("12345/0000FFFF 1996/01/01 Huge Key")});
    State().KeyNameCount = 4;
    State().RecipientNames = QStringLiteral("left by the encryption dialog");
    m_dlg = new CListNamesDlg;
    m_dlg->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_dlg));
}

void TestListNamesDlg::cleanup()
{
    delete m_dlg;
    m_dlg = nullptr;
    delete m_settings;
    m_settings = nullptr;
}

void TestListNamesDlg::click(int row)
{
    auto *list = m_dlg->findChild<QListWidget *>(QStringLiteral("namesList"));
    QVERIFY(list && row < list->count());
    const QRect r = list->visualItemRect(list->item(row));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
}

void TestListNamesDlg::clicksAppendKeyIds_data()
{
    QTest::addColumn<QList<int>>("rows");
    QTest::addColumn<QString>("field");
    QTest::newRow("four- then three-digit size") << QList<int>{0, 1} << "0x0000ABCD 0x00001234 ";
    QTest::newRow("same name twice in a row") << QList<int>{1, 1} << "0x00001234 0x00001234 ";
    QTest::newRow("same name again later")
        << QList<int>{0, 1, 0} << "0x0000ABCD 0x00001234 0x0000ABCD ";
    QTest::newRow("WTFO gives a bare 0x") << QList<int>{3} << "0x";
    QTest::newRow("five-digit size adds nothing") << QList<int>{0, 2} << "0x0000ABCD ";
}

void TestListNamesDlg::clicksAppendKeyIds()
{
    QFETCH(QList<int>, rows);
    QFETCH(QString, field);
    auto *list = m_dlg->findChild<QListWidget *>(QStringLiteral("namesList"));
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(3)->text(), QStringLiteral("WTFO"));
    for (int row : rows)
        click(row);
    QCOMPARE(m_dlg->findChild<QLineEdit *>(QStringLiteral("namesEdit"))->text(), field);
}

void TestListNamesDlg::typedTextReplacedAtNextClick()
{
    auto *edit = m_dlg->findChild<QLineEdit *>(QStringLiteral("namesEdit"));
    click(0);
    edit->setFocus();
    QTest::keyClicks(edit, QStringLiteral("Bob"));
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD Bob"));
    click(1);
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD 0x00001234 "));
}

void TestListNamesDlg::fiveDigitSizeLeavesTypedTextAlone()
{
    auto *edit = m_dlg->findChild<QLineEdit *>(QStringLiteral("namesEdit"));
    QTest::keyClicks(edit, QStringLiteral("Bob"));
    click(2);
    QCOMPARE(edit->text(), QStringLiteral("Bob"));
}

void TestListNamesDlg::okReturnsFieldAsShown()
{
    // Opening forgets what another dialog left in the shared names.
    QVERIFY(State().RecipientNames.isEmpty());
    auto *edit = m_dlg->findChild<QLineEdit *>(QStringLiteral("namesEdit"));
    click(0);
    QTest::keyClicks(edit, QStringLiteral("Bob"));
    m_dlg->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
    QCOMPARE(State().RecipientNames, QStringLiteral("0x0000ABCD Bob"));
    QCOMPARE(m_dlg->result(), int(QDialog::Accepted));
}

void TestListNamesDlg::cancelReturnsEmptyAfterClicks()
{
    click(0);
    click(1);
    m_dlg->findChild<QPushButton *>(QStringLiteral("cancelButton"))->click();
    QVERIFY(State().RecipientNames.isEmpty());
}

void TestListNamesDlg::pickNamesRunsModally()
{
    delete m_dlg;
    m_dlg = nullptr;
    QTimer::singleShot(0, this, [this] {
        m_dlg = qobject_cast<CListNamesDlg *>(QApplication::activeModalWidget());
        QVERIFY(m_dlg);
        click(1);
        m_dlg->findChild<QPushButton *>(QStringLiteral("okButton"))->click();
        m_dlg = nullptr;
    });
    QCOMPARE(CListNamesDlg::PickNames(), QStringLiteral("0x00001234 "));
}

QTEST_MAIN(TestListNamesDlg)
#include "tst_listnamesdlg.moc"
