#include "printable.h"

namespace zpgp {

namespace {

// Length of the valid UTF-8 sequence starting at `i`, 0 when there is none there.
std::size_t Utf8Length(std::string_view s, std::size_t i)
{
    const auto b = [&](std::size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char c = b(i);
    std::size_t n;
    unsigned min;
    if (c >= 0xc2 && c <= 0xdf) {
        n = 2;
        min = 0x80;
    } else if (c >= 0xe0 && c <= 0xef) {
        n = 3;
        min = 0x800;
    } else if (c >= 0xf0 && c <= 0xf4) {
        n = 4;
        min = 0x10000;
    } else {
        return 0;
    }
    if (i + n > s.size())
        return 0;
    unsigned cp = c & (0x7f >> n);
    for (std::size_t k = 1; k < n; ++k) {
        if ((b(i + k) & 0xc0) != 0x80)
            return 0;
        cp = (cp << 6) | (b(i + k) & 0x3f);
    }
    if (cp < min || cp > 0x10ffff || (cp >= 0xd800 && cp <= 0xdfff))
        return 0;
    // C1 controls (U+0080..U+009F) act on terminals just like their 8-bit forms.
    if (cp <= 0x9f)
        return 0;
    return n;
}

// Calls keep(from, length) for each harmless character and bad(byte) for each byte that is not.
// Outside UTF-8 only the C1 range counts as bad when `anyByte` allows other bytes (file names in
// other encodings).
template <typename Keep, typename Bad>
void Classify(std::string_view s, bool keepLayout, bool anyByte, Keep keep, Bad bad)
{
    std::size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        if ((c >= 0x20 && c < 0x7f) || (keepLayout && (c == '\n' || c == '\t'))) {
            keep(i, 1);
            ++i;
        } else if (const std::size_t n = c >= 0x80 ? Utf8Length(s, i) : 0; n > 0) {
            keep(i, n);
            i += n;
        } else if (anyByte && c >= 0xa0) {
            keep(i, 1);
            ++i;
        } else {
            bad(c);
            ++i;
        }
    }
}

} // namespace

std::string Printable(std::string_view text, bool keepLayout)
{
    static const char hex[] = "0123456789abcdef";
    std::string out;
    out.reserve(text.size());
    Classify(
        text, keepLayout, false,
        [&](std::size_t from, std::size_t n) { out.append(text.substr(from, n)); },
        [&](unsigned char c) {
            out += "\\x";
            out += hex[c >> 4];
            out += hex[c & 15];
        });
    return out;
}

std::string ReplaceControls(std::string_view text, char with)
{
    std::string out;
    out.reserve(text.size());
    Classify(
        text, false, true,
        [&](std::size_t from, std::size_t n) { out.append(text.substr(from, n)); },
        [&](unsigned char) { out += with; });
    return out;
}

} // namespace zpgp
