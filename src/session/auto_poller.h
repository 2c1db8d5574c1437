#pragma once

#include "util/monotonic_clock.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <functional>
#include <optional>

class LinkSession;
struct Exchange;

// The automatic poll: one round of queries per interval (speed, absolute
// position, motion state), each sent only when no request waits for its reply
// and no frame is still leaving, so that on a half-duplex line the poll never
// collides with itself nor with a request of the user's. A query held back goes
// as soon as the request before it settles. A round whose query never settles
// (its frame never left) is given up after the reply time-out and 3 s more.
class AutoPoller : public QObject
{
    Q_OBJECT

public:
    /// The framed query of function \a code for the station now chosen; nothing
    /// when there is no valid station (the poll then stops).
    using MakeQuery = std::function<std::optional<QByteArray>(quint8 code)>;
    /// Sends a query through the one send path; false when it was not handed over.
    using Send = std::function<bool(const QByteArray &frame)>;

    AutoPoller(LinkSession &session, MakeQuery makeQuery, Send send, UsClock clock = systemClock(),
               QObject *parent = nullptr);

    /// The timer of the rounds ("autoPollTimer").
    QTimer &timer() { return *m_timer; }
    bool isActive() const { return m_timer->isActive(); }
    /// The query of the round in progress (0 to 2), -1 between rounds.
    int roundStep() const { return m_step; }
    /// Forgets the round in progress (the port closed or reopened).
    void forget();

public slots:
    void setIntervalMs(int ms) { m_timer->setInterval(ms); }
    /// Starts polling, with a round at once, or stops it.
    void setActive(bool on);
    /// A new round, unless the poll is off or the last round is still going.
    void startRound();
    /// A request settled: the round's query moves the round on; any settling
    /// may let a held-back query go.
    void exchangeSettled(const Exchange &exchange);

signals:
    /// The station box holds no valid address: the poll stopped.
    void stoppedForStation();

private:
    void sendStep();

    LinkSession &m_session;
    MakeQuery m_makeQuery;
    Send m_send;
    UsClock m_clock;
    QTimer *m_timer = new QTimer(this); // a child: found by its name
    int m_step = -1;
    QByteArray m_frame; // the query sent, until it settles
    qint64 m_roundStartUs = 0;
};
