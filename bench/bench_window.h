#pragma once

// The real window for the benchmarks: COM1 open on a pseudo-terminal whose far
// end the benchmark plays, a count of the bytes the window showed, and the
// event loop's heartbeat.

#include "dialogs.h"
#include "frm_main.h"
#include "link/mscomm.h"
#include "pty_pair.h"

#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <memory>

struct WindowOnPty
{
    WindowOnPty()
    {
        window.portNames().setMapping(1, pty.path());
        window.show();
        window.findChild<QPushButton *>(QStringLiteral("Command32"))->click();
        comm = window.findChild<MSComm *>(QStringLiteral("MSComm1"));
        QObject::connect(&window, &FrmMain::blockShown, [this](qsizetype n) { shown += n; });
    }

    PtyPair pty;
    FrmMain window;
    MSComm *comm = nullptr;
    qint64 shown = 0; // bytes through ShowReceived
};

/// Captures the window's traffic into \a path through its own button, as a
/// user would; stopCapture() ends it and gives the number of lines of each
/// direction ("TX", "RX", "NOISE" ...) in the file.
struct CaptureDialogs : Dialogs
{
    explicit CaptureDialogs(QString path)
        : m_path(std::move(path))
    { }
    QString saveFileName(QWidget *, const QString &, const QString &) override { return m_path; }
    QString m_path;
};

inline void startCapture(FrmMain &window, const QString &path)
{
    window.setDialogs(std::make_unique<CaptureDialogs>(path));
    window.findChild<QPushButton *>(QStringLiteral("captureButton"))->click();
}

inline QHash<QByteArray, qint64> stopCapture(FrmMain &window, const QString &path)
{
    window.findChild<QPushButton *>(QStringLiteral("captureButton"))->click();
    QHash<QByteArray, qint64> lines;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly)) {
        while (!file.atEnd())
            ++lines[file.readLine().split(' ').value(2)];
    }
    return lines;
}

/// Ticks every millisecond and keeps the longest gap between two ticks: how
/// long the event loop was kept from running. \a onBeat sees the elapsed time.
class Heartbeat
{
public:
    explicit Heartbeat(std::function<void(qint64 elapsedMs)> onBeat)
        : m_onBeat(std::move(onBeat))
    {
        m_timer.setTimerType(Qt::PreciseTimer);
        m_timer.setInterval(1);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.elapsed();
            m_longestStallMs = qMax(m_longestStallMs, now - m_lastBeat);
            m_lastBeat = now;
            m_onBeat(now);
        });
    }

    void start()
    {
        m_clock.start();
        m_lastBeat = 0;
        m_timer.start();
    }
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    qint64 longestStallMs() const { return m_longestStallMs; }

private:
    std::function<void(qint64)> m_onBeat;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_lastBeat = 0;
    qint64 m_longestStallMs = 0;
};
