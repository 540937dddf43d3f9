#include "legacy.h"

#include "files.h"
#include "oldpackets.h"
#include "passphrase.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace zpgp {

namespace {
std::string GnupgHome()
{
    if (const char *g = std::getenv("GNUPGHOME"); g && *g)
        return g;
    const char *h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.gnupg";
}

// GnuPG 2's key box format: "KBXf" in its first blob's header.
bool IsKeybox(const std::string &path)
{
    const std::string head = ReadWholeFile(path, 12);
    return head.size() >= 12 && head.compare(8, 4, "KBXf") == 0;
}

void MakePrivateDir(const std::string &dir)
{
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST)
        Fail(kFileError, "Cannot create '" + dir + "': " + std::strerror(errno) + ".");
}

void EnsureLegacyHome()
{
    MakePrivateDir(GnupgHome());
    MakePrivateDir(LegacyHome());
    // gpg1 warns about (and a PGP 2.x secret ring deserves) nothing looser than 0700.
    ::chmod(LegacyHome().c_str(), 0700);
}

} // namespace

// The legacy ring holds something; until then no hook runs gpg1 at all.
bool LegacyRingInUse()
{
    struct stat st
    {
    };
    return ::stat((LegacyHome() + "/pubring.gpg").c_str(), &st) == 0 && st.st_size > 0;
}

// `path` is an OutputFile's /dev/fd name, so it reaches that file and no other.
void WriteFile(const std::string &path, const std::string &data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
    bool ok = fd >= 0;
    for (std::size_t done = 0; ok && done < data.size();) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        ok = n > 0;
        done += ok ? static_cast<std::size_t>(n) : 0;
    }
    if (fd >= 0 && ::close(fd) != 0)
        ok = false;
    if (!ok)
        Fail(kFileError, "Cannot write '" + path + "': " + std::strerror(errno) + ".");
}

std::vector<ListedKey> ListLegacy(const Context &cx, const std::vector<std::string> &names,
                                  bool secret, bool namedRing)
{
    GpgCall call = LegacyCall(cx);
    if (namedRing && cx.keyring)
        call.args.insert(call.args.end(), {"--no-default-keyring", "--keyring", *cx.keyring});
    call.args.insert(call.args.end(), {"--with-colons", "--fixed-list-mode", "--with-fingerprint",
                                       secret ? "--list-secret-keys" : "--list-keys", "--"});
    call.args.insert(call.args.end(), names.begin(), names.end());
    call.captureOutput = true;
    std::vector<ListedKey> keys;
    for (ListedKey &k : ParseColonListing(Run(cx, call).output)) {
        if (IsLegacyKey(k))
            keys.push_back(std::move(k));
    }
    return keys;
}

// The version 3 key with this 16-digit key ID is in the legacy ring.
bool LegacyHasKey(const Context &cx, const std::string &keyId)
{
    if (keyId.size() != 16 || !LegacyRingInUse() || !HaveGpg1())
        return false;
    for (const ListedKey &k : ListLegacy(cx, {keyId}, false)) {
        if (k.keyId == keyId)
            return true;
    }
    return false;
}

std::string Gpg1Program()
{
    const char *env = std::getenv("ZORVEX_GPG1");
    return env && *env ? env : "gpg1";
}

bool HaveGpg1()
{
    const std::string program = Gpg1Program();
    if (program.find('/') != std::string::npos)
        return ::access(program.c_str(), X_OK) == 0;
    const char *path = std::getenv("PATH");
    std::string dirs = path ? path : "/usr/bin:/bin";
    std::size_t pos = 0;
    while (pos <= dirs.size()) {
        std::size_t end = dirs.find(':', pos);
        if (end == std::string::npos)
            end = dirs.size();
        const std::string dir = end > pos ? dirs.substr(pos, end - pos) : ".";
        if (::access((dir + "/" + program).c_str(), X_OK) == 0)
            return true;
        pos = end + 1;
    }
    return false;
}

std::string LegacyHome()
{
    return GnupgHome() + "/zorvex-legacy";
}

bool IsLegacyKey(const ListedKey &key)
{
    return key.fingerprint.size() == 32;
}

GpgCall LegacyCall(const Context &cx)
{
    GpgCall call;
    call.program = Gpg1Program();
    call.loopback = false;
    call.args = {"--homedir",     LegacyHome(), "--no-use-agent", "--allow-weak-digest-algos",
                 "--no-greeting", "--batch",    "--no-tty",       "--yes"};
    if (cx.o.verbose == 0)
        call.args.push_back("--quiet");
    else if (cx.o.verbose >= 2)
        call.args.push_back("--verbose");
    return call;
}

