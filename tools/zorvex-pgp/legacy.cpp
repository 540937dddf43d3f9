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

// What PGP 2.x reads: no integrity packet, version 3 signatures, IDEA, MD5, ZIP compression.
const std::vector<std::string> kOldFormat = {"--rfc1991",
                                             "--disable-mdc",
                                             "--force-v3-sigs",
                                             "--cipher-algo",
                                             "IDEA",
                                             "--digest-algo",
                                             "MD5",
                                             "--compress-algo",
                                             "1",
                                             "--trust-model",
                                             "always"};

std::string GnupgHome()
{
    if (const char *g = std::getenv("GNUPGHOME"); g && *g)
        return g;
    const char *h = std::getenv("HOME");
    return std::string(h ? h : "") + "/.gnupg";
}

// The legacy ring holds something; until then no hook runs gpg1 at all.
bool LegacyRingInUse()
{
    struct stat st
    {
    };
    return ::stat((LegacyHome() + "/pubring.gpg").c_str(), &st) == 0 && st.st_size > 0;
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

void WriteFile(const std::string &path, const std::string &data)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC | O_NOFOLLOW);
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
                                  bool secret, bool namedRing = false)
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

// Signature first, then the data, nothing missing: how PGP 2.x wrote a signed message.
bool WholeOldOrderMessage(const std::string &input)
{
    const std::string head = ReadWholeFile(input, 1 << 16);
    return ClassifySignature(head) == SignatureLayout::Leading && !ReadPacketFacts(head).cut;
}

[[noreturn]] void OldSignFailure(const LegacyCryptJob &job, const GpgResult &r)
{
    if (NeedsPassphraseAgain(r))
        Fail(kSignError, "Signing '" + job.input + "' failed: bad or missing pass phrase.");
    Fail(kSignError,
         "Signing '" + job.input + "' with a PGP 2.x key failed: " + FailureText(r) + ".");
}

// PGP 2.x put the signature before the literal data; gpg1 only writes it after, which neither
// PGP 2.x nor gpg1 itself reads back. So the signature is made detached and the message is
// put together here.
std::string OldSignedMessage(Context &cx, const LegacyCryptJob &job, const GpgCall &base,
                             const std::string &scratchName)
{
    OutputFile sig(scratchName);
    GpgCall call = base;
    if (job.text)
        call.args.push_back("--textmode");
    call.args.insert(call.args.end(), {"--detach-sign", "--output", sig.temp(), "--", job.input});
    const GpgResult r = RunWithSecretKey(cx, call, false);
    if (r.exitCode != 0 || !r.has("SIG_CREATED"))
        OldSignFailure(job, r);
    struct stat st
    {
    };
    const auto mtime = ::stat(job.input.c_str(), &st) == 0 ? st.st_mtime : std::time(nullptr);
    const std::string name = cx.o.eyesOnly ? "_CONSOLE" : BaseName(job.input);
    return ReadWholeFile(sig.temp(), SIZE_MAX) + LiteralPacket(name, job.text ? 't' : 'b',
                                                               static_cast<std::uint32_t>(mtime),
                                                               ReadWholeFile(job.input, SIZE_MAX));
}

// gpg1 encrypts `input` into `outTemp`, to the recipients or, for -c, with a pass phrase.
void OldEncrypt(Context &cx, const LegacyCryptJob &job, GpgCall call, const std::string &input,
                const std::string &outTemp)
{
    const Options &o = cx.o;
    if (o.armor)
        call.args.push_back("--armor");
    if (o.conventional) {
        // No session key packet: PGP 2.x takes the MD5 of the pass phrase as the IDEA key.
        call.args.insert(call.args.end(),
                         {"--s2k-mode", "0", "--s2k-digest-algo", "MD5", "--symmetric"});
        call.passphrase = ConventionalPassphrase(cx);
    } else {
        call.args.push_back("--encrypt");
        for (const std::string &r : job.recipients)
            call.args.insert(call.args.end(), {"--recipient", r});
    }
    call.args.insert(call.args.end(), {"--output", outTemp, "--", input});
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0 || !r.has("END_ENCRYPTION"))
        Fail(o.conventional ? kConventionalError : kEncryptError,
             "Encrypting '" + job.input + "' failed: " + FailureText(r) + ".");
}

} // namespace

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
    Say(std::string(one ? "A PGP 2.x key (version 3)" : "PGP 2.x keys (version 3)") + " from '" +
        file + "' added to the key ring '" + ring + "' (gpg1: " + r.arg("IMPORT_RES") + ").");
    result.added = true;
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

