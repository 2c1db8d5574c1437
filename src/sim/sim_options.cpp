#include "sim_options.h"

#include "sim_server.h"

#include <QCoreApplication>
#include <QFileInfo>

std::optional<quint8> parseInputBits(QStringView text)
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

SimCommandLine::SimCommandLine()
    : m_link(QStringLiteral("link"),
             QCoreApplication::translate("main",
                                         "Also make PATH a symbolic link to the "
                                         "pseudo-terminal (removed on exit). A link to "
                                         "another simulator's terminal is refused."),
             QStringLiteral("PATH"))
    , m_device(QStringLiteral("device"),
               QCoreApplication::translate("main",
                                           "Serve the serial device PATH instead of a "
                                           "pseudo-terminal (e.g. one end of a null-modem "
                                           "loop between two adapters)."),
               QStringLiteral("PATH"))
    , m_address(QStringLiteral("address"),
                QCoreApplication::translate("main",
                                            "Station address in hex, 1 to F7 (default 1), or "
                                            "several stations on one line separated by commas, "
                                            "each with its own axis, settings and IO table. A "
                                            "station's own baud rate may follow its address "
                                            "after a colon; the others start at --baud. "
                                            "Example: 5:9600,2A:19200,3. Of the broadcasts only "
                                            "the address query is answered, by each station in "
                                            "address order."),
                QStringLiteral("HEX[:RATE],..."), QStringLiteral("1"))
    , m_baud(QStringLiteral("baud"),
             QCoreApplication::translate("main",
                                         "Baud rate: 2400, 4800, 9600, 14400, 19200 or "
                                         "38400 (default 9600)."),
             QStringLiteral("RATE"), QStringLiteral("9600"))
    , m_left(QStringLiteral("left-limit"),
             QCoreApplication::translate("main",
                                         "Position of the left limit switch in pulses "
                                         "(default -1000000)."),
             QStringLiteral("N"), QStringLiteral("-1000000"))
    , m_right(QStringLiteral("right-limit"),
              QCoreApplication::translate("main",
                                          "Position of the right limit switch in pulses "
                                          "(default 1000000)."),
              QStringLiteral("N"), QStringLiteral("1000000"))
    , m_zero(QStringLiteral("zero-point"),
             QCoreApplication::translate("main",
                                         "Position of the zero-point switch in pulses "
                                         "(default 0)."),
             QStringLiteral("N"), QStringLiteral("0"))
    , m_inputs(QStringLiteral("inputs"),
               QCoreApplication::translate("main",
                                           "Active inputs at start, five characters for "
                                           "IN5 ... IN1 like the window's IO selector: "
                                           "00000 none (default), 00011 IN1 and IN2."),
               QStringLiteral("BITS"), QStringLiteral("00000"))
    , m_wireTime(QStringLiteral("wire-time"),
                 QCoreApplication::translate("main",
                                             "Behave like a real line, for scan tests: a station "
                                             "hears only requests sent at its own baud rate (as "
                                             "the tool set it on the pseudo-terminal), and each "
                                             "reply arrives after the time its bytes take on the "
                                             "wire at that rate (10 bits a byte)."))
    , m_quiet(QStringLiteral("quiet"),
              QCoreApplication::translate("main", "Print only the path, not the traffic."))
{
    m_parser.setApplicationDescription(QCoreApplication::translate(
            "main",
            "A simulated stepper-motor controller on a pseudo-terminal. Prints the "
            "terminal's path on the first line, then every request and reply.\n"
            "While it runs, type \"inputs BITS\" to set the inputs (IN5 ... IN1), or "
            "\"inputs HEX BITS\" for station HEX only."));
    m_parser.addHelpOption();
    m_parser.addVersionOption();
    m_parser.addOptions({m_link, m_device, m_address, m_baud, m_left, m_right, m_zero, m_inputs,
                         m_wireTime, m_quiet});
}

