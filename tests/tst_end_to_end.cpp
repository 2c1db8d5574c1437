#include "sim/sim_server.h"
#include "window_fixture.h"

#include <QCheckBox>
#include <QListWidget>
#include <QSignalSpy>

namespace {

// The real window and the simulated controller over a pseudo-terminal. The
// controller's clock moves only when the test says.
struct Bench
{
    Bench()
    {
        simulator.openPseudoTerminal();
        simulator.setClock([this] { return nowUs; });
        f.window.portNames().setMapping(1, simulator.devicePath());
    }

    /// Clicks \a button and shows the controller's reply in the window, as the
    /// receive poll would. False when no reply came.
    bool exchange(const char *button)
    {
        QSignalSpy replies(&simulator, &SimServer::exchanged);
        f.click(button);
        return showReply(replies);
    }

    bool showReply(QSignalSpy &replies)
    {
        if (!QTest::qWaitFor([&] { return !replies.isEmpty(); }))
            return false;
        const QByteArray reply = replies.first().at(1).toByteArray();
        if (reply.isEmpty()
            || !QTest::qWaitFor([&] { return f.comm()->inBufferCount() >= reply.size(); }))
            return false;
        f.window.Timer1_Timer();
        return true;
    }

    void advanceMs(qint64 ms) { nowUs += ms * 1000; }

    /// Opens COM1 in mode \a mode (the index in the mode selector).
    bool open(int mode)
    {
        f.combo("Combo7")->setCurrentIndex(mode);
        return f.open();
    }

    /// The newest description line of the receive view.
    QString lastDescription() const
    {
        const QStringList lines = f.view("RichTextBox1")->text().split(u'\n');
        for (const QString &line : lines) {
            if (!line.startsWith(u"RecAsc:") && !line.startsWith(u"RecHex:") && !line.isEmpty())
                return QString(line).remove(u'\r');
        }
        return QString();
    }

    WindowFixture f;
    SimServer simulator{SimConfig{}};
    qint64 nowUs = 0;
};

const QColor red(Qt::red);

} // namespace

class TestEndToEnd : public QObject
{
    Q_OBJECT

private slots:
    // Each exchange in both modes.
    void stationCommands_data() { addModes(); }
    void stationCommands();
    void parametersSetThenQueried_data() { addModes(); }
    void parametersSetThenQueried();
    void moveThenPosition_data() { addModes(); }
    void moveThenPosition();
    void inputsQuery_data() { addModes(); }
    void inputsQuery();
    void commandListFollowsTheMotion();

private:
    static void addModes()
    {
        QTest::addColumn<int>("mode");
        QTest::newRow("RTU") << 0;
        QTest::newRow("ASCII") << 1;
    }
};

void TestEndToEnd::stationCommands()
{
    QFETCH(int, mode);
    Bench b;
    QVERIFY(b.open(mode));
    QVERIFY(b.exchange("Command12"));
    QCOMPARE(b.lastDescription(), QStringLiteral("请求握手命令:"));
    QVERIFY(b.exchange("Command13"));
    QCOMPARE(b.lastDescription(), QStringLiteral("查询设备地址:当前地址为1"));
    QVERIFY(b.exchange("Command15"));
    QCOMPARE(b.lastDescription(), QStringLiteral("查询当前波特率:当前波特率设置为6"));
    QVERIFY(b.f.messages.isEmpty());
}

void TestEndToEnd::parametersSetThenQueried()
{
    QFETCH(int, mode);
    Bench b;
    QVERIFY(b.open(mode));
    // set button, value box, value, query button, read-back box
    const struct
    {
        const char *set, *box, *value, *query, *readBack;
    } rows[] = {
            {"Command17", "Text12", "250", "Command57", "Text27"},
            {"Command24", "Text13", "12000", "Command58", "Text26"},
            {"Command25", "Text14", "900", "Command59", "Text25"},
            {"Command26", "Text15", "20000", "Command60", "Text24"},
            {"Command27", "Text16", "15000", "Command61", "Text6"},
            {"Command64", "Text29", "3000", "Command62", "Text28"},
    };
    for (const auto &row : rows) {
        b.f.box(row.box)->setText(QString::fromLatin1(row.value));
        QVERIFY(b.exchange(row.set));
        QVERIFY(b.exchange(row.query));
        QCOMPARE(b.f.box(row.readBack)->text(), u' ' + QString::fromLatin1(row.value));
    }
}

