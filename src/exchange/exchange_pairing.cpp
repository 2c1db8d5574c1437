#include "exchange_pairing.h"

#include "device/command_set.h"
#include "traffic/traffic_lines.h"

#include <QCoreApplication>

#include <algorithm>

std::optional<FrameHead> frameHead(QByteArrayView frame)
{
    // A garbled frame still names its station and code: its check is not asked.
    const std::optional<FramePayload> spelled = asciiPayload(frame);
    if (spelled)
        frame = spelled->bytes;
    if (frame.size() < 2)
        return std::nullopt;
    return FrameHead{quint8(frame[0]), quint8(frame[1]), quint8(frame.size() > 2 ? frame[2] : 0)};
}

QList<Exchange> ExchangePairing::requestSent(QByteArrayView frame, qint64 writtenUs, qint64 gapUs)
{
    const std::optional<FrameHead> head = frameHead(frame);
    // Station 0 is every station: only the address query expects an answer there.
    if (!head || (head->station == 0 && head->code != FunctionCode::QueryAddress)) {
        Exchange exchange{.request = frame.toByteArray(), .sentUs = writtenUs, .gapUs = gapUs};
        if (head) {
            exchange.station = head->station;
            exchange.code = head->code;
        }
        return {exchange};
    }
    m_pending.append({frame.toByteArray(), *head, writtenUs, gapUs});
    return {};
}

bool ExchangePairing::answers(const Pending &request, const FrameHead &reply)
{
    const bool anyStation = request.head.station == 0
            && request.head.code == FunctionCode::QueryAddress;
    return request.head.code == (reply.code & 0x7F)
            && (anyStation || request.head.station == reply.station);
}

QList<Exchange> ExchangePairing::replyReceived(const RxEvent &reply)
{
    QList<Exchange> out;
    expireBefore(reply.lastUs, out);

    const std::optional<FrameHead> head = frameHead(reply.bytes);
    auto match = std::find_if(m_pending.rbegin(), m_pending.rend(), [&](const Pending &request) {
        return request.sentUs <= reply.lastUs && head && answers(request, *head);
    });
    // A reply garbled on the line answers the request that waits for it.
    if (match == m_pending.rend() && !reply.checkOk) {
        match = std::find_if(m_pending.rbegin(), m_pending.rend(),
                             [&](const Pending &p) { return p.sentUs <= reply.lastUs; });
    }

    Exchange exchange{.reply = reply.bytes, .repliedUs = reply.lastUs};
    if (head) {
        exchange.station = head->station;
        exchange.code = quint8(head->code & 0x7F);
    }
    if (!reply.checkOk) {
        exchange.verdict = Verdict::BadCheck;
    } else if (head && (head->code & 0x80)) {
        exchange.verdict = Verdict::Exception;
        exchange.exceptionCode = head->next;
    } else {
        exchange.verdict = Verdict::Good;
    }
    if (match != m_pending.rend()) {
        // Named as asked: a garbled reply may carry any code. Station 0's
        // address query is named by the station that answered.
        exchange.request = match->frame;
        exchange.sentUs = match->sentUs;
        exchange.gapUs = match->gapUs;
        exchange.code = match->head.code;
        if (!head || match->head.station != 0)
            exchange.station = match->head.station;
        m_pending.erase(std::next(match).base());
    } else if (exchange.verdict != Verdict::BadCheck) {
        exchange.verdict = Verdict::Unexpected;
    }
    out.append(std::move(exchange));
    return out;
}

QList<Exchange> ExchangePairing::frameHeard(const RxEvent &frame, bool &isRequest)
{
    const qint64 gapUs = m_lastHeardUs >= 0 ? qMax<qint64>(0, frame.firstUs - m_lastHeardUs) : -1;
    m_lastHeardUs = frame.lastUs;
    isRequest = false;
    std::optional<FramePayload> payload = framePayload(frame.bytes);
    const QByteArrayView bytes = frame.bytes.size() == 2 ? QByteArrayView(frame.bytes)
            : payload                                    ? QByteArrayView(payload->bytes)
                                                         : QByteArrayView();
    const std::optional<FrameHead> head = frameHead(frame.bytes);
    const bool awaited = head
            && std::any_of(m_pending.cbegin(), m_pending.cend(),
                           [&](const Pending &p) { return answers(p, *head); });
    QList<Exchange> out;
    if (frame.checkOk && !(awaited && payloadFits(FrameRole::Reply, bytes))
        && payloadFits(FrameRole::Request, bytes)) {
        isRequest = true;
        expireBefore(frame.lastUs, out);
        out.append(requestSent(frame.bytes, frame.lastUs, gapUs));
        return out;
    }
    out = replyReceived(frame);
    if (out.back().request.isEmpty())
        out.back().gapUs = gapUs;
    return out;
}

QList<Exchange> ExchangePairing::expire(qint64 nowUs, qint64 framerPendingSinceUs)
{
    QList<Exchange> out;
    const auto due = [&](const Pending &request) {
        const qint64 deadline = request.sentUs + m_replyTimeoutUs;
        if (nowUs <= deadline) // a reply at the deadline itself is in time
            return false;
        return framerPendingSinceUs < 0 || framerPendingSinceUs > deadline;
    };
    for (const Pending &request : std::as_const(m_pending)) {
        if (due(request))
            out.append(timedOut(request));
    }
    m_pending.removeIf(due);
    return out;
}

void ExchangePairing::expireBefore(qint64 replyUs, QList<Exchange> &out)
{
    const auto late = [&](const Pending &request) {
        return request.sentUs + m_replyTimeoutUs < replyUs;
    };
    for (const Pending &request : std::as_const(m_pending)) {
        if (late(request))
            out.append(timedOut(request));
    }
    m_pending.removeIf(late);
}

Exchange ExchangePairing::timedOut(const Pending &request) const
{
    return {.request = request.frame,
            .verdict = Verdict::Timeout,
            .station = request.head.station,
            .code = request.head.code,
            .sentUs = request.sentUs,
            .gapUs = request.gapUs};
}

QString verdictText(Verdict verdict, quint8 exceptionCode)
{
    switch (verdict) {
    case Verdict::Good:
        return QCoreApplication::translate("Exchange", "校验正确");
    case Verdict::BadCheck:
        return QCoreApplication::translate("Exchange", "校验错误");
    case Verdict::Exception:
        return QCoreApplication::translate("Exchange", "异常 %1")
                .arg(exceptionCode, 2, 16, QLatin1Char('0'))
                .toUpper();
    case Verdict::Timeout:
        return QCoreApplication::translate("Exchange", "超时");
    case Verdict::Unexpected:
        return QCoreApplication::translate("Exchange", "意外应答");
    case Verdict::NoReply:
        return QCoreApplication::translate("Exchange", "无需应答");
    }
    return {};
}