GpgCall LegacyEditCall(const Context &cx, const std::optional<std::string> &passphrase)
{
    if (!HaveGpg1())
        Fail(kKeyError, "A PGP 2.x key (version 3): install gnupg1 to use it.");
    GpgCall call;
    call.program = Gpg1Program();
    call.loopback = false;
    call.interactive = true;
    call.passphrase = passphrase;
    call.args = {"--homedir",
                 LegacyHome(),
                 "--no-use-agent",
                 "--allow-weak-digest-algos",
                 "--force-v3-sigs",
                 "--cert-digest-algo",
                 "MD5"};
    if (cx.o.verbose == 0)
        call.args.push_back("--quiet");
    return call;
}

LegacyAdd AddLegacyKeys(Context &cx, const std::string &file)
{
    const OldKeySplit split = SplitOldKeys(ReadWholeFile(file, SIZE_MAX));
    LegacyAdd result;
    if (split.oldCount == 0)
        return result;
    result.onlyOld = split.otherCount == 0;
    const bool one = split.oldCount == 1;
    if (!HaveGpg1()) {
        Say("'" + file + "' holds " +
            (one ? "a PGP 2.x key (version 3): install gnupg1 to use it."
                 : std::to_string(split.oldCount) +
                       " PGP 2.x keys (version 3): install gnupg1 to use them."));
        result.code = kKeyError;
        return result;
    }
    // A named ring gets them itself, unless GnuPG 2 made it a key box, which gpg1 cannot write.
    const std::string ring = cx.keyring ? *cx.keyring : LegacyHome() + "/pubring.gpg";
    if (cx.keyring && IsKeybox(ring)) {
        Say("'" + file + "' holds " + (one ? "a PGP 2.x key" : "PGP 2.x keys") +
            " (version 3), which the key ring '" + ring +
            "' (a GnuPG 2 key box) cannot hold; not added. Add " + (one ? "it" : "them") +
            " without naming a key ring, or to a new one.");
        result.code = kKeyError;
        return result;
    }
    const bool ringExisted = Exists(ring);
    EnsureLegacyHome();
    // The keys go through a private scratch file: a secret ring must never be readable by others.
    OutputFile scratch(LegacyHome() + "/import");
    WriteFile(scratch.temp(), split.oldKeys);
    GpgCall call = LegacyCall(cx);
    // Secret halves stay in the legacy home, as GnuPG 2 keeps them with its agent.
    if (cx.keyring)
        call.args.insert(call.args.end(), {"--no-default-keyring", "--keyring", ring,
                                           "--secret-keyring", LegacyHome() + "/secring.gpg"});
    call.args.insert(call.args.end(), {"--import", "--", scratch.temp()});
    const GpgResult r = Run(cx, call);
    if (!r.has("IMPORT_OK")) {
        // gpg1 creates a named ring before it reads a key; a failure leaves none behind.
        struct stat st
        {
        };
        if (cx.keyring && !ringExisted && ::stat(ring.c_str(), &st) == 0 && st.st_size == 0)
            ::unlink(ring.c_str());
        Say("Adding the PGP 2.x keys (version 3) from '" + file + "' failed: " + FailureText(r) +
            ".");
        result.code = kKeyError;
        return result;
    }
    // Each key in the words GnuPG 2's keys get, with its own key ID (a version 3 key ID is not
    // the end of its fingerprint).
    std::vector<std::string> fingerprints;
    for (const std::string &line : r.status) {
        if (const auto w = Words(line); w.size() > 2 && w[0] == "IMPORT_OK")
            fingerprints.push_back(w[2]);
    }
    const auto listed = ListLegacy(cx, fingerprints, false, cx.keyring.has_value());
    for (const std::string &line : r.status) {
        const auto w = Words(line);
        if (w.size() < 3 || w[0] != "IMPORT_OK")
            continue;
        std::string label = "A PGP 2.x key";
        for (const ListedKey &k : listed) {
            if (k.fingerprint == w[2])
                label = "Key " + ShortId(k.keyId) +
                        (k.userIds.empty() ? "" : " \"" + k.userIds.front() + "\"");
        }
        ReportImportedKey(std::atol(w[1].c_str()), label, w[2], result.tally);
    }
    result.added = true;
    if (result.onlyOld)
        result.code = ReportImportSummary(result.tally, cx.keyring ? ring : std::string(), file);
    return result;
}

