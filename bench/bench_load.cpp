// Load: the far end of a pseudo-terminal streams 1 MiB/s into the receive view
// for 60 s while the window runs with its real 200 ms poll. The window must
// stay responsive (no event-loop stall over 50 ms), keep its memory bounded
// and show every byte. Usage: bench_load [seconds, default 60]
#include "bench_util.h"
#include "bench_window.h"

#include <QApplication>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    constexpr qint64 bytesPerSecond = 1 << 20;
    constexpr int chunksPerSecond = 64;
    const qint64 total = bytesPerSecond * seconds;

    WindowOnPty bench;
    const double residentAtStart = residentMiB();
    double peakResident = residentAtStart;
    Heartbeat heartbeat([&](qint64 now) {
        if (now % 1000 == 0)
            peakResident = qMax(peakResident, residentMiB());
        if (bench.shown >= total || now > (seconds + 30) * 1000)
            app.quit();
    });

    // Paced writer: 1/64 s worth of bytes every 1/64 s.
    std::atomic<bool> stop = false;
    std::thread writer([&] {
        QByteArray chunk(bytesPerSecond / chunksPerSecond, Qt::Uninitialized);
        for (int i = 0; i < chunk.size(); ++i)
            chunk[i] = char(0x20 + i % 95);
        const auto start = std::chrono::steady_clock::now();
        for (qint64 sent = 0, n = 0; sent < total && !stop; sent += chunk.size(), ++n) {
            std::this_thread::sleep_until(
                    start + std::chrono::microseconds(n * 1000000 / chunksPerSecond));
            bench.pty.write(chunk);
        }
    });
    const double cpuBefore = threadCpuSeconds();
    heartbeat.start();
    app.exec();
    stop = true;
    writer.join();
    const double cpu = threadCpuSeconds() - cpuBefore;

    std::printf("load: 1 MiB/s for %d s: %lld of %lld bytes shown, %lld left waiting; longest"
                " event-loop stall %lld ms; resident memory %.1f MiB at start, peak %.1f MiB;"
                " window thread %.3f CPU s per MiB (goal: all shown, stall at most 50 ms,"
                " memory bounded)\n",
                seconds, bench.shown, total, qlonglong(bench.comm->inBufferCount()),
                heartbeat.longestStallMs(), residentAtStart, peakResident, cpu / double(seconds));
    std::printf("reproduce: scripts/bench load\n");
    return bench.shown == total && heartbeat.longestStallMs() <= 50 ? 0 : 1;
}
