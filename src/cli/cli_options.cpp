#include "cli_options.h"

#include "device/command_set.h"

#include <QRegularExpression>

#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Options every command takes, and those of one command only.
const QStringList commonOptions{u"port"_s, u"baud"_s, u"mode"_s, u"timeout"_s, u"capture"_s,
                                u"rs485-rts"_s};
const QStringList scanOptions{u"from"_s, u"to"_s, u"margin"_s, u"retries"_s};
const QStringList configOptions{u"address"_s};
const QStringList runOptions{u"interval"_s, u"loops"_s, u"duration"_s};
const QStringList monitorOptions{u"duration"_s};
const QStringList testOptions{u"address"_s, u"junit"_s, u"json"_s};

// The longest run --duration asks for: what a QTimer counts in milliseconds.
constexpr double maxDurationS = std::numeric_limits<int>::max() / 1000;

std::optional<qint64> wholeNumber(const QString &text, qint64 minimum, qint64 maximum)
{
    static const QRegularExpression digits(u"^[0-9]{1,10}$"_s);
    if (!digits.match(text).hasMatch())
        return std::nullopt;
    const qint64 value = text.toLongLong();
    if (value < minimum || value > maximum)
        return std::nullopt;
    return value;
}

/// A station address as the window's boxes take it: one or two hex digits, 01 to FF.
std::optional<quint8> stationAddress(const QString &text)
{
    static const QRegularExpression hex(u"^[0-9A-Fa-f]{1,2}$"_s);
    if (!hex.match(text).hasMatch())
        return std::nullopt;
    const uint value = text.toUInt(nullptr, 16);
    return value == 0 ? std::nullopt : std::optional<quint8>(quint8(value));
}

/// One of the rates a controller runs at.
std::optional<qint32> controllerRate(const QString &text)
{
    const std::optional<qint64> value = wholeNumber(text, 1, std::numeric_limits<qint32>::max());
    for (const BaudRate &rate : baudRates()) {
        if (value == rate.rate)
            return rate.rate;
    }
    return std::nullopt;
}

QString rateList()
{
    QStringList rates;
    for (const BaudRate &rate : baudRates())
        rates << QString::number(rate.rate);
    return rates.join(u", "_s);
}

} // namespace

