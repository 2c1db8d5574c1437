#include "mscomm.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

#include "util/error_text.h"
#include "util/monotonic_clock.h"

#include <limits>

#ifdef Q_OS_UNIX
#include <poll.h>
#endif

Q_LOGGING_CATEGORY(lcLink, "stepperbench.link", QtInfoMsg)

namespace {

// How long the line may take no byte before writing counts as stalled.
constexpr int defaultStallMs = 2000;

// A network port's answer to RS-485 direction control, at its opening or when asked.
QString noRtsOverNetwork()
{
    return MSComm::tr("网络端口没有 RTS 线，不能做 RS-485 方向控制：请在网关上设置");
}

} // namespace

MSComm::MSComm(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
    , m_net(new NetworkLine(this))
{
    setObjectName(QStringLiteral("MSComm1"));
    connect(m_port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &MSComm::onErrorOccurred);
    connect(m_port, &QSerialPort::bytesWritten, this, &MSComm::checkWritten);
    connect(m_net, &NetworkLine::received, this, &MSComm::take);
    connect(m_net, &NetworkLine::bytesWritten, this, &MSComm::checkWritten);
    connect(m_net, &NetworkLine::opened, this, [this](const Status &status) {
        if (!std::exchange(m_openingInBackground, false))
            return;
        m_received.clear();
        m_receivedSincePoll = false;
        emit reopened(status);
    });
    connect(m_net, &NetworkLine::lost, this, [this](const QString &reason) {
        if (!m_lost)
            lose(reason);
    });
    m_stallTimer.setSingleShot(true);
    m_stallTimer.setInterval(defaultStallMs);
    connect(&m_stallTimer, &QTimer::timeout, this, [this] {
        if (bytesToWrite() > 0)
            dropOutput(tr("线路 %1 秒没有取走一个字节，未写完的 %2 帧已整帧丢弃")
                               .arg(m_stallTimer.interval() / 1000.0)
                               .arg(m_inFlight.size()));
    });
}

MSComm::~MSComm() = default;

Result<MSComm::Settings> MSComm::parseSettings(const QString &settings)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,10}),n,8,1$"));
    const QRegularExpressionMatch match = pattern.match(settings);
    bool ok = false;
    const qint64 baud = match.hasMatch() ? match.captured(1).toLongLong(&ok) : 0;
    if (!ok || baud <= 0 || baud > std::numeric_limits<qint32>::max()) {
        return Failure{tr("设置“%1”无效：波特率应为正整数，后跟“,n,8,1”")
                               .arg(settings)};
    }
    return Settings{qint32(baud)};
}

Status MSComm::open()
{
    close();
    if (m_devicePath.isEmpty())
        return Failure{tr("这个串口没有对应的设备")};
    m_network = LineUrl::looksLikeUrl(m_devicePath);
    if (m_network) {
        const std::optional<LineUrl> url = LineUrl::parse(m_devicePath);
        if (!url)
            return Failure{lineUrlProblem(m_devicePath)};
        m_url = *url;
        if (m_directionWanted)
            return Failure{noRtsOverNetwork()};
        if (const Status opened = m_net->open(m_url, m_settings.baudRate); !opened)
            return opened;
        m_received.clear();
        m_receivedSincePoll = false;
        qCDebug(lcLink) << "opened" << m_devicePath << m_settings.baudRate;
        return Done{};
    }
    m_port->setPortName(m_devicePath);
    if (!m_port->open(QIODevice::ReadWrite))
        return Failure{serialErrorText(m_port->error())};
    const bool configured = m_port->setBaudRate(m_settings.baudRate)
            && m_port->setDataBits(QSerialPort::Data8) && m_port->setParity(QSerialPort::NoParity)
            && m_port->setStopBits(QSerialPort::OneStop)
            && m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString reason = tr("设备不接受 %1 波特、无校验、8 个数据位、1 个停止位：%2")
                                       .arg(m_settings.baudRate)
                                       .arg(serialErrorText(m_port->error()));
        m_port->close();
        return Failure{reason};
    }
    if (const Status direction = applyDirectionControl(); !direction) {
        m_port->close();
        return direction;
    }
    // Every opening starts with nothing waiting in either direction.
    clearInBuffer();
    clearOutBuffer();
    qCDebug(lcLink) << "opened" << m_devicePath << m_settings.baudRate;
    return Done{};
}

void MSComm::openInBackground()
{
    close();
    const std::optional<LineUrl> url = LineUrl::parse(m_devicePath);
    if (!url) {
        emit reopened(Failure{lineUrlProblem(m_devicePath)});
        return;
    }
    m_network = true;
    m_url = *url;
    m_openingInBackground = true;
    m_net->startOpen(m_url, m_settings.baudRate);
}

