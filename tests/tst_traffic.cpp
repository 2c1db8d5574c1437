#include "traffic/reply_decoder.h"
#include "traffic/traffic_lines.h"

#include <QTest>

Q_DECLARE_METATYPE(CommMode)

namespace {

QString indicatorsText(const ReceivedDisplay &display)
{
    QStringList parts;
    for (const IndicatorState &i : display.indicators)
        parts << QStringLiteral("%1:%2").arg(QLatin1String(i.shape), i.active ? u"red" : u"text");
    return parts.join(u' ');
}

} // namespace

class TestTraffic : public QObject
{
    Q_OBJECT

private slots:
    void lines();
    void sentDescription_data();
    void sentDescription();
    void received_data();
    void received();
    void valueText_data();
    void valueText();
};

void TestTraffic::lines()
{
    const QByteArray frame = QByteArray::fromHex("010AFF");
    QCOMPARE(hexLine(u"SndHex:", frame), QStringLiteral("SndHex:01 0A FF \n"));
    QCOMPARE(hexLine(u"SndHex:", frame).size(), 17);
    QCOMPARE(textLine(u"RecAsc:", QByteArray::fromHex("3A30317E7F0020")),
             QStringLiteral("RecAsc::01~.. \n"));
    QCOMPARE(descriptionLine(QStringLiteral("急停命令:")), QStringLiteral("急停命令:\n\r"));

    // One character per byte, whatever the byte.
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QCOMPARE(textLine(u"", all).size(), 257);
}

void TestTraffic::sentDescription_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<CommMode>("mode");
    QTest::addColumn<QString>("description"); // null: none

    const auto rtu = CommMode::Rtu;
    const auto ascii = CommMode::Ascii;
    QTest::newRow("handshake") << QByteArray::fromHex("01200039C0") << rtu
                               << QStringLiteral("请求握手命令:");
    QTest::newRow("address query: short text") << QByteArray::fromHex("0021006990") << rtu
                                               << QStringLiteral("查询设备地址:");
    QTest::newRow("IO download: none") << QByteArray::fromHex("014007") << rtu << QString();
    QTest::newRow("one byte: none") << QByteArray::fromHex("01") << rtu << QString();
    QTest::newRow("ASCII frame by its code") << QByteArray(":012000DF\r\n") << ascii
                                             << QStringLiteral("请求握手命令:");
    QTest::newRow("ASCII frame in RTU mode: raw byte 1") << QByteArray(":013600C9\r\n") << rtu
                                                         << QStringLiteral("查询归零运动速度:");
    QTest::newRow("ASCII mode, not spelling bytes") << QByteArray(":0X20\r\n") << ascii
                                                    << QStringLiteral("查询归零运动速度:");
    QTest::newRow("ASCII mode, binary frame") << QByteArray::fromHex("013C00") << ascii
                                              << QStringLiteral("急停命令:");
}

void TestTraffic::sentDescription()
{
    QFETCH(QByteArray, frame);
    QFETCH(CommMode, mode);
    QFETCH(QString, description);
    QCOMPARE(describeSentFrame(frame, mode).value_or(QString()), description);
}

