#include "keylisting.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace zpgp {

namespace {

// The first 17 fields of a colon line, numbered from 1 as in gpg's documentation; those past the
// end of the line are empty. A listing has thousands of lines, so nothing here allocates.
class Fields
{
public:
    explicit Fields(std::string_view line)
    {
        std::size_t start = 0;
        for (std::size_t n = 0; n < kCount; ++n) {
            const std::size_t colon = line.find(':', start);
            if (colon == std::string_view::npos) {
                m_fields[n] = line.substr(start);
                return;
            }
            m_fields[n] = line.substr(start, colon - start);
            start = colon + 1;
        }
    }
    std::string_view operator()(std::size_t number) const
    {
        return number >= 1 && number <= kCount ? m_fields[number - 1] : std::string_view();
    }

private:
    static constexpr std::size_t kCount = 17;
    std::string_view m_fields[kCount];
};

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

bool AllHex(std::string_view text)
{
    for (char c : text) {
        if (HexValue(c) < 0)
            return false;
    }
    return !text.empty();
}

std::int64_t ToInt(std::string_view text)
{
    std::int64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return value;
        if (value > (INT64_MAX - 9) / 10)
            return value;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::string Upper(std::string_view text)
{
    std::string result(text);
    for (char &c : result)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return result;
}

} // namespace

std::string DecodeColonField(std::string_view field)
{
    std::string out;
    out.reserve(field.size());
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size() && field[i + 1] == 'x' &&
            HexValue(field[i + 2]) >= 0 && HexValue(field[i + 3]) >= 0) {
            out.push_back(static_cast<char>(HexValue(field[i + 2]) * 16 + HexValue(field[i + 3])));
            i += 3;
        } else {
            out.push_back(field[i]);
        }
    }
    return out;
}

// The length of the UTF-8 sequence at `at`, or 0 when the bytes there are not well-formed UTF-8.
static std::size_t Utf8Length(std::string_view text, std::size_t at, char32_t &code)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length;
    char32_t min;
    if (lead >= 0xc2 && lead <= 0xdf) {
        length = 2, code = lead & 0x1f, min = 0x80;
    } else if (lead >= 0xe0 && lead <= 0xef) {
        length = 3, code = lead & 0x0f, min = 0x800;
    } else if (lead >= 0xf0 && lead <= 0xf4) {
        length = 4, code = lead & 0x07, min = 0x10000;
    } else {
        return 0;
    }
    if (at + length > text.size())
        return 0;
    for (std::size_t i = 1; i < length; ++i) {
        const auto b = static_cast<unsigned char>(text[at + i]);
        if ((b & 0xc0) != 0x80)
            return 0;
        code = (code << 6) | (b & 0x3f);
    }
    if (code < min || code > 0x10ffff || (code >= 0xd800 && code <= 0xdfff))
        return 0;
    return length;
}

// A user ID as it may be printed: control characters (C0, DEL and C1) and bytes that are not
// UTF-8 written as gpg escapes them. A line break in a user ID would otherwise start a line of
// its own, and one that begins with "pub " would read as a second key to anyone who parses the
// listing, the program's key list among them; C1 controls and stray bytes upset terminals.
void AppendPrintable(std::string &out, std::string_view uid)
{
    auto escape = [&out](unsigned char byte) {
        static const char hex[] = "0123456789abcdef";
        out += "\\x";
        out += hex[byte >> 4];
        out += hex[byte & 15];
    };
    for (std::size_t i = 0; i < uid.size();) {
        const auto byte = static_cast<unsigned char>(uid[i]);
        if (byte < 0x80) {
            // The backslash too, or a user ID holding the four characters "\x1b" would read
            // the same as one holding ESC.
            if (byte < 0x20 || byte == 0x7f || byte == '\\')
                escape(byte);
            else
                out.push_back(static_cast<char>(byte));
            ++i;
            continue;
        }
        char32_t code = 0;
        const std::size_t length = Utf8Length(uid, i, code);
        if (length == 0) {
            escape(byte);
            ++i;
        } else if (code < 0xa0) {
            for (std::size_t k = 0; k < length; ++k)
                escape(static_cast<unsigned char>(uid[i + k]));
            i += length;
        } else {
            out.append(uid.substr(i, length));
            i += length;
        }
    }
}

