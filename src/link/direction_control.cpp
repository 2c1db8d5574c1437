#include "direction_control.h"

#ifdef Q_OS_UNIX
#include <linux/serial.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#endif

Result<DirectionMode> DirectionControl::enable(ModemLines &lines)
{
    if (lines.enableKernelRs485())
        return DirectionMode::Kernel;
    if (lines.setRts(false))
        return DirectionMode::Rts;
    return Failure{tr("这个端口不能做 RS-485 方向控制：驱动没有内核 RS-485 模式，也不能控制 RTS 线"
                      "（伪终端和网络端口都没有 RTS）")};
}

void DirectionControl::disable(ModemLines &lines, DirectionMode mode)
{
    if (mode == DirectionMode::Kernel)
        lines.disableKernelRs485();
    else if (mode == DirectionMode::Rts)
        lines.setRts(false);
}

bool DirectionControl::send(ModemLines &lines, DirectionMode mode, QByteArrayView frame)
{
    if (mode != DirectionMode::Rts)
        return lines.write(frame);
    // The bus is ours from before the first bit until after the last: only the
    // drain says the UART has sent it.
    lines.setRts(true);
    const bool written = lines.write(frame) && lines.drain();
    lines.setRts(false);
    return written;
}

#ifdef Q_OS_UNIX
bool FdModemLines::enableKernelRs485()
{
    serial_rs485 settings = {};
    if (::ioctl(m_fd, TIOCGRS485, &settings) != 0)
        return false;
    settings.flags |= SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND;
    settings.flags &= ~SER_RS485_RTS_AFTER_SEND;
    return ::ioctl(m_fd, TIOCSRS485, &settings) == 0;
}

void FdModemLines::disableKernelRs485()
{
    serial_rs485 settings = {};
    if (::ioctl(m_fd, TIOCGRS485, &settings) != 0)
        return;
    settings.flags &= ~SER_RS485_ENABLED;
    ::ioctl(m_fd, TIOCSRS485, &settings);
}

bool FdModemLines::setRts(bool on)
{
    int line = TIOCM_RTS;
    return ::ioctl(m_fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0;
}

bool FdModemLines::write(QByteArrayView bytes)
{
    // The device is non-blocking: what it does not take now, it takes once writable.
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        pollfd writable{m_fd, POLLOUT, 0};
        if (::poll(&writable, 1, 2000) <= 0)
            return false;
    }
    return true;
}

bool FdModemLines::drain()
{
    return ::tcdrain(m_fd) == 0;
}
#endif
