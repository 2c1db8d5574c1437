#include "codec/checksum.h"
#include "codec/hex_text.h"
#include "device/frame.h"
#include "device/leading_number.h"

#include <QTest>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void rtuFrameLeavesCrcBytes();
    void commMode_data();
    void commMode();
    void int32Data_data();
    void int32Data();
    void directionAnd24BitData_data();
    void directionAnd24BitData();
};

void TestFrame::requestFrames_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("rtu");
    QTest::addColumn<QByteArray>("ascii"); // empty where no ASCII form is known

    auto row = [](const char *name, const char *payload, const char *crc, const char *ascii) {
        const QByteArray bytes = QByteArray::fromHex(payload);
        QTest::newRow(name) << bytes << bytes + QByteArray::fromHex(crc)
                            << (ascii ? QByteArray(ascii) + "\r\n" : QByteArray());
    };
    // Station commands
    row("handshake", "012000", "39C0", ":012000DF");
    row("handshake station A", "0A2000", "4802", ":0A2000D6");
    row("query station address", "002100", "6990", ":002100DF");
    row("change address to 2", "01220102", "2183", ":01220102DA");
    row("change address to 10h", "01220110", "A18E", nullptr);
    row("query baud rate", "012300", "3930", ":012300DC");
    row("baud rate 9600", "01240106", "C041", ":01240106D4");
    row("baud rate 2400", "01240104", "4180", nullptr);
    row("baud rate 38400", "01240109", "8045", nullptr);
    row("baud rate code 0", "01240100", "4043", nullptr);
    // Motion parameters
    row("start speed 100", "01250400000064", "FCDE", ":0125040000006472");
    row("maximum speed 10000", "01270400002710", "E6EB", nullptr);
    row("end speed 1000", "012904000003E8", "FD47", nullptr);
    row("acceleration 10000", "012B0400002710", "E627", nullptr);
    row("deceleration 10000", "012D0400002710", "E641", nullptr);
    row("homing speed 10000", "012F0400002710", "E7A3", nullptr);
    row("start speed 256", "01250400000100", "FCA5", nullptr);
    row("start speed -1", "012504FFFFFFFF", "FCA1", nullptr);
    // Queries and clears
    row("query start speed", "012600", "3A60", ":012600D9");
    row("query homing speed", "013000", "3400", nullptr);
    row("query motion speed", "013600", "37A0", ":013600C9");
    row("query absolute position", "013700", "3630", nullptr);
    row("query relative position", "013900", "3250", nullptr);
    row("query motion status", "013B00", "3330", nullptr);
    row("clear absolute position", "013800", "33C0", nullptr);
    row("clear relative position", "013A00", "32A0", nullptr);
    // Independent MODBUS vectors
    row("read holding register", "010300000001", "840A", ":010300000001FB");
    row("read holding registers of station 11h", "1103007C0002", "0743", ":1103007C00026E");
    row("empty payload", "", "FFFF", ":00");
}

void TestFrame::requestFrames()
{
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, rtu);
    QFETCH(QByteArray, ascii);

    QCOMPARE(frameRequest(payload, CommMode::Rtu), rtu);
    const QByteArray asciiFrame = frameRequest(payload, CommMode::Ascii);
    QCOMPARE(asciiFrame.size(), 2 * payload.size() + 5);
    if (!ascii.isEmpty())
        QCOMPARE(asciiFrame, ascii);
    // The ASCII frame's digits spell the payload and its LRC.
    QCOMPARE(QByteArray::fromHex(asciiFrame.mid(1, asciiFrame.size() - 3)),
             payload + char(CommSetting::CalcLrc(payload)));
}

void TestFrame::rtuFrameLeavesCrcBytes()
{
    frameRtu(QByteArray::fromHex("013600"));
    QCOMPARE(int(CommSetting::CrcLow), 0x37);
    QCOMPARE(int(CommSetting::CrcHigh), 0xA0);
    // The list line of the ASCII query is its character codes as hex text.
    QCOMPARE(FormatHexText(frameAscii(QByteArray::fromHex("013600"))),
             QStringLiteral("3A 30 31 33 36 30 30 43 39 0D 0A "));
}

