#include "core/settings.h"
#include "jobs/decryptiondlg.h"
#include "jobs/encryptiondlg.h"
#include "jobs/jobrunner.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

namespace {
const QString kTail = QString::fromLatin1(kJobTail);

// QAbstractButton::click() rather than a mouse event: a wide radio button only takes clicks
// on its indicator and label.
void click(QWidget *dialog, const char *name)
{
    child<QAbstractButton>(dialog, name)->click();
}

void select(QWidget *dialog, int row)
{
    pickKeyName(dialog, "keyList", row);
}

// The flags a style button may write, all set to a value no button writes, so that a write
// to the wrong flag shows.
void presetStyleFlags()
{
    RuntimeOptionsRecord &o = RuntimeOptions();
    o.SignIt = o.IDEA = o.ClearsignOnly = o.Armor = o.DetachSig = o.SigIntact = 7;
}
} // namespace

class TestFileJobDialogs : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();

    void encryptionControls();
    void styleTable_data();
    void styleTable();
    void laterStyleReenablesFields();
    void listSelectionAppendsKeyIds();
    void okRunsWorkedExampleAndRestoresSnapshot();
    void idleOkGivesLoneDash();
    void clearsignCarriesIntoNextRun();
    void cancelKeepsStyleFlags();
    void encryptionBrowseAndHelp();
    void quoteInNameIsRefusedAndDialogStays();

    void decryptionControls();
    void decryptionOk();
    void decryptionBrowseAndHelp();
    void decryptionRefusesQuote();

private:
    ScratchSettings *m_settings = nullptr;
};

void TestFileJobDialogs::init()
{
    ResetState();
    // A stand-in engine that does nothing and succeeds: these cases are about the dialogs.
    qputenv("ZORVEX_PGP", FAKE_PGP);
    m_settings = new ScratchSettings;
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::setTestMode(true);
    FileDialog::clearAsked();
    JobScript().clear();
}

void TestFileJobDialogs::cleanup()
{
    delete m_settings;
    m_settings = nullptr;
    for (QWidget *w : QApplication::topLevelWidgets())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
}

void TestFileJobDialogs::encryptionControls()
{
    RuntimeOptions().MyName = QStringLiteral("jroe");
    CEncryptionDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Zorvex\u00ae 5.0 Encryption Subsystem"));
    const QStringList groups{"Get Filename", "Select Encryption Style", "Select Recipient names",
                             "Select Optional Sender ID", "Select Optional Output Filename"};
    QStringList titles;
    for (QGroupBox *g : dlg.findChildren<QGroupBox *>())
        titles << g->title();
    for (const QString &g : groups)
        QVERIFY2(titles.contains(g), qPrintable(g));

    const QStringList styles{"&Signed",    "&Unsigned",    "&Idea\u00a9",
                             "&Clearsign", "&ASCII Armor", "Detach Sig (-sb)"};
    QStringList radioTexts;
    for (QRadioButton *r : dlg.findChildren<QRadioButton *>()) {
        radioTexts << r->text();
        QVERIFY(!r->isChecked());
    }
    QCOMPARE(radioTexts, styles);

    QCOMPARE(child<QPushButton>(&dlg, "browseButton")->text(), QStringLiteral("Browse..."));
    QCOMPARE(child<QPushButton>(&dlg, "okButton")->text(), QStringLiteral("&OK"));
    QCOMPARE(child<QPushButton>(&dlg, "cancelButton")->text(), QStringLiteral("&Cancel"));
    QCOMPARE(child<QPushButton>(&dlg, "helpButton")->text(), QStringLiteral("&Help"));
    QCOMPARE(child<QLineEdit>(&dlg, "fileEdit")->maxLength(), 255);
    QCOMPARE(child<QLineEdit>(&dlg, "senderEdit")->maxLength(), 128);
    QCOMPARE(child<QLineEdit>(&dlg, "outputEdit")->maxLength(), 128);
    QCOMPARE(child<QLineEdit>(&dlg, "senderEdit")->text(), QStringLiteral("jroe"));
    QVERIFY(child<QLineEdit>(&dlg, "fileEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>(&dlg, "recipientsEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>(&dlg, "outputEdit")->text().isEmpty());
    auto *list = child<QListWidget>(&dlg, "keyList");
    QCOMPARE(list->selectionMode(), QAbstractItemView::SingleSelection);
    QVERIFY(!list->isSortingEnabled());
    QCOMPARE(list->count(), 0);
}

void TestFileJobDialogs::styleTable_data()
{
    QTest::addColumn<QString>("button");
    // recipients edit, name list, sender, output
    QTest::addColumn<QList<bool>>("enabled");
    // SignIt, IDEA, ClearsignOnly, Armor, DetachSig, SigIntact after the click (7 = untouched)
    QTest::addColumn<QList<int>>("flags");

    QTest::newRow("signed") << "styleSignedButton" << QList<bool>{true, true, true, true}
                            << QList<int>{1, 0, 0, 7, 7, 7};
    QTest::newRow("unsigned") << "styleUnsignedButton" << QList<bool>{true, true, true, true}
                              << QList<int>{0, 0, 0, 7, 7, 1};
    QTest::newRow("idea") << "styleIdeaButton" << QList<bool>{true, true, true, true}
                          << QList<int>{0, 1, 0, 7, 7, 7};
    QTest::newRow("clearsign") << "styleClearsignButton" << QList<bool>{false, false, true, false}
                               << QList<int>{0, 0, 1, 7, 7, 7};
    QTest::newRow("armor") << "styleArmorButton" << QList<bool>{false, false, false, false}
                           << QList<int>{0, 0, 0, 1, 7, 7};
    QTest::newRow("detach") << "styleDetachButton" << QList<bool>{false, false, false, false}
                            << QList<int>{0, 0, 0, 7, 1, 0};
}

void TestFileJobDialogs::styleTable()
{
    QFETCH(QString, button);
    QFETCH(QList<bool>, enabled);
    QFETCH(QList<int>, flags);

    presetStyleFlags();
    CEncryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("kept.pgp"));
    click(&dlg, qPrintable(button));
    QVERIFY(child<QRadioButton>(&dlg, qPrintable(button))->isChecked());

    const QList<bool> actual{child<QWidget>(&dlg, "recipientsEdit")->isEnabled(),
                             child<QWidget>(&dlg, "keyList")->isEnabled(),
                             child<QWidget>(&dlg, "senderEdit")->isEnabled(),
                             child<QWidget>(&dlg, "outputEdit")->isEnabled()};
    QCOMPARE(actual, enabled);
    const RuntimeOptionsRecord &o = RuntimeOptions();
    QCOMPARE((QList<int>{o.SignIt, o.IDEA, o.ClearsignOnly, o.Armor, o.DetachSig, o.SigIntact}),
             flags);
    // A disabled field keeps its text.
    QCOMPARE(child<QLineEdit>(&dlg, "outputEdit")->text(), QStringLiteral("kept.pgp"));
    dlg.reject();
}

