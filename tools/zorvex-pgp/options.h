// Command line of zorvex-pgp: PGP 2.6 option groups, "+name=value" settings and the DOS-era
// output naming. Plain functions so the unit tests can check them without running gpg.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

enum class Action
{
    Crypt,       // any of -e -s -c -b (or a lone file name: decrypt / verify)
    Decrypt,     // a file name with no letters, or -d / -p
    WipeOnly,    // -w FILE
    KeyGenerate, // -kg
    KeyExtract,  // -kx, -kxa
    KeyAdd,      // -ka
    KeyRemove,   // -kr
    KeyRemoveSigs,
    KeyView, // -kv, -kvc
    KeyEdit,
    KeySign,
    KeyDisable,
};

struct Options
{
    Action action = Action::Decrypt;
    bool encrypt = false, sign = false, conventional = false, armor = false, text = false;
    bool eyesOnly = false, detach = false, wipe = false, keepSignature = false, restoreName = false;
    bool fingerprints = false; // -kvc
    bool records = false;      // +records: -kv lists one record a line for programs
    bool batch = false, clearsig = false, showpass = false, keepbinary = false;
    int verbose = 1;
    std::vector<std::string> passphrases; // -z, in order
    std::optional<std::string> user;      // -u
    std::optional<std::string> output;    // -o
    std::vector<std::string> args;        // file names and user IDs, in order
};

struct ParseResult
{
    std::optional<Options> options;
    std::string error; // set when options is empty
};

ParseResult ParseCommandLine(const std::vector<std::string> &args);

// Blanks every "-z" value in place, joined forms too, so that it no longer shows in the process
// list.
void BlankPassphraseArguments(int argc, char **argv);

// Drops the final extension of the last path component and adds `extension` (".pgp", ...).
std::string DefaultOutputName(std::string_view input, std::string_view extension);

// The input without its final extension; an input without one gets ".out" appended.
std::string DecryptOutputName(std::string_view input);

// True when the last path component carries an extension.
bool HasExtension(std::string_view path);

// The last component of a name stored in a message, or empty when nothing safe is left (no
// directory part, never "." or "..", no NUL), so that -p cannot write outside the current
// directory; control characters become '_'.
std::string SafeStoredName(std::string_view stored);

// A keyring argument: relative to `cwd`, ".pgp" added when it has no extension.
std::string KeyringPath(std::string_view argument, std::string_view cwd);

} // namespace zpgp
