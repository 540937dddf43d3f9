#include "core/settings.h"
#include "keys/keyjob.h"
#include "keys/listnamesdlg.h"
#include "keys/mypropertysheet1.h"
#include "keys/propertyframe1.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "testsupport.h"

#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabBar>
#include <QTimer>

// The key management window as the editor view uses it. Nothing is run: the runner and the
// key list refresh are replaced, and each OK is judged by the script it composed.
class TestKeyManagement : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void tabsInOrderWithHelpTopics();
    void fieldLengthLimits_data();
    void fieldLengthLimits();
    void hidingKeepsEverything();
    void cancelOnAnyPageHides();
    void eachPageKeepsItsOwnChoice();
    void okWithoutChoiceRunsNothing_data();
    void okWithoutChoiceRunsNothing();
    void pageCommands_data();
    void pageCommands();
    void radioButtonsEnableFields();
    void editKeysRefreshesWithoutChoice();
    void nothingToRefreshWhenJobDidNotStart();
    void browseAnswerReplacesKeyFile();
    void listNamesAnswerReplacesName();

private:
    QWidget *page(const char *name) const;
    template <typename T>
    T *in(const char *pageName, const char *child) const
    {
        QWidget *p = page(pageName);
        T *w = p ? p->findChild<T *>(QLatin1String(child)) : nullptr;
        if (!w)
            qWarning("no %s in %s", child, pageName);
        return w;
    }
    void type(const char *pageName, const char *field, const QString &text);
    void pressOk(const char *pageName);

    QWidget *m_owner = nullptr;
    CPropertyFrame1 *m_frame = nullptr;
    int m_runs = 0;
    int m_refreshes = 0;
    JobOutcome m_outcome = JobOutcome::Finished;
};

void TestKeyManagement::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    FileDialog::setTestMode(true);
    FileDialog::clearAsked();
    m_runs = 0;
    m_refreshes = 0;
    m_outcome = JobOutcome::Finished;
    JobScript().clear();
    SetKeyJobRunner([this](const QString &tail, QWidget *) {
        ++m_runs;
        JobScript() += tail;
        return m_outcome;
    });
    SetKeyListRefresher([this](QWidget *) {
        ++m_refreshes;
        return JobOutcome::Finished;
    });
    m_owner = new QWidget;
    m_owner->resize(640, 480);
    m_owner->show();
    m_frame = CPropertyFrame1::Open(nullptr, m_owner);
    QVERIFY(m_frame);
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
}

void TestKeyManagement::cleanup()
{
    delete m_owner; // takes the key management window with it
    m_owner = nullptr;
    m_frame = nullptr;
    SetKeyJobRunner({});
    SetKeyListRefresher({});
    MessageBox::setTestMode(false);
    FileDialog::setTestMode(false);
}

QWidget *TestKeyManagement::page(const char *name) const
{
    return m_frame->findChild<QWidget *>(QLatin1String(name));
}

void TestKeyManagement::type(const char *pageName, const char *field, const QString &text)
{
    auto *edit = in<QLineEdit>(pageName, field);
    QVERIFY(edit);
    edit->setText(text);
}

void TestKeyManagement::pressOk(const char *pageName)
{
    auto *ok = in<QPushButton>(pageName, "okButton");
    QVERIFY(ok);
    ok->click();
}

