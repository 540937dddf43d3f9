#pragma once

#include "core/jobresult.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QWidget;

// Every operation is a batch script run in a terminal while the program waits for the
// script's last line to delete a marker file. Only one job may be outstanding at a time:
// all jobs share fixed file names in the current directory.

inline constexpr auto kJobBatchFile = "zorvex5.bat";
inline constexpr auto kJobMarkerFile = "zorvex$$.tmp";
// Tails that RunJobScript appends to the composed script.
inline constexpr auto kJobTail = "\nDEL zorvex$$.tmp";
inline constexpr auto kKeyJobTail = "\nDEL zorvex$$.tmp\nPAUSE";

enum class JobOutcome
{
    Finished,    // the script ran its DEL line and every engine call succeeded
    Failed,      // the script ran to its end but an engine call failed (the user was told)
    Busy,        // another job is outstanding: nothing was written or started
    NotStarted,  // the script could not be written or started (the user was told)
    ScriptEnded, // the script ended without deleting the marker (the user was told)
    Stopped,     // the user stopped waiting
};

// The one process-wide job text. A composer empties it, builds its script and calls
// RunJobScript().
QString &JobScript();

// Appends the tail, creates the marker, writes zorvex5.bat (each "\n" as CR LF, no line end
// after the last line), starts it in a terminal, waits, and removes the batch file unless
// DebugMode is on. Returns after the wait, keeping every window responsive meanwhile. The
// job's name ("Encryption of report.txt") is what the user reads in its messages: a failed
// engine call is shown in a message box with the engine's words, success in the status bar.
JobOutcome RunJobScript(const QString &tail, QWidget *parent = nullptr,
                        const QString &jobName = QString());

// True while a job (of any variant) is outstanding.
bool JobRunning();

// ---------------------------------------------------------------------------------------
// The building blocks of every job variant. RunJobScript() and RefreshKeyNames() are made of
// them; the directory jobs, which write their own batch file, use them the same way:
//
//     JobGuard guard(parent);
//     if (!guard.acquired())
//         return JobOutcome::Busy;              // the user was told; no file was touched
//     ... write "bulke.bat" (WriteJobFile), CreateJobMarker() ...
//     if (!StartBatchFile("bulke.bat", 1, parent))
//         return JobOutcome::NotStarted;        // the user was told; the marker is gone
//     JobOutcome outcome = WaitForJob(parent);
//
// How the program knows a script is alive: zorvex-cmd holds a shared flock() on its batch
// file for its whole run. StartBatchFile() opens the same file before starting the script
// and WaitForJob() probes that descriptor with a non-blocking exclusive lock (it works even
// after the script had the file wiped). Once the lock has been seen, its release with the
// marker still present means the script died before its DEL line; before it has been seen,
// the started process (terminal or zorvex-cmd) still running counts as alive, and a script
// that never takes the lock is given up after kJobStartGraceMs.

// Claims the one job slot for its lifetime, and the current directory's job files against
// other instances of the program: an exclusive flock() on kJobLockFile there, removed again
// when the guard goes. When another job is outstanding, here or in another instance working
// in the same directory, it tells the user (unless quiet) and acquired() is false.
class JobGuard
{
public:
    explicit JobGuard(QWidget *parent = nullptr, bool quiet = false);
    ~JobGuard();
    JobGuard(const JobGuard &) = delete;
    JobGuard &operator=(const JobGuard &) = delete;
    bool acquired() const { return m_acquired; }

private:
    bool m_acquired = false;
    int m_lockFd = -1;
    QByteArray m_lockPath;
};

inline constexpr auto kJobLockFile = "zorvex5.lck";

// How long a started script may take to show that it runs (a terminal can be slow to open).
inline constexpr int kJobStartGraceMs = 10000;
// How often the wait checks that the script is still alive.
inline constexpr int kJobLivenessIntervalMs = 250;

// "\n" -> CR LF, as a text-mode write does; the text is written as UTF-8.
QByteArray TextModeBytes(const QString &text);

// Writes a job or work file (relative names are in the current directory) that may hold
// plaintext or a pass phrase, so it is only ever readable by the user: mode 0600. An existing
// file is replaced by a new one, so its old permissions and any script still holding it are
// left behind; a symbolic link in its place is refused, so a link planted in a processed
// directory cannot redirect the pass phrase elsewhere. Returns false (and leaves no partial
// file behind) when the file could not be written in full.
// The file written is identified by the descriptor that wrote it (see WrittenJobFile()): its
// name may lead elsewhere a moment later.
bool WriteJobFile(const QString &name, const QByteArray &bytes);

