// What the user is told when a job's script has ended: a stop box with the engine's words, an
// information box for a signature verdict that needs attention, or a line in the status bar.
#include "jobrunner.h"

#include "platform/messagebox.h"

namespace {

std::function<void(const QString &)> &statusSink()
{
    static std::function<void(const QString &)> sink;
    return sink;
}

} // namespace

JobOutcome ReportJobResults(const QString &name, const JobResults &results, QWidget *parent)
{
    if (!results.valid) {
        MessageBox::stop(parent, QStringLiteral("%1 may not have worked: the batch interpreter "
                                                "did not report how PGP ended. Please check "
                                                "PGP's messages and the files it should have "
                                                "written.")
                                     .arg(name));
        return JobOutcome::Failed;
    }
    const QString failure = JobFailureText(name, results);
    if (!failure.isEmpty()) {
        MessageBox::stop(parent, failure);
        return JobOutcome::Failed;
    }
    // The terminal that showed the engine's verdict has closed: a warning is told here again.
    if (results.verdictsNeedAttention())
        MessageBox::information(parent, JobSuccessText(name, results));
    else
        ShowJobStatus(JobSuccessText(name, results));
    return JobOutcome::Finished;
}

void SetJobStatusSink(std::function<void(const QString &)> sink)
{
    statusSink() = std::move(sink);
}

void ShowJobStatus(const QString &text)
{
    if (statusSink())
        statusSink()(text);
}
