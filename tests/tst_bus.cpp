// The bus tab against the simulated controller: the scan finds stations at the rates it tries
// and puts the line back; configuration sets go between stations and files, a faulty one refused.

#include "built_in_simulator.h"
#include "bus/bus_scan.h"
#include "bus/config_transfer.h"
#include "exchange/exchange_monitor.h"
#include "link/mscomm.h"
#include "sim_fixture.h"
#include "test_util.h"

#include <QProgressBar>
#include <QTableView>
#include <QTemporaryDir>

namespace {

/// The rows of the table \a name: its cells \a from to \a to, with "|" between them.
QStringList rows(const WindowFixture &f, const QString &name, int from, int to)
{
    const QAbstractItemModel *model = f.control<QTableView>(name)->model();
    QStringList out;
    for (int r = 0; r < model->rowCount(); ++r) {
        QStringList cells;
        for (int c = from; c <= to; ++c)
            cells << model->index(r, c).data().toString();
        out << cells.join(u'|');
    }
    return out;
}

} // namespace

class TestBus : public QObject
{
    Q_OBJECT

private slots:
    // Two stations listening at different rates on a line with wire time: each
    // is found at its own rate only.
    void scan()
    {
        SimFixture f({SimConfig{.address = 0x05, .baudRate = 9600},
                      SimConfig{.address = 0x07, .baudRate = 19200}});
        f.simulator.setWireTime(true);
        QVERIFY(f.open());
        // The simulator shares the test's event loop: a margin wide enough for
        // a loaded machine, so that a silence means a station at another rate.
        f.apply(u"scanFrom=04;scanTo=08;scanTimeout=200"_s);
        f.pickRates({u"9600"_s, u"19200"_s});
        f.click(u"scanStart"_s);
        QTRY_VERIFY_WITH_TIMEOUT(f.enabled(u"scanStart"_s), 10000);
        QCOMPARE(rows(f, u"scanResults"_s, 0, 1), (QStringList{u"05|9600"_s, u"07|19200"_s}));
        QCOMPARE(f.comm()->settings().baudRate, 9600);
        QVERIFY(f.messages.isEmpty());

        // Cancelled mid-way: the line is back at its rate, the progress says so.
        f.apply(u"scanFrom=01;scanTo=F7"_s);
        f.click(u"scanStart"_s);
        QTRY_VERIFY(f.control<QProgressBar>(u"scanProgress"_s)->value() >= 3);
        // The rate cannot change under a scan: the selector keeps the port's rate.
        auto *baud = f.control<QComboBox>(u"Combo2"_s);
        baud->setCurrentText(u"19200"_s);
        QCOMPARE(baud->currentText(), u"9600"_s);
        QCOMPARE(f.messages.size(), 1);
        f.click(u"scanCancel"_s);
        QVERIFY(f.enabled(u"scanStart"_s));
        QVERIFY(f.control<QProgressBar>(u"scanProgress"_s)->format().startsWith(u"已取消"));
        QCOMPARE(f.comm()->settings().baudRate, 9600);
        // Closing the port ends a scan as well.
        f.click(u"scanStart"_s);
        f.click(u"Command33"_s);
        QVERIFY(f.enabled(u"scanStart"_s) && f.open());

        // "使用" takes the station's address and rate and reopens the port.
        f.apply(u"scanFrom=07;scanTo=07"_s);
        f.pickRates({u"19200"_s});
        f.click(u"scanStart"_s);
        QTRY_COMPARE(rows(f, u"scanResults"_s, 0, 1), QStringList{u"07|19200"_s});
        QTRY_VERIFY(f.enabled(u"scanStart"_s));
        f.click(u"scanUse"_s);
        QCOMPARE(f.text("Text23") + u'@' + f.control<QComboBox>(u"Combo2"_s)->currentText(),
                 u"07@19200"_s);
        QCOMPARE(f.comm()->settings().baudRate, 19200);
        QVERIFY(f.comm()->portOpen());
    }

    // The simulated controller of --simulator is heard at its own rate only, as on a line: a
    // scan over every rate finds its one station once.
    void builtInSimulator()
    {
        WindowFixture f;
        const Result<std::unique_ptr<SimServer>> simulator = startBuiltInSimulator();
        QVERIFY(simulator);
        f.window.portNames().setMapping(1, (*simulator)->devicePath());
        QVERIFY(f.open());
        f.apply(u"scanFrom=01;scanTo=02;scanTimeout=100"_s);
        f.pickRates({u"2400"_s, u"4800"_s, u"9600"_s, u"14400"_s, u"19200"_s, u"38400"_s});
        f.click(u"scanStart"_s);
        QTRY_VERIFY_WITH_TIMEOUT(f.enabled(u"scanStart"_s), 10000);
        QCOMPARE(rows(f, u"scanResults"_s, 0, 1), QStringList{u"01|9600"_s});
    }

