// Decrypting and checking signatures, detached ones included.

#include "commands.h"
#include "files.h"
#include "packets.h"
#include "passphrase.h"
#include "verdict.h"

#include <cstdint>
#include <cstdio>
#include <sys/stat.h>

namespace zpgp {

namespace {

// gpg's exit status has the last word: a check that did not run to its end is no good signature.
int DoVerifyDetached(Context &cx, const std::string &sig, const std::string &data)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--verify", "--", sig, data});
    GpgResult r = Run(cx, call);
    if (!HasSignatureVerdict(r)) {
        if (r.has("NODATA") && !r.has("NEWSIG"))
            Fail(kFileError, "'" + sig + "' holds no signature.");
        Fail(kSignatureCheck, "'" + sig + "' is not a detached signature of '" + data +
                                  "': " + FailureText(r) + ".");
    }
    Say("File '" + sig + "' is a detached signature of '" + data + "'.");
    const int code = ReportSignatures(r, sig);
    if (code == kOk && r.exitCode != 0)
        Fail(kSignatureCheck, "Checking '" + sig + "' failed: " + FailureText(r) + ".");
    return code;
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

    // A detached signature: check it against its file instead of decrypting. A signature that
    // is followed by its data (PGP 2.x wrote signed messages so) is a message like any other.
    if (ClassifySignature(ReadWholeFile(input, 1 << 16)) == SignatureLayout::Detached) {
        // As PGP 2.6 took them: "pgp letter.sig letter.txt" names the signed file.
        std::string data = o.args.size() >= 2 ? o.args[1] : DecryptOutputName(input);
        if (!Exists(data) && o.args.size() < 2 && !o.batch && cx.term->canAsk()) {
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

    if (!DataComplete(r))
        DecryptFailure(cx, r, input, out.finalName());
    const int sigResult = ReportSignatures(r, input);

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
