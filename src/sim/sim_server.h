#pragma once

#include "sim_controller.h"
#include "util/result.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

#include <functional>
#include <vector>

class QSerialPort;
class QSocketNotifier;

// Puts the simulated controller on a serial line: either a pseudo-terminal it
// opens itself (the tool opens the terminal side like any serial port), or a
// real device. Event-driven in the thread it lives in: it reads when bytes
// arrive, writes the replies without waiting, and runs the controller's clock
// from a monotonic clock, on every read and every 10 ms while the motor moves.
//
// The line may carry several stations, one controller each with its own
// address, axis, settings, IO table and baud rate. Every station hears every
// request and answers those to its address; of the broadcasts (address 0)
// only the address query is answered, by each station in address order, one
// reply after the other. With wire time on, the line behaves like a real one
// for scan tests: a station hears only requests sent at its own rate, and
// each reply leaves when its bytes would have crossed the wire.
//
// A station may play a faulty unit (SimConfig::faults): the server then drops
// or spoils a share of its replies, chosen by a seeded generator so that a run
// can be repeated, and holds its replies back for a delay on its clock.
//
// On a pseudo-terminal the server keeps the terminal side open itself, so the
// tool may open and close its side as often as it likes: the controlling side
// never sees a hang-up and the server never spins waiting for a reader.
//
// The server holds an exclusive flock() on what it serves, so that another
// simulator can tell a link to a live terminal from a stale one (isServed()).
// A lock, not the terminal's existence: terminal numbers are given out again,
// so a link left by a killed simulator may lead to someone's shell, and the
// kernel drops the lock with the process however it ends (even SIGKILL).
class SimServer : public QObject
{
    Q_OBJECT

public:
    /// One station, started as \a config says.
    explicit SimServer(const SimConfig &config, QObject *parent = nullptr);
    /// One station for each of \a stations (at least one, each with an
    /// address of its own), in that order.
    explicit SimServer(const QList<SimConfig> &stations, QObject *parent = nullptr);
    ~SimServer() override;

    /// Opens a new pseudo-terminal; devicePath() then names its terminal side.
    /// On failure \a error says why.
    Status openPseudoTerminal();
    /// Serves the serial device \a path at the controller's baud rate, 8 data
    /// bits, no parity, one stop bit. On failure \a error says why.
    Status openDevice(const QString &path);
    /// Stops serving; closing a closed server is harmless.
    void close();
    bool isOpen() const;

    /// Whether a simulator serves \a path now (following links): a terminal or
    /// serial device that a server holds locked, or that a program (a server on
    /// a device, the tool on a terminal) holds open exclusively. A path that is
    /// gone, no device, or a device nobody serves, such as a terminal whose
    /// number the system gave out again, is not served.
    static bool isServed(const QString &path);

    /// The path the tool opens: the terminal side of the pseudo-terminal, or
    /// the device being served.
    QString devicePath() const { return m_devicePath; }

    /// Reads a list of stations such as "5:9600,2A:19200,3": addresses in hex
    /// (1 to F7) separated by commas, each with its baud rate after a colon where
    /// it is not \a base's. Every station starts with \a base's other settings.
    /// On failure the message says which part is wrong.
    static Result<QList<SimConfig>> parseStations(QStringView text, const SimConfig &base);

    /// The number of stations on the line.
    int stationCount() const { return int(m_stations.size()); }
    /// The controller of the station at \a index, in the order they were given;
    /// the first one, on a line with only one.
    SimController &controller(int index = 0)
    {
        Q_ASSERT(index >= 0 && index < stationCount());
        return m_stations[size_t(index)];
    }
    /// The controller that answers to \a address now (the first one given, if
    /// several do), or nullptr.
    SimController *controllerAt(quint8 address);

    /// Turns wire time on or off. On: a station hears only requests sent at its
    /// own baud rate (what the tool set on the pseudo-terminal, read for each
    /// request; the device's rate when serving a device) and drops the others as
    /// garbled bytes; each reply leaves 10 bits a byte at that rate after the end
    /// of its request or of the reply before it. A device needs no such delay:
    /// its wire takes the time. Off (the default): every station hears every
    /// request and replies go out at once. Turning it off sends waiting replies.
    void setWireTime(bool on);
    /// Whether wire time is on.
    bool wireTime() const { return m_wireTime; }

