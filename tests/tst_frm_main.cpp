#include "window_fixture.h"

#include <QMenu>
#include <QPalette>
#include <QSerialPort>

namespace {

QString hexLineOf(const char *prefix, const QByteArray &bytes)
{
    QString line = QString::fromLatin1(prefix);
    for (const char c : bytes)
        line += QStringLiteral("%1 ").arg(quint8(c), 2, 16, QLatin1Char('0')).toUpper();
    return line + u'\n';
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void startState();
    void modeSelector_data();
    void modeSelector();
    void openAndClose();
    void badPortName_data();
    void badPortName();
    void failedOpening_data();
    void failedOpening();
    void portDeviceLabel();
    void replies_data();
    void replies();
    void receiveViewLines();
    void shortBlocksAndCounter();
    void nothingLeftWaiting();
    void longPollGoesOnAtTheNextTurn();
    void piecesWithinOneIntervalMakeOneBlock();
    void viewLimit_data();
    void viewLimit();
    void sendLines_data();
    void sendLines();
    void sendWithPortClosedDoesNothing();
    void writeCutShortIsReportedOnce();
    void clearButtons();
    void vanishedDevice();
};

void TestFrmMain::startState()
{
    WindowFixture f;
    QCOMPARE(f.window.AddToListRequest, false);
    QCOMPARE(f.window.AddToIoBoxRequest, false);
    QVERIFY(!f.comm()->portOpen());
    QVERIFY(!f.timer("Timer1")->isActive());
    QVERIFY(!f.timer("Timer2")->isActive());
    QCOMPARE(f.timer("Timer2")->interval(), 1000);
    QVERIFY(f.button("Command81")->isEnabled());
    QCOMPARE(f.control<QMenu>("MenuCMD")->title(), QStringLiteral("命令操作"));
    QCOMPARE(f.control<QAction>("DelectList")->text(), QStringLiteral("删除"));
    QCOMPARE(f.control<QAction>("DelectAll")->text(), QStringLiteral("清空"));
    // A fresh window's Timer1 polls every 200 ms.
    FrmMain plain;
    QCOMPARE(plain.findChild<QTimer *>(QStringLiteral("Timer1"))->interval(), 200);
}

void TestFrmMain::modeSelector_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("ioButtonsEnabled");

    QTest::newRow("ASCII item") << "Modbus ASC" << false;
    QTest::newRow("lower case") << "modbus rtu" << false;
    QTest::newRow("trailing blank") << "Modbus RTU " << false;
    QTest::newRow("empty") << "" << false;
    QTest::newRow("typed text") << "RTU" << false;
    QTest::newRow("RTU again") << "Modbus RTU" << true;
}

void TestFrmMain::modeSelector()
{
    QFETCH(QString, text);
    QFETCH(bool, ioButtonsEnabled);
    WindowFixture f;
    QComboBox *mode = f.combo("Combo7");
    mode->setCurrentIndex(1);
    QVERIFY(!f.button("Command81")->isEnabled());
    mode->setEditText(text);
    QCOMPARE(f.button("Command81")->isEnabled(), ioButtonsEnabled);
    QCOMPARE(f.button("Command88")->isEnabled(), ioButtonsEnabled);
    // Picking RTU from the list enables both again.
    mode->setCurrentIndex(0);
    QVERIFY(f.button("Command81")->isEnabled() && f.button("Command88")->isEnabled());
}

void TestFrmMain::openAndClose()
{
    WindowFixture f;
    f.combo("Combo2")->setEditText(QStringLiteral("19200"));
    QVERIFY(f.open());
    QCOMPARE(f.comm()->settings().baudRate, 19200);
    QCOMPARE(f.comm()->devicePath(), f.pty.path());
    QVERIFY(!f.combo("Combo1")->isEnabled());
    QVERIFY(!f.combo("Combo2")->isEnabled());
    QVERIFY(!f.button("Command32")->isEnabled());
    QVERIFY(f.button("Command33")->isEnabled());
    QVERIFY(f.timer("Timer1")->isActive());

    f.click("Command33");
    QVERIFY(!f.comm()->portOpen());
    QVERIFY(f.combo("Combo1")->isEnabled());
    QVERIFY(f.combo("Combo2")->isEnabled());
    QVERIFY(f.button("Command32")->isEnabled());
    QVERIFY(!f.button("Command33")->isEnabled());
    QVERIFY(f.timer("Timer1")->isActive()); // keeps ticking, finds nothing
    QVERIFY(f.messages.isEmpty());

    // Bytes that come in while the port is closed are not shown after reopening.
    QVERIFY(f.pty.write("old"));
    QVERIFY(f.open());
    f.window.Timer1_Timer();
    QCOMPARE(f.view("RichTextBox1")->text(), QString());
}

