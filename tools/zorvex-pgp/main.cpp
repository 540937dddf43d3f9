// zorvex-pgp: the PGP 2.6 command lines of Zorvex 5, carried out by GnuPG.
//
// Messages go to standard error, one line per failure; only -kv / -kvc listings and
// for-your-eyes-only text go to standard output. Exit codes follow PGP 2.6.

#include "gpgrun.h"
#include "keylisting.h"
#include "options.h"
#include "terminal.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace zpgp;

namespace {

enum Exit
{
    kOk = 0,
    kInvalidFile = 1,
    kNotFound = 2,
    kFileError = 3,
    kBadArguments = 5,
    kInterrupted = 6,
    kKeyError = 10,
    kKeyNotFound = 11,
    kSignError = 20,
    kEncryptError = 21,
    kConventionalError = 22,
    kSignatureCheck = 30,
    kPublicDecrypt = 31,
    kConventionalDecrypt = 32,
    kNoMatch = 67,
    kOther = 127,
};

// Thrown to end the run with a message and an exit code; temporary files clean up on the way.
struct Failure
{
    int code;
    std::string message;
};

[[noreturn]] void Fail(int code, std::string message)
{
    throw Failure{code, std::move(message)};
}

void Say(const std::string &line)
{
    std::fputs((line + "\n").c_str(), stderr);
}

std::string CurrentDirectory()
{
    char buffer[PATH_MAX];
    return ::getcwd(buffer, sizeof buffer) ? buffer : ".";
}

std::string DirectoryOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string BaseName(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool Exists(const std::string &path)
{
    struct stat st
    {
    };
    return ::lstat(path.c_str(), &st) == 0;
}

std::string ReadWholeFile(const std::string &path, std::size_t limit)
{
    std::string data;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return data;
    char buffer[65536];
    while (data.size() < limit) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

// Text for -t and -m: no NUL and no control characters other than the usual layout ones.
bool IsTextFile(const std::string &path)
{
    const std::string data = ReadWholeFile(path, 1 << 20);
    for (unsigned char c : data) {
        if (c < 0x20 && c != '\t' && c != '\n' && c != '\r' && c != '\f' && c != '\b' &&
            c != 0x1a && c != 0x1b)
            return false;
    }
    return true;
}

// ---- output files -------------------------------------------------------------------------

// Written under a temporary name beside the final one and renamed into place only when complete,
// so a failure never leaves half an output and never touches an existing file.
class OutputFile
{
public:
    explicit OutputFile(const std::string &finalName) : m_final(finalName)
    {
        std::string pattern = DirectoryOf(finalName) + "/.zorvex-pgp-XXXXXX";
        std::vector<char> buf(pattern.begin(), pattern.end());
        buf.push_back('\0');
        const int fd = ::mkstemp(buf.data());
        if (fd < 0)
            Fail(kFileError,
                 "Cannot create output file '" + finalName + "': " + std::strerror(errno) + ".");
        ::close(fd);
        m_temp = buf.data();
    }
    ~OutputFile()
    {
        if (!m_temp.empty())
            ::unlink(m_temp.c_str());
    }
    OutputFile(const OutputFile &) = delete;
    OutputFile &operator=(const OutputFile &) = delete;

    const std::string &temp() const { return m_temp; }
    const std::string &finalName() const { return m_final; }
    void setFinalName(const std::string &name) { m_final = name; }
    void discard()
    {
        ::unlink(m_temp.c_str());
        m_temp.clear();
    }
    void commit(bool privateMode)
    {
        if (!privateMode) {
            const mode_t mask = ::umask(0);
            ::umask(mask);
            ::chmod(m_temp.c_str(), 0666 & ~mask);
        }
        if (::rename(m_temp.c_str(), m_final.c_str()) != 0)
            Fail(kFileError,
                 "Cannot write output file '" + m_final + "': " + std::strerror(errno) + ".");
        m_temp.clear();
    }

private:
    std::string m_final;
    std::string m_temp;
};

struct Context
{
    Options o;
    Terminal *term = nullptr;
    std::string cwd;
    std::optional<std::string> keyring; // absolute path
};

// Settles the output name: an existing file needs the terminal's yes (or a new name); under
// +batchmode it is an error. The input itself is never an output.
std::string ConfirmOutputName(Context &cx, std::string name, const std::string &input)
{
    for (;;) {
        struct stat out
        {
        }, in{};
        if (::stat(name.c_str(), &out) != 0)
            return name;
        if (!input.empty() && ::stat(input.c_str(), &in) == 0 && in.st_dev == out.st_dev &&
            in.st_ino == out.st_ino)
            Fail(kFileError, "Output file '" + name + "' is the input file; nothing written.");
        if (!S_ISREG(out.st_mode))
            Fail(kFileError, "Output file '" + name + "' exists and is not a regular file.");
        if (cx.o.batch || !cx.term->canAsk())
            Fail(kFileError, "Output file '" + name + "' already exists; not overwritten.");
        if (cx.term->askYes("Output file '" + name + "' already exists.  Overwrite (y/N)? "))
            return name;
        const auto other = cx.term->readLine("Enter new file name: ", true);
        if (!other || other->empty())
            Fail(kFileError, "Output file '" + name + "' already exists; not overwritten.");
        name = *other;
    }
}

// ---- wiping ---------------------------------------------------------------------------------

bool Wipe(const std::string &path, std::string &why)
{
    struct stat st
    {
    };
    if (::lstat(path.c_str(), &st) != 0) {
        why = std::strerror(errno);
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        why = "not a regular file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW);
    if (fd < 0) {
        why = std::strerror(errno);
        return false;
    }
    std::vector<char> zeros(65536, 0);
    off_t left = st.st_size;
    bool ok = true;
    while (left > 0 && ok) {
        const std::size_t chunk =
            left < static_cast<off_t>(zeros.size()) ? static_cast<std::size_t>(left) : zeros.size();
        const ssize_t n = ::write(fd, zeros.data(), chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            why = std::strerror(errno);
        } else {
            left -= n;
        }
    }
    if (ok && ::fsync(fd) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    ::close(fd);
    if (ok && ::unlink(path.c_str()) != 0) {
        ok = false;
        why = std::strerror(errno);
    }
    return ok;
}

// ---- gpg plumbing -------------------------------------------------------------------------

std::vector<std::string> BaseArgs(const Context &cx, bool batch = true)
{
    std::vector<std::string> a;
    if (batch)
        a.insert(a.end(), {"--batch", "--no-tty", "--yes"});
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
                                bool secret = false)
{
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--with-colons", "--fixed-list-mode", "--with-fingerprint",
                                       "--no-auto-check-trustdb",
                                       secret ? "--list-secret-keys" : "--list-keys", "--"});
    call.args.insert(call.args.end(), names.begin(), names.end());
    call.captureOutput = true;
    return ParseColonListing(Run(cx, call).output);
}

// A "0x" + 8 hex digit ID becomes the one fingerprint it names; several matches are refused.
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

// Pass phrases given in advance, in the order they are tried. PGPPASS only ever unlocks
// secret keys; conventional encryption never uses it.
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

// gpg error codes (low 16 bits of the status numbers) that mean "pass phrase wrong or missing".
bool PassphraseErrorCode(const std::string &statusArg)
{
    const auto sp = statusArg.rfind(' ');
    if (sp == std::string::npos)
        return false;
    const long code = std::strtol(statusArg.c_str() + sp + 1, nullptr, 10) & 0xffff;
    return code == 11 /* bad */ || code == 85 /* none given */ || code == 99 /* canceled */;
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

// Runs a call that may need a secret key's pass phrase: first with what was given (or nothing,
// so an unprotected or cached key works), then, outside batch mode, asking up to 3 times.
bool IsSymmetricMessage(const GpgResult &r)
{
    return r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
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

std::string FailureText(const GpgResult &r)
{
    const std::string m = r.lastMessage();
    return m.empty() ? "gpg failed" : m;
}

std::string RequireInput(const Context &cx)
{
    if (cx.o.args.empty())
        Fail(kBadArguments, "No input file given.");
    const std::string &in = cx.o.args.front();
    struct stat st
    {
    };
    if (::stat(in.c_str(), &st) != 0)
        Fail(kNotFound, "File '" + in + "' does not exist.");
    if (!S_ISREG(st.st_mode))
        Fail(kInvalidFile, "'" + in + "' is not a regular file.");
    if (::access(in.c_str(), R_OK) != 0)
        Fail(kFileError, "Cannot read file '" + in + "': " + std::strerror(errno) + ".");
    return in;
}

void WipeInput(const std::string &input)
{
    std::string why;
    if (!Wipe(input, why))
        Fail(kFileError,
             "Output written, but file '" + input + "' could not be wiped: " + why + ".");
    Say("File " + input + " wiped and deleted.");
}

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
        if (keys.empty() || keys.front().revoked || keys.front().disabled)
            return false;
        Say("\nWARNING:  Because this public key is not certified with a trusted\n"
            "signature, it is not known with high confidence that this public key\n"
            "actually belongs to: \"" +
            (keys.front().userIds.empty() ? name : keys.front().userIds.front()) + "\".");
        if (!cx.term->askYes("\nAre you sure you want to use this public key (y/N)? "))
            return false;
    }
    return true;
}

// ---- encrypt / sign -----------------------------------------------------------------------

int DoCrypt(Context &cx)
{
    Options &o = cx.o;
    const std::string input = RequireInput(cx);
    std::vector<std::string> recipients(o.args.begin() + 1, o.args.end());

    bool text = o.text || o.eyesOnly;
    if (text && !IsTextFile(input)) {
        if (o.eyesOnly)
            Fail(kInvalidFile,
                 "'" + input + "' is not a pure text file; for-your-eyes-only needs text.");
        Say("Note: '" + input + "' is not a pure text file. File will be treated as binary data.");
        text = false;
    }
    const bool clearsign = o.sign && o.clearsig && o.text && o.armor && !o.encrypt && !o.detach &&
                           !o.conventional && text;

    if (o.encrypt && recipients.empty()) {
        if (o.batch || !cx.term->canAsk())
            Fail(kEncryptError, "No recipient given for encryption.");
        auto r = cx.term->readLine("\nA user ID is required to select the recipient's public key.\n"
                                   "Enter the recipient's user ID: ",
                                   true);
        if (!r || r->empty())
            Fail(kEncryptError, "No recipient given for encryption.");
        recipients.push_back(*r);
    }
    for (std::string &r : recipients)
        r = ResolveKeyName(cx, r);
    std::optional<std::string> signer;
    if (o.user && !o.user->empty())
        signer = ResolveKeyName(cx, *o.user);

    const char *extension = (o.detach && !o.armor)   ? ".sig"
                            : (o.armor || clearsign) ? ".asc"
                                                     : ".pgp";
    std::string outName = o.output ? *o.output : DefaultOutputName(input, extension);
    if (outName.empty())
        Fail(kBadArguments, "Empty output file name.");
    outName = ConfirmOutputName(cx, outName, input);
    OutputFile out(outName);

    std::vector<std::string> common = BaseArgs(cx);
    if (signer)
        common.insert(common.end(), {"--local-user", *signer});
    std::vector<std::string> recipientArgs;
    for (const std::string &r : recipients)
        recipientArgs.insert(recipientArgs.end(), {"--recipient", r});

    auto signFailure = [&](const GpgResult &r) {
        if (r.has("INV_SGNR") || r.has("NO_SECKEY"))
            Fail(kSignError, "Signing '" + input + "' failed: no usable secret key" +
                                 (signer ? " for '" + *signer + "'." : "."));
        if (NeedsPassphraseAgain(r))
            Fail(kSignError, "Signing '" + input + "' failed: bad or missing pass phrase.");
        Fail(kSignError, "Signing '" + input + "' failed: " + FailureText(r) + ".");
    };
    auto encryptFailure = [&](const GpgResult &r) {
        if (r.has("INV_RECP")) {
            std::string who = r.arg("INV_RECP");
            if (auto sp = who.find(' '); sp != std::string::npos)
                who = who.substr(sp + 1);
            const auto keys = ListKeys(cx, {who});
            if (!keys.empty() && !keys.front().revoked && !keys.front().disabled)
                Fail(kEncryptError, "Encrypting '" + input + "' failed: the public key for '" +
                                        who +
                                        "' is not certified; confirm it without +batchmode or "
                                        "certify it with -ks.");
            Fail(kEncryptError,
                 "Encrypting '" + input + "' failed: no usable public key for '" + who + "'.");
        }
        Fail(kEncryptError, "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
    };

    if (o.detach && (o.encrypt || o.conventional)) {
        // -esb: only the signature is encrypted, so sign to a scratch file first.
        OutputFile sig(outName + ".sig");
        GpgCall signCall;
        signCall.args = common;
        if (text)
            signCall.args.push_back("--textmode");
        signCall.args.insert(signCall.args.end(),
                             {"--detach-sign", "--output", sig.temp(), "--", input});
        GpgResult r = RunWithSecretKey(cx, signCall, false);
        if (r.exitCode != 0 || !r.has("SIG_CREATED"))
            signFailure(r);
        GpgCall encCall;
        encCall.args = common;
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
            encCall.args.insert(encCall.args.end(), recipientArgs.begin(), recipientArgs.end());
        }
        encCall.args.insert(encCall.args.end(), {"--output", out.temp(), "--", sig.temp()});
        r = Run(cx, encCall);
        if (r.exitCode != 0 || !r.has("END_ENCRYPTION"))
            o.encrypt ? encryptFailure(r)
                      : Fail(kConventionalError,
                             "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
    } else {
        GpgCall call;
        call.args = common;
        if (o.armor || clearsign)
            call.args.push_back("--armor");
        if (text && !clearsign)
            call.args.push_back("--textmode");
        if (o.eyesOnly)
            call.args.insert(call.args.end(),
                             {"--for-your-eyes-only", "--set-filename", "_CONSOLE"});
        if (clearsign)
            call.args.push_back("--clearsign");
        else if (o.detach)
            call.args.push_back("--detach-sign");
        else if (o.sign)
            call.args.push_back("--sign");
        if (o.conventional)
            call.args.insert(call.args.end(), {"--symmetric", "--no-symkey-cache"});
        if (o.encrypt) {
            call.args.push_back("--encrypt");
            call.args.insert(call.args.end(), recipientArgs.begin(), recipientArgs.end());
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
        if (r.exitCode != 0) {
            if (o.encrypt && r.has("INV_RECP"))
                encryptFailure(r);
            if (o.sign && (r.has("INV_SGNR") || r.has("NO_SECKEY") || NeedsPassphraseAgain(r) ||
                           !r.has("SIG_CREATED")))
                signFailure(r);
            if (o.encrypt)
                encryptFailure(r);
            Fail(kConventionalError, "Encrypting '" + input + "' failed: " + FailureText(r) + ".");
        }
    }
    if (Interrupted())
        Fail(kInterrupted, "Interrupted.");
    out.commit(false);
    if (o.verbose > 0)
        Say((o.detach    ? "Signature file: "
             : clearsign ? "Clear signature file: "
                         : "Ciphertext file: ") +
            outName);
    if (o.wipe)
        WipeInput(input);
    return kOk;
}

// ---- decrypt / verify ---------------------------------------------------------------------

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

int DoWipeOnly(Context &cx)
{
    if (cx.o.args.empty())
        Fail(kBadArguments, "No file given to wipe.");
    int code = kOk;
    for (const std::string &f : cx.o.args) {
        std::string why;
        if (Wipe(f, why)) {
            Say("File " + f + " wiped and deleted.");
        } else {
            Say("Cannot wipe '" + f + "': " + why + ".");
            code = kFileError;
        }
    }
    return code;
}

// ---- key commands -------------------------------------------------------------------------

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
    auto keys = ListKeys(cx, names);
    if (!names.empty() && IsShortKeyId(names[0])) {
        std::vector<ListedKey> exact;
        for (const ListedKey *k : MatchShortKeyId(keys, names[0]))
            exact.push_back(*k);
        keys = std::move(exact);
    }
    const std::string listing = FormatKeyListing(keys, KeyringName(cx), cx.o.fingerprints);
    std::fwrite(listing.data(), 1, listing.size(), stdout);
    if (std::fflush(stdout) != 0)
        Fail(kFileError,
             "Cannot write the key listing: " + std::string(std::strerror(errno)) + ".");
    if (!names.empty() && keys.empty()) {
        Say("No key matching '" + names[0] + "' found.");
        return kNoMatch;
    }
    return kOk;
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
    if (keys.empty() || keys.front().fingerprint.empty())
        Fail(kKeyNotFound, "Key not found: '" + name + "'" +
                               (cx.keyring ? " in key ring '" + *cx.keyring + "'." : "."));
    return keys.front();
}

bool HasSecretKey(Context &cx, const std::string &fingerprint)
{
    Context plain = cx;
    plain.keyring.reset(); // secret keys live with the agent whatever the public ring
    return !ListKeys(plain, {fingerprint}, true).empty();
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
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(), {"--import", "--", a[0]});
    const GpgResult r = Run(cx, call);
    if (r.arg("IMPORT_RES").rfind("0 ", 0) == 0 || (r.has("NODATA") && !r.has("IMPORT_RES")))
        Fail(kInvalidFile, "'" + a[0] + "' holds no keys.");
    if (!r.has("IMPORT_RES") || (r.exitCode != 0 && !r.has("IMPORT_OK")))
        Fail(kKeyError, "Adding keys from '" + a[0] + "' failed: " + FailureText(r) + ".");
    const std::string res = r.arg("IMPORT_RES");
    Say("Keys from '" + a[0] + "' added" +
        (cx.keyring ? " to '" + *cx.keyring + "'" : std::string()) + " (gpg: " + res + ").");
    return kOk;
}

void RemoveTree(const std::string &dir)
{
    ::nftw(
        dir.c_str(),
        [](const char *path, const struct stat *, int, struct FTW *) { return ::remove(path); }, 16,
        FTW_DEPTH | FTW_PHYS);
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
    std::fputs(FormatKey(key, false).c_str(), stderr);
    if (cx.o.batch || !cx.term->canAsk())
        Fail(kKeyError,
             "Key '" + a[0] + "' not removed: removing a key needs a yes on the terminal.");
    if (!cx.term->askYes("\nAre you sure you want this key removed (y/N)? "))
        Fail(kKeyError, "Key '" + a[0] + "' not removed.");
    // Secret keys live with the agent, shared by every ring: removing a copy from a named ring
    // must not take the secret key away from the default ring.
    const bool removeSecret = own && !cx.keyring;
    if (removeSecret &&
        !cx.term->askYes("This key has a secret key too; remove it as well (y/N)? "))
        Fail(kKeyError,
             "Key '" + a[0] + "' not removed: its secret key stays, so its public key stays.");
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

// gpg talks to the user itself for these; it needs the terminal.
int RunInteractiveEdit(Context &cx, const std::string &what, std::vector<std::string> commands,
                       const std::optional<std::string> &signer = std::nullopt,
                       bool usesOnePassphrase = false)
{
    if (cx.o.batch)
        Fail(kBadArguments, what + " needs the terminal; not available under +batchmode.");
    if (!::isatty(0))
        Fail(kBadArguments, what + " needs a terminal.");
    GpgCall call;
    call.interactive = true;
    if (usesOnePassphrase) {
        // A pass phrase given in advance unlocks the key; otherwise gpg's pinentry asks.
        const auto given = GivenPassphrases(cx, true);
        if (!given.empty())
            call.passphrase = given.front();
    }
    call.args = BaseArgs(cx, false);
    if (signer)
        call.args.insert(call.args.end(), {"--local-user", *signer});
    call.args.insert(call.args.end(), commands.begin(), commands.end());
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        Fail(kKeyError, what + " failed.");
    return kOk;
}

int DoKeyDisable(Context &cx)
{
    auto &a = cx.o.args;
    if (a.empty())
        Fail(kBadArguments, "No user ID given.");
    const ListedKey key = FindOneKey(cx, a[0]);
    std::fputs(FormatKey(key, false).c_str(), stderr);
    if (HasSecretKey(cx, key.fingerprint))
        return RunInteractiveEdit(cx, "Revoking key '" + a[0] + "'",
                                  {"--edit-key", key.fingerprint, "revkey", "save"}, std::nullopt,
                                  true);
    if (cx.o.batch || !cx.term->canAsk())
        Fail(kKeyError, "Key '" + a[0] + "' unchanged: this needs a yes on the terminal.");
    const bool enable = key.disabled;
    if (!cx.term->askYes(enable ? "\nKey is disabled.  Do you want to enable this key again (y/N)? "
                                : "\nDisable this key (y/N)? "))
        Fail(kKeyError, "Key '" + a[0] + "' unchanged.");
    GpgCall call;
    call.args = BaseArgs(cx);
    call.args.insert(call.args.end(),
                     {"--edit-key", key.fingerprint, enable ? "enable" : "disable", "save"});
    const GpgResult r = Run(cx, call);
    if (r.exitCode != 0)
        Fail(kKeyError, "Changing key '" + a[0] + "' failed: " + FailureText(r) + ".");
    Say(enable ? "Key enabled." : "Key disabled.");
    return kOk;
}

int Dispatch(Context &cx)
{
    auto &a = cx.o.args;
    switch (cx.o.action) {
    case Action::Crypt:
        return DoCrypt(cx);
    case Action::Decrypt:
        return DoDecrypt(cx);
    case Action::WipeOnly:
        return DoWipeOnly(cx);
    case Action::KeyView:
        return DoKeyView(cx);
    case Action::KeyExtract:
        return DoKeyExtract(cx);
    case Action::KeyAdd:
        return DoKeyAdd(cx);
    case Action::KeyRemove:
        return DoKeyRemove(cx);
    case Action::KeyDisable:
        return DoKeyDisable(cx);
    case Action::KeyGenerate:
        return RunInteractiveEdit(cx, "Key generation", {"--full-generate-key"});
    case Action::KeyRemoveSigs: {
        if (a.size() >= 2)
            UseKeyring(cx, 1);
        const ListedKey key = FindOneKey(cx, a.empty() ? std::string() : a[0]);
        return RunInteractiveEdit(cx, "Removing signatures",
                                  {"--edit-key", key.fingerprint, "uid *", "delsig", "save"});
    }
    case Action::KeyEdit: {
        if (a.size() >= 2)
            UseKeyring(cx, 1);
        std::string name = a.empty() ? std::string() : a[0];
        if (name.empty() && !cx.o.batch && cx.term->canAsk()) {
            const auto answer = cx.term->readLine("Enter the user ID of the key to edit: ", true);
            name = answer.value_or(std::string());
        }
        const ListedKey key = FindOneKey(cx, name);
        return RunInteractiveEdit(cx, "Editing key '" + name + "'",
                                  {"--edit-key", key.fingerprint});
    }
    case Action::KeySign: {
        if (a.size() >= 2)
            UseKeyring(cx, 1);
        const ListedKey key = FindOneKey(cx, a.empty() ? std::string() : a[0]);
        std::optional<std::string> signer;
        if (cx.o.user && !cx.o.user->empty())
            signer = ResolveKeyName(cx, *cx.o.user);
        return RunInteractiveEdit(cx, "Signing key '" + a[0] + "'",
                                  {"--edit-key", key.fingerprint, "sign", "save"}, signer, true);
    }
    }
    return kOther;
}

} // namespace

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    BlankPassphraseArguments(argc, argv);
    InstallInterruptHandler();
    if (::isatty(0) && !std::getenv("GPG_TTY")) {
        if (const char *tty = ::ttyname(0))
            ::setenv("GPG_TTY", tty, 1);
    }
    ParseResult parsed = ParseCommandLine(args);
    for (std::string &a : args)
        std::fill(a.begin(), a.end(), '\0');
    if (!parsed.options) {
        Say(parsed.error);
        return kBadArguments;
    }
    Context cx;
    cx.o = std::move(*parsed.options);
    Terminal term(cx.o.batch);
    cx.term = &term;
    cx.cwd = CurrentDirectory();
    try {
        return Dispatch(cx);
    } catch (const Failure &f) {
        Say(f.message);
        return f.code;
    }
}
