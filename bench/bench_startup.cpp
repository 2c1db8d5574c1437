// Start-up time: from starting the process to the first shown window (offscreen
// platform), median of repeated runs.
#include "bench_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int runs = 21;
    std::vector<double> millis;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (int i = 0; i < runs; ++i) {
        QProcess process;
        process.setProcessEnvironment(env);
        QElapsedTimer timer;
        timer.start();
        process.start(QStringLiteral(STEPPERBENCH_EXE), {QStringLiteral("--quit-when-shown")});
        if (!process.waitForFinished(30000) || process.exitCode() != 0) {
            std::fprintf(stderr, "stepperbench did not start and quit cleanly\n");
            return 1;
        }
        if (i > 0) // the first run warms the file cache
            millis.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    std::printf("start-up to the first shown window, %d runs: median %.0f ms, max %.0f ms"
                " (goal: median at most 300 ms)\n",
                runs - 1, median(millis), percentile(millis, 1.0));
    std::printf("reproduce: scripts/bench startup\n");
    return 0;
}
