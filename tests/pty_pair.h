#pragma once

// A kernel pseudo-terminal pair: the code under test opens path(), the test plays the far end.

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
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
        // The terminal side stays open here too, so that the far end sees no hang-up while
        // the code under test closes and reopens it.
        if (openpty(&m_far, &m_terminal, name, &raw, nullptr) == 0)
            fcntl(m_far, F_SETFL, O_NONBLOCK);
        m_path = QString::fromLocal8Bit(name);
    }
    ~PtyPair()
    {
        closeFarEnd();
        closeTerminal();
    }
    Q_DISABLE_COPY_MOVE(PtyPair)

    QString path() const { return m_path; }

    bool write(const QByteArray &bytes)
    {
        pollfd p{m_far, POLLOUT, 0};
        for (qsizetype done = 0; done < bytes.size();) {
            const ssize_t n = ::write(m_far, bytes.data() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (::poll(&p, 1, 2000) <= 0)
                return false;
        }
        return true;
    }

    /// Reads at the far end until \a expected bytes are there or \a timeoutMs passed.
    QByteArray read(qsizetype expected, int timeoutMs = 2000)
    {
        QByteArray bytes;
        char buffer[4096];
        pollfd p{m_far, POLLIN, 0};
        for (QDeadlineTimer deadline(timeoutMs); bytes.size() < expected;) {
            const ssize_t n = ::read(m_far, buffer, sizeof buffer);
            if (n > 0)
                bytes.append(buffer, n);
            else if (::poll(&p, 1, int(qMax<qint64>(0, deadline.remainingTime()))) <= 0)
                break;
        }
        return bytes;
    }
    QByteArray readAvailable() { return read(1 << 30, 0); }
    /// Reads at the far end until \a expected bytes are there, running the event loop
    /// meanwhile: for a writer in the test's own thread.
    QByteArray collect(qsizetype expected, int timeoutMs = 5000)
    {
        QByteArray bytes = readAvailable();
        static_cast<void>(QTest::qWaitFor(
                [&] { return (bytes += readAvailable()).size() >= expected; }, timeoutMs));
        return bytes;
    }

    /// Hangs up the far end: the terminal side then fails like a pulled adapter.
    void closeFarEnd() { close(m_far); }
    void closeTerminal() { close(m_terminal); }

private:
    static void close(int &fd) { ::close(std::exchange(fd, -1)); } // -1: does nothing

    int m_far = -1;
    int m_terminal = -1;
    QString m_path;
};
