// What must not outlive a run of zorvex-pgp: temporary outputs that may hold plaintext, a gpg
// still working for it, and core files holding pass phrases.
//
// SIGINT and SIGTERM stop gpg and end the run as "Interrupted." once it has gone, so the usual
// unwinding removes the temporary files. SIGHUP (the terminal closed) and SIGQUIT give no such
// chance: their handler stops gpg, removes every registered file with async-signal-safe calls
// only, and lets the signal end the process.
#pragma once

#include <csignal>
#include <string>
#include <sys/types.h>

namespace zpgp {

// No core files, and no other process of this user may inspect this one.
void DisableCoreDumps();

// A signal this process was started ignoring (nohup, a background job) stays ignored. The end
// of the parent process (the batch interpreter killed) comes as SIGHUP.
void InstallSignalHandlers();

// Set once SIGINT or SIGTERM arrived.
bool Interrupted();

// A file to remove should a signal end the run; false when there is no room to keep its name.
// Call both with signals held so the file never exists unregistered.
bool RememberTemp(const std::string &path);
void ForgetTemp(const std::string &path);

// The gpg the run waits for (0: none); call with signals held.
void SetChild(pid_t pid);

// Holds back the signals above for the lifetime of the object.
class SignalsHeld
{
public:
    SignalsHeld();
    ~SignalsHeld();
    SignalsHeld(const SignalsHeld &) = delete;
    SignalsHeld &operator=(const SignalsHeld &) = delete;

private:
    sigset_t m_saved;
};

// In a forked child before exec: default signal handling and nothing held back.
void ResetSignalsForChild();

} // namespace zpgp
