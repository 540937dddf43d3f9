// Decrypting and checking signatures, detached ones included.

#include "commands.h"
#include "files.h"
#include "legacy.h"
#include "packets.h"
#include "passphrase.h"
#include "printable.h"
#include "report.h"
#include "verdict.h"

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>

namespace zpgp {

namespace {

// gpg's exit status has the last word: a check that did not run to its end is no good signature.
int DoVerifyDetached(Context &cx, const std::string &sig, const std::string &data)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--verify", "--", sig, data});
    GpgResult r = Run(cx, call);
    const bool viaGpg1 = RetryWithGpg1(cx, r, sig);
    if (viaGpg1)
        r = VerifyWithGpg1(cx, sig, data);
    if (!HasSignatureVerdict(r)) {
        if (r.has("NODATA") && !r.has("NEWSIG"))
            Fail(kFileError, "'" + sig + "' holds no signature.");
        const std::string why =
            "'" + sig + "' is not a detached signature of '" + data + "': " + FailureText(r) + ".";
        Fail(kSignatureCheck, viaGpg1 ? WithGpg1Note(why) : why);
    }
    if (viaGpg1)
        Say(Gpg1Note(sig));
    Say("File '" + sig + "' is a detached signature of '" + data + "'.");
    const int code = ReportSignatures(r, sig);
    if (code == kOk && r.exitCode != 0)
        Fail(kSignatureCheck, "Checking '" + sig + "' failed: " + FailureText(r) + ".");
    return code;
}

// "PLAINTEXT <format> <time> <name>": the file name the message carries.
std::string StoredName(const GpgResult &r)
{
    const std::string pt = r.arg("PLAINTEXT");
    const std::size_t sp1 = pt.find(' ');
    const std::size_t sp2 = sp1 == std::string::npos ? sp1 : pt.find(' ', sp1 + 1);
    return sp2 == std::string::npos ? std::string() : DecodePercent(pt.substr(sp2 + 1));
}

const char kEyesOnlyNote[] =
    "This message is marked \"For your eyes only\": shown here, no file written.";

// Text meant only for the screen is escaped on its way there: a message's own control
// characters (an ESC[8m, say) would otherwise hide or forge what the terminal shows. CR LF line
// ends stay line ends; a character split between two pieces waits until it is whole.
class ScreenText
{
public:
    bool write(const char *data, std::size_t size)
    {
        m_pending.append(data, size);
        std::size_t cut = m_pending.size();
        for (std::size_t back = 1; back <= 3 && back <= m_pending.size(); ++back) {
            const unsigned char c = static_cast<unsigned char>(m_pending[m_pending.size() - back]);
            if (c >= 0xc0)
                cut = m_pending.size() - back;
            if (c < 0x80 || c >= 0xc0)
                break;
        }
        if (cut == m_pending.size() && cut > 0 && m_pending.back() == '\r')
            --cut;
        return flush(cut);
    }
    bool finish() { return flush(m_pending.size()); }
    void clear() { m_pending.clear(); }

private:
    bool flush(std::size_t cut)
    {
        std::string text;
        for (std::size_t i = 0; i < cut; ++i) {
            if (!(m_pending[i] == '\r' && i + 1 < cut && m_pending[i + 1] == '\n'))
                text += m_pending[i];
        }
        m_pending.erase(0, cut);
        const std::string shown = Printable(text, true);
        std::string_view left = shown;
        while (!left.empty()) {
            const ssize_t n = ::write(1, left.data(), left.size());
            if (n < 0 && errno == EINTR && !Interrupted())
                continue;
            if (n <= 0)
                return false;
            left.remove_prefix(static_cast<std::size_t>(n));
        }
        return true;
    }

    std::string m_pending;
};

// gpg's plaintext as it comes: into the output file or, for a for-your-eyes-only message, straight
// to standard output. A small message can expand enormously, so none of it is held in memory,
// and text meant only for the screen never touches the disk.
class PlaintextSink : public OutputSink
{
public:
    PlaintextSink(const std::string &path, bool eyesOnlyAllowed)
        : m_path(path), m_eyesOnlyAllowed(eyesOnlyAllowed)
    {
    }
    ~PlaintextSink() override { Close(); }

