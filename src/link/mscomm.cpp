#include "mscomm.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

#include <limits>

Q_LOGGING_CATEGORY(lcLink, "stepperbench.link", QtInfoMsg)

namespace {

// How long a write may take to leave for the device before it counts as cut
// short. Frames are short; only a stuck device takes this long.
constexpr int writeTimeoutMs = 1000;

} // namespace

MSComm::MSComm(QObject *parent)
    : QObject(parent)
    , m_port(new QSerialPort(this))
{
    setObjectName(QStringLiteral("MSComm1"));
    connect(m_port, &QSerialPort::readyRead, this, &MSComm::onReadyRead);
    connect(m_port, &QSerialPort::errorOccurred, this, &MSComm::onErrorOccurred);
}

MSComm::~MSComm() = default;

Result<MSComm::Settings> MSComm::parseSettings(const QString &settings)
{
    static const QRegularExpression pattern(QStringLiteral("^([0-9]{1,10}),n,8,1$"));
    const QRegularExpressionMatch match = pattern.match(settings);
    bool ok = false;
    const qint64 baud = match.hasMatch() ? match.captured(1).toLongLong(&ok) : 0;
    if (!ok || baud <= 0 || baud > std::numeric_limits<qint32>::max()) {
        return Failure{tr("invalid settings \"%1\": the baud rate must be a positive whole "
                          "number followed by \",n,8,1\"")
                               .arg(settings)};
    }
    return Settings{qint32(baud)};
}

Status MSComm::open()
{
    close();
    if (m_devicePath.isEmpty())
        return Failure{tr("no device is assigned to this port")};
    m_port->setPortName(m_devicePath);
    if (!m_port->open(QIODevice::ReadWrite))
        return Failure{m_port->errorString()};
    const bool configured = m_port->setBaudRate(m_settings.baudRate)
            && m_port->setDataBits(QSerialPort::Data8) && m_port->setParity(QSerialPort::NoParity)
            && m_port->setStopBits(QSerialPort::OneStop)
            && m_port->setFlowControl(QSerialPort::NoFlowControl);
    if (!configured) {
        const QString reason = tr("the device refused %1 baud, no parity, 8 data bits, 1 stop "
                                  "bit: %2")
                                       .arg(m_settings.baudRate)
                                       .arg(m_port->errorString());
        m_port->close();
        return Failure{reason};
    }
    // Every opening starts with nothing waiting in either direction.
    clearInBuffer();
    clearOutBuffer();
    qCDebug(lcLink) << "opened" << m_devicePath << m_settings.baudRate;
    return Done{};
}

void MSComm::close()
{
    if (m_port->isOpen()) {
        m_port->close();
        qCDebug(lcLink) << "closed" << m_devicePath;
    }
    m_lost = false;
    m_received.clear();
    m_receivedSincePoll = false;
}

bool MSComm::portOpen() const
{
    return m_port->isOpen() && !m_lost;
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

Status MSComm::output(const QByteArray &frame)
{
    if (!portOpen())
        return Failure{tr("the port is not open")};
    const qint64 accepted = m_port->write(frame);
    if (accepted == frame.size() && m_port->bytesToWrite() > 0)
        m_port->flush();
    if (accepted == frame.size() && m_port->bytesToWrite() > 0)
        m_port->waitForBytesWritten(writeTimeoutMs);
    if (!portOpen())
        return Failure{QString()}; // the device went away during the write
    const qint64 left = accepted < 0 ? frame.size() : m_port->bytesToWrite();
    if (accepted == frame.size() && left == 0)
        return Done{};
    const QString reason = tr("only %1 of %2 bytes were written: %3")
                                   .arg(frame.size() - left)
                                   .arg(frame.size())
                                   .arg(m_port->errorString());
    // A half-written frame is of no use to the controller, and the rest must not
    // go out glued to the next one.
    clearOutBuffer();
    return Failure{reason};
}

void MSComm::onReadyRead()
{
    const QByteArray bytes = m_port->readAll();
    if (bytes.isEmpty())
        return;
    m_received += bytes;
    m_receivedSincePoll = true;
}

void MSComm::onErrorOccurred(QSerialPort::SerialPortError error)
{
    // A removed adapter shows as a resource error; a hung-up terminal (the far end
    // of a pseudo-terminal closed) as a read that finds nothing, again and again.
    // Either way the port is of no more use.
    const bool lost = error == QSerialPort::ResourceError || error == QSerialPort::ReadError;
    if (!lost || !m_port->isOpen() || m_lost)
        return;
    m_lost = true;
    const QString reason = error == QSerialPort::ReadError ? tr("the device hung up")
                                                           : m_port->errorString();
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
