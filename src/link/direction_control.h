#pragma once

#include "util/result.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QString>

// RS-485 direction control: a two-wire adapter drives the bus only while RTS
// is raised, so RTS goes up before a frame and down once its last bit has left
// the UART. Where the driver has the kernel's RS-485 mode (TIOCSRS485), the
// kernel does it, with its own delays; otherwise the tool does, with tcdrain
// after the write.

/// What direction control needs of a port. The serial device's is fdModemLines;
/// tests give one that records the calls.
class ModemLines
{
public:
    virtual ~ModemLines() = default;
    /// Switches the kernel's RS-485 mode on (RTS raised while sending); false
    /// when the driver has none.
    virtual bool enableKernelRs485() = 0;
    /// Switches it off again.
    virtual void disableKernelRs485() = 0;
    /// Raises or drops RTS; false when the port has no such line.
    virtual bool setRts(bool on) = 0;
    /// Writes all of \a bytes to the driver; false when it refused them.
    virtual bool write(QByteArrayView bytes) = 0;
    /// Waits until everything written has left the UART.
    virtual bool drain() = 0;
};

/// How frames are sent.
enum class DirectionMode {
    Off, // as they come: the adapter switches by itself, or the bus is RS-232/422
    Kernel, // the driver raises RTS around each frame
    Rts, // the tool raises RTS, writes, drains, and drops RTS
};

class DirectionControl
{
    Q_DECLARE_TR_FUNCTIONS(DirectionControl)

public:
    /// Switches direction control on for \a lines: the kernel's mode where the
    /// driver has it, else RTS by hand. A port with neither gives the message.
    static Result<DirectionMode> enable(ModemLines &lines);
    /// Switches it off again, RTS dropped.
    static void disable(ModemLines &lines, DirectionMode mode);
    /// Sends \a frame whole in \a mode: for Rts, RTS up, the write, the drain,
    /// RTS down, even when the write failed. Blocks for the frame's time on the
    /// wire. False when the port refused the bytes.
    static bool send(ModemLines &lines, DirectionMode mode, QByteArrayView frame);
};

#ifdef Q_OS_UNIX
/// The modem lines of the open serial device \a fd, through ioctl and tcdrain.
class FdModemLines : public ModemLines
{
public:
    explicit FdModemLines(int fd)
        : m_fd(fd)
    { }
    bool enableKernelRs485() override;
    void disableKernelRs485() override;
    bool setRts(bool on) override;
    bool write(QByteArrayView bytes) override;
    bool drain() override;

private:
    int m_fd;
};
#endif
