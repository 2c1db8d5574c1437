/*
 * A MODBUS slave for the tests, built on libmodbus:
 *
 *   modbus_peer --device PATH [--baud N] [--station S] [--ascii]
 *
 * It answers on PATH with a fixed table the tests can check: holding register a holds
 * 1000 + a, input register a holds 2000 + a, coil a is on when a % 3 == 0 and discrete
 * input a is on when a % 2 == 0 (256 of each). Function codes the table does not cover are
 * answered by libmodbus itself (report slave id, exception replies for unknown codes).
 *
 * libmodbus only frames RTU. With --ascii the peer runs the libmodbus slave on an internal
 * pseudo-terminal pair and translates: MODBUS ASCII frames read on PATH go to the slave as
 * RTU frames, and its RTU replies come back on PATH as ASCII frames.
 *
 * Prints one line "ready" on stdout once it listens; ends on SIGTERM, SIGINT or when the
 * far end of PATH hangs up.
 */
#define _DEFAULT_SOURCE

#include <errno.h>
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

enum { TABLE_SIZE = 256, ASCII_LINE_MAX = 2 * 256 + 8, RTU_MAX = 256 };

/* The slave's RTU reply is taken as complete after this long without a further byte. */
static const int reply_silence_ms = 20;

static volatile sig_atomic_t stop_requested;

static void on_stop_signal(int signo)
{
    (void)signo;
    stop_requested = 1;
}

static void usage(void)
{
    fprintf(stderr, "usage: modbus_peer --device PATH [--baud N] [--station S] [--ascii]\n");
    exit(2);
}

static long long now_ms(void)
{
    struct timespec ts;
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return (long long)ts.tv_sec * 1000 + ts.tv_nsec / 1000000;
}

static uint16_t crc16_modbus(const uint8_t *data, size_t length)
{
    uint16_t crc = 0xFFFF;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (uint16_t)((crc >> 1) ^ 0xA001) : (uint16_t)(crc >> 1);
    }
    return crc;
}

static uint8_t lrc(const uint8_t *data, size_t length)
{
    uint8_t sum = 0;
    for (size_t i = 0; i < length; ++i)
        sum = (uint8_t)(sum + data[i]);
    return (uint8_t)(-sum);
}

/* Writes all of the bytes to a non-blocking descriptor, waiting while its buffer is full. */
static int write_all(int fd, const uint8_t *data, size_t length)
{
    while (length > 0) {
        ssize_t n = write(fd, data, length);
        if (n > 0) {
            data += n;
            length -= (size_t)n;
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            struct pollfd p = { .fd = fd, .events = POLLOUT };
            if (poll(&p, 1, 1000) <= 0)
                return -1;
        } else {
            return -1;
        }
    }
    return 0;
}

static speed_t speed_for(int baud)
{
    switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B9600;
    }
}

/* Opens PATH as a raw serial line, the way libmodbus opens its own device. */
static int open_serial(const char *path, int baud)
{
    int fd = open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    struct termios tio;
    if (tcgetattr(fd, &tio) == 0) {
        cfmakeraw(&tio);
        tio.c_cflag |= CLOCAL | CREAD;
        cfsetispeed(&tio, speed_for(baud));
        cfsetospeed(&tio, speed_for(baud));
        tcsetattr(fd, TCSANOW, &tio);
    }
    return fd;
}

static modbus_mapping_t *make_table(void)
{
    modbus_mapping_t *table = modbus_mapping_new(TABLE_SIZE, TABLE_SIZE, TABLE_SIZE, TABLE_SIZE);
    if (!table)
        return NULL;
    for (int a = 0; a < TABLE_SIZE; ++a) {
        table->tab_registers[a] = (uint16_t)(1000 + a);
        table->tab_input_registers[a] = (uint16_t)(2000 + a);
        table->tab_bits[a] = (a % 3 == 0);
        table->tab_input_bits[a] = (a % 2 == 0);
    }
    return table;
}

static int hung_up(void)
{
    return errno == EIO || errno == ECONNRESET || errno == EBADF;
}

/*
 * Reads one request through libmodbus and replies to it. Returns -1 when the line hung up,
 * 0 otherwise: a bad frame is flushed away and the peer goes on listening.
 */
