#pragma once

#include "reply_framer.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QtGlobal>

#include <optional>

// Pairs each reply frame with the request it answers and times it. A reply
// answers the last request sent to its station with its function code (with
// the top bit set for an exception); the address query 0x21 sent to station 0
// is answered by any station. A request with no reply within the reply
// time-out has timed out; a reply that pairs with nothing is unexpected. Like
// the framer, it is given times (microseconds on the caller's monotonic clock)
// and never reads a clock.

enum class Verdict {
    Good, // a reply with a good check
    BadCheck, // a reply whose CRC or LRC is wrong
    Exception, // an exception reply, with its code
    Timeout, // no reply within the reply time-out
    Unexpected, // a reply that answers no request
    NoReply, // a frame that asks for no reply (to station 0, or no function code)
};

struct Exchange
{
    QByteArray request{}; // the frame as written; empty for an unexpected reply
    QByteArray reply{}; // the reply frame as received; empty when none came
    Verdict verdict = Verdict::NoReply;
    std::optional<quint8> station{}; // of the request, or of an unexpected reply
    std::optional<quint8> code{}; // the function code, top bit cleared
    quint8 exceptionCode = 0;
    qint64 sentUs = -1; // the request's last byte written
    qint64 repliedUs = -1; // the reply's last byte received
    qint64 gapUs = -1; // listening: the silence on the line before the exchange's first frame

    /// Last byte written to last byte received, or -1.
    qint64 responseUs() const { return sentUs >= 0 && repliedUs >= 0 ? repliedUs - sentUs : -1; }
};

/// The station, function code and the byte after it (0 where there is none) of
/// a frame: of the bytes an ASCII frame (":" to CR LF) spells, or of the frame
/// itself.
struct FrameHead
{
    quint8 station;
    quint8 code;
    quint8 next; // an exception reply's exception code
};
std::optional<FrameHead> frameHead(QByteArrayView frame);

class ExchangePairing
{
public:
    static constexpr qint64 defaultReplyTimeoutUs = 500'000;

    void setReplyTimeoutUs(qint64 us) { m_replyTimeoutUs = us; }
    qint64 replyTimeoutUs() const { return m_replyTimeoutUs; }

    /// A frame was written, its last byte at \a writtenUs. Gives the exchange of a
    /// frame that asks for no reply at once.
    /// \a gapUs: listening, the silence on the line before it.
    QList<Exchange> requestSent(QByteArrayView frame, qint64 writtenUs, qint64 gapUs = -1);
    /// A reply frame from the framer. Gives its exchange, and the time-outs of
    /// requests whose time was up before it came.
    QList<Exchange> replyReceived(const RxEvent &reply);
    /// Listening to a bus: a frame heard, request or reply. A frame laid out as a
    /// reply that answers a request waiting at its station with its code is that
    /// reply; otherwise a frame laid out as a request is one (\a isRequest set);
    /// anything else is a reply nobody asked for.
    QList<Exchange> frameHeard(const RxEvent &frame, bool &isRequest);
    /// The requests whose reply time-out has passed at \a nowUs. A request is
    /// held while bytes that arrived within its time-out still wait in the framer
    /// (\a framerPendingSinceUs, -1 for none): they may be its reply.
    QList<Exchange> expire(qint64 nowUs, qint64 framerPendingSinceUs = -1);

    /// Requests still waiting for a reply.
    qsizetype pendingCount() const { return m_pending.size(); }
    void clear()
    {
        m_pending.clear();
        m_lastHeardUs = -1;
    }

private:
    struct Pending
    {
        QByteArray frame;
        FrameHead head;
        qint64 sentUs;
        qint64 gapUs = -1;
    };
    /// Whether a reply headed \a reply answers \a request: its station (any for the
    /// address query to station 0) and its code, the top bit aside.
    static bool answers(const Pending &request, const FrameHead &reply);
    Exchange timedOut(const Pending &request) const;
    void expireBefore(qint64 replyUs, QList<Exchange> &out);

    qint64 m_replyTimeoutUs = defaultReplyTimeoutUs;
    QList<Pending> m_pending; // oldest first
    qint64 m_lastHeardUs = -1; // listening: the last byte of the last frame heard
};

/// The verdict as the exchange log and the capture name it ("校验正确", "超时" ...),
/// translated; an exception names its code ("异常 02").
QString verdictText(Verdict verdict, quint8 exceptionCode = 0);
