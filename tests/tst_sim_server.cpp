// The simulated controller on a serial line, and stepperbench-sim started as a user starts it.
#include "device/frame.h"
#include "pty_pair.h"
#include "sim/sim_server.h"

#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <ctime>

class TestSimServer : public QObject
{
    Q_OBJECT

private slots:
    void servesPseudoTerminal()
    {
        SimServer server(SimConfig{});
        QVERIFY(server.openPseudoTerminal());
        QSignalSpy exchanged(&server, &SimServer::exchanged);
        for (int round = 0; round < 3; ++round) {
            // The tool opens and closes its side at will, even with a reply still to come.
            QSerialPort port(server.devicePath());
            QVERIFY(port.open(QIODevice::ReadWrite)
                    && port.write(QByteArray::fromHex("013B003330")) == 5);
            QVERIFY(port.waitForBytesWritten(1000) || port.bytesToWrite() == 0);
            port.close();
            QVERIFY(exchanged.wait(2000) && !exchanged.last().at(1).toByteArray().isEmpty());
        }
        // Once the tool closed its side the server idles (a notifier firing on a hang-up spins).
        const std::clock_t start = std::clock();
        QTest::qWait(250);
        QVERIFY(std::clock() - start < CLOCKS_PER_SEC / 20);
    }

    void servesDeviceAndSwitchesBaudRateAfterReply()
    {
        PtyPair pty;
        SimServer server(SimConfig{});
        QVERIFY(server.openDevice(pty.path()));
        qint64 now = 0;
        server.setClock([&now] { return now; });
        // At a time on the server's clock, a request, its reply and the line's rate after it: a
        // new rate holds from the end of its reply on, which still goes out at the old rate.
        // clang-format off
        for (const auto &[at, request, reply, speed] : std::initializer_list<std::tuple<
                 qint64, const char *, const char *, speed_t>>{
                 {0, "01 24 01 08", "01 24 01 08", B19200},
                 {0, "01 31 04 00 00 27 10", "01 31 04 00 00 27 10", B19200},
                 {250000, "01 37 00", "01 37 04 00 00 01 52", B19200}, // 338 pulses
                 {500000, "01 37 00", "01 37 04 00 00 05 14", B19200}, // 1300 pulses
                 {500000, "01 47 00", "01 47", B9600}}) {
            // clang-format on
            now = at;
            const QByteArray sent = QByteArray::fromHex(reply);
            const QByteArray expected = sent.size() > 2 ? frameRtu(sent) : sent;
            pty.write(frameRtu(QByteArray::fromHex(request)));
            QByteArray bytes;
            QTRY_COMPARE((bytes += pty.readAvailable()).toHex(' '), expected.toHex(' '));
            termios settings{};
            QVERIFY(QTest::qWaitFor([&] {
                const int fd = ::open(qPrintable(pty.path()), O_RDWR | O_NOCTTY | O_NONBLOCK);
                return tcgetattr(fd, &settings) == 0 && ::close(fd) == 0
                        && cfgetospeed(&settings) == speed;
            }));
        }
    }

    void program_data()
    {
        // Where the link leads before the start, if anywhere ("later": elsewhere before the end).
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("signal"); // that stops the program; 0: it refuses to start
        QTest::addColumn<int>("reader"); // of standard output: 0 reads, 1 stops reading, 2 gone
        QTest::newRow("SIGINT") << QString() << SIGINT << 0;
        QTest::newRow("SIGTERM, link taken over") << "later" << SIGTERM << 0;
        QTest::newRow("SIGHUP, stale link to a terminal") << "pty" << SIGHUP << 0;
        QTest::newRow("SIGQUIT, stale link to nothing") << "/dev/pts/999999" << SIGQUIT << 0;
        QTest::newRow("link to another simulator") << "sim" << 0 << 0;
        QTest::newRow("reader stops reading") << QString() << SIGTERM << 1;
        QTest::newRow("reader gone") << QString() << SIGINT << 2;
    }
    void program()
    {
        QFETCH(QString, before);
        QFETCH(int, signal);
        QFETCH(int, reader);
        QTemporaryDir dir;
        const QString link = dir.filePath("ttySIM");
        QProcess sim; // killed at the end, if still running
        PtyPair pty;
        SimServer live(SimConfig{}); // another simulator
        if (before == "sim")
            QVERIFY(live.openPseudoTerminal() && QFile::link(live.devicePath(), link));
        else if (before == "pty" || before.startsWith(u'/'))
            QVERIFY(QFile::link(before == "pty" ? pty.path() : before, link));
        const QString target = QFileInfo(link).symLinkTarget();

        // Standard output into a pipe of our own, as "stepperbench-sim | less" has.
        int out[2];
        QVERIFY(::pipe2(out, O_CLOEXEC) == 0);
        sim.setChildProcessModifier([&out] { ::dup2(out[1], STDOUT_FILENO); });
        sim.start(STEPPERBENCH_SIM, {"--link", link, "--inputs", "00011"});
        ::close(out[1]);
        QByteArray path;
        for (char c = 0; ::read(out[0], &c, 1) == 1 && c != '\n';)
            path += c;
        QCOMPARE(QFileInfo(link).symLinkTarget(), signal ? QString(path) : target);
        if (signal == 0) {
            QVERIFY(sim.waitForFinished(5000) && sim.exitCode() == 1);
            QVERIFY(sim.readAllStandardError().contains("which another simulator serves"));
            return;
        }
        if (reader == 2)
            ::close(std::exchange(out[0], -1));

        // IN1 and IN2 active (0), IN1 first; more traffic than a pipe holds if nobody reads.
        QSerialPort port(path);
        QVERIFY(port.open(QIODevice::ReadWrite) && port.clear(QSerialPort::Input));
        const QByteArray inputs = frameRtu(QByteArray::fromHex("01 42 05 00 00 01 01 01"));
        for (int i = 0; i < (reader ? 2000 : 1); ++i) {
            port.write(frameRtu(QByteArray::fromHex("01 42 00")));
            QByteArray got;
            for (QDeadlineTimer deadline(2000);
                 !(got += port.readAll()).endsWith(inputs) && !deadline.hasExpired();)
                QSignalSpy(&port, &QSerialPort::readyRead).wait(int(deadline.remainingTime()) + 1);
            QCOMPARE(got, inputs);
        }
        if (reader == 1) { // reading again: what was dropped is counted in the output
            ::fcntl(out[0], F_SETFL, O_NONBLOCK);
            QByteArray rest;
            QVERIFY(QTest::qWaitFor([&] {
                char buffer[65536];
                for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;)
                    rest.append(buffer, n);
                return rest.contains(" log lines dropped\n");
            }));
        }
        if (before == "later")
            QVERIFY(QFile::remove(link) && QFile::link(pty.path(), link));
        ::kill(pid_t(sim.processId()), signal);
        QVERIFY(sim.waitForFinished(5000) && sim.exitStatus() == QProcess::NormalExit);
        QCOMPARE(QFileInfo(link).symLinkTarget(), before == "later" ? pty.path() : QString());
        const QByteArray errors = sim.readAllStandardError();
        QVERIFY2(errors.contains(reader == 2 ? "standard output" : "log lines were dropped")
                         == (reader != 0),
                 errors);
        ::close(out[0]);
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_sim_server.moc"
