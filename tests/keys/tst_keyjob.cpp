#include "core/settings.h"
#include "keys/keyjob.h"
#include "platform/messagebox.h"

#include <QtTest>

Q_DECLARE_METATYPE(KeyAction)

class TestKeyJob : public QObject
{
    Q_OBJECT

private slots:
    void init() { ResetState(); }
    void cleanup() { SetKeyJobRunner({}); }
    void commandLine_data();
    void commandLine();
    void scriptHasPauseTailAndRunsOnce();
    void armorChangesOnlyExtraction();
};

void TestKeyJob::commandLine_data()
{
    QTest::addColumn<KeyAction>("action");
    QTest::addColumn<bool>("armor");
    QTest::addColumn<QString>("userId");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("keyring");
    QTest::addColumn<QString>("ownUserId");
    QTest::addColumn<QString>("line");

    using A = KeyAction;
    // The worked examples.
    QTest::newRow("extract to file") << A::ExtractKey << false << "Jane"
                                     << "jane.asc"
                                     << ""
                                     << ""
                                     << "PGP.EXE -kx Jane jane.asc ";
    QTest::newRow("extract armored") << A::ExtractKey << true << "Jane"
                                     << "jane.asc"
                                     << ""
                                     << ""
                                     << "PGP.EXE -kxa Jane jane.asc ";
    QTest::newRow("extract from keyring, no file") << A::ExtractKey << false << "Jane"
                                                   << ""
                                                   << "work.pgp"
                                                   << ""
                                                   << "PGP.EXE -kx Jane work.pgp";
    QTest::newRow("add") << A::AddKey << false << ""
                         << "keys.asc"
                         << ""
                         << ""
                         << "PGP.EXE -ka keys.asc ";
    QTest::newRow("sign") << A::SignKey << false << "Jane"
                          << ""
                          << "work.pgp"
                          << "Bob"
                          << "PGP.EXE -ks Jane -u Bob work.pgp";
    QTest::newRow("view nothing given") << A::ViewKeys << false << ""
                                        << ""
                                        << ""
                                        << ""
                                        << "PGP.EXE -kv | MORE";
    QTest::newRow("fingerprints of Jane") << A::ViewFingerprints << false << "Jane"
                                          << ""
                                          << ""
                                          << ""
                                          << "PGP.EXE -kvc Jane | MORE";
    QTest::newRow("view id and keyring") << A::ViewKeys << false << "Jane"
                                         << ""
                                         << "work.pgp"
                                         << ""
                                         << "PGP.EXE -kv Jane work.pgp| MORE";
    QTest::newRow("remove empty id") << A::RemoveKey << false << ""
                                     << ""
                                     << ""
                                     << ""
                                     << "PGP.EXE -kr ";

    // Optional inputs need two characters; required ones go in whatever they hold.
    QTest::newRow("one-character keyring left out") << A::RemoveKey << false << "Jane"
                                                    << ""
                                                    << "w"
                                                    << ""
                                                    << "PGP.EXE -kr Jane ";
    QTest::newRow("two-character keyring used") << A::RemoveKey << false << "Jane"
                                                << ""
                                                << "wk"
                                                << ""
                                                << "PGP.EXE -kr Jane wk";
    QTest::newRow("remove signatures with keyring") << A::RemoveSignatures << false << "Jane"
                                                    << ""
                                                    << "work.pgp"
                                                    << ""
                                                    << "PGP.EXE -krs Jane work.pgp";
    QTest::newRow("add one-character file still used") << A::AddKey << false << ""
                                                       << "k"
                                                       << "work.pgp"
                                                       << ""
                                                       << "PGP.EXE -ka k work.pgp";
    QTest::newRow("extract with file and keyring") << A::ExtractKey << false << "Jane"
                                                   << "jane.asc"
                                                   << "work.pgp"
                                                   << ""
                                                   << "PGP.EXE -kx Jane jane.asc work.pgp";
    QTest::newRow("extract one-character file and keyring left out")
        << A::ExtractKey << false << "Jane"
        << "j"
        << "w"
        << ""
        << "PGP.EXE -kx Jane";
    QTest::newRow("view keyring only: pipe right after it") << A::ViewKeys << false << ""
                                                            << ""
                                                            << "work.pgp"
                                                            << ""
                                                            << "PGP.EXE -kv work.pgp| MORE";
    QTest::newRow("edit nothing given") << A::EditKey << false << ""
                                        << ""
                                        << ""
                                        << ""
                                        << "PGP.EXE -ke ";
    QTest::newRow("sign one-character own id left out") << A::SignKey << false << "Jane"
                                                        << ""
                                                        << ""
                                                        << "B"
                                                        << "PGP.EXE -ks Jane ";
    QTest::newRow("generate ignores every input") << A::GenerateKey << true << "Jane"
                                                  << "jane.asc"
                                                  << "work.pgp"
                                                  << "Bob"
                                                  << "PGP.EXE -kg";
    QTest::newRow("delete own key uses only ownUserId") << A::DeleteOwnKey << false << "Jane"
                                                        << "x"
                                                        << "work.pgp"
                                                        << "Bob"
                                                        << "PGP.EXE -kd Bob";
    QTest::newRow("delete own key with empty ownUserId") << A::DeleteOwnKey << false << "Jane"
                                                         << ""
                                                         << ""
                                                         << ""
                                                         << "PGP.EXE -kd ";
    QTest::newRow("empty user ID does not double the blank") << A::RemoveSignatures << false << ""
                                                             << ""
                                                             << "work.pgp"
                                                             << ""
                                                             << "PGP.EXE -krs work.pgp";
    QTest::newRow("sign with empty user ID") << A::SignKey << false << ""
                                             << ""
                                             << ""
                                             << "Bob"
                                             << "PGP.EXE -ks -u Bob ";
    // Every field is one word for PGP.
    QTest::newRow("user ID with blanks") << A::RemoveKey << false << "Jane Example"
                                         << ""
                                         << ""
                                         << ""
                                         << "PGP.EXE -kr \"Jane Example\" ";
    QTest::newRow("key file with a blank, keyring with a dash")
        << A::AddKey << false << ""
        << "my keys.asc"
        << "-ring.pgp"
        << ""
        << "PGP.EXE -ka \"my keys.asc\" ./-ring.pgp";
    QTest::newRow("redirection and pipe signs stay plain")
        << A::ViewKeys << false << "bob > victim.txt"
        << ""
        << "a|b"
        << ""
        << "PGP.EXE -kv \"bob > victim.txt\" \"a|b\"| MORE";
    QTest::newRow("own user ID as one -u value")
        << A::SignKey << false << "Jane"
        << ""
        << ""
        << "Alice Rsa <alice@example.org>"
        << "PGP.EXE -ks Jane -u \"Alice Rsa <alice@example.org>\" ";
}

