// The batch interpreter's line and word splitters on arbitrary script bytes: no crash, and no
// word of a parsed command may hold a line break (it would be a second command).
#include "zorvex-cmd/batchline.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char *>(data), size);
    for (const std::string &line : SplitBatchLines(text)) {
        if (line.find('\n') != std::string::npos)
            std::abort();
        const BatchCommand command = ParseBatchLine(line);
        for (const std::string &word : command.words) {
            if (word.find('\n') != std::string::npos)
                std::abort();
        }
        SplitBatchWords(line);
    }
    return 0;
}
