#pragma once

#include "exchange_pairing.h"
#include "reply_framer.h"
#include "util/result.h"

#include <QByteArray>
#include <QFile>
#include <QObject>
#include <QString>
#include <QTimer>

// Writes what went over the line to a file: every frame sent, every reply with
// its verdict and response time, every time-out, every stretch of noise and
// every event of the link, each with its time to the millisecond. A name ending
// in ".csv" gets CSV with a header row (UTF-8 with a byte-order mark, so that
// spreadsheets read the descriptions right); any other name a readable log, one
// line per event:
//
//   2026-12-06 21:54:10.123 TX 01 26 00 3A 60  查询运动初速度:
//
// Lines are gathered in memory and written at least once a second, so that the
// window never waits on the disk. A write that fails stops the capture; what
// was written stays.
class CaptureWriter : public QObject
{
    Q_OBJECT

public:
    enum class Format { Text, Csv };
    static Format formatFor(const QString &path);

    explicit CaptureWriter(QObject *parent = nullptr);
    ~CaptureWriter() override;

    /// Starts a new capture into \a path (an existing file is replaced).
    Status start(const QString &path);
    /// Writes what is gathered and closes the file.
    void stop();
    bool isActive() const { return m_file.isOpen(); }
    QString path() const { return m_file.fileName(); }
    Format format() const { return m_format; }

    /// The mode that names the frames' codes (ASCII frames spell theirs).
    void setMode(CommMode mode) { m_mode = mode; }

    // Each takes the event's time on the monotonic clock.
    void frameSent(const QByteArray &frame, qint64 atUs);
    /// Listening: a request another master wrote ("REQ").
    void requestHeard(const RxEvent &request);
    void exchangeSettled(const Exchange &exchange);
    void bytesDiscarded(const RxEvent &event);
    /// A line of the link's own: a stall, a lost or restored device.
    void linkEvent(const QString &text, qint64 atUs);

    /// Writes what is gathered now (the timer does it every second).
    void flush();

signals:
    /// The capture stopped because a write failed; the message names the file
    /// and the reason.
    void failed(const QString &message);

private:
    void record(qint64 atUs, const char *direction, QByteArrayView bytes,
                const QString &description, const QString &verdict = {}, qint64 responseUs = -1);

    QFile m_file;
    Format m_format = Format::Text;
    CommMode m_mode = CommMode::Rtu;
    QByteArray m_pending;
    QTimer m_flushTimer;
    qint64 m_wallOffsetUs = 0; // wall-clock time minus monotonic time
};
