#include "network_line.h"

#include "util/monotonic_clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLibrary>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QTimer>

#include <gensio/gensio.h>
#include <gensio/gensio_os_funcs_public.h>
#include <gensio/sergensio.h>

#include <csignal>
#include <thread>
#include <type_traits>

Q_LOGGING_CATEGORY(lcNetwork, "stepperbench.link.network", QtInfoMsg)

namespace {

// How long the gateway may take to answer a change of the rate.
constexpr int rateAnswerMs = 2000;

// The part of gensio this file calls. gensio is loaded when the first network line opens,
// not with the program: it brings a dozen libraries along (Kerberos, SCTP, TCP wrappers),
// whose loading took some 3 ms of every start of the window. Filled once, before the
// servicing thread starts, and never changed after.
struct GensioApi
{
    decltype(&::gensio_default_os_hnd) defaultOsHandler = nullptr;
    decltype(&::gensio_os_funcs_alloc_waiter) allocWaiter = nullptr;
    decltype(&::gensio_os_funcs_wait) wait = nullptr;
    decltype(&::gensio_os_funcs_wake) wake = nullptr;
    decltype(&::gensio_os_funcs_free_waiter) freeWaiter = nullptr;
    decltype(&::gensio_os_funcs_free) freeOsHandler = nullptr;
    decltype(&::gensio_err_to_str) errorString = nullptr;
    decltype(&::str_to_gensio) fromString = nullptr;
    decltype(&::gensio_open) open = nullptr;
    decltype(&::gensio_set_read_callback_enable) enableRead = nullptr;
    decltype(&::gensio_set_write_callback_enable) enableWrite = nullptr;
    decltype(&::gensio_write) write = nullptr;
    decltype(&::gensio_close_s) closeWaiting = nullptr;
    decltype(&::gensio_free) free = nullptr;
    decltype(&::gensio_to_sergensio) serial = nullptr;
    decltype(&::sergensio_datasize) dataSize = nullptr;
    decltype(&::sergensio_parity) parity = nullptr;
    decltype(&::sergensio_stopbits) stopBits = nullptr;
    decltype(&::sergensio_baud) baud = nullptr;
};
GensioApi gensioApi;

// Loads gensio (the library of Debian's libgensio4, which brings its OS handler library) and
// takes every function of `api` from it. Empty when all are there, else what is missing.
QString loadGensio(GensioApi &api)
{
    static QLibrary library(QStringLiteral("gensio"), 4);
    if (!library.load())
        return NetworkLine::tr("网络串口需要 gensio 库（Debian 软件包 libgensio4）：%1")
                .arg(library.errorString());
    QString missing;
    const auto take = [&](auto &function, const char *name) {
        function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(
                library.resolve(name));
        if (!function && missing.isEmpty())
            missing = NetworkLine::tr("gensio 库缺少函数 %1").arg(QLatin1StringView(name));
    };
    take(api.defaultOsHandler, "gensio_default_os_hnd");
    take(api.allocWaiter, "gensio_os_funcs_alloc_waiter");
    take(api.wait, "gensio_os_funcs_wait");
    take(api.wake, "gensio_os_funcs_wake");
    take(api.freeWaiter, "gensio_os_funcs_free_waiter");
    take(api.freeOsHandler, "gensio_os_funcs_free");
    take(api.errorString, "gensio_err_to_str");
    take(api.fromString, "str_to_gensio");
    take(api.open, "gensio_open");
    take(api.enableRead, "gensio_set_read_callback_enable");
    take(api.enableWrite, "gensio_set_write_callback_enable");
    take(api.write, "gensio_write");
    take(api.closeWaiting, "gensio_close_s");
    take(api.free, "gensio_free");
    take(api.serial, "gensio_to_sergensio");
    take(api.dataSize, "sergensio_datasize");
    take(api.parity, "sergensio_parity");
    take(api.stopBits, "sergensio_stopbits");
    take(api.baud, "sergensio_baud");
    return missing;
}

// The process's one gensio OS handler, and the thread that services it: every
// gensio event of every network line runs there and is handed on. Other threads
// may call into gensio; the wake signal lets gensio interrupt the servicing
// thread when they add work. It has an empty handler, and gensio blocks it in
// the thread that sets it up and in every thread started after.
class GensioLoop
{
public:
    static GensioLoop &instance()
    {
        static GensioLoop loop;
        return loop;
    }
    gensio_os_funcs *os() const { return m_os; }
    /// Why there is no OS handler: gensio missing, or its own error.
    const QString &error() const { return m_error; }

private:
    GensioLoop()
    {
        m_error = loadGensio(gensioApi);
        if (!m_error.isEmpty())
            return;
        struct sigaction wake = {};
        wake.sa_handler = [](int) {};
        sigemptyset(&wake.sa_mask);
        sigaction(GENSIO_DEF_WAKE_SIG, &wake, nullptr);
        // A connection the far end has closed must fail a write, not end the program.
        std::signal(SIGPIPE, SIG_IGN);
        if (const int error = gensioApi.defaultOsHandler(GENSIO_DEF_WAKE_SIG, &m_os); error != 0) {
            m_os = nullptr;
            m_error = QString::fromUtf8(gensioApi.errorString(error));
            return;
        }
        m_stop = gensioApi.allocWaiter(m_os);
        m_thread = std::thread([this] { gensioApi.wait(m_os, m_stop, 1, nullptr); });
    }
    ~GensioLoop()
    {
        if (!m_os)
            return;
        gensioApi.wake(m_os, m_stop);
        m_thread.join();
        gensioApi.freeWaiter(m_os, m_stop);
        gensioApi.freeOsHandler(m_os);
    }