    void configuration()
    {
        SimFixture f({SimConfig{.address = 1}, SimConfig{.address = 2}});
        QVERIFY(f.open());
        SimController &controller = f.simulator.controller();
        controller.receive(frameRtu(makePayload(1, 0x27, int32BigEndian(12000))));
        controller.receive(frameRtu(QByteArray::fromHex("01400703310400002710")));
        f.click(u"configRead"_s);
        QTRY_VERIFY(f.text("configStatus").startsWith(u"已读取站 01"));
        const QStringList read = rows(f, u"configDiff"_s, 1, 4);
        QCOMPARE(read.size(), 37);
        QCOMPARE(read[1], u"max_speed||12000|"_s);
        QCOMPARE(read[8], u"io 00011||31 04 00 00 27 10|"_s);

        QTemporaryDir dir;
        const QString path = dir.filePath(u"station.conf"_s);
        f.dialogs->fileNames << path;
        f.click(u"configSave"_s);
        const QByteArray text = fileContent(path);
        QVERIFY(text.contains("\nmax_speed = 12000\n"));
        QVERIFY(text.contains("\nio 00011 = 31 04 00 00 27 10\nio 00100 =\n"));

        // A faulty file is refused whole: the set stays what was read.
        const QString bad = dir.filePath(u"bad.conf"_s);
        QVERIFY(writeFile(bad, "max_speed = 5000\nstart_speed = fast\n"));
        f.dialogs->fileNames << bad;
        f.click(u"configOpen"_s);
        QCOMPARE(f.messages.value(0),
                 u"%1 不能用：第 2 行：start_speed 的值应为 "
                 "-2147483648 到 2147483647 的整数：fast"_s.arg(bad));

        // Written to both stations found by a scan. Station 01 is switched off
        // (its address changed) during the write: it is reported, 02 is written.
        f.dialogs->fileNames << path;
        f.click(u"configOpen"_s);
        SimController &second = f.simulator.controller(1);
        f.apply(u"scanFrom=01;scanTo=02"_s);
        // A pseudo-terminal takes any rate: each station answers at both, and is written once.
        f.pickRates({u"9600"_s, u"19200"_s});
        f.click(u"scanStart"_s);
        QTRY_COMPARE(rows(f, u"scanResults"_s, 0, 1),
                     (QStringList{u"01|9600"_s, u"02|9600"_s, u"01|19200"_s, u"02|19200"_s}));
        QTRY_VERIFY(f.enabled(u"scanStart"_s));
        int settled = 0;
        QObject::connect(&f.window.exchanges(), &ExchangeMonitor::exchangeSettled, [&] {
            if (++settled == 3)
                controller.receive(frameRtu(makePayload(1, 0x22, "\x09")));
        });
        f.click(u"configWrite"_s);
        QTRY_VERIFY_WITH_TIMEOUT(f.text("configStatus").contains(u"站 02"), 10000);
        QCOMPARE(f.text("configStatus"), u"站 01 没有应答；站 02 全部一致"_s);
        QCOMPARE(second.parameters().maxSpeed, 12000);
        QCOMPARE(second.ioEntry(3), QByteArray::fromHex("310400002710"));
        const QStringList written = rows(f, u"configDiff"_s, 1, 4);
        QCOMPARE(written.first(), u"（整站）|||没有应答"_s);
        QCOMPARE(written.filter(u"|一致"_s).size(), 37);
        QCOMPARE(written.size(), 38);
    }

    // The wait for a reply counts from the handshake's last byte written, in
    // milliseconds: its time on the wire (6 ms at 9600 baud) and the margin,
    // less what has passed since, by the scanner's clock.
    void scanWait()
    {
        qint64 now = 0;
        QList<QByteArray> sent;
        BusScanner scanner([&](const QByteArray &frame) { return sent << frame, true; },
                           [](qint32) { return true; }, nullptr, [&] { return now; });
        scanner.start({.from = 1, .to = 1, .rates = {9600}, .marginMs = 15}, 9600);
        auto *wait = scanner.findChild<QTimer *>(u"scanWait"_s);
        QCOMPARE(wait->interval(), 21);
        now = 1'004'000;
        scanner.requestWritten(sent.value(0), 1'000'000);
        QCOMPARE(wait->interval(), 17);
    }

    // A configuration write to two stations over a fake line: station 01 (a
    // simulated controller) takes the set and reads it back equal; station 09 is
    // silent, given up after its first time-out, and reported.
    void transferOverAFakeLine()
    {
        SimController station;
        QList<QByteArray> sent;
        ConfigTransfer transfer([&](const QByteArray &frame) { return sent << frame, true; });
        QList<ConfigTransfer::Outcome> outcomes;
        connect(&transfer, &ConfigTransfer::stationDone, this,
                [&](const ConfigTransfer::Outcome &outcome) { outcomes << outcome; });
        ConfigSet set;
        set.parameters[1] = 12000;
        set.io[3] = QByteArray::fromHex("310400002710");
        transfer.write(set, {0x01, 0x09}, CommMode::Rtu);
        int requests = 0;
        while (!sent.isEmpty()) {
            const QByteArray frame = sent.takeFirst();
            const QByteArray reply = frame[0] == '\x01' ? station.receive(frame) : QByteArray();
            const Verdict verdict = reply.isEmpty() ? Verdict::Timeout : Verdict::Good;
            transfer.exchangeSettled({.request = frame, .reply = reply, .verdict = verdict});
            ++requests;
        }
        QCOMPARE(requests, 5); // two writes, two read-backs, one silent request
        QCOMPARE(station.parameters().maxSpeed, 12000);
        QCOMPARE(outcomes.size(), 2);
        QCOMPARE(outcomes[0].read, set);
        QVERIFY(outcomes[0].answered && !outcomes[1].answered && !transfer.isRunning());
    }
};

QTEST_MAIN(TestBus)
#include "tst_bus.moc"
