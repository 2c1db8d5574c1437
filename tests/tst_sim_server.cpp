// The simulated controller on a serial line, and stepperbench-sim started as a user starts it.
#include "device/command_set.h"
#include "pty_pair.h"
#include "sim/sim_line_reader.h"
#include "sim/sim_options.h"
#include "sim/sim_server.h"
#include "test_util.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QSerialPort>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>
#include <functional>
#include <numeric>

class TestSimServer : public QObject
{
    Q_OBJECT

    /// The RTU frames of \a payloads (hex); a two-byte short reply goes as it is.
    static QByteArray frames(const QByteArrayList &payloads)
    {
        QByteArray bytes;
        for (const QByteArray &text : payloads)
            bytes += QByteArray::fromHex(text).size() > 2 ? rtu(text) : QByteArray::fromHex(text);
        return bytes;
    }

    /// Sends \a requests at \a rate, changed while the port is open as a bus scan does, and
    /// reads until \a replies came (or 3 s passed): what came, and in \a ns when, from the send.
    static QByteArray talk(QSerialPort &port, qint32 rate, const QByteArrayList &requests,
                           const QByteArrayList &replies, qint64 *ns = nullptr)
    {
        port.setBaudRate(rate);
        QElapsedTimer sent;
        sent.start();
        port.write(frames(requests));
        // Waiting on the signal, not polling: a poll sleeps between looks, longer than a reply
        // takes on the wire, and the server runs in this thread.
        QByteArray got;
        for (QDeadlineTimer deadline(3000);
             (got += port.readAll()).size() < frames(replies).size() && !deadline.hasExpired();)
            QSignalSpy(&port, &QSerialPort::readyRead).wait(int(deadline.remainingTime()) + 1);
        if (ns)
            *ns = sent.nsecsElapsed();
        return got;
    }

private slots:
    void servesDeviceAndSwitchesBaudRateAfterReply()
    {
        PtyPair pty;
        SimServer server(SimConfig{});
        QVERIFY(server.openDevice(pty.path()));
        qint64 now = 0;
        server.setClock([&now] { return now; });
        // At a time on the server's clock, a request, its reply and the line's rate after it: a
        // new rate holds from the end of its reply on, which still goes out at the old rate
        // (6 bytes of 11 bits at 9600 baud: 7 ms, and 2 ms to spare; 2 bytes at 19200: 2 + 2).
        // clang-format off
        for (const auto &[at, request, reply, speed, switchMs] : std::initializer_list<std::tuple<
                 qint64, const char *, const char *, speed_t, int>>{
                 {0, "01 24 01 08", "01 24 01 08", B19200, 9},
                 {0, "01 31 04 00 00 27 10", "01 31 04 00 00 27 10", B19200, 9},
                 {250000, "01 37 00", "01 37 04 00 00 01 52", B19200, 9}, // 338 pulses
                 {500000, "01 37 00", "01 37 04 00 00 05 14", B19200, 9}, // 1300 pulses
                 {500000, "01 47 00", "01 47", B9600, 4}}) {
            // clang-format on
            now = at;
            const QByteArray expected = frames({reply});
            pty.write(frames({request}));
            QCOMPARE(pty.collect(expected.size()).toHex(' '), expected.toHex(' '));
            termios settings{};
            const speed_t rate = speed; // a binding of its own for the lambda
            QVERIFY(QTest::qWaitFor([&] {
                const int fd = ::open(qPrintable(pty.path()), O_RDWR | O_NOCTTY | O_NONBLOCK);
                return tcgetattr(fd, &settings) == 0 && ::close(fd) == 0
                        && cfgetospeed(&settings) == rate;
            }));
            QCOMPARE(server.findChild<QTimer *>("baudSwitch")->interval(), switchMs);
        }
    }