    gensio_os_funcs *m_os = nullptr;
    gensio_waiter *m_stop = nullptr;
    std::thread m_thread;
    QString m_error;
};

QString errorText(int error, const QString &host)
{
    switch (error) {
    case GE_CONNREFUSE:
        return NetworkLine::tr("对方拒绝连接（该端口上没有服务）");
    case GE_NOTFOUND:
    case GE_UNKNOWN_NAME_ERROR:
    case GE_NAME_ERROR:
    case GE_NAME_INVALID:
    case GE_NAME_SERVER_FAILURE:
        return NetworkLine::tr("找不到主机“%1”").arg(host);
    case GE_HOSTDOWN:
    case GE_NAME_NET_NOT_UP:
        return NetworkLine::tr("主机不可达");
    case GE_TIMEDOUT:
        return NetworkLine::tr("连接超时");
    case GE_REMCLOSE:
        return NetworkLine::tr("网关关闭了连接");
    case GE_NOTREADY:
        return NetworkLine::tr("连接还没有建立好");
    default:
        return QString::fromUtf8(gensioApi.errorString(error));
    }
}

} // namespace

std::optional<LineUrl> LineUrl::parse(QStringView text)
{
    static const QRegularExpression form(QStringLiteral(
            "^(socket|rfc2217)://(\\[[0-9A-Fa-f:.]+\\]|[A-Za-z0-9._-]+):([0-9]{1,5})$"),
                                         QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch match = form.match(text.toString());
    if (!match.hasMatch())
        return std::nullopt;
    const uint port = match.captured(3).toUInt();
    if (port == 0 || port > 65535)
        return std::nullopt;
    LineUrl url;
    url.kind = match.captured(1).compare(QLatin1String("rfc2217"), Qt::CaseInsensitive) == 0
            ? Kind::Rfc2217
            : Kind::Raw;
    url.host = match.captured(2);
    if (url.host.startsWith(QLatin1Char('[')))
        url.host = url.host.mid(1, url.host.size() - 2);
    url.port = quint16(port);
    return url;
}

bool LineUrl::looksLikeUrl(QStringView text)
{
    return text.contains(QLatin1String("://"));
}

QString LineUrl::text() const
{
    const QString shown = host.contains(QLatin1Char(':')) ? QStringLiteral("[%1]").arg(host) : host;
    return QStringLiteral("%1://%2:%3")
            .arg(kind == Kind::Rfc2217 ? QStringLiteral("rfc2217") : QStringLiteral("socket"), shown)
            .arg(port);
}

QString lineUrlProblem(QStringView text)
{
    if (LineUrl::parse(text))
        return {};
    return NetworkLine::tr("“%1”不是网络端口：应为 socket://主机:端口 或 rfc2217://主机:端口，"
                           "端口为 1 到 65535")
            .arg(text);
}

NetworkLine::NetworkLine(QObject *parent)
    : QObject(parent)
{
    m_openGuard.setSingleShot(true);
    connect(&m_openGuard, &QTimer::timeout, this, [this] {
        finishOpen(Failure{tr("%1 秒内没有连上").arg(m_openGuard.interval() / 1000.0)});
    });
}

NetworkLine::~NetworkLine()
{
    close();
}

void NetworkLine::waitUntil(const std::function<bool()> &done, int timeoutMs)
{
    // Only what does not come from the user is handled meanwhile: the window
    // paints, and no click can start something else on a line half open.
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < timeoutMs) {
        QEventLoop loop;
        QTimer::singleShot(int(qMax<qint64>(1, timeoutMs - clock.elapsed())), &loop,
                           &QEventLoop::quit);
        m_wake = &loop;
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        m_wake = nullptr;
    }
}

