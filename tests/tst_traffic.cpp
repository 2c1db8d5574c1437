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
    void textLines();
    void sentDescription_data();
    void sentDescription();
    void received_data();
    void received();
};

void TestTraffic::textLines()
{
    // The hex and description lines meet the window's views in tst_frm_main;
    // here the edges of the printable range, and one character per byte.
    QCOMPARE(textLine(u"RecAsc:", QByteArray::fromHex("3A30317E7F0020")),
             QStringLiteral("RecAsc::01~.. \n"));
    QByteArray all(256, Qt::Uninitialized);
    for (int i = 0; i < 256; ++i)
        all[i] = char(i);
    QCOMPARE(textLine(u"", all).size(), 257);
}

void TestTraffic::sentDescription_data()
{
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("description");

    // A whole ASCII frame is described by the code it spells, in either mode.
    QTest::newRow("ASCII frame") << QByteArray(":013600C9\r\n") << QStringLiteral("查询运动速度:");
    QTest::newRow("ASCII frame without CR LF: raw byte 1")
            << QByteArray(":013600C9") << QStringLiteral("查询归零运动速度:");
    QTest::newRow("not spelling bytes: raw byte 1")
            << QByteArray(":0X20\r\n") << QStringLiteral("查询归零运动速度:");
    QTest::newRow("binary frame") << QByteArray::fromHex("013C00") << QStringLiteral("急停命令:");
    QTest::newRow("one byte") << QByteArray("\x20") << QString();
}

void TestTraffic::sentDescription()
{
    QFETCH(QByteArray, frame);
    QFETCH(QString, description);
    QCOMPARE(describeSentFrame(frame).value_or(QString()), description);
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
        QTest::newRow(name) << block << mode << (line ? QString::fromUtf8(line) : QString())
                            << QString::fromUtf8(box) << QString::fromUtf8(value)
                            << QString::fromUtf8(status) << QString::fromUtf8(indicators);
    };

    // Every RTU reply goes through the real window in tst_frm_main; here ASCII
    // mode, raw reading and the empty block. ASCII mode decodes the bytes the
    // characters spell, the last being the LRC.
    row("ASCII start speed", ":0126040000 03E8 AA\r\n", ascii, "查询运动初速度:", "Text27",
        " 1000");
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
    // A piece of an ASCII reply is named by its raw byte 1 but gives no value.
    row("ASCII mode, odd digit count: no value", ":0120D\r\n", ascii, "查询归零运动速度:");
    row("ASCII mode, a reply's second piece: no value", "3704FFFFFFFEC9\r\n", ascii,
        "查询运动绝对位置:");
    row("ASCII mode, binary block: raw", QByteArray::fromHex("01200039C0"), ascii, "请求握手命令:");
    row("empty", QByteArray(), rtu, nullptr);
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

QTEST_GUILESS_MAIN(TestTraffic)
#include "tst_traffic.moc"
