// Decrypting and checking signatures, detached ones included.

#include "commands.h"
#include "files.h"
#include "passphrase.h"

#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

namespace zpgp {

namespace {

void ReportSignature(const GpgResult &r)
{
    if (r.has("GOODSIG"))
        Say("Good signature from user \"" +
            r.arg("GOODSIG").substr(r.arg("GOODSIG").find(' ') + 1) + "\".");
}

int SignatureResult(const GpgResult &r, const std::string &input)
{
    if (r.has("BADSIG")) {
        Say("WARNING: Bad signature in '" + input + "', doesn't match file contents!");
        return kSignatureCheck;
    }
    if (r.has("ERRSIG")) {
        Say("Signature in '" + input +
            "' cannot be checked: the signer's public key is not on the key ring.");
        return kSignatureCheck;
    }
    ReportSignature(r);
    return kOk;
}

// A file that starts with a signature packet (or its armour) is a detached signature; an
// encrypted or signed message starts with another packet.
bool IsDetachedSignature(const std::string &path)
{
    const std::string head = ReadWholeFile(path, 64);
    if (head.rfind("-----BEGIN PGP SIGNATURE-----", 0) == 0)
        return true;
    if (head.empty())
        return false;
    const unsigned char b = static_cast<unsigned char>(head[0]);
    if (!(b & 0x80))
        return false;
    const int tag = (b & 0x40) ? (b & 0x3f) : ((b >> 2) & 0x0f);
    return tag == 2;
}

int DoVerifyDetached(Context &cx, const std::string &sig, const std::string &data)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--verify", "--", sig, data});
    GpgResult r = Run(cx, call);
    if (r.has("NODATA") && !r.has("NEWSIG"))
        Fail(kFileError, "'" + sig + "' holds no signature.");
    Say("File '" + sig + "' is a detached signature of '" + data + "'.");
    return SignatureResult(r, sig);
}

} // namespace

int DoDecrypt(Context &cx)
{
    Options &o = cx.o;
    if (o.args.empty())
        Fail(kBadArguments, "No input file given.");
    std::string input = o.args.front();
    if (!Exists(input) && !HasExtension(input) && !input.empty() && input != "-") {
        for (const char *ext : {".asc", ".pgp", ".sig"}) {
            if (Exists(input + ext)) {
                input += ext;
                break;
            }
        }
    }
    o.args.front() = input;
    RequireInput(cx);

    // A detached signature: check it against its file instead of decrypting.
    if (IsDetachedSignature(input)) {
        std::string data = DecryptOutputName(input);
        if (!Exists(data) && !o.batch && cx.term->canAsk()) {
            const auto answer = cx.term->readLine(
                "File '" + input +
                    "' has signature, but with no text.\n"
                    "Please enter filename of material that signature applies to: ",
                true);
            if (answer && !answer->empty())
                data = *answer;
        }
        struct stat st
        {
        };
        if (::stat(data.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
            Fail(kNotFound, "'" + input + "' is a detached signature, but its file '" + data +
                                "' does not exist.");
        return DoVerifyDetached(cx, input, data);
    }

    const bool restore = o.restoreName && !o.output;
    std::string planned = o.output ? *o.output : DecryptOutputName(input);
    if (planned.empty())
        Fail(kBadArguments, "Empty output file name.");
    if (!restore)
        planned = ConfirmOutputName(cx, planned, input);
    OutputFile out(restore ? cx.cwd + "/" + BaseName(planned) : planned);

    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--decrypt"});
    if (o.keepSignature)
        call.args.push_back("--unwrap");
    call.args.insert(call.args.end(), {"--output", out.temp(), "--", input});
    GpgResult r = RunWithSecretKey(cx, call, true);

    const bool symmetric =
        r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
    if (r.has("NODATA") && !r.has("PLAINTEXT") && !r.has("DECRYPTION_OKAY"))
        Fail(kFileError, "'" + input + "' is not a PGP file; nothing written.");
    if (r.has("NO_SECKEY") && !r.has("DECRYPTION_OKAY") && !r.has("NEED_PASSPHRASE"))
        Fail(kPublicDecrypt,
             "Cannot decrypt '" + input + "': you do not have the secret key needed.");
    if (r.has("DECRYPTION_FAILED") || r.has("BAD_PASSPHRASE") || r.has("MISSING_PASSPHRASE") ||
        (r.exitCode != 0 && !r.has("PLAINTEXT") && !r.has("BADSIG") && !r.has("ERRSIG"))) {
        if (r.has("DECRYPTION_FAILED") || r.has("BAD_PASSPHRASE") || r.has("MISSING_PASSPHRASE"))
            Fail(symmetric ? kConventionalDecrypt : kPublicDecrypt,
                 "Cannot decrypt '" + input + "': the pass phrase may be wrong (" + FailureText(r) +
                     ").");
        if (r.has("BEGIN_DECRYPTION"))
            Fail(symmetric ? kConventionalDecrypt : kPublicDecrypt,
                 "Cannot decrypt '" + input + "': " + FailureText(r) + ".");
        Fail(kInvalidFile, "Cannot process '" + input + "': " + FailureText(r) + ".");
    }
    const int sigResult = SignatureResult(r, input);

    // "PLAINTEXT <format> <time> <name>"
    std::string stored;
    {
        const std::string pt = r.arg("PLAINTEXT");
        std::size_t sp1 = pt.find(' ');
        std::size_t sp2 = sp1 == std::string::npos ? sp1 : pt.find(' ', sp1 + 1);
        if (sp2 != std::string::npos)
            stored = DecodePercent(pt.substr(sp2 + 1));
    }
    if (stored == "_CONSOLE" && !o.keepSignature) {
        // For your eyes only: show it, write nothing.
        const std::string text = ReadWholeFile(out.temp(), SIZE_MAX);
        out.discard();
        Say("This message is marked \"For your eyes only\": shown here, no file written.");
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return sigResult;
    }
    if (restore) {
        const std::string safe = SafeStoredName(stored);
        std::string name = safe.empty() ? BaseName(planned) : safe;
        if (!safe.empty() && safe != BaseName(stored))
            Say("Stored name '" + stored + "' reduced to '" + safe + "'.");
        name = ConfirmOutputName(cx, name, input);
        if (name.find('/') != std::string::npos && DirectoryOf(name) != ".")
            Fail(kFileError, "Output file '" + name + "' is outside the current directory.");
        out.setFinalName(name);
    }
    out.commit(true);
    if (o.verbose > 0)
        Say("Plaintext filename: " + out.finalName());

    if (o.keepbinary && input.size() > 4 && input.compare(input.size() - 4, 4, ".asc") == 0) {
        const std::string binName = ConfirmOutputName(cx, DefaultOutputName(input, ".pgp"), input);
        OutputFile bin(binName);
        GpgCall d;
        d.args = BaseArgs(cx);
        d.args.insert(d.args.end(), {"--dearmor", "--output", bin.temp(), "--", input});
        if (Run(cx, d).exitCode != 0)
            Fail(kFileError, "Cannot keep the binary form of '" + input + "'.");
        bin.commit(false);
    }
    return sigResult;
}

} // namespace zpgp
