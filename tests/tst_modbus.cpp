// Standard MODBUS against real peers: a libmodbus slave (modbus_peer) behind a relay that plays
// a shared RS-485 line (bus_tap: master side, slave side, listen-only tap), mbpoll as a master.
#include "exchange/exchange_log_model.h"
#include "test_util.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>

#include <csignal>

namespace {

// The relay and the slave behind it; the relay ends when its input closes.
struct Bus
{
    explicit Bus(bool ascii, const QStringList &tapOptions = {})
    {
        tap.start(QStringLiteral(BUS_TAP), tapOptions);
        tap.waitForReadyRead(5000);
        for (const QString &part : QString::fromLatin1(tap.readLine()).trimmed().split(u' '))
            paths[part.section(u'=', 0, 0)] = part.section(u'=', 1);
        peer.start(QStringLiteral(MODBUS_PEER),
                   {u"--device"_s, paths[u"slave"_s], ascii ? u"--ascii"_s : QString()});
        ready = peer.waitForReadyRead(5000) && peer.readLine() == "ready\n";
    }
    ~Bus() { peer.terminate(), peer.waitForFinished(5000), tap.closeWriteChannel(); }

    QProcess tap, peer;
    QHash<QString, QString> paths;
    bool ready = false;
};

// The command line; a monitor is waited for until it holds the tap open, so that
// nothing on the line goes by unheard.
struct Cli : QProcess
{
    Cli(const QStringList &arguments, const QString &holds = {})
    {
        start(QStringLiteral(STEPPERBENCH_CLI), arguments);
        const QString fds = u"/proc/%1/fd/"_s.arg(waitForStarted() ? processId() : 0);
        static_cast<void>(QTest::qWaitFor([&] {
            const QStringList open = QDir(fds).entryList(QDir::System | QDir::NoDotAndDotDot);
            return holds.isEmpty() || std::any_of(open.begin(), open.end(), [&](const QString &fd) {
                       return QFileInfo(fds + fd).symLinkTarget() == holds;
                   });
        }));
    }
    // Standard output, once it holds \a exchanges lines, or once the program ended.
    QStringList lines(int exchanges = -1)
    {
        const auto done = [&] {
            out += QString::fromUtf8(readAllStandardOutput());
            return exchanges >= 0 ? out.count(u"  Check OK  ") >= exchanges
                                  : state() == QProcess::NotRunning || waitForFinished(100);
        };
        static_cast<void>(QTest::qWaitFor(done, 30000));
        done();
        return out.split(u'\n');
    }
    QString out;
};

} // namespace

class TestModbus : public QObject
{
    Q_OBJECT

private slots:
    // The command line sends standard requests to the libmodbus slave: each is
    // framed, paired, named and decoded, nothing counts as noise or a time-out;
    // the monitor on the tap hears the same exchanges.
    void standardRequests_data()
    {
        QTest::addColumn<bool>("ascii");
        QTest::newRow("rtu") << false;
        QTest::newRow("ascii") << true;
    }
    void standardRequests()
    {
        QFETCH(bool, ascii);
        Bus bus(ascii);
        QVERIFY(bus.ready);
        QTemporaryDir dir;
        QByteArray list;
        for (const char *request : {"010300000002", "010600050007", "0110000A000204000700FF",
                                    "010100000005", "010400000002", "01030000007D"}) {
            const QByteArray payload = QByteArray::fromHex(request);
            list += (ascii ? frameAscii(payload) : frameRtu(payload)).toHex(' ') + " \r\n";
        }
        QVERIFY(writeFile(dir.filePath(u"standard.txt"_s), list));
        const QString mode = ascii ? u"ascii"_s : u"rtu"_s;
        const QString capture = dir.filePath(u"heard.log"_s);
        Cli monitor({u"monitor"_s, u"--port"_s, bus.paths[u"tap"_s], u"--mode"_s, mode,
                     u"--duration"_s, u"3"_s, u"--capture"_s, capture},
                    bus.paths[u"tap"_s]);
        Cli run({u"run"_s, dir.filePath(u"standard.txt"_s), u"--port"_s, bus.paths[u"master"_s],
                 u"--mode"_s, mode, u"--interval"_s, u"50"_s});
        const QStringList ran = run.lines();
        const QStringList heard = monitor.lines();
        QCOMPARE(run.exitCode() + monitor.exitCode(), 0);
        const QStringList expected{
                "Read holding registers: 1000 1001", "Write single register: 7",
                "Write multiple registers: 7 255",   "Read coils: 1 0 0 1 0",
                "Read input registers: 2000 2001",   "Read holding registers: 1000 1001 1002"};
        for (const QStringList &lines : {ran, heard}) {
            QCOMPARE(lines.size(), expected.size() + 2); // the summary, and the end of the output
            for (qsizetype i = 0; i < expected.size(); ++i) {
                QVERIFY2(lines[i].contains(u"  Check OK  ") && lines[i].contains(expected[i]),
                         qPrintable(lines[i]));
            }
            QVERIFY2(lines[6].contains(u"requests 6, replies 6, bad checks 0, exceptions 0, "
                                       "time-outs 0, unexpected 0, noise bytes 0"),
                     qPrintable(lines[6]));
        }
        QVERIFY(heard[1].contains(u"  gap "));
        // The capture has each request heard (REQ) and each reply (RX).
        const QByteArray captured = fileContent(capture);
        QCOMPARE(captured.count(" REQ ") + 10 * captured.count(" RX "), 66);
    }

