#include "run_driver.h"

#include "sequencer/run_loop.h"

#include <utility>

RunDriver::RunDriver(Lines lines, Send send, DefaultInterval defaultInterval, Paused paused,
                     QObject *parent)
    : QObject(parent)
    , m_lines(std::move(lines))
    , m_send(std::move(send))
    , m_defaultInterval(std::move(defaultInterval))
    , m_paused(std::move(paused))
{
    m_timer->setTimerType(Qt::PreciseTimer);
    m_timer->setInterval(1000);
    connect(m_timer, &QTimer::timeout, this, &RunDriver::step);
}

void RunDriver::start(int intervalMs)
{
    *m_line = 0;
    m_passes = 0;
    m_running = true;
    setInterval(intervalMs);
}

void RunDriver::stop()
{
    m_running = false;
    m_timer->stop();
}

void RunDriver::setInterval(int intervalMs)
{
    // An interval of 0 means no further tick (a Qt timer would fire at once).
    if (intervalMs == 0) {
        m_timer->stop();
        emit halted();
    } else {
        m_timer->start(intervalMs); // restarts the countdown
    }
}

void RunDriver::step()
{
    // A send may show a message box, whose event loop delivers ticks: a tick
    // then must not start a second step inside the first.
    if (m_inStep || (m_paused && m_paused()))
        return;
    m_inStep = true;
    const int count = m_lines.count();
    const qint16 executed = *m_line;
    const RunStep next = runLoopStep(executed, count, m_lines.at, m_defaultInterval());
    const bool sent = next.frame.isEmpty() || m_send(next.frame);
    *m_line = next.nextLine;
    m_inStep = false;
    if (!sent) {
        emit sendFailed();
        if (!m_running)
            return;
    }
    if (executed >= 0 && executed < count && next.nextLine <= executed)
        emit passDone(++m_passes);
    if (m_running)
        setInterval(next.intervalMs);
}
