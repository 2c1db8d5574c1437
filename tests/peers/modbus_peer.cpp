// A MODBUS slave on libmodbus, the far end of the standard-MODBUS tests:
//   modbus_peer --device PATH [--ascii]
// Station 1 at 9600 baud. Holding register a holds 1000 + a, input register a
// 2000 + a; coil a is on when a % 3 == 0, discrete input a when a % 2 == 0.
// libmodbus frames RTU only: with --ascii the slave runs on an inner
// pseudo-terminal, and ASCII frames on PATH are translated to RTU and back.
// Prints "ready" once it listens; ends on SIGTERM or when PATH hangs up.
#include "codec/checksum.h"
#include "device/frame.h"

#include <modbus.h>

#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t stopping = 0;

// Reads what comes within \a quietMs of the last byte; false when the line hung up.
bool readQuiet(int fd, std::string &out, int firstMs, int quietMs)
{
    pollfd p{fd, POLLIN, 0};
    for (int wait = firstMs; !stopping && poll(&p, 1, wait) > 0; wait = quietMs) {
        char buffer[512];
        const ssize_t n = read(fd, buffer, sizeof buffer);
        if (n <= 0)
            return false;
        out.append(buffer, size_t(n));
    }
    return true;
}

// The slave: one request, one reply. A request for another station makes libmodbus
// take the next frame for that station's reply; it is read at once, as a blocking
// server loop would, so that the master's next request is not lost.
void serve(modbus_t *ctx, modbus_mapping_t *table)
{
    unsigned char query[MODBUS_RTU_MAX_ADU_LENGTH];
    pollfd p{modbus_get_socket(ctx), POLLIN, 0};
    while (!stopping) {
        if (poll(&p, 1, 100) <= 0)
            continue;
        if (p.revents & (POLLHUP | POLLERR))
            return;
        const int n = modbus_receive(ctx, query);
        if (n > 0)
            modbus_reply(ctx, query, n, table);
        else if (n == 0)
            modbus_receive(ctx, query);
        else if (errno == EIO || errno == EBADF)
            return;
        else
            modbus_flush(ctx);
    }
}

// PATH speaks ASCII; \a inner is the slave's RTU line.
void translate(int line, int inner)
{
    std::string pending;
    while (!stopping && readQuiet(line, pending, 100, 0)) {
        size_t end;
        while ((end = pending.find("\r\n")) != std::string::npos) {
            const std::string frame = pending.substr(0, end);
            pending.erase(0, end + 2);
            const size_t colon = frame.rfind(':');
            const std::string hex = colon == std::string::npos ? "" : frame.substr(colon + 1);
            // The frames are made by the program's own functions, checked against known
            // frames in tst_frame; libmodbus checks every CRC it gets on its own.
            const QByteArray bytes = QByteArray::fromHex(QByteArray::fromStdString(hex));
            if (bytes.size() < 3 || 2 * bytes.size() != qsizetype(hex.size())
                || CommSetting::CalcLrc(bytes.chopped(1)) != quint8(bytes.back())
                || (bytes[0] != 1 && bytes[0] != 0))
                continue; // not hex pairs, a bad LRC, or another station's frame
            const QByteArray request = frameRtu(bytes.chopped(1));
            if (write(inner, request.data(), size_t(request.size())) < 0 || bytes[0] == 0)
                continue; // a broadcast has no reply
            std::string reply;
            readQuiet(inner, reply, 500, 20);
            if (reply.size() < 4 || CommSetting::crc16(QByteArray::fromStdString(reply)) != 0)
                continue;
            const QByteArray out = frameAscii(QByteArray::fromStdString(reply).chopped(2));
            if (write(line, out.data(), size_t(out.size())) < 0)
                return;
        }
    }
}

} // namespace

int main(int argc, char **argv)
{
    const char *device = argc >= 3 && !std::strcmp(argv[1], "--device") ? argv[2] : nullptr;
    const bool ascii = argc == 4 && !std::strcmp(argv[3], "--ascii");
    if (!device || argc > 4) {
        std::fprintf(stderr, "usage: modbus_peer --device PATH [--ascii]\n");
        return 2;
    }
    std::signal(SIGTERM, [](int) { stopping = 1; });
    std::signal(SIGINT, [](int) { stopping = 1; });
    int innerFar = -1, innerTerminal = -1, line = -1;
    char innerName[256] = {};
    if (ascii) {
        termios raw{};
        cfmakeraw(&raw);
        line = open(device, O_RDWR | O_NOCTTY);
        if (line < 0 || openpty(&innerFar, &innerTerminal, innerName, &raw, nullptr) != 0)
            return 1;
        tcsetattr(line, TCSANOW, &raw);
    }
    modbus_t *ctx = modbus_new_rtu(ascii ? innerName : device, 9600, 'N', 8, 1);
    modbus_mapping_t *table = modbus_mapping_new(256, 256, 256, 256);
    for (int a = 0; a < 256; ++a) {
        table->tab_registers[a] = static_cast<uint16_t>(1000 + a);
        table->tab_input_registers[a] = static_cast<uint16_t>(2000 + a);
        table->tab_bits[a] = a % 3 == 0;
        table->tab_input_bits[a] = a % 2 == 0;
    }
    modbus_set_slave(ctx, 1);
    modbus_set_response_timeout(ctx, 0, 100000); // another station's reply
    if (modbus_connect(ctx) != 0)
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    if (ascii) {
        std::thread slave(serve, ctx, table);
        translate(line, innerFar);
        stopping = 1;
        slave.join();
    } else {
        serve(ctx, table);
    }
    modbus_close(ctx);
    modbus_free(ctx);
    modbus_mapping_free(table);
    return 0;
}