Status NetworkLine::waitForAnswer(int timeoutMs)
{
    waitUntil([this] { return m_answered; }, timeoutMs);
    if (!m_answered)
        return Failure{tr("%1 秒内没有应答").arg(timeoutMs / 1000.0)};
    if (m_answerError != 0)
        return Failure{errorText(m_answerError, m_url.host)};
    return Done{};
}

void NetworkLine::answer(int generation, int error, unsigned int value)
{
    if (generation != m_generation)
        return;
    if (m_stage != Stage::Idle) {
        openAnswered(error, value);
        return;
    }
    m_answered = true;
    m_answerError = error;
    m_answerValue = value;
    if (m_wake)
        m_wake->quit();
}

namespace {

int onEvent(gensio *io, void *user, int event, int error, unsigned char *buffer, gensiods *length,
            const char *const *)
{
    const auto *bridge = static_cast<const NetworkLine::Bridge *>(user);
    NetworkLine *line = bridge->line;
    const int generation = bridge->generation;
    switch (event) {
    case GENSIO_EVENT_READ:
        if (error != 0) {
            gensioApi.enableRead(io, false);
            QMetaObject::invokeMethod(
                    line,
                    [line, generation, reason = errorText(error, bridge->host)] {
                        line->connectionLost(generation, reason);
                    },
                    Qt::QueuedConnection);
            return 0;
        }
        if (*length > 0) {
            const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(*length));
            QMetaObject::invokeMethod(
                    line,
                    [line, generation, bytes, now = monotonicUs()] {
                        line->take(generation, bytes, now);
                    },
                    Qt::QueuedConnection);
        }
        return 0;
    case GENSIO_EVENT_WRITE_READY:
        gensioApi.enableWrite(io, false);
        QMetaObject::invokeMethod(
                line, [line, generation] { line->writable(generation); }, Qt::QueuedConnection);
        return 0;
    default:
        return GE_NOTSUP;
    }
}

// The connection is up, or failed; the gateway answered a line setting.
void handAnswer(void *user, int error, unsigned int value)
{
    const auto *bridge = static_cast<const NetworkLine::Bridge *>(user);
    QMetaObject::invokeMethod(
            bridge->line,
            [line = bridge->line, generation = bridge->generation, error, value] {
                line->answer(generation, error, value);
            },
            Qt::QueuedConnection);
}

void onOpened(gensio *, int error, void *user)
{
    handAnswer(user, error, 0);
}

void onRateSet(sergensio *, int error, unsigned int value, void *user)
{
    handAnswer(user, error, value);
}

} // namespace

Status NetworkLine::open(const LineUrl &url, qint32 baudRate, int timeoutMs)
{
    startOpen(url, baudRate, timeoutMs);
    // The opening's own guard ends it in time; this bound only backs it up.
    waitUntil([this] { return m_stage == Stage::Idle; }, timeoutMs + rateAnswerMs);
    if (m_stage != Stage::Idle)
        finishOpen(Failure{tr("%1 秒内没有连上").arg(timeoutMs / 1000.0)});
    return m_openStatus;
}

void NetworkLine::startOpen(const LineUrl &url, qint32 baudRate, int timeoutMs)
{
    close();
    m_url = url;
    m_openRate = baudRate;
    m_stage = Stage::Connecting;
    GensioLoop &loop = GensioLoop::instance();
    if (!loop.os()) {
        finishOpen(Failure{loop.error()});
        return;
    }
    m_bridge = std::make_unique<Bridge>(Bridge{this, m_generation, url.host});
    const QByteArray stack = QStringLiteral("%1tcp,%2,%3")
                                     .arg(url.setsRate() ? QStringLiteral("telnet(rfc2217),")
                                                         : QString(),
                                          url.host)
                                     .arg(url.port)
                                     .toUtf8();
    if (const int error = gensioApi.fromString(stack.constData(), loop.os(), onEvent,
                                               m_bridge.get(), &m_io);
        error != 0) {
        m_io = nullptr;
        finishOpen(Failure{errorText(error, url.host)});
        return;
    }
    // The connection: one TCP handshake, a round trip to the gateway.
    m_stageStartUs = monotonicUs();
    if (const int error = gensioApi.open(m_io, onOpened, m_bridge.get()); error != 0) {
        finishOpen(Failure{errorText(error, url.host)});
        return;
    }
    m_openGuard.start(timeoutMs);
}

