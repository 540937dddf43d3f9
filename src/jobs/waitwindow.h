#pragma once

#include <QtGlobal>

class QDialog;
class QString;
class QWidget;

// The small window that says a job runs in its terminal, with the job's progress (the label
// "jobProgressLabel", hidden until there is some), "Show Terminal", which brings the job's
// terminal to the front, and "Stop Waiting", which rejects it. Shown at once, leaving the
// keyboard where it is; nullptr without a widget application.
QDialog *MakeWaitWindow(QWidget *parent, const QString &jobName);

// The X window of the job's terminal, once zorvex-cmd has reported it; until then (and with
// terminals that never say) "Show Terminal" is disabled and its tool tip says why.
void SetWaitTerminalWindow(QDialog *window, quint64 windowId);
