#include "codec/checksum.h"

#include <QTest>

using namespace CommSetting;

class TestChecksum : public QObject
{
    Q_OBJECT

private slots:
    void checks_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("crc"); // low byte, then high byte
        QTest::addColumn<int>("lrc");
        // Published MODBUS vectors, and lengths around the eight-byte fast path.
        QTest::newRow("empty") << QByteArray() << "FFFF" << 0x00;
        QTest::newRow("six bytes") << QByteArray::fromHex("1103007C0002") << "0743" << 0x6E;
        QTest::newRow("eight bytes") << QByteArray::fromHex("1234234534564567") << "E2DB" << 0x1C;
        QTest::newRow("nine bytes") << QByteArray("123456789") << "374B" << 0x23;
        QTest::newRow("300 bytes of FF") << QByteArray(300, char(0xFF)) << "30DB" << 0x2C;
    }
    void checks()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, crc);
        QFETCH(int, lrc);
        CrcLow = CrcHigh = 0x55;
        QCOMPARE(CalcCrc(bytes), crc);
        QCOMPARE(QString::asprintf("%02X%02X", CrcLow, CrcHigh), crc);
        QCOMPARE(int(CalcLrc(bytes)), lrc);
    }
};

QTEST_GUILESS_MAIN(TestChecksum)
#include "tst_checksum.moc"