CliCommandLine::CliCommandLine()
    : m_help(m_parser.addHelpOption())
    , m_version(m_parser.addVersionOption())
{
    m_parser.setApplicationDescription(tr(
            "Drives a stepper-motor controller over a serial line without the window, for\n"
            "production benches and firmware CI.\n"
            "\n"
            "Commands:\n"
            "  scan                Look for controllers: a handshake (0x20) to each address\n"
            "                      from --from to --to at each rate of --baud. Prints each\n"
            "                      station that answers.\n"
            "  config read FILE    Read the parameters and IO table of the station --address\n"
            "                      and save them as a configuration set in FILE.\n"
            "  config write FILE   Check the whole set file, write it to each station of\n"
            "                      --address, read it back and compare.\n"
            "  config verify FILE  Read back from each station of --address and compare with\n"
            "                      FILE; nothing is written.\n"
            "  run LIST            Send the window's command list file LIST by the window's\n"
            "                      run-loop rules (delay and jump lines, --interval between\n"
            "                      frames): one pass, --loops N passes or --duration S seconds.\n"
            "  monitor             Listen only: send nothing, frame and pair the requests and\n"
            "                      replies another master exchanges on the line, standard\n"
            "                      MODBUS and the controller's own, until --duration S seconds\n"
            "                      have passed or SIGINT; --baud takes any rate.\n"
            "  test PLAN           Run the test plan PLAN (TOML, see docs/test-plans.md) on\n"
            "                      each station of --address (default: the plan's) on each\n"
            "                      --port; several --port run in parallel. One line per\n"
            "                      step, one verdict line per controller; --junit and\n"
            "                      --json write reports. --baud, --mode and --timeout\n"
            "                      override the plan's.\n"
            "  commands            List the command names a plan's \"send\" takes, with\n"
            "                      their codes, data and reply values.\n"
            "\n"
            "Every exchange is one line on standard output: time of the request, request and\n"
            "reply bytes in hex, verdict and response time. A summary line ends the output.\n"
            "Progress goes to standard error when it is a terminal.\n"
            "\n"
            "Exit status: 0 success; 1 a station did not answer or refused an item, a value\n"
            "read back differs, a request of a run timed out, or a request heard went\n"
            "unanswered or a frame heard had a bad check; 2 bad usage, or a file or\n"
            "port that cannot be opened (or a port that fails while in use).\n"
            "test: 0 every controller passed (marginal results pass, and are marked);\n"
            "1 a controller failed; 2 a bench fault: a bad plan, a port that cannot be\n"
            "opened or goes away."));
    m_options = {
            {u"port"_s,
             tr("Serial device the controller is on (required), e.g. /dev/ttyUSB0, or a serial "
                "line over the network: socket://HOST:PORT (raw TCP, the gateway's rate) or "
                "rfc2217://HOST:PORT (the rate set through the gateway); test takes it more "
                "than once."),
             u"PATH"_s},
            {u"baud"_s,
             tr("Baud rate (default 9600); for scan a comma-separated list (default all: %1).")
                     .arg(rateList()),
             u"RATE"_s},
            {u"mode"_s, tr("Framing: rtu or ascii (default rtu)."), u"MODE"_s, u"rtu"_s},
            {u"timeout"_s,
             tr("Reply time-out in ms, 10 to 60000 (default 500): a request with no reply by "
                "then has timed out."),
             u"MS"_s, u"500"_s},
            {u"capture"_s,
             tr("Also write every frame, reply and time-out to FILE, as the window's capture "
                "does: CSV when FILE ends in .csv, else a text log."),
             u"FILE"_s},
            {u"rs485-rts"_s,
             tr("RS-485 direction control: raise RTS before each frame and drop it once the "
                "frame has left (the kernel's RS-485 mode where the driver has it). A port "
                "without either (a pseudo-terminal, a network port) is refused.")},
            {u"address"_s,
             tr("config, test: station address in hex, 01 to FF (default 01, for test the "
                "plan's); write, verify and test take a comma-separated list."),
             u"HEX"_s, u"01"_s},
            {u"junit"_s, tr("test: write a JUnit XML report to FILE."), u"FILE"_s},
            {u"json"_s, tr("test: write a JSON report to FILE."), u"FILE"_s},
            {u"from"_s, tr("scan: first address in hex (default 01)."), u"HEX"_s, u"01"_s},
            {u"to"_s, tr("scan: last address in hex (default F7)."), u"HEX"_s, u"F7"_s},
            {u"margin"_s,
             tr("scan: wait for a reply to start this long after the handshake's time on the "
                "wire, in ms, 0 to 10000 (default 15)."),
             u"MS"_s, u"15"_s},
            {u"retries"_s,
             tr("scan: handshakes sent again to a silent address, 0 to 10 (default 0)."), u"N"_s,
             u"0"_s},
            {u"interval"_s,
             tr("run: the default interval between lines in ms, 0 to 65535 (default 1000); "
                "0 ends the run after the first line, as in the window."),
             u"MS"_s, u"1000"_s},
            {u"loops"_s, tr("run: stop after N passes through the list (default 1)."), u"N"_s},
            {u"duration"_s, tr("run, monitor: stop after S seconds (decimals allowed)."), u"S"_s},
    };
    m_parser.addOptions(m_options);
    m_parser.addPositionalArgument(u"command"_s,
                                   tr("scan, config read|write|verify FILE, run LIST, monitor, "
                                      "test PLAN, or commands."),
                                   u"command [FILE|LIST]"_s);
}

Status CliCommandLine::checkApplies(const QString &command, const QStringList &names) const
{
    for (const QString &name : m_parser.optionNames()) {
        if (!commonOptions.contains(name) && !names.contains(name))
            return Failure{tr("--%1 does not apply to %2").arg(name, command)};
    }
    return Done{};
}

Result<CliOptions> CliCommandLine::read(const QStringList &arguments)
{
    if (!m_parser.parse(arguments))
        return Failure{m_parser.errorText()};
    if (m_parser.isSet(m_help))
        m_parser.showHelp(0);
    if (m_parser.isSet(m_version))
        m_parser.showVersion();

    // In this order, so that the first fault a user made is the one named.
    CliOptions options;
    for (const auto step :
         {&CliCommandLine::readCommand, &CliCommandLine::readLine, &CliCommandLine::readNumbers,
          &CliCommandLine::readAddresses, &CliCommandLine::readRunLength}) {
        if (const Status read = (this->*step)(options); !read)
            return Failure{read.error()};
    }
    return options;
}

