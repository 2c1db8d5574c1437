// stepperbench-cli as a bench script runs it, against the simulated controller on a
// pseudo-terminal: exit status, printed lines, written files and the controller afterwards.
#include "pty_pair.h"
#include "sim/sim_server.h"
#include "test_util.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <csignal>

using namespace Qt::StringLiterals;

class TestCli : public QObject
{
    Q_OBJECT

    /// A list file line: the RTU frame of \a hex as the window's hex text.
    static QByteArray listLine(const char *hex) { return rtu(hex).toHex(' ').toUpper() + " \r\n"; }

private slots:
    void commands_data()
    {
        // Arguments split at blanks; %port stands for the simulator's terminal, %stall for a
        // terminal whose far end takes no byte, %in for a file holding the input, %out for a file
        // it writes.
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutLine"); // a line that starts so
        QTest::addColumn<QString>("stderrText"); // in standard error; empty: nothing there
        QTest::addColumn<int>("exchanges"); // lines of one exchange each; -1: any number
        QTest::addColumn<QByteArray>("written"); // in %out; empty: no %out
        QTest::addColumn<qint32>("maxSpeed"); // the controller's afterwards

        const auto row = [](const char *name, const char *commandLine, const QByteArray &input,
                            int exitCode, const char *stdoutLine, const char *stderrText,
                            int exchanges, const char *written = "", qint32 maxSpeed = 10000) {
            QTest::newRow(name) << QString::fromUtf8(commandLine) << input << exitCode
                                << QString::fromUtf8(stdoutLine) << QString::fromUtf8(stderrText)
                                << exchanges << QByteArray(written) << maxSpeed;
        };
        const QByteArray set = "# 配置\nmax_speed = 12000\nio 00011 = 31 04 00 00 27 10\n";
        const QByteArray twoLines = listLine("012800") + "Delay:5\r\n" + listLine("012600");
        row("scan finds station 01", "scan --port %port --from 01 --to 03 --baud 9600", {}, 0,
            "station 01 answers at 9600 baud", "", 3);
        row("scan, ascii, at two rates",
            "scan --port=%port --mode ASCII --from 1 --to 1 --baud 9600,19200", {}, 0,
            "scan: 1 station(s) found, 2 answer(s), at", "", 2);
        row("scan of silent addresses", "scan --port %port --from 10 --to 12 --baud 9600", {}, 1,
            "scan: 0 station(s) found, 0 answer(s), at", "", 3);
        row("config read, captured", "config read %out --port %port --capture %in.log", {}, 0,
            "config read: station 01: 37 items saved to ", "", 37, "\nmax_speed = 10000\n");
        row("config write, read back equal", "config write %in --port %port", set, 0,
            "station 01: all 2 items equal", "", 4, "", 12000);
        row("config write, one station silent", "config write %in --port %port --address 01,06",
            set, 1, "station 06: no answer", "", 5, "", 12000);
        row("config verify finds a difference", "config verify %in --port %port", set, 1,
            "station 01: max_speed differs: file 12000, controller 10000", "", 2);
        row("config write, a bad line", "config write %in --port %port",
            "max_speed = 12000\nstart_speed = fast\n", 2, "", "in cannot be used: Line 2:", 0);
        row("no such port", "scan --port /dev/no-such-tty", {}, 2, "",
            "cannot open port /dev/no-such-tty", 0);
        row("unknown command", "erase --port %port", {}, 2, "", "unknown command \"erase\"", 0);
        row("an option of another command", "monitor --port %port --loops 2", {}, 2, "",
            "--loops does not apply to monitor", 0);
        row("monitor, any rate, hears nothing", "monitor --port %port --baud 115200 --duration 0.2",
            {}, 0, "monitor: ", "", 0);
        row("run, 3 loops of 2 lines", "run %in --port %port --loops 3 --interval 10", twoLines, 0,
            "run: 3 pass(es) through ", "", 6);
        row("run, a jump back ends a pass", "run %in --port %port --loops 2 --interval 10",
            listLine("012800") + listLine("012600") + "GoIdx:1\r\n", 0, "run: 2 pass(es) through ",
            "", 3);
        row("run for a time", "run %in --port %port --duration 0.3 --interval 9",
            listLine("012800"), 0, "run: ", "", -1);
        row("run, no list file", "run %out --port %port", {}, 2, "", "cannot read the list ", 0);
        row("run, loops and duration", "run %in --port %port --loops 2 --duration 1",
            listLine("012800"), 2, "", "--loops and --duration exclude each other", 0);
        row("config read, silent station", "config read %out --port %port --address 7", {}, 1,
            "config read: station 07 did not answer", "", 1);
        row("config verify, ascii, equal", "config verify %in --port %port --mode ascii",
            "max_speed = 10000\n", 0, "station 01: all 1 items equal", "", 1);
        row("scan, a rate the controller lacks", "scan --port %port --baud 9600,57600", {}, 2, "",
            "--baud: \"57600\" is not a rate", 0);
        row("scan, a port given twice", "scan --port %port --port /dev/null", {}, 2, "",
            "--port is given more than once", 0);
        row("scan, range backwards", "scan --port %port --from 05 --to 03", {}, 2, "",
            "--from 05 lies after --to 03", 0);
        row("run, no station", "run %in --port %port --timeout 100", listLine("052800"), 1,
            "run: 1 pass(es) through ", "", 1);
        // A far end that stops taking bytes: the list waits while the line holds its frames back,
        // and after 2 s without a byte taken the run ends with that reason.
        row("run, the far end stops reading", "run %in --port %stall --interval 1 --duration 60",
            QByteArray(259, '\x55').toHex(' ') + "\r\n", 2, "", "stopped taking bytes", -1);
        const QByteArray plan = "[[step]]\nsend = \"set_max_speed\"\nvalue = 12000\n[[step]]\n"
                                "code = \"28\"\nvalue = { equals = 12000 }\n";
        row("test, a plan passes", "test %in --port %port --json %out", plan, 0,
            "test: 1 controller(s), pass; requests 2", "", 0, "\"outcome\": \"pass\"", 12000);
        row("test, ascii over the plan's rtu", "test %in --port %port --mode ascii", plan, 0,
            "test: 1 controller(s), pass; requests 2", "", 0, "", 12000);
        row("test, a station fails", "test %in --port %port --address 05 --timeout 50", plan, 1,
            "test: 1 controller(s), fail", "", 0);
        row("test, a faulty plan", "test %in --port %port", "[[step]]\ncode = 20\n", 2, "",
            "in:2:8: expected a text in quotes", 0);
        row("test, a report that cannot be written", "test %in --port %port --junit /proc/x",
            plan, 2, "", "cannot write /proc/x", 0);
        row("commands", "commands", {}, 0, "set_max_speed               27    signed 32-bit", "", 0);
        row("run, the capture fails", "run %in --port %port --capture /dev/full --interval 10",
            listLine("012800"), 2, "", "/dev/full", -1);
    }

