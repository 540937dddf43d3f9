// Encrypting and signing: -e -s -c -b and their mixes, armoured or not.

#include "commands.h"
#include "files.h"
#include "legacy.h"
#include "passphrase.h"
#include "verdict.h"

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace zpgp {

namespace {

// gpg refuses keys nobody certified; PGP asked the user instead. Only keys that exist, are not
// revoked and not disabled are offered, and never under +batchmode.
bool AcceptUncertified(Context &cx, const GpgResult &r)
{
    if (cx.o.batch || !cx.term->canAsk())
        return false;
    std::vector<std::string> names;
    for (const std::string &line : r.status) {
        if (line.rfind("INV_RECP ", 0) != 0)
            continue;
        const auto sp = line.find(' ', 9);
        if (sp == std::string::npos)
            return false;
        names.push_back(line.substr(sp + 1));
    }
    if (names.empty())
        return false;
    for (const std::string &name : names) {
        const auto keys = ListKeys(cx, {name});
        if (keys.empty() || keys.front().revoked || keys.front().disabled || keys.front().expired)
            return false;
        // The warning goes with the question: standard error may reach the terminal later.
        if (!cx.term->askYes(
                "\nWARNING:  Because this public key is not certified with a trusted\n"
                "signature, it is not known with high confidence that this public key\n"
                "actually belongs to: \"" +
                Printable(keys.front().userIds.empty() ? name : keys.front().userIds.front()) +
                "\".\n\nAre you sure you want to use this public key (y/N)? "))
            return false;
    }
    return true;
}

// What one encrypt or sign run works on, settled before gpg is first asked to do it.
struct CryptJob
{
    std::string input;
    bool text = false;
    bool clearsign = false;
    std::vector<std::string> recipients;
    std::optional<std::string> signer;
    std::vector<std::string> common;        // every call's arguments, the signer included
    std::vector<std::string> recipientArgs; // a "--recipient" for each recipient
};

// -t and -m want text; a file that is not text is refused for -m and sent as binary otherwise.
bool TreatAsText(const Options &o, const std::string &input)
{
    bool text = o.text || o.eyesOnly;
    if (text && !IsTextFile(input)) {
        if (o.eyesOnly)
            Fail(kInvalidFile,
                 "'" + input + "' is not a pure text file; for-your-eyes-only needs text.");
        Say("Note: '" + input + "' is not a pure text file. File will be treated as binary data.");
        text = false;
    }
    return text;
}

// The recipients (asked for when -e named none) and the signer, short key IDs resolved.
void ChooseKeys(Context &cx, CryptJob &job)
{
    const Options &o = cx.o;
    if (o.encrypt && job.recipients.empty()) {
        if (o.batch || !cx.term->canAsk())
            Fail(kEncryptError, "No recipient given for encryption.");
        auto r = cx.term->readLine("\nA user ID is required to select the recipient's public key.\n"
                                   "Enter the recipient's user ID: ",
                                   true);
        if (!r || r->empty())
            Fail(kEncryptError, "No recipient given for encryption.");
        job.recipients.push_back(*r);
    }
    for (std::string &r : job.recipients)
        r = ResolveKeyName(cx, r);
    if (o.user && !o.user->empty())
        job.signer = ResolveKeyName(cx, *o.user);
}

std::string CryptOutputName(Context &cx, const CryptJob &job)
{
    const Options &o = cx.o;
    const char *extension = (o.detach && !o.armor)       ? ".sig"
                            : (o.armor || job.clearsign) ? ".asc"
                                                         : ".pgp";
    std::string outName = o.output ? *o.output : DefaultOutputName(job.input, extension);
    if (outName.empty())
        Fail(kBadArguments, "Empty output file name.");
    return ConfirmOutputName(cx, outName, job.input);
}

[[noreturn]] void SignFailure(const CryptJob &job, const GpgResult &r)
{
    if (r.has("INV_SGNR") || r.has("NO_SECKEY"))
        Fail(kSignError, "Signing '" + job.input + "' failed: no usable secret key" +
                             (job.signer ? " for '" + *job.signer + "'." : "."));
    if (NeedsPassphraseAgain(r))
        Fail(kSignError, "Signing '" + job.input + "' failed: bad or missing pass phrase.");
    Fail(kSignError, "Signing '" + job.input + "' failed: " + FailureText(r) + ".");
}

[[noreturn]] void EncryptFailure(const Context &cx, const CryptJob &job, const GpgResult &r)
{
    const std::string &input = job.input;
    if (r.has("INV_RECP")) {
        // INV_RECP <reason> <name>
        std::string who = r.arg("INV_RECP");
        const int reason = std::atoi(who.c_str());
        if (auto sp = who.find(' '); sp != std::string::npos)
            who = who.substr(sp + 1);
        const std::string failed = "Encrypting '" + input + "' failed: ";
        // gpg says "not found" for a key it passed over, so the key ring tells the reason.
        const auto keys = ListKeys(cx, {who});
        if (keys.empty())
            Fail(kEncryptError, failed + "no public key for '" + who + "' on the key ring.");
        const ListedKey &key = keys.front();
        if (reason == 4 || key.revoked)
            Fail(kEncryptError, failed + "the key of '" + who + "' has been revoked.");
        if (reason == 5 || key.expired)
            Fail(kEncryptError, failed + "the key of '" + who + "' has expired.");
        if (reason == 13 || key.disabled)
            Fail(kEncryptError, failed + "the key of '" + who + "' is disabled.");
        if (reason == 3 || reason == 1)
            Fail(kEncryptError, failed + "the key of '" + who + "' has no usable encryption key.");
        Fail(kEncryptError, failed + "the public key for '" + who +
                                "' is not certified; confirm it without +batchmode or "
                                "certify it with -ks.");
    }
    Fail(kEncryptError, "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
}

// -esb, -cb: only the signature is encrypted, so sign to a scratch file first.
void SignThenEncrypt(Context &cx, const CryptJob &job, OutputFile &out)
{
    const Options &o = cx.o;
    const std::string &input = job.input;
    OutputFile sig(out.finalName() + ".sig");
    GpgCall signCall;
    signCall.args = job.common;
    if (job.text)
        signCall.args.push_back("--textmode");
    signCall.args.insert(signCall.args.end(),
                         {"--detach-sign", "--output", sig.temp(), "--", input});
    GpgResult r = RunWithSecretKey(cx, signCall, false);
    FailOnWriteError(r, "Signing '" + input + "'", out.finalName());
    if (r.exitCode != 0 || !r.has("SIG_CREATED"))
        SignFailure(job, r);
    GpgCall encCall;
    encCall.args = job.common;
    if (o.armor)
        encCall.args.push_back("--armor");
    encCall.args.insert(encCall.args.end(),
                        {"--set-filename", BaseName(DefaultOutputName(input, ".sig"))});
    if (o.conventional) {
        encCall.args.insert(encCall.args.end(), {"--symmetric", "--no-symkey-cache"});
        encCall.passphrase = ConventionalPassphrase(cx);
    }
    if (o.encrypt) {
        encCall.args.push_back("--encrypt");
        encCall.args.insert(encCall.args.end(), job.recipientArgs.begin(), job.recipientArgs.end());
    }
    encCall.args.insert(encCall.args.end(), {"--output", out.temp(), "--", sig.temp()});
    r = Run(cx, encCall);
    FailOnWriteError(r, "Encrypting '" + input + "'", out.finalName());
    if (r.exitCode != 0 || !r.has("END_ENCRYPTION")) {
        if (o.encrypt)
            EncryptFailure(cx, job, r);
        Fail(kConventionalError, "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
    }
}

// Everything else is one gpg call on the input.
void SignOrEncrypt(Context &cx, const CryptJob &job, OutputFile &out)
{
    const Options &o = cx.o;
    const std::string &input = job.input;
    GpgCall call;
    call.args = job.common;
    if (o.armor || job.clearsign)
        call.args.push_back("--armor");
    if (job.text && !job.clearsign)
        call.args.push_back("--textmode");
    if (o.eyesOnly)
        call.args.insert(call.args.end(), {"--for-your-eyes-only", "--set-filename", "_CONSOLE"});
    if (job.clearsign)
        call.args.push_back("--clearsign");
    else if (o.detach)
        call.args.push_back("--detach-sign");
    else if (o.sign)
        call.args.push_back("--sign");
    if (o.conventional)
        call.args.insert(call.args.end(), {"--symmetric", "--no-symkey-cache"});
    if (o.encrypt) {
        call.args.push_back("--encrypt");
        call.args.insert(call.args.end(), job.recipientArgs.begin(), job.recipientArgs.end());
    }
    call.args.insert(call.args.end(), {"--output", out.temp(), "--", input});
    std::optional<std::string> conventionalPass;
    if (o.conventional)
        conventionalPass = ConventionalPassphrase(cx);
    auto runMain = [&](GpgCall c) {
        if (conventionalPass) {
            // One pass phrase reaches gpg per call; with -s too, the key must share it.
            c.passphrase = conventionalPass;
            return Run(cx, c);
        }
        return o.sign ? RunWithSecretKey(cx, c, false) : Run(cx, c);
    };
    GpgResult r = runMain(call);
    if (r.exitCode != 0 && o.encrypt && AcceptUncertified(cx, r)) {
        call.args.insert(call.args.begin(), {"--trust-model", "always"});
        r = runMain(call);
    }
    const bool signOnly = o.sign && !o.encrypt && !o.conventional;
    if (r.exitCode != 0) {
        FailOnWriteError(r,
                         (signOnly ? "Signing '"
                          : o.sign ? "Signing and encrypting '"
                                   : "Encrypting '") +
                             input + "'",
                         out.finalName());
        if (o.encrypt && r.has("INV_RECP"))
            EncryptFailure(cx, job, r);
        if (o.sign && (r.has("INV_SGNR") || r.has("NO_SECKEY") || NeedsPassphraseAgain(r) ||
                       !r.has("SIG_CREATED")))
            SignFailure(job, r);
        if (o.encrypt)
            EncryptFailure(cx, job, r);
        if (signOnly)
            SignFailure(job, r);
        Fail(kConventionalError, "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
    }
}

} // namespace

int DoCrypt(Context &cx)
{
    const Options &o = cx.o;
    CryptJob job;
    job.input = RequireInput(cx);
    job.recipients.assign(o.args.begin() + 1, o.args.end());
    job.text = TreatAsText(o, job.input);
    job.clearsign = o.sign && o.clearsig && o.text && o.armor && !o.encrypt && !o.detach &&
                    !o.conventional && job.text;
    ChooseKeys(cx, job);
    if (o.wipe)
        CheckWipeable(job.input);

    const std::string outName = CryptOutputName(cx, job);
    OutputFile out(outName);

    job.common = BaseArgs(cx);
    if (job.signer)
        job.common.insert(job.common.end(), {"--local-user", *job.signer});
    for (const std::string &r : job.recipients)
        job.recipientArgs.insert(job.recipientArgs.end(), {"--recipient", r});

    // PGP 2.x keys: GnuPG 1.4 writes the whole message.
    const bool old = LegacyCrypt(
        cx, {job.input, job.text, job.clearsign, job.recipients, job.signer, outName}, out.temp());
    if (!old && o.detach && (o.encrypt || o.conventional))
        SignThenEncrypt(cx, job, out);
    else if (!old)
        SignOrEncrypt(cx, job, out);

    if (Interrupted())
        Fail(kInterrupted, "Interrupted.");
    out.commitLike(job.input);
    if (o.verbose > 0)
        Say((job.clearsign                                ? "Clear signature file: "
             : o.detach || !(o.encrypt || o.conventional) ? "Signature file: "
                                                          : "Ciphertext file: ") +
            outName);
    if (o.wipe)
        WipeInput(job.input);
    return kOk;
}

} // namespace zpgp
