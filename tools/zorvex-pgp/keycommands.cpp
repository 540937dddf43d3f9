// The key commands (-k...): list, extract, add, remove, disable, and those gpg carries out
// talking to the user itself.

#include "commands.h"
#include "files.h"
#include "importreport.h"
#include "keyrecords.h"
#include "legacy.h"
#include "passphrase.h"
#include "secretkey.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace zpgp {

namespace {

bool LooksLikeKeyring(const std::string &arg)
{
    for (const char *ext : {".pgp", ".gpg", ".kbx"}) {
        const std::size_t n = std::strlen(ext);
        if (arg.size() > n && arg.compare(arg.size() - n, n, ext) == 0)
            return true;
    }
    return false;
}

// The key ring in the "Key ring:" line: the one given, else gpg's default.
std::string KeyringName(const Context &cx)
{
    if (cx.keyring)
        return *cx.keyring;
    std::string home;
    if (const char *g = std::getenv("GNUPGHOME"); g && *g)
        home = g;
    else if (const char *h = std::getenv("HOME"))
        home = std::string(h) + "/.gnupg";
    return Exists(home + "/pubring.kbx") || !Exists(home + "/pubring.gpg") ? home + "/pubring.kbx"
                                                                           : home + "/pubring.gpg";
}

void UseKeyring(Context &cx, std::size_t index)
{
    if (cx.o.args.size() > index) {
        cx.keyring = KeyringPath(cx.o.args[index], cx.cwd);
        cx.o.args.resize(index);
    }
}

// The one key a key command acts on: the first match, but never a guess between keys sharing
// a short ID.
ListedKey FindOneKey(Context &cx, const std::string &name)
{
    if (name.empty())
        Fail(kBadArguments, "No user ID given.");
    auto keys = ListKeys(cx, {name});
    if (IsShortKeyId(name)) {
        const auto m = MatchShortKeyId(keys, name);
        if (m.size() > 1)
            Fail(kInvalidFile, "Key ID " + name + " matches " + std::to_string(m.size()) +
                                   " keys; give the full fingerprint.");
        if (m.empty())
            keys.clear();
        else
            keys = {*m.front()};
    }
    if (keys.empty() || keys.front().fingerprint.empty()) {
        if (auto old = FindLegacyKey(cx, name))
            return *old;
        Fail(kKeyNotFound, "Key not found: '" + name + "'" +
                               (cx.keyring ? " in key ring '" + *cx.keyring + "'." : "."));
    }
    return keys.front();
}

bool HasSecretKey(Context &cx, const std::string &fingerprint)
{
    if (fingerprint.size() == 32)
        return LegacyHasSecretKey(cx, fingerprint);
    Context plain = cx;
    plain.keyring.reset(); // secret keys live with the agent whatever the public ring
    return !ListKeys(plain, {fingerprint}, true).empty();
}

// gpg talks to the user itself for these; it needs the terminal.
int RunInteractiveEdit(Context &cx, const std::string &what, std::vector<std::string> commands,
                       const std::optional<std::string> &signer = std::nullopt,
                       bool usesOnePassphrase = false, bool legacy = false,
                       bool mayChangePassphrase = false)
{
    if (cx.o.batch)
        Fail(kBadArguments, what + " needs the terminal; not available under +batchmode.");
    if (!::isatty(0))
        Fail(kBadArguments, what + " needs a terminal.");
    const AgentCacheCleared cache(cx, !legacy);
    GpgCall call;
    call.interactive = true;
    if (usesOnePassphrase && !legacy) // checked before gpg asks its questions
        call.passphrase = UnlockKey(cx, commands.at(1), what);
    else if (usesOnePassphrase) {
        const auto given = GivenPassphrases(cx, true);
        if (!given.empty())
            call.passphrase = given.front();
    }
    call.args = BaseArgs(cx, false);
    if (legacy)
        call = LegacyEditCall(cx, call.passphrase);
    else if (!call.passphrase && !mayChangePassphrase)
        // gpg asks on this terminal itself, not in a pin entry window. A new pass phrase for an
        // existing key is left to the pin entry, which has it typed twice: asked once, a typing
        // slip would lock the key for good.
        call.args.insert(call.args.begin(), {"--pinentry-mode", "loopback"});
    if (signer)
        call.args.insert(call.args.end(), {"--local-user", *signer});
    call.args.insert(call.args.end(), commands.begin(), commands.end());
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        Fail(kKeyError, what + " failed.");
    return kOk;
}

// -ks: the key and the question first, then the signer's pass phrase, as for any signature.
int SignKey(Context &cx, const ListedKey &key, const std::string &name,
            const std::optional<std::string> &signer)
{
    if (cx.o.batch || !cx.term->canAsk())
        Fail(kKeyError,
             "Key '" + name + "' not signed: signing a key needs a yes on the terminal.");
    if (!cx.term->askYes(FormatKey(key, false) +
                         "\nSigning this key certifies that it belongs to the person its user "
                         "IDs name.\nAre you sure you want to sign this key (y/N)? "))
        Fail(kKeyError, "Key '" + name + "' not signed.");
    GpgCall call;
    call.args = BaseArgs(cx);
    if (signer)
        call.args.insert(call.args.end(), {"--local-user", *signer});
    call.args.insert(call.args.end(), {"--quick-sign-key", key.fingerprint});
    const GpgResult r = RunWithSecretKey(cx, call, false);
    if (r.exitCode != 0)
        Fail(kKeyError,
             "Signing key '" + name + "' failed: " +
                 (NeedsPassphraseAgain(r) ? "bad or missing pass phrase" : FailureText(r)) + ".");
    Say("Key signed.");
    return kOk;
}

// Everything the records show: real validity (from the trust database, not "always"), expiry,
// and whether the secret key is at hand. Asking gpg-agent about every key (--with-secret) costs
// a round trip each; the agent keeps one file per secret key, named after its keygrip, so one
// look at that directory answers for all keys.
std::vector<ListedKey> ListKeyRecords(const Context &cx, const std::vector<std::string> &names,
                                      std::string *problem)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--with-colons", "--fixed-list-mode", "--with-fingerprint",
                                       "--with-keygrip", "--list-keys", "--"});
    call.args.insert(call.args.end(), names.begin(), names.end());
    call.captureOutput = true;
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        *problem = r.lastMessage().empty() ? "gpg failed" : r.lastMessage();
    auto keys = ParseColonListing(r.output);

    std::string home;
    if (const char *g = std::getenv("GNUPGHOME"); g && *g)
        home = g;
    else if (const char *h = std::getenv("HOME"))
        home = std::string(h) + "/.gnupg";
    std::set<std::string> held;
    if (DIR *dir = ::opendir((home + "/private-keys-v1.d").c_str())) {
        while (const dirent *entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() == 44 && name.compare(40, 4, ".key") == 0) {
                name.resize(40);
                for (char &c : name)
                    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
                held.insert(name);
            }
        }
        ::closedir(dir);
    }
    for (ListedKey &k : keys) {
        for (const std::string &grip : k.keygrips)
            k.secret = k.secret || held.count(grip) != 0;
    }
    return keys;
}

