#include "importreport.h"

#include "files.h"
#include "packets.h"
#include "printable.h"
#include "report.h"

#include <cstdlib>
#include <map>
#include <sstream>
#include <vector>

namespace zpgp {

namespace {

// IMPORT_OK's reason bits: what a known key gained.
std::string Gains(long bits)
{
    std::string out;
    const std::pair<long, const char *> names[] = {
        {2, "new user IDs"}, {4, "new signatures"}, {8, "new subkeys"}, {16, "secret key"}};
    for (const auto &[bit, name] : names) {
        if (bits & bit)
            out += (out.empty() ? "" : ", ") + std::string(name);
    }
    return out;
}

// gpg says why it skipped a key only in words: "gpg: key 0123ABCD...: <why>".
std::map<std::string, std::string> SkipReasons(const std::string &errors)
{
    std::map<std::string, std::string> reasons;
    std::istringstream in(errors);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("gpg: key ", 0) != 0)
            continue;
        const auto colon = line.find(": ", 9);
        if (colon == std::string::npos)
            continue;
        const std::string id = ShortId(line.substr(9, colon - 9));
        const std::string why = line.substr(colon + 2);
        if (why.find("skipped") != std::string::npos || why.find("rejected") != std::string::npos ||
            why.find("no valid") != std::string::npos || why.find("invalid") != std::string::npos)
            reasons[id] = why;
    }
    return reasons;
}

} // namespace

void ReportImportedKey(long bits, const std::string &label, const std::string &fingerprint,
                       ImportTally &tally)
{
    std::string text;
    if (bits & 1) {
        text = label + ": added.";
        ++tally.added;
    } else if (bits & ~16L) {
        text = label + ": updated (" + Gains(bits) + ").";
        ++tally.updated;
    } else if (bits & 16) {
        text = label + ": secret key added.";
        ++tally.updated;
    } else {
        Say(label + ": unchanged, already on the key ring.");
        ++tally.unchanged;
        return;
    }
    if (const std::string groups = FormatFingerprint(fingerprint); !groups.empty())
        text += "\nKey fingerprint =" + groups;
    // The program names what was added after the terminal has closed.
    TellVerdict(bits & 1 ? "added" : "updated", text);
}

int ReportImportSummary(const ImportTally &t, const std::string &ring, const std::string &file)
{
    const std::string to = ring.empty() ? std::string() : " to key ring '" + ring + "'";
    Say(std::to_string(t.added) + (t.added == 1 ? " key" : " keys") + " added" + to + ", " +
        std::to_string(t.updated) + " updated, " + std::to_string(t.unchanged) + " unchanged, " +
        std::to_string(t.skipped) + " skipped.");
    if (t.added == 0 && t.updated == 0) {
        Say("No new keys or signatures in keyfile '" + file + "'.");
        return kKeyError;
    }
    return kOk;
}

int ReportImport(const Context &cx, const GpgResult &r, const std::string &file, bool oldKeysAdded,
                 const ImportTally &old)
{
    // IMPORT_RES <count> <no_user_id> <imported> <imported_rsa> <unchanged> <n_uids> <n_subk>
    //   <n_sigs> <n_revoc> <sec_read> <sec_imported> <sec_dups> <skipped_new> <not_imported>
    //   <skipped_v3>
    const auto res = Words(r.arg("IMPORT_RES"));
    auto count = [&](std::size_t i) { return i < res.size() ? std::atol(res[i].c_str()) : 0L; };

    std::vector<std::string> fingerprints;
    for (const std::string &line : r.status) {
        if (line.rfind("IMPORT_OK ", 0) == 0) {
            const auto w = Words(line);
            if (w.size() > 2)
                fingerprints.push_back(w[2]);
        }
    }
    std::map<std::string, std::string> names;
    if (!fingerprints.empty()) {
        for (const ListedKey &k : ListKeys(cx, fingerprints))
            names[k.fingerprint] = k.userIds.empty() ? std::string() : Printable(k.userIds.front());
    }
    auto label = [&](const std::string &fpr) {
        const auto it = names.find(fpr);
        return "Key " + ShortId(fpr) +
               (it != names.end() && !it->second.empty() ? " \"" + it->second + "\"" : "");
    };

    ImportTally t = old;
    long &skipped = t.skipped;
    for (const std::string &line : r.status) {
        const auto w = Words(line);
        if (w.size() > 2 && w[0] == "IMPORT_OK") {
            ReportImportedKey(std::atol(w[1].c_str()), label(w[2]), w[2], t);
        } else if (w.size() > 1 && w[0] == "IMPORT_PROBLEM") {
            static const char *why[] = {
                "gpg gave no reason", "not a valid key", "the key that certified it is missing",
                "its certificate chain is too long", "it could not be stored"};
            const long code = std::atol(w[1].c_str());
            Say((w.size() > 2 ? label(w[2]) : std::string("A key")) +
                ": skipped: " + (code >= 0 && code <= 4 ? why[code] : "gpg gave no reason") + ".");
            ++skipped;
        }
    }
    // Keys gpg left out without a status line of their own.
    const auto reasons = SkipReasons(r.errors);
    for (const auto &[id, why] : reasons) {
        Say("Key " + id + ": skipped: " + why + ".");
        ++skipped;
    }
    if (count(14) > 0 && !oldKeysAdded) {
        // GnuPG 2 skips PGP 2.x keys without naming them; the file does.
        const auto old = FindOldKeys(ReadWholeFile(file, 64u << 20));
        for (const OldKey &k : old)
            Say("Key " + k.keyId + (k.userId.empty() ? "" : " \"" + k.userId + "\"") +
                ": skipped: a PGP 2.x (version 3) key, which GnuPG 2 does not read.");
        if (old.empty())
            Say(std::to_string(count(14)) +
                " PGP 2.x (version 3) keys skipped: GnuPG 2 does not read them.");
        skipped += count(14);
    }
    const long missingUserId = count(1);
    if (missingUserId > 0 && reasons.empty()) {
        Say(std::to_string(missingUserId) + " key(s) skipped: no valid user ID.");
        skipped += missingUserId;
    }
    return ReportImportSummary(t, cx.keyring ? *cx.keyring : std::string(), file);
}

} // namespace zpgp
