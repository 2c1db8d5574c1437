#include "config_transfer.h"

#include "device/command_set.h"
#include "sequencer/io_table.h"

ConfigTransfer::ConfigTransfer(Send send, QObject *parent)
    : QObject(parent)
    , m_send(std::move(send))
{ }

void ConfigTransfer::read(quint8 station, CommMode mode)
{
    m_set = ConfigSet{};
    m_writing = false;
    m_wholeSet = true;
    start({station}, mode);
}

void ConfigTransfer::write(const ConfigSet &set, const QList<quint8> &stations, CommMode mode)
{
    m_set = set;
    m_writing = true;
    m_wholeSet = false;
    start(stations, mode);
}

void ConfigTransfer::verify(const ConfigSet &set, const QList<quint8> &stations, CommMode mode)
{
    m_set = set;
    m_writing = false;
    m_wholeSet = false;
    start(stations, mode);
}

void ConfigTransfer::start(const QList<quint8> &stations, CommMode mode)
{
    m_mode = mode;
    m_stations = stations;
    m_done = 0;
    m_total = 0;
    for (const quint8 station : stations)
        m_total += int(requestsFor(station).size());
    m_step = -1;
    if (m_stations.isEmpty()) {
        emit finished(QString());
        return;
    }
    m_requests = requestsFor(m_stations.first());
    m_outcome = Outcome{m_stations.first()};
    m_step = 0;
    sendNext();
}

QList<ConfigTransfer::Request> ConfigTransfer::requestsFor(quint8 station) const
{
    QList<Request> requests;
    const auto wanted = [this](bool present) {
        return m_wholeSet || present;
    };
    if (m_writing) {
        for (int i = 0; i < ConfigSet::parameterCount; ++i) {
            if (m_set.parameters[i]) {
                requests.append({makePayload(station, motionParameters()[i].setCode,
                                             int32BigEndian(*m_set.parameters[i])),
                                 i});
            }
        }
        for (int code = 1; code <= ConfigSet::ioCodeCount; ++code) {
            if (m_set.io[code])
                requests.append(
                        {ioDownloadPayload(station, quint8(code), *m_set.io[code]), -1, code});
        }
    }
    for (int i = 0; i < ConfigSet::parameterCount; ++i) {
        if (wanted(m_set.parameters[i].has_value()))
            requests.append({makePayload(station, motionParameters()[i].queryCode), i, 0, true});
    }
    for (int code = 1; code <= ConfigSet::ioCodeCount; ++code) {
        if (wanted(m_set.io[code].has_value()))
            requests.append({ioQueryPayload(station, quint8(code)), -1, code, true});
    }
    return requests;
}

void ConfigTransfer::cancel()
{
    if (m_step < 0)
        return;
    m_step = -1;
    m_frame.clear();
    emit finished(tr("配置传送已取消"));
}

void ConfigTransfer::sendNext()
{
    while (m_step >= m_requests.size()) {
        finishStation();
        if (m_step < 0)
            return;
    }
    m_frame = frameRequest(m_requests[m_step].payload, m_mode);
    if (!m_send(m_frame)) {
        m_step = -1;
        m_frame.clear();
        emit finished(tr("命令发不出去：串口已关闭或写入失败"));
    }
}

void ConfigTransfer::exchangeSettled(const Exchange &exchange)
{
    if (m_step < 0 || m_frame.isEmpty() || exchange.request != m_frame)
        return;
    m_frame.clear();
    ++m_done;
    if (exchange.verdict == Verdict::Timeout || exchange.verdict == Verdict::NoReply) {
        // A station that does not answer is left at once: its other requests
        // would only time out one by one.
        m_outcome.answered = false;
        m_done += int(m_requests.size()) - m_step - 1;
        m_step = int(m_requests.size());
    } else {
        take(exchange);
        ++m_step;
    }
    emit progress();
    sendNext();
}

void ConfigTransfer::take(const Exchange &exchange)
{
    const Request &request = m_requests[m_step];
    const QString item = request.parameter >= 0 ? parameterKey(request.parameter)
                                                : ioKey(request.ioCode);
    if (exchange.verdict != Verdict::Good) {
        m_outcome.refused.append(item);
        return;
    }
    if (!request.query)
        return;
    const QByteArray reply = framing(m_mode).unframe(exchange.reply).value_or(FramePayload{}).bytes;
    if (reply.size() < 3 || quint8(reply[2]) != reply.size() - 3)
        return;
    const QByteArrayView data = QByteArrayView(reply).sliced(3);
    if (request.parameter >= 0 && data.size() == 4) {
        m_outcome.read.parameters[request.parameter] = qint32(
                quint32(quint8(data[0])) << 24 | quint32(quint8(data[1])) << 16
                | quint32(quint8(data[2])) << 8 | quint32(quint8(data[3])));
    } else if (request.ioCode > 0 && !data.isEmpty() && quint8(data[0]) == request.ioCode) {
        m_outcome.read.io[request.ioCode] = data.sliced(1).toByteArray();
    }
}

void ConfigTransfer::finishStation()
{
    emit stationDone(m_outcome);
    m_stations.removeFirst();
    if (m_stations.isEmpty()) {
        m_step = -1;
        emit finished(QString());
        return;
    }
    m_requests = requestsFor(m_stations.first());
    m_outcome = Outcome{m_stations.first()};
    m_step = 0;
}