void TestKeyManagement::tabsInOrderWithHelpTopics()
{
    QCOMPARE(m_frame->windowTitle(), QStringLiteral("Zorvex\u00ae 5.0 - Key Management Subsystem"));
    QVERIFY(m_frame->parentWidget() == m_owner);
    QVERIFY(m_frame->windowFlags() & Qt::Tool);
    CMyPropertySheet1 *sheet = m_frame->sheet();
    const QStringList titles{"RSA Keys", "Add/Extract", "Signing", "View", "Edit Keys", "Remove"};
    const QStringList pages{"rsaKeysPage", "addExtractPage", "signingPage",
                            "viewPage",    "editKeysPage",   "removePage"};
    const quint32 topics[] = {0x2007B, 0x2007C, 0x2007D, 0x2007E, 0x2007F, 0x20084};
    QCOMPARE(sheet->count(), 6);
    QCOMPARE(sheet->currentIndex(), 0);
    for (int i = 0; i < 6; ++i) {
        QCOMPARE(sheet->tabText(i), titles[i]);
        QCOMPARE(sheet->widget(i)->objectName(), pages[i]);
        sheet->widget(i)->findChild<QPushButton *>(QStringLiteral("helpButton"))->click();
        QCOMPARE(LastHelpContext(), topics[i]);
    }
    QCOMPARE(m_runs, 0);

    // The window is wide enough for the whole tab row: no tab is cut off or scrolled away.
    m_frame->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_frame));
    QTabBar *bar = sheet->tabBar();
    QVERIFY(bar->tabRect(5).right() <= bar->width());
    m_frame->hide();
}

void TestKeyManagement::fieldLengthLimits_data()
{
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<QString>("field");
    QTest::addColumn<int>("limit");
    QTest::newRow("key file") << "addExtractPage"
                              << "keyFileEdit" << 128;
    QTest::newRow("name") << "addExtractPage"
                          << "nameEdit" << 128;
    QTest::newRow("output file") << "addExtractPage"
                                 << "outputFileEdit" << 128;
    QTest::newRow("extract keyring") << "addExtractPage"
                                     << "keyringEdit" << 80;
    QTest::newRow("signing user ID") << "signingPage"
                                     << "userIdEdit" << 80;
    QTest::newRow("signing keyring") << "signingPage"
                                     << "keyringEdit" << 128;
    QTest::newRow("own user ID") << "signingPage"
                                 << "ownUserIdEdit" << 80;
    QTest::newRow("view user ID") << "viewPage"
                                  << "userIdEdit" << 80;
    QTest::newRow("view keyring") << "viewPage"
                                  << "keyringEdit" << 80;
    QTest::newRow("edit user ID") << "editKeysPage"
                                  << "userIdEdit" << 80;
    QTest::newRow("edit keyring") << "editKeysPage"
                                  << "keyringEdit" << 80;
    QTest::newRow("remove user ID") << "removePage"
                                    << "userIdEdit" << 80;
    QTest::newRow("remove keyring") << "removePage"
                                    << "keyringEdit" << 80;
}

void TestKeyManagement::fieldLengthLimits()
{
    QFETCH(QString, pageName);
    QFETCH(QString, field);
    QFETCH(int, limit);
    auto *edit = in<QLineEdit>(qPrintable(pageName), qPrintable(field));
    QVERIFY(edit);
    QCOMPARE(edit->text(), QString());
    QTest::keyClicks(edit, QString(limit + 5, QLatin1Char('k')));
    QCOMPARE(edit->text().size(), limit);
}

void TestKeyManagement::hidingKeepsEverything()
{
    CMyPropertySheet1 *sheet = m_frame->sheet();
    sheet->setCurrentIndex(2);
    in<QRadioButton>("signingPage", "removeSignaturesRadio")->click();
    type("signingPage", "userIdEdit", QStringLiteral("Jane"));
    type("signingPage", "ownUserIdEdit", QStringLiteral("Bob"));

    // The close box only hides: the view shows the very same window again.
    m_frame->close();
    QVERIFY(!m_frame->isVisible());
    CPropertyFrame1 *again = CPropertyFrame1::Open(m_frame, m_owner);
    QCOMPARE(again, m_frame);
    QVERIFY(m_frame->isVisible());
    QCOMPARE(sheet->currentIndex(), 2);
    QVERIFY(in<QRadioButton>("signingPage", "removeSignaturesRadio")->isChecked());
    QCOMPARE(in<QLineEdit>("signingPage", "userIdEdit")->text(), QStringLiteral("Jane"));
    QCOMPARE(in<QLineEdit>("signingPage", "ownUserIdEdit")->text(), QStringLiteral("Bob"));
    QVERIFY(!in<QLineEdit>("signingPage", "ownUserIdEdit")->isEnabled());
}

