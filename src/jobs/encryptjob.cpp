#include "encryptjob.h"

#include "core/settings.h"
#include "jobs/jobarguments.h"
#include "platform/messagebox.h"

QString EncryptJobText(const QString &inputFile, const QString &outputFile, int sign, int wipe,
                       int armour, int text, int conventional, const QString &recipients,
                       const QString &userId, const RuntimeOptionsRecord &options)
{
    QString script;
    if (options.ClearsignOnly) {
        // Clear-signing takes no recipients, sender or output name, whatever the fields hold.
        script = QStringLiteral("@ECHO OFF\nPGP.EXE -sta +clearsig=on ");
        if (options.Verbose)
            script += QStringLiteral("+verbose=2 ");
        if (options.ShowPass)
            script += QStringLiteral("+showpass=on ");
        script += InputFileArgument(inputFile) + QLatin1Char(' ');
        return script;
    }

    script = QStringLiteral("@ECHO OFF\nPGP.EXE -");
    if (sign)
        script += QStringLiteral("es");
    if (!conventional && !sign && options.SigIntact)
        script += QLatin1Char('e');
    if (conventional)
        script += QLatin1Char('c');
    if (armour)
        script += QLatin1Char('a');
    if (text)
        script += QLatin1Char('t');
    if (options.EyesOnly)
        script += QLatin1Char('m');
    if (options.DetachSig && !sign)
        script += QStringLiteral("sb");
    if (options.DetachSig && sign)
        script += QLatin1Char('b');
    if (wipe)
        script += QLatin1Char('w');
    script += QLatin1Char(' ');
    if (options.Verbose)
        script += QStringLiteral("+verbose=2 ");
    if (options.ShowPass)
        script += QStringLiteral("+showpass=on ");
    if (options.KeepBinary)
        script += QStringLiteral("+keepbinary=on ");
    script += InputFileArgument(inputFile) + QLatin1Char(' ');
    // The recipients always add their blank, so an empty list leaves two blanks in a row.
    script += NameListArguments(recipients) + QLatin1Char(' ');
    if (!userId.isEmpty())
        script += QStringLiteral("-u ") + BatchFileArgument(userId) + QLatin1Char(' ');
    if (!outputFile.isEmpty())
        script += QStringLiteral("-o ") + BatchFileArgument(outputFile) + QLatin1Char(' ');
    return script;
}

QString EncryptJobProblem(const QString &inputFile, const QString &outputFile,
                          const QString &recipients, const QString &userId,
                          const RuntimeOptionsRecord &options)
{
    QString problem = FileNameProblem(inputFile);
    if (!problem.isEmpty() || options.ClearsignOnly)
        return problem;
    problem = FileNameProblem(outputFile);
    if (problem.isEmpty())
        problem = ArgumentTextProblem(recipients, QStringLiteral("recipient list"));
    if (problem.isEmpty())
        problem = ArgumentTextProblem(userId, QStringLiteral("sender ID"));
    return problem;
}

JobOutcome ComposeEncryptJob(const QString &inputFile, const QString &outputFile, int sign,
                             int wipe, int armour, int text, int conventional,
                             const QString &recipients, const QString &userId, QWidget *parent)
{
    const RuntimeOptionsRecord &options = RuntimeOptions();
    const QString problem = EncryptJobProblem(inputFile, outputFile, recipients, userId, options);
    if (!problem.isEmpty()) {
        MessageBox::stop(parent, problem);
        return JobOutcome::NotStarted;
    }
    // While another job runs its script stays as it is; the runner refuses this one and says so.
    if (!JobRunning())
        JobScript() = EncryptJobText(inputFile, outputFile, sign, wipe, armour, text, conventional,
                                     recipients, userId, options);
    const QString job = options.ClearsignOnly ? QStringLiteral("Clear-signing of %1")
                        : conventional        ? QStringLiteral("Conventional encryption of %1")
                                              : QStringLiteral("Encryption of %1");
    return RunJobScript(QString::fromLatin1(kJobTail), parent, job.arg(inputFile));
}
