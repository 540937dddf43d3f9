// zorvex-pgp's packet reader on arbitrary bytes, binary or armoured: no crash, and armour written
// by Armor() reads back to the same bytes.
#include "zorvex-pgp/oldpackets.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char *>(data), size);
    zpgp::ReadPacketFacts(bytes);
    zpgp::ReadPacketFacts(zpgp::SplitOldKeys(bytes).oldKeys);
    const std::string bin = zpgp::Dearmor(bytes);
    if (!bin.empty() && (static_cast<unsigned char>(bin[0]) & 0x80) &&
        zpgp::Dearmor(zpgp::Armor(bin, "MESSAGE")) != bin)
        std::abort();
    return 0;
}