Status CliCommandLine::readCommand(CliOptions &options) const
{
    const QStringList args = m_parser.positionalArguments();
    const QString command = args.value(0);
    qsizetype wanted = 1;
    if (command == u"scan") {
        options.command = CliOptions::Command::Scan;
    } else if (command == u"config") {
        const QString action = args.value(1);
        if (action == u"read")
            options.command = CliOptions::Command::ConfigRead;
        else if (action == u"write")
            options.command = CliOptions::Command::ConfigWrite;
        else if (action == u"verify")
            options.command = CliOptions::Command::ConfigVerify;
        else
            return Failure{tr("config wants read, write or verify, not \"%1\"").arg(action)};
        if (args.size() < 3)
            return Failure{tr("config %1 wants a FILE").arg(action)};
        options.file = args[2];
        wanted = 3;
    } else if (command == u"run") {
        options.command = CliOptions::Command::Run;
        if (args.size() < 2)
            return Failure{tr("run wants a LIST file")};
        options.file = args[1];
        wanted = 2;
    } else if (command == u"monitor") {
        options.command = CliOptions::Command::Monitor;
    } else if (command == u"test") {
        options.command = CliOptions::Command::Test;
        if (args.size() < 2)
            return Failure{tr("test wants a PLAN file")};
        options.file = args[1];
        wanted = 2;
    } else if (command == u"commands") {
        options.command = CliOptions::Command::Commands;
    } else if (command.isEmpty()) {
        return Failure{tr("no command: scan, config read|write|verify FILE, run LIST, monitor, "
                          "test PLAN, or commands")};
    } else {
        return Failure{tr("unknown command \"%1\": scan, config read|write|verify FILE, "
                          "run LIST, monitor, test PLAN, or commands")
                               .arg(command)};
    }
    if (args.size() > wanted)
        return Failure{tr("\"%1\" after \"%2\" is not understood")
                               .arg(args[wanted], args.mid(0, wanted).join(u' '))};

    const bool scan = options.command == CliOptions::Command::Scan;
    const bool run = options.command == CliOptions::Command::Run;
    const bool monitor = options.command == CliOptions::Command::Monitor;
    const bool test = options.command == CliOptions::Command::Test;
    if (options.command == CliOptions::Command::Commands) {
        if (!m_parser.optionNames().isEmpty())
            return Failure{tr("--%1 does not apply to commands").arg(m_parser.optionNames()[0])};
        return Done{};
    }
    const QStringList &ownOptions = scan ? scanOptions
            : run                        ? runOptions
            : monitor                    ? monitorOptions
            : test                       ? testOptions
                                         : configOptions;
    return checkApplies(args.mid(0, run || scan || monitor || test ? 1 : 2).join(u' '),
                        ownOptions);
}

Status CliCommandLine::readLine(CliOptions &options) const
{
    if (options.command == CliOptions::Command::Commands)
        return Done{};
    // An option given twice is a mistake in the script, not a choice of the last;
    // a test runs on every port it is given.
    const bool test = options.command == CliOptions::Command::Test;
    const QStringList given = m_parser.optionNames();
    for (const QString &name : given) {
        if (given.count(name) > 1 && !(test && name == u"port"))
            return Failure{tr("--%1 is given more than once").arg(name)};
    }
    options.ports = m_parser.values(u"port"_s);
    options.port = options.ports.value(0);
    if (options.port.isEmpty())
        return Failure{tr("--port PATH is required: the serial device the controller is on")};
    for (const QString &port : std::as_const(options.ports)) {
        if (options.ports.count(port) > 1)
            return Failure{tr("--port %1 is given more than once").arg(port)};
    }
    options.baudGiven = m_parser.isSet(u"baud"_s);
    options.modeGiven = m_parser.isSet(u"mode"_s);
    options.timeoutGiven = m_parser.isSet(u"timeout"_s);
    options.addressGiven = m_parser.isSet(u"address"_s);
    options.junit = m_parser.value(u"junit"_s);
    options.json = m_parser.value(u"json"_s);

    const bool scan = options.command == CliOptions::Command::Scan;
    const QString baud = m_parser.value(u"baud"_s);
    const QStringList rates = baud.isEmpty() ? QStringList() : baud.split(u',');
    // A listener hears whatever bus it is put on: any whole rate will do.
    const bool monitor = options.command == CliOptions::Command::Monitor;
    for (const QString &text : rates) {
        const std::optional<qint32> rate = monitor
                ? std::optional<qint32>(wholeNumber(text.trimmed(), 1, 4'000'000))
                : controllerRate(text.trimmed());
        if (monitor && !rate)
            return Failure{tr("--baud: \"%1\" is not a whole rate from 1 to 4000000").arg(text)};
        if (!rate)
            return Failure{tr("--baud: \"%1\" is not a rate the controller runs at (%2)")
                                   .arg(text, rateList())};
        options.scanRates.append(*rate);
    }
    if (scan && rates.isEmpty()) {
        for (const BaudRate &rate : baudRates())
            options.scanRates.append(rate.rate);
    } else if (!scan && rates.size() > 1) {
        return Failure{tr("--baud: %1 takes one rate, not \"%2\"")
                               .arg(m_parser.positionalArguments().value(0), baud)};
    }
    options.baudRate = options.scanRates.value(0, 9600);

    const Framing *framed = framingNamed(m_parser.value(u"mode"_s));
    if (!framed)
        return Failure{
                tr("--mode: \"%1\" is neither rtu nor ascii").arg(m_parser.value(u"mode"_s))};
    options.mode = framed->mode;
    return Done{};
}

