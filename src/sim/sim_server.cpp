#include "sim_server.h"

#include "device/command_set.h"
#include "sim_line_rate.h"
#include "sim_logging.h"

#include <QFile>
#include <QSerialPort>
#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <numeric>
#include <utility>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

constexpr int tickMs = 10;
// What the server holds back for a terminal side that reads nothing; beyond it
// the oldest replies go (the tool discards waiting bytes when it opens anyway).
constexpr qsizetype maxUnwritten = 64 * 1024;

QString errnoText()
{
    return QString::fromLocal8Bit(std::strerror(errno));
}

} // namespace

SimServer::SimServer(const SimConfig &config, QObject *parent)
    : SimServer(QList<SimConfig>{config}, parent)
{ }

SimServer::SimServer(const QList<SimConfig> &stations, QObject *parent)
    : QObject(parent)
{
    Q_ASSERT(!stations.isEmpty());
    m_stations.reserve(size_t(stations.size()));
    for (const SimConfig &config : stations) {
        Q_ASSERT(!controllerAt(config.address));
        m_stations.emplace_back(config);
    }
    m_wantedRate = m_stations.front().baudRate();
    m_wallClock.start();
    m_tick.setInterval(tickMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, [this] {
        catchUp();
        updateTicking();
    });
    // A child by name, so that a test can read how long a rate change waits.
    m_baudSwitch.setParent(this);
    m_baudSwitch.setObjectName(QStringLiteral("baudSwitch"));
    m_baudSwitch.setSingleShot(true);
    connect(&m_baudSwitch, &QTimer::timeout, this, &SimServer::applyBaudRate);
    m_wireTimer.setSingleShot(true);
    m_wireTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_wireTimer, &QTimer::timeout, this, &SimServer::sendDueReplies);
    m_heldTimer.setSingleShot(true);
    m_heldTimer.setTimerType(Qt::PreciseTimer);
    connect(&m_heldTimer, &QTimer::timeout, this, &SimServer::sendHeldReplies);
}

SimServer::~SimServer()
{
    close();
}

Status SimServer::openPseudoTerminal()
{
    close();
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    int control = -1;
    int terminal = -1;
    if (::openpty(&control, &terminal, name, &raw, nullptr) != 0) {
        return Failure{tr("Cannot open a pseudo-terminal: %1").arg(errnoText())};
    }
    ::flock(terminal, LOCK_EX | LOCK_NB); // a new terminal: nobody else holds it
    ::fcntl(control, F_SETFL, ::fcntl(control, F_GETFL) | O_NONBLOCK);
    ::fcntl(control, F_SETFD, FD_CLOEXEC);
    ::fcntl(terminal, F_SETFD, FD_CLOEXEC);
    m_controlFd = control;
    m_terminalFd = terminal;
    m_devicePath = QString::fromLocal8Bit(name);

    m_readNotifier = new QSocketNotifier(control, QSocketNotifier::Read, this);
    connect(m_readNotifier, &QSocketNotifier::activated, this, &SimServer::readTerminal);
    m_writeNotifier = new QSocketNotifier(control, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &SimServer::flushTerminal);
    qCDebug(lcSim).noquote() << "serving the pseudo-terminal" << m_devicePath;
    return Done{};
}

Status SimServer::openDevice(const QString &path)
{
    close();
    auto *serial = new QSerialPort(this);
    serial->setPortName(path);
    serial->setBaudRate(m_wantedRate);
    serial->setDataBits(QSerialPort::Data8);
    serial->setParity(QSerialPort::NoParity);
    serial->setStopBits(QSerialPort::OneStop);
    serial->setFlowControl(QSerialPort::NoFlowControl);
    if (!serial->open(QIODevice::ReadWrite)) {
        const QString reason = serial->errorString();
        delete serial;
        return Failure{tr("Cannot open %1: %2").arg(path, reason)};
    }
    // The port is opened exclusively, but not for root: the lock still tells.
    if (::flock(int(serial->handle()), LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK) {
        delete serial;
        return Failure{tr("Cannot open %1: another simulator serves it").arg(path)};
    }
    m_serial = serial;
    m_lineBaudRate = m_wantedRate;
    m_devicePath = path;
    connect(serial, &QSerialPort::readyRead, this, &SimServer::readDevice);
    connect(serial, &QSerialPort::bytesWritten, this, [this] {
        if (m_replyBeforeBaudSwitch > 0 && m_serial->bytesToWrite() == 0) {
            switchBaudRateAfterReply(m_replyBeforeBaudSwitch);
            m_replyBeforeBaudSwitch = 0;
        }
    });
    connect(serial, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError e) {
        if (e != QSerialPort::ResourceError || !m_serial)
            return;
        const QString reason = tr("%1: %2").arg(m_devicePath, m_serial->errorString());
        qCWarning(lcSim).noquote() << "device lost:" << reason;
        // Closing inside the port's own signal is not safe; close on the next turn.
        QMetaObject::invokeMethod(this, &SimServer::close, Qt::QueuedConnection);
        emit deviceLost(reason);
    });
    qCDebug(lcSim).noquote() << "serving the device" << path << "at" << m_lineBaudRate << "baud";
    return Done{};
}

