// The receive framer: any bytes, in any pieces, with any times between them
// and echoes expected, come out exactly once and in order, as frames, noise
// or echoes; the pairing takes every frame the framer gives. Listening on a bus,
// requests are framed too and the 3.5-character silence ends a frame.
#include "exchange/exchange_pairing.h"
#include "exchange/reply_framer.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 2)
        return 0;
    // The first byte: the mode, echo suppression and the piece length; the
    // second: listening (its low bit) and the gap between pieces, in steps of
    // 50 ms, or of 0.5 ms while listening at 9600 baud.
    const uint8_t shape = data[0];
    const bool listening = data[1] & 1;
    const qint64 gapUs = listening ? qint64(data[1] >> 1) * 500 : qint64(data[1]) * 50'000;
    const QByteArrayView bytes(reinterpret_cast<const char *>(data + 2), qsizetype(size - 2));
    ReplyFramer framer(shape & 1 ? CommMode::Ascii : CommMode::Rtu);
    framer.setEchoSuppression(shape & 2);
    framer.setListening(listening);
    framer.setLineRate(9600);
    ExchangePairing pairing;
    const qsizetype piece = 1 + (shape >> 2);
    QByteArray out;
    qint64 now = 0;
    const auto take = [&](const QList<RxEvent> &events) {
        for (const RxEvent &event : events) {
            out += event.bytes;
            bool isRequest = false;
            if (event.kind == RxEvent::Frame && listening)
                pairing.frameHeard(event, isRequest);
            else if (event.kind == RxEvent::Frame)
                pairing.replyReceived(event);
        }
    };
    for (qsizetype at = 0; at < bytes.size(); at += piece) {
        const QByteArrayView part = bytes.sliced(at, std::min(piece, bytes.size() - at));
        if (at % (3 * piece) == 0) { // now and then a request, whose echo may follow
            framer.expectEcho(part, now);
            framer.requestWritten(part);
            pairing.requestSent(part, now);
        }
        take(framer.feed(part, now));
        now += gapUs;
        take(framer.expire(now));
        pairing.expire(now, framer.pendingSinceUs());
    }
    take(framer.flush());
    // Echoes taken off are whole copies of an expected frame; everything else
    // comes out as it came in.
    if (!(shape & 2) && out != bytes)
        std::abort();
    if (out.size() != bytes.size())
        std::abort();
    return 0;
}
