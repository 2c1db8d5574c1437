#include "sim_options.h"

#include "sim_server.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <algorithm>

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

Result<quint8> readFaultList(QStringView list, SimFaults &faults)
{
    const auto tr = [](const char *text) {
        return QCoreApplication::translate("main", text);
    };
    const qsizetype colon = list.indexOf(u':');
    quint8 station = 0;
    if (colon >= 0) {
        bool ok = false;
        const uint address = list.first(colon).toUInt(&ok, 16);
        if (!ok || address < 1 || address > 0xF7)
            return Failure{tr("\"%1\" is not a station address from 1 to F7 (hex)")
                                   .arg(list.first(colon))};
        station = quint8(address);
    }
    for (QStringView setting : list.sliced(colon + 1).split(u',')) {
        setting = setting.trimmed();
        const qsizetype equals = setting.indexOf(u'=');
        const QStringView key = equals < 0 ? setting : setting.first(equals).trimmed();
        const QStringView value = equals < 0 ? QStringView() : setting.sliced(equals + 1);
        bool ok = false;
        if (key == u"drop" || key == u"corrupt") {
            const int percent = value.toInt(&ok);
            if (!ok || percent < 0 || percent > 100)
                return Failure{tr("%1 takes a whole percentage from 0 to 100").arg(key)};
            (key == u"drop" ? faults.dropPercent : faults.corruptPercent) = percent;
        } else if (key == u"delay") {
            faults.delayMs = value.toInt(&ok);
            if (!ok || faults.delayMs < 0 || faults.delayMs > 60000)
                return Failure{tr("delay takes a whole number of milliseconds from 0 to 60000")};
        } else if (key == u"lose-steps") {
            faults.lostSteps = value.toInt(&ok);
            if (!ok || faults.lostSteps < 0)
                return Failure{
                        tr("lose-steps takes a whole number of pulses from 0 to 2147483647")};
        } else if (key == u"slow") {
            faults.slowFactor = value.toDouble(&ok);
            if (!ok || !(faults.slowFactor > 0 && faults.slowFactor <= 1))
                return Failure{tr("slow takes a number over 0 and at most 1, such as 0.9")};
        } else {
            return Failure{tr("\"%1\" is no fault; a list is [HEX:]KEY=VALUE,... with drop=PCT, "
                              "corrupt=PCT, delay=MS, lose-steps=N, slow=FACTOR")
                                   .arg(setting)};
        }
    }
    return station;
}

Result<QList<SimConfig>> withFaults(QList<SimConfig> stations, const QStringList &lists)
{
    // Every list is read before any is applied, so that a bad one is refused
    // wherever it stands.
    QList<quint8> specStations;
    for (const QString &list : lists) {
        SimFaults unused;
        const Result<quint8> station = readFaultList(list, unused);
        const auto named = [&](const SimConfig &config) {
            return config.address == *station;
        };
        if (!station)
            return Failure{QStringLiteral("--fault \"%1\": %2").arg(list, station.error())};
        if (*station != 0 && std::none_of(stations.cbegin(), stations.cend(), named))
            return Failure{QCoreApplication::translate("main",
                                                       "--fault \"%1\": station %2 is not on "
                                                       "the line (see --address)")
                                   .arg(list, QString::number(*station, 16).toUpper())};
        specStations.append(*station);
    }
    for (SimConfig &config : stations) {
        for (const quint8 wanted : {quint8(0), config.address}) {
            for (qsizetype i = 0; i < lists.size(); ++i) {
                if (specStations[i] == wanted)
                    static_cast<void>(readFaultList(lists[i], config.faults));
            }
        }
    }
    return stations;
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
    , m_fault(QStringLiteral("fault"),
              QCoreApplication::translate(
                      "main",
                      "Play a faulty unit. FAULTS is one or more of, separated by commas: "
                      "drop=PCT (that share of replies is not sent), corrupt=PCT (sent with one "
                      "byte spoiled, so that the CRC or LRC fails), delay=MS (each reply held back "
                      "MS milliseconds), lose-steps=N (each position move ends N pulses short of "
                      "its target), slow=FACTOR (over 0 up to 1: motions run at that share of the "
                      "speeds set, accelerations at its square, so that each takes 1/FACTOR "
                      "times as long). For one station only, put its address and a colon first: "
                      "--fault 5:lose-steps=3. May be given more than once; a station's own "
                      "settings go over those for every station."),
              QStringLiteral("[HEX:]FAULTS"))
    , m_faultSeed(QStringLiteral("fault-seed"),
                  QCoreApplication::translate("main",
                                              "Where the random choices of --fault start "
                                              "(default 1): the same seed and the same requests "
                                              "lose and spoil the same replies."),
                  QStringLiteral("N"), QString::number(SimFaults::defaultSeed))
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
                         m_wireTime, m_fault, m_faultSeed, m_quiet});
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
    const Result<QList<SimConfig>> faulty = withFaults(*stations, m_parser.values(m_fault));
    if (!faulty)
        return Failure{SimUsageError{faulty.error()}};
    bool ok = false;
    const quint32 seed = m_parser.value(m_faultSeed).toUInt(&ok);
    if (!ok)
        return Failure{SimUsageError{
                QCoreApplication::translate("main",
                                            "--fault-seed: \"%1\" is not a whole number from 0 "
                                            "to 4294967295")
                        .arg(m_parser.value(m_faultSeed))}};
    SimOptions options{*faulty,
                       m_parser.value(m_link),
                       m_parser.value(m_device),
                       m_parser.isSet(m_wireTime),
                       m_parser.isSet(m_quiet),
                       seed};
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
