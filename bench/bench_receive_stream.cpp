// The receive path under a flood: the far end of a pseudo-terminal writes 4 MiB
// as fast as it can while the window runs with its real 200 ms receive poll.
// Counts every byte that passes through ShowReceived, the longest event-loop
// stall, and the window thread's CPU seconds per MiB.
#include "bench_util.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "pty_pair.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    constexpr qint64 total = 4 << 20;
    PtyPair pty;
    FrmMain window;
    window.portNames().setMapping(1, pty.path());
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    auto *comm = window.findChild<MSComm *>(QStringLiteral("MSComm1"));

    qint64 shown = 0;
    QObject::connect(&window, &FrmMain::blockShown, [&](qsizetype count) { shown += count; });

    // The event loop's heartbeat: the longest gap between two 1 ms ticks.
    QElapsedTimer clock;
    clock.start();
    qint64 lastBeat = 0;
    qint64 longestStallMs = 0;
    QTimer heartbeat;
    heartbeat.setTimerType(Qt::PreciseTimer);
    heartbeat.setInterval(1);
    QObject::connect(&heartbeat, &QTimer::timeout, [&] {
        const qint64 now = clock.elapsed();
        longestStallMs = qMax(longestStallMs, now - lastBeat);
        lastBeat = now;
        if (shown >= total || now > 120000)
            app.quit();
    });

    QByteArray data(total, Qt::Uninitialized);
    for (qint64 i = 0; i < total; ++i)
        data[i] = char(i * 7 + (i >> 9));
    const double cpuBefore = threadCpuSeconds();
    std::thread writer([&] { pty.write(data); });
    lastBeat = clock.elapsed();
    heartbeat.start();
    app.exec();
    const double seconds = double(clock.elapsed()) / 1e3;
    const double cpu = threadCpuSeconds() - cpuBefore;
    writer.join();

    std::printf("4 MiB streamed into the receive view: %lld of %lld bytes shown, %lld left waiting,"
                " %.2f s, window thread %.3f CPU s per MiB, longest event-loop stall %lld ms"
                " (goal: all shown, stall at most 50 ms)\n",
                shown, total, qlonglong(comm->inBufferCount()), seconds, cpu / 4.0, longestStallMs);
    std::printf("reproduce: scripts/bench receive_stream\n");
    return shown == total ? 0 : 1;
}