void TestFrmMain::badPortName_data()
{
    QTest::addColumn<QString>("name");
    QTest::newRow("COM10") << "COM10";
    QTest::newRow("lower case") << "com1";
    QTest::newRow("empty") << "";
}

void TestFrmMain::badPortName()
{
    QFETCH(QString, name);
    WindowFixture f;
    f.combo("Combo1")->setEditText(name);
    f.click("Command32");
    QCOMPARE(f.messages, QStringList{QStringLiteral("请选择正确的串口名")});
    QVERIFY(!f.comm()->portOpen());
    QVERIFY(f.button("Command32")->isEnabled());
    QVERIFY(!f.button("Command33")->isEnabled());
    QVERIFY(f.combo("Combo1")->isEnabled());
    QVERIFY(!f.timer("Timer1")->isActive());
}

void TestFrmMain::failedOpening_data()
{
    QTest::addColumn<QString>("device"); // "pty": the fixture's terminal
    QTest::addColumn<QString>("baud");
    QTest::addColumn<bool>("busy");
    QTest::addColumn<QString>("reason"); // a word the message must carry

    QTest::newRow("missing device") << "/dev/stepperbench-missing" << "9600" << false
                                    << "/dev/stepperbench-missing";
    QTest::newRow("empty baud text") << "pty" << "" << false << ",n,8,1";
    QTest::newRow("invalid baud text") << "pty" << "fast" << false << "fast,n,8,1";
    QTest::newRow("busy port") << "pty" << "9600" << true << "COM1";
}

void TestFrmMain::failedOpening()
{
    QFETCH(QString, device);
    QFETCH(QString, baud);
    QFETCH(bool, busy);
    QFETCH(QString, reason);
    WindowFixture f;
    if (device != u"pty")
        f.window.portNames().setMapping(1, device);
    QSerialPort other;
    if (busy) {
        other.setPortName(f.pty.path());
        QVERIFY(other.open(QIODevice::ReadWrite));
    }
    f.combo("Combo2")->setEditText(baud);
    f.click("Command32");

    QVERIFY(!f.comm()->portOpen());
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages.first().contains(u"COM1"), qPrintable(f.messages.first()));
    QVERIFY2(f.messages.first().contains(reason), qPrintable(f.messages.first()));
    // The window stays closed: nothing suggests an open port.
    QVERIFY(f.combo("Combo1")->isEnabled());
    QVERIFY(f.combo("Combo2")->isEnabled());
    QVERIFY(f.button("Command32")->isEnabled());
    QVERIFY(!f.button("Command33")->isEnabled());
}

void TestFrmMain::portDeviceLabel()
{
    WindowFixture f;
    QLabel *device = f.label("PortDevice");
    QCOMPARE(device->text(), f.pty.path());
    f.window.portNames().setMapping(2, QStringLiteral("/dev/ttyUSB7"));
    f.combo("Combo1")->setCurrentIndex(1);
    QCOMPARE(device->text(), QStringLiteral("/dev/ttyUSB7"));
    f.combo("Combo1")->setEditText(QStringLiteral("COM10"));
    QVERIFY(device->text() != f.pty.path() && !device->text().startsWith(u'/'));
}

