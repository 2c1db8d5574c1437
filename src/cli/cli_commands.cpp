#include "cli_commands.h"

#include "bus/bus_scan.h"
#include "bus/config_file.h"
#include "bus/config_transfer.h"
#include "cli_session.h"
#include "device/command_set.h"
#include "session/run_driver.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QSet>
#include <QTimer>

namespace {

/// A value of a comparison as the lines show it: "(none)" where there is none.
QString shownValue(const QString &value)
{
    return value.isEmpty() ? QCoreApplication::translate("CliCommands", "(none)") : value;
}

ConfigTransfer::Send sendThrough(CliSession &session)
{
    return [&session](const QByteArray &frame) {
        return session.send(frame);
    };
}

} // namespace

int CliCommands::scan(CliSession &session, const CliOptions &options)
{
    BusScanner::Settings settings;
    settings.from = options.from;
    settings.to = options.to;
    settings.rates = options.scanRates;
    settings.mode = options.mode;
    settings.marginMs = options.marginMs;
    settings.retries = options.retries;
    // A raw network socket runs at its gateway's rate: one rate is scanned as it
    // is, and several cannot be.
    session.session().fitScan(settings);
    if (!settings.setsRate && settings.rates.size() > 1) {
        session.warn(tr("%1 is a raw socket: the gateway sets the line's rate, so a scan cannot "
                        "try several; give the gateway's rate (--baud RATE), or use rfc2217://")
                             .arg(options.port));
        return ExitUsage;
    }
    BusScanner scanner(sendThrough(session),
                       [&session](qint32 rate) { return session.setRate(rate); });
    session.session().listen(scanner);

    // A station may answer at several rates (a pseudo-terminal takes any): each
    // answer is a line, the summary counts stations.
    int answers = 0;
    QSet<quint8> stations;
    QObject::connect(&scanner, &BusScanner::found, &session, [&](const BusScanner::Hit &hit) {
        ++answers;
        stations.insert(hit.address);
        QString line = tr("station %1 answers at %2 baud, %3 ms")
                               .arg(stationText(hit.address))
                               .arg(hit.rate)
                               .arg(hit.responseMs, 0, 'f', 1);
        if (hit.verdict != Verdict::Good)
            line += QStringLiteral(" (%1)").arg(verdictText(hit.verdict).section(u' ', 0, 0));
        session.print(line);
    });
    QObject::connect(&scanner, &BusScanner::progress, &session, [&] {
        session.progress(tr("scan: %1 of %2 probes, %3 s left")
                                 .arg(scanner.done())
                                 .arg(scanner.total())
                                 .arg(double(scanner.remainingMs()) / 1000, 0, 'f', 1));
    });
    QObject::connect(&session, &CliSession::interrupted, &scanner, &BusScanner::cancel);
    QObject::connect(&scanner, &BusScanner::finished, &session, [&](bool, const QString &error) {
        if (!error.isEmpty()) {
            session.warn(error);
            session.finish(ExitUsage);
            return;
        }
        session.settle();
        session.print(tr("scan: %n station(s) found, %1 answer(s), at "
                         "addresses %2 to %3; %4",
                         nullptr, int(stations.size()))
                              .arg(answers)
                              .arg(stationText(options.from), stationText(options.to),
                                   session.statsText()));
        session.finish(answers > 0 ? ExitOk : ExitFailed);
    });

    scanner.start(settings, 0); // the port closes at the end: no rate to go back to
    return session.exec();
}

