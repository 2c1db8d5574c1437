// The simulated controller on a real serial line: the test opens the terminal
// side of the server's pseudo-terminal the way the tool opens a port, or plays
// the far end of a device the server serves. stepperbench-sim, the program
// around it, is started as a user starts it, with its link in a folder of its own.
#include "device/frame.h"
#include "pty_pair.h"
#include "sim/sim_server.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <csignal>

#include <sys/resource.h>

namespace {

QByteArray hex(const char *text)
{
    return QByteArray::fromHex(text);
}

/// Opens \a path the way the tool opens a port: 9600 baud, 8N1, nothing waiting.
bool openLikeTheTool(QSerialPort &port, const QString &path)
{
    port.setPortName(path);
    port.setBaudRate(9600);
    port.setDataBits(QSerialPort::Data8);
    port.setParity(QSerialPort::NoParity);
    port.setStopBits(QSerialPort::OneStop);
    port.setFlowControl(QSerialPort::NoFlowControl);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.clear(QSerialPort::Input);
    return true;
}

/// Reads from \a port until \a expected bytes are there or two seconds passed,
/// running the event loop (and with it the server) while waiting.
QByteArray readFrom(QSerialPort &port, qsizetype expected)
{
    QByteArray bytes = port.readAll();
    QDeadlineTimer deadline(2000);
    while (bytes.size() < expected && !deadline.hasExpired()) {
        QSignalSpy arrived(&port, &QSerialPort::readyRead);
        if (port.bytesAvailable() == 0)
            arrived.wait(int(qMax<qint64>(1, deadline.remainingTime())));
        bytes += port.readAll();
    }
    return bytes;
}

/// Writes \a request and returns the next \a expected bytes that come back.
QByteArray exchange(QSerialPort &port, const QByteArray &request, qsizetype expected)
{
    port.write(request);
    return readFrom(port, expected);
}

/// The far end of a pseudo-terminal: writes \a request, then reads until
/// \a expected bytes came back, letting the server run in between.
QByteArray exchange(PtyPair &pty, const QByteArray &request, qsizetype expected)
{
    pty.write(request);
    QByteArray bytes;
    QDeadlineTimer deadline(2000);
    while (bytes.size() < expected && !deadline.hasExpired()) {
        QCoreApplication::processEvents();
        bytes += pty.read(expected - bytes.size(), 5);
    }
    return bytes;
}

double threadCpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec)
            + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

/// stepperbench-sim as a child process, stopped like a user stops it when the test is done.
struct SimProcess : QProcess
{
    ~SimProcess() override
    {
        terminate();
        waitForFinished(5000);
    }
};

/// Starts stepperbench-sim with \a arguments; returns the path it prints first.
QString startSim(QProcess &sim, const QStringList &arguments)
{
    sim.start(QStringLiteral(STEPPERBENCH_SIM), arguments);
    while (!sim.canReadLine() && sim.waitForReadyRead(5000)) { }
    return QString::fromLocal8Bit(sim.readLine()).trimmed();
}

/// Sends \a signal to \a sim; whether it then ended by itself.
bool endsOnSignal(QProcess &sim, int signal)
{
    ::kill(pid_t(sim.processId()), signal);
    return sim.waitForFinished(5000) && sim.exitStatus() == QProcess::NormalExit;
}

} // namespace

class TestSimServer : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void answersOverPseudoTerminal_data();
    void answersOverPseudoTerminal();
    void badFrameThenGoodFrame_data();
    void badFrameThenGoodFrame();
    void toolClosesAndReopensThePort();
    void idleServerDoesNotSpin_data();
    void idleServerDoesNotSpin();
    void servesDeviceAndSwitchesBaudRateAfterReply();

    void linkGoesOnEveryStopSignal_data();
    void linkGoesOnEveryStopSignal();
    void existingLink_data();
    void existingLink();
    void servesWhileNobodyReadsItsOutput_data();
    void servesWhileNobodyReadsItsOutput();
    void inputsOptionIsIn5First();

private:
    QTemporaryDir m_config;
};

