// The key listing parser on arbitrary listings, and the "0x" + key ID rule on every name.
#include "core/keynamelist.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray listing(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QStringList names = ParseKeyListing(listing);
    if (names.size() > listing.count('\n') + 1)
        std::abort();
    for (const QString &name : names) {
        const QString id = KeyIdSelectionText(name);
        if (!id.isEmpty() && (!id.startsWith(QStringLiteral("0x")) || id.size() > 11))
            std::abort();
    }
    return 0;
}
