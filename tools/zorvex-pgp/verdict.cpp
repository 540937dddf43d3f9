#include "verdict.h"

#include "files.h"
#include "oldpackets.h"
#include "printable.h"
#include "report.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <initializer_list>
#include <sstream>
#include <vector>

namespace zpgp {

namespace {

// "<key id> <user id>" as GOODSIG and its kin give it.
std::string UserIdOf(const std::string &arg)
{
    const auto sp = arg.find(' ');
    // Escaped here, before it joins a message: a line break in it would forge a second line.
    return sp == std::string::npos ? std::string() : Printable(DecodePercent(arg.substr(sp + 1)));
}

bool StartsWith(const std::string &line, const char *keyword)
{
    const std::string k(keyword);
    return line.compare(0, k.size(), k) == 0 && (line.size() == k.size() || line[k.size()] == ' ');
}

std::string Rest(const std::string &line)
{
    const auto sp = line.find(' ');
    return sp == std::string::npos ? std::string() : line.substr(sp + 1);
}

// gpg's error code: the low 16 bits of the number a status line ends with.
long ErrorCode(const std::string &number)
{
    return std::strtol(number.c_str(), nullptr, 10) & 0xffff;
}

std::string UncheckableReason(const std::vector<std::string> &w)
{
    // ERRSIG <keyid> <pubkey algo> <digest algo> <class> <time> <rc> [<fingerprint>]
    const std::string id = w.size() > 1 ? ShortId(w[1]) : "?";
    const long rc = w.size() > 6 ? std::strtol(w[6].c_str(), nullptr, 10) : 0;
    const int digest = w.size() > 3 ? std::atoi(w[3].c_str()) : 0;
    // Only rc 9 says the key is missing: the fingerprint is "-" for every signature that does
    // not carry its issuer's fingerprint, which no PGP 2.x or gpg1 signature does.
    if (rc == 9)
        return "Key matching expected Key ID " + id +
               " not found on the key ring.\nWARNING: Can't find the right public key-- can't "
               "check signature integrity.";
    // A clear-signed text announcing MD5 is "general error" to GnuPG 2, for the same reason.
    if (rc == 5 || rc == 149 || (rc == 1 && digest == 1))
        return "WARNING: Signature by key ID " + id + " uses the " +
               (digest == 1 ? std::string("MD5") : "digest algorithm " + std::to_string(digest)) +
               " message digest, which GnuPG no longer accepts-- can't check signature "
               "integrity.";
    if (rc == 4)
        return "WARNING: Signature by key ID " + id +
               " uses a public key algorithm GnuPG does not support-- can't check signature "
               "integrity.";
    return "WARNING: Signature by key ID " + id + " can't be checked (gpg error " +
           std::to_string(rc) + ").";
}

// A few of gpg's failures have a plain reason worth more than gpg's own words.
bool ErrorsMention(const GpgResult &r, const char *text)
{
    return r.errors.find(text) != std::string::npos;
}

// gpg's own line about a trouble, or its last line when no line mentions it.
std::string LineMentioning(const GpgResult &r, const char *text)
{
    const auto at = r.errors.find(text);
    if (at == std::string::npos)
        return FailureText(r);
    const auto begin = r.errors.rfind('\n', at);
    const auto from = begin == std::string::npos ? 0 : begin + 1;
    std::string line = r.errors.substr(from, r.errors.find('\n', at) - from);
    if (line.rfind("gpg: ", 0) == 0)
        line.erase(0, 5);
    return line;
}

bool IdeaMessage(const GpgResult &r)
{
    // DECRYPTION_INFO <mdc method> <cipher>: cipher 1 is IDEA, which only PGP 2.x used by default.
    const auto info = Words(r.arg("DECRYPTION_INFO"));
    return (info.size() > 1 && info[1] == "1") || ErrorsMention(r, "assuming IDEA") ||
           ErrorsMention(r, "IDEA cipher");
}

bool BadPassphrase(const GpgResult &r)
{
    if (r.has("BAD_PASSPHRASE"))
        return true;
    for (const std::string &line : r.status) {
        if (StartsWith(line, "ERROR") || StartsWith(line, "FAILURE")) {
            const auto w = Words(line);
            const long code = w.size() > 2 ? ErrorCode(w[2]) : 0;
            if (code == 11 || code == 85 || code == 99 || code == 177)
                return true;
        }
    }
    return false;
}

// Seconds since 1970, as status lines give them (or in gpg's ISO form "20261208T183541").
long long Seconds(const std::string &field)
{
    if (field.size() == 15 && field[8] == 'T') {
        auto part = [&field](std::size_t at, std::size_t n) {
            return static_cast<int>(std::strtol(field.substr(at, n).c_str(), nullptr, 10));
        };
        std::tm t{};
        t.tm_year = part(0, 4) - 1900;
        t.tm_mon = part(4, 2) - 1;
        t.tm_mday = part(6, 2);
        t.tm_hour = part(9, 2);
        t.tm_min = part(11, 2);
        t.tm_sec = part(13, 2);
        return static_cast<long long>(timegm(&t));
    }
    return std::strtoll(field.c_str(), nullptr, 10);
}

std::string PgpDate(long long seconds)
{
    if (seconds <= 0)
        return "(date unknown)";
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm tm{};
    gmtime_r(&t, &tm);
    char text[32];
    std::strftime(text, sizeof text, "%Y/%m/%d %H:%M GMT", &tm);
    return text;
}

// What gpg said about one signature, from the status lines between its NEWSIG and the next.
struct SignatureFacts
{
    long long signedAt = 0;
    long long keyExpired = 0;
    bool certified = false; // the key is valid through a trusted signature (or is our own)
    bool marginal = false;
};

SignatureFacts FactsOf(const GpgResult &r, std::size_t at)
{
    std::size_t from = at;
    while (from > 0 && !StartsWith(r.status[from], "NEWSIG"))
        --from;
    SignatureFacts facts;
    for (std::size_t i = from; i < r.status.size(); ++i) {
        const std::string &line = r.status[i];
        if (i > at && StartsWith(line, "NEWSIG"))
            break;
        const auto w = Words(Rest(line));
        if (StartsWith(line, "VALIDSIG") && w.size() > 2)
            facts.signedAt = Seconds(w[2]);
        else if (StartsWith(line, "KEYEXPIRED") && !w.empty())
            facts.keyExpired = Seconds(w[0]);
        else if (StartsWith(line, "TRUST_FULLY") || StartsWith(line, "TRUST_ULTIMATE"))
            facts.certified = true;
        else if (StartsWith(line, "TRUST_MARGINAL"))
            facts.marginal = true;
    }
    return facts;
}

std::string UncertifiedWarning(const std::string &userId, bool marginal)
{
    return std::string("WARNING:  Because this public key is not certified with ") +
           (marginal ? "enough trusted\nsignatures" : "a trusted\nsignature") +
           ", it is not known with high confidence that this public key\n"
           "actually belongs to: \"" +
           userId + "\".";
}

} // namespace

std::string KeyStateWarning(const std::string &keyword, const std::string &userId,
                            long long signedAt, long long keyExpired)
{
    if (keyword == "REVKEYSIG")
        return "WARNING:  The key of user \"" + userId +
               "\" has been revoked by its owner,\n"
               "possibly because the secret key was compromised.\n"
               "This could mean that this signature is a forgery.";
    // A signature made while the key was still valid stays good: only its key has aged.
    if (keyword == "EXPKEYSIG" && signedAt > 0 && keyExpired > 0 && signedAt < keyExpired)
        return "WARNING:  The key of user \"" + userId + "\" expired on " + PgpDate(keyExpired) +
               ",\nafter this signature was made.";
    if (keyword == "EXPKEYSIG")
        return "WARNING:  The key of user \"" + userId +
               "\" has expired.\n"
               "The signature may have been made after the key was no longer valid.";
    if (keyword == "EXPSIG")
        return "WARNING:  This signature has expired.";
    return {};
}

bool HasSignatureVerdict(const GpgResult &r)
{
    for (const char *k : {"GOODSIG", "BADSIG", "ERRSIG", "EXPSIG", "EXPKEYSIG", "REVKEYSIG"}) {
        if (r.has(k))
            return true;
    }
    return false;
}

int ReportSignatures(const GpgResult &r, [[maybe_unused]] const std::string &input,
                     bool uncheckedFails)
{
    int code = kOk;
    for (std::size_t i = 0; i < r.status.size(); ++i) {
        const std::string &line = r.status[i];
        const std::string arg = Rest(line);
        const std::string keyword = line.substr(0, line.find(' '));
        if (keyword == "GOODSIG" || keyword == "EXPSIG" || keyword == "EXPKEYSIG" ||
            keyword == "REVKEYSIG") {
            const SignatureFacts facts = FactsOf(r, i);
            const std::string user = UserIdOf(arg);
            std::string text = "Good signature from user \"" + user + "\".";
            const auto words = Words(arg);
            text += "\nSignature made " + PgpDate(facts.signedAt) + " using key ID " +
                    (words.empty() ? std::string("?") : ShortId(words.front()));
            std::string warning = KeyStateWarning(keyword, user, facts.signedAt, facts.keyExpired);
            std::string kind = keyword == "REVKEYSIG" ? "revoked"
                               : keyword == "GOODSIG" ? "good"
                                                      : "expired";
            if (warning.empty() && !facts.certified) {
                kind = "uncertified";
                warning = UncertifiedWarning(user, facts.marginal);
            }
            TellVerdict(kind, warning.empty() ? text : text + "\n" + warning);
        } else if (StartsWith(line, "BADSIG")) {
            Say(BadSignatureReport(UserIdOf(arg)));
            code = kSignatureCheck;
        } else if (StartsWith(line, "ERRSIG")) {
            // The data itself is sound: the reader gets it, told that nobody vouched for it.
            const auto w = Words(line);
            const long long made = w.size() > 5 ? Seconds(w[5]) : 0;
            TellVerdict("unchecked", UncheckableReason(w) + "\nSignature made " + PgpDate(made) +
                                         " using key ID " + (w.size() > 1 ? ShortId(w[1]) : "?") +
                                         "; it was not checked.");
            if (uncheckedFails)
                code = kSignatureCheck;
        }
    }
    return code;
}

bool DataComplete(const GpgResult &r)
{
    // A bad signature leaves nothing to keep, whatever gpg wrote and whichever gpg it was.
    if (r.signal != 0 || r.has("FAILURE") || r.has("BADSIG"))
        return false;
    if (r.exitCode == 0)
        return true;
    // A bad or uncheckable signature makes gpg fail after it wrote all the data; anything else
    // (a cut message, a full disk, a wrong key) leaves the data in doubt.
    if (!HasSignatureVerdict(r))
        return false;
    if (r.has("BEGIN_DECRYPTION") && !r.has("DECRYPTION_OKAY"))
        return false;
    for (const char *trouble : {"problem reading source", "error writing", "write error",
                                "invalid packet", "read error", "unexpected end"}) {
        if (ErrorsMention(r, trouble))
            return false;
    }
    return true;
}

namespace {

// What one run of gpg or gpg1 came to, read once from its status lines. The order of the tests
// is the whole point: a verdict on the signature outranks the gpg-exit failure that follows it,
// a write error outranks everything gpg says after it, damage outranks a missing key of another
// recipient, and only a whole message is blamed on its cipher.
enum class Outcome
{
    BadSignature,
    WriteFailed,
    NoPassphrase,
    BadPassphrase,
    Damaged,
    Cut,
    NoIntegrity,
    NoSecretKey,
    NotPgp,
    Other,
};

bool WriteTrouble(const GpgResult &r)
{
    return r.signal == SIGXFSZ || ErrorsMention(r, "error writing") ||
           ErrorsMention(r, "write error") || ErrorsMention(r, "No space left") ||
           ErrorsMention(r, "File too large") || ErrorsMention(r, "Disk quota");
}

// gpg's line naming the first of `words` it used, or empty.
std::string LineWithAny(const GpgResult &r, std::initializer_list<const char *> words)
{
    for (const char *w : words) {
        if (ErrorsMention(r, w))
            return LineMentioning(r, w);
    }
    return {};
}

std::string CutLine(const GpgResult &r)
{
    return LineWithAny(r, {"problem reading source", "Problem reading source", "unexpected end",
                           "pending bytes", "read error"});
}

std::string DamageLine(const GpgResult &r)
{
    return LineWithAny(r,
                       {"invalid packet", "inflate problem", "manipulated", "packet with invalid"});
}

// Our key opened the session key (or the pass phrase did): what failed came later.
bool SessionKeyOpened(const GpgResult &r)
{
    return r.has("DECRYPTION_KEY") || r.has("DECRYPTION_INFO") || r.has("PLAINTEXT") ||
           r.has("DECRYPTION_OKAY");
}

bool Encrypted(const GpgResult &r)
{
    return r.has("BEGIN_DECRYPTION") || r.has("ENC_TO") || r.has("NEED_PASSPHRASE_SYM") ||
           r.has("DECRYPTION_FAILED");
}

bool CutByPackets(const std::string &input)
{
    constexpr std::size_t kLimit = 1 << 20;
    const std::string head = ReadWholeFile(input, kLimit);
    return head.size() < kLimit && ReadPacketFacts(head).cut;
}

Outcome Classify(const Context &cx, const GpgResult &r, const std::string &input)
{
    const bool encrypted = Encrypted(r);
    if (r.has("BADSIG"))
        return Outcome::BadSignature;
    if (WriteTrouble(r))
        return Outcome::WriteFailed;
    // A cut message fails in as many ways as there are ciphers and pass phrases; its packets
    // tell first.
    if (encrypted && !r.has("DECRYPTION_OKAY") && CutByPackets(input))
        return Outcome::Cut;
    if (encrypted && r.has("MISSING_PASSPHRASE"))
        return Outcome::NoPassphrase;
    if (encrypted && BadPassphrase(r))
        return cx.passphraseTried ? Outcome::BadPassphrase : Outcome::NoPassphrase;
    if (r.has("BADMDC") || !DamageLine(r).empty())
        return Outcome::Damaged;
    if (!CutLine(r).empty())
        return Outcome::Cut;
    if (encrypted && (r.arg("ERROR").rfind("nomdc_with_legacy_cipher", 0) == 0 ||
                      ErrorsMention(r, "not integrity protected")))
        return Outcome::NoIntegrity;
    if (encrypted && r.has("NO_SECKEY") && !SessionKeyOpened(r))
        return Outcome::NoSecretKey;
    if (r.has("NODATA") && !r.has("PLAINTEXT") && !encrypted)
        return Outcome::NotPgp;
    if (r.has("PLAINTEXT") && !HasSignatureVerdict(r))
        return Outcome::Cut;
    return Outcome::Other;
}

std::string CipherName(const GpgResult &r)
{
    // DECRYPTION_INFO <mdc method> <cipher> [<aead>]
    const auto info = Words(r.arg("DECRYPTION_INFO"));
    const int cipher = info.size() > 1 ? std::atoi(info[1].c_str()) : 0;
    static const char *const names[] = {nullptr, "IDEA", "3DES",    "CAST5",   "Blowfish", nullptr,
                                        nullptr, "AES",  "AES-192", "AES-256", "Twofish"};
    if (cipher > 0 && cipher <= 10 && names[cipher])
        return names[cipher];
    return cipher > 0 ? "cipher " + std::to_string(cipher) : std::string("a cipher");
}

} // namespace

std::string WriteFailureReason(const GpgResult &r)
{
    if (r.signal == SIGXFSZ)
        return std::strerror(EFBIG);
    if (!WriteTrouble(r))
        return {};
    // gpg names its scratch file; the cause is what follows the last colon.
    std::string why = LineMentioning(r, "writ");
    if (why.find("writ") == std::string::npos)
        why = LineWithAny(r, {"No space left", "File too large", "Disk quota"});
    if (const auto colon = why.rfind(": "); colon != std::string::npos)
        why.erase(0, colon + 2);
    return why;
}

void FailOnWriteError(const GpgResult &r, const std::string &doing, const std::string &output)
{
    if (const std::string why = WriteFailureReason(r); !why.empty())
        Fail(kFileError,
             doing + " failed: cannot write '" + output + "': " + why + "; nothing written.");
}

std::string BadSignatureReport(const std::string &userId)
{
    return "WARNING: Bad signature, doesn't match file contents!\nBad signature from user \"" +
           Printable(userId) + "\".";
}

void DecryptFailure(const Context &cx, const GpgResult &r, const std::string &input,
                    const std::string &output)
{
    const bool encrypted = Encrypted(r);
    const bool symmetric =
        r.has("NEED_PASSPHRASE_SYM") || (r.has("BEGIN_DECRYPTION") && !r.has("ENC_TO"));
    const int code = !encrypted ? kInvalidFile : symmetric ? kConventionalDecrypt : kPublicDecrypt;
    const std::string cannot = "Cannot decrypt '" + input + "': ";
    switch (Classify(cx, r, input)) {
    case Outcome::BadSignature:
        Fail(kSignatureCheck, BadSignatureReport(UserIdOf(r.arg("BADSIG"))));
    case Outcome::WriteFailed:
        Fail(kFileError, "Cannot write the plaintext of '" + input + "' to '" + output +
                             "': " + WriteFailureReason(r) + "; nothing written.");
    case Outcome::NoPassphrase:
        Fail(code, cannot + "a pass phrase is needed and none was given (use -z).");
    case Outcome::BadPassphrase:
        Fail(code, cannot + "bad pass phrase.");
    case Outcome::Damaged:
        Fail(encrypted ? code : kInvalidFile,
             "'" + input + "' has been changed or damaged (" +
                 (DamageLine(r).empty() ? std::string("its integrity check failed")
                                        : DamageLine(r)) +
                 "); nothing written.");
    case Outcome::Cut: {
        const std::string line = CutLine(r);
        const std::string why = !line.empty()         ? line
                                : CutByPackets(input) ? "it ends inside a packet"
                                                      : FailureText(r);
        Fail(encrypted ? code : kInvalidFile,
             "'" + input + "' is cut short (" + why + "); nothing written.");
    }
    case Outcome::NoIntegrity:
        // Reached only without gpg1, or for a key gpg1 does not hold.
        if (IdeaMessage(r))
            Fail(code, cannot + "it was encrypted with IDEA by PGP 2.x, a cipher GnuPG 2 does "
                                "not use for messages without integrity protection.");
        Fail(code, cannot + "it was encrypted with " + CipherName(r) +
                       " without integrity protection, which GnuPG 2 no longer accepts; "
                       "nothing written.");
    case Outcome::NoSecretKey:
        Fail(kPublicDecrypt,
             cannot + "you do not have the secret key needed to decrypt this file.");
    case Outcome::NotPgp:
        Fail(kFileError, "'" + input + "' is not a PGP file; nothing written.");
    case Outcome::Other:
        break;
    }
    if (encrypted)
        Fail(code, cannot + FailureText(r) + "; nothing written.");
    Fail(kInvalidFile, "Cannot process '" + input + "': " + FailureText(r) + "; nothing written.");
}

} // namespace zpgp
