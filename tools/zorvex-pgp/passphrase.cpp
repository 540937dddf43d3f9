#include "passphrase.h"

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
    return code == 11 /* bad */ || code == 85 /* none given */ || code == 99 /* canceled */;
}

bool IsSymmetricMessage(const GpgResult &r)
{
    return r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
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
        GpgCall call = base;
        call.passphrase = p;
        r = Run(cx, call);
        if (!NeedsPassphraseAgain(r))
            return r;
    }
    if (decrypting && envPass && !IsSymmetricMessage(r)) {
        GpgCall call = base;
        call.passphrase = std::string(envPass);
        r = Run(cx, call);
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
        GpgCall call = base;
        call.passphrase = *p;
        r = Run(cx, call);
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
