#pragma once

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// The work files that can hold plaintext (cliptxt.txt, cliptxt.asc) are listed, with the pid of
// the program that wrote them, in "workfiles" in the settings directory before they are written,
// so that the next start can remove what a killed program left behind. RemoveLeftoverWorkFiles()
// (declared with the runner) reads the same list.

// Whether the process is running (a zombie is not).
bool ProcessAlive(qint64 pid);

// Replaces this program's entries of the list with `files` (absolute paths); the entries of other
// programs stay.
void SetOwnWorkFiles(const QStringList &files);
