// The key listing of zorvex-pgp: gpg's colon listing in, PGP 2.6's layout out. Kept free of any
// process handling so that unit tests and a fuzzer can feed it text directly.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

struct ListedKey
{
    int bits = 0;
    std::string keyId;       // 16 hex digits as gpg gives them
    std::string fingerprint; // 32 or 40 hex digits, may be empty
    std::int64_t created = 0;
    bool revoked = false;
    bool expired = false;
    bool disabled = false;
    std::vector<std::string> userIds;  // decoded, revoked user IDs left out
    int algorithm = 0;                 // OpenPGP's number: 1 RSA, 17 DSA, 19 ECDSA, 22 EdDSA, ...
    std::string curve;                 // "ed25519", "nistp256", ... for elliptic curve keys
    std::int64_t expires = 0;          // 0: never
    char validity = 0;                 // gpg's validity letter (f, u, m, q, n, -, e, r, ...)
    bool secret = false;               // the secret key is at hand (gpg-agent holds it)
    std::vector<std::string> keygrips; // of the key and its subkeys (with --with-keygrip)
};

// Appends a user ID as it may be printed: control characters and bytes that are not UTF-8
// written as "\xHH".
void AppendPrintable(std::string &out, std::string_view uid);

// Decodes gpg's "\xHH" escapes of a colon field; a malformed escape is kept as written.
std::string DecodeColonField(std::string_view field);

// Reads the "pub", "fpr" and "uid" records of `gpg --with-colons --list-keys`. Unknown records and
// extra fields are ignored; a short or damaged line never throws.
std::vector<ListedKey> ParseColonListing(std::string_view text);

// "YYYY/MM/DD" in UTC.
std::string FormatKeyDate(std::int64_t epochSeconds);

// The groups after "Key fingerprint =", starting with a blank; empty for an unknown length.
std::string FormatFingerprint(std::string_view hex);

// One key as PGP 2.6 prints it, every line ending in '\n'.
std::string FormatKey(const ListedKey &key, bool withFingerprint);

// The whole listing: blank line, "Key ring:" header, column titles, keys, count line.
std::string FormatKeyListing(const std::vector<ListedKey> &keys, std::string_view keyringName,
                             bool withFingerprint);

// "0x" followed by exactly 8 hex digits.
bool IsShortKeyId(std::string_view text);

// The keys whose key ID ends in the 8 hex digits of a short key ID (case-insensitive).
std::vector<const ListedKey *> MatchShortKeyId(const std::vector<ListedKey> &keys,
                                               std::string_view shortId);

} // namespace zpgp
