#include "bus_scan.h"

#include "device/command_set.h"
#include "util/monotonic_clock.h"

#include <algorithm>

namespace {

/// Microseconds \a bytes take on the wire at \a rate: start, 8 data, stop bit.
qint64 wireUs(qsizetype bytes, qint32 rate)
{
    return rate > 0 ? qint64(bytes) * 10 * 1'000'000 / rate : 0;
}

} // namespace

BusScanner::BusScanner(Send send, SetRate setRate, QObject *parent, UsClock clock)
    : QObject(parent)
    , m_send(std::move(send))
    , m_setRate(std::move(setRate))
    , m_clock(std::move(clock))
{
    m_wait->setObjectName(QStringLiteral("scanWait"));
    m_wait->setSingleShot(true);
    m_wait->setTimerType(Qt::PreciseTimer);
    connect(m_wait, &QTimer::timeout, this, [this] {
        // Silence for the whole wait (or a reply that never completed).
        if (m_attempt < m_settings.retries) {
            ++m_attempt;
            probe();
        } else {
            next();
        }
    });
}

void BusScanner::start(const Settings &settings, qint32 restoreRate)
{
    m_settings = settings;
    m_restoreRate = restoreRate;
    m_running = true;
    m_rateIndex = 0;
    m_address = settings.from;
    m_attempt = 0;
    m_done = 0;
    const int addresses = std::max(0, int(settings.to) - int(settings.from) + 1);
    m_total = addresses * int(settings.rates.size());
    if (m_total == 0) {
        stop(false, QString());
        return;
    }
    if (!switchRate(settings.rates.first())) {
        stop(false, tr("串口不接受波特率 %1").arg(settings.rates.first()));
        return;
    }
    probe();
}

void BusScanner::cancel()
{
    if (m_running)
        stop(true, QString());
}

qint64 BusScanner::probeMs(qint32 rate) const
{
    const qsizetype bytes
            = frameRequest(makePayload(0, FunctionCode::Handshake), m_settings.mode).size();
    return (wireUs(bytes, rate) + m_settings.roundTripUs + 999) / 1000 + m_settings.marginMs;
}

bool BusScanner::switchRate(qint32 rate)
{
    return !m_settings.setsRate || m_setRate(rate);
}

qint64 BusScanner::remainingMs() const
{
    if (!m_running)
        return 0;
    const int addresses = int(m_settings.to) - int(m_settings.from) + 1;
    qint64 ms = probeMs(m_settings.rates[m_rateIndex]) * (int(m_settings.to) - m_address + 1);
    for (qsizetype i = m_rateIndex + 1; i < m_settings.rates.size(); ++i)
        ms += probeMs(m_settings.rates[i]) * addresses;
    return ms;
}

void BusScanner::probe()
{
    m_frame = frameRequest(makePayload(quint8(m_address), FunctionCode::Handshake),
                           m_settings.mode);
    m_writtenUs = -1;
    m_replyStarted = false;
    if (!m_send(m_frame)) {
        stop(false, tr("握手命令发不出去：串口已关闭或写入失败"));
        return;
    }
    // Until the last byte has left, the wait counts from now: a line that
    // drains slowly only makes it longer.
    m_wait->start(int(probeMs(m_settings.rates[m_rateIndex])));
}

void BusScanner::requestWritten(const QByteArray &frame, qint64 writtenUs)
{
    if (!m_running || frame != m_frame || m_writtenUs >= 0)
        return;
    m_writtenUs = writtenUs;
    if (!m_replyStarted) {
        const qint64 waitedUs = m_clock() - writtenUs;
        const qint64 waitUs = probeMs(m_settings.rates[m_rateIndex]) * 1000 - waitedUs;
        m_wait->start(int(std::max<qint64>(0, (waitUs + 999) / 1000)));
    }
}

void BusScanner::bytesArrived(const QByteArray &, qint64 arrivalUs)
{
    if (!m_running || m_replyStarted || m_writtenUs < 0 || arrivalUs < m_writtenUs)
        return;
    // A reply has started: it is read whole, or given up at the reply time-out.
    m_replyStarted = true;
    m_wait->start(int(m_settings.replyTimeoutUs / 1000));
}

void BusScanner::exchangeSettled(const Exchange &exchange)
{
    if (!m_running || exchange.request != m_frame || exchange.sentUs != m_writtenUs)
        return;
    switch (exchange.verdict) {
    case Verdict::Good:
    case Verdict::BadCheck:
    case Verdict::Exception:
        emit found(Hit{quint8(m_address), m_settings.rates[m_rateIndex], exchange.verdict,
                       double(exchange.responseUs()) / 1000.0});
        next();
        return;
    default:
        return; // a time-out: the wait decides
    }
}

void BusScanner::next()
{
    m_wait->stop();
    ++m_done;
    m_attempt = 0;
    if (m_address < m_settings.to) {
        ++m_address;
    } else if (++m_rateIndex < m_settings.rates.size()) {
        m_address = m_settings.from;
        if (!switchRate(m_settings.rates[m_rateIndex])) {
            stop(false, tr("串口不接受波特率 %1").arg(m_settings.rates[m_rateIndex]));
            return;
        }
    } else {
        stop(false, QString());
        return;
    }
    emit progress();
    probe();
}

void BusScanner::stop(bool cancelled, const QString &error)
{
    m_wait->stop();
    m_running = false;
    m_frame.clear();
    if (m_restoreRate > 0)
        switchRate(m_restoreRate);
    emit progress();
    emit finished(cancelled, error);
}
