#include "link/mscomm.h"
#include "link/open_port.h"
#include "link/port_names.h"
#include "pty_pair.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

class TestMSComm : public QObject
{
    Q_OBJECT

private slots:
    void settings_data();
    void settings();
    void portNumber_data();
    void portNumber();
    void mappingOption_data();
    void mappingOption();
    void openPortCorrectsArguments();
    void openFailures_data();
    void openFailures();
    void writesWholeFrameAndReadsInBlocks();
    void openingDiscardsWaitingBytes();
    void receiveEventOnlyWhenBytesArrived();
    void vanishedDeviceIsReportedOnceAndReopens();
};

void TestMSComm::settings_data()
{
    QTest::addColumn<QString>("settings");
    QTest::addColumn<int>("baud"); // 0: refused

    QTest::newRow("9600") << "9600,n,8,1" << 9600;
    QTest::newRow("typed 115200") << "115200,n,8,1" << 115200;
    QTest::newRow("non-standard rate") << "12345,n,8,1" << 12345;
    QTest::newRow("empty baud text") << ",n,8,1" << 0;
    QTest::newRow("zero") << "0,n,8,1" << 0;
    QTest::newRow("negative") << "-9600,n,8,1" << 0;
    QTest::newRow("letters") << "fast,n,8,1" << 0;
    QTest::newRow("blank inside") << "96 00,n,8,1" << 0;
    QTest::newRow("even parity") << "9600,e,8,1" << 0;
    QTest::newRow("beyond 32 bits") << "9999999999,n,8,1" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestMSComm::settings()
{
    QFETCH(QString, settings);
    QFETCH(int, baud);
    const Result<MSComm::Settings> parsed = MSComm::parseSettings(settings);
    QCOMPARE(parsed ? parsed->baudRate : 0, baud);
    QVERIFY(parsed || !parsed.error().isEmpty());
}

void TestMSComm::portNumber_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("number"); // 0: not a port name

    QTest::newRow("COM1") << "COM1" << 1;
    QTest::newRow("COM9") << "COM9" << 9;
    QTest::newRow("COM10") << "COM10" << 0;
    QTest::newRow("COM0") << "COM0" << 0;
    QTest::newRow("lower case") << "com1" << 0;
    QTest::newRow("trailing blank") << "COM1 " << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestMSComm::portNumber()
{
    QFETCH(QString, name);
    QFETCH(int, number);
    QCOMPARE(PortNames::portNumber(name).value_or(0), number);
}

void TestMSComm::mappingOption_data()
{
    QTest::addColumn<QString>("option");
    QTest::addColumn<int>("port"); // 0: refused
    QTest::addColumn<QString>("path");

    QTest::newRow("USB adapter") << "COM3=/dev/ttyUSB0" << 3 << "/dev/ttyUSB0";
    QTest::newRow("path with equals sign") << "COM1=/tmp/a=b" << 1 << "/tmp/a=b";
    QTest::newRow("no path") << "COM1=" << 0 << "";
    QTest::newRow("no equals sign") << "COM1" << 0 << "";
    QTest::newRow("bad name") << "COM10=/dev/ttyS0" << 0 << "";
}

void TestMSComm::mappingOption()
{
    QFETCH(QString, option);
    QFETCH(int, port);
    QFETCH(QString, path);
    PortNames names;
    QString error;
    QCOMPARE(names.addMapping(option, &error), port != 0);
    QCOMPARE(error.isEmpty(), port != 0);
    if (port)
        QCOMPARE(names.devicePath(port), path);
}

void TestMSComm::openPortCorrectsArguments()
{
    PtyPair pty;
    QVERIFY(pty.isValid());
    PortNames names;
    names.setMapping(1, pty.path());
    MSComm comm;
    qint16 port = 12;
    QString settings;
    QVERIFY(CommSetting::OpenPort(comm, names, port, settings));
    QCOMPARE(port, qint16(1));
    QCOMPARE(settings, QStringLiteral("9600,n,8,1"));
    QVERIFY(comm.portOpen());
    QCOMPARE(comm.inputLen(), 512);
    QCOMPARE(comm.devicePath(), pty.path());
}

void TestMSComm::openFailures_data()
{
    QTest::addColumn<QString>("device");
    QTest::addColumn<QString>("settings");

    QTest::newRow("missing device") << "/dev/stepperbench-no-such-port" << "9600,n,8,1";
    QTest::newRow("no device for the name") << "" << "9600,n,8,1";
    QTest::newRow("empty baud text") << "pty" << ",n,8,1";
    QTest::newRow("baud text not a number") << "pty" << "abc,n,8,1";
    QTest::newRow("not a serial device") << "/dev/null" << "9600,n,8,1";
}

void TestMSComm::openFailures()
{
    QFETCH(QString, device);
    QFETCH(QString, settings);
    PtyPair pty;
    PortNames names;
    if (!device.isEmpty())
        names.setMapping(2, device == u"pty" ? pty.path() : device);
    MSComm comm;
    qint16 port = 2;
    const Status opened = CommSetting::OpenPort(comm, names, port, settings);
    QVERIFY(!opened);
    QVERIFY(!comm.portOpen());
    QVERIFY2(!opened.error().isEmpty(), "a failed opening must say why");
}

void TestMSComm::writesWholeFrameAndReadsInBlocks()
{
    PtyPair pty;
    MSComm comm;
    comm.setDevicePath(pty.path());
    QVERIFY(comm.open());

    const QByteArray frame = QByteArray::fromHex("01200039C0");
    QVERIFY(comm.output(frame));
    QCOMPARE(pty.read(frame.size()), frame);

    QByteArray reply(1300, Qt::Uninitialized);
    for (int i = 0; i < reply.size(); ++i)
        reply[i] = char(i);
    QVERIFY(pty.write(reply));
    QTRY_COMPARE(comm.inBufferCount(), qint64(reply.size()));
    QByteArray got;
    QList<qsizetype> blockSizes;
    while (comm.inBufferCount() > 0) {
        const QByteArray block = comm.input();
        blockSizes << block.size();
        got += block;
    }
    QCOMPARE(blockSizes, (QList<qsizetype>{512, 512, 276}));
    QCOMPARE(got, reply);
}

void TestMSComm::openingDiscardsWaitingBytes()
{
    PtyPair pty;
    MSComm comm;
    comm.setDevicePath(pty.path());
    QVERIFY(comm.open());
    QVERIFY(pty.write("stale"));
    QTRY_COMPARE(comm.inBufferCount(), qint64(5));
    QVERIFY(comm.open());
    QCOMPARE(comm.inBufferCount(), qint64(0));
    comm.close();
    QCOMPARE(comm.inBufferCount(), qint64(0));
}

void TestMSComm::receiveEventOnlyWhenBytesArrived()
{
    PtyPair pty;
    MSComm comm;
    comm.setDevicePath(pty.path());
    QVERIFY(comm.open());
    QCOMPARE(comm.takeCommEvent(), MSComm::ComEvNone);
    QVERIFY(pty.write("x"));
    QTRY_COMPARE(comm.inBufferCount(), qint64(1));
    QCOMPARE(comm.takeCommEvent(), MSComm::ComEvReceive);
    QCOMPARE(comm.takeCommEvent(), MSComm::ComEvNone);
}

void TestMSComm::vanishedDeviceIsReportedOnceAndReopens()
{
    // The port is reached through a link, as a /dev/serial/by-id name would be,
    // so that the "same" device can come back on a new pseudo-terminal.
    QTemporaryDir dir;
    const QString link = dir.filePath(QStringLiteral("ttyBench"));
    auto pty = std::make_unique<PtyPair>();
    QVERIFY(QFile::link(pty->path(), link));

    MSComm comm;
    comm.setDevicePath(link);
    QVERIFY(comm.open());
    QSignalSpy lost(&comm, &MSComm::deviceLost);
    pty->closeFarEnd();
    pty->closeTerminal();
    QTRY_COMPARE(lost.count(), 1);
    QVERIFY(!comm.portOpen());
    QVERIFY(!comm.output("x"));
    // No further reports and no busy loop on the hung-up device.
    for (int i = 0; i < 100; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(lost.count(), 1);

    pty = std::make_unique<PtyPair>();
    QVERIFY(QFile::remove(link));
    QVERIFY(QFile::link(pty->path(), link));
    QVERIFY(comm.open());
    QVERIFY(comm.output("ok"));
    QCOMPARE(pty->read(2), QByteArray("ok"));
}

QTEST_GUILESS_MAIN(TestMSComm)
#include "tst_mscomm.moc"
