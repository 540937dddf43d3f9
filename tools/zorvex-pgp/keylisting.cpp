#include "keylisting.h"

#include <cctype>
#include <cstdio>
#include <ctime>

namespace zpgp {

namespace {

std::vector<std::string_view> SplitFields(std::string_view line)
{
    std::vector<std::string_view> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t colon = line.find(':', start);
        if (colon == std::string_view::npos) {
            fields.push_back(line.substr(start));
            return fields;
        }
        fields.push_back(line.substr(start, colon - start));
        start = colon + 1;
    }
}

std::string_view Field(const std::vector<std::string_view> &fields, std::size_t number)
{
    // Numbered from 1 as in gpg's documentation.
    return number >= 1 && number <= fields.size() ? fields[number - 1] : std::string_view();
}

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

// A user ID as it may be printed: control characters written as gpg escapes them. A line break
// in a user ID would otherwise start a line of its own, and one that begins with "pub " would
// read as a second key to anyone who parses the listing, the program's key list among them.
static std::string PrintableUserId(std::string_view uid)
{
    std::string out;
    out.reserve(uid.size());
    for (const char c : uid) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7f) {
            char escaped[5];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", byte);
            out += escaped;
        } else {
            out.push_back(c);
        }
    }
    return out;
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
        const auto fields = SplitFields(line);
        const std::string_view type = Field(fields, 1);
        if (type == "pub" || type == "sec") {
            ListedKey key;
            key.bits = static_cast<int>(ToInt(Field(fields, 3)));
            key.keyId = Upper(Field(fields, 5));
            key.created = ToInt(Field(fields, 6));
            key.revoked = Field(fields, 2) == "r";
            key.disabled = Field(fields, 12).find('D') != std::string_view::npos;
            keys.push_back(std::move(key));
            fingerprintPending = true;
        } else if (type == "fpr") {
            if (fingerprintPending && !keys.empty() && AllHex(Field(fields, 10)))
                keys.back().fingerprint = Upper(Field(fields, 10));
            fingerprintPending = false;
        } else if (type == "sub" || type == "ssb") {
            fingerprintPending = false;
        } else if (type == "uid") {
            if (keys.empty())
                continue;
            // A revoked key marks all its user IDs revoked; they are still its names.
            if (Field(fields, 2) == "r" && !keys.back().revoked)
                continue;
            keys.back().userIds.push_back(DecodeColonField(Field(fields, 10)));
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

std::string FormatKey(const ListedKey &key, bool withFingerprint)
{
    const std::string indent(30, ' ');
    std::string shortId = key.keyId.size() >= 8
                              ? key.keyId.substr(key.keyId.size() - 8)
                              : std::string(8 - key.keyId.size(), '0') + key.keyId;
    char head[64];
    std::snprintf(head, sizeof head, "pub%s%4d/%s %s ", key.disabled ? "- " : "  ", key.bits,
                  shortId.c_str(), FormatKeyDate(key.created).c_str());
    std::string out = head;
    std::size_t nextUid = 0;
    if (key.revoked) {
        out += "*** KEY REVOKED ***\n";
    } else {
        out += key.userIds.empty() ? std::string() : PrintableUserId(key.userIds.front());
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
    for (std::size_t i = nextUid; i < key.userIds.size(); ++i)
        out += indent + PrintableUserId(key.userIds[i]) + '\n';
    return out;
}

std::string FormatKeyListing(const std::vector<ListedKey> &keys, std::string_view keyringName,
                             bool withFingerprint)
{
    std::string out = "\nKey ring: '";
    out.append(keyringName);
    out += "'\nType Bits/KeyID    Date       User ID\n";
    for (const ListedKey &key : keys)
        out += FormatKey(key, withFingerprint);
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
