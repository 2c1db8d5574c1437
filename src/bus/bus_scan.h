#pragma once

#include "device/frame.h"
#include "exchange/exchange_pairing.h"
#include "util/monotonic_clock.h"

#include <QList>
#include <QObject>
#include <QTimer>

#include <functional>

// Finds the controllers on a line: for each baud rate and each address it
// sends a handshake (0x20) and waits for the first byte of a reply for the
// request's time on the wire plus a margin. A reply that starts is read whole.
// The scanner only decides what to send and when: the caller sends (through
// its one send path), switches the line's rate, and hands on what the exchange
// layer sees. Runs on the event loop; nothing waits.
class BusScanner : public QObject
{
    Q_OBJECT

public:
    struct Settings
    {
        quint8 from = 0x01;
        quint8 to = 0xF7;
        QList<qint32> rates;
        CommMode mode = CommMode::Rtu;
        int marginMs = 15; // added to the request's time on the wire
        qint64 roundTripUs = 0; // a network line's, measured at its opening: added too
        bool setsRate = true; // false: the line runs at its gateway's rate (a raw socket)
        int retries = 0; // more handshakes to an address that stayed silent
        qint64 replyTimeoutUs = 500'000; // for a reply that has started
    };
    /// A station that answered.
    struct Hit
    {
        quint8 address;
        qint32 rate;
        Verdict verdict; // good, bad check or an exception: someone is there
        double responseMs;
    };
    /// Sends a frame; false when it could not be handed to the port.
    using Send = std::function<bool(const QByteArray &frame)>;
    /// Switches the line to a baud rate; false when the port refused it.
    using SetRate = std::function<bool(qint32 rate)>;

    /// \a clock gives the time the scanner compares the line's stamps with.
    BusScanner(Send send, SetRate setRate, QObject *parent = nullptr,
               UsClock clock = systemClock());

    /// Starts a scan; the line's rate is set back to \a restoreRate at the end.
    void start(const Settings &settings, qint32 restoreRate);
    /// Stops at once, and sets the rate back.
    void cancel();
    bool isRunning() const { return m_running; }
    /// The time the rest of the scan takes when nobody answers, in ms.
    qint64 remainingMs() const;
    /// Probes done and in all.
    int done() const { return m_done; }
    int total() const { return m_total; }

public slots:
    /// A frame's last byte left at \a writtenUs (the exchange layer's clock).
    void requestWritten(const QByteArray &frame, qint64 writtenUs);
    /// Bytes arrived: a reply has started.
    void bytesArrived(const QByteArray &bytes, qint64 arrivalUs);
    void exchangeSettled(const Exchange &exchange);

signals:
    void found(const BusScanner::Hit &hit);
    void progress();
    /// The scan ended (\a cancelled by the user), or could not go on (\a error).
    void finished(bool cancelled, const QString &error);

private:
    void probe();
    void next();
    void stop(bool cancelled, const QString &error);
    qint64 probeMs(qint32 rate) const;
    /// Sets the line's rate where the line takes one.
    bool switchRate(qint32 rate);

    Send m_send;
    SetRate m_setRate;
    UsClock m_clock;
    Settings m_settings;
    qint32 m_restoreRate = 0;
    bool m_running = false;
    int m_rateIndex = 0;
    int m_address = 0;
    int m_attempt = 0;
    int m_done = 0;
    int m_total = 0;
    QByteArray m_frame; // the handshake in flight
    qint64 m_writtenUs = -1; // its last byte written, -1 until then
    bool m_replyStarted = false;
    // The first byte's wait, then the whole reply's ("scanWait": a child, found by name).
    QTimer *m_wait = new QTimer(this);
};
