#include "codec/checksum.h"

#include <QRandomGenerator>
#include <QTest>

using namespace CommSetting;

namespace {

// The CRC exactly as the bit-serial description has it, as an independent
// reference for the table-driven implementation.
quint16 bitwiseCrc(QByteArrayView data)
{
    quint8 high = 0xFF, low = 0xFF;
    for (const char c : data) {
        low ^= quint8(c);
        for (int i = 0; i < 8; ++i) {
            const bool carry = low & 1;
            low = quint8(low >> 1 | (high & 1) << 7);
            high = quint8(high >> 1);
            if (carry) {
                high ^= 0xA0;
                low ^= 0x01;
            }
        }
    }
    return quint16(high << 8 | low);
}

} // namespace

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void crc_data();
    void crc();
    void crcKeepsOnlyTheLastCall();
    void crcMatchesBitwiseReferenceAtEveryLength();
    void lrc_data();
    void lrc();
};

void TestChecksum::crc_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text"); // low byte, then high byte

    QTest::newRow("read holding register") << QByteArray::fromHex("010300000001") << "840A";
    QTest::newRow("single zero byte") << QByteArray::fromHex("00") << "BF40";
    QTest::newRow("handshake station 1") << QByteArray::fromHex("012000") << "39C0";
    QTest::newRow("handshake station A") << QByteArray::fromHex("0A2000") << "4802";
    QTest::newRow("independent vector 1") << QByteArray::fromHex("1234234534564567") << "E2DB";
    QTest::newRow("independent vector 2") << QByteArray::fromHex("1103007C0002") << "0743";
    QTest::newRow("set start speed 100") << QByteArray::fromHex("01250400000064") << "FCDE";
    QTest::newRow("empty input") << QByteArray() << "FFFF";
}

void TestChecksum::crc()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const int low = text.left(2).toInt(nullptr, 16);
    const int high = text.mid(2).toInt(nullptr, 16);

    CrcLow = CrcHigh = 0x55;
    QCOMPARE(CalcCrc(bytes), text);
    QCOMPARE(int(CrcLow), low);
    QCOMPARE(int(CrcHigh), high);
    QCOMPARE(crc16(bytes), quint16(high << 8 | low));
}

void TestChecksum::crcKeepsOnlyTheLastCall()
{
    CalcCrc(QByteArray::fromHex("010300000001"));
    CalcCrc(QByteArray::fromHex("00"));
    QCOMPARE(int(CrcLow), 0xBF);
    QCOMPARE(int(CrcHigh), 0x40);
    // The pure function leaves the shared bytes alone.
    crc16(QByteArray::fromHex("012000"));
    QCOMPARE(int(CrcLow), 0xBF);
}

void TestChecksum::crcMatchesBitwiseReferenceAtEveryLength()
{
    // Covers the eight-byte fast path, every tail length and every alignment.
    QRandomGenerator rng(20261206);
    QByteArray buffer(1031, Qt::Uninitialized);
    for (char &c : buffer)
        c = char(rng.bounded(256));
    for (int offset = 0; offset < 8; ++offset) {
        for (int length = 0; length <= 1000; length += (length < 40 ? 1 : 97)) {
            const QByteArrayView slice(buffer.constData() + offset, length);
            QCOMPARE(crc16(slice), bitwiseCrc(slice));
        }
    }
}

void TestChecksum::lrc_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("lrc");

    QTest::newRow("read holding register") << QByteArray::fromHex("010300000001") << 0xFB;
    QTest::newRow("handshake") << QByteArray::fromHex("012000") << 0xDF;
    QTest::newRow("sum is a multiple of 256") << QByteArray::fromHex("8080") << 0x00;
    QTest::newRow("300 bytes of FF") << QByteArray(300, char(0xFF)) << 0x2C;
    QTest::newRow("independent vector 1") << QByteArray::fromHex("1234234534564567") << 0x1C;
    QTest::newRow("independent vector 2") << QByteArray::fromHex("1103007C0002") << 0x6E;
    QTest::newRow("empty input") << QByteArray() << 0x00;
}

void TestChecksum::lrc()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, lrc);
    QCOMPARE(int(CalcLrc(bytes)), lrc);
}

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
