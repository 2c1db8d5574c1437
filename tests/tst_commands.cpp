#include "codec/hex_text.h"
#include "device/frame.h"
#include "window_fixture.h"

#include <QListWidget>

class TestCommands : public QObject
{
    Q_OBJECT

private slots:
    void frames_data();
    void frames();
    void outOfRange_data();
    void outOfRange();
    void addToList_data();
    void addToList();
    void addAsIo_data();
    void addAsIo();
    void queryReplies_data();
    void queryReplies();
};

void TestCommands::frames_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("settings"); // Box=text;Box=text
    QTest::addColumn<QByteArray>("payload");
    QTest::addColumn<QByteArray>("rtu"); // the wire bytes where they are known, else empty

    const auto row = [](const char *name, const char *button, const char *settings,
                        const char *payload, const char *rtu = "") {
        QTest::newRow(name) << QString::fromLatin1(button) << QString::fromUtf8(settings)
                            << QByteArray::fromHex(payload) << QByteArray::fromHex(rtu);
    };
    // Station commands and the address box.
    row("handshake", "Command12", "", "012000", "01200039C0");
    row("handshake station A", "Command12", "Text23=A", "0A2000", "0A20004802");
    row("address 0A", "Command12", "Text23=0A", "0A2000");
    row("address lower case a", "Command12", "Text23=a", "0A2000");
    row("address empty", "Command12", "Text23=", "002000");
    row("address 1G", "Command12", "Text23=1G", "012000");
    row("address FF", "Command12", "Text23=FF", "FF2000");
    row("address query ignores Text23", "Command13", "Text23=ZZZ100", "002100", "0021006990");
    row("change address to 2", "Command14", "Text7=2", "01220102", "012201022183");
    row("change address to 10h", "Command14", "Text7=10", "01220110", "01220110A18E");
    row("change address, empty box", "Command14", "Text7=", "01220100");
    row("query baud rate", "Command15", "", "012300", "0123003930");
    row("baud 9600", "Command16", "Combo6=9600", "01240106", "01240106C041");
    row("baud 2400", "Command16", "Combo6=2400", "01240104", "0124010441 80");
    row("baud 4800", "Command16", "Combo6=4800", "01240105");
    row("baud 14400", "Command16", "Combo6=14400", "01240107");
    row("baud 19200", "Command16", "Combo6=19200", "01240108");
    row("baud 38400", "Command16", "Combo6=38400", "01240109", "012401098045");
    row("baud 57600 has no code", "Command16", "Combo6=57600", "01240100", "012401004043");
    row("baud typed text", "Command16", "Combo6=9600 ", "01240100");
    // Motion parameters.
    row("start speed", "Command17", "", "01250400000064", "01250400000064FCDE");
    row("maximum speed", "Command24", "", "01270400002710", "01270400002710E6EB");
    row("end speed", "Command25", "", "012904000003E8", "012904000003E8FD47");
    row("acceleration", "Command26", "", "012B0400002710", "012B0400002710E627");
    row("deceleration", "Command27", "", "012D0400002710", "012D0400002710E641");
    row("homing speed", "Command64", "", "012F0400002710", "012F0400002710E7A3");
    row("256", "Command17", "Text12=256", "01250400000100", "01250400000100FCA5");
    row("768", "Command17", "Text12=768", "01250400000300");
    row("65536", "Command17", "Text12=65536", "01250400010000");
    row("-1", "Command17", "Text12=-1", "012504FFFFFFFF", "012504FFFFFFFFFCA1");
    row("largest", "Command17", "Text12=2147483647", "0125047FFFFFFF");
    row("smallest", "Command17", "Text12=-2147483648", "01250480000000");
    row("-10000", "Command17", "Text12=-10000", "012504FFFFD8F0");
    row("100.5", "Command17", "Text12=100.5", "01250400000064");
    row("101.5", "Command17", "Text12=101.5", "01250400000066");
    row("1e3", "Command17", "Text12=1e3", "012504000003E8");
    row("12 km", "Command17", "Text12=12 km", "0125040000000C");
    // Queries and clears.
    row("query start speed", "Command57", "", "012600", "0126003A60");
    row("query maximum speed", "Command58", "", "012800");
    row("query end speed", "Command59", "", "012A00");
    row("query acceleration", "Command60", "", "012C00");
    row("query deceleration", "Command61", "", "012E00");
    row("query homing speed", "Command62", "", "013000", "0130003400");
    row("query motion speed", "Command28", "", "013600", "01360037A0");
    row("query absolute position", "Command30", "", "013700", "0137003630");
    row("query relative position", "Command31", "", "013900", "0139003250");
    row("query motion status", "Command29", "", "013B00", "013B003330");
    row("clear absolute position", "Command66", "", "013800", "01380033C0");
    row("clear relative position", "Command67", "", "013A00", "013A0032A0");
    // Motion commands.
    row("move", "Command18", "", "01310400002710");
    row("move -10000", "Command18", "Text8=-10000", "013104FFFFD8F0");
    row("move 2.5", "Command18", "Text8=2.5", "01310400000002");
    row("move 3.5", "Command18", "Text8=3.5", "01310400000004");
    row("move 12abc", "Command18", "Text8=12abc", "0131040000000C");
    row("move empty", "Command18", "Text8=", "01310400000000");
    row("move abc", "Command18", "Text8=abc", "01310400000000");
    row("move 24-bit", "Command19", "Combo3=1;Text9=1000", "013204010003E8");
    row("24-bit drops bit 24", "Command19", "Text9=16777216", "01320400000000");
    row("24-bit largest", "Command19", "Text9=16777215", "013204 00FFFFFF");
    row("24-bit -1", "Command19", "Text9=-1", "01320400FFFFFF");
    row("direction 10 decimal", "Command19", "Combo3=10", "0132040A0003E8");
    row("run", "Command20", "", "01330400002710");
    row("run 24-bit", "Command21", "Combo4=1;Text11=500", "013404010001F4");
    row("change speed", "Command65", "", "01350400002710");
    row("homing direction 1", "Command7", "Combo5=1", "013E0101");
    row("homing direction 10 hex", "Command7", "Combo5=10", "013E0110");
    row("decelerating stop", "Command22", "", "013D00");
    row("immediate stop", "Command23", "", "013C00");
    row("quantitative acceleration", "Command92", "", "014500");
    row("quantitative deceleration", "Command93", "", "014600");
    row("query IN", "Command94", "", "014200");
    row("speed factor", "Command91", "", "014404000001F4");
}

