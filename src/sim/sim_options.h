#pragma once

#include "sim_controller.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>

class QCoreApplication;

// What stepperbench-sim is asked to do: its stations, where it serves them and
// how much it prints, checked whole before anything is opened.

struct SimOptions
{
    QList<SimConfig> stations; // each with its address, rate, switches and inputs
    QString link; // a symbolic link to make to the served terminal; none when empty
    QString device; // a serial device to serve instead of a pseudo-terminal
    bool wireTime = false;
    bool quiet = false;
    quint32 faultSeed = SimFaults::defaultSeed; // where the faults' random choices start
};

/// Why the command line cannot be served: the message and the exit status.
struct SimUsageError
{
    QString message;
    int status = 2;
};

/// Five characters "0" or "1" for IN5 ... IN1, as the window's IO selector
/// shows them: "00011" is IN1 and IN2 active. Nothing for any other text.
std::optional<quint8> parseInputBits(QStringView text);

/// Reads one fault list of --fault, "[HEX:]KEY=VALUE,..." with the keys drop,
/// corrupt (percent, 0 to 100), delay (milliseconds, 0 to 60000), lose-steps
/// (pulses, 0 or more) and slow (over 0 up to 1), and sets in \a faults what it
/// gives, the rest as it was. Gives the station it is for, 0 for every one. On
/// failure the message says which part is wrong and what it takes.
Result<quint8> readFaultList(QStringView list, SimFaults &faults);

/// \a stations with the faults of \a lists (--fault, in the order given): each
/// station first gets those of the lists for every station, then those of its
/// own, which win. On failure the message names the option, the list and what
/// is wrong with it (a bad setting, or a station not among \a stations).
Result<QList<SimConfig>> withFaults(QList<SimConfig> stations, const QStringList &lists);

/// The command line of stepperbench-sim: its options, their help and their checks.
class SimCommandLine
{
public:
    /// The options and the help text.
    SimCommandLine();

    /// Reads the command line of \a app. "--help", "--version" and an unknown
    /// option end the program as QCommandLineParser does; anything else wrong
    /// gives one message naming the option and what it takes. A link that
    /// another simulator serves, or a path that is no link, is refused here.
    Result<SimOptions, SimUsageError> read(const QCoreApplication &app);

private:
    Result<SimConfig, SimUsageError> readMachine() const;
    Result<qint32, SimUsageError> readPosition(const QCommandLineOption &option) const;
    std::optional<SimUsageError> checkLink(const QString &link) const;

    QCommandLineParser m_parser;
    QCommandLineOption m_link;
    QCommandLineOption m_device;
    QCommandLineOption m_address;
    QCommandLineOption m_baud;
    QCommandLineOption m_left;
    QCommandLineOption m_right;
    QCommandLineOption m_zero;
    QCommandLineOption m_inputs;
    QCommandLineOption m_wireTime;
    QCommandLineOption m_fault;
    QCommandLineOption m_faultSeed;
    QCommandLineOption m_quiet;
};
