// The port, the traffic views, and the receive and send paths of the window.

#include "window_fixture.h"

#include <QPalette>
#include <QSerialPort>

namespace {

// What the controls of a closed port show: the port and the rate can be chosen.
bool looksClosed(const WindowFixture &f)
{
    return f.combo("Combo1")->isEnabled() && f.combo("Combo2")->isEnabled()
            && f.button("Command32")->isEnabled() && !f.button("Command33")->isEnabled();
}

} // namespace

class TestFrmMain : public QObject
{
    Q_OBJECT

private slots:
    void modeSelector()
    {
        // The IO table buttons work in RTU only, and only the exact item is RTU.
        WindowFixture f;
        for (const char *text : {"Modbus ASC", "Modbus RTU", "modbus rtu", "Modbus RTU "}) {
            f.combo("Combo7")->setEditText(QString::fromLatin1(text));
            const bool rtu = qstrcmp(text, "Modbus RTU") == 0;
            QVERIFY(f.button("Command81")->isEnabled() == rtu);
            QVERIFY(f.button("Command88")->isEnabled() == rtu);
        }
    }

    void openAndClose()
    {
        WindowFixture f;
        f.combo("Combo2")->setEditText(u"19200"_s);
        QVERIFY(f.open());
        QCOMPARE(f.comm()->settings().baudRate, 19200);
        QCOMPARE(f.comm()->devicePath(), f.pty.path());
        QVERIFY(!f.combo("Combo1")->isEnabled() && !f.combo("Combo2")->isEnabled());
        QVERIFY(!f.button("Command32")->isEnabled() && f.button("Command33")->isEnabled());
        QVERIFY(f.timer("Timer1")->isActive());
        f.click("Command33");
        QVERIFY(!f.comm()->portOpen() && looksClosed(f) && f.messages.isEmpty());
        // Which device COM1 and COM2 stand for, beside the selector.
        QCOMPARE(f.label("PortDevice")->text(), f.pty.path());
        f.window.portNames().setMapping(2, u"/dev/ttyUSB7"_s);
        f.combo("Combo1")->setCurrentIndex(1);
        QCOMPARE(f.label("PortDevice")->text(), u"/dev/ttyUSB7"_s);
    }

