// OpenPGP packets read and written directly: enough to tell PGP 2.x material (version 3 keys,
// IDEA messages, MD5 signatures) from what GnuPG 2 handles, and to build the old signed message
// form that GnuPG 1.4 no longer writes itself. Plain functions on bytes, no processes.
#pragma once

#include "packets.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zpgp {

// What the top-level packets of a message or key file show.
struct PacketFacts
{
    std::vector<int> tags;               // packet tags in order
    std::vector<std::string> recipients; // key IDs of public-key session key packets, hex
    bool conventionalKey = false;        // a session key packet for a pass phrase
    int conventionalCipher = 0;          // its cipher (1 = IDEA)
    bool unprotectedData = false;        // encrypted data without integrity check (tag 9)
    int keys = 0;                        // primary keys, public or secret
    int oldKeys = 0;                     // of those, version 2 or 3
    bool md5Signature = false;           // a signature or one-pass signature using MD5
    bool cut = false;                    // packets ran past the data, or something else followed

    // PGP 2.x conventional encryption: IDEA data with no session key packet before it, or a
    // pass phrase packet naming IDEA.
    bool oldConventional() const;
    // Public-key encrypted data without integrity check, as PGP 2.x and version 3 keys make it.
    bool oldPublicKey() const;
};

// Reads the packets of `data` (binary or armoured); stops quietly at anything malformed.
PacketFacts ReadPacketFacts(std::string_view data);

// The version 3 (and 2) keys of a key file, each with the packets that follow it, and how many
// keys of either kind it holds.
struct OldKeySplit
{
    std::string oldKeys; // binary packets
    int oldCount = 0;
    int otherCount = 0;
};
OldKeySplit SplitOldKeys(std::string_view data);

// An old-format literal data packet ('b' binary or 't' text).
std::string LiteralPacket(std::string_view name, char mode, std::uint32_t time,
                          std::string_view data);

// Radix-64 armour of binary packets, with its checksum line.
std::string Armor(std::string_view binary, std::string_view kind);

} // namespace zpgp
