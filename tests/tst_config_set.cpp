// Configuration set files: what is written reads back the same, and a file
// with a fault is refused as a whole, naming the line.

#include "bus/config_set.h"
#include "device/command_set.h"
#include "sim/sim_controller.h"

#include <QTest>

using namespace Qt::StringLiterals;

class TestConfigSet : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip()
    {
        ConfigSet set;
        set.parameters = {100, 10000, 1000, 10000, 10000, -1};
        set.io[1] = QByteArray::fromHex("3104FFFFD8F0");
        set.io[16] = QByteArray::fromHex("3E0101");
        set.io[31] = QByteArray();
        const QByteArray text = formatConfigSet(set, {u"station 01"_s});
        QCOMPARE(text,
                 "# station 01\nstart_speed = 100\nmax_speed = 10000\nend_speed = 1000\n"
                 "acceleration = 10000\ndeceleration = 10000\nhoming_speed = -1\n"
                 "io 00001 = 31 04 FF FF D8 F0\nio 10000 = 3E 01 01\nio 11111 =\n");
        QCOMPARE(*parseConfigSet(text), set);
        ConfigSet twenty;
        twenty.parameters[1] = 20;
        QCOMPARE(*parseConfigSet("\r\n  max_speed=  20 \r\n# io 00011 = 01\r\n"), twenty);
    }

    void faults_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QString>("message");
        const auto row = [](const char *name, const QByteArray &text, int line,
                            const QString &rest) {
            QTest::newRow(name) << text << u"第 %1 行："_s.arg(line) + rest;
        };
        const QString range = u"end_speed 的值应为 -2147483648 到 2147483647 的整数："_s;
        row("no equals", "max_speed = 1\nstart_speed 5", 2, u"应为“名称 = 值”：start_speed 5"_s);
        row("binary, a long line: quoted short, escaped",
            QByteArray("a\0b\x01", 4) + QByteArray(100, 'x'), 1,
            u"应为“名称 = 值”：a\\x00b\\x01"_s + QString(76, u'x') + u"…"_s);
        row("unknown", "top_speed = 1", 1, u"未知的名称：top_speed"_s);
        row("not a number", "\n\nend_speed = 1e3", 3, range + u"1e3"_s);
        row("too large", "end_speed = 2147483648", 1, range + u"2147483648"_s);
        row("twice", "io 00001 =\nio 00001 =", 2, u"io 00001 出现了两次"_s);
        row("code 0", "io 00000 =", 1, u"IO 组合 00000 不能存命令"_s);
        row("not hex", "io 00010 = 3C 0G", 1,
            u"io 00010 的值应为一条完整的运动命令（功能码、长度、数据，十六进制），或留空：3C 0G"_s);
    }
    void faults()
    {
        QFETCH(QByteArray, text);
        QFETCH(QString, message);
        const Result<ConfigSet> set = parseConfigSet(text);
        QVERIFY(!set);
        QCOMPARE(set.error(), message);
    }

    // The commands the IO table may hold: the set file takes what the controller stores.
    void ioCommands_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("stored");
        const auto row = [](const char *name, const char *command, bool stored) {
            QTest::newRow(name) << QByteArray::fromHex(command) << stored;
        };
        row("move", "310400002710", true);
        row("stop", "3C00", true);
        row("homing", "3E0101", true);
        row("data cut short", "3104000027", false);
        row("length byte agrees, the code takes four bytes", "31022710", false);
        row("a query", "3700", false);
        row("an IO entry of any length", "4002013C", false);
        row("code alone", "31", false);
    }
    void ioCommands()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, stored);
        QCOMPARE(bool(parseConfigSet("io 00010 = " + command.toHex(' '))), stored);
        SimController controller;
        controller.receive(frameRtu(makePayload(1, FunctionCode::IoTableDownload, '\2' + command)));
        QCOMPARE(controller.ioEntry(2).toHex(' '), stored ? command.toHex(' ') : QByteArray());
    }

    void compare()
    {
        ConfigSet expected, actual;
        expected.parameters[0] = 100;
        expected.parameters[2] = 900;
        expected.io[3] = QByteArray::fromHex("3C00");
        actual.parameters = {100, 1, 1000, 1, 1, 1};
        actual.io[3] = QByteArray();
        const QList<ConfigRow> rows = compareConfigSets(expected, actual);
        QCOMPARE(rows.size(), 3);
        QCOMPARE(rows[1].key + rows[1].expected + u'|' + rows[1].actual, u"end_speed900|1000"_s);
        QCOMPARE(rows[2].key + u'=' + rows[2].expected + u'|' + rows[2].actual,
                 u"io 00011=3C 00|"_s);
        QVERIFY(!rows[0].differs && rows[1].differs && rows[2].differs);
    }
};

QTEST_GUILESS_MAIN(TestConfigSet)
#include "tst_config_set.moc"