void TestFrame::commMode_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("rtu");

    QTest::newRow("RTU") << "Modbus RTU" << true;
    QTest::newRow("ASCII item") << "Modbus ASC" << false;
    QTest::newRow("lower case") << "modbus rtu" << false;
    QTest::newRow("trailing blank") << "Modbus RTU " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("typed text") << "RTU" << false;
}

void TestFrame::commMode()
{
    QFETCH(QString, text);
    QFETCH(bool, rtu);
    QCOMPARE(commModeFromText(text) == CommMode::Rtu, rtu);
}

void TestFrame::int32Data_data()
{
    QTest::addColumn<QString>("box");
    QTest::addColumn<QByteArray>("data");

    QTest::newRow("10000") << "10000" << QByteArray::fromHex("00002710");
    QTest::newRow("256") << "256" << QByteArray::fromHex("00000100");
    QTest::newRow("768") << "768" << QByteArray::fromHex("00000300");
    QTest::newRow("65536") << "65536" << QByteArray::fromHex("00010000");
    QTest::newRow("-1") << "-1" << QByteArray::fromHex("FFFFFFFF");
    QTest::newRow("-10000") << "-10000" << QByteArray::fromHex("FFFFD8F0");
    QTest::newRow("largest") << "2147483647" << QByteArray::fromHex("7FFFFFFF");
    QTest::newRow("smallest") << "-2147483648" << QByteArray::fromHex("80000000");
    QTest::newRow("500") << "500" << QByteArray::fromHex("000001F4");
    QTest::newRow("100.5") << "100.5" << QByteArray::fromHex("00000064");
    QTest::newRow("101.5") << "101.5" << QByteArray::fromHex("00000066");
    QTest::newRow("1e3") << "1e3" << QByteArray::fromHex("000003E8");
    QTest::newRow("12abc") << "12abc" << QByteArray::fromHex("0000000C");
    QTest::newRow("abc") << "abc" << QByteArray::fromHex("00000000");
}

void TestFrame::int32Data()
{
    QFETCH(QString, box);
    QFETCH(QByteArray, data);
    const auto value = readField(box, NumberBase::Decimal, Int32Field);
    QVERIFY(value);
    QCOMPARE(int32BigEndian(qint32(*value)), data);
}

void TestFrame::directionAnd24BitData_data()
{
    QTest::addColumn<QString>("direction");
    QTest::addColumn<QString>("count");
    QTest::addColumn<QByteArray>("payload");

    QTest::newRow("move 1000 direction 1") << "1" << "1000"
                                           << QByteArray::fromHex("01320401 0003E8");
    QTest::newRow("bits above 23 dropped") << "0" << "16777216"
                                           << QByteArray::fromHex("01320400 000000");
    QTest::newRow("largest 24-bit") << "0" << "16777215"
                                    << QByteArray::fromHex("01320400 FFFFFF");
    QTest::newRow("-1 keeps low 24 bits") << "0" << "-1"
                                          << QByteArray::fromHex("01320400 FFFFFF");
    QTest::newRow("direction 10 is decimal") << "10" << "1"
                                             << QByteArray::fromHex("0132040A 000001");
}

void TestFrame::directionAnd24BitData()
{
    QFETCH(QString, direction);
    QFETCH(QString, count);
    QFETCH(QByteArray, payload);
    const auto value = readField(count, NumberBase::Decimal, Int32Field);
    const auto dir = readField(direction, NumberBase::Decimal, ByteField);
    QVERIFY(value && dir);
    QCOMPARE(makePayload(0x01, 0x32, directionAnd24Bit(quint8(*dir), qint32(*value))), payload);
}

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