// gpg1 has no --with-secret: its secret ring is listed once for all PGP 2.x keys.
void MarkLegacySecrets(const Context &cx, std::vector<ListedKey> &keys)
{
    std::vector<ListedKey *> legacy;
    for (ListedKey &k : keys) {
        if (IsLegacyKey(k))
            legacy.push_back(&k);
    }
    if (legacy.empty())
        return;
    const auto secrets = ListLegacy(cx, {}, true);
    for (ListedKey *k : legacy) {
        for (const ListedKey &s : secrets)
            k->secret = k->secret || s.fingerprint == k->fingerprint;
    }
}

} // namespace

int DoKeyView(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    else if (a.size() == 1 && LooksLikeKeyring(a[0]))
        UseKeyring(cx, 0);
    if (cx.keyring && !Exists(*cx.keyring))
        Fail(kNotFound, "Key ring '" + *cx.keyring + "' does not exist.");
    std::vector<std::string> names(a.begin(), a.end());
    if (!names.empty() && names[0].empty())
        names.clear();
    std::string problem;
    auto keys =
        cx.o.records ? ListKeyRecords(cx, names, &problem) : ListKeys(cx, names, false, &problem);
    AppendLegacyKeys(cx, names, keys);
    if (cx.o.records)
        MarkLegacySecrets(cx, keys);
    if (!names.empty() && IsShortKeyId(names[0])) {
        std::vector<ListedKey> exact;
        for (const ListedKey *k : MatchShortKeyId(keys, names[0]))
            exact.push_back(*k);
        keys = std::move(exact);
    }
    const std::string listing = cx.o.records
                                    ? FormatKeyRecords(keys)
                                    : FormatKeyListing(keys, KeyringName(cx), cx.o.fingerprints);
    // A short write (a full disk under a redirection) may leave nothing for fflush to report.
    errno = 0;
    const bool whole = std::fwrite(listing.data(), 1, listing.size(), stdout) == listing.size();
    if (!whole || std::fflush(stdout) != 0 || std::ferror(stdout))
        Fail(kFileError, "Cannot write the key listing: " +
                             std::string(errno != 0 ? std::strerror(errno) : "short write") + ".");
    if (!names.empty() && keys.empty()) {
        Say("No key matching '" + names[0] + "' found.");
        return kNoMatch;
    }
    // What was shown may lack keys: a listing taken for the whole key ring would lose them.
    if (names.empty() && !problem.empty()) {
        Say("The key ring could not be read in full: " + problem + ".");
        return kFileError;
    }
    return kOk;
}