void TestFrmMain::replies_data()
{
    QTest::addColumn<QByteArray>("block");
    QTest::addColumn<QString>("description"); // null: none
    QTest::addColumn<QString>("box"); // the read-back box that changes, if any
    QTest::addColumn<QString>("value");
    QTest::addColumn<QString>("lamps"); // Shape1 to 9: r red, t window text, - left alone
    QTest::addColumn<QString>("status"); // Label15, "-" when left alone

    const auto row = [](const char *name, const char *hex, const char *line, const char *box,
                        const char *value, const char *lamps, const char *status) {
        QTest::newRow(name) << QByteArray::fromHex(hex)
                            << (line ? QString::fromUtf8(line) : QString())
                            << QString::fromLatin1(box) << QString::fromLatin1(value)
                            << QString::fromLatin1(lamps) << QString::fromUtf8(status);
    };
    const auto value = [&](const char *name, const char *hex, const char *line, const char *box,
                           const char *text) {
        row(name, hex, line, box, text, "---------", "-");
    };
    const auto lineOnly = [&](const char *name, const char *hex, const char *line) {
        row(name, hex, line, "", "", "---------", "-");
    };
    const auto lamps = [&](const char *name, const char *hex, const char *line, const char *states,
                           const char *status) {
        row(name, hex, line, "", "", states, status);
    };
    value("start speed", "012604000003E8AABB", "查询运动初速度:", "Text27", " 1000");
    value("maximum speed", "01280400002710AABB", "查询运动最大速度:", "Text26", " 10000");
    value("end speed", "012A04000003E8AABB", "查询运动末速度:", "Text25", " 1000");
    value("acceleration", "012C0400002711AABB", "查询运动加速度:", "Text24", " 10001");
    value("deceleration", "012E0400002712AABB", "查询运动减速度:", "Text6", " 10002");
    value("homing speed", "01300400000BB8AABB", "查询归零运动速度:", "Text28", " 3000");
    value("motion speed", "01360400000064AABB", "查询运动速度:", "Text17", " 100");
    value("absolute position", "013704FFFFFFFEAABB", "查询运动绝对位置:", "Text18", "-2");
    value("most negative position", "01370480000000AABB", "查询运动绝对位置:", "Text18",
          "-2147483648");
    value("relative position", "01390400000010AABB", "查询运动相对位置:", "Text19", " 16");
    value("unsigned beyond 2^31", "013604FFFFFFFFAABB", "查询运动速度:", "Text17", " 4294967295");
    value("2^31 unsigned", "01360480000000AABB", "查询运动速度:", "Text17", " 2147483648");
    value("zero after a blank", "01360400000000AABB", "查询运动速度:", "Text17", " 0");
    value("one check byte is enough", "012604000003E8AA", "查询运动初速度:", "Text27", " 1000");
    lamps("stopped, zero point active", "013B0400010001AABB", "查询运动状态:", "ttrt-----", "停止");
    lamps("moving, both limits active", "013B0401000100AABB", "查询运动状态:", "rrtr-----",
          "运动中");
    lamps("status too short", "013B040001", "查询运动状态:", "---------", "-");
    lamps("inputs IN2 and IN5 active", "0142050100010100AABB", "查询 IN 1-5 状态:", "----trttr",
          "-");
    lamps("inputs all inactive", "0142050101010101AABB", "查询 IN 1-5 状态:", "----ttttt", "-");
    lineOnly("handshake", "01200039C0", "请求握手命令:");
    lineOnly("station address", "0521009990", "查询设备地址:当前地址为5");
    lineOnly("station address 1A", "1A2100", "查询设备地址:当前地址为1A");
    lineOnly("change address", "012201022183", "更改设备地址:");
    lineOnly("baud rate", "01230106AABB", "查询当前波特率:当前波特率设置为6");
    lineOnly("baud rate without its code", "012300", nullptr);
    lineOnly("change baud rate", "01240106C041", "改变当前波特率:");
    lineOnly("set start speed", "01250400000064FCDE", "设置运动初速度:");
    lineOnly("set maximum speed", "01270400002710E6EB", "设置运动最大速度:");
    lineOnly("set end speed", "012904000003E8FD47", "设置运动末速度:");
    lineOnly("set acceleration", "012B0400002710E627", "设置运动加速度:");
    lineOnly("set deceleration", "012D0400002710E641", "设置运动减速度:");
    lineOnly("set homing speed", "012F0400002710E7A3", "设置归零运动速度:");
    lineOnly("move 32", "01310400002710AABB", "设置32位运动脉冲数并开始运动:");
    lineOnly("move 24", "013204010003E8AABB", "设置24位运动脉冲数并开始运动:");
    lineOnly("run 32", "01330400002710AABB", "设置32位运动速度，并恒速运动:");
    lineOnly("run 24", "01340400002710AABB", "设置24位运动速度，并恒速运动:");
    lineOnly("change speed", "01350400002710AABB", "恒速运动过程中改变速度:");
    lineOnly("clear absolute", "01380033C0", "绝对位置清零:");
    lineOnly("clear relative", "013A0032A0", "相对位置清零:");
    lineOnly("immediate stop", "013C", "急停命令:");
    lineOnly("decelerating stop", "013D", "减速停止命令:");
    lineOnly("find zero point", "013E", "查找原点命令:");
    lineOnly("speed factor", "0144", "设置变速因子命令:");
    lineOnly("quantitative acceleration", "0145", "定量加速命令:");
    lineOnly("quantitative deceleration", "0146", "定量减速命令:");
    lineOnly("factory settings", "0147", "出厂设置命令:");
    lineOnly("stop code in five bytes", "013C00AABB", nullptr);
    lineOnly("handshake code in two bytes", "0120", nullptr);
    lineOnly("input state query not decoded", "014300AABB", nullptr);
    lineOnly("error reply", "01A001AABB", nullptr);
    lineOnly("short start speed leaves the box", "0126040000", "查询运动初速度:");
}

