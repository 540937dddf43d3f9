#include "legacy.h"

#include "files.h"
#include "oldpackets.h"
#include "passphrase.h"
#include "verdict.h"

#include <ctime>
#include <sys/stat.h>

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

// Signature first, then the data, nothing missing: how PGP 2.x wrote a signed message.
bool WholeOldOrderMessage(const std::string &input)
{
    const std::string head = ReadWholeFile(input, 1 << 16);
    return ClassifySignature(head) == SignatureLayout::Leading && !ReadPacketFacts(head).cut;
}

[[noreturn]] void OldSignFailure(const LegacyCryptJob &job, const GpgResult &r)
{
    FailOnWriteError(r, "Signing '" + job.input + "'", job.output);
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
    FailOnWriteError(r, "Encrypting '" + job.input + "'", job.output);
    if (r.exitCode != 0 || !r.has("END_ENCRYPTION"))
        Fail(o.conventional ? kConventionalError : kEncryptError,
             "Encrypting '" + job.input + "' failed: " + FailureText(r) + ".");
}

} // namespace

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
    // ERRSIG <keyid> <pkalgo> <hashalgo> <class> <time> <rc> [<fingerprint>]. The fingerprint
    // is "-" for every signature without the issuer's fingerprint in it (all PGP 2.x and gpg1
    // signatures), so only the rings tell where the signer's key is.
    const std::vector<std::string> errsig = Words(r.arg("ERRSIG"));
    if (errsig.size() > 2 && errsig[2] == "1") {
        if (HaveGpg1())
            return LegacyHasKey(cx, errsig[0]);
        // An MD5 signature by a key GnuPG 2 holds keeps GnuPG 2's verdict: gpg1 would need
        // that key in its own ring.
        if (ListKeys(cx, {errsig[0]}).empty())
            Fail(kSignatureCheck,
                 "'" + input + "' has a PGP 2.x signature (MD5): install gnupg1 to check it.");
        return false;
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
        if (attempt < 3 && !cx.o.batch && cx.term->hasTerminal()) {
            if (attempt > 0)
                Say("Error: Bad pass phrase.");
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
    auto classify = [&](const std::string &name, bool recipient) {
        if (!ListKeys(cx, {name}).empty()) {
            ++otherKeys;
        } else if (const auto k = FindLegacyKey(cx, name)) {
            ++oldKeys;
            // gpg1 would only say the key is unusable; the key ring says why.
            if (recipient && (k->revoked || k->expired || k->disabled))
                Fail(kEncryptError, "Encrypting '" + job.input + "' failed: the key of '" + name +
                                        (k->revoked   ? "' has been revoked."
                                         : k->expired ? "' has expired."
                                                      : "' is disabled."));
            if (oldName.empty())
                oldName = k->userIds.empty() ? name : k->userIds.front();
        } else {
            ++otherKeys;
        }
    };
    if (o.encrypt) {
        for (const std::string &r : job.recipients)
            classify(r, true);
    }
    if (o.sign && job.signer)
        classify(*job.signer, false);
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
        OutputFile sig(LegacyHome() + "/sig");
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
        const std::string signedMessage = OldSignedMessage(cx, job, base, LegacyHome() + "/sig");
        if (!encrypted) {
            WriteFile(outTemp, o.armor ? Armor(signedMessage, "MESSAGE") : signedMessage);
            return true;
        }
        // Plaintext: kept in the private home, not beside the output.
        OutputFile plain(LegacyHome() + "/signed");
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
