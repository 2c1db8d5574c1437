#pragma once

#include "device/frame.h"
#include "util/result.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// What stepperbench-cli is asked to do: the command, its file and every option,
// checked whole before the port is touched, so that a mistyped option costs
// nothing on the line.

/// The program's exit status: what a bench script tests.
enum CliExit : int {
    ExitOk = 0,
    ExitFailed = 1, // a station did not answer, a value differs, a request timed out
    ExitUsage = 2, // bad usage, or a file or port that cannot be opened
};

struct CliOptions
{
    enum class Command { Scan, ConfigRead, ConfigWrite, ConfigVerify, Run, Monitor, Test, Commands };

    Command command = Command::Scan;
    QString file; // the set file of a config command, the list of run, the plan of test
    QString port;
    QStringList ports; // test: every --port, in order (port is the first)
    qint32 baudRate = 9600;
    CommMode mode = CommMode::Rtu;
    int timeoutMs = 500;
    QString capture;
    bool rs485Rts = false; // RS-485 direction control: RTS raised around every frame

    // config, test
    QList<quint8> addresses{0x01};

    // test: what the command line sets instead of the plan
    bool baudGiven = false;
    bool modeGiven = false;
    bool timeoutGiven = false;
    bool addressGiven = false;
    QString junit; // report files to write; none when empty
    QString json;

    // scan
    quint8 from = 0x01;
    quint8 to = 0xF7;
    QList<qint32> scanRates;
    int marginMs = 15;
    int retries = 0;

    // run
    int intervalMs = 1000;
    std::optional<int> loops;
    std::optional<double> durationS;
};

/// The command line of stepperbench-cli: its options, their help and their checks.
class CliCommandLine
{
    Q_DECLARE_TR_FUNCTIONS(CliCommandLine)

public:
    /// The options and the help text of every command.
    CliCommandLine();

    /// Reads \a arguments (the program's name first). "--help" and "--version"
    /// print their text and end the program with status 0; anything wrong gives
    /// one message that names the option or argument and what it takes.
    Result<CliOptions> read(const QStringList &arguments);

    /// The usage text that "--help" prints.
    QString helpText() const { return m_parser.helpText(); }

private:
    Status checkApplies(const QString &command, const QStringList &names) const;
    // The steps of read(), each filling its part of the options.
    Status readCommand(CliOptions &options) const; // the command, its file, the options it takes
    Status readLine(CliOptions &options) const; // port, baud rates, framing
    Status readNumbers(CliOptions &options) const; // time-out, margin, retries, interval
    Status readAddresses(CliOptions &options) const; // scan range, config stations
    Status readRunLength(CliOptions &options) const; // loops or duration
    Result<qint64> number(const char *name, qint64 low, qint64 high) const;
    Result<quint8> address(const char *name, const QString &text) const;

    QCommandLineParser m_parser;
    QCommandLineOption m_help;
    QCommandLineOption m_version;
    QList<QCommandLineOption> m_options;
};