    /// Replaces the wall clock the controller runs on by \a microsecondsNow, a
    /// clock that only moves when its owner says (for tests). Replies held back
    /// by a fault's delay wait on it too; they go out with the next request
    /// served, or by a timer, once it has passed their time.
    void setClock(std::function<qint64()> microsecondsNow);

    /// Starts the random choices of the faults (which replies are dropped or
    /// spoiled, and where) again from \a seed: the same seed and the same
    /// requests give the same replies.
    void setFaultSeed(quint32 seed) { m_faultRandom.seed(seed); }

    /// Sets the inputs IN1 to IN5 (bit 0 = IN1 active) of every station at the
    /// present moment, running any IO table command they call for.
    void setInputs(quint8 activeMask);
    /// Sets the inputs of the station at \a index only.
    void setInputs(int index, quint8 activeMask);

signals:
    /// A request with a good check arrived and \a reply went out (empty when
    /// no station replied or a fault dropped the reply; once for each reply to
    /// a broadcast). With wire time or a fault's delay the reply is then on its
    /// way and arrives later.
    void exchanged(const QByteArray &request, const QByteArray &reply);
    /// The device went away (adapter pulled); the server has closed it.
    void deviceLost(const QString &reason);
    /// The served device now runs at \a rate, after the reply to a baud-rate
    /// change (or to factory settings) has left at the old rate. A device runs
    /// at the first station's rate and follows any station told to change it.
    void lineBaudRateChanged(qint32 rate);

private:
    qint64 clockNow() const;
    void catchUp();
    void serve(QByteArrayView bytes);
    QByteArray faultyReply(const SimExchange &exchange, const SimFaults &faults);
    void spoil(QByteArray &reply, CommMode mode);
    void hold(const QByteArray &reply, qint32 rate, int delayMs);
    void sendHeldReplies();
    void followBaudRate(qsizetype replyBytes);
    qint32 lineRate() const;
    void send(const QByteArray &reply, qint32 rate);
    void writeLine(const QByteArray &bytes);
    void sendDueReplies();
    void scheduleWire();
    void updateTicking();
    void readTerminal();
    void writeTerminal(const QByteArray &bytes);
    void flushTerminal();
    void readDevice();
    void switchBaudRateAfterReply(qsizetype replyBytes);
    void applyBaudRate();

    std::vector<SimController> m_stations; // never resized: controller() hands out references
    QElapsedTimer m_wallClock;
    std::function<qint64()> m_clock; // microseconds; the wall clock unless replaced
    qint64 m_lastAdvance = 0; // microseconds of m_wallClock given to the controller
    QTimer m_tick;
    QString m_devicePath;

    // Wire time: replies wait here, oldest first, until their bytes would have
    // crossed the wire (nanoseconds of m_wallClock, whatever clock the
    // controllers run on: the tool measures with real time).
    struct QueuedReply
    {
        qint64 dueNs = 0;
        QByteArray bytes;
    };
    bool m_wireTime = false;
    QList<QueuedReply> m_wireQueue;
    qint64 m_wireFreeNs = 0; // when the last queued reply has crossed
    QTimer m_wireTimer;

    // Replies that a fault's delay holds back, in the order they are due
    // (microseconds of the controllers' clock, injected or not).
    struct HeldReply
    {
        qint64 dueUs = 0;
        QByteArray bytes;
        qint32 rate = 0; // of their request, for wire time
    };
    QList<HeldReply> m_held;
    QTimer m_heldTimer;
    QRandomGenerator m_faultRandom{SimFaults::defaultSeed};

    // Pseudo-terminal: the controlling side we serve and the terminal side we
    // keep open ourselves.
    int m_controlFd = -1;
    int m_terminalFd = -1;
    QSocketNotifier *m_readNotifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr;
    QByteArray m_unwritten;

    // Real device.
    QSerialPort *m_serial = nullptr;
    qint32 m_lineBaudRate = 0; // the rate the device runs at
    qint32 m_wantedRate = 0; // the rate it is to run at: the station told to change last
    QTimer m_baudSwitch; // a new rate waits until the reply has left
    qsizetype m_replyBeforeBaudSwitch = 0; // still in the port's buffer
};
