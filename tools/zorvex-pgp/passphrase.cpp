#include "passphrase.h"
#include "secretkey.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <unistd.h>

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
    return code == 11 /* bad */ || code == 85 /* none given */ || code == 99 /* canceled */ ||
           code == 177 /* none given, loopback */;
}

bool IsSymmetricMessage(const GpgResult &r)
{
    return r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
}

} // namespace

namespace {

// Runs one try with a pass phrase; the caller has emptied the agent's cache, so an empty one
// unlocks only a key that has no pass phrase.
GpgResult TryPassphrase(Context &cx, const GpgCall &base, const std::string &passphrase)
{
    GpgCall call = base;
    call.passphrase = passphrase;
    // GnuPG 1.4 (call.program set) keeps no cache and does not know the option.
    if (call.program.empty())
        call.args.insert(call.args.begin(), "--no-symkey-cache");
    if (!passphrase.empty())
        cx.passphraseTried = true;
    return Run(cx, call);
}

// The operation's own exit code, for a pass phrase that nobody can type.
int PassphraseExitCode(bool decrypting, bool symmetric)
{
    return !decrypting ? kSignError : symmetric ? kConventionalDecrypt : kPublicDecrypt;
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

GpgResult RunWithSecretKey(Context &cx, const GpgCall &base, bool decrypting, std::string *used)
{
    const AgentCacheCleared cache(cx, base.program.empty());
    // PGPPASS unlocks secret keys only; a conventionally encrypted message never gets it, and
    // before the first attempt a decryption cannot tell which kind of message it has.
    const char *envPass = std::getenv("PGPPASS");
    std::vector<std::string> tries = GivenPassphrases(cx, !decrypting);
    const bool given = !tries.empty();
    if (tries.empty())
        tries.emplace_back();
    GpgResult r;
    std::string spare;
    std::string &kept = used ? *used : spare;
    for (const std::string &p : tries) {
        kept = p;
        r = TryPassphrase(cx, base, p);
        if (!NeedsPassphraseAgain(r))
            return r;
    }
    if (decrypting && envPass && !IsSymmetricMessage(r)) {
        kept = envPass;
        return TryPassphrase(cx, base, envPass);
    }
    // A pass phrase given in advance gets one try, as does everything under +batchmode.
    if (given || cx.o.batch)
        return r;
    const bool sym = IsSymmetricMessage(r);
    if (!cx.term->hasTerminal())
        Fail(PassphraseExitCode(decrypting, sym),
             "A pass phrase is needed, and there is no terminal to ask for it (give it with -z, "
             "PGPPASS or PGPPASSFD).");
    std::string prompt = "\nEnter pass phrase: ";
    if (!sym) {
        const auto key = WantedKey(cx, r, cache.keys(), base.args);
        prompt = "\nYou need a pass phrase to unlock your secret key.\n" +
                 (key ? DescribeKey(*key) : std::string()) + prompt;
    }
    for (int attempt = 0; attempt < 3; ++attempt) {
        // A wrong one is said with the next prompt, not on standard error, which may reach the
        // terminal later than the prompt.
        auto p = cx.term->readLine((attempt > 0 ? "Error: Bad pass phrase.\n" : "") + prompt,
                                   cx.o.showpass);
        if (!p)
            return r;
        kept = *p;
        r = TryPassphrase(cx, base, *p);
        if (!NeedsPassphraseAgain(r)) {
            Say("Pass phrase is good.");
            return r;
        }
    }
    Say("Error: Bad pass phrase.");
    return r;
}

std::string UnlockKey(Context &cx, const std::string &fingerprint, const std::string &what)
{
    GpgCall probe;
    probe.args = BaseArgs(cx);
    // Empty data in, the signature to standard output, which is dropped: a failed gpg removes
    // its output file, and even a device named as one.
    probe.args.insert(probe.args.end(), {"--local-user", fingerprint, "--sign", "--output", "-"});
    std::string passphrase;
    const GpgResult r = RunWithSecretKey(cx, probe, false, &passphrase);
    if (r.exitCode != 0)
        Fail(kKeyError,
             what + " failed: " +
                 (NeedsPassphraseAgain(r) ? "bad or missing pass phrase" : FailureText(r)) + ".");
    return passphrase;
}

std::string ConventionalPassphrase(Context &cx)
{
    const auto given = GivenPassphrases(cx, false);
    if (!given.empty())
        return given.front();
    if (cx.o.batch || !cx.term->hasTerminal())
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
