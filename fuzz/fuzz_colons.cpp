// zorvex-pgp's colon-listing parser and PGP 2.6 layout printer on arbitrary gpg output: no
// crash, and no user ID can make a printed key look like two keys to the program's own parser
// of the listing (it takes every line that starts with "pub ").
#include "zorvex-pgp/keylisting.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    const std::vector<zpgp::ListedKey> keys = zpgp::ParseColonListing(text);
    for (const zpgp::ListedKey &key : keys) {
        const std::string printed = zpgp::FormatKey(key, true);
        if (!printed.empty() && printed.back() != '\n')
            std::abort();
        int pubLines = 0;
        for (std::size_t at = 0; at < printed.size();) {
            if (printed.compare(at, 4, "pub ") == 0)
                ++pubLines;
            const std::size_t nl = printed.find('\n', at);
            at = nl == std::string::npos ? printed.size() : nl + 1;
        }
        if (pubLines > 1)
            std::abort();
        zpgp::MatchShortKeyId(
            keys, "0x" + key.keyId.substr(key.keyId.size() > 8 ? key.keyId.size() - 8 : 0));
    }
    zpgp::FormatKeyListing(keys, "pubring.pgp", true);
    return 0;
}
