#include "clipboardjob.h"

#include "core/settings.h"
#include "jobs/clipboardopsdlg.h"
#include "jobs/decryptjob.h"
#include "jobs/encryptjob.h"
#include "jobs/eyesonly.h"
#include "jobs/jobrunner.h"
#include "platform/messagebox.h"
#include "widgets/replacetext.h"

#include <QDir>
#include <QFile>
#include <QPlainTextEdit>

#include <optional>

namespace {
QString inputFile()
{
    return QString::fromLatin1(kClipInputFile);
}
QString outputFile()
{
    return QString::fromLatin1(kClipOutputFile);
}

// The text is safe in the editor whenever this runs, so neither file is worth keeping: one
// holds the user's plaintext, the other PGP's plaintext or ciphertext.
void removeWorkFiles()
{
    QFile::remove(outputFile());
    QFile::remove(inputFile());
    ReleaseWorkFiles();
}

JobOutcome runComposer(QWidget *parent)
{
    RuntimeOptionsRecord &options = RuntimeOptions();
    const ClipboardComposerSet &composers = ClipboardComposers();
    if (State().ClipboardMode == 1) {
        if (!composers.encrypt)
            return JobOutcome::NotStarted;
        // Without SigIntact an unsigned encryption would lose its "e" and PGP would only
        // armour the text.
        const int savedSigIntact = options.SigIntact;
        options.SigIntact = 1;
        const JobOutcome outcome =
            composers.encrypt(inputFile(), outputFile(), options.SignIt, 1, 1, 1, 0,
                              State().RecipientNames, options.MyName, parent);
        options.SigIntact = savedSigIntact;
        return outcome;
    }
    if (!composers.decrypt)
        return JobOutcome::NotStarted;
    return composers.decrypt(options.SigIntact, inputFile(), outputFile(), parent);
}

// One press of OK: runs PGP on the work files and puts its result into the editor. Sets retry
// when the job failed and the dialog should stay for another try.
ClipboardResult runJob(QWidget *parent, QPlainTextEdit *editor, bool &retry);
} // namespace

ClipboardComposerSet &ClipboardComposers()
{
    static ClipboardComposerSet composers{ComposeEncryptJob, ComposeDecryptJob};
    return composers;
}

ClipboardResult OnClipboardSubsystem(QWidget *parent, QPlainTextEdit *editor)
{
    // A second clipboard run inside another job's wait would overwrite the work files that
    // PGP is still reading.
    if (JobRunning()) {
        MessageBox::information(parent, QStringLiteral("Another PGP job is still running. "
                                                       "Please wait until it has finished."));
        return ClipboardResult::NotRun;
    }

    CClipboardOpsDlg dialog(parent);
    std::optional<ClipboardResult> result;
    dialog.setJob([&] {
        bool retry = false;
        result = runJob(&dialog, editor, retry);
        return !retry;
    });
    if (dialog.exec() != QDialog::Accepted) {
        // Cancelled, perhaps after a failed try: the text is still in the editor.
        removeWorkFiles();
        return result.value_or(ClipboardResult::Cancelled);
    }
    return result.value_or(ClipboardResult::NotRun);
}

namespace {
ClipboardResult runJob(QWidget *parent, QPlainTextEdit *editor, bool &retry)
{
    // A result left over from an earlier run must not pass for this run's result, and PGP
    // would stop to ask before overwriting it.
    if (QFile::exists(outputFile()) && !QFile::remove(outputFile())) {
        MessageBox::stop(parent, QStringLiteral("Cannot remove the old result file cliptxt.asc. "
                                                "The editor text is unchanged."));
        QFile::remove(inputFile());
        return ClipboardResult::NotRun;
    }

    // The text is written only now, as the job starts, and afresh for every try: a file lying
    // in a shared folder while the dialog is open could be replaced by someone else's before
    // PGP reads it. Noted before either file exists, so that not even a killed program leaves
    // them behind.
    TrackWorkFiles({inputFile(), outputFile()});
    if (!WriteJobFile(inputFile(), editor->toPlainText().toUtf8())) {
        ReleaseWorkFiles();
        MessageBox::stop(parent, QStringLiteral("Cannot write the work file cliptxt.txt in %1. "
                                                "The editor text is unchanged.")
                                     .arg(QDir::currentPath()));
        return ClipboardResult::NotWritten;
    }
    SetJobInputFile(inputFile());
    const JobOutcome outcome = runComposer(parent);
    SetJobInputFile(QString());
    if (outcome == JobOutcome::Stopped && !ReleaseWorkFiles()) {
        // PGP may still be reading the one and writing the other; the runner removes both
        // when the script has ended.
        MessageBox::information(
            parent, QStringLiteral("The program no longer waits for PGP. The work files %1 and %2 "
                                   "in %3 hold your text; they are removed when PGP's script has "
                                   "ended. The editor text is unchanged.")
                        .arg(inputFile(), outputFile(), QDir::currentPath()));
        return ClipboardResult::NotRun;
    }
    // A job refused as busy, or for its lock file, was already explained by the runner; after
    // a failure the dialog stays for another try.
    if (outcome != JobOutcome::Finished) {
        removeWorkFiles();
        retry = outcome != JobOutcome::Stopped;
        return ClipboardResult::NotRun;
    }

    QByteArray bytes;
    QString why;
    const JobOutputRead read = ReadJobOutput(outputFile(), kClipEditorLimit, bytes, why);
    // For your eyes only: the text is in its own window, and on purpose in no file.
    if (read == JobOutputRead::Missing && LastJobHadEyesOnlyText()) {
        removeWorkFiles();
        return ClipboardResult::NothingProduced;
    }
    if (read == JobOutputRead::Missing) {
        MessageBox::information(parent, QStringLiteral("PGP produced no result (no cliptxt.asc was "
                                                       "written). The editor text is unchanged."));
        removeWorkFiles();
        return ClipboardResult::NothingProduced;
    }
    if (read == JobOutputRead::TooLarge) {
        MessageBox::stop(parent, QStringLiteral("The result is larger than %1 MB, more than the "
                                                "editor can hold; it was removed. The editor text "
                                                "is unchanged.")
                                     .arg(kClipEditorLimit >> 20));
        removeWorkFiles();
        return ClipboardResult::NothingProduced;
    }
    if (read != JobOutputRead::Read) {
        MessageBox::stop(parent, QStringLiteral("Cannot read the result file cliptxt.asc: %1. "
                                                "The editor text is unchanged.")
                                     .arg(why));
        removeWorkFiles();
        return ClipboardResult::NothingProduced;
    }
    // The editor holds text: a decrypted binary file ends at its first zero byte.
    const qsizetype zero = bytes.indexOf('\0');
    if (zero >= 0)
        bytes.truncate(zero);
    ReplaceEditorText(editor, QString::fromUtf8(bytes));
    removeWorkFiles();
    return ClipboardResult::Replaced;
}
} // namespace