void TestFrmMain::replies()
{
    QFETCH(QByteArray, block);
    QFETCH(QString, description);
    QFETCH(QString, box);
    QFETCH(QString, value);
    QFETCH(QString, lamps);
    QFETCH(QString, status);
    WindowFixture f;
    QVERIFY(f.open());
    // Lamps and caption first get a colour and a text no reply sets, so that
    // each change, and each lamp left alone, shows.
    const QColor unset(1, 2, 3);
    for (int i = 1; i <= 9; ++i)
        f.shape(i)->setFillColor(unset);
    f.label("Label15")->setText(QStringLiteral("-"));
    QVERIFY(f.receive(block));

    QString expected = QString::fromLatin1("RecAsc:") + QString(block.size(), u'?') + u'\n'
            + hexLineOf("RecHex:", block);
    if (!description.isNull())
        expected += description + QStringLiteral("\n\r");
    const QString shown = f.view("RichTextBox1")->text();
    QCOMPARE(shown.size(), expected.size());
    QCOMPARE(shown.mid(7 + block.size()), expected.mid(7 + block.size()));
    QCOMPARE(f.label("Label45")->text(), QString::number(block.size()));
    if (!box.isEmpty())
        QCOMPARE(f.box(box.toLatin1().constData())->text(), value);
    // Every other read-back box keeps its start text.
    for (const char *other : {"Text6", "Text17", "Text18", "Text19", "Text24", "Text25",
                              "Text26", "Text27", "Text28"}) {
        if (box != QLatin1String(other))
            QCOMPARE(f.box(other)->text(), QStringLiteral("0"));
    }
    const QColor text = f.window.palette().color(QPalette::WindowText);
    QString shownLamps;
    for (int i = 1; i <= 9; ++i) {
        const QColor fill = f.shape(i)->fillColor();
        shownLamps += fill == Qt::red ? u'r' : fill == text ? u't' : fill == unset ? u'-' : u'?';
    }
    QCOMPARE(shownLamps, lamps);
    QCOMPARE(f.label("Label15")->text(), status);
}

void TestFrmMain::receiveViewLines()
{
    WindowFixture f;
    QVERIFY(f.open());
    QVERIFY(f.receive(QByteArray::fromHex("012604000003E8") + "\r\n"));
    QCOMPARE(f.view("RichTextBox1")->text(),
             QStringLiteral("RecAsc:.&.......\nRecHex:01 26 04 00 00 03 E8 0D 0A \n"
                            "查询运动初速度:\n\r"));
    // The next block goes on top.
    QVERIFY(f.receive(QByteArray("AB")));
    QVERIFY(f.view("RichTextBox1")->text().startsWith(u"RecAsc:AB\nRecHex:41 42 \nRecAsc:"));
    // The screen shows the same lines, without the carriage returns.
    TrafficView *view = f.view("RichTextBox1");
    QTRY_COMPARE(view->toPlainText(), QString(view->text()).remove(u'\r'));
}

void TestFrmMain::shortBlocksAndCounter()
{
    WindowFixture f;
    QVERIFY(f.open());
    QVERIFY(f.receive(QByteArray::fromHex("01")));
    QCOMPARE(f.view("RichTextBox1")->text(), QStringLiteral("RecAsc:.\nRecHex:01 \n"));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("1"));
    QVERIFY(f.receive(QByteArray::fromHex("012604000003E8AABB")));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("10"));
    // A caption that does not start with a number counts from 0.
    f.label("Label45")->setText(QStringLiteral("x"));
    QVERIFY(f.receive(QByteArray("abc")));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("3"));
}