void TestFileJobDialogs::laterStyleReenablesFields()
{
    CEncryptionDlg dlg;
    dlg.show();
    click(&dlg, "styleArmorButton");
    click(&dlg, "styleSignedButton");
    QVERIFY(!child<QRadioButton>(&dlg, "styleArmorButton")->isChecked());
    for (const char *name : {"recipientsEdit", "keyList", "senderEdit", "outputEdit"})
        QVERIFY2(child<QWidget>(&dlg, name)->isEnabled(), name);
    dlg.reject();
}

void TestFileJobDialogs::listSelectionAppendsKeyIds()
{
    m_settings->write("[Keys]\r\n"
                      "Key1= 1024/0000ABCD 1996/02/11 Jane Example\r\n"
                      "Key2=  512/00001234 1995/11/30 John Sample\r\n"
                      "Key3=10240/0000FFFF 2020/01/01 Huge Key\r\n"
                      "NumbrOfKeys=4\r\n");
    State().KeyNameCount = 4;
    CEncryptionDlg dlg;
    dlg.show();
    auto *list = child<QListWidget>(&dlg, "keyList");
    auto *edit = child<QLineEdit>(&dlg, "recipientsEdit");
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(0)->text(), QStringLiteral("1024/0000ABCD 1996/02/11 Jane Example"));
    QCOMPARE(list->item(3)->text(), QStringLiteral("WTFO"));

    select(&dlg, 0);
    select(&dlg, 1);
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD 0x00001234 "));
    // A five-digit key size adds nothing.
    select(&dlg, 2);
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD 0x00001234 "));
    // Typed text gives way at the next selection; a key picked again is added again.
    edit->setText(QStringLiteral("typed"));
    select(&dlg, 0);
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD 0x00001234 0x0000ABCD "));
    select(&dlg, 3);
    QCOMPARE(edit->text(), QStringLiteral("0x0000ABCD 0x00001234 0x0000ABCD 0x"));
    QCOMPARE(dlg.recipientText(), edit->text());
    dlg.reject();
}

