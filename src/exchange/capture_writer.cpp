#include "capture_writer.h"

#include "exchange_stats.h"
#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"
#include "util/error_text.h"
#include "util/monotonic_clock.h"

#include <QDateTime>

namespace {

constexpr int flushIntervalMs = 1000;
constexpr qsizetype flushAtBytes = 256 * 1024;

QByteArray csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n'))
        return text.toUtf8();
    QString quoted = text;
    quoted.replace(u'"', QStringLiteral("\"\""));
    return '"' + quoted.toUtf8() + '"';
}

} // namespace

CaptureWriter::Format CaptureWriter::formatFor(const QString &path)
{
    return path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive) ? Format::Csv : Format::Text;
}

CaptureWriter::CaptureWriter(QObject *parent)
    : QObject(parent)
{
    m_flushTimer.setInterval(flushIntervalMs);
    connect(&m_flushTimer, &QTimer::timeout, this, &CaptureWriter::flush);
}

CaptureWriter::~CaptureWriter()
{
    stop();
}

Status CaptureWriter::start(const QString &path)
{
    stop();
    m_file.setFileName(path);
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return Failure{tr("无法创建捕获文件 %1：%2").arg(path, fileErrorText(m_file, true))};
    m_format = formatFor(path);
    m_wallOffsetUs = QDateTime::currentMSecsSinceEpoch() * 1000 - monotonicUs();
    m_pending.clear();
    if (m_format == Format::Csv)
        m_pending = "\xEF\xBB\xBFtime,direction,bytes,description,verdict,response_ms\r\n";
    m_flushTimer.start();
    return Done{};
}

void CaptureWriter::stop()
{
    if (!m_file.isOpen())
        return;
    flush();
    m_flushTimer.stop();
    m_file.close();
}

void CaptureWriter::flush()
{
    if (!m_file.isOpen() || m_pending.isEmpty())
        return;
    const qint64 written = m_file.write(m_pending);
    if (written == m_pending.size() && m_file.flush()) {
        m_pending.clear();
        return;
    }
    const QString message = tr("捕获文件 %1 写入失败，捕获已停止：%2")
                                    .arg(m_file.fileName(), fileErrorText(m_file, true));
    m_pending.clear();
    m_flushTimer.stop();
    m_file.close();
    emit failed(message);
}

void CaptureWriter::frameSent(const QByteArray &frame, qint64 atUs)
{
    record(atUs, "TX", frame, describeSentFrame(frame).value_or(QString()));
}

void CaptureWriter::requestHeard(const RxEvent &request)
{
    record(request.lastUs, "REQ", request.bytes,
           describeSentFrame(request.bytes).value_or(QString()),
           request.checkOk ? QString() : verdictText(Verdict::BadCheck));
}

void CaptureWriter::exchangeSettled(const Exchange &exchange)
{
    const QString verdict = verdictText(exchange.verdict, exchange.exceptionCode);
    switch (exchange.verdict) {
    case Verdict::NoReply:
        return; // its frame was written when it was sent
    case Verdict::Timeout:
        record(monotonicUs(), "TO", exchange.request,
               describeSentFrame(exchange.request).value_or(QString()), verdict);
        return;
    default:
        record(exchange.repliedUs, "RX", exchange.reply,
               decodeReceived(exchange.reply, m_mode).description.value_or(QString()), verdict,
               exchange.responseUs());
        return;
    }
}

void CaptureWriter::bytesDiscarded(const RxEvent &event)
{
    if (event.kind == RxEvent::Echo)
        record(event.lastUs, "ECHO", event.bytes, tr("回波"));
    else
        record(event.lastUs, "NOISE", event.bytes, tr("噪声"));
}

void CaptureWriter::linkEvent(const QString &text, qint64 atUs)
{
    record(atUs, "LINK", {}, text);
}

void CaptureWriter::record(qint64 atUs, const char *direction, QByteArrayView bytes,
                           const QString &description, const QString &verdict, qint64 responseUs)
{
    if (!m_file.isOpen())
        return;
    const QDateTime wall = QDateTime::fromMSecsSinceEpoch((atUs + m_wallOffsetUs) / 1000);
    const QByteArray time = wall.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz")).toLatin1();
    const QByteArray hex = bytes.toByteArray().toHex(' ').toUpper();
    const QByteArray response = responseUs >= 0 ? millisecondsText(responseUs).toLatin1()
                                                : QByteArray();
    if (m_format == Format::Csv) {
        m_pending += time + ',' + direction + ',' + hex + ',' + csvField(description) + ','
                + csvField(verdict) + ',' + response + "\r\n";
    } else {
        QByteArray line = time + ' ' + direction;
        if (!hex.isEmpty())
            line += ' ' + hex;
        if (!description.isEmpty())
            line += "  " + description.toUtf8();
        if (!verdict.isEmpty())
            line += "  " + verdict.toUtf8();
        if (!response.isEmpty())
            line += "  " + response + " ms";
        m_pending += line + '\n';
    }
    if (m_pending.size() >= flushAtBytes)
        flush();
}
