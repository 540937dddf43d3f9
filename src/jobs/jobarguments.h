#pragma once

#include <QString>

// Rules for putting user-supplied text into a line of a job's batch script. The batch
// interpreter groups words only with double quotes and has no escape for a quote inside them,
// and a line break ends the PGP line and starts a new command.

// The name as one batch argument: in double quotes when it holds a blank or a character the
// interpreter would take as redirection or a pipe, otherwise unchanged.
QString BatchFileArgument(const QString &name);

// Why a file name cannot go into a batch line, or an empty string when it can.
QString FileNameProblem(const QString &name);
// Why free text (recipients, a user ID) cannot go into a batch line, or an empty string.
QString ArgumentTextProblem(const QString &text, const QString &what);
