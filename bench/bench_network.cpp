// Serial lines over the network on loopback, against the same simulated line
// reached directly. ser2net (the real one) serves the simulator's pseudo-terminal
// as a raw TCP port and as an RFC 2217 port.
//  - a scan of 247 silent addresses (01 to F7) at 9600 baud, wire time on, the
//    only station listening at 19200: over rfc2217:// and on the terminal itself;
//  - the round trip of one handshake, wire time off: over socket:// and directly.
#include "bus/bus_scan.h"
#include "device/command_set.h"
#include "session/link_session.h"
#include "sim/sim_server.h"

#include "bench_util.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

namespace {

// ser2net serving \a device on 127.0.0.1: raw TCP on \a port, RFC 2217 on port + 1.
struct Gateway
{
    Gateway(const QString &device, int port, bool charDelay = true)
    {
        // ser2net holds what the device sends until the line pauses (chardelay): off, the
        // figure is the network's and the relay's alone.
        const QString options = charDelay ? QString() : QStringLiteral("  options:\n    chardelay: false\n");
        QFile yaml(dir.filePath(QStringLiteral("ser2net.yaml")));
        if (!yaml.open(QIODevice::WriteOnly))
            return;
        yaml.write(QStringLiteral("%YAML 1.1\n---\n"
                                  "connection: &raw\n  accepter: tcp,127.0.0.1,%1\n"
                                  "  connector: serialdev,%3,9600n81,local\n%4"
                                  "connection: &rfc\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                                  "  connector: serialdev,%3,9600n81,local\n")
                           .arg(port)
                           .arg(port + 1)
                           .arg(device, options)
                           .toUtf8());
        yaml.close();
        process.start(QStringLiteral("ser2net"),
                      {QStringLiteral("-d"), QStringLiteral("-c"), yaml.fileName(),
                       QStringLiteral("-P"), dir.filePath(QStringLiteral("pid"))});
        QThread::msleep(500); // ser2net listens
    }
    ~Gateway() { process.kill(), process.waitForFinished(); }
    QTemporaryDir dir;
    QProcess process;
};

double scanSeconds(const QString &port)
{
    LinkSession session;
    if (const Status opened = session.open(port, 9600); !opened) {
        std::fprintf(stderr, "bench_network: %s: %s\n", qPrintable(port), qPrintable(opened.error()));
        return 0;
    }
    BusScanner scanner([&](const QByteArray &frame) { return session.send(frame).ok(); },
                       [&](qint32 rate) { return session.setBaudRate(rate).ok(); });
    session.listen(scanner);
    bool finished = false;
    QObject::connect(&scanner, &BusScanner::finished, [&] { finished = true; });
    BusScanner::Settings settings;
    settings.rates = {9600};
    settings.roundTripUs = session.link().roundTripUs();
    QElapsedTimer clock;
    clock.start();
    scanner.start(settings, 9600);
    waitFor([&] { return finished; }, 60'000);
    return double(clock.nsecsElapsed()) / 1e9;
}

std::vector<double> handshakeMs(const QString &port, int count)
{
    LinkSession session;
    std::vector<double> times;
    if (const Status opened = session.open(port, 9600); !opened) {
        std::fprintf(stderr, "bench_network: %s: %s\n", qPrintable(port), qPrintable(opened.error()));
        return times;
    }
    QObject::connect(&session.exchanges(), &ExchangeMonitor::exchangeSettled,
                     [&](const Exchange &exchange) {
                         if (exchange.responseUs() >= 0)
                             times.push_back(double(exchange.responseUs()) / 1000);
                     });
    const QByteArray handshake = frameRtu(makePayload(0x01, FunctionCode::Handshake));
    for (int i = 0; i < count; ++i) {
        const size_t before = times.size();
        if (!session.send(handshake))
            break;
        waitFor([&] { return times.size() > before; }, 2000);
    }
    return times;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const int port = 27100 + int(QCoreApplication::applicationPid() % 500) * 2;

    SimServer silent(SimConfig{.address = 0x2A, .baudRate = 19200});
    silent.setWireTime(true);
    SimServer station{SimConfig{}};
    if (!silent.openPseudoTerminal() || !station.openPseudoTerminal())
        return 2;
    {
        Gateway gateway(silent.devicePath(), port);
        const double direct = scanSeconds(silent.devicePath());
        const double network = scanSeconds(QStringLiteral("rfc2217://127.0.0.1:%1").arg(port + 1));
        std::printf("scan of 247 silent addresses at 9600, wire time on: pseudo-terminal %.2f s, "
                    "rfc2217:// on loopback %.2f s, ratio %.3f\n",
                    direct, network, network / direct);
    }
    for (const bool charDelay : {true, false}) {
        Gateway gateway(station.devicePath(), port, charDelay);
        const std::vector<double> direct = handshakeMs(station.devicePath(), 200);
        const std::vector<double> network =
                handshakeMs(QStringLiteral("socket://127.0.0.1:%1").arg(port), 200);
        std::printf("handshake round trip, median of %zu: pseudo-terminal %.3f ms, socket:// on "
                    "loopback through ser2net (chardelay %s) %.3f ms, ratio %.1f\n",
                    network.size(), median(direct), charDelay ? "on" : "off", median(network),
                    median(network) / median(direct));
    }
    std::printf("reproduce: build/bench/bench_network\n");
    return 0;
}
