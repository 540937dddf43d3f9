#include "packets.h"

#include <cstdio>

namespace zpgp {

namespace {

int Base64Value(char c)
{
    if (c >= 'A' && c <= 'Z')
        return c - 'A';
    if (c >= 'a' && c <= 'z')
        return c - 'a' + 26;
    if (c >= '0' && c <= '9')
        return c - '0' + 52;
    if (c == '+')
        return 62;
    if (c == '/')
        return 63;
    return -1;
}

std::string_view NextLine(std::string_view data, std::size_t &pos)
{
    const std::size_t end = data.find('\n', pos);
    std::string_view line =
        data.substr(pos, end == std::string_view::npos ? std::string_view::npos : end - pos);
    pos = end == std::string_view::npos ? data.size() : end + 1;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t'))
        line.remove_suffix(1);
    return line;
}

std::uint32_t BigEndian(std::string_view data, std::size_t at, int bytes)
{
    std::uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | static_cast<unsigned char>(data[at + static_cast<std::size_t>(i)]);
    return v;
}

} // namespace

std::string Unarmor(std::string_view data)
{
    const std::size_t begin = data.find("-----BEGIN PGP ");
    // Armour starts a line; binary data that merely contains the words is not armour.
    if (begin == std::string_view::npos || (begin > 0 && data[begin - 1] != '\n'))
        return std::string(data);
    std::size_t pos = begin;
    // Clear-signed text is no radix-64; it holds no packets before its signature.
    if (NextLine(data, pos) == "-----BEGIN PGP SIGNED MESSAGE-----")
        return {};
    // Header lines ("Version: ...") end at the first empty line.
    std::size_t scan = pos;
    bool sawBlank = false;
    while (scan < data.size()) {
        const std::string_view line = NextLine(data, scan);
        if (line.empty()) {
            sawBlank = true;
            break;
        }
        if (line.find(": ") == std::string_view::npos)
            break;
    }
    if (sawBlank)
        pos = scan;
    std::string out;
    std::uint32_t acc = 0;
    int bits = 0;
    while (pos < data.size()) {
        const std::string_view line = NextLine(data, pos);
        if (line.rfind("-----", 0) == 0 || (!line.empty() && line[0] == '='))
            break;
        for (const char c : line) {
            const int v = Base64Value(c);
            if (v < 0)
                continue;
            acc = (acc << 6) | static_cast<std::uint32_t>(v);
            bits += 6;
            if (bits >= 8) {
                bits -= 8;
                out.push_back(static_cast<char>((acc >> bits) & 0xff));
            }
        }
    }
    return out;
}

std::vector<PacketInfo> ScanPackets(std::string_view data, std::size_t limit)
{
    std::vector<PacketInfo> packets;
    std::size_t pos = 0;
    while (pos < data.size() && packets.size() < limit) {
        const auto b = static_cast<unsigned char>(data[pos]);
        if (!(b & 0x80))
            break;
        PacketInfo p;
        std::size_t header = 1;
        std::uint64_t length = 0;
        if (b & 0x40) {
            p.tag = b & 0x3f;
            if (pos + 1 >= data.size())
                break;
            const auto o1 = static_cast<unsigned char>(data[pos + 1]);
            if (o1 < 192) {
                header = 2;
                length = o1;
            } else if (o1 < 224) {
                if (pos + 2 >= data.size())
                    break;
                header = 3;
                length = ((o1 - 192u) << 8) + static_cast<unsigned char>(data[pos + 2]) + 192u;
            } else if (o1 == 255) {
                if (pos + 5 >= data.size())
                    break;
                header = 6;
                length = BigEndian(data, pos + 2, 4);
            } else {
                // Partial body lengths: the packet runs on in chunks; nothing after it is read.
                header = 2;
                p.lengthKnown = false;
            }
        } else {
            p.tag = (b >> 2) & 0x0f;
            const int type = b & 3;
            if (type == 3) {
                p.lengthKnown = false;
            } else {
                const int bytes = 1 << type;
                if (pos + static_cast<std::size_t>(bytes) >= data.size())
                    break;
                header = 1 + static_cast<std::size_t>(bytes);
                length = BigEndian(data, pos + 1, bytes);
            }
        }
        p.bodyOffset = pos + header;
        if (p.bodyOffset > data.size())
            break;
        const std::size_t left = data.size() - p.bodyOffset;
        p.bodyLength = p.lengthKnown && length < left ? static_cast<std::size_t>(length) : left;
        packets.push_back(p);
        if (!p.lengthKnown || length > left)
            break;
        pos = p.bodyOffset + p.bodyLength;
    }
    return packets;
}

SignatureLayout ClassifySignature(std::string_view fileHead)
{
    const std::string data = Unarmor(fileHead);
    const auto packets = ScanPackets(data, 16);
    if (packets.empty() || packets.front().tag != 2)
        return SignatureLayout::None;
    for (const PacketInfo &p : packets) {
        // A marker or trust packet may sit anywhere; anything else after the signatures is data.
        if (p.tag != 2 && p.tag != 10 && p.tag != 12)
            return SignatureLayout::Leading;
    }
    return SignatureLayout::Detached;
}

std::vector<OldKey> FindOldKeys(std::string_view fileData)
{
    const std::string data = Unarmor(fileData);
    std::vector<OldKey> keys;
    bool wantUserId = false;
    for (const PacketInfo &p : ScanPackets(data, 1u << 20)) {
        const std::string_view body = std::string_view(data).substr(p.bodyOffset, p.bodyLength);
        if (p.tag == 6) {
            wantUserId = false;
            // Version 2/3: version, created (4), valid days (2), algorithm, then the modulus.
            if (body.size() < 10 || (body[0] != 2 && body[0] != 3))
                continue;
            OldKey key;
            key.bits = static_cast<int>(BigEndian(body, 8, 2));
            const std::size_t bytes = (static_cast<std::size_t>(key.bits) + 7) / 8;
            if (bytes >= 4 && body.size() >= 10 + bytes) {
                char hex[9];
                std::snprintf(hex, sizeof hex, "%08X", BigEndian(body, 10 + bytes - 4, 4));
                key.keyId = hex;
            }
            keys.push_back(key);
            wantUserId = true;
        } else if (p.tag == 13 && wantUserId) {
            keys.back().userId = std::string(body);
            wantUserId = false;
        }
    }
    return keys;
}

} // namespace zpgp
