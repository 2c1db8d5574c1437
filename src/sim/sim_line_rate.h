#pragma once

#include <QtGlobal>

// The baud rate a program has set on a terminal, read the way the kernel keeps it.
// cfgetospeed() only knows the B9600-style constants, and there is none for 14400:
// QSerialPort sets such a rate as BOTHER with the number beside it, which only the
// kernel's termios2 (TCGETS2) reports. Its own file because <asm/termbits.h>, which
// declares termios2, clashes with <termios.h>.

/// The output baud rate set on the terminal \a fd (either side of a pseudo-terminal
/// reports the terminal side's), or 0 when it cannot be read.
qint32 terminalBaudRate(int fd);