bool DecryptWithGpg1First(const Context &cx, const std::string &input)
{
    constexpr std::size_t kLimit = 1 << 20;
    const std::string head = ReadWholeFile(input, kLimit);
    const PacketFacts facts = ReadPacketFacts(head);
    // A file that merely starts with the right byte is no message: its packets must fit it
    // (unless only its start was read).
    if (facts.oldConventional() && (!facts.cut || head.size() >= kLimit)) {
        if (!HaveGpg1())
            Fail(kConventionalDecrypt,
                 "'" + input + "' is a PGP 2.x message (IDEA): install gnupg1 to read it.");
        return true;
    }
    if (facts.recipients.empty() || !LegacyRingInUse() || !HaveGpg1())
        return false;
    for (const ListedKey &k : ListLegacy(cx, {}, true)) {
        for (const std::string &id : facts.recipients) {
            if (k.keyId == id)
                return true;
        }
    }
    return false;
}

bool RetryWithGpg1(const Context &cx, const GpgResult &r, const std::string &input)
{
    // ERRSIG <keyid> <pkalgo> <hashalgo> <class> <time> <rc> [<fingerprint>]: the fingerprint
    // is "-" when GnuPG 2 does not have the key (older versions leave it out and say rc 9).
    const std::vector<std::string> errsig = Words(r.arg("ERRSIG"));
    const bool md5 = errsig.size() > 2 && errsig[2] == "1";
    const bool keyInGpg2 =
        errsig.size() > 6 ? errsig[6] != "-" : errsig.size() > 5 && errsig[5] != "9";
    // An MD5 signature by a key GnuPG 2 holds is today's key with an old digest: gpg1 could
    // not check it either, as it has no such key, so GnuPG 2's verdict stands.
    if (md5 && !keyInGpg2) {
        if (!HaveGpg1())
            Fail(kSignatureCheck,
                 "'" + input + "' has a PGP 2.x signature (MD5): install gnupg1 to check it.");
        return LegacyHasKey(cx, errsig[0]);
    }
    // The PGP 2.x order (signature before the data) that GnuPG 2 did not follow; a message cut
    // short fails the same way in GnuPG 2 and must not be read a second time.
    if (r.exitCode != 0 && r.has("PLAINTEXT") && !r.has("NEWSIG") && !r.has("BEGIN_DECRYPTION") &&
        WholeOldOrderMessage(input)) {
        if (!HaveGpg1())
            Fail(kSignatureCheck,
                 "'" + input + "' has a PGP 2.x signature (MD5): install gnupg1 to check it.");
        return true;
    }
    if (r.has("NO_SECKEY") && !r.has("DECRYPTION_OKAY") && !HaveGpg1() &&
        ReadPacketFacts(ReadWholeFile(input, 1 << 20)).oldPublicKey())
        Fail(kPublicDecrypt,
             "'" + input + "' looks like a PGP 2.x message (IDEA): install gnupg1 to read it.");
    return false;
}

std::string Gpg1Note(const std::string &input)
{
    return "'" + input + "' uses PGP 2.x algorithms (IDEA, MD5); GnuPG 1.4 reads it.";
}

std::string WithGpg1Note(const std::string &message)
{
    return message + " It uses PGP 2.x algorithms (IDEA, MD5), read through GnuPG 1.4.";
}

GpgResult DecryptWithGpg1(Context &cx, const std::string &input, const std::string &outTemp)
{
    GpgCall call = LegacyCall(cx);
    call.args.insert(call.args.end(), {"--decrypt", "--output", outTemp, "--", input});
    GpgResult r = RunWithSecretKey(cx, call, true);
    // Under a wrong pass phrase IDEA data decrypts to noise that gpg1 skips without a word and
    // reports success; only the missing plaintext tells.
    for (int attempt = 0; r.has("NEED_PASSPHRASE_SYM") && !r.has("PLAINTEXT"); ++attempt) {
        std::optional<std::string> p;
        if (attempt < 3 && !cx.o.batch && cx.term->canAsk()) {
            if (attempt > 0)
                Say("Error:  Bad pass phrase.");
            p = cx.term->readLine("\nEnter pass phrase: ", cx.o.showpass);
        }
        if (!p) {
            r.status.push_back("BAD_PASSPHRASE");
            r.exitCode = 2;
            r.errors = "gpg: bad pass phrase\n";
            break;
        }
        call.passphrase = *p;
        r = Run(cx, call);
    }
    return r;
}

GpgResult VerifyWithGpg1(Context &cx, const std::string &sig, const std::string &data)
{
    GpgCall call = LegacyCall(cx);
    call.args.insert(call.args.end(), {"--verify", "--", sig, data});
    return Run(cx, call);
}

