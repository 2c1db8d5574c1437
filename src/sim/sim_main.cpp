// stepperbench-sim: the simulated controller on a pseudo-terminal (or a real
// serial device), for learning the tool, rehearsing command lists and testing
// without hardware.
#include "sim_logging.h"
#include "sim_server.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

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

/// Five characters "0" or "1" for IN5 ... IN1, as the window's IO selector
/// shows them: "00011" is IN1 and IN2 active.
std::optional<quint8> parseInputs(QStringView text)
{
    if (text.size() != 5)
        return std::nullopt;
    quint8 mask = 0;
    for (int i = 0; i < 5; ++i) {
        if (text[i] != u'0' && text[i] != u'1')
            return std::nullopt;
        if (text[i] == u'1')
            mask |= quint8(1u << (4 - i));
    }
    return mask;
}

qint32 parseInt32(const QString &text, const QString &option)
{
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        fail(QCoreApplication::translate("main",
                                         "--%1: \"%2\" is not a whole number of pulses "
                                         "from -2147483648 to 2147483647")
                     .arg(option, text));
    return value;
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

/// Reads commands typed on standard input: "inputs BITS" sets IN5 ... IN1 of
/// every station, "inputs HEX BITS" those of station HEX.
void readCommands(SimServer *server, QSocketNotifier *notifier)
{
    char buffer[256];
    const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer - 1);
    if (n <= 0) {
        // End of input, or a terminal we may not read from: stop listening.
        notifier->setEnabled(false);
        return;
    }
    const QStringList lines = QString::fromLocal8Bit(buffer, n).split(u'\n', Qt::SkipEmptyParts);
    for (const QString &line : lines) {
        const QStringList words = line.simplified().split(u' ', Qt::SkipEmptyParts);
        if (words.isEmpty())
            continue;
        const bool one = words.size() == 3;
        const int station = one ? stationIndex(server, words[1]) : -1;
        const std::optional<quint8> inputs = (words.size() == 2 || station >= 0)
                        && words[0] == u"inputs"
                ? parseInputs(words.constLast())
                : std::nullopt;
        if (inputs) {
            if (one)
                server->setInputs(station, *inputs);
            else
                server->setInputs(*inputs);
            printTraffic(QStringLiteral("%1 %2").arg(
                    QDateTime::currentDateTime().toString(Qt::ISODateWithMs), words.join(u' ')));
        } else {
            printError(QCoreApplication::translate("main",
                                                   "stepperbench-sim: unknown command \"%1\"; "
                                                   "try: inputs 00011 (IN5 ... IN1), or "
                                                   "inputs 2A 00011 for station 2A only")
                               .arg(line.simplified()));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("stepperbench-sim"));
    QCoreApplication::setApplicationVersion(QStringLiteral(PROJECT_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
            "main",
            "A simulated stepper-motor controller on a pseudo-terminal. Prints the "
            "terminal's path on the first line, then every request and reply.\n"
            "While it runs, type \"inputs BITS\" to set the inputs (IN5 ... IN1), or "
            "\"inputs HEX BITS\" for station HEX only."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption linkOption(
            QStringLiteral("link"),
            QCoreApplication::translate("main",
                                        "Also make PATH a symbolic link to the "
                                        "pseudo-terminal (removed on exit). A link to "
                                        "another simulator's terminal is refused."),
            QStringLiteral("PATH"));
    const QCommandLineOption deviceOption(
            QStringLiteral("device"),
            QCoreApplication::translate("main",
                                        "Serve the serial device PATH instead of a "
                                        "pseudo-terminal (e.g. one end of a null-modem "
                                        "loop between two adapters)."),
            QStringLiteral("PATH"));
    const QCommandLineOption addressOption(
            QStringLiteral("address"),
            QCoreApplication::translate("main",
                                        "Station address in hex, 1 to F7 (default 1), or "
                                        "several stations on one line separated by commas, "
                                        "each with its own axis, settings and IO table. A "
                                        "station's own baud rate may follow its address "
                                        "after a colon; the others start at --baud. "
                                        "Example: 5:9600,2A:19200,3. Of the broadcasts only "
                                        "the address query is answered, by each station in "
                                        "address order."),
            QStringLiteral("HEX[:RATE],..."), QStringLiteral("1"));
    const QCommandLineOption baudOption(
            QStringLiteral("baud"),
            QCoreApplication::translate("main",
                                        "Baud rate: 2400, 4800, 9600, 14400, 19200 or "
                                        "38400 (default 9600)."),
            QStringLiteral("RATE"), QStringLiteral("9600"));
    const QCommandLineOption leftOption(
            QStringLiteral("left-limit"),
            QCoreApplication::translate("main",
                                        "Position of the left limit switch in pulses "
                                        "(default -1000000)."),
            QStringLiteral("N"), QStringLiteral("-1000000"));
    const QCommandLineOption rightOption(
            QStringLiteral("right-limit"),
            QCoreApplication::translate("main",
                                        "Position of the right limit switch in pulses "
                                        "(default 1000000)."),
            QStringLiteral("N"), QStringLiteral("1000000"));
    const QCommandLineOption zeroOption(
            QStringLiteral("zero-point"),
            QCoreApplication::translate("main",
                                        "Position of the zero-point switch in pulses "
                                        "(default 0)."),
            QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption inputsOption(
            QStringLiteral("inputs"),
            QCoreApplication::translate("main",
                                        "Active inputs at start, five characters for "
                                        "IN5 ... IN1 like the window's IO selector: "
                                        "00000 none (default), 00011 IN1 and IN2."),
            QStringLiteral("BITS"), QStringLiteral("00000"));
    const QCommandLineOption wireTimeOption(
            QStringLiteral("wire-time"),
            QCoreApplication::translate("main",
                                        "Behave like a real line, for scan tests: a station "
                                        "hears only requests sent at its own baud rate (as "
                                        "the tool set it on the pseudo-terminal), and each "
                                        "reply arrives after the time its bytes take on the "
                                        "wire at that rate (10 bits a byte)."));
    const QCommandLineOption quietOption(
            QStringLiteral("quiet"),
            QCoreApplication::translate("main", "Print only the path, not the traffic."));
    parser.addOptions({linkOption, deviceOption, addressOption, baudOption, leftOption, rightOption,
                       zeroOption, inputsOption, wireTimeOption, quietOption});
    parser.process(app);
    if (!parser.positionalArguments().isEmpty())
        fail(QCoreApplication::translate("main", "unexpected argument \"%1\"; see --help")
                     .arg(parser.positionalArguments().constFirst()));

    // Diagnostics (dropped bytes, IO table commands) go to standard error with
    // the same timestamps as the traffic on standard output.
    qSetMessagePattern(QStringLiteral("%{time yyyy-MM-ddThh:mm:ss.zzz} %{message}"));
    QLoggingCategory::setFilterRules(parser.isSet(quietOption)
                                             ? QStringLiteral("stepperbench.sim.info=false")
                                             : QStringLiteral("stepperbench.sim.debug=true"));

    SimConfig config;
    bool ok = false;
    config.baudRate = parser.value(baudOption).toInt(&ok);
    if (!ok || !SimController::baudCodeForRate(config.baudRate))
        fail(QCoreApplication::translate("main",
                                         "--baud: \"%1\" is not one of 2400, 4800, "
                                         "9600, 14400, 19200, 38400")
                     .arg(parser.value(baudOption)));
    config.leftLimit = parseInt32(parser.value(leftOption), leftOption.names().constFirst());
    config.rightLimit = parseInt32(parser.value(rightOption), rightOption.names().constFirst());
    config.zeroPoint = parseInt32(parser.value(zeroOption), zeroOption.names().constFirst());
    if (config.leftLimit >= config.rightLimit)
        fail(QCoreApplication::translate("main",
                                         "the left limit (%1) must lie left of the "
                                         "right limit (%2)")
                     .arg(config.leftLimit)
                     .arg(config.rightLimit));
    const std::optional<quint8> inputs = parseInputs(parser.value(inputsOption));
    if (!inputs)
        fail(QCoreApplication::translate("main",
                                         "--inputs: \"%1\" is not five characters 0 or "
                                         "1 for IN5 ... IN1, like 00011")
                     .arg(parser.value(inputsOption)));
    config.activeInputs = *inputs;
    const Result<QList<SimConfig>> stations = SimServer::parseStations(parser.value(addressOption),
                                                                       config);
    if (!stations)
        fail(QStringLiteral("--address: ") + stations.error());

    // Another simulator's link, or anything that is no link, is refused before
    // anything is opened. A link to what nothing serves is stale and replaced.
    const QString link = parser.value(linkOption);
    const QFileInfo existing(link);
    if (!link.isEmpty() && existing.isSymLink() && SimServer::isServed(link))
        fail(QCoreApplication::translate("main",
                                         "--link: %1 leads to %2, which another simulator "
                                         "serves; not taking it over (stop that one or "
                                         "choose another path)")
                     .arg(link, existing.symLinkTarget()),
             1);
    if (!link.isEmpty() && !existing.isSymLink() && existing.exists())
        fail(QCoreApplication::translate("main",
                                         "--link: %1 exists and is not a symbolic "
                                         "link; not replacing it")
                     .arg(link),
             1);

    SimServer server(*stations);
    server.setWireTime(parser.isSet(wireTimeOption));
    const Status opened = parser.isSet(deviceOption) ? server.openDevice(parser.value(deviceOption))
                                                     : server.openPseudoTerminal();
    if (!opened)
        fail(opened.error(), 1);
    // Caught before the link is made and the path printed: a script may stop
    // the simulator as soon as it has read the path.
    if (!catchStopSignals(&app))
        printLine(stderr, QStringLiteral("stepperbench-sim: Ctrl-C will not stop cleanly"));

    // The link is there before the path is printed, so a script that waits for
    // the first line may use either.
    if (!link.isEmpty()) {
        if (existing.isSymLink())
            QFile::remove(link);
        if (!QFile::link(server.devicePath(), link))
            fail(QCoreApplication::translate("main", "--link: cannot make %1").arg(link), 1);
    }
    printLine(stdout, server.devicePath());

    // From here on a reader that stops reading must not stop the serving.
    SimLogOutput trafficOutput(STDOUT_FILENO);
    SimLogOutput diagnosticsOutput(STDERR_FILENO);
    traffic = &trafficOutput;
    diagnostics = &diagnosticsOutput;
    defaultMessageHandler = qInstallMessageHandler(handleMessage);

    if (!parser.isSet(quietOption)) {
        QObject::connect(&server, &SimServer::exchanged, &app, &logExchange);
        QObject::connect(&server, &SimServer::lineBaudRateChanged, &app, [](qint32 rate) {
            printTraffic(QStringLiteral("%1 line now at %2 baud")
                                 .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                                 .arg(rate));
        });
    }
    int status = 0;
    QObject::connect(&server, &SimServer::deviceLost, &app, [&status](const QString &reason) {
        printError(QStringLiteral("stepperbench-sim: ") + reason);
        status = 1;
        QCoreApplication::quit();
    });

    // Reading a terminal from the background would stop the program; with
    // SIGTTIN ignored the read fails instead and the command reader ends.
    std::signal(SIGTTIN, SIG_IGN);
    auto *commands = new QSocketNotifier(STDIN_FILENO, QSocketNotifier::Read, &app);
    QObject::connect(commands, &QSocketNotifier::activated, &app,
                     [&server, commands] { readCommands(&server, commands); });

    app.exec();
    if (!link.isEmpty())
        removeOwnLink(link, server.devicePath());
    server.close();
    if (trafficOutput.droppedLines() > 0)
        printError(QStringLiteral("stepperbench-sim: %1 log lines were dropped in all: standard "
                                  "output was not read in time")
                           .arg(trafficOutput.droppedLines()));
    qInstallMessageHandler(defaultMessageHandler);
    traffic = diagnostics = nullptr;
    return status;
}
