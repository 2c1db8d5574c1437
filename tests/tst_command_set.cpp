#include "device/command_set.h"

#include <QTest>

class TestCommandSet : public QObject
{
    Q_OBJECT

private slots:
    void sendDescription_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description"); // "-": none
        QTest::newRow("first") << 0x20 << QStringLiteral("请求握手命令:");
        QTest::newRow("3D after 3C") << 0x3D << QStringLiteral("减速停止命令:");
        QTest::newRow("last") << 0x47 << QStringLiteral("出厂设置命令:");
        for (const int none : {0x1F, 0x3F, 0x40, 0x41, 0x48, 0xA0})
            QTest::addRow("%02X: none", none) << none << QStringLiteral("-");
    }
    void sendDescription()
    {
        QFETCH(int, code);
        QFETCH(QString, description);
        QCOMPARE(::sendDescription(quint8(code)).value_or(QStringLiteral("-")), description);
    }
};

QTEST_GUILESS_MAIN(TestCommandSet)
#include "tst_command_set.moc"
