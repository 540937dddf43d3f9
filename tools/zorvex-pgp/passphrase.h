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

// Runs a call that may need a secret key's pass phrase: first with what was given (or nothing,
// so an unprotected or cached key works), then, outside batch mode, asking up to 3 times.
GpgResult RunWithSecretKey(Context &cx, const GpgCall &base, bool decrypting);

// The pass phrase for -c: given in advance, else asked twice on the terminal.
std::string ConventionalPassphrase(Context &cx);

} // namespace zpgp
