#pragma once

#include <QByteArray>
#include <QLoggingCategory>
#include <QObject>

class QSocketNotifier;

// Diagnostics of the simulated controller: dropped bytes, ignored frames, IO
// table commands, the server's port events. Debug messages are off unless
// QT_LOGGING_RULES turns them on ("stepperbench.sim.debug=true").
Q_DECLARE_LOGGING_CATEGORY(lcSim)

// A stream the simulator logs to (standard output or error) written so that it
// never holds up serving: a reader that stops reading ("stepperbench-sim | less"
// left on one page) costs log lines, not replies. Lines wait in a small buffer
// while the stream is full; beyond it they are dropped and counted, and once the
// stream takes bytes again a line "N log lines dropped" stands where they were.
// A stream whose reader is gone (EPIPE) is given up with one warning.
class SimLogOutput : public QObject
{
    Q_OBJECT

public:
    /// Writes to \a fd from now on without ever waiting for its reader.
    explicit SimLogOutput(int fd, QObject *parent = nullptr);
    ~SimLogOutput() override;

    /// Writes \a line and a newline now, or later, or counts it as dropped.
    void writeLine(const QString &line);
    /// All lines dropped so far, whether their count was written yet or not.
    qint64 droppedLines() const { return m_droppedTotal; }

private:
    void flush();

    int m_fd = -1;
    int m_restoreFlags = -1; // the stream's flags to put back at exit, if changed
    bool m_broken = false;
    QByteArray m_pending;
    qint64 m_dropped = 0; // since the last count went into m_pending
    qint64 m_droppedTotal = 0;
    QSocketNotifier *m_writable = nullptr;
};