void TestFrmMain::nothingLeftWaiting()
{
    WindowFixture f;
    QVERIFY(f.open());
    QByteArray bytes(1300, Qt::Uninitialized);
    for (int i = 0; i < bytes.size(); ++i)
        bytes[i] = char('A' + i % 26);
    QVERIFY(f.receive(bytes));
    QTRY_COMPARE(f.comm()->inBufferCount(), qint64(0));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("1300"));
    // Three blocks, newest first: 276, 512 and 512 bytes.
    const QStringList lines = f.view("RichTextBox1")->text().split(u'\n', Qt::SkipEmptyParts);
    QStringList textLines = lines.filter(QRegularExpression(QStringLiteral("^RecAsc:")));
    QCOMPARE(textLines.size(), 3);
    QCOMPARE(textLines[0].size(), 7 + 276);
    QCOMPARE(textLines[1].size(), 7 + 512);
    QCOMPARE(textLines[2].mid(7) + textLines[1].mid(7) + textLines[0].mid(7),
             QString::fromLatin1(bytes));
}

void TestFrmMain::longPollGoesOnAtTheNextTurn()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.window.setPollTimeSlice(0); // every block ends the slice
    QVERIFY(f.receive(QByteArray(1300, 'x')));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("512"));
    // The rest follows without waiting for the next 200 ms tick.
    QTRY_COMPARE(f.label("Label45")->text(), QStringLiteral("1300"));
    QCOMPARE(f.comm()->inBufferCount(), qint64(0));
}

void TestFrmMain::piecesWithinOneIntervalMakeOneBlock()
{
    WindowFixture f;
    QVERIFY(f.open());
    QVERIFY(f.pty.write(QByteArray::fromHex("013B04")));
    QVERIFY(f.receive(QByteArray::fromHex("00010001AABB")));
    QVERIFY(f.view("RichTextBox1")->text().endsWith(u"查询运动状态:\n\r"));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("9"));
    // No new bytes: the next tick shows nothing.
    const QString before = f.view("RichTextBox1")->text();
    f.window.Timer1_Timer();
    QCOMPARE(f.view("RichTextBox1")->text(), before);
}

void TestFrmMain::viewLimit_data()
{
    QTest::addColumn<bool>("sendSide");
    QTest::addColumn<int>("length");
    QTest::addColumn<bool>("emptied");

    QTest::newRow("receive 10000 kept") << false << 10000 << false;
    QTest::newRow("receive 10001 emptied") << false << 10001 << true;
    QTest::newRow("send 10000 kept") << true << 10000 << false;
    QTest::newRow("send 10001 emptied") << true << 10001 << true;
}

void TestFrmMain::viewLimit()
{
    QFETCH(bool, sendSide);
    QFETCH(int, length);
    QFETCH(bool, emptied);
    WindowFixture f;
    QVERIFY(f.open());
    TrafficView *view = f.view(sendSide ? "RichTextBox2" : "RichTextBox1");
    QLabel *counter = f.label(sendSide ? "Label44" : "Label45");
    const QString old(length, u'x');
    view->setText(old);
    counter->setText(QStringLiteral("12"));

    const QByteArray frame = QByteArray::fromHex("01250400000064FCDE");
    if (sendSide) {
        f.window.SendFrame(frame);
        QCOMPARE(f.pty.read(frame.size()), frame);
    } else {
        QVERIFY(f.receive(frame));
    }
    QCOMPARE(view->text().endsWith(old), !emptied);
    view->syncDisplay();
    QCOMPARE(view->toPlainText(), QString(view->text()).remove(u'\r'));
    QCOMPARE(view->text().size(), (emptied ? 0 : length) + 7 + 9 + 1 + 7 + 27 + 1 + 10);
    QCOMPARE(counter->text(), emptied ? QStringLiteral("9") : QStringLiteral("21"));
}

void TestFrmMain::sendLines_data()
{
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QString>("description"); // null: none

    // The address query's short text tells the code table from the reply table.
    QTest::newRow("described code") << "Modbus RTU" << QByteArray::fromHex("0021006990")
                                    << QStringLiteral("查询设备地址:");
    QTest::newRow("undescribed code") << "Modbus RTU" << QByteArray::fromHex("014007013104")
                                      << QString();
    QTest::newRow("one byte") << "Modbus RTU" << QByteArray::fromHex("01") << QString();
    QTest::newRow("ASCII frame by its code") << "Modbus ASC" << QByteArray(":013C00C3\r\n")
                                             << QStringLiteral("急停命令:");
}