void TestSimServer::answersOverPseudoTerminal_data()
{
    QTest::addColumn<QByteArray>("request");
    QTest::addColumn<QByteArray>("reply");

    QTest::newRow("RTU handshake") << hex("01 20 00 39 C0") << hex("01 20 00 39 C0");
    QTest::newRow("ASCII handshake") << QByteArray(":012000DF\r\n") << QByteArray(":012000DF\r\n");
    QTest::newRow("address query to station 0") << hex("00 21 00 69 90") << hex("01 21 00 38 50");
    QTest::newRow("status") << hex("01 3B 00 33 30") << hex("01 3B 04 00 01 00 01 6E 8B");
    QTest::newRow("immediate stop, two-byte reply") << hex("01 3C 00 31 00") << hex("01 3C");
}

void TestSimServer::answersOverPseudoTerminal()
{
    QFETCH(QByteArray, request);
    QFETCH(QByteArray, reply);

    SimServer server(SimConfig{});
    QString error;
    QVERIFY2(server.openPseudoTerminal(&error), qPrintable(error));
    QVERIFY(server.devicePath().startsWith(QStringLiteral("/dev/")));
    QSerialPort port;
    QVERIFY2(openLikeTheTool(port, server.devicePath()), qPrintable(port.errorString()));
    QSignalSpy exchanged(&server, &SimServer::exchanged);

    QCOMPARE(exchange(port, request, reply.size()).toHex(' '), reply.toHex(' '));
    QCOMPARE(exchanged.size(), 1);
    QCOMPARE(exchanged[0][0].toByteArray(), request);
    QCOMPARE(exchanged[0][1].toByteArray(), reply);
}

void TestSimServer::badFrameThenGoodFrame_data()
{
    QTest::addColumn<QByteArrayList>("writes");
    QTest::addColumn<int>("exchanges"); // requests with a good check, answered or not

    const QByteArray handshake = hex("01 20 00 39 C0");
    QTest::newRow("bad CRC, good frame, one write")
            << QByteArrayList{hex("01 20 00 39 C1") + handshake} << 1;
    QTest::newRow("bad CRC, good frame, two writes")
            << QByteArrayList{hex("01 20 00 39 C1"), handshake} << 1;
    QTest::newRow("bad LRC, good frame") << QByteArrayList{":012000DE\r\n", handshake} << 1;
    QTest::newRow("garbage, good frame") << QByteArrayList{hex("FF 00 FF 13"), handshake} << 1;
    QTest::newRow("another station, good frame")
            << QByteArrayList{hex("02 20 00 C9 C0"), handshake} << 2;
}

void TestSimServer::badFrameThenGoodFrame()
{
    QFETCH(QByteArrayList, writes);
    QFETCH(int, exchanges);

    SimServer server(SimConfig{});
    QVERIFY(server.openPseudoTerminal());
    QSerialPort port;
    QVERIFY(openLikeTheTool(port, server.devicePath()));
    QSignalSpy exchanged(&server, &SimServer::exchanged);

    for (const QByteArray &bytes : std::as_const(writes)) {
        port.write(bytes);
        QVERIFY(port.waitForBytesWritten(1000) || port.bytesToWrite() == 0);
    }
    // Only the good frame is answered: had anything else come back, it would
    // arrive first and spoil these bytes.
    QCOMPARE(readFrom(port, 5).toHex(' '), "01 20 00 39 c0");
    QCOMPARE(exchange(port, hex("01 23 00 39 30"), 6).toHex(' '), "01 23 01 06 71 80");
    QCOMPARE(exchanged.size(), exchanges + 1);
}

void TestSimServer::toolClosesAndReopensThePort()
{
    SimServer server(SimConfig{});
    QVERIFY(server.openPseudoTerminal());
    QSignalSpy exchanged(&server, &SimServer::exchanged);
    const QByteArray echo = hex("01 20 00 39 C0");
    const QByteArray status = hex("01 3B 04 00 01 00 01 6E 8B");
    for (int round = 0; round < 3; ++round) {
        QSerialPort port;
        QVERIFY2(openLikeTheTool(port, server.devicePath()), qPrintable(port.errorString()));
        // The reply to the request the last round left behind may still be on
        // its way into the terminal side; after it, the handshake's echo.
        port.write(echo);
        QByteArray got = readFrom(port, echo.size());
        if (got.startsWith(status.left(got.size())) && round > 0)
            got += readFrom(port, status.size() + echo.size() - got.size());
        QVERIFY2(got == echo || (round > 0 && got == status + echo), got.toHex(' ').constData());

        // The port closes with a request unanswered; the server answers into
        // the void and carries on.
        exchanged.clear();
        port.write(hex("01 3B 00 33 30"));
        QVERIFY(port.waitForBytesWritten(1000) || port.bytesToWrite() == 0);
        port.close();
        QVERIFY(exchanged.wait(2000));
        QCOMPARE(exchanged[0][1].toByteArray(), status);
    }
    QVERIFY(server.isOpen());
}

