#include "bulkjob.h"

#include "jobs/directorycryptdlg.h"
#include "jobs/jobarguments.h"
#include "jobs/jobrunner.h"
#include "platform/messagebox.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace {
constexpr auto kEncryptLine = "PGP.EXE -cw +batchmode +verbose=0 ";
constexpr auto kDecryptLine = "PGP.EXE -p +batchmode +verbose=0 ";

// Puts the program back where it was, however the run ends, so that later jobs do not write
// their files into the processed directory.
class WorkingDirectoryGuard
{
public:
    explicit WorkingDirectoryGuard(QString saved) : m_saved(std::move(saved)) {}
    ~WorkingDirectoryGuard()
    {
        if (!m_saved.isEmpty())
            QDir::setCurrent(m_saved);
    }
    WorkingDirectoryGuard(const WorkingDirectoryGuard &) = delete;
    WorkingDirectoryGuard &operator=(const WorkingDirectoryGuard &) = delete;

private:
    QString m_saved;
};

QString leftOutNote(const QStringList &leftOut)
{
    if (leftOut.isEmpty())
        return QString();
    return QStringLiteral("\n\nThese entries were left out, because their names cannot be "
                          "written into the batch file:\n") +
           leftOut.join(QLatin1Char('\n'));
}

void removeJobFiles()
{
    // bulke.bat holds the pass phrase; PGP did not get to wipe it.
    QFile::remove(QString::fromLatin1(kBulkBatchFile));
    QFile::remove(QString::fromLatin1(kJobMarkerFile));
}
} // namespace

