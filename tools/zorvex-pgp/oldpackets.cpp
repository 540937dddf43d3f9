#include "oldpackets.h"

#include <cstdio>

namespace zpgp {

namespace {

std::string Hex(std::string_view bytes)
{
    std::string out;
    char b[3];
    for (const char c : bytes) {
        std::snprintf(b, sizeof b, "%02X", static_cast<unsigned char>(c));
        out += b;
    }
    return out;
}

bool IsKeyTag(int tag)
{
    return tag == 5 || tag == 6;
}

std::uint32_t Crc24(std::string_view data)
{
    std::uint32_t crc = 0xB704CE;
    for (const char c : data) {
        crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16;
        for (int i = 0; i < 8; ++i) {
            crc <<= 1;
            if (crc & 0x1000000)
                crc ^= 0x1864CFB;
        }
    }
    return crc & 0xFFFFFF;
}

} // namespace

bool PacketFacts::oldConventional() const
{
    if (conventionalKey)
        return conventionalCipher == 1;
    return !tags.empty() && tags.front() == 9;
}

bool PacketFacts::oldPublicKey() const
{
    return !recipients.empty() && unprotectedData;
}

PacketFacts ReadPacketFacts(std::string_view data)
{
    const std::string bin = Dearmor(data);
    PacketFacts f;
    std::size_t pos = 0;
    Packet p;
    while (NextPacket(bin, pos, p)) {
        f.cut = f.cut || p.cut;
        f.tags.push_back(p.tag);
        const std::string &b = p.body;
        const auto byte = [&b](std::size_t i) {
            return i < b.size() ? static_cast<unsigned char>(b[i]) : 0;
        };
        switch (p.tag) {
        case 1:
            if (b.size() >= 9)
                f.recipients.push_back(Hex(std::string_view(b).substr(1, 8)));
            break;
        case 2:
            if ((byte(0) == 2 || byte(0) == 3) && byte(16) == 1)
                f.md5Signature = true;
            if (byte(0) == 4 && byte(3) == 1)
                f.md5Signature = true;
            break;
        case 3:
            f.conventionalKey = true;
            f.conventionalCipher = byte(1);
            break;
        case 4:
            if (byte(2) == 1)
                f.md5Signature = true;
            break;
        case 5:
        case 6:
            ++f.keys;
            if (byte(0) == 2 || byte(0) == 3)
                ++f.oldKeys;
            break;
        case 9:
            f.unprotectedData = true;
            break;
        default:
            break;
        }
    }
    f.cut = f.cut || pos < bin.size();
    return f;
}

OldKeySplit SplitOldKeys(std::string_view data)
{
    const std::string bin = Dearmor(data);
    OldKeySplit split;
    std::size_t pos = 0;
    Packet p;
    bool inOld = false;
    while (NextPacket(bin, pos, p)) {
        if (IsKeyTag(p.tag)) {
            const auto version = p.body.empty() ? 0 : static_cast<unsigned char>(p.body[0]);
            inOld = version == 2 || version == 3;
            ++(inOld ? split.oldCount : split.otherCount);
        }
        if (inOld)
            split.oldKeys.append(bin, p.start, p.end - p.start);
    }
    return split;
}

std::string LiteralPacket(std::string_view name, char mode, std::uint32_t time,
                          std::string_view data)
{
    if (name.size() > 255)
        name = name.substr(name.size() - 255);
    std::string body;
    body.push_back(mode);
    body.push_back(static_cast<char>(name.size()));
    body.append(name);
    for (int shift = 24; shift >= 0; shift -= 8)
        body.push_back(static_cast<char>((time >> shift) & 0xff));
    body.append(data);
    // Old format, four-byte length: PGP 2.x reads it for any size.
    std::string out(1, static_cast<char>(0x80 | (11 << 2) | 2));
    const auto length = static_cast<std::uint32_t>(body.size());
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((length >> shift) & 0xff));
    return out + body;
}

std::string Armor(std::string_view binary, std::string_view kind)
{
    static const char digits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    const auto encode = [](std::string_view in) {
        std::string out;
        for (std::size_t i = 0; i < in.size(); i += 3) {
            std::uint32_t v = static_cast<std::uint32_t>(static_cast<unsigned char>(in[i])) << 16;
            if (i + 1 < in.size())
                v |= static_cast<std::uint32_t>(static_cast<unsigned char>(in[i + 1])) << 8;
            if (i + 2 < in.size())
                v |= static_cast<unsigned char>(in[i + 2]);
            out.push_back(digits[(v >> 18) & 63]);
            out.push_back(digits[(v >> 12) & 63]);
            out.push_back(i + 1 < in.size() ? digits[(v >> 6) & 63] : '=');
            out.push_back(i + 2 < in.size() ? digits[v & 63] : '=');
        }
        return out;
    };
    const std::string text = encode(binary);
    std::string out = "-----BEGIN PGP " + std::string(kind) + "-----\n\n";
    for (std::size_t i = 0; i < text.size(); i += 64)
        out += text.substr(i, 64) + '\n';
    const std::uint32_t crc = Crc24(binary);
    const char sum[3] = {static_cast<char>(crc >> 16), static_cast<char>((crc >> 8) & 0xff),
                         static_cast<char>(crc & 0xff)};
    out += '=';
    out += encode(std::string_view(sum, 3));
    out += '\n';
    out += "-----END PGP " + std::string(kind) + "-----\n";
    return out;
}

} // namespace zpgp
