#include "core/settings.h"
#include "jobs/bulkjob.h"
#include "jobs/directorycryptdlg.h"
#include "platform/filedialog.h"
#include "platform/help.h"
#include "platform/messagebox.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QtTest>

class TestDirectoryCryptDlg : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void controlsAndLimits();
    void openingDropsSenderAndRecipients();
    void okDecryptsFirstThenRepeatsLastMode();
    void okRunsTheTypedDirectory();
    void secondOkDuringTheRunIsIgnored();

private:
    void type(CDirectoryCryptDlg &dialog, const QString &directory, const QString &pass);

    std::optional<QTemporaryDir> m_target;
    QString m_startDir;
    int m_launches = 0;
    QByteArray m_script;
};

void TestDirectoryCryptDlg::init()
{
    ResetState();
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    m_target.emplace();
    m_startDir = QDir::currentPath();
    m_launches = 0;
    m_script.clear();
    BulkJobLauncher() = [this](const QString &batch, int, QWidget *) {
        ++m_launches;
        QFile f(batch);
        if (f.open(QIODevice::ReadOnly))
            m_script = f.readAll();
        QFile::remove(QString::fromLatin1(kJobMarkerFile));
        // The one engine call of the one-file scripts these cases run succeeded.
        return BulkRun(JobOutcome::Finished,
                       ParseJobResults("zorvex-results 1\nbegin 1 x\nend 1 exit 0 \n"));
    };
}

void TestDirectoryCryptDlg::cleanup()
{
    QCOMPARE(QDir::currentPath(), m_startDir);
    QDir::setCurrent(m_startDir);
    m_target.reset();
    BulkJobLauncher() = [](const QString &, int, QWidget *) { return JobOutcome::NotStarted; };
}

void TestDirectoryCryptDlg::type(CDirectoryCryptDlg &dialog, const QString &directory,
                                 const QString &pass)
{
    QTest::keyClicks(dialog.findChild<QLineEdit *>("directoryEdit"), directory);
    QTest::keyClicks(dialog.findChild<QLineEdit *>("passPhraseEdit"), pass);
    QTest::keyClicks(dialog.findChild<QLineEdit *>("confirmationEdit"), pass);
}

void TestDirectoryCryptDlg::controlsAndLimits()
{
    CDirectoryCryptDlg dialog;
    QCOMPARE(dialog.windowTitle(), QString::fromUtf8("Zorvex\u00ae 5.0 - Directory En/Decrypt"));
    QStringList groups;
    for (QGroupBox *g : dialog.findChildren<QGroupBox *>())
        groups << g->title();
    QCOMPARE(groups, (QStringList{"Step #1 - Select the directory you wish to encrypt or decrypt",
                                  "Step #2 - Select whether you wish to encrypt or decrypt",
                                  "Step #3 - Enter the passphrase to be used"}));
    QStringList labels;
    for (QLabel *l : dialog.findChildren<QLabel *>())
        labels << l->text();
    QVERIFY(labels.contains("Enter Passphrase:"));
    QVERIFY(labels.contains("Enter again to confirm:"));
    QVERIFY(labels.contains("Step #4 - Click OK to begin, Cancel to Abort"));
    auto *encrypt = dialog.findChild<QRadioButton *>("encryptButton");
    auto *decrypt = dialog.findChild<QRadioButton *>("decryptButton");
    QCOMPARE(encrypt->text(), "&Encrypt Directory");
    QCOMPARE(decrypt->text(), "&Decrypt Directory");
    QVERIFY(!encrypt->isChecked() && !decrypt->isChecked());

    auto *directory = dialog.findChild<QLineEdit *>("directoryEdit");
    QTest::keyClicks(directory, QString(300, QLatin1Char('d')));
    QCOMPARE(directory->text().size(), 255);
    for (const char *name : {"passPhraseEdit", "confirmationEdit"}) {
        auto *edit = dialog.findChild<QLineEdit *>(name);
        QCOMPARE(edit->echoMode(), QLineEdit::Password);
        QTest::keyClicks(edit, QString(70, QLatin1Char('p')));
        QCOMPARE(edit->text().size(), 64);
    }
    dialog.findChild<QPushButton *>("helpButton")->click();
    QCOMPARE(LastHelpContext(), 0x20094u);
}