void TestEndToEnd::moveThenPosition()
{
    QFETCH(int, mode);
    Bench b;
    QVERIFY(b.open(mode));

    QVERIFY(b.exchange("Command18")); // 10000 pulses with the default profile
    b.advanceMs(500);
    QVERIFY(b.exchange("Command29"));
    QCOMPARE(b.f.label("Label15")->text(), QStringLiteral("运动中"));
    QCOMPARE(b.f.shape(1)->fillColor(), red);
    QVERIFY(b.exchange("Command28"));
    QVERIFY(b.f.box("Text17")->text().trimmed().toInt() > 0);
    QVERIFY(b.exchange("Command30"));
    const int halfway = b.f.box("Text18")->text().trimmed().toInt();
    QVERIFY2(halfway > 0 && halfway < 10000, qPrintable(b.f.box("Text18")->text()));

    b.advanceMs(3000);
    QVERIFY(b.exchange("Command29"));
    QCOMPARE(b.f.label("Label15")->text(), QStringLiteral("停止"));
    const QColor text = b.f.window.palette().color(QPalette::WindowText);
    QCOMPARE(b.f.shape(1)->fillColor(), text);
    QCOMPARE(b.f.shape(2)->fillColor(), text); // left limit not active
    QCOMPARE(b.f.shape(4)->fillColor(), text); // right limit not active
    QVERIFY(b.exchange("Command30"));
    QCOMPARE(b.f.box("Text18")->text(), QStringLiteral(" 10000"));
    QVERIFY(b.exchange("Command31"));
    QCOMPARE(b.f.box("Text19")->text(), QStringLiteral(" 10000"));
    // Cleared, and back home.
    QVERIFY(b.exchange("Command66"));
    QVERIFY(b.exchange("Command30"));
    QCOMPARE(b.f.box("Text18")->text(), QStringLiteral(" 0"));
}

void TestEndToEnd::inputsQuery()
{
    QFETCH(int, mode);
    Bench b;
    QVERIFY(b.open(mode));
    b.simulator.setInputs(0b10010); // IN2 and IN5 active
    QVERIFY(b.exchange("Command94"));
    const QColor text = b.f.window.palette().color(QPalette::WindowText);
    const QList<QColor> expected{text, red, text, text, red};
    for (int i = 0; i < 5; ++i)
        QCOMPARE(b.f.shape(5 + i)->fillColor(), expected[i]);
}

void TestEndToEnd::commandListFollowsTheMotion()
{
    Bench b;
    QVERIFY(b.f.open());
    b.f.box("Text8")->setText(QStringLiteral("1000"));
    QVERIFY(b.exchange("Command38")); // the move, into the list (and sent once)
    b.f.box("Text20")->setText(QStringLiteral("2000"));
    b.f.click("Command34");
    QVERIFY(b.exchange("Command52")); // the position query
    b.f.click("Command34");
    QCOMPARE(b.f.control<QListWidget>("List1")->count(), 4);
    b.advanceMs(3000);

    b.f.control<QCheckBox>("Check1")->click();
    // Each round: the move, 2 s, the query, 2 s; the read-back box follows.
    for (const char *expected : {" 2000", " 3000", " 4000"}) {
        QSignalSpy replies(&b.simulator, &SimServer::exchanged);
        b.f.window.Timer2_Timer(); // the move
        QVERIFY(b.showReply(replies));
        QCOMPARE(b.f.timer("Timer2")->interval(), 2000);
        b.advanceMs(2000);
        QSignalSpy answers(&b.simulator, &SimServer::exchanged);
        b.f.window.Timer2_Timer(); // the query
        QVERIFY(b.showReply(answers));
        QCOMPARE(b.f.box("Text18")->text(), QString::fromLatin1(expected));
        b.advanceMs(2000);
    }
}

QTEST_MAIN(TestEndToEnd)
#include "tst_end_to_end.moc"