    void failedOpening_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<QString>("device"); // "/...": COM1 stands for it; "busy": taken
        QTest::addColumn<QString>("baud");
        QTest::addColumn<QString>("words"); // what the message says, "|" between
        const QString missing = u"/dev/stepperbench-missing"_s;
        QTest::newRow("COM10") << "COM10"
                               << ""
                               << "9600" << u"请选择正确的串口名"_s;
        QTest::newRow("no name") << ""
                                 << ""
                                 << "9600" << u"请选择正确的串口名"_s;
        QTest::newRow("missing device") << "COM1" << missing << "9600"
                                        << "COM1|" + missing;
        QTest::newRow("invalid rate") << "COM1"
                                      << ""
                                      << "fast"
                                      << "COM1|fast,n,8,1";
        QTest::newRow("busy port") << "COM1"
                                   << "busy"
                                   << "9600"
                                   << "COM1";
    }

    void failedOpening()
    {
        QFETCH(QString, port);
        QFETCH(QString, device);
        QFETCH(QString, baud);
        QFETCH(QString, words);
        WindowFixture f;
        QSerialPort other(f.pty.path());
        if (device == u"busy")
            QVERIFY(other.open(QIODevice::ReadWrite));
        else if (port == u"COM1")
            QVERIFY(f.open()); // a port that was open closes, and looks closed
        if (device.startsWith(u'/'))
            f.window.portNames().setMapping(1, device);
        f.combo("Combo1")->setEditText(port);
        f.combo("Combo2")->setEditText(baud);
        f.window.openPort();
        QVERIFY(!f.comm()->portOpen());
        QCOMPARE(f.messages.size(), 1);
        for (const QString &word : words.split(u'|'))
            QVERIFY2(f.messages.first().contains(word), qPrintable(f.messages.first()));
        QVERIFY(looksClosed(f));
    }

    void replies_data()
    {
        QTest::addColumn<QByteArray>("block");
        QTest::addColumn<QString>("description"); // the receive view's line for it
        QTest::addColumn<QString>("effect"); // "Box=text", or the lamps and Label15
        // The lamps Shape1 to Shape9: r red, t window text, - left alone.
        const char *const rows[][3] = {
                {"012604000003E8AA", "查询运动初速度:", "Text27= 1000"}, // one check byte
                {"013604FFFFFFFFAABB", "查询运动速度:", "Text17= 4294967295"},
                {"013704FFFFFFFEAABB", "查询运动绝对位置:", "Text18=-2"},
                {"013B0401000100AABB", "查询运动状态:", "rrtr-----|运动中"},
                {"0142050100010100AABB", "查询 IN 1-5 状态:", "----trttr|-"},
                {"1A2100", "查询设备地址:当前地址为1A", ""},
                {"01230106AABB", "查询当前波特率:当前波特率设置为6", ""},
        };
        for (const auto &[hex, description, effect] : rows) {
            QTest::newRow(hex) << QByteArray::fromHex(hex) << QString::fromUtf8(description)
                               << QString::fromUtf8(effect);
        }
    }

    void replies()
    {
        QFETCH(QByteArray, block);
        QFETCH(QString, description);
        QFETCH(QString, effect);
        WindowFixture f;
        QVERIFY(f.open());
        // A colour and a status no reply sets, so that each lamp left alone shows.
        const QColor unset(1, 2, 3);
        for (int i = 1; i <= 9; ++i)
            f.shape(i)->setFillColor(unset);
        f.label("Label15")->setText(u"-"_s);
        QVERIFY(f.receive(block));
        QVERIFY(f.view("RichTextBox1")->text().endsWith(u" \n"_s + description + u"\n\r"_s));

        for (const char *readBack : {"Text6", "Text17", "Text18", "Text19", "Text24", "Text25",
                                     "Text26", "Text27", "Text28"}) {
            const bool set = effect.section(u'=', 0, 0) == QLatin1String(readBack);
            QCOMPARE(f.box(readBack)->text(), set ? effect.section(u'=', 1) : u"0"_s);
        }
        const QColor text = f.window.palette().color(QPalette::WindowText);
        QString lamps;
        for (int i = 1; i <= 9; ++i) {
            const QColor fill = f.shape(i)->fillColor();
            lamps += fill == Qt::red ? u'r' : fill == text ? u't' : fill == unset ? u'-' : u'?';
        }
        const bool lit = effect.contains(u'|');
        QCOMPARE(lamps + u'|' + f.label("Label15")->text(), lit ? effect : u"---------|-"_s);
    }

    void receiveView()
    {
        WindowFixture f;
        QVERIFY(f.open());
        // Pieces that arrive within one poll interval make one block.
        QVERIFY(f.pty.write(QByteArray::fromHex("0126")));
        QVERIFY(f.receive(QByteArray::fromHex("04000003E8") + "\r\n"));
        QCOMPARE(f.view("RichTextBox1")->text(),
                 u"RecAsc:.&.......\nRecHex:01 26 04 00 00 03 E8 0D 0A \n查询运动初速度:\n\r"_s);
        // The next block goes on top and the counter adds up; a tick with no new
        // bytes shows nothing.
        QVERIFY(f.receive("A~"));
        f.window.Timer1_Timer();
        QVERIFY(f.view("RichTextBox1")->text().startsWith(u"RecAsc:A~\nRecHex:41 7E \nRecAsc:"));
        QCOMPARE(f.label("Label45")->text(), u"11"_s);
        // The screen shows the same lines, without the carriage returns.
        TrafficView *view = f.view("RichTextBox1");
        QTRY_COMPARE(view->toPlainText(), QString(view->text()).remove(u'\r'));
        // A count that does not start with a number counts from 0.
        f.label("Label45")->setText(u"x"_s);
        QVERIFY(f.receive("abc"));
        QCOMPARE(f.label("Label45")->text(), u"3"_s);
        // "清空内容" empties one view and its counter.
        f.window.SendFrame("AB");
        f.click("Command36");
        QCOMPARE(f.view("RichTextBox1")->text() + f.label("Label45")->text(), u"0"_s);
        QCOMPARE(f.label("Label44")->text(), u"2"_s);
        f.click("Command6");
        QCOMPARE(f.view("RichTextBox2")->text() + f.label("Label44")->text(), u"0"_s);
    }

    void longPollGoesOnAtTheNextTurn()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.window.setPollTimeSlice(0); // every block ends the slice
        QVERIFY(f.receive(QByteArray(1300, 'z')));
        QCOMPARE(f.label("Label45")->text(), u"512"_s);
        // The rest follows without waiting for the next tick, and nothing is left.
        QTRY_COMPARE(f.label("Label45")->text(), u"1300"_s);
        QCOMPARE(f.comm()->inBufferCount(), qint64(0));
        QCOMPARE(f.view("RichTextBox1")->text().count(u'z'), 1300);
    }

    void viewLimit()
    {
        // A view longer than 10000 characters is emptied, with its counter,
        // before the next lines go in.
        WindowFixture f;
        QVERIFY(f.open());
        const QByteArray frame = QByteArray::fromHex("01250400000064FCDE");
        for (const bool sendSide : {false, true}) {
            TrafficView *view = f.view(sendSide ? "RichTextBox2" : "RichTextBox1");
            QLabel *counter = f.label(sendSide ? "Label44" : "Label45");
            for (const int length : {10000, 10001}) {
                view->setText(QString(length, u'x'));
                counter->setText(u"12"_s);
                if (sendSide)
                    f.window.SendFrame(frame);
                else
                    QVERIFY(f.receive(frame));
                const bool emptied = length > 10000;
                QCOMPARE(view->text().size(), (emptied ? 0 : length) + 62);
                QCOMPARE(counter->text(), emptied ? u"9"_s : u"21"_s);
                view->syncDisplay();
                QCOMPARE(view->toPlainText(), QString(view->text()).remove(u'\r'));
            }
        }
    }

    void sendView()
    {
        WindowFixture f;
        const QByteArray frame(":013C00C3\r\n");
        f.window.SendFrame(frame); // the port closed: nothing at all
        QCOMPARE(f.view("RichTextBox2")->text() + f.label("Label44")->text(), u"0"_s);
        QCOMPARE(f.pty.readAvailable(), QByteArray());
        QVERIFY(f.open());
        f.window.SendFrame(frame);
        QCOMPARE(f.sent(), frame);
        QCOMPARE(f.view("RichTextBox2")->text(),
                 u"SndAsc::013C00C3..\nSndHex:3A 30 31 33 43 30 30 43 33 0D 0A \n急停命令:\n\r"_s);
        f.window.SendFrame(frame);
        QCOMPARE(f.label("Label44")->text(), u"22"_s);
        QCOMPARE(f.view("RichTextBox1")->text(), QString());
        QVERIFY(f.timer("Timer1")->isActive()); // the receive poll goes on after a send
        QVERIFY(f.messages.isEmpty());
    }

    void writeCutShortIsReportedOnce()
    {
        // A far end that reads nothing: the terminal's buffer fills and a frame
        // far larger than it cannot be written whole.
        WindowFixture f;
        QVERIFY(f.open());
        f.window.SendFrame(QByteArray(4 << 20, 'x'));
        QCOMPARE(f.messages.size(), 1);
        for (const QString &word : {u"COM1"_s, QString::number(4 << 20)})
            QVERIFY2(f.messages.first().contains(word), qPrintable(f.messages.first()));
        // Not shown as sent, and the port stays usable.
        QCOMPARE(f.view("RichTextBox2")->text() + f.label("Label44")->text(), u"0"_s);
        QVERIFY(f.comm()->portOpen());
    }

    void vanishedDevice()
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
        QVERIFY(!f.comm()->portOpen() && looksClosed(f));
        QCOMPARE(f.box("Text18")->text(), u" 5"_s);
        // Sending now does nothing and reports nothing more.
        f.window.SendFrame(QByteArray::fromHex("01200039C0"));
        QTest::qWait(0);
        QCOMPARE(f.messages.size() + f.view("RichTextBox2")->text().size(), 1);
        // The device is back (a new terminal under the same name): opening works.
        PtyPair again;
        f.window.portNames().setMapping(1, again.path());
        QVERIFY(f.open());
        f.window.SendFrame(QByteArray::fromHex("01200039C0"));
        QCOMPARE(again.read(5), QByteArray::fromHex("01200039C0"));
    }
};

QTEST_MAIN(TestFrmMain)
#include "tst_frm_main.moc"
