#pragma once

#include <optional>
#include <string>
#include <vector>

// Pass phrases written on a batch line ("-z VALUE", "-cz VALUE", "-zVALUE") never reach the
// engine's command line, which every local user can read in /proc: they are taken out of the
// arguments and handed over on a pipe whose descriptor the engine finds in PGPPASSFD.

// Removes every pass phrase value from the engine's arguments (not counting the program name)
// and returns the first one. Follows the engine's own reading of option groups: settings
// ("+name=value"), file names and a key command group carry none, and "--" ends the options.
std::optional<std::string> TakePassphrase(std::vector<std::string> &args);

// Every pass phrase value TakePassphrase() would take replaced by asterisks, for showing the
// command in the result file and on the terminal.
void MaskPassphrases(std::vector<std::string> &args);

// A pipe holding `passphrase` and a line end, already closed for writing; the read end is
// close-on-exec (the caller hands it to the engine alone). -1 when no pipe could be made.
int PassphrasePipe(const std::string &passphrase);

// The current environment with PGPPASSFD set to `fd` (any earlier value dropped).
std::vector<std::string> EnvironmentWithPassFd(int fd);

// No core file and no debugger attach by another process of this user: both could read a
// pass phrase out of memory. Children inherit the core limit.
void KeepSecretsOutOfCoreDumps();