QByteArray BulkEntryArgument(const QString &name)
{
    // A quote cannot be escaped inside a quoted batch argument, and a line break would start
    // a command line of its own.
    for (const QChar c : name) {
        if (c == QLatin1Char('"') || c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QByteArray();
    }
    QByteArray bytes = QFile::encodeName(name);
    // A leading dash or plus would reach PGP as an option or a setting; "./" keeps it a file.
    if (bytes.startsWith('-') || bytes.startsWith('+'))
        bytes.prepend("./");
    static const QByteArray special(" &<>|^(),;=%");
    for (const char c : special) {
        if (bytes.contains(c))
            return '"' + bytes + '"';
    }
    return bytes;
}

BulkEntries ListBulkEntries(BulkMode mode)
{
    BulkEntries entries;
    const QStringList pattern =
        mode == BulkMode::Decrypt ? QStringList{QStringLiteral("*.pgp")} : QStringList{};
    QDirIterator it(QStringLiteral("."), pattern,
                    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    while (it.hasNext()) {
        it.next();
        const QString name = it.fileName();
        // A stale marker in the list would be wiped by the script and end the wait early; a
        // stale batch file would be encrypted while it is being rewritten.
        if (name == QLatin1String(kBulkBatchFile) || name == QLatin1String(kJobMarkerFile) ||
            name == QLatin1String(kJobLockFile))
            continue;
        const QByteArray argument = BulkEntryArgument(name);
        if (argument.isEmpty())
            entries.leftOut.append(name);
        else
            entries.arguments.append(argument);
    }
    return entries;
}

QString BulkPassPhraseProblem(const QString &passPhrase)
{
    if (passPhrase.isEmpty())
        return QStringLiteral("Please enter a pass phrase. PGP cannot encrypt or decrypt the "
                              "files with an empty one.");
    if (passPhrase.contains(QLatin1Char('"')))
        return QStringLiteral("The pass phrase contains a double quote (\"), which cannot be "
                              "passed to PGP safely. Please choose a pass phrase without one.");
    for (const QChar c : passPhrase) {
        if (c == QLatin1Char('\n') || c == QLatin1Char('\r'))
            return QStringLiteral("The pass phrase contains a line break, which cannot be "
                                  "passed to PGP safely. Please choose a pass phrase without one.");
    }
    return QString();
}

QByteArray ComposeBulkScript(BulkMode mode, const QList<QByteArray> &arguments,
                             const QString &passPhrase)
{
    const QByteArray line = mode == BulkMode::Encrypt ? kEncryptLine : kDecryptLine;
    // One word for PGP however it is made up; zorvex-cmd hands it over on a pipe.
    const QByteArray pass = BatchFileArgument(passPhrase).toUtf8();
    QByteArray script("@ECHO OFF\r\n");
    for (const QByteArray &argument : arguments)
        script += line + argument + " -z " + pass + " \r\n";
    script += "del zorvex$$.tmp \r\n";
    script += "PGP.EXE -w bulke.bat \r\n";
    return script;
}

BulkLauncher &BulkJobLauncher()
{
    static BulkLauncher launcher = [](const QString &batchFile, int showState, QWidget *parent) {
        if (!StartBatchFile(batchFile, showState, parent))
            return JobOutcome::NotStarted;
        return WaitForJob(parent);
    };
    return launcher;
}

JobOutcome RunBulkJob(BulkMode mode, const QString &directory, const QString &passPhrase,
                      const QString &confirmation, QWidget *parent)
{
    const bool encrypt = mode == BulkMode::Encrypt;

    // The marker and its wait belong to whichever job is outstanding; touching them now would
    // end that job's wait early or keep it waiting for ever.
    if (JobRunning()) {
        MessageBox::information(parent, QStringLiteral("Another PGP job is still running. "
                                                       "Please wait until it has finished."));
        return JobOutcome::Busy;
    }

    MessageBox::information(
        parent,
        encrypt
            ? QStringLiteral("Bulk encryption starting.  This may take some time. Please wait.")
            : QStringLiteral("Bulk decryption starting.  This may take some time. Please wait."));

    const QString saved = QDir::currentPath();
    if (saved.isEmpty())
        MessageBox::information(parent, QStringLiteral("GetCWD failed"));
    WorkingDirectoryGuard restore(saved);

    if (directory.isEmpty() || !QDir::setCurrent(directory)) {
        MessageBox::stop(parent, QStringLiteral("Cannot open the directory \"%1\". Nothing was %2.")
                                     .arg(directory, encrypt ? QStringLiteral("encrypted")
                                                             : QStringLiteral("decrypted")));
        return JobOutcome::NotStarted;
    }

    if (passPhrase != confirmation) {
        MessageBox::stop(parent, QStringLiteral("Pass phrases don't compare.  Try again!"));
        return JobOutcome::NotStarted;
    }

    if (const QString problem = BulkPassPhraseProblem(passPhrase); !problem.isEmpty()) {
        MessageBox::stop(parent, problem);
        return JobOutcome::NotStarted;
    }

    const BulkEntries entries = ListBulkEntries(mode);
    if (entries.arguments.isEmpty()) {
        MessageBox::information(
            parent, (encrypt ? QStringLiteral("No files to encrypt in this directory")
                             : QStringLiteral("No files to decrypt in this directory")) +
                        leftOutNote(entries.leftOut));
        return JobOutcome::NotStarted;
    }

    // Taken in the processed directory before its job files are touched: another instance
    // may be running a job there.
    JobGuard guard(parent);
    if (!guard.acquired())
        return JobOutcome::Busy;
    if (!WriteJobFile(QString::fromLatin1(kBulkBatchFile),
                      ComposeBulkScript(mode, entries.arguments, passPhrase))) {
        MessageBox::stop(parent, QStringLiteral("Cannot open batch file, aborting"));
        return JobOutcome::NotStarted;
    }
    if (!CreateJobMarker()) {
        QFile::remove(QString::fromLatin1(kBulkBatchFile));
        MessageBox::stop(parent,
                         QStringLiteral("Cannot create the marker file zorvex$$.tmp, aborting"));
        return JobOutcome::NotStarted;
    }

    const BulkLauncher &launch = BulkJobLauncher();
    const JobOutcome outcome =
        launch ? launch(QString::fromLatin1(kBulkBatchFile), 1, parent) : JobOutcome::NotStarted;
    if (outcome != JobOutcome::Finished) {
        if (outcome == JobOutcome::Busy)
            MessageBox::information(parent, QStringLiteral("Another PGP job is still running. "
                                                           "Please wait until it has finished."));
        removeJobFiles();
        return outcome;
    }

    MessageBox::information(parent, (encrypt ? QStringLiteral("Bulk encryption is complete.")
                                             : QStringLiteral("Bulk decryption is complete.")) +
                                        leftOutNote(entries.leftOut));
    return outcome;
}

void RunBulkEncryption(CDirectoryCryptDlg *dialog)
{
    RunBulkJob(BulkMode::Encrypt, dialog->directory(), dialog->passPhrase(), dialog->confirmation(),
               dialog);
}

void RunBulkDecryption(CDirectoryCryptDlg *dialog)
{
    RunBulkJob(BulkMode::Decrypt, dialog->directory(), dialog->passPhrase(), dialog->confirmation(),
               dialog);
}