    void begin() override
    {
        Close();
        // The output's /dev/fd name: its own descriptor's file, whatever its name leads to now.
        m_fd = ::open(m_path.c_str(), O_WRONLY | O_TRUNC | O_CLOEXEC);
        m_error = m_fd < 0 ? errno : 0;
        m_decided = m_toConsole = false;
        m_written = 0;
        m_tooLarge = false;
        m_screen.clear();
    }
    void write(const char *data, std::size_t size, const GpgResult &sofar) override
    {
        if (!m_decided) {
            m_decided = true;
            m_toConsole = m_eyesOnlyAllowed && StoredName(sofar) == "_CONSOLE";
            if (m_toConsole)
                Say(kEyesOnlyNote);
        }
        if (m_toConsole) {
            ShowEyesOnly(data, size);
        } else if (m_error == 0 && (m_written += size) > m_limit) {
            m_tooLarge = true; // nothing more is written, however much gpg still expands
            m_error = EFBIG;
        } else if (m_error == 0 && !WriteAll(m_fd, data, size)) {
            m_error = errno;
        }
    }
    bool toConsole() const { return m_toConsole; }
    bool refused() const override { return m_error != 0; }
    void setLimit(std::uint64_t limit) { m_limit = limit; }
    bool tooLarge() const { return m_tooLarge; }
    // errno of the first failure to write the output file, 0 when all went well.
    int finish()
    {
        if (m_toConsole && !m_consoleGone)
            m_consoleGone = !m_screen.finish();
        if (m_fd >= 0 && m_error == 0 && ::fsync(m_fd) != 0)
            m_error = errno;
        Close();
        return m_error;
    }

    // The text goes to the program as it came and to the terminal escaped.
    void ShowEyesOnly(const char *data, std::size_t size)
    {
        HandEyesOnly(data, size);
        // A reader that went away only loses the rest of the text.
        if (!m_consoleGone)
            m_consoleGone = !m_screen.write(data, size);
    }
    void FlushEyesOnly()
    {
        if (!m_consoleGone)
            m_consoleGone = !m_screen.finish();
    }

    static bool WriteAll(int fd, const char *data, std::size_t size)
    {
        while (size > 0) {
            const ssize_t n = ::write(fd, data, size);
            if (n < 0 && errno == EINTR && !Interrupted())
                continue;
            if (n <= 0)
                return false;
            data += n;
            size -= static_cast<std::size_t>(n);
        }
        return true;
    }

private:
    void Close()
    {
        if (m_fd >= 0)
            ::close(m_fd);
        m_fd = -1;
    }

    std::string m_path;
    bool m_eyesOnlyAllowed;
    int m_fd = -1;
    int m_error = 0;
    bool m_decided = false, m_toConsole = false, m_consoleGone = false;
    ScreenText m_screen;
    std::uint64_t m_written = 0, m_limit = UINT64_MAX;
    bool m_tooLarge = false;
};

// Shows the text of an output file (by its /dev/fd name) as eyes-only text is shown, through a
// bounded buffer.
void ShowFile(PlaintextSink &sink, const std::string &path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return;
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR && !Interrupted())
            continue;
        if (n <= 0)
            break;
        sink.ShowEyesOnly(buffer, static_cast<std::size_t>(n));
    }
    sink.FlushEyesOnly();
    ::close(fd);
}

