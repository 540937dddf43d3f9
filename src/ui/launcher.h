#pragma once

#include <QString>
#include <QStringList>
#include <functional>

// Starting outside programs without waiting for them and without a shell.

// Splits the command line into words the way a shell would quote them (but runs no shell) and
// starts the program detached. False when the line is empty or the program could not start.
bool StartDetachedCommand(const QString &commandLine, const QString &workingDirectory = {});

// The same for a program and its arguments as they are.
bool StartDetachedProgram(const QString &program, const QStringList &arguments,
                          const QString &workingDirectory = {});

// Tests replace the actual start: the hook receives the program and its arguments.
using LaunchHook = std::function<bool(const QString &program, const QStringList &arguments)>;
void SetLaunchHook(LaunchHook hook);

// Stand-ins for "Notepad.exe" and "Write.exe": command lines, most familiar first.
QStringList TextEditorCandidates();
QStringList WordProcessorCandidates();
// The first candidate whose program is on PATH, or an empty string.
QString FirstInstalled(const QStringList &candidates);
