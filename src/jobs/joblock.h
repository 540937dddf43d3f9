#pragma once

#include <QByteArray>
#include <QString>

// The lock that keeps two instances' jobs in one directory apart. Returns the descriptor,
// -1 when the lock file cannot be used (`why` says so) or -2 when another job holds it.
int TakeDirectoryLock(const QByteArray &path, QString &why);
