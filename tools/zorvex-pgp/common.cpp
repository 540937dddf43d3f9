#include "common.h"

#include "printable.h"

#include <csignal>
#include <cstdio>
#include <sstream>

namespace zpgp {

[[noreturn]] void Fail(int code, std::string message)
{
    throw Failure{code, std::move(message)};
}

void Say(const std::string &line)
{
    std::fputs((Printable(line, true) + "\n").c_str(), stderr);
}

std::vector<std::string> BaseArgs(const Context &cx, bool batch)
{
    std::vector<std::string> a;
    if (batch)
        a.insert(a.end(), {"--batch", "--no-tty", "--yes"});
    // PGP 2.6 never went to the network and nobody running this expects it to: no key server,
    // no web key directory, no fetching of a signer's key, whatever gpg.conf says.
    a.insert(a.end(), {"--disable-dirmngr", "--auto-key-locate", "clear,local",
                       "--no-auto-key-retrieve", "--no-auto-key-import"});
    if (cx.o.verbose == 0)
        a.push_back("--quiet");
    else if (cx.o.verbose >= 2)
        a.push_back("--verbose");
    if (cx.keyring)
        a.insert(a.end(), {"--no-default-keyring", "--keyring", *cx.keyring});
    return a;
}

GpgResult Run(const Context &cx, GpgCall call)
{
    call.echoErrors = call.echoErrors || cx.o.verbose >= 2;
    GpgResult r = RunGpg(call);
    if (!r.started)
        Fail(kOther, "Cannot run '" + GpgProgram() + "'; is GnuPG installed?");
    if (Interrupted() || r.signal == SIGINT)
        Fail(kInterrupted, "Interrupted.");
    return r;
}

std::vector<ListedKey> ListKeys(const Context &cx, const std::vector<std::string> &names,
                                bool secret, std::string *problem)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    // Validity from the trust database is never shown, so gpg need not work it out; revoked,
    // expired and disabled keys are still marked. That spares the time the program spends.
    call.args.insert(call.args.end(), {"--with-colons", "--fixed-list-mode", "--with-fingerprint",
                                       "--no-auto-check-trustdb", "--trust-model", "always",
                                       secret ? "--list-secret-keys" : "--list-keys", "--"});
    call.args.insert(call.args.end(), names.begin(), names.end());
    call.captureOutput = true;
    const GpgResult r = Run(cx, call);
    // Names gpg does not know end it with an error too; for a whole key ring it is one.
    if (problem && r.exitCode != 0)
        *problem = r.signal != 0             ? "gpg ended by signal " + std::to_string(r.signal)
                   : r.lastMessage().empty() ? "gpg failed"
                                             : r.lastMessage();
    return ParseColonListing(r.output);
}

std::string ResolveKeyName(const Context &cx, const std::string &name)
{
    if (!IsShortKeyId(name))
        return name;
    const auto keys = ListKeys(cx, {name});
    const auto matches = MatchShortKeyId(keys, name);
    if (matches.size() > 1) {
        std::string list;
        for (const ListedKey *k : matches)
            list += " " + k->fingerprint;
        Fail(kInvalidFile, "Key ID " + name + " matches " + std::to_string(matches.size()) +
                               " keys (" + list.substr(1) + "); give the full fingerprint.");
    }
    if (matches.empty())
        return name;
    return matches.front()->fingerprint.empty() ? name : matches.front()->fingerprint;
}

std::string FailureText(const GpgResult &r)
{
    std::string m = r.lastMessage();
    // gpg's debugging lines ("DBG: ...") are never the reason; the line before them is.
    if (m.rfind("DBG:", 0) == 0) {
        GpgResult without = r;
        std::string kept;
        std::istringstream in(r.errors);
        for (std::string line; std::getline(in, line);) {
            if (line.rfind("gpg: DBG:", 0) != 0 && line.rfind("DBG:", 0) != 0)
                kept += line + "\n";
        }
        without.errors = kept;
        m = without.lastMessage();
    }
    return m.empty() ? "gpg failed" : m;
}

std::vector<std::string> Words(const std::string &text)
{
    std::vector<std::string> words;
    std::istringstream in(text);
    for (std::string w; in >> w;)
        words.push_back(w);
    return words;
}

std::string ShortId(const std::string &keyId)
{
    return keyId.size() > 8 ? keyId.substr(keyId.size() - 8) : keyId;
}

} // namespace zpgp
