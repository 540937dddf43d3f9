#pragma once

#include <QString>

// Rules for putting user-supplied text into a line of a job's batch script. The batch
// interpreter groups words only with double quotes and has no escape for a quote inside them,
// and a line break ends the PGP line and starts a new command.

// The value as one batch argument: in double quotes when it holds a blank or a character the
// interpreter would take as redirection or a pipe (or cmd would: & and ^), otherwise unchanged.
QString BatchFileArgument(const QString &name);

// An input file as the composers write it, always quoted; a name that begins with '-' or '+'
// gets "./" in front, so that PGP reads it as a file and not as an option or a setting.
QString InputFileArgument(const QString &name);

// A file name in an unquoted position (keyrings, key files): "./" before a leading '-' or
// '+', then quoted as BatchFileArgument() does.
QString FileArgument(const QString &name);

// Several names separated by blanks, as PGP splits a recipient list: each name on its own
// gets BatchFileArgument(), the blanks between them stay exactly as typed.
QString NameListArguments(const QString &names);

// Why a file name cannot go into a batch line, or an empty string when it can.
QString FileNameProblem(const QString &name);
// Why free text (recipients, a user ID) cannot go into a batch line, or an empty string.
// `what` names the field for the message ("sender ID").
QString ArgumentTextProblem(const QString &text, const QString &what);