    void commands()
    {
        QFETCH(QString, commandLine);
        QFETCH(QByteArray, input);
        QFETCH(int, exitCode);
        QFETCH(QString, stdoutLine);
        QFETCH(QString, stderrText);
        QFETCH(int, exchanges);
        QFETCH(QByteArray, written);
        QFETCH(qint32, maxSpeed);

        SimServer simulator{SimConfig{}};
        PtyPair stalled; // a far end that takes no byte
        QVERIFY(simulator.openPseudoTerminal());
        QTemporaryDir dir;
        const QString in = dir.filePath(u"in"_s);
        QVERIFY(writeFile(in, input));
        QStringList arguments = commandLine.split(u' ');
        for (QString &argument : arguments) {
            argument.replace(u"%port"_s, simulator.devicePath())
                    .replace(u"%stall"_s, stalled.path())
                    .replace(u"%in"_s, in)
                    .replace(u"%out"_s, dir.filePath(u"out"_s));
        }

        QProcess cli;
        cli.start(QStringLiteral(STEPPERBENCH_CLI), arguments);
        QVERIFY(cli.waitForStarted());
        // The simulator answers from this event loop while the program works.
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 30000);
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        const QStringList lines = out.split(u'\n', Qt::SkipEmptyParts);
        QVERIFY2(cli.exitStatus() == QProcess::NormalExit && cli.exitCode() == exitCode,
                 qPrintable(u"exit %1\n"_s.arg(cli.exitCode()) + out + err));

