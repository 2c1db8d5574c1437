// stepperbench-cli run as a bench script runs it, against the simulated
// controller on a pseudo-terminal: the exit status, the lines it prints, the
// files it writes and what the controller holds afterwards.
#include "device/frame.h"
#include "sim/sim_server.h"

#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

/// A list file line: the RTU frame of \a payload as the window's hex text.
QByteArray listLine(const char *payload)
{
    return frameRtu(QByteArray::fromHex(payload)).toHex(' ').toUpper() + " \r\n";
}

} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void commands_data()
    {
        // Arguments split at blanks; %port stands for the simulator's terminal, %in for
        // a file holding the input, %out for a file the program writes.
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("stdoutLine"); // a line that starts so
        QTest::addColumn<QString>("stderrText"); // in standard error; empty: nothing there
        QTest::addColumn<int>("exchanges"); // lines of one exchange each; -1: any number
        QTest::addColumn<QByteArray>("written"); // in %out; empty: no %out
        QTest::addColumn<qint32>("maxSpeed"); // the controller's afterwards

        const QByteArray set = "# 配置\nmax_speed = 12000\nio 00011 = 31 04 00 00 27 10\n";
        const QByteArray twoLines = listLine("012800") + "Delay:5\r\n" + listLine("012600");
        QTest::newRow("scan finds station 01")
                << u"scan --port %port --from 01 --to 03 --baud 9600"_s << QByteArray() << 0
                << u"station 01 answers at 9600 baud"_s << QString() << 3 << QByteArray() << 10000;
        QTest::newRow("scan, ascii, at two rates")
                << u"scan --port=%port --mode ASCII --from 1 --to 1 --baud 9600,19200"_s
                << QByteArray() << 0 << u"scan: 1 station(s) found, 2 answer(s), at"_s << QString()
                << 2 << QByteArray() << 10000;
        QTest::newRow("scan of silent addresses")
                << u"scan --port %port --from 10 --to 12 --baud 9600"_s << QByteArray() << 1
                << u"scan: 0 station(s) found, 0 answer(s), at"_s << QString() << 3 << QByteArray()
                << 10000;
        QTest::newRow("config read, captured")
                << u"config read %out --port %port --capture %in.log"_s << QByteArray() << 0
                << u"config read: station 01: 37 items saved to "_s << QString() << 37
                << QByteArray("\nmax_speed = 10000\n") << 10000;
        QTest::newRow("config write, read back equal")
                << u"config write %in --port %port"_s << set << 0
                << u"station 01: all 2 items equal"_s << QString() << 4 << QByteArray() << 12000;
        QTest::newRow("config write, one station silent")
                << u"config write %in --port %port --address 01,06"_s << set << 1
                << u"station 06: no answer"_s << QString() << 5 << QByteArray() << 12000;
        QTest::newRow("config verify finds a difference")
                << u"config verify %in --port %port"_s << set << 1
                << u"station 01: max_speed differs: file 12000, controller 10000"_s << QString()
                << 2 << QByteArray() << 10000;
        QTest::newRow("config write, a bad line")
                << u"config write %in --port %port"_s
                << QByteArray("max_speed = 12000\nstart_speed = fast\n") << 2 << QString()
                << u"in: Line 2:"_s << 0 << QByteArray() << 10000;
        QTest::newRow("no such port")
                << u"scan --port /dev/no-such-tty"_s << QByteArray() << 2 << QString()
                << u"cannot open port /dev/no-such-tty"_s << 0 << QByteArray() << 10000;
        QTest::newRow("unknown command")
                << u"erase --port %port"_s << QByteArray() << 2 << QString()
                << u"unknown command \"erase\""_s << 0 << QByteArray() << 10000;
        QTest::newRow("an option of another command")
                << u"scan --port %port --loops 2"_s << QByteArray() << 2 << QString()
                << u"--loops does not apply to scan"_s << 0 << QByteArray() << 10000;
        QTest::newRow("run, 3 loops of 2 lines")
                << u"run %in --port %port --loops 3 --interval 10"_s << twoLines << 0
                << u"run: 3 pass(es) through "_s << QString() << 6 << QByteArray() << 10000;
        QTest::newRow("run, a jump back ends a pass")
                << u"run %in --port %port --loops 2 --interval 10"_s
                << listLine("012800") + listLine("012600") + "GoIdx:1\r\n"
                << 0 << u"run: 2 pass(es) through "_s << QString() << 3 << QByteArray() << 10000;
        QTest::newRow("run for a time")
                << u"run %in --port %port --duration 0.3 --interval 9"_s << listLine("012800") << 0
                << u"run: "_s << QString() << -1 << QByteArray() << 10000;
        QTest::newRow("run, no list file")
                << u"run %out --port %port"_s << QByteArray() << 2 << QString()
                << u"cannot read the list "_s << 0 << QByteArray() << 10000;
        QTest::newRow("run, loops and duration")
                << u"run %in --port %port --loops 2 --duration 1"_s << listLine("012800") << 2
                << QString() << u"--loops and --duration exclude each other"_s << 0 << QByteArray()
                << 10000;
        QTest::newRow("config read, silent station")
                << u"config read %out --port %port --address 7"_s << QByteArray() << 1
                << u"config read: station 07 did not answer"_s << QString() << 1 << QByteArray()
                << 10000;
        QTest::newRow("config verify, ascii, equal")
                << u"config verify %in --port %port --mode ascii"_s
                << QByteArray("max_speed = 10000\n") << 0 << u"station 01: all 1 items equal"_s
                << QString() << 1 << QByteArray() << 10000;
        QTest::newRow("scan, a rate the controller lacks")
                << u"scan --port %port --baud 9600,57600"_s << QByteArray() << 2 << QString()
                << u"--baud: \"57600\" is not a rate"_s << 0 << QByteArray() << 10000;
        QTest::newRow("scan, range backwards")
                << u"scan --port %port --from 05 --to 03"_s << QByteArray() << 2 << QString()
                << u"--from 05 lies after --to 03"_s << 0 << QByteArray() << 10000;
        QTest::newRow("run, no station")
                << u"run %in --port %port --timeout 100"_s << listLine("052800") << 1
                << u"run: 1 pass(es) through "_s << QString() << 1 << QByteArray() << 10000;
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
        QVERIFY(simulator.openPseudoTerminal());
        QTemporaryDir dir;
        QFile in(dir.filePath(u"in"_s));
        QVERIFY(in.open(QIODevice::WriteOnly) && in.write(input) == input.size());
        in.close();
        QStringList arguments = commandLine.split(u' ');
        for (QString &argument : arguments) {
            argument.replace(u"%port"_s, simulator.devicePath())
                    .replace(u"%in"_s, in.fileName())
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

        if (!stdoutLine.isEmpty()) {
            QVERIFY2(std::any_of(lines.begin(), lines.end(),
                                 [&](const QString &line) { return line.startsWith(stdoutLine); }),
                     qPrintable(out));
        }
        QVERIFY2(stderrText.isEmpty() ? err.isEmpty() : err.contains(stderrText), qPrintable(err));
        // Time to the millisecond, request, reply, verdict: one line per exchange.
        static const QRegularExpression exchange(
                u"^\\d{4}-\\d\\d-\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}  TX [0-9A-F ]+  RX "
                "([0-9A-F ]+|-)  \\S+"_s);
        if (exchanges >= 0)
            QCOMPARE(lines.filter(exchange).size(), exchanges);
        if (exitCode == 0 && !out.isEmpty())
            QVERIFY2(lines.last().contains(u"requests"_s), qPrintable(out)); // the summary
        QFile outFile(dir.filePath(u"out"_s));
        QCOMPARE(outFile.exists(), !written.isEmpty());
        if (!written.isEmpty())
            QVERIFY(outFile.open(QIODevice::ReadOnly) && outFile.readAll().contains(written));
        QCOMPARE(simulator.controller().parameters().maxSpeed, maxSpeed);
        if (arguments.contains(u"--capture"_s)) {
            QFile capture(in.fileName() + u".log"_s);
            QVERIFY(capture.open(QIODevice::ReadOnly));
            QCOMPARE(capture.readAll().count(" RX 01 28 04 00 00 27 10 "), 1);
        }
    }
};

QTEST_GUILESS_MAIN(TestCli)
#include "tst_cli.moc"
