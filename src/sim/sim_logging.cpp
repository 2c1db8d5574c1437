#include "sim_logging.h"

#include <QDateTime>
#include <QSocketNotifier>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

Q_LOGGING_CATEGORY(lcSim, "stepperbench.sim", QtInfoMsg)

namespace {

// Enough for a burst while a terminal catches up; a reader that stopped for
// good costs this much memory and no more.
constexpr qsizetype maxPending = 16 * 1024;

} // namespace

SimLogOutput::SimLogOutput(int fd, QObject *parent)
    : QObject(parent)
    , m_fd(fd)
{
    struct stat status
    { };
    if (::fstat(fd, &status) != 0 || S_ISREG(status.st_mode) || S_ISBLK(status.st_mode))
        return; // a file never waits for a reader (and reopening would lose its offset)

    // O_NONBLOCK belongs to the open file description, and a terminal shares
    // its description with the shell and whatever runs in the foreground: their
    // reads would fail with EAGAIN. So the stream is opened afresh through /proc,
    // which gives this process a description of its own. A socket cannot be
    // reopened that way and gets the flag on the shared description, put back
    // at exit; a terminal that cannot be reopened stays blocking.
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(fd);
    const int own = ::open(self.constData(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (own >= 0) {
        ::dup2(own, fd);
        ::close(own);
    } else if (!::isatty(fd)) {
        m_restoreFlags = ::fcntl(fd, F_GETFL);
        ::fcntl(fd, F_SETFL, m_restoreFlags | O_NONBLOCK);
    }
    m_writable = new QSocketNotifier(fd, QSocketNotifier::Write, this);
    m_writable->setEnabled(false);
    connect(m_writable, &QSocketNotifier::activated, this, &SimLogOutput::flush);
}

SimLogOutput::~SimLogOutput()
{
    if (m_restoreFlags >= 0)
        ::fcntl(m_fd, F_SETFL, m_restoreFlags);
}

void SimLogOutput::writeLine(const QString &line)
{
    if (m_broken)
        return;
    const QByteArray bytes = line.toLocal8Bit() + '\n';
    // Once a line is dropped, the rest wait for the count to go out first, so
    // that it stands where the gap is.
    if (m_dropped > 0 || m_pending.size() + bytes.size() > maxPending) {
        ++m_dropped;
        ++m_droppedTotal;
        return;
    }
    m_pending += bytes;
    flush();
}

void SimLogOutput::flush()
{
    while (!m_pending.isEmpty()) {
        const ssize_t n = ::write(m_fd, m_pending.constData(), size_t(m_pending.size()));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n < 0) {
            const int error = errno;
            m_broken = true;
            m_pending.clear();
            // The warning may be for this very stream (standard error): it is
            // given up first, so the warning goes nowhere rather than round.
            qCWarning(lcSim).noquote()
                    << QStringLiteral("%1 failed (%2); nothing more is printed there")
                               .arg(m_fd == STDOUT_FILENO ? QStringLiteral("standard output")
                                                          : QStringLiteral("standard error"),
                                    QString::fromLocal8Bit(std::strerror(error)));
            break;
        }
        m_pending.remove(0, n);
        if (m_pending.isEmpty() && m_dropped > 0) {
            m_pending = QStringLiteral("%1 %2 log lines dropped\n")
                                .arg(QDateTime::currentDateTime().toString(Qt::ISODateWithMs))
                                .arg(m_dropped)
                                .toLocal8Bit();
            m_dropped = 0;
        }
    }
    if (m_writable)
        m_writable->setEnabled(!m_pending.isEmpty());
}
