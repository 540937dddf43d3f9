#include "oldpackets.h"

#include <algorithm>
#include <cstdio>

namespace zpgp {

namespace {

struct Packet
{
    bool cut = false; // the data ended before the length the header gave
    int tag = 0;
    std::size_t start = 0; // first byte of the header
    std::size_t end = 0;   // one past the body
    std::string body;
};

std::size_t BigEndian(std::string_view d, std::size_t at, int bytes)
{
    std::size_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | static_cast<unsigned char>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

// The packet at `pos`, or false when the data ends or is not a packet.
bool NextPacket(std::string_view d, std::size_t &pos, Packet &p)
{
    if (pos >= d.size())
        return false;
    const auto ctb = static_cast<unsigned char>(d[pos]);
    if (!(ctb & 0x80))
        return false;
    p = Packet();
    p.start = pos;
    std::size_t at = pos + 1;
    if (!(ctb & 0x40)) {
        p.tag = (ctb >> 2) & 0x0f;
        const int type = ctb & 3;
        std::size_t length = d.size() - at;
        if (type < 3) {
            const int bytes = type == 0 ? 1 : type == 1 ? 2 : 4;
            if (at + static_cast<std::size_t>(bytes) > d.size())
                return false;
            length = BigEndian(d, at, bytes);
            at += static_cast<std::size_t>(bytes);
        }
        // A file read only in part still shows its packets' kinds.
        p.cut = length > d.size() - at;
        length = std::min(length, d.size() - at);
        p.body.assign(d.substr(at, length));
        pos = p.end = at + length;
        return true;
    }
    p.tag = ctb & 0x3f;
    for (;;) {
        if (at >= d.size())
            return false;
        const auto first = static_cast<unsigned char>(d[at]);
        std::size_t length = 0;
        bool partial = false;
        if (first < 192) {
            length = first;
            at += 1;
        } else if (first < 224) {
            if (at + 2 > d.size())
                return false;
            length = ((first - 192u) << 8) + static_cast<unsigned char>(d[at + 1]) + 192;
            at += 2;
        } else if (first == 255) {
            if (at + 5 > d.size())
                return false;
            length = BigEndian(d, at + 1, 4);
            at += 5;
        } else {
            length = std::size_t{1} << (first & 0x1f);
            partial = true;
            at += 1;
        }
        p.cut = p.cut || length > d.size() - at;
        length = std::min(length, d.size() - at);
        p.body.append(d.substr(at, length));
        at += length;
        if (!partial)
            break;
    }
    pos = p.end = at;
    return true;
}

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

std::string Dearmor(std::string_view data)
{
    if (!data.empty() && (static_cast<unsigned char>(data[0]) & 0x80))
        return std::string(data);
    std::string out;
    std::size_t pos = 0;
    while ((pos = data.find("-----BEGIN PGP ", pos)) != std::string_view::npos) {
        if (pos > 0 && data[pos - 1] != '\n') {
            ++pos; // not at a line start: quoted or dash-escaped text
            continue;
        }
        const std::size_t lineEnd = data.find('\n', pos);
        if (lineEnd == std::string_view::npos)
            break;
        if (data.substr(pos, lineEnd - pos).find("SIGNED MESSAGE") != std::string_view::npos) {
            // The text of a clear-signed message is not armour; its signature block follows.
            pos = lineEnd;
            continue;
        }
        pos = lineEnd + 1;
        // Header lines run to the first empty line.
        while (pos < data.size()) {
            std::size_t e = data.find('\n', pos);
            if (e == std::string_view::npos)
                e = data.size();
            std::string_view line = data.substr(pos, e - pos);
            pos = e + 1;
            if (line.find_first_not_of(" \t\r") == std::string_view::npos)
                break;
        }
        unsigned int bits = 0;
        int count = 0;
        while (pos < data.size()) {
            std::size_t e = data.find('\n', pos);
            if (e == std::string_view::npos)
                e = data.size();
            std::string_view line = data.substr(pos, e - pos);
            pos = e + 1;
            if (line.rfind("=", 0) == 0 || line.rfind("-----", 0) == 0)
                break;
            for (const char c : line) {
                const int v = Base64Value(c);
                if (v < 0)
                    continue;
                bits = (bits << 6) | static_cast<unsigned int>(v);
                if (++count == 4) {
                    out.push_back(static_cast<char>((bits >> 16) & 0xff));
                    out.push_back(static_cast<char>((bits >> 8) & 0xff));
                    out.push_back(static_cast<char>(bits & 0xff));
                    bits = 0;
                    count = 0;
                }
            }
        }
        // "=" padding is not a digit above, so a short last group is left in `bits`.
        if (count == 2) {
            out.push_back(static_cast<char>((bits >> 4) & 0xff));
        } else if (count == 3) {
            out.push_back(static_cast<char>((bits >> 10) & 0xff));
            out.push_back(static_cast<char>((bits >> 2) & 0xff));
        }
    }
    return out;
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
    out += "=" + encode(std::string_view(sum, 3)) + "\n";
    out += "-----END PGP " + std::string(kind) + "-----\n";
    return out;
}

} // namespace zpgp
