// The manual panel, the command list with its run loop and files, and the IO table.

#include "test_util.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QTemporaryDir>

class TestFrmMainList : public QObject
{
    Q_OBJECT

private slots:
    // The manual panel and the IO table: clicks, bytes on the wire, boxes afterwards.
    void clicks_data()
    {
        QTest::addColumn<QString>("settings");
        QTest::addColumn<QString>("buttons"); // clicked in order
        QTest::addColumn<QString>("shown"); // "Box=text;Box=text" afterwards
        QTest::addColumn<QByteArray>("wire");
        QTest::addColumn<int>("messages");
        const auto row = [](const char *name, const QString &settings, const char *buttons,
                            const QByteArray &wire, const char *shown = "", int messages = 0) {
            QTest::newRow(name) << settings << buttons << shown << wire << messages;
        };
        const char *t = "Text1=01 03 00 00 00 01";
        row("as typed, RTU, ASCII", t, "Command1 Command11 Command10",
            QByteArray::fromHex("010300000001") + rtu("010300000001") + ":010300000001FB\r\n");
        row("CRC high first", t, "Command2", {}, "Text2=0A;Text3=84");
        row("CRC appended", t, "Command8 Command3 Command1", rtu("010300000001"),
            "Text1=01 03 00 00 00 01 84 0A;Text2=84;Text3=0A");
        row("no digits: no CRC", "Text1= ", "Command8 Command2", {}, "Text2=;Text3=");
        row("one-digit LRC appended", "Text1=FB", "Command9 Command4", {}, "Text1=FB 5;Text4=5");
        // Nothing to send drops the add buttons' requests: the next command is not listed.
        row("nothing to send", "Text1=  ", "Command79 Command77 Command80 Command78 Command17",
            rtu("01250400000064"));
        row("text as GBK", "Text5=中A", "Command37", QByteArray::fromHex("D6D041"));
        row("to hex", "Text5=Hello步进", "Command5", {}, "Text1=48 65 6C 6C 6F B2BD BDF8 ");
        row("to text", "Text1=48 65 6C 6C 6F B2BD BDF8 ", "Command56", {}, "Text5=Hello步进");
        // 12000 characters are 36000 of hex, and the CRC goes out with them.
        row("long text", "Text5=" + QString(12000, u'A'), "Command5 Command8 Command3 Command1",
            frameRtu(QByteArray(12000, 'A')));
        row("blanks: the code alone", "Combo8=00110;Text31=  ", "Command81", rtu("01400106"));
        row("empty IO box: nothing", "Text31=", "Command81", {});
        row("query typed 1 is 10000", "Combo8=1", "Command88", rtu("01410110"));
        row("query at station 5", "Combo8=11111;Text23=5", "Command88", rtu("0541011F"));
        row("query at station 100", "Text23=100", "Command88", {}, "", 1);
        row("down arrow, download", "Combo8=00001", "Command90 Command81",
            rtu("013C00") + rtu("014003013C00"));
        row("254 bytes", "Text31=" + QString(254 * 2, u'A'), "Command81",
            rtu("0140FF01" + QByteArray(254 * 2, 'A')));
        row("255 bytes: refused", "Text31=" + QString(255 * 3, u'A'), "Command81", {}, "", 1);
        // The IO buttons work in RTU only, and only the exact item is RTU.
        for (const char *mode : {"Modbus ASC", "modbus rtu", "Modbus RTU "})
            row(mode, u"Text31=3C 00;Combo7="_s + QLatin1String(mode), "Command81 Command88", {});
    }

    void clicks()
    {
        QFETCH(QString, settings);
        QFETCH(QString, buttons);
        QFETCH(QString, shown);
        QFETCH(QByteArray, wire);
        QFETCH(int, messages);
        WindowFixture f;
        QVERIFY(f.open());
        f.apply(settings);
        for (const QString &button : buttons.split(u' '))
            f.click(button);
        QCOMPARE(f.sent().toHex(' '), wire.toHex(' '));
        QCOMPARE(f.pty.readAvailable(), QByteArray());
        for (const QString &box : shown.split(u';', Qt::SkipEmptyParts))
            QCOMPARE(f.text(box.section(u'=', 0, 0)), box.section(u'=', 1));
        QCOMPARE(f.messages.size(), messages);
        QCOMPARE(f.list()->count(), 0);
    }

    void editLines()
    {
        WindowFixture f;
        f.apply(u"Text21=abc"_s);
        f.click("Command35");
        // The delay box keeps its value within 50 to 60000 ms.
        for (const char *delay : {"70000", "60000.5", "60000", "1234", "50", "49.9", "", "x"}) {
            f.apply(u"Text20="_s + QLatin1String(delay));
            f.click("Command34");
        }
        QCOMPARE(f.listLines().join(u' '),
                 u"GoIdx:abc Delay:60000 Delay:60000 Delay:60000 "
                 "Delay:1234 Delay:50 Delay:50 Delay:50 Delay:50"_s);
        f.control<QAction>(u"DelectAll"_s)->trigger();
        QListWidget *list = f.list();
        list->addItems({"a", "b", "c", "d"});
        auto *remove = f.control<QAction>(u"DelectList"_s);
        remove->trigger(); // nothing selected: nothing removed
        list->setCurrentRow(0);
        remove->trigger();
        remove->trigger(); // nothing is selected after a line went
        QCOMPARE(f.listLines(), (QStringList{"b", "c", "d"}));
    }

