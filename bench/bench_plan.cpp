// Test plans. First the runner's own cost: a plan of handshakes against the
// simulated controller in this process, each step's span from its start to the
// next step's start less the exchange's response time (the time the frames and
// the controller take). Then stepperbench-cli test on four ports in parallel,
// four simulators with wire time at 9600 baud, against the same plan on one
// port alone: the ports must not wait for each other.
#include "session/link_session.h"
#include "sim/sim_server.h"
#include "testplan/plan_runner.h"

#include "bench_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

const char *const plan = R"([plan]
name = "bench"
reply_timeout_ms = 500
[[step]]
name = "round"
repeat = %1
[[step.steps]]
code = "20"
[[step.steps]]
send = "query_max_speed"
value = { min = 1 }
)";

void overhead(int rounds)
{
    SimServer simulator{SimConfig{}};
    if (!simulator.openPseudoTerminal())
        return;
    LinkSession session;
    if (!session.open(simulator.devicePath(), 9600))
        return;
    PlanRunner runner([&session](const QByteArray &frame) { return session.send(frame).ok(); });
    QObject::connect(&session.exchanges(), &ExchangeMonitor::exchangeSettled, &runner,
                     &PlanRunner::exchangeSettled);
    std::vector<qint64> starts;
    QObject::connect(&runner, &PlanRunner::stepStarted, [&] { starts.push_back(monotonicUs()); });
    QSignalSpy finished(&runner, &PlanRunner::finished);
    const Result<TestPlan> parsed =
            parseTestPlan(QString::fromLatin1(plan).arg(rounds), QStringLiteral("bench.toml"));
    runner.start(*parsed, 0x01, QStringLiteral("pty"));
    finished.wait(600'000);
    const QList<StepResult> &steps = runner.result().steps;
    std::vector<double> costs;
    for (qsizetype i = 0; i + 1 < qsizetype(starts.size()); ++i) {
        if (steps[i].exchange && steps[i].exchange->responseMs >= 0)
            costs.push_back(double(starts[i + 1] - starts[i]) / 1000 - steps[i].exchange->responseMs);
    }
    std::printf("runner overhead per step, %zu steps: median %.3f ms, 95%% %.3f ms, max %.3f ms; "
                "verdict %s\n",
                costs.size(), median(costs), percentile(costs, 0.95), percentile(costs, 1.0),
                qPrintable(outcomeName(runner.result().outcome)));
}

double runCli(const QString &planPath, const QStringList &ports)
{
    QStringList arguments{QStringLiteral("test"), planPath};
    for (const QString &port : ports)
        arguments << QStringLiteral("--port") << port;
    QProcess cli;
    cli.setStandardOutputFile(QProcess::nullDevice());
    QElapsedTimer clock;
    clock.start();
    cli.start(QStringLiteral(STEPPERBENCH_CLI), arguments);
    cli.waitForFinished(600'000);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    if (cli.exitCode() != 0)
        std::printf("stepperbench-cli test ended with %d\n", cli.exitCode());
    return seconds;
}

void parallel(int rounds, int runs)
{
    QTemporaryDir dir;
    const QString planPath = dir.filePath(QStringLiteral("plan.toml"));
    QFile file(planPath);
    if (!file.open(QIODevice::WriteOnly))
        return;
    file.write(QString::fromLatin1(plan).arg(rounds).toUtf8());
    file.close();
    QList<QProcess *> simulators;
    QStringList ports;
    for (int i = 0; i < 4; ++i) {
        const QString link = dir.filePath(QStringLiteral("sim%1").arg(i + 1));
        auto *simulator = new QProcess;
        simulator->start(QStringLiteral(STEPPERBENCH_SIM),
                         {QStringLiteral("--wire-time"), QStringLiteral("--quiet"),
                          QStringLiteral("--link"), link});
        simulators.append(simulator);
        ports.append(link);
    }
    for (const QString &port : ports) {
        while (!QFileInfo::exists(port))
            QThread::msleep(10);
    }
    std::vector<double> one, four;
    for (int run = 0; run < runs; ++run) { // interleaved, so that both see the same machine
        one.push_back(runCli(planPath, ports.mid(0, 1)));
        four.push_back(runCli(planPath, ports));
    }
    std::printf("plan of %d steps at 9600 baud with wire time, median of %d runs: one port "
                "%.3f s, four ports in parallel %.3f s, ratio %.3f\n",
                rounds * 2, runs, median(one), median(four), median(four) / median(one));
    for (QProcess *simulator : simulators) {
        simulator->terminate();
        simulator->waitForFinished();
        delete simulator;
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int rounds = qEnvironmentVariableIntValue("STEPPERBENCH_ROUNDS") > 0
            ? qEnvironmentVariableIntValue("STEPPERBENCH_ROUNDS")
            : 1000;
    overhead(rounds);
    parallel(rounds / 5, 5);
    std::printf("reproduce: build/bench/bench_plan (STEPPERBENCH_ROUNDS=%d)\n", rounds);
    return 0;
}
