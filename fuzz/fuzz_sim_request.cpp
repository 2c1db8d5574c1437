// The simulated controller's request parser: any bytes on the line, in any
// split, give well-formed replies or none, and never stall the controller.
#include "sim/sim_controller.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    SimController controller;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    // The first byte chooses where the stream is split and how much time passes
    // between the pieces, as a serial line would deliver it.
    const qsizetype split = size ? qsizetype(data[0]) % qsizetype(size + 1) : 0;
    QList<SimExchange> exchanges;
    controller.receive(bytes.first(split), &exchanges);
    controller.advance(size ? data[size - 1] * 1000 : 0);
    controller.receive(bytes.sliced(split), &exchanges);
    controller.advance(10'000'000);
    for (const SimExchange &exchange : exchanges) {
        if (exchange.request.isEmpty())
            std::abort();
    }
    return 0;
}