Result<SimOptions, SimUsageError> SimCommandLine::read(const QCoreApplication &app)
{
    m_parser.process(app);
    if (!m_parser.positionalArguments().isEmpty())
        return Failure{SimUsageError{
                QCoreApplication::translate("main", "unexpected argument \"%1\"; see --help")
                        .arg(m_parser.positionalArguments().constFirst())}};
    const Result<SimConfig, SimUsageError> machine = readMachine();
    if (!machine)
        return Failure{machine.error()};
    const Result<QList<SimConfig>> stations = SimServer::parseStations(m_parser.value(m_address),
                                                                       *machine);
    if (!stations)
        return Failure{SimUsageError{QStringLiteral("--address: ") + stations.error()}};
    SimOptions options{*stations, m_parser.value(m_link), m_parser.value(m_device),
                       m_parser.isSet(m_wireTime), m_parser.isSet(m_quiet)};
    if (const std::optional<SimUsageError> refused = checkLink(options.link))
        return Failure{*refused};
    return options;
}

Result<SimConfig, SimUsageError> SimCommandLine::readMachine() const
{
    SimConfig config;
    bool ok = false;
    config.baudRate = m_parser.value(m_baud).toInt(&ok);
    if (!ok || !SimController::baudCodeForRate(config.baudRate))
        return Failure{SimUsageError{
                QCoreApplication::translate("main",
                                            "--baud: \"%1\" is not one of 2400, 4800, "
                                            "9600, 14400, 19200, 38400")
                        .arg(m_parser.value(m_baud))}};
    for (const auto &[option, position] :
         {std::pair{&m_left, &config.leftLimit}, std::pair{&m_right, &config.rightLimit},
          std::pair{&m_zero, &config.zeroPoint}}) {
        const Result<qint32, SimUsageError> value = readPosition(*option);
        if (!value)
            return Failure{value.error()};
        *position = *value;
    }
    if (config.leftLimit >= config.rightLimit)
        return Failure{SimUsageError{
                QCoreApplication::translate("main",
                                            "the left limit (%1) must lie left of the "
                                            "right limit (%2)")
                        .arg(config.leftLimit)
                        .arg(config.rightLimit)}};
    const std::optional<quint8> inputs = parseInputBits(m_parser.value(m_inputs));
    if (!inputs)
        return Failure{SimUsageError{
                QCoreApplication::translate("main",
                                            "--inputs: \"%1\" is not five characters 0 or "
                                            "1 for IN5 ... IN1, like 00011")
                        .arg(m_parser.value(m_inputs))}};
    config.activeInputs = *inputs;
    return config;
}

Result<qint32, SimUsageError> SimCommandLine::readPosition(const QCommandLineOption &option) const
{
    const QString text = m_parser.value(option);
    bool ok = false;
    const qint32 value = text.toInt(&ok);
    if (!ok)
        return Failure{SimUsageError{
                QCoreApplication::translate("main",
                                            "--%1: \"%2\" is not a whole number of pulses "
                                            "from -2147483648 to 2147483647")
                        .arg(option.names().constFirst(), text)}};
    return value;
}

std::optional<SimUsageError> SimCommandLine::checkLink(const QString &link) const
{
    // Another simulator's link, or anything that is no link, is refused before
    // anything is opened. A link to what nothing serves is stale and replaced.
    const QFileInfo existing(link);
    if (!link.isEmpty() && existing.isSymLink() && SimServer::isServed(link))
        return SimUsageError{
                QCoreApplication::translate("main",
                                            "--link: %1 leads to %2, which another simulator "
                                            "serves; not taking it over (stop that one or "
                                            "choose another path)")
                        .arg(link, existing.symLinkTarget()),
                1};
    if (!link.isEmpty() && !existing.isSymLink() && existing.exists())
        return SimUsageError{QCoreApplication::translate("main",
                                                         "--link: %1 exists and is not a symbolic "
                                                         "link; not replacing it")
                                     .arg(link),
                             1};
    return std::nullopt;
}
