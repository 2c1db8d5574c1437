// Serial lines over the network against the real ser2net: it serves a simulated controller's
// pseudo-terminal as a raw TCP port and as an RFC 2217 port on 127.0.0.1, from a ser2net.yaml
// written here. The tool reaches it through the window, the session and stepperbench-cli.
#include "codec/hex_text.h"
#include "frm_main.h"
#include "sim/sim_server.h"
#include "session/link_session.h"
#include "session/run_driver.h"
#include "test_util.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

// A port nothing listens on now: the system's pick for a socket bound to port 0.
quint16 freePort()
{
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(fd, reinterpret_cast<sockaddr *>(&address), sizeof address);
    ::getsockname(fd, reinterpret_cast<sockaddr *>(&address), &length);
    ::close(fd);
    return ntohs(address.sin_port);
}

struct Ser2net
{
    explicit Ser2net(const QString &device)
    {
        writeFile(dir.filePath(u"ser2net.yaml"_s),
                  u"%YAML 1.1\n---\n"
                  "connection: &raw\n  accepter: tcp,127.0.0.1,%1\n"
                  "  connector: serialdev,%3,9600n81,local\n"
                  "connection: &rfc2217\n  accepter: telnet(rfc2217),tcp,127.0.0.1,%2\n"
                  "  connector: serialdev,%3,9600n81,local\n"_s.arg(rawPort)
                          .arg(telnetPort)
                          .arg(device)
                          .toUtf8());
        start();
    }
    ~Ser2net() { stop(); }
    bool start()
    {
        process.start(u"ser2net"_s, {u"-d"_s, u"-c"_s, dir.filePath(u"ser2net.yaml"_s), u"-P"_s,
                                     dir.filePath(u"pid"_s)});
        // Listening, as the kernel's table of TCP sockets says: a probe connection would
        // hold the device for a moment and turn away the first real one.
        const QByteArray listening = u":%1 00000000:0000 0A"_s.arg(rawPort, 4, 16, QChar(u'0'))
                                             .toUpper()
                                             .toLatin1();
        return QTest::qWaitFor([&] { return fileContent(u"/proc/net/tcp"_s).contains(listening); },
                               5000);
    }
    void stop() { process.kill(), process.waitForFinished(); }
    QString raw() const { return u"socket://127.0.0.1:%1"_s.arg(rawPort); }
    QString rfc2217() const { return u"rfc2217://127.0.0.1:%1"_s.arg(telnetPort); }

    QTemporaryDir dir;
    quint16 rawPort = freePort();
    quint16 telnetPort = freePort();
    QProcess process;
};

// stepperbench-cli, its standard output and exit code, while this event loop serves the simulator.
std::pair<int, QString> runCli(const QStringList &arguments)
{
    QProcess cli;
    cli.start(QStringLiteral(STEPPERBENCH_CLI), arguments);
    static_cast<void>(QTest::qWaitFor([&] { return cli.state() == QProcess::NotRunning; }, 30000));
    return {cli.exitCode(), QString::fromUtf8(cli.readAllStandardOutput() + cli.readAllStandardError())};
}

} // namespace

class TestNetwork : public QObject
{
    Q_OBJECT

private slots:
    // Two stations at their own rates: the scan finds each at its own, so the rate changes reach
    // the pseudo-terminal through the gateway. Wire time on: a station hears only its rate.
    void scanOverRfc2217()
    {
        SimServer simulator(*SimServer::parseStations(u"5:9600,6:19200"_s, SimConfig{}));
        simulator.setWireTime(true);
        QVERIFY(simulator.openPseudoTerminal());
        Ser2net gateway(simulator.devicePath());
        // The margin leaves room for a busy machine: the gateway relays the bytes in its own time.
        const auto [code, out] = runCli({u"scan"_s, u"--port"_s, gateway.rfc2217(), u"--from"_s,
                                         u"05"_s, u"--to"_s, u"06"_s, u"--margin"_s, u"200"_s});
        QVERIFY2(code == 0, qPrintable(out));
        QVERIFY2(out.contains(u"station 05 answers at 9600 baud"_s), qPrintable(out));
        QVERIFY2(out.contains(u"station 06 answers at 19200 baud"_s), qPrintable(out));
        QVERIFY2(out.contains(u"scan: 2 station(s) found, 2 answer(s)"_s), qPrintable(out));
        // A raw socket runs at the gateway's rate: several rates are refused before anything goes.
        const auto [rawCode, rawOut] = runCli({u"scan"_s, u"--port"_s, gateway.raw()});
        QCOMPARE(rawCode, 2);
        QVERIFY2(rawOut.contains(u"is a raw socket"_s), qPrintable(rawOut));
    }