void TestKeyManagement::cancelOnAnyPageHides()
{
    for (const char *name : {"rsaKeysPage", "addExtractPage", "signingPage", "viewPage",
                             "editKeysPage", "removePage"}) {
        CPropertyFrame1::Open(m_frame, m_owner);
        QVERIFY(m_frame->isVisible());
        in<QPushButton>(name, "cancelButton")->click();
        QVERIFY2(!m_frame->isVisible(), name);
    }
    QCOMPARE(m_runs, 0);
}

void TestKeyManagement::eachPageKeepsItsOwnChoice()
{
    in<QRadioButton>("addExtractPage", "extractRadio")->click();
    type("addExtractPage", "nameEdit", QStringLiteral("Jane"));
    in<QRadioButton>("viewPage", "viewKeysRadio")->click();
    pressOk("addExtractPage");
    QCOMPARE(JobScript(), QStringLiteral("@ECHO OFF\nPGP.EXE -kx Jane\nDEL zorvex$$.tmp\nPAUSE"));

    // A choice on the View page does not count for the Signing page.
    pressOk("signingPage");
    QCOMPARE(m_runs, 1);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().text, QStringLiteral("You must select an action above."));
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);
}

void TestKeyManagement::okWithoutChoiceRunsNothing_data()
{
    QTest::addColumn<QString>("pageName");
    QTest::newRow("Add/Extract") << "addExtractPage";
    QTest::newRow("Signing") << "signingPage";
    QTest::newRow("View") << "viewPage";
    QTest::newRow("Remove") << "removePage";
}

void TestKeyManagement::okWithoutChoiceRunsNothing()
{
    QFETCH(QString, pageName);
    type(qPrintable(pageName), "keyringEdit", QStringLiteral("work.pgp"));
    pressOk(qPrintable(pageName));
    QCOMPARE(m_runs, 0);
    QCOMPARE(m_refreshes, 0);
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().text, QStringLiteral("You must select an action above."));
    QCOMPARE(in<QLineEdit>(qPrintable(pageName), "keyringEdit")->text(),
             QStringLiteral("work.pgp"));
}

// Fields are filled in, the radio button clicked, then OK (Generate on the first page).
void TestKeyManagement::pageCommands_data()
{
    QTest::addColumn<QString>("pageName");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QStringList>("fields"); // field name, text, field name, text...
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("refreshes");

    QTest::newRow("generate ignores nothing typed anywhere")
        << "rsaKeysPage"
        << "" << QStringList{} << "PGP.EXE -kg" << 0;
    QTest::newRow("add: disabled name passed but unused")
        << "addExtractPage"
        << "addRadio" << QStringList{"nameEdit",       "Jane",    "keyFileEdit", "keys.asc",
                                     "outputFileEdit", "out.asc", "keyringEdit", "work.pgp"}
        << "PGP.EXE -ka keys.asc work.pgp" << 1;
    QTest::newRow("extract: output file, not key file")
        << "addExtractPage"
        << "extractRadio"
        << QStringList{"nameEdit", "Jane", "keyFileEdit", "keys.asc", "outputFileEdit", "jane.asc"}
        << "PGP.EXE -kx Jane jane.asc " << 1;
    QTest::newRow("sign with own user ID")
        << "signingPage"
        << "signRadio"
        << QStringList{"userIdEdit", "Jane", "ownUserIdEdit", "Bob", "keyringEdit", "work.pgp"}
        << "PGP.EXE -ks Jane -u Bob work.pgp" << 0;
    QTest::newRow("remove signatures: disabled own ID has no effect")
        << "signingPage"
        << "removeSignaturesRadio" << QStringList{"userIdEdit", "Jane", "ownUserIdEdit", "Bob"}
        << "PGP.EXE -krs Jane " << 0;
    QTest::newRow("view contents")
        << "viewPage"
        << "viewKeysRadio" << QStringList{"userIdEdit", "Jane", "keyringEdit", "work.pgp"}
        << "PGP.EXE -kv Jane work.pgp| MORE" << 0;
    QTest::newRow("view fingerprints")
        << "viewPage"
        << "viewFingerprintsRadio" << QStringList{} << "PGP.EXE -kvc | MORE" << 0;
    QTest::newRow("remove a key") << "removePage"
                                  << "removeKeyRadio"
                                  << QStringList{"userIdEdit", "Jane", "keyringEdit", "work.pgp"}
                                  << "PGP.EXE -kr Jane work.pgp" << 0;
    QTest::newRow("delete own key names the typed key")
        << "removePage"
        << "deleteOwnKeyRadio" << QStringList{"userIdEdit", "Bob", "keyringEdit", "work.pgp"}
        << "PGP.EXE -kd Bob" << 0;
}

