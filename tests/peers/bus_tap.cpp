// A shared RS-485 line for the tests:   bus_tap [--noise]
// Three pseudo-terminal pairs; prints "master=PATH slave=PATH tap=PATH". What the
// master side writes reaches the slave side and back, and the tap hears both, in
// the order they were read here. --noise: on every 5th read from the slave side,
// 3 bytes of noise and the first 4 bytes of what was read go to the tap alone
// first (a stray piece of a frame). Ends when standard input closes, printing
// "noise-bytes=N" on standard error.
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    const bool noise = argc == 2 && !std::strcmp(argv[1], "--noise");
    int far[3], terminal[3];
    char names[3][256] = {};
    termios raw{};
    cfmakeraw(&raw);
    for (int i = 0; i < 3; ++i) {
        // The relay keeps each terminal open too: a side reopened sees no hang-up.
        if (openpty(&far[i], &terminal[i], names[i], &raw, nullptr) != 0)
            return 1;
    }
    std::printf("master=%s slave=%s tap=%s\n", names[0], names[1], names[2]);
    std::fflush(stdout);
    long noiseBytes = 0;
    const auto put = [](int fd, const char *bytes, ssize_t n) {
        for (ssize_t done = 0, w; done<n; done += w> 0 ? w : 0)
            if ((w = write(fd, bytes + done, size_t(n - done))) < 0)
                return;
    };
    pollfd fds[3] = {{far[0], POLLIN, 0}, {far[1], POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
    for (int slaveReads = 0; poll(fds, 3, -1) >= 0;) {
        char buffer[4096];
        if (fds[2].revents && read(STDIN_FILENO, buffer, sizeof buffer) <= 0)
            break;
        for (int side = 0; side < 2; ++side) {
            const ssize_t n = fds[side].revents & POLLIN ? read(far[side], buffer, sizeof buffer)
                                                         : 0;
            if (n <= 0)
                continue;
            if (side == 1 && noise && ++slaveReads % 5 == 0) {
                put(far[2], "\x67\xC6\x69", 3);
                put(far[2], buffer, n < 4 ? n : 4);
                noiseBytes += 3 + (n < 4 ? n : 4);
            }
            put(far[1 - side], buffer, n);
            put(far[2], buffer, n);
        }
    }
    std::fprintf(stderr, "noise-bytes=%ld\n", noiseBytes);
    return 0;
}
