#include "sim_line_rate.h"

#include <asm/termbits.h>
#include <sys/ioctl.h>

qint32 terminalBaudRate(int fd)
{
    termios2 settings{};
    if (fd < 0 || ::ioctl(fd, TCGETS2, &settings) != 0)
        return 0;
    // The kernel fills in the number for the B... constants too.
    return qint32(settings.c_ospeed);
}