    void runLoop()
    {
        WindowFixture f;
        QVERIFY(f.open());
        f.list()->addItems({"01 20 00 39 C0 ", "Delay:500", "01 36 00 37 A0 ", "GoIdx:0"});
        QTimer *timer = f.timer("Timer2");
        auto *loop = f.control<QCheckBox>(u"Check1"_s);
        loop->click();
        QVERIFY(timer->isActive() && !f.enabled("Text22"));
        // Each tick sends one line; a delay line sets the wait after it.
        const QByteArray a = QByteArray::fromHex("01200039C0");
        const QByteArray b = QByteArray::fromHex("01360037A0");
        const std::pair<QByteArray, int> steps[] = {{a, 500}, {b, 1000}, {a, 500}};
        for (const auto &[frame, interval] : steps) {
            f.window.Timer2_Timer();
            QCOMPARE(f.sent(), frame);
            QCOMPARE(timer->interval(), interval);
        }
        // Unticking stops; ticking again starts at line 0, not at b.
        loop->click();
        QVERIFY(!timer->isActive() && f.enabled("Text22"));
        loop->click();
        f.window.Timer2_Timer();
        QCOMPARE(f.sent(), a);
        // With the port closed the run goes on through the list and sends nothing.
        f.click("Command33");
        f.window.Timer2_Timer();
        f.window.Timer2_Timer();
        QCOMPARE(f.window.SequencerLine, qint16(2));
        QCOMPARE(f.pty.readAvailable(), QByteArray());
    }

    void runInterval_data()
    {
        QTest::addColumn<QString>("interval");
        QTest::addColumn<int>("timer"); // -1: the run is refused; 0: no tick
        const std::pair<const char *, int> rows[] = {
                {"70000", -1}, {"-1", -1}, {"1e400", -1}, {"65535", 65535}, {"0", 0}};
        for (const auto &[text, timer] : rows)
            QTest::newRow(text) << QString::fromLatin1(text) << timer;
    }

    void runInterval()
    {
        QFETCH(QString, interval);
        QFETCH(int, timer);
        WindowFixture f;
        f.apply(u"Text22="_s + interval);
        auto *loop = f.control<QCheckBox>(u"Check1"_s);
        loop->click();
        QCOMPARE(QList({loop->isChecked(), f.enabled("Text22")}), QList({timer >= 0, timer < 0}));
        QTimer *timer2 = f.timer("Timer2");
        QCOMPARE(timer2->isActive() ? timer2->interval() : qMin(timer, 0), timer);
        QCOMPARE(f.messages.filter(u"65535"_s).size(), timer < 0 ? 1 : 0);
    }

    void listFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(u"list.txt"_s);
        WindowFixture f;
        RecordingDialogs &d = *f.dialogs;
        f.list()->addItems({"01 20 00 39 C0 ", "GoIdx:0", ""}); // the empty line is not written
        const QByteArray written = "01 20 00 39 C0 \r\nGoIdx:0\r\n";
        d.fileNames << path;
        f.click("Command55");
        QCOMPARE(fileContent(path), written);
        // A file that cannot be written is named in a message.
        d.fileNames << dir.filePath(u"missing/list.txt"_s);
        f.click("Command55");
        QCOMPARE(f.messages.filter(u"missing/list.txt"_s).size(), 1);
        // Cancelled dialogs change nothing; saving over the file asks first.
        f.click("Command54");
        f.click("Command55");
        d.fileNames << path;
        f.click("Command55");
        QCOMPARE(d.questions.size(), 1);
        QCOMPARE(fileContent(path), written);
        // Lines and files are the same in either language.
        f.window.setLanguage(Language::English);
        d.fileNames << path;
        d.answers << true;
        f.click("Command34");
        f.click("Command55");
        QCOMPARE(fileContent(path), written + "Delay:1000\r\n");
        f.window.setLanguage(Language::Chinese);
        f.control<QAction>(u"DelectAll"_s)->trigger();
        d.fileNames << path;
        f.click("Command54");
        QCOMPARE(f.listLines(), (QStringList{"01 20 00 39 C0 ", "GoIdx:0", "Delay:1000"}));
        // A file longer than the list: its first 32767 lines, and a word about the rest.
        QByteArray content;
        for (int i = 0; i < 33000; ++i)
            content += "Delay:" + QByteArray::number(i) + "\n";
        QVERIFY(writeFile(path, content));
        f.window.LoadListFile(path);
        QCOMPARE(f.list()->count(), 32767);
        QCOMPARE(f.list()->item(32766)->text(), u"Delay:32766"_s);
        // A full list takes no more lines, and says so.
        f.click("Command34");
        f.click("Command46");
        QCOMPARE(f.list()->count(), 32767);
        QCOMPARE(f.messages.filter(u"32767"_s).size(), 3);
    }
};

QTEST_MAIN(TestFrmMainList)
#include "tst_frm_main_list.moc"
