#pragma once

#include "session/link_session.h"
#include "util/result.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QString>

#include <optional>

// One stepperbench-cli run over a LinkSession, the window's own: every exchange
// that settles is printed as one line on standard output (and captured, when
// asked). The commands send through send() only, and end the run with finish();
// a port that goes away or stops taking bytes ends it with ExitUsage.
class CliSession : public QObject
{
    Q_OBJECT

public:
    /// A session that frames in \a mode and times replies out after \a replyTimeoutMs.
    CliSession(CommMode mode, int replyTimeoutMs, QObject *parent = nullptr);
    /// Clears the progress line and closes the capture with everything written.
    ~CliSession() override;

    /// Opens the device \a path at \a baudRate: a path, or a name under /dev
    /// ("ttyUSB0") unless a file of that name is here. The message names the port.
    Status open(const QString &path, qint32 baudRate);
    /// Captures every frame, reply and time-out into \a path from now on (CSV
    /// when it ends in ".csv", else a text log); the message names the file.
    Status startCapture(const QString &path);

    /// Whether every exchange is printed as a line (the default); a test prints its steps.
    void setPrintExchanges(bool on) { m_printExchanges = on; }

    /// The one send path: hands \a frame to the port. False, with a message on
    /// standard error, when the port refused it.
    bool send(const QByteArray &frame);
    /// Switches the open port to \a rate; false, with a message, when refused.
    bool setRate(qint32 rate);

    /// The link, the exchange layer and the capture.
    LinkSession &session() { return m_session; }
    /// The serial link, for what listens to the bytes as they arrive.
    MSComm &link() { return m_session.link(); }
    /// The framer and pairing every byte and frame goes through.
    ExchangeMonitor &exchanges() { return m_session.exchanges(); }
    /// The counts and response times of every exchange so far.
    const ExchangeStats &stats() const { return m_session.stats(); }

    /// Runs the event loop until finish(), and gives its exit status. A finish()
    /// that came before returns at once.
    int exec();
    /// Ends the run with \a exitStatus; only the first call counts. What the
    /// capture holds is written first: a capture that fails ends it with ExitUsage.
    /// After SIGINT or SIGTERM the status is 128 plus the signal's number.
    void finish(int exitStatus);
    /// SIGINT or SIGTERM came: the command ends with its summary line.
    bool isInterrupted() const { return m_signal != 0; }

    /// Waits until every request written has its reply or its time-out, so that
    /// the last exchanges are printed before the summary, and for the noise after them to be
    /// counted unless the line never falls silent; \a limitMs, when not negative, bounds
    /// the wait (a run for a set time ends on time).
    void settle(qint64 limitMs = -1);

    /// One line on standard output.
    void print(const QString &line);
    /// One message on standard error, after the program's name.
    void warn(const QString &message);
    /// The progress line on standard error, redrawn in place; shown only when
    /// standard error is a terminal, and at most ten times a second.
    void progress(const QString &text);

    /// The exchange counts and response times, for the summary line.
    QString statsText() const;

signals:
    /// SIGINT or SIGTERM came; the command should end as it ends by itself.
    void interrupted();

private:
    void watchSignals();
    void printExchange(const Exchange &exchange);
    void linkFailed(const QString &message);
    void clearProgress();

    LinkSession m_session;
    qint64 m_wallOffsetUs = 0; // wall-clock time minus monotonic time
    QEventLoop *m_loop = nullptr;
    std::optional<int> m_exitStatus;
    int m_signal = 0; // the signal that ends the run, 0 while none came
    bool m_progressOn = false; // standard error is a terminal
    bool m_stdoutTerminal = false; // a progress line there must make way for output lines
    bool m_progressShown = false;
    bool m_printExchanges = true;
    QElapsedTimer m_progressTimer;
};