        const auto starts = [&](const QString &line) {
            return line.startsWith(stdoutLine);
        };
        QVERIFY2(stdoutLine.isEmpty() || std::ranges::any_of(lines, starts), qPrintable(out));
        QVERIFY2(stderrText.isEmpty() ? err.isEmpty() : err.contains(stderrText), qPrintable(err));
        QVERIFY2(!err.contains(u"went away"_s), qPrintable(err)); // no device taken for lost
        // Time to the millisecond, request, reply, verdict: one line per exchange.
        static const QRegularExpression exchange(
                u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  TX [0-9A-F ]+  RX "
                "([0-9A-F ]+|-)  \\S+"_s);
        if (exchanges >= 0)
            QCOMPARE(lines.filter(exchange).size(), exchanges);
        if (exitCode == 0 && !out.isEmpty() && commandLine != u"commands")
            QVERIFY2(lines.last().contains(u"requests"_s), qPrintable(out)); // the summary
        QCOMPARE(QFile::exists(dir.filePath(u"out"_s)), !written.isEmpty());
        QVERIFY(written.isEmpty() || fileContent(dir.filePath(u"out"_s)).contains(written));
        QCOMPARE(simulator.controller().parameters().maxSpeed, maxSpeed);
        if (arguments.contains(in + u".log"_s))
            QCOMPARE(fileContent(in + u".log"_s).count(" RX 01 28 04 00 00 27 10 "), 1);
    }

    // A run ends on time on a line that chatters without a pause, and ends with
    // its summary and its capture written when it is told to stop.
    void endings_data()
    {
        QTest::addColumn<bool>("terminate");
        QTest::newRow("--duration 1 while the line chatters") << false;
        QTest::newRow("SIGTERM") << true;
    }
    void endings()
    {
        QFETCH(bool, terminate);
        PtyPair line;
        QTemporaryDir dir;
        const QString list = dir.filePath(u"list"_s);
        QVERIFY(writeFile(list, listLine("012800")));
        QTimer chatter; // a constant byte, never a pause the framer could settle on
        connect(&chatter, &QTimer::timeout, this, [&] { line.write(QByteArray(64, 'U')); });
        chatter.start(2);
        QProcess cli;
        cli.start(QStringLiteral(STEPPERBENCH_CLI),
                  {u"run"_s, list, u"--port"_s, line.path(), u"--interval"_s, u"50"_s,
                   u"--timeout"_s, u"100"_s, u"--capture"_s, dir.filePath(u"c.log"_s),
                   u"--duration"_s, terminate ? u"30"_s : u"1"_s});
        QVERIFY(cli.waitForStarted());
        QElapsedTimer sinceSignal;
        if (terminate) {
            QTRY_VERIFY_WITH_TIMEOUT(cli.canReadLine(), 10000); // the first exchange
            cli.terminate();
            sinceSignal.start();
        }
        QTRY_VERIFY_WITH_TIMEOUT(cli.state() == QProcess::NotRunning, 20000);
        // The chatter is never framed: it is not waited for once the last request has its
        // verdict (100 ms), so the program ends well before its 2 s guard.
        if (terminate) {
            const qint64 ms = sinceSignal.elapsed();
            QVERIFY2(ms < 1500, qPrintable(QString::number(ms)));
        }
        const QString out = QString::fromUtf8(cli.readAllStandardOutput());
        QCOMPARE(cli.exitCode(), terminate ? 128 + SIGTERM : 1); // the requests timed out
        const QString summary = out.split(u'\n', Qt::SkipEmptyParts).last();
        QVERIFY2(summary.startsWith(u"run: "_s), qPrintable(out));
        // Every request sent has its verdict before the summary.
        static const QRegularExpression counts(
                u"requests (\\d+), replies 0, .*time-outs (\\d+),"_s);
        const QRegularExpressionMatch match = counts.match(summary);
        QVERIFY2(match.hasMatch() && match.captured(1) == match.captured(2), qPrintable(summary));
        if (!terminate) {
            const double seconds = summary.section(u" in "_s, 1).section(u' ', 0, 0).toDouble();
            QVERIFY2(seconds >= 1.0 && seconds <= 1.3, qPrintable(summary));
        }
        QVERIFY(fileContent(dir.filePath(u"c.log"_s)).contains(" TX 01 28 00 "));
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
