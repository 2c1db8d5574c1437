#include "link/device_finder.h"
#include "link/mscomm.h"
#include "link/open_port.h"
#include "link/port_names.h"
#include "pty_pair.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

class TestMSComm : public QObject
{
    Q_OBJECT

    // A port that records what direction control asks of it, in order.
    struct RecordingLines : ModemLines
    {
        bool kernel = false, rts = true, writes = true;
        QStringList calls;
        bool enableKernelRs485() override { return calls << u"kernel"_s, kernel; }
        void disableKernelRs485() override { calls << u"kernel off"_s; }
        bool setRts(bool on) override { return calls << (on ? u"rts up"_s : u"rts down"_s), rts; }
        bool write(QByteArrayView bytes) override
        {
            return calls << u"write %1"_s.arg(bytes.size()), writes;
        }
        bool drain() override { return calls << u"drain"_s, true; }
    };

private slots:
    // RTS goes up before the frame and down after the drain, even when the write fails; the
    // kernel's mode is taken where the driver has it; a port with neither is refused.
    void directionControl_data()
    {
        QTest::addColumn<bool>("kernel");
        QTest::addColumn<bool>("rts");
        QTest::addColumn<bool>("writes");
        QTest::addColumn<QString>("calls");
        QTest::newRow("RTS by hand") << false << true << true
                                     << u"kernel, rts down, rts up, write 5, drain, rts down"_s;
        QTest::newRow("a failed write drops RTS") << false << true << false
                                                  << u"kernel, rts down, rts up, write 5, rts down"_s;
        QTest::newRow("the kernel's mode") << true << true << true << u"kernel, write 5"_s;
        QTest::newRow("neither") << false << false << true << u"kernel, rts down"_s;
    }
    void directionControl()
    {
        QFETCH(bool, kernel);
        QFETCH(bool, rts);
        QFETCH(bool, writes);
        QFETCH(QString, calls);
        RecordingLines lines;
        lines.kernel = kernel;
        lines.rts = rts;
        lines.writes = writes;
        const Result<DirectionMode> mode = DirectionControl::enable(lines);
        QCOMPARE(bool(mode), kernel || rts);
        if (mode)
            QCOMPARE(DirectionControl::send(lines, *mode, QByteArray::fromHex("01200039C0")), writes);
        else
            QVERIFY(mode.error().contains(u"RTS"_s));
        QCOMPARE(lines.calls.join(u", "_s), calls);
    }

    // A pseudo-terminal has no RTS line: the opening says so and leaves the port closed.
    void directionControlRefused()
    {
        PtyPair pty;
        MSComm link;
        link.setDevicePath(pty.path());
        QVERIFY(link.setDirectionControl(true));
        const Status opened = link.open();
        QVERIFY(!opened);
        QVERIFY2(opened.error().contains(u"RTS"_s), qPrintable(opened.error()));
        QVERIFY(!link.portOpen());
    }

    void portMapping_data()
    {
        QTest::addColumn<QString>("option");
        QTest::addColumn<int>("port"); // 0: refused
        QTest::newRow("COM9, path with =") << "COM9=/tmp/a=b" << 9;
        for (const char *bad : {"COM1=", "COM1", "COM10=/a", "COM0=/a", "com1=/a", "COM1 =/a"})
            QTest::newRow(bad) << bad << 0;
    }
    void portMapping()
    {
        QFETCH(QString, option);
        QFETCH(int, port);
        PortNames names;
        const Status added = names.addMapping(option);
        const QString refused = QStringLiteral("\"%1\" is not COMn=PATH with n from 1 to 9");
        QCOMPARE(added ? names.mappings().value(port) : added.error(),
                 port ? option.section(u'=', 1) : refused.arg(option));
    }

    void openPort_data()
    {
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("opened"); // the port after correction; 0: opening fails
        QTest::addColumn<QString>("device"); // of that port; "pty": a pseudo-terminal
        QTest::addColumn<QString>("settings");
        auto row = [](const char *name, int port, int opened, const char *device,
                      const char *settings = "") {
            QTest::newRow(name) << port << opened << QString::fromLatin1(device)
                                << QString::fromLatin1(settings);
        };
        row("COM12 becomes COM1, no settings 9600", 12, 1, "pty");
        row("COM9, any whole baud rate", 9, 9, "pty", "12345,n,8,1");
        row("missing device", 2, 0, "/dev/stepperbench-no-such-port");
        row("no device for the name", 2, 0, "");
        row("not a serial device", 2, 0, "/dev/null");
        for (const char *bad : {",n,8,1", "0,n,8,1", "2147483648,n,8,1", "9600,n,8,1x"})
            row(bad, 2, 0, "pty", bad);
    }
    void openPort()
    {
        QFETCH(int, port);
        QFETCH(int, opened);
        QFETCH(QString, device);
        QFETCH(QString, settings);
        PtyPair pty;
        PortNames names;
        if (!device.isEmpty())
            names.setMapping(opened ? opened : port, device == u"pty" ? pty.path() : device);
        MSComm comm;
        auto number = qint16(port);
        QString text = settings;
        const Status status = CommSetting::OpenPort(comm, names, number, text);
        QCOMPARE(comm.portOpen(), opened != 0);
        QVERIFY2(opened || !status.error().isEmpty(), "a failed opening must say why");
        if (opened) {
            QCOMPARE(number, qint16(opened));
            QCOMPARE(text, settings.isEmpty() ? QStringLiteral("9600,n,8,1") : settings);
        }
    }

