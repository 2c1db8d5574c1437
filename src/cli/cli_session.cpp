#include "cli_session.h"

#include "cli_options.h"
#include "exchange/exchange_log_model.h"
#include "util/monotonic_clock.h"

#include <QDateTime>
#include <QFileInfo>
#include <QSocketNotifier>
#include <QTimer>

#include <csignal>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {

// The progress line is redrawn at most this often.
constexpr qint64 progressEveryMs = 100;

void writeLine(FILE *stream, const QString &line)
{
    const QByteArray bytes = line.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stream);
    std::fflush(stream);
}

// SIGINT and SIGTERM are handed to the event loop through this pipe: a signal
// handler may do no more than write to it.
int signalPipe[2] = {-1, -1};

// How long unframed bytes are waited for beyond the byte time-out, once every request has its
// verdict: room for the silence to be seen on a loaded machine.
constexpr int quietMarginMs = 100;

void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

QString hexText(const QByteArray &bytes)
{
    return bytes.isEmpty() ? QStringLiteral("-") : QString::fromLatin1(bytes.toHex(' ').toUpper());
}

} // namespace

CliSession::CliSession(CommMode mode, int replyTimeoutMs, QObject *parent)
    : QObject(parent)
    , m_wallOffsetUs(QDateTime::currentMSecsSinceEpoch() * 1000 - monotonicUs())
    , m_progressOn(::isatty(STDERR_FILENO) == 1)
    , m_stdoutTerminal(::isatty(STDOUT_FILENO) == 1)
{
    m_session.setMode(mode);
    m_session.exchanges().setReplyTimeoutUs(qint64(replyTimeoutMs) * 1000);
    // Nobody watches the bench: a device that goes away ends the run.
    m_session.setAutoReconnect(false);
    // Everything is framed as it arrives; nothing reads the bytes again.
    m_session.link().setKeepReceived(false);
    // Printed before anything else hears of the exchange, so that its line comes
    // before the lines of what a command makes of it.
    connect(&m_session.exchanges(), &ExchangeMonitor::exchangeSettled, this,
            &CliSession::printExchange);
    // A bench keeps the capture as its record: without it the run has failed.
    connect(&m_session.capture(), &CaptureWriter::failed, this, [this](const QString &message) {
        warn(message);
        finish(ExitUsage);
    });
    watchSignals();
    connect(&m_session, &LinkSession::deviceLost, this, [this](const QString &reason) {
        linkFailed(tr("port %1 went away: %2").arg(link().devicePath(), reason));
    });
    connect(&m_session, &LinkSession::stalled, this, [this](const QString &reason) {
        linkFailed(tr("port %1 stopped taking bytes: %2").arg(link().devicePath(), reason));
    });
}

CliSession::~CliSession()
{
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    clearProgress();
    m_session.stopCapture();
}

void CliSession::watchSignals()
{
    if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0)
        return;
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
        char byte = 0;
        while (::read(signalPipe[0], &byte, 1) == 1) {
            if (m_signal == 0) {
                m_signal = byte;
                emit interrupted();
            }
        }
    });
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

Status CliSession::open(const QString &path, qint32 baudRate)
{
    // The serial port takes a bare name for a device under /dev ("ttyUSB0"); a
    // file of that name here (a simulator's link) is meant as given.
    const QFileInfo here(path);
    const QString device = !path.contains(u'/') && here.exists() ? here.absoluteFilePath() : path;
    if (const Status opened = m_session.open(device, baudRate); !opened)
        return Failure{tr("cannot open port %1: %2").arg(path, opened.error())};
    return Done{};
}

Status CliSession::startCapture(const QString &path)
{
    return m_session.startCapture(path);
}

bool CliSession::send(const QByteArray &frame)
{
    const Status written = m_session.send(frame);
    if (!written)
        warn(tr("cannot write to port %1: %2").arg(link().devicePath(), written.error()));
    return written.ok();
}

bool CliSession::setRate(qint32 rate)
{
    const Status set = m_session.setBaudRate(rate);
    if (!set)
        warn(tr("port %1 refused %2 baud: %3")
                     .arg(link().devicePath(), QString::number(rate), set.error()));
    return set.ok();
}

int CliSession::exec()
{
    if (m_exitStatus)
        return *m_exitStatus;
    QEventLoop loop;
    m_loop = &loop;
    loop.exec();
    m_loop = nullptr;
    clearProgress();
    return m_exitStatus.value_or(ExitUsage);
}

void CliSession::finish(int exitStatus)
{
    if (!m_exitStatus && m_session.capture().isActive())
        m_session.capture().flush(); // a failure ends the run here, with ExitUsage
    if (m_exitStatus)
        return;
    m_exitStatus = m_signal != 0 ? 128 + m_signal : exitStatus;
    if (m_loop)
        m_loop->quit();
}

