#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// The stand-ins for WinExec: a batch file runs in a terminal window through zorvex-cmd, an
// outside program starts detached from its command line. Neither goes through a shell.

struct LaunchResult
{
    bool started = false;
    // The process that was started: the terminal, or zorvex-cmd itself without a terminal.
    // A terminal that hands its work to a server process may have exited long before the
    // script ends, so this is a hint for liveness, not proof.
    qint64 pid = 0;
    // True when pid is zorvex-cmd itself (no terminal): its end is the script's end.
    bool withoutTerminal = false;
    // Why nothing was started, in words for the user.
    QString error;
};

// Where zorvex-cmd is: beside the running executable or in its tools folder, else in
// $ZORVEX_TOOLS_DIR, else on the PATH. Empty when it is nowhere.
QString FindBatchInterpreter();

// What the next terminal's title names after "Zorvex 5 - ": the job ("Encryption of a.txt").
void SetTerminalTitle(const QString &title);

// Starts `zorvex-cmd batchFile` in the current directory inside a terminal window:
// $ZORVEX_TERMINAL (split into words), else x-terminal-emulator, else xterm; the terminal
// gets "-e" and the command. Show state 2 starts xterm iconified; other terminals ignore it.
// xterm opens wholly on the screen, centred on the program's main window, with a font of the
// program's size; terminals that take a title get one naming the job.
// ZORVEX_TERMINAL=none runs zorvex-cmd as a detached process with no terminal and no
// input, so PAUSE does not wait and MORE passes its text straight through.
// interpreterOptions go to zorvex-cmd before the batch file's name.
LaunchResult LaunchBatchFile(const QString &batchFile, int showState,
                             const QStringList &interpreterOptions = {});

// Starts an outside program from its command line split into words (double quotes group),
// detached, in workingDirectory (the current directory when empty).
LaunchResult LaunchProgram(const QString &commandLine, const QString &workingDirectory = QString());

// The same for a program whose arguments are already words (file names with blanks or quotes
// need no quoting then).
LaunchResult LaunchProgram(const QString &program, const QStringList &arguments,
                           const QString &workingDirectory = QString());

// The same for a program whose end matters: onExit gets its exit status (-1 when it crashed) once
// it has ended. Our own exit does not stop it. Under the test hook onExit is never called.
LaunchResult LaunchWatchedProgram(const QString &program, const QStringList &arguments,
                                  std::function<void(int status)> onExit);

// Tests see what LaunchProgram would start instead of starting it. The hook gets the program and
// its arguments (the working directory is the current one unless given) and answers whether it
// "started". Batch files are not affected. An empty hook starts programs for real again.
using ProgramLaunchHook = std::function<bool(const QString &program, const QStringList &arguments)>;
void SetProgramLaunchHook(ProgramLaunchHook hook);