// gpg calls a message cut inside its signature a success and says only NODATA: the text may be
// whole, but what vouched for it is gone.
bool SignatureCut(const GpgResult &r)
{
    return r.has("PLAINTEXT") && r.has("NODATA") && !HasSignatureVerdict(r);
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
    call.args.insert(call.args.end(), {"--output", "-", "--", input});
    PlaintextSink sink(out.temp(), !o.keepSignature);
    sink.setLimit(PlaintextLimit(input));
    call.sink = &sink;
    GpgResult r;
    int writeError = 0;
    bool viaGpg1 = DecryptWithGpg1First(cx, input);
    if (viaGpg1) {
        r = DecryptWithGpg1(cx, input, out.temp());
    } else {
        r = RunWithSecretKey(cx, call, true);
        writeError = sink.finish();
        // PGP 2.x material that GnuPG 2 turned down is read again by gpg1, into the same file.
        viaGpg1 = RetryWithGpg1(cx, r, input);
        if (viaGpg1) {
            writeError = 0;
            r = DecryptWithGpg1(cx, input, out.temp());
        }
    }

    // gpg1 writes the file itself, so its size tells.
    struct stat written
    {
    };
    if ((writeError != 0 && sink.tooLarge()) ||
        (::fstat(out.fd(), &written) == 0 &&
         static_cast<std::uint64_t>(written.st_size) > PlaintextLimit(input)))
        Fail(kFileError, "The plaintext of '" + input + "' is larger than " +
                             std::to_string(PlaintextLimit(input) >> 20) +
                             " MB, more than the editor can hold; nothing written.");

    // A plaintext that could not be written ends the run with that one line, before anything
    // gpg said after it was cut off; the signature report would only bury it.
    if (writeError != 0)
        Fail(kFileError, "Cannot write output file '" + out.finalName() +
                             "': " + std::strerror(writeError) + "; nothing written.");
    if (SignatureCut(r))
        Fail(kInvalidFile, "'" + input +
                               "' is cut short or damaged (its signature is incomplete); nothing "
                               "written.");
    if (!DataComplete(r)) {
        try {
            DecryptFailure(cx, r, input, out.finalName());
        } catch (Failure &f) {
            // Still one line: the reason, then which program read the message. A bad signature
            // keeps its two lines as every other path gives them.
            if (viaGpg1 && f.code == kSignatureCheck)
                Say(Gpg1Note(input));
            else if (viaGpg1)
                f.message = WithGpg1Note(f.message);
            throw;
        }
    }
    const std::string stored = StoredName(r);
    const bool eyesOnly = stored == "_CONSOLE" && !o.keepSignature;
    if (viaGpg1)
        Say(Gpg1Note(input));
    const int sigResult = ReportSignatures(r, input, false);

    if (eyesOnly) {
        // For your eyes only: shown as it came, nothing written. Should gpg have named it only
        // after the text, what went to the file is shown from there.
        if (!sink.toConsole()) {
            Say(kEyesOnlyNote);
            ShowFile(sink, out.temp());
        }
        out.discard();
        return sigResult;
    }
    if (restore) {
        const std::string safe = SafeStoredName(stored);
        std::string name = safe.empty() ? BaseName(planned) : safe;
        if (!safe.empty() && safe != BaseName(stored))
            Say("Stored name '" + Printable(stored) + "' changed to '" + Printable(safe) + "'.");
        name = ConfirmOutputName(cx, name, input);
        if (name.find('/') != std::string::npos && DirectoryOf(name) != ".")
            Fail(kFileError, "Output file '" + name + "' is outside the current directory.");
        out.setFinalName(name);
    }
    out.commit(true);
    // A name taken from the message is always told: the user did not choose it.
    if (o.verbose > 0 || restore)
        Say("Plaintext filename: " + Printable(out.finalName()));

    if (o.keepbinary && input.size() > 4 && input.compare(input.size() - 4, 4, ".asc") == 0) {
        const std::string binName = ConfirmOutputName(cx, DefaultOutputName(input, ".pgp"), input);
        OutputFile bin(binName);
        GpgCall d;
        d.args = BaseArgs(cx);
        d.args.insert(d.args.end(), {"--dearmor", "--output", bin.temp(), "--", input});
        if (Run(cx, d).exitCode != 0)
            Fail(kFileError, "Cannot keep the binary form of '" + input + "'.");
        bin.commitLike(input);
        if (o.verbose > 0)
            Say("Binary file: " + binName);
    }
    return sigResult;
}

} // namespace zpgp