void TestFileJobDialogs::okRunsWorkedExampleAndRestoresSnapshot()
{
    m_settings->write("[Keys]\r\nKey1= 1024/0000ABCD 1996/02/11 Jane Example\r\n"
                      "Key2=  512/00001234 1995/11/30 John Sample\r\nNumbrOfKeys=2\r\n");
    State().KeyNameCount = 2;
    RuntimeOptions().Armor = 1;
    RuntimeOptions().MyName = QStringLiteral("old name");

    CEncryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "fileEdit")->setText(QStringLiteral("C:\\DOCS\\PLAN.TXT"));
    click(&dlg, "styleSignedButton");
    select(&dlg, 0);
    select(&dlg, 1);
    child<QLineEdit>(&dlg, "senderEdit")->setText(QStringLiteral("jroe"));
    click(&dlg, "okButton");

    QCOMPARE(JobScript(), "@ECHO OFF\nPGP.EXE -esa \"C:\\DOCS\\PLAN.TXT\" 0x0000ABCD 0x00001234  "
                          "-u jroe " +
                              kTail);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
    QCOMPARE(RuntimeOptions().SignIt, 0);
    QCOMPARE(RuntimeOptions().Armor, 1);
    QCOMPARE(RuntimeOptions().MyName, QStringLiteral("jroe"));
    QCOMPARE(State().RecipientNames, QStringLiteral("0x0000ABCD 0x00001234 "));
    // The sender replaces MyName in memory only.
    QVERIFY(!m_settings->read().contains("jroe"));
}

void TestFileJobDialogs::idleOkGivesLoneDash()
{
    CEncryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "fileEdit")->setText(QStringLiteral("a.txt"));
    click(&dlg, "okButton");
    QCOMPARE(JobScript(), "@ECHO OFF\nPGP.EXE - \"a.txt\"  " + kTail);
}

void TestFileJobDialogs::clearsignCarriesIntoNextRun()
{
    RuntimeOptions().SigIntact = 0;
    {
        CEncryptionDlg dlg;
        dlg.show();
        click(&dlg, "styleIdeaButton");
        click(&dlg, "styleArmorButton");
        click(&dlg, "okButton");
        // Armor is back, IDEA keeps the last style's value.
        QCOMPARE(RuntimeOptions().Armor, 0);
        QCOMPARE(RuntimeOptions().IDEA, 0);
    }
    {
        CEncryptionDlg dlg;
        dlg.show();
        click(&dlg, "styleIdeaButton");
        click(&dlg, "okButton");
        QCOMPARE(RuntimeOptions().IDEA, 1);
    }
    {
        CEncryptionDlg dlg;
        dlg.show();
        click(&dlg, "styleClearsignButton");
        click(&dlg, "okButton");
        QCOMPARE(RuntimeOptions().ClearsignOnly, 1);
        QCOMPARE(RuntimeOptions().IDEA, 0);
    }
    CEncryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "fileEdit")->setText(QStringLiteral("memo.txt"));
    child<QLineEdit>(&dlg, "recipientsEdit")->setText(QStringLiteral("jroe"));
    child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("memo.asc"));
    click(&dlg, "okButton");
    QCOMPARE(JobScript(), "@ECHO OFF\nPGP.EXE -sta +clearsig=on \"memo.txt\" " + kTail);
}

void TestFileJobDialogs::cancelKeepsStyleFlags()
{
    RuntimeOptions().MyName = QStringLiteral("jroe");
    CEncryptionDlg dlg;
    dlg.show();
    QCOMPARE(dlg.styleSnapshot().Armor, 0);
    click(&dlg, "styleArmorButton");
    child<QLineEdit>(&dlg, "senderEdit")->setText(QStringLiteral("someone else"));
    click(&dlg, "cancelButton");
    QCOMPARE(dlg.result(), int(QDialog::Rejected));
    QCOMPARE(RuntimeOptions().Armor, 1);
    QCOMPARE(RuntimeOptions().MyName, QStringLiteral("jroe"));
    QVERIFY(JobScript().isEmpty());
}

void TestFileJobDialogs::encryptionBrowseAndHelp()
{
    CEncryptionDlg dlg;
    dlg.show();
    auto *file = child<QLineEdit>(&dlg, "fileEdit");
    FileDialog::setNextFileName(QStringLiteral("/home/j/plan.txt"));
    click(&dlg, "browseButton");
    QCOMPARE(file->text(), QStringLiteral("/home/j/plan.txt"));
    click(&dlg, "browseButton"); // cancelled
    QVERIFY(file->text().isEmpty());
    QCOMPARE(FileDialog::asked().size(), 2);
    QCOMPARE(FileDialog::asked().first().save, false);
    QCOMPARE(FileDialog::asked().first().title, QStringLiteral("Zorvex\u00ae5.0 - Get File Names"));
    QVERIFY(FileDialog::asked().first().filter.startsWith(QLatin1String("All Files (")));
    QVERIFY(FileDialog::asked().first().filter.contains(QLatin1String(";;Text Files (*.txt")));

    click(&dlg, "helpButton");
    QCOMPARE(LastHelpContext(), 0x2008Bu);
    QVERIFY(dlg.isVisible());
    dlg.reject();
}