void MSComm::close()
{
    if (m_port->isOpen()) {
        m_port->close();
        qCDebug(lcLink) << "closed" << m_devicePath;
    }
    m_openingInBackground = false;
    m_net->close();
    m_direction = DirectionMode::Off;
    m_lost = false;
    m_received.clear();
    m_receivedSincePoll = false;
    m_inFlight.clear();
    m_stallTimer.stop();
    m_stalled = false;
    stopWatchingDrain();
}

bool MSComm::portOpen() const
{
    return (m_network ? m_net->isOpen() : m_port->isOpen()) && !m_lost;
}

qint64 MSComm::inBufferCount() const
{
    return m_received.size();
}

void MSComm::clearInBuffer()
{
    if (m_port->isOpen()) {
        m_port->clear(QSerialPort::Input);
        m_port->readAll(); // what Qt had already buffered
    }
    m_received.clear();
    m_receivedSincePoll = false;
}

void MSComm::clearOutBuffer()
{
    if (m_port->isOpen())
        m_port->clear(QSerialPort::Output);
    m_net->clearOutput();
    m_inFlight.clear();
    m_stallTimer.stop();
}

qint64 MSComm::bytesToWrite() const
{
    if (m_network)
        return m_net->bytesToWrite();
    return m_port->isOpen() ? m_port->bytesToWrite() : 0;
}

MSComm::CommEventCode MSComm::takeCommEvent()
{
    const bool received = m_receivedSincePoll;
    m_receivedSincePoll = false;
    return received ? ComEvReceive : ComEvNone;
}

QByteArray MSComm::input()
{
    const qsizetype length = m_inputLen > 0 ? qMin<qsizetype>(m_inputLen, m_received.size())
                                            : m_received.size();
    QByteArray block = m_received.left(length);
    m_received.remove(0, length);
    return block;
}

Status MSComm::setDirectionControl(bool on)
{
    m_directionWanted = on;
    if (!portOpen())
        return Done{};
    if (m_network)
        return on ? Failure{noRtsOverNetwork()} : Status(Done{});
    const Status applied = applyDirectionControl();
    if (!applied)
        m_directionWanted = false;
    return applied;
}

Status MSComm::applyDirectionControl()
{
#ifdef Q_OS_UNIX
    FdModemLines lines(int(m_port->handle()));
    if (!m_directionWanted) {
        DirectionControl::disable(lines, std::exchange(m_direction, DirectionMode::Off));
        return Done{};
    }
    if (m_direction != DirectionMode::Off)
        return Done{};
    const Result<DirectionMode> mode = DirectionControl::enable(lines);
    if (!mode)
        return Failure{mode.error()};
    m_direction = *mode;
    qCDebug(lcLink) << "direction control" << int(m_direction) << m_devicePath;
    return Done{};
#else
    return m_directionWanted ? Failure{tr("这个系统上没有 RS-485 方向控制")} : Status(Done{});
#endif
}

Status MSComm::setBaudRate(qint32 rate)
{
    if (rate <= 0)
        return Failure{tr("%1 不是有效的波特率").arg(rate)};
    if (portOpen() && m_network) {
        if (const Status set = m_net->setBaudRate(rate); !set)
            return set;
    } else if (portOpen() && !m_port->setBaudRate(rate)) {
        return Failure{serialErrorText(m_port->error())};
    }
    m_settings.baudRate = rate;
    return Done{};
}

Status MSComm::output(const QByteArray &frame)
{
    if (!portOpen())
        return Failure{tr("串口没有打开")};
    // The transport counts what is handed over from its own empty buffer on; so do we.
    if (m_inFlight.isEmpty())
        m_handedOver = bytesToWrite();
    if (m_network) {
        m_handedOver += frame.size();
        m_inFlight.append({frame, m_handedOver});
        m_net->write(frame);
        checkWritten();
        return Done{};
    }
#ifdef Q_OS_UNIX
    if (m_direction == DirectionMode::Rts) {
        // RTS around the frame: written and drained here, so it is on the wire when done.
        FdModemLines lines(int(m_port->handle()));
        if (!DirectionControl::send(lines, m_direction, frame))
            return Failure{tr("设备没有接受这一帧（RS-485 方向控制下写入失败）")};
        emit frameWritten(frame, monotonicUs());
        return Done{};
    }
#endif
    const qint64 accepted = m_port->write(frame);
    if (accepted != frame.size()) {
        const QString reason = tr("设备只接受了 %2 个字节中的 %1 个：%3")
                                       .arg(qMax<qint64>(accepted, 0))
                                       .arg(frame.size())
                                       .arg(serialErrorText(m_port->error()));
        clearOutBuffer();
        return Failure{reason};
    }
    m_handedOver += frame.size();
    m_inFlight.append({frame, m_handedOver});
    // As much as the driver takes now, without waiting; the rest drains from the
    // event loop.
    m_port->flush();
    checkWritten();
    return Done{};
}

