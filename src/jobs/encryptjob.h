#pragma once

#include "jobs/jobrunner.h"

#include <QString>

class QWidget;
struct RuntimeOptionsRecord;

// The script of one file encryption, signing or clear-signing job, without the runner's tail.
// Reads ClearsignOnly, SigIntact, EyesOnly, DetachSig, Verbose, ShowPass and KeepBinary from
// `options`; `conventional` is the IDEA style.
QString EncryptJobText(const QString &inputFile, const QString &outputFile, int sign, int wipe,
                       int armour, int text, int conventional, const QString &recipients,
                       const QString &userId, const RuntimeOptionsRecord &options);

// Why these arguments cannot be written into the script (a message for the user), or an empty
// string. Only what the script would actually carry is examined.
QString EncryptJobProblem(const QString &inputFile, const QString &outputFile,
                          const QString &recipients, const QString &userId,
                          const RuntimeOptionsRecord &options);

// Composes the script from RuntimeOptions() into JobScript() and runs it. Arguments that
// cannot be written safely are refused with a stop message before anything is written
// (JobOutcome::NotStarted, JobScript() untouched). Returns after the job has ended.
JobOutcome ComposeEncryptJob(const QString &inputFile, const QString &outputFile, int sign,
                             int wipe, int armour, int text, int conventional,
                             const QString &recipients, const QString &userId,
                             QWidget *parent = nullptr);
