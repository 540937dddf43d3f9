#pragma once

#include "core/keyrecords.h"

#include <QObject>
#include <QProcess>

// Reads the key ring by running the engine itself (PGP.EXE -kv +records), with no terminal and
// no job files: a listing asks nothing of the user. The program waits for it through signals.
class KeyRingReader : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    // The engine zorvex-cmd runs for PGP.EXE: $ZORVEX_PGP, else the zorvex-pgp beside the
    // interpreter, else the one on the PATH. Empty when there is none.
    static QString EngineProgram();

    // Starts a reading; one already under way is abandoned for it.
    void start();
    bool running() const { return m_process && m_process->state() != QProcess::NotRunning; }

signals:
    // The keys read; problem says why the listing is not whole (or could not be had at all).
    void finished(const KeyRecordListing &listing);

private:
    void done(int exitCode, QProcess::ExitStatus status);

    QProcess *m_process = nullptr;
};
