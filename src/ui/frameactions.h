#pragma once

class QWidget;

// What the main frame and the editor view both do for the three outside-program commands.

// The first installed text editor, standing in for "Notepad.exe".
void RunNotepad(QWidget *parent);
// The first installed word processor, standing in for "Write.exe".
void RunWordPad(QWidget *parent);
// UserApplication as a whole command line, started in UserAppDir. UserAppDir stays the current
// directory afterwards, so later relative work files land there too.
void RunUserApplication();
