#pragma once

#include "exchange_pairing.h"
#include "exchange_stats.h"
#include "reply_framer.h"

#include <QObject>
#include <QTimer>

// The exchange layer in one piece: bytes from the link go through the framer,
// frames written and replies framed through the pairing, and every outcome into
// the statistics. The window and the capture listen to its signals. Times come
// with the calls (the link stamps them); only the time-out tick reads the
// monotonic clock, and tests call expire() with times of their own.
class ExchangeMonitor : public QObject
{
    Q_OBJECT

public:
    explicit ExchangeMonitor(QObject *parent = nullptr);

    void setMode(CommMode mode) { m_framer.setMode(mode); }
    void setByteTimeoutUs(qint64 us) { m_framer.setByteTimeoutUs(us); }
    qint64 byteTimeoutUs() const { return m_framer.byteTimeoutUs(); }
    void setReplyTimeoutUs(qint64 us) { m_pairing.setReplyTimeoutUs(us); }
    qint64 replyTimeoutUs() const { return m_pairing.replyTimeoutUs(); }
    void setEchoSuppression(bool on) { m_framer.setEchoSuppression(on); }
    void setLineRate(qint32 baud) { m_framer.setLineRate(baud); }
    /// Listening only: every frame heard is framed and paired, requests of
    /// another master too; nothing is expected to be written.
    void setListening(bool on);
    bool listening() const { return m_framer.listening(); }
    bool echoSuppression() const { return m_framer.echoSuppression(); }

    const ExchangeStats &stats() const { return m_stats; }
    /// Requests written that wait for their reply or time-out.
    qsizetype pendingRequests() const { return m_pairing.pendingCount(); }
    /// Received bytes the framer has not settled yet (a reply still arriving).
    qsizetype waitingBytes() const { return m_framer.waitingBytes(); }
    void resetStats();

public slots:
    /// Bytes from the link, stamped on arrival.
    void bytesArrived(const QByteArray &bytes, qint64 arrivalUs);
    /// A frame's last byte left for the device.
    void frameWritten(const QByteArray &frame, qint64 writtenUs);
    /// Settles what the time-outs have settled by \a nowUs.
    void expire(qint64 nowUs);
    /// Forgets waiting bytes and requests (the port closed or reopened); what
    /// waited in the framer is settled first, so that no byte goes unreported.
    void reset();

signals:
    /// A reply frame, as the framer cut it (check good or bad).
    void replyFramed(const RxEvent &reply);
    /// Listening: a request another master wrote.
    void requestHeard(const RxEvent &request);
    /// A stretch of noise, or an echo taken off.
    void bytesDiscarded(const RxEvent &event);
    /// A request with its reply, its time-out, or a reply nobody asked for.
    void exchangeSettled(const Exchange &exchange);
    /// A frame written, as the pairing saw it.
    void requestWritten(const QByteArray &frame, qint64 writtenUs);
    void statsChanged();

private:
    void handle(const QList<RxEvent> &events);
    void settle(const QList<Exchange> &exchanges);
    void updateTick();

    ReplyFramer m_framer;
    ExchangePairing m_pairing;
    ExchangeStats m_stats;
    // Requests written up to this stamp were counted before the statistics were
    // reset: their outcomes are not counted again.
    qint64 m_countedBeforeUs = -1;
    qint64 m_lastWrittenUs = -1;
    QTimer m_tick; // runs while something waits for a time-out
};
