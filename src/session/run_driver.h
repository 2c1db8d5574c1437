#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

// Replays a command list on a timer: one line per tick, frame lines sent
// through the caller's send path, delay lines changing the wait, jump lines the
// order (runLoopStep). The window's list and `stepperbench-cli run` both run
// through it.
//
// A run starts at line 0 and its first line goes one interval after the start.
// While the line is stalled (it takes no byte) a tick sends nothing and the run
// stays where it is; it goes on once the line drains. An interval of 0 halts the
// run: no further tick comes until it is started again. A pass is done whenever
// the run goes back: the last line wraps to the first, or a jump leads to the
// line just executed or one before it.
class RunDriver : public QObject
{
    Q_OBJECT

public:
    /// The list as it stands at each tick: its line count and a line's text.
    struct Lines
    {
        std::function<int()> count;
        std::function<QString(int)> at;
    };
    /// Sends a frame line's bytes; false when they could not be handed over.
    using Send = std::function<bool(const QByteArray &frame)>;
    /// The default interval at the moment of a tick; nothing when out of range.
    using DefaultInterval = std::function<std::optional<int>()>;
    /// True while nothing should be sent (a stalled line).
    using Paused = std::function<bool()>;

    RunDriver(Lines lines, Send send, DefaultInterval defaultInterval, Paused paused,
              QObject *parent = nullptr);

    /// The timer whose ticks run the list (its object name is the caller's).
    QTimer &timer() { return *m_timer; }
    /// The line the next tick executes: the caller may keep it where others see it.
    void setLineVariable(qint16 *line) { m_line = line ? line : &m_ownLine; }
    qint16 line() const { return *m_line; }

    /// Starts at line 0 with \a intervalMs until the first tick (0: none comes).
    void start(int intervalMs);
    void stop();
    bool isRunning() const { return m_running; }
    /// Passes done since the start.
    int passes() const { return m_passes; }

public slots:
    /// One tick: executes the line, then sets the wait until the next one.
    void step();

signals:
    /// A pass through the list is done (\a passes in all).
    void passDone(int passes);
    /// A tick set an interval of 0: no further tick comes.
    void halted();
    /// A frame line could not be handed to the send path.
    void sendFailed();

private:
    void setInterval(int intervalMs);

    Lines m_lines;
    Send m_send;
    DefaultInterval m_defaultInterval;
    Paused m_paused;
    QTimer *m_timer = new QTimer(this); // a child: found by its name
    qint16 m_ownLine = 0;
    qint16 *m_line = &m_ownLine;
    int m_passes = 0;
    bool m_running = false;
    bool m_inStep = false;
};