void SimServer::close()
{
    m_tick.stop();
    m_baudSwitch.stop();
    m_replyBeforeBaudSwitch = 0;
    m_wireTimer.stop();
    m_wireQueue.clear();
    m_wireFreeNs = 0;
    m_heldTimer.stop();
    m_held.clear();
    delete m_readNotifier;
    m_readNotifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_controlFd >= 0)
        ::close(m_controlFd);
    if (m_terminalFd >= 0)
        ::close(m_terminalFd);
    m_controlFd = m_terminalFd = -1;
    m_unwritten.clear();
    if (m_serial) {
        m_serial->close();
        m_serial->deleteLater();
        m_serial = nullptr;
    }
}

bool SimServer::isServed(const QString &path)
{
    // A stale link may lead anywhere: only a character device can be served,
    // and opening anything else (a FIFO) could wait or have effects.
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    { };
    if (::stat(name.constData(), &status) != 0 || !S_ISCHR(status.st_mode))
        return false;
    const int fd = ::open(name.constData(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return errno == EBUSY; // TIOCEXCL: held exclusively
    const bool locked = ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK;
    ::close(fd);
    return locked;
}

bool SimServer::isOpen() const
{
    return m_controlFd >= 0 || m_serial;
}

Result<QList<SimConfig>> SimServer::parseStations(QStringView text, const SimConfig &base)
{
    QList<SimConfig> stations;
    for (QStringView item : text.split(u',')) {
        item = item.trimmed();
        const qsizetype colon = item.indexOf(u':');
        const QStringView addressText = colon < 0 ? item : item.first(colon);
        bool ok = false;
        const uint address = addressText.toUInt(&ok, 16);
        if (!ok || address < 1 || address > 0xF7) {
            return Failure{
                    tr("\"%1\" is not a station address from 1 to F7 (hex)").arg(addressText)};
        }
        SimConfig station = base;
        station.address = quint8(address);
        if (colon >= 0) {
            const QStringView rateText = item.sliced(colon + 1);
            station.baudRate = rateText.toInt(&ok);
            if (!ok || !SimController::baudCodeForRate(station.baudRate)) {
                return Failure{tr("\"%1\": \"%2\" is not one of 2400, 4800, 9600, 14400, "
                                  "19200, 38400")
                                       .arg(item, rateText)};
            }
        }
        const auto same = [&](const SimConfig &other) {
            return other.address == address;
        };
        if (std::any_of(stations.cbegin(), stations.cend(), same)) {
            return Failure{
                    tr("station %1 is listed twice").arg(QString::number(address, 16).toUpper())};
        }
        stations.append(station);
    }
    return stations;
}

SimController *SimServer::controllerAt(quint8 address)
{
    for (SimController &station : m_stations) {
        if (station.address() == address)
            return &station;
    }
    return nullptr;
}

void SimServer::setWireTime(bool on)
{
    m_wireTime = on;
    if (!on) {
        m_wireTimer.stop();
        for (const QueuedReply &reply : std::exchange(m_wireQueue, {}))
            writeLine(reply.bytes);
    }
}

void SimServer::setInputs(quint8 activeMask)
{
    catchUp();
    for (SimController &station : m_stations)
        station.setInputs(activeMask);
    updateTicking();
}

void SimServer::setInputs(int index, quint8 activeMask)
{
    catchUp();
    controller(index).setInputs(activeMask);
    updateTicking();
}

void SimServer::setClock(std::function<qint64()> microsecondsNow)
{
    catchUp();
    m_clock = std::move(microsecondsNow);
    m_lastAdvance = m_clock();
}

qint64 SimServer::clockNow() const
{
    return m_clock ? m_clock() : m_wallClock.nsecsElapsed() / 1000;
}

void SimServer::catchUp()
{
    const qint64 now = clockNow();
    for (SimController &station : m_stations)
        station.advance(now - m_lastAdvance);
    m_lastAdvance = now;
}

void SimServer::serve(QByteArrayView bytes)
{
    catchUp();
    // Replies due by now leave before those to what just came in.
    sendHeldReplies();
    const qint32 rate = m_wireTime ? lineRate() : 0;
    // Each station reads the bytes for itself; replies to one request go out
    // in address order.
    QList<int> order(stationCount());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(), [this](int a, int b) {
        return m_stations[size_t(a)].address() < m_stations[size_t(b)].address();
    });
    QList<QList<SimExchange>> heard(stationCount());
    for (const int i : std::as_const(order)) {
        SimController &station = m_stations[size_t(i)];
        const qint32 before = station.baudRate();
        if (m_wireTime)
            station.receive(bytes, rate, &heard[i]);
        else
            station.receive(bytes, &heard[i]);
        if (station.baudRate() != before)
            m_wantedRate = station.baudRate();
    }

    // The stations heard the same requests, unless one's partial frame went
    // stale sooner at its rate: take the n-th request of each together.
    QList<SimExchange> exchanges;
    qsizetype replyBytes = 0;
    for (qsizetype n = 0;; ++n) {
        const SimExchange *first = nullptr;
        bool answered = false;
        for (const int i : std::as_const(order)) {
            if (n >= heard[i].size())
                continue;
            const SimExchange &exchange = heard[i][n];
            first = first ? first : &exchange;
            const SimFaults &faults = m_stations[size_t(i)].faults();
            const QByteArray reply = faultyReply(exchange, faults);
            if (reply.isEmpty())
                continue;
            exchanges.append({exchange.request, reply, exchange.mode});
            if (faults.delayMs > 0) {
                hold(reply, rate, faults.delayMs);
            } else {
                send(reply, rate);
                replyBytes += reply.size();
            }
            answered = true;
        }
        if (!first)
            break;
        if (!answered)
            exchanges.append({first->request, {}});
    }
    // A device switches to a new rate once the last reply has left, a held one too.
    if (m_held.isEmpty())
        followBaudRate(replyBytes);
    for (const SimExchange &exchange : std::as_const(exchanges))
        emit exchanged(exchange.request, exchange.reply);
    updateTicking();
}

QByteArray SimServer::faultyReply(const SimExchange &exchange, const SimFaults &faults)
{
    // A draw only where a share is set, so that a fault of one kind leaves the
    // choices of another as they were.
    const auto happens = [this](int percent) {
        return percent > 0 && m_faultRandom.bounded(100) < percent;
    };
    if (exchange.reply.isEmpty())
        return {};
    if (happens(faults.dropPercent)) {
        qCDebug(lcSim).noquote() << "fault: reply" << exchange.reply.toHex(' ').toUpper()
                                 << "dropped";
        return {};
    }
    QByteArray reply = exchange.reply;
    if (happens(faults.corruptPercent)) {
        spoil(reply, exchange.mode);
        qCDebug(lcSim).noquote() << "fault: reply" << exchange.reply.toHex(' ').toUpper()
                                 << "spoiled to" << reply.toHex(' ').toUpper();
    }
    return reply;
}

void SimServer::spoil(QByteArray &reply, CommMode mode)
{
    Q_ASSERT(!reply.isEmpty());
    // One byte that the check covers: any single wrong byte fails a CRC-16. A
    // spelled frame gets another hex digit, so that it stays a frame with a
    // wrong LRC. An RTU short reply has no check; its byte is simply wrong.
    if (framing(mode).spelled) {
        static constexpr char digits[] = "0123456789ABCDEF";
        const qsizetype at = m_faultRandom.bounded(1, int(reply.size()) - 2);
        const qsizetype digit = QByteArrayView(digits).indexOf(reply.at(at));
        Q_ASSERT(digit >= 0);
        reply[at] = digits[(digit + m_faultRandom.bounded(1, 16)) % 16];
    } else {
        reply[m_faultRandom.bounded(int(reply.size()))] ^= char(m_faultRandom.bounded(1, 256));
    }
}

void SimServer::hold(const QByteArray &reply, qint32 rate, int delayMs)
{
    const HeldReply held{clockNow() + qint64(delayMs) * 1000, reply, rate};
    const auto later = std::upper_bound(
            m_held.begin(), m_held.end(), held.dueUs,
            [](qint64 due, const HeldReply &other) { return due < other.dueUs; });
    m_held.insert(later, held);
    sendHeldReplies();
}

void SimServer::sendHeldReplies()
{
    const qint64 now = clockNow();
    qsizetype sent = 0;
    while (!m_held.isEmpty() && m_held.constFirst().dueUs <= now) {
        const HeldReply held = m_held.takeFirst();
        send(held.bytes, held.rate);
        sent += held.bytes.size();
    }
    if (sent > 0 && m_held.isEmpty())
        followBaudRate(sent);
    if (m_held.isEmpty()) {
        m_heldTimer.stop();
        return;
    }
    // On an injected clock the timer only looks again: the clock moves when
    // its owner says, and a request served meanwhile sends what is due.
    const qint64 waitUs = m_held.constFirst().dueUs - now;
    m_heldTimer.start(int((waitUs + 999) / 1000));
}

void SimServer::followBaudRate(qsizetype replyBytes)
{
    // A new baud rate holds from the end of its reply on.
    if (!m_serial || m_wantedRate == m_lineBaudRate)
        return;
    if (m_serial->bytesToWrite() == 0)
        switchBaudRateAfterReply(replyBytes);
    else
        m_replyBeforeBaudSwitch = replyBytes;
}

qint32 SimServer::lineRate() const
{
    // The tool may switch rates while its side is open (a bus scan does between
    // passes), so the rate is read for every request.
    return m_serial ? m_lineBaudRate : terminalBaudRate(m_terminalFd);
}

void SimServer::send(const QByteArray &reply, qint32 rate)
{
    if (!m_wireTime || m_serial || rate <= 0) {
        writeLine(reply);
        return;
    }
    // A reply starts once its request has ended (now) and the reply before it
    // has crossed; each byte takes 10 bits: start, 8 data, stop.
    const qint64 start = std::max(m_wallClock.nsecsElapsed(), m_wireFreeNs);
    m_wireFreeNs = start + (reply.size() * 10 * 1'000'000'000LL + rate - 1) / rate;
    m_wireQueue.append({m_wireFreeNs, reply});
    if (!m_wireTimer.isActive())
        scheduleWire();
}

void SimServer::writeLine(const QByteArray &bytes)
{
    if (m_serial)
        m_serial->write(bytes);
    else
        writeTerminal(bytes);
}

void SimServer::sendDueReplies()
{
    const qint64 now = m_wallClock.nsecsElapsed();
    while (!m_wireQueue.isEmpty() && m_wireQueue.constFirst().dueNs <= now)
        writeLine(m_wireQueue.takeFirst().bytes);
    scheduleWire();
}

void SimServer::scheduleWire()
{
    if (m_wireQueue.isEmpty())
        return;
    // Rounded up: a reply may come a little late, as on a real line, never early.
    const qint64 waitNs = m_wireQueue.constFirst().dueNs - m_wallClock.nsecsElapsed();
    m_wireTimer.start(int(std::max<qint64>(0, (waitNs + 999'999) / 1'000'000)));
}

void SimServer::updateTicking()
{
    const auto moving = [](const SimController &station) {
        return station.isMoving();
    };
    if (std::any_of(m_stations.cbegin(), m_stations.cend(), moving)) {
        if (!m_tick.isActive())
            m_tick.start();
    } else {
        m_tick.stop();
    }
}

void SimServer::readTerminal()
{
    QByteArray bytes;
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_controlFd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        // End of file or EIO: no terminal side is open. That cannot happen while
        // the server holds one, but a notifier left on would spin, so stop it.
        qCWarning(lcSim).noquote() << "pseudo-terminal read failed:"
                                   << (n == 0 ? QStringLiteral("end of file") : errnoText());
        m_readNotifier->setEnabled(false);
        break;
    }
    if (!bytes.isEmpty())
        serve(bytes);
}

void SimServer::writeTerminal(const QByteArray &bytes)
{
    m_unwritten += bytes;
    if (m_unwritten.size() > maxUnwritten) {
        qCWarning(lcSim) << "nobody reads the terminal side; dropped"
                         << m_unwritten.size() - maxUnwritten << "reply bytes";
        m_unwritten.remove(0, m_unwritten.size() - maxUnwritten);
    }
    flushTerminal();
}

void SimServer::flushTerminal()
{
    while (!m_unwritten.isEmpty()) {
        const ssize_t n = ::write(m_controlFd, m_unwritten.constData(), size_t(m_unwritten.size()));
        if (n > 0) {
            m_unwritten.remove(0, n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
                qCWarning(lcSim).noquote() << "pseudo-terminal write failed:" << errnoText();
                m_unwritten.clear();
            }
            break;
        }
    }
    // Wait for room only while something is left to write.
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_unwritten.isEmpty());
}

void SimServer::readDevice()
{
    if (m_serial)
        serve(m_serial->readAll());
}

void SimServer::switchBaudRateAfterReply(qsizetype replyBytes)
{
    // The kernel still shifts the reply out at the old rate: switching now
    // would garble its tail, so wait for the reply's time on the wire.
    const int wireMs = int((replyBytes * 11 * 1000 + m_lineBaudRate - 1) / m_lineBaudRate);
    m_baudSwitch.start(wireMs + 2);
}

void SimServer::applyBaudRate()
{
    const qint32 rate = m_wantedRate;
    if (!m_serial || rate == m_lineBaudRate)
        return;
    if (!m_serial->setBaudRate(rate)) {
        qCWarning(lcSim).noquote() << "cannot switch" << m_devicePath << "to" << rate
                                   << "baud:" << m_serial->errorString();
        return;
    }
    m_lineBaudRate = rate;
    qCDebug(lcSim) << "line now at" << rate << "baud";
    emit lineBaudRateChanged(rate);
}