void CliSession::settle(qint64 limitMs)
{
    const auto answered = [this] {
        return m_exitStatus || !m_session.isOpen()
                || (exchanges().pendingRequests() == 0 && link().bytesToWrite() == 0);
    };
    const auto settled = [&] {
        return answered() && exchanges().waitingBytes() == 0;
    };
    if (settled())
        return;
    QEventLoop loop;
    // Once every request has its verdict, bytes still unframed are noise, counted when the
    // line falls silent, within the byte time-out on a quiet line. A line that chatters on
    // never does: it is not waited for beyond that.
    QTimer unframed;
    unframed.setSingleShot(true);
    unframed.setInterval(int(exchanges().byteTimeoutUs() / 1000) + quietMarginMs);
    connect(&unframed, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (settled())
            loop.quit();
        else if (answered() && !unframed.isActive())
            unframed.start();
    };
    check();
    connect(&exchanges(), &ExchangeMonitor::statsChanged, &loop, check);
    connect(&m_session, &LinkSession::deviceLost, &loop, &QEventLoop::quit);
    connect(&m_session, &LinkSession::stalled, &loop, &QEventLoop::quit);
    // Every request has its verdict within the time-outs; this only guards
    // against a frame the port never wrote.
    const qint64 guardMs = (exchanges().replyTimeoutUs() + exchanges().byteTimeoutUs()) / 1000
            + 2000;
    limitMs = limitMs < 0 ? guardMs : std::min(limitMs, guardMs);
    QTimer::singleShot(int(limitMs), &loop, &QEventLoop::quit);
    loop.exec();
}

void CliSession::print(const QString &line)
{
    if (m_stdoutTerminal)
        clearProgress();
    writeLine(stdout, line);
}

void CliSession::warn(const QString &message)
{
    clearProgress();
    writeLine(stderr, QStringLiteral("stepperbench-cli: ") + message);
}

void CliSession::progress(const QString &text)
{
    if (!m_progressOn)
        return;
    if (m_progressTimer.isValid() && m_progressTimer.elapsed() < progressEveryMs)
        return;
    m_progressTimer.start();
    const QByteArray bytes = "\r" + text.toUtf8() + "\033[K";
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
    m_progressShown = true;
}

void CliSession::clearProgress()
{
    if (!std::exchange(m_progressShown, false))
        return;
    std::fputs("\r\033[K", stderr);
    std::fflush(stderr);
    m_progressTimer.invalidate();
}

QString CliSession::statsText() const
{
    const ExchangeStats &stats = m_session.stats();
    QString text = tr("requests %1, replies %2, bad checks %3, exceptions %4, time-outs %5, "
                      "unexpected %6, noise bytes %7")
                           .arg(stats.requests())
                           .arg(stats.replies())
                           .arg(stats.badChecks())
                           .arg(stats.exceptions())
                           .arg(stats.timeouts())
                           .arg(stats.unexpected())
                           .arg(stats.noiseBytes());
    if (stats.timedReplies() > 0) {
        text += tr("; response ms min %1 / mean %2 / 95% %3 / max %4")
                        .arg(millisecondsText(*stats.minimumUs()),
                             millisecondsText(*stats.meanUs()),
                             millisecondsText(*stats.percentileUs(0.95)),
                             millisecondsText(*stats.maximumUs()));
    }
    return text;
}

void CliSession::printExchange(const Exchange &exchange)
{
    if (!m_printExchanges)
        return;
    // Stamped with the moment the request went out, or the reply came for one
    // that answers no request.
    const qint64 atUs = exchange.sentUs >= 0 ? exchange.sentUs : exchange.repliedUs;
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch((atUs + m_wallOffsetUs) / 1000);
    QString line = wall.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    line += QStringLiteral("  TX ") + hexText(exchange.request) + QStringLiteral("  RX ")
            + hexText(exchange.reply) + QStringLiteral("  ")
            + verdictText(exchange.verdict, exchange.exceptionCode);
    if (const qint64 us = exchange.responseUs(); us >= 0)
        line += QStringLiteral("  ") + millisecondsText(us) + QStringLiteral(" ms");
    // What the exchange was, and for standard MODBUS its values.
    const int code = exchange.code ? *exchange.code : -1;
    const QString command = exchangeCommandText(exchange.request, exchange.reply, code);
    const QString values = exchangeValuesText(exchange.request, exchange.reply);
    if (!command.isEmpty())
        line += QStringLiteral("  ") + command + (values.isEmpty() ? QString() : u' ' + values);
    if (exchange.gapUs >= 0)
        line += QStringLiteral("  ") + tr("gap %1 ms").arg(millisecondsText(exchange.gapUs));
    print(line);
}

void CliSession::linkFailed(const QString &message)
{
    if (m_exitStatus)
        return;
    warn(message);
    finish(ExitUsage);
}
