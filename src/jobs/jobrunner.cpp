// Placeholder until the job runner lands: composes nothing, runs nothing.
#include "jobrunner.h"

QString &JobScript()
{
    static QString script;
    return script;
}

JobOutcome RunJobScript(const QString &tail, QWidget *)
{
    JobScript() += tail;
    return JobOutcome::NotStarted;
}

bool JobRunning()
{
    return false;
}
