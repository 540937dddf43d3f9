#include "decryptjob.h"

#include "core/settings.h"
#include "jobs/jobarguments.h"
#include "platform/messagebox.h"

QString DecryptJobText(int keepSignature, const QString &inputPath, const QString &outputPath,
                       const RuntimeOptionsRecord &options)
{
    QString script = QStringLiteral("@ECHO OFF\nPGP.EXE ");
    if (keepSignature || options.RecoverOrig)
        script += QLatin1Char('-');
    if (keepSignature)
        script += QLatin1Char('d');
    script += options.RecoverOrig ? QStringLiteral("p ") : QStringLiteral(" ");
    if (options.Verbose)
        script += QStringLiteral("+verbose=2 ");
    if (options.ShowPass)
        script += QStringLiteral("+showpass=on ");
    script += InputFileArgument(inputPath) + QLatin1Char(' ');
    if (!outputPath.isEmpty())
        script += QStringLiteral("-o ") + BatchFileArgument(outputPath) + QLatin1Char(' ');
    return script;
}

QString DecryptJobProblem(const QString &inputPath, const QString &outputPath)
{
    const QString problem = FileNameProblem(inputPath);
    return problem.isEmpty() ? FileNameProblem(outputPath) : problem;
}

JobOutcome ComposeDecryptJob(int keepSignature, const QString &inputPath, const QString &outputPath,
                             QWidget *parent)
{
    const QString problem = DecryptJobProblem(inputPath, outputPath);
    if (!problem.isEmpty()) {
        MessageBox::stop(parent, problem);
        return JobOutcome::NotStarted;
    }
    // While another job runs its script stays as it is; the runner refuses this one and says so.
    if (!JobRunning())
        JobScript() = DecryptJobText(keepSignature, inputPath, outputPath, RuntimeOptions());
    return RunJobScript(QString::fromLatin1(kJobTail), parent,
                        QStringLiteral("Decryption of %1").arg(inputPath));
}