    void configOverSocket()
    {
        SimServer simulator{SimConfig{}};
        QVERIFY(simulator.openPseudoTerminal());
        Ser2net gateway(simulator.devicePath());
        QTemporaryDir dir;
        const QString set = dir.filePath(u"set.conf"_s);
        QVERIFY(writeFile(set, "max_speed = 12000\nio 00011 = 31 04 00 00 27 10\n"));
        for (const QString &action : {u"write"_s, u"verify"_s}) {
            const auto [code, out] =
                    runCli({u"config"_s, action, set, u"--port"_s, gateway.raw()});
            QVERIFY2(code == 0 && out.contains(u"station 01: all 2 items equal"_s), qPrintable(out));
        }
        QCOMPARE(simulator.controller().parameters().maxSpeed, 12000);
    }

    // The gateway goes away while a list runs and comes back: one line says the line is lost,
    // one that it is back, and the list goes on.
    void gatewayRestarted()
    {
        SimServer simulator{SimConfig{}};
        QVERIFY(simulator.openPseudoTerminal());
        Ser2net gateway(simulator.devicePath());
        LinkSession session;
        session.setStationCheck([] { return std::optional<quint8>(0x01); }); // not asked for a network line
        QStringList notices;
        connect(&session, &LinkSession::linkNotice, this, [&](const QString &text) { notices << text; });
        QVERIFY(session.open(gateway.rfc2217(), 9600));
        int good = 0;
        connect(&session.exchanges(), &ExchangeMonitor::exchangeSettled, this,
                [&](const Exchange &exchange) { good += exchange.verdict == Verdict::Good; });
        const QString line = FormatHexText(rtu("012000"));
        RunDriver run({[] { return 1; }, [&](int) { return line; }},
                      [&](const QByteArray &frame) { return session.send(frame).ok(); },
                      [] { return std::optional(20); }, [&] { return session.lineBusy(); });
        run.start(20);
        QTRY_VERIFY(good >= 3);
        gateway.stop();
        QTRY_COMPARE(notices.size(), 1);
        QVERIFY2(notices[0].contains(u"已断开"_s), qPrintable(notices[0]));
        QVERIFY(gateway.start());
        QTRY_COMPARE_WITH_TIMEOUT(notices.size(), 2, 10000);
        QVERIFY2(notices[1].contains(u"已恢复"_s), qPrintable(notices[1]));
        const int before = good;
        QTRY_VERIFY(good >= before + 3);
        QCOMPARE(notices.size(), 2);
    }

    void refusedAndUnknown_data()
    {
        QTest::addColumn<QString>("url");
        QTest::addColumn<QString>("message");
        QTest::newRow("refused") << u"socket://127.0.0.1:%1"_s.arg(freePort())
                                 << u"对方拒绝连接（该端口上没有服务）"_s;
        QTest::newRow("unknown host") << u"rfc2217://no-such-host.invalid:4001"_s
                                      << u"找不到主机“no-such-host.invalid”"_s;
        QTest::newRow("port 0") << u"socket://127.0.0.1:0"_s
                                << u"“socket://127.0.0.1:0”不是网络端口：应为 socket://主机:端口 或 "
                                   "rfc2217://主机:端口，端口为 1 到 65535"_s;
        QTest::newRow("no port") << u"socket://gateway"_s
                                 << u"“socket://gateway”不是网络端口：应为 socket://主机:端口 或 "
                                    "rfc2217://主机:端口，端口为 1 到 65535"_s;
    }
    void refusedAndUnknown()
    {
        QFETCH(QString, url);
        QFETCH(QString, message);
        LinkSession session;
        const Status opened = session.open(url, 9600);
        QVERIFY(!opened);
        QCOMPARE(opened.error(), message);
        QVERIFY(!session.isOpen());
    }

    // Typed into the port selector: the label says who sets the rate, and the port opens.
    void typedIntoTheWindow()
    {
        SimServer simulator{SimConfig{}};
        QVERIFY(simulator.openPseudoTerminal());
        Ser2net gateway(simulator.devicePath());
        WindowFixture fixture;
        auto *ports = fixture.control<QComboBox>(u"Combo1"_s);
        ports->setCurrentText(gateway.rfc2217());
        QCOMPARE(fixture.control<QLabel>(u"PortDevice"_s)->text(),
                 gateway.rfc2217() + u"（RFC 2217：速率由本工具设定）"_s);
        fixture.control<QPushButton>(u"Command32"_s)->click();
        QCOMPARE(fixture.dialogs->messages, QStringList());
        QVERIFY(fixture.comm()->portOpen() && fixture.comm()->isNetwork());
        // A network port has no RTS: direction control is refused, and the box cleared.
        auto *rts = fixture.control<QCheckBox>(u"rs485Rts"_s);
        rts->click();
        QVERIFY(!rts->isChecked());
        QCOMPARE(fixture.dialogs->messages,
                 QStringList(u"网络端口没有 RTS 线，不能做 RS-485 方向控制：请在网关上设置"_s));
        fixture.control<QPushButton>(u"Command33"_s)->click();
        ports->setCurrentText(gateway.raw());
        QCOMPARE(fixture.control<QLabel>(u"PortDevice"_s)->text(),
                 gateway.raw() + u"（原始 TCP：速率由网关设定）"_s);
    }
};

QTEST_MAIN(TestNetwork)
#include "tst_network.moc"
