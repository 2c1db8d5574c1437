// The motion chart under load, two runs:
//  - ingest: the far end of a pseudo-terminal sends 3000 replies a second
//    (speed, position and state, 1000 of each) for the given time while the
//    window shows the motion tab (and again with the chart hidden, so that the
//    cost of drawing is known): redraws per second, the longest event-loop
//    stall, every reply plotted, and memory;
//  - poll: the automatic poll at 20 ms against the simulated controller
//    (stepperbench-sim in a process of its own): queries that overlapped
//    (none may), time-outs, and every reply plotted.
// Usage: bench_motion [seconds per run, default 60]
#include "bench_util.h"
#include "bench_window.h"
#include "device/frame.h"
#include "exchange/exchange_monitor.h"
#include "motion_chart.h"

#include <QApplication>
#include <QCheckBox>
#include <QProcess>
#include <QSpinBox>
#include <QTabWidget>

#include <cstdio>

namespace {

constexpr int ingestPerSecond = 3000;

qsizetype plotted(const MotionTracker &motion)
{
    return motion.series(MotionTracker::Position).size()
            + motion.series(MotionTracker::Speed).size()
            + motion.series(MotionTracker::Moving).size();
}

void showMotionTab(FrmMain &window)
{
    window.resize(1280, 800);
    window.findChild<QTabWidget *>(QStringLiteral("SSTab1"))
            ->setCurrentWidget(window.findChild<QWidget *>(QStringLiteral("motionTab")));
}

void ingest(int seconds, bool chartShown)
{
    WindowOnPty bench;
    if (chartShown)
        showMotionTab(bench.window);
    const MotionTracker &motion = bench.window.motion();
    qint64 redraws = 0;
    QObject::connect(&bench.window.motionChart(), &MotionChart::redrawn, [&] { ++redraws; });
    qint64 sent = 0;
    double memoryHalfway = 0;
    Heartbeat heartbeat([&](qint64 elapsedMs) {
        // Catch up to the rate at every beat, in whole triples.
        QByteArray bytes;
        for (;
             sent < elapsedMs * ingestPerSecond / 1000 && sent < qint64(seconds) * ingestPerSecond;
             sent += 3) {
            const qint32 v = qint32(sent % 20000);
            bytes += frameRtu(makePayload(1, 0x36, int32BigEndian(v)));
            bytes += frameRtu(makePayload(1, 0x37, int32BigEndian(v * 3)));
            bytes += frameRtu(makePayload(
                    1, 0x3B, QByteArray::fromHex(sent / 3000 % 2 ? "01010101" : "00010101")));
        }
        bench.pty.write(bytes);
        if (memoryHalfway == 0 && elapsedMs >= seconds * 500)
            memoryHalfway = residentMiB();
    });
    heartbeat.start();
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000 + 500, &loop, &QEventLoop::quit);
    loop.exec();
    std::printf("ingest %d points/s for %d s, chart %s: %.1f redraws/s (goal at least 30), longest "
                "stall"
                " %lld ms (goal at most 50), %lld of %lld replies plotted, memory %.0f MiB halfway,"
                " %.0f MiB at the end (%lld samples kept per series at most)\n",
                ingestPerSecond, seconds, chartShown ? "shown " : "hidden",
                double(redraws) / seconds, qlonglong(heartbeat.longestStallMs()),
                qlonglong(plotted(motion)), qlonglong(sent), memoryHalfway, residentMiB(),
                qlonglong(motion.series(MotionTracker::Position).capacity()));
}

void poll(const QString &device, int seconds)
{
    FrmMain window;
    window.portNames().setMapping(1, device);
    showMotionTab(window);
    window.show();
    window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
    qint64 polls = 0, good = 0, overlaps = 0, timeouts = 0;
    qint64 lastReplied = 0;
    QObject::connect(&window.exchanges(), &ExchangeMonitor::exchangeSettled,
                     [&](const Exchange &e) {
                         if (e.request.isEmpty())
                             return;
                         ++polls;
                         good += e.verdict == Verdict::Good;
                         timeouts += e.verdict == Verdict::Timeout;
                         overlaps += e.sentUs < lastReplied;
                         lastReplied = e.repliedUs;
                     });
    window.findChild<QSpinBox *>(QStringLiteral("autoPollInterval"))->setValue(20);
    window.findChild<QCheckBox *>(QStringLiteral("autoPoll"))->setChecked(true);
    QEventLoop loop;
    QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
    loop.exec();
    window.findChild<QCheckBox *>(QStringLiteral("autoPoll"))->setChecked(false);
    QTimer::singleShot(600, &loop, &QEventLoop::quit); // the last reply settles
    loop.exec();
    std::printf("automatic poll at 20 ms for %d s: %lld queries (%.1f rounds/s), %lld overlapping"
                " (goal 0), %lld timed out, %lld of %lld good replies plotted\n",
                seconds, qlonglong(polls), double(polls) / 3 / seconds, qlonglong(overlaps),
                qlonglong(timeouts), qlonglong(plotted(window.motion())), qlonglong(good));
}

} // namespace

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int seconds = argc > 1 ? QByteArray(argv[1]).toInt() : 60;
    // Beside the same stream with the chart hidden: what drawing costs.
    ingest(seconds, true);
    ingest(seconds, false);
    QProcess simulator;
    simulator.start(QStringLiteral(STEPPERBENCH_SIM), {QStringLiteral("--quiet")});
    if (!simulator.waitForReadyRead(10000)) {
        std::fprintf(stderr, "bench_motion: the simulator did not start\n");
        return 2;
    }
    poll(QString::fromLocal8Bit(simulator.readLine().trimmed()), seconds);
    simulator.terminate();
    simulator.waitForFinished(5000);
    std::printf("reproduce: scripts/bench motion\n");
    return 0;
}
