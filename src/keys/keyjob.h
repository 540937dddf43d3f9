#pragma once

#include "jobs/jobrunner.h"

#include <QString>
#include <functional>

class QWidget;

// The key commands of the key management window, each one PGP key option.
enum class KeyAction
{
    GenerateKey,      // -kg
    ExtractKey,       // -kx, -kxa with ASCII armor
    AddKey,           // -ka
    RemoveKey,        // -kr
    RemoveSignatures, // -krs
    ViewKeys,         // -kv
    ViewFingerprints, // -kvc
    EditKey,          // -ke
    SignKey,          // -ks
    DeleteOwnKey,     // -kd
};

// The script of one key command, without the tail that the runner appends. An input the
// command treats as optional counts only when it holds at least two characters; inputs the
// command always uses go in even when empty (without a second blank after the option then).
// Each input is one word for PGP: quoted when it holds a blank or batch syntax, and a file
// name beginning with '-' or '+' gets "./". Nothing is trimmed.
// Reads Armor from RuntimeOptions (extraction only).
QString KeyJobScript(KeyAction action, const QString &userId, const QString &file,
                     const QString &keyring, const QString &ownUserId);

// Why the inputs this command uses cannot be written into its script (a line break, a double
// quote), as a message for the user; empty when they can.
QString KeyJobProblem(KeyAction action, const QString &userId, const QString &file,
                      const QString &keyring, const QString &ownUserId);

// Puts KeyJobScript() into JobScript() and runs it with the PAUSE tail, so the terminal
// keeps PGP's output on screen; inputs KeyJobProblem() objects to are refused with a stop
// message before anything is written (NotStarted). Returns after PGP has finished.
JobOutcome ComposeKeyJob(KeyAction action, const QString &userId, const QString &file,
                         const QString &keyring, const QString &ownUserId,
                         QWidget *parent = nullptr);

// The pages reach the runner and the key list refresh through these, so that window tests
// can see what would run without starting a terminal. Empty functions restore the real ones.
using KeyJobRunner = std::function<JobOutcome(const QString &tail, QWidget *parent)>;
using KeyListRefresher = std::function<JobOutcome(QWidget *parent)>;
void SetKeyJobRunner(KeyJobRunner runner);
void SetKeyListRefresher(KeyListRefresher refresher);
// Rebuilds the cached key names after a key command that can change the keyring.
JobOutcome RefreshKeyNamesAfterJob(QWidget *parent);
