#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"

#include <QTest>

// A frame the program sent, or a block it received in either mode.
enum class Seen { Sent, Rtu, Ascii };
Q_DECLARE_METATYPE(Seen)

class TestTraffic : public QObject
{
    Q_OBJECT

private slots:
    void viewLines()
    {
        const QByteArray bytes = QByteArray::fromHex("3A30317E7F0020FF");
        QCOMPARE(textLine(u"RecAsc:", bytes), QStringLiteral("RecAsc::01~.. .\n"));
        QCOMPARE(hexLine(u"RecHex:", bytes), QStringLiteral("RecHex:3A 30 31 7E 7F 00 20 FF \n"));
        QCOMPARE(descriptionLine(QStringLiteral("急停命令:")), QStringLiteral("急停命令:\n\r"));
    }

    void described_data()
    {
        QTest::addColumn<Seen>("seen");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("shown"); // received: description|box value|Label15|lamps
        using enum Seen;
        auto row = [](const QByteArray &name, Seen seen, const QByteArray &bytes,
                      const char *shown) {
            QTest::newRow(name.constData()) << seen << bytes << QString::fromUtf8(shown);
        };
        // A whole ASCII frame sent is described by the code it spells, in either
        // mode; anything else by its byte 1 ("0", 30h, in a piece of an ASCII frame).
        row("sent ASCII frame", Sent, ":013600C9\r\n", "查询运动速度:");
        row("sent without CR LF", Sent, ":013600C9", "查询归零运动速度:");
        row("sent, spelling no bytes", Sent, ":0X20\r\n", "查询归零运动速度:");
        row("sent binary frame", Sent, QByteArray::fromHex("013C00"), "急停命令:");
        // The send view's names run from 3D after 3C to the last, 47; other codes have none.
        row("sent 3D", Sent, QByteArray::fromHex("013D00"), "减速停止命令:");
        row("sent 47", Sent, QByteArray::fromHex("014700"), "出厂设置命令:");
        for (const char *none : {"011F00", "013F00", "014000", "014100", "014800", "01A000"})
            row("sent, no name: " + QByteArray(none), Sent, QByteArray::fromHex(none), "");
        // A reply shows the same in RTU and, spelled with its LRC, in ASCII mode.
        // Two-byte replies have no check in RTU.
        auto reply = [&](const QByteArray &name, const char *payload, const char *shown) {
            const QByteArray bytes = QByteArray::fromHex(payload);
            row(name + " RTU", Rtu, bytes.size() == 2 ? bytes : frameRtu(bytes), shown);
            row(name + " ASCII", Ascii, frameAscii(bytes), shown);
        };
        reply("station address", "1A2100", "查询设备地址:当前地址为1A|||");
        reply("baud rate code", "01230108", "查询当前波特率:当前波特率设置为8|||");
        reply("speed", "013604FFFFFFFF", "查询运动速度:|Text17 4294967295||");
        reply("absolute position", "013704FFFFFFFE", "查询运动绝对位置:|Text18-2||");
        reply("moving, left limit", "013B0401000101", "查询运动状态:||运动中|Shape1:1100");
        reply("stopped, right limit", "013B0400010100", "查询运动状态:||停止|Shape1:0001");
        reply("inputs", "0142050100010100", "查询 IN 1-5 状态:|||Shape5:01001");
        reply("inputs, any byte but 01 lit", "01420502FF000101",
              "查询 IN 1-5 状态:|||Shape5:11100");
        reply("two-byte reply", "0144", "设置变速因子命令:|||");
        row("raw in RTU mode", Rtu, ":012000DF\r\n", "查询归零运动速度:|Text28 842018864||");
        // In ASCII mode a block spelling no bytes is named by its byte 1, with no value.
        row("ASCII, odd digit count", Ascii, ":0120D\r\n", "查询归零运动速度:|||");
        row("ASCII, second piece", Ascii, "3704FFFFFFFEC9\r\n", "查询运动绝对位置:|||");
        row("ASCII, binary", Ascii, QByteArray::fromHex("01200039C0"), "请求握手命令:|||");
        row("7 bytes: no value", Rtu, QByteArray::fromHex("012604000003E8"), "查询运动初速度:|||");
        row("two-byte code in a long block", Rtu, QByteArray::fromHex("013C00"), "|||");
        row("empty", Rtu, QByteArray(), "|||");
    }
    void described()
    {
        QFETCH(Seen, seen);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, shown);
        if (seen == Seen::Sent) {
            QCOMPARE(describeSentFrame(bytes).value_or(QString()), shown);
            return;
        }
        const auto mode = seen == Seen::Rtu ? CommMode::Rtu : CommMode::Ascii;
        const ReceivedDisplay got = decodeReceived(bytes, mode);
        QString lamps = got.indicators.isEmpty()
                ? QString()
                : QString::fromLatin1(got.indicators[0].shape) + u':';
        for (const IndicatorState &lamp : got.indicators)
            lamps += QLatin1Char(lamp.active ? '1' : '0');
        const QStringList parts{got.description.value_or(QString()),
                                QLatin1String(got.valueBox) + got.valueText,
                                got.statusCaption.value_or(QString()), lamps};
        QCOMPARE(parts.join(u'|'), shown);
    }
};

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