static int serve_one(modbus_t *ctx, modbus_mapping_t *table)
{
    uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
    int rc = modbus_receive(ctx, query);
    if (rc > 0) {
        modbus_reply(ctx, query, rc, table);
    } else if (rc == 0) {
        /* The request was for another station. libmodbus now takes the next frame for that
         * station's reply and drops it; read it at once, as a blocking server loop would,
         * so that it waits only for such a reply and not for the master's next request. */
        if (modbus_receive(ctx, query) < 0 && hung_up())
            return -1;
    } else if (hung_up()) {
        return -1;
    } else if (errno != ETIMEDOUT) {
        modbus_flush(ctx);
    }
    return 0;
}

/* The ASCII side of the translator: what has been read on PATH and the reply being collected. */
struct ascii_link {
    int line_fd;     /* PATH, speaking MODBUS ASCII */
    int internal_fd; /* our end of the internal pty, speaking RTU to the libmodbus slave */
    int station;
    char line[ASCII_LINE_MAX];
    size_t line_length;
    int in_frame;
    uint8_t reply[RTU_MAX + 16];
    size_t reply_length;
    long long reply_quiet_at; /* when the reply counts as complete, 0 while none is coming */
};

static int hex_value(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

/* A complete ":...\r\n" line has arrived: check it and hand it to the slave as RTU. */
static void forward_ascii_request(struct ascii_link *link)
{
    /* line holds the hex digits between ':' and CR LF. */
    if (link->line_length % 2 != 0 || link->line_length < 6)
        return;
    uint8_t frame[RTU_MAX + 2];
    size_t length = link->line_length / 2;
    if (length > RTU_MAX - 1)
        return;
    for (size_t i = 0; i < length; ++i) {
        int high = hex_value(link->line[2 * i]);
        int low = hex_value(link->line[2 * i + 1]);
        if (high < 0 || low < 0)
            return;
        frame[i] = (uint8_t)(high << 4 | low);
    }
    /* The last byte is the LRC: the whole frame then sums to zero. A bad one is dropped. */
    if (lrc(frame, length - 1) != frame[length - 1])
        return;
    length -= 1;
    /* Frames for another station are ignored here, as a slave on a shared line does. */
    if (frame[0] != 0 && frame[0] != link->station)
        return;
    uint16_t crc = crc16_modbus(frame, length);
    frame[length++] = (uint8_t)(crc & 0xFF);
    frame[length++] = (uint8_t)(crc >> 8);
    link->reply_length = 0;
    link->reply_quiet_at = 0;
    write_all(link->internal_fd, frame, length);
}

static void take_ascii_bytes(struct ascii_link *link, const char *data, size_t length)
{
    for (size_t i = 0; i < length; ++i) {
        char c = data[i];
        if (c == ':') {
            /* A colon always starts a new frame; whatever came before it is lost. */
            link->in_frame = 1;
            link->line_length = 0;
        } else if (!link->in_frame) {
            continue;
        } else if (c == '\n') {
            if (link->line_length > 0 && link->line[link->line_length - 1] == '\r') {
                link->line_length -= 1;
                forward_ascii_request(link);
            }
            link->in_frame = 0;
        } else if (link->line_length < sizeof link->line) {
            link->line[link->line_length++] = c;
        } else {
            link->in_frame = 0; /* too long to be a frame */
        }
    }
}

/* The slave's reply has gone quiet: check its CRC and send it on PATH as an ASCII frame. */
static void send_ascii_reply(struct ascii_link *link)
{
    size_t length = link->reply_length;
    link->reply_length = 0;
    link->reply_quiet_at = 0;
    if (length < 4)
        return;
    uint16_t crc = crc16_modbus(link->reply, length - 2);
    if (link->reply[length - 2] != (crc & 0xFF) || link->reply[length - 1] != (crc >> 8))
        return;
    length -= 2;
    static const char digits[] = "0123456789ABCDEF";
    char out[1 + 2 * (RTU_MAX + 1) + 2];
    size_t n = 0;
    out[n++] = ':';
    for (size_t i = 0; i <= length; ++i) {
        uint8_t byte = i < length ? link->reply[i] : lrc(link->reply, length);
        out[n++] = digits[byte >> 4];
        out[n++] = digits[byte & 0x0F];
    }
    out[n++] = '\r';
    out[n++] = '\n';
    write_all(link->line_fd, (const uint8_t *)out, n);
}

int main(int argc, char **argv)
{
    const char *device = NULL;
    int baud = 9600;
    int station = 1;
    int ascii = 0;
    for (int i = 1; i < argc; ++i) {
        if (strcmp(argv[i], "--device") == 0 && i + 1 < argc)
            device = argv[++i];
        else if (strcmp(argv[i], "--baud") == 0 && i + 1 < argc)
            baud = atoi(argv[++i]);
        else if (strcmp(argv[i], "--station") == 0 && i + 1 < argc)
            station = atoi(argv[++i]);
        else if (strcmp(argv[i], "--ascii") == 0)
            ascii = 1;
        else
            usage();
    }
    if (!device || baud <= 0 || station < 1 || station > 247)
        usage();

    struct sigaction action;
    memset(&action, 0, sizeof action);
    action.sa_handler = on_stop_signal;
    sigaction(SIGTERM, &action, NULL);
    sigaction(SIGINT, &action, NULL);
    signal(SIGPIPE, SIG_IGN);

    /* In ASCII mode libmodbus listens on the internal pty, and PATH is read here. */
    struct ascii_link link;
    memset(&link, 0, sizeof link);
    link.line_fd = -1;
    link.internal_fd = -1;
    link.station = station;
    const char *slave_device = device;
    int internal_terminal = -1;
    char internal_name[256];
    if (ascii) {
        struct termios raw;
        memset(&raw, 0, sizeof raw);
        cfmakeraw(&raw);
        if (openpty(&link.internal_fd, &internal_terminal, internal_name, &raw, NULL) != 0) {
            perror("modbus_peer: openpty");
            return 1;
        }
        fcntl(link.internal_fd, F_SETFL, O_NONBLOCK);
        slave_device = internal_name;
        link.line_fd = open_serial(device, baud);
        if (link.line_fd < 0) {
            perror("modbus_peer: open");
            return 1;
        }
    }

    modbus_t *ctx = modbus_new_rtu(slave_device, baud, 'N', 8, 1);
    modbus_mapping_t *table = make_table();
    if (!ctx || !table) {
        fprintf(stderr, "modbus_peer: %s\n", modbus_strerror(errno));
        return 1;
    }
    modbus_set_slave(ctx, station);
    /* How long another station's reply is waited for (see serve_one): short, so that a
     * master which gave up on that station is heard again soon after. */
    modbus_set_response_timeout(ctx, 0, 100000);
    if (modbus_connect(ctx) != 0) {
        fprintf(stderr, "modbus_peer: %s: %s\n", slave_device, modbus_strerror(errno));
        return 1;
    }

    printf("ready\n");
    fflush(stdout);

    int status = 0;
    while (!stop_requested) {
        struct pollfd fds[3];
        fds[0] = (struct pollfd){ .fd = modbus_get_socket(ctx), .events = POLLIN };
        nfds_t count = 1;
        if (ascii) {
            fds[1] = (struct pollfd){ .fd = link.line_fd, .events = POLLIN };
            fds[2] = (struct pollfd){ .fd = link.internal_fd, .events = POLLIN };
            count = 3;
        }
        /* Wake now and then to see a stop signal, and in time to end a quiet reply. */
        int timeout = 100;
        if (link.reply_quiet_at) {
            long long left = link.reply_quiet_at - now_ms();
            timeout = left < 0 ? 0 : (int)left;
        }
        int ready = poll(fds, count, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            status = 1;
            break;
        }
        if (fds[0].revents & POLLIN) {
            if (serve_one(ctx, table) < 0)
                break;
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            break; /* PATH hung up; in ASCII mode this is the internal pty, which never does */
        }
        if (ascii) {
            if (fds[2].revents & POLLIN) {
                ssize_t n = read(link.internal_fd, link.reply + link.reply_length,
                                 sizeof link.reply - link.reply_length);
                if (n > 0) {
                    link.reply_length += (size_t)n;
                    link.reply_quiet_at = now_ms() + reply_silence_ms;
                    if (link.reply_length == sizeof link.reply)
                        link.reply_length = 0; /* overlong: not a reply libmodbus sends */
                }
            }
            if (link.reply_quiet_at && now_ms() >= link.reply_quiet_at)
                send_ascii_reply(&link);
            if (fds[1].revents & POLLIN) {
                char buffer[512];
                ssize_t n = read(link.line_fd, buffer, sizeof buffer);
                if (n > 0)
                    take_ascii_bytes(&link, buffer, (size_t)n);
                else if (n == 0 || (errno != EAGAIN && errno != EINTR))
                    break;
            } else if (fds[1].revents & (POLLHUP | POLLERR)) {
                break;
            }
        }
    }

    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(table);
    if (ascii) {
        close(link.line_fd);
        close(link.internal_fd);
        close(internal_terminal);
    }
    return status;
}