void TestCommands::frames()
{
    QFETCH(QString, button);
    QFETCH(QString, settings);
    QFETCH(QByteArray, payload);
    QFETCH(QByteArray, rtu);

    WindowFixture f;
    QVERIFY(f.open());
    f.apply(settings);
    const QByteArray name = button.toLatin1();

    f.click(name.constData());
    const QByteArray expectedRtu = rtu.isEmpty() ? frameRtu(payload) : rtu;
    QCOMPARE(f.pty.read(expectedRtu.size()).toHex(' '), expectedRtu.toHex(' '));

    f.combo("Combo7")->setCurrentIndex(1); // Modbus ASC
    f.click(name.constData());
    const QByteArray expectedAscii = frameAscii(payload);
    QCOMPARE(f.pty.read(expectedAscii.size()), expectedAscii);

    // A direct click leaves nothing behind, and nothing more went out.
    QCOMPARE(f.pty.readAvailable(), QByteArray());
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);
    QCOMPARE(f.box("Text31")->text(), QString());
    QVERIFY(f.messages.isEmpty());
}

void TestCommands::outOfRange_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("settings"); // one box: the box the message names
    QTest::addColumn<QString>("range"); // as the message gives it

    const auto row = [](const char *name, const char *button, const char *setting,
                        const char *range) {
        QTest::newRow(name) << button << setting << range;
    };
    const char *hexByte = "00 到 FF";
    const char *int32 = "-2147483648 到 2147483647";
    row("address 100", "Command12", "Text23=100", hexByte);
    row("address of a query", "Command57", "Text23=FFF", hexByte);
    row("new address 1FF", "Command14", "Text7=1FF", hexByte);
    row("start speed 2^31", "Command17", "Text12=2147483648", int32);
    row("move 1e400", "Command18", "Text8=1e400", int32);
    row("24-bit count below range", "Command19", "Text9=-2147483649", int32);
    row("direction 256", "Command19", "Combo3=256", "0 到 255");
    row("direction -1", "Command21", "Combo4=-1", "0 到 255");
    row("homing direction 100 hex", "Command7", "Combo5=100", hexByte);
    row("add to list, move 1e400", "Command38", "Text8=1e400", int32);
    row("add as IO, speed 9e9", "Command84", "Text10=9e9", int32);
    row("add as IO, address", "Command97", "Text23=1000", hexByte);
}

