// What every zorvex-pgp command shares: the exit codes, the failure that ends a run, the run's
// context, and gpg called with the arguments every call needs.
#pragma once

#include "gpgrun.h"
#include "keylisting.h"
#include "options.h"
#include "printable.h"
#include "terminal.h"

#include <optional>
#include <string>
#include <vector>

namespace zpgp {

// Exit codes, as PGP 2.6 gave them.
enum Exit
{
    kOk = 0,
    kInvalidFile = 1,
    kNotFound = 2,
    kFileError = 3,
    kBadArguments = 5,
    kInterrupted = 6,
    kKeyError = 10,
    kKeyNotFound = 11,
    kSignError = 20,
    kEncryptError = 21,
    kConventionalError = 22,
    kSignatureCheck = 30,
    kPublicDecrypt = 31,
    kConventionalDecrypt = 32,
    kNoMatch = 67,
    kOther = 127,
};

// Thrown to end the run with a message and an exit code; temporary files clean up on the way.
struct Failure
{
    int code;
    std::string message;
};

[[noreturn]] void Fail(int code, std::string message);

// One line on standard error, control characters escaped; a name from outside that could hold a
// line break goes through Printable() first.
void Say(const std::string &line);

struct Context
{
    Options o;
    Terminal *term = nullptr;
    std::string cwd;
    std::optional<std::string> keyring; // absolute path
    bool passphraseTried = false;       // a pass phrase from the user reached gpg
};

// --batch and friends, the verbosity and the key ring the run was given.
std::vector<std::string> BaseArgs(const Context &cx, bool batch = true);

// Runs gpg; a gpg that cannot start or an interrupt ends the run.
GpgResult Run(const Context &cx, GpgCall call);

// The keys matching `names` (every key when there are none), secret keys when asked. When gpg
// ended with an error, `problem` (if given) says why; what it listed is returned all the same.
std::vector<ListedKey> ListKeys(const Context &cx, const std::vector<std::string> &names,
                                bool secret = false, std::string *problem = nullptr);

// A "0x" + 8 hex digit ID becomes the one fingerprint it names; several matches are refused.
std::string ResolveKeyName(const Context &cx, const std::string &name);

// gpg's last message, for the one line a failure reports.
std::string FailureText(const GpgResult &r);

// The blank-separated words of a status line's argument.
std::vector<std::string> Words(const std::string &text);

// PGP 2.6 showed key IDs as their last 8 hex digits.
std::string ShortId(const std::string &keyId);

} // namespace zpgp
