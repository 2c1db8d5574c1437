#include "link_session.h"

#include "link/open_port.h"
#include "util/monotonic_clock.h"

namespace {

// How often a vanished device is looked for.
constexpr int reconnectEveryMs = 500;

} // namespace

LinkSession::LinkSession(QObject *parent)
    : QObject(parent)
{
    setMode(CommMode::Rtu);
    connect(&m_link, &MSComm::bytesArrived, &m_exchanges, &ExchangeMonitor::bytesArrived);
    connect(&m_link, &MSComm::frameWritten, &m_exchanges, &ExchangeMonitor::frameWritten);
    connect(&m_exchanges, &ExchangeMonitor::requestWritten, &m_capture, &CaptureWriter::frameSent);
    connect(&m_exchanges, &ExchangeMonitor::exchangeSettled, &m_capture,
            &CaptureWriter::exchangeSettled);
    connect(&m_exchanges, &ExchangeMonitor::bytesDiscarded, &m_capture,
            &CaptureWriter::bytesDiscarded);

    connect(&m_link, &MSComm::writeFailed, this, [this](const QString &reason) {
        notice(tr("写入失败：%1").arg(reason));
        emit stalled(reason);
    });
    connect(&m_link, &MSComm::writeResumed, this, [this] { notice(tr("串口恢复写入")); });
    connect(&m_link, &MSComm::deviceLost, this, &LinkSession::onDeviceLost);
    m_reconnect.setInterval(reconnectEveryMs);
    connect(&m_reconnect, &QTimer::timeout, this, &LinkSession::tryReconnect);
}

LinkSession::~LinkSession()
{
    m_capture.stop();
}

void LinkSession::setMode(CommMode mode)
{
    m_mode = mode;
    m_exchanges.setMode(mode);
    m_capture.setMode(mode);
}

QString LinkSession::portLabel() const
{
    return m_portLabel.isEmpty() ? m_link.devicePath() : m_portLabel;
}

Status LinkSession::open(const QString &path, qint32 baudRate)
{
    restart();
    m_link.setDevicePath(path);
    m_link.setSettings(MSComm::Settings{baudRate});
    if (const Status opened = m_link.open(); !opened)
        return opened;
    m_device = identifyDevice(m_link.devicePath());
    return Done{};
}

Status LinkSession::openPort(const PortNames &names, qint16 port, QString settings)
{
    restart();
    if (const Status opened = CommSetting::OpenPort(m_link, names, port, settings); !opened)
        return opened;
    m_device = identifyDevice(m_link.devicePath());
    return Done{};
}

void LinkSession::close()
{
    restart();
}

// Whatever waited on the line as it was is settled or forgotten: the framer
// reports what it held, and nothing waits for a reply any more.
void LinkSession::restart()
{
    m_reconnect.stop();
    m_link.close();
    m_exchanges.reset();
    emit restarted();
}

void LinkSession::setAutoReconnect(bool on)
{
    m_autoReconnect = on;
    if (!on)
        m_reconnect.stop();
}

Status LinkSession::send(const QByteArray &frame)
{
    return m_link.output(frame);
}

Status LinkSession::setBaudRate(qint32 rate)
{
    return m_link.setBaudRate(rate);
}

Status LinkSession::startCapture(const QString &path)
{
    m_capture.setMode(m_mode);
    return m_capture.start(path);
}

void LinkSession::notice(const QString &text)
{
    m_capture.linkEvent(text, monotonicUs());
    emit linkNotice(text);
}

void LinkSession::onDeviceLost(const QString &reason)
{
    if (m_autoReconnect) {
        m_reconnect.start();
        emit deviceLost(reason, true);
        notice(tr("串口 %1 已断开（%2），等待设备恢复…").arg(portLabel(), reason));
        return;
    }
    emit deviceLost(reason, false);
    notice(tr("串口 %1 已断开（%2），串口已关闭").arg(portLabel(), reason));
}

void LinkSession::tryReconnect()
{
    const QString path = findDevice(m_device);
    if (path.isEmpty())
        return;
    m_link.setDevicePath(path);
    if (!m_link.open())
        return; // there, but not ready yet: the next round tries again
    m_reconnect.stop();
    notice(tr("串口 %1 已恢复（%2）").arg(portLabel(), path));
    emit reconnected(path);
}
