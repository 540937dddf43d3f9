#pragma once

class QDialog;
class QString;
class QWidget;

// The small window that says a job runs in its terminal, with the job's progress (the label
// "jobProgressLabel", hidden until there is some) and "Stop Waiting", which rejects it. Shown
// at once; nullptr without a widget application.
QDialog *MakeWaitWindow(QWidget *parent, const QString &jobName);
