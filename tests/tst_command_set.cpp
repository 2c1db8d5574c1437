#include "device/command_set.h"

#include <QTest>

class TestCommandSet : public QObject
{
    Q_OBJECT

private slots:
    void sendDescription_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("description"); // null: none
        QTest::newRow("first") << 0x20 << QStringLiteral("请求握手命令:");
        QTest::newRow("3D after 3C") << 0x3D << QStringLiteral("减速停止命令:");
        QTest::newRow("last") << 0x47 << QStringLiteral("出厂设置命令:");
        for (const int none : {0x1F, 0x3F, 0x40, 0x41, 0x48, 0xA0})
            QTest::addRow("%02X: none", none) << none << QString();
    }
    void sendDescription()
    {
        QFETCH(int, code);
        QFETCH(QString, description);
        const std::optional<QString> found = ::sendDescription(quint8(code));
        QCOMPARE(found.has_value(), !description.isNull());
        QCOMPARE(found.value_or(QString()), description);
    }
};

QTEST_GUILESS_MAIN(TestCommandSet)
#include "tst_command_set.moc"