void TestFrmMain::sendLines()
{
    QFETCH(QString, mode);
    QFETCH(QByteArray, frame);
    QFETCH(QString, description);
    WindowFixture f;
    f.combo("Combo7")->setEditText(mode);
    QVERIFY(f.open());
    f.window.SendFrame(frame);
    QCOMPARE(f.pty.read(frame.size()), frame);

    QString text;
    for (const char c : frame)
        text += (c >= 0x20 && c <= 0x7E) ? QLatin1Char(c) : QLatin1Char('.');
    QString expected = QStringLiteral("SndAsc:") + text + u'\n' + hexLineOf("SndHex:", frame);
    if (!description.isNull())
        expected += description + QStringLiteral("\n\r");
    QCOMPARE(f.view("RichTextBox2")->text(), expected);
    QCOMPARE(f.label("Label44")->text(), QString::number(frame.size()));
    QCOMPARE(f.view("RichTextBox1")->text(), QString());
    QVERIFY(f.timer("Timer1")->isActive());
}

void TestFrmMain::sendWithPortClosedDoesNothing()
{
    WindowFixture f;
    f.window.SendFrame(QByteArray::fromHex("01200039C0"));
    QCOMPARE(f.view("RichTextBox2")->text(), QString());
    QCOMPARE(f.label("Label44")->text(), QStringLiteral("0"));
    QVERIFY(f.messages.isEmpty());
    QCOMPARE(f.pty.readAvailable(), QByteArray());
}

void TestFrmMain::writeCutShortIsReportedOnce()
{
    // A far end that reads nothing: the terminal's buffer fills and the write
    // of a frame far larger than it cannot complete.
    WindowFixture f;
    QVERIFY(f.open());
    f.window.SendFrame(QByteArray(4 << 20, 'x'));
    QCOMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages.first().contains(u"COM1"), qPrintable(f.messages.first()));
    QVERIFY2(f.messages.first().contains(QString::number(4 << 20)), qPrintable(f.messages.first()));
    // Not shown as sent, and the port stays usable.
    QCOMPARE(f.view("RichTextBox2")->text(), QString());
    QCOMPARE(f.label("Label44")->text(), QStringLiteral("0"));
    QVERIFY(f.comm()->portOpen());
}

void TestFrmMain::clearButtons()
{
    WindowFixture f;
    QVERIFY(f.open());
    f.window.SendFrame(QByteArray::fromHex("01200039C0"));
    QVERIFY(f.receive(QByteArray::fromHex("01200039C0")));
    f.click("Command36");
    QCOMPARE(f.view("RichTextBox1")->text(), QString());
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("0"));
    QVERIFY(!f.view("RichTextBox2")->text().isEmpty());
    QCOMPARE(f.label("Label44")->text(), QStringLiteral("5"));
    f.click("Command6");
    QCOMPARE(f.view("RichTextBox2")->text(), QString());
    QCOMPARE(f.label("Label44")->text(), QStringLiteral("0"));
}

void TestFrmMain::vanishedDevice()
{
    WindowFixture f;
    QVERIFY(f.open());
    // The controller's last reply arrives just before it goes away.
    const QByteArray reply = QByteArray::fromHex("01370400000005AABB");
    QVERIFY(f.pty.write(reply));
    QTRY_COMPARE(f.comm()->inBufferCount(), qint64(reply.size()));
    f.pty.closeFarEnd();
    f.pty.closeTerminal();
    QTRY_COMPARE(f.messages.size(), 1);
    QVERIFY2(f.messages.first().contains(u"COM1"), qPrintable(f.messages.first()));
    QVERIFY(!f.comm()->portOpen());
    QVERIFY(f.button("Command32")->isEnabled());
    QVERIFY(!f.button("Command33")->isEnabled());
    QVERIFY(f.combo("Combo1")->isEnabled());
    QCOMPARE(f.box("Text18")->text(), QStringLiteral(" 5"));
    QCOMPARE(f.label("Label45")->text(), QStringLiteral("9"));
    // Sending now does nothing and reports nothing more.
    f.window.SendFrame(QByteArray::fromHex("01200039C0"));
    for (int i = 0; i < 100; ++i)
        QCoreApplication::processEvents();
    QCOMPARE(f.messages.size(), 1);
    QCOMPARE(f.view("RichTextBox2")->text(), QString());

    // The device is back (a new terminal under the same name): opening works.
    PtyPair again;
    f.window.portNames().setMapping(1, again.path());
    QVERIFY(f.open());
    f.window.SendFrame(QByteArray::fromHex("01200039C0"));
    QCOMPARE(again.read(5), QByteArray::fromHex("01200039C0"));
}

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
