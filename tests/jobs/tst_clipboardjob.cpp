#include "core/settings.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "platform/help.h"
#include "platform/messagebox.h"
#include "testsupport.h"
#include "widgetsupport.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <functional>
#include <sys/stat.h>

// One call of a file composer as the clipboard operation made it, with the flags the composer
// would read from RuntimeOptions at that moment.
struct ComposerCall
{
    QString kind;
    QString input, output;
    int sign = -1, wipe = -1, armour = -1, text = -1, conventional = -1, keepSignature = -1;
    QString recipients, userId;
    int signIt = -1, eyesOnly = -1, detachSig = -1, clearsignOnly = -1, sigIntact = -1;
    QByteArray inputBytes;
    mode_t inputMode = 0;
};

class TestClipboardJob : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void dialogTexts();
    void enablingFollowsMode();
    void namesListAppendsKeyIds();
    void composedCall_data();
    void composedCall();
    void resultReplacesWholeText();
    void noResultKeepsText();
    void staleResultIsNotTaken();
    void cancelKeepsTextAndFlags();
    void unwritableWorkFileKeepsText();
    void failedJobKeepsText();

private:
    // Runs `act` on the clipboard dialog once it is open; the dialog is closed afterwards in
    // any case, so a failing check cannot leave the test waiting in exec().
    void whenDialogOpens(std::function<void(CClipboardOpsDlg *)> act);
    void recordComposers(JobOutcome outcome = JobOutcome::Finished);

    std::optional<ScratchSettings> m_settings;
    std::optional<QTemporaryDir> m_work;
    QString m_startDir;
    QList<ComposerCall> m_calls;
    std::optional<QByteArray> m_result; // what "PGP" writes to cliptxt.asc
};

void TestClipboardJob::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    m_settings.emplace();
    m_work.emplace();
    m_startDir = QDir::currentPath();
    QVERIFY(QDir::setCurrent(m_work->path()));
    m_calls.clear();
    m_result.reset();
    recordComposers();
}

void TestClipboardJob::cleanup()
{
    QDir::setCurrent(m_startDir);
    m_work.reset();
    m_settings.reset();
    ClipboardComposers() = {};
    QVERIFY(QApplication::topLevelWidgets().isEmpty() ||
            std::none_of(QApplication::topLevelWidgets().cbegin(),
                         QApplication::topLevelWidgets().cend(),
                         [](QWidget *w) { return w->isVisible(); }));
}

