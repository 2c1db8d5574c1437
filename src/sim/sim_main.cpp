// stepperbench-sim: the simulated controller on a pseudo-terminal (or a real
// serial device), for learning the tool, rehearsing command lists and testing
// without hardware.
#include "sim_line_reader.h"
#include "sim_logging.h"
#include "sim_options.h"
#include "sim_server.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>
#include <memory>

#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};

void onStopSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

/// Ctrl-C, SIGTERM, SIGHUP (its terminal closed) and SIGQUIT quit the event
/// loop, so that the program ends its own way and takes its link with it.
/// SIGPIPE is ignored: a log reader that went away costs the log, not the link.
bool catchStopSignals(QCoreApplication *app)
{
    std::signal(SIGPIPE, SIG_IGN);
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return false;
    ::fcntl(signalPipe[1], F_SETFL, O_NONBLOCK);
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, app);
    QObject::connect(notifier, &QSocketNotifier::activated, app, [notifier] {
        notifier->setEnabled(false);
        QCoreApplication::quit();
    });
    struct sigaction action
    { };
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT}) {
        if (::sigaction(signal, &action, nullptr) != 0)
            return false;
    }
    return true;
}

/// Removes \a link if it still leads to \a target: another simulator may
/// have made the path its own since (after someone removed this one's link).
void removeOwnLink(const QString &link, const QString &target)
{
    const QFileInfo info(link);
    if (info.isSymLink() && info.symLinkTarget() == target)
        QFile::remove(link);
}

// Where traffic and diagnostics go once the simulator serves; until then (and
// after) plain blocking writes, which cannot hold anything up.
SimLogOutput *traffic = nullptr;
SimLogOutput *diagnostics = nullptr;
QtMessageHandler defaultMessageHandler = nullptr;

/// Diagnostics (lcSim) take the same way; a fatal one goes out the default way,
/// waiting if it must, as the program ends on it anyway.
void handleMessage(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (diagnostics && type != QtFatalMsg)
        diagnostics->writeLine(qFormatLogMessage(type, context, message));
    else
        defaultMessageHandler(type, context, message);
}

void printLine(FILE *stream, const QString &line)
{
    std::fputs(qPrintable(line + u'\n'), stream);
    std::fflush(stream);
}

[[noreturn]] void fail(const QString &message, int status = 2)
{
    printLine(stderr, QStringLiteral("stepperbench-sim: ") + message);
    std::exit(status);
}

/// Writes \a line to standard output, through the log stream while there is one.
void printTraffic(const QString &line)
{
    if (traffic)
        traffic->writeLine(line);
    else
        printLine(stdout, line);
}

/// Writes \a line to standard error, through the log stream while there is one.
void printError(const QString &line)
{
    if (diagnostics)
        diagnostics->writeLine(line);
    else
        printLine(stderr, line);
}

/// A frame as the log shows it: hex bytes, and for an ASCII frame its text too.
QString frameText(const QByteArray &frame)
{
    QString text = QString::fromLatin1(frame.toHex(' ').toUpper());
    if (frame.startsWith(':') && frame.endsWith("\r\n"))
        text += QStringLiteral("  \"%1\\r\\n\"").arg(QString::fromLatin1(frame.chopped(2)));
    return text;
}

void logExchange(const QByteArray &request, const QByteArray &reply)
{
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    printTraffic(QStringLiteral("%1 rx %2").arg(time, frameText(request)));
    printTraffic(
            QStringLiteral("%1 tx %2")
                    .arg(time, reply.isEmpty() ? QStringLiteral("(no reply)") : frameText(reply)));
}

/// The index of the station at \a text (hex), or -1.
int stationIndex(SimServer *server, const QString &text)
{
    bool ok = false;
    const uint address = text.toUInt(&ok, 16);
    for (int i = 0; ok && i < server->stationCount(); ++i) {
        if (server->controller(i).address() == address)
            return i;
    }
    return -1;
}

/// Runs one command typed on standard input: "inputs BITS" sets IN5 ... IN1 of
/// every station, "inputs HEX BITS" those of station HEX.
void runCommand(SimServer *server, const QString &line)
{
    const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return;
    const bool one = words.size() == 3;
    const int station = one ? stationIndex(server, words[1]) : -1;
    const std::optional<quint8> inputs = (words.size() == 2 || station >= 0)
                    && words[0] == u"inputs"
            ? parseInputBits(words.constLast())
            : std::nullopt;
    if (!inputs) {
        printError(QCoreApplication::translate("main",
                                               "stepperbench-sim: unknown command \"%1\"; "
                                               "try: inputs 00011 (IN5 ... IN1), or "
                                               "inputs 2A 00011 for station 2A only")
                           .arg(line.simplified()));
        return;
    }
    if (one)
        server->setInputs(station, *inputs);
    else
        server->setInputs(*inputs);
    printTraffic(QStringLiteral("%1 %2").arg(
            QDateTime::currentDateTime().toString(Qt::ISODateWithMs), words.join(u' ')));
}

