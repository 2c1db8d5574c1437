// stepperbench-cli: the bus scan, configuration sets and command lists without
// the window, for production benches and firmware CI. Everything it is given is
// checked before the port is opened; the exit status says how it went.
#include "cli_commands.h"
#include "cli_options.h"
#include "cli_session.h"
#include "bus/config_file.h"
#include "sequencer/list_file.h"
#include "sequencer/list_line.h"
#include "testplan/test_plan.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTranslator>

#include <cstdio>
#include <memory>
#include <vector>

namespace {

class Cli
{
    Q_DECLARE_TR_FUNCTIONS(Cli)

public:
    static int usage(const QString &message)
    {
        std::fputs(qUtf8Printable(QStringLiteral("stepperbench-cli: %1\n%2\n")
                                          .arg(message, tr("Try stepperbench-cli --help."))),
                   stderr);
        return ExitUsage;
    }

    static int failure(const QString &message)
    {
        std::fputs(qUtf8Printable(QStringLiteral("stepperbench-cli: %1\n").arg(message)), stderr);
        return ExitUsage;
    }

    /// The lines of the command list \a path, as the window loads them.
    static Result<QStringList> readList(const QString &path)
    {
        const Result<ListFileContent> content = readListFile(path, maxListLines);
        if (!content)
            return Failure{tr("cannot read the list %1: %2").arg(path, content.error())};
        if (content->truncated) {
            return Failure{tr("%1 has more than %2 lines, more than a command list holds")
                                   .arg(path)
                                   .arg(maxListLines)};
        }
        if (content->lines.isEmpty())
            return Failure{tr("%1 holds no list line").arg(path)};
        return content->lines;
    }

    /// The capture of port \a index of \a count: FILE itself for one port,
    /// "cap-2.csv" for the second of several.
    static QString capturePath(const QString &path, qsizetype index, qsizetype count)
    {
        if (path.isEmpty() || count == 1)
            return path;
        const QFileInfo info(path);
        const QString suffix = info.suffix().isEmpty() ? QString() : u'.' + info.suffix();
        return info.dir().filePath(QStringLiteral("%1-%2%3")
                                           .arg(info.completeBaseName())
                                           .arg(index + 1)
                                           .arg(suffix));
    }

    /// stepperbench-cli test: the plan and the report files first, then every
    /// port; a fault in any of them sends nothing.
    static int test(const CliOptions &options)
    {
        const Result<TestPlan> plan = readTestPlan(options.file);
        if (!plan)
            return failure(plan.error());
        for (const QString &report : {options.junit, options.json}) {
            if (QSaveFile probe(report); !report.isEmpty() && !probe.open(QIODevice::WriteOnly))
                return failure(tr("cannot write %1: %2").arg(report, probe.errorString()));
        }
        // What the command line gives holds over the plan, for the frames too.
        TestPlan run = *plan;
        if (options.modeGiven)
            run.mode = options.mode;
        if (options.timeoutGiven)
            run.replyTimeoutMs = options.timeoutMs;
        if (options.baudGiven)
            run.baudRate = options.baudRate;
        std::vector<std::unique_ptr<CliSession>> sessions;
        QList<CliSession *> open;
        for (qsizetype i = 0; i < options.ports.size(); ++i) {
            auto session = std::make_unique<CliSession>(run.mode, run.replyTimeoutMs);
            session->link().setDirectionControl(options.rs485Rts).ok();
            if (const Status opened = session->open(options.ports[i], run.baudRate); !opened)
                return failure(opened.error());
            const QString capture = capturePath(options.capture, i, options.ports.size());
            if (!capture.isEmpty()) {
                if (const Status started = session->startCapture(capture); !started)
                    return failure(started.error());
            }
            open.append(session.get());
            sessions.push_back(std::move(session));
        }
        return CliCommands::test(open, options, run);
    }
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stepperbench-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));
    // The core's messages are written in Chinese; this program speaks English.
    QTranslator english;
    if (english.load(QStringLiteral(":/i18n/stepperbench_en.qm")))
        QCoreApplication::installTranslator(&english);

    CliCommandLine commandLine;
    const Result<CliOptions> read = commandLine.read(QCoreApplication::arguments());
    if (!read)
        return Cli::usage(read.error());
    const CliOptions &options = *read;
    if (options.command == CliOptions::Command::Commands)
        return CliCommands::listCommands();
    if (options.command == CliOptions::Command::Test)
        return Cli::test(options);

    // Every file first: a fault in one sends nothing.
    ConfigSet set;
    QStringList lines;
    switch (options.command) {
    case CliOptions::Command::ConfigWrite:
    case CliOptions::Command::ConfigVerify:
        if (const Result<ConfigSet> loaded = readConfigFile(options.file); loaded)
            set = *loaded;
        else
            return Cli::failure(loaded.error());
        break;
    case CliOptions::Command::ConfigRead:
        // A file that cannot be written fails before anything is sent; it is
        // written whole once the station has been read.
        if (QSaveFile probe(options.file); !probe.open(QIODevice::WriteOnly))
            return Cli::failure(
                    Cli::tr("cannot write %1: %2").arg(options.file, probe.errorString()));
        break;
    case CliOptions::Command::Run:
        if (const Result<QStringList> loaded = Cli::readList(options.file); loaded)
            lines = *loaded;
        else
            return Cli::failure(loaded.error());
        break;
    case CliOptions::Command::Scan:
    case CliOptions::Command::Monitor:
    case CliOptions::Command::Test:
    case CliOptions::Command::Commands:
        break;
    }

    CliSession session(options.mode, options.timeoutMs);
    // A listener sends nothing, from the moment the port opens.
    session.session().setListening(options.command == CliOptions::Command::Monitor);
    // Taken at the opening, which fails on a port that cannot do it.
    session.link().setDirectionControl(options.rs485Rts).ok();
    if (const Status opened = session.open(options.port, options.baudRate); !opened)
        return Cli::failure(opened.error());
    if (!options.capture.isEmpty()) {
        if (const Status started = session.startCapture(options.capture); !started)
            return Cli::failure(started.error());
    }

    switch (options.command) {
    case CliOptions::Command::Scan:
        return CliCommands::scan(session, options);
    case CliOptions::Command::ConfigRead:
        return CliCommands::readConfig(session, options);
    case CliOptions::Command::ConfigWrite:
    case CliOptions::Command::ConfigVerify:
        return CliCommands::transferConfig(session, options, set);
    case CliOptions::Command::Run:
        return CliCommands::runList(session, options, lines);
    case CliOptions::Command::Monitor:
        return CliCommands::monitor(session, options);
    case CliOptions::Command::Test:
    case CliOptions::Command::Commands:
        break;
    }
    return ExitUsage;
}
