// The tips reader on arbitrary files: every tip it returns is a tip line of at most one chunk,
// and a file without tips is reported instead of being read for ever.
#include "extras/tipfile.h"

#include <QBuffer>

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray content(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    QBuffer buffer(&content);
    buffer.open(QIODevice::ReadOnly);
    for (int i = 0; i < 8; ++i) {
        QByteArray tip;
        const TipRead r = ReadTipLine(buffer, &tip);
        if (r != TipRead::Tip)
            break;
        if (!IsTipLine(tip) || tip.size() > kTipChunk)
            std::abort();
    }
    return 0;
}