void TestCommands::outOfRange()
{
    QFETCH(QString, button);
    QFETCH(QString, settings);
    QFETCH(QString, range);

    WindowFixture f;
    QVERIFY(f.open());
    f.box("Text31")->setText(QStringLiteral("3C 00 "));
    f.apply(settings);
    f.click(button.toLatin1().constData());

    QCOMPARE(f.pty.readAvailable(), QByteArray());
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);
    QCOMPARE(f.box("Text31")->text(), QStringLiteral("3C 00 "));
    QCOMPARE(f.view("RichTextBox2")->text(), QString());
    QCOMPARE(f.messages.size(), 1);
    const QString box = settings.left(settings.indexOf(u'='));
    const QString value = settings.mid(settings.indexOf(u'=') + 1);
    for (const QString &part : {box, value, range})
        QVERIFY2(f.messages.first().contains(part), qPrintable(f.messages.first() + " / " + part));
    QVERIFY(!f.window.AddToListRequest && !f.window.AddToIoBoxRequest);

    // The next direct click, with a good value, sends only.
    f.apply(box + QStringLiteral("=1"));
    f.click("Command18");
    QVERIFY(!f.pty.read(1).isEmpty());
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);
    QCOMPARE(f.box("Text31")->text(), QStringLiteral("3C 00 "));
}

void TestCommands::addToList_data()
{
    QTest::addColumn<QString>("addButton");
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QByteArray>("frame");

    const auto row = [](const char *name, const char *button, int mode, bool open,
                        const QByteArray &frame) {
        QTest::newRow(name) << button << mode << open << frame;
    };
    const auto rtu = [](const char *payload) { return frameRtu(QByteArray::fromHex(payload)); };
    const QByteArray startSpeed = QByteArray::fromHex("01250400000064FCDE");
    row("start speed, closed", "Command46", 0, false, startSpeed);
    row("start speed, open", "Command46", 0, true, startSpeed);
    row("motion speed query, closed", "Command51", 0, false, QByteArray::fromHex("01360037A0"));
    row("motion speed query, ASCII", "Command51", 1, true, ":013600C9\r\n");
    row("move, open", "Command38", 0, true, rtu("01310400002710"));
    row("move, ASCII", "Command38", 1, false, frameAscii(QByteArray::fromHex("01310400002710")));
    row("homing", "Command42", 0, true, rtu("013E0100"));
    row("clear relative", "Command70", 0, false, rtu("013A00"));
}

void TestCommands::addToList()
{
    QFETCH(QString, addButton);
    QFETCH(int, modeIndex);
    QFETCH(bool, portOpen);
    QFETCH(QByteArray, frame);

    WindowFixture f;
    f.combo("Combo7")->setCurrentIndex(modeIndex);
    if (portOpen)
        QVERIFY(f.open());
    f.click(addButton.toLatin1().constData());

    QCOMPARE(f.listLines(), QStringList{FormatHexText(frame)});
    QCOMPARE(f.pty.readAvailable(), portOpen ? frame : QByteArray());
    QCOMPARE(f.view("RichTextBox2")->text().isEmpty(), !portOpen);
    QVERIFY(!f.window.AddToListRequest && !f.window.AddToIoBoxRequest);
    QCOMPARE(f.box("Text31")->text(), QString());

    // A direct click afterwards only sends.
    f.click("Command12");
    QCOMPARE(f.listLines().size(), 1);
}