void TestSimServer::idleServerDoesNotSpin_data()
{
    QTest::addColumn<bool>("openedOnce");

    QTest::newRow("terminal side never opened") << false;
    QTest::newRow("terminal side opened and closed again") << true;
}

void TestSimServer::idleServerDoesNotSpin()
{
    QFETCH(bool, openedOnce);

    SimServer server(SimConfig{});
    QVERIFY(server.openPseudoTerminal());
    if (openedOnce) {
        QSerialPort port;
        QVERIFY(openLikeTheTool(port, server.devicePath()));
        QCOMPARE(exchange(port, hex("01 20 00 39 C0"), 5).size(), 5);
    }
    // A quarter of a second in the event loop with nobody on the line: a
    // notifier that fires on a hang-up would burn it all.
    const double before = threadCpuSeconds();
    QEventLoop loop;
    QTimer::singleShot(250, &loop, &QEventLoop::quit);
    loop.exec();
    const double cpu = threadCpuSeconds() - before;
    QVERIFY2(cpu < 0.05, qPrintable(QStringLiteral("%1 s of CPU while idle").arg(cpu)));

    // And it still answers.
    QSerialPort port;
    QVERIFY(openLikeTheTool(port, server.devicePath()));
    QCOMPARE(exchange(port, hex("01 20 00 39 C0"), 5).toHex(' '), "01 20 00 39 c0");
}

void TestSimServer::servesDeviceAndSwitchesBaudRateAfterReply()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    SimServer server(SimConfig{});
    QString error;
    QVERIFY2(server.openDevice(pty.path(), &error), qPrintable(error));
    QCOMPARE(server.devicePath(), pty.path());

    const auto lineSpeed = [&pty] {
        termios settings{};
        const int fd = ::open(qPrintable(pty.path()), O_RDWR | O_NOCTTY | O_NONBLOCK);
        tcgetattr(fd, &settings);
        ::close(fd);
        return cfgetospeed(&settings);
    };
    QCOMPARE(exchange(pty, hex("01 20 00 39 C0"), 5).toHex(' '), "01 20 00 39 c0");
    QCOMPARE(lineSpeed(), speed_t(B9600));

    // 19200 baud: the echo still goes out at 9600, then the line switches.
    QSignalSpy switched(&server, &SimServer::lineBaudRateChanged);
    QCOMPARE(exchange(pty, hex("01 24 01 08 41 85"), 6).toHex(' '), "01 24 01 08 41 85");
    QVERIFY(switched.wait(2000));
    QCOMPARE(switched[0][0].toInt(), 19200);
    QCOMPARE(lineSpeed(), speed_t(B19200));
    QCOMPARE(exchange(pty, hex("01 23 00 39 30"), 6).toHex(' '), "01 23 01 08 f0 44");

    // Factory settings bring the line back to 9600 the same way.
    QCOMPARE(exchange(pty, frameRtu(hex("01 47 00")), 2).toHex(' '), "01 47");
    QVERIFY(switched.wait(2000));
    QCOMPARE(lineSpeed(), speed_t(B9600));
}

void TestSimServer::initTestCase()
{
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(m_config.path()));
}

void TestSimServer::linkGoesOnEveryStopSignal_data()
{
    QTest::addColumn<int>("signal");
    QTest::addColumn<bool>("pathTakenOver"); // the link leads elsewhere by then

    QTest::newRow("SIGINT") << SIGINT << false;
    QTest::newRow("SIGTERM") << SIGTERM << false;
    QTest::newRow("SIGHUP") << SIGHUP << false;
    QTest::newRow("SIGQUIT") << SIGQUIT << false;
    QTest::newRow("SIGTERM, link taken over") << SIGTERM << true;
}

