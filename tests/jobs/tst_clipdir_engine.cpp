// The clipboard and directory operations end to end: the scripts they write, run through the
// job runner (no terminal) by the batch interpreter and the PGP engine over GnuPG, in a scratch
// GnuPG home holding the fixture keys.

#include "core/settings.h"
#include "enginesupport.h"
#include "jobs/bulkjob.h"
#include "jobs/clipboardjob.h"
#include "jobs/clipboardopsdlg.h"
#include "platform/messagebox.h"
#include "testsupport.h"

#include <QApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

class TestClipDirEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cleanupTestCase();
    void directoryRoundTrip();
    void editorTextRoundTrip();
    void unknownSignerIsReadAndNamed();

private:
    void runClipboard(QPlainTextEdit *editor, bool encrypt, const QString &names);

    std::unique_ptr<engine::GnupgHome> m_home;
    ScratchSettings m_settings;
    QString m_startDir;
};

void TestClipDirEngine::initTestCase()
{
    if (const QString missing = engine::missingEngine(); !missing.isEmpty())
        QSKIP(qPrintable(missing));
    m_home = std::make_unique<engine::GnupgHome>();
    QVERIFY(m_home->isValid());
    QVERIFY(m_home->importFixtures());
    QVERIFY(m_home->trustUltimately({engine::alice()}));
    // No terminal: nothing can be asked, so the secret key's pass phrase comes from PGPPASS.
    qputenv("ZORVEX_TERMINAL", "none");
    qputenv("PGPPASS", engine::alice().passphrase.toUtf8());
    qunsetenv("GPG_TTY");
    m_startDir = QDir::currentPath();
    MessageBox::setTestMode(true);
}

void TestClipDirEngine::init()
{
    ResetState();
    MessageBox::clearShown();
}

void TestClipDirEngine::cleanup()
{
    QDir::setCurrent(m_startDir);
}

void TestClipDirEngine::cleanupTestCase()
{
    m_home.reset();
    qunsetenv("PGPPASS");
}

void TestClipDirEngine::directoryRoundTrip()
{
    // The directory job's own launcher: the job runner's guard, start and wait, with the
    // batch run headless as ZORVEX_TERMINAL=none makes it.
    QTemporaryDir target;
    QByteArray binary(5000, '\0');
    for (char &c : binary)
        c = char(QRandomGenerator::global()->bounded(256));
    const QMap<QString, QByteArray> originals{
        {QStringLiteral("alpha.txt"), QByteArray("first file\r\nsecond line\r\n")},
        {QStringLiteral("with blank.txt"), QByteArray("a name with a blank\n")},
        {QStringLiteral("binary.bin"), binary},
    };
    for (auto it = originals.cbegin(); it != originals.cend(); ++it) {
        QFile f(target.filePath(it.key()));
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(it.value());
    }
    // Blanks and a redirection sign: the whole phrase reaches the engine, on its pipe.
    const QString pass = QStringLiteral("correct horse>battery staple");

    QCOMPARE(RunBulkJob(BulkMode::Encrypt, target.path(), pass, pass, nullptr),
             JobOutcome::Finished);
    QCOMPARE(QDir::currentPath(), m_startDir);
    QCOMPARE(MessageBox::shown().last().text,
             "Bulk encryption is complete.\n\n3 of 3 entries were encrypted.");
    for (const QString &name : originals.keys()) {
        QVERIFY2(!QFile::exists(target.filePath(name)), qPrintable(name + " was not wiped"));
        const QString encrypted = target.filePath(QFileInfo(name).completeBaseName() + ".pgp");
        QVERIFY2(QFile::exists(encrypted), qPrintable(encrypted));
    }
    QVERIFY(!QFile::exists(target.filePath("battery")));
    // The wait lasts until the script's wipe of bulke.bat, its last line, is over.
    QVERIFY(!QFile::exists(target.filePath("bulke.bat")));

    QCOMPARE(RunBulkJob(BulkMode::Decrypt, target.path(), pass, pass, nullptr),
             JobOutcome::Finished);
    QCOMPARE(QDir::currentPath(), m_startDir);
    QCOMPARE(MessageBox::shown().last().text,
             "Bulk decryption is complete.\n\n3 of 3 entries were decrypted.");
    for (auto it = originals.cbegin(); it != originals.cend(); ++it) {
        QFile f(target.filePath(it.key()));
        QVERIFY2(f.open(QIODevice::ReadOnly), qPrintable(it.key()));
        QCOMPARE(f.readAll(), it.value());
    }
    QVERIFY(!QFile::exists(target.filePath("bulke.bat")));
}