void TestClipboardJob::whenDialogOpens(std::function<void(CClipboardOpsDlg *)> act)
{
    QTimer::singleShot(0, this, [act] {
        CClipboardOpsDlg *dialog = nullptr;
        for (QWidget *w : QApplication::topLevelWidgets()) {
            if (auto *d = qobject_cast<CClipboardOpsDlg *>(w); d && d->isVisible())
                dialog = d;
        }
        if (!dialog)
            return;
        act(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
}

void TestClipboardJob::recordComposers(JobOutcome outcome)
{
    auto record = [this](ComposerCall call, const QString &input) {
        const RuntimeOptionsRecord &o = RuntimeOptions();
        call.signIt = o.SignIt;
        call.eyesOnly = o.EyesOnly;
        call.detachSig = o.DetachSig;
        call.clearsignOnly = o.ClearsignOnly;
        call.sigIntact = o.SigIntact;
        QFile in(input);
        if (in.open(QIODevice::ReadOnly))
            call.inputBytes = in.readAll();
        struct stat st
        {
        };
        if (::stat(QFile::encodeName(input).constData(), &st) == 0)
            call.inputMode = st.st_mode & 07777;
        m_calls.append(call);
        if (m_result) {
            QFile out(QStringLiteral("cliptxt.asc"));
            if (out.open(QIODevice::WriteOnly))
                out.write(*m_result);
        }
    };
    ClipboardComposers().encrypt = [record, outcome](const QString &in, const QString &out,
                                                     int sign, int wipe, int armour, int text,
                                                     int conv, const QString &recipients,
                                                     const QString &userId, QWidget *) {
        ComposerCall c;
        c.kind = QStringLiteral("encrypt");
        c.input = in;
        c.output = out;
        c.sign = sign;
        c.wipe = wipe;
        c.armour = armour;
        c.text = text;
        c.conventional = conv;
        c.recipients = recipients;
        c.userId = userId;
        record(c, in);
        return outcome;
    };
    ClipboardComposers().decrypt = [record, outcome](int keep, const QString &in,
                                                     const QString &out, QWidget *) {
        ComposerCall c;
        c.kind = QStringLiteral("decrypt");
        c.keepSignature = keep;
        c.input = in;
        c.output = out;
        record(c, in);
        return outcome;
    };
}

void TestClipboardJob::dialogTexts()
{
    RuntimeOptions().SigIntact = 1;
    RuntimeOptions().SignIt = 1;
    CClipboardOpsDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Zorvex\u00ae 5.0 - Clipboard Subsystem"));
    QStringList labels;
    for (QLabel *l : dialog.findChildren<QLabel *>())
        labels << l->text();
    QVERIFY(labels.contains("Step #1 - Select whether you want to encrypyt or decrypt"));
    QVERIFY(labels.contains("Step #2 - Select the available options you want to use"));
    QVERIFY(labels.contains("Step #3 - Select the names you want to use"));
    const QList<QPair<QString, QString>> boxes{{"signedBox", "Signed Encryption if Checked"},
                                               {"eyesOnlyBox", "Eyes Only"},
                                               {"sigIntactBox", "Decrypt with sig. intact"},
                                               {"clearsignBox", "Clearsign only"},
                                               {"detachSigBox", "Detach sig. certificate"}};
    for (const auto &[name, text] : boxes) {
        auto *box = dialog.findChild<QCheckBox *>(name);
        QVERIFY2(box, qPrintable(name));
        QCOMPARE(box->text(), text);
        QVERIFY(!box->isChecked()); // the boxes never show the current values
    }
    QCOMPARE(dialog.findChild<QRadioButton *>("encryptButton")->text(), "&Encrypt Active Window");
    QCOMPARE(dialog.findChild<QRadioButton *>("decryptButton")->text(), "&Decrypt Active Window");
    QVERIFY(!dialog.findChild<QRadioButton *>("encryptButton")->isChecked());
    QVERIFY(!dialog.findChild<QRadioButton *>("decryptButton")->isChecked());
    // Opening resets the signing flags but leaves SigIntact as the settings have it.
    QCOMPARE(RuntimeOptions().SignIt, 0);
    QCOMPARE(RuntimeOptions().SigIntact, 1);
    dialog.findChild<QPushButton *>("helpButton")->click();
    QCOMPARE(LastHelpContext(), 0x20093u);
}

void TestClipboardJob::enablingFollowsMode()
{
    CClipboardOpsDlg dialog;
    const QStringList encryptOnly{"eyesOnlyBox",  "signedBox", "detachSigBox",
                                  "clearsignBox", "namesEdit", "namesList"};
    auto enabled = [&](const QString &name) {
        return dialog.findChild<QWidget *>(name)->isEnabled();
    };
    for (const QString &name : encryptOnly + QStringList{"sigIntactBox"})
        QVERIFY(enabled(name));

    dialog.findChild<QRadioButton *>("encryptButton")->click();
    QCOMPARE(State().ClipboardMode, 1);
    QVERIFY(!enabled("sigIntactBox"));
    for (const QString &name : encryptOnly)
        QVERIFY2(enabled(name), qPrintable(name));

    dialog.findChild<QRadioButton *>("decryptButton")->click();
    QCOMPARE(State().ClipboardMode, 0);
    QVERIFY(enabled("sigIntactBox"));
    for (const QString &name : encryptOnly)
        QVERIFY2(!enabled(name), qPrintable(name));
}

void TestClipboardJob::namesListAppendsKeyIds()
{
    m_settings->write(
        "[Keys]\r\nKey1= 1024/0000ABCD 1996/02/11 Jane\r\n"
        "Key2=  512/00001234 1995/11/30 John\r\nKey3=10240/0000FFFF 2001/01/01 Big\r\n"
        "Key4=2048/9120E0D1 1996/03/01 *** KEY REVOKED *** Revo Ked\r\nNumbrOfKeys=4\r\n");
    State().KeyNameCount = 4;
    CClipboardOpsDlg dialog;
    auto *list = dialog.findChild<QListWidget *>("namesList");
    auto *names = dialog.findChild<QLineEdit *>("namesEdit");
    QCOMPARE(list->count(), 4);
    QCOMPARE(list->item(0)->text(), "1024/0000ABCD 1996/02/11 Jane");
    pickKeyName(&dialog, "namesList", 3); // a revoked key is refused with a message
    QVERIFY(names->text().isEmpty());
    QVERIFY(!MessageBox::shown().isEmpty() &&
            MessageBox::shown().last().text.contains("\"Revo Ked\" has been revoked"));

    list->setCurrentRow(1); // moving through the list picks nothing
    QVERIFY(names->text().isEmpty());
    pickKeyName(&dialog, "namesList", 0);
    QCOMPARE(names->text(), "0x0000ABCD ");
    names->setText("typed by hand");
    pickKeyName(&dialog, "namesList", 1);
    QCOMPARE(names->text(), "0x0000ABCD 0x00001234 ");
    pickKeyName(&dialog, "namesList", 2); // five-digit key size: nothing to append
    QCOMPARE(names->text(), "0x0000ABCD 0x00001234 ");
    pickKeyName(&dialog, "namesList", 0);
    QCOMPARE(names->text(), "0x0000ABCD 0x00001234 0x0000ABCD ");

    // A mouse pick appends the entry clicked, not the one that was current.
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(list->item(1)).center());
    QCOMPARE(names->text(), "0x0000ABCD 0x00001234 0x0000ABCD 0x00001234 ");
    dialog.close();
}

void TestClipboardJob::composedCall_data()
{
    QTest::addColumn<int>("startMode");
    QTest::addColumn<int>("startSigIntact");
    QTest::addColumn<QStringList>("clicks");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<int>("sign");          // encrypt: sign argument; decrypt: keepSignature
    QTest::addColumn<QList<int>>("during"); // SignIt, EyesOnly, DetachSig, ClearsignOnly, SigIntact
    QTest::addColumn<int>("sigIntactAfter");

    QTest::newRow("decrypt by default, SigIntact from the settings")
        << 0 << 1 << QStringList{} << "decrypt" << 1 << QList<int>{0, 0, 0, 0, 1} << 1;
    QTest::newRow("decrypt without SigIntact")
        << 0 << 0 << QStringList{} << "decrypt" << 0 << QList<int>{0, 0, 0, 0, 0} << 0;
    QTest::newRow("decrypt with sig. intact clicked")
        << 0 << 0 << QStringList{"decryptButton", "sigIntactBox"} << "decrypt" << 1
        << QList<int>{0, 0, 0, 0, 1} << 1;
    QTest::newRow("unsigned encryption keeps its e")
        << 0 << 0 << QStringList{"encryptButton"} << "encrypt" << 0 << QList<int>{0, 0, 0, 0, 1}
        << 0;
    QTest::newRow("signed, eyes only")
        << 0 << 0 << QStringList{"encryptButton", "signedBox", "eyesOnlyBox"} << "encrypt" << 1
        << QList<int>{1, 1, 0, 0, 1} << 0;
    QTest::newRow("detached signature") << 0 << 0 << QStringList{"encryptButton", "detachSigBox"}
                                        << "encrypt" << 0 << QList<int>{0, 0, 1, 0, 1} << 0;
    QTest::newRow("clearsign only") << 0 << 1 << QStringList{"encryptButton", "clearsignBox"}
                                    << "encrypt" << 0 << QList<int>{0, 0, 0, 1, 1} << 1;
    QTest::newRow("last mode repeats")
        << 1 << 0 << QStringList{} << "encrypt" << 0 << QList<int>{0, 0, 0, 0, 1} << 0;
}

void TestClipboardJob::composedCall()
{
    QFETCH(int, startMode);
    QFETCH(int, startSigIntact);
    QFETCH(QStringList, clicks);
    QFETCH(QString, kind);
    QFETCH(int, sign);
    QFETCH(QList<int>, during);
    QFETCH(int, sigIntactAfter);

    State().ClipboardMode = startMode;
    RuntimeOptions().SigIntact = startSigIntact;
    RuntimeOptions().SignIt = 1; // reset by the dialog
    RuntimeOptions().EyesOnly = 1;
    RuntimeOptions().MyName = QStringLiteral("jroe");
    m_result = QByteArray("result");

    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("plain text"));
    whenDialogOpens([clicks](CClipboardOpsDlg *d) {
        for (const QString &name : clicks)
            d->findChild<QAbstractButton *>(name)->click();
        d->findChild<QLineEdit *>("namesEdit")->setText("0x0000ABCD ");
        d->findChild<QPushButton *>("okButton")->click();
    });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::Replaced);

    QCOMPARE(m_calls.size(), 1);
    const ComposerCall &c = m_calls.first();
    QCOMPARE(c.kind, kind);
    QCOMPARE(c.input, "cliptxt.txt");
    QCOMPARE(c.output, "cliptxt.asc");
    if (kind == "encrypt") {
        QCOMPARE(c.sign, sign);
        QCOMPARE((QList<int>{c.wipe, c.armour, c.text, c.conventional}), (QList<int>{1, 1, 1, 0}));
        QCOMPARE(c.recipients, "0x0000ABCD ");
        QCOMPARE(c.userId, QString());
    } else {
        QCOMPARE(c.keepSignature, sign);
    }
    QCOMPARE((QList<int>{c.signIt, c.eyesOnly, c.detachSig, c.clearsignOnly, c.sigIntact}), during);
    QCOMPARE(RuntimeOptions().SigIntact, sigIntactAfter);
    QCOMPARE(RuntimeOptions().MyName, QString());
    QCOMPARE(State().RecipientNames, "0x0000ABCD ");
    QCOMPARE(editor.toPlainText(), "result");
}

