#pragma once

#include <QByteArray>
#include <QList>
#include <QtGlobal>

struct Exchange;
struct RxEvent;

// Keeps the automatic poll's replies (and the echoes of its queries) out of the
// receive view. It knows where each of them lies in the received stream from the
// framer's events, which tile the stream in order, so it hides exactly those
// bytes: a reply of the user's own with the same bytes stays visible. Bytes the
// framer has not settled yet are held back while a quiet query waits, as they
// may be the start of its reply.
class QuietFilter
{
public:
    /// A quiet query is about to be written.
    void requestSent(const QByteArray &frame);
    /// It could not be written after all.
    void requestDropped(const QByteArray &frame);
    /// Nothing waits for a reply any more: no quiet query will be answered.
    void forgetRequests() { m_quietRequests.clear(); }
    /// Every event of the framer, in the order it gave them.
    void framed(const RxEvent &event);
    /// Every exchange that settled, right after the events that settled it.
    void settled(const Exchange &exchange);

    /// Takes the next bytes read from the link, in stream order, and gives the
    /// bytes to show now: quiet ranges taken out, unsettled bytes held back
    /// while a quiet query may still be answered.
    QByteArray take(const QByteArray &bytes);
    /// Bytes taken and held back.
    qsizetype held() const { return m_held.size(); }
    /// Forgets everything: the stream starts afresh (the port opened or closed).
    void reset();

private:
    struct Range
    {
        qint64 from;
        qint64 to;
    };
    void hide(qint64 from, qint64 to);

    QList<QByteArray> m_quietRequests; // written, waiting for their outcome
    QList<Range> m_hidden; // stream ranges not shown, in order
    Range m_lastFrame{-1, -1}; // the latest frame, until its exchange settles
    QByteArray m_lastFrameBytes;
    qint64 m_framedTo = 0; // stream bytes the framer has settled
    qint64 m_takenFrom = 0; // stream position of m_held's first byte
    QByteArray m_held;
};