Result<qint64> CliCommandLine::number(const char *name, qint64 low, qint64 high) const
{
    const QString text = m_parser.value(QLatin1String(name));
    const std::optional<qint64> value = wholeNumber(text, low, high);
    if (!value) {
        return Failure{tr("--%1: \"%2\" is not a whole number from %3 to %4")
                               .arg(QLatin1String(name), text)
                               .arg(low)
                               .arg(high)};
    }
    return *value;
}

Status CliCommandLine::readNumbers(CliOptions &options) const
{
    const Result<qint64> timeout = number("timeout", 10, 60000);
    const Result<qint64> margin = number("margin", 0, 10000);
    const Result<qint64> retries = number("retries", 0, 10);
    const Result<qint64> interval = number("interval", 0, 65535);
    for (const Result<qint64> *value : {&timeout, &margin, &retries, &interval}) {
        if (!*value)
            return Failure{value->error()};
    }
    options.timeoutMs = int(*timeout);
    options.marginMs = int(*margin);
    options.retries = int(*retries);
    options.intervalMs = int(*interval);
    options.capture = m_parser.value(u"capture"_s);
    options.rs485Rts = m_parser.isSet(u"rs485-rts"_s);
    return Done{};
}

Result<quint8> CliCommandLine::address(const char *name, const QString &text) const
{
    const std::optional<quint8> value = stationAddress(text.trimmed());
    if (!value) {
        return Failure{tr("--%1: \"%2\" is not a station address in hex, 01 to FF")
                               .arg(QLatin1String(name), text)};
    }
    return *value;
}

Status CliCommandLine::readAddresses(CliOptions &options) const
{
    const Result<quint8> from = address("from", m_parser.value(u"from"_s));
    const Result<quint8> to = address("to", m_parser.value(u"to"_s));
    if (!from || !to)
        return Failure{!from ? from.error() : to.error()};
    if (*from > *to) {
        return Failure{tr("--from %1 lies after --to %2")
                               .arg(m_parser.value(u"from"_s), m_parser.value(u"to"_s))};
    }
    options.from = *from;
    options.to = *to;

    options.addresses.clear();
    for (const QString &text : m_parser.value(u"address"_s).split(u',')) {
        const Result<quint8> station = address("address", text);
        if (!station)
            return Failure{station.error()};
        options.addresses.append(*station);
    }
    if (options.addresses.size() > 1 && options.command == CliOptions::Command::ConfigRead)
        return Failure{tr("--address: config read reads one station, not \"%1\"")
                               .arg(m_parser.value(u"address"_s))};
    return Done{};
}

Status CliCommandLine::readRunLength(CliOptions &options) const
{
    if (m_parser.isSet(u"loops"_s) && m_parser.isSet(u"duration"_s))
        return Failure{tr("--loops and --duration exclude each other: give one")};
    if (m_parser.isSet(u"loops"_s)) {
        const Result<qint64> loops = number("loops", 1, std::numeric_limits<int>::max());
        if (!loops)
            return Failure{loops.error()};
        options.loops = int(*loops);
    }
    if (m_parser.isSet(u"duration"_s)) {
        bool ok = false;
        const double seconds = m_parser.value(u"duration"_s).toDouble(&ok);
        if (!ok || !std::isfinite(seconds) || seconds <= 0 || seconds > maxDurationS) {
            return Failure{tr("--duration: \"%1\" is not a number of seconds above 0 and up "
                              "to %2")
                                   .arg(m_parser.value(u"duration"_s))
                                   .arg(maxDurationS, 0, 'f', 0)};
        }
        options.durationS = seconds;
    }
    return Done{};
}
