#pragma once

#include "jobs/jobrunner.h"

#include <QString>

class QWidget;
struct RuntimeOptionsRecord;

// The script of one decryption or signature check, without the runner's tail. Reads
// RecoverOrig, Verbose and ShowPass from `options`; an empty output path lets PGP choose.
QString DecryptJobText(int keepSignature, const QString &inputPath, const QString &outputPath,
                       const RuntimeOptionsRecord &options);

// Why these paths cannot be written into the script (a message for the user), or empty.
QString DecryptJobProblem(const QString &inputPath, const QString &outputPath);

// Composes the script from RuntimeOptions() into JobScript() and runs it; refuses unsafe
// paths with a stop message before anything is written. Returns after the job has ended.
JobOutcome ComposeDecryptJob(int keepSignature, const QString &inputPath, const QString &outputPath,
                             QWidget *parent = nullptr);