// Reads a file a job's engine wrote (cliptxt.asc, keys.$$$) through one descriptor opened
// without following a link and found to be a plain file of the user's own with no other name,
// so that a file another user put in its place is never taken for PGP's result. A file larger
// than `limit` is not read (TooLarge).
enum class JobOutputRead
{
    Read,
    Missing,
    Refused, // `why` says what is wrong with it
    TooLarge,
};
JobOutputRead ReadJobOutput(const QString &name, qint64 limit, QByteArray &bytes, QString &why);

// Device and inode of a job file, as the descriptor that wrote it saw them.
struct JobFileIdentity
{
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const JobFileIdentity &) const = default;
};

// The identity of the file WriteJobFile() last wrote under `name` (absolute or relative to the
// current directory), if it wrote one there.
std::optional<JobFileIdentity> WrittenJobFile(const QString &name);

// Creates the empty marker zorvex$$.tmp in the current directory (emptying a stale one) and
// remembers where it is, so the wait follows it even if the current directory changes.
bool CreateJobMarker();

// A work file written for the engine to read (cliptxt.txt, named as the script names it): the
// next StartBatchFile() hands its identity to zorvex-cmd, and the engine refuses any other file
// found under that name. An empty name clears it.
void SetJobInputFile(const QString &name);
// The zorvex-cmd option that hands it over ("--input=NAME=DEVICE:INODE"), or empty.
QString JobInputOption();

// Starts a batch file of the current directory in a terminal with the given show state
// (1 normal, 2 minimised) and remembers it for the wait's liveness checks. On failure tells
// the user, removes the marker and returns false.
bool StartBatchFile(const QString &name, int showState, QWidget *parent = nullptr);

// Returns when the script's DEL line deleted the marker (Finished), when the script ended
// without deleting it (ScriptEnded, the user was told, the stale marker removed; also when
// someone else removed the marker meanwhile: the script is waited for all the same, since
// what it wrote so far is no result), or when the user pressed
// "Stop Waiting" in the small window the wait shows (Stopped). The event loop runs meanwhile,
// woken by a watch on the marker's directory and a short timer; nothing spins.
// With untilScriptEnds, Finished also waits for the lines after the DEL line: until the script
// has ended or every engine call of it has reported its end.
// A stopped script keeps the directory's lock file held (the JobGuard hands it over) and the
// job's work files until it ends.
JobOutcome WaitForJob(QWidget *parent = nullptr, bool untilScriptEnds = false);

// The name of the job now running, for the wait window and the messages of the runner.
// Cleared when the job's guard ends.
void SetJobName(const QString &name);

// The engine calls' results of the job just waited for (see jobresult.h), read from the result
// file that StartBatchFile() handed to zorvex-cmd; the file is removed when the job's guard ends.
// Also read while the job runs, for the progress the wait window shows.
JobResults TakeJobResults();

// Tells the user how a finished script went: a message box naming the job and each failed step
// with the engine's words (Failed), or the job and its output files in the status bar
// (Finished). Results that were never reported count as a failure: a job is only called done
// when the program knows it was.
JobOutcome ReportJobResults(const QString &jobName, const JobResults &results, QWidget *parent);

// Where success is told: the main window's status bar sets this; without it nothing is shown.
void SetJobStatusSink(std::function<void(const QString &)> sink);
void ShowJobStatus(const QString &text);

// Work files that may hold plaintext (the clipboard's cliptxt.txt and cliptxt.asc). Tracked
// ones are noted in a small list in the settings directory until they are released: when the
// user stops waiting for the job, the runner removes them once its script has ended, and a
// program that was killed has them removed at its next start.
void TrackWorkFiles(const QStringList &names);
// The caller removes its work files itself: forget them. False when there were none left to
// forget because the job the user stopped waiting for took them over.
bool ReleaseWorkFiles();
// At start-up: removes the work files that a program no longer running left behind and
// returns their names; those that could not be removed go to notRemoved and stay noted.
QStringList RemoveLeftoverWorkFiles(QStringList *notRemoved = nullptr);

// Dispatches the pending events of the thread without waiting for one; true if there were.
bool DispatchPendingMessage();