void NetworkLine::finishOpen(const Status &status)
{
    m_openGuard.stop();
    m_stage = Stage::Idle;
    m_openStatus = status;
    if (!status)
        close();
    else
        qCDebug(lcNetwork) << "opened" << m_url.text() << "round trip" << m_roundTripUs << "us";
    if (m_wake)
        m_wake->quit();
    emit opened(status);
}

void NetworkLine::openAnswered(int error, unsigned int value)
{
    if (error != 0) {
        finishOpen(Failure{errorText(error, m_url.host)});
        return;
    }
    const qint64 now = monotonicUs();
    m_roundTripUs = now - m_stageStartUs;
    if (m_stage == Stage::SettingRate) {
        finishOpen(value == uint(m_openRate)
                           ? Status(Done{})
                           : Status(Failure{tr("网关没有接受 %1 波特，它的端口以 %2 波特运行")
                                                    .arg(m_openRate)
                                                    .arg(value)}));
        return;
    }
    // Reading is on from the start: the telnet layer negotiates in what it reads.
    gensioApi.enableRead(m_io, true);
    if (!m_url.setsRate()) {
        finishOpen(Done{});
        return;
    }
    // The line settings; the answer to the rate is the round trip through the
    // gateway to its port.
    sergensio *serial = gensioApi.serial(m_io);
    gensioApi.dataSize(serial, 8, nullptr, nullptr);
    gensioApi.parity(serial, SERGENSIO_PARITY_NONE, nullptr, nullptr);
    gensioApi.stopBits(serial, 1, nullptr, nullptr);
    m_stage = Stage::SettingRate;
    m_stageStartUs = now;
    if (const int failed = gensioApi.baud(serial, uint(m_openRate), onRateSet, m_bridge.get());
        failed != 0)
        finishOpen(Failure{errorText(failed, m_url.host)});
}

Status NetworkLine::setBaudRate(qint32 baudRate)
{
    if (!isOpen())
        return Failure{tr("网络端口没有打开")};
    if (!m_url.setsRate()) {
        return Failure{tr("socket:// 是原始 TCP 连接，线路速率由网关设定，这里不能更改"
                          "（要由本工具设定速率，请用 rfc2217://）")};
    }
    m_answered = false;
    if (const int error = gensioApi.baud(gensioApi.serial(m_io), uint(baudRate), onRateSet,
                                         m_bridge.get());
        error != 0)
        return Failure{errorText(error, m_url.host)};
    if (const Status answered = waitForAnswer(rateAnswerMs); !answered)
        return Failure{tr("网关没有接受 %1 波特（RFC 2217）：%2").arg(baudRate).arg(answered.error())};
    if (m_answerValue != uint(baudRate))
        return Failure{tr("网关没有接受 %1 波特，它的端口以 %2 波特运行").arg(baudRate).arg(m_answerValue)};
    return Done{};
}

void NetworkLine::close()
{
    // A new generation: whatever the old connection still posted is dropped.
    ++m_generation;
    m_openGuard.stop();
    if (m_stage != Stage::Idle) { // an opening in progress ends here
        m_stage = Stage::Idle;
        m_openStatus = Failure{tr("网络端口在打开途中被关闭")};
    }
    if (m_io) {
        gensioApi.closeWaiting(m_io); // no callback comes after this
        gensioApi.free(m_io);
        m_io = nullptr;
    }
    m_bridge.reset();
    m_out.clear();
    m_lost = false;
    if (m_wake)
        m_wake->quit();
}

bool NetworkLine::write(const QByteArray &bytes)
{
    if (!isOpen())
        return false;
    m_out += bytes;
    pump();
    return true;
}

void NetworkLine::pump()
{
    if (!isOpen() || m_out.isEmpty())
        return;
    gensiods count = 0;
    if (const int error = gensioApi.write(m_io, &count, m_out.constData(), gensiods(m_out.size()),
                                       nullptr);
        error != 0) {
        connectionLost(m_generation, errorText(error, m_url.host));
        return;
    }
    m_out.remove(0, qsizetype(count));
    if (count > 0)
        emit bytesWritten(qint64(count));
    if (!m_out.isEmpty())
        gensioApi.enableWrite(m_io, true);
}

void NetworkLine::writable(int generation)
{
    if (generation == m_generation)
        pump();
}

void NetworkLine::take(int generation, const QByteArray &bytes, qint64 arrivalUs)
{
    if (generation == m_generation && isOpen())
        emit received(bytes, arrivalUs);
}

void NetworkLine::connectionLost(int generation, const QString &reason)
{
    if (generation != m_generation || !isOpen())
        return;
    m_lost = true;
    qCWarning(lcNetwork) << "lost" << m_url.text() << reason;
    emit lost(reason);
}