int CliCommands::readConfig(CliSession &session, const CliOptions &options)
{
    const quint8 station = options.addresses.value(0);
    ConfigTransfer transfer(sendThrough(session));
    session.session().listen(transfer);

    int status = ExitOk;
    QString result;
    const auto stationDone = [&](const ConfigTransfer::Outcome &outcome) {
        if (!outcome.answered) {
            session.print(tr("station %1: no answer").arg(stationText(station)));
            result = tr("station %1 did not answer, %2 not written")
                             .arg(stationText(station), options.file);
            status = ExitFailed;
            return;
        }
        for (const QString &item : outcome.refused) {
            session.print(tr("station %1: %2 refused").arg(stationText(station), item));
            status = ExitFailed;
        }
        const Status written = writeConfigFile(
                options.file, outcome.read,
                {tr("StepperBench 配置"),
                 QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                 tr("stepperbench-cli, station %1").arg(stationText(station))});
        if (!written) {
            session.warn(written.error());
            result = tr("station %1 read, %2 not written").arg(stationText(station), options.file);
            status = ExitUsage;
            return;
        }
        const qsizetype items = compareConfigSets(outcome.read, outcome.read).size();
        result = tr("station %1: %2 items saved to %3")
                         .arg(stationText(station))
                         .arg(items)
                         .arg(options.file);
    };
    QObject::connect(&transfer, &ConfigTransfer::stationDone, &session, stationDone);
    QObject::connect(&transfer, &ConfigTransfer::progress, &session, [&] {
        session.progress(
                tr("config read: %1 of %2 requests").arg(transfer.done()).arg(transfer.total()));
    });
    QObject::connect(&session, &CliSession::interrupted, &transfer, &ConfigTransfer::cancel);
    QObject::connect(&transfer, &ConfigTransfer::finished, &session, [&](const QString &error) {
        if (!error.isEmpty() && !session.isInterrupted()) {
            session.warn(error);
            session.finish(ExitUsage);
            return;
        }
        session.settle();
        session.print(tr("config read: %1; %2").arg(result, session.statsText()));
        session.finish(status);
    });
    transfer.read(station, options.mode);
    return session.exec();
}

int CliCommands::transferConfig(CliSession &session, const CliOptions &options,
                                const ConfigSet &configSet)
{
    const bool writing = options.command == CliOptions::Command::ConfigWrite;
    const QString verb = writing ? QStringLiteral("write") : QStringLiteral("verify");
    ConfigTransfer transfer(sendThrough(session));
    session.session().listen(transfer);

    int equal = 0;
    int differing = 0;
    int silent = 0;
    const auto stationDone = [&](const ConfigTransfer::Outcome &outcome) {
        const QString station = stationText(outcome.station);
        if (!outcome.answered) {
            session.print(tr("station %1: no answer").arg(station));
            ++silent;
            return;
        }
        const QList<ConfigRow> rows = compareConfigSets(configSet, outcome.read);
        int differences = 0;
        for (const ConfigRow &row : rows) {
            if (!row.differs)
                continue;
            session.print(tr("station %1: %2 differs: file %3, controller %4")
                                  .arg(station, row.key, shownValue(row.expected),
                                       shownValue(row.actual)));
            ++differences;
        }
        for (const QString &item : outcome.refused)
            session.print(tr("station %1: %2 refused").arg(station, item));
        if (differences == 0 && outcome.refused.isEmpty()) {
            session.print(tr("station %1: all %2 items equal").arg(station).arg(rows.size()));
            ++equal;
        } else {
            session.print(tr("station %1: %2 of %3 items differ, %4 refused")
                                  .arg(station)
                                  .arg(differences)
                                  .arg(rows.size())
                                  .arg(outcome.refused.size()));
            ++differing;
        }
    };
    QObject::connect(&transfer, &ConfigTransfer::stationDone, &session, stationDone);
    QObject::connect(&transfer, &ConfigTransfer::progress, &session, [&] {
        session.progress(tr("config %1: %2 of %3 requests")
                                 .arg(verb)
                                 .arg(transfer.done())
                                 .arg(transfer.total()));
    });
    QObject::connect(&session, &CliSession::interrupted, &transfer, &ConfigTransfer::cancel);
    QObject::connect(&transfer, &ConfigTransfer::finished, &session, [&](const QString &error) {
        if (!error.isEmpty() && !session.isInterrupted()) {
            session.warn(error);
            session.finish(ExitUsage);
            return;
        }
        session.settle();
        session.print(tr("config %1: %2 station(s), %3 equal, %4 differ, %5 silent; %6")
                              .arg(verb)
                              .arg(options.addresses.size())
                              .arg(equal)
                              .arg(differing)
                              .arg(silent)
                              .arg(session.statsText()));
        session.finish(equal == options.addresses.size() ? ExitOk : ExitFailed);
    });
    if (writing)
        transfer.write(configSet, options.addresses, options.mode);
    else
        transfer.verify(configSet, options.addresses, options.mode);
    return session.exec();
}

