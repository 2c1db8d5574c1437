#pragma once

#include "bus/config_set.h"
#include "testplan/test_plan.h"
#include "cli_options.h"

#include <QCoreApplication>
#include <QStringList>

class CliSession;

// The commands of stepperbench-cli over an open session. Each prints what it
// finds, ends with a summary line and returns the exit status; the files they
// use are read (or opened for writing) before the port is, so that a bad file
// sends nothing.
class CliCommands
{
    Q_DECLARE_TR_FUNCTIONS(CliCommands)

public:
    /// Looks for stations over the addresses and rates of \a options; ExitOk when
    /// at least one answered.
    static int scan(CliSession &session, const CliOptions &options);
    /// Reads the whole set of the first station of \a options into \a file,
    /// committed only when the station answered.
    static int readConfig(CliSession &session, const CliOptions &options);
    /// Writes \a configSet to the stations of \a options (or only reads back, for
    /// verify) and compares what they hold with it; ExitFailed on any difference,
    /// refused item or silent station.
    static int transferConfig(CliSession &session, const CliOptions &options,
                              const ConfigSet &configSet);
    /// Sends the list \a lines by the run-loop rules for one pass, the passes or
    /// the time \a options ask for; ExitFailed when a request timed out.
    static int runList(CliSession &session, const CliOptions &options, const QStringList &lines);
    /// Listens to the line for --duration or until a signal, sending nothing;
    /// ExitFailed when a request heard went unanswered or a frame had a bad check.
    static int monitor(CliSession &session, const CliOptions &options);
    /// Runs \a plan on every station of \a options on each port of \a sessions, the
    /// ports in parallel and the stations of a port one after another; prints a
    /// line per step and a verdict per controller, and writes the reports asked
    /// for. ExitFailed when a controller failed, ExitUsage on a bench fault.
    static int test(const QList<CliSession *> &sessions, const CliOptions &options,
                    const TestPlan &plan);
    /// Lists the commands a plan names, with code, data and reply value.
    static int listCommands();
};

