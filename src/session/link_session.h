#pragma once

#include "bus/bus_scan.h"
#include "device/frame.h"
#include "exchange/capture_writer.h"
#include "exchange/exchange_monitor.h"
#include "link/device_finder.h"
#include "link/mscomm.h"
#include "util/result.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <future>
#include <optional>

class ConfigTransfer;
class PortNames;

// One link to a controller, as the window and stepperbench-cli both use it: the
// serial link, the exchange layer that frames and pairs everything on it, the
// capture, and the reconnect that finds a device again after it went away. Every
// frame goes out through send(); everything that listens to the line listens to
// the monitor's signals. Link events (a stall, its end, a loss, a return) are
// worded once here, put in the capture and handed on as notices.
class LinkSession : public QObject
{
    Q_OBJECT

public:
    explicit LinkSession(QObject *parent = nullptr);
    ~LinkSession() override;

    MSComm &link() { return *m_link; }
    const MSComm &link() const { return *m_link; }
    ExchangeMonitor &exchanges() { return *m_exchanges; }
    const ExchangeMonitor &exchanges() const { return *m_exchanges; }
    CaptureWriter &capture() { return *m_capture; }
    const ExchangeStats &stats() const { return m_exchanges->stats(); }

    /// The framing the monitor and the capture read the line in.
    void setMode(CommMode mode);
    CommMode mode() const { return m_mode; }
    /// The port as messages name it ("COM1（/dev/ttyUSB0）"); the device path when empty.
    void setPortLabel(const QString &label) { m_portLabel = label; }
    QString portLabel() const;

    /// Opens the device \a path at \a baudRate. Whatever waited for a reply is
    /// forgotten first (restarted()); on failure the session stays closed.
    Status open(const QString &path, qint32 baudRate);
    /// Opens port number \a port with the line settings \a settings, as the
    /// window's "打开" does (CommSetting::OpenPort corrects both).
    Status openPort(const PortNames &names, qint16 port, QString settings);
    /// Closes the port and stops looking for a vanished device.
    void close();
    bool isOpen() const { return m_link->portOpen(); }
    /// Open, and not waiting for a reopened device to prove it is the same one.
    bool isReady() const { return isOpen() && !m_checking; }

    /// On (the default): a device that goes away is looked for every 0.5 s and
    /// reopened with the same settings. Off: the port stays closed.
    void setAutoReconnect(bool on);
    bool autoReconnect() const { return m_autoReconnect; }
    bool isReconnecting() const { return m_reconnect.isActive() || m_checking; }
    /// The station whose handshake proves that a device reopened by its path
    /// alone (no by-id name, no serial number) is still the controller it was:
    /// until it answers, nothing else is sent. Nothing while the box is invalid.
    void setStationCheck(std::function<std::optional<quint8>()> station)
    {
        m_checkStation = std::move(station);
    }

    /// Listening only: nothing is sent, and every frame heard is framed and
    /// paired, another master's requests too.
    void setListening(bool on) { m_exchanges->setListening(on); }
    bool listening() const { return m_exchanges->listening(); }

    /// The one path to the port: hands \a frame over whole. Fails when the port
    /// is closed or refuses it; the error is empty for a device already lost
    /// (that is reported by deviceLost).
    Status send(const QByteArray &frame);
    /// Switches the open port's rate at once (a closed one at its next opening).
    Status setBaudRate(qint32 rate);
    /// The line has taken no byte for the stall time; nothing more should go.
    bool writeStalled() const { return m_link->writeStalled(); }
    /// The line has not taken all that was handed over yet (a slow line holds it
    /// back), or it stalled: a running list waits.
    bool lineBusy() const
    {
        return m_checking || m_link->writeStalled() || m_link->bytesToWrite() > 0;
    }

    /// Lets \a scanner hear the line: frames written, bytes arriving, exchanges settled.
    void listen(BusScanner &scanner);
    /// Fills in what a scan must know of the open line: the reply time-out, a network line's
    /// round trip (added to every wait), and whether its rate can be set (a raw socket runs
    /// at its gateway's, so a scan takes that one rate as it is).
    void fitScan(BusScanner::Settings &settings) const;
    /// Lets \a transfer hear the exchanges that settle.
    void listen(ConfigTransfer &transfer);

    /// Captures everything from now on into \a path; the message names the file.
    Status startCapture(const QString &path);
    void stopCapture() { m_capture->stop(); }

signals:
    /// The session opened or closed: requests waiting for replies will get none.
    void restarted();
    /// A line for the status line: a stall, its end, a loss, a return.
    void linkNotice(const QString &text);
    /// The line stopped taking bytes (\a reason); the frames waiting were dropped.
    void stalled(const QString &reason);
    /// The device went away. With reconnect on it is being looked for (and a
    /// notice says so); off, the port is closed. Bytes that arrived before are
    /// still there to read.
    void deviceLost(const QString &reason, bool reconnecting);
    /// The vanished device is back at \a path and open again.
    void reconnected(const QString &path);

private:
    void opened();
    void lineRateChanged();
    void restart();
    void notice(const QString &text);
    void onDeviceLost(const QString &reason);
    void tryReconnect();
    void reopened(const QString &path);
    void sendCheck();
    void checkSettled(const Exchange &exchange);
    QString checkStationText() const;
    const DeviceIdentity &identity();

    // Children, so that they are found by name ("MSComm1") and go with the session.
    MSComm *m_link = new MSComm(this);
    ExchangeMonitor *m_exchanges = new ExchangeMonitor(this);
    CaptureWriter *m_capture = new CaptureWriter(this);
    CommMode m_mode = CommMode::Rtu;
    QString m_portLabel;
    // Of the port as it was opened, to find it again. Both are worked out on a
    // thread of their own: listing the system's serial ports walks every device.
    DeviceIdentity m_device;
    std::future<DeviceIdentity> m_identifying;
    std::future<QString> m_finding;
    QTimer m_reconnect;
    bool m_autoReconnect = true;
    std::function<std::optional<quint8>()> m_checkStation;
    bool m_checking = false; // reopened by path: waiting for the station's handshake
    bool m_reopeningNetwork = false; // a network line is being opened in the background
    QByteArray m_checkFrame;
    QString m_reopenedPath;
    QTimer m_checkAgain;
};