    void sessionOverALink()
    {
        // Through a link, as a /dev/serial/by-id name, so the device can come back.
        QTemporaryDir dir;
        const QString link = dir.filePath(QStringLiteral("ttyBench"));
        auto pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::link(pty->path(), link));
        MSComm comm;
        comm.setDevicePath(link);
        QVERIFY(comm.open());
        // What arrives is collected at once and handed out InputLen bytes at a time.
        const QByteArray reply = QByteArray("0123456789").repeated(130);
        QVERIFY(pty->write(reply));
        QTRY_COMPARE(comm.inBufferCount(), qint64(reply.size()));
        QCOMPARE(comm.takeCommEvent(), MSComm::ComEvReceive);
        QCOMPARE(comm.takeCommEvent(), MSComm::ComEvNone);
        comm.setInputLen(500);
        for (qsizetype at = 0; at < reply.size(); at += 500)
            QCOMPARE(comm.input(), reply.mid(at, 500));
        QVERIFY(pty->write("stale"));
        QTRY_COMPARE(comm.inBufferCount(), qint64(5));
        QVERIFY(comm.open()); // opening again discards what waits
        QCOMPARE(comm.inBufferCount(), qint64(0));
        // The device goes away: reported once, its last reply still there to read.
        QSignalSpy lost(&comm, &MSComm::deviceLost);
        QVERIFY(pty->write("last"));
        QTRY_COMPARE(comm.inBufferCount(), qint64(4));
        pty.reset();
        QTRY_COMPARE(lost.count(), 1);
        QVERIFY(!comm.portOpen() && !comm.output("x"));
        QCOMPARE(comm.input(), QByteArray("last"));
        for (int i = 0; i < 100; ++i) // no further reports, no busy loop
            QCoreApplication::processEvents();
        QCOMPARE(lost.count(), 1);
        pty = std::make_unique<PtyPair>();
        QVERIFY(QFile::remove(link) && QFile::link(pty->path(), link));
        QVERIFY(comm.open() && comm.output("01 20"));
        QCOMPARE(pty->read(5), QByteArray("01 20"));
    }

    // A far end that takes bytes slower than they are handed over: the kernel's
    // buffer fills and a write would block. That is backpressure, not a lost
    // device: every frame arrives whole and in order once the far end reads.
    void backpressure()
    {
        PtyPair pty;
        MSComm comm;
        comm.setDevicePath(pty.path());
        QVERIFY(comm.open());
        QSignalSpy lost(&comm, &MSComm::deviceLost);
        QSignalSpy failed(&comm, &MSComm::writeFailed);
        QByteArray all;
        for (int i = 0; i < 400; ++i) {
            const QByteArray frame = QByteArray(258, char('A' + i % 26)) + '\n';
            QVERIFY(comm.output(frame));
            all += frame;
            QCoreApplication::processEvents();
        }
        QVERIFY(comm.bytesToWrite() > 0);
        QByteArray got;
        QVERIFY(QTest::qWaitFor([&] { return (got += pty.readAvailable()).size() >= all.size(); }));
        QVERIFY(got == all);
        QCOMPARE(lost.count() + failed.count(), 0);
        QVERIFY(comm.portOpen());
    }

    // An adapter plugged back under another name is found by its by-id link;
    // a device without one by the path it was opened by.
    void deviceFoundAgain()
    {
        QTemporaryDir byId;
        auto first = std::make_unique<PtyPair>();
        const QString link = byId.filePath(u"usb-FTDI_bench-if00-port0"_qs);
        QVERIFY(QFile::link(first->path(), link));
        DeviceIdentity identity = identifyDevice(first->path(), byId.path());
        QCOMPARE(identity.byIdLink, link);
        // Unplugged: the link and the old name lead nowhere. (Closing the pair is
        // not enough here: another test may be handed the same pts number at once.)
        first.reset();
        QVERIFY(QFile::remove(link) && QFile::link(byId.filePath(u"gone"_qs), link));
        identity.path = byId.filePath(u"ttyUSB0"_qs);
        QCOMPARE(findDevice(identity), QString());
        PtyPair second; // back under a new name
        QVERIFY(QFile::remove(link) && QFile::link(second.path(), link));
        QCOMPARE(findDevice(identity), link);
        QCOMPARE(findDevice(identifyDevice(second.path(), byId.filePath(u"none"_qs))),
                 second.path());
    }
};

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
