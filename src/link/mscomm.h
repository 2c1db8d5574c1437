#pragma once

#include <QByteArray>
#include <QList>
#include <QObject>
#include <QSerialPort>
#include <QSocketNotifier>
#include <QString>
#include <QTimer>

#include "direction_control.h"
#include "network_line.h"
#include "util/result.h"

// The serial link, with the operations the window's routines use: open and
// close with typed line settings (read from the window's "9600,n,8,1"), the receive
// buffer with its count, the last port event, one read of the waiting bytes and
// one write of a whole frame.
//
// Received bytes are not delivered by a signal to the window: the receive poll
// asks for them. The link collects them from the device as they arrive, so that
// nothing is lost between polls however long the window is busy.
class MSComm : public QObject
{
    Q_OBJECT

public:
    /// The last port event, as the receive poll sees it.
    enum CommEventCode {
        ComEvNone = 0,
        ComEvReceive = 2, // bytes arrived since the last poll
    };

    /// Line settings: the baud rate, with no parity, 8 data bits and 1 stop bit.
    struct Settings
    {
        qint32 baudRate = 9600;
    };

    explicit MSComm(QObject *parent = nullptr);
    ~MSComm() override;

    /// Reads "BAUD,n,8,1" with BAUD a positive whole number; anything else gives
    /// the reason.
    static Result<Settings> parseSettings(const QString &settings);

    // Configuration, applied at the next opening.
    void setSettings(Settings settings) { m_settings = settings; }
    Settings settings() const { return m_settings; }
    void setDevicePath(const QString &path) { m_devicePath = path; }
    QString devicePath() const { return m_devicePath; }
    void setInputLen(int length) { m_inputLen = length; }
    /// Off: received bytes are only signalled, not kept for input() (for a user
    /// that never reads them, so that a chattering line cannot fill memory).
    void setKeepReceived(bool keep) { m_keepReceived = keep; }
    int inputLen() const { return m_inputLen; }

    /// Switches an open port to \a rate at once (a bus scan tries several);
    /// a closed port takes it at the next opening.
    Status setBaudRate(qint32 rate);
    /// Opens the device with the current settings: a serial device, or a serial
    /// line over the network when the path is a URL (socket://HOST:PORT,
    /// rfc2217://HOST:PORT). On failure the port stays closed and the result says why.
    Status open();
    /// Opens a network line without waiting: reopened() tells how it went. A
    /// reconnect uses it, so that a gateway that does not answer holds nothing up.
    void openInBackground();
    /// The port is a serial line over the network.
    bool isNetwork() const { return m_network; }
    /// Whether setBaudRate reaches the line: a serial device or RFC 2217, not a raw socket.
    bool canSetRate() const { return !m_network || m_url.setsRate(); }
    /// RS-485 direction control: RTS raised around every frame, by the kernel's
    /// RS-485 mode where the driver has it, else by the tool (write, tcdrain,
    /// drop), which holds each write for the frame's time on the wire. Taken at
    /// once on an open port, else at the next opening; a port that can do
    /// neither refuses it with the reason (and so does its opening).
    Status setDirectionControl(bool on);
    bool directionControl() const { return m_directionWanted; }
    DirectionMode directionMode() const { return m_direction; }
    /// A network line's round trip as measured at its opening; 0 for a serial device.
    qint64 roundTripUs() const { return m_network ? m_net->roundTripUs() : 0; }
    /// Closes the port; closing a closed port is harmless.
    void close();
    bool portOpen() const;

    /// Number of received bytes not yet read.
    qint64 inBufferCount() const;
    /// Discards every received byte not yet read.
    void clearInBuffer();
    /// Discards output not yet written.
    void clearOutBuffer();

    /// ComEvReceive when bytes arrived since the last call, then resets.
    CommEventCode takeCommEvent();

    /// Reads and removes the waiting bytes, at most InputLen of them.
    QByteArray input();

    /// Hands the whole frame to the device and returns at once: it drains at the
    /// line's pace, and frameWritten tells when its last byte has gone. Fails
    /// only when the port is closed or refuses the bytes outright.
    Status output(const QByteArray &frame);
    /// Bytes handed over and not yet written.
    qint64 bytesToWrite() const;
    /// The line took no byte for the stall time: what waited was dropped, and
    /// writeResumed tells when the line takes bytes again.
    bool writeStalled() const { return m_stalled; }
    /// How long the line may take no byte before writing counts as stalled.
    void setStallTimeMs(int ms) { m_stallTimer.setInterval(ms); }

signals:
    /// Bytes arrived from the device, stamped with the monotonic clock.
    void bytesArrived(const QByteArray &bytes, qint64 arrivalUs);
    /// The last byte of \a frame has been handed to the device driver.
    void frameWritten(const QByteArray &frame, qint64 writtenUs);
    /// A write failed or the line stalled; the rest of the frames waiting to be
    /// written were dropped, so that no part-frame runs into the next one. Once
    /// per stall.
    void writeFailed(const QString &reason);
    /// After a stall, the line takes bytes again.
    void writeResumed();

    /// The device went away while open (adapter pulled, far end closed). The
    /// port is already closed when this is emitted; bytes that arrived before
    /// are still there to be read.
    void deviceLost(const QString &reason);
    /// An opening in the background is done; a failed one leaves the port closed.
    void reopened(const Status &status);

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool deviceGone() const;
    void onReadyRead();
    void take(const QByteArray &bytes, qint64 arrivalUs);
    void lose(const QString &reason);
    Status applyDirectionControl();
    void checkWritten();
    void dropOutput(const QString &reason);
    void watchForDrain();
    void stopWatchingDrain();
    void endStall();

    QSerialPort *m_port;
    NetworkLine *m_net; // the transport instead of m_port while m_network
    bool m_openingInBackground = false;
    bool m_directionWanted = false;
    DirectionMode m_direction = DirectionMode::Off;
    bool m_network = false;
    LineUrl m_url;
    QByteArray m_received;
    Settings m_settings;
    QString m_devicePath;
    int m_inputLen = 512;
    bool m_keepReceived = true;
    bool m_receivedSincePoll = false;
    bool m_lost = false; // the device went away; the port closes at the next turn

    // Frames handed over and not yet written, oldest first, with the running
    // count of bytes handed over at the end of each.
    struct InFlight
    {
        QByteArray frame;
        qint64 end;
    };
    QList<InFlight> m_inFlight;
    qint64 m_handedOver = 0;
    QTimer m_stallTimer;
    bool m_stalled = false;
    QSocketNotifier *m_drainNotifier = nullptr;
};
