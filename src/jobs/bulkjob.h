#pragma once

#include "jobs/jobrunner.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

class CDirectoryCryptDlg;
class QWidget;

// Encrypting or decrypting a whole directory with one pass phrase runs its own batch file,
// bulke.bat, in the processed directory: one PGP call a file, then the marker's deletion, then
// PGP wiping the batch file itself, since it holds the pass phrase.

inline constexpr auto kBulkBatchFile = "bulke.bat";

enum class BulkMode
{
    Encrypt,
    Decrypt
};

// The entries of the current directory that go into the script, as they are written there:
// the name's own bytes, in double quotes when it holds a blank or a character the batch
// interpreter would take as syntax. Names that cannot be written safely on a script line
// (a double quote, a line break) are left out and listed.
struct BulkEntries
{
    QList<QByteArray> arguments;
    QStringList leftOut;
};

// How one directory entry appears on its PGP line; empty when it cannot appear at all.
QByteArray BulkEntryArgument(const QString &name);

// Enumerates the current directory (every entry to encrypt, every ".pgp" file to decrypt) in
// the file system's order, without "." and "..", and without the program's own work files.
BulkEntries ListBulkEntries(BulkMode mode);

// Why a pass phrase cannot be used for a directory job (empty, or holding a double quote or a
// line break, which no batch line can carry), as a message for the user; empty when it can.
QString BulkPassPhraseProblem(const QString &passPhrase);

// The exact bytes of bulke.bat for these entries: "@ECHO OFF", a PGP line each, the del line
// and the wipe line, every line ending in CR LF. The pass phrase is written as typed, in
// double quotes when it holds a blank or batch syntax.
QByteArray ComposeBulkScript(BulkMode mode, const QList<QByteArray> &arguments,
                             const QString &passPhrase);

// Starts the written batch file in a terminal with the given show state and waits until its
// marker is gone (the caller holds the job guard): the job runner's StartBatchFile and
// WaitForJob, reached through this one place so that tests can stand in for them.
using BulkLauncher =
    std::function<JobOutcome(const QString &batchFile, int showState, QWidget *parent)>;
BulkLauncher &BulkJobLauncher();

// One whole directory run: messages, the working directory change and its restoration, the
// script, the marker and the wait. Returns how the job ended (NotStarted when it stopped
// before starting anything).
JobOutcome RunBulkJob(BulkMode mode, const QString &directory, const QString &passPhrase,
                      const QString &confirmation, QWidget *parent);

// The dialog's OK: the run for its three fields.
void RunBulkEncryption(CDirectoryCryptDlg *dialog);
void RunBulkDecryption(CDirectoryCryptDlg *dialog);
