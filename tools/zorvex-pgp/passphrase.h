// Pass phrases: those given in advance (-z, PGPPASSFD, PGPPASS), and asking on the terminal
// when gpg wants one it was not given.
#pragma once

#include "common.h"

#include <string>
#include <vector>

namespace zpgp {

// Pass phrases given in advance, in the order they are tried. PGPPASS only ever unlocks
// secret keys; conventional encryption never uses it.
std::vector<std::string> GivenPassphrases(const Context &cx, bool forSecretKey);

// True when gpg failed for want of the right pass phrase.
bool NeedsPassphraseAgain(const GpgResult &r);

// Runs a call that may need a secret key's pass phrase with the agent's cache emptied before and
// after: first with what was given (one try each), else with nothing (a key without a pass
// phrase needs none), then asking on the terminal up to 3 times, naming the key.
// `used` receives the pass phrase of the try that worked.
GpgResult RunWithSecretKey(Context &cx, const GpgCall &base, bool decrypting,
                           std::string *used = nullptr);

// The pass phrase of the key `fingerprint`, found good by a signature nobody keeps, for a call
// that talks to the user itself; ends the run (`what` failed) when none unlocks the key.
std::string UnlockKey(Context &cx, const std::string &fingerprint, const std::string &what);

// The pass phrase for -c: given in advance, else asked twice on the terminal.
std::string ConventionalPassphrase(Context &cx);

} // namespace zpgp
