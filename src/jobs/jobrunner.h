#pragma once

#include <QString>

class QWidget;

// Every operation is a batch script run in a terminal while the program waits for the
// script's last line to delete a marker file. Only one job may be outstanding at a time:
// all jobs share fixed file names in the current directory.

inline constexpr auto kJobBatchFile = "zorvex5.bat";
inline constexpr auto kJobMarkerFile = "zorvex$$.tmp";
// Tails that RunJobScript appends to the composed script.
inline constexpr auto kJobTail = "\nDEL zorvex$$.tmp";
inline constexpr auto kKeyJobTail = "\nDEL zorvex$$.tmp\nPAUSE";

enum class JobOutcome {
    Finished,    // the script ran its DEL line
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
// DebugMode is on. Returns after the wait, keeping every window responsive meanwhile.
JobOutcome RunJobScript(const QString &tail, QWidget *parent = nullptr);

// True while a job (of any variant) is outstanding.
bool JobRunning();
