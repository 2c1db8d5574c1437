#include "link_session.h"

#include "bus/bus_scan.h"
#include "bus/config_transfer.h"
#include "device/command_set.h"
#include "link/open_port.h"
#include "util/monotonic_clock.h"

#include <chrono>

namespace {

// How often a vanished device is looked for.
constexpr int reconnectEveryMs = 500;

} // namespace

LinkSession::LinkSession(QObject *parent)
    : QObject(parent)
{
    setMode(CommMode::Rtu);
    connect(m_link, &MSComm::bytesArrived, m_exchanges, &ExchangeMonitor::bytesArrived);
    connect(m_link, &MSComm::frameWritten, m_exchanges, &ExchangeMonitor::frameWritten);
    connect(m_exchanges, &ExchangeMonitor::requestWritten, m_capture, &CaptureWriter::frameSent);
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, m_capture,
            &CaptureWriter::exchangeSettled);
    connect(m_exchanges, &ExchangeMonitor::bytesDiscarded, m_capture,
            &CaptureWriter::bytesDiscarded);
    connect(m_exchanges, &ExchangeMonitor::requestHeard, m_capture, &CaptureWriter::requestHeard);

    connect(m_link, &MSComm::writeFailed, this, [this](const QString &reason) {
        notice(tr("写入失败：%1").arg(reason));
        emit stalled(reason);
    });
    connect(m_link, &MSComm::writeResumed, this, [this] { notice(tr("串口恢复写入")); });
    connect(m_link, &MSComm::deviceLost, this, &LinkSession::onDeviceLost);
    connect(m_link, &MSComm::reopened, this, [this](const Status &status) {
        m_reopeningNetwork = false;
        if (!status || !m_reconnect.isActive())
            return; // not yet there: the next round tries again
        m_reconnect.stop();
        reopened(m_link->devicePath());
    });
    m_reconnect.setInterval(reconnectEveryMs);
    connect(&m_reconnect, &QTimer::timeout, this, &LinkSession::tryReconnect);
    m_checkAgain.setSingleShot(true);
    m_checkAgain.setInterval(reconnectEveryMs);
    connect(&m_checkAgain, &QTimer::timeout, this, &LinkSession::sendCheck);
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, this, &LinkSession::checkSettled);
}

LinkSession::~LinkSession()
{
    m_capture->stop();
}

void LinkSession::setMode(CommMode mode)
{
    m_mode = mode;
    m_exchanges->setMode(mode);
    m_capture->setMode(mode);
}

QString LinkSession::portLabel() const
{
    return m_portLabel.isEmpty() ? m_link->devicePath() : m_portLabel;
}

Status LinkSession::open(const QString &path, qint32 baudRate)
{
    restart();
    m_link->setDevicePath(path);
    m_link->setSettings(MSComm::Settings{baudRate});
    if (const Status opened = m_link->open(); !opened)
        return opened;
    opened();
    return Done{};
}

Status LinkSession::openPort(const PortNames &names, qint16 port, QString settings)
{
    restart();
    if (const Status opened = CommSetting::OpenPort(*m_link, names, port, settings); !opened)
        return opened;
    opened();
    return Done{};
}

void LinkSession::opened()
{
    lineRateChanged();
    // A network line is known by its URL; a device by what the system says of it.
    if (m_link->isNetwork()) {
        m_device = DeviceIdentity();
        m_device.path = m_link->devicePath();
        m_identifying = {};
        return;
    }
    m_identifying = std::async(std::launch::async,
                               [path = m_link->devicePath()] { return identifyDevice(path); });
}

void LinkSession::lineRateChanged()
{
    // The rate the port runs at gives the silence that ends a frame; a network
    // line's bytes come in packets, whose gaps say nothing.
    m_exchanges->setLineRate(m_link->isNetwork() ? 0 : m_link->settings().baudRate);
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
    m_checking = false;
    m_checkAgain.stop();
    m_finding = {}; // a search for the device as it was is of no use now
    m_reopeningNetwork = false;
    m_link->close();
    m_exchanges->reset();
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
    if (listening())
        return Failure{tr("只监听总线时不发送任何帧；要发送，先取消“只监听”")};
    if (m_checking) {
        return Failure{
                tr("串口 %1 重新打开后，要等站 %2 应答握手，确认是原来的控制器，才发送其他帧")
                        .arg(portLabel(), checkStationText())};
    }
    return m_link->output(frame);
}