/// Reads standard input line by line, whole, whatever pieces the pipe brings.
void readCommands(SimServer *server, QSocketNotifier *notifier, SimLineReader &reader)
{
    char buffer[4096];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
    // End of input, or a terminal we may not read from: the last line counts,
    // then nothing more is read.
    const QList<SimLineReader::Line> lines =
            n > 0 ? reader.feed(QByteArrayView(buffer, n)) : reader.finish();
    if (n <= 0)
        notifier->setEnabled(false);
    for (const SimLineReader::Line &line : lines) {
        if (line.tooLong) {
            printError(QCoreApplication::translate(
                    "main", "stepperbench-sim: a line longer than 1024 characters is no "
                            "command; it is ignored whole"));
        } else {
            runCommand(server, QString::fromLocal8Bit(line.text));
        }
    }
}

/// Diagnostics (dropped bytes, IO table commands) go to standard error with the
/// same timestamps as the traffic on standard output.
void setUpLogging(bool quiet)
{
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-ddThh:mm:ss.zzz} %{message}"));
    QLoggingCategory::setFilterRules(quiet ? QStringLiteral("stepperbench.sim.info=false")
                                           : QStringLiteral("stepperbench.sim.debug=true"));
}

/// Makes \a link lead to the served terminal, in place of a stale link.
void makeLink(const QString &link, const QString &target)
{
    if (QFileInfo(link).isSymLink())
        QFile::remove(link);
    if (!QFile::link(target, link))
        fail(QCoreApplication::translate("main", "--link: cannot make %1").arg(link), 1);
}

/// Prints every exchange and change of line rate, unless \a quiet; ends the
/// program on a lost device (status 1); reads commands from standard input.
void connectServer(QCoreApplication &app, SimServer &server, bool quiet, int &status)
{
    if (!quiet) {
        QObject::connect(&server, &SimServer::exchanged, &app, &logExchange);
        QObject::connect(&server, &SimServer::lineBaudRateChanged, &app, [](qint32 rate) {
            printTraffic(QStringLiteral("%1 line now at %2 baud")
                                 .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                                 .arg(rate));
        });
    }
    QObject::connect(&server, &SimServer::deviceLost, &app, [&status](const QString &reason) {
        printError(QStringLiteral("stepperbench-sim: ") + reason);
        status = 1;
        QCoreApplication::quit();
    });

    // Reading a terminal from the background would stop the program; with
    // SIGTTIN ignored the read fails instead and the command reader ends.
    std::signal(SIGTTIN, SIG_IGN);
    auto *commands = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    auto reader = std::make_shared<SimLineReader>();
    QObject::connect(commands, &QSocketNotifier::activated, &app, [&server, commands, reader] {
        readCommands(&server, commands, *reader);
    });
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stepperbench-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    SimCommandLine commandLine;
    const Result<SimOptions, SimUsageError> read = commandLine.read(app);
    if (!read)
        fail(read.error().message, read.error().status);
    const SimOptions &options = *read;
    setUpLogging(options.quiet);

    SimServer server(options.stations);
    server.setWireTime(options.wireTime);
    server.setFaultSeed(options.faultSeed);
    const Status opened = options.device.isEmpty() ? server.openPseudoTerminal()
                                                   : server.openDevice(options.device);
    if (!opened)
        fail(opened.error(), 1);
    // Caught before the link is made and the path printed: a script may stop
    // the simulator as soon as it has read the path.
    if (!catchStopSignals(&app))
        printLine(stderr, QStringLiteral("stepperbench-sim: Ctrl-C will not stop cleanly"));

    // The link is there before the path is printed, so a script that waits for
    // the first line may use either.
    if (!options.link.isEmpty())
        makeLink(options.link, server.devicePath());
    printLine(stdout, server.devicePath());

    // From here on a reader that stops reading must not stop the serving.
    SimLogOutput trafficOutput(STDOUT_FILENO);
    SimLogOutput diagnosticsOutput(STDERR_FILENO);
    traffic = &trafficOutput;
    diagnostics = &diagnosticsOutput;
    defaultMessageHandler = qInstallMessageHandler(handleMessage);

    int status = 0;
    connectServer(app, server, options.quiet, status);
    app.exec();
    if (!options.link.isEmpty())
        removeOwnLink(options.link, server.devicePath());
    server.close();
    if (trafficOutput.droppedLines() > 0)
        printError(QStringLiteral("stepperbench-sim: %1 log lines were dropped in all: standard "
                                  "output was not read in time")
                           .arg(trafficOutput.droppedLines()));
    qInstallMessageHandler(defaultMessageHandler);
    traffic = diagnostics = nullptr;
    return status;
}
