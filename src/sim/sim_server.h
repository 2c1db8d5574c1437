#pragma once

#include "sim_controller.h"
#include "util/result.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>

class QSerialPort;
class QSocketNotifier;

// Puts the simulated controller on a serial line: either a pseudo-terminal it
// opens itself (the tool opens the terminal side like any serial port), or a
// real device. Event-driven in the thread it lives in: it reads when bytes
// arrive, writes the replies without waiting, and runs the controller's clock
// from a monotonic clock, on every read and every 10 ms while the motor moves.
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
    explicit SimServer(const SimConfig &config, QObject *parent = nullptr);
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

    /// The controller behind the line.
    SimController &controller() { return m_controller; }

    /// Replaces the wall clock the controller runs on by \a microsecondsNow, a
    /// clock that only moves when its owner says (for tests).
    void setClock(std::function<qint64()> microsecondsNow);

    /// Sets the inputs IN1 to IN5 (bit 0 = IN1 active) at the present moment,
    /// running any IO table command they call for.
    void setInputs(quint8 activeMask);

signals:
    /// A request with a good check arrived and \a reply went out (empty when
    /// no reply was due).
    void exchanged(const QByteArray &request, const QByteArray &reply);
    /// The device went away (adapter pulled); the server has closed it.
    void deviceLost(const QString &reason);
    /// The served device now runs at \a rate, after the reply to a baud-rate
    /// change (or to factory settings) has left at the old rate.
    void lineBaudRateChanged(qint32 rate);

private:
    void catchUp();
    void serve(QByteArrayView bytes);
    void updateTicking();
    void readTerminal();
    void writeTerminal(const QByteArray &bytes);
    void flushTerminal();
    void readDevice();
    void switchBaudRateAfterReply(qsizetype replyBytes);
    void applyBaudRate();

    SimController m_controller;
    QElapsedTimer m_wallClock;
    std::function<qint64()> m_clock; // microseconds; the wall clock unless replaced
    qint64 m_lastAdvance = 0; // microseconds of m_wallClock given to the controller
    QTimer m_tick;
    QString m_devicePath;

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
    QTimer m_baudSwitch; // a new rate waits until the reply has left
    qsizetype m_replyBeforeBaudSwitch = 0; // still in the port's buffer
};
