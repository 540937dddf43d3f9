// The one reader of OpenPGP data without gpg: radix-64 armour undone and packets taken apart,
// enough to tell a detached signature from a message that begins with its signature, to name the
// keys gpg skips, and for the PGP 2.x checks built on it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

// The binary packets of `data`: armoured blocks are decoded and joined (the signature of a
// clear-signed text included, its checksum not checked); binary data comes back as it is.
// Damaged armour ends early.
std::string Dearmor(std::string_view data);

struct Packet
{
    bool cut = false; // the data ended before the length the header gave
    int tag = 0;
    std::size_t start = 0; // first byte of the header
    std::size_t end = 0;   // one past the body
    std::string body;      // partial body chunks joined
};

// The packet at `pos`, moving `pos` past it; false, with `pos` left alone, when the data ends or
// holds no packet header there.
bool NextPacket(std::string_view data, std::size_t &pos, Packet &p);

enum class SignatureLayout
{
    None,     // not starting with a signature packet
    Detached, // nothing but signatures
    Leading,  // a signature followed by the data it signs, as PGP 2.x wrote signed messages
};
SignatureLayout ClassifySignature(std::string_view fileHead);

// A PGP 2.x key (version 2 or 3 key packet) found in a key file, with its first user ID.
struct OldKey
{
    std::string keyId; // 8 hex digits, as PGP 2.x showed them
    int bits = 0;
    std::string userId;
};
std::vector<OldKey> FindOldKeys(std::string_view fileData);

} // namespace zpgp
