#pragma once

#include <QByteArray>
#include <QString>

class QWidget;

// For-your-eyes-only text that the engine shows reaches the program through a socket only our
// own user can connect to, and lives in memory only: it is never written to a file.

// Starts listening for the job about to start; returns the socket's path for zorvex-cmd's
// --eyes= option, or an empty string when no socket could be made (the terminal still shows the
// text).
QString OpenEyesOnlyChannel();

// What arrived since OpenEyesOnlyChannel() (zorvex-cmd's "eyes" records); closes the channel.
QByteArray TakeEyesOnlyRecords();

// Whether the job last taken showed eyes-only text: it wrote no file on purpose.
bool LastJobHadEyesOnlyText();

// A read-only window with the text, owned by the program's main window; nothing can save it.
void ShowEyesOnlyWindow(QWidget *parent, const QString &text);