void TestClipboardJob::resultReplacesWholeText()
{
    // Both ways past the old 65,535-byte work buffer, with non-ASCII text.
    QString text;
    while (text.toUtf8().size() <= 70000)
        text += QString::fromUtf8("Gr\u00fc\u00dfe, line %1\n").arg(text.size());
    QByteArray result;
    while (result.size() <= 90000)
        result += "-----armoured line " + QByteArray::number(result.size()) + "\n";
    m_result = result;

    QPlainTextEdit editor;
    editor.setPlainText(text);
    whenDialogOpens([](CClipboardOpsDlg *d) { d->findChild<QPushButton *>("okButton")->click(); });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::Replaced);

    QCOMPARE(m_calls.size(), 1);
    QCOMPARE(m_calls.first().inputBytes, text.toUtf8());
    QCOMPARE(m_calls.first().inputMode, mode_t(0600));
    QCOMPARE(editor.toPlainText(), QString::fromLatin1(result));
    QVERIFY(!QFile::exists("cliptxt.txt"));
    QVERIFY(!QFile::exists("cliptxt.asc"));
    QVERIFY(MessageBox::shown().isEmpty());
}

void TestClipboardJob::noResultKeepsText()
{
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("my only copy"));
    whenDialogOpens([](CClipboardOpsDlg *d) { d->findChild<QPushButton *>("okButton")->click(); });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NothingProduced);
    QCOMPARE(m_calls.size(), 1);
    QCOMPARE(editor.toPlainText(), "my only copy");
    QCOMPARE(MessageBox::shown().size(), 1);
    QVERIFY(MessageBox::shown().first().text.contains("no cliptxt.asc"));
    QVERIFY(MessageBox::shown().first().text.contains("unchanged"));
    QVERIFY(!QFile::exists("cliptxt.txt"));
}

