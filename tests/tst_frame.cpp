#include "codec/checksum.h"
#include "device/frame.h"

#include <QTest>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QByteArray>("rtu");
        QTest::addColumn<QByteArray>("ascii");
        auto row = [](const char *name, const QByteArray &payload, const char *rtu,
                      const char *ascii) {
            QTest::newRow(name) << payload << QByteArray::fromHex(rtu) << QByteArray(ascii);
        };
        row("handshake station A", makePayload(0x0A, 0x20), "0A20004802", ":0A2000D6\r\n");
        row("32-bit 100", makePayload(1, 0x25, int32BigEndian(100)), "01250400000064FCDE",
            ":0125040000006472\r\n");
        row("direction 1, 24-bit 1000", makePayload(1, 0x32, directionAnd24Bit(1, 1000)),
            "013204010003E8FF50", ":013204010003E8DD\r\n");
        row("MODBUS vector", QByteArray::fromHex("1103007C0002"), "1103007C00020743",
            ":1103007C00026E\r\n");
    }
    void requestFrames()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QByteArray, rtu);
        QFETCH(QByteArray, ascii);
        // Only the exact selector text "Modbus RTU" stands for RTU.
        QCOMPARE(frameRequest(payload, commModeFromText(u"MODBUS RTU")), ascii);
        QCOMPARE(frameRequest(payload, commModeFromText(u"Modbus RTU")).toHex(), rtu.toHex());
        // Like every CRC the program computes, the frame's stays in CrcLow and CrcHigh.
        QCOMPARE(CommSetting::CrcLow, quint8(rtu.at(rtu.size() - 2)));
        QCOMPARE(CommSetting::CrcHigh, quint8(rtu.back()));
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
