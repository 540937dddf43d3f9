#include "bulkjob.h"

#include "jobs/directorycryptdlg.h"
#include "jobs/jobarguments.h"
#include "jobs/jobrunner.h"
#include "platform/messagebox.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QSet>

#include <dirent.h>
#include <sys/stat.h>

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

QString listLeft(const QList<BulkLeft> &left)
{
    QStringList lines;
    for (const BulkLeft &entry : left)
        lines << QStringLiteral("%1: %2").arg(entry.name, entry.reason);
    return lines.join(QLatin1Char('\n'));
}

QString leftOutNote(const QList<BulkLeft> &left)
{
    if (left.isEmpty())
        return QString();
    return QStringLiteral("\n\nThese entries were left as they were:\n") + listLeft(left);
}

bool isBulkCandidate(BulkMode mode, const QString &name)
{
    return mode == BulkMode::Encrypt || name.endsWith(QLatin1String(".pgp"), Qt::CaseInsensitive);
}

// The engine's own view of an extension: a leading dot belongs to the name.
qsizetype extensionDot(const QString &name)
{
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot <= 0 ? -1 : dot;
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

QString BulkOutputName(BulkMode mode, const QString &name)
{
    const qsizetype dot = extensionDot(name);
    const QString stem = dot < 0 ? name : name.left(dot);
    if (mode == BulkMode::Encrypt)
        return stem + QStringLiteral(".pgp");
    return dot < 0 ? name + QStringLiteral(".out") : stem;
}

BulkEntries ListBulkEntries(BulkMode mode)
{
    BulkEntries entries;
    // The raw names, so that one the file name encoding cannot express is reported rather than
    // silently passed over.
    QStringList all;
    QList<QString> candidates;
    if (DIR *dir = ::opendir(".")) {
        while (const dirent *e = ::readdir(dir)) {
            const QByteArray raw(e->d_name);
            if (raw == "." || raw == "..")
                continue;
            const QString name = QFile::decodeName(raw);
            // A stale marker in the list would be wiped by the script and end the wait early;
            // a stale batch file would be encrypted while it is being rewritten.
            if (name == QLatin1String(kBulkBatchFile) || name == QLatin1String(kJobMarkerFile) ||
                name == QLatin1String(kJobLockFile))
                continue;
            all.append(name);
            if (!isBulkCandidate(mode, name))
                continue;
            struct stat st;
            if (QFile::encodeName(name) != raw)
                entries.left.append({name, QStringLiteral("its name cannot be read")});
            else if (::stat(raw.constData(), &st) != 0)
                entries.left.append({name, QStringLiteral("it cannot be examined")});
            else if (S_ISDIR(st.st_mode))
                entries.left.append({name, QStringLiteral("it is a subdirectory")});
            else if (!S_ISREG(st.st_mode))
                entries.left.append({name, QStringLiteral("it is not a regular file")});
            else if (BulkEntryArgument(name).isEmpty())
                entries.left.append(
                    {name, QStringLiteral("its name cannot be written into the batch file")});
            else
                candidates.append(name);
        }
        ::closedir(dir);
    }

    // The engine refuses to write over an existing file, so of two entries with one output name
    // the second would stay in plaintext; and an output name already in the directory is taken.
    QHash<QString, int> outputs;
    for (const QString &name : std::as_const(candidates))
        ++outputs[BulkOutputName(mode, name)];
    const QSet<QString> existing(all.begin(), all.end());
    for (const QString &name : std::as_const(candidates)) {
        const QString output = BulkOutputName(mode, name);
        if (output == name)
            entries.collisions.append(
                {name, QStringLiteral("its output name %1 is its own name").arg(output)});
        else if (existing.contains(output) || outputs.value(output) > 1)
            entries.collisions.append(
                {name, QStringLiteral("its output name %1 is taken by another entry").arg(output)});
        else {
            entries.names.append(name);
            entries.arguments.append(BulkEntryArgument(name));
        }
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
    static BulkLauncher launcher = [](const QString &batchFile, int showState,
                                      QWidget *parent) -> BulkRun {
        SetJobName(QStringLiteral("Directory run in %1").arg(QDir::currentPath()));
        if (!StartBatchFile(batchFile, showState, parent))
            return JobOutcome::NotStarted;
        // Until the wipe of the batch file is over too: only then is it known whether the
        // pass phrase is still on disk.
        const JobOutcome outcome = WaitForJob(parent, true);
        return {outcome, outcome == JobOutcome::Finished ? TakeJobResults() : JobResults()};
    };
    return launcher;
}

QString BulkReport(BulkMode mode, const BulkEntries &entries, const JobResults &results,
                   bool *everything)
{
    const bool encrypt = mode == BulkMode::Encrypt;
    QList<BulkLeft> left = entries.left + entries.collisions;
    int done = 0;
    // The script's engine calls are the entries, in order; the wipe of the batch file follows.
    for (qsizetype i = 0; i < entries.names.size(); ++i) {
        const StepResult *step = results.step(int(i) + 1);
        if (step && step->succeeded()) {
            ++done;
            continue;
        }
        QString reason = !results.valid ? QStringLiteral("the program could not learn whether PGP "
                                                         "processed it")
                         : !step || !step->ended()
                             ? QStringLiteral("PGP did not report on it")
                             : QStringLiteral("PGP failed (%1)").arg(step->endText());
        if (step && !step->tail.isEmpty())
            reason += QStringLiteral(": ") + step->tail.section(QLatin1Char('\n'), -1);
        left.append({entries.names.at(i), reason});
    }
    *everything = left.isEmpty();
    const QString count = encrypt ? QStringLiteral("%1 of %2 entries were encrypted.")
                                  : QStringLiteral("%1 of %2 entries were decrypted.");
    const int total = int(entries.names.size() + entries.left.size() + entries.collisions.size());
    if (left.isEmpty())
        return (encrypt ? QStringLiteral("Bulk encryption is complete.")
                        : QStringLiteral("Bulk decryption is complete.")) +
               QStringLiteral("\n\n") + count.arg(done).arg(total);
    return (encrypt ? QStringLiteral("Bulk encryption has ended, but not every entry was "
                                     "encrypted.")
                    : QStringLiteral("Bulk decryption has ended, but not every entry was "
                                     "decrypted.")) +
           QStringLiteral("\n\n") + count.arg(done).arg(total) + leftOutNote(left);
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
                        leftOutNote(entries.left + entries.collisions));
        return JobOutcome::NotStarted;
    }
    if (!entries.collisions.isEmpty()) {
        const QString question =
            QStringLiteral("These entries would be %1 to a name that another entry already has, "
                           "so PGP would refuse them:\n%2\n\nGo on without them?")
                .arg(encrypt ? QStringLiteral("encrypted") : QStringLiteral("decrypted"),
                     listLeft(entries.collisions));
        if (MessageBox::question(parent, question) != QMessageBox::Yes)
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
    // Noted like the clipboard's work files: a script the user stops waiting for, or a killed
    // program, still has it removed in the end.
    TrackWorkFiles({QString::fromLatin1(kBulkBatchFile)});
    if (!CreateJobMarker()) {
        ReleaseWorkFiles();
        QFile::remove(QString::fromLatin1(kBulkBatchFile));
        MessageBox::stop(parent,
                         QStringLiteral("Cannot create the marker file zorvex$$.tmp, aborting"));
        return JobOutcome::NotStarted;
    }

    const BulkLauncher &launch = BulkJobLauncher();
    const BulkRun run = launch ? launch(QString::fromLatin1(kBulkBatchFile), 1, parent) : BulkRun();
    const JobOutcome outcome = run.outcome;
    // bulke.bat holds the pass phrase and is still there when PGP did not get to wipe it. A
    // script the user stopped waiting for may still run: the runner took it over then.
    if (ReleaseWorkFiles() || outcome != JobOutcome::Stopped)
        QFile::remove(QString::fromLatin1(kBulkBatchFile));
    if (outcome != JobOutcome::Finished) {
        QFile::remove(QString::fromLatin1(kJobMarkerFile));
        return outcome;
    }

    bool everything = false;
    const QString report = BulkReport(mode, entries, run.results, &everything);
    if (everything) {
        MessageBox::information(parent, report);
        ShowJobStatus(report.section(QLatin1Char('\n'), -1));
        return outcome;
    }
    MessageBox::show(parent, MessageBox::Icon::Warning, report);
    return JobOutcome::Failed;
}

JobOutcome RunBulkEncryption(CDirectoryCryptDlg *dialog)
{
    return RunBulkJob(BulkMode::Encrypt, dialog->directory(), dialog->passPhrase(),
                      dialog->confirmation(), dialog);
}

JobOutcome RunBulkDecryption(CDirectoryCryptDlg *dialog)
{
    return RunBulkJob(BulkMode::Decrypt, dialog->directory(), dialog->passPhrase(),
                      dialog->confirmation(), dialog);
}
