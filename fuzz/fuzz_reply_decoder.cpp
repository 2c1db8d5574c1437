// Received blocks as a controller or a noisy line delivers them: the decoder and
// the view lines take any bytes in both modes.
#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArrayView block(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const CommMode mode : {CommMode::Rtu, CommMode::Ascii}) {
        const ReceivedDisplay display = decodeReceived(block, mode);
        if (display.valueBox && display.valueText.isEmpty())
            std::abort();
        if (display.indicators.size() > 5)
            std::abort();
    }
    if (textLine(u"RecAsc:", block).size() != qsizetype(size) + 8)
        std::abort();
    if (hexLine(u"RecHex:", block).size() != 3 * qsizetype(size) + 8)
        std::abort();
    return 0;
}