void MSComm::checkWritten()
{
    const qint64 pending = bytesToWrite();
    const qint64 written = m_handedOver - pending;
    const qint64 now = monotonicUs();
    while (!m_inFlight.isEmpty() && m_inFlight.front().end <= written)
        emit frameWritten(m_inFlight.takeFirst().frame, now);
    if (pending > 0)
        m_stallTimer.start(); // progress, or a new frame: the stall time starts again
    else
        m_stallTimer.stop();
    if (written > 0)
        endStall();
}

void MSComm::endStall()
{
    stopWatchingDrain();
    if (!std::exchange(m_stalled, false))
        return;
    emit writeResumed();
}

void MSComm::stopWatchingDrain()
{
    // Later, not now: this may run inside the notifier's own signal.
    if (m_drainNotifier)
        std::exchange(m_drainNotifier, nullptr)->deleteLater();
}

void MSComm::dropOutput(const QString &reason)
{
    // A half-written frame is of no use to the controller, and its rest must not
    // go out glued to the next one.
    clearOutBuffer();
    m_handedOver = 0;
    qCWarning(lcLink) << "write failed:" << m_devicePath << reason;
    if (m_stalled)
        return; // reported once per stall
    m_stalled = true;
    watchForDrain();
    emit writeFailed(reason);
}

void MSComm::watchForDrain()
{
    // The line drains when the device takes bytes again: its handle turns writable.
    // A network line says so itself: the bytes it takes end the stall.
    if (m_network || m_drainNotifier || !m_port->isOpen() || m_port->handle() < 0)
        return;
    m_drainNotifier = new QSocketNotifier(m_port->handle(), QSocketNotifier::Write, this);
    connect(m_drainNotifier, &QSocketNotifier::activated, this, [this] {
        if (m_port->bytesToWrite() == 0)
            endStall();
        else
            stopWatchingDrain(); // bytes are moving again: checkWritten ends the stall
    });
}

void MSComm::onReadyRead()
{
    const QByteArray bytes = m_port->readAll();
    if (bytes.isEmpty())
        return;
    take(bytes, monotonicUs());
}

void MSComm::take(const QByteArray &bytes, qint64 now)
{
    if (m_keepReceived)
        m_received += bytes;
    m_receivedSincePoll = true;
    emit bytesArrived(bytes, now);
}

bool MSComm::deviceGone() const
{
#ifdef Q_OS_UNIX
    // Gone: the handle hung up or failed, or the device node is no more.
    pollfd handle{int(m_port->handle()), POLLIN | POLLOUT, 0};
    if (handle.fd < 0 || ::poll(&handle, 1, 0) < 0
        || (handle.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0)
        return true;
    return !QFileInfo::exists(m_devicePath);
#else
    return true;
#endif
}

void MSComm::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // A removed adapter shows as a resource error; a hung-up terminal (the far end
    // of a pseudo-terminal closed) as a read that finds nothing, again and again.
    // Either way the port is of no more use.
    if (error == QSerialPort::WriteError && m_port->isOpen() && !m_lost) {
        dropOutput(serialErrorText(m_port->error()));
        return;
    }
    // A write that would block (the device's buffer is full) comes as a resource
    // error too: that is backpressure, and the bytes wait in the port's buffer.
    const bool lost = error == QSerialPort::ReadError
            || (error == QSerialPort::ResourceError && deviceGone());
    if (!lost || !m_port->isOpen() || m_lost)
        return;
    lose(error == QSerialPort::ReadError ? tr("设备已挂断") : serialErrorText(m_port->error()));
}

void MSComm::lose(const QString &reason)
{
    m_lost = true;
    qCWarning(lcLink) << "device lost:" << m_devicePath << reason;
    // Closing from inside the port's own notification is not safe; close as soon
    // as control is back in the event loop. Until then the port counts as closed.
    QTimer::singleShot(0, this, [this, reason] {
        // What arrived before the device went away stays to be read: the
        // controller's last reply must not be lost with it.
        const QByteArray unread = m_received;
        close();
        m_received = unread;
        emit deviceLost(reason);
    });
}
