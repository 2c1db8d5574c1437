#include "device/command_set.h"

#include <QTest>

class TestCommandSet : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
    void describedCodes();
};

void TestCommandSet::lookup_data()
{
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("description"); // null: no description

    QTest::newRow("handshake") << 0x20 << QStringLiteral("请求握手命令:");
    QTest::newRow("address query, short text") << 0x21 << QStringLiteral("查询设备地址:");
    QTest::newRow("baud query, short text") << 0x23 << QStringLiteral("查询当前波特率:");
    QTest::newRow("full-width comma") << 0x33 << QStringLiteral("设置32位运动速度，并恒速运动:");
    QTest::newRow("find zero point") << 0x3E << QStringLiteral("查找原点命令:");
    QTest::newRow("IN states") << 0x42 << QStringLiteral("查询IN状态命令:");
    QTest::newRow("input state") << 0x43 << QStringLiteral("查询输入状态:");
    QTest::newRow("speed factor") << 0x44 << QStringLiteral("设置运动变速因子:");
    QTest::newRow("factory settings") << 0x47 << QStringLiteral("出厂设置命令:");
    QTest::newRow("3F") << 0x3F << QString();
    QTest::newRow("IO table download") << 0x40 << QString();
    QTest::newRow("IO table query") << 0x41 << QString();
    QTest::newRow("below range") << 0x1F << QString();
    QTest::newRow("above range") << 0x48 << QString();
    QTest::newRow("error reply to handshake") << 0xA0 << QString();
    QTest::newRow("zero") << 0x00 << QString();
}

void TestCommandSet::lookup()
{
    QFETCH(int, code);
    QFETCH(QString, description);
    const std::optional<QString> found = sendDescription(quint8(code));
    QCOMPARE(found.has_value(), !description.isNull());
    if (found)
        QCOMPARE(*found, description);
}

void TestCommandSet::describedCodes()
{
    // Thirty-seven codes carry a description, each ending in an ASCII colon and
    // without a line end of its own.
    int described = 0;
    for (int code = 0; code < 256; ++code) {
        const std::optional<QString> text = sendDescription(quint8(code));
        if (!text)
            continue;
        ++described;
        QVERIFY2(code >= 0x20 && code <= 0x47, qPrintable(QString::number(code, 16)));
        QVERIFY(text->endsWith(u':'));
        QVERIFY(!text->contains(u'\n') && !text->contains(u'\r'));
    }
    QCOMPARE(described, 37);
}

QTEST_GUILESS_MAIN(TestCommandSet)
#include "tst_command_set.moc"
