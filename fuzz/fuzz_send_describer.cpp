// Frames typed into the manual panel go out as they are; describing them must
// take any bytes.
#include "traffic/traffic_lines.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView frame(reinterpret_cast<const char *>(data), qsizetype(size));
    const std::optional<QString> description = describeSentFrame(frame);
    if (description && !description->endsWith(u':'))
        std::abort();
    if (const std::optional<QByteArray> spelled = asciiFrameBytes(frame)) {
        if (spelled->isEmpty())
            std::abort();
    }
    return 0;
}