    void stations_data()
    {
        // Stations 05 at 9600, 2A at 19200, 03 at 14400. Each step sends its requests ("&"
        // between them) at once and reads the replies ("|" between them; "=" the echo). With
        // wire time a station hears only its rate, and replies cross the wire one after another.
        QTest::addColumn<bool>("wireTime");
        QTest::addColumn<qint32>("rate");
        QTest::addColumn<QByteArray>("steps");
        const auto row = [](const char *name, bool wireTime, qint32 rate, const char *steps) {
            QTest::newRow(name) << wireTime << rate << QByteArray(steps);
        };
        row("parameters", false, 9600,
            "05 27 04 00001388 > =, 05 28 00 > 05 28 04 00001388, 2A 28 00 > 2A 28 04 00002710");
        row("baud rates", false, 9600,
            "05 23 00 > 05 23 01 06, 2A 23 00 > 2A 23 01 08, 2A 24 01 04 > =, "
            "2A 23 00 > 2A 23 01 04, 05 23 00 > 05 23 01 06");
        row("axes", false, 9600,
            "2A 31 04 00002710 > =, 2A 31 04 00002710 > 2A B1 06, 05 31 04 00002710 > =, "
            "2A 3C 00 > 2A 3C, 05 31 04 00002710 > 05 B1 06");
        // Of the broadcasts only the address query is answered, in address order.
        row("broadcasts", false, 9600,
            "00 21 00 > 03 21 00 | 05 21 00 | 2A 21 00, 00 24 01 04 >, 00 20 00 >, "
            "05 23 00 > 05 23 01 06, 07 20 00 >, 2A 20 00 > =");
        // Each ends with a request that a station at that rate answers, so that a reply that
        // should not come shows. 14400 has no termios constant: QSerialPort sets it as a number.
        row("05 at its rate", true, 9600, "05 20 00 & 05 20 00 > 05 20 00 | 05 20 00");
        row("05 at 19200", true, 19200, "05 20 00 & 2A 20 00 > 2A 20 00");
        row("2A at its rate", true, 19200, "2A 20 00 > =");
        row("2A at 9600", true, 9600, "2A 20 00 & 05 20 00 > 05 20 00");
        row("03 at 14400", true, 14400, "03 20 00 > =");
        row("05 at 14400", true, 14400, "05 20 00 & 03 20 00 > 03 20 00");
        row("no station 07", true, 9600, "07 20 00 & 05 20 00 > 05 20 00");
        row("broadcast", true, 19200, "00 21 00 & 2A 20 00 > 2A 21 00 | 2A 20 00");
    }
    void stations()
    {
        QFETCH(bool, wireTime);
        QFETCH(qint32, rate);
        QFETCH(QByteArray, steps);
        SimServer server(QList<SimConfig>{{.address = 5, .baudRate = 9600},
                                          {.address = 0x2A, .baudRate = 19200},
                                          {.address = 3, .baudRate = 14400}});
        server.setWireTime(wireTime);
        QVERIFY(server.openPseudoTerminal());
        QSignalSpy exchanged(&server, &SimServer::exchanged);
        QSerialPort port(server.devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        qsizetype replies = 0;
        for (const QByteArray &step : steps.split(',')) {
            const QByteArrayList requests = step.split('>').constFirst().split('&');
            QByteArrayList expected = step.split('>').constLast().trimmed().split('|');
            expected.removeAll(QByteArray());
            if (expected.value(0) == "=")
                expected[0] = requests[0];
            replies += std::max<qsizetype>(1, expected.size());
            qint64 ns = 0;
            QCOMPARE(talk(port, rate, requests, expected, &ns).toHex(' '),
                     frames(expected).toHex(' '));
            const qint64 wireNs = frames(expected).size() * 10 * 1'000'000'000LL / rate;
            QVERIFY2(!wireTime || ns >= wireNs,
                     qPrintable(QStringLiteral("%1 < %2 ns").arg(ns).arg(wireNs)));
        }
        // Without wire time, one signal for each reply, or for the request if none came.
        QVERIFY(wireTime || exchanged.size() == replies);
        QCOMPARE(server.controllerAt(0x2A), &server.controller(1));
    }

    void faults_data()
    {
        // Stations 05 and 06 with the row's --fault lists (";" between). A step, at a time in ms on
        // the server's clock (the last one's if none), sends a request ("a": in ASCII) and reads
        // the replies in its mode ("|" between; "=" the echo; "~" one byte spoiled, the check
        // failing). Each ends with a reply, so that one that should not come shows.
        QTest::addColumn<QByteArray>("steps");
        const auto row = [](const char *lists, const char *steps) {
            QTest::newRow(lists) << QByteArray(steps);
        };
        row("05:drop=100", "05 20 00 >, 06 20 00 > =");
        row("drop=100;06:drop=0", "05 20 00 >, 06 20 00 > =");
        row("corrupt=100", "05 28 00 > ~05 28 04 00002710, a 05 28 00 > ~05 28 04 00002710");
        row("05:delay=50,drop=0",
            "0ms 05 20 00 >, 49ms 06 20 00 > =, 50ms 06 20 00 > 05 20 00 | 06 20 00");
        // Short of the target in the direction of travel; a move no longer than that stays put.
        row("06:delay=0;05:lose-steps=5",
            "05 31 04 000003E8 > =, 06 31 04 000003E8 > =, 2000ms 05 37 00 > 05 37 04 000003E3, "
            "06 37 00 > 06 37 04 000003E8, 05 31 04 FFFFFFFB > =, 05 32 04 010003E8 > =, "
            "4000ms 05 37 00 > 05 37 04 00000000");
        // A move of 10000 takes 1.895 s unslowed; a run at 10000 goes at 5000 (1388).
        row("slow=0.5",
            "05 31 04 00002710 > =, 06 33 04 00002710 > =, 3789ms 05 3B 00 > 05 3B 04 01010101, "
            "3791ms 05 3B 00 > 05 3B 04 00010101, 06 36 00 > 06 36 04 00001388");
    }
    void faults()
    {
        QFETCH(QByteArray, steps);
        const QString lists = QString::fromLatin1(QTest::currentDataTag());
        const auto stations = withFaults({{.address = 5}, {.address = 6}}, lists.split(u';'));
        QVERIFY(stations);
        SimServer server(*stations);
        qint64 now = 0;
        server.setClock([&now] { return now; });
        QVERIFY(server.openPseudoTerminal());
        QSignalSpy exchanged(&server, &SimServer::exchanged);
        QSerialPort port(server.devicePath());
        QVERIFY(port.open(QIODevice::ReadWrite));
        for (QByteArray step : steps.split(',')) {
            if ((step = step.trimmed()).split(' ')[0].endsWith("ms")) {
                now = step.first(step.indexOf("ms")).toLongLong() * 1000;
                step = step.sliced(step.indexOf(' ') + 1);
            }
            const CommMode mode = step.startsWith("a ") ? CommMode::Ascii : CommMode::Rtu;
            const QByteArray request = step.split('>')[0].sliced(mode == CommMode::Ascii ? 2 : 0);
            const auto frame = [mode](const QByteArray &text) {
                const QByteArray payload = QByteArray::fromHex(text);
                return payload.size() > 2 || mode == CommMode::Ascii ? framing(mode).frame(payload)
                                                                     : payload;
            };
            // Served alone, at the step's time: the next step may move the clock.
            QVERIFY(port.write(frame(request)) > 0 && exchanged.wait(3000));
            qsizetype at = 0;
            QByteArray got;
            for (QByteArray reply : step.split('>')[1].split('|')) {
                if ((reply = reply.trimmed()).isEmpty())
                    continue;
                const bool spoiled = reply.startsWith('~');
                const QByteArray good = frame(reply == "=" ? request : reply.sliced(spoiled));
                while (got.size() < at + good.size() && port.waitForReadyRead(3000))
                    got += port.readAll();
                const QByteArray part = got.mid(at, good.size());
                at += good.size();
                const auto unframed = framing(mode).unframe(part);
                const auto wrong = std::inner_product(part.cbegin(), part.cend(), good.cbegin(), 0,
                                                      std::plus<>(), std::not_equal_to<>());
                QVERIFY2(spoiled ? part.size() == good.size() && wrong == 1 && unframed
                                         && !unframed->checkOk
                                 : part == good,
                         step + ": " + got.toHex(' '));
            }
            QCOMPARE(got.size(), at);
        }
    }

    // Every --fault list is checked before the simulator starts: a bad one stops it, naming
    // the list and what it takes.
    void badFaultSpecs_data()
    {
        QTest::addColumn<QString>("list");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *list, const char *message) {
            QTest::newRow(list) << QString::fromLatin1(list)
                                << QStringLiteral("--fault \"%1\": %2").arg(list, message);
        };
        row("drop=101", "drop takes a whole percentage from 0 to 100");
        row("05:corrupt=-1", "corrupt takes a whole percentage from 0 to 100");
        row("delay=60001", "delay takes a whole number of milliseconds from 0 to 60000");
        row("lose-steps=1.5", "lose-steps takes a whole number of pulses from 0 to 2147483647");
        for (const char *slow : {"slow=0", "slow=1.01", "slow=nan"})
            row(slow, "slow takes a number over 0 and at most 1, such as 0.9");
        row("drop=5,speed=2",
            "\"speed=2\" is no fault; a list is [HEX:]KEY=VALUE,... with "
            "drop=PCT, corrupt=PCT, delay=MS, lose-steps=N, slow=FACTOR");
        row("F8:drop=5", "\"F8\" is not a station address from 1 to F7 (hex)");
        row("2A:drop=5", "station 2A is not on the line (see --address)");
    }
    void badFaultSpecs()
    {
        QFETCH(QString, list);
        QFETCH(QString, message);
        const auto stations = withFaults({{.address = 5}}, {QStringLiteral("drop=5"), list});
        QCOMPARE(stations ? QString() : stations.error(), message);
    }