void TestDirectoryCryptDlg::openingDropsSenderAndRecipients()
{
    RuntimeOptions().MyName = QStringLiteral("jroe");
    State().RecipientNames = QStringLiteral("0x0000ABCD ");
    State().DirectoryMode = 1;
    CDirectoryCryptDlg dialog;
    QCOMPARE(RuntimeOptions().MyName, QString());
    QCOMPARE(State().RecipientNames, QString());
    QCOMPARE(State().DirectoryMode, 1); // kept, though no button shows it
}

void TestDirectoryCryptDlg::okDecryptsFirstThenRepeatsLastMode()
{
    {
        CDirectoryCryptDlg dialog;
        dialog.show();
        type(dialog, m_target->path(), "p");
        dialog.findChild<QPushButton *>("okButton")->click();
        // Nothing to decrypt there: the dialog stays with every field as typed, and Browse puts
        // another directory in.
        QVERIFY(dialog.isVisible());
        for (const char *name : {"passPhraseEdit", "confirmationEdit"})
            QCOMPARE(dialog.findChild<QLineEdit *>(name)->text(), "p");
        QCOMPARE(dialog.directory(), m_target->path());
        FileDialog::setTestMode(true);
        FileDialog::setNextFileName(m_startDir);
        dialog.findChild<QPushButton *>("browseDirectoryButton")->click();
        QCOMPARE(dialog.directory(), m_startDir);
        QCOMPARE(FileDialog::asked().last().directory, m_target->path());
        dialog.reject();
    }
    QCOMPARE(MessageBox::shown().at(0).text,
             "Bulk decryption starting.  This may take some time. Please wait.");
    QCOMPARE(MessageBox::shown().at(1).text, "No files to decrypt in this directory");
    {
        CDirectoryCryptDlg dialog;
        dialog.findChild<QRadioButton *>("encryptButton")->click();
        QCOMPARE(State().DirectoryMode, 1);
        dialog.findChild<QPushButton *>("cancelButton")->click();
    }
    MessageBox::clearShown();
    {
        CDirectoryCryptDlg dialog;
        type(dialog, m_target->path(), "p");
        dialog.findChild<QPushButton *>("okButton")->click();
    }
    QCOMPARE(MessageBox::shown().at(0).text,
             "Bulk encryption starting.  This may take some time. Please wait.");
    QCOMPARE(MessageBox::shown().at(1).text, "No files to encrypt in this directory");
}

void TestDirectoryCryptDlg::okRunsTheTypedDirectory()
{
    QFile f(m_target->path() + "/report.pgp");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    CDirectoryCryptDlg dialog;
    dialog.findChild<QRadioButton *>("decryptButton")->click();
    type(dialog, m_target->path(), "open sesame");
    dialog.findChild<QPushButton *>("okButton")->click();
    QCOMPARE(m_launches, 1);
    QCOMPARE(m_script,
             QByteArray("@ECHO OFF\r\n"
                        "PGP.EXE -p +batchmode +verbose=0 report.pgp -z \"open sesame\" \r\n"
                        "del zorvex$$.tmp \r\nPGP.EXE -w bulke.bat \r\n"));
    QCOMPARE(MessageBox::shown().last().text,
             "Bulk decryption is complete.\n\n1 of 1 entries were decrypted.");
}

void TestDirectoryCryptDlg::secondOkDuringTheRunIsIgnored()
{
    QFile f(m_target->path() + "/a.txt");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.close();
    CDirectoryCryptDlg dialog;
    dialog.show();
    dialog.findChild<QRadioButton *>("encryptButton")->click();
    type(dialog, m_target->path(), "pw");
    auto *ok = dialog.findChild<QPushButton *>("okButton");
    bool okEnabledDuringRun = true;
    BulkJobLauncher() = [&](const QString &, int, QWidget *) {
        ++m_launches;
        okEnabledDuringRun = ok->isEnabled();
        dialog.accept(); // as Enter would during the wait
        QFile::remove(QString::fromLatin1(kJobMarkerFile));
        return BulkRun(JobOutcome::Finished,
                       ParseJobResults("zorvex-results 1\nbegin 1 x\nend 1 exit 0 \n"));
    };
    ok->click();
    QCOMPARE(m_launches, 1);
    QVERIFY(!okEnabledDuringRun);
    QVERIFY(!dialog.isVisible());
}

QTEST_MAIN(TestDirectoryCryptDlg)
#include "tst_directorycryptdlg.moc"
