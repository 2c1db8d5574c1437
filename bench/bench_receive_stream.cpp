// The receive path under a flood: the far end of a pseudo-terminal writes 4 MiB
// as fast as it can while the window runs with its real 200 ms receive poll.
// Counts every byte that passes through ShowReceived, the longest event-loop
// stall, and the window thread's CPU seconds per MiB. Then again with the
// window capturing everything to a file (the bytes are noise to the framer, so
// the file holds them as noise stretches).
#include "bench_util.h"
#include "bench_window.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <thread>

namespace {

// One flood into a fresh window; with \a capturePath, captured meanwhile.
bool flood(QApplication &app, const QString &capturePath)
{
    constexpr qint64 total = 4 << 20;
    WindowOnPty bench;
    if (!capturePath.isEmpty())
        startCapture(bench.window, capturePath);
    Heartbeat heartbeat([&](qint64 now) {
        if (bench.shown >= total || now > 120000)
            app.quit();
    });

    QByteArray data(total, Qt::Uninitialized);
    for (qint64 i = 0; i < total; ++i)
        data[i] = char(i * 7 + (i >> 9));
    const double cpuBefore = threadCpuSeconds();
    std::thread writer([&] { bench.pty.write(data); });
    heartbeat.start();
    app.exec();
    const double seconds = double(heartbeat.elapsedMs()) / 1e3;
    const double cpu = threadCpuSeconds() - cpuBefore;
    writer.join();
    QByteArray captured;
    if (!capturePath.isEmpty()) {
        const qint64 lines = stopCapture(bench.window, capturePath).value("NOISE");
        captured = QByteArray(", captured as ") + QByteArray::number(lines) + " noise lines";
    }
    std::printf("4 MiB streamed into the receive view%s: %lld of %lld bytes shown, %lld left"
                " waiting, %.2f s, window thread %.3f CPU s per MiB, longest event-loop stall"
                " %lld ms (goal: all shown, stall at most 50 ms)\n",
                captured.constData(), bench.shown, total, qlonglong(bench.comm->inBufferCount()),
                seconds, cpu / 4.0, heartbeat.longestStallMs());
    return bench.shown == total;
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    const bool plain = flood(app, QString());
    const bool captured = flood(app, dir.filePath(QStringLiteral("flood.log")));
    std::printf("reproduce: scripts/bench receive_stream\n");
    return plain && captured ? 0 : 1;
}