namespace {

// Whether a key ring holds a version 2 or 3 key. A binary ring (the usual kind, and large ones
// are binary) is looked through in place, packet header by packet header.
bool RingHoldsOldKeys(const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st;
    void *map = MAP_FAILED;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0)
        map = ::mmap(nullptr, static_cast<std::size_t>(st.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    ::close(fd);
    if (map == MAP_FAILED)
        return false;
    const std::string_view data(static_cast<const char *>(map),
                                static_cast<std::size_t>(st.st_size));
    bool found = false;
    if (static_cast<unsigned char>(data[0]) & 0x80) {
        std::size_t pos = 0;
        Packet p;
        while (!found && NextPacket(data, pos, p))
            found =
                (p.tag == 5 || p.tag == 6) && !p.body.empty() && (p.body[0] == 2 || p.body[0] == 3);
    } else {
        found = !FindOldKeys(data).empty();
    }
    ::munmap(map, static_cast<std::size_t>(st.st_size));
    return found;
}

} // namespace

void AppendLegacyKeys(const Context &cx, const std::vector<std::string> &names,
                      std::vector<ListedKey> &keys)
{
    const bool named = cx.keyring.has_value();
    if (!named && !LegacyRingInUse())
        return;
    if (!HaveGpg1()) {
        if (!named)
            Say("The PGP 2.x keys (version 3) in '" + LegacyHome() +
                "' are not listed: install gnupg1 to use them.");
        return;
    }
    if (named) {
        // gpg1 checks every signature of a ring it reads, which takes many times as long as the
        // listing itself: only a ring that holds version 3 keys is worth it.
        if (!RingHoldsOldKeys(*cx.keyring))
            return;
        EnsureLegacyHome(); // gpg1 wants its home even for a ring elsewhere
    }
    for (ListedKey &k : ListLegacy(cx, names, false, named))
        keys.push_back(std::move(k));
}

std::optional<ListedKey> FindLegacyKey(const Context &cx, const std::string &name)
{
    if (name.empty() || !LegacyRingInUse() || !HaveGpg1())
        return std::nullopt;
    auto keys = ListLegacy(cx, {name}, false);
    if (IsShortKeyId(name)) {
        const auto m = MatchShortKeyId(keys, name);
        if (m.size() > 1)
            Fail(kInvalidFile, "Key ID " + name + " matches " + std::to_string(m.size()) +
                                   " keys; give the full fingerprint.");
        return m.empty() ? std::nullopt : std::optional<ListedKey>(*m.front());
    }
    return keys.empty() ? std::nullopt : std::optional<ListedKey>(keys.front());
}

bool LegacyHasSecretKey(const Context &cx, const std::string &fingerprint)
{
    return HaveGpg1() && !ListLegacy(cx, {fingerprint}, true).empty();
}

int RemoveLegacyKey(Context &cx, const ListedKey &key, bool withSecret)
{
    GpgCall call = LegacyCall(cx);
    call.args.insert(
        call.args.end(),
        {withSecret ? "--delete-secret-and-public-key" : "--delete-keys", "--", key.fingerprint});
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        Fail(kKeyError, "Removing the PGP 2.x key failed: " + FailureText(r) + ".");
    Say(withSecret ? "Key and secret key removed." : "Key removed from key ring.");
    return kOk;
}

int RevokeLegacyKey(Context &cx, const ListedKey &key, const std::vector<std::string> &given)
{
    if (cx.o.batch)
        Fail(kBadArguments, "Revoking a key needs the terminal; not available under +batchmode.");
    if (!::isatty(0))
        Fail(kBadArguments, "Revoking a key needs a terminal.");
    OutputFile certificate(LegacyHome() + "/revoke");
    GpgCall call = LegacyEditCall(cx, given.empty() ? std::nullopt
                                                    : std::optional<std::string>(given.front()));
    call.args.insert(call.args.end(), {"--yes", "--armor", "--output", certificate.temp(),
                                       "--gen-revoke", key.fingerprint});
    if (Run(cx, call).exitCode != 0)
        Fail(kKeyError, "Revoking the PGP 2.x key failed.");
    GpgCall import = LegacyCall(cx);
    import.args.insert(import.args.end(), {"--import", "--", certificate.temp()});
    const GpgResult r = Run(cx, import);
    if (!r.has("IMPORT_OK"))
        Fail(kKeyError, "Revoking the PGP 2.x key failed: " + FailureText(r) + ".");
    Say("Key revoked.");
    return kOk;
}

} // namespace zpgp