bool LegacyCrypt(Context &cx, const LegacyCryptJob &job, const std::string &outTemp)
{
    if (!LegacyRingInUse())
        return false;
    const Options &o = cx.o;
    if (!HaveGpg1()) {
        // Without gpg1 its ring cannot be read; a name GnuPG 2 does not know may be in it.
        for (const std::string &r : o.encrypt ? job.recipients : std::vector<std::string>()) {
            if (ListKeys(cx, {r}).empty())
                Fail(kEncryptError, "No public key for '" + r + "'; if it is a PGP 2.x key " +
                                        "(version 3) in '" + LegacyHome() +
                                        "', install gnupg1 to use it.");
        }
        return false;
    }
    int oldKeys = 0, otherKeys = 0;
    std::string oldName;
    auto classify = [&](const std::string &name) {
        if (!ListKeys(cx, {name}).empty()) {
            ++otherKeys;
        } else if (const auto k = FindLegacyKey(cx, name)) {
            ++oldKeys;
            if (oldName.empty())
                oldName = k->userIds.empty() ? name : k->userIds.front();
        } else {
            ++otherKeys;
        }
    };
    if (o.encrypt) {
        for (const std::string &r : job.recipients)
            classify(r);
    }
    if (o.sign && job.signer)
        classify(*job.signer);
    if (oldKeys == 0)
        return false;
    if (otherKeys > 0)
        Fail(o.encrypt ? kEncryptError : kSignError,
             "A PGP 2.x key (version 3) cannot be used together with newer keys in one "
             "message; use them separately.");
    // PGP 2.x had no message that opens both with a pass phrase and with a key.
    if (o.conventional && o.encrypt)
        Fail(kEncryptError, "A PGP 2.x key (version 3) cannot be used in a message that is "
                            "encrypted both conventionally and to public keys.");
    const bool encrypted = o.encrypt || o.conventional;
    const char *algorithms = !encrypted ? "MD5" : o.sign ? "IDEA and MD5" : "IDEA";
    Say("WARNING: '" + oldName + "' is a PGP 2.x key (version 3): the " +
        (encrypted ? "message" : "signature") + " uses " + algorithms +
        ", weaker than today's algorithms, so that PGP 2.x can read it.");

    GpgCall base = LegacyCall(cx);
    base.args.insert(base.args.end(), kOldFormat.begin(), kOldFormat.end());
    if (job.signer)
        base.args.insert(base.args.end(), {"--local-user", *job.signer});

    if (job.clearsign || (o.detach && !encrypted)) {
        GpgCall call = base;
        if (o.armor || job.clearsign)
            call.args.push_back("--armor");
        if (job.text && !job.clearsign)
            call.args.push_back("--textmode");
        call.args.insert(call.args.end(), {job.clearsign ? "--clearsign" : "--detach-sign",
                                           "--output", outTemp, "--", job.input});
        const GpgResult r = RunWithSecretKey(cx, call, false);
        if (r.exitCode != 0 || !r.has("SIG_CREATED"))
            OldSignFailure(job, r);
        return true;
    }
    if (o.detach) {
        // -esb, -cb: only the detached signature is encrypted, under the name it would have.
        OutputFile sig(outTemp + ".sig");
        GpgCall call = base;
        if (job.text)
            call.args.push_back("--textmode");
        call.args.insert(call.args.end(),
                         {"--detach-sign", "--output", sig.temp(), "--", job.input});
        const GpgResult r = RunWithSecretKey(cx, call, false);
        if (r.exitCode != 0 || !r.has("SIG_CREATED"))
            OldSignFailure(job, r);
        GpgCall enc = base;
        enc.args.insert(enc.args.end(),
                        {"--set-filename", BaseName(DefaultOutputName(job.input, ".sig"))});
        OldEncrypt(cx, job, enc, sig.temp(), outTemp);
        return true;
    }
    if (o.sign) {
        const std::string signedMessage = OldSignedMessage(cx, job, base, outTemp + ".sig");
        if (!encrypted) {
            WriteFile(outTemp, o.armor ? Armor(signedMessage, "MESSAGE") : signedMessage);
            return true;
        }
        OutputFile plain(outTemp + ".signed");
        WriteFile(plain.temp(), signedMessage);
        // The signed message is already packets: gpg1 only compresses and encrypts it.
        GpgCall enc = base;
        enc.args.push_back("--no-literal");
        OldEncrypt(cx, job, enc, plain.temp(), outTemp);
        return true;
    }
    GpgCall enc = base;
    if (job.text)
        enc.args.push_back("--textmode");
    if (o.eyesOnly)
        enc.args.insert(enc.args.end(), {"--for-your-eyes-only", "--set-filename", "_CONSOLE"});
    OldEncrypt(cx, job, enc, job.input, outTemp);
    return true;
}

} // namespace zpgp