Status LinkSession::setBaudRate(qint32 rate)
{
    const Status changed = m_link->setBaudRate(rate);
    lineRateChanged();
    return changed;
}

void LinkSession::listen(BusScanner &scanner)
{
    connect(m_exchanges, &ExchangeMonitor::requestWritten, &scanner, &BusScanner::requestWritten);
    connect(m_link, &MSComm::bytesArrived, &scanner, &BusScanner::bytesArrived);
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, &scanner, &BusScanner::exchangeSettled);
}

void LinkSession::fitScan(BusScanner::Settings &settings) const
{
    settings.replyTimeoutUs = m_exchanges->replyTimeoutUs();
    settings.roundTripUs = m_link->roundTripUs();
    settings.setsRate = m_link->canSetRate();
}

void LinkSession::listen(ConfigTransfer &transfer)
{
    connect(m_exchanges, &ExchangeMonitor::exchangeSettled, &transfer,
            &ConfigTransfer::exchangeSettled);
}

Status LinkSession::startCapture(const QString &path)
{
    m_capture->setMode(m_mode);
    return m_capture->start(path);
}

void LinkSession::notice(const QString &text)
{
    m_capture->linkEvent(text, monotonicUs());
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

const DeviceIdentity &LinkSession::identity()
{
    if (m_identifying.valid())
        m_device = m_identifying.get();
    return m_device;
}

void LinkSession::tryReconnect()
{
    // The search runs on a thread of its own; each round takes its outcome.
    if (!m_finding.valid()) {
        // A network line is back when its gateway takes a connection again: it is
        // opened in the background, each round once the last attempt is done.
        if (m_link->isNetwork()) {
            if (!m_reopeningNetwork) {
                m_reopeningNetwork = true;
                m_link->openInBackground();
            }
            return;
        }
        m_finding = std::async(std::launch::async,
                               [identity = identity()] { return findDevice(identity); });
        return;
    }
    if (m_finding.wait_for(std::chrono::seconds(0)) != std::future_status::ready)
        return;
    const QString path = m_finding.get();
    if (path.isEmpty()) {
        tryReconnect(); // not there yet: look again
        return;
    }
    m_link->setDevicePath(path);
    if (!m_link->open())
        return; // there, but not ready yet: the next round tries again
    m_reconnect.stop();
    reopened(path);
}

void LinkSession::reopened(const QString &path)
{
    const DeviceIdentity &device = identity();
    // A by-id name or a serial number says which device this is; a path alone may
    // lead to another one by now (a terminal number taken by another program, an
    // adapter enumerated in the place of the old one).
    // A listener sends no handshake: it takes the device as it comes back.
    // A network line is the gateway's port of that URL, whatever serves it now.
    if (!m_checkStation || !device.byIdLink.isEmpty() || device.hasUsbIds || listening()
        || m_link->isNetwork()) {
        notice(tr("串口 %1 已恢复（%2）").arg(portLabel(), path));
        emit reconnected(path);
        return;
    }
    m_checking = true;
    m_reopenedPath = path;
    notice(tr("串口 %1 已重新打开（%2），等待站 %3 应答握手，之前不发送其他帧")
                   .arg(portLabel(), path, checkStationText()));
    sendCheck();
}

QString LinkSession::checkStationText() const
{
    const std::optional<quint8> station = m_checkStation ? m_checkStation() : std::nullopt;
    return station ? stationText(*station) : QStringLiteral("?");
}

void LinkSession::sendCheck()
{
    if (!m_checking || !isOpen())
        return;
    const std::optional<quint8> station = m_checkStation();
    if (!station) {
        m_checkAgain.start(); // the box may hold a valid address by then
        return;
    }
    m_checkFrame = frameRequest(makePayload(*station, FunctionCode::Handshake), m_mode);
    if (!m_link->output(m_checkFrame))
        m_checkAgain.start();
}

void LinkSession::checkSettled(const Exchange &exchange)
{
    if (!m_checking || exchange.request != m_checkFrame)
        return;
    if (exchange.verdict != Verdict::Good) {
        m_checkAgain.start();
        return;
    }
    m_checking = false;
    notice(tr("串口 %1 已恢复（%2），站 %3 应答了握手")
                   .arg(portLabel(), m_reopenedPath, checkStationText()));
    emit reconnected(m_reopenedPath);
}
