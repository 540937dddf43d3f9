#include "keyrefresh.h"

#include "core/keynamelist.h"
#include "core/settings.h"
#include "platform/messagebox.h"

#include <QDir>
#include <QFile>

namespace {
constexpr auto kRefreshBatchFile = "update.bat";
constexpr auto kListingFile = "keys.$$$";
// No "@ECHO OFF" here and "del" in lower case: the refresh keeps its own historic text.
constexpr auto kRefreshScript = "PGP.EXE -kv > keys.$$$\ndel zorvex$$.tmp";
} // namespace

JobOutcome RefreshKeyNames(QWidget *parent)
{
    JobGuard guard(parent);
    if (!guard.acquired())
        return JobOutcome::Busy;
    // Fixed now: the wait keeps windows alive, and a dialog may change the current directory.
    const QDir here = QDir::current();
    const QString batch = here.absoluteFilePath(QString::fromLatin1(kRefreshBatchFile));
    const QString listing = here.absoluteFilePath(QString::fromLatin1(kListingFile));
    const bool debug = RuntimeOptions().DebugMode != 0;
    const QString job = QStringLiteral("Key list refresh");
    SetJobName(job);

    if (!CreateJobMarker()) {
        MessageBox::stop(
            parent, QStringLiteral("The key list could not be refreshed: the marker file %1 could "
                                   "not be created in %2.")
                        .arg(QString::fromLatin1(kJobMarkerFile), here.path()));
        return JobOutcome::NotStarted;
    }
    if (!WriteJobFile(batch, TextModeBytes(QString::fromLatin1(kRefreshScript)))) {
        QFile::remove(here.absoluteFilePath(QString::fromLatin1(kJobMarkerFile)));
        MessageBox::stop(
            parent, QStringLiteral("The key list could not be refreshed: the batch file %1 could "
                                   "not be written in %2.")
                        .arg(QString::fromLatin1(kRefreshBatchFile), here.path()));
        return JobOutcome::NotStarted;
    }
    JobOutcome outcome =
        StartBatchFile(batch, 2, parent) ? WaitForJob(parent) : JobOutcome::NotStarted;
    if (outcome == JobOutcome::Finished) {
        // A refresh that worked leaves the status bar to the job it follows (what -ka added).
        const JobResults results = TakeJobResults();
        if (!results.valid || !results.failures().isEmpty())
            outcome = ReportJobResults(job, results, parent);
    }
    if (outcome != JobOutcome::Finished) {
        // The cached names stay as they were; a half-written or failed listing is not parsed.
        if (!debug) {
            QFile::remove(batch);
            QFile::remove(listing);
        }
        return outcome;
    }

    QByteArray bytes;
    QString why;
    const JobOutputRead read = ReadJobOutput(listing, qint64(64) << 20, bytes, why);
    if (read == JobOutputRead::Refused || read == JobOutputRead::TooLarge) {
        MessageBox::stop(parent, QStringLiteral("The key list was not refreshed: %1 is not the "
                                                "listing PGP wrote (%2).")
                                     .arg(listing, read == JobOutputRead::TooLarge
                                                       ? QStringLiteral("it is too large")
                                                       : why));
        return outcome;
    }
    if (read != JobOutputRead::Read) {
        MessageBox::information(parent, QStringLiteral("Problem encountered opening file"));
        return outcome;
    }
    StoreKeyNames(ParseKeyListing(bytes));
    if (!debug) {
        QFile::remove(batch);
        QFile::remove(listing);
    }
    return outcome;
}