void TestFileJobDialogs::quoteInNameIsRefusedAndDialogStays()
{
    CEncryptionDlg dlg;
    dlg.show();
    click(&dlg, "styleArmorButton");
    child<QLineEdit>(&dlg, "fileEdit")->setText(QStringLiteral("a.txt"));
    child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("b\".asc"));
    child<QLineEdit>(&dlg, "senderEdit")->setText(QStringLiteral("jroe"));
    click(&dlg, "okButton");

    QVERIFY(dlg.isVisible());
    QVERIFY(JobScript().isEmpty());
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
    // Nothing was taken over: the style stays in force for a corrected OK.
    QCOMPARE(RuntimeOptions().Armor, 1);
    QVERIFY(RuntimeOptions().MyName.isEmpty());
    QCOMPARE(child<QLineEdit>(&dlg, "outputEdit")->text(), QStringLiteral("b\".asc"));

    child<QLineEdit>(&dlg, "outputEdit")->setText(QStringLiteral("my b.asc"));
    click(&dlg, "okButton");
    QCOMPARE(JobScript(), "@ECHO OFF\nPGP.EXE -a \"a.txt\"  -u jroe -o \"my b.asc\" " + kTail);
    QVERIFY(!dlg.isVisible());
}

void TestFileJobDialogs::decryptionControls()
{
    CDecryptionDlg dlg;
    QCOMPARE(dlg.windowTitle(), QStringLiteral("Zorvex\u00ae 5.0 - File Decryption Subsystem"));
    QCOMPARE(child<QGroupBox>(&dlg, "inputGroup")->title(),
             QStringLiteral("Step #1 - Select a file for decryption"));
    QCOMPARE(child<QGroupBox>(&dlg, "outputGroup")->title(),
             QStringLiteral("Step #2 - Type in an optional output file name"));
    QCOMPARE(child<QLabel>(&dlg, "step3Label")->text(),
             QStringLiteral("Step #3 - Select OK to decrypt, Cancel to Abort"));
    QCOMPARE(child<QPushButton>(&dlg, "browseButton")->text(), QStringLiteral("Browse..."));
    QCOMPARE(child<QPushButton>(&dlg, "okButton")->text(), QStringLiteral("&OK"));
    QCOMPARE(child<QPushButton>(&dlg, "cancelButton")->text(), QStringLiteral("&Cancel"));
    QCOMPARE(child<QPushButton>(&dlg, "helpButton")->text(), QStringLiteral("&Help"));
    QVERIFY(child<QLineEdit>(&dlg, "inputEdit")->text().isEmpty());
    QVERIFY(child<QLineEdit>(&dlg, "outputEdit")->text().isEmpty());
}

void TestFileJobDialogs::decryptionOk()
{
    RuntimeOptions().SigIntact = 1;
    RuntimeOptions().RecoverOrig = 1;
    CDecryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "inputEdit")->setText(QStringLiteral("C:\\DOCS\\REPORT.PGP"));
    click(&dlg, "okButton");
    QCOMPARE(JobScript(), "@ECHO OFF\nPGP.EXE -dp \"C:\\DOCS\\REPORT.PGP\" " + kTail);
    QCOMPARE(dlg.result(), int(QDialog::Accepted));
    QVERIFY(!dlg.isVisible());
}

void TestFileJobDialogs::decryptionBrowseAndHelp()
{
    CDecryptionDlg dlg;
    dlg.show();
    auto *input = child<QLineEdit>(&dlg, "inputEdit");
    input->setText(QStringLiteral("typed.pgp"));
    click(&dlg, "browseButton"); // cancelled: clears what was there
    QVERIFY(input->text().isEmpty());
    FileDialog::setNextFileName(QStringLiteral("/home/j/a.asc"));
    click(&dlg, "browseButton");
    QCOMPARE(input->text(), QStringLiteral("/home/j/a.asc"));
    const FileDialog::Asked asked = FileDialog::asked().first();
    QCOMPARE(asked.title, QStringLiteral("Zorvex\u00ae5.0 - Get File Names"));
    QVERIFY(asked.filter.startsWith(QLatin1String("All Files (")));
    QVERIFY(asked.filter.endsWith(QLatin1String(";;PGP Files (*.pgp);;ASCII Files (*.asc)")));

    click(&dlg, "helpButton");
    QCOMPARE(LastHelpContext(), 0x20091u);
    dlg.reject();
}

void TestFileJobDialogs::decryptionRefusesQuote()
{
    CDecryptionDlg dlg;
    dlg.show();
    child<QLineEdit>(&dlg, "inputEdit")->setText(QStringLiteral("x\".pgp"));
    click(&dlg, "okButton");
    QVERIFY(dlg.isVisible());
    QVERIFY(JobScript().isEmpty());
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
    dlg.reject();
}

QTEST_MAIN(TestFileJobDialogs)
#include "tst_filejobdialogs.moc"