    // mbpoll polls the slave as another master; the tap also carries noise and
    // pieces of frames between the exchanges. The monitor pairs every exchange
    // mbpoll made, and counts the noise the relay put in, byte for byte.
    void anotherMaster()
    {
        const QString mbpoll = QStandardPaths::findExecutable(u"mbpoll"_s);
        QVERIFY2(!mbpoll.isEmpty(), "mbpoll is not installed (scripts/setup installs it)");
        Bus bus(false, {u"--noise"_s});
        QVERIFY(bus.ready);
        Cli monitor({u"monitor"_s, u"--port"_s, bus.paths[u"tap"_s]}, bus.paths[u"tap"_s]);
        // Options, the device, and the values a write sends.
        const QStringList polls{u"-t 4 -c 2 %1"_s, u"-t 0 -c 4 %1"_s,    u"-t 1 -c 4 %1"_s,
                                u"-t 3 -c 2 %1"_s, u"-t 4 %1 123 456"_s, u"-t 4 -c 1 %1"_s};
        for (const QString &poll : polls) {
            QProcess master;
            master.setProcessChannelMode(QProcess::MergedChannels);
            const QString options = u"-m rtu -a 1 -b 9600 -P none -r 1 -1 "_s + poll;
            master.start(mbpoll, options.arg(bus.paths[u"master"_s]).split(u' '));
            QVERIFY2(master.waitForFinished(10000) && master.exitCode() == 0,
                     master.readAll().constData());
        }
        monitor.lines(int(polls.size()));
        monitor.terminate();
        const QStringList heard = monitor.lines();
        QCOMPARE(monitor.exitCode(), 128 + SIGTERM);
        bus.tap.closeWriteChannel();
        bus.tap.waitForFinished();
        const QString noise = bus.tap.readAllStandardError().split('=').value(1).trimmed();
        QVERIFY2(heard.size() == 8, qPrintable(heard.join(u'\n')));
        QVERIFY(heard[0].contains(u"Read holding registers: 1000 1001")
                && heard[1].contains(u"Read coils: 1 0 0 1")
                && heard[4].contains(u"Write multiple registers: 123 456"));
        QVERIFY2(heard[6].contains(u"requests 6, replies 6, bad checks 0, exceptions 0, time-outs "
                                   "0, unexpected 0, noise bytes %1"_s.arg(noise)),
                 qPrintable(heard[6] + u" / "_s + noise));
    }

    // The manual panel in the window: a standard request, framed by hand in RTU (its CRC
    // worked out, appended, sent) or by "MODBUS发送ASC", gets its reply framed, named in
    // the receive view and decoded in the log.
    void manualPanel_data()
    {
        QTest::addColumn<bool>("ascii");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("rtu") << false << QStringList{u"Command8"_s, u"Command3"_s, u"Command1"_s};
        QTest::newRow("ascii") << true << QStringList{u"Command10"_s};
    }
    void manualPanel()
    {
        QFETCH(bool, ascii);
        QFETCH(QStringList, buttons);
        Bus bus(ascii);
        QVERIFY(bus.ready);
        WindowFixture f;
        f.window.portNames().setMapping(1, bus.paths[u"master"_s]);
        f.mode(ascii ? 1 : 0);
        QVERIFY(f.open());
        f.apply(u"Text1=01 03 00 00 00 02"_s);
        for (const QString &button : buttons)
            f.click(button);
        auto *log = f.control<QTableView>(u"exchangeLog"_s)->model();
        QTRY_COMPARE(log->rowCount(), 1);
        f.window.Timer1_Timer(); // the receive poll shows the reply
        QCOMPARE(log->index(0, ExchangeLogModel::Values).data().toString(), u"1000 1001"_s);
        QCOMPARE(log->index(0, ExchangeLogModel::Result).data().toString(), u"校验正确"_s);
        QCOMPARE(log->index(0, ExchangeLogModel::Description).data().toString(),
                 u"读保持寄存器:"_s);
        QVERIFY(f.text("RichTextBox1").contains(u"读保持寄存器:1000 1001"));
        QVERIFY(f.text("RichTextBox2").contains(u"读保持寄存器:"));
        QVERIFY(f.text("exchangeStatus").contains(u"超时 0 · 意外应答 0 · 噪声 0 字节"));

        // Listening only: what would send is disabled and says why; nothing goes.
        f.control<QCheckBox>(u"monitorMode"_s)->setChecked(true);
        for (const char *name : {"Command12", "Command1", "Check1", "autoPoll", "scanStart"}) {
            QVERIFY2(!f.enabled(QLatin1String(name)), name);
            QVERIFY(f.control(QLatin1String(name))->toolTip().contains(u"只监听"));
        }
        QVERIFY(!f.window.SendFrame(frameRtu(QByteArray::fromHex("010300000002"))));
        f.mode(1); // ASCII: the IO table stays off after listening, and comes back in RTU
        f.control<QCheckBox>(u"monitorMode"_s)->setChecked(false);
        QVERIFY(f.enabled(u"Command12"_s)
                && !f.control(u"Command12"_s)->toolTip().contains(u"只监听"));
        QVERIFY(!f.enabled(u"Command81"_s));
        f.mode(0);
        QVERIFY(f.enabled(u"Command81"_s));
    }
};

QTEST_MAIN(TestModbus)
#include "tst_modbus.moc"
