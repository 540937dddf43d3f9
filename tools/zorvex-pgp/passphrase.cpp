#include "passphrase.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace zpgp {

namespace {

std::optional<std::string> ReadPassFd()
{
    const char *env = std::getenv("PGPPASSFD");
    if (!env || !*env)
        return std::nullopt;
    char *end = nullptr;
    const long fd = std::strtol(env, &end, 10);
    if (*end != '\0' || fd < 0 || fd > INT_MAX)
        return std::nullopt;
    std::string line;
    char c;
    while (::read(static_cast<int>(fd), &c, 1) == 1 && c != '\n')
        line.push_back(c);
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return line;
}

// gpg error codes (low 16 bits of the status numbers) that mean "pass phrase wrong or missing".
bool PassphraseErrorCode(const std::string &statusArg)
{
    const auto sp = statusArg.rfind(' ');
    if (sp == std::string::npos)
        return false;
    const long code = std::strtol(statusArg.c_str() + sp + 1, nullptr, 10) & 0xffff;
    return code == 11 /* bad */ || code == 85 /* none given */ || code == 99 /* canceled */;
}

bool IsSymmetricMessage(const GpgResult &r)
{
    return r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
}

// The keygrips of every secret key the agent holds.
std::vector<std::string> SecretKeygrips(const Context &cx)
{
    Context plain = cx;
    plain.keyring.reset(); // secret keys live with the agent whatever the public ring
    GpgCall call;
    call.args = BaseArgs(plain);
    call.args.insert(call.args.end(), {"--with-colons", "--with-keygrip", "--no-auto-check-trustdb",
                                       "--list-secret-keys"});
    call.captureOutput = true;
    const GpgResult r = Run(plain, call);
    std::vector<std::string> grips;
    std::size_t pos = 0;
    while ((pos = r.output.find("grp:", pos)) != std::string::npos) {
        if (pos == 0 || r.output[pos - 1] == '\n') {
            const std::size_t end = r.output.find('\n', pos);
            const std::string line = r.output.substr(pos, end - pos);
            // grp:::::::::<keygrip>:
            std::size_t field = 0, start = 0;
            for (std::size_t i = 0; i < line.size() && field < 9; ++i) {
                if (line[i] == ':' && ++field == 9)
                    start = i + 1;
            }
            const std::string grip = line.substr(start, line.find(':', start) - start);
            if (field == 9 && grip.size() == 40)
                grips.push_back(grip);
        }
        pos += 4;
    }
    return grips;
}

} // namespace

// A pass phrase the user gives must be the one that unlocks the key: gpg-agent would otherwise
// take the key from its cache and never look at it. Without one, the cache may serve as ever.
void ForgetCachedPassphrases(const Context &cx)
{
    static bool done = false;
    if (done)
        return;
    done = true;
    const auto grips = SecretKeygrips(cx);
    if (grips.empty())
        return;
    std::vector<std::string> args = {"gpg-connect-agent", "--no-autostart"};
    for (const std::string &g : grips)
        args.push_back("clear_passphrase --mode=normal " + g);
    args.push_back("/bye");
    std::vector<char *> argv;
    for (std::string &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    for (int fd = 0; fd <= 2; ++fd)
        posix_spawn_file_actions_addopen(&actions, fd, "/dev/null", fd == 0 ? O_RDONLY : O_WRONLY,
                                         0);
    pid_t pid = -1;
    if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ) == 0) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    posix_spawn_file_actions_destroy(&actions);
}

namespace {

// Runs one try with a pass phrase from the user; only an empty one may be served by the cache.
GpgResult TryPassphrase(Context &cx, const GpgCall &base, const std::string &passphrase)
{
    GpgCall call = base;
    call.passphrase = passphrase;
    if (!passphrase.empty()) {
        ForgetCachedPassphrases(cx);
        // GnuPG 1.4 (call.program set) keeps no cache and does not know the option.
        if (call.program.empty())
            call.args.insert(call.args.begin(), "--no-symkey-cache");
        cx.passphraseTried = true;
    }
    return Run(cx, call);
}

} // namespace

std::vector<std::string> GivenPassphrases(const Context &cx, bool forSecretKey)
{
    static std::optional<std::string> fromFd = ReadPassFd();
    std::vector<std::string> list = cx.o.passphrases;
    if (fromFd)
        list.push_back(*fromFd);
    if (forSecretKey) {
        if (const char *env = std::getenv("PGPPASS"))
            list.push_back(env);
    }
    return list;
}

bool NeedsPassphraseAgain(const GpgResult &r)
{
    if (r.exitCode == 0)
        return false;
    if (r.has("BAD_PASSPHRASE") || r.has("MISSING_PASSPHRASE") || r.has("NEED_PASSPHRASE") ||
        r.has("NEED_PASSPHRASE_SYM"))
        return true;
    if (PassphraseErrorCode(r.arg("ERROR")) || PassphraseErrorCode(r.arg("FAILURE")))
        return true;
    // In loopback mode a wrong pass phrase for a secret key shows only as a failed decryption;
    // a key that is truly missing says NO_SECKEY.
    return r.has("DECRYPTION_FAILED") && !r.has("NO_SECKEY");
}

GpgResult RunWithSecretKey(Context &cx, const GpgCall &base, bool decrypting)
{
    // PGPPASS unlocks secret keys only; a conventionally encrypted message never gets it, and
    // before the first attempt a decryption cannot tell which kind of message it has.
    const char *envPass = std::getenv("PGPPASS");
    std::vector<std::string> tries = GivenPassphrases(cx, !decrypting);
    if (tries.empty())
        tries.emplace_back();
    GpgResult r;
    for (const std::string &p : tries) {
        r = TryPassphrase(cx, base, p);
        if (!NeedsPassphraseAgain(r))
            return r;
    }
    if (decrypting && envPass && !IsSymmetricMessage(r)) {
        r = TryPassphrase(cx, base, envPass);
        if (!NeedsPassphraseAgain(r))
            return r;
    }
    if (cx.o.batch || !cx.term->canAsk())
        return r;
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt > 0)
            Say("Error:  Bad pass phrase.");
        const bool sym = IsSymmetricMessage(r);
        auto p = cx.term->readLine(sym ? "\nEnter pass phrase: "
                                       : "\nYou need a pass phrase to unlock your secret key.\n"
                                         "Enter pass phrase: ",
                                   cx.o.showpass);
        if (!p)
            break;
        r = TryPassphrase(cx, base, *p);
        if (!NeedsPassphraseAgain(r))
            return r;
    }
    return r;
}

std::string ConventionalPassphrase(Context &cx)
{
    const auto given = GivenPassphrases(cx, false);
    if (!given.empty())
        return given.front();
    if (cx.o.batch || !cx.term->canAsk())
        Fail(kConventionalError, "No pass phrase given for conventional encryption (use -z).");
    for (int attempt = 0; attempt < 3; ++attempt) {
        auto first = cx.term->readLine(
            "\nYou need a pass phrase to encrypt the file.\nEnter pass phrase: ", cx.o.showpass);
        if (!first)
            break;
        if (cx.o.showpass)
            return *first;
        auto again = cx.term->readLine("Enter same pass phrase again: ", false);
        if (!again)
            break;
        if (*first == *again)
            return *first;
        Say("Error: Pass phrases were different.  Try again.");
    }
    Fail(kConventionalError, "No pass phrase; nothing encrypted.");
}

} // namespace zpgp