void TestKeyManagement::pageCommands()
{
    QFETCH(QString, pageName);
    QFETCH(QString, radio);
    QFETCH(QStringList, fields);
    QFETCH(QString, line);
    QFETCH(int, refreshes);
    const QByteArray name = pageName.toLatin1();
    // Typed on other pages: must not leak into this command.
    if (pageName != "removePage")
        type("removePage", "keyringEdit", QStringLiteral("other.pgp"));
    type("editKeysPage", "userIdEdit", QStringLiteral("Other"));
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2)
        type(name.constData(), qPrintable(fields[i]), fields[i + 1]);
    if (!radio.isEmpty())
        in<QRadioButton>(name.constData(), qPrintable(radio))->click();
    auto *ok = in<QPushButton>(name.constData(),
                               pageName == "rsaKeysPage" ? "generateButton" : "okButton");
    ok->click();
    QCOMPARE(m_runs, 1);
    QCOMPARE(JobScript(),
             QStringLiteral("@ECHO OFF\n") + line + QStringLiteral("\nDEL zorvex$$.tmp\nPAUSE"));
    QCOMPARE(m_refreshes, refreshes);
    QVERIFY(MessageBox::shown().isEmpty());
    // The page stays as it was, ready for the next command.
    QVERIFY(m_frame->isVisible());
    for (qsizetype i = 0; i + 1 < fields.size(); i += 2)
        QCOMPARE(in<QLineEdit>(name.constData(), qPrintable(fields[i]))->text(), fields[i + 1]);
    if (!radio.isEmpty())
        QVERIFY(in<QRadioButton>(name.constData(), qPrintable(radio))->isChecked());
}

void TestKeyManagement::radioButtonsEnableFields()
{
    auto *keyFile = in<QLineEdit>("addExtractPage", "keyFileEdit");
    auto *name = in<QLineEdit>("addExtractPage", "nameEdit");
    auto *output = in<QLineEdit>("addExtractPage", "outputFileEdit");
    auto *keyring = in<QLineEdit>("addExtractPage", "keyringEdit");
    QVERIFY(keyFile->isEnabled() && name->isEnabled() && output->isEnabled());
    in<QRadioButton>("addExtractPage", "addRadio")->click();
    QVERIFY(keyFile->isEnabled() && !name->isEnabled() && !output->isEnabled());
    QVERIFY(keyring->isEnabled());
    QVERIFY(in<QPushButton>("addExtractPage", "listNamesButton")->isEnabled());
    in<QRadioButton>("addExtractPage", "extractRadio")->click();
    QVERIFY(!keyFile->isEnabled() && name->isEnabled() && output->isEnabled());
    QVERIFY(in<QPushButton>("addExtractPage", "browseButton")->isEnabled());
    QVERIFY(!in<QRadioButton>("addExtractPage", "addRadio")->isChecked());

    auto *own = in<QLineEdit>("signingPage", "ownUserIdEdit");
    in<QRadioButton>("signingPage", "removeSignaturesRadio")->click();
    QVERIFY(!own->isEnabled());
    QVERIFY(in<QLineEdit>("signingPage", "userIdEdit")->isEnabled());
    in<QRadioButton>("signingPage", "signRadio")->click();
    QVERIFY(own->isEnabled());
}

