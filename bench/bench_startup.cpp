// Start-up time: from starting the process until its window is first painted
// whole, children and all (offscreen platform, or the display in
// QT_QPA_PLATFORM/DISPLAY), beside two yardsticks started in turn in the same run,
// so that all three see the same machine: forms_only, the same first view from the
// same forms with no logic behind it (the floor the program can reach), and a bare
// Qt window showing one label. Settings go to a scratch folder.
#include "bench_util.h"

#include <QCoreApplication>
#include <QProcess>
#include <QTemporaryDir>

#include <chrono>
#include <cstdio>

namespace {

// Milliseconds from starting the program until its window is painted whole, as
// it reports it on the same monotonic clock; negative when the run failed.
double timedRun(const QString &program, const QStringList &arguments,
                const QProcessEnvironment &env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    const auto started = std::chrono::steady_clock::now().time_since_epoch();
    process.start(program, arguments);
    if (!process.waitForFinished(30000) || process.exitCode() != 0)
        return -1;
    const QByteArray report = process.readAllStandardOutput();
    const qsizetype at = report.indexOf("shown ");
    if (at < 0)
        return -1;
    const qint64 shownNs = report.mid(at + 6).trimmed().toLongLong();
    return double(shownNs - std::chrono::duration_cast<std::chrono::nanoseconds>(started).count())
            / 1e6;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    constexpr int runs = 21;
    QTemporaryDir home;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    std::vector<double> tool, forms, bare;
    for (int i = 0; i < runs; ++i) {
        const double t = timedRun(QStringLiteral(STEPPERBENCH_EXE),
                                  {QStringLiteral("--quit-when-shown")}, env);
        const double f = timedRun(QStringLiteral(FORMS_ONLY_EXE), {}, env);
        const double b = timedRun(QStringLiteral(BARE_WINDOW_EXE), {}, env);
        if (t < 0 || f < 0 || b < 0) {
            std::fprintf(stderr, "a program did not start and quit cleanly\n");
            return 1;
        }
        if (i > 0) { // the first runs warm the file cache
            tool.push_back(t);
            forms.push_back(f);
            bare.push_back(b);
        }
    }
    std::printf("start-up until the window is painted whole (%s), %d runs each, interleaved: "
                "stepperbench median %.1f ms (max %.0f), forms only median %.1f ms (max %.0f), "
                "bare Qt window median %.1f ms (max %.0f)\n",
                qPrintable(env.value(QStringLiteral("QT_QPA_PLATFORM"))), runs - 1, median(tool),
                percentile(tool, 1.0), median(forms), percentile(forms, 1.0), median(bare),
                percentile(bare, 1.0));
    std::printf("stepperbench / forms only: %.2f times (goal: at most 1.15); stepperbench / bare "
                "window: %.2f times\n",
                median(tool) / median(forms), median(tool) / median(bare));
    std::printf("reproduce: scripts/bench startup\n");
    return 0; // a report: the figures go to docs/performance.md
}
