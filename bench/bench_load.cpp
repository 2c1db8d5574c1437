// Load: the far end of a pseudo-terminal streams 1 MiB/s into the receive view
// for 60 s while the window runs with its real 200 ms poll. The window must
// stay responsive (no event-loop stall over 50 ms), keep its memory bounded
// and show every byte. Usage: bench_load [seconds, default 60]
#include "bench_util.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "pty_pair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

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

    PtyPair pty;
    FrmMain window;
    window.portNames().setMapping(1, pty.path());
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    auto *comm = window.findChild<MSComm *>(QStringLiteral("MSComm1"));

    qint64 shown = 0;
    QObject::connect(&window, &FrmMain::blockShown, [&](qsizetype n) { shown += n; });

    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = 0, longestStallMs = 0;
    double peakResident = residentMiB();
    const double residentAtStart = peakResident;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStallMs = qMax(longestStallMs, now - lastBeat);
        lastBeat = now;
        if (now % 1000 == 0)
            peakResident = qMax(peakResident, residentMiB());
        if (shown >= total || now > (seconds + 30) * 1000)
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
            pty.write(chunk);
        }
    });
    const double cpuBefore = threadCpuSeconds();
    lastBeat = clock.elapsed();
    heartbeat.start();
    app.exec();
    stop = true;
    writer.join();
    const double cpu = threadCpuSeconds() - cpuBefore;

    std::printf("load: 1 MiB/s for %d s: %lld of %lld bytes shown, %lld left waiting; longest"
                " event-loop stall %lld ms; resident memory %.1f MiB at start, peak %.1f MiB;"
                " window thread %.3f CPU s per MiB (goal: all shown, stall at most 50 ms,"
                " memory bounded)\n",
                seconds, shown, total, qlonglong(comm->inBufferCount()), longestStallMs,
                residentAtStart, peakResident, cpu / double(seconds));
    std::printf("reproduce: scripts/bench load\n");
    return shown == total && longestStallMs <= 50 ? 0 : 1;
}