void TestCommands::addAsIo_data()
{
    QTest::addColumn<QString>("ioButton");
    QTest::addColumn<int>("modeIndex");
    QTest::addColumn<bool>("portOpen");
    QTest::addColumn<QString>("text31");
    QTest::addColumn<QByteArray>("frame");

    const auto row = [](const char *name, const char *button, bool open, const char *text31,
                        const char *payload) {
        QTest::newRow(name) << button << 0 << open << text31
                            << frameRtu(QByteArray::fromHex(payload));
    };
    row("move, closed", "Command82", false, "31 04 00 00 27 10 ", "01310400002710");
    row("move, open", "Command82", true, "31 04 00 00 27 10 ", "01310400002710");
    row("move 24-bit", "Command83", false, "32 04 00 00 03 E8 ", "013204000003E8");
    row("run", "Command84", false, "33 04 00 00 27 10 ", "01330400002710");
    row("run 24-bit", "Command85", false, "34 04 00 00 27 10 ", "01340400002710");
    row("homing", "Command86", false, "3E 01 00 ", "013E0100");
    row("change speed", "Command87", false, "35 04 00 00 27 10 ", "01350400002710");
    row("decelerating stop", "Command89", false, "3D 00 ", "013D00");
    row("immediate stop", "Command90", true, "3C 00 ", "013C00");
    row("quantitative acceleration", "Command97", false, "45 00 ", "014500");
    row("quantitative deceleration", "Command98", true, "46 00 ", "014600");
    // The command part, not the characters of the ASCII frame.
    QTest::newRow("stop, ASCII") << "Command90" << 1 << true << "3C 00 "
                                 << QByteArray(":013C00C3\r\n");
}

void TestCommands::addAsIo()
{
    QFETCH(QString, ioButton);
    QFETCH(int, modeIndex);
    QFETCH(bool, portOpen);
    QFETCH(QString, text31);
    QFETCH(QByteArray, frame);

    WindowFixture f;
    f.combo("Combo7")->setCurrentIndex(modeIndex);
    if (portOpen)
        QVERIFY(f.open());
    f.box("Text31")->setText(QStringLiteral("AA BB CC "));
    f.click(ioButton.toLatin1().constData());

    QCOMPARE(f.box("Text31")->text(), text31); // replaced, not appended
    QCOMPARE(f.pty.readAvailable(), portOpen ? frame : QByteArray());
    QCOMPARE(f.control<QListWidget>("List1")->count(), 0);
    QVERIFY(!f.window.AddToListRequest && !f.window.AddToIoBoxRequest);

    f.click("Command18");
    QCOMPARE(f.box("Text31")->text(), text31);
}

void TestCommands::queryReplies_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QByteArray>("data"); // the reply after address and code
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("value"); // for a lamp: lit

    const auto row = [](const char *button, const char *data, const char *box, const char *v) {
        QTest::newRow(button) << QString::fromLatin1(button) << QByteArray::fromHex(data)
                              << QString::fromLatin1(box) << QString::fromUtf8(v);
    };
    row("Command57", "0400000065", "Text27", " 101");
    row("Command58", "0400002711", "Text26", " 10001");
    row("Command59", "04000003E9", "Text25", " 1001");
    row("Command60", "0400002712", "Text24", " 10002");
    row("Command61", "0400002713", "Text6", " 10003");
    row("Command62", "0400002714", "Text28", " 10004");
    row("Command28", "0400000BB8", "Text17", " 3000");
    row("Command30", "04FFFFD8F0", "Text18", "-10000");
    row("Command31", "0400000010", "Text19", " 16");
    row("Command29", "0401010101", "Label15", "运动中");
    row("Command94", "050101010100", "Shape9", "lit");
}

void TestCommands::queryReplies()
{
    QFETCH(QString, button);
    QFETCH(QByteArray, data);
    QFETCH(QString, box);
    QFETCH(QString, value);

    WindowFixture f;
    QVERIFY(f.open());
    f.click(button.toLatin1().constData());
    // The reply carries the address and code of the request that went out.
    const QByteArray request = f.pty.read(5);
    QCOMPARE(request.size(), 5);
    QVERIFY(f.receive(frameRtu(request.left(2) + data)));

    QObject *target = f.window.findChild<QObject *>(box);
    if (auto *lamp = qobject_cast<ShapeIndicator *>(target))
        QCOMPARE(lamp->fillColor(), QColor(Qt::red));
    else
        QCOMPARE(target->property("text").toString(), value);
}

QTEST_MAIN(TestCommands)
#include "tst_commands.moc"
