#pragma once

// A kernel pseudo-terminal pair for serial tests: the code under test opens the
// terminal side's device path like any serial port; the test plays the far end,
// reading what was written and writing replies.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <utility>

class PtyPair
{
public:
    PtyPair()
    {
        termios raw{};
        cfmakeraw(&raw);
        char name[256] = {};
        // The terminal side stays open here too, so that the far end sees no
        // hang-up while the code under test closes and reopens it.
        if (openpty(&m_far, &m_terminal, name, &raw, nullptr) != 0)
            return;
        m_path = QString::fromLocal8Bit(name);
        fcntl(m_far, F_SETFL, fcntl(m_far, F_GETFL) | O_NONBLOCK);
    }
    ~PtyPair()
    {
        closeFarEnd();
        closeTerminal();
    }
    Q_DISABLE_COPY_MOVE(PtyPair)

    bool isValid() const { return m_far >= 0; }
    /// The device path the code under test opens.
    QString path() const { return m_path; }

    /// Writes \a bytes at the far end.
    bool write(const QByteArray &bytes)
    {
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_far, bytes.data() + done, size_t(bytes.size() - done));
            pollfd p{m_far, POLLOUT, 0};
            if (n > 0)
                done += n;
            else if (::poll(&p, 1, 2000) <= 0)
                return false;
        }
        return true;
    }

    /// Reads what arrived at the far end until \a expected bytes are there or
    /// \a timeoutMs passed; the code under test writes synchronously, so this
    /// waits only for the kernel.
    QByteArray read(qsizetype expected, int timeoutMs = 2000)
    {
        QByteArray bytes;
        QDeadlineTimer deadline(timeoutMs);
        char buffer[4096];
        while (bytes.size() < expected) {
            const ssize_t n = ::read(m_far, buffer, sizeof buffer);
            pollfd p{m_far, POLLIN, 0};
            if (n > 0)
                bytes.append(buffer, n);
            else if (::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime()))) <= 0)
                break;
        }
        return bytes;
    }

    /// Everything that is waiting at the far end right now.
    QByteArray readAvailable() { return read(1 << 30, 0); }

    /// Hangs up the far end: the terminal side then fails like a pulled adapter.
    void closeFarEnd() { closeFd(m_far); }
    void closeTerminal() { closeFd(m_terminal); }

private:
    static void closeFd(int &fd)
    {
        if (fd >= 0)
            ::close(std::exchange(fd, -1));
    }

    int m_far = -1;
    int m_terminal = -1;
    QString m_path;
};