void TestKeyManagement::editKeysRefreshesWithoutChoice()
{
    pressOk("editKeysPage");
    QCOMPARE(JobScript(), QStringLiteral("@ECHO OFF\nPGP.EXE -ke \nDEL zorvex$$.tmp\nPAUSE"));
    QCOMPARE(m_refreshes, 1);
    QVERIFY(MessageBox::shown().isEmpty());
    type("editKeysPage", "userIdEdit", QStringLiteral("Jane"));
    pressOk("editKeysPage");
    QCOMPARE(JobScript(), QStringLiteral("@ECHO OFF\nPGP.EXE -ke Jane \nDEL zorvex$$.tmp\nPAUSE"));
    QCOMPARE(m_refreshes, 2);
}

void TestKeyManagement::nothingToRefreshWhenJobDidNotStart()
{
    m_outcome = JobOutcome::Busy;
    pressOk("editKeysPage");
    m_outcome = JobOutcome::NotStarted;
    in<QRadioButton>("addExtractPage", "addRadio")->click();
    pressOk("addExtractPage");
    QCOMPARE(m_runs, 2);
    QCOMPARE(m_refreshes, 0);
}

void TestKeyManagement::browseAnswerReplacesKeyFile()
{
    type("addExtractPage", "keyFileEdit", QStringLiteral("typed.asc"));
    FileDialog::setNextFileName(QStringLiteral("/tmp/keys/jane.asc"));
    in<QPushButton>("addExtractPage", "browseButton")->click();
    QCOMPARE(in<QLineEdit>("addExtractPage", "keyFileEdit")->text(),
             QStringLiteral("/tmp/keys/jane.asc"));
    QCOMPARE(FileDialog::asked().size(), 1);
    QCOMPARE(FileDialog::asked().first().title,
             QStringLiteral("Zorvex\u00ae5.0 - Get Add Keyfile"));
    QVERIFY(!FileDialog::asked().first().save);
    QVERIFY(FileDialog::asked().first().filter.startsWith(QStringLiteral("Key Files (*.asc *.pgp);;")));

    // Cancel empties the field. The dialog starts where the user last was.
    in<QPushButton>("addExtractPage", "browseButton")->click();
    QCOMPARE(in<QLineEdit>("addExtractPage", "keyFileEdit")->text(), QString());
    QCOMPARE(FileDialog::asked().last().directory, QStringLiteral("/tmp/keys"));
    QCOMPARE(m_runs, 0);
}

void TestKeyManagement::listNamesAnswerReplacesName()
{
    ScratchSettings settings;
    State().KeyNameCount = 1; // nothing cached: the one entry lists as "WTFO"
    type("addExtractPage", "nameEdit", QStringLiteral("Jane"));

    auto answer = [](const char *button, const QString &typed) {
        QTimer::singleShot(0, [button, typed] {
            auto *dlg = qobject_cast<CListNamesDlg *>(QApplication::activeModalWidget());
            QVERIFY(dlg);
            if (!typed.isEmpty())
                dlg->findChild<QLineEdit *>(QStringLiteral("namesEdit"))->setText(typed);
            dlg->findChild<QPushButton *>(QLatin1String(button))->click();
        });
    };
    answer("okButton", QStringLiteral("0x0000ABCD "));
    in<QPushButton>("addExtractPage", "listNamesButton")->click();
    QCOMPARE(in<QLineEdit>("addExtractPage", "nameEdit")->text(), QStringLiteral("0x0000ABCD "));

    answer("cancelButton", QStringLiteral("0x00001234 "));
    in<QPushButton>("addExtractPage", "listNamesButton")->click();
    QCOMPARE(in<QLineEdit>("addExtractPage", "nameEdit")->text(), QString());
    QCOMPARE(m_runs, 0);
}

QTEST_MAIN(TestKeyManagement)
#include "tst_keymanagement.moc"
