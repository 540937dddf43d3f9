// A look at the packets at the start of an OpenPGP file, without gpg: enough to tell a detached
// signature from a message that begins with its signature, and to name the keys gpg skips.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

struct PacketInfo
{
    int tag = 0;
    std::size_t bodyOffset = 0; // into the de-armoured data
    std::size_t bodyLength = 0; // to the end of the data when the length is not given
    bool lengthKnown = true;
};

// The binary form: radix-64 armour decoded (its checksum not checked), binary data as it is.
std::string Unarmor(std::string_view data);

// The packet headers of `data`, at most `limit` of them; stops at the first damaged header.
std::vector<PacketInfo> ScanPackets(std::string_view data, std::size_t limit);

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
