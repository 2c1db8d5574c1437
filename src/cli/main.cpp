// stepperbench-cli: the bus scan, configuration sets and command lists without
// the window, for production benches and firmware CI. Everything it is given is
// checked before the port is opened; the exit status says how it went.
#include "cli_commands.h"
#include "cli_options.h"
#include "cli_session.h"
#include "bus/config_file.h"
#include "sequencer/list_file.h"
#include "sequencer/list_line.h"

#include <QCoreApplication>
#include <QFile>
#include <QSaveFile>
#include <QTranslator>

#include <cstdio>

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
        break;
    }

    CliSession session(options.mode, options.timeoutMs);
    // A listener sends nothing, from the moment the port opens.
    session.session().setListening(options.command == CliOptions::Command::Monitor);
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
    }
    return ExitUsage;
}
