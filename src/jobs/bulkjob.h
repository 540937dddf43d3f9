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

// An entry of the directory that stays as it is, and why.
struct BulkLeft
{
    QString name;
    QString reason;
    bool operator==(const BulkLeft &) const = default;
};

// The entries of the current directory that go into the script, as they are written there:
// the name's own bytes, in double quotes when it holds a blank or a character the batch
// interpreter would take as syntax. Entries the engine could not process are left out and
// listed with their reason: names that cannot be written safely on a script line (a double
// quote, a line break) or cannot be read at all (not valid in the file name encoding),
// subdirectories and other entries that are not files. Entries whose output name is taken by
// another entry are listed apart: the user decides whether to go on without them.
struct BulkEntries
{
    QList<QByteArray> arguments;
    QStringList names; // the entries of arguments, in the same order
    QList<BulkLeft> left;
    QList<BulkLeft> collisions;
};

// The name the engine gives the result of an entry: encrypting drops the last extension and
// adds ".pgp" ("x.txt" and "x.md" both give "x.pgp"); decrypting drops the last extension.
QString BulkOutputName(BulkMode mode, const QString &name);

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

// How the script went: its ending, and what each engine call came to.
struct BulkRun
{
    BulkRun(JobOutcome o = JobOutcome::NotStarted, JobResults r = {})
        : outcome(o), results(std::move(r))
    {
    }
    JobOutcome outcome;
    JobResults results;
};

// Starts the written batch file in a terminal with the given show state and waits until its
// marker is gone (the caller holds the job guard): the job runner's StartBatchFile, WaitForJob
// and TakeJobResults, reached through this one place so that tests can stand in for them.
using BulkLauncher =
    std::function<BulkRun(const QString &batchFile, int showState, QWidget *parent)>;
BulkLauncher &BulkJobLauncher();

// The report of a finished run: how many files were processed, and every entry left as it
// was with its reason. "Bulk encryption is complete." only when nothing was left.
QString BulkReport(BulkMode mode, const BulkEntries &entries, const JobResults &results,
                   bool *everything);

// One whole directory run: messages, the working directory change and its restoration, the
// script, the marker and the wait. Returns how the job ended (NotStarted when it stopped
// before starting anything, Failed when an entry was left).
JobOutcome RunBulkJob(BulkMode mode, const QString &directory, const QString &passPhrase,
                      const QString &confirmation, QWidget *parent);

// The dialog's OK: the run for its three fields.
JobOutcome RunBulkEncryption(CDirectoryCryptDlg *dialog);
JobOutcome RunBulkDecryption(CDirectoryCryptDlg *dialog);
