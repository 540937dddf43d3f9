#pragma once

#include <QStringList>

class QWidget;

// What the main frame and the editor view both do for the outside-program commands and the
// operation dialogs. The frame runs these while no editor window is open, the view while one is.

// The first installed text editor, standing in for "Notepad.exe".
void RunNotepad(QWidget *parent);
// The first installed word processor, standing in for "Write.exe".
void RunWordPad(QWidget *parent);
// UserApplication as a whole command line, started in UserAppDir. UserAppDir stays the current
// directory afterwards, so later relative work files land there too.
void RunUserApplication();

// Stand-ins for "Notepad.exe" and "Write.exe": command lines, most familiar first.
QStringList TextEditorCandidates();
QStringList WordProcessorCandidates();
// The first candidate whose program is on PATH, or an empty string.
QString FirstInstalled(const QStringList &candidates);

// The operation dialogs, each built for this one use, run modally over the main window and gone
// when it closes. Each does its own work on OK, so their answers are not looked at here.
void RunEncryptionDialog(QWidget *parent);
void RunDecryptionDialog(QWidget *parent);
void RunDirectoryCryptDialog(QWidget *parent);
void RunPreferencesDialog(QWidget *parent);
void RunRuntimeOptionsDialog(QWidget *parent);
