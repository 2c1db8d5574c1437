/*
 * Plays a shared RS-485 line for the tests:
 *
 *   bus_tap [--chunk N] [--noise]
 *
 * Makes three pseudo-terminal pairs and prints "master=PATH slave=PATH tap=PATH". A MODBUS
 * master opens the first terminal, a slave the second and a listen-only monitor the third.
 * What the master writes reaches the slave and the other way round, and the monitor hears
 * both, in the order they were read here.
 *
 * --chunk N  copies to the tap in pieces of at most N bytes, each written on its own.
 * --noise    on every 5th read from the slave side, writes 3 random bytes and then the
 *            first bytes (at most 4) of what was read to the tap only, before the copy.
 *
 * Ends on SIGTERM, SIGINT or when stdin reaches its end, so a test that dies does not leave
 * it running. On the way out prints "tap-bytes=N noise-bytes=M" on stderr: N counts all
 * bytes written to the tap, the noise among them, and M the noise alone.
 */
#define _DEFAULT_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <unistd.h>

enum { MASTER_SIDE, SLAVE_SIDE, TAP_SIDE, SIDES };

static volatile sig_atomic_t stop_requested;

static void on_stop_signal(int signo)
{
    (void)signo;
    stop_requested = 1;
}

/* Our end of each pair (read and written here) and the terminal the programs open. */
static int far_end[SIDES];
static int terminal[SIDES];
static char terminal_name[SIDES][256];

static long long tap_bytes;
static long long noise_bytes;

/*
 * Writes all of the bytes to one of our ends. A side nobody reads fills up; after a second
 * of waiting the rest is dropped rather than stalling the line. Returns how much went out.
 */
static size_t write_all(int fd, const unsigned char *data, size_t length)
{
    size_t written = 0;
    while (written < length) {
        ssize_t n = write(fd, data + written, length - written);
        if (n > 0) {
            written += (size_t)n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            struct pollfd p = { .fd = fd, .events = POLLOUT };
            if (poll(&p, 1, 1000) <= 0)
                break;
        } else {
            break;
        }
    }
    return written;
}

static void write_tap(const unsigned char *data, size_t length, size_t chunk)
{
    while (length > 0) {
        size_t piece = (chunk && chunk < length) ? chunk : length;
        tap_bytes += (long long)write_all(far_end[TAP_SIDE], data, piece);
        data += piece;
        length -= piece;
    }
}

static void write_noise(const unsigned char *block, size_t length)
{
    unsigned char noise[7];
    size_t n = 0;
    for (int i = 0; i < 3; ++i)
        noise[n++] = (unsigned char)(rand() & 0xFF);
    for (size_t i = 0; i < length && i < 4; ++i)
        noise[n++] = block[i];
    size_t written = write_all(far_end[TAP_SIDE], noise, n);
    tap_bytes += (long long)written;
    noise_bytes += (long long)written;
}

int main(int argc, char **argv)
{
    size_t chunk = 0;
    int noise = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--chunk") == 0 && i + 1 < argc) {
            chunk = (size_t)atol(argv[++i]);
        } else if (strcmp(argv[i], "--noise") == 0) {
            noise = 1;
        } else {
            fprintf(stderr, "usage: bus_tap [--chunk N] [--noise]\n");
            return 2;
        }
    }

    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);
    signal(SIGPIPE, SIG_IGN);
    /* A fixed seed keeps the noise the same from run to run. */
    srand(1);

    for (int side = 0; side < SIDES; ++side) {
        struct termios raw;
        memset(&raw, 0, sizeof raw);
        cfmakeraw(&raw);
        raw.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&raw, B9600);
        cfsetospeed(&raw, B9600);
        /* The terminal stays open here as well (never read), so a program that closes and
         * reopens it gives no hang-up on our end. */
        if (openpty(&far_end[side], &terminal[side], terminal_name[side], &raw, NULL) != 0) {
            perror("bus_tap: openpty");
            return 1;
        }
        fcntl(far_end[side], F_SETFL, O_NONBLOCK);
    }
    printf("master=%s slave=%s tap=%s\n", terminal_name[MASTER_SIDE],
           terminal_name[SLAVE_SIDE], terminal_name[TAP_SIDE]);
    fflush(stdout);

    unsigned long slave_reads = 0;
    while (!stop_requested) {
        struct pollfd fds[3] = {
            { .fd = far_end[MASTER_SIDE], .events = POLLIN },
            { .fd = far_end[SLAVE_SIDE], .events = POLLIN },
            { .fd = STDIN_FILENO, .events = POLLIN },
        };
        int ready = poll(fds, 3, 100);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            break;
        }
        if (fds[2].revents & (POLLIN | POLLHUP)) {
            char discard[256];
            ssize_t n = read(STDIN_FILENO, discard, sizeof discard);
            if (n == 0 || (n < 0 && errno != EINTR && errno != EAGAIN))
                break;
        } else if (fds[2].revents & POLLNVAL) {
            break; /* no stdin at all: nothing could tell us the test is gone */
        }
        for (int side = MASTER_SIDE; side <= SLAVE_SIDE; ++side) {
            if (!(fds[side].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            unsigned char block[4096];
            ssize_t n = read(far_end[side], block, sizeof block);
            if (n <= 0) {
                /* With the terminals held open here this should not happen; if a read
                 * still fails, wait a little rather than spin on poll. */
                if (n < 0 && errno == EIO)
                    poll(NULL, 0, 20);
                continue;
            }
            int other = side == MASTER_SIDE ? SLAVE_SIDE : MASTER_SIDE;
            write_all(far_end[other], block, (size_t)n);
            if (side == SLAVE_SIDE && noise && ++slave_reads % 5 == 0)
                write_noise(block, (size_t)n);
            write_tap(block, (size_t)n, chunk);
        }
    }

    fprintf(stderr, "tap-bytes=%lld noise-bytes=%lld\n", tap_bytes, noise_bytes);
    for (int side = 0; side < SIDES; ++side) {
        close(far_end[side]);
        close(terminal[side]);
    }
    return 0;
}
