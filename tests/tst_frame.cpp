// The requests the tool sends and the replies it reads, in both framings.
#include "codec/checksum.h"
#include "device/command_set.h"
#include "device/frame.h"

#include <QTest>

class TestFrame : public QObject
{
    Q_OBJECT

private slots:
    void requestFrames_data()
    {
        QTest::addColumn<QByteArray>("payload");
        QTest::addColumn<QString>("crc"); // low byte, then high byte
        QTest::addColumn<QByteArray>("lrc");
        auto row = [](const char *name, const QByteArray &bytes, const char *crc, const char *lrc) {
            QTest::newRow(name) << bytes << crc << QByteArray(lrc);
        };
        // Published MODBUS vectors and lengths around the CRC's eight-byte fast path.
        row("empty", {}, "FFFF", "00");
        row("handshake station A", makePayload(0x0A, 0x20), "4802", "D6");
        row("32-bit 100", makePayload(1, 0x25, int32BigEndian(100)), "FCDE", "72");
        row("24-bit, direction 1", makePayload(1, 0x32, directionAnd24Bit(1, 1000)), "FF50", "DD");
        row("six bytes", QByteArray::fromHex("1103007C0002"), "0743", "6E");
        row("eight bytes", QByteArray::fromHex("1234234534564567"), "E2DB", "1C");
        row("nine bytes", "123456789", "374B", "23");
        row("300 bytes of FF", QByteArray(300, char(0xFF)), "30DB", "2C");
    }
    void requestFrames()
    {
        QFETCH(QByteArray, payload);
        QFETCH(QString, crc);
        QFETCH(QByteArray, lrc);
        QCOMPARE(CommSetting::CalcCrc(payload), crc);
        // Only the exact selector text "Modbus RTU" stands for RTU.
        QCOMPARE(frameRequest(payload, commModeFromText(u"Modbus RTU")).toHex().toUpper(),
                 payload.toHex().toUpper() + crc.toLatin1());
        QCOMPARE(frameRequest(payload, commModeFromText(u"MODBUS RTU")),
                 ':' + payload.toHex().toUpper() + lrc + "\r\n");
        // Each framing's description frames the same, sized as it says, and unframes it again.
        for (const CommMode mode : {CommMode::Rtu, CommMode::Ascii}) {
            const Framing &f = framing(mode);
            const QByteArray frame = f.frame(payload);
            QCOMPARE(frame, frameRequest(payload, mode));
            QCOMPARE(f.frameLength(payload.size()), frame.size());
            const QByteArray body = frame.sliced(f.headerSize).chopped(f.trailerSize);
            QCOMPARE(f.spelled ? QByteArray::fromHex(body) : body, payload);
            if (payload.size() >= 2)
                QCOMPARE(f.unframe(frame)->bytes, payload);
            QCOMPARE(framingNamed(QString::fromLatin1(f.name).toUpper()), &f);
        }
    }

    // A reply in either framing: its payload and whether the check holds, or no frame at all.
    void payloads_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("payload"); // "-": not a frame
        QTest::addColumn<bool>("checkOk");
        const auto row = [](const char *name, const QByteArray &frame, const char *payload,
                            bool ok) {
            QTest::newRow(name) << frame << QByteArray(payload) << ok;
        };
        const QByteArray speed = QByteArray::fromHex("013604000003E8"), rtu = frameRtu(speed);
        row("RTU", rtu, "013604000003e8", true);
        row("RTU, CRC high byte first", rtu.chopped(2) + rtu.back() + rtu[rtu.size() - 2],
            "013604000003e8", false);
        row("RTU exception", frameRtu(QByteArray::fromHex("01B601")), "01b601", true);
        row("RTU, three bytes", rtu.first(3), "-", false);
        row("ASCII", frameAscii(speed), "013604000003e8", true);
        row("ASCII lower case, no CR LF", ":013604000003e8da", "013604000003e8", true);
        row("ASCII, bad LRC", ":013604000003E8DB\r\n", "013604000003e8", false);
        row("ASCII, two bytes", ":0144BB\r\n", "0144", true);
        row("ASCII, one byte and LRC", ":01FF\r\n", "-", false);
        row("ASCII, odd digits", ":0136040\r\n", "-", false);
        row("ASCII, not hex", ":01G4BB\r\n", "-", false);
    }
    void payloads()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, payload);
        QFETCH(bool, checkOk);
        const std::optional<FramePayload> got = framePayload(frame);
        QCOMPARE(got ? got->bytes.toHex() : QByteArray("-"), payload);
        QCOMPARE(got && got->checkOk, checkOk);
    }
};

QTEST_GUILESS_MAIN(TestFrame)
#include "tst_frame.moc"