int DoKeyExtract(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 3)
        UseKeyring(cx, 2);
    if (a.empty())
        Fail(kBadArguments, "No user ID given to extract.");
    const ListedKey key = FindOneKey(cx, a[0]);
    std::string file = a.size() >= 2 ? a[1] : std::string();
    if (file.empty()) {
        if (cx.o.batch || !cx.term->canAsk())
            Fail(kBadArguments, "No file name given to extract the key into.");
        const auto answer = cx.term->readLine("\nExtract the above key into which file? ", true);
        if (!answer || answer->empty())
            Fail(kBadArguments, "No file name given; nothing extracted.");
        file = *answer;
    }
    if (!HasExtension(file))
        file += cx.o.armor ? ".asc" : ".pgp";
    file = ConfirmOutputName(cx, file, {});
    OutputFile out(file);
    GpgCall call;
    call.args = BaseArgs(cx);
    if (IsLegacyKey(key))
        call = LegacyCall(cx);
    if (cx.o.armor)
        call.args.push_back("--armor");
    call.args.insert(call.args.end(), {"--export", "--output", out.temp(), "--", key.fingerprint});
    const GpgResult r = Run(cx, call);
    struct stat st
    {
    };
    if (r.exitCode != 0 || ::stat(out.temp().c_str(), &st) != 0 || st.st_size == 0)
        Fail(kKeyError, "Extracting key '" + a[0] + "' failed: " + FailureText(r) + ".");
    out.commit(false);
    Say("Key extracted to file '" + file + "'.");
    return kOk;
}

int DoKeyAdd(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    if (a.empty())
        Fail(kBadArguments, "No key file given.");
    struct stat st
    {
    };
    if (::stat(a[0].c_str(), &st) != 0)
        Fail(kNotFound, "Key file '" + a[0] + "' does not exist.");
    if (!S_ISREG(st.st_mode))
        Fail(kInvalidFile, "'" + a[0] + "' is not a regular file.");
    const LegacyAdd old = AddLegacyKeys(cx, a[0]);
    if (old.onlyOld)
        return old.code;
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--import", "--", a[0]});
    const GpgResult r = Run(cx, call);
    if (r.arg("IMPORT_RES").rfind("0 ", 0) == 0 || (r.has("NODATA") && !r.has("IMPORT_RES")))
        Fail(kInvalidFile, "'" + a[0] + "' holds no keys.");
    if (!r.has("IMPORT_RES") || (r.exitCode != 0 && !r.has("IMPORT_OK")))
        Fail(kKeyError, "Adding keys from '" + a[0] + "' failed: " + FailureText(r) + ".");
    // Success when anything at all was added, by either GnuPG.
    return ReportImport(cx, r, a[0], old.added, old.tally);
}

int DoKeyRemove(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    if (a.empty())
        Fail(kBadArguments, "No user ID given to remove.");
    const ListedKey key = FindOneKey(cx, a[0]);
    const bool own = HasSecretKey(cx, key.fingerprint);
    if (cx.o.batch || !cx.term->canAsk()) {
        std::fputs(Printable(FormatKey(key, false), true).c_str(), stderr);
        Fail(kKeyError,
             "Key '" + a[0] + "' not removed: removing a key needs a yes on the terminal.");
    }
    if (!cx.term->askYes(FormatKey(key, false) +
                         "\nAre you sure you want this key removed (y/N)? "))
        Fail(kKeyError, "Key '" + a[0] + "' not removed.");
    // Secret keys live with the agent, shared by every ring: removing a copy from a named ring
    // must not take the secret key away from the default ring.
    const bool removeSecret = own && !cx.keyring;
    if (removeSecret &&
        !cx.term->askYes("This key has a secret key too; remove it as well (y/N)? "))
        Fail(kKeyError,
             "Key '" + a[0] + "' not removed: its secret key stays, so its public key stays.");
    if (IsLegacyKey(key))
        return RemoveLegacyKey(cx, key, removeSecret);
    GpgCall call;
    std::string scratchHome;
    if (own && cx.keyring) {
        // gpg refuses to drop a public key whose secret key the agent holds; an empty home with
        // no agent lets it act on the named ring alone.
        char pattern[] = "/tmp/zorvex-pgp-XXXXXX";
        if (!::mkdtemp(pattern))
            Fail(kFileError,
                 "Cannot create a scratch directory: " + std::string(std::strerror(errno)) + ".");
        scratchHome = pattern;
        call.args = {"--homedir", scratchHome, "--no-autostart"};
    }
    const auto base = BaseArgs(cx);
    call.args.insert(call.args.end(), base.begin(), base.end());
    call.args.insert(
        call.args.end(),
        {removeSecret ? "--delete-secret-and-public-key" : "--delete-keys", "--", key.fingerprint});
    const GpgResult r = Run(cx, call);
    if (!scratchHome.empty())
        RemoveTree(scratchHome);
    if (r.exitCode != 0)
        Fail(kKeyError, "Removing key '" + a[0] + "' failed: " + FailureText(r) + ".");
    Say(removeSecret ? "Key and secret key removed." : "Key removed from key ring.");
    return kOk;
}

