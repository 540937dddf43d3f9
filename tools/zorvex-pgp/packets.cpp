#include "packets.h"

#include <algorithm>
#include <cstdint>
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

std::size_t BigEndian(std::string_view d, std::size_t at, int bytes)
{
    std::size_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v = (v << 8) | static_cast<unsigned char>(d[at + static_cast<std::size_t>(i)]);
    return v;
}

// The next armour line from `pos` on; quoted or dash-escaped text only mentions armour.
std::size_t FindArmor(std::string_view data, std::size_t pos)
{
    while ((pos = data.find("-----BEGIN PGP ", pos)) != std::string_view::npos) {
        if (pos == 0 || data[pos - 1] == '\n')
            return pos;
        ++pos;
    }
    return pos;
}

std::string_view NextLine(std::string_view data, std::size_t &pos)
{
    std::size_t e = data.find('\n', pos);
    if (e == std::string_view::npos)
        e = data.size();
    const std::string_view line = data.substr(pos, e - pos);
    pos = e + 1;
    return line;
}

// Read as Dearmor reads it, so that a damaged clear-signed text is no signature without data.
bool IsClearSigned(std::string_view data)
{
    if (!data.empty() && (static_cast<unsigned char>(data[0]) & 0x80))
        return false;
    for (std::size_t pos = 0; (pos = FindArmor(data, pos)) != std::string_view::npos; ++pos) {
        if (data.substr(pos, data.find('\n', pos) - pos).find("SIGNED MESSAGE") !=
            std::string_view::npos)
            return true;
    }
    return false;
}

} // namespace

std::string Dearmor(std::string_view data)
{
    if (!data.empty() && (static_cast<unsigned char>(data[0]) & 0x80))
        return std::string(data);
    std::string out;
    std::size_t pos = 0;
    while ((pos = FindArmor(data, pos)) != std::string_view::npos) {
        const std::size_t lineEnd = data.find('\n', pos);
        if (lineEnd == std::string_view::npos)
            break;
        if (data.substr(pos, lineEnd - pos).find("SIGNED MESSAGE") != std::string_view::npos) {
            // The text of a clear-signed message is not armour; its signature block follows.
            pos = lineEnd;
            continue;
        }
        pos = lineEnd + 1;
        // Header lines run to the first empty line; a block without one holds nothing, and its
        // end line stops the search so the text after it is not taken for radix-64.
        bool body = false;
        while (pos < data.size()) {
            const std::size_t lineStart = pos;
            const std::string_view line = NextLine(data, pos);
            if (line.rfind("-----", 0) == 0) {
                pos = lineStart; // may begin the next block
                break;
            }
            if (line.find_first_not_of(" \t\r") == std::string_view::npos) {
                body = true;
                break;
            }
        }
        unsigned int bits = 0;
        int count = 0;
        while (body && pos < data.size()) {
            const std::string_view line = NextLine(data, pos);
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

SignatureLayout ClassifySignature(std::string_view fileHead)
{
    // The signature of a clear-signed text is not detached: the text is right above it.
    if (IsClearSigned(fileHead))
        return SignatureLayout::None;
    const std::string data = Dearmor(fileHead);
    std::size_t pos = 0;
    Packet p;
    if (!NextPacket(data, pos, p) || p.tag != 2)
        return SignatureLayout::None;
    for (int seen = 1; seen < 16 && NextPacket(data, pos, p); ++seen) {
        // A marker or trust packet may sit anywhere; anything else after the signatures is data.
        if (p.tag != 2 && p.tag != 10 && p.tag != 12)
            return SignatureLayout::Leading;
    }
    return SignatureLayout::Detached;
}

std::vector<OldKey> FindOldKeys(std::string_view fileData)
{
    const std::string data = Dearmor(fileData);
    std::vector<OldKey> keys;
    bool wantUserId = false;
    std::size_t pos = 0;
    Packet p;
    while (NextPacket(data, pos, p)) {
        const std::string_view body = p.body;
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
                std::snprintf(hex, sizeof hex, "%08X",
                              static_cast<unsigned>(BigEndian(body, 10 + bytes - 4, 4)));
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
