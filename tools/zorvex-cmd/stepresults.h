#pragma once

#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

// What each engine call of a script came to, handed back to the program through a result file
// the program created (owner only) and named with --results=PATH. The program only reads it,
// so the format is all the two sides share. One record a line, fields separated by one blank,
// text fields with every byte at or below the blank, '%' and DEL written as %XX:
//
//     zorvex-results 2
//     total N                    the script's engine calls
//     begin I COMMAND            call I (from 1) starts; the pass phrase after -z masked
//     end I exit CODE TAIL       call I ended with its exit code
//     end I signal N TAIL        call I was killed by signal N
//     end I unstarted 0 TAIL     call I never ran
//     del NAME                   a DEL line deleted the file NAME (new in version 2)
//     refused REASON             the batch file was not the program's: nothing ran
//     window ID                  the X window of the terminal the script runs in (decimal)
//     verdict I KIND TEXT        call I judged a signature: KIND good, uncertified, unchecked,
//                                revoked or expired, TEXT the engine's words (new in version 2);
//                                KIND added or updated: call I added or updated the key TEXT names
//
// TAIL is the last lines the engine wrote to standard error (or our own words when it never
// ran). Each record is written in one write() as soon as it is known, so a reader never sees
// half a line, and the program can show progress while the script runs.

// Waits for one key press on a terminal (not echoed); returns at once without one.
void WaitForKey();

// Removes "OPTIONVALUE" (say "--results=PATH") from the front of the arguments; returns VALUE
// or nullptr.
const char *TakeOption(int &argc, char **argv, std::string_view option);

// The socket (from "--eyes=PATH") the program listens on for for-your-eyes-only text, which
// must never reach a file: "eyes I TEXT" records go there, never into the result file.
void SetEyesOnlySocket(const char *path);

// Opens the result file: only an existing regular file of our own user, never through a link.
// Without one (no option, or a file refused) everything below still works, minus the records.
void OpenStepResults(const char *path);

// The terminal's X window (xterm and others put it in WINDOWID), so the program can bring the
// terminal to the front; no record when the terminal does not say.
void RecordTerminalWindow();

// How many lines of the script call the engine; written as the "total" record.
void CountEngineSteps(const std::vector<std::string> &lines);

// One engine call: construct before starting it, route its standard error through
// redirectErrors(), then report its end with exactly one of wait() or notStarted().
class EngineStep
{
public:
    explicit EngineStep(const std::vector<std::string> &words);
    ~EngineStep();
    EngineStep(const EngineStep &) = delete;
    EngineStep &operator=(const EngineStep &) = delete;

    // Sends the engine's standard error into a pipe we copy to ours, keeping the last lines.
    void redirectErrors(posix_spawn_file_actions_t *actions);
    // The engine tells verdicts and eyes-only text through a pipe named in this variable.
    void addReportVariable(std::vector<std::string> &environment) const;
    // Waits for the engine while copying its messages; returns its error level.
    int wait(pid_t pid);
    // The engine never ran; the message is ours, already said on the terminal.
    void notStarted(const std::string &message);

private:
    void finish(const std::string &kind, int value);
    void takeReport(const char *data, size_t size);

    int m_index;
    std::string m_command;
    int m_pipe[2] = {-1, -1};
    int m_report[2] = {-1, -1};
    std::string m_output;     // the tail of what the engine wrote
    std::string m_reportLine; // a record of the engine's report not yet whole
    bool m_finished = false;
};

// A DEL line deleted the file: the program learns from it that its marker file went by the
// script's own hand, not someone else's.
void RecordDeletion(const std::string &name);

// The batch file was refused (not the file the program wrote): no line of it runs.
void RecordRefusal(const std::string &reason);

// After the script's last line: when an engine call failed, repeats what went wrong and keeps
// the terminal open until a key is pressed (not when there is no terminal to read from), or until
// the program removes the result file: it does so once the user has closed its own message about
// the failure, which holds the same words, so terminals of failed jobs do not pile up.
void HoldIfStepsFailed();

// The last lines of text, at most maxLines of them and maxBytes long, without empty lines.
std::string LastLines(std::string_view text, size_t maxLines, size_t maxBytes);

// The escaping of the record fields.
std::string EscapeResultField(std::string_view text);
