// stepperbench-cli test: a plan on every controller, and the list of the
// command names a plan takes.
#include "cli_commands.h"
#include "cli_session.h"
#include "device/command_set.h"
#include "testplan/plan_report.h"
#include "testplan/plan_runner.h"

#include <QEventLoop>

#include <cstdio>
#include <memory>

namespace {

QString stepLine(const StationResult &result, int index, int count)
{
    const StepResult &step = result.steps[index];
    QString line = QStringLiteral("[%1] %2/%3 %4: %5")
                           .arg(result.label())
                           .arg(index + 1)
                           .arg(count)
                           .arg(step.name, outcomeName(step.outcome));
    if (step.measured) {
        line += QStringLiteral(", ") + numberText(*step.measured);
        if (!step.unit.isEmpty())
            line += QLatin1Char(' ') + step.unit;
    }
    if (const QString limits = limitsText(step.limits); !limits.isEmpty())
        line += QStringLiteral(" (limits %1)").arg(limits);
    if (!step.message.isEmpty())
        line += QStringLiteral(": ") + step.message;
    return line;
}

QString verdictLine(const StationResult &result)
{
    int counts[5] = {};
    for (const StepResult &step : result.steps)
        ++counts[int(step.outcome)];
    return QStringLiteral("[%1] verdict: %2 (%3 pass, %4 marginal, %5 fail, %6 error, %7 skipped) "
                          "in %8 s")
            .arg(result.label(), outcomeName(result.outcome).toUpper())
            .arg(counts[int(Outcome::Pass)])
            .arg(counts[int(Outcome::Marginal)])
            .arg(counts[int(Outcome::Fail)])
            .arg(counts[int(Outcome::Error)])
            .arg(counts[int(Outcome::Skipped)])
            .arg(double(result.start.msecsTo(result.end)) / 1000, 0, 'f', 1);
}

QString replyValueText(ReplyValue value)
{
    switch (value) {
    case ReplyValue::None:
        return QStringLiteral("-");
    case ReplyValue::Address:
        return QStringLiteral("station address");
    case ReplyValue::BaudCode:
        return QStringLiteral("baud rate");
    case ReplyValue::Unsigned32:
        return QStringLiteral("unsigned 32-bit");
    case ReplyValue::Signed32:
        return QStringLiteral("signed 32-bit");
    case ReplyValue::MotionStatus:
        return QStringLiteral("1 moving, 0 stopped");
    case ReplyValue::Inputs:
        return QStringLiteral("active inputs, IN1 = 1 ... IN5 = 16");
    }
    return {};
}

// One port: its session, its runner, and the stations still to run.
struct PortRun
{
    CliSession *session;
    QString port;
    std::unique_ptr<PlanRunner> runner;
    qsizetype nextStation = 0;
};

} // namespace

int CliCommands::test(const QList<CliSession *> &sessions, const CliOptions &options,
                      const TestPlan &plan)
{
    const QList<quint8> stations =
            options.addressGiven ? options.addresses : QList<quint8>{plan.address};
    QList<StationResult> results;
    QEventLoop loop;
    int running = int(sessions.size());
    std::vector<std::unique_ptr<PortRun>> ports;

    for (qsizetype i = 0; i < sessions.size(); ++i) {
        auto run = std::make_unique<PortRun>();
        PortRun &port = *run;
        port.session = sessions[i];
        port.port = options.ports.value(i);
        port.session->setPrintExchanges(false);
        port.runner = std::make_unique<PlanRunner>(
                [&port](const QByteArray &frame) { return port.session->send(frame); });
        PlanRunner &runner = *port.runner;
        port.session->session().setPortLabel(port.port);
        runner.follow(port.session->session());
        QObject::connect(&runner, &PlanRunner::stepDone, &runner, [&port](int index) {
            const StationResult &result = port.runner->result();
            port.session->print(stepLine(result, index, int(result.steps.size())));
        });
        QObject::connect(&runner, &PlanRunner::finished, &runner, [&, stations] {
            const StationResult &result = port.runner->result();
            port.session->print(verdictLine(result));
            results.append(result);
            // A port that went away (or a signal) ends the run there: no further station.
            if (result.outcome != Outcome::Error && port.nextStation < stations.size()) {
                port.runner->start(plan, stations[port.nextStation++], port.port);
                return;
            }
            if (--running == 0)
                loop.quit();
        });
        ports.push_back(std::move(run));
    }
    // SIGINT or SIGTERM: the runs end as errors, and the reports are written.
    for (CliSession *session : sessions) {
        QObject::connect(session, &CliSession::interrupted, &loop, [&ports] {
            for (const auto &port : ports)
                port->runner->stop(QStringLiteral("interrupted"));
        });
    }
    for (const auto &port : ports)
        port->runner->start(plan, stations[port->nextStation++], port->port);
    if (running > 0)
        loop.exec();

    // The reports list the controllers port by port, in the order given.
    std::stable_sort(results.begin(), results.end(),
                     [&options](const StationResult &a, const StationResult &b) {
                         return options.ports.indexOf(a.port) < options.ports.indexOf(b.port);
                     });
    Outcome overall = Outcome::Pass;
    for (const StationResult &result : std::as_const(results))
        overall = worse(overall, result.outcome);
    int status = overall == Outcome::Error ? ExitUsage
            : overall == Outcome::Fail     ? ExitFailed
                                           : ExitOk;
    CliSession &first = *sessions.front();
    for (const auto &[path, write] :
         {std::pair{options.junit, &writeJUnitReport}, std::pair{options.json, &writeJsonReport}}) {
        if (path.isEmpty())
            continue;
        if (const Status written = write(path, results); !written) {
            first.warn(written.error());
            status = ExitUsage;
        }
    }
    for (CliSession *session : sessions)
        session->settle();
    // The exchange counts: of the one port on the last line, of several each on its own.
    QString summary = QStringLiteral("test: %1 controller(s), %2")
                              .arg(results.size())
                              .arg(outcomeName(overall));
    if (sessions.size() == 1) {
        summary += QStringLiteral("; ") + first.statsText();
    } else {
        for (const auto &port : ports)
            first.print(QStringLiteral("[%1] %2").arg(port->port, port->session->statsText()));
    }
    first.print(summary);
    first.finish(status);
    return first.exec();
}

int CliCommands::listCommands()
{
    QString text = QStringLiteral("%1  %2  %3  %4\n")
                           .arg(QStringLiteral("name"), -26)
                           .arg(QStringLiteral("code"))
                           .arg(QStringLiteral("value (data)"), -36)
                           .arg(QStringLiteral("reply value"));
    for (const CommandInfo &row : commandSet()) {
        QString reply = replyValueText(row.value);
        if (const QString unit = replyValueUnit(row); !unit.isEmpty())
            reply += QStringLiteral(" (%1)").arg(unit);
        const QString data = requestDataText(row.request);
        text += QStringLiteral("%1  %2    %3  %4\n")
                        .arg(QLatin1String(row.name), -26)
                        .arg(stationText(row.code))
                        .arg(data.isEmpty() ? QStringLiteral("-") : data, -36)
                        .arg(reply);
    }
    std::fputs(text.toUtf8().constData(), stdout);
    return ExitOk;
}