void TestKeyJob::commandLine()
{
    QFETCH(KeyAction, action);
    QFETCH(bool, armor);
    QFETCH(QString, userId);
    QFETCH(QString, file);
    QFETCH(QString, keyring);
    QFETCH(QString, ownUserId);
    QFETCH(QString, line);
    RuntimeOptions().Armor = armor ? 1 : 0;
    QCOMPARE(KeyJobScript(action, userId, file, keyring, ownUserId),
             QStringLiteral("@ECHO OFF\n") + line);
}

void TestKeyJob::scriptHasPauseTailAndRunsOnce()
{
    JobScript() = QStringLiteral("left over from an earlier job");
    int runs = 0;
    SetKeyJobRunner([&runs](const QString &tail, QWidget *) {
        ++runs;
        JobScript() += tail;
        return JobOutcome::Finished;
    });
    QCOMPARE(ComposeKeyJob(KeyAction::AddKey, {}, QStringLiteral("keys.asc"), {}, {}),
             JobOutcome::Finished);
    QCOMPARE(runs, 1);
    QCOMPARE(JobScript(),
             QStringLiteral("@ECHO OFF\nPGP.EXE -ka keys.asc \nDEL zorvex$$.tmp\nPAUSE"));

    // A pasted line break would start a command of its own: refused, nothing runs. A field
    // the command does not use is not looked at.
    MessageBox::setTestMode(true);
    MessageBox::clearShown();
    QCOMPARE(ComposeKeyJob(KeyAction::RemoveKey, QStringLiteral("alice\nPGP.EXE -w victim2.txt"),
                           {}, {}, {}),
             JobOutcome::NotStarted);
    QCOMPARE(ComposeKeyJob(KeyAction::AddKey, {}, QStringLiteral("k\".asc"), {}, {}),
             JobOutcome::NotStarted);
    QCOMPARE(ComposeKeyJob(KeyAction::GenerateKey, QStringLiteral("a\nb"), {}, {}, {}),
             JobOutcome::Finished);
    QCOMPARE(runs, 2);
    QCOMPARE(MessageBox::shown().size(), 2);
    QVERIFY(MessageBox::shown().first().text.contains(QLatin1String("line break")));
}

void TestKeyJob::armorChangesOnlyExtraction()
{
    const KeyAction others[] = {
        KeyAction::GenerateKey,      KeyAction::AddKey,   KeyAction::RemoveKey,
        KeyAction::RemoveSignatures, KeyAction::ViewKeys, KeyAction::ViewFingerprints,
        KeyAction::EditKey,          KeyAction::SignKey,  KeyAction::DeleteOwnKey};
    RuntimeOptions().Verbose = 1;
    RuntimeOptions().ShowPass = 1;
    RuntimeOptions().KeepBinary = 1;
    for (KeyAction a : others) {
        RuntimeOptions().Armor = 0;
        const QString off = KeyJobScript(a, "Jane", "f.asc", "work.pgp", "Bob");
        RuntimeOptions().Armor = 1;
        QCOMPARE(KeyJobScript(a, "Jane", "f.asc", "work.pgp", "Bob"), off);
        QVERIFY2(!off.contains(QLatin1Char('+')), qPrintable(off));
    }
}

QTEST_GUILESS_MAIN(TestKeyJob)
#include "tst_keyjob.moc"
