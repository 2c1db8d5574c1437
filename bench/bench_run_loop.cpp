// Run-loop timing on the wire: the list frame A, Delay:50, frame B, Delay:50
// runs for 200 steps against a pseudo-terminal; a thread at the far end stamps
// each frame's arrival. Reports the error of the gaps against the 50 ms asked.
#include "bench_util.h"
#include "bench_window.h"

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QListWidget>
#include <QPushButton>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <thread>

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    constexpr int steps = 200;
    constexpr double askedMs = 50;
    WindowOnPty bench;
    FrmMain &window = bench.window;
    PtyPair &pty = bench.pty;
    window.findChild<QListWidget *>(QStringLiteral("List1"))
            ->addItems({QStringLiteral("01 20 00 39 C0 "), QStringLiteral("Delay:50"),
                        QStringLiteral("01 36 00 37 A0 "), QStringLiteral("Delay:50")});

    // The far end: every frame is 5 bytes; stamp the arrival of each.
    QElapsedTimer clock;
    clock.start();
    std::vector<double> arrivals;
    std::atomic<bool> done = false;
    std::thread reader([&] {
        qsizetype pending = 0;
        while (int(arrivals.size()) < steps && !done) {
            const QByteArray bytes = pty.read(5 - pending, 200);
            pending += bytes.size();
            if (pending >= 5) {
                arrivals.push_back(double(clock.nsecsElapsed()) / 1e6);
                pending -= 5;
            }
        }
        done = true;
    });

    window.findChild<QCheckBox *>(QStringLiteral("Check1"))->click();
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (done)
            app.quit();
    });
    watchdog.start(20);
    app.exec();
    done = true;
    reader.join();

    std::vector<double> errors;
    for (std::size_t i = 1; i < arrivals.size(); ++i)
        errors.push_back(std::fabs(arrivals[i] - arrivals[i - 1] - askedMs));
    std::printf("run loop, %zu frames with Delay:50 between them: gap error median %.2f ms,"
                " p95 %.2f ms, max %.2f ms (goal: median at most 2 ms, p95 at most 10 ms)\n",
                arrivals.size(), median(errors), percentile(errors, 0.95), percentile(errors, 1.0));
    std::printf("reproduce: scripts/bench run_loop\n");
    return 0;
}