int CliCommands::runList(CliSession &session, const CliOptions &options, const QStringList &lines)
{
    const int loops = options.durationS ? 0 : options.loops.value_or(1);
    RunDriver run(
            {[&lines] { return int(lines.size()); },
             [&lines](int i) {
                 return lines[i];
             }},
            [&session](const QByteArray &frame) { return session.send(frame); },
            [&options] { return std::optional(options.intervalMs); },
            [&session] { return session.session().lineBusy(); });
    // A run for a set time stops sending one reply time-out before its end, so
    // that the last request has its verdict by then, whatever the line does.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QElapsedTimer clock;
    bool stopped = false;
    const qint64 durationMs = options.durationS ? qint64(*options.durationS * 1000) : -1;

    const auto end = [&] {
        if (std::exchange(stopped, true))
            return;
        run.stop();
        deadline.stop();
        session.settle(durationMs < 0 ? -1 : std::max<qint64>(durationMs - clock.elapsed(), 0));
        session.print(tr("run: %n pass(es) through %1 in %2 s; %3", nullptr, run.passes())
                              .arg(options.file)
                              .arg(double(clock.elapsed()) / 1000, 0, 'f', 1)
                              .arg(session.statsText()));
        session.finish(session.stats().timeouts() > 0 ? ExitFailed : ExitOk);
    };
    QObject::connect(&run, &RunDriver::sendFailed, &session, [&] {
        stopped = true;
        run.stop();
        session.finish(ExitUsage);
    });
    QObject::connect(&run, &RunDriver::passDone, &session, [&](int passes) {
        if (passes == loops)
            end();
    });
    // As in the window, an interval of 0 means no further tick: the run is over.
    QObject::connect(&run, &RunDriver::halted, &session, end);
    QObject::connect(&run.timer(), &QTimer::timeout, &session, [&] {
        if (!stopped) {
            session.progress(tr("run: pass %1, line %2, %3 s")
                                     .arg(run.passes() + 1)
                                     .arg(run.line())
                                     .arg(double(clock.elapsed()) / 1000, 0, 'f', 1));
        }
    });
    QObject::connect(&deadline, &QTimer::timeout, &session, end);
    QObject::connect(&session, &CliSession::interrupted, &session, end);

    clock.start();
    if (durationMs >= 0)
        deadline.start(int(std::max<qint64>(durationMs - options.timeoutMs, durationMs / 2)));
    run.start(options.intervalMs);
    return session.exec();
}

int CliCommands::monitor(CliSession &session, const CliOptions &options)
{
    QElapsedTimer clock;
    bool stopped = false;
    const auto end = [&] {
        if (std::exchange(stopped, true))
            return;
        // The last request heard has its reply, or its time-out, before the summary.
        session.settle();
        session.session().exchanges().reset();
        const ExchangeStats &stats = session.stats();
        session.print(tr("monitor: %1 s on %2; %3")
                              .arg(double(clock.elapsed()) / 1000, 0, 'f', 1)
                              .arg(options.port, session.statsText()));
        session.finish(stats.timeouts() + stats.badChecks() > 0 ? ExitFailed : ExitOk);
    };
    QObject::connect(&session, &CliSession::interrupted, &session, end);
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QObject::connect(&deadline, &QTimer::timeout, &session, end);
    QObject::connect(&session.exchanges(), &ExchangeMonitor::statsChanged, &session, [&] {
        const ExchangeStats &stats = session.stats();
        session.progress(tr("monitor: %1 requests, %2 replies heard, %3 s")
                                 .arg(stats.requests())
                                 .arg(stats.replies())
                                 .arg(double(clock.elapsed()) / 1000, 0, 'f', 1));
    });
    clock.start();
    if (options.durationS)
        deadline.start(int(*options.durationS * 1000));
    return session.exec();
}
