// PGP 2.x material (version 3 RSA keys, IDEA messages, MD5 signatures) handed to GnuPG 1.4,
// which still reads and writes it, beside GnuPG 2 for everything else.
//
// Those keys live in a key ring of zorvex-pgp's own, "zorvex-legacy" inside the GnuPG home, so
// the GnuPG 1 home of anyone who also uses gpg1 directly is never touched. Every hook below does
// nothing (and runs nothing) until that ring holds a key or the material itself is PGP 2.x.
#pragma once

#include "common.h"
#include "importreport.h"

#include <optional>
#include <string>
#include <vector>

namespace zpgp {

// GnuPG 1.4: $ZORVEX_GPG1 when set, otherwise "gpg1" from PATH.
std::string Gpg1Program();
bool HaveGpg1();
// <GnuPG home>/zorvex-legacy
std::string LegacyHome();

// Version 3 keys have 16-byte fingerprints; GnuPG 2 holds none of them.
bool IsLegacyKey(const ListedKey &key);

// gpg1 in the legacy home with the arguments every call needs.
GpgCall LegacyCall(const Context &cx);
// The same for gpg1 talking to the user on the terminal (key editing); certifications it makes
// are version 3 with MD5, as PGP 2.x reads them.
GpgCall LegacyEditCall(const Context &cx, const std::optional<std::string> &passphrase);

// -ka: adds the version 3 keys of `file` to the legacy ring (or says what to install).
struct LegacyAdd
{
    bool onlyOld = false; // nothing left for GnuPG 2
    bool added = false;   // gpg1 took the version 3 keys, and each was reported
    ImportTally tally;    // what became of them, for the count line
    int code = kOk;       // the run's exit code, once GnuPG 2 is done with the rest
};
LegacyAdd AddLegacyKeys(Context &cx, const std::string &file);

// -kv: the version 3 keys matching `names` (all when empty), appended to `keys`.
void AppendLegacyKeys(const Context &cx, const std::vector<std::string> &names,
                      std::vector<ListedKey> &keys);

// The version 3 key a name picks, for a key command that GnuPG 2 found nothing for.
std::optional<ListedKey> FindLegacyKey(const Context &cx, const std::string &name);
bool LegacyHasSecretKey(const Context &cx, const std::string &fingerprint);
int RemoveLegacyKey(Context &cx, const ListedKey &key, bool withSecret);
// gpg1 revokes a version 3 key only through a revocation certificate, made on the terminal.
int RevokeLegacyKey(Context &cx, const ListedKey &key, const std::vector<std::string> &given);

// Shared by the key ring and the message halves of the legacy code.
bool LegacyRingInUse();
std::vector<ListedKey> ListLegacy(const Context &cx, const std::vector<std::string> &names,
                                  bool secret, bool namedRing = false);
// The version 3 key with this 16-digit key ID is in the legacy ring.
bool LegacyHasKey(const Context &cx, const std::string &keyId);
// Writes `data` over an existing file without following a link.
void WriteFile(const std::string &path, const std::string &data);

// Decrypting: true when the message is PGP 2.x and gpg1 should read it (before GnuPG 2 is
// tried, or after GnuPG 2 reported what it cannot do). Without gpg1 they end the run saying so.
// Material that only looks old (an MD5 signature by a key in the GnuPG 2 ring, a cut message)
// keeps GnuPG 2's verdict: gpg1 has none of those keys.
bool DecryptWithGpg1First(const Context &cx, const std::string &input);
bool RetryWithGpg1(const Context &cx, const GpgResult &r, const std::string &input);
// The line that says gpg1 read `input`; a failure instead carries it in its one line.
std::string Gpg1Note(const std::string &input);
std::string WithGpg1Note(const std::string &message);
GpgResult DecryptWithGpg1(Context &cx, const std::string &input, const std::string &outTemp);
GpgResult VerifyWithGpg1(Context &cx, const std::string &sig, const std::string &data);

// Encrypting and signing: when the keys are version 3, writes the old format into `outTemp`
// with gpg1 and returns true; false when no version 3 key is involved.
struct LegacyCryptJob
{
    std::string input;
    bool text = false;
    bool clearsign = false;
    std::vector<std::string> recipients;
    std::optional<std::string> signer;
    std::string output; // the name the user knows the output by
};
bool LegacyCrypt(Context &cx, const LegacyCryptJob &job, const std::string &outTemp);

} // namespace zpgp