int DoKeyDisable(Context &cx)
{
    auto &a = cx.o.args;
    if (a.empty())
        Fail(kBadArguments, "No user ID given.");
    const ListedKey key = FindOneKey(cx, a[0]);
    if (HasSecretKey(cx, key.fingerprint)) {
        std::fputs(Printable(FormatKey(key, false), true).c_str(), stderr);
        if (IsLegacyKey(key))
            return RevokeLegacyKey(cx, key, GivenPassphrases(cx, true));
        return RunInteractiveEdit(cx, "Revoking key '" + a[0] + "'",
                                  {"--edit-key", key.fingerprint, "revkey", "save"}, std::nullopt,
                                  true);
    }
    if (cx.o.batch || !cx.term->canAsk()) {
        std::fputs(Printable(FormatKey(key, false), true).c_str(), stderr);
        Fail(kKeyError, "Key '" + a[0] + "' unchanged: this needs a yes on the terminal.");
    }
    const bool enable = key.disabled;
    if (!cx.term->askYes(FormatKey(key, false) +
                         (enable
                              ? "\nKey is disabled.  Do you want to enable this key again (y/N)? "
                              : "\nDisable this key (y/N)? ")))
        Fail(kKeyError, "Key '" + a[0] + "' unchanged.");
    GpgCall call;
    call.args = BaseArgs(cx);
    if (IsLegacyKey(key))
        call = LegacyCall(cx);
    call.args.insert(call.args.end(),
                     {"--edit-key", key.fingerprint, enable ? "enable" : "disable", "save"});
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        Fail(kKeyError, "Changing key '" + a[0] + "' failed: " + FailureText(r) + ".");
    Say(enable ? "Key enabled." : "Key disabled.");
    return kOk;
}

int DoKeyGenerate(Context &cx)
{
    return RunInteractiveEdit(cx, "Key generation", {"--full-generate-key"});
}

int DoKeyRemoveSigs(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    const ListedKey key = FindOneKey(cx, a.empty() ? std::string() : a[0]);
    return RunInteractiveEdit(cx, "Removing signatures",
                              {"--edit-key", key.fingerprint, "uid *", "delsig", "save"},
                              std::nullopt, false, IsLegacyKey(key));
}

int DoKeyEdit(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    std::string name = a.empty() ? std::string() : a[0];
    if (name.empty() && !cx.o.batch && cx.term->canAsk()) {
        const auto answer = cx.term->readLine("Enter the user ID of the key to edit: ", true);
        name = answer.value_or(std::string());
    }
    const ListedKey key = FindOneKey(cx, name);
    return RunInteractiveEdit(cx, "Editing key '" + name + "'", {"--edit-key", key.fingerprint},
                              std::nullopt, false, IsLegacyKey(key), true);
}

int DoKeySign(Context &cx)
{
    auto &a = cx.o.args;
    if (a.size() >= 2)
        UseKeyring(cx, 1);
    const ListedKey key = FindOneKey(cx, a.empty() ? std::string() : a[0]);
    std::optional<std::string> signer;
    if (cx.o.user && !cx.o.user->empty())
        signer = IsLegacyKey(key) ? *cx.o.user : ResolveKeyName(cx, *cx.o.user);
    if (!IsLegacyKey(key))
        return SignKey(cx, key, a[0], signer);
    // GnuPG 1.4 signs a version 3 key with a key of its own ring only.
    return RunInteractiveEdit(cx, "Signing key '" + a[0] + "'",
                              {"--edit-key", key.fingerprint, "sign", "save"}, signer, true,
                              IsLegacyKey(key));
}

} // namespace zpgp