void TestClipboardJob::staleResultIsNotTaken()
{
    QFile stale(QStringLiteral("cliptxt.asc"));
    QVERIFY(stale.open(QIODevice::WriteOnly));
    stale.write("someone else's old result");
    stale.close();
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("text"));
    whenDialogOpens([](CClipboardOpsDlg *d) { d->findChild<QPushButton *>("okButton")->click(); });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NothingProduced);
    QCOMPARE(editor.toPlainText(), "text");
    QVERIFY(!QFile::exists("cliptxt.asc"));
}

void TestClipboardJob::cancelKeepsTextAndFlags()
{
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("text"));
    RuntimeOptions().MyName = QStringLiteral("jroe");
    bool inputWritten = false;
    whenDialogOpens([&inputWritten](CClipboardOpsDlg *d) {
        // Written only when the job starts, never while the dialog is open.
        inputWritten = QFile::exists("cliptxt.txt");
        d->findChild<QCheckBox *>("signedBox")->click();
        d->findChild<QRadioButton *>("encryptButton")->click();
        d->findChild<QPushButton *>("cancelButton")->click();
    });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::Cancelled);
    QVERIFY(!inputWritten);
    QVERIFY(m_calls.isEmpty());
    QCOMPARE(editor.toPlainText(), "text");
    QVERIFY(!QFile::exists("cliptxt.txt"));
    // Clicks take effect at once; only OK drops the sender.
    QCOMPARE(RuntimeOptions().SignIt, 1);
    QCOMPARE(State().ClipboardMode, 1);
    QCOMPARE(RuntimeOptions().MyName, "jroe");
}

void TestClipboardJob::unwritableWorkFileKeepsText()
{
    QVERIFY(QFile::link(m_work->path() + "/elsewhere", "cliptxt.txt"));
    QPlainTextEdit editor;
    editor.setPlainText(QStringLiteral("text"));
    whenDialogOpens([](CClipboardOpsDlg *d) { d->findChild<QPushButton *>("okButton")->click(); });
    QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NotWritten);
    QVERIFY(m_calls.isEmpty());
    QVERIFY(!QFile::exists(m_work->path() + "/elsewhere"));
    QCOMPARE(editor.toPlainText(), "text");
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Stop);
}

void TestClipboardJob::failedJobKeepsText()
{
    for (const JobOutcome outcome :
         {JobOutcome::NotStarted, JobOutcome::Failed, JobOutcome::ScriptEnded, JobOutcome::Stopped,
          JobOutcome::Busy}) {
        recordComposers(outcome);
        m_result = QByteArray("partial");
        QPlainTextEdit editor;
        editor.setPlainText(QStringLiteral("text"));
        whenDialogOpens(
            [](CClipboardOpsDlg *d) { d->findChild<QPushButton *>("okButton")->click(); });
        QCOMPARE(OnClipboardSubsystem(nullptr, &editor), ClipboardResult::NotRun);
        QCOMPARE(editor.toPlainText(), "text");
        QVERIFY(!QFile::exists("cliptxt.txt"));
        QVERIFY(!QFile::exists("cliptxt.asc"));
    }
}

QTEST_MAIN(TestClipboardJob)
#include "tst_clipboardjob.moc"
