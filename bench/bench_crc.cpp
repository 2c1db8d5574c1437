// CRC-16 throughput over a 1 MiB buffer: the median of repeated runs, in MB/s
// (10^6 bytes per second).
#include "codec/checksum.h"

#include <QElapsedTimer>
#include <QRandomGenerator>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// The bit-serial CRC, eight shifts per byte: the baseline the table-driven
// implementation is compared with in the same run.
quint16 bitSerialCrc(QByteArrayView data)
{
    quint16 crc = 0xFFFF;
    for (const char c : data) {
        crc ^= quint8(c);
        for (int i = 0; i < 8; ++i)
            crc = (crc & 1u) ? quint16((crc >> 1) ^ 0xA001u) : quint16(crc >> 1);
    }
    return crc;
}

template<typename Crc>
double medianSeconds(const QByteArray &buffer, int runs, Crc crc, quint32 &sink)
{
    std::vector<double> seconds;
    seconds.reserve(runs);
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        sink += crc(buffer);
        seconds.push_back(double(timer.nsecsElapsed()) / 1e9);
    }
    std::sort(seconds.begin(), seconds.end());
    return seconds[seconds.size() / 2];
}

} // namespace

int main()
{
    constexpr qsizetype size = 1 << 20;
    constexpr int runs = 201;
    QByteArray buffer(size, Qt::Uninitialized);
    QRandomGenerator rng(1);
    for (char &c : buffer)
        c = char(rng.bounded(256));

    quint32 sink = 0;
    const double table = medianSeconds(buffer, runs, CommSetting::crc16, sink);
    const double serial = medianSeconds(buffer, 21, bitSerialCrc, sink);
    std::printf("CRC-16 over 1 MiB, median of %d runs: %.1f MB/s"
                " (bit-serial baseline %.1f MB/s, %.1fx; check %u)\n",
                runs, double(size) / table / 1e6, double(size) / serial / 1e6, serial / table,
                sink & 0xFFu);
    std::printf("reproduce: scripts/bench crc\n");
    return 0;
}