void TestTraffic::received_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<CommMode>("mode");
    QTest::addColumn<QString>("description"); // null: none
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("status");
    QTest::addColumn<QString>("indicators");

    const auto rtu = CommMode::Rtu;
    const auto ascii = CommMode::Ascii;
    auto row = [](const char *name, const QByteArray &block, CommMode mode, const char *line,
                  const char *box = "", const char *value = "", const char *status = "",
                  const char *indicators = "") {
        QTest::newRow(name) << block << mode
                            << (line ? QString::fromUtf8(line) : QString()) << QString::fromUtf8(box)
                            << QString::fromUtf8(value) << QString::fromUtf8(status)
                            << QString::fromUtf8(indicators);
    };
    const auto hex = [](const char *h) { return QByteArray::fromHex(h); };

    // Long replies with a value in a read-back box.
    row("start speed", hex("0126040000 03E8 AABB"), rtu, "查询运动初速度:", "Text27", " 1000");
    row("maximum speed", hex("012804 00002710 AABB"), rtu, "查询运动最大速度:", "Text26", " 10000");
    row("end speed", hex("012A04 000003E8 AABB"), rtu, "查询运动末速度:", "Text25", " 1000");
    row("acceleration", hex("012C04 00002710 AABB"), rtu, "查询运动加速度:", "Text24", " 10000");
    row("deceleration", hex("012E04 00002710 AABB"), rtu, "查询运动减速度:", "Text6", " 10000");
    row("homing speed", hex("013004 00000000 AABB"), rtu, "查询归零运动速度:", "Text28", " 0");
    row("motion speed", hex("013604 00000064 AABB"), rtu, "查询运动速度:", "Text17", " 100");
    row("speed of 2^31 shows unsigned", hex("013604 80000000 AABB"), rtu, "查询运动速度:",
        "Text17", " 2147483648");
    row("absolute position -2", hex("013704 FFFFFFFE AABB"), rtu, "查询运动绝对位置:", "Text18",
        "-2");
    row("absolute position most negative", hex("013704 80000000 AABB"), rtu,
        "查询运动绝对位置:", "Text18", "-2147483648");
    row("relative position", hex("013904 00000010 AABB"), rtu, "查询运动相对位置:", "Text19",
        " 16");
    row("value needs only the first check byte", hex("012604 000003E8 AA"), rtu,
        "查询运动初速度:", "Text27", " 1000");
    row("short start speed: line only", hex("0126040000"), rtu, "查询运动初速度:");
    // Indicators.
    row("status stopped", hex("013B04 00010001 AABB"), rtu, "查询运动状态:", "", "", "停止",
        "Shape1:text Shape2:text Shape3:red Shape4:text");
    row("status moving, limits active", hex("013B04 01000000 AABB"), rtu, "查询运动状态:", "", "",
        "运动中", "Shape1:red Shape2:red Shape3:red Shape4:red");
    row("inputs", hex("014205 0100010100 AABB"), rtu, "查询 IN 1-5 状态:", "", "", "",
        "Shape5:text Shape6:red Shape7:text Shape8:text Shape9:red");
    // Lines with the value inline.
    row("station address", hex("052100 AABB"), rtu, "查询设备地址:当前地址为5");
    row("station address 1A", hex("1A2100"), rtu, "查询设备地址:当前地址为1A");
    row("baud-rate code", hex("01230106 AABB"), rtu, "查询当前波特率:当前波特率设置为6");
    row("baud-rate code missing", hex("012300"), rtu, nullptr);
    // Echoed commands.
    row("handshake", hex("01200039C0"), rtu, "请求握手命令:");
    row("set speed", hex("01250400000064FCDE"), rtu, "设置运动初速度:");
    row("move", hex("01310400002710AABB"), rtu, "设置32位运动脉冲数并开始运动:");
    row("full-width comma", hex("01330400002710AABB"), rtu, "设置32位运动速度，并恒速运动:");
    // Two-byte replies.
    row("immediate stop", hex("013C"), rtu, "急停命令:");
    row("decelerating stop", hex("013D"), rtu, "减速停止命令:");
    row("find zero point", hex("013E"), rtu, "查找原点命令:");
    row("speed factor", hex("0144"), rtu, "设置变速因子命令:");
    row("quantitative acceleration", hex("0145"), rtu, "定量加速命令:");
    row("quantitative deceleration", hex("0146"), rtu, "定量减速命令:");
    row("factory settings", hex("0147"), rtu, "出厂设置命令:");
    row("stop code in a long block", hex("013C00AABB"), rtu, nullptr);
    row("handshake code in a short block", hex("0120"), rtu, nullptr);
    row("input state query not decoded", hex("014300AABB"), rtu, nullptr);
    row("error reply", hex("01A001AABB"), rtu, nullptr);
    row("one byte", hex("01"), rtu, nullptr);
    row("empty", QByteArray(), rtu, nullptr);
    // ASCII mode: decoded by the bytes the characters spell, the last being the LRC.
    row("ASCII start speed", ":0126040000 03E8 AA\r\n", ascii, "查询运动初速度:", "Text27", " 1000");
    row("ASCII absolute position", ":013704FFFFFFFEC7\r\n", ascii, "查询运动绝对位置:", "Text18",
        "-2");
    row("ASCII inputs", ":0142050100010100B6\r\n", ascii, "查询 IN 1-5 状态:", "", "", "",
        "Shape5:text Shape6:red Shape7:text Shape8:text Shape9:red");
    row("ASCII stop is a two-byte reply", ":013CC3\r\n", ascii, "急停命令:");
    row("ASCII handshake", ":012000DF\r\n", ascii, "请求握手命令:");
    row("ASCII fragment without CR LF", ":012604000003", ascii, "查询运动初速度:");
    // Read raw: byte 1 is the character "0" (0x30), bytes 3 to 6 are characters.
    row("ASCII block read raw in RTU mode", ":012000DF\r\n", rtu, "查询归零运动速度:", "Text28",
        " 842018864");
    row("ASCII mode, odd digit count: raw", ":0120D\r\n", ascii, "查询归零运动速度:", "Text28",
        " 842023949");
    row("ASCII mode, binary block: raw", hex("01200039C0"), ascii, "请求握手命令:");
}

void TestTraffic::received()
{
    QFETCH(QByteArray, block);
    QFETCH(CommMode, mode);
    QFETCH(QString, description);
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, status);
    QFETCH(QString, indicators);

    if (block.startsWith(':'))
        block.replace(' ', QByteArray()); // the ASCII rows use blanks for reading
    const ReceivedDisplay display = decodeReceived(block, mode);
    QCOMPARE(display.description.value_or(QString()), description);
    QCOMPARE(QString::fromLatin1(display.valueBox ? display.valueBox : ""), box);
    QCOMPARE(display.valueText, value);
    QCOMPARE(display.statusCaption.value_or(QString()), status);
    QCOMPARE(indicatorsText(display), indicators);
}

void TestTraffic::valueText_data()
{
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");
    QTest::newRow("positive") << qint64(1000) << " 1000";
    QTest::newRow("zero") << qint64(0) << " 0";
    QTest::newRow("negative") << qint64(-2) << "-2";
}

void TestTraffic::valueText()
{
    QFETCH(qint64, value);
    QFETCH(QString, text);
    QCOMPARE(::valueText(value), text);
}

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