void TestClipDirEngine::runClipboard(QPlainTextEdit *editor, bool encrypt, const QString &names)
{
    QTimer::singleShot(0, this, [encrypt, names] {
        for (QWidget *w : QApplication::topLevelWidgets()) {
            auto *d = qobject_cast<CClipboardOpsDlg *>(w);
            if (!d || !d->isVisible())
                continue;
            d->findChild<QRadioButton *>(encrypt ? "encryptButton" : "decryptButton")->click();
            d->findChild<QLineEdit *>("namesEdit")->setText(names);
            d->findChild<QPushButton *>("okButton")->click();
        }
    });
    QCOMPARE(OnClipboardSubsystem(nullptr, editor), ClipboardResult::Replaced);
}

void TestClipDirEngine::editorTextRoundTrip()
{
    // The operation's own composers and the real job runner: the text goes to Alice, whose
    // key the scratch home trusts, and comes back with her pass phrase from PGPPASS.
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    const QString original =
        QString::fromUtf8("Dear Jane,\n\nthe plan stands. Gr\u00fc\u00dfe\nJohn\n");
    QPlainTextEdit editor;
    editor.setPlainText(original);

    runClipboard(&editor, true, engine::alice().keyId() + QLatin1Char(' '));
    QVERIFY2(editor.toPlainText().startsWith("-----BEGIN PGP MESSAGE-----"),
             qPrintable(editor.toPlainText().left(200)));
    QVERIFY(!editor.toPlainText().contains("the plan stands"));

    runClipboard(&editor, false, QString());
    QCOMPARE(editor.toPlainText(), original);
    QVERIFY(QDir(work.path()).entryList(QDir::Files).isEmpty());
    QVERIFY2(MessageBox::shown().isEmpty(), qPrintable(MessageBox::shown().value(0).text));
}

void TestClipDirEngine::unknownSignerIsReadAndNamed()
{
    // Signed by a key that is not on the key ring: the text is read all the same, and the user
    // learns that the signature went unchecked and which key made it.
    const QString stranger = m_home->makeKey(QStringLiteral("Sam Stranger <sam@example.org>"));
    const QByteArray message = m_home->sign(stranger, QString(), "Meet at noon.\n",
                                            {QStringLiteral("--armor"), QStringLiteral("--sign")});
    m_home->gpg({"--yes", "--delete-secret-and-public-key", stranger});
    QTemporaryDir work;
    QVERIFY(QDir::setCurrent(work.path()));
    QPlainTextEdit editor;
    editor.setPlainText(QString::fromLatin1(message));
    runClipboard(&editor, false, QString());
    QCOMPARE(editor.toPlainText(), "Meet at noon.\n");
    QCOMPARE(MessageBox::shown().size(), 1);
    QCOMPARE(MessageBox::shown().first().icon, MessageBox::Icon::Information);
    for (const QString &words :
         QStringList{"Key ID " + stranger.right(8) + " not found", "not checked"})
        QVERIFY2(MessageBox::shown().first().text.contains(words),
                 qPrintable(MessageBox::shown().first().text));
    QVERIFY(QDir(work.path()).entryList(QDir::Files).isEmpty());
}

QTEST_MAIN(TestClipDirEngine)
#include "tst_clipdir_engine.moc"
