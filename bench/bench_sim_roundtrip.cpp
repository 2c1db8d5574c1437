// Request-to-reply round trip of the simulated controller over a
// pseudo-terminal, without the window: the server runs in the main thread's
// event loop as it does inside the tool; a client thread opens the terminal
// side like a serial port, writes a request and waits for the whole reply.
// Goal: median at most 1 ms.
#include "bench_util.h"
#include "device/frame.h"
#include "sim/sim_server.h"

#include <QCoreApplication>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct Request
{
    const char *name;
    QByteArray frame;
    qsizetype replyLength;
};

/// Round trips in microseconds for \a rounds of \a request, or an empty list
/// when a reply did not come within a second.
std::vector<double> measure(int fd, const Request &request, int rounds)
{
    std::vector<double> micros;
    micros.reserve(std::size_t(rounds));
    char buffer[512];
    for (int i = 0; i < rounds; ++i) {
        const auto start = std::chrono::steady_clock::now();
        if (::write(fd, request.frame.constData(), size_t(request.frame.size()))
            != request.frame.size()) {
            return {};
        }
        qsizetype got = 0;
        while (got < request.replyLength) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 1000) <= 0)
                return {};
            const ssize_t n = ::read(fd, buffer, sizeof buffer);
            if (n > 0)
                got += n;
        }
        const auto elapsed = std::chrono::steady_clock::now() - start;
        micros.push_back(std::chrono::duration<double, std::micro>(elapsed).count());
    }
    return micros;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    SimServer server(SimConfig{});
    if (const Status opened = server.openPseudoTerminal(); !opened) {
        std::fprintf(stderr, "bench_sim_roundtrip: %s\n", qPrintable(opened.error()));
        return 2;
    }

    const Request requests[] = {
            {"RTU handshake", frameRtu(makePayload(1, 0x20)), 5},
            {"RTU absolute position", frameRtu(makePayload(1, 0x37)), 9},
            {"ASCII handshake", frameAscii(makePayload(1, 0x20)), 11},
    };
    constexpr int rounds = 2000;
    constexpr int warmUp = 100;

    int status = 0;
    double worstMedian = 0;
    std::thread client([&] {
        const int fd = ::open(qPrintable(server.devicePath()), O_RDWR | O_NOCTTY);
        termios raw{};
        tcgetattr(fd, &raw);
        cfmakeraw(&raw);
        tcsetattr(fd, TCSANOW, &raw);
        for (const Request &request : requests) {
            measure(fd, request, warmUp);
            const std::vector<double> micros = measure(fd, request, rounds);
            if (micros.empty()) {
                std::printf("%-22s no reply\n", request.name);
                status = 1;
                continue;
            }
            const double middle = median(micros);
            worstMedian = std::max(worstMedian, middle);
            std::printf("%-22s %d round trips: median %.0f us, 90%% %.0f us, 99%% %.0f us, "
                        "max %.0f us\n",
                        request.name, rounds, middle, percentile(micros, 0.9),
                        percentile(micros, 0.99), percentile(micros, 1.0));
        }
        ::close(fd);
        QMetaObject::invokeMethod(&app, &QCoreApplication::quit, Qt::QueuedConnection);
    });
    app.exec();
    client.join();

    std::printf("simulated controller round trip over a pseudo-terminal: worst median %.0f us"
                " (goal: at most 1000 us)\n",
                worstMedian);
    std::printf("reproduce: scripts/bench sim_roundtrip\n");
    return status != 0 || worstMedian > 1000 ? 1 : 0;
}