    // Stations at rates of their own, as typed on the command line; a list it cannot take
    // stops the program before it starts, with the reason and exit status 2.
    void programStations()
    {
        QProcess refused;
        refused.start(STEPPERBENCH_SIM, {"--address", "5,F8", "--quiet"});
        QVERIFY(refused.waitForFinished(5000) && refused.exitCode() == 2);
        QVERIFY(refused.readAllStandardError().contains(
                "--address: \"F8\" is not a station address"));
        refused.start(STEPPERBENCH_SIM, {"--fault", "slow=0.5", "--fault", "1:slow=2", "--quiet"});
        QVERIFY(refused.waitForFinished(5000) && refused.exitCode() == 2);
        QVERIFY(refused.readAllStandardError().contains("--fault \"1:slow=2\": slow takes"));
        QProcess sim;
        sim.start(STEPPERBENCH_SIM,
                  {"--wire-time", "--baud", "19200", "--address", "5:9600,2A", "--quiet"});
        QTRY_VERIFY(sim.canReadLine());
        QSerialPort port(QString::fromLocal8Bit(sim.readLine().trimmed()));
        QVERIFY(port.open(QIODevice::ReadWrite));
        QCOMPARE(talk(port, 9600, {"2A 20 00", "05 20 00"}, {"05 20 00"}), frames({"05 20 00"}));
        QCOMPARE(talk(port, 19200, {"2A 20 00"}, {"2A 20 00"}), frames({"2A 20 00"}));
        sim.terminate();
        QVERIFY(sim.waitForFinished(5000));
    }