void TestSimServer::linkGoesOnEveryStopSignal()
{
    QFETCH(int, signal);
    QFETCH(bool, pathTakenOver);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    SimProcess sim;
    const QString path = startSim(sim, {QStringLiteral("--quiet"), QStringLiteral("--link"), link});
    QVERIFY(path.startsWith(QStringLiteral("/dev/")));
    QCOMPARE(QFileInfo(link).symLinkTarget(), path);
    PtyPair other;
    if (pathTakenOver)
        QVERIFY(QFile::remove(link) && QFile::link(other.path(), link));

    QVERIFY(endsOnSignal(sim, signal));
    QCOMPARE(QFileInfo(link).symLinkTarget(), pathTakenOver ? other.path() : QString());
}

void TestSimServer::existingLink_data()
{
    QTest::addColumn<QString>("leadsTo");
    QTest::addColumn<bool>("refused");

    QTest::newRow("another simulator's terminal") << QStringLiteral("sim") << true;
    QTest::newRow("a terminal no simulator serves") << QStringLiteral("pty") << false;
    QTest::newRow("a terminal that is gone") << QStringLiteral("/dev/pts/999999") << false;
}

void TestSimServer::existingLink()
{
    QFETCH(QString, leadsTo);
    QFETCH(bool, refused);

    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttySIM"));
    const QStringList linkArguments{QStringLiteral("--quiet"), QStringLiteral("--link"), link};
    SimProcess first;
    PtyPair pty;
    if (leadsTo == u"sim")
        QVERIFY(!startSim(first, linkArguments).isEmpty());
    else
        QVERIFY(QFile::link(leadsTo == u"pty" ? pty.path() : leadsTo, link));
    const QString target = QFileInfo(link).symLinkTarget();

    SimProcess second;
    const QString path = startSim(second, linkArguments);
    if (refused) {
        QCOMPARE(second.state(), QProcess::NotRunning);
        QCOMPARE(second.exitCode(), 1);
        QVERIFY(second.readAllStandardError().contains("which another simulator serves"));
    }
    QCOMPARE(QFileInfo(link).symLinkTarget(), refused ? target : path);
}

void TestSimServer::servesWhileNobodyReadsItsOutput_data()
{
    QTest::addColumn<bool>("readerGone");
    QTest::addColumn<QByteArray>("stderrSays");

    QTest::newRow("reader stops reading") << false << QByteArray("log lines were dropped");
    QTest::newRow("reader gone") << true << QByteArray("standard output");
}

void TestSimServer::servesWhileNobodyReadsItsOutput()
{
    QFETCH(bool, readerGone);
    QFETCH(QByteArray, stderrSays);

    // Standard output into a pipe of our own, as "stepperbench-sim | less" has.
    int out[2];
    QVERIFY(::pipe2(out, O_CLOEXEC) == 0);
    SimProcess sim;
    sim.setChildProcessModifier([&out] { ::dup2(out[1], STDOUT_FILENO); });
    sim.start(QStringLiteral(STEPPERBENCH_SIM), {});
    ::close(out[1]);
    QByteArray path;
    for (char c = 0; ::read(out[0], &c, 1) == 1 && c != '\n';)
        path += c;
    if (readerGone)
        ::close(out[0]);

    // Far more traffic than the pipe holds.
    QSerialPort port;
    QVERIFY(openLikeTheTool(port, QString::fromLocal8Bit(path)));
    const QByteArray status = hex("01 3B 04 00 01 00 01 6E 8B");
    for (int i = 0; i < 2000; ++i)
        QCOMPARE(exchange(port, hex("01 3B 00 33 30"), status.size()), status);

    if (!readerGone) {
        // Read again: what was dropped is counted in the output.
        ::fcntl(out[0], F_SETFL, O_NONBLOCK);
        QByteArray rest;
        QVERIFY(QTest::qWaitFor([&] {
            char buffer[65536];
            for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
                rest.append(buffer, n);
            return rest.contains(" log lines dropped\n");
        }));
        ::close(out[0]);
    }
    QVERIFY(endsOnSignal(sim, SIGTERM));
    QVERIFY(sim.readAllStandardError().contains(stderrSays));
}

void TestSimServer::inputsOptionIsIn5First()
{
    SimProcess sim;
    QSerialPort port;
    QVERIFY(openLikeTheTool(port,
                            startSim(sim, {QStringLiteral("--inputs"), QStringLiteral("00011")})));
    // IN1 and IN2 active (0), IN3 to IN5 not (1), IN1 first.
    QCOMPARE(exchange(port, frameRtu(hex("01 42 00")), 10).toHex(' '),
             frameRtu(hex("01 42 05 00 00 01 01 01")).toHex(' '));
}

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_sim_server.moc"