std::vector<ListedKey> ParseColonListing(std::string_view text)
{
    std::vector<ListedKey> keys;
    // fpr records follow the key or subkey they belong to; only the primary key's counts.
    bool fingerprintPending = false;
    std::size_t pos = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        const Fields field(line);
        const std::string_view type = field(1);
        if (type == "pub" || type == "sec") {
            ListedKey key;
            key.bits = static_cast<int>(ToInt(field(3)));
            key.keyId = Upper(field(5));
            key.created = ToInt(field(6));
            key.revoked = field(2) == "r";
            key.expired = field(2) == "e";
            key.disabled = field(12).find('D') != std::string_view::npos;
            key.algorithm = static_cast<int>(ToInt(field(4)));
            key.expires = ToInt(field(7));
            key.validity = field(2).empty() ? '\0' : field(2).front();
            // "+" or a card's serial number: at hand; "#": a stub without the secret part.
            key.secret = field(15).empty() ? type == "sec" : field(15) != "#";
            key.curve = std::string(field(17));
            keys.push_back(std::move(key));
            fingerprintPending = true;
        } else if (type == "fpr") {
            if (fingerprintPending && !keys.empty() && AllHex(field(10)))
                keys.back().fingerprint = Upper(field(10));
            fingerprintPending = false;
        } else if (type == "sub" || type == "ssb") {
            fingerprintPending = false;
        } else if (type == "grp") {
            if (!keys.empty() && AllHex(field(10)))
                keys.back().keygrips.push_back(Upper(field(10)));
        } else if (type == "uid") {
            if (keys.empty())
                continue;
            // A revoked key marks all its user IDs revoked; they are still its names.
            if (field(2) == "r" && !keys.back().revoked)
                continue;
            keys.back().userIds.push_back(DecodeColonField(field(10)));
        }
    }
    return keys;
}

std::string FormatKeyDate(std::int64_t epochSeconds)
{
    std::time_t t = static_cast<std::time_t>(epochSeconds);
    std::tm tm{};
    if (!gmtime_r(&t, &tm))
        return "0000/00/00";
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", tm.tm_year + 1900, tm.tm_mon + 1,
                  tm.tm_mday);
    return buffer;
}

std::string FormatFingerprint(std::string_view hex)
{
    std::string out;
    if (hex.size() == 32) {
        for (std::size_t i = 0; i < 16; ++i) {
            out += ' ';
            if (i == 8)
                out += ' ';
            out.append(hex.substr(i * 2, 2));
        }
    } else if (hex.size() == 40) {
        for (std::size_t i = 0; i < 10; ++i) {
            out += ' ';
            if (i == 5)
                out += ' ';
            out.append(hex.substr(i * 4, 4));
        }
    }
    return out;
}

static void AppendKey(std::string &out, const ListedKey &key, bool withFingerprint)
{
    const std::string_view indent = "                              "; // 30 blanks
    std::string shortId = key.keyId.size() >= 8
                              ? key.keyId.substr(key.keyId.size() - 8)
                              : std::string(8 - key.keyId.size(), '0') + key.keyId;
    char head[64];
    std::snprintf(head, sizeof head, "pub%s%4d/%s %s ", key.disabled ? "- " : "  ", key.bits,
                  shortId.c_str(), FormatKeyDate(key.created).c_str());
    out += head;
    std::size_t nextUid = 0;
    if (key.revoked) {
        out += "*** KEY REVOKED ***\n";
    } else if (key.expired) {
        out += "*** KEY EXPIRED ***\n";
    } else {
        if (!key.userIds.empty())
            AppendPrintable(out, key.userIds.front());
        out += '\n';
        nextUid = 1;
    }
    if (withFingerprint && !key.fingerprint.empty()) {
        char label[40];
        std::snprintf(label, sizeof label, "%29s", "Key fingerprint =");
        out += label;
        out += FormatFingerprint(key.fingerprint);
        out += '\n';
    }
    for (std::size_t i = nextUid; i < key.userIds.size(); ++i) {
        out += indent;
        AppendPrintable(out, key.userIds[i]);
        out += '\n';
    }
}

std::string FormatKey(const ListedKey &key, bool withFingerprint)
{
    std::string out;
    AppendKey(out, key, withFingerprint);
    return out;
}

std::string FormatKeyListing(const std::vector<ListedKey> &keys, std::string_view keyringName,
                             bool withFingerprint)
{
    std::string out = "\nKey ring: '";
    out.append(keyringName);
    out += "'\nType Bits/KeyID    Date       User ID\n";
    out.reserve(keys.size() * 128);
    for (const ListedKey &key : keys)
        AppendKey(out, key, withFingerprint);
    out += std::to_string(keys.size());
    out += keys.size() == 1 ? " matching key found.\n" : " matching keys found.\n";
    return out;
}

bool IsShortKeyId(std::string_view text)
{
    return text.size() == 10 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X') &&
           AllHex(text.substr(2));
}

std::vector<const ListedKey *> MatchShortKeyId(const std::vector<ListedKey> &keys,
                                               std::string_view shortId)
{
    std::vector<const ListedKey *> matches;
    if (!IsShortKeyId(shortId))
        return matches;
    const std::string wanted = Upper(shortId.substr(2));
    for (const ListedKey &key : keys) {
        if (key.keyId.size() >= 8 && key.keyId.compare(key.keyId.size() - 8, 8, wanted) == 0)
            matches.push_back(&key);
    }
    return matches;
}

} // namespace zpgp