    void program_data()
    {
        // Where the link leads before the start, if anywhere ("later": elsewhere before the end).
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("signal"); // that stops the program; 0: it refuses to start
        QTest::newRow("SIGINT") << QString() << SIGINT;
        QTest::newRow("SIGTERM, link taken over") << "later" << SIGTERM;
        QTest::newRow("SIGHUP, stale link to a terminal") << "pty" << SIGHUP;
        QTest::newRow("SIGQUIT, stale link to nothing") << "/dev/pts/999999" << SIGQUIT;
        QTest::newRow("link to another simulator") << "sim" << 0;
    }
    void program()
    {
        QFETCH(QString, before);
        QFETCH(int, signal);
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
        sim.start(STEPPERBENCH_SIM, {"--link", link, "--inputs", "00011"});
        if (signal == 0) {
            QVERIFY(sim.waitForFinished(5000) && sim.exitCode() == 1);
            QVERIFY(sim.readAllStandardError().contains("which another simulator serves"));
            QCOMPARE(QFileInfo(link).symLinkTarget(), target);
            return;
        }
        QTRY_VERIFY(sim.canReadLine());
        const QString path = QString::fromLocal8Bit(sim.readLine().trimmed());
        QCOMPARE(QFileInfo(link).symLinkTarget(), path);
        QSerialPort port(path);
        QVERIFY(port.open(QIODevice::ReadWrite));
        const QByteArray inputs = "01 42 05 00 00 01 01 01"; // IN1 and IN2 active (0)
        QCOMPARE(talk(port, 9600, {"01 42 00"}, {inputs}), frames({inputs}));
        if (before == "later")
            QVERIFY(QFile::remove(link) && QFile::link(pty.path(), link));
        ::kill(pid_t(sim.processId()), signal);
        QVERIFY(sim.waitForFinished(5000) && sim.exitStatus() == QProcess::NormalExit);
        QCOMPARE(QFileInfo(link).symLinkTarget(), before == "later" ? pty.path() : QString());
    }

    // What is typed or piped in is read line by line, whole, whatever the pieces;
    // a line over 1024 characters is refused whole, not run in parts.
    void commandLines_data()
    {
        QTest::addColumn<QList<QByteArray>>("pieces");
        QTest::addColumn<QStringList>("lines"); // "!" for a refused one
        using L = QList<QByteArray>;
        QTest::newRow("three pieces") << L{"inp", "uts 00", "011\n"} << QStringList{"inputs 00011"};
        QTest::newRow("two lines, CR LF, no end") << L{"a\r\nb\nc"} << QStringList{"a", "b", "c"};
        QTest::newRow("a long line, then one")
                << L{QByteArray(1'000'000, '#') + "inputs 00011", "\ninputs 00001\n"}
                << QStringList{"!", "inputs 00001"};
        QTest::newRow("long in pieces")
                << L{QByteArray(1000, '#'), QByteArray(1000, '#'), "inputs 00011\nx\n"}
                << QStringList{"!", "x"};
    }
    void commandLines()
    {
        QFETCH(QList<QByteArray>, pieces);
        QFETCH(QStringList, lines);
        SimLineReader reader;
        QStringList got;
        const auto take = [&](const QList<SimLineReader::Line> &read) {
            for (const SimLineReader::Line &line : read)
                got << (line.tooLong ? QStringLiteral("!") : QString::fromLatin1(line.text));
        };
        for (const QByteArray &piece : pieces)
            take(reader.feed(piece));
        take(reader.finish());
        QCOMPARE(got, lines);
    }
};

QTEST_GUILESS_MAIN(TestSimServer)
#include "tst_sim_server.moc"
