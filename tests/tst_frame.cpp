#include "codec/checksum.h"
#include "codec/hex_text.h"
#include "device/frame.h"

#include <QTest>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data();
    void requestFrames();
    void rtuFrameLeavesCrcBytes();
};

void TestFrame::requestFrames_data()
{
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("rtu");
    QTest::addColumn<QByteArray>("ascii");

    // The frames of every command button meet literal wire bytes in tst_commands.
    auto row = [](const char *name, const char *payload, const char *crc, const char *ascii) {
        const QByteArray bytes = QByteArray::fromHex(payload);
        QTest::newRow(name) << bytes << bytes + QByteArray::fromHex(crc)
                            << QByteArray(ascii) + "\r\n";
    };
    row("handshake", "012000", "39C0", ":012000DF");
    row("handshake station A", "0A2000", "4802", ":0A2000D6");
    row("query station address", "002100", "6990", ":002100DF");
    row("change address to 2", "01220102", "2183", ":01220102DA");
    row("query baud rate", "012300", "3930", ":012300DC");
    row("baud rate 9600", "01240106", "C041", ":01240106D4");
    row("start speed 100", "01250400000064", "FCDE", ":0125040000006472");
    row("start speed -1", "012504FFFFFFFF", "FCA1", ":012504FFFFFFFFDA");
    row("query start speed", "012600", "3A60", ":012600D9");
    row("query motion speed", "013600", "37A0", ":013600C9");
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
    QCOMPARE(frameRequest(payload, CommMode::Ascii), ascii);
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

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
