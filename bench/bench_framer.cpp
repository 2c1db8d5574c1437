// The receive framer's cost: throughput over random bytes (noise, which makes
// it try a candidate at every byte) and the cost per reply frame over a stream
// of whole replies, both modes. Bytes are fed in pieces of 64, about what a
// USB adapter hands over at a time; the median of repeated runs.
#include "device/frame.h"
#include "exchange/reply_framer.h"

#include "bench_util.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>

namespace {

struct Result
{
    double seconds;
    qsizetype events;
};

Result framed(const QByteArray &stream, CommMode mode, bool listening)
{
    ReplyFramer framer(mode);
    framer.setListening(listening);
    framer.setLineRate(115200);
    qsizetype events = 0;
    QElapsedTimer timer;
    timer.start();
    for (qsizetype at = 0; at < stream.size(); at += 64)
        events += framer.feed(QByteArrayView(stream).sliced(
                                      at, std::min<qsizetype>(64, stream.size() - at)),
                              at)
                          .size();
    events += framer.flush().size();
    return {double(timer.nsecsElapsed()) / 1e9, events};
}

double medianSeconds(const QByteArray &stream, CommMode mode, qsizetype *events,
                     bool listening = false)
{
    std::vector<double> seconds;
    for (int run = 0; run < 9; ++run) {
        const Result result = framed(stream, mode, listening);
        seconds.push_back(result.seconds);
        *events = result.events;
    }
    return median(seconds);
}

} // namespace

int main()
{
    QByteArray noise(16 << 20, Qt::Uninitialized);
    QRandomGenerator random(3);
    for (char &c : noise)
        c = char(random.bounded(256));
    qsizetype events = 0;
    for (const CommMode mode : {CommMode::Rtu, CommMode::Ascii}) {
        const double s = medianSeconds(noise, mode, &events);
        std::printf("random bytes, %-5s  %7.1f MB/s  (%lld events over %lld bytes)\n",
                    mode == CommMode::Rtu ? "RTU" : "ASCII", double(noise.size()) / s / 1e6,
                    qlonglong(events), qlonglong(noise.size()));
    }
    // Listening, every request and reply layout is a candidate.
    {
        const double s = medianSeconds(noise, CommMode::Rtu, &events, true);
        std::printf("random bytes, RTU, listening  %7.1f MB/s  (%lld events)\n",
                    double(noise.size()) / s / 1e6, qlonglong(events));
    }
    // Standard exchanges heard on a bus: a read of ten registers and its reply.
    {
        QByteArray stream;
        constexpr int exchanges = 100'000;
        for (int i = 0; i < exchanges; ++i) {
            QByteArray reply = QByteArray::fromHex("010314");
            for (int r = 0; r < 10; ++r)
                reply += char(i >> 8) + QByteArray(1, char(r));
            stream += frameRtu(QByteArray::fromHex("01030000000A")) + frameRtu(reply);
        }
        const double s = medianSeconds(stream, CommMode::Rtu, &events, true);
        std::printf(
                "standard request and reply, RTU, listening  %7.3f µs per frame  (%lld frames)\n",
                s / (2 * exchanges) * 1e6, qlonglong(events));
    }

    // Position replies with changing values, as a poll would bring them.
    for (const CommMode mode : {CommMode::Rtu, CommMode::Ascii}) {
        QByteArray stream;
        constexpr int replies = 200'000;
        for (int i = 0; i < replies; ++i)
            stream += frameRequest(makePayload(1, 0x37, int32BigEndian(i * 7919)), mode);
        const double s = medianSeconds(stream, mode, &events);
        std::printf("whole replies, %-5s %7.3f µs per reply  (%lld frames)\n",
                    mode == CommMode::Rtu ? "RTU" : "ASCII", s / replies * 1e6, qlonglong(events));
    }
    return 0;
}
